#include "platform/dshow/FilterGraph.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/dshow/GstSupport.h"
#include "platform/dshow/RendererSink.h"
#include "platform/dshow/SourceFilter.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"

namespace dshow {
namespace {

// How long the window's thread waits for GStreamer to preroll or settle a seek.
constexpr GstClockTime kPrerollTimeout = 5 * GST_SECOND;
constexpr GstClockTime kSettleTimeout = 3 * GST_SECOND;
constexpr GstClockTime kPollInterval = 10 * GST_MSECOND;

GstElement* MakeAudioSink() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  const bool noDevice = driver && std::strcmp(driver, "dummy") == 0;
  if (!noDevice) {
    if (GstElement* sink = MakeElement("autoaudiosink")) {
      if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) return sink;
      gst_element_set_state(sink, GST_STATE_NULL);
      gst_object_unref(sink);
    }
  }
  // A discarding sink that still runs against the clock.
  GstElement* sink = MakeElement("fakeaudiosink");
  if (!sink) sink = MakeElement("fakesink");
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

constexpr int kIdlePollsToFail = 3;

gboolean PadTaskRunning(const GValue* item, GValue* running, gpointer) {
  if (gst_pad_get_task_state(GST_PAD(g_value_get_object(item))) == GST_TASK_STARTED) g_value_set_boolean(running, TRUE);
  return TRUE;
}

// True while a streaming thread of the bin (a pad's task) is started, or when the bin changed
// while it was being looked at.
bool AnyTaskRunning(GstElement* bin) {
  GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(bin));
  GValue item = G_VALUE_INIT;
  bool running = false, done = false;
  while (!done && !running) {
    switch (gst_iterator_next(elements, &item)) {
      case GST_ITERATOR_OK: {
        GstIterator* pads = gst_element_iterate_pads(GST_ELEMENT(g_value_get_object(&item)));
        GValue result = G_VALUE_INIT;
        g_value_init(&result, G_TYPE_BOOLEAN);
        g_value_set_boolean(&result, FALSE);
        const GstIteratorResult r = gst_iterator_fold(pads, &PadTaskRunning, &result, nullptr);
        running = r == GST_ITERATOR_RESYNC || g_value_get_boolean(&result);
        g_value_unset(&result);
        gst_iterator_free(pads);
        g_value_reset(&item);
        break;
      }
      case GST_ITERATOR_RESYNC:
        running = true;
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  gst_iterator_free(elements);
  return running;
}

// Without a clock every sink takes each buffer as it comes: no waiting, and no quality-of-
// service events that would make the decoders skip frames.
void RenderUnsynchronised(GstElement* sink) {
  GObjectClass* type = G_OBJECT_GET_CLASS(sink);
  if (g_object_class_find_property(type, "sync")) g_object_set(sink, "sync", FALSE, nullptr);
  if (g_object_class_find_property(type, "qos")) g_object_set(sink, "qos", FALSE, nullptr);
  if (g_object_class_find_property(type, "max-lateness")) g_object_set(sink, "max-lateness", gint64{-1}, nullptr);
}

void RenderAllUnsynchronised(GstElement* bin) {
  if (!GST_IS_BIN(bin)) {
    if (GST_OBJECT_FLAG_IS_SET(bin, GST_ELEMENT_FLAG_SINK)) RenderUnsynchronised(bin);
    return;
  }
  GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(bin));
  GValue item = G_VALUE_INIT;
  for (bool done = false; !done;) {
    switch (gst_iterator_next(elements, &item)) {
      case GST_ITERATOR_OK: {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (!GST_IS_BIN(element) && GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK))
          RenderUnsynchronised(element);
        g_value_reset(&item);
        break;
      }
      case GST_ITERATOR_RESYNC:
        gst_iterator_resync(elements);
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  gst_iterator_free(elements);
}

double VolumeGain(LONG volume) {
  return volume <= -10000 ? 0.0 : std::pow(10.0, volume / 2000.0);
}

GstElement* MakeBin(std::initializer_list<GstElement*> elements) {
  for (GstElement* e : elements) {
    if (!e) {
      for (GstElement* other : elements)
        if (other) gst_object_unref(gst_object_ref_sink(other));
      return nullptr;
    }
  }
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* previous = nullptr;
  for (GstElement* e : elements) {
    gst_bin_add(GST_BIN(bin), e);
    if (previous) gst_element_link(previous, e);
    previous = e;
  }
  GstPad* target = gst_element_get_static_pad(*elements.begin(), "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
  return bin;
}

}  // namespace

// The GStreamer elements built for one rendered or connected source.
struct FilterGraph::Chain {
  FilterGraph* graph = nullptr;
  CBaseRenderer::Impl* renderer = nullptr;
  bool withAudio = false;

  std::mutex mutex;                   // guards what follows; the decoder adds pads on its own thread
  std::vector<GstElement*> elements;  // in the pipeline, which holds them
  std::vector<GstElement*> volumes;
  bool videoToRenderer = false;
  bool audio = false;
  bool anyStream = false;

  void Add(GstElement* element) {
    std::lock_guard<std::mutex> lock(mutex);
    elements.push_back(element);
  }
  GstElement* Pipeline() const { return graph->pipeline_; }
  // Links a new stream of the source to the renderer, an audio renderer or a discarding sink.
  void LinkStream(GstPad* pad, bool isVideo, bool isAudio);
  static void OnPadAdded(GstElement* decoder, GstPad* pad, gpointer self);
  // Moves the start of each time segment up to the graph's segment floor.
  static GstPadProbeReturn OnSegment(GstPad* pad, GstPadProbeInfo* info, gpointer graph);
};

GstPadProbeReturn FilterGraph::Chain::OnSegment(GstPad*, GstPadProbeInfo* info, gpointer data) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) return GST_PAD_PROBE_OK;
  const gint64 floor = static_cast<FilterGraph*>(data)->segmentFloor_.load();
  const GstSegment* segment = nullptr;
  gst_event_parse_segment(event, &segment);
  if (segment->format != GST_FORMAT_TIME || floor <= static_cast<gint64>(segment->start)) return GST_PAD_PROBE_OK;
  // Buffers before the new start fall outside the segment and the sinks drop them; the running
  // time starts at the floor, so the clock waits for nothing.
  GstSegment moved;
  gst_segment_copy_into(segment, &moved);
  moved.time += static_cast<guint64>(floor) - moved.start;
  moved.start = moved.position = static_cast<guint64>(floor);
  if (moved.stop != GST_CLOCK_TIME_NONE && moved.stop < moved.start) moved.stop = moved.start;
  GstEvent* rewritten = gst_event_new_segment(&moved);
  gst_event_set_seqnum(rewritten, gst_event_get_seqnum(event));
  gst_event_unref(event);
  GST_PAD_PROBE_INFO_DATA(info) = rewritten;
  return GST_PAD_PROBE_OK;
}

