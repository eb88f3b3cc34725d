// Small image files written by the tests themselves into a private temporary folder.
#pragma once

#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "support/TempDir.h"

// A temporary folder for image files, which the program names in its Windows form.
class TempFolder : public TempDir {
 public:
  TempFolder() : TempDir("orbelle-scene") {}

  // The file's path in the program's Windows form.
  std::u16string WindowsPath(const std::string& name) const {
    std::u16string out;
    for (char c : (path() / name).string()) out.push_back(c == '/' ? u'\\' : static_cast<char16_t>(c));
    return out;
  }

  void Write(const std::string& name, const std::vector<BYTE>& bytes) const { TempDir::Write(name, bytes); }
};

inline void PutLe(std::vector<BYTE>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// A 24-bit BMP of |height| rows (top-down when height < 0) from ARGB pixels, top row first.
// headerSize 40 is the plain info header; 108 writes the V4 header (same fields, zero masks).
inline std::vector<BYTE> MakeBmp(int width, int height, const std::vector<DWORD>& pixels, std::uint32_t headerSize = 40,
                                 std::uint32_t compression = 0) {
  const int rows = height < 0 ? -height : height;
  const std::uint32_t stride = (3u * width + 3u) & ~3u;
  std::vector<BYTE> out{'B', 'M'};
  PutLe(out, 14 + headerSize + stride * rows, 4);
  PutLe(out, 0, 4);
  PutLe(out, 14 + headerSize, 4);
  PutLe(out, headerSize, 4);
  PutLe(out, static_cast<std::uint32_t>(width), 4);
  PutLe(out, static_cast<std::uint32_t>(height), 4);
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, compression, 4);
  PutLe(out, stride * rows, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  out.resize(14 + headerSize, 0);
  for (int r = 0; r < rows; ++r) {
    const int y = height < 0 ? r : rows - 1 - r;  // file row r shows picture row y
    for (int x = 0; x < width; ++x) {
      const DWORD p = pixels[y * width + x];
      out.push_back(static_cast<BYTE>(p));
      out.push_back(static_cast<BYTE>(p >> 8));
      out.push_back(static_cast<BYTE>(p >> 16));
    }
    out.resize(out.size() + (stride - 3u * width), 0);
  }
  return out;
}

// A 32-bit PNG from ARGB pixels, top row first.
inline bool WritePng(const std::filesystem::path& file, int width, int height, const std::vector<DWORD>& pixels) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(surface->pixels) + y * surface->pitch)[x] =
          pixels[y * width + x];
  const bool ok = IMG_SavePNG(surface, file.string().c_str()) == 0;
  SDL_FreeSurface(surface);
  return ok;
}
