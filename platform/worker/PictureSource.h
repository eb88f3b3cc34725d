// A still picture (see PictureDecode.h for the types) decoded and served as one frame. Pictures
// larger than the viewer's texture limit are decoded scaled down to fit it; pictures beyond a
// sane decoding limit, files beyond kMaxPictureFile and damaged files are refused. Internal to
// platform/worker; main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/picture/PictureDecode.h"
#include "platform/worker/ControlChannel.h"
#include "platform/worker/SharedRing.h"
#include "platform/worker/Source.h"

namespace worker {

class PictureSource final : public Source {
 public:
  explicit PictureSource(ControlChannel& channel) : channel_(channel) {}

  // Decodes the picture in the file's bytes; the answer to Open, prerolled when it decoded.
  Opened Open(const std::vector<std::uint8_t>& file);

  void Start(const worker::Start& start) override;
  void Seek(std::uint32_t generation, std::int64_t target) override;
  bool Release(Stream stream, std::uint32_t slot) override;

 private:
  // Sends the picture in a free slot (the one laid out at Open first), then End.
  void Deliver();
  // A new ring for pictures in this layout, none of its slots filled yet.
  void MakeRing(Layout layout);
  // Writes the picture into a slot unless it already holds it.
  void Fill(std::uint32_t slot);

  ControlChannel& channel_;
  picture::DecodedPicture picture_;
  Layout layout_ = Layout::Bgr;
  bool started_ = false;
  bool wantVideo_ = false;
  std::uint32_t generation_ = 0;
  std::unique_ptr<SharedRing> ring_;
  std::vector<bool> filled_;  // per slot of ring_: it holds the picture
  int prepared_ = -1;         // the slot laid out at Open, not yet sent
};

// The limits of a picture the worker decodes: up to 32768 a side and 256 megapixels, scaled down
// to fit kMaxSide.
picture::PictureLimits WorkerPictureLimits();

}  // namespace worker
