// The wide-string formatter against the C library: one directive at a time, built from the input
// (flags, width and precision as digits or '*', length, conversion) with an argument of the type
// it reads. Whatever the buffer size, the text is the C library's text for the same directive cut
// at the buffer's end, the result says whether it was cut, and nothing is written past the end.
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// Widths and precisions above this are not compared (the C library's text would be too large to
// build); the call must still be sound and report its cut.
constexpr long long kComparable = 1 << 13;

struct Directive {
  std::string flags;
  int widthMode = 0;  // 0 none, 1 digits, 2 '*'
  long long width = 0;
  int precisionMode = 0;
  long long precision = 0;
  std::string length;   // as written for the wide formatter
  std::string cLength;  // the C library's spelling
  char conv = 'd';
};

std::string Spell(const Directive& d, bool forC) {
  std::string s = "%" + d.flags;
  if (d.widthMode == 1) s += std::to_string(d.width);
  if (d.widthMode == 2) s += "*";
  if (d.precisionMode == 1) s += "." + std::to_string(d.precision);
  if (d.precisionMode == 2) s += ".*";
  return s + (forC ? d.cLength : d.length) + d.conv;
}

long long TakeField(FuzzInput& in) {
  switch (in.Byte() % 4) {
    case 0:
      return in.Byte();
    case 1:
      return in.Take<std::uint16_t>();
    case 2:
      return in.Take<std::int32_t>();
    default:
      return static_cast<long long>(in.Take<std::uint64_t>() % 100000000000000000ull);
  }
}

template <class... Args>
std::string CText(const std::string& format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format.c_str(), args...);
  FUZZ_CHECK(n >= 0);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), format.c_str(), args...);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

template <class... Args>
void Check(const Directive& d, bool comparable, int size, bool sized, Args... args) {
  const std::string wideSpelling = "<" + Spell(d, false) + ">";
  const std::u16string format(wideSpelling.begin(), wideSpelling.end());
  const std::size_t capacity = static_cast<std::size_t>(sized ? size : 1024);
  std::vector<WCHAR> buffer(capacity + 16, u'\x7f');
  const int n = sized ? wnsprintfW(buffer.data(), size, format.c_str(), args...)
                      : wsprintfW(buffer.data(), format.c_str(), args...);
  for (std::size_t i = capacity; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == u'\x7f');
  std::size_t written = 0;
  while (written < capacity && buffer[written]) ++written;
  FUZZ_CHECK(written < capacity);
  if (!comparable) {
    FUZZ_CHECK(n == -1 || n == static_cast<int>(written));
    return;
  }
  const std::string expected = "<" + CText(Spell(d, true), args...) + ">";
  const bool cut = expected.size() >= capacity;
  const std::string shown = expected.substr(0, cut ? capacity - 1 : expected.size());
  const std::u16string got(buffer.data());
  if (got != std::u16string(shown.begin(), shown.end())) {
    std::fprintf(stderr, "format %s (C: %s), size %d%s\nexpected: %s\ngot:      %s\n", wideSpelling.c_str(),
                 Spell(d, true).c_str(), size, sized ? "" : " (unsized)", shown.c_str(),
                 std::string(got.begin(), got.end()).c_str());
  }
  FUZZ_CHECK(got == std::u16string(shown.begin(), shown.end()));
  FUZZ_CHECK(n == (cut && sized ? -1 : static_cast<int>(shown.size())));
}

