// The file types the viewer opens, by the extension of their names: the videos and the pictures
// the media worker decodes. The folder list, the opener (which buttons a file gets) and the open
// dialog's filters all read these lists. Any thread.
#pragma once

#include <span>
#include <string>
#include <string_view>

// Lower case, without the ".".
std::span<const char16_t* const> VideoExtensions();
std::span<const char16_t* const> PictureExtensions();

// True when the extension (without the ".") is on the list, compared without regard to the
// case of ASCII letters.
bool IsVideoExtension(std::u16string_view extension);
bool IsPlayableExtension(std::u16string_view extension);

// The extensions as open-dialog patterns: "*.avi;*.wmv;...;" (each pattern followed by ";").
std::u16string DialogPatterns(std::span<const char16_t* const> extensions);
