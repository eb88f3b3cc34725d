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
#include "platform/dshow/WorkerClient.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/ModalWait.h"

namespace dshow {
namespace {

// How long the window's thread waits for GStreamer to preroll or settle a seek.
constexpr unsigned kPrerollMilliseconds = 5000;
constexpr GstClockTime kSettleTimeout = 3 * GST_SECOND;

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
  WorkerClient* worker = nullptr;  // the source's, which outlives the chain

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
};

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
  for (auto& chain : chains_)
    if (chain->worker) chain->worker->Detach();
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
    std::string text;
    for (WorkerClient* worker : self->workers_) {
      if (!worker->TakeError(&text)) continue;
      // A worker's error ended the stream after its last good picture: as an error would.
      self->failed_ = true;
      if (!self->prerolled_) break;
      self->errorEnded_ = true;
      if (!self->errorReported_) {
        self->errorReported_ = true;
        std::fprintf(stderr, "orbelle: playback ended by an error from the media worker: %s\n", text.c_str());
      }
      break;
    }
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
    const std::string path = NativeFilePath(lpcwstrFile);
    // A source already added for the same file and not yet streaming is used again, rather than
    // starting a second worker on the same file.
    for (IBaseFilter* filter : filters_) {
      auto* added = dynamic_cast<SourceFilter*>(filter);
      if (added && !path.empty() && added->Path() == path && !added->Worker().Started())
        return BuildChain(added, FreeRenderer(), true, false);
    }
    SourceFilter* source = nullptr;
    HRESULT hr = SourceFilter::Create(path, &source);
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

  WorkerClient& worker = source->Worker();
  // One set of streams per file: the worker streams once, into the first chain built from it.
  if (!worker.Prerolled() || worker.Started()) return failure;
  if (videoRequired && !worker.HasVideo()) return failure;
  const worker::Layout layout = renderer && renderer->offer == 0 ? worker::Layout::Bgrx : worker::Layout::Bgr;
  GstElement* sources[2] = {nullptr, nullptr};
  const bool wants[2] = {worker.HasVideo() && renderer, worker.HasAudio() && withAudio};
  if (!wants[0] && !wants[1]) return failure;
  for (int i = 0; i < 2; ++i) {
    if (!wants[i]) continue;
    sources[i] = MakeElement("appsrc");
    if (!sources[i]) {
      if (sources[0]) gst_object_unref(gst_object_ref_sink(sources[0]));
      return failure;
    }
    const CapsRef caps(i == 0 ? worker.VideoCaps(layout) : worker.AudioCaps());
    g_object_set(sources[i], "caps", caps.get(), nullptr);
    worker.SetUpSource(sources[i]);
    gst_bin_add(GST_BIN(pipeline_), sources[i]);
    chain->Add(sources[i]);
    GstPad* pad = gst_element_get_static_pad(sources[i], "src");
    chain->LinkStream(pad, i == 0, i == 1);
    gst_object_unref(pad);
  }
  chain->worker = &worker;
  {
    std::lock_guard<std::mutex> lock(busMutex_);
    workers_.push_back(&worker);
  }

  {
    std::lock_guard<std::mutex> lock(busMutex_);
    ended_ = false;
    failed_ = false;
    prerolled_ = false;
  }
  HandOffToStreaming();
  GstStateChangeReturn ret = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  // The sources take buffers once they are started: only now may the worker send them.
  if (ret != GST_STATE_CHANGE_FAILURE && !worker.Start(sources[0], sources[1], layout)) ret = GST_STATE_CHANGE_FAILURE;
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
    if (buffer) TakeOver(buffer);  // made by the media worker's reader thread
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
  still_ = source->GetKind() == SourceFilter::Kind::Still;
  state_ = State_Paused;
  chains_.push_back(std::move(chain));
  std::lock_guard<std::mutex> lock(busMutex_);
  prerolled_ = true;
  errorEnded_ = errorReported_ = false;
  return S_OK;
}

GstStateChangeReturn FilterGraph::WaitForPreroll() {
  GstStateChangeReturn ret = GST_STATE_CHANGE_ASYNC;
  const auto prerolled = [&](int waitMs) {
    {
      std::lock_guard<std::mutex> lock(busMutex_);
      if (failed_) {
        ret = GST_STATE_CHANGE_FAILURE;
        return true;
      }
    }
    ret = gst_element_get_state(pipeline_, nullptr, nullptr, static_cast<GstClockTime>(waitMs) * GST_MSECOND);
    return ret != GST_STATE_CHANGE_ASYNC;
  };
  // The worker decodes while the windows stay painted; a close request gives up.
  if (Win32WaitWhileBusy(prerolled, kPrerollMilliseconds) != Win32WaitResult::Ready) return GST_STATE_CHANGE_FAILURE;
  return ret;
}

void FilterGraph::TearDown(Chain* chain) {
  if (chain->worker) chain->worker->Detach();
  StopStreaming();
  {
    std::lock_guard<std::mutex> lock(busMutex_);
    std::erase(workers_, chain->worker);
  }
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
  if (Ended() && still_) {
    // A picture has no length. (Its sink's position after the end is the clock's, which says
    // only how long ago it was shown.)
    stop_ = 0.0;
    stopFixed_ = true;
    return stop_;
  }
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
  // The workers drop what they sent before; the flush empties the sources and hands their slots
  // back; then the workers go on from the target.
  const gint64 at = ToNanoseconds(target + base_);
  for (auto& chain : chains_)
    if (chain->worker && (chain->worker->Facts().flags & worker::kSeekable)) chain->worker->BeginSeek();
  const bool sought = gst_element_seek_simple(
      pipeline_, GST_FORMAT_TIME, static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), at);
  if (sought) {
    for (auto& chain : chains_)
      if (chain->worker && (chain->worker->Facts().flags & worker::kSeekable)) chain->worker->Seek(at);
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
