// The number of processors, as the worker's libraries ask for it. glibc answers
// sysconf(_SC_NPROCESSORS_ONLN / _CONF) and get_nprocs() by reading /sys or /proc each time,
// which the sandbox forbids; GLib, the video library's converter, libav and libvpx all ask when
// they size their thread pools. The worker binary defines those calls itself (its own
// definitions come first for every library it loads) and answers them from a count made once,
// before the sandbox, from the processors the process may run on. Internal to platform/worker.
#pragma once

namespace worker {

// Counts the processors; call once, on the main thread, before the sandbox. Until then the
// calls above are glibc's own.
void CountProcessors();

}  // namespace worker
