#include "platform/picture/DecoderSandbox.h"

#include <seccomp.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace picture {
namespace {

class Filter {
 public:
  Filter() : ctx_(seccomp_init(SCMP_ACT_ERRNO(EPERM))) {}
  ~Filter() {
    if (ctx_) seccomp_release(ctx_);
  }
  scmp_filter_ctx get() const { return ctx_; }

 private:
  scmp_filter_ctx ctx_;
};

}  // namespace

bool InstallDecoderSandbox(std::string* error) {
  Filter filter;
  if (!filter.get()) {
    *error = "seccomp_init failed";
    return false;
  }
  // Calls that touch nothing outside the process.
  static const int kAllowed[] = {
      SCMP_SYS(brk),           SCMP_SYS(munmap),       SCMP_SYS(mremap),
      SCMP_SYS(madvise),       SCMP_SYS(futex),        SCMP_SYS(exit),
      SCMP_SYS(exit_group),    SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask),
      SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday), SCMP_SYS(getrandom),
      SCMP_SYS(getpid),        SCMP_SYS(gettid),       SCMP_SYS(sched_yield),
      SCMP_SYS(close),         SCMP_SYS(fstat),        SCMP_SYS(newfstatat),
      SCMP_SYS(lseek),
  };
  int rc = 0;
  for (int call : kAllowed) rc = rc ? rc : seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, call, 0);
  // Memory may be mapped and re-protected, but never made executable. The only descriptors
  // left are the answer and stderr, so mapping a file gives nothing new.
  for (int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
    rc = rc ? rc : seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, call, 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
  // Writing only to the answer and to stderr.
  for (scmp_datum_t fd : {1, 2}) {
    for (int call : {SCMP_SYS(write), SCMP_SYS(writev)})
      rc = rc ? rc : seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, call, 1, SCMP_A0(SCMP_CMP_EQ, fd));
  }
  // abort() signals its own process, and no other.
  rc = rc ? rc
          : seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1,
                             SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(getpid())));
  if (rc == 0) rc = seccomp_load(filter.get());
  if (rc != 0) {
    *error = std::string("seccomp filter refused: ") + std::strerror(-rc);
    return false;
  }
  return true;
}

}  // namespace picture
