// After a video has played with its sound and a picture has been shown, the viewer's own
// process has mapped no code that parses a file: no demuxer, decoder or typefinder plugin, no
// codec library, no picture loader. Only the raw-data elements the graph itself uses are there.
#include <fstream>
#include <set>
#include <string>

#include "MediaTestSupport.h"
#include "media/MovieSource.h"
#include "support/TestDevice.h"

namespace {

std::set<std::string> MappedFiles() {
  std::ifstream maps("/proc/self/maps");
  std::set<std::string> files;
  std::string line;
  while (std::getline(maps, line)) {
    const std::size_t slash = line.find('/');
    if (slash != std::string::npos) files.insert(line.substr(slash));
  }
  return files;
}

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

TEST(ViewerMemoryMapTest, NothingThatParsesAFileIsMappedAfterAVideoAndAPicture) {
  TestDevice device;
  ASSERT_NE(nullptr, device.get());
  CapturedBoxes boxes;
  {
    CMovieSource video;
    ASSERT_EQ(S_OK, video.Open(device.get(), Fixture("clip.avi").c_str(), true));
    ASSERT_TRUE(WaitUntil([&] { return video.GetFramesRendered() > 5; }));
    CMovieSource asf;
    ASSERT_EQ(S_OK, asf.Open(device.get(), Fixture("clip.wmv").c_str(), true));
    ASSERT_TRUE(WaitUntil([&] { return asf.GetFramesRendered() > 5; }));
    CMovieSource picture;
    ASSERT_EQ(S_OK, picture.Open(device.get(), Fixture("quadrants.jpg").c_str(), true));
    ASSERT_TRUE(WaitUntil([&] { return picture.GetFramesRendered() > 0; }));
  }
  EXPECT_TRUE(boxes.boxes.empty());
  // The graph's own elements: app sources and sinks, the queue, audio conversion, volume and
  // the audio sinks (a device's or the discarding one).
  const std::set<std::string> allowedPlugins = {"libgstcoreelements.so",  "libgstapp.so",    "libgstaudioconvert.so",
                                                "libgstaudioresample.so", "libgstvolume.so", "libgstautodetect.so",
                                                "libgstpulseaudio.so",    "libgstalsa.so",   "libgstdebugutilsbad.so"};
  // The sound libraries the program links for its own sound effects (SDL2_mixer's Ogg, MP3 and
  // Opus decoders, libvorbisfile) decode only the program's own files and are not counted.
  const char* parsers[] = {"libavcodec", "libavformat", "libavfilter", "libswscale",        "liba52",
                           "libtheora",  "libvpx",      "libdav1d",    "libgdk_pixbuf",     "libpixbufloader",
                           "librsvg",    "libopenmpt",  "libgstriff",  "libgstcodecparsers"};
  int mapped = 0;
  for (const std::string& file : MappedFiles()) {
    SCOPED_TRACE(file);
    ++mapped;
    const std::string name = BaseName(file);
    if (file.find("/gstreamer-1.0/") != std::string::npos && name.ends_with(".so")) {
      EXPECT_TRUE(allowedPlugins.count(name)) << "a plugin beyond the graph's own raw-data elements";
    }
    for (const char* parser : parsers) EXPECT_FALSE(name.starts_with(parser)) << "a parsing library";
  }
  EXPECT_GT(mapped, 10);  // the map was read
}

}  // namespace
