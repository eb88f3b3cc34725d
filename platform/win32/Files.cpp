// File handles, attributes, the current folder and the module path on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/win32/FileHandles.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Win32State.h"

namespace {

FileObject* FindFile(HANDLE handle) {
  auto& h = Win32Handles();
  std::lock_guard lock(h.mutex);
  return h.files.count(handle) ? static_cast<FileObject*>(handle) : nullptr;
}

FileObject* CheckedFile(HANDLE handle) {
  FileObject* f = FindFile(handle);
  if (!f) SetLastError(ERROR_INVALID_HANDLE);
  return f;
}

// Native form of a program path; empty (with ERROR_INVALID_NAME) when it names no native file.
std::string NativeOrFail(LPCWSTR path) {
  std::string native = path && *path ? Win32ToNativePath(path) : std::string();
  if (native.empty()) SetLastError(path && *path ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND);
  return native;
}

DWORD Copy(const std::u16string& text, DWORD size, LPWSTR buffer) {
  if (text.size() + 1 > size || !buffer) return static_cast<DWORD>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

}  // namespace

HandleRegistry& Win32Handles() {
  static HandleRegistry registry;
  return registry;
}

DWORD Win32ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD, HANDLE) {
  const std::string native = NativeOrFail(path);
  if (native.empty()) return INVALID_HANDLE_VALUE;
  int flags = O_CLOEXEC;
  const bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  const int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // folders are not files
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto* file = new FileObject{fd};
  auto& h = Win32Handles();
  std::lock_guard lock(h.mutex);
  h.files.insert(file);
  SetLastError(ERROR_SUCCESS);
  return file;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped) {
  if (read) *read = 0;
  FileObject* f = CheckedFile(handle);
  if (!f) return FALSE;
  if (overlapped || (!buffer && count)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD done = 0;
  while (done < count) {
    const ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (read) *read = done;
      SetLastError(Win32ErrorFromErrno(errno));
      return FALSE;
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
  FileObject* f = CheckedFile(handle);
  struct stat st {};
  if (!f || !size) return FALSE;
  if (::fstat(f->fd, &st) != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE;
  }
  size->QuadPart = st.st_size;
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* high) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size)) return INVALID_FILE_SIZE;
  if (high) *high = static_cast<DWORD>(static_cast<ULONGLONG>(size.QuadPart) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size.QuadPart);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
  FileObject* f = CheckedFile(handle);
  if (!f) return INVALID_SET_FILE_POINTER;
  const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  const std::int64_t offset =
      distanceHigh ? (static_cast<std::int64_t>(*distanceHigh) << 32) | static_cast<std::uint32_t>(distance) : distance;
  const off_t at = ::lseek(f->fd, offset, whence);
  if (at < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(at >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(at);
}

BOOL CloseHandle(HANDLE handle) {
  auto& h = Win32Handles();
  FileObject* f = nullptr;
  {
    std::lock_guard lock(h.mutex);
    if (h.files.erase(handle)) f = static_cast<FileObject*>(handle);
  }
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ::close(f->fd);
  delete f;
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  const std::string native = NativeOrFail(path);
  struct stat st {};
  if (native.empty()) return INVALID_FILE_ATTRIBUTES;
  if (::stat(native.c_str(), &st) != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (::access(native.c_str(), W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
  const std::size_t slash = native.find_last_of('/', native.size() > 1 ? native.size() - 2 : 0);
  const std::string name = native.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.size() > 1 && name[0] == '.' && name != ".." && name != "./" && name != "../")
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
  std::vector<char> native(PATH_MAX);
  while (!::getcwd(native.data(), native.size())) {
    if (errno != ERANGE) {
      SetLastError(Win32ErrorFromErrno(errno));
      return 0;
    }
    native.resize(native.size() * 2);
  }
  return Copy(Win32FromNativePath(native.data()), size, buffer);
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
  const std::string native = NativeOrFail(path);
  if (native.empty()) return FALSE;
  if (::chdir(native.c_str()) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (module && module != GetModuleHandleW(nullptr)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::vector<char> native(PATH_MAX);
  ssize_t n = 0;
  while ((n = ::readlink("/proc/self/exe", native.data(), native.size())) == static_cast<ssize_t>(native.size()))
    native.resize(native.size() * 2);
  if (n <= 0 || !buffer || size == 0) {
    SetLastError(n <= 0 ? Win32ErrorFromErrno(errno) : ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::u16string path = Win32FromNativePath(std::string_view(native.data(), static_cast<std::size_t>(n)));
  if (path.size() >= size) {
    std::copy_n(path.data(), size - 1, buffer);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

FILE* _wfopen(const WCHAR* path, const WCHAR* mode) {
  const std::string native = NativeOrFail(path);
  if (native.empty() || !mode) return nullptr;
  return std::fopen(native.c_str(), Win32ToUtf8(mode).c_str());
}
