// Finds font files through fontconfig's current configuration, which includes the files
// registered for the process with AddFontResourceW. The one face lookup of the program: GDI
// text (platform/win32) and D3DX fonts (platform/d3dx9) both ask here, so the same request
// gets the same face. Depends on fontconfig only. Window's thread.
#pragma once

#include <optional>
#include <string>

namespace fontlookup {

struct FontFile {
  std::string path;    // native path for FreeType
  int index = 0;       // face index within the file
  std::string family;  // fontconfig's first family name for the face (UTF-8)
};

// What a face is asked for. Fields left unset are left to fontconfig's defaults; the query is
// substituted as fontconfig does for every query before it is matched.
struct FaceQuery {
  std::string family;                 // UTF-8 family name, or sans-serif, serif, monospace
  std::optional<int> weight;          // OpenType weight, 1 to 1000
  std::optional<bool> italic;         // italic or roman
  bool scalableOnly = false;          // outline faces only
  const char* language = nullptr;     // a language the face should cover, such as "ja"
  std::optional<char32_t> character;  // a code point the face should have
};

// fontconfig answers a face for any family at all: Exact takes its answer only when the face
// carries query.family among its family names (compared case-insensitively), Nearest always.
enum class FamilyMatch { Exact, Nearest };

// fontconfig's best face for the query. False when there is none (see FamilyMatch) or
// fontconfig cannot start.
bool MatchFace(const FaceQuery& query, FamilyMatch familyMatch, FontFile* out);

// Whether a face must cover query.language and have query.character (each when set), or is
// only ranked by them.
enum class Coverage { Required, Preferred };

// The first face, in fontconfig's order of preference for the query, that meets the coverage.
// False when no face qualifies or fontconfig cannot start.
bool SortedFace(const FaceQuery& query, Coverage coverage, FontFile* out);

}  // namespace fontlookup
