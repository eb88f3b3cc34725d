// The interface text objects: the UI font in the face "しねきゃぷしょん" (registered for the
// process from font\cinecaption2.24.TTF before creation) and the sprite its glyphs are batched
// through. One per device lifetime; window thread only.
#pragma once

#include "platform/d3dx9/d3dx9.h"

struct FontSet {
  FontSet() = default;
  // Releases the sprite, then the font.
  ~FontSet() { Release(); }
  FontSet(const FontSet&) = delete;
  FontSet& operator=(const FontSet&) = delete;

  // Creates the font and, only when that succeeded, the sprite. A failure leaves the member null;
  // nothing is reported.
  void Create(IDirect3DDevice9* device);
  // Sprite first, then font; both become null.
  void Release();

  ID3DXFont* m_font = nullptr;
  ID3DXSprite* m_sprite = nullptr;
};

// The UI font's description as passed to D3DXCreateFontIndirectW.
D3DXFONT_DESCW UiFontDescription();
