// Numbered texture slots shared by all drawing code, and the one routine that turns an image
// file into a texture (managed pool, power-of-two size, image unscaled in the top-left corner,
// opaque magenta keyed to transparent black). One table per device lifetime. Window thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/d3d9/d3d9.h"

constexpr int TEXTURE_SLOT_COUNT = 20000;

// Slots of the start-up images.
constexpr int TEXID_FONT = 0;
constexpr int TEXID_ORBELLE = 1;
constexpr int TEXID_LENSBACK = 2;
constexpr int TEXID_MENU = 3;

// One successful load. An entry whose slot was loaded again stays in the list with a null texture.
struct TextureEntry {
  int slotId;
  int width;                   // of the source bitmap for a ".bmp"/".BMP" file with a plain 40-byte header, else 0
  int height;                  // likewise; negative for a top-down bitmap, as stored in the file
  IDirect3DTexture9* texture;  // owned; null once released
};

struct BitmapSize {
  int width;
  int height;
};

class CTextureTable {
 public:
  // A null device makes every load fail.
  explicit CTextureTable(IDirect3DDevice9* device);
  ~CTextureTable();
  CTextureTable(const CTextureTable&) = delete;
  CTextureTable& operator=(const CTextureTable&) = delete;

  // Loads the file into the slot, releasing what the slot held first, so a failed reload leaves
  // the slot empty. Slot ids outside 0..TEXTURE_SLOT_COUNT-1 are ignored.
  void LoadTextureIntoSlot(LPCWSTR path, int slotId);

  // Creates a texture from an image file with the standard parameters; the table does not record
  // it. E_FAIL without a device; HRESULT_PATH_TOO_LONG for a null path or one of MAX_PATH (260)
  // code units or more; otherwise the loader's result.
  HRESULT CreateTextureFromImageFile(LPCWSTR path, IDirect3DTexture9** texture);

  // Width and height from a BMP file's headers when the file is an uncompressed bitmap with a
  // 40-byte info header; {0, 0} for anything else or a file that cannot be read.
  static BitmapSize ReadBitmapSize(LPCWSTR path);

  // The slot's current texture, not add-referenced; null for an empty slot or an id out of range.
  IDirect3DTexture9* GetSlotTexture(int slotId) const;

  // Releases every texture still held, empties the entries and marks every slot empty.
  void ReleaseAllTextures();

  const std::vector<TextureEntry>& Entries() const { return m_entries; }

 private:
  static bool IsSlotId(int slotId) { return slotId >= 0 && slotId < TEXTURE_SLOT_COUNT; }

  IDirect3DDevice9* m_device;
  std::vector<TextureEntry> m_entries;
  std::unique_ptr<int[]> m_slotMap;  // entry index per slot, -1 when empty
};

// ERROR_FILENAME_EXCED_RANGE as an HRESULT.
constexpr HRESULT HRESULT_PATH_TOO_LONG = static_cast<HRESULT>(0x800700CEu);
