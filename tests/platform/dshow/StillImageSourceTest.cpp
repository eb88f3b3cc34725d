// The still-image source with its isolated decoder process: good variants of every picture
// format decode to the colours an independent decoder reads; hostile files and a decoder that
// crashes, hangs, floods or answers garbage all end as the ordinary open failure.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dshow/IsolatedDecoder.h"
#include "platform/dshow/SourceFilter.h"
#include "platform/picture/DecoderWire.h"
#include "support/HostilePictures.h"
#include "support/TempDir.h"

namespace {

using hostile::Bytes;

std::filesystem::path SourceDir() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  return source ? source : ORBELLE_SOURCE_DIR_DEFAULT;
}
std::filesystem::path PictureFixtures() {
  return SourceDir() / "tests" / "platform" / "picture" / "fixtures";
}

// Opens a file as the graph's AddSourceFilter does; the filter (if any) is released on return.
struct Opened {
  explicit Opened(const std::filesystem::path& file) { hr = dshow::SourceFilter::Create(file.string(), &filter); }
  ~Opened() {
    if (filter) filter->Release();
  }
  const std::uint8_t* Pixel(int x, int y) const {
    const dshow::StillImage& still = filter->Still();
    return still.bgr.get() + static_cast<std::size_t>(y) * still.stride + 3 * x;
  }
  HRESULT hr = E_FAIL;
  dshow::SourceFilter* filter = nullptr;
};

// Puts the real decoder back whatever a test did.
struct DecoderOverride {
  DecoderOverride(std::vector<std::string> command, unsigned wallMs, bool withoutSharedMemory = false) {
    dshow::SetPictureDecoderForTesting(std::move(command), wallMs, withoutSharedMemory);
  }
  ~DecoderOverride() { dshow::SetPictureDecoderForTesting({}, 0); }
};

struct Reference {
  std::string name;
  int width, height, red, green, blue;
};

std::vector<Reference> References() {
  std::ifstream in(PictureFixtures() / "reference.txt");
  std::vector<Reference> all;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Reference r;
    fields >> r.name >> r.width >> r.height >> r.red >> r.green >> r.blue;
    all.push_back(r);
  }
  return all;
}

TEST(StillImageSourceTest, GoodVariantsMatchAnIndependentDecoderAtTheCentre) {
  const std::vector<Reference> references = References();
  ASSERT_EQ(24u, references.size());
  for (const Reference& r : references) {
    SCOPED_TRACE(r.name);
    Opened opened(PictureFixtures() / r.name);
    ASSERT_EQ(S_OK, opened.hr);
    const dshow::StillImage& still = opened.filter->Still();
    EXPECT_EQ(r.width, still.width);
    EXPECT_EQ(r.height, still.height);
    EXPECT_EQ((3 * r.width + 3) & ~3, still.stride);
    EXPECT_EQ(static_cast<std::size_t>(still.stride) * still.height, still.size);
    // Lossy files may differ by rounding between two IDCTs; the rest must be exact.
    const int tolerance = r.name.ends_with(".jpg") ? 3 : 0;
    const std::uint8_t* p = opened.Pixel(r.width / 2, r.height / 2);
    EXPECT_NEAR(r.blue, p[0], tolerance);
    EXPECT_NEAR(r.green, p[1], tolerance);
    EXPECT_NEAR(r.red, p[2], tolerance);
  }
}

