// Finds font files for a D3DX font description through fontconfig (its current configuration,
// which holds the files registered with AddFontResourceW). Window's thread.
#pragma once

#include <string>

#include "platform/d3dx9/d3dx9.h"

namespace d3dx {

struct FontFile {
  std::string path;    // native path for FreeType
  int index = 0;       // face index within the file
  std::string family;  // fontconfig's first family name for the face (UTF-8)
};

// The face whose family (any of fontconfig's names for it, case-insensitively) is the
// description's FaceName, nearest in weight and slant. When no face has that family: the best
// face for the description's CharSet script (serif, monospace or sans-serif after its
// PitchAndFamily), as the Windows font mapper falls back. False only when fontconfig knows no
// usable face at all.
bool MatchFontFace(const D3DXFONT_DESCW& desc, FontFile* out);

// A face that has a glyph for the code point, for characters the matched face lacks.
bool MatchFaceForCharacter(char32_t codePoint, const D3DXFONT_DESCW& desc, FontFile* out);

// UTF-16 to UTF-8, unpaired surrogates as U+FFFD.
std::string Utf8FromWide(const WCHAR* text, std::size_t length);

}  // namespace d3dx
