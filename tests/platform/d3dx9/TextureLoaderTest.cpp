// D3DXCreateTextureFromFileExW with the program's loading parameters, on the real device, on
// image files written by the test.
#include <SDL_image.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/d3dx9/ImageHeader.h"
#include "platform/d3dx9/d3dx9.h"
#include "support/DeviceFixture.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr D3DCOLOR kMagentaKey = 0xFFFF00FF;
// A pattern whose colour changes along both axes, so that a flipped or shifted image shows.
constexpr std::uint32_t kPalette[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF};
int PatternIndex(int x, int y) {
  return (x / 3 + y / 2) % 4;
}
std::uint32_t Pattern(int x, int y) {
  return kPalette[PatternIndex(x, y)];
}

void Put16(Bytes& b, unsigned v) {
  b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}
void Put32(Bytes& b, std::uint32_t v) {
  b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
}

enum class BmpKind { Rgb24, Rgb24TopDown, Palette8, Rle8 };

Bytes MakeBmp(int w, int h, BmpKind kind) {
  const bool palette = kind == BmpKind::Palette8 || kind == BmpKind::Rle8;
  const int bpp = palette ? 8 : 24;
  const int stride = (w * bpp / 8 + 3) & ~3;
  Bytes pixels;
  for (int row = 0; row < h; ++row) {
    const int y = kind == BmpKind::Rgb24TopDown ? row : h - 1 - row;  // rows are stored bottom first
    if (kind == BmpKind::Rle8) {
      for (int x = 0; x < w;) {
        int run = 1;
        while (x + run < w && run < 255 && PatternIndex(x + run, y) == PatternIndex(x, y)) ++run;
        pixels.insert(pixels.end(), {std::uint8_t(run), std::uint8_t(PatternIndex(x, y))});
        x += run;
      }
      pixels.insert(pixels.end(), {0, 0});  // end of line
      continue;
    }
    const std::size_t start = pixels.size();
    for (int x = 0; x < w; ++x) {
      if (palette) {
        pixels.push_back(std::uint8_t(PatternIndex(x, y)));
      } else {
        const std::uint32_t c = Pattern(x, y);
        pixels.insert(pixels.end(), {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16)});
      }
    }
    pixels.resize(start + stride, 0);
  }
  if (kind == BmpKind::Rle8) pixels.insert(pixels.end(), {0, 1});  // end of bitmap
  const std::uint32_t paletteBytes = palette ? 256 * 4 : 0;
  Bytes b = {'B', 'M'};
  Put32(b, 14 + 40 + paletteBytes + pixels.size());
  Put32(b, 0);
  Put32(b, 14 + 40 + paletteBytes);
  Put32(b, 40);
  Put32(b, w);
  Put32(b, kind == BmpKind::Rgb24TopDown ? -h : h);
  Put16(b, 1);
  Put16(b, bpp);
  Put32(b, kind == BmpKind::Rle8 ? 1 : 0);
  Put32(b, pixels.size());
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, palette ? 256 : 0);
  Put32(b, 0);
  for (std::uint32_t i = 0; i < paletteBytes / 4; ++i) Put32(b, i < 4 ? kPalette[i] : 0);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// A GIF with a four-colour palette, LZW-coded with a clear code before every two pixels so that
