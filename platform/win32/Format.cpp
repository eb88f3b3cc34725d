// wsprintfW and friends: printf-style formatting into wide strings.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/win32/Win32State.h"

namespace {

// Output beyond this many code units is never produced, whatever the caller's buffer size: a
// width or precision of that order is a hostile or broken format, and the call reports a cut.
constexpr long long kMaxOutput = 1 << 26;
// Precision beyond the room left plus these many digits cannot change the visible text: an
// integer has at most 20 digits and a sign, a long double's exact expansion has under 17,000.
constexpr long long kIntegerPrecisionSlack = 32;
constexpr long long kFloatPrecisionSlack = 17000;

void AppendAscii(std::u16string& out, std::string_view s) {
  for (const char c : s) out += static_cast<char16_t>(static_cast<unsigned char>(c));
}

// Pads `text` to `width` with spaces; padding past `room` code units is never visible.
void AppendPadded(std::u16string& out, std::u16string_view text, long long width, bool left, long long room) {
  const long long size = static_cast<long long>(text.size());
  const auto pad = static_cast<std::size_t>(std::min(width > size ? width - size : 0, room));
  if (!left) out.append(pad, u' ');
  out += text;
  if (left) out.append(pad, u' ');
}

struct Field {
  std::string flags;
  long long width = 0;       // 0: none
  long long precision = -1;  // negative: none
};

// snprintf into a string of the exact size; empty when the C library refuses the directive.
template <class T>
std::string CFormat(const std::string& directive, T value) {
  const int n = std::snprintf(nullptr, 0, directive.c_str(), value);
  if (n < 0) return {};
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), directive.c_str(), value);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

// One numeric conversion through the C library. Width and precision are clamped so that the first
// `room` code units come out exactly as the unclamped directive would write them, without ever
// building text of the size a hostile width or precision asks for. `digitsFollowPrecision`: every
// unit of precision is one more character (all but %g and %G without '#', whose trailing zeros go).
template <class T>
void AppendNumber(std::u16string& out, const Field& field, std::string_view conversion, T value, long long room,
                  long long precisionSlack, bool digitsFollowPrecision) {
  const std::string base = "%" + field.flags;
  std::string tail;
  long long dropped = 0;  // precision beyond the clamp: characters the full text has and ours lacks
  if (field.precision >= 0) {
    const long long kept = std::min(field.precision, room + precisionSlack);
    dropped = digitsFollowPrecision ? field.precision - kept : 0;
    tail = "." + std::to_string(kept);
  }
  tail += conversion;
  const std::string body = CFormat(base + tail, value);
  if (body.find_first_of("nN") != std::string::npos) dropped = 0;  // inf and nan have no digits
  const long long pad = field.width - (static_cast<long long>(body.size()) + dropped);
  if (pad <= 0) {
    AppendAscii(out, body);
    return;
  }
  // Padding goes before the text (or between its sign and digits) unless left-aligned; no more
  // of it than the room can show.
  const long long width = static_cast<long long>(body.size()) + std::min(pad, room);
  AppendAscii(out, CFormat(base + std::to_string(width) + tail, value));
}

// Reads a decimal field, saturating far beyond any output size.
long long ReadNumber(const char16_t*& p) {
  long long n = 0;
  while (*p >= u'0' && *p <= u'9') n = std::min(n * 10 + (*p++ - u'0'), kMaxOutput + 1);
  return n;
}

