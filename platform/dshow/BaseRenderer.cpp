#include <gst/video/video.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/dshow/GstSupport.h"
#include "platform/dshow/MediaSample.h"
#include "platform/dshow/RendererSink.h"

namespace {

struct OfferedType {
  const GUID* subtype;
  WORD bitCount;
  const char* gstFormat;
};
// The types the media worker can deliver, in the order they are proposed.
constexpr OfferedType kOffers[] = {
    {&MEDIASUBTYPE_RGB32, 32, "BGRx"},
    {&MEDIASUBTYPE_RGB24, 24, "BGR"},
};

bool SameName(LPCWSTR a, const char16_t* b) {
  return a && std::u16string_view(a) == std::u16string_view(b);
}

}  // namespace

// ---- Impl ----

CBaseRenderer::Impl::~Impl() {
  if (bin) {
    gst_element_set_state(bin, GST_STATE_NULL);
    gst_object_unref(bin);
  }
}

bool CBaseRenderer::Impl::Create() {
  if (!dshow::EnsureGstreamer()) return false;
  GstElement* queue = dshow::MakeElement("queue");
  GstElement* sink = dshow::MakeElement("appsink");
  if (!queue || !sink) {
    for (GstElement* e : {queue, sink})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    return false;
  }
  bin = gst_bin_new(nullptr);
  gst_object_ref_sink(bin);
  gst_bin_add_many(GST_BIN(bin), queue, sink, nullptr);
  gst_element_link(queue, sink);
  // The decoder works on the next frames while this thread converts and renders the last.
  g_object_set(queue, "max-size-buffers", 3u, "max-size-bytes", 0u, "max-size-time", guint64{0}, nullptr);
  // Every raw picture in system memory: the conversion reads any format the video library
  // knows, so no decoder's output is refused (RGB15, packed and planar YUV of any sampling).
  dshow::CapsRef any(gst_caps_from_string(GST_VIDEO_CAPS_MAKE(GST_VIDEO_FORMATS_ALL)));
  g_object_set(sink, "caps", any.get(), "sync", TRUE, "enable-last-sample", FALSE, "max-buffers", 2u, "qos", TRUE,
               nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &Impl::OnNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
  GstPad* target = gst_element_get_static_pad(queue, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
  appsink = sink;
  return true;
}

bool CBaseRenderer::Impl::OfferTypes() {
  offer = -1;
  for (int i = 0; i < static_cast<int>(std::size(kOffers)) && offer < 0; ++i) {
    CMediaType type = dshow::MakeRgbVideoType(*kOffers[i].subtype, kOffers[i].bitCount, 0, 0);
    CAutoLock lock(&owner->m_InterfaceLock);
    if (owner->CheckMediaType(&type) == S_OK) offer = i;
  }
  return offer >= 0;
}

HRESULT CBaseRenderer::Impl::Settle(GstSample* preroll) {
  GstVideoInfo info;
  GstCaps* caps = preroll ? gst_sample_get_caps(preroll) : nullptr;
  if (offer < 0 || !caps || !gst_video_info_from_caps(&info, caps)) return VFW_E_CANNOT_CONNECT;
  const OfferedType& chosen = kOffers[offer];
  const int w = GST_VIDEO_INFO_WIDTH(&info);
  const int h = GST_VIDEO_INFO_HEIGHT(&info);
  CMediaType settled = dshow::MakeRgbVideoType(*chosen.subtype, chosen.bitCount, w, h);
  HRESULT hr;
  {
    CAutoLock lock(&owner->m_InterfaceLock);
    hr = owner->CheckMediaType(&settled);
    if (hr == S_OK)
      hr = owner->SetMediaType(&settled);
    else
      hr = VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (FAILED(hr)) return hr;
  // The size is fixed by the first settled type: the worker scales later pictures into it.
  CAutoLock rendererLock(&owner->m_RendererLock);
  settledFormat = gst_video_format_from_string(chosen.gstFormat);
  settledWidth = w;
  settledHeight = h;
  settledBytes = static_cast<gsize>(((chosen.bitCount / 8) * w + 3) & ~3) * static_cast<gsize>(h);
  lastEnd = -1;
  std::lock_guard<std::mutex> lock(mutex);
  connected = true;
  type = settled;
  return S_OK;
}

void CBaseRenderer::Impl::Disconnect() {
  // Waits for a sample in flight; none is delivered after this.
  CAutoLock rendererLock(&owner->m_RendererLock);
  settledFormat = GST_VIDEO_FORMAT_UNKNOWN;
  settledWidth = settledHeight = 0;
  settledBytes = 0;
  std::lock_guard<std::mutex> lock(mutex);
  connected = false;
  inGraph = false;
  type = CMediaType();
}

bool CBaseRenderer::Impl::Connected() {
  std::lock_guard<std::mutex> lock(mutex);
  return connected;
}

GstFlowReturn CBaseRenderer::Impl::OnNewSample(GstAppSink* sink, gpointer data) {
  auto* self = static_cast<Impl*>(data);
  dshow::TakeOver(self);
  const bool ok = self->Deliver(sink);
  dshow::HandOff(self);
  if (ok) return GST_FLOW_OK;
  // Ends the stream through the graph's error handling rather than dropping every picture.
  GST_ELEMENT_ERROR(sink, STREAM, FORMAT, ("The video renderer cannot convert this picture."), (nullptr));
  return GST_FLOW_ERROR;
}

bool CBaseRenderer::Impl::Deliver(GstAppSink* sink) {
  dshow::SampleRef sample(gst_app_sink_pull_sample(sink));
  if (!sample) return true;
  CAutoLock interfaceLock(&owner->m_InterfaceLock);
  CAutoLock rendererLock(&owner->m_RendererLock);
  {
    // Checked under the renderer lock, so that nothing is delivered once Disconnect returns.
    std::lock_guard<std::mutex> lock(mutex);
    if (!connected) return true;
  }
  GstBuffer* picture = gst_sample_get_buffer(sample.get());
  dshow::TakeOver(picture);  // made by the media worker's reader thread
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(sample.get());
  if (!picture || !caps || !gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FORMAT(&info) != settledFormat ||
      GST_VIDEO_INFO_WIDTH(&info) != settledWidth || GST_VIDEO_INFO_HEIGHT(&info) != settledHeight ||
      gst_buffer_get_size(picture) != settledBytes)
    return false;
  dshow::MediaSample media(picture, gst_sample_get_segment(sample.get()));
  if (!media.Valid()) return false;
  owner->DoRenderSample(&media);
  rendered.fetch_add(1, std::memory_order_release);  // after the picture is in the texture
  REFERENCE_TIME start = 0, end = 0;
  if (media.GetTime(&start, &end) == S_OK) lastEnd = static_cast<gint64>(end) * 100;
  return true;
}

bool CBaseRenderer::Impl::Busy() {
  std::lock_guard<std::mutex> lock(mutex);
  return connected || inGraph;
}

void CBaseRenderer::Impl::MarkInGraph() {
  std::lock_guard<std::mutex> lock(mutex);
  inGraph = true;
}

// ---- CRendererInputPin ----

CRendererInputPin::CRendererInputPin(CBaseRenderer* pRenderer, HRESULT*, LPCWSTR) : renderer_(pRenderer) {}

HRESULT CRendererInputPin::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IPin) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IPin*>(this);
  return S_OK;
}

ULONG CRendererInputPin::AddRef() {
  return renderer_->AddRef();
}
ULONG CRendererInputPin::Release() {
  return renderer_->Release();
}

HRESULT CRendererInputPin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = PINDIR_INPUT;
  return S_OK;
}

