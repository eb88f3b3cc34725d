// The media worker's confinement, in the two steps its start-up needs: namespaces while the
// process still has one thread, and the rest once every plugin and loader it may use is loaded.
// Internal to platform/worker; main thread only.
#pragma once

#include <cstdint>
#include <string>

namespace worker {

// No new privileges and no core dumps or tracing by others, then a user and mount namespace of
// the process's own when the kernel allows one (it may not: the process then goes on without).
// Call while the process has one thread. True when the namespaces were made.
bool EnterNamespaces();

// Hides the file system (when the namespaces were made: an empty read-only root), puts a
// Landlock rule set that grants nothing in force where the kernel has Landlock, and installs the
// seccomp filter. *flags receives the HelloFlags of the layers that hold. False, with the reason,
// when the seccomp filter could not be installed: the worker must not go on then.
bool InstallSandbox(bool namespaces, std::uint32_t* flags, std::string* error);

}  // namespace worker
