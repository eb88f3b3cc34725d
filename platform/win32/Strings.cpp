// Wide-string helpers: UTF conversions, lstr*, CompareStringW and the path splitter.
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/win32/Win32State.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point; a lone surrogate sets `lone`.
char32_t NextUtf16(std::u16string_view s, std::size_t& i, bool& lone) {
  const char16_t c = s[i++];
  lone = false;
  if (c >= 0xD800 && c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (s[i++] - 0xDC00);
  if (c >= 0xD800 && c <= 0xDFFF) lone = true;
  return c;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Converts, replacing lone surrogates; nullopt when strict and one was found.
std::optional<std::string> ToUtf8(std::u16string_view s, bool strict) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    bool lone = false;
    char32_t cp = NextUtf16(s, i, lone);
    if (lone) {
      if (strict) return std::nullopt;
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::optional<std::u16string> FromUtf8(std::string_view s, bool strict) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t length = 0;
    const char32_t cp = Win32DecodeUtf8(s, i, length);
    if (length == 0) {
      if (strict) return std::nullopt;
      out += static_cast<char16_t>(kReplacement);
      ++i;
      continue;
    }
    i += length;
    Win32AppendUtf16(out, cp);
  }
  return out;
}

std::size_t WideLength(LPCWSTR s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace

char32_t Win32DecodeUtf8(std::string_view s, std::size_t at, std::size_t& length) {
  length = 0;
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[at + k]); };
  const unsigned char c = b(0);
  if (c < 0x80) {
    length = 1;
    return c;
  }
  int n = 0;
  char32_t cp = 0, min = 0;
  if ((c & 0xE0) == 0xC0) {
    n = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (at + n > s.size()) return 0;
  for (int k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = static_cast<std::size_t>(n);
  return cp;
}

std::string Win32ToUtf8(std::u16string_view text) {
  return *ToUtf8(text, false);
}
std::u16string Win32FromUtf8(std::string_view text) {
  return *FromUtf8(text, false);
}

int WideCharToMultiByte(UINT, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiSize, LPCSTR,
                        BOOL* usedDefaultChar) {
  if (!wide || wideCount == 0 || wideCount < -1 || multiSize < 0 || (multiSize > 0 && !multi)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t n = wideCount == -1 ? WideLength(wide) + 1 : static_cast<std::size_t>(wideCount);
  const auto out = ToUtf8(std::u16string_view(wide, n), flags & WC_ERR_INVALID_CHARS);
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (!out) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (multiSize == 0) return static_cast<int>(out->size());
  if (out->size() > static_cast<std::size_t>(multiSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(multi, out->data(), out->size());
  return static_cast<int>(out->size());
}

int MultiByteToWideChar(UINT, DWORD flags, LPCSTR multi, int multiCount, LPWSTR wide, int wideSize) {
  if (!multi || multiCount == 0 || multiCount < -1 || wideSize < 0 || (wideSize > 0 && !wide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t n = multiCount == -1 ? std::strlen(multi) + 1 : static_cast<std::size_t>(multiCount);
  const auto out = FromUtf8(std::string_view(multi, n), flags & MB_ERR_INVALID_CHARS);
  if (!out) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (wideSize == 0) return static_cast<int>(out->size());
  if (out->size() > static_cast<std::size_t>(wideSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(out->begin(), out->end(), wide);
  return static_cast<int>(out->size());
}

int lstrlenW(LPCWSTR s) {
  return s ? static_cast<int>(WideLength(s)) : 0;
}

LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src) {
  if (!dst || !src) return nullptr;
  std::copy_n(src, WideLength(src) + 1, dst);
  return dst;
}

LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int max) {
  if (!dst || !src || max <= 0) return dst;
  int i = 0;
  for (; i < max - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src) {
  if (!dst || !src) return nullptr;
  lstrcpyW(dst + WideLength(dst), src);
  return dst;
}

char16_t Win32FoldCase(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F) ||
      (c >= 0xFF21 && c <= 0xFF3A))
    return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  // Latin Extended-A pairs upper/lower as even/odd, shifting by one around U+0138 and U+0178.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return static_cast<char16_t>(c | 1);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c & 1 ? static_cast<char16_t>(c + 1) : c;
  if (c == 0x178) return 0xFF;
  return c;
}

int CompareStringW(LCID, DWORD flags, LPCWSTR a, int countA, LPCWSTR b, int countB) {
  if (!a || !b || countA < -1 || countB < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t na = countA == -1 ? WideLength(a) : static_cast<std::size_t>(countA);
  const std::size_t nb = countB == -1 ? WideLength(b) : static_cast<std::size_t>(countB);
  const bool fold = flags & NORM_IGNORECASE;
  for (std::size_t i = 0; i < na && i < nb; ++i) {
    const char16_t ca = fold ? Win32FoldCase(a[i]) : a[i];
    const char16_t cb = fold ? Win32FoldCase(b[i]) : b[i];
    if (ca != cb) return ca < cb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  return na == nb ? CSTR_EQUAL : (na < nb ? CSTR_LESS_THAN : CSTR_GREATER_THAN);
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  return a && b ? CompareStringW(LOCALE_USER_DEFAULT, 0, a, -1, b, -1) - 2 : (a ? 1 : (b ? -1 : 0));
}
int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  return a && b ? CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) - 2 : (a ? 1 : (b ? -1 : 0));
}

errno_t _wsplitpath_s(const WCHAR* path, WCHAR* drive, std::size_t driveSize, WCHAR* dir, std::size_t dirSize,
                      WCHAR* fname, std::size_t fnameSize, WCHAR* ext, std::size_t extSize) {
  struct Part {
    WCHAR* out;
    std::size_t size;
  };
  const Part parts[] = {{drive, driveSize}, {dir, dirSize}, {fname, fnameSize}, {ext, extSize}};
  auto clear = [&] {
    for (const Part& p : parts)
      if (p.out && p.size > 0) p.out[0] = 0;
  };
  bool badSize = false;
  for (const Part& p : parts) badSize |= p.out && p.size == 0;
  if (!path || badSize) {
    clear();
    return EINVAL;
  }
  const std::u16string_view s(path);
  const std::size_t slash = s.find_last_of(u"\\/");
  const std::size_t nameStart = slash == std::u16string_view::npos ? 0 : slash + 1;
  std::size_t dot = s.find_last_of(u'.');
  if (dot == std::u16string_view::npos || dot < nameStart) dot = s.size();
  const std::u16string_view pieces[] = {u"", s.substr(0, nameStart), s.substr(nameStart, dot - nameStart),
                                        s.substr(dot)};
  for (int i = 0; i < 4; ++i)
    if (parts[i].out && pieces[i].size() >= parts[i].size) {
      clear();
      return ERANGE;
    }
  for (int i = 0; i < 4; ++i)
    if (parts[i].out) {
      std::copy(pieces[i].begin(), pieces[i].end(), parts[i].out);
      parts[i].out[pieces[i].size()] = 0;
    }
  return 0;
}

void _wsplitpath(const WCHAR* path, WCHAR* drive, WCHAR* dir, WCHAR* fname, WCHAR* ext) {
  _wsplitpath_s(path, drive, drive ? _MAX_DRIVE : 0, dir, dir ? _MAX_DIR : 0, fname, fname ? _MAX_FNAME : 0, ext,
                ext ? _MAX_EXT : 0);
}

void Win32AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}