TEST(StillImageSourceTest, HostileFilesAreTheOrdinaryOpenFailureAndTheNextOpenWorks) {
  TempDir temp("orbelle-still");
  Bytes jpeg;
  {
    std::ifstream in(PictureFixtures() / "baseline.jpg", std::ios::binary);
    jpeg.assign(std::istreambuf_iterator<char>(in), {});
  }
  Bytes hugeJpeg = jpeg;  // the same file with a frame header of 65000 x 65000
  for (std::size_t i = 2; i + 9 < hugeJpeg.size(); ++i) {
    if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {
      hugeJpeg[i + 5] = hugeJpeg[i + 7] = 0xFD;
      hugeJpeg[i + 6] = hugeJpeg[i + 8] = 0xE8;
      break;
    }
  }
  Bytes cutJpeg(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  std::vector<std::pair<std::string, Bytes>> cases = hostile::NamedFiles();
  cases.insert(cases.end(), {{"huge.jpg", hugeJpeg},
                             {"cut.jpg", cutJpeg},
                             {"header_only.bmp", {'B', 'M', 0, 0}},
                             {"magic_only.gif", {'G', 'I', 'F', '8', '9', 'a'}}});
  ASSERT_EQ(29u, hostile::HugeGifFrame().size());
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, Opened(temp.Write(name, bytes)).hr);
  }
  EXPECT_EQ(S_OK, Opened(PictureFixtures() / "plain.gif").hr);
}

TEST(StillImageSourceTest, ADecoderThatMisbehavesIsTheOrdinaryOpenFailure) {
  const std::filesystem::path good = PictureFixtures() / "v3_24bit.bmp";
  for (bool withoutSharedMemory : {false, true}) {
    SCOPED_TRACE(withoutSharedMemory ? "through a pipe" : "through shared memory");
    {
      // The fake decoder's own valid answer is taken, so what follows fails for its fault.
      DecoderOverride fake({ORBELLE_FAKE_DECODER, "valid"}, 10000, withoutSharedMemory);
      Opened opened(good);
      ASSERT_EQ(S_OK, opened.hr);
      EXPECT_EQ(3, opened.filter->Still().width);
      EXPECT_EQ(2, opened.filter->Still().height);
      EXPECT_EQ(0x5A, opened.Pixel(2, 1)[2]);
    }
    for (const char* mode : {"crash", "hang", "spin", "flood", "fail-after-answer", "bad-magic", "bad-stride", "short",
                             "long", "too-wide", "zero", "overflow", "partial-header"}) {
      SCOPED_TRACE(mode);
      // The wall-clock limit is short here so that the hanging decoders end soon.
      DecoderOverride fake({ORBELLE_FAKE_DECODER, mode}, 500, withoutSharedMemory);
      EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, Opened(good).hr);
    }
  }
  EXPECT_EQ(S_OK, Opened(good).hr);
}

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(StillImageSourceTest, FaultsOfTheSystemAreReportedOnceAndPicturesStillDecodeOrFail) {
  const std::filesystem::path good = PictureFixtures() / "v3_24bit.bmp";
  testing::internal::CaptureStderr();
  {
    // A decoder without its seccomp filter: the pictures still open, under the limits alone.
    DecoderOverride fake({ORBELLE_FAKE_DECODER, "unsandboxed"}, 10000);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(S_OK, Opened(good).hr);
  }
  {
    // No decoder at all: the ordinary open failure, never an in-process decode.
    DecoderOverride missing({"/nonexistent/orbelle-picture-decoder"}, 10000);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, Opened(good).hr);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, Occurrences(said, "seccomp filter")) << said;
  EXPECT_EQ(1, Occurrences(said, "/nonexistent/orbelle-picture-decoder cannot be run")) << said;
}

TEST(StillImageSourceTest, TheDecoderRunsUnderItsLimitsWithOnlyItsOwnDescriptors) {
  DecoderOverride fake({ORBELLE_FAKE_DECODER, "limits"}, 10000);
  Opened opened(PictureFixtures() / "plain.gif");
  ASSERT_EQ(S_OK, opened.hr);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_EQ(static_cast<int>(picture::kDecoderAddressSpace >> 20), opened.filter->Still().width);
#endif
  EXPECT_EQ(static_cast<int>(picture::kDecoderCpuSeconds), opened.filter->Still().height);
  EXPECT_EQ(3, opened.Pixel(0, 0)[0]);  // the picture, the answer and stderr
}

TEST(StillImageSourceTest, TheDecoderSandboxRefusesFilesAndSockets) {
  const std::string decoder = (std::filesystem::path(ORBELLE_BIN_DIR_DEFAULT) / picture::kDecoderFileName).string();
  const int status = std::system((decoder + " --sandbox-probe").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
}

}  // namespace