// every code stays three bits wide.
Bytes MakeGif(int w, int h) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, w);
  Put16(b, h);
  b.insert(b.end(), {0x81, 0, 0});  // global palette of 4 entries
  for (std::uint32_t c : kPalette) b.insert(b.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
  b.push_back(0x2C);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, w);
  Put16(b, h);
  b.push_back(0);
  b.push_back(2);  // minimum code size: clear 4, end 5
  Bytes codes;
  std::uint32_t acc = 0;
  int bits = 0;
  const auto emit = [&](unsigned code) {
    acc |= code << bits;
    bits += 3;
    while (bits >= 8) {
      codes.push_back(std::uint8_t(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  for (int i = 0; i < w * h; ++i) {
    if (i % 2 == 0) emit(4);
    emit(PatternIndex(i % w, i / w));
  }
  emit(5);
  if (bits > 0) codes.push_back(std::uint8_t(acc));
  for (std::size_t at = 0; at < codes.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
    b.push_back(std::uint8_t(n));
    b.insert(b.end(), codes.begin() + at, codes.begin() + at + n);
  }
  b.insert(b.end(), {0, 0x3B});
  return b;
}

// PNG or JPEG through SDL_image's writers.
Bytes SaveWithSdl(int w, int h, bool jpeg, const std::function<std::uint32_t(int, int)>& argb) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch)[x] = argb(x, y);
  const TempDir scratch("orbelle-sdl");
  const fs::path tmp = scratch.path() / "image";
  const int rc = jpeg ? IMG_SaveJPG(s, tmp.c_str(), 95) : IMG_SavePNG(s, tmp.c_str());
  SDL_FreeSurface(s);
  EXPECT_EQ(rc, 0) << IMG_GetError();
  std::ifstream in(tmp, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TextureLoaderTest : public DeviceFixture {
 protected:
  // Writes the file and returns its path in the program's (Windows) form.
  std::u16string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_.Write(name, bytes);
    std::u16string windows;
    for (char c : path.string()) windows.push_back(c == '/' ? u'\\' : static_cast<char16_t>(c));
    return windows;
  }

  HRESULT Load(const std::u16string& path, IDirect3DTexture9** texture, D3DXIMAGE_INFO* info = nullptr) {
    return D3DXCreateTextureFromFileExW(device_, path.c_str(), 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                        D3DX_FILTER_NONE, D3DX_FILTER_NONE, kMagentaKey, info, nullptr, texture);
  }

  TempDir dir_{"orbelle-d3dx"};
};

struct GoodCase {
  const char* name;
  int width, height;
  std::function<Bytes(int, int)> make;
  D3DXIMAGE_FILEFORMAT format;
  UINT textureWidth, textureHeight;
};

TEST_F(TextureLoaderTest, ImageSitsUnscaledTopLeftInPowerOfTwoTextureWithMagentaKeyedOut) {
  const auto png = [](int w, int h) {
    return SaveWithSdl(w, h, false, [](int x, int y) { return 0xFF000000u | Pattern(x, y); });
  };
  const GoodCase cases[] = {
      {"bottom-up 24-bit BMP", 300, 200, [](int w, int h) { return MakeBmp(w, h, BmpKind::Rgb24); }, D3DXIFF_BMP, 512,
       256},
      {"top-down 24-bit BMP", 300, 200, [](int w, int h) { return MakeBmp(w, h, BmpKind::Rgb24TopDown); }, D3DXIFF_BMP,
       512, 256},
      {"8-bit palettised BMP", 33, 17, [](int w, int h) { return MakeBmp(w, h, BmpKind::Palette8); }, D3DXIFF_BMP, 64,
       32},
      {"RLE8 BMP", 33, 17, [](int w, int h) { return MakeBmp(w, h, BmpKind::Rle8); }, D3DXIFF_BMP, 64, 32},
      {"PNG", 300, 200, png, D3DXIFF_PNG, 512, 256},
      {"GIF", 5, 3, MakeGif, D3DXIFF_GIF, 8, 4},
      {"exact power of two", 64, 32, [](int w, int h) { return MakeBmp(w, h, BmpKind::Rgb24); }, D3DXIFF_BMP, 64, 32},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(Load(Write("image", c.make(c.width, c.height)), &texture, &info), D3D_OK);
    EXPECT_EQ(info.Width, UINT(c.width));
    EXPECT_EQ(info.Height, UINT(c.height));
    EXPECT_EQ(info.ImageFileFormat, c.format);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, c.textureWidth);
    EXPECT_EQ(desc.Height, c.textureHeight);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    int wrong = 0;
    for (UINT y = 0; y < desc.Height; ++y) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (UINT x = 0; x < desc.Width; ++x) {
        std::uint32_t expected = 0;  // transparent black outside the image and for magenta
        if (x < UINT(c.width) && y < UINT(c.height) && Pattern(x, y) != 0xFF00FF)
          expected = 0xFF000000u | Pattern(x, y);
        if (row[x] != expected && wrong++ < 3) ADD_FAILURE() << "texel " << x << "," << y << ": " << std::hex << row[x];
      }
    }
    EXPECT_EQ(wrong, 0);
    texture->UnlockRect(0);
    texture->Release();
  }
}

