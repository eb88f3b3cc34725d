// D3DX fonts and sprites on the real device: face lookup through fontconfig with the process's
// registered fonts, and text read back from the back buffer.
#include <fontconfig/fontconfig.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9_testing.h"
#include "platform/d3dx9/Font.h"
#include "platform/d3dx9/d3dx9.h"
#include "support/DeviceFixture.h"

namespace {

constexpr const char16_t* kUiFontFile = u".\\font\\cinecaption2.24.TTF";
constexpr const char* kUiFamily = "しねきゃぷしょん";
constexpr D3DCOLOR kBlack = 0xFF000000;

// The program's UI font description.
D3DXFONT_DESCW UiFontDesc() {
  D3DXFONT_DESCW desc{16, 0, 200, 0, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, {}};
  std::u16string_view face = u"しねきゃぷしょん";
  std::copy(face.begin(), face.end(), desc.FaceName);
  return desc;
}

std::string UiFontPath() {
  return (std::filesystem::current_path() / "font" / "cinecaption2.24.TTF").lexically_normal().string();
}

// The file fontconfig answers for a family, or "" when the best match has another family.
std::string FontconfigFileForFamily(const char* family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8 *name = nullptr, *path = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
      std::string(reinterpret_cast<char*>(name)) == family &&
      FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
    file = reinterpret_cast<char*>(path);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return file;
}

bool FileCoversLanguage(const std::string& file, const char* lang) {
  int count = 0;
  FcPattern* face = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr, &count);
  FcLangSet* langs = nullptr;
  const bool covers = face && FcPatternGetLangSet(face, FC_LANG, 0, &langs) == FcResultMatch &&
                      FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) == FcLangEqual;
  if (face) FcPatternDestroy(face);
  return covers;
}

struct Ink {
  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN, count = 0;
};

class FontTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    ASSERT_GT(AddFontResourceW(kUiFontFile), 0) << "font files are made by the build in bin/font";
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite_), D3D_OK);
  }
  void TearDown() override {
    if (font_) font_->Release();
    if (sprite_) sprite_->Release();
    RemoveFontResourceW(kUiFontFile);
    DeviceFixture::TearDown();
  }

  void CreateUiFont() {
    const D3DXFONT_DESCW desc = UiFontDesc();
    ASSERT_EQ(D3DXCreateFontIndirectW(device_, &desc, &font_), D3D_OK);
  }

  // Draws the text alone on a black back buffer and reads it back.
  void Draw(const char16_t* text, RECT rect, DWORD format, D3DCOLOR color) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE), D3D_OK);
    EXPECT_GT(font_->DrawTextW(sprite_, text, -1, &rect, format, color), 0);
    ASSERT_EQ(sprite_->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    UINT w = 0, h = 0;
    pixels_ = D3D9TestReadBackBuffer(device_, &w, &h);
    ASSERT_EQ(w, kWidth);
    ASSERT_EQ(h, kHeight);
  }

  DWORD Pixel(int x, int y) const { return pixels_[y * kWidth + x]; }

  Ink InkIn(int x0, int y0, int x1, int y1) const {
    Ink ink;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        if (Pixel(x, y) == kBlack) continue;
        ink.minX = std::min(ink.minX, x), ink.maxX = std::max(ink.maxX, x);
        ink.minY = std::min(ink.minY, y), ink.maxY = std::max(ink.maxY, y);
        ++ink.count;
      }
    }
    return ink;
  }
  Ink AllInk() const { return InkIn(0, 0, kWidth, kHeight); }

  int TextWidth(const std::u16string& text) {
    RECT r{0, 0, 0, 0};
    font_->DrawTextW(nullptr, text.c_str(), -1, &r, DT_CALCRECT | DT_NOCLIP, kBlack);
    return r.right;
  }

  ID3DXFont* font_ = nullptr;
  ID3DXSprite* sprite_ = nullptr;
  std::vector<DWORD> pixels_;
};

TEST_F(FontTest, RegisteredFamilyResolvesToItsFileAndFallsBackWhenRemoved) {
  const std::string registered = UiFontPath();
  EXPECT_EQ(FontconfigFileForFamily(kUiFamily), registered);
  CreateUiFont();
  EXPECT_EQ(static_cast<d3dx::Font*>(font_)->facePath(), registered);
  font_->Release();
  font_ = nullptr;

  ASSERT_TRUE(RemoveFontResourceW(kUiFontFile));
  EXPECT_FALSE(RemoveFontResourceW(kUiFontFile));
  EXPECT_EQ(FontconfigFileForFamily(kUiFamily), "");
  // No face has the family now: the best face for the Japanese character set stands in.
  CreateUiFont();
  const std::string fallback = static_cast<d3dx::Font*>(font_)->facePath();
  EXPECT_NE(fallback, registered);
  EXPECT_TRUE(FileCoversLanguage(fallback, "ja")) << fallback;
  ASSERT_GT(AddFontResourceW(kUiFontFile), 0);  // for TearDown's removal
}

