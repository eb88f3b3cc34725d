// An audio path: one mixer channel of a performance, and the sound buffer that stands for it.
#pragma once

#include <memory>

#include "platform/dmusic/Performance.h"
#include "platform/dmusic/dmusic.h"
#include "platform/kit/RefCounted.h"

// Holds the channel while the path, its buffer or a download to it lives.
struct PathState {
  PathState(std::shared_ptr<PerformanceState> performance, bool active);
  ~PathState();
  PathState(const PathState&) = delete;
  PathState& operator=(const PathState&) = delete;

  std::shared_ptr<PerformanceState> performance;
  int channel;
  bool active;
};

class SoundBuffer final : public kit::RefCounted<IDirectSoundBuffer8> {
 public:
  explicit SoundBuffer(std::shared_ptr<PathState> path) : path_(std::move(path)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT GetStatus(DWORD* status) override;

 private:
  std::shared_ptr<PathState> path_;
};

class AudioPath final : public kit::RefCounted<IDirectMusicAudioPath> {
 public:
  explicit AudioPath(std::shared_ptr<PathState> state) : state_(std::move(state)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT GetObjectInPath(DWORD pchannel, DWORD stage, DWORD buffer, REFGUID guidObject, WORD index, REFIID iid,
                          void** object) override;

  const std::shared_ptr<PathState>& State() const { return state_; }

 private:
  ~AudioPath() override;

  std::shared_ptr<PathState> state_;
  SoundBuffer* buffer_ = nullptr;  // made on first request, one reference held here
};
