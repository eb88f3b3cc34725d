// Every picture format and sub-format the decoder takes, made at test time: each shows the
// quadrant picture upright, in sRGB, with its transparent parts black.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/picture/PictureDecode.h"
#include "support/PictureFixtures.h"
#include "support/TempDir.h"

namespace {

using picture::DecodedPicture;
using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

class PictureFormatsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir("orbelle-pictures");
    made_ = picture_fixtures::MakePictures(dir_->path());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(made_) << "the pictures could not be made"; }

  static Bytes Read(const std::string& name) {
    std::ifstream in(dir_->path() / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static bool Decode(const std::string& name, DecodedPicture* out, std::string* error) {
    const Bytes bytes = Read(name);
    return !bytes.empty() && picture::DecodePictureBytes(bytes.data(), bytes.size(), {}, out, error);
  }
  // The colour at (x, y), rows top first.
  static Rgb At(const DecodedPicture& p, int x, int y) {
    const std::uint8_t* bgr = p.bgr.data() + static_cast<std::size_t>(y) * p.stride + 3 * x;
    return {bgr[2], bgr[1], bgr[0]};
  }
  // Checks the centres of the four quadrants of a 64 x 48 picture.
  static void ExpectQuadrants(const std::string& name, const std::array<Rgb, 4>& expected, int tolerance) {
    SCOPED_TRACE(name);
    DecodedPicture p;
    std::string error;
    ASSERT_TRUE(Decode(name, &p, &error)) << error;
    ASSERT_EQ(64, p.width);
    ASSERT_EQ(48, p.height);
    const int points[4][2] = {{16, 12}, {48, 12}, {16, 36}, {48, 36}};
    for (int i = 0; i < 4; ++i) {
      const Rgb got = At(p, points[i][0], points[i][1]);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(expected[i][c], got[c], tolerance)
            << "quadrant " << i << ": " << got[0] << "," << got[1] << "," << got[2];
    }
  }

  static TempDir* dir_;
  static bool made_;
};
TempDir* PictureFormatsTest::dir_ = nullptr;
bool PictureFormatsTest::made_ = false;

TEST_F(PictureFormatsTest, EachFormatShowsTheQuadrantsInTheirColours) {
  const std::array<Rgb, 4> quadrants{kRed, kGreen, kBlue, kWhite};
  const std::array<Rgb, 4> greys{Rgb{64, 64, 64}, Rgb{128, 128, 128}, Rgb{192, 192, 192}, kWhite};
  struct Case {
    const char* name;
    picture::PictureType type;
    std::array<Rgb, 4> colours;
    int tolerance;
  };
  using T = picture::PictureType;
  const Case cases[] = {
      {"rgb.png", T::Png, quadrants, 0},
      {"palette.png", T::Png, quadrants, 0},
      {"grey.png", T::Png, greys, 0},
      {"deep.png", T::Png, quadrants, 0},
      // Clear parts are black, the half-clear blue half as bright.
      {"alpha.png", T::Png, {kRed, kBlack, Rgb{0, 0, 128}, kBlack}, 1},
      {"alpha.webp", T::WebP, {kRed, kBlack, Rgb{0, 0, 128}, kBlack}, 1},
      {"lossy.webp", T::WebP, quadrants, 24},
      {"lossless.webp", T::WebP, quadrants, 0},
      {"plain.heic", T::Heif, quadrants, 24},
      {"plain.avif", T::Avif, quadrants, 24},
      {"plain.tif", T::Tiff, quadrants, 0},
      {"lzw.tif", T::Tiff, quadrants, 0},
      {"baseline.jpg", T::Jpeg, quadrants, 12},
      {"progressive.jpg", T::Jpeg, quadrants, 12},
      {"grey.jpg", T::Jpeg, greys, 4},
      {"plain.bmp", T::Bmp, quadrants, 0},
      {"plain.gif", T::Gif, quadrants, 0},
  };
  for (const Case& c : cases) {
    const Bytes bytes = Read(c.name);
    EXPECT_EQ(c.type, picture::DetectPictureType(bytes.data(), bytes.size())) << c.name;
    ExpectQuadrants(c.name, c.colours, c.tolerance);
  }
}

// Each of the eight Exif orientations, in each format that carries one, turns the stored
// picture upright; an AVIF picture is turned by its own rotation box.
TEST_F(PictureFormatsTest, ExifOrientationShowsThePictureUpright) {
  for (int n = 1; n <= 8; ++n)
    for (const char* ext : {"jpg", "png", "webp", "tif"})
      ExpectQuadrants("orientation" + std::to_string(n) + "." + ext, {kRed, kGreen, kBlue, kWhite}, 12);
  ExpectQuadrants("turned.avif", {kRed, kGreen, kBlue, kWhite}, 24);
}

// ProPhoto values are shown as the sRGB colours they mean (the values as they are would be
// (160, 60, 60) and so on); the same values without a profile are shown as they are.
TEST_F(PictureFormatsTest, EmbeddedProfileIsConvertedToSrgb) {
  const std::array<Rgb, 4> meant{Rgb{231, 0, 75}, Rgb{0, 190, 38}, Rgb{0, 76, 186}, Rgb{146, 146, 146}};
  for (const char* name : {"prophoto.jpg", "prophoto.png", "prophoto.webp", "prophoto.tif"})
    ExpectQuadrants(name, meant, 6);
  for (const char* name : {"prophoto.heic", "prophoto.avif"}) ExpectQuadrants(name, meant, 24);
  ExpectQuadrants("srgb_mid.png", {Rgb{160, 60, 60}, Rgb{60, 160, 60}, Rgb{60, 60, 160}, Rgb{128, 128, 128}}, 0);
}

// CMYK jpeg files: without a profile by the plain formula (as Pillow writes them and as
// ImageMagick does, with its Adobe segment); with one through it (the test's profile swaps red
// and blue).
TEST_F(PictureFormatsTest, CmykJpegIsConvertedThroughItsProfile) {
  ExpectQuadrants("cmyk.jpg", {kRed, kGreen, kBlue, kWhite}, 12);
  ExpectQuadrants("cmyk_magick.jpg", {kRed, kGreen, kBlue, kWhite}, 12);
  ExpectQuadrants("cmyk_profile.jpg", {kBlue, kGreen, kRed, kWhite}, 16);
}

// Each new type's header claiming a size beyond the limits is refused before its pixels exist
// (HEIF and AVIF from their boxes, before the decoder sees them). A cut png or webp is refused
// (its chunks or its RIFF length say so); any other cut file is refused or shown at its own
// size, never anything else.
TEST_F(PictureFormatsTest, BombsAreRefusedFromTheirHeadersAndCutFilesNeverShowWrongly) {
  // The tiff module refuses such a size itself before it asks for the picture's size.
  const std::pair<const char*, const char*> bombs[] = {{"bomb.png", "is beyond the size limit"},
                                                       {"bomb.webp", "is beyond the size limit"},
                                                       {"bomb.tif", "too large"},
                                                       {"bomb.heic", "is beyond the size limit"},
                                                       {"bomb.avif", "is beyond the size limit"}};
  for (const auto& [name, reason] : bombs) {
    SCOPED_TRACE(name);
    const Bytes bytes = Read(name);
    DecodedPicture out;
    std::string error;
    EXPECT_FALSE(picture::DecodePictureBytes(bytes.data(), bytes.size(), {}, &out, &error));
    EXPECT_NE(std::string::npos, error.find(reason)) << error;
    EXPECT_TRUE(out.bgr.empty());
  }
  for (const char* name : {"rgb.png", "lossy.webp", "lossless.webp", "plain.tif", "plain.heic", "plain.avif"}) {
    SCOPED_TRACE(name);
    const Bytes whole = Read(name);
    for (std::size_t cut : {whole.size() / 2, whole.size() - 1, std::size_t{40}}) {
      const Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
      DecodedPicture out;
      std::string error;
      const bool shown = picture::DecodePictureBytes(bytes.data(), bytes.size(), {}, &out, &error);
      const std::string type = std::string(name).substr(std::string(name).find('.'));
      if (type == ".png" || type == ".webp") {
        EXPECT_NE(std::string::npos, error.find("cut short")) << cut << error;
      }
      if (shown) {
        EXPECT_EQ(64, out.width);
        EXPECT_EQ(48, out.height);
      } else {
        EXPECT_FALSE(error.empty());
      }
    }
  }
}

// A jpeg is walked by its segment lengths: a camera file whose Exif thumbnail (a whole jpeg with
// its own scan and end marker) comes first is still refused when cut inside its own scan; a file
// whose scans are whole shows even without its end marker.
TEST_F(PictureFormatsTest, JpegCutInsideItsScanIsRefusedAndAMissingEndMarkerIsNot) {
  const Bytes camera = Read("thumbnail.jpg");
  const Bytes baseline = Read("baseline.jpg");
  const Bytes progressive = Read("progressive.jpg");
  ASSERT_FALSE(camera.empty());
  const auto cut = [](const Bytes& b, std::size_t drop) { return Bytes(b.begin(), b.end() - drop); };
  struct Case {
    const char* name;
    Bytes bytes;
    bool shows;
  };
  const Case cases[] = {
      {"camera file", camera, true},
      {"camera file cut inside its scan", cut(camera, 200), false},
      {"camera file without its end marker", cut(camera, 2), true},
      {"baseline without its end marker", cut(baseline, 2), true},
      {"baseline cut inside its scan", cut(baseline, 100), false},
      {"progressive without its end marker", cut(progressive, 2), true},
      {"cut before its scan", Bytes(baseline.begin(), baseline.begin() + 100), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedPicture out;
    std::string error;
    ASSERT_EQ(c.shows, picture::DecodePictureBytes(c.bytes.data(), c.bytes.size(), {}, &out, &error)) << error;
    if (c.shows) {
      EXPECT_EQ(64, out.width);
      const Rgb red = At(out, 16, 12);
      EXPECT_TRUE(red[0] > 240 && red[1] < 16 && red[2] < 16) << red[0] << "," << red[1] << "," << red[2];
    } else {
      EXPECT_NE(std::string::npos, error.find("cut short")) << error;
    }
  }
}

}  // namespace
