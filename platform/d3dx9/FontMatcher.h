// Turns a D3DX font description into queries of the program's one face lookup
// (platform/fontlookup), which GDI text shares: a GDI character set becomes the language a face
// must cover, PitchAndFamily a generic family. Window's thread.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "platform/fontlookup/FontLookup.h"

namespace d3dx {

using FontFile = fontlookup::FontFile;

// The face whose family (any of fontconfig's names for it, case-insensitively) is the
// description's FaceName, nearest in weight and slant. When no face has that family: the best
// face for the description's CharSet script (serif, monospace or sans-serif after its
// PitchAndFamily), as the Windows font mapper falls back. False only when fontconfig knows no
// usable face at all.
bool MatchFontFace(const D3DXFONT_DESCW& desc, FontFile* out);

// A face that has a glyph for the code point, for characters the matched face lacks.
bool MatchFaceForCharacter(char32_t codePoint, const D3DXFONT_DESCW& desc, FontFile* out);

// UTF-16 to code points, unpaired surrogates as U+FFFD.
std::vector<char32_t> DecodeUtf16(const WCHAR* text, std::size_t length);
// UTF-16 to UTF-8, unpaired surrogates as U+FFFD.
std::string Utf8FromWide(const WCHAR* text, std::size_t length);

}  // namespace d3dx
