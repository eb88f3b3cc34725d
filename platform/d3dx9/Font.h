// The D3DX font: a FreeType face found through fontconfig, glyphs cached in textures and drawn
// as quads through a sprite. Window's thread.
#pragma once

#include <memory>
#include <string>

#include "platform/d3dx9/d3dx9.h"
#include "platform/kit/RefCounted.h"

namespace d3dx {

class Font final : public kit::RefCounted<ID3DXFont> {
 public:
  // See D3DXCreateFontIndirectW.
  static HRESULT Create(IDirect3DDevice9* device, const D3DXFONT_DESCW& desc, ID3DXFont** out);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetDescW(D3DXFONT_DESCW* pDesc) override;
  HRESULT PreloadTextW(LPCWSTR pString, INT Count) override;
  INT DrawTextW(ID3DXSprite* pSprite, LPCWSTR pString, INT Count, LPRECT pRect, DWORD Format, D3DCOLOR Color) override;
  HRESULT OnLostDevice() override;
  HRESULT OnResetDevice() override;

  // The native path of the font file the face was loaded from.
  const std::string& facePath() const;

 private:
  struct State;
  explicit Font(std::unique_ptr<State> state);
  ~Font() override;
  std::unique_ptr<State> state_;
};

}  // namespace d3dx
