// The seccomp filter of the isolated picture decoder: after the decoder module is loaded, the
// process may only compute, manage its own memory, write to descriptors 1 and 2 and exit.
// Opening files, sockets, starting processes and making memory executable all fail with EPERM.
#pragma once

#include <string>

namespace picture {

// Installs the filter for the rest of the process's life. False with the reason when the system
// refuses it (no seccomp in the kernel, or a container that forbids it).
bool InstallDecoderSandbox(std::string* error);

}  // namespace picture
