#include "platform/picture/PictureDecode.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace picture {
namespace {

// Size announced by the header, refused before the decoder allocates its pixels.
struct SizeCheck {
  const PictureLimits* limits;
  bool refused = false;
  int width = 0;
  int height = 0;
};

void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
  auto* check = static_cast<SizeCheck*>(data);
  check->width = width;
  check->height = height;
  if (!WithinLimits(width, height, *check->limits)) {
    check->refused = true;
    // A size of zero tells the module to stop before allocating anything.
    gdk_pixbuf_loader_set_size(loader, 0, 0);
    return;
  }
  int fittedWidth = width, fittedHeight = height;
  FittedSize(width, height, *check->limits, &fittedWidth, &fittedHeight);
  if (fittedWidth != width || fittedHeight != height) gdk_pixbuf_loader_set_size(loader, fittedWidth, fittedHeight);
}

// The jpeg decoder shows a file cut inside its scan as a partly grey picture; such a file counts
// as broken. Inside scan data a 0xFF byte is always followed by 0x00 or a restart marker, so an
// end marker after the first scan header is the real end (trailing bytes after it are fine).
bool JpegHasEnd(const std::uint8_t* d, std::size_t n) {
  std::size_t i = 2;
  while (i + 1 < n && !(d[i] == 0xFF && d[i + 1] == 0xDA)) ++i;
  for (i += 2; i + 1 < n; ++i)
    if (d[i] == 0xFF && d[i + 1] == 0xD9) return true;
  return false;
}

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

struct LoaderRef {
  GdkPixbufLoader* loader = nullptr;
  ~LoaderRef() {
    if (loader) {
      // Closing is required before the last unref; its result no longer matters here.
      gdk_pixbuf_loader_close(loader, nullptr);
      g_object_unref(loader);
    }
  }
};

}  // namespace

PictureType DetectPictureType(const std::uint8_t* d, std::size_t n) {
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return PictureType::Bmp;
  if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return PictureType::Jpeg;
  if (n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) return PictureType::Gif;
  return PictureType::Unknown;
}

const char* PixbufTypeName(PictureType type) {
  switch (type) {
    case PictureType::Bmp:
      return "bmp";
    case PictureType::Jpeg:
      return "jpeg";
    case PictureType::Gif:
      return "gif";
    case PictureType::Unknown:
      break;
  }
  return nullptr;
}

bool WithinLimits(std::int64_t width, std::int64_t height, const PictureLimits& limits) {
  return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
         width * height <= limits.maxPixels;
}

void FittedSize(int width, int height, const PictureLimits& limits, int* fittedWidth, int* fittedHeight) {
  *fittedWidth = width;
  *fittedHeight = height;
  if (limits.fitSide <= 0 || (width <= limits.fitSide && height <= limits.fitSide)) return;
  // The longer side becomes fitSide; the other keeps the ratio, rounded.
  const std::int64_t fit = limits.fitSide;
  if (width >= height) {
    *fittedWidth = limits.fitSide;
    *fittedHeight = static_cast<int>(std::max<std::int64_t>(1, (height * fit + width / 2) / width));
  } else {
    *fittedHeight = limits.fitSide;
    *fittedWidth = static_cast<int>(std::max<std::int64_t>(1, (width * fit + height / 2) / height));
  }
}

namespace {

std::uint32_t Le16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

bool BmpPixelsComplete(const std::uint8_t* d, std::size_t n) {
  // File header (14 bytes: "BM", size, reserved, pixel offset), then the info header's size.
  if (n < 18 || d[0] != 'B' || d[1] != 'M') return true;
  const std::uint64_t offset = Le32(d + 10);
  const std::uint32_t headerSize = Le32(d + 14);
  std::int64_t width = 0, height = 0;
  std::uint32_t bits = 0, compression = 0;
  if (headerSize == 12 && n >= 26) {  // OS/2 1.x: 16-bit sizes, no compression
    width = Le16(d + 18);
    height = Le16(d + 20);
    bits = Le16(d + 24);
  } else if (headerSize >= 40 && n >= 34) {
    width = static_cast<std::int32_t>(Le32(d + 18));
    height = static_cast<std::int32_t>(Le32(d + 22));
    bits = Le16(d + 28);
    compression = Le32(d + 30);
  } else {
    return true;
  }
  constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
  if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields) return true;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return true;
  if (height < 0) height = -height;  // rows top first
  if (width <= 0 || height <= 0) return true;
  // Rows are padded to 4 bytes; the last one needs only its pixels.
  const std::uint64_t rowPixels = (static_cast<std::uint64_t>(width) * bits + 7) / 8;
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t rows = static_cast<std::uint64_t>(height) - 1;
  if (rows > 0 && stride > (std::uint64_t{1} << 62) / rows) return false;
  return offset + stride * rows + rowPixels <= n;
}

