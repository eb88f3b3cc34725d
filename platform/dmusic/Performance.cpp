#include "platform/dmusic/Performance.h"

#include <SDL_mixer.h>

#include <string>

#include "platform/dmusic/AudioPath.h"
#include "platform/dmusic/Segment.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/HandOut.h"
#include "platform/kit/LogOnce.h"

void PerformanceState::StopChannel(int channel) {
  Mix_HaltChannel(channel);
  playing.erase(channel);
}

void PerformanceState::StopSegment(const void* segment) {
  for (auto it = playing.begin(); it != playing.end();) {
    if (it->second == segment) {
      Mix_HaltChannel(it->first);
      it = playing.erase(it);
    } else {
      ++it;
    }
  }
  if (segment && musicSegment == segment && output && output->musicOwner == this) {
    Mix_HaltMusic();
    musicSegment = nullptr;
  }
}

void PerformanceState::StopAll() {
  for (int channel : channels) Mix_HaltChannel(channel);
  playing.clear();
  if (output && output->musicOwner == this) {
    Mix_HaltMusic();
    musicSegment = nullptr;
  }
}

Performance::Performance() : state_(std::make_shared<PerformanceState>()) {}

Performance::~Performance() {
  CloseDown();
}

HRESULT Performance::QueryInterface(REFIID iid, void** out) {
  return kit::HandOut(static_cast<IDirectMusicPerformance8*>(this), iid, out, {&IID_IDirectMusicPerformance8});
}

HRESULT Performance::InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND, DWORD defaultPathType,
                               DWORD pchannelCount, DWORD, DMUS_AUDIOPARAMS*) {
  return kit::Guarded([&]() -> HRESULT {
    if (directMusic || directSound) {
      kit::LogOnce("dmusic", "InitAudio", "DirectMusic and DirectSound objects from the caller are not supported");
      return E_INVALIDARG;
    }
    if (state_->output || state_->closed) return DMUS_E_ALREADY_INITED;
    state_->output = MixerOutput::Acquire();
    if (!state_->output) return DSERR_NODRIVER;
    if (defaultPathType != 0) {
      IDirectMusicAudioPath* path = nullptr;
      HRESULT hr = CreateStandardAudioPath(defaultPathType, pchannelCount, TRUE, &path);
      if (FAILED(hr)) return hr;
      defaultPath_ = static_cast<AudioPath*>(path);
    }
    return S_OK;
  });
}

HRESULT Performance::CreateStandardAudioPath(DWORD type, DWORD pchannelCount, BOOL activate,
                                             IDirectMusicAudioPath** path) {
  return kit::Guarded([&]() -> HRESULT {
    if (!path) return E_POINTER;
    *path = nullptr;
    if (!state_->Usable()) return DMUS_E_NOT_INIT;
    switch (type) {
      case DMUS_APATH_DYNAMIC_STEREO:
      case DMUS_APATH_DYNAMIC_MONO:
      case DMUS_APATH_DYNAMIC_3D:
      case DMUS_APATH_SHARED_STEREOPLUSREVERB:
        break;
      default:
        kit::LogOnce("dmusic", "CreateStandardAudioPath",
                     "audio path type " + std::to_string(type) + " is not supported");
        return E_INVALIDARG;
    }
    if (pchannelCount == 0) return E_INVALIDARG;
    *path = new AudioPath(std::make_shared<PathState>(state_, activate != FALSE));
    return S_OK;
  });
}

HRESULT Performance::PlaySegmentEx(IUnknown* source, WCHAR*, IUnknown*, DWORD, LONGLONG,
                                   IDirectMusicSegmentState** segmentState, IUnknown*, IUnknown* audioPath) {
  return kit::Guarded([&]() -> HRESULT {
    if (segmentState) *segmentState = nullptr;
    auto* segment = dynamic_cast<Segment*>(source);
    if (!segment) return E_INVALIDARG;
    if (!state_->Usable()) return DMUS_E_NOT_INIT;
    AudioPath* path = audioPath ? dynamic_cast<AudioPath*>(audioPath) : defaultPath_;
    if (!path || path->State()->performance != state_) return E_INVALIDARG;
    return segment->PlayOn(path->State());
  });
}

HRESULT Performance::Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState*, MUSIC_TIME, DWORD) {
  if (segment)
    state_->StopSegment(dynamic_cast<Segment*>(segment));
  else
    state_->StopAll();
  return S_OK;
}

HRESULT Performance::StopEx(IUnknown* objectToStop, LONGLONG, DWORD) {
  if (!objectToStop) {
    state_->StopAll();
  } else if (auto* segment = dynamic_cast<Segment*>(objectToStop)) {
    state_->StopSegment(segment);
  } else if (auto* path = dynamic_cast<AudioPath*>(objectToStop)) {
    if (path->State()->performance != state_) return E_INVALIDARG;
    state_->StopChannel(path->State()->channel);
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT Performance::CloseDown() {
  state_->StopAll();
  ReleaseDefaultPath();
  state_->closed = true;
  return S_OK;
}

void Performance::ReleaseDefaultPath() {
  if (defaultPath_) {
    defaultPath_->Release();
    defaultPath_ = nullptr;
  }
}

HRESULT DirectMusicCreatePerformance(REFIID iid, void** object) {
  return kit::Guarded([&]() -> HRESULT {
    auto* perf = new Performance();
    HRESULT hr = perf->QueryInterface(iid, object);
    perf->Release();
    return hr;
  });
}
