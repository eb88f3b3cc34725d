// Animated gif, png and webp files, made at test time, played frame by frame: each frame's
// colours and delay, the loop back to the first frame, the still a one-frame file stays, and
// memory that stays flat however many loops go by.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture/AnimationFrames.h"
#include "support/PictureFixtures.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;

// Keeps the last frame handed over.
class LastFrame final : public picture::PictureSink {
 public:
  bool Begin(int width, int height) override {
    width_ = width;
    height_ = height;
    bgr_.clear();
    return true;
  }
  bool Row(const std::uint8_t* bgr) override {
    bgr_.insert(bgr_.end(), bgr, bgr + picture::BgrStride(width_));
    return true;
  }
  Rgb At(int x, int y) const {
    const std::uint8_t* p = bgr_.data() + static_cast<std::size_t>(y) * picture::BgrStride(width_) + 3 * x;
    return {p[2], p[1], p[0]};
  }
  int width_ = 0, height_ = 0;

 private:
  std::vector<std::uint8_t> bgr_;
};

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

class AnimationFramesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir("orbelle-animations");
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

  // The animation in the named file, its bytes kept in bytes_ while it plays; null (and a
  // failure) when it does not open.
  std::unique_ptr<picture::AnimationFrames> OpenAnimation(const std::string& name) {
    bytes_ = Read(name);
    std::string error;
    auto animation = picture::AnimationFrames::Open(bytes_.data(), bytes_.size(), {}, &error);
    EXPECT_TRUE(animation) << error;
    return animation;
  }

  Bytes bytes_;
  static TempDir* dir_;
  static bool made_;
};
TempDir* AnimationFramesTest::dir_ = nullptr;
bool AnimationFramesTest::made_ = false;

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

// Red (50 ms), its left half green (10 ms, shown 100 ms), blue (200 ms), then red again.
TEST_F(AnimationFramesTest, FramesComeInOrderWithTheirDelaysAndLoop) {
  struct Shown {
    Rgb left, right;
    std::int64_t delayMs;
  };
  const Shown expected[] = {{kRed, kRed, 50}, {kGreen, kRed, 100}, {kBlue, kBlue, 200}};
  for (const char* name : {"anim.gif", "anim.png", "anim.webp"}) {
    SCOPED_TRACE(name);
    auto animation = OpenAnimation(name);
    ASSERT_TRUE(animation);
    EXPECT_EQ(32, animation->Width());
    EXPECT_EQ(24, animation->Height());
    EXPECT_EQ(3, animation->FrameCount());
    LastFrame frame;
    for (int i = 0; i < 7; ++i) {
      SCOPED_TRACE(i);
      std::int64_t delay = 0;
      ASSERT_TRUE(animation->Next(frame, &delay));
      ASSERT_EQ(32, frame.width_);
      const Shown& e = expected[i % 3];
      EXPECT_EQ(e.delayMs * 1000000, delay);
      EXPECT_EQ(e.left, frame.At(8, 12));
      EXPECT_EQ(e.right, frame.At(24, 12));
    }
    // Rewound, the first frame comes next.
    animation->Rewind();
    std::int64_t delay = 0;
    ASSERT_TRUE(animation->Next(frame, &delay));
    EXPECT_EQ(kRed, frame.At(8, 12));
  }
}

// The frames of an animation with a ProPhoto profile are shown as the sRGB colours they mean,
// as a still's are.
TEST_F(AnimationFramesTest, FramesAreConvertedFromTheEmbeddedProfile) {
  for (const char* name : {"anim_prophoto.png", "anim_prophoto.webp"}) {
    SCOPED_TRACE(name);
    auto animation = OpenAnimation(name);
    ASSERT_TRUE(animation);
    LastFrame frame;
    std::int64_t delay = 0;
    for (const Rgb& meant : {Rgb{231, 0, 75}, Rgb{0, 76, 186}}) {
      ASSERT_TRUE(animation->Next(frame, &delay));
      const Rgb got = frame.At(16, 12);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(meant[c], got[c], 2) << got[0] << "," << got[1] << "," << got[2];
    }
  }
}

TEST_F(AnimationFramesTest, OneFrameFileAndOtherTypesAreStills) {
  for (const char* name : {"one.gif", "one.png", "one.webp", "rgb.png", "lossless.webp", "plain.gif", "baseline.jpg"}) {
    SCOPED_TRACE(name);
    const Bytes bytes = Read(name);
    ASSERT_FALSE(bytes.empty());
    std::string error = "unset";
    EXPECT_FALSE(picture::AnimationFrames::Open(bytes.data(), bytes.size(), {}, &error));
    EXPECT_TRUE(error.empty()) << error;
  }
}

// Thousands of frames: the memory in use after the first hundred loops stays where it was.
TEST_F(AnimationFramesTest, MemoryStaysFlatOverManyLoops) {
  for (const char* name : {"anim.gif", "anim.png", "anim.webp"}) {
    SCOPED_TRACE(name);
    auto animation = OpenAnimation(name);
    ASSERT_TRUE(animation);
    LastFrame frame;
    std::int64_t delay = 0;
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(animation->Next(frame, &delay));
    const long before = ResidentKb();
    for (int i = 0; i < 3000; ++i) ASSERT_TRUE(animation->Next(frame, &delay));
    if (kMeasuresMemory) {
      EXPECT_LT(ResidentKb() - before, 1024) << "kB grown over 1000 loops";
    }
  }
}

}  // namespace