namespace {

// A new gdk-pixbuf loader for one of the three picture types (the caller owns it), or null with
// the reason.
GdkPixbufLoader* NewLoader(PictureType type, std::string* error) {
  const char* name = PixbufTypeName(type);
  if (!name) {
    SetError(error, "not a bmp, jpeg or gif picture");
    return nullptr;
  }
  GError* gerror = nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(name, &gerror);
  if (!loader) {
    SetError(error, std::string("no decoder for ") + name + ": " + (gerror ? gerror->message : "unknown"));
    g_clear_error(&gerror);
  }
  return loader;
}

}  // namespace

bool PreparePictureDecoder(PictureType type, std::string* error) {
  LoaderRef ref{NewLoader(type, error)};
  return ref.loader != nullptr;
}

bool DecodePictureRows(const std::uint8_t* data, std::size_t size, const PictureLimits& limits, PictureSink& sink,
                       std::string* error) {
  const PictureType type = DetectPictureType(data, size);
  if (type == PictureType::Jpeg && !JpegHasEnd(data, size)) {
    SetError(error, "the jpeg picture is cut short");
    return false;
  }
  if (type == PictureType::Bmp && !BmpPixelsComplete(data, size)) {
    SetError(error, "the bmp picture's pixels are cut short");
    return false;
  }
  LoaderRef ref{NewLoader(type, error)};
  if (!ref.loader) return false;
  SizeCheck check{&limits};
  g_signal_connect(ref.loader, "size-prepared", G_CALLBACK(&OnSizePrepared), &check);
  GError* gerror = nullptr;

  // Fed in pieces so that a refused size stops the work at the next piece.
  constexpr std::size_t kPiece = 64 * 1024;
  bool ok = true;
  for (std::size_t at = 0; at < size && ok && !check.refused; at += kPiece) {
    const std::size_t piece = std::min(kPiece, size - at);
    ok = gdk_pixbuf_loader_write(ref.loader, data + at, piece, &gerror);
  }
  if (ok && !check.refused) ok = gdk_pixbuf_loader_close(ref.loader, &gerror);
  if (check.refused) {
    g_clear_error(&gerror);
    SetError(error, "picture of " + std::to_string(check.width) + " x " + std::to_string(check.height) +
                        " is beyond the size limit");
    return false;
  }
  if (!ok) {
    SetError(error, gerror ? gerror->message : "the decoder refused the picture");
    g_clear_error(&gerror);
    return false;
  }
  // For an animation this is its first frame.
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(ref.loader);
  if (!pixbuf) {
    SetError(error, "the decoder gave no picture");
    return false;
  }
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
  const bool fits = limits.fitSide <= 0 || (width <= limits.fitSide && height <= limits.fitSide);
  if (!WithinLimits(width, height, limits) || !fits || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
      gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || (channels != 3 && channels != 4) ||
      rowstride < channels * width) {
    SetError(error, "the decoder gave an unexpected pixel layout");
    return false;
  }
  if (!sink.Begin(width, height)) {
    SetError(error, "the picture could not be taken");
    return false;
  }
  const std::uint8_t* pixels = gdk_pixbuf_read_pixels(pixbuf);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(BgrStride(width)), 0);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = pixels + static_cast<std::size_t>(y) * rowstride;
    std::uint8_t* dst = row.data();
    for (int x = 0; x < width; ++x, src += channels, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
    if (!sink.Row(row.data())) {
      SetError(error, "the picture could not be taken");
      return false;
    }
  }
  return true;
}

bool DecodePictureBytes(const std::uint8_t* data, std::size_t size, const PictureLimits& limits, DecodedPicture* out,
                        std::string* error) {
  class Collect final : public PictureSink {
   public:
    explicit Collect(DecodedPicture* out) : out_(out) {}
    bool Begin(int width, int height) override {
      out_->width = width;
      out_->height = height;
      out_->stride = BgrStride(width);
      try {
        out_->bgr.resize(static_cast<std::size_t>(out_->stride) * height);
      } catch (const std::bad_alloc&) {
        return false;
      }
      return true;
    }
    bool Row(const std::uint8_t* bgr) override {
      std::memcpy(out_->bgr.data() + at_, bgr, static_cast<std::size_t>(out_->stride));
      at_ += static_cast<std::size_t>(out_->stride);
      return true;
    }

   private:
    DecodedPicture* out_;
    std::size_t at_ = 0;
  };
  *out = DecodedPicture{};
  Collect collect(out);
  if (DecodePictureRows(data, size, limits, collect, error)) return true;
  *out = DecodedPicture{};
  return false;
}

}  // namespace picture
