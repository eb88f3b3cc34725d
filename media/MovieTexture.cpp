#include "media/MovieTexture.h"

#include <libyuv/convert_argb.h>

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "platform/win32/win32.h"

void ShowError(LPCWSTR format, ...) {
  WCHAR text[1024];
  va_list args;
  va_start(args, format);
  wvsprintfW(text, format, args);
  va_end(args);
  text[1023] = 0;
  MessageBoxW(nullptr, text, u"DirectShow CaptureTex9 Sample", MB_OK | MB_ICONERROR);
}

CMovieTexture::CMovieTexture(LPUNKNOWN pUnk, HRESULT* phr)
    : CBaseVideoRenderer(CLSID_TextureRenderer, nullptr, pUnk, phr) {}

CMovieTexture::~CMovieTexture() {
  if (m_texture) m_texture->Release();
  m_texture = nullptr;
  if (m_device) m_device->Release();
  m_device = nullptr;
}

void CMovieTexture::SetDevice(IDirect3DDevice9* device) {
  if (device) device->AddRef();
  if (m_device) m_device->Release();
  m_device = device;
}

HRESULT CMovieTexture::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  if (*pmt->FormatType() != FORMAT_VideoInfo) return E_INVALIDARG;
  if (*pmt->Type() == MEDIATYPE_Video && *pmt->Subtype() == MEDIASUBTYPE_RGB24) return S_OK;
  return E_FAIL;
}

HRESULT CMovieTexture::SetMediaType(const CMediaType* pmt) {
  // A type without its video-info block cannot say the size.
  if (!pmt || !pmt->Format() || pmt->FormatLength() < sizeof(VIDEOINFOHEADER)) return E_POINTER;
  VIDEOINFOHEADER info;
  std::memcpy(&info, pmt->Format(), sizeof(info));
  m_videoWidth = info.bmiHeader.biWidth;
  m_videoHeight = info.bmiHeader.biHeight < 0 ? -info.bmiHeader.biHeight : info.bmiHeader.biHeight;
  m_sourcePitch = (3 * m_videoWidth + 3) & ~3;

  if (!m_device) return E_UNEXPECTED;
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = m_device->CreateTexture(static_cast<UINT>(m_videoWidth), static_cast<UINT>(m_videoHeight), 1, 0,
                                       D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
  if (FAILED(hr)) {
    ShowError(u"Could not create the D3DX texture!  hr=0x%x", hr);
    return hr;
  }
  if (m_texture) m_texture->Release();
  m_texture = texture;

  D3DSURFACE_DESC desc{};
  hr = m_texture->GetLevelDesc(0, &desc);
  if (FAILED(hr)) {
    ShowError(u"Could not get level Description of D3DX texture! hr = 0x%x", hr);
    return hr;
  }
  IDirect3DSurface9* surface = nullptr;
  if (SUCCEEDED(m_texture->GetSurfaceLevel(0, &surface)) && surface) surface->GetDesc(&desc);
  m_textureFormat = desc.Format;
  hr = S_OK;
  if (m_textureFormat != D3DFMT_X8R8G8B8 && m_textureFormat != D3DFMT_A1R5G5B5) {
    ShowError(u"Texture is format we can't handle! Format = 0x%x", static_cast<unsigned>(m_textureFormat));
    hr = VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (surface) surface->Release();
  return hr;
}

HRESULT CMovieTexture::DoRenderSample(IMediaSample* pMediaSample) {
  if (!pMediaSample) return E_POINTER;
  if (!m_texture) return E_UNEXPECTED;
  BYTE* source = nullptr;
  if (FAILED(pMediaSample->GetPointer(&source)) || !source) return E_FAIL;
  // Never read past the sample: a short buffer leaves the previous frame in place.
  if (static_cast<std::int64_t>(pMediaSample->GetActualDataLength()) <
      static_cast<std::int64_t>(m_sourcePitch) * m_videoHeight)
    return E_FAIL;
  D3DLOCKED_RECT locked{};
  if (FAILED(m_texture->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
  BYTE* destination = static_cast<BYTE*>(locked.pBits);
  if (m_textureFormat == D3DFMT_X8R8G8B8)
    ConvertToX8R8G8B8(source, m_sourcePitch, destination, locked.Pitch, m_videoWidth, m_videoHeight);
  else if (m_textureFormat == D3DFMT_A1R5G5B5)
    ConvertToA1R5G5B5(source, m_sourcePitch, destination, locked.Pitch, m_videoWidth, m_videoHeight);
  if (FAILED(m_texture->UnlockRect(0))) return E_FAIL;
  return S_OK;
}

void CMovieTexture::ConvertToX8R8G8B8(const BYTE* src, LONG srcPitch, BYTE* dst, LONG dstPitch, LONG width,
                                      LONG height) {
  // libyuv's RGB24 is B, G, R in memory and its ARGB B, G, R, A (X8R8G8B8 read as words).
  libyuv::RGB24ToARGB(src, srcPitch, dst, dstPitch, width, height);
}

// libyuv goes from 24-bit pixels to these only through a whole 32-bit picture of its own.
void CMovieTexture::ConvertToA1R5G5B5(const BYTE* src, LONG srcPitch, BYTE* dst, LONG dstPitch, LONG width,
                                      LONG height) {
  for (LONG r = 0; r < height; ++r) {
    const BYTE* s = src + static_cast<std::ptrdiff_t>(r) * srcPitch;
    auto* d = reinterpret_cast<std::uint16_t*>(dst + static_cast<std::ptrdiff_t>(r) * dstPitch);
    for (LONG x = 0; x < width; ++x, s += 3)
      d[x] = static_cast<std::uint16_t>(0x8000 | ((s[2] >> 3) << 10) | ((s[1] >> 3) << 5) | (s[0] >> 3));
  }
}
