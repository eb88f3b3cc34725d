// GStreamer helpers shared by the DirectShow stand-in: start-up, owned references and the
// conversion of Windows-form paths to native ones. Internal to platform/dshow.
#pragma once

#include <gst/gst.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <memory>
#include <string>

#include "platform/dshow/dshow.h"

namespace dshow {

// Starts GStreamer once per process; false when it cannot start. Any thread.
bool EnsureGstreamer();

struct GstObjectUnref {
  void operator()(gpointer object) const {
    if (object) gst_object_unref(object);
  }
};
template <typename T>
using GstRef = std::unique_ptr<T, GstObjectUnref>;

struct GstCapsUnref {
  void operator()(GstCaps* caps) const {
    if (caps) gst_caps_unref(caps);
  }
};
using CapsRef = std::unique_ptr<GstCaps, GstCapsUnref>;

struct GstSampleUnref {
  void operator()(GstSample* sample) const {
    if (sample) gst_sample_unref(sample);
  }
};
using SampleRef = std::unique_ptr<GstSample, GstSampleUnref>;

// GStreamer starts its streaming threads on a state change and joins them when the pipeline
// goes to NULL, with GLib primitives that ThreadSanitizer cannot see. These two calls state that
// order for ThreadSanitizer (they do nothing in other builds): the side that hands an object
// over calls HandOff, the side that takes it calls TakeOver. The window's thread hands the graph
// and the renderer to the streaming threads before each state change or seek; each streaming
// callback takes them over on entry and hands them back on exit; the window's thread takes them
// back once the pipeline is NULL.
inline void HandOff(const void* object) {
#if defined(__SANITIZE_THREAD__)
  __tsan_release(const_cast<void*>(object));
#else
  (void)object;
#endif
}
inline void TakeOver(const void* object) {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(const_cast<void*>(object));
#else
  (void)object;
#endif
}

// A new element of a factory, or null when the plugin is missing.
GstElement* MakeElement(const char* factory);

// The native path of a Windows-form wide path; empty for null or empty input.
std::string NativeFilePath(LPCWSTR path);

// An uncompressed RGB video type (rows bottom first, rows padded to 4 bytes).
CMediaType MakeRgbVideoType(const GUID& subtype, WORD bitCount, LONG width, LONG height);

// Seconds <-> GStreamer nanoseconds.
inline double ToSeconds(gint64 ns) {
  return static_cast<double>(ns) / 1e9;
}
inline gint64 ToNanoseconds(double seconds) {
  return static_cast<gint64>(seconds * 1e9 + 0.5);
}

}  // namespace dshow
