#include "platform/d3dx9/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "platform/d3dx9/FontMatcher.h"
#include "platform/d3dx9/GlyphCache.h"
#include "platform/d3dx9/Sprite.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"

namespace d3dx {
namespace {

struct LibraryFree {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceFree {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using LibraryPtr = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryFree>;
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceFree>;

constexpr DWORD kDefaultSpriteFlags = D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE;
constexpr double kDefaultEmPixels = 12.0;

struct LoadedFace {
  FacePtr face;
  std::string path;
  bool emboldened = false;
  bool slanted = false;
};

// One laid-out line: the glyphs to draw and the pen positions they start at.
struct PlacedGlyph {
  const CachedGlyph* glyph;
  int penX;
};
struct Line {
  std::vector<PlacedGlyph> glyphs;
  int width = 0;
};

}  // namespace

struct Font::State {
  IDirect3DDevice9* device = nullptr;
  D3DXFONT_DESCW desc{};
  LibraryPtr library;
  std::vector<LoadedFace> faces;                  // [0] is the matched face, the rest fallbacks
  std::unordered_map<char32_t, int> fallbackFor;  // code point -> face index, -1: none
  double emPixels = kDefaultEmPixels;
  int ascent = 0;
  int descent = 0;
  std::unique_ptr<GlyphCache> cache;
  Sprite* ownSprite = nullptr;

  ~State() {
    cache.reset();  // releases the page textures before the device reference goes
    if (ownSprite) ownSprite->Release();
    if (device) device->Release();
  }

  bool OpenFace(const FontFile& file) {
    FT_Face face = nullptr;
    if (FT_New_Face(library.get(), file.path.c_str(), file.index, &face) != 0) return false;
    LoadedFace loaded{FacePtr(face), file.path};
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(emPixels * 64)), 72, 72) != 0) return false;
    // Windows synthesises bold and italic for faces that lack them.
    loaded.emboldened = desc.Weight >= FW_SEMIBOLD && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    loaded.slanted = desc.Italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    faces.push_back(std::move(loaded));
    return true;
  }

  // Sets the em size from the description's height and the face's vertical metrics: a positive
  // height is the cell height (Windows' ascent + descent), a negative one the em height.
  void ComputeMetrics(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    double cellUnits = 0, ascentUnits = 0;
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
      cellUnits = os2->usWinAscent + os2->usWinDescent;
      ascentUnits = os2->usWinAscent;
    } else if (face->ascender - face->descender > 0) {
      cellUnits = face->ascender - face->descender;
      ascentUnits = face->ascender;
    } else {
      cellUnits = ascentUnits = face->units_per_EM > 0 ? face->units_per_EM : 1;
    }
    const double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : cellUnits;
    if (desc.Height > 0) {
      emPixels = desc.Height * unitsPerEm / cellUnits;
      ascent = static_cast<int>(std::lround(desc.Height * ascentUnits / cellUnits));
      descent = desc.Height - ascent;
    } else {
      emPixels = desc.Height < 0 ? -static_cast<double>(desc.Height) : kDefaultEmPixels;
      ascent = static_cast<int>(std::lround(emPixels * ascentUnits / unitsPerEm));
      descent = static_cast<int>(std::lround(emPixels * cellUnits / unitsPerEm)) - ascent;
    }
  }

  // The face that draws the code point: the matched one when it has the glyph, otherwise one
  // fontconfig finds for it (cached per code point), otherwise the matched one's missing glyph.
  int FaceFor(char32_t c) {
    if (FT_Get_Char_Index(faces[0].face.get(), c) != 0) return 0;
    auto [it, inserted] = fallbackFor.try_emplace(c, 0);
    if (!inserted) return it->second;
    FontFile file;
    if (MatchFaceForCharacter(c, desc, &file)) {
      for (std::size_t i = 1; i < faces.size(); ++i) {
        if (faces[i].path == file.path) return it->second = static_cast<int>(i);
      }
      if (OpenFace(file)) return it->second = static_cast<int>(faces.size()) - 1;
    }
    return it->second;
  }

  const CachedGlyph* Glyph(char32_t c) {
    const int faceIndex = FaceFor(c);
    LoadedFace& loaded = faces[faceIndex];
    FT_Face face = loaded.face.get();
    const FT_UInt index = FT_Get_Char_Index(face, c);
    const std::uint64_t key = (static_cast<std::uint64_t>(faceIndex) << 32) | index;
    if (const CachedGlyph* cached = cache->Find(key)) return cached;

    // Outlines first, so that embedded bitmaps do not give one-bit glyphs at small sizes.
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0 && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0)
      return cache->Add(key, nullptr, 0, 0, 0, 0, 0, 0);
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (loaded.slanted) FT_GlyphSlot_Oblique(slot);
      if (loaded.emboldened) FT_GlyphSlot_Embolden(slot);
    }
    const int advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
      return cache->Add(key, nullptr, 0, 0, 0, 0, 0, advance);

    FT_Bitmap gray;
    FT_Bitmap_Init(&gray);
    const FT_Bitmap* bitmap = &slot->bitmap;
    if (bitmap->pixel_mode != FT_PIXEL_MODE_GRAY) {
      if (FT_Bitmap_Convert(library.get(), bitmap, &gray, 1) != 0)
        return cache->Add(key, nullptr, 0, 0, 0, 0, 0, advance);
      // Converted coverage runs 0..num_grays-1; stretch it to 0..255.
      const int maxLevel = std::max(1, gray.num_grays - 1);
      for (unsigned i = 0; i < gray.rows * static_cast<unsigned>(std::abs(gray.pitch)); ++i)
        gray.buffer[i] = static_cast<unsigned char>(gray.buffer[i] * 255 / maxLevel);
      bitmap = &gray;
    }
    const CachedGlyph* glyph =
        cache->Add(key, bitmap->buffer, static_cast<int>(bitmap->width), static_cast<int>(bitmap->rows), bitmap->pitch,
                   slot->bitmap_left, slot->bitmap_top, advance);
    FT_Bitmap_Done(library.get(), &gray);
    return glyph;
  }

  std::vector<Line> Layout(LPCWSTR text, INT count, DWORD format) {
    std::size_t length = 0;
    if (count < 0) {
      while (text[length] != 0) ++length;
    } else {
      length = static_cast<std::size_t>(count);
    }
    std::vector<Line> lines(1);
    for (char32_t c : DecodeUtf16(text, length)) {
      if (c == u'\r') continue;
      if (c == u'\n') {
        if (!(format & DT_SINGLELINE)) lines.emplace_back();
        continue;
      }
      const CachedGlyph* glyph = Glyph(c);
      lines.back().glyphs.push_back({glyph, lines.back().width});
      lines.back().width += glyph->advance;
    }
    return lines;
  }
};

