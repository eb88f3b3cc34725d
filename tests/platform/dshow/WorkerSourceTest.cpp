// Source filters backed by the media worker: good pictures of every format arrive with the
// colours an independent decoder reads; hostile files, and a worker that crashes, hangs, answers
// garbage or tries what its sandbox forbids, all end as the ordinary open failure, with no worker
// left behind; the worker runs with its limits, a fixed environment and only its descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "GraphFixtures.h"
#include "platform/dshow/SourceFilter.h"
#include "platform/dshow/WorkerClient.h"
#include "support/ChildProcesses.h"
#include "support/HostilePictures.h"
#include "support/TempDir.h"

namespace {

using namespace graphtest;
using hostile::Bytes;

std::filesystem::path PictureFixtures() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  return std::filesystem::path(source ? source : ORBELLE_SOURCE_DIR_DEFAULT) / "tests" / "platform" / "picture" /
         "fixtures";
}

// Puts the real worker back whatever a test did.
struct WorkerOverride {
  WorkerOverride(std::string program, std::vector<std::string> args, unsigned openMs) {
    dshow::WorkerClient::SetForTesting(std::move(program), std::move(args), openMs);
  }
  ~WorkerOverride() { dshow::WorkerClient::SetForTesting({}, {}, 0); }
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

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = v & 255;
  b[at + 1] = (v >> 8) & 255;
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A 24-bit BMP of width x height in one colour; with pixels false, only its 54-byte header.
Bytes Bmp(int width, int height, bool pixels, std::uint8_t blue = 0, std::uint8_t green = 0, std::uint8_t red = 0) {
  const std::uint32_t row = (3 * width + 3) & ~3, data = row * height;
  Bytes b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, 54 + data);
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, width);
  Put32(b, 22, height);
  Put16(b, 26, 1);
  Put16(b, 28, 24);
  Put32(b, 34, data);
  if (!pixels) return b;
  b.resize(54 + data, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::size_t at = 54 + y * row + 3 * x;
      b[at] = blue;
      b[at + 1] = green;
      b[at + 2] = red;
    }
  return b;
}

TEST(WorkerSourceTest, GoodPicturesMatchAnIndependentDecoderAtTheCentre) {
  const std::vector<Reference> references = References();
  ASSERT_EQ(24u, references.size());
  for (const Reference& r : references) {
    SCOPED_TRACE(r.name);
    FirstPicture picture(PictureFixtures() / r.name);
    ASSERT_EQ(S_OK, picture.hr);
    EXPECT_EQ(r.width, picture.header.biWidth);
    EXPECT_EQ(r.height, picture.header.biHeight);
    // Lossy files may differ by rounding between two IDCTs; the rest must be exact.
    const int tolerance = r.name.ends_with(".jpg") ? 3 : 0;
    const BYTE* p = picture.Pixel(r.width / 2, r.height / 2);
    EXPECT_NEAR(r.blue, p[0], tolerance);
    EXPECT_NEAR(r.green, p[1], tolerance);
    EXPECT_NEAR(r.red, p[2], tolerance);
  }
}

TEST(WorkerSourceTest, PicturesWiderThanTheTextureAreScaledDownToFitAndShortOnesRefused) {
  TempDir temp("orbelle-still");
  FirstPicture wide(temp.Write("wide.bmp", Bmp(9000, 90, true, 10, 200, 30)));
  ASSERT_EQ(S_OK, wide.hr);
  EXPECT_EQ(8192, wide.header.biWidth);
  EXPECT_EQ(82, wide.header.biHeight);  // 90 x 8192 / 9000, the aspect kept
  EXPECT_NEAR(200, wide.Pixel(4000, 40)[1], 2);
  // A header that claims 8192 x 8192 with no pixels after it is not a black picture.
  Graph graph;
  Ref<IBaseFilter> source;
  EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT,
            graph.builder->AddSourceFilter(WinPath(temp.Write("claims.bmp", Bmp(8192, 8192, false))).c_str(), u"SOURCE",
                                           reinterpret_cast<IBaseFilter**>(source.out())));
}

TEST(WorkerSourceTest, HostileFilesAreTheOrdinaryOpenFailureAndTheNextOpenWorks) {
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
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Graph graph;
    Ref<IBaseFilter> source;
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT,
              graph.builder->AddSourceFilter(WinPath(temp.Write(name, bytes)).c_str(), u"SOURCE",
                                             reinterpret_cast<IBaseFilter**>(source.out())));
  }
  EXPECT_EQ(S_OK, FirstPicture(PictureFixtures() / "plain.gif").hr);
  EXPECT_TRUE(ChildProcesses().empty());
}

