// Lossless mapping between Windows-form and native paths.
#include "platform/win32/Paths.h"

#include "platform/win32/Win32State.h"

namespace {

constexpr char16_t kEscape = 0xDC00;

bool IsEscapable(unsigned byte) {
  return byte == '\\' || byte >= 0x80;
}

}  // namespace

std::string Win32ToNativePath(std::u16string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (c == u'\\' || c == u'/') {
      out += '/';
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
      out += Win32ToUtf8(path.substr(i, 2));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      const unsigned byte = static_cast<unsigned>(c - kEscape);
      if (c < kEscape || byte > 0xFF || !IsEscapable(byte)) return {};
      out += static_cast<char>(byte);
    } else if (c == 0) {
      return {};
    } else {
      out += Win32ToUtf8(path.substr(i, 1));
    }
  }
  return out;
}

std::u16string Win32FromNativePath(std::string_view native) {
  std::u16string out;
  out.reserve(native.size());
  for (std::size_t i = 0; i < native.size();) {
    const unsigned char b = static_cast<unsigned char>(native[i]);
    if (b == '/') {
      out += u'\\';
      ++i;
      continue;
    }
    std::size_t length = 0;
    const char32_t cp = Win32DecodeUtf8(native, i, length);
    if (length == 0 || cp == '\\') {
      out += static_cast<char16_t>(kEscape + b);
      ++i;
      continue;
    }
    i += length;
    Win32AppendUtf16(out, cp);
  }
  return out;
}
