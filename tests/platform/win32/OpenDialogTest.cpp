#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32.h"

namespace {

const WCHAR kFilter[] =
    u"読めるファイル全部\0*.avi;*.wmv;*.mpg;*.bmp;*.jpg;*.gif;\0動画\0*.avi;*.wmv;*.mpg;\0絵\0*.bmp;*.jpg;*.gif;\0";

}  // namespace

TEST(OpenDialog, FiltersAndStartFileBecomeChooserArguments) {
  WCHAR file[512] = u"\\tmp\\clips\\a.avi";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = 76;
  ofn.lpstrFilter = kFilter;
  ofn.lpstrFile = file;
  ofn.nMaxFile = 512;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  const std::vector<std::string> expected = {"zenity",
                                             "--file-selection",
                                             "--title=Open",
                                             "--filename=/tmp/clips/a.avi",
                                             "--file-filter=読めるファイル全部 | *.[aA][vV][iI] *.[wW][mM][vV] "
                                             "*.[mM][pP][gG] *.[bB][mM][pP] *.[jJ][pP][gG] *.[gG][iI][fF]",
                                             "--file-filter=動画 | *.[aA][vV][iI] *.[wW][mM][vV] *.[mM][pP][gG]",
                                             "--file-filter=絵 | *.[bB][mM][pP] *.[jJ][pP][gG] *.[gG][iI][fF]"};
  EXPECT_EQ(Win32OpenDialogArguments(ofn), expected);
  ofn.nFilterIndex = 3;  // the selected filter is offered first
  EXPECT_EQ(Win32OpenDialogArguments(ofn)[4], "--file-filter=絵 | *.[bB][mM][pP] *.[jJ][pP][gG] *.[gG][iI][fF]");
}

TEST(OpenDialog, PatternsMatchAnyCase) {
  // Letters of either case, digits, wildcards and other scripts as they are, "[" literal.
  const WCHAR filter[] = u"Mixed\0*.JpEg;IMG_0?.*;動画*.avi;a[1].txt;\0";
  OPENFILENAMEW ofn{};
  ofn.lpstrFilter = filter;
  EXPECT_EQ(Win32OpenDialogArguments(ofn).back(),
            "--file-filter=Mixed | *.[jJ][pP][eE][gG] [iI][mM][gG]_0?.* 動画*.[aA][vV][iI] [aA][[]1].[tT][xX][tT]");
}
