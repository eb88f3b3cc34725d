#include "media/MediaExtensions.h"

#include <algorithm>

namespace {

// Containers first as the viewer always knew them (avi, wmv, mpg), then the others. "asf" is
// the ASF container under its own name, "mts" the camcorder's name for a transport stream.
constexpr const char16_t* kVideos[] = {u"avi", u"wmv", u"asf",  u"mpg", u"mpeg", u"mp4",  u"m4v",
                                       u"mov", u"mkv", u"webm", u"ogv", u"ts",   u"m2ts", u"mts"};
constexpr const char16_t* kPictures[] = {u"bmp",  u"jpg",  u"jpeg", u"jpe",  u"gif", u"png",
                                         u"webp", u"heic", u"heif", u"avif", u"tif", u"tiff"};

char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool OnList(std::span<const char16_t* const> list, std::u16string_view extension) {
  return std::any_of(list.begin(), list.end(), [&](const char16_t* known) {
    const std::u16string_view name(known);
    return name.size() == extension.size() && std::equal(name.begin(), name.end(), extension.begin(),
                                                         [](char16_t a, char16_t b) { return a == Lower(b); });
  });
}

}  // namespace

std::span<const char16_t* const> VideoExtensions() {
  return kVideos;
}

std::span<const char16_t* const> PictureExtensions() {
  return kPictures;
}

bool IsVideoExtension(std::u16string_view extension) {
  return OnList(kVideos, extension);
}

bool IsPlayableExtension(std::u16string_view extension) {
  return OnList(kVideos, extension) || OnList(kPictures, extension);
}

std::u16string DialogPatterns(std::span<const char16_t* const> extensions) {
  std::u16string patterns;
  for (const char16_t* extension : extensions) patterns += u"*." + std::u16string(extension) + u";";
  return patterns;
}
