// The media worker run as the viewer runs it: the real binary, its sandbox, the wire format, the
// rings, the kinds of content it tells apart and what it delivers for them.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include "platform/worker/Misbehave.h"
#include "support/BuildPaths.h"
#include "support/Ffmpeg.h"
#include "support/HostilePictures.h"
#include "support/PictureFixtures.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"
#include "tests/platform/worker/WorkerProcess.h"

namespace {

using namespace worker;
using workertest::Received;
using workertest::WorkerProcess;
using Bytes = std::vector<std::uint8_t>;

std::filesystem::path MediaFixture(const std::string& name) {
  return SourceDir() / "tests/media/fixtures" / name;
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A millisecond of media time. The times these tests compare are the file's own time stamps, as
// the worker sends them: it runs without a clock, so they do not depend on how busy the machine
// is.
constexpr std::uint64_t kMs = 1000000;

struct Bgr {
  int b, g, r;
};
bool Near(Bgr want, const std::uint8_t* got, int tolerance) {
  return std::abs(want.b - got[0]) <= tolerance && std::abs(want.g - got[1]) <= tolerance &&
         std::abs(want.r - got[2]) <= tolerance;
}
std::string Show(const std::uint8_t* p) {
  return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

// The colour of the pattern pictures at a pixel (tests/media/fixtures/make_fixtures.py).
Bgr PatternPixel(int x, int y) {
  return {(x + y * 3) & 255, (y * 13 + 5) & 255, (x * 7) & 255};
}

// One worker with one file open: the messages up to Opened, then Start and the stream.
class Session {
 public:
  // Starts the worker and takes its Hello; false when it did not come.
  bool Begin(const std::vector<std::string>& args = {}) {
    if (!worker.Start(args)) return false;
    const Received in = worker.Receive();
    if (in.type != Type::Hello) {
      ADD_FAILURE() << "no Hello; wait status " << worker.Wait() << ", stderr: " << worker.Stderr();
      return false;
    }
    hello = in.As<Hello>();
    return true;
  }
  // Opens the file (or the bytes) and takes Opened; false when it did not come or is not valid.
  bool Open(const std::filesystem::path& file) { return Begin() && worker.Open(file) && TakeOpened(); }
  bool Open(const Bytes& bytes) { return Begin() && worker.OpenBytes(bytes) && TakeOpened(); }

  bool Start(Layout layout, bool video, bool audio) {
    layout_ = layout;
    worker::Start message = MakeMessage<worker::Start>(Type::Start);
    message.layout = layout;
    message.wantVideo = video;
    message.wantAudio = audio;
    return worker.Send(message);
  }
  bool Seek(std::uint32_t generation, std::int64_t target) {
    worker::Seek message = MakeMessage<worker::Seek>(Type::Seek);
    message.generation = generation;
    message.target = target;
    return worker.Send(message);
  }

  struct Delivered {
    Frame frame;
    const std::uint8_t* bytes;  // in the ring, valid until the slot is released
  };
  // Takes messages, releasing every slot after on(...) saw it, until an End of the generation
  // came for each stream in ends. on returns false to stop early. False on an Error, a message
  // that is not valid, or none in time.
  bool Play(std::uint32_t generation, int ends, const std::function<bool(Stream, const Delivered&)>& on) {
    for (;;) {
      Received in = worker.Receive();
      switch (in.type) {
        case Type::Ring: {
          const worker::Ring ring = in.As<worker::Ring>();
          const std::uint64_t expected =
              ring.stream == Stream::Video ? PictureBytes(layout_, opened.width, opened.height) : kSoundSlotBytes;
          EXPECT_TRUE(RingValid(ring, expected));
          EXPECT_EQ(F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL, fcntl(in.fd, F_GET_SEALS));
          struct stat info {};
          EXPECT_EQ(0, fstat(in.fd, &info));
          EXPECT_GE(static_cast<std::uint64_t>(info.st_size), ring.slotCount * ring.slotSize);
          const std::size_t size = static_cast<std::size_t>(ring.slotCount * ring.slotSize);
          void* base = mmap(nullptr, size, PROT_READ, MAP_SHARED, in.fd, 0);
          close(in.fd);
          if (base == MAP_FAILED) return false;
          rings_[static_cast<int>(ring.stream)] = {ring, static_cast<const std::uint8_t*>(base)};
          break;
        }
        case Type::Frame:
        case Type::Sound: {
          const Frame frame = in.As<Frame>();
          const Stream stream = in.type == Type::Frame ? Stream::Video : Stream::Audio;
          const RingMap& ring = rings_[static_cast<int>(stream)];
          if (!ring.base || frame.slot >= ring.message.slotCount || frame.bytes > ring.message.slotSize) return false;
          if (stream == Stream::Video) {
            EXPECT_EQ(ring.message.slotSize, frame.bytes);
          }
          const bool goOn =
              frame.generation != generation || on(stream, {frame, ring.base + frame.slot * ring.message.slotSize});
          Release release = MakeMessage<Release>(Type::Release);
          release.stream = stream;
          release.slot = frame.slot;
          if (!worker.Send(release)) return false;
          if (!goOn) return true;
          break;
        }
        case Type::End:
          if (in.As<End>().generation == generation && --ends == 0) return true;
          break;
        case Type::Error:
          ADD_FAILURE() << "worker error: " << in.As<Error>().text;
          return false;
        default:
          ADD_FAILURE() << "no valid message; stderr: " << worker.Stderr();
          return false;
      }
    }
  }

  WorkerProcess worker;
  Hello hello{};
  Opened opened{};

 private:
  bool TakeOpened() {
    const Received in = worker.Receive();
    if (in.type != Type::Opened) return false;
    opened = in.As<Opened>();
    return OpenedValid(opened);
  }
  struct RingMap {
    worker::Ring message{};
    const std::uint8_t* base = nullptr;
  };
  Layout layout_ = Layout::Bgr;
  RingMap rings_[2];
};

bool Exited(int status, int code) {
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}
bool Signalled(int status, int signal) {
  return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// Each call a subverted decoder would make, tried right after Open: the seccomp filter kills the
// worker at once, and the viewer (here: this test process) lives on.
TEST(WorkerSandboxTest, ForbiddenCallsKillTheWorker) {
  for (const char* call :
       {"open", "openat", "stat", "socket", "connect", "execve", "fork", "kill-parent", "exec-mapping"}) {
    SCOPED_TRACE(call);
    Session session;
    ASSERT_TRUE(session.Begin({std::string("--misbehave=") + call}));
    EXPECT_TRUE(session.hello.flags & kSeccomp);
    ASSERT_TRUE(session.worker.Open(MediaFixture("clip.avi")));
    const int status = session.worker.Wait();
    EXPECT_TRUE(Signalled(status, SIGSYS)) << "wait status " << status << "; stderr: " << session.worker.Stderr();
    EXPECT_EQ(Type{}, session.worker.Receive(0).type);
  }
}

// Which layers hold depends on the kernel; seccomp always does, or no Hello comes at all.
TEST(WorkerSandboxTest, HelloSaysWhichLayersHold) {
  Session session;
  ASSERT_TRUE(session.Begin());
  EXPECT_TRUE(session.hello.flags & kSeccomp);
  EXPECT_EQ(0u, session.hello.flags & ~std::uint32_t{kSeccomp | kNoFileSystem | kLandlock});
  EXPECT_EQ(static_cast<std::uint32_t>(session.worker.Pid()), session.hello.pid);
  ::testing::Test::RecordProperty("no_file_system", (session.hello.flags & kNoFileSystem) ? 1 : 0);
  ::testing::Test::RecordProperty("landlock", (session.hello.flags & kLandlock) ? 1 : 0);
}

// The misbehaviours the viewer's tests use do what they say.
TEST(WorkerSandboxTest, MisbehavioursForTheViewersTestsHappen) {
  {
    Session session;
    ASSERT_TRUE(session.Begin({"--misbehave=crash"}));
    ASSERT_TRUE(session.worker.Open(MediaFixture("clip.avi")));
    EXPECT_TRUE(Signalled(session.worker.Wait(), SIGSEGV));
  }
  {
    Session session;
    ASSERT_TRUE(session.Begin({"--misbehave=garbage"}));
    ASSERT_TRUE(session.worker.Open(MediaFixture("clip.avi")));
    EXPECT_EQ(Type{}, session.worker.Receive().type);  // a message that is not valid
  }
  {
    Session session;
    ASSERT_TRUE(session.Begin({"--misbehave=stall-after-open"}));
    ASSERT_TRUE(session.worker.Open(MediaFixture("clip.avi")));
    const Received opened = session.worker.Receive();
    ASSERT_EQ(Type::Opened, opened.type);
    EXPECT_TRUE(OpenedValid(opened.As<Opened>()));
  }
}

// The viewer going away ends the worker quietly; a viewer message out of order or malformed
// ends it with a line saying so.
TEST(WorkerProtocolTest, WorkerEndsWhenTheViewerGoesOrBreaksTheProtocol) {
  struct Case {
    const char* name;
    std::function<void(Session&)> act;
    int exitCode;
  };
  const Case cases[] = {
      {"channel closed", [](Session& s) { s.worker.CloseControl(); }, 0},
      {"not a message", [](Session& s) { s.worker.SendBytes("hello", 5, -1); }, 3},
      {"Open without a file", [](Session& s) { s.worker.Send(MakeMessage<Open>(Type::Open)); }, 3},
      {"Start before Open", [](Session& s) { s.worker.Send(MakeMessage<Start>(Type::Start)); }, 3},
      {"a slot it does not hold",
       [](Session& s) {
         ASSERT_TRUE(s.worker.Open(MediaFixture("clip.avi")));
         ASSERT_EQ(Type::Opened, s.worker.Receive().type);
         Release release = MakeMessage<Release>(Type::Release);
         release.stream = Stream::Video;
         release.slot = 3;
         s.worker.Send(release);
       },
       3},
      {"a Seek that skips a generation",
       [](Session& s) {
         ASSERT_TRUE(s.worker.Open(MediaFixture("clip.avi")));
         ASSERT_EQ(Type::Opened, s.worker.Receive().type);
         s.Seek(2, 0);
       },
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    ASSERT_TRUE(session.Begin());
    c.act(session);
    EXPECT_TRUE(Exited(session.worker.Wait(), c.exitCode));
    const std::string said = session.worker.Stderr();
    EXPECT_EQ(c.exitCode != 0, said.rfind("orbelle-media-worker: ", 0) == 0) << said;
  }
}

// What the worker makes of content it cannot or must not decode. Refused: a type it knows but
// has no allowed decoder for; Unknown: no type at all; a still picture that does not decode (or
// is not decoded here yet) is a Still that is not prerolled.
TEST(WorkerKindTest, ContentTheWorkerDoesNotDecode) {
  std::mt19937 random(11);
  Bytes noise(4096);
  for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(random() % 0xF0);  // no MPEG audio sync byte
  const std::string svgText =
      "<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='30000' height='30000'>"
      "<rect width='30000' height='30000'/></svg>\n";
  const std::string svgJpeg = "\xFF\xD8\xFF\xE0" + svgText;  // starts like a jpeg
  Bytes id3Png = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes png = hostile::PngTruncatedTo64();
  id3Png.insert(id3Png.end(), png.begin(), png.end());
  Bytes tracker(2048, 0);  // a ProTracker module: its tag at 1080
  std::memcpy(tracker.data() + 1080, "M.K.", 4);
  const Bytes bmp = ReadFile(SourceDir() / "tests/platform/picture/fixtures/v3_24bit.bmp");
  Bytes bmpHeader(bmp.begin(), bmp.begin() + 54);
  bmpHeader[18] = 0, bmpHeader[19] = 0x20, bmpHeader[22] = 0, bmpHeader[23] = 0x20;  // 8192 x 8192

  struct Case {
    const char* name;
    Bytes bytes;
    Kind kind;
  };
  const Case cases[] = {
      {"empty", Bytes(), Kind::Unknown},
      {"noise", noise, Kind::Unknown},
      {"svg", Bytes(svgText.begin(), svgText.end()), Kind::Refused},
      {"png behind an id3 tag", id3Png, Kind::Refused},
      {"tracker music", tracker, Kind::Refused},
      {"png", png, Kind::Still},
      {"svg behind a jpeg marker", Bytes(svgJpeg.begin(), svgJpeg.end()), Kind::Still},
      {"gif frame of 40000 x 40000", hostile::HugeGifFrame(), Kind::Still},
      {"bmp header claiming 8192 x 8192", bmpHeader, Kind::Still},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    ASSERT_TRUE(session.Open(c.bytes)) << session.worker.Stderr();
    EXPECT_EQ(c.kind, session.opened.kind);
    EXPECT_EQ(0u, session.opened.flags & kPrerolled);
  }
}

// A container the worker reads whose picture stream no allowed decoder takes is not refused: it
// plays its sound alone.
TEST(WorkerKindTest, UndecodableStreamOfAKnownContainerIsLeftOut) {
  Bytes avi = ReadFile(MediaFixture("clip.avi"));
  for (std::size_t at = 0; at + 4 <= avi.size(); ++at)
    if (std::memcmp(avi.data() + at, "FMP4", 4) == 0) std::memcpy(avi.data() + at, "QQQQ", 4);
  Session session;
  ASSERT_TRUE(session.Open(avi));
  EXPECT_EQ(Kind::ByteStream, session.opened.kind);
  EXPECT_EQ(kPrerolled | kHasAudio | kSeekable, session.opened.flags);
}

// The fixture clips from their first picture to their end: the facts Opened gives, the first
// picture's colours bottom row first, every picture and all the sound.
TEST(WorkerPlayTest, ClipsPlayFromTheFirstPictureToTheEnd) {
  struct Case {
    const char* file;
    Kind kind;
    std::vector<StreamKind> streams;
    std::int64_t knownLength;
  };
  const Case cases[] = {
      {"clip.avi", Kind::ByteStream, {}, 0},
      {"clip.mpg", Kind::ByteStream, {}, 2000 * kMs},
      {"clip.wmv", Kind::Asf, {StreamKind::Video, StreamKind::Audio}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Session session;
    ASSERT_TRUE(session.Open(MediaFixture(c.file)));
    const Opened& o = session.opened;
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(kPrerolled | kHasVideo | kHasAudio | kSeekable, o.flags);
    ASSERT_EQ(c.streams.size(), o.streamCount);
    for (std::size_t i = 0; i < c.streams.size(); ++i) EXPECT_EQ(c.streams[i], o.streams[i]);
    EXPECT_EQ(160u, o.width);
    EXPECT_EQ(120u, o.height);
    EXPECT_EQ(1u, o.parN);
    EXPECT_EQ(1u, o.parD);
    EXPECT_EQ(22050u, o.rate);
    EXPECT_EQ(1u, o.channels);
    EXPECT_EQ(c.knownLength, o.knownLength);

    ASSERT_TRUE(session.Start(Layout::Bgr, true, true));
    int frames = 0;
    std::int64_t lastEnd = 0;
    std::uint64_t soundBytes = 0;
    ASSERT_TRUE(session.Play(0, 2, [&](Stream stream, const Session::Delivered& d) {
      if (stream == Stream::Audio) {
        soundBytes += d.frame.bytes;
        EXPECT_EQ(0u, d.frame.bytes % 2);
        return true;
      }
      if (frames++ == 0) {
        EXPECT_EQ(0, d.frame.time);
        // Quadrants: top left red, top right green, bottom left blue, bottom right white.
        const std::uint64_t pitch = RowBytes(Layout::Bgr, 160);
        auto at = [&](int x, int y) { return d.bytes + pitch * (119 - y) + 3 * x; };
        EXPECT_TRUE(Near({0, 0, 255}, at(40, 30), 40)) << Show(at(40, 30));
        EXPECT_TRUE(Near({0, 255, 0}, at(120, 30), 40)) << Show(at(120, 30));
        EXPECT_TRUE(Near({255, 0, 0}, at(40, 90), 40)) << Show(at(40, 90));
        EXPECT_TRUE(Near({255, 255, 255}, at(120, 90), 40)) << Show(at(120, 90));
      }
      EXPECT_GE(d.frame.time, lastEnd - static_cast<std::int64_t>(kMs));
      lastEnd = d.frame.time + std::max<std::int64_t>(d.frame.duration, 0);
      return true;
    }));
    EXPECT_EQ(50, frames);  // 2 s at 25 pictures a second
    EXPECT_NEAR(2000 * kMs, static_cast<double>(lastEnd), 40 * kMs);
    EXPECT_NEAR(2.0 * 22050 * 2, static_cast<double>(soundBytes), 0.1 * 22050 * 2);
  }
}

// A seek answers with pictures and sound of the new generation from the target on, and a
// stream of it ends again; the program stream restarts from its first byte to get there.
TEST(WorkerPlayTest, SeekDeliversTheNewGenerationFromTheTarget) {
  for (const char* file : {"clip.avi", "clip.mpg", "clip.wmv"}) {
    SCOPED_TRACE(file);
    Session session;
    ASSERT_TRUE(session.Open(MediaFixture(file)));
    ASSERT_TRUE(session.Start(Layout::Bgrx, true, true));
    int frames = 0;
    ASSERT_TRUE(session.Play(
        0, 2, [&](Stream stream, const Session::Delivered&) { return stream != Stream::Video || ++frames < 5; }));
    const std::int64_t target = 1000 * kMs;
    ASSERT_TRUE(session.Seek(1, target));
    std::optional<Frame> firstPicture, firstSound;
    int after = 0;
    ASSERT_TRUE(session.Play(1, 2, [&](Stream stream, const Session::Delivered& d) {
      std::optional<Frame>& first = stream == Stream::Video ? firstPicture : firstSound;
      if (!first) first = d.frame;
      after += stream == Stream::Video;
      return true;
    }));
    // The first picture is the one that covers the target; the sound starts there too.
    ASSERT_TRUE(firstPicture && firstSound);
    EXPECT_LE(firstPicture->time, target);
    EXPECT_GT(firstPicture->time + firstPicture->duration, target);
    EXPECT_LE(firstSound->time, target + 100 * static_cast<std::int64_t>(kMs));
    EXPECT_GT(firstSound->time + firstSound->duration, target - 100 * static_cast<std::int64_t>(kMs));
    EXPECT_GE(after, 20);
  }
}

// A stream that fails half-way ends with an Error there; a seek after it (once the failure has
// settled in the pipeline) plays it again up to the same place.
TEST(WorkerPlayTest, SeekAfterAnErrorReplaysUpToIt) {
  TempDir folder("orbelle-worker");
  const std::filesystem::path raw = folder.path() / "raw.avi";
  ASSERT_TRUE(Ffmpeg(
      {"-f", "lavfi", "-i", "color=c=blue:s=160x120:r=25:d=1", "-c:v", "rawvideo", "-pix_fmt", "bgr24", raw.string()}));
  // The index entry of the 11th picture says it is 1000 bytes long: too short for a picture.
  Bytes avi = ReadFile(raw);
  const std::string text(avi.begin(), avi.end());
  const std::size_t entry = text.rfind("idx1") + 8 + 16 * 10 + 12;
  ASSERT_LT(entry + 4, avi.size());
  for (int i = 0; i < 4; ++i) avi[entry + i] = static_cast<std::uint8_t>((1000 >> (8 * i)) & 0xFF);

  Session session;
  ASSERT_TRUE(session.Open(avi));
  ASSERT_TRUE(session.Start(Layout::Bgr, true, false));
  for (std::uint32_t generation = 0; generation < 2; ++generation) {
    SCOPED_TRACE(generation);
    if (generation > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ASSERT_TRUE(session.Seek(generation, 0));
    }
    int frames = 0;
    for (;;) {
      const Received in = session.worker.Receive();
      if (in.type == Type::Ring) close(in.fd);
      if (in.type == Type::Frame) {
        const Frame frame = in.As<Frame>();
        frames += frame.generation == generation;
        Release release = MakeMessage<Release>(Type::Release);
        release.stream = Stream::Video;
        release.slot = frame.slot;
        ASSERT_TRUE(session.worker.Send(release));
      }
      ASSERT_NE(Type{}, in.type) << "nothing more came";
      ASSERT_NE(Type::End, in.type);
      if (in.type == Type::Error && in.As<Error>().generation == generation) break;
    }
    EXPECT_EQ(10, frames);
  }
}

// The lossless pattern clip, every pixel, in both layouts: conversion straight into the slots.
TEST(WorkerPlayTest, PicturesFillTheirSlotsExactlyInEitherLayout) {
  for (Layout layout : {Layout::Bgr, Layout::Bgrx}) {
    SCOPED_TRACE(BytesPerPixel(layout));
    Session session;
    ASSERT_TRUE(session.Open(MediaFixture("pattern322.avi")));
    ASSERT_EQ(kPrerolled | kHasVideo | kSeekable, session.opened.flags);
    ASSERT_EQ(322u, session.opened.width);
    ASSERT_EQ(24u, session.opened.height);
    ASSERT_TRUE(session.Start(layout, true, true));
    int frames = 0;
    ASSERT_TRUE(session.Play(0, 1, [&](Stream, const Session::Delivered& d) {
      ++frames;
      const std::uint64_t pitch = RowBytes(layout, 322);
      int off = 0;
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 322; ++x)
          off += !Near(PatternPixel(x, y), d.bytes + pitch * (23 - y) + BytesPerPixel(layout) * x, 0);
      EXPECT_EQ(0, off);
      return true;
    }));
    EXPECT_EQ(3, frames);
  }
}

// A still picture is one Frame (time 0, no duration) and End; its rows bottom first.
TEST(WorkerStillTest, StillPictureIsOneFrameBottomRowFirst) {
  struct Case {
    const char* file;
    Layout layout;
    int tolerance;
    bool pattern;  // else quadrants
  };
  const Case cases[] = {{"quadrants.jpg", Layout::Bgr, 12, false},
                        {"quadrants.gif", Layout::Bgrx, 0, false},
                        {"quadrants8.bmp", Layout::Bgr, 0, false},
                        {"pattern.bmp", Layout::Bgrx, 0, true},
                        {"pattern_topdown.bmp", Layout::Bgr, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Session session;
    ASSERT_TRUE(session.Open(MediaFixture(c.file)));
    EXPECT_EQ(Kind::Still, session.opened.kind);
    ASSERT_EQ(kPrerolled | kHasVideo, session.opened.flags);
    ASSERT_EQ(160u, session.opened.width);
    ASSERT_EQ(120u, session.opened.height);
    ASSERT_TRUE(session.Start(c.layout, true, false));
    int frames = 0;
    ASSERT_TRUE(session.Play(0, 1, [&](Stream stream, const Session::Delivered& d) {
      EXPECT_EQ(Stream::Video, stream);
      EXPECT_EQ(0, d.frame.time);
      EXPECT_EQ(-1, d.frame.duration);
      ++frames;
      const std::uint64_t pitch = RowBytes(c.layout, 160);
      auto at = [&](int x, int y) { return d.bytes + pitch * (119 - y) + BytesPerPixel(c.layout) * x; };
      if (c.pattern) {
        for (auto [x, y] : {std::pair{0, 0}, {159, 0}, {0, 119}, {159, 119}, {77, 33}})
          EXPECT_TRUE(Near(PatternPixel(x, y), at(x, y), 0)) << x << "," << y << ": " << Show(at(x, y));
      } else {
        EXPECT_TRUE(Near({0, 0, 255}, at(0, 0), c.tolerance)) << Show(at(0, 0));
        EXPECT_TRUE(Near({0, 255, 0}, at(159, 0), c.tolerance)) << Show(at(159, 0));
        EXPECT_TRUE(Near({255, 0, 0}, at(0, 119), c.tolerance)) << Show(at(0, 119));
        EXPECT_TRUE(Near({255, 255, 255}, at(159, 119), c.tolerance)) << Show(at(159, 119));
      }
      return true;
    }));
    EXPECT_EQ(1, frames);
  }
}

// Every picture variant of the picture decoder's fixtures decodes in the worker with the colour
// ImageMagick reads at its centre (of an animation's first frame).
TEST(WorkerStillTest, PictureVariantsKeepTheirColours) {
  const std::filesystem::path dir = SourceDir() / "tests/platform/picture/fixtures";
  std::ifstream reference(dir / "reference.txt");
  std::string line;
  int checked = 0;
  while (std::getline(reference, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    int width = 0, height = 0, r = 0, g = 0, b = 0;
    fields >> name >> width >> height >> r >> g >> b;
    SCOPED_TRACE(name);
    Session session;
    ASSERT_TRUE(session.Open(dir / name));
    ASSERT_EQ(kPrerolled | kHasVideo, session.opened.flags);
    ASSERT_EQ(static_cast<std::uint32_t>(width), session.opened.width);
    ASSERT_EQ(static_cast<std::uint32_t>(height), session.opened.height);
    ASSERT_TRUE(session.Start(Layout::Bgr, true, false));
    ASSERT_TRUE(session.Play(0, 1, [&](Stream, const Session::Delivered& d) {
      const std::uint8_t* centre = d.bytes + RowBytes(Layout::Bgr, width) * (height - 1 - height / 2) + 3 * (width / 2);
      EXPECT_TRUE(Near({b, g, r}, centre, 3)) << Show(centre);
      return false;  // the first picture (an animation's first frame; it has no end)
    }));
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

// A picture wider than the texture limit arrives scaled to fit it; a file over the picture
// limit is not read at all.
TEST(WorkerStillTest, LargePictureIsScaledToTheTextureLimit) {
  const std::uint32_t width = 10000, height = 20, stride = (3 * width + 3) & ~3u;
  Bytes bmp(54 + stride * height, 0);
  auto le32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  le32(2, static_cast<std::uint32_t>(bmp.size()));
  le32(10, 54);
  le32(14, 40);
  le32(18, width);
  le32(22, height);
  bmp[26] = 1, bmp[28] = 24;
  Session session;
  ASSERT_TRUE(session.Open(bmp));
  EXPECT_EQ(kPrerolled | kHasVideo, session.opened.flags);
  EXPECT_EQ(kMaxSide, session.opened.width);
  EXPECT_EQ(16u, session.opened.height);
}

// An animated picture is a still that streams: every frame with its time and delay, in a loop
// for ever, the times going on from loop to loop (red 50 ms, half green 100 ms as its 10 ms is
// shown, blue 200 ms); its memory stays flat over a thousand loops. A seek goes on from the
// frame that covers the target.
TEST(WorkerAnimationTest, FramesLoopWithTheirTimesAndTheWorkersMemoryStaysFlat) {
  TempDir dir("orbelle-worker-animations");
  ASSERT_TRUE(picture_fixtures::MakePictures(dir.path()));
  const std::int64_t starts[] = {0, 50, 150}, delays[] = {50, 100, 200};
  const Bgr colours[][2] = {{{0, 0, 255}, {0, 0, 255}}, {{0, 255, 0}, {0, 0, 255}}, {{255, 0, 0}, {255, 0, 0}}};
  const auto residentKb = [](pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1L;
  };
  for (const char* name : {"anim.gif", "anim.png", "anim.webp"}) {
    SCOPED_TRACE(name);
    Session session;
    ASSERT_TRUE(session.Open(dir.path() / name));
    EXPECT_EQ(Kind::Still, session.opened.kind);
    ASSERT_EQ(kPrerolled | kHasVideo, session.opened.flags);
    EXPECT_EQ(-1, session.opened.duration);
    ASSERT_EQ(32u, session.opened.width);
    ASSERT_EQ(24u, session.opened.height);
    ASSERT_TRUE(session.Start(Layout::Bgrx, true, false));
    int k = 0;
    long before = 0;
    ASSERT_TRUE(session.Play(0, 1, [&](Stream, const Session::Delivered& d) {
      const int i = k % 3;
      EXPECT_EQ((k / 3 * 350 + starts[i]) * std::int64_t{kMs}, d.frame.time) << k;
      EXPECT_EQ(delays[i] * std::int64_t{kMs}, d.frame.duration) << k;
      if (k < 9) {
        const std::uint64_t pitch = RowBytes(Layout::Bgrx, 32);
        EXPECT_TRUE(Near(colours[i][0], d.bytes + pitch * 11 + 4 * 8, 0)) << k;
        EXPECT_TRUE(Near(colours[i][1], d.bytes + pitch * 11 + 4 * 24, 0)) << k;
      }
      if (k == 300) before = residentKb(session.worker.Pid());
      return ++k < 3300;
    }));
    if (kMeasuresMemory) {
      EXPECT_LT(residentKb(session.worker.Pid()) - before, 1024) << "kB grown over 1000 loops";
    }
    // 1000 ms is 2 loops (700 ms) and 300 ms into the third: its blue frame, from 850 ms.
    ASSERT_TRUE(session.Seek(1, 1000 * std::int64_t{kMs}));
    std::vector<std::int64_t> times;
    ASSERT_TRUE(session.Play(1, 1, [&](Stream, const Session::Delivered& d) {
      times.push_back(d.frame.time / std::int64_t{kMs});
      return times.size() < 2;
    }));
    EXPECT_EQ((std::vector<std::int64_t>{850, 1050}), times);
  }
}

}  // namespace
