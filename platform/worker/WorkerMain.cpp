// orbelle-media-worker: parses one file a user opened, in a process of its own, and hands the
// viewer raw pictures and sound through sealed shared memory. See WorkerWire.h for how it is
// started and what passes. Start-up loads everything it may use, then shuts itself in (see
// WorkerSandbox.h); only then does it take the file and read a byte of it.
#include <glib.h>
#include <iconv.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/picture/PictureDecode.h"
#include "platform/worker/AnimationSource.h"
#include "platform/worker/AsfHeader.h"
#include "platform/worker/ControlChannel.h"
#include "platform/worker/DescriptorSource.h"
#include "platform/worker/FrameConverter.h"
#include "platform/worker/MediaDecoder.h"
#include "platform/worker/Misbehave.h"
#include "platform/worker/PictureSource.h"
#include "platform/worker/PluginAllowList.h"
#include "platform/worker/ProcessorCount.h"
#include "platform/worker/ProgramStream.h"
#include "platform/worker/TransportStream.h"
#include "platform/worker/WorkerSandbox.h"
#include "platform/worker/WorkerWire.h"

#if defined(__SANITIZE_ADDRESS__)
// The leak check at exit runs a tracer thread, which the seccomp filter refuses.
extern "C" int __lsan_is_turned_off() {
  return 1;
}
#endif

namespace {

using namespace worker;

// Tags in media files are converted to UTF-8 from whatever character set they declare; glibc
// loads each conversion module (and its module list) from files the first time it is asked, and
// GLib reads its table of character set names the first time it names the locale's. These
// handles are opened now and never closed, so the usual ones stay loaded under the sandbox.
void LoadCharsetConversions() {
  g_get_charset(nullptr);
  static std::vector<iconv_t> held;
  for (const char* from : {"ISO-8859-1", "WINDOWS-1252", "UTF-16LE", "UTF-16BE", "UTF-16", "UCS-2LE", "UTF-32"}) {
    const iconv_t handle = iconv_open("UTF-8", from);
    if (handle != reinterpret_cast<iconv_t>(-1)) held.push_back(handle);
  }
}

// glibc's allocator reads /proc/sys/vm/overcommit_memory the first time it gives memory of a
// thread's arena back; a thread here fills and empties its arena so that it has. (The number of
// arenas is fixed too: left open, glibc counts processors from /sys to size it.)
void SettleAllocator() {
  mallopt(M_ARENA_MAX, 2);
  std::thread([] {
    std::vector<void*> blocks;
    for (int i = 0; i < 256; ++i) blocks.push_back(std::malloc(64 * 1024));
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) std::free(*it);
  }).join();
}

bool ReadAt(int fd, std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>* out) {
  out->resize(length);
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = pread(fd, out->data() + got, length - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  return true;
}

// Looks at the file's content and opens it the way it needs; *opened receives the answer.
// Null when there is nothing to serve (the file did not open).
std::unique_ptr<Source> OpenFile(int fd, ControlChannel& channel, std::unique_ptr<MediaDecoder> decoder,
                                 Opened* opened) {
  *opened = MakeMessage<Opened>(Type::Opened);
  opened->kind = Kind::Unknown;
  opened->duration = -1;
  struct stat info {};
  constexpr std::size_t kHeadBytes = 64 * 1024;
  std::vector<std::uint8_t> head;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !ReadAt(fd, 0, kHeadBytes, &head)) return nullptr;
  const auto size = static_cast<std::uint64_t>(info.st_size);

  if (picture::DetectPictureType(head.data(), head.size()) != picture::PictureType::Unknown) {
    opened->kind = Kind::Still;
    std::vector<std::uint8_t> file;
    if (size > kMaxPictureFile || !ReadAt(fd, 0, static_cast<std::size_t>(size), &file)) return nullptr;
    // An animation of two frames or more streams its frames; anything else is one picture.
    bool animated = false;
    if (auto animation = AnimationSource::Open(channel, file, &animated, opened)) return animation;
    if (animated) return nullptr;
    auto source = std::make_unique<PictureSource>(channel);
    *opened = source->Open(file);
    if (!(opened->flags & kPrerolled)) return nullptr;
    return source;
  }
  if (LooksLikeAsf(head.data(), head.size()))
    *opened = decoder->Open(fd, Kind::Asf, AsfStreamKinds(head.data(), head.size()), false, 0,
                            static_cast<std::int64_t>(size));
  else
    *opened = decoder->Open(fd, Kind::ByteStream, {}, LooksLikeProgramStream(head.data(), head.size()),
                            TransportPacketSize(head.data(), head.size()), static_cast<std::int64_t>(size));
  if (!(opened->flags & kPrerolled)) {
    // Kept as it is: its pipeline may hold threads that still run, and the process ends soon.
    decoder.release();
    return nullptr;
  }
  return decoder;
}

