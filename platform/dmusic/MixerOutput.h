// The process's one SDL_mixer output, shared by every performance that is initialised. Opening
// initialises SDL's audio subsystem and the mixer; the last holder to let go closes both.
#pragma once

#include <memory>
#include <vector>

class MixerOutput {
 public:
  // The open output, opening it on first use; null (with SDL's reason on stderr) when SDL cannot
  // open an audio device.
  static std::shared_ptr<MixerOutput> Acquire();
  ~MixerOutput();
  MixerOutput(const MixerOutput&) = delete;
  MixerOutput& operator=(const MixerOutput&) = delete;

  // A mixer channel no one else holds (the mixer grows by one channel when all are taken).
  int AcquireChannel();
  // Halts the channel and makes it free for another path.
  void ReleaseChannel(int channel);

  // The performance state that last started the music stream (only that one may halt it).
  const void* musicOwner = nullptr;

 private:
  MixerOutput() = default;
  std::vector<bool> taken_;
};
