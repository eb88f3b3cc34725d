#include "scene/TextureTable.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/d3dx9/d3dx9.h"
#include "platform/win32/win32.h"

namespace {

constexpr D3DCOLOR kColorKeyMagenta = 0xFFFF00FF;

std::int32_t ReadInt32(const BYTE* p) {
  std::uint32_t v =
      std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
  return static_cast<std::int32_t>(v);
}

bool ReadExactly(HANDLE file, BYTE* buffer, DWORD count) {
  DWORD read = 0;
  return ReadFile(file, buffer, count, &read, nullptr) && read == count;
}

}  // namespace

CTextureTable::CTextureTable(IDirect3DDevice9* device)
    : m_device(device), m_slotMap(std::make_unique<int[]>(TEXTURE_SLOT_COUNT)) {
  std::fill_n(m_slotMap.get(), TEXTURE_SLOT_COUNT, -1);
}

CTextureTable::~CTextureTable() {
  ReleaseAllTextures();
}

void CTextureTable::LoadTextureIntoSlot(LPCWSTR path, int slotId) {
  if (!IsSlotId(slotId)) return;

  int& mapped = m_slotMap[slotId];
  if (mapped >= 0) {
    TextureEntry& old = m_entries[mapped];
    if (old.texture) {
      old.texture->Release();
      old.texture = nullptr;
    }
  }

  BitmapSize size{0, 0};
  if (path) {
    WCHAR ext[_MAX_EXT] = {};
    _wsplitpath(path, nullptr, nullptr, nullptr, ext);
    // Case-sensitive on purpose: only these two spellings count as bitmaps here.
    std::u16string_view e(ext);
    if (e == u".BMP" || e == u".bmp") size = ReadBitmapSize(path);
  }

  IDirect3DTexture9* texture = nullptr;
  if (CreateTextureFromImageFile(path, &texture) == S_OK && texture) {
    mapped = static_cast<int>(m_entries.size());
    m_entries.push_back({slotId, size.width, size.height, texture});
  } else {
    if (texture) texture->Release();
    mapped = -1;
  }
}

HRESULT CTextureTable::CreateTextureFromImageFile(LPCWSTR path, IDirect3DTexture9** texture) {
  if (texture) *texture = nullptr;
  if (!m_device) return E_FAIL;
  // The path goes through a MAX_PATH buffer; a longer one is refused rather than cut to another file.
  if (!path || lstrlenW(path) >= MAX_PATH) return HRESULT_PATH_TOO_LONG;
  WCHAR buffer[MAX_PATH];
  lstrcpynW(buffer, path, MAX_PATH);
  return D3DXCreateTextureFromFileExW(m_device, buffer, 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                      D3DX_FILTER_NONE, kColorKeyMagenta, nullptr, nullptr, texture);
}

BitmapSize CTextureTable::ReadBitmapSize(LPCWSTR path) {
  BitmapSize size{0, 0};
  if (!path) return size;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return size;

  BYTE fileHeader[14];
  BYTE info[40];
  if (ReadExactly(file, fileHeader, sizeof fileHeader) && fileHeader[0] == 'B' && fileHeader[1] == 'M' &&
      ReadExactly(file, info, sizeof info) && ReadInt32(info) == 40 && ReadInt32(info + 16) == 0) {
    size.width = ReadInt32(info + 4);
    size.height = ReadInt32(info + 8);
  }
  CloseHandle(file);
  return size;
}

IDirect3DTexture9* CTextureTable::GetSlotTexture(int slotId) const {
  if (!IsSlotId(slotId)) return nullptr;
  int index = m_slotMap[slotId];
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return nullptr;
  return m_entries[index].texture;
}

void CTextureTable::ReleaseAllTextures() {
  for (TextureEntry& entry : m_entries) {
    if (entry.texture) {
      entry.texture->Release();
      entry.texture = nullptr;
    }
    entry.slotId = -1;
  }
  m_entries.clear();
  // The map would otherwise point into the emptied list.
  std::fill_n(m_slotMap.get(), TEXTURE_SLOT_COUNT, -1);
}
