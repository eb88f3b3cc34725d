// The GStreamer side of CBaseRenderer: a bin of a queue (its own streaming thread, so that
// decoding and rendering overlap), videoflip (rows bottom first, as DirectShow's RGB types
// have them), videoconvert and a clock-synchronised appsink whose callback calls
// DoRenderSample. Internal to platform/dshow; the graph drives it on the window's thread.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <mutex>

#include "platform/dshow/dshow.h"

struct CBaseRenderer::Impl {
  explicit Impl(CBaseRenderer* renderer) : owner(renderer) {}
  ~Impl();

  // Builds the bin; false when GStreamer or a plugin is missing.
  bool Create();
  // Asks CheckMediaType about each type the graph can deliver and restricts the sink to the
  // accepted ones. False when the renderer accepts none.
  bool OfferTypes();
  // After preroll: offers the negotiated type once more and settles it with SetMediaType.
  HRESULT Settle(GstSample* preroll);
  // Forgets the connection (the graph has taken the bin out of its pipeline).
  void Disconnect();
  bool Connected();
  // Connected, or linked into a pipeline that is still being connected.
  bool Busy();
  void MarkInGraph();

  static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);
  // Pulls the due sample and hands it to DoRenderSample when it fits the settled type.
  void Deliver(GstAppSink* sink);

  CBaseRenderer* owner;
  GstElement* bin = nullptr;      // owned reference
  GstElement* appsink = nullptr;  // inside bin
  std::atomic<LONG> rendered{0};

  std::mutex mutex;  // guards what follows: written on the window's thread, read when streaming
  bool connected = false;
  bool inGraph = false;
  CMediaType type;
  GstVideoFormat format = GST_VIDEO_FORMAT_UNKNOWN;
  int width = 0;
  int height = 0;
};
