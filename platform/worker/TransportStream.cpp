#include "platform/worker/TransportStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <vector>

namespace worker {
namespace {

constexpr std::int64_t kHeadBytes = 256 * 1024;
constexpr std::int64_t kTailBytes = 512 * 1024;
constexpr double kTicks = 90000.0;
constexpr int kSyncPacketsToCheck = 4;

bool ReadAt(int fd, std::int64_t offset, std::int64_t length, std::vector<std::uint8_t>* out) {
  out->resize(static_cast<std::size_t>(std::max<std::int64_t>(0, length)));
  std::size_t got = 0;
  while (got < out->size()) {
    const ssize_t n = pread(fd, out->data() + got, out->size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  return got > 0;
}

// A 33-bit time stamp in its five-byte form, marker bits checked.
std::optional<std::int64_t> TimeStamp(const std::uint8_t* p) {
  if ((p[0] & 1) == 0 || (p[2] & 1) == 0 || (p[4] & 1) == 0) return std::nullopt;
  return (static_cast<std::int64_t>(p[0] & 0x0E) << 29) | (static_cast<std::int64_t>(p[1]) << 22) |
         (static_cast<std::int64_t>(p[2] & 0xFE) << 14) | (static_cast<std::int64_t>(p[3]) << 7) | (p[4] >> 1);
}

// The time stamps of each stream (by packet id), and which ids carry video.
struct Stamps {
  std::map<int, std::vector<std::int64_t>> byPid;
  std::vector<int> videoPids;
};

// The offset of the first packet: where sync bytes stand at packetSize apart.
std::optional<std::size_t> FirstPacket(const std::vector<std::uint8_t>& bytes, int packetSize) {
  const std::size_t step = static_cast<std::size_t>(packetSize);
  const std::size_t lead = step - 188;  // the time code before each packet of an .m2ts file
  for (std::size_t at = 0; at < step && at + lead + step * 2 <= bytes.size(); ++at) {
    bool synced = true;
    for (std::size_t k = 0; k < 3 && synced; ++k)
      if (at + lead + k * step >= bytes.size() || bytes[at + lead + k * step] != 0x47) synced = false;
    if (synced) return at;
  }
  return std::nullopt;
}

void Scan(const std::vector<std::uint8_t>& bytes, int packetSize, Stamps* out) {
  const std::optional<std::size_t> first = FirstPacket(bytes, packetSize);
  if (!first) return;
  const std::size_t step = static_cast<std::size_t>(packetSize);
  const std::size_t lead = step - 188;
  for (std::size_t at = *first; at + step <= bytes.size(); at += step) {
    const std::uint8_t* p = bytes.data() + at + lead;
    if (p[0] != 0x47) continue;
    const bool unitStart = (p[1] & 0x40) != 0;
    const int pid = ((p[1] & 0x1F) << 8) | p[2];
    const int adaptation = (p[3] >> 4) & 3;
    if (!unitStart || pid < 0x20 || pid == 0x1FFF || !(adaptation & 1)) continue;
    std::size_t offset = 4;
    if (adaptation & 2) offset += 1 + static_cast<std::size_t>(p[4]);
    // The PES header: 00 00 01, the stream id, the length, two flag bytes, the header's length,
    // then the time stamp when the flags say there is one.
    if (offset + 14 > 188) continue;
    const std::uint8_t* pes = p + offset;
    if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || (pes[6] & 0xC0) != 0x80 || !(pes[7] & 0x80)) continue;
    const std::optional<std::int64_t> pts = TimeStamp(pes + 9);
    if (!pts) continue;
    const std::uint8_t id = pes[3];
    const bool video = id >= 0xE0 && id <= 0xEF;
    if (video && std::find(out->videoPids.begin(), out->videoPids.end(), pid) == out->videoPids.end())
      out->videoPids.push_back(pid);
    out->byPid[pid].push_back(*pts);
  }
}

// The stream the length is read from: the first video stream, else the first stream with times.
std::optional<int> ChosenPid(const Stamps& head) {
  if (!head.videoPids.empty()) return head.videoPids.front();
  if (!head.byPid.empty()) return head.byPid.begin()->first;
  return std::nullopt;
}

}  // namespace

int TransportPacketSize(const std::uint8_t* data, std::size_t size) {
  for (int packetSize : {188, 192}) {
    const std::size_t lead = static_cast<std::size_t>(packetSize - 188);
    bool synced = size >= lead + static_cast<std::size_t>(packetSize) * (kSyncPacketsToCheck - 1) + 1;
    for (int k = 0; k < kSyncPacketsToCheck && synced; ++k)
      synced = data[lead + static_cast<std::size_t>(packetSize) * static_cast<std::size_t>(k)] == 0x47;
    if (synced) return packetSize;
  }
  return 0;
}

bool TransportStreamLength(int fd, std::int64_t fileSize, int packetSize, double* seconds) {
  if (packetSize != 188 && packetSize != 192) return false;
  std::vector<std::uint8_t> bytes;
  if (!ReadAt(fd, 0, std::min(fileSize, kHeadBytes), &bytes)) return false;
  Stamps head;
  Scan(bytes, packetSize, &head);
  const std::optional<int> pid = ChosenPid(head);
  if (!pid) return false;
  std::vector<std::int64_t> early = head.byPid[*pid];
  std::vector<std::int64_t> late = early;
  if (fileSize > kHeadBytes) {
    // The tail starts at a packet boundary of the file (packets run from its first byte).
    std::int64_t from = std::max(kHeadBytes, fileSize - kTailBytes);
    from -= from % packetSize;
    Stamps tail;
    if (ReadAt(fd, from, fileSize - from, &bytes)) Scan(bytes, packetSize, &tail);
    if (!tail.byPid[*pid].empty()) late = tail.byPid[*pid];
  }
  if (early.empty() || late.empty()) return false;
  // Pictures may be stored out of display order: the earliest and latest stamps count, and a
  // picture lasts the shortest step between two display times.
  const std::int64_t start = *std::min_element(early.begin(), early.end());
  std::sort(late.begin(), late.end());
  std::int64_t step = 0;
  for (std::size_t i = 1; i < late.size(); ++i) {
    const std::int64_t d = late[i] - late[i - 1];
    if (d > 0 && (step == 0 || d < step)) step = d;
  }
  const std::int64_t end = late.back() + step;
  // A stream whose clock wrapped (after 26.5 hours) or whose stamps run backwards is left to
  // the demuxer.
  if (end <= start) return false;
  *seconds = static_cast<double>(end - start) / kTicks;
  return true;
}

}  // namespace worker