TEST_F(FontTest, JapaneseTextIsDrawnGlyphByGlyphInTheTextColour) {
  CreateUiFont();
  const std::u16string text = u"カメラ固定：オフ";
  Draw(text.c_str(), RECT{20, 450, 640, 480}, DT_NOCLIP, 0xFFFF0000);

  const int width = TextWidth(text);
  const Ink ink = AllInk();
  ASSERT_GT(ink.count, 0);
  EXPECT_GE(ink.minX, 20);
  EXPECT_LT(ink.maxX, 20 + width);
  EXPECT_GE(ink.minY, 450);
  EXPECT_LT(ink.maxY, 450 + 16);
  for (int y = ink.minY; y <= ink.maxY; ++y) {
    for (int x = ink.minX; x <= ink.maxX; ++x) {
      ASSERT_EQ(Pixel(x, y) & 0x0000FFFF, 0u) << "only red ink at " << x << "," << y;
    }
  }
  // Every character has ink of its own in its cell, and no two cells look alike (a missing
  // glyph would be empty or the same box each time).
  std::set<std::vector<bool>> shapes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    SCOPED_TRACE(i);
    const int x0 = 20 + TextWidth(text.substr(0, i)), x1 = 20 + TextWidth(text.substr(0, i + 1));
    std::vector<bool> shape;
    for (int y = 450; y < 466; ++y)
      for (int x = x0; x < x0 + 16; ++x) shape.push_back(x < x1 && Pixel(x, y) != kBlack);
    EXPECT_GT(InkIn(x0, 450, x1, 466).count, 4);
    shapes.insert(shape);
  }
  EXPECT_EQ(shapes.size(), text.size());
}

TEST_F(FontTest, FormatFlagsPlaceAndClipTheText) {
  CreateUiFont();
  RECT measured{0, 0, 0, 0};
  EXPECT_EQ(font_->DrawTextW(nullptr, u"AB\nC", -1, &measured, DT_CALCRECT, kBlack), 32);
  EXPECT_EQ(font_->DrawTextW(nullptr, u"AB\nC", -1, &measured, DT_CALCRECT | DT_SINGLELINE, kBlack), 16);
  EXPECT_EQ(measured.bottom, 16);

  struct Case {
    const char* name;
    RECT rect;
    DWORD format;
    RECT inkWithin;   // the ink's bounding box must lie inside
    RECT inkReaches;  // and must reach into each edge band: minX <= left, maxX >= right, ...
  };
  const Case cases[] = {
      // About 100 pixels of text, 16 high: centred in 100..300 x 100..200 it spans x 150..250, y 142..158.
      {"centred",
       {100, 100, 300, 200},
       DT_CENTER | DT_VCENTER | DT_SINGLELINE,
       {140, 142, 260, 158},
       {160, 146, 240, 154}},
      {"right bottom",
       {100, 100, 300, 200},
       DT_RIGHT | DT_BOTTOM | DT_SINGLELINE,
       {180, 184, 300, 200},
       {230, 190, 290, 195}},
      {"clipped", {100, 100, 130, 200}, DT_LEFT, {100, 100, 130, 116}, {102, 104, 125, 110}},
      {"not clipped", {100, 100, 130, 200}, DT_NOCLIP, {100, 100, 220, 116}, {102, 104, 180, 110}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Draw(u"カメラ固定：オン", c.rect, c.format, 0xFFFFFFFF);
    const Ink ink = AllInk();
    EXPECT_GE(ink.minX, c.inkWithin.left);
    EXPECT_GE(ink.minY, c.inkWithin.top);
    EXPECT_LT(ink.maxX, c.inkWithin.right);
    EXPECT_LT(ink.maxY, c.inkWithin.bottom);
    EXPECT_LE(ink.minX, c.inkReaches.left);
    EXPECT_LE(ink.minY, c.inkReaches.top);
    EXPECT_GE(ink.maxX, c.inkReaches.right);
    EXPECT_GE(ink.maxY, c.inkReaches.bottom);
  }
}

TEST_F(FontTest, SpriteRestoresTheRenderStatesItChanged) {
  const std::pair<D3DRENDERSTATETYPE, DWORD> before[] = {
      {D3DRS_ALPHABLENDENABLE, FALSE}, {D3DRS_ZENABLE, D3DZB_TRUE}, {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_ALPHATESTENABLE, TRUE},   {D3DRS_ALPHAREF, 8},         {D3DRS_LIGHTING, TRUE},
  };
  for (auto [state, value] : before) device_->SetRenderState(state, value);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
  EXPECT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3DERR_INVALIDCALL);
  DWORD blend = FALSE;
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
  EXPECT_EQ(blend, DWORD(TRUE));
  ASSERT_EQ(sprite_->End(), D3D_OK);
  for (auto [state, value] : before) {
    DWORD now = 0;
    device_->GetRenderState(state, &now);
    EXPECT_EQ(now, value) << "state " << state;
  }
}

}  // namespace
