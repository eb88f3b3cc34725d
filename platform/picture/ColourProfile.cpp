#include "platform/picture/ColourProfile.h"

#include <lcms2.h>
#include <zlib.h>

#include <cstring>

#include "platform/picture/PictureChunks.h"

#include <algorithm>

namespace picture {
namespace {

// Owns an lcms profile handle.
struct Profile {
  cmsHPROFILE handle;
  explicit Profile(cmsHPROFILE h) : handle(h) {}
  ~Profile() {
    if (handle) cmsCloseProfile(handle);
  }
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;
};

cmsHPROFILE OpenProfile(const std::vector<std::uint8_t>& icc) {
  if (icc.empty() || icc.size() > (1u << 30)) return nullptr;
  return cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
}

// Grey read from the first of three or four bytes: the others are skipped as extra channels.
constexpr cmsUInt32Number GreyIn(int channels) {
  return COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(channels - 1);
}

}  // namespace

bool ConvertRgbToSrgb(const std::vector<std::uint8_t>& icc, std::uint8_t* pixels, int width, int height, int rowstride,
                      int channels) {
  Profile from(OpenProfile(icc));
  if (!from.handle || (channels != 3 && channels != 4)) return false;
  const cmsColorSpaceSignature space = cmsGetColorSpace(from.handle);
  cmsUInt32Number in;
  if (space == cmsSigRgbData)
    in = channels == 4 ? TYPE_RGBA_8 : TYPE_RGB_8;
  else if (space == cmsSigGrayData)
    in = GreyIn(channels);
  else
    return false;
  const cmsUInt32Number out = channels == 4 ? TYPE_RGBA_8 : TYPE_RGB_8;
  Profile srgb(cmsCreate_sRGBProfile());
  // Alpha (an extra channel) is left where it is: the rows are converted in place and lcms
  // writes only the colour channels.
  cmsHTRANSFORM transform = cmsCreateTransform(from.handle, in, srgb.handle, out, INTENT_PERCEPTUAL, 0);
  if (!transform) return false;
  if (space == cmsSigGrayData) {
    // Grey in and RGB out overlap byte for byte only when each pixel is read before it is
    // written, which lcms does pixel by pixel within a row.
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = pixels + static_cast<std::size_t>(y) * rowstride;
      cmsDoTransform(transform, row, row, static_cast<cmsUInt32Number>(width));
    }
  } else {
    cmsDoTransformLineStride(transform, pixels, pixels, static_cast<cmsUInt32Number>(width),
                             static_cast<cmsUInt32Number>(height), static_cast<cmsUInt32Number>(rowstride),
                             static_cast<cmsUInt32Number>(rowstride), 0, 0);
  }
  cmsDeleteTransform(transform);
  return true;
}

CmykToRgb::CmykToRgb(const std::vector<std::uint8_t>& icc, bool inverted) : inverted_(inverted) {
  Profile from(OpenProfile(icc));
  if (!from.handle || cmsGetColorSpace(from.handle) != cmsSigCmykData) return;
  Profile srgb(cmsCreate_sRGBProfile());
  transform_ = cmsCreateTransform(from.handle, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.handle, TYPE_RGB_8,
                                  INTENT_PERCEPTUAL, 0);
}

CmykToRgb::~CmykToRgb() {
  if (transform_) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void CmykToRgb::Row(const std::uint8_t* cmyk, std::uint8_t* rgb, int width) const {
  if (transform_) {
    cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), cmyk, rgb, static_cast<cmsUInt32Number>(width));
    return;
  }
  for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    // As ink coverage, 0 none and 255 full.
    const int k = inverted_ ? 255 - cmyk[3] : cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const int ink = inverted_ ? 255 - cmyk[c] : cmyk[c];
      rgb[c] = static_cast<std::uint8_t>(((255 - ink) * (255 - k) + 127) / 255);
    }
  }
}

void PrepareColourProfiles() {
  Profile srgb(cmsCreate_sRGBProfile());
}

std::vector<std::uint8_t> PngIccProfile(const std::uint8_t* data, std::size_t size) {
  // A name of 1 to 79 bytes, its terminating zero, the compression method (0: zlib), the data.
  const Chunk chunk = FindPngChunk(data, size, "iCCP");
  const void* zero = chunk.data ? std::memchr(chunk.data, 0, std::min<std::size_t>(chunk.size, 80)) : nullptr;
  if (!zero) return {};
  const std::size_t at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - chunk.data) + 2;
  if (at > chunk.size || chunk.data[at - 1] != 0) return {};
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return {};
  stream.next_in = const_cast<Bytef*>(chunk.data + at);
  stream.avail_in = static_cast<uInt>(chunk.size - at);
  std::vector<std::uint8_t> icc;
  constexpr std::size_t kMost = 16u << 20, kStep = 64 * 1024;
  int rc = Z_OK;
  while (rc == Z_OK && icc.size() < kMost) {
    const std::size_t had = icc.size();
    icc.resize(had + kStep);
    stream.next_out = icc.data() + had;
    stream.avail_out = static_cast<uInt>(kStep);
    rc = inflate(&stream, Z_NO_FLUSH);
    icc.resize(had + (kStep - stream.avail_out));
    if (rc == Z_BUF_ERROR && stream.avail_out != 0) break;
  }
  inflateEnd(&stream);
  if (rc != Z_STREAM_END) return {};
  return icc;
}

std::vector<std::uint8_t> WebpIccProfile(const std::uint8_t* data, std::size_t size) {
  const Chunk chunk = FindWebpChunk(data, size, "ICCP");
  return {chunk.data, chunk.data + chunk.size};
}

}  // namespace picture