HRESULT CRendererInputPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  CBaseRenderer::Impl& impl = *renderer_->impl_;
  std::lock_guard<std::mutex> lock(impl.mutex);
  if (!impl.connected) return VFW_E_NOT_CONNECTED;
  // The copy shares no memory with the renderer: the caller owns pbFormat (delete[]).
  *pmt = impl.type;
  pmt->pbFormat = nullptr;
  pmt->cbFormat = 0;
  if (impl.type.cbFormat) {
    pmt->pbFormat = new BYTE[impl.type.cbFormat];
    std::copy(impl.type.pbFormat, impl.type.pbFormat + impl.type.cbFormat, pmt->pbFormat);
    pmt->cbFormat = impl.type.cbFormat;
  }
  return S_OK;
}

// ---- CBaseRenderer ----

CBaseRenderer::CBaseRenderer(REFCLSID, LPCWSTR, LPUNKNOWN pUnk, HRESULT* phr) : impl_(std::make_unique<Impl>(this)) {
  pin_ = std::make_unique<CRendererInputPin>(this, phr, u"In");
  m_pInputPin = pin_.get();
  HRESULT hr = S_OK;
  if (pUnk)
    hr = CLASS_E_NOAGGREGATION;
  else if (!impl_->Create())
    hr = E_FAIL;
  if (phr && FAILED(hr)) *phr = hr;
}

CBaseRenderer::~CBaseRenderer() = default;

HRESULT CBaseRenderer::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IBaseFilter) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IBaseFilter*>(this);
  return S_OK;
}

HRESULT CBaseRenderer::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!Id || !ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (!SameName(Id, u"In")) return VFW_E_NOT_FOUND;
  m_pInputPin->AddRef();
  *ppPin = m_pInputPin;
  return S_OK;
}

HRESULT CBaseRenderer::SetMediaType(const CMediaType*) {
  return S_OK;
}

LONG CBaseRenderer::RenderedSampleCount() const {
  return impl_->rendered.load(std::memory_order_acquire);
}

CBaseVideoRenderer::CBaseVideoRenderer(REFCLSID RenderClass, LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr)
    : CBaseRenderer(RenderClass, pName, pUnk, phr) {}
