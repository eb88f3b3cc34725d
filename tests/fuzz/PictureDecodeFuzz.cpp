// The media worker's picture decoding on any bytes, in-process: it never reads outside the input,
// refuses what is of no known type, keeps to the size limits, and what it gives has exactly the
// layout it promises and is the same on a second decode (no uninitialised pixels, no hidden
// state). The readers of its own on the way are reached through it: the jpeg segment walk, the
// HEIF boxes, the png and webp chunks, the Exif orientation and the colour profiles. The same
// bytes then go to the animation player (the gif and APNG frame walks and splitting, frame
// composition), whose frames must each have the size it promised and a delay of 20 ms or more.
#include <sys/resource.h>

#include <algorithm>

#include "platform/picture/AnimationFrames.h"
#include "platform/picture/PictureDecode.h"
#include "tests/fuzz/FuzzCheck.h"

// The decoder runs in a process whose address space is limited; decoding in-process here must see
// the same refusals. gdk-pixbuf's BMP loader, for one, asks for 4 GiB for the palette of a 78-byte
// file (regressions/picturedecode/) and copes when it is refused. Under AddressSanitizer, whose
// shadow memory needs a large address space, the allocator refuses instead.
#if defined(__SANITIZE_ADDRESS__)
#define ORBELLE_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORBELLE_FUZZ_ASAN 1
#endif
#endif

#ifdef ORBELLE_FUZZ_ASAN
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}
#endif

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifndef ORBELLE_FUZZ_ASAN
  const rlimit limit{rlim_t{2} << 30, rlim_t{2} << 30};
  setrlimit(RLIMIT_AS, &limit);
#endif
  return 0;
}

namespace {

// Counts the rows of a frame of the size announced.
class FrameCheck final : public picture::PictureSink {
 public:
  FrameCheck(int width, int height) : width_(width), height_(height) {}
  bool Begin(int width, int height) override {
    FUZZ_CHECK(width == width_ && height == height_);
    rows_ = 0;
    return true;
  }
  bool Row(const std::uint8_t*) override {
    FUZZ_CHECK(++rows_ <= height_);
    return true;
  }
  int rows_ = 0;

 private:
  int width_, height_;
};

// Plays a little more than one loop of a short animation, or its first frames.
void PlayAnimation(const std::uint8_t* data, std::size_t size, const picture::PictureLimits& limits) {
  std::string error;
  auto animation = picture::AnimationFrames::Open(data, size, limits, &error);
  if (!animation) return;
  FUZZ_CHECK(animation->FrameCount() >= 2 && picture::WithinLimits(animation->Width(), animation->Height(), limits));
  FrameCheck check(animation->Width(), animation->Height());
  const int frames = std::min(animation->FrameCount() + 1, 12);
  for (int i = 0; i < frames; ++i) {
    std::int64_t delay = 0;
    FUZZ_CHECK(animation->Next(check, &delay));
    FUZZ_CHECK(check.rows_ == animation->Height() && delay >= 20000000);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small limits keep each run fast; the refusal above them is part of what is checked.
  const picture::PictureLimits limits{.maxSide = 2048, .maxPixels = 1 << 20};
  picture::DecodedPicture first;
  std::string error;
  PlayAnimation(data, size, limits);
  const bool ok = picture::DecodePictureBytes(data, size, limits, &first, &error);
  if (picture::DetectPictureType(data, size) == picture::PictureType::Unknown) FUZZ_CHECK(!ok);
  if (!ok) {
    FUZZ_CHECK(!error.empty() && first.bgr.empty() && first.width == 0 && first.height == 0);
    return 0;
  }
  FUZZ_CHECK(picture::WithinLimits(first.width, first.height, limits));
  FUZZ_CHECK(first.stride == picture::BgrStride(first.width));
  FUZZ_CHECK(first.bgr.size() == static_cast<std::size_t>(first.stride) * static_cast<std::size_t>(first.height));

  picture::DecodedPicture second;
  FUZZ_CHECK(picture::DecodePictureBytes(data, size, limits, &second, nullptr));
  FUZZ_CHECK(second.width == first.width && second.height == first.height && second.bgr == first.bgr);
  return 0;
}