Font::Font(std::unique_ptr<State> state) : state_(std::move(state)) {}
Font::~Font() = default;

HRESULT Font::Create(IDirect3DDevice9* device, const D3DXFONT_DESCW& desc, ID3DXFont** out) {
  auto state = std::make_unique<State>();
  state->desc = desc;
  state->desc.FaceName[LF_FACESIZE - 1] = 0;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return E_FAIL;
  state->library.reset(library);

  FontFile file;
  if (!MatchFontFace(state->desc, &file)) return E_FAIL;
  FT_Face probe = nullptr;
  if (FT_New_Face(library, file.path.c_str(), file.index, &probe) != 0) return E_FAIL;
  state->ComputeMetrics(probe);
  FT_Done_Face(probe);
  if (!state->OpenFace(file)) return E_FAIL;

  // Pages hold about sixteen lines of sixteen glyphs.
  UINT pageSize = 256;
  while (pageSize < 2048 && pageSize < static_cast<UINT>(16 * (state->ascent + state->descent))) pageSize *= 2;
  state->cache = std::make_unique<GlyphCache>(device, pageSize);
  if (desc.Width != 0) kit::LogOnce("d3d9", "D3DXCreateFontIndirectW", "a non-zero Width is ignored");
  state->device = device;
  device->AddRef();
  *out = new Font(std::move(state));
  return S_OK;
}

HRESULT Font::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) {
    AddRef();
    *ppv = static_cast<IUnknown*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT Font::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  state_->device->AddRef();
  *ppDevice = state_->device;
  return S_OK;
}

HRESULT Font::GetDescW(D3DXFONT_DESCW* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = state_->desc;
  return S_OK;
}

HRESULT Font::PreloadTextW(LPCWSTR pString, INT Count) {
  return kit::Guarded([&]() -> HRESULT {
    if (!pString) return D3DERR_INVALIDCALL;
    state_->Layout(pString, Count, 0);
    return state_->cache->Upload();
  });
}

