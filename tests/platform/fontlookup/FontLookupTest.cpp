// The shared face lookup on the machine's own fonts: DejaVu (fontconfig's default set) and
// VL Gothic (a Japanese face, which also carries a Japanese family name).
#include "platform/fontlookup/FontLookup.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using fontlookup::Coverage;
using fontlookup::FaceQuery;
using fontlookup::FamilyMatch;
using fontlookup::FontFile;

constexpr char32_t kHiraganaA = U'\u3042';

// Reads the face from its file, independently of the lookup's own answer.
bool FaceHasCharacter(const FontFile& file, char32_t character) {
  int count = 0;
  FcPattern* face = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.path.c_str()), file.index, nullptr, &count);
  FcCharSet* chars = nullptr;
  const bool has =
      face && FcPatternGetCharSet(face, FC_CHARSET, 0, &chars) == FcResultMatch && FcCharSetHasChar(chars, character);
  if (face) FcPatternDestroy(face);
  return has;
}

TEST(FontLookupTest, ExactFamilyTakesOnlyAFaceCarryingTheFamilyUnderAnyOfItsNames) {
  struct Case {
    const char* family;
    FamilyMatch match;
    bool found;
    const char* expectedFamily;  // the face's first family name, when found and known
  };
  const Case cases[] = {
      {"DejaVu Sans", FamilyMatch::Exact, true, "DejaVu Sans"},
      {"dejavu sans", FamilyMatch::Exact, true, "DejaVu Sans"},      // names compare case-insensitively
      {"VL ゴシック", FamilyMatch::Exact, true, "VL Gothic"},        // a face's second family name counts
      {"No Such Family Here", FamilyMatch::Exact, false, nullptr},   // fontconfig's stand-in does not count
      {"No Such Family Here", FamilyMatch::Nearest, true, nullptr},  // but answers when any face will do
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.family) + (c.match == FamilyMatch::Exact ? " exact" : " nearest"));
    FaceQuery query;
    query.family = c.family;
    FontFile file;
    ASSERT_EQ(fontlookup::MatchFace(query, c.match, &file), c.found);
    if (!c.found) continue;
    EXPECT_FALSE(file.path.empty());
    if (c.expectedFamily) {
      EXPECT_EQ(file.family, c.expectedFamily);
    }
  }
}

TEST(FontLookupTest, RequiredCoverageSkipsPreferredFacesThatLackTheLanguageOrCharacter) {
  // The named family outranks the language in fontconfig's order: its first face is DejaVu Sans.
  FaceQuery byLanguage;
  byLanguage.family = "DejaVu Sans";
  byLanguage.language = "ja";
  FontFile preferred;
  ASSERT_TRUE(fontlookup::SortedFace(byLanguage, Coverage::Preferred, &preferred));
  EXPECT_FALSE(FaceHasCharacter(preferred, kHiraganaA)) << preferred.path;

  FaceQuery byCharacter;
  byCharacter.family = "DejaVu Sans";
  byCharacter.character = kHiraganaA;
  for (const FaceQuery& query : {byLanguage, byCharacter}) {
    SCOPED_TRACE(query.language ? "language" : "character");
    FontFile file;
    ASSERT_TRUE(fontlookup::SortedFace(query, Coverage::Required, &file));
    EXPECT_TRUE(FaceHasCharacter(file, kHiraganaA)) << file.path;
  }
}

}  // namespace
