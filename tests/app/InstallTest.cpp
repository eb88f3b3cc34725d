// cmake --install of this build into a fresh prefix (with a space in it): the layout, the desktop
// entry, and the installed program started from "/" with its images, fonts and sounds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/ScreenImage.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace fs = std::filesystem;

namespace {

fs::path BuildDir() {
  const char* dir = std::getenv("ORBELLE_BUILD_DIR");
  return dir ? dir : ORBELLE_BUILD_DIR_DEFAULT;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(Install, AnInstalledCopyStartsFromAnotherFolderWithItsData) {
  XSession x(true);
  ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
  const TempDir temp("orbelle install");
  const fs::path& prefix = temp.path();
  int status = -1;
  x.Run({ORBELLE_CMAKE_COMMAND, "--install", BuildDir().string(), "--prefix", prefix.string()}, &status);
  ASSERT_EQ(0, status) << "cmake --install failed";

  // The program folder holds the program and its data; bin/ links to it; nothing else is in bin/.
  const fs::path program = prefix / "lib" / "orbelle-player";
  ASSERT_TRUE(fs::is_symlink(prefix / "bin" / "orbelle-player"));
  EXPECT_TRUE(fs::equivalent(prefix / "bin" / "orbelle-player", program / "orbelle-player"));
  for (const char* file : {"image/ようこそ.bmp", "image/説明書.bmp", "image/menu.png", "font/cinecaption2.24.TTF",
                           "font/FAMania2.6.TTF", "sound/be2_01.wav", "sound/wa_007.wav"})
    EXPECT_TRUE(fs::is_regular_file(program / file)) << file;
  for (const auto& entry : fs::directory_iterator(program))
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("bench")) << entry.path();
  for (const char* size : {"48", "128", "256"}) {
    const fs::path icon = prefix / "share/icons/hicolor" / (std::string(size) + "x" + size) / "apps/orbelle-player.png";
    EXPECT_EQ(std::string(size) + "x" + size, x.Run({"identify", "-format", "%wx%h", icon.string()})) << icon;
  }
  // Everything installed lies inside the prefix.
  std::istringstream manifest(ReadFile(BuildDir() / "install_manifest.txt"));
  std::string line;
  int installed = 0;
  while (std::getline(manifest, line)) {
    ++installed;
    EXPECT_EQ(0u, line.find(prefix.string())) << line;
  }
  EXPECT_GT(installed, 20);

  // The desktop entry: valid, naming the installed program and the types the open dialog offers.
  const fs::path entry = prefix / "share/applications/io.github.orbelle_player.OrbellePlayer.desktop";
  const std::string validation = x.Run({"desktop-file-validate", entry.string()}, &status);
  EXPECT_EQ(0, status) << validation;
  EXPECT_EQ("", validation);
  const std::string text = ReadFile(entry);
  EXPECT_NE(std::string::npos, text.find("\nExec=\"" + (prefix / "bin/orbelle-player").string() + "\" %f\n")) << text;
  EXPECT_NE(std::string::npos, text.find("\nName[ja]=")) << text;
  for (const char* type : {"video/x-msvideo;", "video/x-ms-wmv;", "application/vnd.ms-asf;", "video/mpeg;",
                           "image/bmp;", "image/jpeg;", "image/gif;"})
    EXPECT_NE(std::string::npos, text.find(type)) << type;

  // Started from "/", the installed program works in its own folder: the welcome picture shows
  // through the lens, and its interface font is the installed file.
  pid_t pid = -1;
  std::string window;
  ASSERT_TRUE(x.StartPlayer({(prefix / "bin/orbelle-player").string()}, "/", &pid, &window));
  std::string title;
  WaitUntil([&] { return (title = x.Run({"xdotool", "getwindowname", window})) == "ようこそ.bmp - Orbelle-Player"; });
  EXPECT_EQ("ようこそ.bmp - Orbelle-Player", title) << "the welcome picture is not open";
  EXPECT_TRUE(fs::equivalent(program, fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd")));
  const std::vector<Rgb> welcome = ImagePixels(x, (program / "image/ようこそ.bmp").string(), 290, 210, 60, 60);
  double difference = 1e9;
  WaitUntil([&] {
    difference = MeanDifference(WindowPixels(x, window, 290, 210, 60, 60), welcome);
    return difference < 20.0;
  });
  EXPECT_LT(difference, 20.0) << "the lens does not show the installed welcome picture";
  const std::string maps = ReadFile("/proc/" + std::to_string(pid) + "/maps");
  EXPECT_NE(std::string::npos, maps.find((program / "font/cinecaption2.24.TTF").string()))
      << "the interface font is not the installed one";

  x.Run({"xdotool", "key", "--window", window, "Escape"});
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}