void FilterGraph::Chain::LinkStream(GstPad* pad, bool isVideo, bool isAudio) {
  GstElement* target = nullptr;
  GstElement* volume = nullptr;
  bool toRenderer = false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    anyStream = true;
    if (isVideo && renderer && !videoToRenderer) {
      videoToRenderer = toRenderer = true;
      target = renderer->bin;
    }
  }
  if (!target && isAudio && withAudio) {
    volume = MakeElement("volume");
    if (volume) g_object_set(volume, "volume", VolumeGain(graph->volume_.load()), nullptr);
    target = MakeBin({MakeElement("audioconvert"), MakeElement("audioresample"), volume, MakeAudioSink()});
    if (!target) volume = nullptr;
  }
  if (!target) {
    target = MakeElement("fakesink");
    if (!target) return;
    // Unused streams are drained as they come; unrendered video keeps the clock.
    g_object_set(target, "sync", isVideo ? TRUE : FALSE, "async", isVideo ? TRUE : FALSE, nullptr);
  }
  if (graph->clockOff_) RenderAllUnsynchronised(target);
  gst_bin_add(GST_BIN(Pipeline()), target);
  GstPad* sinkPad = gst_element_get_static_pad(target, "sink");
  const bool linked = sinkPad && gst_pad_link(pad, sinkPad) == GST_PAD_LINK_OK;
  if (sinkPad) gst_object_unref(sinkPad);
  gst_element_sync_state_with_parent(target);
  if (linked && toRenderer) renderer->MarkInGraph();
  std::lock_guard<std::mutex> lock(mutex);
  elements.push_back(target);
  if (!linked) return;
  if (volume) {
    volumes.push_back(volume);
    audio = true;
  }
}

