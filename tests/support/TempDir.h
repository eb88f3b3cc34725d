// A fresh folder of one test's own under the system's temporary folder, removed with everything
// in it when the object goes; files with given bytes are written into it by name.
// Header-only so that every test folder and the benchmarks can use it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

class TempDir {
 public:
  // prefix starts the folder's name (a unique ending follows), so a leftover shows whose it is.
  explicit TempDir(const std::string& prefix = "orbelle") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder from " + pattern);
    m_path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }

  // Writes bytes to the file name in the folder, replacing it; returns the file's full path.
  std::filesystem::path Write(const std::filesystem::path& name, std::string_view bytes) const {
    const std::filesystem::path file = m_path / name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file;
  }
  // The same for a vector of bytes or of char.
  template <class Byte>
  std::filesystem::path Write(const std::filesystem::path& name, const std::vector<Byte>& bytes) const {
    static_assert(sizeof(Byte) == 1, "bytes are written as they are");
    return Write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

 private:
  std::filesystem::path m_path;
};
