#include "platform/fontlookup/FontLookup.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace fontlookup {
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

const FcChar8* Utf8(const char* text) {
  return reinterpret_cast<const FcChar8*>(text);
}

PatternPtr QueryPattern(const FaceQuery& query) {
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPatternAddString(pattern.get(), FC_FAMILY, Utf8(query.family.c_str()));
  if (query.weight) FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(*query.weight));
  if (query.italic) FcPatternAddInteger(pattern.get(), FC_SLANT, *query.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (query.scalableOnly) FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (query.language) FcPatternAddString(pattern.get(), FC_LANG, Utf8(query.language));
  if (query.character) {
    std::unique_ptr<FcCharSet, CharSetFree> chars(FcCharSetCreate());
    if (!chars || !FcCharSetAddChar(chars.get(), *query.character)) return nullptr;
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, chars.get());  // the pattern keeps its own copy
  }
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
    if (FcStrCmpIgnoreCase(name, Utf8(family.c_str())) == 0) return true;
  }
  return false;
}

bool Covers(FcPattern* font, const FaceQuery& query) {
  if (query.language) {
    FcLangSet* langs = nullptr;
    if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) != FcResultMatch ||
        FcLangSetHasLang(langs, Utf8(query.language)) == FcLangDifferentLang)
      return false;
  }
  if (query.character) {
    FcCharSet* chars = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch || !FcCharSetHasChar(chars, *query.character))
      return false;
  }
  return true;
}

}  // namespace

bool MatchFace(const FaceQuery& query, FamilyMatch familyMatch, FontFile* out) {
  if (!FcInit()) return false;
  PatternPtr pattern = QueryPattern(query);
  if (!pattern) return false;
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  return match && (familyMatch == FamilyMatch::Nearest || HasFamily(match.get(), query.family)) &&
         ToFontFile(match.get(), out);
}

bool SortedFace(const FaceQuery& query, Coverage coverage, FontFile* out) {
  if (!FcInit()) return false;
  PatternPtr pattern = QueryPattern(query);
  if (!pattern) return false;
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcFontSet, FontSetFree> sorted(FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result));
  if (!sorted) return false;
  for (int i = 0; i < sorted->nfont; ++i) {
    if ((coverage == Coverage::Preferred || Covers(sorted->fonts[i], query)) && ToFontFile(sorted->fonts[i], out))
      return true;
  }
  return false;
}

}  // namespace fontlookup
