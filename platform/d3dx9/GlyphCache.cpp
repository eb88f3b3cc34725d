#include "platform/d3dx9/GlyphCache.h"

#include <algorithm>
#include <cstring>

namespace d3dx {

// One texture filled by shelves: glyphs left to right on a shelf as tall as its tallest glyph,
// a new shelf below when a row is full. A texel of space between glyphs keeps filtering from
// bleeding one into the next.
struct GlyphCache::Page {
  std::vector<std::uint32_t> texels;
  IDirect3DTexture9* texture = nullptr;
  int shelfX = 0, shelfY = 0, shelfHeight = 0;
  bool dirty = false;
};

namespace {
constexpr int kGap = 1;
}

GlyphCache::GlyphCache(IDirect3DDevice9* device, UINT pageSize) : device_(device), pageSize_(pageSize) {}

GlyphCache::~GlyphCache() {
  for (auto& page : pages_) {
    if (page->texture) page->texture->Release();
  }
}

const CachedGlyph* GlyphCache::Find(std::uint64_t key) const {
  const auto it = glyphs_.find(key);
  return it == glyphs_.end() ? nullptr : &it->second;
}

bool GlyphCache::Place(int width, int height, int* pageIndex, int* x, int* y) {
  const int size = static_cast<int>(pageSize_);
  if (width + kGap > size || height + kGap > size) return false;
  if (!pages_.empty()) {
    Page& page = *pages_.back();
    if (page.shelfX + width + kGap > size) {  // next shelf
      page.shelfY += page.shelfHeight;
      page.shelfX = 0;
      page.shelfHeight = 0;
    }
    if (page.shelfY + height + kGap <= size) {
      *pageIndex = static_cast<int>(pages_.size()) - 1;
      *x = page.shelfX + kGap;
      *y = page.shelfY + kGap;
      page.shelfX += width + kGap;
      page.shelfHeight = std::max(page.shelfHeight, height + kGap);
      return true;
    }
  }
  auto page = std::make_unique<Page>();
  if (FAILED(device_->CreateTexture(pageSize_, pageSize_, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &page->texture,
                                    nullptr)))
    return false;
  page->texels.assign(static_cast<std::size_t>(pageSize_) * pageSize_, 0x00FFFFFFu);
  page->shelfX = width + kGap;
  page->shelfHeight = height + kGap;
  pages_.push_back(std::move(page));
  *pageIndex = static_cast<int>(pages_.size()) - 1;
  *x = kGap;
  *y = kGap;
  return true;
}

const CachedGlyph* GlyphCache::Add(std::uint64_t key, const std::uint8_t* coverage, int width, int rows, int pitch,
                                   int left, int top, int advance) {
  CachedGlyph glyph;
  glyph.left = left;
  glyph.top = top;
  glyph.advance = advance;
  if (width > 0 && rows > 0 && coverage && Place(width, rows, &glyph.page, &glyph.x, &glyph.y)) {
    glyph.width = width;
    glyph.height = rows;
    Page& page = *pages_[glyph.page];
    for (int row = 0; row < rows; ++row) {
      const std::uint8_t* src = coverage + static_cast<std::ptrdiff_t>(row) * pitch;
      std::uint32_t* dst = &page.texels[static_cast<std::size_t>(glyph.y + row) * pageSize_ + glyph.x];
      for (int col = 0; col < width; ++col) dst[col] = (static_cast<std::uint32_t>(src[col]) << 24) | 0x00FFFFFFu;
    }
    page.dirty = true;
  } else {
    glyph.page = -1;
  }
  return &(glyphs_[key] = glyph);
}

HRESULT GlyphCache::Upload() {
  for (auto& page : pages_) {
    if (!page->dirty) continue;
    D3DLOCKED_RECT locked{};
    if (HRESULT hr = page->texture->LockRect(0, &locked, nullptr, 0); FAILED(hr)) return hr;
    for (UINT row = 0; row < pageSize_; ++row) {
      std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch,
                  &page->texels[static_cast<std::size_t>(row) * pageSize_], pageSize_ * sizeof(std::uint32_t));
    }
    page->texture->UnlockRect(0);
    page->dirty = false;
  }
  return S_OK;
}

IDirect3DTexture9* GlyphCache::PageTexture(int page) const {
  return page >= 0 && page < static_cast<int>(pages_.size()) ? pages_[page]->texture : nullptr;
}

}  // namespace d3dx
