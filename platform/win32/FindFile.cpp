// Folder search with Windows wildcard rules over readdir, in the file system's order.
#include <sys/stat.h>

#include <cerrno>

#include "platform/win32/FileHandles.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Win32State.h"

namespace {

bool Match(std::u16string_view pattern, std::u16string_view name) {
  // Iterative glob with backtracking to the last "*".
  std::size_t p = 0, n = 0, star = std::u16string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || Win32FoldCase(pattern[p]) == Win32FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool MatchesWindows(std::u16string_view pattern, std::u16string_view name) {
  if (pattern.empty()) return false;
  if (Match(pattern, name)) return true;
  const bool hasDot = name.find(u'.') != std::u16string_view::npos;
  // A final ".*" also takes names without an extension ("*.*" matches everything); a final "."
  // asks for names without one.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*")
    return !hasDot && Match(pattern.substr(0, pattern.size() - 2), name);
  if (pattern.back() == u'.') return !hasDot && Match(pattern.substr(0, pattern.size() - 1), name);
  return false;
}

FILETIME FileTime(const struct timespec& t) {
  // 100 ns intervals since 1601-01-01.
  const ULONGLONG ticks = (static_cast<ULONGLONG>(t.tv_sec) + 11644473600ull) * 10000000ull + t.tv_nsec / 100;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Fills data with the next entry that matches; false at the end of the folder.
bool NextMatch(SearchObject* s, LPWIN32_FIND_DATAW data) {
  while (dirent* entry = ::readdir(s->dir)) {
    const std::u16string name = Win32FromNativePath(entry->d_name);
    if (name.size() >= MAX_PATH || !MatchesWindows(s->namePattern, name)) continue;
    *data = WIN32_FIND_DATAW{};
    struct stat st {};
    const std::string full = s->nativeFolder + entry->d_name;
    if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) st = {};
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (entry->d_name[0] == '.' && name != u"." && name != u"..") attributes |= FILE_ATTRIBUTE_HIDDEN;
    data->dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    data->ftCreationTime = FileTime(st.st_ctim);
    data->ftLastAccessTime = FileTime(st.st_atim);
    data->ftLastWriteTime = FileTime(st.st_mtim);
    data->nFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_size) >> 32);
    data->nFileSizeLow = static_cast<DWORD>(st.st_size);
    std::copy(name.begin(), name.end(), data->cFileName);
    data->cFileName[name.size()] = 0;
    return true;
  }
  return false;
}

void Destroy(SearchObject* s) {
  ::closedir(s->dir);
  delete s;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::u16string_view full(pattern);
  const std::size_t slash = full.find_last_of(u"\\/");
  const std::u16string_view folder = slash == std::u16string_view::npos ? u"." : full.substr(0, slash + 1);
  std::string native = Win32ToNativePath(folder);
  if (native.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  if (native.back() != '/') native += '/';
  DIR* dir = ::opendir(native.c_str());
  if (!dir) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  auto* search =
      new SearchObject{dir, native, std::u16string(full.substr(slash == std::u16string_view::npos ? 0 : slash + 1))};
  if (!NextMatch(search, data)) {
    Destroy(search);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto& h = Win32Handles();
  std::lock_guard lock(h.mutex);
  h.searches.insert(search);
  return search;
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data) {
  auto& h = Win32Handles();
  {
    std::lock_guard lock(h.mutex);
    if (!h.searches.count(handle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!NextMatch(static_cast<SearchObject*>(handle), data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  auto& h = Win32Handles();
  {
    std::lock_guard lock(h.mutex);
    if (!h.searches.erase(handle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  Destroy(static_cast<SearchObject*>(handle));
  return TRUE;
}
