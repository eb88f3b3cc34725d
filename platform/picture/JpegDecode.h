// Decoding of jpeg files with libjpeg-turbo, for the colour handling gdk-pixbuf's jpeg module
// lacks: CMYK and YCCK pictures are read as CMYK and converted through their embedded profile
// (or the plain formula without one), and the decoder says whether a scan's data ran out before
// its last block. Holds no state; any thread.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/picture/JpegSegments.h"
#include "platform/picture/PictureDecode.h"

namespace picture {

// Decodes to 8-bit RGB, scaled down with the decoder's own scaling to the smallest size that is
// still at least the fitted size. The size the header announces is checked against the limits
// before any pixel exists. *dataShort tells whether the entropy data of a scan ended before its
// last block (the rest of the picture is then grey). Null with a reason in *error when the
// decoder refuses the file or its size is beyond the limits (*refusedSize then true).
GdkPixbuf* DecodeJpeg(const std::uint8_t* data, std::size_t size, const JpegSegments& segments,
                      const PictureLimits& limits, bool* dataShort, bool* refusedSize, std::string* error);

}  // namespace picture
