#include <gst/video/video.h>

#include <algorithm>
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
// The types the graph's converter can deliver, in the order they are proposed.
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
  GstElement* convert = dshow::MakeElement("videoconvert");
  GstElement* flip = dshow::MakeElement("videoflip");
  GstElement* sink = dshow::MakeElement("appsink");
  if (!queue || !convert || !flip || !sink) {
    for (GstElement* e : {queue, convert, flip, sink})
      if (e) gst_object_unref(e);
    return false;
  }
  bin = gst_bin_new(nullptr);
  gst_object_ref_sink(bin);
  gst_bin_add_many(GST_BIN(bin), queue, flip, convert, sink, nullptr);
  // Flipped before the conversion, where a decoder's planar picture is half the size.
  gst_element_link_many(queue, flip, convert, sink, nullptr);
  // The decoder works on the next frames while this thread converts and renders the last.
  g_object_set(queue, "max-size-buffers", 3u, "max-size-bytes", 0u, "max-size-time", guint64{0}, nullptr);
  // The colour conversion is the pipeline's largest cost after decoding: give it every core.
  g_object_set(convert, "n-threads", static_cast<guint>(g_get_num_processors()), "dither", 0, nullptr);
  gst_util_set_object_arg(G_OBJECT(flip), "method", "vertical-flip");
  g_object_set(sink, "sync", TRUE, "enable-last-sample", FALSE, "max-buffers", 2u, "qos", TRUE, nullptr);
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
  std::string formats;
  for (const OfferedType& offer : kOffers) {
    CMediaType type = dshow::MakeRgbVideoType(*offer.subtype, offer.bitCount, 0, 0);
    HRESULT hr;
    {
      CAutoLock lock(&owner->m_InterfaceLock);
      hr = owner->CheckMediaType(&type);
    }
    if (hr != S_OK) continue;
    if (!formats.empty()) formats += ", ";
    formats += offer.gstFormat;
  }
  if (formats.empty()) return false;
  std::string caps = "video/x-raw, format=(string){ " + formats + " }";
  dshow::CapsRef filter(gst_caps_from_string(caps.c_str()));
  g_object_set(appsink, "caps", filter.get(), nullptr);
  return true;
}

HRESULT CBaseRenderer::Impl::Settle(GstSample* preroll) {
  GstVideoInfo info;
  GstCaps* caps = preroll ? gst_sample_get_caps(preroll) : nullptr;
  if (!caps || !gst_video_info_from_caps(&info, caps)) return VFW_E_CANNOT_CONNECT;
  const OfferedType* offer = nullptr;
  for (const OfferedType& o : kOffers)
    if (GST_VIDEO_INFO_FORMAT(&info) == gst_video_format_from_string(o.gstFormat)) offer = &o;
  if (!offer) return VFW_E_CANNOT_CONNECT;
  const int w = GST_VIDEO_INFO_WIDTH(&info);
  const int h = GST_VIDEO_INFO_HEIGHT(&info);
  CMediaType settled = dshow::MakeRgbVideoType(*offer->subtype, offer->bitCount, w, h);
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
  // The size is fixed by the first settled type: later caps must match it.
  std::string fixed = std::string("video/x-raw, format=(string)") + offer->gstFormat + ", width=(int)" +
                      std::to_string(w) + ", height=(int)" + std::to_string(h);
  dshow::CapsRef filter(gst_caps_from_string(fixed.c_str()));
  g_object_set(appsink, "caps", filter.get(), nullptr);
  std::lock_guard<std::mutex> lock(mutex);
  connected = true;
  type = settled;
  format = GST_VIDEO_INFO_FORMAT(&info);
  width = w;
  height = h;
  return S_OK;
}

void CBaseRenderer::Impl::Disconnect() {
  // Waits for a sample in flight; none is delivered after this.
  CAutoLock rendererLock(&owner->m_RendererLock);
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
  self->Deliver(sink);
  dshow::HandOff(self);
  return GST_FLOW_OK;
}

void CBaseRenderer::Impl::Deliver(GstAppSink* sink) {
  dshow::SampleRef sample(gst_app_sink_pull_sample(sink));
  if (!sample) return;
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(sample.get());
  if (!caps || !gst_video_info_from_caps(&info, caps)) return;
  // The renderer reads rows of the DirectShow pitch: drop a buffer laid out otherwise.
  const gsize pitch =
      (static_cast<gsize>(GST_VIDEO_INFO_COMP_PSTRIDE(&info, 0)) * GST_VIDEO_INFO_WIDTH(&info) + 3) & ~gsize{3};
  dshow::MediaSample media(gst_sample_get_buffer(sample.get()), gst_sample_get_segment(sample.get()));
  if (!media.Valid() || static_cast<gsize>(media.GetSize()) < pitch * GST_VIDEO_INFO_HEIGHT(&info) ||
      static_cast<gsize>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0)) != pitch)
    return;
  CAutoLock interfaceLock(&owner->m_InterfaceLock);
  CAutoLock rendererLock(&owner->m_RendererLock);
  {
    // Checked under the renderer lock, so that nothing is delivered once Disconnect returns.
    std::lock_guard<std::mutex> lock(mutex);
    if (!connected || GST_VIDEO_INFO_FORMAT(&info) != format || GST_VIDEO_INFO_WIDTH(&info) != width ||
        GST_VIDEO_INFO_HEIGHT(&info) != height)
      return;
  }
  owner->DoRenderSample(&media);
  rendered.fetch_add(1, std::memory_order_relaxed);
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

CRendererInputPin::CRendererInputPin(CBaseRenderer* pRenderer, HRESULT*, LPCWSTR) : m_pRenderer(pRenderer) {}

HRESULT CRendererInputPin::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IPin) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IPin*>(this);
  return S_OK;
}

ULONG CRendererInputPin::AddRef() {
  return m_pRenderer->AddRef();
}
ULONG CRendererInputPin::Release() {
  return m_pRenderer->Release();
}

HRESULT CRendererInputPin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = PINDIR_INPUT;
  return S_OK;
}

HRESULT CRendererInputPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  CBaseRenderer::Impl& impl = *m_pRenderer->m_impl;
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

CBaseRenderer::CBaseRenderer(REFCLSID, LPCWSTR, LPUNKNOWN pUnk, HRESULT* phr) : m_impl(std::make_unique<Impl>(this)) {
  m_pin = std::make_unique<CRendererInputPin>(this, phr, u"In");
  m_pInputPin = m_pin.get();
  HRESULT hr = S_OK;
  if (pUnk)
    hr = static_cast<HRESULT>(0x80040110u);  // CLASS_E_NOAGGREGATION
  else if (!m_impl->Create())
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

ULONG CBaseRenderer::AddRef() {
  return ++m_refs;
}

ULONG CBaseRenderer::Release() {
  const ULONG left = --m_refs;
  if (left == 0) delete this;
  return left;
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
  return m_impl->rendered.load(std::memory_order_relaxed);
}

CBaseVideoRenderer::CBaseVideoRenderer(REFCLSID RenderClass, LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr)
    : CBaseRenderer(RenderClass, pName, pUnk, phr) {}
