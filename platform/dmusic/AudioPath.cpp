#include "platform/dmusic/AudioPath.h"

#include <SDL_mixer.h>

#include <algorithm>

#include "platform/kit/HandOut.h"
#include "platform/kit/LogOnce.h"

PathState::PathState(std::shared_ptr<PerformanceState> perf, bool isActive)
    : performance(std::move(perf)), channel(performance->output->AcquireChannel()), active(isActive) {
  performance->channels.push_back(channel);
}

PathState::~PathState() {
  auto& channels = performance->channels;
  channels.erase(std::remove(channels.begin(), channels.end(), channel), channels.end());
  performance->playing.erase(channel);
  performance->output->ReleaseChannel(channel);
}

HRESULT SoundBuffer::QueryInterface(REFIID iid, void** out) {
  return kit::HandOut(static_cast<IDirectSoundBuffer8*>(this), iid, out, {&IID_IDirectSoundBuffer8});
}

HRESULT SoundBuffer::GetStatus(DWORD* status) {
  if (!status) return E_POINTER;
  *status = Mix_Playing(path_->channel) ? DSBSTATUS_PLAYING : 0;
  return S_OK;
}

AudioPath::~AudioPath() {
  if (buffer_) buffer_->Release();
}

HRESULT AudioPath::QueryInterface(REFIID iid, void** out) {
  return kit::HandOut(static_cast<IDirectMusicAudioPath*>(this), iid, out, {&IID_IDirectMusicAudioPath8});
}

HRESULT AudioPath::GetObjectInPath(DWORD, DWORD stage, DWORD buffer, REFGUID guidObject, WORD index, REFIID iid,
                                   void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (stage != DMUS_PATH_BUFFER || buffer != 0 || index != 0 || guidObject != GUID{}) {
    kit::LogOnce("dmusic", "GetObjectInPath", "objects other than the path's one sound buffer are not supported");
    return DMUS_E_NOT_FOUND;
  }
  if (!buffer_) buffer_ = new SoundBuffer(state_);
  return buffer_->QueryInterface(iid, object);
}
