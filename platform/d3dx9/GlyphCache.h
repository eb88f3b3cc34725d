// Rasterised glyphs packed into A8R8G8B8 managed textures (white, coverage in alpha), so that
// text is drawn as textured quads modulated by the text colour. Window's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/d3d9/d3d9.h"

namespace d3dx {

struct CachedGlyph {
  int page = -1;                            // -1: nothing to draw (a space)
  int x = 0, y = 0, width = 0, height = 0;  // texels in the page
  int left = 0, top = 0;                    // bitmap offset from the pen position, top upwards
  int advance = 0;                          // whole pixels
};

class GlyphCache {
 public:
  // device: not owned (the font holds it). pageSize: the side of each square page texture.
  GlyphCache(IDirect3DDevice9* device, UINT pageSize);
  ~GlyphCache();
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  const CachedGlyph* Find(std::uint64_t key) const;
  // Stores an 8-bit coverage bitmap (rows of `pitch` bytes) under key. A glyph that does not fit
  // a page, or a page texture that cannot be created, is stored with nothing to draw.
  const CachedGlyph* Add(std::uint64_t key, const std::uint8_t* coverage, int width, int rows, int pitch, int left,
                         int top, int advance);
  // Copies pages changed since the last upload into their textures.
  HRESULT Upload();
  IDirect3DTexture9* PageTexture(int page) const;
  UINT pageSize() const { return pageSize_; }

 private:
  struct Page;
  bool Place(int width, int height, int* page, int* x, int* y);

  IDirect3DDevice9* device_;
  UINT pageSize_;
  std::vector<std::unique_ptr<Page>> pages_;
  std::unordered_map<std::uint64_t, CachedGlyph> glyphs_;
};

}  // namespace d3dx