void FilterGraph::Chain::OnPadAdded(GstElement*, GstPad* pad, gpointer self) {
  auto* chain = static_cast<Chain*>(self);
  TakeOver(chain->graph);
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  const char* name = caps && !gst_caps_is_empty(caps) ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
  const bool isVideo = g_str_has_prefix(name, "video/");
  const bool isAudio = g_str_has_prefix(name, "audio/");
  if (caps) gst_caps_unref(caps);
  if (chain->graph->seekFromStart_)
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Chain::OnSegment, chain->graph, nullptr);
  chain->LinkStream(pad, isVideo, isAudio);
  HandOff(chain->graph);
}

FilterGraph* FilterGraph::Create() {
  if (!EnsureGstreamer()) return nullptr;
  auto* graph = new FilterGraph();
  graph->pipeline_ = gst_pipeline_new(nullptr);
  gst_object_ref_sink(graph->pipeline_);
  GstBus* bus = gst_element_get_bus(graph->pipeline_);
  gst_bus_set_sync_handler(bus, &FilterGraph::OnBusMessage, graph, nullptr);
  gst_object_unref(bus);
  return graph;
}

FilterGraph::~FilterGraph() {
  StopStreaming();
  for (auto& chain : chains_)
    if (chain->renderer) chain->renderer->Disconnect();
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline_);
  chains_.clear();
  for (IBaseFilter* filter : filters_) filter->Release();
}

GstBusSyncReply FilterGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<FilterGraph*>(data);
  TakeOver(self);
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
    std::lock_guard<std::mutex> lock(self->busMutex_);
    self->ended_ = true;
  } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    std::lock_guard<std::mutex> lock(self->busMutex_);
    self->failed_ = true;
    if (self->prerolled_) {
      // While playing, an error ends the stream as its end would: the picture stays on the
      // last good frame and the position goes to the stop time, so that play starts again.
      self->ended_ = true;
      self->errorEnded_ = true;
      if (!self->errorReported_) {
        self->errorReported_ = true;
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        std::fprintf(stderr, "orbelle: playback ended by an error from %s: %s\n",
                     GST_MESSAGE_SRC(message) ? GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) : "?",
                     error ? error->message : "unknown error");
        if (error) g_error_free(error);
        g_free(debug);
      }
    }
  }
  HandOff(self);
  gst_message_unref(message);
  return GST_BUS_DROP;
}

