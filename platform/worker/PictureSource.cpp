#include "platform/worker/PictureSource.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace worker {

picture::PictureLimits WorkerPictureLimits() {
  picture::PictureLimits limits;
  limits.maxSide = 32768;
  limits.maxPixels = 256LL << 20;
  limits.fitSide = static_cast<int>(kMaxSide);
  return limits;
}

Opened PictureSource::Open(const std::vector<std::uint8_t>& file) {
  Opened opened = MakeMessage<Opened>(Type::Opened);
  opened.kind = Kind::Still;
  opened.duration = -1;
  if (!picture::DecodePictureBytes(file.data(), file.size(), WorkerPictureLimits(), &picture_, nullptr)) return opened;
  opened.flags = kPrerolled | kHasVideo;
  opened.width = static_cast<std::uint32_t>(picture_.width);
  opened.height = static_cast<std::uint32_t>(picture_.height);
  opened.parN = opened.parD = 1;
  return opened;
}

void PictureSource::Start(const worker::Start& start) {
  started_ = true;
  layout_ = start.layout;
  wantVideo_ = start.wantVideo != 0;
  if (wantVideo_) {
    ring_ = std::make_unique<SharedRing>();
    std::string error;
    const std::uint64_t bytes =
        PictureBytes(layout_, static_cast<std::uint32_t>(picture_.width), static_cast<std::uint32_t>(picture_.height));
    if (!ring_->Create(kStillSlots, bytes, &error)) ControlChannel::Quit(error.c_str());
    Ring ring = MakeMessage<Ring>(Type::Ring);
    ring.stream = Stream::Video;
    ring.slotCount = kStillSlots;
    ring.slotSize = bytes;
    channel_.Send(ring, ring_->Fd());
    ring_->CloseFd();
  }
  Deliver();
}

void PictureSource::Seek(std::uint32_t generation, std::int64_t) {
  // One picture, at every position: it comes again when its slot is free. Before Start the
  // generation is only noted.
  generation_ = generation;
  if (started_) Deliver();
}

bool PictureSource::Release(Stream stream, std::uint32_t slot) {
  return stream == Stream::Video && ring_ && ring_->Release(slot);
}

void PictureSource::Deliver() {
  const int slot = ring_ ? ring_->Acquire([] { return true; }) : -1;
  if (slot >= 0) {
    // Rows bottom first, in the settled layout.
    const int width = picture_.width, height = picture_.height;
    const std::uint64_t rowBytes = RowBytes(layout_, static_cast<std::uint32_t>(width));
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* from = picture_.bgr.data() + static_cast<std::size_t>(y) * picture_.stride;
      std::uint8_t* to =
          ring_->Slot(static_cast<std::uint32_t>(slot)) + rowBytes * static_cast<std::uint64_t>(height - 1 - y);
      if (layout_ == Layout::Bgr) {
        std::memcpy(to, from, static_cast<std::size_t>(rowBytes));
      } else {
        for (int x = 0; x < width; ++x, from += 3, to += 4) {
          to[0] = from[0];
          to[1] = from[1];
          to[2] = from[2];
          to[3] = 0xFF;
        }
      }
    }
    Frame frame = MakeMessage<Frame>(Type::Frame);
    frame.generation = generation_;
    frame.slot = static_cast<std::uint32_t>(slot);
    frame.time = 0;
    frame.duration = -1;
    frame.bytes = ring_->SlotSize();
    ring_->Hand(static_cast<std::uint32_t>(slot));
    channel_.Send(frame);
  }
  End end = MakeMessage<End>(Type::End);
  end.generation = generation_;
  end.stream = Stream::Video;
  channel_.Send(end);
}

}  // namespace worker
