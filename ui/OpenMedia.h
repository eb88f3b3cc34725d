// The rules by which the player opens a file: which extensions are video, and the window title
// for a path. The scene's OpenFileDialog and OpenMedia (ui/OpenMedia.cpp) apply them.
#pragma once

#include <string>

// True when the two strings are equal ignoring case (CompareStringW with NORM_IGNORECASE).
bool ExtensionEquals(const std::u16string& extension, const std::u16string& literal);
// The text after the last "." of the path (the whole path without one) is a video's extension
// (VideoExtensions) in any case.
bool IsVideoPath(const std::u16string& path);
// "name - Orbelle-Player" for the text after the path's last "\", or "Orbelle-Player" alone
// when that text is empty.
std::u16string WindowTitleFor(const std::u16string& path);

inline constexpr const char16_t* WINDOW_TITLE = u"Orbelle-Player";
// Size in code units of the process-wide dialog path buffer (terminator included).
constexpr int DIALOG_PATH_SIZE = 512;