HRESULT FilterGraph::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IGraphBuilder || riid == IID_IFilterGraph)
    *ppv = static_cast<IGraphBuilder*>(this);
  else if (riid == IID_IMediaControl)
    *ppv = static_cast<IMediaControl*>(this);
  else if (riid == IID_IMediaPosition)
    *ppv = static_cast<IMediaPosition*>(this);
  else if (riid == IID_IBasicAudio)
    *ppv = static_cast<IBasicAudio*>(this);
  else if (riid == IID_IMediaFilter)
    *ppv = static_cast<IMediaFilter*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR) {
  return kit::Guarded([&]() -> HRESULT {
    if (!pFilter) return E_POINTER;
    if (std::find(filters_.begin(), filters_.end(), pFilter) != filters_.end()) return E_INVALIDARG;
    filters_.push_back(pFilter);
    pFilter->AddRef();
    return S_OK;
  });
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) {
  return kit::Guarded([&]() -> HRESULT {
    if (!lpcwstrFileName || !ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    SourceFilter* source = nullptr;
    HRESULT hr = SourceFilter::Create(NativeFilePath(lpcwstrFileName), &source);
    if (FAILED(hr)) return hr;
    hr = AddFilter(source, lpcwstrFilterName);
    if (FAILED(hr)) {
      source->Release();
      return hr;
    }
    *ppFilter = source;
    return S_OK;
  });
}

CBaseRenderer* FilterGraph::FreeRenderer() {
  for (IBaseFilter* filter : filters_) {
    auto* renderer = dynamic_cast<CBaseRenderer*>(filter);
    if (renderer && !renderer->impl_->Busy()) return renderer;
  }
  return nullptr;
}

HRESULT FilterGraph::Connect(IPin* ppinOut, IPin* ppinIn) {
  return kit::Guarded([&]() -> HRESULT {
    if (!ppinOut || !ppinIn) return E_POINTER;
    auto* out = dynamic_cast<SourcePin*>(ppinOut);
    auto* in = dynamic_cast<CRendererInputPin*>(ppinIn);
    if (!out || !in) return VFW_E_CANNOT_CONNECT;
    CBaseRenderer* renderer = in->Renderer();
    if (std::find(filters_.begin(), filters_.end(), renderer) == filters_.end() ||
        std::find(filters_.begin(), filters_.end(), out->Filter()) == filters_.end())
      return VFW_E_NOT_FOUND;
    if (renderer->impl_->Busy()) return VFW_E_ALREADY_CONNECTED;
    return BuildChain(out->Filter(), renderer, false, true);
  });
}

HRESULT FilterGraph::Render(IPin* ppinOut) {
  return kit::Guarded([&]() -> HRESULT {
    if (!ppinOut) return E_POINTER;
    auto* out = dynamic_cast<SourcePin*>(ppinOut);
    if (!out) {
      kit::LogOnce("dshow", "Render", "only the pins of a source filter made by AddSourceFilter can be rendered");
      return VFW_E_CANNOT_RENDER;
    }
    return BuildChain(out->Filter(), FreeRenderer(), true, false);
  });
}

HRESULT FilterGraph::RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) {
  return kit::Guarded([&]() -> HRESULT {
    if (!lpcwstrFile) return E_POINTER;
    if (lpcwstrPlayList) {
      kit::LogOnce("dshow", "RenderFile", "play lists are not supported");
      return E_INVALIDARG;
    }
    SourceFilter* source = nullptr;
    HRESULT hr = SourceFilter::Create(NativeFilePath(lpcwstrFile), &source);
    if (FAILED(hr)) return hr;
    hr = AddFilter(source, nullptr);
    source->Release();  // the graph holds it now, or it is gone
    if (FAILED(hr)) return hr;
    return BuildChain(source, FreeRenderer(), true, false);
  });
}

HRESULT FilterGraph::BuildChain(SourceFilter* source, CBaseRenderer* rendererFilter, bool withAudio,
                                bool videoRequired) {
  CBaseRenderer::Impl* renderer = rendererFilter ? rendererFilter->impl_.get() : nullptr;
  if (renderer && !renderer->OfferTypes()) {
    if (videoRequired) return VFW_E_CANNOT_CONNECT;
    renderer = nullptr;
  }
  auto chain = std::make_unique<Chain>();
  chain->graph = this;
  chain->renderer = renderer;
  chain->withAudio = withAudio;
  const HRESULT failure = videoRequired ? VFW_E_CANNOT_CONNECT : VFW_E_CANNOT_RENDER;

  if (source->GetKind() == SourceFilter::Kind::Still) {
    const StillImage& still = source->Still();
    GstElement* appsrc = MakeElement("appsrc");
    if (!appsrc) return failure;
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, still.width, "height",
                            G_TYPE_INT, still.height, "framerate", GST_TYPE_FRACTION, 0, 1, nullptr);
    g_object_set(appsrc, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
    gst_caps_unref(caps);
    gst_bin_add(GST_BIN(pipeline_), appsrc);
    chain->Add(appsrc);
    // The buffer wraps the decoded bytes (read-only) instead of copying them, so a large
    // picture is held once however long it is shown.
    auto* hold = new std::shared_ptr<const std::uint8_t>(still.bgr);
    GstBuffer* frame = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, const_cast<std::uint8_t*>(still.bgr.get()), still.size, 0, still.size, hold,
        [](gpointer p) { delete static_cast<std::shared_ptr<const std::uint8_t>*>(p); });
    GST_BUFFER_PTS(frame) = 0;
    gst_app_src_push_buffer(GST_APP_SRC(appsrc), frame);
    gst_app_src_end_of_stream(GST_APP_SRC(appsrc));
    GstPad* pad = gst_element_get_static_pad(appsrc, "src");
    chain->LinkStream(pad, true, false);
    gst_object_unref(pad);
  } else {
    if (chains_.empty()) seekFromStart_ = source->KnownLength() > 0.0;
    GstElement* filesrc = MakeElement("filesrc");
    GstElement* decoder = MakeElement("decodebin");
    if (!filesrc || !decoder) {
      for (GstElement* e : {filesrc, decoder})
        if (e) gst_object_unref(gst_object_ref_sink(e));
      return failure;
    }
    g_object_set(filesrc, "location", source->Path().c_str(), nullptr);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&Chain::OnPadAdded), chain.get());
    gst_bin_add_many(GST_BIN(pipeline_), filesrc, decoder, nullptr);
    chain->Add(filesrc);
    chain->Add(decoder);
    gst_element_link(filesrc, decoder);
  }

  {
    std::lock_guard<std::mutex> lock(busMutex_);
    ended_ = false;
    failed_ = false;
    prerolled_ = false;
  }
  HandOffToStreaming();
  GstStateChangeReturn ret = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  if (ret != GST_STATE_CHANGE_FAILURE) ret = WaitForPreroll();
  bool video, any;
  {
    std::lock_guard<std::mutex> lock(chain->mutex);
    video = chain->videoToRenderer;
    any = chain->anyStream;
  }
  if (ret == GST_STATE_CHANGE_FAILURE || ret == GST_STATE_CHANGE_ASYNC || (videoRequired && !video) || !any) {
    TearDown(chain.get());
    return failure;
  }
  if (video) {
    SampleRef preroll(gst_app_sink_try_pull_preroll(GST_APP_SINK(renderer->appsink), 0));
    HRESULT hr = renderer->Settle(preroll.get());
    if (FAILED(hr)) {
      TearDown(chain.get());
      return hr;
    }
    GstBuffer* buffer = preroll ? gst_sample_get_buffer(preroll.get()) : nullptr;
    const GstSegment* segment = preroll ? gst_sample_get_segment(preroll.get()) : nullptr;
    if (!hasBase_ && buffer && segment && GST_BUFFER_PTS_IS_VALID(buffer)) {
      guint64 start = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
      if (start != GST_CLOCK_TIME_NONE) base_ = ToSeconds(static_cast<gint64>(start));
      hasBase_ = true;
    }
  }
  if (source->KnownLength() > 0.0 && !stopFixed_) {
    stop_ = source->KnownLength();
    stopFixed_ = true;
  }
  state_ = State_Paused;
  chains_.push_back(std::move(chain));
  std::lock_guard<std::mutex> lock(busMutex_);
  prerolled_ = true;
  errorEnded_ = errorReported_ = false;
  return S_OK;
}

