// The performance: owns the use of the mixer output and knows which segment each of its channels
// last started, so that it can stop one segment or everything it plays.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/dmusic/MixerOutput.h"
#include "platform/dmusic/dmusic.h"
#include "platform/kit/RefCounted.h"

// Shared by the performance, its audio paths and the downloads made to them, so that a path or a
// download outliving the performance object still finds a valid state.
struct PerformanceState {
  std::shared_ptr<MixerOutput> output;  // null before InitAudio
  bool closed = false;                  // CloseDown was called
  std::map<int, const void*> playing;   // channel of a path -> segment last started there
  std::vector<int> channels;            // channels of this performance's live paths
  const void* musicSegment = nullptr;   // MIDI segment this performance last started

  bool Usable() const { return output && !closed; }
  void StopChannel(int channel);
  void StopSegment(const void* segment);
  void StopAll();
};

class AudioPath;

class Performance final : public kit::RefCounted<IDirectMusicPerformance8> {
 public:
  Performance();
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window, DWORD defaultPathType,
                    DWORD pchannelCount, DWORD flags, DMUS_AUDIOPARAMS* params) override;
  HRESULT CreateStandardAudioPath(DWORD type, DWORD pchannelCount, BOOL activate,
                                  IDirectMusicAudioPath** path) override;
  HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags, LONGLONG startTime,
                        IDirectMusicSegmentState** segmentState, IUnknown* from, IUnknown* audioPath) override;
  HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState, MUSIC_TIME time,
               DWORD flags) override;
  HRESULT StopEx(IUnknown* objectToStop, LONGLONG stopTime, DWORD flags) override;
  HRESULT CloseDown() override;

  const std::shared_ptr<PerformanceState>& State() const { return state_; }

 private:
  ~Performance() override;
  void ReleaseDefaultPath();

  std::shared_ptr<PerformanceState> state_;
  AudioPath* defaultPath_ = nullptr;
};
