// The texture slot table on a real device: what a load records, slot replacement and release,
// the bounds of slot ids and paths, and the standard loading parameters.
#include "scene/TextureTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "scene/ImageFixtures.h"
#include "support/TestDevice.h"

namespace {

// A 3 x 2 picture with distinct opaque colours.
const std::vector<DWORD> kSmall = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF0F1F2F};

class TextureTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.path().empty());
    ASSERT_NE(nullptr, device.get()) << "no Direct3D device (is DISPLAY set?)";
    for (const char* name : {"a.bmp", "a.BMP", "a.Bmp"}) folder.Write(name, MakeBmp(3, 2, kSmall));
    folder.Write("topdown.bmp", MakeBmp(3, -2, kSmall));
    folder.Write("v4header.bmp", MakeBmp(3, 2, kSmall, 108));
    ASSERT_TRUE(WritePng(folder.path() / "a.png", 3, 2, kSmall));
  }
  std::u16string Path(const std::string& name) const { return folder.WindowsPath(name); }

  TempFolder folder;
  TestDevice device;
};

TEST_F(TextureTableTest, RecordsTheBitmapSizeOnlyForDotBmpInEitherCaseAndAPlainHeader) {
  struct Case {
    const char* file;
    int width, height;
  } cases[] = {
      {"a.bmp", 3, 2},        {"a.BMP", 3, 2}, {"a.Bmp", 0, 0},
      {"topdown.bmp", 3, -2}, {"a.png", 0, 0}, {"v4header.bmp", 0, 0},
  };
  CTextureTable table(device.get());
  int slot = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    table.LoadTextureIntoSlot(Path(c.file).c_str(), slot);
    ASSERT_NE(nullptr, table.GetSlotTexture(slot));
    const TextureEntry& entry = table.Entries().back();
    EXPECT_EQ(slot, entry.slotId);
    EXPECT_EQ(c.width, entry.width);
    EXPECT_EQ(c.height, entry.height);
    EXPECT_EQ(entry.texture, table.GetSlotTexture(slot));
    ++slot;
  }
  EXPECT_EQ(std::size(cases), table.Entries().size());
}

TEST_F(TextureTableTest, ReloadingASlotReleasesTheOldTextureAndKeepsItsEntry) {
  CTextureTable table(device.get());
  table.LoadTextureIntoSlot(Path("a.bmp").c_str(), TEXID_MENU);
  IDirect3DTexture9* first = table.GetSlotTexture(TEXID_MENU);
  ASSERT_NE(nullptr, first);
  first->AddRef();

  table.LoadTextureIntoSlot(Path("a.png").c_str(), TEXID_MENU);
  EXPECT_EQ(0u, first->Release()) << "the table still holds the replaced texture";
  ASSERT_EQ(2u, table.Entries().size());
  EXPECT_EQ(nullptr, table.Entries()[0].texture);
  EXPECT_EQ(TEXID_MENU, table.Entries()[0].slotId);
  EXPECT_EQ(table.Entries()[1].texture, table.GetSlotTexture(TEXID_MENU));
  EXPECT_NE(nullptr, table.GetSlotTexture(TEXID_MENU));

  // A failed reload still releases what the slot held and leaves it empty.
  table.LoadTextureIntoSlot(Path("missing.png").c_str(), TEXID_MENU);
  EXPECT_EQ(nullptr, table.GetSlotTexture(TEXID_MENU));
  ASSERT_EQ(2u, table.Entries().size());
  EXPECT_EQ(nullptr, table.Entries()[1].texture);
}

TEST_F(TextureTableTest, SlotIdsOutsideTheMapAreIgnored) {
  CTextureTable table(device.get());
  for (int slot : {TEXTURE_SLOT_COUNT, TEXTURE_SLOT_COUNT + 1, -1, INT_MIN, INT_MAX}) {
    table.LoadTextureIntoSlot(Path("a.bmp").c_str(), slot);
    EXPECT_EQ(nullptr, table.GetSlotTexture(slot)) << slot;
  }
  EXPECT_TRUE(table.Entries().empty());
  table.LoadTextureIntoSlot(Path("a.bmp").c_str(), TEXTURE_SLOT_COUNT - 1);
  EXPECT_NE(nullptr, table.GetSlotTexture(TEXTURE_SLOT_COUNT - 1));
  EXPECT_EQ(nullptr, table.GetSlotTexture(0));
}

TEST_F(TextureTableTest, FailedLoadsLeaveTheSlotEmpty) {
  folder.Write("empty.png", {});
  folder.Write("garbage.png", std::vector<BYTE>(64, 0x5A));
  CTextureTable table(device.get());
  for (const char* name : {"missing.bmp", "empty.png", "garbage.png"}) {
    table.LoadTextureIntoSlot(Path(name).c_str(), 7);
    EXPECT_EQ(nullptr, table.GetSlotTexture(7)) << name;
  }
  table.LoadTextureIntoSlot(nullptr, 7);
  EXPECT_EQ(nullptr, table.GetSlotTexture(7));
  EXPECT_TRUE(table.Entries().empty());

  CTextureTable noDevice(nullptr);
  IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
  EXPECT_EQ(E_FAIL, noDevice.CreateTextureFromImageFile(Path("a.bmp").c_str(), &texture));
  EXPECT_EQ(nullptr, texture);
  noDevice.LoadTextureIntoSlot(Path("a.bmp").c_str(), 0);
  EXPECT_EQ(nullptr, noDevice.GetSlotTexture(0));
}

