// GDI on the window's software surface: device contexts, stock brushes and text drawing.
#include <SDL.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/fontlookup/FontLookup.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/Win32State.h"

namespace {

// Stock objects are fixed handles; brushes for system colours are (HBRUSH)(COLOR_x + 1).
constexpr std::uintptr_t kStockBase = 0x1000;
constexpr int kFontPixels = 16;

// The DC font: the system's default sans-serif face, loaded on first use.
struct GdiFont {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool tried = false;

  ~GdiFont() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  FT_Face Get() {
    if (tried) return face;
    tried = true;
    if (FT_Init_FreeType(&library) != 0) return nullptr;
    fontlookup::FaceQuery query;
    query.family = "sans-serif";
    fontlookup::FontFile file;
    if (fontlookup::MatchFace(query, fontlookup::FamilyMatch::Nearest, &file) &&
        FT_New_Face(library, file.path.c_str(), file.index, &face) != 0)
      face = nullptr;
    if (face)
      FT_Set_Pixel_Sizes(face, 0, kFontPixels);
    else
      std::fprintf(stderr, "win32: DrawTextW: no sans-serif font found through fontconfig\n");
    return face;
  }
};

GdiFont& Font() {
  static GdiFont font;
  return font;
}

HDC__* FindDc(HDC dc) {
  for (auto& d : Win32State().dcs)
    if (d.get() == dc) return d.get();
  return nullptr;
}

COLORREF BrushColor(HBRUSH brush, bool& none) {
  const auto value = reinterpret_cast<std::uintptr_t>(brush);
  none = false;
  switch (value) {
    case kStockBase + WHITE_BRUSH:
      return RGB(255, 255, 255);
    case kStockBase + LTGRAY_BRUSH:
      return RGB(192, 192, 192);
    case kStockBase + GRAY_BRUSH:
      return RGB(128, 128, 128);
    case kStockBase + DKGRAY_BRUSH:
      return RGB(64, 64, 64);
    case kStockBase + BLACK_BRUSH:
      return RGB(0, 0, 0);
    case COLOR_WINDOW + 1:
      return RGB(255, 255, 255);
  }
  none = true;
  return 0;
}

Uint32 Map(SDL_Surface* s, COLORREF c) {
  return SDL_MapRGB(s->format, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Drawing on a window surface is in the program's pixels, each a square of screen pixels on a
// scaled screen (DisplayScale.h).
void FillRect(SDL_Surface* s, const RECT& r, COLORREF c) {
  SDL_Rect rect{Win32Device(r.left), Win32Device(r.top), Win32Device(r.right - r.left), Win32Device(r.bottom - r.top)};
  if (rect.w > 0 && rect.h > 0) SDL_FillRect(s, &rect, Map(s, c));
}

// Blends a glyph's coverage into the surface, clipped to `clip`.
void BlendGlyph(SDL_Surface* s, const FT_Bitmap& bitmap, int x0, int y0, COLORREF color, const RECT& clip) {
  const int bpp = s->format->BytesPerPixel;
  if (bpp < 2) return;
  const Uint8 fr = color & 0xFF, fg = (color >> 8) & 0xFF, fb = (color >> 16) & 0xFF;
  const int scale = Win32Device(1);
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const int y = y0 + static_cast<int>(row);
    if (y < clip.top || y >= clip.bottom) continue;
    for (unsigned col = 0; col < bitmap.width; ++col) {
      const int x = x0 + static_cast<int>(col);
      if (x < clip.left || x >= clip.right) continue;
      const unsigned a = bitmap.buffer[row * bitmap.pitch + col];
      if (a == 0) continue;
      for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx) {
          Uint8* p = static_cast<Uint8*>(s->pixels) + (y * scale + dy) * s->pitch + (x * scale + dx) * bpp;
          Uint32 pixel = 0;
          std::memcpy(&pixel, p, static_cast<std::size_t>(bpp));
          Uint8 r, g, b;
          SDL_GetRGB(pixel, s->format, &r, &g, &b);
          r = static_cast<Uint8>((fr * a + r * (255 - a)) / 255);
          g = static_cast<Uint8>((fg * a + g * (255 - a)) / 255);
          b = static_cast<Uint8>((fb * a + b * (255 - a)) / 255);
          pixel = SDL_MapRGB(s->format, r, g, b);
          std::memcpy(p, &pixel, static_cast<std::size_t>(bpp));
        }
    }
  }
}

// Code points of each line, with "&" prefixes removed unless DT_NOPREFIX.
std::vector<std::u32string> Lines(std::u16string_view text, UINT format) {
  std::vector<std::u32string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c == U'&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < text.size() && text[i + 1] == u'&')
        ++i;
      else
        continue;
    }
    if (!(format & DT_SINGLELINE) && (c == U'\n' || c == U'\r')) {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      lines.emplace_back();
      continue;
    }
    if (c == U'\n' || c == U'\r') c = U' ';
    lines.back() += c;
  }
  return lines;
}

