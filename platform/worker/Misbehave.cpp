#include "platform/worker/Misbehave.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace worker {
namespace {

constexpr std::string_view kNames[] = {
    "open",        "openat",       "stat",  "socket", "connect", "execve",          "fork",
    "kill-parent", "exec-mapping", "crash", "hang",   "garbage", "stall-after-open"};

}  // namespace

bool KnownMisbehaviour(std::string_view what) {
  for (std::string_view name : kNames)
    if (what == name) return true;
  return false;
}

void Misbehave(std::string_view what, ControlChannel& channel) {
  if (what == "open") {
    // The old call, which glibc's open() no longer makes.
    syscall(SYS_open, "/etc/passwd", O_RDONLY);
  } else if (what == "openat") {
    openat(AT_FDCWD, "/etc/passwd", O_RDONLY);
  } else if (what == "stat") {
    struct stat info {};
    stat("/etc/passwd", &info);
  } else if (what == "socket") {
    socket(AF_INET, SOCK_STREAM, 0);
  } else if (what == "connect") {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path + 1, "orbelle-escape");
    connect(1, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  } else if (what == "execve") {
    char* const argv[] = {const_cast<char*>("/bin/sh"), nullptr};
    execve("/bin/sh", argv, nullptr);
  } else if (what == "fork") {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    if (child > 0) waitpid(child, nullptr, 0);
  } else if (what == "kill-parent") {
    kill(getppid(), SIGKILL);
  } else if (what == "exec-mapping") {
    mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  } else if (what == "crash") {
    // The default action, whatever a sanitizer's run-time installed.
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
  } else if (what == "hang") {
    for (;;) sleep(1000);
  } else if (what == "garbage") {
    const char junk[] = "not a message";
    channel.SendBytes(junk, sizeof(junk), -1);
    for (;;) sleep(1000);
  } else if (what == "stall-after-open") {
    Opened opened = MakeMessage<Opened>(Type::Opened);
    opened.kind = Kind::ByteStream;
    opened.flags = kPrerolled | kHasVideo | kSeekable;
    opened.duration = 1000000000;
    opened.width = 160;
    opened.height = 120;
    opened.parN = opened.parD = 1;
    channel.Send(opened);
    for (;;) sleep(1000);
  }
}

}  // namespace worker
