// Which paths open as video, and the window title a path gives.
#include "ui/OpenMedia.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(OpenMediaTest, VideoExtensionsIgnoreCaseAndEverythingElseIsAPicture) {
  const struct {
    std::u16string path;
    bool video;
  } cases[] = {
      {u"x.WMV", true},
      {u"x.wmv", true},
      {u"x.Mpeg", true},
      {u"C\\clips\\a.avi", true},
      {u"x.mpg", true},
      {u"x.mpeg4", false},
      {u"x.avi.bmp", false},
      {u"x.jpg", false},
      {u"D:\\a.b\\file", false},  // extension "b\file"
      {u"PXL.MP4", true},
      {u"a.mov", true},
      {u"a.Mkv", true},
      {u"a.webm", true},
      {u"a.m2ts", true},
      {u"a.ts", true},
      {u"a.ogv", true},
      {u"a.m4v", true},
      {u"a.asf", true},
      {u"a.gif", false},
      {u"a.webp", false},
      {u"a.HEIC", false},
      {u"a.png", false},
      {u"a.tiff", false},
      {u"avi", true},  // no "." at all: the whole path is compared
      {u"x.", false},
      {u"x.avi ", false},
      {u"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.video, IsVideoPath(c.path)) << std::string(c.path.begin(), c.path.end());
  EXPECT_TRUE(ExtensionEquals(u"mPeG", u"MPEG"));
  EXPECT_FALSE(ExtensionEquals(u"MPE", u"MPEG"));
}

TEST(OpenMediaTest, TheDialogFiltersListEveryTypeTheVideosAndThePictures) {
  std::vector<std::u16string> parts;
  const std::u16string& filter = OpenDialogFilter();
  for (std::size_t at = 0; at < filter.size();) {
    const std::size_t end = filter.find(u'\0', at);
    ASSERT_NE(std::u16string::npos, end);
    parts.push_back(filter.substr(at, end - at));
    at = end + 1;
  }
  EXPECT_EQ(0, filter.c_str()[filter.size()]);  // the second terminator
  const std::u16string videos =
      u"*.avi;*.wmv;*.asf;*.mpg;*.mpeg;*.mp4;*.m4v;*.mov;*.mkv;*.webm;*.ogv;*.ts;*.m2ts;*.mts;";
  const std::u16string pictures = u"*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.png;*.webp;*.heic;*.heif;*.avif;*.tif;*.tiff;";
  EXPECT_EQ((std::vector<std::u16string>{u"読めるファイル全部", videos + pictures, u"動画", videos, u"絵", pictures}),
            parts);
}

TEST(OpenMediaTest, TitleIsTheNameAfterTheLastBackslash) {
  EXPECT_EQ(u"a.avi - Orbelle-Player", WindowTitleFor(u"D:\\clips\\a.avi"));
  EXPECT_EQ(u"ようこそ.bmp - Orbelle-Player", WindowTitleFor(u"\\opt\\image\\ようこそ.bmp"));
  EXPECT_EQ(u"name - Orbelle-Player", WindowTitleFor(u"name"));
  EXPECT_EQ(u"Orbelle-Player", WindowTitleFor(u"\\clips\\"));
  EXPECT_EQ(u"Orbelle-Player", WindowTitleFor(u""));
}

}  // namespace