GstStateChangeReturn FilterGraph::WaitForPreroll() {
  GstStateChangeReturn ret = GST_STATE_CHANGE_ASYNC;
  int idlePolls = 0;
  for (GstClockTime waited = 0; ret == GST_STATE_CHANGE_ASYNC && waited < kPrerollTimeout; waited += kPollInterval) {
    {
      std::lock_guard<std::mutex> lock(busMutex_);
      if (failed_) return GST_STATE_CHANGE_FAILURE;
    }
    // decodebin drops the errors of an element it is still bringing up (a demuxer that finds
    // no streams in a truncated file): no message comes, and no streaming thread is left that
    // could finish the preroll. Seen on a few polls in a row, that is a failure.
    idlePolls = AnyTaskRunning(pipeline_) ? 0 : idlePolls + 1;
    if (idlePolls >= kIdlePollsToFail) return GST_STATE_CHANGE_FAILURE;
    ret = gst_element_get_state(pipeline_, nullptr, nullptr, kPollInterval);
  }
  return ret;
}

void FilterGraph::TearDown(Chain* chain) {
  StopStreaming();
  std::vector<GstElement*> elements;
  {
    std::lock_guard<std::mutex> lock(chain->mutex);
    elements.swap(chain->elements);
  }
  for (GstElement* e : elements) gst_bin_remove(GST_BIN(pipeline_), e);
  if (chain->renderer) chain->renderer->Disconnect();
  if (chain->renderer) gst_element_set_state(chain->renderer->bin, GST_STATE_NULL);
  state_ = State_Stopped;
  if (chains_.empty()) return;
  HandOffToStreaming();
  gst_element_set_state(pipeline_, GST_STATE_PAUSED);
}

void FilterGraph::HandOffToStreaming() {
  HandOff(this);
  for (IBaseFilter* filter : filters_)
    if (auto* renderer = dynamic_cast<CBaseRenderer*>(filter)) HandOff(renderer->impl_.get());
}

