// Conversion between the program's Windows-form paths and native Linux paths. Any thread.
//
// Windows form -> native: "\" and "/" become "/", other text becomes UTF-8, and the lone
// surrogates U+DC00 + b (b = 0x5C or b >= 0x80) become the single byte b.
// Native -> Windows form: "/" becomes "\", valid UTF-8 decodes normally, and every byte that is
// not part of valid UTF-8, as well as a backslash byte inside a name, becomes U+DC00 + byte.
// So every native path comes back to exactly the same bytes, and two native paths never map to
// the same Windows-form path. Relative paths stay relative (resolved against the current folder).
#pragma once

#include <string>
#include <string_view>

// Empty when the path holds a lone surrogate outside the escapes above (it names no native file).
std::string Win32ToNativePath(std::u16string_view path);
std::u16string Win32FromNativePath(std::string_view native);
