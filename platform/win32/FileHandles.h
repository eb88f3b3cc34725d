// Private: the kernel objects behind file and search handles, and errno to Win32 error codes.
#pragma once

#include <dirent.h>

#include <mutex>
#include <set>
#include <string>

#include "platform/win32/win32.h"

struct FileObject {
  int fd = -1;
};

struct SearchObject {
  DIR* dir = nullptr;
  std::string nativeFolder;    // ends in "/"
  std::u16string namePattern;  // the last part of the pattern
};

// Live handles, so that a stale or foreign handle is refused rather than used.
struct HandleRegistry {
  std::mutex mutex;
  std::set<const void*> files;
  std::set<const void*> searches;
};

HandleRegistry& Win32Handles();
DWORD Win32ErrorFromErrno(int error);