void FilterGraph::StopStreaming() {
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  // The streaming threads have been joined: what they did happens before what follows.
  TakeOver(this);
  for (IBaseFilter* filter : filters_)
    if (auto* renderer = dynamic_cast<CBaseRenderer*>(filter)) TakeOver(renderer->impl_.get());
}

HRESULT FilterGraph::SetState(GstState state) {
  HandOffToStreaming();
  GstStateChangeReturn ret = gst_element_set_state(pipeline_, state);
  if (ret == GST_STATE_CHANGE_ASYNC && state == GST_STATE_PAUSED)
    ret = gst_element_get_state(pipeline_, nullptr, nullptr, kSettleTimeout);
  if (ret != GST_STATE_CHANGE_FAILURE) return S_OK;
  // A stream that an error has ended since the last seek refuses to change state: it has
  // ended, as it would at its end, and playing it again starts with a seek.
  std::lock_guard<std::mutex> lock(busMutex_);
  return prerolled_ && failed_ && ended_ ? S_OK : E_FAIL;
}

HRESULT FilterGraph::Run() {
  if (chains_.empty()) return VFW_E_WRONG_STATE;
  HRESULT hr = SetState(GST_STATE_PLAYING);
  if (SUCCEEDED(hr)) state_ = State_Running;
  return hr;
}

HRESULT FilterGraph::Pause() {
  if (chains_.empty()) return VFW_E_WRONG_STATE;
  HRESULT hr = SetState(GST_STATE_PAUSED);
  if (SUCCEEDED(hr)) state_ = State_Paused;
  return hr;
}

HRESULT FilterGraph::Stop() {
  if (chains_.empty()) return S_OK;
  // Paused keeps the position and the picture; the renderer ignores the preroll sample.
  HRESULT hr = SetState(GST_STATE_PAUSED);
  if (SUCCEEDED(hr)) state_ = State_Stopped;
  return hr;
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* pfs) {
  if (!pfs) return E_POINTER;
  *pfs = state_;
  return S_OK;
}

bool FilterGraph::QueryPosition(gint64* position) {
  // Discarding sinks of unused streams run ahead of the clock (to the end of the stream at
  // once when it is off): where the renderer's sink knows its position, only that counts.
  GstElement* sink = nullptr;
  for (auto& chain : chains_) {
    std::lock_guard<std::mutex> lock(chain->mutex);
    if (chain->videoToRenderer) sink = chain->renderer->appsink;
  }
  if (sink && gst_element_query_position(sink, GST_FORMAT_TIME, position) && *position >= 0) return true;
  return gst_element_query_position(pipeline_, GST_FORMAT_TIME, position) && *position >= 0;
}

bool FilterGraph::Ended() {
  std::lock_guard<std::mutex> lock(busMutex_);
  return ended_;
}

bool FilterGraph::EndedByError() {
  std::lock_guard<std::mutex> lock(busMutex_);
  const bool ended = errorEnded_;
  errorEnded_ = false;
  return ended;
}

double FilterGraph::StopTime() {
  if (EndedByError()) {
    // The stream ends where its last good picture did (or, without one, where it was).
    double reached = highWater_;
    gint64 end = -1;
    for (auto& chain : chains_) {
      std::lock_guard<std::mutex> lock(chain->mutex);
      if (chain->videoToRenderer) end = chain->renderer->lastEnd.load();
    }
    gint64 position = 0;
    if (end >= 0)
      reached = ToSeconds(end) - base_;
    else if (QueryPosition(&position))
      reached = std::max(reached, ToSeconds(position) - base_);
    stop_ = std::max(0.0, stopFixed_ ? std::min(stop_, reached) : reached);
    stopFixed_ = true;
    return stop_;
  }
  if (stopFixed_) return stop_;
  gint64 position = 0;
  if (Ended()) {
    // A stream's segment may end before its last frame (an MPEG program stream's length is an
    // estimate): the furthest of the sinks counts.
    if (QueryPosition(&position)) stop_ = std::max(0.0, ToSeconds(position) - base_);
    if (gst_element_query_position(pipeline_, GST_FORMAT_TIME, &position) && position >= 0)
      stop_ = std::max(stop_, ToSeconds(position) - base_);
    stop_ = std::max(stop_, highWater_);
    stopFixed_ = true;
    return stop_;
  }
  gint64 duration = 0;
  if (gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &duration) && duration > 0)
    stop_ = std::max(0.0, ToSeconds(duration) - base_);
  else
    stop_ = highWater_;
  return stop_;
}

