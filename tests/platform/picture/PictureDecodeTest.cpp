// The decoding step of the media worker, in-process: the type comes from the content; a size
// beyond the limits is refused from the header; cut files are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/picture/PictureDecode.h"

namespace {

using picture::DecodedPicture;
using picture::DecodePictureBytes;
using picture::PictureLimits;
using Bytes = std::vector<std::uint8_t>;

Bytes Fixture(const std::string& name) {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  const std::filesystem::path dir =
      std::filesystem::path(source ? source : ORBELLE_SOURCE_DIR_DEFAULT) / "tests/platform/picture/fixtures";
  std::ifstream in(dir / name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(PictureDecodeTest, TypeComesFromTheContentAndOtherTypesAreNotDecoded) {
  const Bytes gif = Fixture("plain.gif");
  ASSERT_FALSE(gif.empty());
  EXPECT_EQ(picture::PictureType::Gif, picture::DetectPictureType(gif.data(), gif.size()));
  EXPECT_EQ(picture::PictureType::Bmp, picture::DetectPictureType(Fixture("rle8.bmp").data(), 2));
  const std::string svg = "<svg width='30000' height='30000'/>";
  // An MP4 video's file type box: a video, not a HEIF picture.
  const Bytes mp4 = {0, 0, 0, 20, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0, 'm', 'p', '4', '1'};
  for (const Bytes& other : {Bytes(svg.begin(), svg.end()), mp4, Bytes{}}) {
    EXPECT_EQ(picture::PictureType::Unknown, picture::DetectPictureType(other.data(), other.size()));
    DecodedPicture out;
    std::string error;
    EXPECT_FALSE(DecodePictureBytes(other.data(), other.size(), PictureLimits{}, &out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(out.bgr.empty());
  }
  // Image brands, as the major brand or beside mif1.
  const Bytes heic = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 0, 0, 0, 0};
  const Bytes avif = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'm', 'i', 'f', '1', 0, 0, 0, 0, 'a', 'v', 'i', 'f', 0, 0, 0, 0};
  EXPECT_EQ(picture::PictureType::Heif, picture::DetectPictureType(heic.data(), heic.size()));
  EXPECT_EQ(picture::PictureType::Avif, picture::DetectPictureType(avif.data(), avif.size()));
}

TEST(PictureDecodeTest, SizeBeyondTheLimitsIsRefusedFromTheHeader) {
  // The fixtures are 29 x 21; limits just below that refuse each type on its announced size.
  const PictureLimits narrow{28, 1 << 20};
  const PictureLimits few{100, 29 * 21 - 1};
  for (const char* name :
       {"baseline.jpg", "progressive.jpg", "v3_24bit.bmp", "rle8.bmp", "plain.gif", "animated.gif"}) {
    SCOPED_TRACE(name);
    const Bytes bytes = Fixture(name);
    DecodedPicture out;
    std::string error;
    ASSERT_TRUE(DecodePictureBytes(bytes.data(), bytes.size(), PictureLimits{}, &out, &error)) << error;
    EXPECT_EQ(29, out.width);
    EXPECT_EQ(21, out.height);
    EXPECT_EQ(88, out.stride);
    EXPECT_EQ(88u * 21, out.bgr.size());
    for (const PictureLimits& limits : {narrow, few}) {
      EXPECT_FALSE(DecodePictureBytes(bytes.data(), bytes.size(), limits, &out, &error));
      EXPECT_NE(std::string::npos, error.find("29 x 21 is beyond the size limit")) << error;
      EXPECT_TRUE(out.bgr.empty());
    }
  }
}

TEST(PictureDecodeTest, HugeAnnouncedSizesAndCutFilesAreRefused) {
  Bytes bmp = Fixture("v3_24bit.bmp");
  bmp[18] = 0x20, bmp[19] = 0x4E, bmp[22] = 0x20, bmp[23] = 0x4E;  // 20000 x 20000
  Bytes gifScreen = Fixture("plain.gif");
  gifScreen[6] = gifScreen[8] = 0x40, gifScreen[7] = gifScreen[9] = 0x9C;  // screen 40000 x 40000
  const Bytes gifFrame = {'G', 'I', 'F', '8', '9', 'a', 1,    0,    1,    0,    0x80, 0, 0, 0,    0,    0, 255, 255,
                          255, ',', 0,   0,   0,   0,   0x40, 0x9C, 0x40, 0x9C, 0,    2, 2, 0x4C, 0x01, 0, ';'};
  const Bytes jpeg = Fixture("baseline.jpg");
  const Bytes cutJpeg(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  const Bytes cutBmp(bmp.begin(), bmp.begin() + 30);
  for (const Bytes& bytes : {bmp, gifScreen, gifFrame, cutJpeg, cutBmp}) {
    DecodedPicture out;
    EXPECT_FALSE(DecodePictureBytes(bytes.data(), bytes.size(), PictureLimits{}, &out, nullptr));
    EXPECT_TRUE(out.bgr.empty());
  }
}

// An uncompressed 24-bit bmp of one colour, rows bottom first.
Bytes SolidBmp(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  const std::uint32_t stride = (3 * width + 3) & ~3, size = stride * height;
  auto le32 = [](Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  Bytes bmp = {'B', 'M'};
  le32(bmp, 54 + size);
  le32(bmp, 0);
  le32(bmp, 54);
  le32(bmp, 40);
  le32(bmp, static_cast<std::uint32_t>(width));
  le32(bmp, static_cast<std::uint32_t>(height));
  bmp.insert(bmp.end(), {1, 0, 24, 0});
  for (int i = 0; i < 6; ++i) le32(bmp, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bmp.insert(bmp.end(), {b, g, r});
    bmp.resize(bmp.size() + stride - 3 * width, 0);
  }
  return bmp;
}

// An uncompressed bmp holds all its rows; only the last row's padding may be missing (some
// writers leave it out). A header alone, however large the size it claims, is not a picture.
TEST(PictureDecodeTest, UncompressedBmpShorterThanItsRowsIsRefused) {
  const Bytes whole = Fixture("v3_24bit.bmp");
  ASSERT_FALSE(whole.empty());
  const Bytes eightBit = Fixture("v3_8bit.bmp");
  Bytes headerOnly(whole.begin(), whole.begin() + 54);
  headerOnly[18] = 0, headerOnly[19] = 0x20, headerOnly[22] = 0, headerOnly[23] = 0x20;  // 8192 x 8192
  struct Case {
    const char* name;
    Bytes bytes;
    bool decodes;
  };
  const Case cases[] = {
      {"whole", whole, true},
      {"last row's padding missing", Fixture("short_last_row.bmp"), true},
      {"last row's last pixel missing", Bytes(whole.begin(), whole.end() - 4), false},
      {"a row missing", Bytes(whole.begin(), whole.end() - 88), false},
      {"header claiming 8192 x 8192", headerOnly, false},
      {"8-bit, a row missing", Bytes(eightBit.begin(), eightBit.end() - 32), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedPicture out;
    std::string error;
    EXPECT_EQ(c.decodes, DecodePictureBytes(c.bytes.data(), c.bytes.size(), PictureLimits{}, &out, &error)) << error;
    EXPECT_EQ(c.decodes, !out.bgr.empty());
  }
}

// With a side to fit, a picture wider or taller than it is decoded scaled down to it, keeping
// its aspect ratio; one beyond the decode limits is still refused from its header.
TEST(PictureDecodeTest, LargePictureIsScaledToFitTheSideGiven) {
  const PictureLimits limits{.maxSide = 32768, .maxPixels = 256LL << 20, .fitSide = 8192};
  struct Case {
    int width, height;
    int fittedWidth, fittedHeight;  // 0: refused
  };
  const Case cases[] = {{8192, 4, 8192, 4}, {9000, 6, 8192, 5}, {3, 12000, 2, 8192}, {33000, 2, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const Bytes bmp = SolidBmp(c.width, c.height, 40, 120, 200);
    DecodedPicture out;
    std::string error;
    const bool decoded = DecodePictureBytes(bmp.data(), bmp.size(), limits, &out, &error);
    ASSERT_EQ(c.fittedWidth > 0, decoded) << error;
    if (!decoded) continue;
    EXPECT_EQ(c.fittedWidth, out.width);
    EXPECT_EQ(c.fittedHeight, out.height);
    const std::uint8_t* centre = out.bgr.data() + (out.height / 2) * out.stride + 3 * (out.width / 2);
    EXPECT_NEAR(40, centre[0], 2);
    EXPECT_NEAR(120, centre[1], 2);
    EXPECT_NEAR(200, centre[2], 2);
  }
}

}  // namespace
