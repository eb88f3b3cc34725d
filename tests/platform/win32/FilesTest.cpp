#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "support/TempDir.h"

namespace {

// A fresh temporary folder, named in both forms.
struct TempFolder {
  void File(const std::string& name, const std::string& content) const { dir.Write(name, content); }
  TempDir dir{"orbelle-win32"};
  std::string native = dir.path().string();
  std::u16string windows = Win32FromNativePath(native);
};

}  // namespace

TEST(Paths, NativeNamesRoundTripWithoutLoss) {
  struct Case {
    std::string native;
    std::u16string windows;
  } cases[] = {
      {"/tmp/a b/c.avi", u"\\tmp\\a b\\c.avi"},
      {"clips/back\\slash.bmp", u"clips\\back\xDC5Cslash.bmp"},
      {"bad\xFF\xFE.gif", u"bad\xDCFF\xDCFE.gif"},
      {"日本語/ようこそ.bmp", u"日本語\\ようこそ.bmp"},
      {"\xED\xA0\x80.jpg", u"\xDCED\xDCA0\xDC80.jpg"},  // an encoded surrogate is not UTF-8
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                    // nor is an overlong "/"
      {"🎵", u"\xD83C\xDFB5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Win32FromNativePath(c.native), c.windows) << c.native;
    EXPECT_EQ(Win32ToNativePath(c.windows), c.native) << c.native;
  }
  // Distinct native paths stay distinct; Windows-form text that no native path produces is refused.
  EXPECT_NE(Win32FromNativePath("a\\b"), Win32FromNativePath("a/b"));
  EXPECT_EQ(Win32ToNativePath(u"a/b\\c"), "a/b/c");
  EXPECT_EQ(Win32ToNativePath(u"a\xDC41"), "");
  EXPECT_EQ(Win32ToNativePath(u"a\xD800"), "");
}

TEST(Files, FolderSearchListsEveryNameInFileSystemOrderAndOpensEachOne) {
  TempFolder folder;
  const std::vector<std::string> names = {"a.avi",       "README",       "back\\slash.bmp",
                                          "bad\xFF.gif", "ようこそ.bmp", ".h.gif"};
  for (const auto& n : names) folder.File(n, n);
  ASSERT_EQ(::mkdir((folder.native + "/g.avi").c_str(), 0755), 0);

  std::vector<std::u16string> expected;  // readdir's own order
  DIR* dir = ::opendir(folder.native.c_str());
  while (dirent* e = ::readdir(dir)) expected.push_back(Win32FromNativePath(e->d_name));
  ::closedir(dir);

  // The program's pattern: folder ending in "\" + "\*.*".
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW((folder.windows + u"\\\\*.*").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::u16string> found;
  do {
    found.push_back(data.cFileName);
    const bool isDir = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_EQ(isDir, found.back() == u"." || found.back() == u".." || found.back() == u"g.avi");
    if (isDir) continue;
    // Each name opens exactly its own file, whatever bytes the native name holds.
    HANDLE file = CreateFileW((folder.windows + u"\\\\" + data.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char content[64] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, content, sizeof content, &read, nullptr));
    EXPECT_EQ(GetFileSize(file, nullptr), read);
    EXPECT_EQ(Win32FromNativePath(std::string(content, read)), data.cFileName);
    EXPECT_TRUE(ReadFile(file, content, sizeof content, &read, nullptr));
    EXPECT_EQ(read, 0u);  // end of file
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
  } while (FindNextFileW(search, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));
  EXPECT_EQ(found, expected);

  // Wildcards compare without regard to case; "?" is one character.
  std::vector<std::u16string> avi;
  search = FindFirstFileW((folder.windows + u"\\?.AVI").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do avi.push_back(data.cFileName);
  while (FindNextFileW(search, &data));
  FindClose(search);
  std::sort(avi.begin(), avi.end());
  EXPECT_EQ(avi, (std::vector<std::u16string>{u"a.avi", u"g.avi"}));

  // A folder string with a dot used as the whole pattern (it ends in "\") matches nothing.
  EXPECT_EQ(FindFirstFileW((folder.windows + u"\\my.clips\\").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW((folder.windows + u"\\").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW((folder.windows + u"\\*.mpg").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Files, OpenFailuresAndTheCurrentFolder) {
  TempFolder folder;
  folder.File("x.bmp", "BM");
  const auto open = [](const std::u16string& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  };
  EXPECT_EQ(open(folder.windows + u"\\missing.bmp"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open(folder.windows), INVALID_HANDLE_VALUE);  // a folder is not a file
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(open(u""), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileAttributesW((folder.windows + u"\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(folder.windows.c_str()), FILE_ATTRIBUTE_DIRECTORY);

  WCHAR saved[1024];
  ASSERT_GT(GetCurrentDirectoryW(1024, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.windows.c_str()));
  WCHAR current[1024];
  EXPECT_EQ(GetCurrentDirectoryW(1024, current), folder.windows.size());
  EXPECT_EQ(std::u16string(current), folder.windows);
  EXPECT_EQ(GetCurrentDirectoryW(3, current), folder.windows.size() + 1);  // size needed
  HANDLE relative = open(u".\\x.bmp");  // relative paths resolve against the current folder
  EXPECT_NE(relative, INVALID_HANDLE_VALUE);
  CloseHandle(relative);
  EXPECT_FALSE(SetCurrentDirectoryW(u"no such folder"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  ASSERT_TRUE(SetCurrentDirectoryW(saved));
}

TEST(Files, ModuleFileNameIsTheProgramInWindowsForm) {
  WCHAR path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  ASSERT_GT(n, 0u);
  const std::u16string p(path, n);
  EXPECT_EQ(p.front(), u'\\');
  EXPECT_EQ(p.substr(p.find_last_of(u'\\') + 1), u"test_win32");
  EXPECT_EQ(GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  WCHAR small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small[3], 0);
}
