// The UI font set on a real device: its description, and the release of both objects.
#include "scene/FontSet.h"

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "support/TestDevice.h"

namespace {

TEST(FontSet, CreatesTheJapaneseUiFontAndItsSpriteAndReleasesBoth) {
  TestDevice device;
  ASSERT_NE(nullptr, device.get());
  auto set = std::make_unique<FontSet>();
  set->Create(device.get());
  ASSERT_NE(nullptr, set->m_font);
  ASSERT_NE(nullptr, set->m_sprite);

  D3DXFONT_DESCW desc{};
  ASSERT_EQ(S_OK, set->m_font->GetDescW(&desc));
  EXPECT_EQ(16, desc.Height);
  EXPECT_EQ(0u, desc.Width);
  EXPECT_EQ(200u, desc.Weight);
  EXPECT_FALSE(desc.Italic);
  EXPECT_EQ(SHIFTJIS_CHARSET, desc.CharSet);
  EXPECT_EQ(std::u16string_view(u"しねきゃぷしょん"), std::u16string_view(desc.FaceName));

  ID3DXFont* font = set->m_font;
  ID3DXSprite* sprite = set->m_sprite;
  font->AddRef();
  sprite->AddRef();
  set.reset();
  EXPECT_EQ(0u, sprite->Release());
  EXPECT_EQ(0u, font->Release());
}

TEST(FontSet, WithoutADeviceBothMembersStayNull) {
  FontSet set;
  set.Create(nullptr);
  EXPECT_EQ(nullptr, set.m_font);
  EXPECT_EQ(nullptr, set.m_sprite);
}

}  // namespace
