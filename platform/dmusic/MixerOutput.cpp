#include "platform/dmusic/MixerOutput.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

namespace {

// SDL_mixer has one output per process: one shared object models it, kept only while held.
std::weak_ptr<MixerOutput>& SharedOutput() {
  static std::weak_ptr<MixerOutput> output;
  return output;
}

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 1024;

}  // namespace

std::shared_ptr<MixerOutput> MixerOutput::Acquire() {
  if (auto existing = SharedOutput().lock()) return existing;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "dmusic: no audio: %s\n", SDL_GetError());
    return nullptr;
  }
  if (Mix_OpenAudio(kRate, AUDIO_S16SYS, kChannels, kChunkFrames) != 0) {
    std::fprintf(stderr, "dmusic: cannot open the audio output: %s\n", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  Mix_AllocateChannels(0);
  std::shared_ptr<MixerOutput> output(new MixerOutput());
  SharedOutput() = output;
  return output;
}

MixerOutput::~MixerOutput() {
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int MixerOutput::AcquireChannel() {
  for (std::size_t i = 0; i < taken_.size(); ++i) {
    if (!taken_[i]) {
      taken_[i] = true;
      return static_cast<int>(i);
    }
  }
  taken_.push_back(true);
  Mix_AllocateChannels(static_cast<int>(taken_.size()));
  return static_cast<int>(taken_.size() - 1);
}

void MixerOutput::ReleaseChannel(int channel) {
  if (channel < 0 || channel >= static_cast<int>(taken_.size())) return;
  Mix_HaltChannel(channel);
  taken_[static_cast<std::size_t>(channel)] = false;
}