int LineWidth(FT_Face face, const std::u32string& line) {
  int width = 0;
  for (char32_t c : line)
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width += static_cast<int>(face->glyph->advance.x >> 6);
  return width;
}

}  // namespace

HGDIOBJ GetStockObject(int object) {
  if (object < WHITE_BRUSH || object > NULL_BRUSH) return nullptr;
  return reinterpret_cast<HGDIOBJ>(kStockBase + static_cast<std::uintptr_t>(object));
}

HDC GetDC(HWND hwnd) {
  auto& s = Win32State();
  if (hwnd && !Win32FindWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto dc = std::make_unique<HDC__>();
  dc->hwnd = hwnd;
  s.dcs.push_back(std::move(dc));
  return s.dcs.back().get();
}

int ReleaseDC(HWND, HDC dc) {
  auto& s = Win32State();
  HDC__* d = FindDc(dc);
  if (!d) return 0;
  if (d->drawn)
    if (HWND__* w = Win32FindWindow(d->hwnd)) SDL_UpdateWindowSurface(w->sdl);
  std::erase_if(s.dcs, [dc](const auto& p) { return p.get() == dc; });
  return 1;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!FindDc(dc)) return 0;
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case HORZRES:
      return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES:
      return GetSystemMetrics(SM_CYSCREEN);
    case BITSPIXEL:
      return 32;
  }
  return 0;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  HDC__* d = FindDc(dc);
  if (!d) return 0xFFFFFFFF;
  return std::exchange(d->textColor, color);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  HDC__* d = FindDc(dc);
  if (!d) return 0xFFFFFFFF;
  return std::exchange(d->bkColor, color);
}

int SetBkMode(HDC dc, int mode) {
  HDC__* d = FindDc(dc);
  if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(d->bkMode, mode);
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  return kit::Guarded(0, [&]() -> int {
    HDC__* d = FindDc(dc);
    FT_Face face = Font().Get();
    if (!d || !text || !rect || !face) return 0;
    std::u16string_view view = count < 0 ? std::u16string_view(text) : std::u16string_view(text, count);
    const auto lines = Lines(view, format);
    const int lineHeight = static_cast<int>(face->size->metrics.height >> 6);
    const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
    const int total = lineHeight * static_cast<int>(lines.size());
    std::vector<int> widths;
    int widest = 0;
    for (const auto& line : lines) widest = std::max(widest, widths.emplace_back(LineWidth(face, line)));
    if (format & DT_CALCRECT) {
      rect->right = rect->left + widest;
      rect->bottom = rect->top + total;
      return total;
    }

    HWND__* w = Win32FindWindow(d->hwnd);
    if (!w) return total;  // the screen DC measures only
    SDL_Surface* surface = SDL_GetWindowSurface(w->sdl);
    if (!surface) {
      kit::LogOnce("win32", "DrawTextW", std::string("window surface (") + SDL_GetError() + ") not supported");
      return 0;
    }
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    if (w->erasedSurface != surface) {
      // First drawing on this surface: erase it with the class brush, as painting would.
      bool none = true;
      const COLORREF background = BrushColor(w->cls->wc.hbrBackground, none);
      if (!none) SDL_FillRect(surface, nullptr, Map(surface, background));
      w->erasedSurface = surface;
    }
    const int width = Win32Logical(surface->w), height = Win32Logical(surface->h);
    RECT clip = format & DT_NOCLIP ? RECT{0, 0, width, height} : *rect;
    clip.left = std::max<LONG>(clip.left, 0);
    clip.top = std::max<LONG>(clip.top, 0);
    clip.right = std::min<LONG>(clip.right, width);
    clip.bottom = std::min<LONG>(clip.bottom, height);

    int y = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
      y = rect->top + (rect->bottom - rect->top - total) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
      y = rect->bottom - total;
    for (std::size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
      int x = rect->left;
      if (format & DT_CENTER)
        x = rect->left + (rect->right - rect->left - widths[i]) / 2;
      else if (format & DT_RIGHT)
        x = rect->right - widths[i];
      if (d->bkMode == OPAQUE) {
        RECT box{std::max<LONG>(x, clip.left), std::max<LONG>(y, clip.top), std::min<LONG>(x + widths[i], clip.right),
                 std::min<LONG>(y + lineHeight, clip.bottom)};
        FillRect(surface, box, d->bkColor);
      }
      int pen = x;
      for (char32_t c : lines[i]) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        if (g->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
          BlendGlyph(surface, g->bitmap, pen + g->bitmap_left, y + ascender - g->bitmap_top, d->textColor, clip);
        pen += static_cast<int>(g->advance.x >> 6);
      }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    d->drawn = true;
    return total;
  });
}