HRESULT FilterGraph::get_Duration(REFTIME* plength) {
  if (!plength) return E_POINTER;
  *plength = StopTime();
  return S_OK;
}

HRESULT FilterGraph::get_StopTime(REFTIME* pllTime) {
  if (!pllTime) return E_POINTER;
  *pllTime = StopTime();
  return S_OK;
}

HRESULT FilterGraph::get_CurrentPosition(REFTIME* pllTime) {
  if (!pllTime) return E_POINTER;
  const double stop = StopTime();
  if (Ended()) {
    *pllTime = stop;
    return S_OK;
  }
  gint64 position = 0;
  double seconds = 0.0;
  if (!chains_.empty() && QueryPosition(&position)) seconds = std::max(0.0, ToSeconds(position) - base_);
  highWater_ = std::max(highWater_, seconds);
  *pllTime = std::min(seconds, StopTime());
  return S_OK;
}

HRESULT FilterGraph::put_CurrentPosition(REFTIME llTime) {
  if (std::isnan(llTime)) return E_INVALIDARG;
  if (chains_.empty()) return S_OK;
  const double target = std::clamp(llTime, 0.0, StopTime());
  bool wasEnded;
  {
    std::lock_guard<std::mutex> lock(busMutex_);
    wasEnded = ended_;
    ended_ = false;
    failed_ = errorReported_ = false;
  }
  HandOffToStreaming();
  bool sought;
  if (seekFromStart_) {
    segmentFloor_ = ToNanoseconds(target + base_);
    sought = gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
  } else {
    sought = gst_element_seek_simple(pipeline_, GST_FORMAT_TIME,
                                     static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                     ToNanoseconds(target + base_));
  }
  if (!sought) {
    // A stream that cannot seek (a still picture) stays where it is, ended or not.
    std::lock_guard<std::mutex> lock(busMutex_);
    ended_ = wasEnded;
    return S_OK;
  }
  highWater_ = target;
  for (auto& chain : chains_) {
    std::lock_guard<std::mutex> lock(chain->mutex);
    if (chain->videoToRenderer) chain->renderer->lastEnd = -1;
  }
  gst_element_get_state(pipeline_, nullptr, nullptr, kSettleTimeout);
  return S_OK;
}

HRESULT FilterGraph::put_Volume(LONG lVolume) {
  if (lVolume < -10000 || lVolume > 0) return E_INVALIDARG;
  volume_ = lVolume;
  bool any = false;
  for (auto& chain : chains_) {
    std::lock_guard<std::mutex> lock(chain->mutex);
    for (GstElement* volume : chain->volumes) {
      g_object_set(volume, "volume", VolumeGain(lVolume), nullptr);
      any = true;
    }
  }
  return any ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::get_Volume(LONG* plVolume) {
  if (!plVolume) return E_POINTER;
  for (auto& chain : chains_) {
    std::lock_guard<std::mutex> lock(chain->mutex);
    if (!chain->volumes.empty()) {
      *plVolume = volume_;
      return S_OK;
    }
  }
  return E_NOTIMPL;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* pClock) {
  if (pClock) {
    kit::LogOnce("dshow", "SetSyncSource", "reference clocks are not supported, only running without one");
    return E_NOTIMPL;
  }
  clockOff_ = true;
  gst_pipeline_use_clock(GST_PIPELINE(pipeline_), nullptr);
  RenderAllUnsynchronised(pipeline_);
  for (IBaseFilter* filter : filters_)
    if (auto* renderer = dynamic_cast<CBaseRenderer*>(filter); renderer && renderer->impl_->bin)
      RenderAllUnsynchronised(renderer->impl_->bin);
  return S_OK;
}

HRESULT CreateFilterGraphObject(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  FilterGraph* graph = FilterGraph::Create();
  if (!graph) return E_FAIL;
  HRESULT hr = graph->QueryInterface(riid, ppv);
  graph->Release();
  return hr;
}

}  // namespace dshow

HRESULT CreateFilterGraph(REFIID riid, void** ppv) {
  return kit::Guarded([&]() -> HRESULT { return dshow::CreateFilterGraphObject(riid, ppv); });
}
