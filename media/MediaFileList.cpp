#include "media/MediaFileList.h"

#include <algorithm>

#include "media/MediaExtensions.h"
#include "platform/win32/win32.h"

void CMediaFileList::Clear() {
  m_files.clear();
  m_fileCount = 0;
}

void CMediaFileList::Rebuild(const std::u16string& folder) {
  // Each pick lists its folder afresh, so a folder picked twice lists each file once.
  Clear();
  Scan(folder);
}

void CMediaFileList::Scan(const std::u16string& folder) {
  // The pattern lives in a string, not a 260-character buffer: long folders are scanned whole.
  const bool endsInSeparator = !folder.empty() && folder.back() == u'\\';
  const bool patternIsFolder = folder.find(u'.') != std::u16string::npos && !endsInSeparator;
  const std::u16string pattern = patternIsFolder ? folder : folder + u"\\*.*";

  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::u16string name = data.cFileName;
    if (name == u"." || name == u"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string::npos) continue;
    // Cameras and old systems write extensions in capitals (DSC0001.JPG, MVI_0001.MOV).
    if (!IsPlayableExtension(std::u16string_view(name).substr(dot + 1))) continue;
    m_files.push_back({patternIsFolder ? folder : folder + u"\\" + name, name});
    ++m_fileCount;
  } while (FindNextFileW(search, &data));
  FindClose(search);
  // Folder searches report names in the file system's order (hash order on most Linux file
  // systems); previous and next follow the order the file manager shows instead. Names equal
  // to it (differing only in case or leading zeros) fall back to code-unit order, so the order
  // is total and the same on every scan.
  std::sort(m_files.begin(), m_files.end(), [](const FileEntry& a, const FileEntry& b) {
    if (const int order = StrCmpLogicalW(a.name.c_str(), b.name.c_str())) return order < 0;
    return a.name < b.name;
  });
}

void CMediaFileList::LocateOpened(const std::u16string& name, int& index) const {
  for (int i = 0; i < m_fileCount; ++i) {
    if (m_files[static_cast<std::size_t>(i)].name == name) {
      index = i;
      return;
    }
  }
  // The list was built afresh for the opened file's folder: an index from the previous list
  // means nothing here.
  index = 0;
}

std::u16string CMediaFileList::StepNext(int& index) const {
  if (m_fileCount < 1) return {};
  if (index < 0 || index >= m_fileCount) index = m_fileCount - 1;  // the step lands on 0
  if (++index > m_fileCount - 1) index = 0;
  return PathAt(index);
}

std::u16string CMediaFileList::StepPrevious(int& index) const {
  if (m_fileCount < 1) return {};
  if (index < 0 || index >= m_fileCount) index = 0;  // the step lands on the last
  if (--index < 0) index = m_fileCount - 1;
  return PathAt(index);
}