// The path buffer holds 259 code units and a terminator. A longer path must fail, not be cut to
// its first 259 units, which here name a real file.
TEST_F(TextureTableTest, APathOfMaxPathCodeUnitsOrMoreFailsInsteadOfNamingAnotherFile) {
  const std::size_t prefix = Path("").size();
  ASSERT_LT(prefix + 5, 259u);
  const std::string name = std::string(259 - prefix - 4, 'n') + ".png";
  ASSERT_TRUE(WritePng(folder.path() / name, 3, 2, kSmall));
  const std::u16string exact = Path(name);
  ASSERT_EQ(259u, exact.size());

  CTextureTable table(device.get());
  table.LoadTextureIntoSlot(exact.c_str(), 1);
  EXPECT_NE(nullptr, table.GetSlotTexture(1)) << "a 259-unit path fits";

  for (std::size_t extra : {1u, 41u, 4000u}) {
    const std::u16string longer = exact + std::u16string(extra, u'x');
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(HRESULT_PATH_TOO_LONG, table.CreateTextureFromImageFile(longer.c_str(), &texture)) << extra;
    EXPECT_EQ(nullptr, texture);
    table.LoadTextureIntoSlot(longer.c_str(), 2);
    EXPECT_EQ(nullptr, table.GetSlotTexture(2)) << extra;
  }
}

TEST_F(TextureTableTest, ReleaseAllTexturesReleasesEveryTextureAndEmptiesEverySlot) {
  CTextureTable table(device.get());
  table.LoadTextureIntoSlot(Path("a.bmp").c_str(), 0);
  table.LoadTextureIntoSlot(Path("a.png").c_str(), 1);
  IDirect3DTexture9* held[] = {table.GetSlotTexture(0), table.GetSlotTexture(1)};
  for (IDirect3DTexture9* t : held) {
    ASSERT_NE(nullptr, t);
    t->AddRef();
  }
  table.ReleaseAllTextures();
  EXPECT_TRUE(table.Entries().empty());
  EXPECT_EQ(nullptr, table.GetSlotTexture(0));
  EXPECT_EQ(nullptr, table.GetSlotTexture(1));
  for (IDirect3DTexture9* t : held) EXPECT_EQ(0u, t->Release());

  // The table stays usable.
  table.LoadTextureIntoSlot(Path("a.bmp").c_str(), 0);
  EXPECT_NE(nullptr, table.GetSlotTexture(0));
}

// A 300 x 200 bitmap: a power-of-two texture with the picture unscaled in its top-left corner,
// transparent black around it, and its opaque magenta keyed out.
TEST_F(TextureTableTest, LoadsUnscaledIntoAPowerOfTwoTextureWithMagentaKeyedOut) {
  std::vector<DWORD> pixels(300 * 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) pixels[y * 300 + x] = 0xFF000000u | (x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x33;
  pixels[0] = 0xFFFF00FF;
  folder.Write("big.bmp", MakeBmp(300, 200, pixels));

  CTextureTable table(device.get());
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(S_OK, table.CreateTextureFromImageFile(Path("big.bmp").c_str(), &texture));
  ASSERT_NE(nullptr, texture);
  EXPECT_TRUE(table.Entries().empty());
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(S_OK, texture->GetLevelDesc(0, &desc));
  EXPECT_EQ(512u, desc.Width);
  EXPECT_EQ(256u, desc.Height);
  EXPECT_EQ(D3DPOOL_MANAGED, desc.Pool);

  D3DLOCKED_RECT locked{};
  ASSERT_EQ(S_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
  auto texel = [&](int x, int y) {
    return reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x];
  };
  EXPECT_EQ(0x00000000u, texel(0, 0)) << "magenta becomes transparent black";
  EXPECT_EQ(pixels[1], texel(1, 0));
  EXPECT_EQ(pixels[199 * 300 + 299], texel(299, 199));
  EXPECT_EQ(pixels[123 * 300 + 45], texel(45, 123));
  EXPECT_EQ(0x00000000u, texel(300, 0));
  EXPECT_EQ(0x00000000u, texel(0, 200));
  EXPECT_EQ(0x00000000u, texel(511, 255));
  texture->UnlockRect(0);
  texture->Release();
}

TEST(ReadBitmapSize, GivesZeroForAnythingButAnUncompressedBitmapWithAPlainHeader) {
  TempFolder folder;
  const std::vector<BYTE> good = MakeBmp(3, 2, kSmall);
  folder.Write("good.bmp", good);
  folder.Write("rle.bmp", MakeBmp(3, 2, kSmall, 40, 1));
  folder.Write("short-info.bmp", std::vector<BYTE>(good.begin(), good.begin() + 14 + 39));
  folder.Write("short-file.bmp", std::vector<BYTE>(good.begin(), good.begin() + 13));
  std::vector<BYTE> notBm = good;
  notBm[1] = 'A';
  folder.Write("not-bm.bmp", notBm);
  struct Case {
    const char* file;
    int width, height;
  } cases[] = {{"good.bmp", 3, 2},       {"rle.bmp", 0, 0},    {"short-info.bmp", 0, 0},
               {"short-file.bmp", 0, 0}, {"not-bm.bmp", 0, 0}, {"missing.bmp", 0, 0}};
  for (const Case& c : cases) {
    const BitmapSize size = CTextureTable::ReadBitmapSize(folder.WindowsPath(c.file).c_str());
    EXPECT_EQ(c.width, size.width) << c.file;
    EXPECT_EQ(c.height, size.height) << c.file;
  }
}

}  // namespace
