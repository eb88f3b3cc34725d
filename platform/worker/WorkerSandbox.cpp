#include "platform/worker/WorkerSandbox.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/worker/WorkerWire.h"

namespace worker {
namespace {

// ---- Landlock ----
// The system headers may predate the kernel: the rights of later ABIs are named here.
constexpr std::uint64_t kFsAbi1 = (1ULL << 13) - 1;  // execute .. make_sym
constexpr std::uint64_t kFsRefer = 1ULL << 13;       // ABI 2
constexpr std::uint64_t kFsTruncate = 1ULL << 14;    // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ULL << 15;    // ABI 5
constexpr std::uint64_t kNetBindConnectTcp = 3;      // ABI 4
constexpr std::uint64_t kScopeUnixAndSignal = 3;     // ABI 6: abstract unix sockets, signals

// The rule set's attributes as the kernel reads them; the size passed says which fields exist.
struct RulesetAttr {
  std::uint64_t handledAccessFs;
  std::uint64_t handledAccessNet;
  std::uint64_t scoped;
};

#ifndef SYS_landlock_create_ruleset
#define SYS_landlock_create_ruleset 444
#define SYS_landlock_restrict_self 446
#endif

// A rule set that handles every right the kernel knows and grants none of them: no file can be
// opened, read, written or made through a path, no TCP port bound or connected, and no signal
// sent or abstract socket reached outside the process.
bool RestrictWithLandlock() {
  const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 1) return false;
  RulesetAttr attr{};
  std::size_t size = sizeof(attr.handledAccessFs);
  attr.handledAccessFs = kFsAbi1;
  if (abi >= 2) attr.handledAccessFs |= kFsRefer;
  if (abi >= 3) attr.handledAccessFs |= kFsTruncate;
  if (abi >= 4) {
    attr.handledAccessNet = kNetBindConnectTcp;
    size = offsetof(RulesetAttr, scoped);
  }
  if (abi >= 5) attr.handledAccessFs |= kFsIoctlDev;
  if (abi >= 6) {
    attr.scoped = kScopeUnixAndSignal;
    size = sizeof(attr);
  }
  const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, size, 0));
  if (ruleset < 0) return false;
  const bool ok = syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  close(ruleset);
  return ok;
}

// ---- The file system ----

// Inside the worker's own mount namespace: an empty read-only file system becomes the root, so
// no path leads anywhere. The directory mounted over only needs to exist; "/" itself serves
// when nothing else does.
bool HideFileSystem() {
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  for (const char* dir : {"/tmp", "/"}) {
    if (mount("orbelle-empty", dir, "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC,
              "size=4k,nr_inodes=2,mode=0555") != 0)
      continue;
    return chroot(dir) == 0 && chdir("/") == 0;
  }
  return false;
}

// ---- seccomp ----

class Filter {
 public:
  Filter() : ctx_(seccomp_init(SCMP_ACT_KILL_PROCESS)) {}
  ~Filter() {
    if (ctx_) seccomp_release(ctx_);
  }
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;
  bool ok() const { return ctx_ && rc_ == 0; }
  int rc() const { return ctx_ ? rc_ : -ENOMEM; }
  scmp_filter_ctx get() const { return ctx_; }
  void Allow(int call) { Add(SCMP_ACT_ALLOW, call, 0, nullptr); }
  void Allow(int call, scmp_arg_cmp a) { Add(SCMP_ACT_ALLOW, call, 1, &a); }
  void Allow(int call, scmp_arg_cmp a, scmp_arg_cmp b) {
    const scmp_arg_cmp both[] = {a, b};
    Add(SCMP_ACT_ALLOW, call, 2, both);
  }
  void Fail(int call, int error) { Add(SCMP_ACT_ERRNO(static_cast<std::uint32_t>(error)), call, 0, nullptr); }

 private:
  void Add(std::uint32_t action, int call, unsigned count, const scmp_arg_cmp* args) {
    if (ctx_ && rc_ == 0) rc_ = seccomp_rule_add_array(ctx_, action, call, count, args);
  }
  scmp_filter_ctx ctx_;
  int rc_ = 0;
};

