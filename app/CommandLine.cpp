#include "app/CommandLine.h"

#include <optional>

#include "platform/win32/DisplayScale.h"
#include "platform/win32/Paths.h"
#include "ui/OpenMedia.h"

const char* const kUsageText = "Usage: orbelle-player [OPTION]... [FILE]\n";

const char* const kHelpText =
    "Usage: orbelle-player [OPTION]... [FILE]\n"
    "Shows a video or a picture through a lens that follows the mouse. FILE, a path or a file://\n"
    "URI, opens at start; the other playable files of its folder are then reached with the\n"
    "previous and next buttons. Without FILE the welcome picture shows.\n"
    "Videos: avi, wmv, asf, mpg, mpeg, mp4, m4v, mov, mkv, webm, ogv, ts, m2ts, mts.\n"
    "Pictures: bmp, jpg, jpeg, jpe, gif, png, webp, heic, heif, avif, tif, tiff (animated gif,\n"
    "webp and png play in a loop).\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "      --scale=N  show the window N times as large (1 to 8), each of its pixels a square of\n"
    "                 N x N screen pixels; without it, as the desktop asks (GDK_SCALE, Xft.dpi)\n"
    "  --             end of options: the next argument is FILE even if it starts with \"-\"\n"
    "\n"
    "Keys in the player window:\n"
    "  Right, Page Down  next file of the folder\n"
    "  Left, Page Up     previous file of the folder\n"
    "  Space             play or pause a video\n"
    "  Home              stop a video\n"
    "  +, -              zoom in or out one step (keypad + and - too)\n"
    "  0                 zoom back to 100 %\n"
    "  L                 lock or unlock the camera, as a right click does\n"
    "  M                 sound on or off\n"
    "  Ctrl+O            open a file\n"
    "  F1                the help picture\n"
    "  Alt+Enter         fullscreen or window\n"
    "  F2                fullscreen at 640 x 480 or window\n"
    "  Esc, Alt+X        quit\n";

namespace {

// Arguments quoted in messages are cut, so that a huge one does not flood the terminal.
std::string Quoted(const std::string& text) {
  constexpr std::size_t kShown = 80;
  return "'" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "'";
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return Lower(text.substr(0, prefix.size())) == prefix;
}

// "scheme://" with a scheme as URIs spell it: a letter, then letters, digits, "+", "-" or ".".
bool HasUriScheme(const std::string& text) {
  const std::size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The native path of a file:// URI, or nothing (with the reason) when it names no local file.
std::optional<std::string> PathOfFileUri(const std::string& uri, const std::string& hostName, std::string* error) {
  std::string rest = uri.substr(5);  // after "file:"
  if (rest.rfind("//", 0) == 0) {
    const std::size_t slash = rest.find('/', 2);
    const std::string host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
    if (!host.empty() && Lower(host) != "localhost" && host != hostName) {
      *error = Quoted(uri) + " names a file on another computer";
      return std::nullopt;
    }
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
  }
  if (rest.empty() || rest[0] != '/') {
    *error = Quoted(uri) + " is not a well-formed file URI";
    return std::nullopt;
  }
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      path += rest[i];
      continue;
    }
    const int high = i + 2 < rest.size() ? HexValue(rest[i + 1]) : -1;
    const int low = i + 2 < rest.size() ? HexValue(rest[i + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) {
      *error = Quoted(uri) + " is not a well-formed file URI";
      return std::nullopt;
    }
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

// path made absolute against folder, without empty and "." components. ".." stays: through a
// symbolic link it need not mean the folder above.
std::string Absolute(const std::string& path, const std::string& folder) {
  const std::string joined = path[0] == '/' ? path : folder + "/" + path;
  std::string out;
  std::size_t at = 0;
  while (at <= joined.size()) {
    std::size_t end = joined.find('/', at);
    if (end == std::string::npos) end = joined.size();
    const std::string part = joined.substr(at, end - at);
    if (!part.empty() && part != ".") out += "/" + part;
    at = end + 1;
  }
  return out.empty() ? "/" : out;
}

StartRequest Just(StartRequest::Action action) {
  StartRequest request;
  request.action = action;
  return request;
}

StartRequest Usage(std::string error) {
  StartRequest request;
  request.action = StartRequest::Action::UsageError;
  request.error = std::move(error);
  return request;
}

}  // namespace

StartRequest ParseCommandLine(const std::vector<std::string>& args, const std::string& workingFolder,
                              const std::string& hostName) {
  std::vector<std::string> files;
  int scale = 0;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      return Just(StartRequest::Action::Help);
    } else if (options && arg == "--version") {
      return Just(StartRequest::Action::Version);
    } else if (options && arg.rfind("--scale=", 0) == 0) {
      scale = Win32ParseScale(std::string_view(arg).substr(8));
      if (scale == 0)
        return Usage("the scale must be a whole number from 1 to " + std::to_string(kWin32MaxScale) + ", not " +
                     Quoted(arg.substr(8)));
    } else if (options && arg == "-") {
      return Usage("cannot read from standard input; name a file");
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + Quoted(arg));
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    StartRequest request;
    request.scale = scale;
    return request;
  }
  if (files.size() > 1)
    return Usage("one file at a time (" + std::to_string(files.size()) +
                 " given); the others of its folder are reached with the previous and next buttons");

  const std::string& arg = files[0];
  if (arg.empty()) return Usage("an empty file name");
  std::string native = arg;
  if (StartsWithNoCase(arg, "file:")) {
    std::string error;
    const std::optional<std::string> path = PathOfFileUri(arg, hostName, &error);
    if (!path) return Usage(error);
    native = *path;
  } else if (HasUriScheme(arg)) {
    return Usage("only files on this computer can be opened, not " + Quoted(arg));
  }
  if (native[0] != '/' && (workingFolder.empty() || workingFolder[0] != '/'))
    return Usage("the working folder is unknown, so " + Quoted(arg) + " cannot be found; give a full path");

  StartRequest request;
  request.scale = scale;
  request.file = Win32FromNativePath(Absolute(native, workingFolder));
  if (request.file.size() >= DIALOG_PATH_SIZE)
    return Usage("the path of " + Quoted(arg) + " is " + std::to_string(request.file.size()) +
                 " characters long; at most " + std::to_string(DIALOG_PATH_SIZE - 1) + " can be opened");
  return request;
}
