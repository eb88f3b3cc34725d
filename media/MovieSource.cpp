#include "media/MovieSource.h"

#include <new>

#include "media/MovieTexture.h"
#include "platform/com/com.h"

namespace {

template <typename T>
void ReleaseAndNull(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// A counted reference local to Open, released on every way out.
template <typename T>
class LocalRef {
 public:
  LocalRef() = default;
  ~LocalRef() { ReleaseAndNull(m_p); }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  T** operator&() { return &m_p; }
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }

 private:
  T* m_p = nullptr;
};

}  // namespace

CMovieSource::~CMovieSource() {
  Close();
  ReleaseAndNull(m_texture);
  ReleaseAndNull(m_device);
}

HRESULT CMovieSource::Open(IDirect3DDevice9* device, LPCWSTR path, bool soundOn) {
  if (device) device->AddRef();
  ReleaseAndNull(m_device);
  m_device = device;

  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&m_graphBuilder));
  if (FAILED(hr)) return E_FAIL;

  hr = S_OK;
  auto* renderer = new (std::nothrow) CMovieTexture(nullptr, &hr);
  if (!renderer || FAILED(hr)) {
    ShowError(u"Could not create texture renderer object!  hr=0x%x", hr);
    if (renderer) renderer->Release();
    return E_FAIL;
  }
  renderer->SetDevice(m_device);
  m_renderer = renderer;  // the creator's reference

  hr = m_graphBuilder->AddFilter(m_renderer, u"TextureRenderer");
  if (FAILED(hr)) {
    ShowError(u"Could not add renderer filter to graph!  hr=0x%x", hr);
    return hr;
  }

  LocalRef<IBaseFilter> source;
  hr = m_graphBuilder->AddSourceFilter(path, u"SOURCE", &source);
  if (hr == VFW_E_NOT_FOUND) {
    ShowError(
        u"Could not add source filter to graph!  (hr==VFW_E_NOT_FOUND)\r\n\r\n"
        u"This sample reads a media file from the DirectX SDK's media path.\r\n"
        u"Please install the DirectX 9 SDK on this machine.");
    return hr;
  }
  if (FAILED(hr)) {
    ShowError(u"Could not add source filter to graph!  hr=0x%x", hr);
    return hr;
  }

  LocalRef<IPin> output;
  if (FAILED(source->FindPin(u"Output", &output))) {
    LocalRef<IBasicAudio> audio;
    m_graphBuilder->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio));
    hr = m_graphBuilder->RenderFile(path, nullptr);
    if (FAILED(hr)) return hr;
    if (audio.get()) audio->put_Volume(soundOn ? 0 : -10000);
  } else if (soundOn) {
    hr = m_graphBuilder->Render(output.get());
    if (FAILED(hr)) {
      ShowError(u"Could not render source output pin!  hr=0x%x", hr);
      return hr;
    }
  } else {
    LocalRef<IPin> input;
    hr = m_renderer->FindPin(u"In", &input);
    if (FAILED(hr)) {
      ShowError(u"Could not find input pin!  hr=0x%x", hr);
      return hr;
    }
    hr = m_graphBuilder->Connect(output.get(), input.get());
    if (FAILED(hr)) {
      ShowError(u"Could not connect pins!  hr=0x%x", hr);
      return hr;
    }
  }

  m_graphBuilder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_mediaControl));
  m_graphBuilder->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&m_mediaPosition));
  hr = m_mediaControl ? m_mediaControl->Run() : E_NOINTERFACE;
  if (FAILED(hr)) {
    ShowError(u"Could not run the DirectShow graph!  hr=0x%x", hr);
    return hr;
  }

  IDirect3DTexture9* texture = renderer->GetTexture();
  if (texture) texture->AddRef();
  ReleaseAndNull(m_texture);
  m_texture = texture;
  m_videoWidth = renderer->GetVideoWidth();
  m_videoHeight = renderer->GetVideoHeight();
  return S_OK;
}

void CMovieSource::Close() {
  if (m_mediaControl) m_mediaControl->Stop();
  ReleaseAndNull(m_mediaControl);
  ReleaseAndNull(m_mediaPosition);
  ReleaseAndNull(m_graphBuilder);
  ReleaseAndNull(m_renderer);
}

LONG CMovieSource::GetFramesRendered() const {
  return m_renderer ? static_cast<const CBaseRenderer*>(m_renderer)->RenderedSampleCount() : 0;
}

void CMovieSource::SetVolume(LONG level) {
  if (!m_graphBuilder) return;
  if (level > 10000) level = 10000;
  IBasicAudio* audio = nullptr;
  if (SUCCEEDED(m_graphBuilder->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio))) && audio) {
    audio->put_Volume(level - 10000);
    audio->Release();
  }
}