// Formats until the text reaches `limit` code units (then the caller cuts it anyway) or the
// format ends. Only the first `limit` code units of the result are exact.
std::u16string Format(const char16_t* format, va_list args, long long limit) {
  std::u16string out;
  for (const char16_t* p = format; *p && static_cast<long long>(out.size()) < limit;) {
    if (*p != u'%') {
      out += *p++;
      continue;
    }
    const long long room = limit - static_cast<long long>(out.size());
    const char16_t* start = p++;
    Field field;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'0' || *p == u'#') field.flags += static_cast<char>(*p++);
    if (*p == u'*') {
      long long width = va_arg(args, int);
      if (width < 0) {
        field.flags += '-';
        width = -width;  // in 64 bits: INT_MIN has a positive counterpart here
      }
      field.width = width;
      ++p;
    } else {
      field.width = ReadNumber(p);
    }
    if (*p == u'.') {
      ++p;
      if (*p == u'*') {
        field.precision = va_arg(args, int);  // negative: as if none was given
        ++p;
      } else {
        field.precision = ReadNumber(p);
      }
    }
    enum { kDefault, kShort, kLong, kLongLong, kSize, kLongDouble } length = kDefault;
    if (*p == u'h') {
      length = kShort;
      if (*++p == u'h') ++p;
    } else if (*p == u'l') {
      length = kLong;
      if (*++p == u'l') {
        length = kLongLong;
        ++p;
      }
    } else if (*p == u'L') {
      length = kLongDouble;
      ++p;
    } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
      length = kLongLong;
      p += 3;
    } else if (*p == u'I' && p[1] == u'3' && p[2] == u'2') {
      p += 3;
    } else if (*p == u'z' || *p == u'j' || *p == u't' || *p == u'I') {
      length = kSize;
      ++p;
    }
    const bool left = field.flags.find('-') != std::string::npos;
    const char16_t conv = *p ? *p++ : u'\0';
    switch (conv) {
      case u'%':
        out += u'%';
        break;
      case u'd':
      case u'i': {
        long long v = length == kLongLong ? va_arg(args, long long)
                      : length == kLong   ? va_arg(args, long)
                      : length == kSize   ? static_cast<long long>(va_arg(args, std::ptrdiff_t))
                                          : va_arg(args, int);
        if (length == kShort) v = static_cast<short>(v);
        std::erase(field.flags, '#');  // no alternate form for decimal numbers
        AppendNumber(out, field, "lld", v, room, kIntegerPrecisionSlack, true);
        break;
      }
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        unsigned long long v = length == kLongLong ? va_arg(args, unsigned long long)
                               : length == kLong   ? va_arg(args, unsigned long)
                               : length == kSize   ? va_arg(args, std::size_t)
                                                   : va_arg(args, unsigned);
        if (length == kShort) v = static_cast<unsigned short>(v);
        if (conv == u'u') std::erase(field.flags, '#');
        const char conversion[] = {'l', 'l', static_cast<char>(conv), '\0'};
        AppendNumber(out, field, conversion, v, room, kIntegerPrecisionSlack, true);
        break;
      }
      case u'p': {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(va_arg(args, void*))));
        AppendPadded(out, Win32FromUtf8(buffer), field.width, left, room);
        break;
      }
      case u'e':
      case u'E':
      case u'f':
      case u'F':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        const char conversion[] = {'L', static_cast<char>(conv), '\0'};
        const bool stripsZeros = (conv == u'g' || conv == u'G') && field.flags.find('#') == std::string::npos;
        if (length == kLongDouble)
          AppendNumber(out, field, conversion, va_arg(args, long double), room, kFloatPrecisionSlack, !stripsZeros);
        else
          AppendNumber(out, field, conversion + 1, va_arg(args, double), room, kFloatPrecisionSlack, !stripsZeros);
        break;
      }
      case u'c':
      case u'C': {
        const int v = va_arg(args, int);
        const bool narrow = length == kShort || (conv == u'C' && length != kLong);
        const std::u16string text =
            narrow ? Win32FromUtf8(std::string(1, static_cast<char>(v))) : std::u16string(1, static_cast<char16_t>(v));
        AppendPadded(out, text, field.width, left, room);
        break;
      }
      case u's':
      case u'S': {
        const bool narrow = length == kShort || (conv == u'S' && length != kLong);
        std::u16string text;
        if (narrow) {
          const char* s = va_arg(args, const char*);
          text = s ? Win32FromUtf8(s) : u"(null)";
        } else {
          const char16_t* s = va_arg(args, const char16_t*);
          text = s ? std::u16string(s) : u"(null)";
        }
        if (field.precision >= 0 && static_cast<std::size_t>(field.precision) < text.size())
          text.resize(field.precision);
        AppendPadded(out, text, field.width, left, room);
        break;
      }
      case u'n':
        va_arg(args, void*);
        break;  // never written through
      default:
        out.append(start, p);
        break;  // not a conversion: kept as written
    }
  }
  return out;
}

int Store(const std::u16string& text, LPWSTR buffer, int size, bool& cut) {
  cut = static_cast<int>(text.size()) >= size;
  const int n = cut ? size - 1 : static_cast<int>(text.size());
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

constexpr int kWsprintfLimit = 1024;

}  // namespace

int wvnsprintfW(LPWSTR buffer, int size, LPCWSTR format, va_list args) {
  if (!buffer || size <= 0) return -1;
  if (!format) {
    buffer[0] = 0;
    return -1;
  }
  va_list copy;
  va_copy(copy, args);
  const long long limit = std::min<long long>(size, kMaxOutput);
  const std::u16string text = Format(format, copy, limit);
  va_end(copy);
  bool cut = false;
  const int n = Store(text, buffer, size, cut);
  return cut || static_cast<long long>(text.size()) >= limit ? -1 : n;
}

int wnsprintfW(LPWSTR buffer, int size, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int n = wvnsprintfW(buffer, size, format, args);
  va_end(args);
  return n;
}

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
  if (!buffer || !format) return 0;
  va_list copy;
  va_copy(copy, args);
  const std::u16string text = Format(format, copy, kWsprintfLimit);
  va_end(copy);
  bool cut = false;
  return Store(text, buffer, kWsprintfLimit, cut);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int n = wvsprintfW(buffer, format, args);
  va_end(args);
  return n;
}
