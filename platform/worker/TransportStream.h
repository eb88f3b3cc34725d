// The length of an MPEG transport stream (.ts, .m2ts), read from its time stamps. GStreamer's
// demuxer gives no duration for a short file at all, and for a longer one it gives the span of
// the clock while the pictures' times keep the stream's starting offset, so the worker asks
// this instead. Internal to platform/worker; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace worker {

// The size of the packets the bytes are made of: 188 (broadcast .ts) or 192 (.m2ts, each packet
// behind a 4-byte time code), when sync bytes stand at that distance in the first packets; 0
// when the bytes do not look like a transport stream.
int TransportPacketSize(const std::uint8_t* data, std::size_t size);

// Reads the first 256 KB and the last 512 KB of the open file fd for the presentation time
// stamps of the first video stream (of any stream where there is no video). The length runs
// from the earliest time stamp at the start to the end of the last picture (the latest time
// stamp plus the shortest step between two of them). False when the file holds no usable time
// stamps.
bool TransportStreamLength(int fd, std::int64_t fileSize, int packetSize, double* seconds);

}  // namespace worker
