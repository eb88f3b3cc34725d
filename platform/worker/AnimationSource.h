// An animated gif, png or webp served as a stream of pictures: Opened says a still picture
// (kPrerolled | kHasVideo, no duration, not seekable), then every frame comes as a Frame with its
// time and duration, in a loop for ever, the times going on increasing from loop to loop, and no
// End. Frames are decoded one at a time as slots come free (the ring is the back-pressure), so
// the worker's memory holds the file, the canvas and the ring, however long it plays. A Seek
// goes on from the frame that covers the target. Internal to platform/worker; main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/picture/AnimationFrames.h"
#include "platform/worker/ControlChannel.h"
#include "platform/worker/SharedRing.h"
#include "platform/worker/Source.h"

namespace worker {

// Few slots: each holds a whole picture, and the frames come slowly.
inline constexpr std::uint32_t kAnimationSlots = 3;

class AnimationSource final : public Source {
 public:
  // The source for a file that is an animation (two frames or more), taking the file's bytes;
  // *opened is its answer to Open (not prerolled when it does not decode). Null with *animated
  // false for a still or any other file, which keeps its bytes; null with *animated true for an
  // animation that did not open.
  static std::unique_ptr<AnimationSource> Open(ControlChannel& channel, std::vector<std::uint8_t>& file, bool* animated,
                                               Opened* opened);

  void Start(const worker::Start& start) override;
  void Seek(std::uint32_t generation, std::int64_t target) override;
  bool Release(Stream stream, std::uint32_t slot) override;

 private:
  AnimationSource(ControlChannel& channel, std::vector<std::uint8_t> file)
      : channel_(channel), file_(std::move(file)) {}
  // Decodes frames into the free slots and sends them.
  void Fill();
  // Decodes the next frame into the slot; false when it cannot be taken.
  bool DecodeInto(std::uint32_t slot, std::int64_t* delay);

  ControlChannel& channel_;
  std::vector<std::uint8_t> file_;  // the frames read from it
  std::unique_ptr<picture::AnimationFrames> frames_;
  Layout layout_ = Layout::Bgr;
  bool wantVideo_ = false;
  bool started_ = false;
  std::uint32_t generation_ = 0;
  std::int64_t time_ = 0;        // when the next frame starts, ns
  int index_ = 0;                // of the next frame in its loop
  std::int64_t loop_ = 0;        // the length of one loop, once a whole loop has been decoded; else 0
  std::int64_t loopTime_ = 0;    // from the start of the current loop to the next frame
  std::int64_t skipUntil_ = -1;  // frames that end by this time (a seek's target) are not sent
  std::unique_ptr<SharedRing> ring_;
};

}  // namespace worker
