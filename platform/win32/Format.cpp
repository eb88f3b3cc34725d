// wsprintfW and friends: printf-style formatting into wide strings.
#include <cstdio>
#include <string>

#include "platform/win32/Win32State.h"

namespace {

void AppendAscii(std::u16string& out, const char* s) {
  while (*s) out += static_cast<char16_t>(static_cast<unsigned char>(*s++));
}

void AppendPadded(std::u16string& out, std::u16string_view text, int width, bool left) {
  const int pad = width > static_cast<int>(text.size()) ? width - static_cast<int>(text.size()) : 0;
  if (!left) out.append(static_cast<std::size_t>(pad), u' ');
  out += text;
  if (left) out.append(static_cast<std::size_t>(pad), u' ');
}

std::u16string Format(const char16_t* format, va_list args) {
  std::u16string out;
  for (const char16_t* p = format; *p;) {
    if (*p != u'%') {
      out += *p++;
      continue;
    }
    const char16_t* start = p++;
    std::string flags;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'0' || *p == u'#') flags += static_cast<char>(*p++);
    int width = 0;
    if (*p == u'*') {
      width = va_arg(args, int);
      if (width < 0) {
        flags += '-';
        width = -width;
      }
      ++p;
    } else {
      while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
    }
    int precision = -1;
    if (*p == u'.') {
      ++p;
      precision = 0;
      if (*p == u'*') {
        precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= u'0' && *p <= u'9') precision = precision * 10 + (*p++ - u'0');
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
    const bool left = flags.find('-') != std::string::npos;
    const char16_t conv = *p ? *p++ : u'\0';
    std::string directive =
        "%" + flags + (width ? std::to_string(width) : "") + (precision >= 0 ? "." + std::to_string(precision) : "");
    char buffer[512];
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
        std::snprintf(buffer, sizeof buffer, (directive + "lld").c_str(), v);
        AppendAscii(out, buffer);
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
        std::snprintf(buffer, sizeof buffer, (directive + "ll" + static_cast<char>(conv)).c_str(), v);
        AppendAscii(out, buffer);
        break;
      }
      case u'p': {
        std::snprintf(buffer, sizeof buffer, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(va_arg(args, void*))));
        AppendPadded(out, Win32FromUtf8(buffer), width, left);
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
        if (length == kLongDouble)
          std::snprintf(buffer, sizeof buffer, (directive + "L" + static_cast<char>(conv)).c_str(),
                        va_arg(args, long double));
        else
          std::snprintf(buffer, sizeof buffer, (directive + static_cast<char>(conv)).c_str(), va_arg(args, double));
        AppendAscii(out, buffer);
        break;
      }
      case u'c':
      case u'C': {
        const int v = va_arg(args, int);
        const bool narrow = length == kShort || (conv == u'C' && length != kLong);
        const std::u16string text =
            narrow ? Win32FromUtf8(std::string(1, static_cast<char>(v))) : std::u16string(1, static_cast<char16_t>(v));
        AppendPadded(out, text, width, left);
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
        if (precision >= 0 && static_cast<std::size_t>(precision) < text.size()) text.resize(precision);
        AppendPadded(out, text, width, left);
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
  const std::u16string text = Format(format, copy);
  va_end(copy);
  bool cut = false;
  const int n = Store(text, buffer, size, cut);
  return cut ? -1 : n;
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
  const std::u16string text = Format(format, copy);
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
