// The GStreamer side of CBaseRenderer: a bin of a queue (its own streaming thread) and a
// clock-synchronised appsink. The media worker already delivers each picture in the settled RGB
// type (rows bottom first, as DirectShow's RGB types have them), in shared memory: the callback
// checks that a due picture has the settled layout and hands it to DoRenderSample in place.
// Internal to platform/dshow; the graph drives it on the window's thread.
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
  // Pulls the due sample and hands it to DoRenderSample. False when it is not a picture of the
  // settled type.
  bool Deliver(GstAppSink* sink);

  CBaseRenderer* owner;
  GstElement* bin = nullptr;      // owned reference
  GstElement* appsink = nullptr;  // inside bin
  std::atomic<LONG> rendered{0};
  // Stream time (ns) where the last delivered picture ends; -1 before the first.
  std::atomic<gint64> lastEnd{-1};
  int offer = -1;  // the accepted type (index into the offers); window's thread, before streaming
  // The settled picture: written under the owner's renderer lock before streaming, read under it.
  GstVideoFormat settledFormat = GST_VIDEO_FORMAT_UNKNOWN;
  int settledWidth = 0, settledHeight = 0;
  gsize settledBytes = 0;

  std::mutex mutex;  // guards what follows: written on the window's thread, read when streaming
  bool connected = false;
  bool inGraph = false;
  CMediaType type;
};