TEST(WorkerSourceTest, AWorkerThatMisbehavesOrBreaksItsSandboxIsTheOrdinaryOpenFailure) {
  const std::filesystem::path good = PictureFixtures() / "v3_24bit.bmp";
  const char* modes[] = {"crash",  "hang",    "garbage", "open", "openat",      "stat",
                         "socket", "connect", "execve",  "fork", "kill-parent", "exec-mapping"};
  for (const char* mode : modes) {
    SCOPED_TRACE(mode);
    {
      // The open bound is short here so that the hanging worker ends soon.
      WorkerOverride misbehaving({}, {std::string("--misbehave=") + mode}, 1500);
      Graph graph;
      Ref<IBaseFilter> source;
      EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT,
                graph.builder->AddSourceFilter(WinPath(good).c_str(), u"SOURCE",
                                               reinterpret_cast<IBaseFilter**>(source.out())));
    }
    EXPECT_TRUE(ChildProcesses().empty());
  }
  EXPECT_EQ(S_OK, FirstPicture(good).hr);
}

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(WorkerSourceTest, AMissingWorkerIsReportedOnceAndNothingIsOpenedWithoutIt) {
  testing::internal::CaptureStderr();
  {
    WorkerOverride missing("/nonexistent/orbelle-media-worker", {}, 0);
    for (int i = 0; i < 2; ++i) {
      Graph graph;
      Ref<IBaseFilter> source;
      EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT,
                graph.builder->AddSourceFilter(WinPath(FixtureDir() / "clip.avi").c_str(), u"SOURCE",
                                               reinterpret_cast<IBaseFilter**>(source.out())));
    }
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, Occurrences(said, "/nonexistent/orbelle-media-worker cannot be run")) << said;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WorkerSourceTest, TheWorkerRunsUnderItsLimitsWithAFixedEnvironmentAndOnlyItsDescriptors) {
  setenv("ORBELLE_VIEWER_ONLY", "1", 1);
  dshow::SourceFilter* filter = nullptr;
  const std::string clip = (FixtureDir() / "clip.avi").string();
  ASSERT_EQ(S_OK, dshow::SourceFilter::Create(clip, &filter));
  unsetenv("ORBELLE_VIEWER_ONLY");
  const int pid = filter->Worker().WorkerPid();
  ASSERT_GT(pid, 0);
  const std::string proc = "/proc/" + std::to_string(pid);
  const std::string environ = ReadWhole(proc + "/environ");
  if (environ.empty()) {
    filter->Release();
    GTEST_SKIP() << "the worker's /proc entries are not readable for this user";
  }
  // Only the worker's own variables, none of the viewer's.
  std::vector<std::string> names;
  for (std::size_t at = 0; at < environ.size();) {
    const std::size_t end = environ.find('\0', at);
    const std::string entry = environ.substr(at, end - at);
    names.push_back(entry.substr(0, entry.find('=')));
    at = end == std::string::npos ? environ.size() : end + 1;
  }
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(name == "ORC_CODE" || name == "MALLOC_ARENA_MAX" || name.starts_with("GST_REGISTRY") ||
                name == "LC_ALL" || name.ends_with("SAN_OPTIONS"));
  }
  const std::string status = ReadWhole(proc + "/status");
  EXPECT_NE(std::string::npos, status.find("Seccomp:\t2")) << status;
  EXPECT_NE(std::string::npos, status.find("NoNewPrivs:\t1")) << status;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_NE(std::string::npos, ReadWhole(proc + "/limits").find("Max address space         4294967296"))
      << ReadWhole(proc + "/limits");
#endif
  // Every descriptor is one it was handed or made without a path: the socket, the error pipe,
  // /dev/null as its input, the media file, and anonymous objects.
  DIR* fds = opendir((proc + "/fd").c_str());
  ASSERT_NE(nullptr, fds);
  int count = 0;
  while (dirent* entry = readdir(fds)) {
    if (entry->d_name[0] == '.') continue;
    char target[4096];
    const ssize_t n = readlink((proc + "/fd/" + entry->d_name).c_str(), target, sizeof(target) - 1);
    ASSERT_GT(n, 0);
    const std::string to(target, static_cast<std::size_t>(n));
    SCOPED_TRACE(to);
    ++count;
    EXPECT_TRUE(to.starts_with("socket:") || to.starts_with("pipe:") || to.starts_with("anon_inode:") ||
                to.starts_with("/memfd:") || to == "/dev/null" || to.ends_with("clip.avi"));
  }
  closedir(fds);
  EXPECT_GE(count, 4);
  filter->Release();
  EXPECT_TRUE(ChildProcesses().empty());
}

}  // namespace

