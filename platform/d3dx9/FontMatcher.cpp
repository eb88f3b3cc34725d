#include "platform/d3dx9/FontMatcher.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>

namespace d3dx {
namespace {

struct PatternFree {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetFree {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct CharSetFree {
  void operator()(FcCharSet* c) const { FcCharSetDestroy(c); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternFree>;

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

// A pattern for the description's style, with the given family, substituted as fontconfig
// does for every query.
PatternPtr StylePattern(const D3DXFONT_DESCW& desc, const char* family, const char* lang, FcCharSet* charSet) {
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  const int weight = desc.Weight == 0 ? FW_NORMAL : static_cast<int>(std::min<UINT>(desc.Weight, 1000));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern.get(), FC_SLANT, desc.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (lang) FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  if (charSet) FcPatternAddCharSet(pattern.get(), FC_CHARSET, charSet);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  return pattern;
}

bool ToFontFile(FcPattern* font, FontFile* out) {
  FcChar8* file = nullptr;
  FcChar8* family = nullptr;
  int index = 0;
  if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return false;
  FcPatternGetInteger(font, FC_INDEX, 0, &index);
  FcPatternGetString(font, FC_FAMILY, 0, &family);
  out->path = reinterpret_cast<const char*>(file);
  out->index = index;
  out->family = family ? reinterpret_cast<const char*>(family) : "";
  return true;
}

bool HasFamily(FcPattern* font, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) return true;
  }
  return false;
}

// The first font in fontconfig's order for the pattern that passes `accept`.
template <typename Accept>
bool FirstSorted(FcPattern* pattern, Accept accept, FontFile* out) {
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcFontSet, FontSetFree> sorted(FcFontSort(nullptr, pattern, FcTrue, nullptr, &result));
  if (!sorted) return false;
  for (int i = 0; i < sorted->nfont; ++i) {
    if (accept(sorted->fonts[i]) && ToFontFile(sorted->fonts[i], out)) return true;
  }
  return false;
}

}  // namespace

std::string Utf8FromWide(const WCHAR* text, std::size_t length) {
  std::string out;
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    FcChar8 buffer[FC_UTF8_MAX_LEN];
    const int n = FcUcs4ToUtf8(c, buffer);
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
  }
  return out;
}

bool MatchFontFace(const D3DXFONT_DESCW& desc, FontFile* out) {
  if (!FcInit()) return false;
  std::size_t length = 0;
  while (length < LF_FACESIZE && desc.FaceName[length] != 0) ++length;
  const std::string family = Utf8FromWide(desc.FaceName, length);
  const char* lang = LanguageOfCharSet(desc.CharSet);

  // fontconfig always answers a match, whatever the family: only a face that really carries
  // the family counts.
  if (!family.empty()) {
    if (PatternPtr pattern = StylePattern(desc, family.c_str(), nullptr, nullptr)) {
      FcResult result = FcResultNoMatch;
      PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
      if (match && HasFamily(match.get(), family) && ToFontFile(match.get(), out)) return true;
    }
  }
  PatternPtr fallback = StylePattern(desc, GenericFamily(desc.PitchAndFamily), lang, nullptr);
  if (!fallback) return false;
  const auto coversScript = [lang](FcPattern* font) {
    FcLangSet* langs = nullptr;
    return !lang || (FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
                     FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) != FcLangDifferentLang);
  };
  return FirstSorted(fallback.get(), coversScript, out) || FirstSorted(
                                                               fallback.get(), [](FcPattern*) { return true; }, out);
}

bool MatchFaceForCharacter(char32_t codePoint, const D3DXFONT_DESCW& desc, FontFile* out) {
  if (!FcInit()) return false;
  std::unique_ptr<FcCharSet, CharSetFree> wanted(FcCharSetCreate());
  if (!wanted || !FcCharSetAddChar(wanted.get(), codePoint)) return false;
  PatternPtr pattern = StylePattern(desc, GenericFamily(desc.PitchAndFamily), nullptr, wanted.get());
  if (!pattern) return false;
  return FirstSorted(
      pattern.get(),
      [codePoint](FcPattern* font) {
        FcCharSet* chars = nullptr;
        return FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch && FcCharSetHasChar(chars, codePoint);
      },
      out);
}

}  // namespace d3dx
