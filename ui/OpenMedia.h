// The rules by which the player opens a file: which extensions are video, and the window title
// for a path. The scene's OpenFileDialog and OpenMedia (ui/OpenMedia.cpp) apply them.
#pragma once

#include <string>

// True when the two strings are equal ignoring case (CompareStringW with NORM_IGNORECASE).
bool ExtensionEquals(const std::u16string& extension, const std::u16string& literal);
// The text after the last "." of the path (the whole path without one) is a video's extension
// (VideoExtensions) in any case.
bool IsVideoPath(const std::u16string& path);
// The open dialog's filters: "読めるファイル全部" with every type the viewer opens, "動画" with the
// videos, "絵" with the pictures; each description and pattern list ends in a terminator, and a
// second one ends the whole.
const std::u16string& OpenDialogFilter();
// "name - Orbelle-Player" for the text after the path's last "\", or "Orbelle-Player" alone
// when that text is empty.
std::u16string WindowTitleFor(const std::u16string& path);

inline constexpr const char16_t* WINDOW_TITLE = u"Orbelle-Player";
// Size in code units of the process-wide dialog path buffer (terminator included).
constexpr int DIALOG_PATH_SIZE = 512;
