// A GStreamer source that reads the open file descriptor the viewer handed over, by offset
// (pread), so that demuxers pull from it as they would from a file: fdsrc only pushes, and in
// push mode a demuxer places a seek by estimated byte positions (an ASF file lands a good part
// of a second off). It never opens anything and never waits on the descriptor. Internal to
// platform/worker; GStreamer calls it on its streaming threads.
#pragma once

#include <gst/gst.h>

namespace worker {

// Registers the element as "orbelledescriptorsrc" (once; before the sandbox). False when
// GStreamer refuses.
bool RegisterDescriptorSource();

// Sets the descriptor the element reads (a regular file; the element does not own it). Call
// before the element starts.
void SetSourceDescriptor(GstElement* source, int fd);

// For ThreadSanitizer builds: a thread about to read buffers that may hold the file's bytes as
// the source read them calls this first (GStreamer's own hand-over is invisible to it).
void TakeOverFileBytes();

}  // namespace worker