TEST_F(TextureLoaderTest, JpegKeepsItsColoursWithinCompressionLoss) {
  IDirect3DTexture9* texture = nullptr;
  const Bytes jpeg = SaveWithSdl(40, 30, true, [](int x, int) { return x < 20 ? 0xFFE08020u : 0xFF2060C0u; });
  ASSERT_EQ(Load(Write("photo.jpg", jpeg), &texture), D3D_OK);
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 64u);
  EXPECT_EQ(desc.Height, 32u);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const auto texel = [&](int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch)[x];
  };
  const auto near = [](std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8) {
      if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 12) return false;
    }
    return true;
  };
  EXPECT_TRUE(near(texel(5, 15), 0xFFE08020u)) << std::hex << texel(5, 15);
  EXPECT_TRUE(near(texel(35, 15), 0xFF2060C0u)) << std::hex << texel(35, 15);
  EXPECT_EQ(texel(45, 15), 0u);
  EXPECT_EQ(texel(5, 31), 0u);
  texture->UnlockRect(0);
  texture->Release();
}

TEST_F(TextureLoaderTest, BadFilesFailWithoutTexture) {
  const Bytes png = SaveWithSdl(64, 64, false, [](int x, int y) { return 0xFF000000u | Pattern(x, y) | (x * y); });
  const Bytes jpeg = SaveWithSdl(64, 64, true, [](int x, int y) { return 0xFF000000u | (x * 4) << 8 | y * 4; });
  const Bytes bmp = MakeBmp(64, 64, BmpKind::Rgb24);
  Bytes random(4096);
  std::mt19937 rng(7);
  for (auto& byte : random) byte = std::uint8_t(rng());
  // A BMP header claiming 20000 x 20000 24-bit pixels (1.2 GB) followed by 100 bytes.
  Bytes hugeBmp = Bytes(bmp.begin(), bmp.begin() + 54 + 100);
  for (int i = 0; i < 4; ++i) hugeBmp[18 + i] = hugeBmp[22 + i] = std::uint8_t(20000 >> (8 * i));
  // A whole, honest BMP wider than any texture the device can make.
  const Bytes tooWide = MakeBmp(20000, 1, BmpKind::Rgb24);
  // PNG and GIF headers claiming 30000 x 30000 pixels in a small file.
  Bytes hugePng = png;
  for (int at : {16, 20}) hugePng[at + 2] = 0x75, hugePng[at + 3] = 0x30;
  Bytes hugeGif = MakeGif(5, 3);
  for (int at : {6, 8, 13 + 12 + 5, 13 + 12 + 7}) hugeGif[at] = 0x30, hugeGif[at + 1] = 0x75;

  struct BadCase {
    const char* name;
    Bytes bytes;
    bool headerTells;  // refused from the header alone, before any decoder allocates
  };
  const BadCase cases[] = {
      {"empty.bmp", {}, true},
      {"random.png", random, true},
      {"truncated.png", Bytes(png.begin(), png.begin() + png.size() / 2), false},
      {"truncated.jpg", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3), true},
      {"truncated.bmp", Bytes(bmp.begin(), bmp.end() - 200), true},
      {"huge.bmp", hugeBmp, true},
      {"toowide.bmp", tooWide, true},
      {"huge.png", hugePng, true},
      {"huge.gif", hugeGif, true},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(Load(Write(c.name, c.bytes), &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
    d3dx::ImageHeader header;
    if (c.headerTells) {
      EXPECT_EQ(d3dx::ReadImageHeader(c.bytes, 16384, 16384, &header), D3DXERR_INVALIDDATA);
    }
  }
  IDirect3DTexture9* texture = nullptr;
  EXPECT_TRUE(FAILED(Load(u"no\\such\\file.bmp", &texture)));
  EXPECT_EQ(texture, nullptr);
}

}  // namespace
