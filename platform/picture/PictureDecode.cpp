#include "platform/picture/PictureDecode.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/picture/ColourProfile.h"
#include "platform/picture/ExifOrientation.h"
#include "platform/picture/HeifBoxes.h"
#include "platform/picture/JpegDecode.h"
#include "platform/picture/JpegSegments.h"
#include "platform/picture/PictureChunks.h"

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
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n >= 8 && std::memcmp(d, kPng, 8) == 0) return PictureType::Png;
  if (n >= 16 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBPVP8", 7) == 0) return PictureType::WebP;
  if (n >= 8 && (std::memcmp(d, "II*\0", 4) == 0 || std::memcmp(d, "MM\0*", 4) == 0)) return PictureType::Tiff;
  switch (DetectHeifBrand(d, n)) {
    case HeifBrand::Heif:
      return PictureType::Heif;
    case HeifBrand::Avif:
      return PictureType::Avif;
    case HeifBrand::None:
      break;
  }
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
    case PictureType::Png:
      return "png";
    case PictureType::WebP:
      return "webp";
    case PictureType::Heif:
      return "heif/avif";
    case PictureType::Avif:
      return "avif";
    case PictureType::Tiff:
      return "tiff";
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

// A new gdk-pixbuf loader for a picture type (the caller owns it), or null with
// the reason.
GdkPixbufLoader* NewLoader(PictureType type, std::string* error) {
  const char* name = PixbufTypeName(type);
  if (!name) {
    SetError(error, "not a picture of a known type");
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
  PrepareColourProfiles();
  if (type == PictureType::Heif) {
    // libheif looks through its plugin folder each time its use count rises from zero, which
    // the heif module does for every picture. One use held for the life of the process keeps
    // the folder looked through once, before a sandbox hides it.
    static const bool held = heif_init(nullptr).code == heif_error_Ok;
    if (!held) {
      SetError(error, "the heif library does not start");
      return false;
    }
  }
  // The module's loader is closed with no data, which some modules log as a broken picture;
  // that complaint means nothing here.
  const GLogFunc previous =
      g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  bool ok;
  {
    LoaderRef ref{NewLoader(type, error)};
    ok = ref.loader != nullptr;
  }
  g_log_set_default_handler(previous, nullptr);
  return ok;
}

namespace {

struct PixbufRef {
  GdkPixbuf* pixbuf = nullptr;
  PixbufRef() = default;
  explicit PixbufRef(GdkPixbuf* p) : pixbuf(p) {}
  ~PixbufRef() { Reset(nullptr); }
  PixbufRef(const PixbufRef&) = delete;
  PixbufRef& operator=(const PixbufRef&) = delete;
  void Reset(GdkPixbuf* p) {
    if (pixbuf) g_object_unref(pixbuf);
    pixbuf = p;
  }
};

std::string BeyondLimit(std::int64_t width, std::int64_t height) {
  return "picture of " + std::to_string(width) + " x " + std::to_string(height) + " is beyond the size limit";
}

// Decodes with the type's gdk-pixbuf loader; the picture (a reference of the caller's) or null
// with the reason.
GdkPixbuf* DecodeWithLoader(PictureType type, const std::uint8_t* data, std::size_t size, const PictureLimits& limits,
                            std::string* error) {
  LoaderRef ref{NewLoader(type, error)};
  if (!ref.loader) return nullptr;
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
    SetError(error, BeyondLimit(check.width, check.height));
    return nullptr;
  }
  if (!ok) {
    SetError(error, gerror ? gerror->message : "the decoder refused the picture");
    g_clear_error(&gerror);
    return nullptr;
  }
  // For an animation this is its first frame.
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(ref.loader);
  if (!pixbuf) {
    SetError(error, "the decoder gave no picture");
    return nullptr;
  }
  return static_cast<GdkPixbuf*>(g_object_ref(pixbuf));
}

// The ICC profile a loader found (gdk-pixbuf keeps it base64-encoded); empty when none.
std::vector<std::uint8_t> LoaderProfile(GdkPixbuf* pixbuf) {
  const gchar* encoded = gdk_pixbuf_get_option(pixbuf, "icc-profile");
  if (!encoded) return {};
  gsize length = 0;
  guchar* bytes = g_base64_decode(encoded, &length);
  std::vector<std::uint8_t> icc(bytes, bytes + length);
  g_free(bytes);
  return icc;
}

// The picture turned and mirrored from its Exif orientation to upright (a new reference), or
// the same picture for orientation 1. Null when memory runs out.
GdkPixbuf* Upright(GdkPixbuf* pixbuf, int orientation) {
  const auto rotate = [](GdkPixbuf* p, GdkPixbufRotation r) { return gdk_pixbuf_rotate_simple(p, r); };
  const auto mirrored = [](GdkPixbuf* p) {
    GdkPixbuf* flipped = p ? gdk_pixbuf_flip(p, TRUE) : nullptr;
    if (p) g_object_unref(p);
    return flipped;
  };
  switch (orientation) {
    case 2:
      return gdk_pixbuf_flip(pixbuf, TRUE);
    case 3:
      return rotate(pixbuf, GDK_PIXBUF_ROTATE_UPSIDEDOWN);
    case 4:
      return gdk_pixbuf_flip(pixbuf, FALSE);
    case 5:  // mirrored along the main diagonal: a quarter clockwise, then left to right
      return mirrored(rotate(pixbuf, GDK_PIXBUF_ROTATE_CLOCKWISE));
    case 6:
      return rotate(pixbuf, GDK_PIXBUF_ROTATE_CLOCKWISE);
    case 7:  // mirrored along the other diagonal
      return mirrored(rotate(pixbuf, GDK_PIXBUF_ROTATE_COUNTERCLOCKWISE));
    case 8:
      return rotate(pixbuf, GDK_PIXBUF_ROTATE_COUNTERCLOCKWISE);
    default:
      return static_cast<GdkPixbuf*>(g_object_ref(pixbuf));
  }
}

// The decoded picture, its embedded profile and its orientation, before the common steps.
struct Decoded {
  PixbufRef pixbuf;
  std::vector<std::uint8_t> icc;
  int orientation = 1;
};

bool DecodeByType(PictureType type, const std::uint8_t* data, std::size_t size, const PictureLimits& limits,
                  Decoded* out, std::string* error) {
  switch (type) {
    case PictureType::Jpeg: {
      const JpegSegments segments = WalkJpegSegments(data, size);
      if (!segments.reachedScan) {
        SetError(error, "the jpeg picture is cut short before its scan");
        return false;
      }
      bool dataShort = false, refusedSize = false;
      out->pixbuf.Reset(DecodeJpeg(data, size, segments, limits, &dataShort, &refusedSize, error));
      if (!out->pixbuf.pixbuf) return false;
      // A scan whose data runs out before its last block at the end of the file is a file cut
      // short; with the end marker present the file is whole, if damaged, and shows as before.
      if (dataShort && !segments.hasEnd) {
        SetError(error, "the jpeg picture is cut short");
        return false;
      }
      if (segments.components != 4) out->icc = segments.icc;  // a CMYK profile is used by the decoder
      out->orientation = ExifOrientation(segments.exif.data(), segments.exif.size());
      return true;
    }
    case PictureType::Bmp:
      if (!BmpPixelsComplete(data, size)) {
        SetError(error, "the bmp picture's pixels are cut short");
        return false;
      }
      break;
    case PictureType::Png:
      // The png module shows a file cut inside its pixel data as a picture with black rows.
      if (!FindPngChunk(data, size, "IEND").data) {
        SetError(error, "the png picture is cut short");
        return false;
      }
      break;
    case PictureType::WebP:
      if (Le32(data + 4) > size - 8) {
        SetError(error, "the webp picture is cut short");
        return false;
      }
      break;
    case PictureType::Heif:
    case PictureType::Avif: {
      std::uint32_t width = 0, height = 0;
      if (!HeifLargestExtent(data, size, &width, &height)) {
        SetError(error, "the picture announces no size");
        return false;
      }
      if (!WithinLimits(width, height, limits)) {
        SetError(error, BeyondLimit(width, height));
        return false;
      }
      break;
    }
    default:
      break;
  }
  out->pixbuf.Reset(DecodeWithLoader(type, data, size, limits, error));
  if (!out->pixbuf.pixbuf) return false;
  if (type == PictureType::WebP)
    out->icc = WebpIccProfile(data, size);
  else if (type == PictureType::Heif || type == PictureType::Avif)
    out->icc = HeifIccProfile(data, size);
  else
    out->icc = LoaderProfile(out->pixbuf.pixbuf);
  if (type == PictureType::Png) {
    const std::vector<std::uint8_t> exif = PngExif(data, size);
    out->orientation = ExifOrientation(exif.data(), exif.size());
  } else if (type == PictureType::WebP) {
    const std::vector<std::uint8_t> exif = WebpExif(data, size);
    out->orientation = ExifOrientation(exif.data(), exif.size());
  } else if (type == PictureType::Tiff) {
    // libtiff has already turned the picture partly; the module's option says what is left.
    const gchar* option = gdk_pixbuf_get_option(out->pixbuf.pixbuf, "orientation");
    out->orientation = option ? std::atoi(option) : 1;
  }
  return true;
}

}  // namespace

bool DecodePictureRows(const std::uint8_t* data, std::size_t size, const PictureLimits& limits, PictureSink& sink,
                       std::string* error) {
  const PictureType type = DetectPictureType(data, size);
  Decoded decoded;
  if (!DecodeByType(type, data, size, limits, &decoded, error)) return false;
  GdkPixbuf* pixbuf = decoded.pixbuf.pixbuf;
  if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      (gdk_pixbuf_get_n_channels(pixbuf) != 3 && gdk_pixbuf_get_n_channels(pixbuf) != 4) ||
      !WithinLimits(gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf), limits)) {
    SetError(error, "the decoder gave an unexpected pixel layout");
    return false;
  }
  // Decoders that scale by powers of two only leave the rest to be done here.
  int fittedWidth = 0, fittedHeight = 0;
  FittedSize(gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf), limits, &fittedWidth, &fittedHeight);
  if (fittedWidth != gdk_pixbuf_get_width(pixbuf) || fittedHeight != gdk_pixbuf_get_height(pixbuf)) {
    decoded.pixbuf.Reset(gdk_pixbuf_scale_simple(pixbuf, fittedWidth, fittedHeight, GDK_INTERP_BILINEAR));
    pixbuf = decoded.pixbuf.pixbuf;
    if (!pixbuf) {
      SetError(error, "the picture could not be scaled");
      return false;
    }
  }
  // The loader's picture may be shared with it (an animation's frame): the colours are
  // converted in a copy of its own.
  if (!decoded.icc.empty()) {
    decoded.pixbuf.Reset(gdk_pixbuf_copy(pixbuf));
    pixbuf = decoded.pixbuf.pixbuf;
    if (!pixbuf) {
      SetError(error, "the picture could not be taken");
      return false;
    }
    ConvertRgbToSrgb(decoded.icc, gdk_pixbuf_get_pixels(pixbuf), gdk_pixbuf_get_width(pixbuf),
                     gdk_pixbuf_get_height(pixbuf), gdk_pixbuf_get_rowstride(pixbuf),
                     gdk_pixbuf_get_n_channels(pixbuf));
  }
  decoded.pixbuf.Reset(Upright(pixbuf, decoded.orientation));
  pixbuf = decoded.pixbuf.pixbuf;
  if (!pixbuf) {
    SetError(error, "the picture could not be turned upright");
    return false;
  }

  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
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
      // Over black: a clear pixel is black, a half-clear one half as bright.
      const unsigned alpha = channels == 4 ? src[3] : 255;
      dst[0] = static_cast<std::uint8_t>((src[2] * alpha + 127) / 255);
      dst[1] = static_cast<std::uint8_t>((src[1] * alpha + 127) / 255);
      dst[2] = static_cast<std::uint8_t>((src[0] * alpha + 127) / 255);
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
