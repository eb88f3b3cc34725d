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

namespace {

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path SourceDir() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  return source ? source : ORBELLE_SOURCE_DIR_DEFAULT;
}
std::filesystem::path PictureFixtures() {
  return SourceDir() / "tests" / "platform" / "picture" / "fixtures";
}

struct TempFolder {
  TempFolder() {
    char pattern[] = "/tmp/orbelle-still-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::filesystem::path Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(path / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path / name;
  }
  std::filesystem::path path;
};

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

Bytes PngTruncatedTo64() {
  // A real picture's signature and header, cut inside its first data chunk.
  Bytes png = {0x89, 'P',  'N',  'G', '\r', '\n', 0x1A, '\n', 0,   0,   0,   13,   'I', 'H', 'D',
               'R',  0,    0,    0,   64,   0,    0,    0,    64,  8,   2,   0,    0,   0,   0x25,
               0x0B, 0xE6, 0x89, 0,   0,    0x10, 0,    'I',  'D', 'A', 'T', 0x78, 0x9C};
  while (png.size() < 64) png.push_back(static_cast<std::uint8_t>(png.size() * 37));
  return png;
}

// A 29-byte gif whose screen is 1 x 1 and whose image descriptor says 40000 x 40000.
Bytes HugeGifFrame() {
  return {'G', 'I', 'F', '8',  '9',  'a',  1,    0, 1, 0, 0,    0,    0, ',', 0,
          0,   0,   0,   0x40, 0x9C, 0x40, 0x9C, 0, 2, 2, 0x4C, 0x01, 0, ';'};
}

// Starts like a jpeg, then is an svg picture of 30000 x 30000.
Bytes SvgAsJpeg() {
  const std::string svg =
      "<svg width='30000' height='30000' xmlns='http://www.w3.org/2000/svg'><rect width='30000' "
      "height='30000'/></svg>";
  Bytes bytes = {0xFF, 0xD8, 0xFF, 0xE0};
  bytes.insert(bytes.end(), svg.begin(), svg.end());
  return bytes;
}

// Valid headers and complete sub-blocks, with an LZW stream that starts at the largest code
// size and names codes that are not in the table, in two frames.
Bytes HostileGif() {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  for (int frame = 0; frame < 2; ++frame) {
    const Bytes image = {',', 0, 0, 0, 0, 4, 0, 4, 0, 0, 12, 8, 0xFF, 0xFF, 0x0F, 0xF0, 0xAB, 0xCD, 0xEF, 0x01, 0};
    gif.insert(gif.end(), image.begin(), image.end());
  }
  gif.push_back(';');
  return gif;
}

TEST(StillImageSourceTest, HostileFilesAreTheOrdinaryOpenFailureAndTheNextOpenWorks) {
  TempFolder temp;
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
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"truncated_png.jpg", PngTruncatedTo64()},
      {"huge_frame.gif", HugeGifFrame()},
      {"svg.jpg", SvgAsJpeg()},
      {"hostile.gif", HostileGif()},
      {"huge.jpg", hugeJpeg},
      {"cut.jpg", cutJpeg},
      {"header_only.bmp", {'B', 'M', 0, 0}},
      {"magic_only.gif", {'G', 'I', 'F', '8', '9', 'a'}},
  };
  ASSERT_EQ(29u, HugeGifFrame().size());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, Opened(temp.Write(c.name, c.bytes)).hr);
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
  {
    DecoderOverride missing({"/nonexistent/orbelle-picture-decoder"}, 10000);
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, Opened(good).hr);
  }
  EXPECT_EQ(S_OK, Opened(good).hr);
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
