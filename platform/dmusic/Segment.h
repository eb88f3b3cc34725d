// A segment: the bytes of one wave or standard MIDI file, and what has been downloaded of it to
// audio paths.
#pragma once

#include <SDL_mixer.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dmusic/AudioPath.h"
#include "platform/dmusic/dmusic.h"
#include "platform/kit/RefCounted.h"

class Segment final : public kit::RefCounted<IDirectMusicSegment8> {
 public:
  // A segment of the bytes, or DMUS_E_UNSUPPORTED_STREAM when they are neither a wave file that
  // SDL decodes nor a standard MIDI file.
  static HRESULT Create(std::vector<std::uint8_t> bytes, Segment** segment);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT SetParam(REFGUID type, DWORD groupBits, DWORD index, MUSIC_TIME time, void* param) override;
  HRESULT Download(IUnknown* audioPath) override;
  HRESULT Unload(IUnknown* audioPathOrPerformance) override;

  // Starts the segment from its start on a path it was downloaded to.
  HRESULT PlayOn(const std::shared_ptr<PathState>& path);
  bool IsStandardMidiFile() const { return standardMidi_; }

 private:
  enum class Kind { Wave, Midi };
  struct Downloaded {
    ~Downloaded();
    const void* segment;
    std::shared_ptr<PathState> path;
    Mix_Chunk* chunk = nullptr;
    Mix_Music* music = nullptr;
  };

  Segment(std::vector<std::uint8_t> bytes, Kind kind) : bytes_(std::move(bytes)), kind_(kind) {}
  ~Segment() override;

  std::vector<std::uint8_t> bytes_;  // declared first: the MIDI streams read it until freed
  Kind kind_;
  bool standardMidi_ = false;
  std::vector<std::unique_ptr<Downloaded>> downloads_;
};
