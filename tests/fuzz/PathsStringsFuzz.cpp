// Round trips of the path and text conversions, for any bytes:
// - a native path (any bytes but NUL) comes back from its Windows form unchanged, with one "\"
//   for every "/" and never a NUL (so two native paths never share a Windows form);
// - text that iconv accepts as UTF-8 converts strictly to the same UTF-16 as iconv gives and back
//   to the same bytes; text it refuses is refused by the strict conversion;
// - UTF-16 without lone surrogates comes back from UTF-8 unchanged; with them, the lenient
//   conversion gives valid UTF-8 of one replacement character per lone surrogate;
// - splitting a path gives pieces that put together are the path; comparison is antisymmetric.
#include <iconv.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// iconv's answer, or false when it refuses the bytes.
bool IconvUtf8ToUtf16(const std::string& in, std::u16string& out) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  FUZZ_CHECK(cd != reinterpret_cast<iconv_t>(-1));
  std::vector<char> buffer(in.size() * 2 + 8);
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = buffer.data();
  std::size_t dstLeft = buffer.size();
  const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return false;
  const std::size_t bytes = buffer.size() - dstLeft;
  out.assign(bytes / 2, u'\0');
  std::memcpy(out.data(), buffer.data(), bytes & ~std::size_t{1});
  return true;
}

std::optional<std::u16string> Utf8ToUtf16(const std::string& s, DWORD flags) {
  if (s.empty()) return std::u16string();
  const int n = MultiByteToWideChar(CP_UTF8, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  FUZZ_CHECK(MultiByteToWideChar(CP_UTF8, flags, s.data(), static_cast<int>(s.size()), out.data(), n) == n);
  return out;
}

std::optional<std::string> Utf16ToUtf8(const std::u16string& w, DWORD flags) {
  if (w.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  FUZZ_CHECK(
      WideCharToMultiByte(CP_UTF8, flags, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr) == n);
  return out;
}

std::size_t LoneSurrogates(const std::u16string& w) {
  std::size_t lone = 0;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const bool high = w[i] >= 0xD800 && w[i] <= 0xDBFF;
    const bool low = w[i] >= 0xDC00 && w[i] <= 0xDFFF;
    if (high && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF)
      ++i;
    else if (high || low)
      ++lone;
  }
  return lone;
}

void CheckNativePath(std::string native) {
  std::erase(native, '\0');
  const std::u16string windows = Win32FromNativePath(native);
  FUZZ_CHECK(Win32ToNativePath(windows) == native);
  FUZZ_CHECK(windows.find(u'\0') == std::u16string::npos);
  FUZZ_CHECK(std::count(windows.begin(), windows.end(), u'\\') == std::count(native.begin(), native.end(), '/'));
  FUZZ_CHECK(std::count(windows.begin(), windows.end(), u'/') == 0);
}

void CheckUtf8(const std::string& text) {
  std::u16string reference;
  const bool valid = IconvUtf8ToUtf16(text, reference);
  const auto strict = Utf8ToUtf16(text, MB_ERR_INVALID_CHARS);
  FUZZ_CHECK(strict.has_value() == valid);
  if (valid) {
    FUZZ_CHECK(*strict == reference);
    FUZZ_CHECK(Utf16ToUtf8(*strict, WC_ERR_INVALID_CHARS) == text);
  }
  // The lenient form always converts, and what it gives is valid UTF-16.
  const auto lenient = Utf8ToUtf16(text, 0);
  FUZZ_CHECK(lenient.has_value());
  FUZZ_CHECK(LoneSurrogates(*lenient) == 0);
}

void CheckUtf16(const std::u16string& wide) {
  const std::size_t lone = LoneSurrogates(wide);
  const auto strict = Utf16ToUtf8(wide, WC_ERR_INVALID_CHARS);
  FUZZ_CHECK(strict.has_value() == (lone == 0));
  const auto lenient = Utf16ToUtf8(wide, 0);
  FUZZ_CHECK(lenient.has_value());
  const auto back = Utf8ToUtf16(*lenient, MB_ERR_INVALID_CHARS);
  FUZZ_CHECK(back.has_value());
  if (lone == 0) {
    FUZZ_CHECK(*back == wide);
  } else {
    FUZZ_CHECK(back->size() == wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
      const bool surrogate = wide[i] >= 0xD800 && wide[i] <= 0xDFFF;
      FUZZ_CHECK(surrogate ? ((*back)[i] == wide[i] || (*back)[i] == 0xFFFD) : (*back)[i] == wide[i]);
    }
  }
}

void CheckSplitAndCompare(std::u16string a, std::u16string b) {
  std::erase(a, u'\0');
  std::erase(b, u'\0');
  std::vector<WCHAR> drive(a.size() + 2), dir(a.size() + 2), name(a.size() + 2), ext(a.size() + 2);
  FUZZ_CHECK(_wsplitpath_s(a.c_str(), drive.data(), drive.size(), dir.data(), dir.size(), name.data(), name.size(),
                           ext.data(), ext.size()) == 0);
  const std::u16string d = dir.data(), n = name.data(), e = ext.data();
  FUZZ_CHECK(std::u16string(drive.data()) + d + n + e == a);
  FUZZ_CHECK(n.find_first_of(u"\\/") == std::u16string::npos && e.find_first_of(u"\\/") == std::u16string::npos);
  FUZZ_CHECK(e.empty() || (e[0] == u'.' && e.find(u'.', 1) == std::u16string::npos));
  for (const DWORD flags : {DWORD{0}, DWORD{NORM_IGNORECASE}}) {
    const int ab = CompareStringW(LOCALE_USER_DEFAULT, flags, a.c_str(), -1, b.c_str(), -1);
    const int ba = CompareStringW(LOCALE_USER_DEFAULT, flags, b.c_str(), -1, a.c_str(), -1);
    FUZZ_CHECK(ab >= CSTR_LESS_THAN && ab <= CSTR_GREATER_THAN && ab + ba == 2 * CSTR_EQUAL);
    FUZZ_CHECK(CompareStringW(LOCALE_USER_DEFAULT, flags, a.c_str(), -1, a.c_str(), -1) == CSTR_EQUAL);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckNativePath(bytes);
  CheckUtf8(bytes);
  std::u16string wide(size / 2, u'\0');
  std::memcpy(wide.data(), data, wide.size() * 2);
  CheckUtf16(wide);
  const std::size_t half = wide.size() / 2;
  CheckSplitAndCompare(wide.substr(0, half), wide.substr(half));
  return 0;
}
