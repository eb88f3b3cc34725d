// What passes between the viewer and its media worker (orbelle-media-worker), the process that
// parses every file a user opens. Both sides include this header; neither trusts the other's
// bytes beyond what the checks below accept.
//
// Start. The viewer starts the worker with no arguments (tests may add one `--misbehave=WHAT`),
// a fixed environment, descriptor 1 one end of a SOCK_SEQPACKET socket pair (the control
// channel: one send is one message), descriptor 2 a pipe the viewer reads (one line per
// reason), and nothing else open. The worker loads every plugin and loader it may use, installs
// its sandbox, and sends Hello. It then waits for Open, which carries the media file's
// descriptor (SCM_RIGHTS, exactly one): the worker never opens anything by path, and a worker
// can be started before the file is known.
//
// Open to preroll. The worker detects the type from the content, builds its decoder and decodes
// up to the first picture (or the whole still picture), then sends Opened with the stream
// facts. Nothing more comes until Start.
//
// Streaming. Start names the picture layout the viewer's renderer settled on and which streams
// it wants. The worker answers with one Ring message per wanted stream that has data (the
// memfd as SCM_RIGHTS), then Frame and Sound messages, each naming a slot of a ring it has
// filled, and End once a stream has no more data. A slot belongs to the viewer from its Frame or
// Sound message until the viewer sends Release for it; the worker writes only free slots and
// waits when none is free. A still picture is one Frame (time 0, no duration) and End; an
// animated one (a gif, png or webp of two frames or more) sends its frames with their times and
// durations in a loop for ever, the times going on increasing from loop to loop, and no End.
// Times are nanoseconds from the first picture of the file (the worker subtracts the first
// picture's stream time; from the first sound when there is no picture), so the viewer's clock
// starts at 0.
//
// Seek. Seek carries a generation (one more than the last) and a target. The worker drops
// everything of older generations, seeks, and sends what follows tagged with the new
// generation; the viewer drops any Frame, Sound, End or Error of an older generation (releasing
// its slot at once). Slots the viewer holds stay held until released, whatever the generation.
//
// Errors. Error says that decoding failed (after Opened: the stream ends at its last good
// picture). A worker that breaks the protocol, dies, or neither sends nor waits on a full ring
// for kStallMilliseconds is killed by the viewer, which treats it as an Error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace worker {

inline constexpr char kWorkerFileName[] = "orbelle-media-worker";
inline constexpr std::uint32_t kMagic = 0x4F524257;  // "WBRO"

enum class Type : std::uint32_t {
  // worker -> viewer
  Hello = 1,
  Opened = 2,
  Ring = 3,
  Frame = 4,
  Sound = 5,
  End = 6,
  Error = 7,
  // viewer -> worker
  Open = 100,
  Start = 101,
  Seek = 102,
  Release = 103,
};

struct Header {
  std::uint32_t magic;
  Type type;
  std::uint32_t size;  // of the whole message, header included; must be sizeof the type's struct
  std::uint32_t reserved;
};

// ---- worker -> viewer ----

enum HelloFlags : std::uint32_t {
  kSeccomp = 1,       // the seccomp filter is installed (else the worker exits before Hello)
  kNoFileSystem = 2,  // an empty mount namespace hides every file
  kLandlock = 4,      // a Landlock rule set that grants nothing is in force
};

struct Hello {
  Header header;
  std::uint32_t flags;  // HelloFlags
  std::uint32_t pid;    // the worker's own id, for the viewer's log
};

// What the content is. Refused: a known type the worker has no allowed decoder for (an svg,
// tracker music, a png behind an id3 tag): never decoded. Unknown: no type found at all (random
// bytes). A picture is known by its content whatever its name.
enum class Kind : std::uint32_t { Unknown = 0, Refused = 1, Still = 2, Asf = 3, ByteStream = 4 };

enum class StreamKind : std::uint8_t { Other = 0, Video = 1, Audio = 2 };

enum OpenedFlags : std::uint32_t {
  kPrerolled = 1,  // the first picture (or the still picture) is decoded; else the open failed
  kHasVideo = 2,
  kHasAudio = 4,
  kSeekable = 8,
};

