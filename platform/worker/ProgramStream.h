// The length of an MPEG program stream, read from its time stamps. GStreamer's demuxer
// estimates the duration from the pack clock, which runs ahead of the presentation times (a
// 2 s clip reads as about 1 s), so the worker asks this instead. Internal to platform/worker;
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace worker {

// True when the bytes start with a pack header (00 00 01 BA).
bool LooksLikeProgramStream(const std::uint8_t* data, std::size_t size);

// Reads the first 256 KB and the last 512 KB of the open file fd for time stamps and MPEG
// video picture headers. The length runs from the first time stamp of the video stream to the
// end of the last picture shown (each time stamp anchors the picture after it; a picture's
// temporal reference gives its place in its group); without video, from the first to the last
// time stamp of any stream. False when the file holds no usable time stamps.
bool ProgramStreamLength(int fd, std::int64_t fileSize, double* seconds);

}  // namespace worker
