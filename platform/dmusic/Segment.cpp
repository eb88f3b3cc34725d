#include "platform/dmusic/Segment.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/kit/Guarded.h"
#include "platform/kit/HandOut.h"
#include "platform/kit/LogOnce.h"

namespace {

bool IsWave(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return false;
  // Decoding once here turns a broken file into a load failure rather than a download failure.
  SDL_AudioSpec audioSpec;
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1, &audioSpec, &samples,
                      &length))
    return false;
  SDL_FreeWAV(samples);
  return length > 0;
}

bool IsMidi(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 14 && std::memcmp(bytes.data(), "MThd", 4) == 0;
}

}  // namespace

HRESULT Segment::Create(std::vector<std::uint8_t> bytes, Segment** segment) {
  *segment = nullptr;
  if (IsMidi(bytes)) {
    *segment = new Segment(std::move(bytes), Kind::Midi);
    return S_OK;
  }
  if (IsWave(bytes)) {
    *segment = new Segment(std::move(bytes), Kind::Wave);
    return S_OK;
  }
  return DMUS_E_UNSUPPORTED_STREAM;
}

Segment::~Segment() {
  downloads_.clear();
}

Segment::Downloaded::~Downloaded() {
  PerformanceState& perf = *path->performance;
  auto it = perf.playing.find(path->channel);
  if (it != perf.playing.end() && it->second == segment) {
    Mix_HaltChannel(path->channel);
    perf.playing.erase(it);
  }
  if (chunk) Mix_FreeChunk(chunk);
  if (music) {
    if (perf.musicSegment == segment && perf.output->musicOwner == &perf) {
      Mix_HaltMusic();
      perf.musicSegment = nullptr;
    }
    Mix_FreeMusic(music);
  }
}

HRESULT Segment::QueryInterface(REFIID iid, void** out) {
  return kit::HandOut(static_cast<IDirectMusicSegment8*>(this), iid, out, {&IID_IDirectMusicSegment8});
}

HRESULT Segment::SetParam(REFGUID type, DWORD, DWORD, MUSIC_TIME, void*) {
  if (type != GUID_StandardMIDIFile) {
    kit::LogOnce("dmusic", "SetParam", "parameters other than GUID_StandardMIDIFile are not supported");
    return DMUS_E_TRACK_NOT_FOUND;
  }
  if (kind_ != Kind::Midi) return DMUS_E_TRACK_NOT_FOUND;
  standardMidi_ = true;
  return S_OK;
}

HRESULT Segment::Download(IUnknown* target) {
  return kit::Guarded([&]() -> HRESULT {
    auto* path = dynamic_cast<AudioPath*>(target);
    if (!path) return E_INVALIDARG;
    const std::shared_ptr<PathState>& state = path->State();
    if (!state->performance->Usable()) return DMUS_E_NOT_INIT;
    for (const auto& d : downloads_)
      if (d->path == state) return S_OK;

    auto d = std::make_unique<Downloaded>();
    d->segment = this;
    d->path = state;
    const int size = static_cast<int>(bytes_.size());
    if (kind_ == Kind::Wave) {
      d->chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes_.data(), size), 1);
      if (!d->chunk) return E_FAIL;
    } else {
      d->music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(bytes_.data(), size), MUS_MID, 1);
      if (!d->music) return E_FAIL;
    }
    downloads_.push_back(std::move(d));
    return S_OK;
  });
}

HRESULT Segment::Unload(IUnknown* target) {
  std::shared_ptr<PathState> onePath;
  const PerformanceState* performance = nullptr;
  if (auto* path = dynamic_cast<AudioPath*>(target)) {
    onePath = path->State();
  } else if (auto* perf = dynamic_cast<Performance*>(target)) {
    performance = perf->State().get();
  } else {
    return E_INVALIDARG;
  }
  std::erase_if(downloads_, [&](const std::unique_ptr<Downloaded>& d) {
    return onePath ? d->path == onePath : d->path->performance.get() == performance;
  });
  return S_OK;
}

HRESULT Segment::PlayOn(const std::shared_ptr<PathState>& path) {
  auto it = std::find_if(downloads_.begin(), downloads_.end(),
                         [&](const std::unique_ptr<Downloaded>& d) { return d->path == path; });
  if (it == downloads_.end()) return DMUS_E_NOT_DOWNLOADED_TO_PORT;
  PerformanceState& perf = *path->performance;
  if (!perf.Usable()) return DMUS_E_NOT_INIT;
  if (!path->active) return S_OK;
  if ((*it)->chunk) {
    if (Mix_PlayChannel(path->channel, (*it)->chunk, 0) < 0) return E_FAIL;
    perf.playing[path->channel] = this;
  } else {
    if (Mix_PlayMusic((*it)->music, 0) != 0) return E_FAIL;
    perf.output->musicOwner = &perf;
    perf.musicSegment = this;
  }
  return S_OK;
}
