#include "media/MediaFileList.h"

#include <algorithm>
#include <fstream>

#include "MediaTestSupport.h"
#include "support/TempDir.h"

namespace {

// A temporary folder of media names, which the list is given in the program's form.
struct Folder {
  void Touch(const std::string& name) const { dir.Write(name, "x"); }
  std::u16string Win() const { return WinPath(path) + u"\\"; }
  TempDir dir{"orbelle-list"};
  const std::filesystem::path& path = dir.path();
};

std::vector<std::u16string> Names(const CMediaFileList& list) {
  std::vector<std::u16string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.NameAt(i));
  return names;
}

TEST(MediaFileListTest, ListsExactlyTheAcceptedFilesOnce) {
  Folder folder;
  // Every video and picture extension in any case; names that only look like one are left out.
  for (const char* name :
       {"a.avi",        "b.AVI",   "c.mpeg",   "d.jpg",      "e.txt",           "README",        "f.",
        "clip.tar.avi", ".avi",    ".h.gif",   "動画.wmv",   "back\\slash.bmp", "IMG_0001.HEIC", "PXL.mp4",
        "MVI.Mov",      "rec.mkv", "web.webm", "old.ogv",    "tv.ts",           "cam.m2ts",      "cam.MTS",
        "x.asf",        "y.m4v",   "shot.png", "web.webp",   "a.avif",          "b.heif",        "scan.tif",
        "scan2.TIFF",   "z.jpeg",  "z.jpe",    "p.mp4.part", "notes.mkv.txt",   "x.mpeg4",       "x.jpgg"})
    folder.Touch(name);
  std::filesystem::create_directory(folder.path / "g.avi");
  CMediaFileList list;
  list.Rebuild(folder.Win());
  std::vector<std::u16string> names = Names(list);
  std::vector<std::u16string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const std::u16string backslash = Win32FromNativePath("back\\slash.bmp");
  std::vector<std::u16string> expected = {
      u".avi",     u".h.gif", u"a.avi",         u"b.AVI",    u"c.mpeg",     u"clip.tar.avi", u"d.jpg",
      u"動画.wmv", backslash, u"IMG_0001.HEIC", u"PXL.mp4",  u"MVI.Mov",    u"rec.mkv",      u"web.webm",
      u"old.ogv",  u"tv.ts",  u"cam.m2ts",      u"cam.MTS",  u"x.asf",      u"y.m4v",        u"shot.png",
      u"web.webp", u"a.avif", u"b.heif",        u"scan.tif", u"scan2.TIFF", u"z.jpeg",       u"z.jpe"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, sorted);
  // Every full path names its own file, the backslash name included.
  for (int i = 0; i < list.Count(); ++i) {
    const std::string native = Win32ToNativePath(list.PathAt(i));
    EXPECT_TRUE(std::filesystem::is_regular_file(native)) << native;
    EXPECT_EQ(Win32FromNativePath(std::filesystem::path(native).filename().string()), list.NameAt(i));
  }
  // A second pick in the same folder lists each file once.
  list.Rebuild(folder.Win());
  EXPECT_EQ(names, Names(list));
}

TEST(MediaFileListTest, FolderWithADotIsScannedWhenItEndsInASeparator) {
  Folder parent;
  std::filesystem::create_directory(parent.path / "Clips 1.5");
  std::ofstream(parent.path / "Clips 1.5" / "x.avi") << "x";
  CMediaFileList list;
  list.Rebuild(WinPath(parent.path / "Clips 1.5") + u"\\");
  EXPECT_EQ(1, list.Count());
  // Without the separator a string holding a "." is itself the pattern, as before.
  list.Rebuild(WinPath(parent.path / "Clips 1.5" / "x.avi"));
  ASSERT_EQ(1, list.Count());
  EXPECT_EQ(WinPath(parent.path / "Clips 1.5" / "x.avi"), list.PathAt(0));
  list.Rebuild(WinPath(parent.path / "missing"));
  EXPECT_EQ(0, list.Count());
}

