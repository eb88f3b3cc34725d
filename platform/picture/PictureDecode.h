// Decoding of pictures that come from outside the program (bmp, jpeg, gif, png, webp, heif, avif,
// tiff) with gdk-pixbuf and its loaders (jpeg with libjpeg-turbo, see JpegDecode.h).
// This is the step the media worker runs on untrusted bytes in its sandbox; it holds no state and
// touches nothing but its arguments, so it can also run in-process (fuzzing, tests). Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace picture {

enum class PictureType { Unknown, Bmp, Jpeg, Gif, Png, WebP, Heif, Avif, Tiff };

// The type by content alone (the file name plays no part). SVG and everything else is Unknown:
// this path never decodes them.
PictureType DetectPictureType(const std::uint8_t* data, std::size_t size);
// The name of the gdk-pixbuf loader that decodes the type ("bmp", "jpeg", "heif/avif", ...);
// null for Unknown.
const char* PixbufTypeName(PictureType type);

// What a decode accepts: a header announcing more than maxSide a side or maxPixels in all is
// refused before any pixel exists. With fitSide > 0, a picture within those limits but wider or
// taller than fitSide is decoded scaled down to fit it, keeping its aspect ratio.
struct PictureLimits {
  int maxSide = 16384;
  std::int64_t maxPixels = 8192LL * 8192;
  int fitSide = 0;
};

// Packed BGR, rows top first, each row (3 x width + 3) & ~3 bytes (GStreamer's BGR layout).
struct DecodedPicture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<std::uint8_t> bgr;
};

inline int BgrStride(int width) {
  return (3 * width + 3) & ~3;
}
bool WithinLimits(std::int64_t width, std::int64_t height, const PictureLimits& limits);
// The size a picture of width x height is decoded at: itself, or scaled down (each side at least
// 1) to fit limits.fitSide when that is set and a side is larger.
void FittedSize(int width, int height, const PictureLimits& limits, int* fittedWidth, int* fittedHeight);
// False for an uncompressed bmp file whose pixel data is shorter than its header says (its last
// row's padding aside); true for anything else, which the decoder then judges.
bool BmpPixelsComplete(const std::uint8_t* data, std::size_t size);

// Decodes a whole picture file (the first frame of an animation) as the type its content says,
// and hands it over upright and in sRGB:
// - A jpeg cut before its first scan, or whose file ends inside a scan's data before the scan's
//   last block, is refused as cut short; one whose scans are whole shows even without its end
//   marker. An uncompressed bmp whose pixel data ends before its last row is refused too (only
//   that row's padding may be missing), and so is a png whose chunks end before its image end
//   chunk and a webp shorter than its RIFF header says.
// - The size the header announces is checked against the limits before any pixel buffer exists
//   (for heif and avif, read from the file's boxes before the decoder sees it).
// - The Exif orientation of a jpeg, png, webp or tiff turns and mirrors the picture upright;
//   heif and avif pictures come upright from their decoders (their own rotation and mirroring).
// - Colours are converted from the embedded ICC profile to sRGB (none: taken as sRGB).
// - Transparent parts are shown over black: each colour is multiplied by its opacity, which for
//   a transparent gif is what it always was (its clear pixels are black).
// False with a reason in *error (when not null) for an unknown type, a picture beyond the
// limits, or anything the decoder refuses.
bool DecodePictureBytes(const std::uint8_t* data, std::size_t size, const PictureLimits& limits, DecodedPicture* out,
                        std::string* error);

// Receives a decoded picture: Begin once with its size, then Row once for each row, top row
// first, with BgrStride(width) bytes of packed BGR (padding zero). Returning false stops the
// decode, which then fails.
class PictureSink {
 public:
  virtual bool Begin(int width, int height) = 0;
  virtual bool Row(const std::uint8_t* bgr) = 0;

 protected:
  ~PictureSink() = default;
};

// The same decode as DecodePictureBytes, handing the rows to a sink instead of one buffer.
bool DecodePictureRows(const std::uint8_t* data, std::size_t size, const PictureLimits& limits, PictureSink& sink,
                       std::string* error);

// Loads the gdk-pixbuf module for a type ahead of decoding, and starts what it and the colour
// conversion load at first use (libheif's plugin folder, the C library's time zone), so that a
// sandbox installed afterwards need not allow opening files or libraries. False when the type
// has no loader.
bool PreparePictureDecoder(PictureType type, std::string* error);

}  // namespace picture
