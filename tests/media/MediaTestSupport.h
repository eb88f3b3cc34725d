// Shared helpers of the media tests: fixture paths in the program's Windows form, captured
// message boxes, bounded waits and texel reads.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "media/MovieSource.h"
#include "platform/d3d9/d3d9.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "support/WaitUntil.h"

inline std::filesystem::path FixtureDir() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  if (!source) source = ORBELLE_SOURCE_DIR_DEFAULT;
  return std::filesystem::path(source) / "tests" / "media" / "fixtures";
}

inline std::u16string WinPath(const std::filesystem::path& native) {
  return Win32FromNativePath(native.string());
}
inline std::u16string Fixture(const char* name) {
  return WinPath(FixtureDir() / name);
}

// Records every message box instead of showing it.
class CapturedBoxes {
 public:
  struct Box {
    std::u16string text;
    std::u16string caption;
    UINT type;
  };
  CapturedBoxes() {
    m_previous = SetMessageBoxHook([this](HWND, std::u16string_view text, std::u16string_view caption, UINT type) {
      boxes.push_back({std::u16string(text), std::u16string(caption), type});
      return IDOK;
    });
  }
  ~CapturedBoxes() { SetMessageBoxHook(m_previous); }
  std::vector<Box> boxes;

 private:
  MessageBoxHook m_previous;
};

// Level 0 of a 32-bit texture, rows as stored.
inline std::vector<DWORD> ReadTexels(IDirect3DTexture9* texture, UINT* width, UINT* height) {
  D3DSURFACE_DESC desc{};
  std::vector<DWORD> texels;
  if (!texture || FAILED(texture->GetLevelDesc(0, &desc))) return texels;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return texels;
  texels.resize(static_cast<std::size_t>(desc.Width) * desc.Height);
  for (UINT y = 0; y < desc.Height; ++y)
    for (UINT x = 0; x < desc.Width; ++x)
      texels[y * desc.Width + x] =
          reinterpret_cast<const DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x];
  texture->UnlockRect(0);
  *width = desc.Width;
  *height = desc.Height;
  return texels;
}

// The colour the fixture generator gives the pattern pictures at (x, y), as an X8R8G8B8 texel.
inline DWORD PatternTexel(int x, int y) {
  const DWORD r = (x * 7) & 255, g = (y * 13 + 5) & 255, b = (x + y * 3) & 255;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// Texels of a width x height texture that differ from the pattern picture stored bottom row
// first (texture row 0 holds the picture's last row).
inline int TexelsOffPattern(const std::vector<DWORD>& texels, int width, int height) {
  int wrong = 0;
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) wrong += texels[row * width + x] != PatternTexel(x, height - 1 - row);
  return wrong;
}

// True when each channel is within tolerance.
inline bool Near(DWORD a, DWORD b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int ca = (a >> shift) & 255, cb = (b >> shift) & 255;
    if (std::abs(ca - cb) > tolerance) return false;
  }
  return true;
}

// The media's current position and stop time in seconds (-1 when they cannot be read).
inline double Position(CMovieSource& media) {
  double t = -1;
  EXPECT_EQ(S_OK, media.GetMediaPosition()->get_CurrentPosition(&t));
  return t;
}
inline double StopTime(CMovieSource& media) {
  double t = -1;
  EXPECT_EQ(S_OK, media.GetMediaPosition()->get_StopTime(&t));
  return t;
}

// The graph's volume through IBasicAudio; *hr is E_NOTIMPL when no sound is rendered.
inline LONG GraphVolume(CMovieSource& media, HRESULT* hr) {
  IBasicAudio* audio = nullptr;
  LONG volume = 1;
  *hr = media.GetMediaControl()->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio));
  if (SUCCEEDED(*hr)) {
    *hr = audio->get_Volume(&volume);
    audio->Release();
  }
  return volume;
}
