#include "platform/picture/JpegDecode.h"

// jpeglib.h needs FILE and size_t declared first.
#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <memory>
#include <new>

#include "platform/picture/ColourProfile.h"

namespace picture {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool dataShort = false;
  char message[JMSG_LENGTH_MAX] = {};
};

void OnError(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  info->err->format_message(info, err->message);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
  // Warnings only; JWRN_HIT_MARKER is the entropy decoder running out of data inside a scan.
  if (level < 0 && info->err->msg_code == JWRN_HIT_MARKER) reinterpret_cast<ErrorManager*>(info->err)->dataShort = true;
}

// Everything the decode touches after setjmp lives here and is made before it, so that a
// longjmp skips no destructor.
struct Decode {
  jpeg_decompress_struct info{};
  ErrorManager err;
  GdkPixbuf* pixbuf = nullptr;
  std::unique_ptr<std::uint8_t[]> cmykRow;
  std::unique_ptr<CmykToRgb> cmyk;
  bool created = false;
  ~Decode() {
    if (created) jpeg_destroy_decompress(&info);
    if (pixbuf) g_object_unref(pixbuf);
  }
};

enum class Outcome { Decoded, TooLarge, Failed };

Outcome Run(Decode& d, const std::uint8_t* data, std::size_t size, const PictureLimits& limits) {
  d.info.err = jpeg_std_error(&d.err.base);
  d.err.base.error_exit = &OnError;
  d.err.base.emit_message = &OnMessage;
  if (setjmp(d.err.jump)) return Outcome::Failed;
  jpeg_create_decompress(&d.info);
  d.created = true;
  jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d.info, TRUE);
  if (!WithinLimits(d.info.image_width, d.info.image_height, limits)) return Outcome::TooLarge;
  const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
  d.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  int fittedWidth = 0, fittedHeight = 0;
  FittedSize(static_cast<int>(d.info.image_width), static_cast<int>(d.info.image_height), limits, &fittedWidth,
             &fittedHeight);
  for (unsigned denom : {8u, 4u, 2u}) {
    if ((d.info.image_width + denom - 1) / denom >= static_cast<unsigned>(fittedWidth) &&
        (d.info.image_height + denom - 1) / denom >= static_cast<unsigned>(fittedHeight)) {
      d.info.scale_num = 1;
      d.info.scale_denom = denom;
      break;
    }
  }
  jpeg_start_decompress(&d.info);
  const int width = static_cast<int>(d.info.output_width), height = static_cast<int>(d.info.output_height);
  d.pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (!d.pixbuf) ERREXIT(&d.info, JERR_OUT_OF_MEMORY);
  if (cmyk) d.cmykRow.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(width) * 4]);
  if (cmyk && !d.cmykRow) ERREXIT(&d.info, JERR_OUT_OF_MEMORY);
  std::uint8_t* pixels = gdk_pixbuf_get_pixels(d.pixbuf);
  const int rowstride = gdk_pixbuf_get_rowstride(d.pixbuf);
  while (d.info.output_scanline < d.info.output_height) {
    std::uint8_t* row = pixels + static_cast<std::size_t>(d.info.output_scanline) * rowstride;
    JSAMPROW target = cmyk ? d.cmykRow.get() : row;
    if (jpeg_read_scanlines(&d.info, &target, 1) != 1) ERREXIT(&d.info, JERR_INPUT_EOF);
    if (cmyk) d.cmyk->Row(d.cmykRow.get(), row, width);
  }
  jpeg_finish_decompress(&d.info);
  return Outcome::Decoded;
}

}  // namespace

GdkPixbuf* DecodeJpeg(const std::uint8_t* data, std::size_t size, const JpegSegments& segments,
                      const PictureLimits& limits, bool* dataShort, bool* refusedSize, std::string* error) {
  *dataShort = *refusedSize = false;
  auto d = std::make_unique<Decode>();
  // libjpeg reads an Adobe file's CMYK as stored, which is inverted.
  d->cmyk = std::make_unique<CmykToRgb>(segments.icc, segments.adobe);
  const Outcome outcome = Run(*d, data, size, limits);
  *dataShort = d->err.dataShort;
  if (outcome == Outcome::TooLarge) {
    *refusedSize = true;
    if (error)
      *error = "picture of " + std::to_string(d->info.image_width) + " x " + std::to_string(d->info.image_height) +
               " is beyond the size limit";
    return nullptr;
  }
  if (outcome == Outcome::Failed) {
    if (error) *error = std::string("the jpeg decoder refused the picture: ") + d->err.message;
    return nullptr;
  }
  GdkPixbuf* pixbuf = d->pixbuf;
  d->pixbuf = nullptr;
  return pixbuf;
}

}  // namespace picture
