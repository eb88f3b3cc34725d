// CMediaFileList: the playable files of one folder, in the order the desktop's file manager
// lists them, and the wrap-around stepping over the player scene's current index. Window's thread.
#pragma once

#include <string>
#include <vector>

#include "platform/kit/wintypes.h"

class CMediaFileList {
 public:
  struct FileEntry {
    std::u16string fullPath;
    std::u16string name;
  };

  // Empties the file sequence.
  void Clear();
  // Empties the file sequence and lists the folder's files whose extension (after the last
  // ".") is a video's or a picture's (MediaExtensions.h), in any case. A folder string
  // ending in "\" is searched as a folder; any other string holding a "." is itself the search
  // pattern. Subfolders are neither listed nor entered. The entries are sorted as the file
  // manager sorts (StrCmpLogicalW: case-insensitive, numbers by value), ties in exact name order.
  void Rebuild(const std::u16string& folder);
  int Count() const { return m_fileCount; }
  std::u16string PathAt(int i) const { return m_files[static_cast<std::size_t>(i)].fullPath; }
  std::u16string NameAt(int i) const { return m_files[static_cast<std::size_t>(i)].name; }
  // Sets index to the first entry named name (case-sensitive); to 0 when none is (the list is
  // rebuilt before each call, so an index from an earlier list would point at an unrelated file).
  void LocateOpened(const std::u16string& name, int& index) const;
  // Step with wrap-around and give the entry's full path; nothing (an empty string) when the
  // list is empty.
  std::u16string StepNext(int& index) const;
  std::u16string StepPrevious(int& index) const;

 private:
  void Scan(const std::u16string& folder);

  std::vector<FileEntry> m_files;
  int m_fileCount = 0;
};
