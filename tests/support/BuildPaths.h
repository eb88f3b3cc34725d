// Where tests find what the build made and what the sources hold: the program with its data
// folders (ORBELLE_BIN_DIR) and the source tree (ORBELLE_SOURCE_DIR), the configured build's own
// folders when they are not set.
#pragma once

#include <cstdlib>
#include <filesystem>

inline std::filesystem::path BinDir() {
  const char* dir = std::getenv("ORBELLE_BIN_DIR");
  return dir ? dir : ORBELLE_BIN_DIR_DEFAULT;
}
inline std::filesystem::path SourceDir() {
  const char* dir = std::getenv("ORBELLE_SOURCE_DIR");
  return dir ? dir : ORBELLE_SOURCE_DIR_DEFAULT;
}
