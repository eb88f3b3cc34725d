#include "platform/d3dx9/FontMatcher.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <utility>

namespace d3dx {
namespace {

// The language whose coverage stands for a GDI character set; null for "any".
const char* LanguageOfCharSet(BYTE charSet) {
  switch (charSet) {
    case ANSI_CHARSET:
      return "en";
    case SHIFTJIS_CHARSET:
      return "ja";
    case HANGUL_CHARSET:
      return "ko";
    case GB2312_CHARSET:
      return "zh-cn";
    case CHINESEBIG5_CHARSET:
      return "zh-tw";
    case GREEK_CHARSET:
      return "el";
    case TURKISH_CHARSET:
      return "tr";
    case HEBREW_CHARSET:
      return "he";
    case ARABIC_CHARSET:
      return "ar";
    case BALTIC_CHARSET:
      return "lt";
    case RUSSIAN_CHARSET:
      return "ru";
    case THAI_CHARSET:
      return "th";
    case EASTEUROPE_CHARSET:
      return "pl";
    default:
      return nullptr;
  }
}

const char* GenericFamily(BYTE pitchAndFamily) {
  if ((pitchAndFamily & 0xF0) == FF_ROMAN) return "serif";
  if ((pitchAndFamily & 0xF0) == FF_MODERN || (pitchAndFamily & 3) == FIXED_PITCH) return "monospace";
  return "sans-serif";
}

// The description's style, for the given family.
fontlookup::FaceQuery StyleQuery(const D3DXFONT_DESCW& desc, std::string family) {
  fontlookup::FaceQuery query;
  query.family = std::move(family);
  query.weight = desc.Weight == 0 ? FW_NORMAL : static_cast<int>(std::min<UINT>(desc.Weight, 1000));
  query.italic = desc.Italic != FALSE;
  query.scalableOnly = true;
  return query;
}

}  // namespace

std::vector<char32_t> DecodeUtf16(const WCHAR* text, std::size_t length) {
  std::vector<char32_t> out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    out.push_back(c);
  }
  return out;
}

std::string Utf8FromWide(const WCHAR* text, std::size_t length) {
  std::string out;
  for (char32_t c : DecodeUtf16(text, length)) {
    FcChar8 buffer[FC_UTF8_MAX_LEN];
    const int n = FcUcs4ToUtf8(c, buffer);
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
  }
  return out;
}

bool MatchFontFace(const D3DXFONT_DESCW& desc, FontFile* out) {
  std::size_t length = 0;
  while (length < LF_FACESIZE && desc.FaceName[length] != 0) ++length;
  const std::string family = Utf8FromWide(desc.FaceName, length);

  // fontconfig always answers a match, whatever the family: only a face that really carries
  // the family counts.
  if (!family.empty() && fontlookup::MatchFace(StyleQuery(desc, family), fontlookup::FamilyMatch::Exact, out))
    return true;
  fontlookup::FaceQuery fallback = StyleQuery(desc, GenericFamily(desc.PitchAndFamily));
  fallback.language = LanguageOfCharSet(desc.CharSet);
  return fontlookup::SortedFace(fallback, fontlookup::Coverage::Required, out) ||
         fontlookup::SortedFace(fallback, fontlookup::Coverage::Preferred, out);
}

bool MatchFaceForCharacter(char32_t codePoint, const D3DXFONT_DESCW& desc, FontFile* out) {
  fontlookup::FaceQuery query = StyleQuery(desc, GenericFamily(desc.PitchAndFamily));
  query.character = codePoint;
  return fontlookup::SortedFace(query, fontlookup::Coverage::Required, out);
}

}  // namespace d3dx
