// GetOpenFileNameW through the desktop's file chooser (zenity) run as a child process.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/win32/ModalWait.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Win32State.h"

namespace {

thread_local DWORD dialogError = 0;

std::string Utf8(const char16_t* s) {
  return s ? Win32ToUtf8(s) : std::string();
}

// A Windows filter pattern matches names without regard to case; GTK's chooser matches its
// patterns case-sensitively. Each ASCII letter becomes a class of both cases ("*.avi" becomes
// "*.[aA][vV][iI]"), and a "[", which has no special meaning on Windows, a class of itself.
std::string AnyCasePattern(std::u16string_view pattern) {
  std::u16string out;
  for (const char16_t c : pattern) {
    const char16_t lower = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    if (lower >= u'a' && lower <= u'z') {
      out += {u'[', lower, static_cast<char16_t>(lower - 32), u']'};
    } else if (c == u'[') {
      out += u"[[]";
    } else {
      out += c;
    }
  }
  return Win32ToUtf8(out);
}

}  // namespace

DWORD CommDlgExtendedError() {
  return dialogError;
}

std::vector<std::string> Win32OpenDialogArguments(const OPENFILENAMEW& ofn) {
  std::vector<std::string> args = {"zenity", "--file-selection"};
  // Without a title of its own the chooser would show its program name; "Open" is the default.
  args.push_back("--title=" + (ofn.lpstrTitle ? Utf8(ofn.lpstrTitle) : std::string("Open")));
  if (ofn.lpstrFile && ofn.lpstrFile[0]) {
    args.push_back("--filename=" + Win32ToNativePath(ofn.lpstrFile));
  } else if (ofn.lpstrInitialDir && ofn.lpstrInitialDir[0]) {
    args.push_back("--filename=" + Win32ToNativePath(ofn.lpstrInitialDir) + "/");
  }
  // Pairs of description and ";"-separated patterns, ending with an empty string.
  std::vector<std::string> filters;
  for (const char16_t* p = ofn.lpstrFilter; p && *p;) {
    const std::u16string description = p;
    p += description.size() + 1;
    if (!*p) break;
    const std::u16string patterns = p;
    p += patterns.size() + 1;
    std::string list;
    std::size_t start = 0;
    while (start <= patterns.size()) {
      const std::size_t end = std::min(patterns.find(u';', start), patterns.size());
      if (end > start) list += (list.empty() ? "" : " ") + AnyCasePattern(patterns.substr(start, end - start));
      start = end + 1;
    }
    filters.push_back("--file-filter=" + Win32ToUtf8(description) + " | " + list);
  }
  const std::size_t selected = ofn.nFilterIndex > 0 ? ofn.nFilterIndex - 1 : 0;
  if (selected < filters.size())
    std::rotate(filters.begin(), filters.begin() + selected, filters.begin() + selected + 1);
  args.insert(args.end(), filters.begin(), filters.end());
  return args;
}

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) {
  dialogError = 0;
  if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) {
    dialogError = CDERR_INITIALIZATION;
    return FALSE;
  }
  // While the chooser is up the program's windows stay alive; closing the program ends it.
  Win32DialogResult run = Win32RunDialog(Win32OpenDialogArguments(*ofn), Win32DialogEnvironment());
  if (run.spawnError != 0) {
    std::fprintf(stderr, "win32: GetOpenFileNameW: cannot run zenity: %s\n", std::strerror(run.spawnError));
    dialogError = CDERR_INITIALIZATION;
    return FALSE;
  }
  if (run.ended || run.exitCode != 0) return FALSE;  // cancelled, or the program is closing
  std::string picked = std::move(run.output);
  if (!picked.empty() && picked.back() == '\n') picked.pop_back();
  if (picked.empty()) return FALSE;
  // A name typed into the chooser need not exist; the flag asks for a file that does.
  struct stat info {};
  if ((ofn->Flags & OFN_FILEMUSTEXIST) && (::stat(picked.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) return FALSE;
  const std::u16string path = Win32FromNativePath(picked);
  if (path.size() + 1 > ofn->nMaxFile) {
    dialogError = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  std::copy(path.begin(), path.end(), ofn->lpstrFile);
  ofn->lpstrFile[path.size()] = 0;
  const std::size_t slash = path.find_last_of(u'\\');
  const std::size_t nameAt = slash == std::u16string::npos ? 0 : slash + 1;
  const std::size_t dot = path.find_last_of(u'.');
  ofn->nFileOffset = static_cast<WORD>(std::min<std::size_t>(nameAt, 0xFFFF));
  ofn->nFileExtension = static_cast<WORD>(
      dot == std::u16string::npos || dot < nameAt ? path.size() : std::min<std::size_t>(dot + 1, 0xFFFF));
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0)
    lstrcpynW(ofn->lpstrFileTitle, path.c_str() + nameAt, static_cast<int>(ofn->nMaxFileTitle));
  return TRUE;
}
