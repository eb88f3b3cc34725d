#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/win32/win32.h"

namespace {

template <class... Args>
std::u16string Format(const char16_t* format, Args... args) {
  WCHAR buffer[1100];
  const int n = wsprintfW(buffer, format, args...);
  EXPECT_EQ(n, static_cast<int>(std::u16string(buffer).size()));
  return buffer;
}

}  // namespace

TEST(Strings, WsprintfFormatsWhatTheProgramWrites) {
  EXPECT_EQ(Format(u"%.02f fps (%dx%d), %s%s%s", 59.944, 640, 480, u"X8R8G8B8", u" (D24S8)", u""),
            u"59.94 fps (640x480), X8R8G8B8 (D24S8)");
  EXPECT_EQ(Format(u"%2d:%02d:%02d", 0, 5, 7), u" 0:05:07");
  EXPECT_EQ(Format(u"hr=0x%x %X %.2f", 0x8007000Eu, 0xabcu, -1.005), u"hr=0x8007000e ABC -1.00");
  EXPECT_EQ(Format(u"%ls|%c|%%|%u|%d", u"あ", u'ん', 4000000000u, -12), u"あ|ん|%|4000000000|-12");
  EXPECT_EQ(Format(u"%s\\*.*", u"D:\\clips\\"), u"D:\\clips\\\\*.*");
  EXPECT_EQ(Format(u"[%-4s|%4s|%.2s|%*d]", u"ab", u"cd", u"xyz", 3, 7), u"[ab  |  cd|xy|  7]");
  EXPECT_EQ(Format(u"%hs/%S/%s", "ドレミ", "x", static_cast<const WCHAR*>(nullptr)), u"ドレミ/x/(null)");

  // At most 1024 code units are written, as on Windows; the sized form reports the cut.
  std::u16string longText(2000, u'x');
  WCHAR buffer[1100];
  buffer[1024] = u'#';
  EXPECT_EQ(wsprintfW(buffer, u"%s", longText.c_str()), 1023);
  EXPECT_EQ(buffer[1023], 0);
  EXPECT_EQ(buffer[1024], u'#');
  EXPECT_EQ(wnsprintfW(buffer, 4, u"%d", 12345), -1);
  EXPECT_EQ(std::u16string(buffer), u"123");
}

TEST(Strings, CompareIgnoresCaseOfAsciiAndFullWidthLetters) {
  struct Case {
    const char16_t* a;
    int countA;
    const char16_t* b;
    DWORD flags;
    int expected;
  } cases[] = {
      {u"avi", -1, u"AVI", NORM_IGNORECASE, CSTR_EQUAL},
      {u"Mpeg", -1, u"MPEG", NORM_IGNORECASE, CSTR_EQUAL},
      {u"ＡＶＩ", -1, u"ａｖｉ", NORM_IGNORECASE, CSTR_EQUAL},
      {u"Ärger", -1, u"äRGER", NORM_IGNORECASE, CSTR_EQUAL},
      {u"mpeg", -1, u"MPG", NORM_IGNORECASE, CSTR_LESS_THAN},
      {u"wmv", -1, u"AVI", NORM_IGNORECASE, CSTR_GREATER_THAN},
      {u"avi", -1, u"avi4", NORM_IGNORECASE, CSTR_LESS_THAN},
      {u"avi.bmp", 3, u"AVI", NORM_IGNORECASE, CSTR_EQUAL},
      {u"a", -1, u"A", 0, CSTR_GREATER_THAN},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, c.flags, c.a, c.countA, c.b, -1), c.expected)
        << std::string(c.a, c.a + 3);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, nullptr, -1, u"x", -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Strings, SplitPathFollowsWindowsRules) {
  struct Case {
    const char16_t* path;
    const char16_t* dir;
    const char16_t* name;
    const char16_t* ext;
  } cases[] = {
      {u"D:\\clips\\a.avi", u"D:\\clips\\", u"a", u".avi"},
      {u"\\home\\u\\clip.tar.avi", u"\\home\\u\\", u"clip.tar", u".avi"},
      {u"\\a.b\\file", u"\\a.b\\", u"file", u""},
      {u"name", u"", u"name", u""},
      {u".avi", u"", u"", u".avi"},
      {u"dir/sub\\x.", u"dir/sub\\", u"x", u"."},
      {u"\\path\\", u"\\path\\", u"", u""},
  };
  for (const Case& c : cases) {
    WCHAR drive[260], dir[260], name[260], ext[260];
    _wsplitpath(c.path, drive, dir, name, ext);
    EXPECT_EQ(std::u16string(drive), u"");
    EXPECT_EQ(std::u16string(dir), c.dir);
    EXPECT_EQ(std::u16string(name), c.name);
    EXPECT_EQ(std::u16string(ext), c.ext);
  }
  // A part longer than its buffer empties every output instead of writing past it.
  std::u16string longName = u"\\dir\\" + std::u16string(300, u'n') + u".avi";
  WCHAR dir[260], name[260], ext[8] = u"keep";
  name[259] = u'#';
  _wsplitpath(longName.c_str(), nullptr, dir, name, nullptr);
  EXPECT_EQ(dir[0], 0);
  EXPECT_EQ(name[0], 0);
  EXPECT_EQ(name[259], u'#');
  EXPECT_EQ(_wsplitpath_s(u"a.longext", nullptr, 0, nullptr, 0, name, 260, ext, 4), ERANGE);
  EXPECT_EQ(ext[0], 0);
}

TEST(Strings, CodePageConversionsAreUtf8) {
  char narrow[64];
  const int needed = WideCharToMultiByte(CP_ACP, 0, u"sound\\ド.ogg", -1, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(needed, 14);  // 10 ASCII + 3 bytes + terminator
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"sound\\ド.ogg", -1, narrow, 64, nullptr, nullptr), needed);
  EXPECT_STREQ(narrow, "sound\\ド.ogg");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"sound\\ド.ogg", -1, narrow, 5, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  const WCHAR lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, narrow, 64, nullptr, nullptr), 6);
  EXPECT_STREQ(narrow,
               "a\xEF\xBF\xBD"
               "b");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, narrow, 64, nullptr, nullptr), 0);

  WCHAR wide[16];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "x\xFFy", 3, wide, 16), 3);
  EXPECT_EQ(wide[1], 0xFFFD);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "x\xFFy", 3, wide, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xF0\x9F\x8E\xB5", -1, wide, 16), 3);  // surrogate pair + 0
  EXPECT_EQ(wide[0], 0xD83C);
}
