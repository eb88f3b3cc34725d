#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace {

int Sign(int v) {
  return (v > 0) - (v < 0);
}

}  // namespace

TEST(LogicalCompare, NumbersByValueAndCaseIgnored) {
  const struct {
    const char16_t* a;
    const char16_t* b;
    int expected;
  } cases[] = {
      {u"clip2.avi", u"clip10.avi", -1},
      {u"Clip3.avi", u"clip10.avi", -1},
      {u"clip2.avi", u"Clip3.avi", -1},
      {u"a1.bmp", u"clip2.avi", -1},
      {u"CLIP.AVI", u"clip.avi", 0},
      {u"clip007.avi", u"clip7.avi", 0},  // leading zeros: the same number
      {u"clip0.avi", u"clip.avi", 1},     // a digit ranks above ".", and "0" is still a number
      {u"a", u"a1", -1},
      {u"", u"a", -1},
      {u"", u"", 0},
      {u"x9", u"x", 1},
      {u"2a", u"10a", -1},
      {u"v1.2.10", u"v1.2.9", 1},
      // Runs far past any integer type compare by length, then digit by digit.
      {u"x99999999999999999999999999999", u"x100000000000000000000000000000", -1},
      {u"x18446744073709551617", u"x18446744073709551616", 1},
      {u"x000000000000000000000000000001", u"x1", 0},
      {u"ÀB.bmp", u"àb.bmp", 0},  // Latin-1 folds too
      {u"動画2.avi", u"動画10.avi", -1},
      {u"あ.jpg", u"い.jpg", -1},
      // Bytes that are not UTF-8 come in as U+DC00 + byte: they rank after ASCII and sort
      // among themselves by byte.
      {u"\xDCFF.avi", u"z.avi", 1},
      {u"\xDC80.avi", u"\xDCFF.avi", -1},
      {u"a\xDCFF"
       u"2.avi",
       u"a\xDCFF"
       u"10.avi",
       -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Sign(StrCmpLogicalW(c.a, c.b))) << std::u16string(c.a).size();
    EXPECT_EQ(-c.expected, Sign(StrCmpLogicalW(c.b, c.a)));
  }
  EXPECT_EQ(-1, StrCmpLogicalW(nullptr, u"a"));
  EXPECT_EQ(1, StrCmpLogicalW(u"", nullptr));
  EXPECT_EQ(0, StrCmpLogicalW(nullptr, nullptr));
}

TEST(LogicalCompare, IsAConsistentOrderOverMixedNames) {
  // Every pair and triple of a set that mixes digits, punctuation, cases, scripts and escaped
  // bytes: antisymmetric and transitive, so sorting with it is well defined.
  const std::vector<std::u16string> names = {u"",
                                             u"0",
                                             u"00",
                                             u"1",
                                             u"01",
                                             u"10",
                                             u"9",
                                             u"a",
                                             u"A",
                                             u"a0",
                                             u"a00b",
                                             u"a0b",
                                             u"a1",
                                             u"a01",
                                             u"a1b",
                                             u"a10",
                                             u"a.b",
                                             u"a-1",
                                             u"a_1",
                                             u"a 1",
                                             u"ab",
                                             u"aB1",
                                             u"Ab2",
                                             u"b",
                                             u"z9",
                                             u"Z10",
                                             u"~",
                                             u"動画1",
                                             u"動画01",
                                             u"動画２",
                                             u"ａ1",
                                             u"Ａ1",
                                             u"\xDC80",
                                             u"\xDCFF"
                                             u"1",
                                             u"x\xDC5C",
                                             u"É",
                                             u"é",
                                             u"99999999999999999999",
                                             u"100000000000000000000"};
  auto cmp = [](const std::u16string& a, const std::u16string& b) {
    return Sign(StrCmpLogicalW(a.c_str(), b.c_str()));
  };
  for (const auto& a : names) {
    EXPECT_EQ(0, cmp(a, a));
    for (const auto& b : names) {
      ASSERT_EQ(cmp(a, b), -cmp(b, a));
      for (const auto& c : names) {
        if (cmp(a, b) <= 0 && cmp(b, c) <= 0) {
          ASSERT_LE(cmp(a, c), 0) << "not transitive";
        }
      }
    }
  }
}
