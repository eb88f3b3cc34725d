// Starts the real media worker as the viewer does (a SOCK_SEQPACKET socket on descriptor 1, a
// pipe on 2, the fixed environment, the address-space limit, nothing else open) and speaks the
// wire format with it. Test-only.
#pragma once

#include <fcntl.h>
#include <gst/gst.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/worker/WireSocket.h"
#include "platform/worker/WorkerWire.h"

namespace workertest {

// The registry file this process's GStreamer uses (made or brought up to date by starting it),
// which the viewer hands to its workers.
inline std::string RegistryFile() {
  gst_init_check(nullptr, nullptr, nullptr);
  if (const char* set = std::getenv("GST_REGISTRY")) return set;
  return std::string(g_get_user_cache_dir()) + "/gstreamer-1.0/registry.x86_64.bin";
}

inline std::filesystem::path WorkerBinary() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
  return std::filesystem::path(path).parent_path() / worker::kWorkerFileName;
}

struct Received {
  worker::Type type{};
  std::vector<unsigned char> bytes;
  int fd = -1;

  template <typename Message>
  Message As() const {
    Message m{};
    std::memcpy(&m, bytes.data(), std::min(bytes.size(), sizeof(m)));
    return m;
  }
};

class WorkerProcess {
 public:
  // Starts the worker with the arguments; false when it could not be started.
  bool Start(const std::vector<std::string>& args = {}) {
    int pair[2], errPipe[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    if (pipe2(errPipe, O_CLOEXEC) != 0) return false;
    const std::string binary = WorkerBinary().string();
    std::vector<std::string> env = {"ORC_CODE=backup",
                                    "MALLOC_ARENA_MAX=2",
                                    "GST_REGISTRY_FORK=no",
                                    "GST_REGISTRY_UPDATE=no",
                                    "GST_REGISTRY=" + RegistryFile(),
                                    "LC_ALL=C"};
    std::vector<char*> argv{const_cast<char*>(binary.c_str())}, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    [[maybe_unused]] const rlimit addressSpace{worker::kAddressSpace, worker::kAddressSpace};
    const rlimit noCore{0, 0}, descriptors{64, 64};
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      if (dup2(pair[1], 1) != 1 || dup2(errPipe[1], 2) != 2) _exit(126);
      close_range(3, ~0U, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
      // The sanitizers reserve terabytes of shadow memory.
      setrlimit(RLIMIT_AS, &addressSpace);
#endif
      setrlimit(RLIMIT_CORE, &noCore);
      setrlimit(RLIMIT_NOFILE, &descriptors);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(pair[1]);
    close(errPipe[1]);
    control_ = pair[0];
    stderr_ = errPipe[0];
    return true;
  }

  ~WorkerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    for (int fd : {control_, stderr_})
      if (fd >= 0) close(fd);
  }

  pid_t Pid() const {
    return pid_;
  }

  template <typename Message>
  bool Send(const Message& m, int fd = -1) {
    return SendBytes(&m, sizeof(m), fd);
  }
  bool SendBytes(const void* data, std::size_t size, int fd) {
    return worker::SendMessage(control_, data, size, fd, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }

  // The next message, within the time given; type is zero (not a type) when none came, the
  // channel closed, or the bytes were not one valid message.
  Received Receive(int milliseconds = 20000) {
    Received in;
    pollfd wait{control_, POLLIN, 0};
    if (poll(&wait, 1, milliseconds) != 1) return in;
    unsigned char buffer[worker::kMaxMessage + 1];
    iovec part{buffer, sizeof(buffer)};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    const ssize_t got = recvmsg(control_, &message, MSG_CMSG_CLOEXEC);
    if (got <= 0) return in;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header))
      if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS)
        std::memcpy(&in.fd, CMSG_DATA(header), sizeof(int));
    worker::Type type;
    if (!worker::HeaderValid(buffer, static_cast<std::size_t>(got), &type)) return in;
    in.type = type;
    in.bytes.assign(buffer, buffer + got);
    return in;
  }

  // Opens the file and sends it with Open; false when it cannot be opened or sent.
  bool Open(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool sent = Send(worker::MakeMessage<worker::Open>(worker::Type::Open), fd);
    close(fd);
    return sent;
  }

  // Sends the bytes as the file of Open, in a memfd (a regular file, as the worker requires).
  bool OpenBytes(const std::vector<std::uint8_t>& bytes) {
    const int fd = memfd_create("orbelle-test-file", MFD_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    const bool sent = written && Send(worker::MakeMessage<worker::Open>(worker::Type::Open), fd);
    close(fd);
    return sent;
  }

  // Closes the viewer's end of the control channel.
  void CloseControl() {
    if (control_ >= 0) close(control_);
    control_ = -1;
  }

  // Waits for the worker to end; its wait status, or -1 when it is still running after the time.
  int Wait(int milliseconds = 20000) {
    if (pid_ <= 0) return status_;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        status_ = status;
        return status;
      }
      if (done < 0 && errno != EINTR) return -1;
      if (std::chrono::steady_clock::now() > until) return -1;
      usleep(2000);
    }
  }

  // What the worker wrote on stderr so far (after it ended: all of it).
  std::string Stderr() {
    std::string text;
    char chunk[1024];
    for (;;) {
      pollfd wait{stderr_, POLLIN, 0};
      if (poll(&wait, 1, 0) != 1) break;
      const ssize_t n = read(stderr_, chunk, sizeof(chunk));
      if (n <= 0) break;
      text.append(chunk, static_cast<std::size_t>(n));
    }
    return text;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  int control_ = -1;
  int stderr_ = -1;
};

}  // namespace workertest