// Every call the worker makes once it holds untrusted bytes, each with the reason it is needed.
// Anything else kills the process: nothing that takes a path, no sockets, no new processes, no
// executable memory, no signals to others.
bool InstallSeccomp(std::string* error) {
  Filter f;
  // Memory: the allocator, thread stacks, the rings and the decoders' buffers. Never
  // executable (plugins and loaders are all mapped before the filter).
  for (int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)}) f.Allow(call, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
  for (int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise), SCMP_SYS(brk)}) f.Allow(call);
  // Threads: GStreamer's streaming threads, the decoders' and the picture converter's thread
  // pools. A clone without CLONE_THREAD would be a new process. glibc tries clone3 first (its
  // flags sit in memory, where the filter cannot read them) and falls back to clone on ENOSYS.
  f.Allow(SCMP_SYS(clone), SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
  f.Fail(SCMP_SYS(clone3), ENOSYS);
  // GLib's thread pools copy the creating thread's scheduling to their threads when they can
  // read it, and spawn from a thread of their own when they cannot.
  f.Fail(SCMP_SYS(sched_getattr), EPERM);
  // Locks, thread start-up and exit, yielding, thread names (GLib names its threads).
  for (int call : {SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(sched_yield),
                   SCMP_SYS(sched_getaffinity), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(restart_syscall)})
    f.Allow(call);
  f.Allow(SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME));
  // GStreamer's wake-ups between threads: every buffer pool (the decoders make them as they
  // start) has a GstPoll whose wake-up is a connected pair of local stream sockets, a pipe in
  // effect that reaches nothing outside the process; a pool that runs dry polls on it.
  f.Allow(SCMP_SYS(socketpair), SCMP_A0(SCMP_CMP_EQ, AF_UNIX), SCMP_A1(SCMP_CMP_EQ, SOCK_STREAM));
  for (int call : {SCMP_SYS(poll), SCMP_SYS(ppoll)}) f.Allow(call);
  // Time: time stamps, timed waits of queues and condition variables.
  for (int call : {SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(clock_nanosleep),
                   SCMP_SYS(nanosleep)})
    f.Allow(call);
  // Identity, for GLib's and glibc's own bookkeeping; signals only to the process itself (abort).
  for (int call : {SCMP_SYS(getpid), SCMP_SYS(gettid)}) f.Allow(call);
  f.Allow(SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(getpid())));
  for (int call : {SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack)})
    f.Allow(call);
  // Descriptors the worker holds: the media file (read-only), the control socket, stderr, its
  // rings and the buffer pools' socket pairs. Reading, writing and closing them reaches nothing
  // else.
  for (int call : {SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(readv), SCMP_SYS(lseek), SCMP_SYS(write),
                   SCMP_SYS(writev), SCMP_SYS(close), SCMP_SYS(fstat)})
    f.Allow(call);
  // glibc's fstat is fstatat(fd, "", AT_EMPTY_PATH); a stat by path has the flag clear or no
  // descriptor (AT_FDCWD) and is killed.
  f.Allow(SCMP_SYS(newfstatat), SCMP_A0(SCMP_CMP_LT, 1024), SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH));
  // Messages to and from the viewer, on the control socket only.
  for (int call : {SCMP_SYS(sendmsg), SCMP_SYS(recvmsg)}) f.Allow(call, SCMP_A0(SCMP_CMP_EQ, 1));
  // The rings: memfds sized once and sealed.
  for (int call : {SCMP_SYS(memfd_create), SCMP_SYS(ftruncate)}) f.Allow(call);
  for (int cmd : {F_ADD_SEALS, F_GET_SEALS, F_GETFL, F_SETFL})
    f.Allow(SCMP_SYS(fcntl), SCMP_A1(SCMP_CMP_EQ, static_cast<scmp_datum_t>(cmd)));
  // Hash seeds and GLib's random numbers; glibc's qsort asks for the memory size (the Ogg and
  // Vorbis code sorts) to choose where to sort.
  f.Allow(SCMP_SYS(getrandom));
  f.Allow(SCMP_SYS(sysinfo));
  if (f.ok()) {
    const int rc = seccomp_load(f.get());
    if (rc == 0) return true;
    *error = std::string("the kernel refused the seccomp filter: ") + std::strerror(-rc);
    return false;
  }
  *error = std::string("the seccomp filter could not be built: ") + std::strerror(-f.rc());
  return false;
}

}  // namespace

bool EnterNamespaces() {
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
}

bool InstallSandbox(bool namespaces, std::uint32_t* flags, std::string* error) {
  *flags = 0;
  if (namespaces && HideFileSystem()) *flags |= kNoFileSystem;
  if (RestrictWithLandlock()) *flags |= kLandlock;
  if (!InstallSeccomp(error)) return false;
  *flags |= kSeccomp;
  return true;
}

}  // namespace worker