// Answers the viewer's messages until it goes away. Anything out of order ends the process.
[[noreturn]] void Serve(Source* source, const Opened& opened, ControlChannel& channel) {
  const bool prerolled = (opened.flags & kPrerolled) != 0;
  bool started = false;
  std::uint32_t generation = 0;
  for (;;) {
    const ControlChannel::Received in = channel.Receive();
    switch (in.type) {
      case Type::Start: {
        const auto start = in.As<Start>();
        if (!prerolled || started || (start.layout != Layout::Bgr && start.layout != Layout::Bgrx) ||
            start.wantVideo > 1 || start.wantAudio > 1)
          ControlChannel::Quit("the viewer sent a Start that does not fit");
        started = true;
        source->Start(start);
        break;
      }
      case Type::Seek: {
        const auto seek = in.As<Seek>();
        if (!prerolled || seek.generation != generation + 1 || seek.target < 0)
          ControlChannel::Quit("the viewer sent a Seek that does not fit");
        generation = seek.generation;
        source->Seek(seek.generation, seek.target);
        break;
      }
      case Type::Release: {
        const auto release = in.As<Release>();
        if (!started || (release.stream != Stream::Video && release.stream != Stream::Audio) ||
            !source->Release(release.stream, release.slot))
          ControlChannel::Quit("the viewer released a slot it does not hold");
        break;
      }
      default:
        ControlChannel::Quit("the viewer sent a message out of order");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string_view misbehave;
  if (argc == 2 && std::strncmp(argv[1], "--misbehave=", 12) == 0 && KnownMisbehaviour(argv[1] + 12)) {
    misbehave = argv[1] + 12;
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s (started by the viewer; see WorkerWire.h)\n", argv[0]);
    return 2;
  }

  // Everything the worker may use is loaded before the sandbox; nothing is loaded after.
  const bool namespaces = EnterNamespaces();
  CountProcessors();
  SettleAllocator();
  LoadCharsetConversions();
  PrepareFrameConversion();
  std::string error;
  if (!PrepareGstreamer(&error)) ControlChannel::Quit(error.c_str());
  if (!RegisterDescriptorSource()) ControlChannel::Quit("the descriptor source cannot be registered");
  // GLib seeds its shared random numbers (which name the streams) from /dev/urandom at first use.
  g_random_int();
  for (picture::PictureType type :
       {picture::PictureType::Bmp, picture::PictureType::Jpeg, picture::PictureType::Gif, picture::PictureType::Png,
        picture::PictureType::WebP, picture::PictureType::Heif, picture::PictureType::Avif, picture::PictureType::Tiff})
    if (!picture::PreparePictureDecoder(type, &error)) ControlChannel::Quit(error.c_str());
  ControlChannel channel(1);
  auto decoder = std::make_unique<MediaDecoder>(channel);
  std::uint32_t flags = 0;
  if (!InstallSandbox(namespaces, &flags, &error)) ControlChannel::Quit(error.c_str());

  Hello hello = MakeMessage<Hello>(Type::Hello);
  hello.flags = flags;
  hello.pid = static_cast<std::uint32_t>(getpid());
  channel.Send(hello);

  const ControlChannel::Received open = channel.Receive();
  if (open.type != Type::Open) ControlChannel::Quit("the viewer sent a message out of order");
  if (!misbehave.empty()) {
    Misbehave(misbehave, channel);
    _exit(kMisbehaveRefused);
  }
  Opened opened;
  std::unique_ptr<Source> source = OpenFile(open.fd, channel, std::move(decoder), &opened);
  channel.Send(opened);
  Serve(source.get(), opened, channel);
}