// Passes the '*' arguments the directive reads before its value.
template <class T>
void WithStars(const Directive& d, bool comparable, int size, bool sized, int width, int precision, T value) {
  if (d.widthMode == 2 && d.precisionMode == 2)
    Check(d, comparable, size, sized, width, precision, value);
  else if (d.widthMode == 2)
    Check(d, comparable, size, sized, width, value);
  else if (d.precisionMode == 2)
    Check(d, comparable, size, sized, precision, value);
  else
    Check(d, comparable, size, sized, value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  while (!in.empty()) {
    Directive d;
    const std::uint8_t flagBits = in.Byte();
    for (int i = 0; i < 5; ++i)
      if (flagBits & (1 << i)) d.flags += "-+ 0#"[i];
    d.widthMode = in.Byte() % 3;
    const long long widthField = TakeField(in);
    d.precisionMode = in.Byte() % 3;
    const long long precisionField = TakeField(in);
    // Digits are written as a non-negative number; '*' takes any int.
    d.width = widthField < 0 ? -widthField : widthField;
    d.precision = precisionField < 0 ? -precisionField : precisionField;
    const int starWidth = static_cast<int>(widthField);
    const int starPrecision = static_cast<int>(precisionField);
    const long long effectiveWidth = d.widthMode == 1   ? d.width
                                     : d.widthMode == 2 ? (starWidth < 0 ? -(long long)starWidth : starWidth)
                                                        : 0;
    const long long effectivePrecision = d.precisionMode == 1 ? d.precision : d.precisionMode == 2 ? starPrecision : 0;
    const bool comparable = effectiveWidth <= kComparable && effectivePrecision <= kComparable;

    const std::uint8_t sizeByte = in.Byte();
    const bool sized = sizeByte != 0xff;
    const int bufferSize = sizeByte < 0xf0 ? 1 + sizeByte : 1 + (sizeByte & 0x0f) * 700;

    const std::uint8_t kind = in.Byte() % 6;
    if (kind == 0 || kind == 1) {  // signed and unsigned integers of each length
      static const char* const kLengths[][2] = {{"", ""}, {"h", "h"}, {"l", "l"}, {"ll", "ll"}, {"I64", "ll"}};
      const auto& length = kLengths[in.Byte() % 5];
      d.length = length[0];
      d.cLength = length[1];
      d.conv = kind == 0 ? "di"[in.Byte() % 2] : "uxXo"[in.Byte() % 4];
      if (d.conv == 'd' || d.conv == 'i' || d.conv == 'u') std::erase(d.flags, '#');  // no alternate form
      const auto raw = in.Take<std::uint64_t>();
      if (d.length == "l" || d.length == "ll" || d.length == "I64") {
        if (kind == 0)
          WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, static_cast<long long>(raw));
        else
          WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, static_cast<unsigned long long>(raw));
      } else if (kind == 0) {
        WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, static_cast<int>(raw));
      } else {
        WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, static_cast<unsigned>(raw));
      }
    } else if (kind == 2 || kind == 3) {  // floating point, double and long double
      d.conv = "eEfFgGaA"[in.Byte() % 8];
      if (kind == 3) {
        d.length = d.cLength = "L";
        // Only the 80 bits of an x87 value: the padding bytes are not part of the number.
        long double value = 0;
        const auto bytes = in.Bytes(10);
        std::memcpy(&value, bytes.data(), bytes.size());
        WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, value);
      } else {
        WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, in.Take<double>());
      }
    } else if (kind == 4) {  // a printable character, wide or narrow
      std::erase_if(d.flags, [](char c) { return c != '-'; });
      d.precisionMode = 0;
      d.length = in.Byte() % 2 ? "h" : "";
      d.conv = 'c';
      const int c = 0x20 + in.Byte() % 0x5f;
      WithStars(d, comparable, bufferSize, sized, starWidth, 0, c);
    } else {  // an ASCII string, wide or narrow
      std::erase_if(d.flags, [](char c) { return c != '-'; });
      const std::uint8_t textLength = in.Byte();
      std::string narrow;
      for (std::uint8_t b : in.Bytes(textLength)) narrow += static_cast<char>(0x20 + b % 0x5f);
      const std::u16string wide(narrow.begin(), narrow.end());
      d.conv = 's';
      if (in.Byte() % 2) {
        d.length = "h";
        WithStars(d, comparable, bufferSize, sized, starWidth, starPrecision, narrow.c_str());
      } else {
        // The C library reads a narrow string where the wide formatter reads a wide one: compare
        // the wide call against the narrow text.
        const std::string spelled = "<" + Spell(d, true) + ">";
        const std::u16string format(spelled.begin(), spelled.end());
        std::vector<WCHAR> a(static_cast<std::size_t>(bufferSize) + 1), b(static_cast<std::size_t>(bufferSize) + 1);
        d.length = "h";
        const std::string narrowSpelled = "<" + Spell(d, false) + ">";
        const std::u16string narrowFormat(narrowSpelled.begin(), narrowSpelled.end());
        int na, nb;
        if (d.widthMode == 2 && d.precisionMode == 2) {
          na = wnsprintfW(a.data(), bufferSize, format.c_str(), starWidth, starPrecision, wide.c_str());
          nb = wnsprintfW(b.data(), bufferSize, narrowFormat.c_str(), starWidth, starPrecision, narrow.c_str());
        } else if (d.widthMode == 2) {
          na = wnsprintfW(a.data(), bufferSize, format.c_str(), starWidth, wide.c_str());
          nb = wnsprintfW(b.data(), bufferSize, narrowFormat.c_str(), starWidth, narrow.c_str());
        } else if (d.precisionMode == 2) {
          na = wnsprintfW(a.data(), bufferSize, format.c_str(), starPrecision, wide.c_str());
          nb = wnsprintfW(b.data(), bufferSize, narrowFormat.c_str(), starPrecision, narrow.c_str());
        } else {
          na = wnsprintfW(a.data(), bufferSize, format.c_str(), wide.c_str());
          nb = wnsprintfW(b.data(), bufferSize, narrowFormat.c_str(), narrow.c_str());
        }
        FUZZ_CHECK(na == nb);
        FUZZ_CHECK(std::u16string(a.data()) == std::u16string(b.data()));
      }
    }
  }
  return 0;
}
