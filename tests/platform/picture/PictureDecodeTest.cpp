// The decoding step of the isolated decoder, in-process: the type comes from the content and
// only bmp, jpeg and gif are decoded; a size beyond the limits is refused from the header.
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

TEST(PictureDecodeTest, TypeComesFromTheContentAndOnlyThreeTypesAreDecoded) {
  const Bytes gif = Fixture("plain.gif");
  ASSERT_FALSE(gif.empty());
  EXPECT_EQ(picture::PictureType::Gif, picture::DetectPictureType(gif.data(), gif.size()));
  EXPECT_EQ(picture::PictureType::Bmp, picture::DetectPictureType(Fixture("rle8.bmp").data(), 2));
  const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  const std::string svg = "<svg width='30000' height='30000'/>";
  const std::string tiff = "II*\0";
  for (const Bytes& other : {png, Bytes(svg.begin(), svg.end()), Bytes(tiff.begin(), tiff.end()), Bytes{}}) {
    EXPECT_EQ(picture::PictureType::Unknown, picture::DetectPictureType(other.data(), other.size()));
    DecodedPicture out;
    std::string error;
    EXPECT_FALSE(DecodePictureBytes(other.data(), other.size(), PictureLimits{}, &out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(out.bgr.empty());
  }
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

}  // namespace