inline constexpr std::uint32_t kMaxStreams = 32;
inline constexpr std::uint32_t kMaxSide = 8192;  // the texture's limit: larger pictures are scaled down
inline constexpr std::uint32_t kMaxChannels = 8;
inline constexpr std::uint32_t kMinRate = 8000;
inline constexpr std::uint32_t kMaxRate = 192000;

struct Opened {
  Header header;
  Kind kind;
  std::uint32_t flags;        // OpenedFlags
  std::uint32_t streamCount;  // ASF: the streams of its header, in header order (the pins)
  StreamKind streams[kMaxStreams];
  std::int64_t duration;     // ns from the first picture; -1 when unknown
  std::int64_t knownLength;  // ns, read from the file's own time stamps (MPEG program or transport stream); 0: none
  // The first picture: its size (1..kMaxSide) and pixel aspect ratio. Zero without video.
  std::uint32_t width, height, parN, parD;
  // The sound, as the worker delivers it: signed 16-bit, interleaved, little-endian. Zero
  // without sound.
  std::uint32_t rate, channels;
};

enum class Stream : std::uint32_t { Video = 0, Audio = 1 };

// A ring: slotCount slots of slotSize bytes at offsets slot * slotSize in the memfd that comes
// with the message. The memfd is sealed against shrinking and growing (F_SEAL_SHRINK,
// F_SEAL_GROW, F_SEAL_SEAL) and at least slotCount * slotSize bytes long.
struct Ring {
  Header header;
  Stream stream;
  std::uint32_t slotCount;  // 1..kMaxSlots
  std::uint64_t slotSize;   // video: exactly one picture in the settled layout; audio: kSoundSlotBytes
};
inline constexpr std::uint32_t kMaxSlots = 64;
inline constexpr std::uint32_t kVideoSlots = 6;
inline constexpr std::uint32_t kStillSlots = 1;
inline constexpr std::uint32_t kSoundSlots = 48;
inline constexpr std::uint64_t kSoundSlotBytes = 64 * 1024;

// A picture in the settled layout, filling its slot, or a piece of sound (a whole number of
// sample frames, 1..slotSize bytes).
struct Frame {
  Header header;
  std::uint32_t generation;
  std::uint32_t slot;
  std::int64_t time;      // ns from the first picture; may be negative for sound before it
  std::int64_t duration;  // ns; -1 when unknown
  std::uint64_t bytes;
};
using Sound = Frame;

struct End {
  Header header;
  std::uint32_t generation;
  Stream stream;
};

struct Error {
  Header header;
  std::uint32_t generation;
  std::uint32_t reserved;
  char text[200];  // NUL-terminated within the array; for the log only
};

// ---- viewer -> worker ----

struct Open {
  Header header;  // the file's descriptor comes with it
};

enum class Layout : std::uint32_t {
  Bgr = 0,   // 3 bytes a pixel, B G R
  Bgrx = 1,  // 4 bytes a pixel, B G R x
};

struct Start {
  Header header;
  Layout layout;  // rows bottom first, each (bytes per pixel x width + 3) & ~3 bytes
  std::uint32_t wantVideo;
  std::uint32_t wantAudio;
  std::uint32_t reserved;
};

struct Seek {
  Header header;
  std::uint32_t generation;
  std::uint32_t reserved;
  std::int64_t target;  // ns from the first picture, >= 0
};

struct Release {
  Header header;
  Stream stream;
  std::uint32_t slot;
};

// ---- limits and checks ----

// The largest message either side sends.
inline constexpr std::size_t kMaxMessage = sizeof(Opened) > sizeof(Error) ? sizeof(Opened) : sizeof(Error);
// A worker that has not answered Open within this is killed and the file fails to open.
inline constexpr unsigned kOpenMilliseconds = 10000;
// A streaming worker that neither sends nor waits on a full ring for this long is killed.
inline constexpr unsigned kStallMilliseconds = 5000;
// The worker's address space: decoders are threaded and glibc reserves arenas per thread.
inline constexpr std::uint64_t kAddressSpace = 4ULL << 30;
// The most the viewer keeps of the worker's stderr (lines beyond it are dropped).
inline constexpr std::size_t kStderrBytes = 4096;
// The largest file the worker reads whole (a picture).
inline constexpr std::uint64_t kMaxPictureFile = 256ULL << 20;