INT Font::DrawTextW(ID3DXSprite* pSprite, LPCWSTR pString, INT Count, LPRECT pRect, DWORD Format, D3DCOLOR Color) {
  return kit::Guarded(0, [&]() -> INT {
    State& s = *state_;
    if (!pString || !pRect || Count == 0) return 0;
    const std::vector<Line> lines = s.Layout(pString, Count, Format);
    const int lineHeight = s.ascent + s.descent;
    const int textHeight = lineHeight * static_cast<int>(lines.size());
    int textWidth = 0;
    for (const Line& line : lines) textWidth = std::max(textWidth, line.width);

    int top = pRect->top;
    if (Format & DT_BOTTOM) {
      top = pRect->bottom - textHeight;
    } else if (Format & DT_VCENTER) {
      top = pRect->top + (pRect->bottom - pRect->top - textHeight) / 2;
    }
    const int result = (Format & (DT_BOTTOM | DT_VCENTER)) ? top - pRect->top + textHeight : textHeight;
    if (Format & DT_CALCRECT) {
      pRect->right = pRect->left + textWidth;
      pRect->bottom = pRect->top + textHeight;
      return textHeight;
    }
    if (FAILED(s.cache->Upload())) return 0;

    Sprite* sprite = nullptr;
    if (pSprite) {
      sprite = dynamic_cast<Sprite*>(pSprite);
    } else {
      if (!s.ownSprite) s.ownSprite = new Sprite(s.device);
      sprite = s.ownSprite;
    }
    if (!sprite) return 0;
    const bool beginHere = !sprite->begun();
    if (beginHere && FAILED(sprite->Begin(kDefaultSpriteFlags))) return 0;

    const bool clip = !(Format & DT_NOCLIP);
    const float texel = 1.0f / static_cast<float>(s.cache->pageSize());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[i];
      int left = pRect->left;
      if (Format & DT_RIGHT) {
        left = pRect->right - line.width;
      } else if (Format & DT_CENTER) {
        left = pRect->left + (pRect->right - pRect->left - line.width) / 2;
      }
      const int baseline = top + static_cast<int>(i) * lineHeight + s.ascent;
      for (const PlacedGlyph& placed : line.glyphs) {
        const CachedGlyph& g = *placed.glyph;
        if (g.page < 0) continue;
        // Pixel rectangle of the glyph, then clipped to pRect.
        int x0 = left + placed.penX + g.left, y0 = baseline - g.top;
        int x1 = x0 + g.width, y1 = y0 + g.height;
        int tx0 = g.x, ty0 = g.y;
        if (clip) {
          const int cx0 = std::max<int>(x0, pRect->left), cy0 = std::max<int>(y0, pRect->top);
          const int cx1 = std::min<int>(x1, pRect->right), cy1 = std::min<int>(y1, pRect->bottom);
          if (cx0 >= cx1 || cy0 >= cy1) continue;
          tx0 += cx0 - x0;
          ty0 += cy0 - y0;
          x0 = cx0, y0 = cy0, x1 = cx1, y1 = cy1;
        }
        // Edges half a pixel before the pixel centres, so that each pixel samples its texel's centre.
        const SpriteQuad quad{static_cast<float>(x0) - 0.5f,
                              static_cast<float>(y0) - 0.5f,
                              static_cast<float>(x1) - 0.5f,
                              static_cast<float>(y1) - 0.5f,
                              static_cast<float>(tx0) * texel,
                              static_cast<float>(ty0) * texel,
                              static_cast<float>(tx0 + (x1 - x0)) * texel,
                              static_cast<float>(ty0 + (y1 - y0)) * texel,
                              Color};
        sprite->AddQuad(s.cache->PageTexture(g.page), quad);
      }
    }
    if (beginHere) sprite->End();
    return result;
  });
}

HRESULT Font::OnLostDevice() {
  if (state_->ownSprite) state_->ownSprite->OnLostDevice();
  return S_OK;
}

HRESULT Font::OnResetDevice() {
  return S_OK;
}

const std::string& Font::facePath() const {
  return state_->faces[0].path;
}

}  // namespace d3dx

HRESULT D3DXCreateFontIndirectW(IDirect3DDevice9* pDevice, const D3DXFONT_DESCW* pDesc, ID3DXFont** ppFont) {
  return kit::Guarded([&]() -> HRESULT {
    if (ppFont) *ppFont = nullptr;
    if (!pDevice || !pDesc || !ppFont) return D3DERR_INVALIDCALL;
    return d3dx::Font::Create(pDevice, *pDesc, ppFont);
  });
}

HRESULT D3DXCreateFontW(IDirect3DDevice9* pDevice, INT Height, UINT Width, UINT Weight, UINT MipLevels, BOOL Italic,
                        DWORD CharSet, DWORD OutputPrecision, DWORD Quality, DWORD PitchAndFamily, LPCWSTR pFaceName,
                        ID3DXFont** ppFont) {
  D3DXFONT_DESCW desc{};
  desc.Height = Height;
  desc.Width = Width;
  desc.Weight = Weight;
  desc.MipLevels = MipLevels;
  desc.Italic = Italic;
  desc.CharSet = static_cast<BYTE>(CharSet);
  desc.OutputPrecision = static_cast<BYTE>(OutputPrecision);
  desc.Quality = static_cast<BYTE>(Quality);
  desc.PitchAndFamily = static_cast<BYTE>(PitchAndFamily);
  for (int i = 0; pFaceName && i < LF_FACESIZE - 1 && pFaceName[i] != 0; ++i) desc.FaceName[i] = pFaceName[i];
  return D3DXCreateFontIndirectW(pDevice, &desc, ppFont);
}
