#include "platform/worker/AnimationSource.h"

#include <cstring>
#include <string>

#include "platform/worker/PictureSource.h"

namespace worker {
namespace {

// Writes the frame's rows bottom first into a slot in the settled layout.
class SlotSink final : public picture::PictureSink {
 public:
  SlotSink(std::uint8_t* slot, Layout layout, int width, int height)
      : slot_(slot), layout_(layout), width_(width), height_(height) {}
  bool Begin(int width, int height) override { return width == width_ && height == height_; }
  bool Row(const std::uint8_t* bgr) override {
    if (row_ >= height_) return false;
    const std::uint64_t rowBytes = RowBytes(layout_, static_cast<std::uint32_t>(width_));
    std::uint8_t* to = slot_ + rowBytes * static_cast<std::uint64_t>(height_ - 1 - row_);
    if (layout_ == Layout::Bgr) {
      std::memcpy(to, bgr, static_cast<std::size_t>(rowBytes));
    } else {
      for (int x = 0; x < width_; ++x, bgr += 3, to += 4) {
        std::memcpy(to, bgr, 3);
        to[3] = 0xFF;
      }
    }
    ++row_;
    return true;
  }

 private:
  std::uint8_t* slot_;
  Layout layout_;
  int width_, height_;
  int row_ = 0;
};

// Takes a frame and keeps nothing: the first frame decoded at Open, only to see that it does.
class Discard final : public picture::PictureSink {
 public:
  bool Begin(int, int) override { return true; }
  bool Row(const std::uint8_t*) override { return true; }
};

}  // namespace

std::unique_ptr<AnimationSource> AnimationSource::Open(ControlChannel& channel, std::vector<std::uint8_t>& file,
                                                       bool* animated, Opened* opened) {
  *animated = false;
  std::string error;
  auto frames = picture::AnimationFrames::Open(file.data(), file.size(), WorkerPictureLimits(), &error);
  if (!frames && error.empty()) return nullptr;
  *animated = true;
  *opened = MakeMessage<Opened>(Type::Opened);
  opened->kind = Kind::Still;
  opened->duration = -1;
  if (!frames) return nullptr;
  // The frames point into the bytes, which move (not copy) into the source.
  std::unique_ptr<AnimationSource> source(new AnimationSource(channel, std::move(file)));
  source->frames_ = std::move(frames);
  Discard discard;
  std::int64_t delay = 0;
  // An animation whose first frame does not decode is refused, as a damaged still is.
  if (!source->frames_->Next(discard, &delay) || !source->frames_->LastFrameDecoded()) return nullptr;
  source->frames_->Rewind();
  opened->flags = kPrerolled | kHasVideo;
  opened->width = static_cast<std::uint32_t>(source->frames_->Width());
  opened->height = static_cast<std::uint32_t>(source->frames_->Height());
  opened->parN = opened->parD = 1;
  return source;
}

void AnimationSource::Start(const worker::Start& start) {
  started_ = true;
  layout_ = start.layout;
  wantVideo_ = start.wantVideo != 0;
  if (!wantVideo_) {
    // Nothing is wanted: the stream is over at once.
    End end = MakeMessage<End>(Type::End);
    end.generation = generation_;
    end.stream = Stream::Video;
    channel_.Send(end);
    return;
  }
  ring_ = std::make_unique<SharedRing>();
  std::string error;
  const std::uint64_t bytes = PictureBytes(layout_, static_cast<std::uint32_t>(frames_->Width()),
                                           static_cast<std::uint32_t>(frames_->Height()));
  if (!ring_->Create(kAnimationSlots, bytes, &error)) ControlChannel::Quit(error.c_str());
  Ring ring = MakeMessage<Ring>(Type::Ring);
  ring.stream = Stream::Video;
  ring.slotCount = kAnimationSlots;
  ring.slotSize = bytes;
  channel_.Send(ring, ring_->Fd());
  ring_->CloseFd();
  Fill();
}

void AnimationSource::Seek(std::uint32_t generation, std::int64_t target) {
  generation_ = generation;
  // From the start of the loop the target falls in (a whole number of loops on when the loop's
  // length is known), forward frame by frame to the one that covers it.
  frames_->Rewind();
  index_ = 0;
  time_ = loop_ > 0 ? target - target % loop_ : 0;
  loopTime_ = 0;
  skipUntil_ = target;
  if (!started_ || !wantVideo_) return;
  Fill();
}

bool AnimationSource::Release(Stream stream, std::uint32_t slot) {
  if (stream != Stream::Video || !ring_ || !ring_->Release(slot)) return false;
  Fill();
  return true;
}

bool AnimationSource::DecodeInto(std::uint32_t slot, std::int64_t* delay) {
  SlotSink sink(ring_->Slot(slot), layout_, frames_->Width(), frames_->Height());
  if (!frames_->Next(sink, delay)) return false;
  if (++index_ == frames_->FrameCount()) {
    index_ = 0;
    if (loop_ == 0) loop_ = loopTime_ + *delay;
    loopTime_ = 0;
  } else {
    loopTime_ += *delay;
  }
  return true;
}

void AnimationSource::Fill() {
  for (;;) {
    const int slot = ring_->Acquire([] { return true; });
    if (slot < 0) return;
    std::int64_t delay = 0;
    if (!DecodeInto(static_cast<std::uint32_t>(slot), &delay)) ControlChannel::Quit("a frame could not be taken");
    if (time_ + delay <= skipUntil_) {
      // Ends before the target: not shown.
      time_ += delay;
      ring_->Return(static_cast<std::uint32_t>(slot));
      continue;
    }
    Frame frame = MakeMessage<Frame>(Type::Frame);
    frame.generation = generation_;
    frame.slot = static_cast<std::uint32_t>(slot);
    frame.time = time_;
    frame.duration = delay;
    frame.bytes = ring_->SlotSize();
    time_ += delay;
    ring_->Hand(static_cast<std::uint32_t>(slot));
    channel_.Send(frame);
  }
}

}  // namespace worker
