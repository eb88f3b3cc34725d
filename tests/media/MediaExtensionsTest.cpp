// The extensions the viewer lists, against the desktop: each names a type the desktop entry
// offers the viewer for (so a file manager's "Open with" agrees with the folder list), and the
// open dialog's filters hold every type, the videos and the pictures.
#include "media/MediaExtensions.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/BuildPaths.h"

namespace {

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

std::set<std::string> EntryTypes() {
  std::ifstream entry(SourceDir() / "desktop" / "orbelle-player.desktop.in");
  std::string line;
  std::set<std::string> types;
  while (std::getline(entry, line)) {
    if (line.rfind("MimeType=", 0) != 0) continue;
    std::stringstream list(line.substr(9));
    for (std::string type; std::getline(list, type, ';');)
      if (!type.empty()) types.insert(type);
  }
  return types;
}

// The types the desktop's MIME database gives a name with the extension (a ".ts" file is a
// transport stream or a translation, told apart by its content): lines "weight:type:glob".
std::set<std::string> TypesOfExtension(const std::string& extension) {
  std::ifstream globs("/usr/share/mime/globs2");
  std::set<std::string> types;
  const std::string wanted = "*." + extension;
  for (std::string line; std::getline(globs, line);) {
    std::stringstream fields(line);
    std::string weight, type, glob;
    if (line.empty() || line[0] == '#' || !std::getline(fields, weight, ':') || !std::getline(fields, type, ':') ||
        !std::getline(fields, glob, ':'))
      continue;
    if (g_ascii_strcasecmp(glob.c_str(), wanted.c_str()) == 0) types.insert(type);
  }
  return types;
}

TEST(MediaExtensionsTest, EveryExtensionIsATypeTheDesktopEntryOpens) {
  const std::set<std::string> offered = EntryTypes();
  ASSERT_FALSE(offered.empty());
  for (auto list : {VideoExtensions(), PictureExtensions()}) {
    for (const char16_t* extension : list) {
      const std::string name = Narrow(extension);
      const std::set<std::string> types = TypesOfExtension(name);
      // A type the entry lists, or a kind of one it lists.
      bool listed = false;
      for (const std::string& type : types)
        for (const std::string& entry : offered)
          listed |= type == entry || g_content_type_is_a(type.c_str(), entry.c_str());
      EXPECT_TRUE(listed) << "." << name << " is " << testing::PrintToString(types);
    }
  }
}

TEST(MediaExtensionsTest, ListsCompareInAnyCaseAndOnlyWholeExtensions) {
  EXPECT_TRUE(IsVideoExtension(u"MP4"));
  EXPECT_TRUE(IsVideoExtension(u"m2TS"));
  EXPECT_FALSE(IsVideoExtension(u"png"));
  EXPECT_TRUE(IsPlayableExtension(u"HEIC"));
  EXPECT_TRUE(IsPlayableExtension(u"Jpe"));
  EXPECT_FALSE(IsPlayableExtension(u"mp"));
  EXPECT_FALSE(IsPlayableExtension(u"mp44"));
  EXPECT_FALSE(IsPlayableExtension(u""));
  EXPECT_EQ(u"*.bmp;*.jpg;", DialogPatterns(PictureExtensions().first(2)));
}

}  // namespace