TEST(MediaFileListTest, LocatesAndStepsWithWrapAround) {
  Folder folder;
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) folder.Touch(name);
  CMediaFileList list;
  int index = 0;
  EXPECT_EQ(u"", list.StepNext(index));  // empty list: nothing at all
  EXPECT_EQ(u"", list.StepPrevious(index));
  EXPECT_EQ(0, index);
  list.Rebuild(folder.Win());
  ASSERT_EQ(3, list.Count());
  list.LocateOpened(list.NameAt(2), index);
  EXPECT_EQ(2, index);
  EXPECT_EQ(list.PathAt(0), list.StepNext(index));
  EXPECT_EQ(0, index);
  EXPECT_EQ(list.PathAt(2), list.StepPrevious(index));
  EXPECT_EQ(2, index);
  list.LocateOpened(u"A.AVI", index);  // case matters: not found, so the start of the new list
  EXPECT_EQ(0, index);
  // A file missing from a rebuilt list of the same size starts at the list's first entry, not
  // at the place of the file shown last in the previous folder.
  Folder other;
  for (const char* name : {"x.avi", "y.avi", "z.avi"}) other.Touch(name);
  list.LocateOpened(list.NameAt(2), index);
  list.Rebuild(other.Win());
  list.LocateOpened(u"X.AVI", index);
  EXPECT_EQ(0, index);
  EXPECT_EQ(list.PathAt(1), list.StepNext(index));
  // A rebuild of a smaller folder brings a stale index back into range.
  Folder single;
  single.Touch("only.gif");
  list.Rebuild(single.Win());
  list.LocateOpened(u"CLIP.AVI", index);
  EXPECT_EQ(0, index);
  EXPECT_EQ(list.PathAt(0), list.StepNext(index));
  EXPECT_EQ(list.PathAt(0), list.StepPrevious(index));
  EXPECT_EQ(0, index);
}

TEST(MediaFileListTest, StepsInTheOrderTheFileManagerShows) {
  Folder folder;
  for (const char* name : {"clip10.avi", "clip2.mp4", "Clip3.png", "a1.bmp", "CLIP.AVI", "clip4.WEBP"})
    folder.Touch(name);
  CMediaFileList list;
  int index = 0;
  list.Rebuild(folder.Win());
  EXPECT_EQ(
      (std::vector<std::u16string>{u"a1.bmp", u"CLIP.AVI", u"clip2.mp4", u"Clip3.png", u"clip4.WEBP", u"clip10.avi"}),
      Names(list));
  list.LocateOpened(u"clip2.mp4", index);
  EXPECT_EQ(2, index);
  for (const char16_t* next : {u"Clip3.png", u"clip4.WEBP", u"clip10.avi", u"a1.bmp"})
    EXPECT_EQ(folder.Win() + u"\\" + next, list.StepNext(index));
  EXPECT_EQ(folder.Win() + u"\\clip10.avi", list.StepPrevious(index));
  // A name is located as it is spelt: another case is not the same file.
  list.LocateOpened(u"clip.avi", index);
  EXPECT_EQ(folder.Win() + u"\\CLIP.AVI", list.StepNext(index));
}

TEST(MediaFileListTest, NamesEqualUnderTheFileManagersOrderKeepATotalOrder) {
  // Names that differ only in case or in leading zeros, Japanese names, and names whose bytes
  // are not UTF-8: one order whatever the file system reports, the same on every scan.
  Folder folder;
  const std::vector<std::string> names = {"x.avi",
                                          "X.avi",
                                          "c7.gif",
                                          "c007.gif",
                                          "c07.gif",
                                          "動画10.wmv",
                                          "動画2.wmv",
                                          "\xff"
                                          "2.jpg",
                                          "\xfe.jpg",
                                          "\xff"
                                          "10.jpg",
                                          "ｂ.bmp",
                                          "Ｂ.bmp",
                                          "e9.mpg",
                                          "E10.mpg"};
  for (const std::string& name : names) folder.Touch(name);
  CMediaFileList list;
  list.Rebuild(folder.Win());
  std::vector<std::u16string> expected;
  for (const char* name :
       {"c007.gif", "c07.gif", "c7.gif", "e9.mpg", "E10.mpg", "X.avi", "x.avi", "動画2.wmv", "動画10.wmv", "\xfe.jpg",
        "\xff"
        "2.jpg",
        "\xff"
        "10.jpg",
        "Ｂ.bmp", "ｂ.bmp"})
    expected.push_back(Win32FromNativePath(name));
  EXPECT_EQ(expected, Names(list));
  list.Rebuild(folder.Win());
  EXPECT_EQ(expected, Names(list));
}

TEST(MediaFileListTest, AFolderThatCannotBeSearchedListsNothing) {
  Folder folder;
  folder.Touch("plain.avi");
  CMediaFileList list;
  int index = 0;
  // A file where a folder should be, and a path that names no native file.
  for (const std::u16string& path : {folder.Win() + u"plain.avi\\", std::u16string(u"\xD800\\")}) {
    list.Rebuild(path);
    EXPECT_EQ(0, list.Count());
    list.LocateOpened(u"plain.avi", index);
    EXPECT_EQ(0, index);
    EXPECT_EQ(u"", list.StepNext(index));
  }
}

}  // namespace