namespace {

TEST(WorkerSourceTest, AnOpenWithASpareReadyStartsNoProcessAndLeavesTheNextSpare) {
  dshow::WorkerClient::PrepareSpare();
  const std::vector<int> before = ChildProcesses();
  ASSERT_EQ(1u, before.size());
  dshow::SourceFilter* filter = nullptr;
  ASSERT_EQ(S_OK, dshow::SourceFilter::Create((FixtureDir() / "clip.avi").string(), &filter));
  // The file went to the worker that was already there; another waits for the next file.
  EXPECT_EQ(before[0], filter->Worker().WorkerPid());
  EXPECT_EQ(2u, ChildProcesses().size());
  filter->Release();
  dshow::WorkerClient::DropSpare();
  EXPECT_TRUE(ChildProcesses().empty());
}

}  // namespace

namespace {

void ReadAhead(const std::filesystem::path& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0) << file;
  dshow::WorkerClient::ReadAhead(fd, true);
  close(fd);
}

bool Running(int pid) {
  const std::vector<int> children = ChildProcesses();
  return std::find(children.begin(), children.end(), pid) != children.end();
}

// Reading a file ahead changes nothing in how it opens: the same result and facts, for files
// that open and files that do not; one that opens is served by the worker that read it.
TEST(WorkerSourceTest, AFileReadAheadOpensAsItWouldHaveFromTheWorkerThatReadIt) {
  const char* files[] = {"clip.avi",      "clip.wmv",   "quadrants.jpg", "animated.gif",
                         "truncated.jpg", "random.avi", "empty.avi"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const std::filesystem::path file = FixtureDir() / name;
    dshow::SourceFilter* plain = nullptr;
    const HRESULT plainHr = dshow::SourceFilter::Create(file.string(), &plain);

    ReadAhead(file);
    const int held = dshow::WorkerClient::ReadAheadPid();
    dshow::SourceFilter* ahead = nullptr;
    const HRESULT aheadHr = dshow::SourceFilter::Create(file.string(), &ahead);
    EXPECT_EQ(plainHr, aheadHr);
    EXPECT_EQ(-1, dshow::WorkerClient::ReadAheadPid()) << "the open took the worker over";
    if (plain && ahead) {
      EXPECT_EQ(held, ahead->Worker().WorkerPid());
      EXPECT_EQ(plain->Worker().Facts().kind, ahead->Worker().Facts().kind);
      EXPECT_EQ(plain->Worker().Facts().width, ahead->Worker().Facts().width);
      EXPECT_EQ(plain->Worker().Facts().height, ahead->Worker().Facts().height);
      EXPECT_EQ(plain->Worker().Facts().duration, ahead->Worker().Facts().duration);
    }
    if (plain) plain->Release();
    if (ahead) ahead->Release();
    EXPECT_TRUE(ChildProcesses().empty());
  }
}

// The worker holding a file ahead is ended by whatever means it will not be asked for: the file
// changed on disk (then the new content opens), another file opened, or another read ahead.
TEST(WorkerSourceTest, AFileReadAheadIsDroppedWhenItChangesOrAnotherFileComesFirst) {
  TempDir dir("orbelle-readahead");
  // Two pictures of different sizes.
  const std::filesystem::path a = dir.path() / "a.bmp", b = dir.path() / "b.gif";
  std::filesystem::copy_file(FixtureDir() / "pattern.bmp", a);
  std::filesystem::copy_file(PictureFixtures() / "transparent.gif", b);

  struct Case {
    const char* what;
    std::function<void()> meanwhile;
    std::filesystem::path opened;
  };
  const Case cases[] = {
      {"replaced by another picture",
       [&] { std::filesystem::copy_file(b, a, std::filesystem::copy_options::overwrite_existing); }, a},
      {"only its time changed",
       [&] {
         const timespec times[2] = {{0, UTIME_OMIT}, {1, 0}};
         utimensat(AT_FDCWD, a.c_str(), times, 0);
       },
       a},
      {"another file opened", [] {}, b},
      {"another file read ahead", [&] { ReadAhead(b); }, a},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::copy_file(FixtureDir() / "pattern.bmp", a, std::filesystem::copy_options::overwrite_existing);
    ReadAhead(a);
    const int held = dshow::WorkerClient::ReadAheadPid();
    ASSERT_GT(held, 0);
    c.meanwhile();
    dshow::SourceFilter* filter = nullptr;
    ASSERT_EQ(S_OK, dshow::SourceFilter::Create(c.opened.string(), &filter));
    EXPECT_FALSE(Running(held));
    EXPECT_NE(held, filter->Worker().WorkerPid());
    // What the file holds now, as an open without reading ahead finds it.
    dshow::SourceFilter* plain = nullptr;
    ASSERT_EQ(S_OK, dshow::SourceFilter::Create(c.opened.string(), &plain));
    EXPECT_EQ(plain->Worker().Facts().width, filter->Worker().Facts().width);
    EXPECT_EQ(plain->Worker().Facts().height, filter->Worker().Facts().height);
    filter->Release();
    plain->Release();
    EXPECT_TRUE(ChildProcesses().empty());
  }
}

}  // namespace
