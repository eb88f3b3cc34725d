#include "scene/FontSet.h"

#include <algorithm>
#include <string_view>

D3DXFONT_DESCW UiFontDescription() {
  D3DXFONT_DESCW desc{};
  desc.Height = 16;
  desc.Width = 0;
  desc.Weight = 200;
  desc.MipLevels = 0;
  desc.Italic = FALSE;
  desc.CharSet = SHIFTJIS_CHARSET;
  desc.OutputPrecision = 0;
  desc.Quality = 0;
  desc.PitchAndFamily = 0;
  constexpr std::u16string_view face = u"しねきゃぷしょん";
  std::copy(face.begin(), face.end(), desc.FaceName);
  return desc;
}

void FontSet::Create(IDirect3DDevice9* device) {
  Release();
  D3DXFONT_DESCW desc = UiFontDescription();
  if (FAILED(D3DXCreateFontIndirectW(device, &desc, &m_font))) {
    m_font = nullptr;
    return;
  }
  if (FAILED(D3DXCreateSprite(device, &m_sprite))) m_sprite = nullptr;
}

void FontSet::Release() {
  if (m_sprite) {
    m_sprite->Release();
    m_sprite = nullptr;
  }
  if (m_font) {
    m_font->Release();
    m_font = nullptr;
  }
}