inline int BytesPerPixel(Layout layout) {
  return layout == Layout::Bgrx ? 4 : 3;
}
inline std::uint64_t RowBytes(Layout layout, std::uint32_t width) {
  return (static_cast<std::uint64_t>(BytesPerPixel(layout)) * width + 3) & ~std::uint64_t{3};
}
inline std::uint64_t PictureBytes(Layout layout, std::uint32_t width, std::uint32_t height) {
  return RowBytes(layout, width) * height;
}

template <typename Message>
Message MakeMessage(Type type) {
  Message m;
  std::memset(&m, 0, sizeof(m));
  m.header.magic = kMagic;
  m.header.type = type;
  m.header.size = static_cast<std::uint32_t>(sizeof(Message));
  return m;
}

// The size a message of this type must have; 0 for a type that does not exist.
inline std::size_t SizeOf(Type type) {
  switch (type) {
    case Type::Hello:
      return sizeof(Hello);
    case Type::Opened:
      return sizeof(Opened);
    case Type::Ring:
      return sizeof(Ring);
    case Type::Frame:
    case Type::Sound:
      return sizeof(Frame);
    case Type::End:
      return sizeof(End);
    case Type::Error:
      return sizeof(Error);
    case Type::Open:
      return sizeof(Open);
    case Type::Start:
      return sizeof(Start);
    case Type::Seek:
      return sizeof(Seek);
    case Type::Release:
      return sizeof(Release);
  }
  return 0;
}

// True when the bytes received are one whole message whose header is sound: the magic, a known
// type, and the size of that type, equal to what arrived. *type is then the message's type.
inline bool HeaderValid(const void* data, std::size_t received, Type* type) {
  if (received < sizeof(Header)) return false;
  Header h;
  std::memcpy(&h, data, sizeof(h));
  const std::size_t expected = SizeOf(h.type);
  if (h.magic != kMagic || expected == 0 || h.size != expected || received != expected) return false;
  *type = h.type;
  return true;
}

// Checks of each worker message's fields on their own (what the viewer then checks against its
// state, such as a slot it already holds, is its own business).
inline bool OpenedValid(const Opened& m) {
  if (m.kind > Kind::ByteStream || m.streamCount > kMaxStreams) return false;
  if ((m.flags & ~std::uint32_t{kPrerolled | kHasVideo | kHasAudio | kSeekable}) != 0) return false;
  for (std::uint32_t i = 0; i < m.streamCount; ++i)
    if (m.streams[i] > StreamKind::Audio) return false;
  if (m.duration < -1 || m.knownLength < 0) return false;
  if (m.flags & kHasVideo) {
    if (m.width < 1 || m.height < 1 || m.width > kMaxSide || m.height > kMaxSide || m.parN < 1 || m.parD < 1 ||
        m.parN > 1000 || m.parD > 1000)
      return false;
  } else if (m.width || m.height) {
    return false;
  }
  if (m.flags & kHasAudio) {
    if (m.channels < 1 || m.channels > kMaxChannels || m.rate < kMinRate || m.rate > kMaxRate) return false;
  } else if (m.rate || m.channels) {
    return false;
  }
  // A still picture is one picture, always decoded before Opened when it opens at all.
  if (m.kind == Kind::Still && (m.flags & kPrerolled) && !(m.flags & kHasVideo)) return false;
  return true;
}

inline bool RingValid(const Ring& m, std::uint64_t expectedSlotSize) {
  if (m.stream != Stream::Video && m.stream != Stream::Audio) return false;
  return m.slotCount >= 1 && m.slotCount <= kMaxSlots && m.slotSize == expectedSlotSize;
}

inline bool ErrorTextValid(const Error& m) {
  return std::memchr(m.text, '\0', sizeof(m.text)) != nullptr;
}

}  // namespace worker
