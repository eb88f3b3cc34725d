// The program's command line: orbelle-player [OPTION]... [FILE]. Pure logic: the caller gives
// the working folder and the host name, so that a relative path or a file:// URI resolves.
#pragma once

#include <string>
#include <vector>

struct StartRequest {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  // Run: the file to open at start, absolute and in Windows form; empty for none.
  std::u16string file;
  // Run: the windows' scale given with --scale=N (1 to 8); 0 for the one the desktop asks for.
  int scale = 0;
  // UsageError: what is wrong, one line without the program name.
  std::string error;
};

// args: the arguments after the program name. FILE is a path (relative ones are taken from
// workingFolder, an absolute native path; empty when unknown) or a file:// URI naming a file on
// this computer (no host, "localhost" or hostName), percent-encoded. "-h"/"--help" and
// "--version" win as soon as they are met; "--" ends the options. "--scale=N" sets the scale
// (the last one given counts); N other than a whole number from 1 to 8 is a usage error. More than one file, an unknown
// option, "-" before "--" (standard input), an empty name, another URI scheme, a malformed URI or a path the
// program cannot hold are usage errors.
StartRequest ParseCommandLine(const std::vector<std::string>& args, const std::string& workingFolder,
                              const std::string& hostName);

// The texts for --help and for the lines after a usage error.
extern const char* const kHelpText;
extern const char* const kUsageText;
