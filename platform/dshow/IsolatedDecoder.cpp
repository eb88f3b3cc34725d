#include "platform/dshow/IsolatedDecoder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/dshow/dshow.h"
#include "platform/picture/DecoderWire.h"

namespace dshow {
namespace {

using picture::DecoderAnswer;

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Settings {
  std::vector<std::string> command;
  unsigned wallMilliseconds = picture::kDecoderWallMilliseconds;
  bool withoutSharedMemory = false;
};

std::mutex g_settingsMutex;
Settings g_settings;

enum class Notice { Missing, NotStarted, NoSeccomp, NoSharedMemory, Count };
std::atomic<bool> g_noticed[static_cast<int>(Notice::Count)];

void NoticeOnce(Notice which, const std::string& text) {
  if (!g_noticed[static_cast<int>(which)].exchange(true)) std::fprintf(stderr, "orbelle: %s\n", text.c_str());
}

std::string DecoderBesideProgram() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return picture::kDecoderFileName;
  std::string path(self, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + picture::kDecoderFileName;
}

// Everything the child needs, prepared before fork: between fork and exec only calls that are
// safe in a child of a threaded process run (no allocation, no locks).
struct ChildPlan {
  std::vector<char*> argv;
  int fileFd;
  int answerFd;
  rlimit addressSpace;
  rlimit cpu;
  rlimit answerSize;
  rlimit noCore;
  rlimit descriptors;
};

[[noreturn]] void RunChild(const ChildPlan& plan) {
  setpgid(0, 0);
  // Signals blocked in the calling thread would stay blocked across exec, and the CPU and size
  // limits work through SIGXCPU and SIGXFSZ.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int sig : {SIGXCPU, SIGXFSZ, SIGPIPE}) sigaction(sig, &byDefault, nullptr);
  // Copies above 2 first, so that a source already at 0 or 1 is not closed by dup2.
  const int file = fcntl(plan.fileFd, F_DUPFD, 3);
  const int answer = fcntl(plan.answerFd, F_DUPFD, 3);
  if (file < 0 || answer < 0 || dup2(file, 0) != 0 || dup2(answer, 1) != 1) _exit(126);
  if (close_range(3, ~0U, 0) != 0) {
    for (int fd = 3; fd < 1024; ++fd) close(fd);
  }
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // The sanitizers reserve terabytes of shadow memory.
  if (setrlimit(RLIMIT_AS, &plan.addressSpace) != 0) _exit(126);
#endif
  if (setrlimit(RLIMIT_CPU, &plan.cpu) != 0 || setrlimit(RLIMIT_FSIZE, &plan.answerSize) != 0 ||
      setrlimit(RLIMIT_CORE, &plan.noCore) != 0 || setrlimit(RLIMIT_NOFILE, &plan.descriptors) != 0)
    _exit(126);
  execv(plan.argv[0], plan.argv.data());
  _exit(127);
}

// Kills and reaps the child (and anything it started in its group) unless it was reaped.
class Child {
 public:
  explicit Child(pid_t pid) : pid_(pid) {}
  ~Child() {
    if (pid_ > 0) {
      Kill();
      int status;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  pid_t pid() const { return pid_; }
  void Kill() const {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
  }
  // True once the child has ended; *status then holds its wait status (-1 when unknown).
  bool Reap(int* status) {
    siginfo_t info{};
    if (waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
      if (errno != ECHILD) return false;
      *status = -1;  // reaped elsewhere
      pid_ = -1;
      return true;
    }
    if (info.si_pid == 0) return false;
    // The leader is not reaped yet, so its group id is still its own: nothing it started in
    // the group (possible only without the seccomp filter) outlives it.
    kill(-pid_, SIGKILL);
    while (waitpid(pid_, status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return true;
  }

 private:
  pid_t pid_;
};

bool AnswerValid(const DecoderAnswer& a, std::uint64_t received, const picture::PictureLimits& limits) {
  if (std::memcmp(a.magic, picture::kAnswerMagic, sizeof(a.magic)) != 0) return false;
  if (!picture::WithinLimits(a.width, a.height, limits)) return false;
  if (a.stride != static_cast<std::uint32_t>(picture::BgrStride(static_cast<int>(a.width)))) return false;
  if (a.pixelBytes != static_cast<std::uint64_t>(a.stride) * a.height) return false;
  return received == sizeof(DecoderAnswer) + a.pixelBytes;
}

void Fill(const DecoderAnswer& a, std::shared_ptr<const std::uint8_t> pixels, StillImage* out) {
  out->width = static_cast<int>(a.width);
  out->height = static_cast<int>(a.height);
  out->stride = static_cast<int>(a.stride);
  out->size = static_cast<std::size_t>(a.pixelBytes);
  out->bgr = std::move(pixels);
}

// The answer in the memfd, sealed against any later change and mapped read-only.
HRESULT TakeSharedAnswer(int memfd, const picture::PictureLimits& limits, StillImage* out) {
  if (fcntl(memfd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
    return VFW_E_INVALID_FILE_FORMAT;
  struct stat info {};
  if (fstat(memfd, &info) != 0 || info.st_size < static_cast<off_t>(sizeof(DecoderAnswer)) ||
      static_cast<std::uint64_t>(info.st_size) > picture::MaxAnswerBytes(limits))
    return VFW_E_INVALID_FILE_FORMAT;
  DecoderAnswer answer{};
  if (pread(memfd, &answer, sizeof(answer), 0) != static_cast<ssize_t>(sizeof(answer)) ||
      !AnswerValid(answer, static_cast<std::uint64_t>(info.st_size), limits))
    return VFW_E_INVALID_FILE_FORMAT;
  const std::size_t length = static_cast<std::size_t>(info.st_size);
  void* base = mmap(nullptr, length, PROT_READ, MAP_SHARED, memfd, 0);
  if (base == MAP_FAILED) return E_OUTOFMEMORY;
  std::shared_ptr<const std::uint8_t> pixels(static_cast<const std::uint8_t*>(base) + sizeof(DecoderAnswer),
                                             [base, length](const std::uint8_t*) { munmap(base, length); });
  if ((answer.flags & picture::kAnswerSandboxed) == 0)
    NoticeOnce(Notice::NoSeccomp,
               "the system refused the picture decoder's seccomp filter; pictures are decoded under process limits "
               "alone");
  Fill(answer, std::move(pixels), out);
  return S_OK;
}

HRESULT TakePipedAnswer(std::shared_ptr<std::vector<std::uint8_t>> bytes, const picture::PictureLimits& limits,
                        StillImage* out) {
  if (bytes->size() < sizeof(DecoderAnswer)) return VFW_E_INVALID_FILE_FORMAT;
  DecoderAnswer answer{};
  std::memcpy(&answer, bytes->data(), sizeof(answer));
  if (!AnswerValid(answer, bytes->size(), limits)) return VFW_E_INVALID_FILE_FORMAT;
  if ((answer.flags & picture::kAnswerSandboxed) == 0)
    NoticeOnce(Notice::NoSeccomp,
               "the system refused the picture decoder's seccomp filter; pictures are decoded under process limits "
               "alone");
  const std::uint8_t* start = bytes->data() + sizeof(DecoderAnswer);
  Fill(answer, std::shared_ptr<const std::uint8_t>(bytes, start), out);
  return S_OK;
}

// Reads what is in the pipe now; false when the child sent more than any valid answer holds.
bool Drain(int fd, std::vector<std::uint8_t>* into, std::uint64_t most, bool* eof) {
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n > 0) {
      if (into->size() + static_cast<std::size_t>(n) > most) return false;
      into->insert(into->end(), chunk, chunk + n);
      continue;
    }
    if (n == 0) *eof = true;
    return n == 0 || errno == EAGAIN || errno == EINTR;
  }
}

}  // namespace

void SetPictureDecoderForTesting(std::vector<std::string> command, unsigned wallMilliseconds,
                                 bool withoutSharedMemory) {
  std::lock_guard<std::mutex> lock(g_settingsMutex);
  if (command.empty()) {
    g_settings = Settings{};
  } else {
    g_settings = Settings{std::move(command), wallMilliseconds, withoutSharedMemory};
  }
}

HRESULT DecodeInIsolation(int fileFd, picture::PictureType type, StillImage* out) {
  *out = StillImage{};
  const char* typeName = picture::PixbufTypeName(type);
  if (!typeName) return VFW_E_INVALID_FILE_FORMAT;
  Settings settings;
  {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    settings = g_settings;
  }
  std::vector<std::string> command =
      settings.command.empty() ? std::vector<std::string>{DecoderBesideProgram()} : settings.command;
  command.push_back(typeName);
  if (access(command[0].c_str(), X_OK) != 0) {
    NoticeOnce(Notice::Missing, "the picture decoder " + command[0] + " cannot be run (" + std::strerror(errno) +
                                    "); pictures from outside the program are not opened");
    return VFW_E_INVALID_FILE_FORMAT;
  }

  const picture::PictureLimits limits;
  const std::uint64_t mostBytes = picture::MaxAnswerBytes(limits);
  UniqueFd shared(settings.withoutSharedMemory ? -1 : memfd_create("orbelle-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  UniqueFd pipeRead, pipeWrite;
  if (shared.get() < 0 && !settings.withoutSharedMemory) {
    NoticeOnce(Notice::NoSharedMemory, std::string("no shared memory for decoded pictures (") + std::strerror(errno) +
                                           "); they come through a pipe");
  }
  if (shared.get() < 0) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return E_OUTOFMEMORY;
    pipeRead.reset(ends[0]);
    pipeWrite.reset(ends[1]);
    fcntl(pipeRead.get(), F_SETFL, O_NONBLOCK);
  }

  ChildPlan plan;
  for (std::string& arg : command) plan.argv.push_back(arg.data());
  plan.argv.push_back(nullptr);
  plan.fileFd = fileFd;
  plan.answerFd = shared.get() >= 0 ? shared.get() : pipeWrite.get();
  plan.addressSpace = {picture::kDecoderAddressSpace, picture::kDecoderAddressSpace};
  plan.cpu = {picture::kDecoderCpuSeconds, picture::kDecoderCpuSeconds + 1};
  plan.answerSize = {mostBytes, mostBytes};
  plan.noCore = {0, 0};
  plan.descriptors = {64, 64};

  const pid_t pid = fork();
  if (pid == 0) RunChild(plan);
  if (pid < 0) return E_OUTOFMEMORY;
  Child child(pid);
  pipeWrite.reset();

  // Wait for the child's end (and, through a pipe, for all its bytes) until the deadline.
  UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  auto piped = std::make_shared<std::vector<std::uint8_t>>();
  bool eof = pipeRead.get() < 0;
  bool ended = false;
  int status = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(settings.wallMilliseconds);
  while (!ended || !eof) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return VFW_E_INVALID_FILE_FORMAT;  // hung: the Child kills it
    pollfd watch[2];
    nfds_t count = 0;
    if (!ended && pidfd.get() >= 0) watch[count++] = {pidfd.get(), POLLIN, 0};
    if (!eof) watch[count++] = {pipeRead.get(), POLLIN, 0};
    // Without a pidfd the child's end is checked every few milliseconds.
    const int wait = pidfd.get() >= 0 || ended ? static_cast<int>(left) : std::min<int>(5, static_cast<int>(left));
    if (poll(watch, count, wait) < 0 && errno != EINTR) return VFW_E_INVALID_FILE_FORMAT;
    if (!eof && !Drain(pipeRead.get(), piped.get(), mostBytes, &eof)) return VFW_E_INVALID_FILE_FORMAT;
    if (!ended) ended = child.Reap(&status);
  }
  if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 127)
    NoticeOnce(Notice::NotStarted, "the picture decoder " + command[0] + " could not be started");
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return VFW_E_INVALID_FILE_FORMAT;
  return shared.get() >= 0 ? TakeSharedAnswer(shared.get(), limits, out) : TakePipedAnswer(piped, limits, out);
}

}  // namespace dshow
