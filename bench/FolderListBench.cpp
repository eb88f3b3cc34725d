// (c) The media file list on a folder of 100,000 playable files: the folder search alone (the
// baseline), the whole rebuild (search and sort), and the sort of the names alone against a
// plain code-unit sort.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "media/MediaFileList.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kFiles = 100000;

// Names as cameras and people make them: several prefixes in both cases, numbers of different
// widths, some Japanese, every accepted extension; created once and removed at exit.
class BigFolder {
 public:
  BigFolder() {
    const char* prefixes[] = {"clip", "Clip", "IMG_", "動画", "photo ", "DSC0"};
    const char* extensions[] = {".avi", ".wmv", ".mpg", ".bmp", ".jpg", ".gif"};
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = std::string(prefixes[i % 6]) + std::to_string((i * 7919L) % 1000003) + "_" +
                               std::to_string(i) + extensions[(i / 6) % 6];
      const int fd = ::open((m_path + "/" + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
      if (fd >= 0) ::close(fd);
    }
    m_folder = Win32FromNativePath(m_path) + u"\\";
  }
  const std::u16string& Folder() const { return m_folder; }

 private:
  TempDir m_dir{"orbelle-bench-folder"};
  std::string m_path = m_dir.path().string();
  std::u16string m_folder;
};

const BigFolder& Folder() {
  static BigFolder folder;
  return folder;
}

std::vector<std::u16string> SearchNames() {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW((Folder().Folder() + u"\\*.*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.emplace_back(data.cFileName);
  while (FindNextFileW(search, &data));
  FindClose(search);
  return names;
}

void BM_FolderSearch(benchmark::State& state) {
  Folder();  // made before the timing starts
  for (auto _ : state) benchmark::DoNotOptimize(SearchNames());
  state.SetItemsProcessed(state.iterations() * kFiles);
}

void BM_MediaFileListRebuild(benchmark::State& state) {
  Folder();
  CMediaFileList list;
  for (auto _ : state) {
    list.Rebuild(Folder().Folder());
    benchmark::DoNotOptimize(list.Count());
  }
  if (list.Count() != kFiles) state.SkipWithError("the list does not hold every file");
  state.SetItemsProcessed(state.iterations() * kFiles);
}

// The list's comparison: the file manager's order, ties in code-unit order.
bool FileManagerLess(const std::u16string& a, const std::u16string& b) {
  if (const int order = StrCmpLogicalW(a.c_str(), b.c_str())) return order < 0;
  return a < b;
}

void SortNames(benchmark::State& state, bool logical) {
  const std::vector<std::u16string> names = SearchNames();
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::u16string> copy = names;
    state.ResumeTiming();
    if (logical)
      std::sort(copy.begin(), copy.end(), FileManagerLess);
    else
      std::sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
void BM_SortFileManagerOrder(benchmark::State& state) {
  SortNames(state, true);
}
void BM_SortCodeUnitOrder(benchmark::State& state) {
  SortNames(state, false);
}

BENCHMARK(BM_FolderSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MediaFileListRebuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortFileManagerOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortCodeUnitOrder)->Unit(benchmark::kMillisecond);

}  // namespace
