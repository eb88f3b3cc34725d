#include "platform/worker/ProgramStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

namespace worker {
namespace {

constexpr std::int64_t kHeadBytes = 256 * 1024;
constexpr std::int64_t kTailBytes = 512 * 1024;
constexpr double kTicks = 90000.0;

bool ReadAt(int fd, std::int64_t offset, std::int64_t length, std::vector<std::uint8_t>* out) {
  out->resize(static_cast<std::size_t>(length));
  std::size_t got = 0;
  while (got < out->size()) {
    ssize_t n = pread(fd, out->data() + got, out->size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  return got > 0;
}

// A PES packet's presentation time stamp and where its payload starts. header points after
// 00 00 01 id and the 16-bit length; end is the end of the packet's bytes.
struct Pes {
  std::optional<std::int64_t> pts;
  const std::uint8_t* payload = nullptr;
};

// A 33-bit time stamp in its five-byte form, marker bits checked.
std::optional<std::int64_t> TimeStamp(const std::uint8_t* p) {
  if ((p[0] & 1) == 0 || (p[2] & 1) == 0 || (p[4] & 1) == 0) return std::nullopt;
  return (static_cast<std::int64_t>(p[0] & 0x0E) << 29) | (static_cast<std::int64_t>(p[1]) << 22) |
         (static_cast<std::int64_t>(p[2] & 0xFE) << 14) | (static_cast<std::int64_t>(p[3]) << 7) | (p[4] >> 1);
}

Pes ParsePes(const std::uint8_t* p, const std::uint8_t* end) {
  Pes pes;
  if (end - p >= 3 && (p[0] & 0xC0) == 0x80) {  // MPEG-2 header
    if ((p[1] & 0x80) && end - p >= 8) pes.pts = TimeStamp(p + 3);
    if (end - p >= 3 + p[2]) pes.payload = p + 3 + p[2];
    return pes;
  }
  while (p < end && *p == 0xFF) ++p;  // MPEG-1: stuffing, then an optional buffer size
  if (end - p >= 2 && (*p & 0xC0) == 0x40) p += 2;
  if (end - p >= 5 && (*p & 0xF0) == 0x20) {
    pes.pts = TimeStamp(p);
    pes.payload = p + 5;
  } else if (end - p >= 10 && (*p & 0xF0) == 0x30) {
    pes.pts = TimeStamp(p);
    pes.payload = p + 10;
  } else if (end - p >= 1 && *p == 0x0F) {
    pes.payload = p + 1;
  }
  return pes;
}

double FrameTicks(int rateCode) {
  static constexpr double kRates[] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
  return rateCode > 0 && rateCode < 9 ? kTicks / kRates[rateCode] : 0.0;
}

struct Scanned {
  std::optional<std::int64_t> firstVideo, firstAny, lastAny;
  std::vector<std::uint8_t> video;                           // the video payloads, in order
  std::vector<std::pair<std::size_t, std::int64_t>> stamps;  // video offset -> time stamp
};

void Scan(const std::vector<std::uint8_t>& bytes, Scanned* out) {
  const std::uint8_t* data = bytes.data();
  const std::size_t size = bytes.size();
  for (std::size_t i = 0; i + 6 <= size; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    const std::uint8_t id = data[i + 3];
    const bool video = id >= 0xE0 && id <= 0xEF;
    const bool audio = (id >= 0xC0 && id <= 0xDF) || id == 0xBD;
    if (!video && !audio) continue;
    const std::size_t length = (static_cast<std::size_t>(data[i + 4]) << 8) | data[i + 5];
    const std::uint8_t* end = data + std::min(size, i + 6 + length);
    const Pes pes = ParsePes(data + i + 6, end);
    if (pes.pts) {
      if (!out->firstAny) out->firstAny = pes.pts;
      if (!out->lastAny || *pes.pts > *out->lastAny) out->lastAny = pes.pts;
    }
    if (video && pes.payload) {
      if (pes.pts) {
        if (!out->firstVideo) out->firstVideo = pes.pts;
        out->stamps.emplace_back(out->video.size(), *pes.pts);
      }
      out->video.insert(out->video.end(), pes.payload, end);
      i = static_cast<std::size_t>(end - data) - 1;
    } else {
      i += 5;
    }
  }
}

// The end of the last picture shown, in ticks: each time stamp anchors the picture that starts
// after it, and a picture's place in display order within its group is its temporal reference.
std::optional<double> VideoEnd(const Scanned& scanned, double* frameTicks) {
  const std::vector<std::uint8_t>& es = scanned.video;
  std::size_t nextStamp = 0;
  bool hasPending = false;
  std::int64_t pending = 0;
  bool anchored = false;
  double groupStart = 0.0, end = 0.0;
  int maxReference = -1;
  for (std::size_t i = 0; i + 6 <= es.size(); ++i) {
    if (es[i] != 0 || es[i + 1] != 0 || es[i + 2] != 1) continue;
    while (nextStamp < scanned.stamps.size() && scanned.stamps[nextStamp].first <= i) {
      pending = scanned.stamps[nextStamp++].second;
      hasPending = true;
    }
    const std::uint8_t code = es[i + 3];
    if (code == 0xB3 && i + 8 <= es.size() && *frameTicks == 0.0) {
      *frameTicks = FrameTicks(es[i + 7] & 0x0F);
    } else if (code == 0xB8 && anchored) {  // a new group follows the last one shown
      groupStart += (maxReference + 1) * *frameTicks;
      maxReference = -1;
    } else if (code == 0x00 && *frameTicks > 0.0) {
      const int reference = (es[i + 4] << 2) | (es[i + 5] >> 6);
      if (hasPending) {
        groupStart = static_cast<double>(pending) - reference * *frameTicks;
        anchored = true;
        hasPending = false;
      }
      if (anchored) {
        maxReference = std::max(maxReference, reference);
        end = std::max(end, groupStart + (reference + 1) * *frameTicks);
      }
    }
    i += 3;
  }
  if (!anchored) return std::nullopt;
  return end;
}

}  // namespace

bool LooksLikeProgramStream(const std::uint8_t* data, std::size_t size) {
  return size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] == 0xBA;
}

bool ProgramStreamLength(int fd, std::int64_t fileSize, double* seconds) {
  std::vector<std::uint8_t> bytes;
  if (!ReadAt(fd, 0, std::min(fileSize, kHeadBytes), &bytes)) return false;
  Scanned head;
  Scan(bytes, &head);
  double frameTicks = 0.0;
  std::optional<double> end = VideoEnd(head, &frameTicks);
  std::optional<std::int64_t> lastAny = head.lastAny;
  if (fileSize > kHeadBytes) {
    const std::int64_t from = std::max(kHeadBytes, fileSize - kTailBytes);
    Scanned tail;
    if (ReadAt(fd, from, fileSize - from, &bytes)) Scan(bytes, &tail);
    if (std::optional<double> tailEnd = VideoEnd(tail, &frameTicks)) end = tailEnd;
    if (tail.lastAny) lastAny = tail.lastAny;
  }
  if (head.firstVideo && end && *end > *head.firstVideo) {
    *seconds = (*end - static_cast<double>(*head.firstVideo)) / kTicks;
    return true;
  }
  if (!head.firstVideo && head.firstAny && lastAny && *lastAny > *head.firstAny) {
    *seconds = static_cast<double>(*lastAny - *head.firstAny) / kTicks;
    return true;
  }
  return false;
}

}  // namespace worker
