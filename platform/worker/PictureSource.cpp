#include "platform/worker/PictureSource.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

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
  // The viewer's texture renderer takes 24-bit rows: the picture is laid out in a slot of that
  // layout now, so that Start (which for a file read ahead comes much later) only hands it over.
  MakeRing(Layout::Bgr);
  prepared_ = ring_->Acquire([] { return true; });
  if (prepared_ >= 0) Fill(static_cast<std::uint32_t>(prepared_));
  return opened;
}

void PictureSource::MakeRing(Layout layout) {
  layout_ = layout;
  prepared_ = -1;
  ring_ = std::make_unique<SharedRing>();
  std::string error;
  const std::uint64_t bytes =
      PictureBytes(layout_, static_cast<std::uint32_t>(picture_.width), static_cast<std::uint32_t>(picture_.height));
  if (!ring_->Create(kStillSlots, bytes, &error)) ControlChannel::Quit(error.c_str());
  filled_.assign(kStillSlots, false);
}

void PictureSource::Start(const worker::Start& start) {
  started_ = true;
  wantVideo_ = start.wantVideo != 0;
  if (!wantVideo_) {
    ring_.reset();
    prepared_ = -1;
  } else if (start.layout != layout_) {
    MakeRing(start.layout);
  }
  if (wantVideo_) {
    Ring ring = MakeMessage<Ring>(Type::Ring);
    ring.stream = Stream::Video;
    ring.slotCount = kStillSlots;
    ring.slotSize = ring_->SlotSize();
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

void PictureSource::Fill(std::uint32_t slot) {
  // The viewer only reads a slot: one that holds the picture keeps it.
  if (filled_[slot]) return;
  filled_[slot] = true;
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
}

void PictureSource::Deliver() {
  const int slot = prepared_ >= 0 ? std::exchange(prepared_, -1) : ring_ ? ring_->Acquire([] { return true; }) : -1;
  if (slot >= 0) {
    Fill(static_cast<std::uint32_t>(slot));
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
