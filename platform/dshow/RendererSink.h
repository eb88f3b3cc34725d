// The GStreamer side of CBaseRenderer: a bin of a queue (its own streaming thread, so that
// decoding and rendering overlap) and a clock-synchronised appsink that takes the decoder's
// pictures in any raw format. Its callback converts each due picture to the settled RGB type
// (rows bottom first, as DirectShow's RGB types have them; FrameConverter) and calls
// DoRenderSample. Internal to platform/dshow; the graph drives it on the window's thread.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <mutex>

#include "platform/dshow/FrameConverter.h"
#include "platform/dshow/dshow.h"

struct CBaseRenderer::Impl {
  explicit Impl(CBaseRenderer* renderer) : owner(renderer) {}
  ~Impl();

  // Builds the bin; false when GStreamer or a plugin is missing.
  bool Create();
  // Asks CheckMediaType about each type the graph can deliver and keeps the first accepted one
  // as the output of the conversion. False when the renderer accepts none.
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
  // Pulls the due sample, converts it to the settled type and hands it to DoRenderSample.
  // False when the picture cannot be converted.
  bool Deliver(GstAppSink* sink);

  CBaseRenderer* owner;
  GstElement* bin = nullptr;      // owned reference
  GstElement* appsink = nullptr;  // inside bin
  std::atomic<LONG> rendered{0};
  // Stream time (ns) where the last delivered picture ends; -1 before the first.
  std::atomic<gint64> lastEnd{-1};
  int offer = -1;  // the accepted type (index into the offers); window's thread, before streaming
  // Used under the owner's renderer lock (the streaming thread, and Settle and Disconnect).
  dshow::FrameConverter converter;

  std::mutex mutex;  // guards what follows: written on the window's thread, read when streaming
  bool connected = false;
  bool inGraph = false;
  CMediaType type;
};
