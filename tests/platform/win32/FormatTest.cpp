#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace {

std::u16string Widen(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// The C library's text for the same directive, cut to `size` - 1 characters as the sized form cuts.
template <class T>
std::u16string Reference(const char* format, int width, T value, int size) {
  std::vector<char> text(static_cast<std::size_t>(std::snprintf(nullptr, 0, format, width, value)) + 1);
  std::snprintf(text.data(), text.size(), format, width, value);
  return Widen(std::string(text.data()).substr(0, static_cast<std::size_t>(size - 1)));
}

template <class T>
void ExpectMatchesC(const char* format, int width, T value, int size) {
  std::vector<WCHAR> buffer(static_cast<std::size_t>(size) + 8, u'#');
  const std::u16string wide = Widen(format);
  const std::u16string expected = Reference(format, width, value, size);
  const int n = wnsprintfW(buffer.data(), size, reinterpret_cast<LPCWSTR>(wide.c_str()), width, value);
  const bool fits = static_cast<int>(std::snprintf(nullptr, 0, format, width, value)) < size;
  EXPECT_EQ(n, fits ? static_cast<int>(expected.size()) : -1) << format << " width " << width << " size " << size;
  EXPECT_EQ(std::u16string(buffer.data()), expected) << format << " width " << width << " size " << size;
  EXPECT_EQ(buffer[static_cast<std::size_t>(size)], u'#') << "written past the buffer";
}

}  // namespace

// Numbers longer than any fixed scratch buffer, and widths far beyond the output, come out as the
// C library writes them, cut only where the caller's buffer ends.
TEST(Format, NumbersOfAnyWidthMatchTheCLibraryUpToTheCut) {
  const int sizes[] = {1, 2, 10, 600, 1024, 4000};
  const int widths[] = {0, 7, 511, 600, 1000, 3000, -700};
  for (int size : sizes) {
    for (int width : widths) {
      ExpectMatchesC("%*d", width, -42, size);
      ExpectMatchesC("%0*d", width, -42, size);
      ExpectMatchesC("%+0*.5d", width, 42, size);
      ExpectMatchesC("%-*u", width, 4000000000u, size);
      ExpectMatchesC("%#0*x", width, 0xbeefu, size);
      ExpectMatchesC("%0*lld", width, LLONG_MIN, size);
      ExpectMatchesC("%0*.3f", width, -3.14159, size);
      ExpectMatchesC("% *e", width, 1e300, size);
      ExpectMatchesC("%0*g", width, 6.02e23, size);
      ExpectMatchesC("%*.700f", width, 1.0 / 3.0, size);
      ExpectMatchesC("%#0*a", width, -0.1, size);
    }
  }
}

TEST(Format, HostileWidthsAndPrecisionsAreCutNotObeyed) {
  WCHAR buffer[1100];
  // A width of INT_MIN from '*' means left-aligned in INT_MAX + 1 columns.
  EXPECT_EQ(wsprintfW(buffer, u"%*d|", INT_MIN, 5), 1023);
  EXPECT_EQ(std::u16string(buffer), u"5" + std::u16string(1022, u' '));
  EXPECT_EQ(wnsprintfW(buffer, 8, u"%*s", INT_MIN, u"ab"), -1);
  EXPECT_EQ(std::u16string(buffer), u"ab     ");

  // Width and precision numbers too long for any integer saturate.
  struct Case {
    const char16_t* format;
    std::u16string expected;  // the first 1023 characters
  } cases[] = {
      {u"%99999999999999999999999d", std::u16string(1023, u' ')},
      {u"%-99999999999999999999999dx", u"7" + std::u16string(1022, u' ')},
      {u"%.99999999999999999999999d", std::u16string(1023, u'0')},
      {u"%2147483647d", std::u16string(1023, u' ')},
      {u"%.2147483647s", u"7"},  // the argument is read as a wide string below
  };
  for (const Case& c : cases) {
    const bool isString = std::u16string(c.format).back() == u's';
    const int n = isString ? wsprintfW(buffer, c.format, u"7") : wsprintfW(buffer, c.format, 7);
    EXPECT_EQ(std::u16string(buffer), c.expected) << std::string(c.format, c.format + 8);
    EXPECT_EQ(n, static_cast<int>(c.expected.size()));
  }

  // Precision from '*' as large as an int goes: the cut shows the leading digits.
  EXPECT_EQ(wnsprintfW(buffer, 6, u"%.*f", INT_MAX, 0.5), -1);
  EXPECT_EQ(std::u16string(buffer), u"0.500");
  EXPECT_EQ(wnsprintfW(buffer, 6, u"%.*d", INT_MAX, -9), -1);
  EXPECT_EQ(std::u16string(buffer), u"-0000");
  // A width shorter than the digits a huge precision asks for adds no padding, and a longer one
  // pads by the difference, before the digits.
  EXPECT_EQ(wnsprintfW(buffer, 7, u"%*.5000X", 4000, 0xAB), -1);
  EXPECT_EQ(std::u16string(buffer), u"000000");
  EXPECT_EQ(wnsprintfW(buffer, 7, u"%*.5000X", 5003, 0xAB), -1);
  EXPECT_EQ(std::u16string(buffer), u"   000");
  EXPECT_EQ(wnsprintfW(buffer, 7, u"%#*.30000g", 30003, 1.5), -1);
  EXPECT_EQ(std::u16string(buffer), u"  1.50");
  EXPECT_EQ(wnsprintfW(buffer, 7, u"%+*.40000f", 20, -HUGE_VAL), -1);
  EXPECT_EQ(std::u16string(buffer), u"      ");
}
