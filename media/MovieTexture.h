// CMovieTexture: the renderer filter at the end of a media graph's video stream. It accepts
// 24-bit RGB video, creates a managed texture of exactly the video's size when the type is
// settled, and copies each due frame into it on the streaming thread (rows in buffer order:
// a bottom-up frame lies upside down in the texture, and the scene draws it flipped).
//
// The texture is written on the streaming thread while the frame thread may draw it; the
// device's LockRect/UnlockRect keep the two apart (the upload happens on the frame thread at
// the texture's next use), so the renderer adds no lock of its own.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/dshow/dshow.h"

// {71771540-2017-11CF-AE26-0020AFD79767}
inline constexpr CLSID CLSID_TextureRenderer = {
    0x71771540, 0x2017, 0x11CF, {0xAE, 0x26, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67}};

// Formats text (wsprintfW rules, at most 1023 characters) and shows it in a modal error box
// with no owner and the caption "DirectShow CaptureTex9 Sample".
void ShowError(LPCWSTR format, ...);

class CMovieTexture : public CBaseVideoRenderer {
 public:
  CMovieTexture(LPUNKNOWN pUnk, HRESULT* phr);

  HRESULT SetMediaType(const CMediaType* pmt) override;
  HRESULT DoRenderSample(IMediaSample* pMediaSample) override;
  HRESULT CheckMediaType(const CMediaType* pmt) override;

  // Keeps a counted reference to the device the texture is created on (before connecting).
  void SetDevice(IDirect3DDevice9* device);
  // The texture (no reference added); null until a type is settled.
  IDirect3DTexture9* GetTexture() const { return m_texture; }
  D3DFORMAT GetTextureFormat() const { return m_textureFormat; }
  LONG GetVideoWidth() const { return m_videoWidth; }
  LONG GetVideoHeight() const { return m_videoHeight; }

  // The pixel conversions of DoRenderSample, for rows of 3-byte blue-green-red pixels (row by
  // row, in the same order). X8R8G8B8 by libyuv, with the unused byte at 0xFF; A1R5G5B5 keeps
  // the top five bits of each component, alpha set. Source rows are srcPitch bytes apart,
  // destination rows dstPitch.
  static void ConvertToX8R8G8B8(const BYTE* src, LONG srcPitch, BYTE* dst, LONG dstPitch, LONG width, LONG height);
  static void ConvertToA1R5G5B5(const BYTE* src, LONG srcPitch, BYTE* dst, LONG dstPitch, LONG width, LONG height);

 protected:
  ~CMovieTexture() override;

 private:
  IDirect3DDevice9* m_device = nullptr;
  IDirect3DTexture9* m_texture = nullptr;
  D3DFORMAT m_textureFormat = D3DFMT_UNKNOWN;
  LONG m_videoWidth = 0;
  LONG m_videoHeight = 0;
  LONG m_sourcePitch = 0;
};
