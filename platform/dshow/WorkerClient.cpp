#include "platform/dshow/WorkerClient.h"

#include <fcntl.h>
#include <gst/app/gstappsrc.h>
#include <gst/audio/audio.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/dshow/GstSupport.h"
#include "platform/dshow/WorkerProtocol.h"
#include "platform/dshow/dshow.h"
#include "platform/win32/ModalWait.h"
#include "platform/worker/WireSocket.h"

namespace dshow {
namespace {

using Clock = std::chrono::steady_clock;

struct TestSettings {
  std::string program;
  std::vector<std::string> extraArgs;
  unsigned openMilliseconds = worker::kOpenMilliseconds;
};
std::mutex g_testMutex;
TestSettings g_test;

std::atomic<bool> g_missingNoticed{false};

std::string WorkerBesideProgram() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return worker::kWorkerFileName;
  std::string path(self, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + worker::kWorkerFileName;
}

// The registry the viewer's own GStreamer uses, so that the worker reads the same plugin list
// instead of scanning every plugin again.
std::string RegistryPath() {
  if (const char* set = std::getenv("GST_REGISTRY"); set && *set) return set;
  utsname name{};
  uname(&name);
  return std::string(g_get_user_cache_dir()) + "/gstreamer-1.0/registry." + name.machine + ".bin";
}

// The worker's whole environment: nothing of the viewer's (no LD_PRELOAD, no loader or plugin
// paths), only what makes its libraries behave inside the sandbox: no generated machine code
// (ORC's JIT would need executable memory), few malloc arenas (each reserves address space),
// no registry scan in a child process, the C locale (no locale files to open).
std::vector<std::string> WorkerEnvironment() {
  std::vector<std::string> env = {"ORC_CODE=backup",
                                  "MALLOC_ARENA_MAX=2",
                                  "GST_REGISTRY_FORK=no",
                                  "GST_REGISTRY_UPDATE=no",
                                  "GST_REGISTRY=" + RegistryPath(),
                                  "LC_ALL=C"};
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // A sanitizer build of the worker reads its own options (suppressions) before its sandbox.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"})
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
#endif
  return env;
}

// Everything the child needs, prepared before fork: between fork and exec only calls that are
// safe in a child of a threaded process run (no allocation, no locks).
struct ChildPlan {
  std::vector<char*> argv;
  std::vector<char*> envp;
  int socket;
  int errors;
  rlimit addressSpace;
  rlimit noCore;
  rlimit descriptors;
};

[[noreturn]] void RunChild(const ChildPlan& plan) {
  setpgid(0, 0);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int sig : {SIGPIPE, SIGXFSZ, SIGXCPU}) sigaction(sig, &byDefault, nullptr);
  // Copies above 2 first, so that a source already at 1 or 2 is not closed by dup2.
  const int socket = fcntl(plan.socket, F_DUPFD, 3);
  const int errors = fcntl(plan.errors, F_DUPFD, 3);
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (socket < 0 || errors < 0 || dup2(socket, 1) != 1 || dup2(errors, 2) != 2) _exit(126);
  // Standard input is an empty stream, never a descriptor of the viewer's.
  if (null < 0 || dup2(null, 0) != 0) _exit(126);
  if (close_range(3, ~0U, 0) != 0) {
    for (int fd = 3; fd < 1024; ++fd) close(fd);
  }
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // The sanitizers reserve terabytes of shadow memory.
  if (setrlimit(RLIMIT_AS, &plan.addressSpace) != 0) _exit(126);
#endif
  if (setrlimit(RLIMIT_CORE, &plan.noCore) != 0 || setrlimit(RLIMIT_NOFILE, &plan.descriptors) != 0) _exit(126);
  execve(plan.argv[0], plan.argv.data(), plan.envp.data());
  _exit(127);
}

int Index(worker::Stream stream) {
  return stream == worker::Stream::Audio ? 1 : 0;
}

}  // namespace

struct WorkerClient::State {
  ~State() {
    for (int fd : {sock, errRead, wake[0], wake[1]})
      if (fd >= 0) close(fd);
  }

  // Sends one message (with a descriptor when fd >= 0) without ever blocking: a worker that does
  // not read its messages is broken. False when it could not be sent.
  bool Send(const void* message, std::size_t size, int fd = -1) {
    return worker::SendMessage(sock, message, size, fd, MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }

  // Kills the worker and everything in its process group; it is reaped by the client's
  // destructor, so its id stays its own until then. Under mutex.
  void KillLocked() {
    if (pid > 0 && !killed) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
    }
    killed = true;
    dead = true;
  }

  // Ends the worker for good: its reader (if started) stopped, the process killed and reaped.
  void End() {
    if (reader.joinable()) {
      const char stop = 1;
      while (write(wake[1], &stop, 1) < 0 && errno == EINTR) {
      }
      reader.join();
    }
    pid_t ended;
    {
      std::lock_guard lock(mutex);
      KillLocked();
      ended = std::exchange(pid, -1);
    }
    int status;
    while (ended > 0 && waitpid(ended, &status, 0) < 0 && errno == EINTR) {
    }
  }

  // The worker broke its word (or died): it is killed, an open waiting for it fails, and a
  // stream it fed ends with an error, as a decoder's error would end it.
  void Fail(const char* why) {
    std::lock_guard push(pushMutex);
    GstElement* source = nullptr;
    bool report;
    {
      std::lock_guard lock(mutex);
      report = !dead;
      KillLocked();
      source = sources[0] ? sources[0] : sources[1];
      if (source) gst_object_ref(source);
    }
    changed.notify_all();
    if (report) std::fprintf(stderr, "orbelle: the media worker %s%s\n", why, HowItEnded());
    if (source) {
      GST_ELEMENT_ERROR(source, STREAM, DECODE, ("The media worker %s.", why), (nullptr));
      gst_object_unref(source);
    }
  }

  // " (stopped by its sandbox)" and the like when the worker has already ended; "" otherwise.
  // Looks without reaping: the client's destructor reaps it.
  const char* HowItEnded() const {
    siginfo_t info{};
    if (pid <= 0 || waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0)
      return "";
    if (info.si_code == CLD_EXITED) return " (it exited)";
    if (info.si_status == SIGSYS) return " (stopped by its sandbox)";
    if (info.si_status == SIGKILL) return " (killed)";
    return " (crashed)";
  }

  void Deliver(WorkerProtocol::Delivery& d, const std::shared_ptr<State>& self);
  void ReadErrors();
  bool ReadMessage(const std::shared_ptr<State>& self);
  void Run(const std::shared_ptr<State>& self);

  std::vector<std::string> args;  // what the worker was started with
  pid_t pid = -1;
  int sock = -1;
  int errRead = -1;
  int wake[2] = {-1, -1};
  std::thread reader;

  // pushMutex is taken before mutex. It keeps a picture of an old generation from reaching a
  // source after the seek's flush (BeginSeek takes it to move to the next generation).
  std::mutex pushMutex;
  std::mutex mutex;  // guards what follows
  std::condition_variable changed;
  WorkerProtocol protocol;
  bool dead = false;
  bool killed = false;
  bool stopping = false;
  GstElement* sources[2] = {nullptr, nullptr};  // one reference each
  bool deliveredSinceSeek = false;              // under pushMutex
  bool errorPending = false;
  std::string errorText;
  Clock::time_point lastHeard = Clock::now();
  // A worker reading ahead is ended when it has not opened its file by then (no one waits for it).
  std::optional<Clock::time_point> openDeadline;
  std::string errorLine;
  std::size_t errorBytes = 0;
};

namespace {

// What a buffer of the graph holds on to: the slot it points into, handed back when it goes.
struct SlotTicket {
  std::shared_ptr<WorkerClient::State> state;
  std::shared_ptr<const RingMapping> mapping;
  worker::Stream stream;
  std::uint32_t slot;
};

void ReleaseSlot(gpointer data) {
  auto* ticket = static_cast<SlotTicket*>(data);
  TakeOver(ticket);  // made by the reader thread, released on whichever thread drops the buffer
  WorkerClient::State& s = *ticket->state;
  {
    std::lock_guard lock(s.mutex);
    if (s.protocol.Released(ticket->stream, ticket->slot) && !s.dead) {
      auto release = worker::MakeMessage<worker::Release>(worker::Type::Release);
      release.stream = ticket->stream;
      release.slot = ticket->slot;
      if (!s.Send(&release, sizeof(release))) s.KillLocked();
    }
  }
  delete ticket;
}

}  // namespace

void WorkerClient::State::Deliver(WorkerProtocol::Delivery& d, const std::shared_ptr<State>& self) {
  using Kind = WorkerProtocol::Delivery::Kind;
  switch (d.kind) {
    case Kind::None:
      return;
    case Kind::Opened:
      changed.notify_all();
      return;
    case Kind::Release: {
      std::lock_guard lock(mutex);
      protocol.Released(d.stream, d.slot);
      auto release = worker::MakeMessage<worker::Release>(worker::Type::Release);
      release.stream = d.stream;
      release.slot = d.slot;
      if (!Send(&release, sizeof(release))) KillLocked();
      return;
    }
    case Kind::Deliver: {
      GstElement* source = sources[Index(d.stream)];
      auto* ticket = new SlotTicket{self, d.mapping, d.stream, d.slot};
      GstBuffer* buffer = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, const_cast<std::uint8_t*>(d.data),
                                                      d.bytes, 0, d.bytes, ticket, &ReleaseSlot);
      // Sound from before the first picture has no place on the clock.
      if (!source || d.time < 0) {
        gst_buffer_unref(buffer);
        return;
      }
      GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(d.time);
      if (d.duration >= 0) GST_BUFFER_DURATION(buffer) = static_cast<GstClockTime>(d.duration);
      // A source that is flushing drops the buffer, which hands the slot back. The streaming
      // thread that renders it takes it over (GstSupport.h).
      HandOff(buffer);
      HandOff(ticket);
      gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
      deliveredSinceSeek = true;
      return;
    }
    case Kind::End:
      if (GstElement* source = sources[Index(d.stream)]) gst_app_src_end_of_stream(GST_APP_SRC(source));
      return;
    case Kind::Error: {
      GstElement* source = sources[0] ? sources[0] : sources[1];
      if (!source) return;
      if (!deliveredSinceSeek) {
        // Nothing of this generation reached the graph: the open or the seek fails at once.
        GST_ELEMENT_ERROR(source, STREAM, DECODE, ("%s", d.text), (nullptr));
        return;
      }
      // The pictures before the error are still queued: the stream ends after them.
      {
        std::lock_guard lock(mutex);
        errorPending = true;
        errorText = d.text;
      }
      for (GstElement* each : sources)
        if (each) gst_app_src_end_of_stream(GST_APP_SRC(each));
      return;
    }
  }
}

bool WorkerClient::State::ReadMessage(const std::shared_ptr<State>& self) {
  alignas(8) std::uint8_t buffer[worker::kMaxMessage + 1];
  iovec io{buffer, sizeof(buffer)};
  msghdr header{};
  header.msg_iov = &io;
  header.msg_iovlen = 1;
  // Room for more descriptors than a message may carry, so that extra ones are seen (and closed).
  alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
  header.msg_control = control;
  header.msg_controllen = sizeof(control);
  const ssize_t n = recvmsg(sock, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) return true;
    Fail("ended");
    return false;
  }
  std::vector<int> fds;
  for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int fd;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
      fds.push_back(fd);
    }
  }
  if (n == 0) {
    for (int fd : fds) close(fd);
    // A still picture's worker is done once its picture and its end are sent.
    std::lock_guard lock(mutex);
    const bool finished = protocol.phase() == WorkerProtocol::Phase::Started && protocol.AllEnded();
    if (finished) {
      dead = true;
      return false;
    }
  }
  if (n == 0) {
    Fail("ended");
    return false;
  }
  const bool malformed = (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0 || fds.size() > 1;
  if (malformed) {
    for (int fd : fds) close(fd);
    Fail("sent a message out of shape");
    return false;
  }
  std::unique_lock push(pushMutex);
  WorkerProtocol::Delivery delivery;
  bool ok;
  {
    std::lock_guard lock(mutex);
    lastHeard = Clock::now();
    ok = protocol.Take(buffer, static_cast<std::size_t>(n), fds.empty() ? -1 : fds[0], &delivery);
  }
  if (ok) {
    Deliver(delivery, self);
    return true;
  }
  push.unlock();
  std::string why;
  {
    std::lock_guard lock(mutex);
    why = std::string("sent a message out of shape: ") + protocol.BreachReason();
  }
  Fail(why.c_str());
  return false;
}

void WorkerClient::State::ReadErrors() {
  char chunk[512];
  for (;;) {
    const ssize_t n = read(errRead, chunk, sizeof(chunk));
    if (n <= 0) {
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(errRead);
        errRead = -1;
      }
      return;
    }
    for (ssize_t i = 0; i < n; ++i) {
      if (errorBytes >= worker::kStderrBytes) return;  // the rest is dropped
      ++errorBytes;
      if (chunk[i] == '\n') {
        std::fprintf(stderr, "%s\n", errorLine.c_str());
        errorLine.clear();
      } else if (static_cast<unsigned char>(chunk[i]) >= 0x20 || chunk[i] == '\t') {
        errorLine.push_back(chunk[i]);
      }
    }
  }
}

void WorkerClient::State::Run(const std::shared_ptr<State>& self) {
  bool listening = true;
  for (;;) {
    pollfd watch[3] = {{wake[0], POLLIN, 0}, {listening ? sock : -1, POLLIN, 0}, {errRead, POLLIN, 0}};
    if (poll(watch, 3, 200) < 0 && errno != EINTR) return;
    if (watch[0].revents) return;
    if (watch[2].revents && errRead >= 0) ReadErrors();
    if (listening && watch[1].revents) listening = ReadMessage(self);
    if (!listening) continue;
    bool stalled, late;
    {
      std::lock_guard lock(mutex);
      stalled = !dead && protocol.phase() == WorkerProtocol::Phase::Started && !protocol.AllEnded() &&
                !protocol.WorkerBlocked() &&
                Clock::now() - lastHeard > std::chrono::milliseconds(worker::kStallMilliseconds);
      late = !dead && openDeadline && protocol.phase() != WorkerProtocol::Phase::Opened &&
             protocol.phase() != WorkerProtocol::Phase::Started && Clock::now() > *openDeadline;
    }
    if (stalled || late) {
      Fail(stalled ? "stopped making progress" : "did not open the file in time");
      listening = false;
    }
  }
}

void WorkerClient::SetForTesting(std::string program, std::vector<std::string> extraArgs, unsigned openMilliseconds) {
  std::lock_guard lock(g_testMutex);
  const unsigned bound = openMilliseconds == 0 ? worker::kOpenMilliseconds : openMilliseconds;
  g_test = TestSettings{std::move(program), std::move(extraArgs), bound};
}

namespace {

// Starts a worker that waits for its file: the process, its socket and its error pipe. Null with
// *hr set when it cannot be started.
std::shared_ptr<WorkerClient::State> Spawn(const std::vector<std::string>& args, HRESULT* hr) {
  *hr = S_OK;
  if (access(args[0].c_str(), X_OK) != 0) {
    if (!g_missingNoticed.exchange(true))
      std::fprintf(stderr, "orbelle: the media worker %s cannot be run (%s); no file can be opened\n", args[0].c_str(),
                   std::strerror(errno));
    *hr = VFW_E_INVALID_FILE_FORMAT;
    return nullptr;
  }
  std::vector<std::string> env = WorkerEnvironment();
  std::vector<std::string> argv = args;

  auto state = std::make_shared<WorkerClient::State>();
  state->args = args;
  int pair[2], errors[2];
  *hr = E_OUTOFMEMORY;
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return nullptr;
  if (pipe2(errors, O_CLOEXEC) != 0) {
    close(pair[0]);
    close(pair[1]);
    return nullptr;
  }
  state->sock = pair[0];
  state->errRead = errors[0];
  fcntl(state->errRead, F_SETFL, O_NONBLOCK);
  if (pipe2(state->wake, O_CLOEXEC) != 0) {
    close(pair[1]);
    close(errors[1]);
    return nullptr;
  }

  ChildPlan plan;
  for (std::string& a : argv) plan.argv.push_back(a.data());
  plan.argv.push_back(nullptr);
  for (std::string& e : env) plan.envp.push_back(e.data());
  plan.envp.push_back(nullptr);
  plan.socket = pair[1];
  plan.errors = errors[1];
  plan.addressSpace = {worker::kAddressSpace, worker::kAddressSpace};
  plan.noCore = {0, 0};
  plan.descriptors = {64, 64};
  const pid_t pid = fork();
  if (pid == 0) RunChild(plan);
  close(pair[1]);
  close(errors[1]);
  if (pid < 0) return nullptr;
  state->pid = pid;
  *hr = S_OK;
  return state;
}

// The spare: a worker started ahead of the next open, which then starts no process and loads no
// library. Only once the program asks for spares (PrepareMediaWorker).
std::mutex g_spareMutex;
bool g_sparesWanted = false;
std::shared_ptr<WorkerClient::State> g_spare;

// True while the spare's process has not ended.
bool Alive(const WorkerClient::State& state) {
  siginfo_t info{};
  return state.pid > 0 && waitid(P_PID, static_cast<id_t>(state.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

std::vector<std::string> WorkerArguments() {
  std::lock_guard lock(g_testMutex);
  std::vector<std::string> args{g_test.program.empty() ? WorkerBesideProgram() : g_test.program};
  args.insert(args.end(), g_test.extraArgs.begin(), g_test.extraArgs.end());
  return args;
}

// Starts a spare unless there is one. Window's thread.
void StartSpare() {
  const std::vector<std::string> args = WorkerArguments();
  {
    std::lock_guard lock(g_spareMutex);
    if (!g_sparesWanted || g_spare) return;
  }
  HRESULT hr;
  std::shared_ptr<WorkerClient::State> spare = Spawn(args, &hr);
  std::lock_guard lock(g_spareMutex);
  if (!g_spare) g_spare = std::move(spare);
}

// The spare, when there is one for these arguments and it is still there; a spare that died or
// was made for other arguments is ended.
std::shared_ptr<WorkerClient::State> TakeSpare(const std::vector<std::string>& args) {
  std::shared_ptr<WorkerClient::State> spare;
  {
    std::lock_guard lock(g_spareMutex);
    spare = std::move(g_spare);
  }
  if (!spare) return nullptr;
  if (spare->args == args && Alive(*spare)) return spare;
  spare->End();
  return nullptr;
}

// The spare when there is one, else a worker started now (null with *hr set when it cannot be).
std::shared_ptr<WorkerClient::State> SpareOrNew(HRESULT* hr) {
  const std::vector<std::string> args = WorkerArguments();
  *hr = S_OK;
  if (std::shared_ptr<WorkerClient::State> spare = TakeSpare(args)) return spare;
  return Spawn(args, hr);
}

// How long an open may take.
unsigned OpenBound() {
  std::lock_guard lock(g_testMutex);
  return g_test.openMilliseconds;
}

// What tells a file apart when a read-ahead is taken: the same file, not changed since.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  bool operator==(const FileIdentity& o) const {
    return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec;
  }
};

bool IdentityOf(int fd, FileIdentity* out) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  *out = FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  return true;
}

// The worker that reads a file ahead, with the file it was given. Under g_spareMutex.
struct Held {
  FileIdentity identity;
  std::shared_ptr<WorkerClient::State> state;
};
std::optional<Held> g_held;

// The held worker when it holds this file (identity null: an unidentified file, never held);
// any other held worker is ended.
std::shared_ptr<WorkerClient::State> TakeHeld(const FileIdentity* identity) {
  std::optional<Held> held;
  {
    std::lock_guard lock(g_spareMutex);
    held.swap(g_held);
  }
  if (!held) return nullptr;
  if (identity && held->identity == *identity) return held->state;
  held->state->End();
  return nullptr;
}

}  // namespace

void WorkerClient::PrepareSpare() {
  {
    std::lock_guard lock(g_spareMutex);
    g_sparesWanted = true;
  }
  StartSpare();
}

void WorkerClient::DropSpare() {
  std::shared_ptr<State> spare;
  {
    std::lock_guard lock(g_spareMutex);
    g_sparesWanted = false;
    spare = std::move(g_spare);
  }
  if (spare) spare->End();
  DropReadAhead();
}

HRESULT WorkerClient::Open(int fileFd, std::unique_ptr<WorkerClient>* out) {
  out->reset();
  const unsigned openMilliseconds = OpenBound();
  // The file read ahead, when it is this one and unchanged since: its worker has opened it (or
  // is opening it), and only its answer is waited for.
  FileIdentity identity;
  const bool identified = IdentityOf(fileFd, &identity);
  if (std::shared_ptr<State> held = TakeHeld(identified ? &identity : nullptr)) {
    StartSpare();
    return Await(held, openMilliseconds, out);
  }
  HRESULT hr = S_OK;
  std::shared_ptr<State> state = SpareOrNew(&hr);
  if (!state) return hr;
  // The next spare loads its decoders while this worker opens the file.
  StartSpare();
  if (!Hand(state, fileFd)) {
    state->End();
    return VFW_E_INVALID_FILE_FORMAT;
  }
  return Await(state, openMilliseconds, out);
}

void WorkerClient::ReadAhead(int fileFd, bool thenSpare) {
  FileIdentity identity;
  if (!IdentityOf(fileFd, &identity)) return;
  {
    std::lock_guard lock(g_spareMutex);
    if (g_held && g_held->identity == identity) return;
  }
  DropReadAhead();
  HRESULT hr = S_OK;
  std::shared_ptr<State> state = SpareOrNew(&hr);
  if (!state) return;
  {
    std::lock_guard lock(state->mutex);
    state->openDeadline = Clock::now() + std::chrono::milliseconds(OpenBound());
  }
  if (!Hand(state, fileFd)) {
    state->End();
    return;
  }
  {
    std::lock_guard lock(g_spareMutex);
    g_held = Held{identity, state};
  }
  if (thenSpare) StartSpare();
}

void WorkerClient::DropReadAhead() {
  TakeHeld(nullptr);
}

int WorkerClient::ReadAheadPid() {
  std::lock_guard lock(g_spareMutex);
  if (!g_held) return -1;
  std::lock_guard stateLock(g_held->state->mutex);
  return g_held->state->dead ? -1 : g_held->state->pid;
}

bool WorkerClient::Hand(const std::shared_ptr<State>& state, int fileFd) {
  // The worker reads the file's descriptor once its sandbox is in place; the socket keeps the
  // message until then.
  auto open = worker::MakeMessage<worker::Open>(worker::Type::Open);
  {
    std::lock_guard lock(state->mutex);
    state->protocol.OpenSent();
  }
  if (!state->Send(&open, sizeof(open), fileFd)) return false;
  state->reader = std::thread([state] { state->Run(state); });
  return true;
}

HRESULT WorkerClient::Await(const std::shared_ptr<State>& state, unsigned openMilliseconds,
                            std::unique_ptr<WorkerClient>* out) {
  std::unique_ptr<WorkerClient> client(new WorkerClient());
  client->state_ = state;
  const Win32WaitResult waited = Win32WaitWhileBusy(
      [&](int waitMs) {
        std::unique_lock lock(state->mutex);
        const auto answered = [&] { return state->dead || state->protocol.phase() == WorkerProtocol::Phase::Opened; };
        state->changed.wait_for(lock, std::chrono::milliseconds(waitMs), answered);
        return answered();
      },
      openMilliseconds);
  {
    std::lock_guard lock(state->mutex);
    state->openDeadline.reset();
    if (waited == Win32WaitResult::Ready && !state->dead) {
      *out = std::move(client);
      return S_OK;
    }
    if (waited == Win32WaitResult::TimedOut && !state->dead)
      std::fprintf(stderr, "orbelle: the media worker did not open the file in time\n");
    state->KillLocked();
  }
  return VFW_E_INVALID_FILE_FORMAT;  // the client's destructor reaps the worker
}

WorkerClient::~WorkerClient() {
  Detach();
  state_->End();
}

const worker::Opened& WorkerClient::Facts() const {
  // Written once by the reader before Open returns; read-only afterwards.
  return state_->protocol.Facts();
}

bool WorkerClient::Started() const {
  std::lock_guard lock(state_->mutex);
  return state_->protocol.phase() == WorkerProtocol::Phase::Started;
}

int WorkerClient::WorkerPid() const {
  std::lock_guard lock(state_->mutex);
  return state_->dead ? -1 : state_->pid;
}

GstCaps* WorkerClient::VideoCaps(worker::Layout layout) const {
  const worker::Opened& f = Facts();
  return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, layout == worker::Layout::Bgrx ? "BGRx" : "BGR",
                             "width", G_TYPE_INT, static_cast<int>(f.width), "height", G_TYPE_INT,
                             static_cast<int>(f.height), "framerate", GST_TYPE_FRACTION, 0, 1, "pixel-aspect-ratio",
                             GST_TYPE_FRACTION, static_cast<int>(f.parN), static_cast<int>(f.parD), nullptr);
}

GstCaps* WorkerClient::AudioCaps() const {
  const worker::Opened& f = Facts();
  GstAudioInfo info;
  gst_audio_info_init(&info);
  GstAudioChannelPosition positions[64];
  const guint64 mask = gst_audio_channel_get_fallback_mask(static_cast<gint>(f.channels));
  const bool positioned = f.channels <= 2 || (mask && gst_audio_channel_positions_from_mask(
                                                          static_cast<gint>(f.channels), mask, positions));
  gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16LE, static_cast<gint>(f.rate), static_cast<gint>(f.channels),
                            positioned && f.channels > 2 ? positions : nullptr);
  return gst_audio_info_to_caps(&info);
}

void WorkerClient::SetUpSource(GstElement* appsrc) const {
  const worker::Opened& f = Facts();
  const bool seekable = (f.flags & worker::kSeekable) != 0;
  g_object_set(appsrc, "format", GST_FORMAT_TIME, "max-bytes", guint64{0}, "max-buffers", guint64{0}, "max-time",
               guint64{0}, nullptr);
  gst_app_src_set_stream_type(GST_APP_SRC(appsrc),
                              seekable ? GST_APP_STREAM_TYPE_SEEKABLE : GST_APP_STREAM_TYPE_STREAM);
  if (f.duration >= 0) gst_app_src_set_duration(GST_APP_SRC(appsrc), static_cast<GstClockTime>(f.duration));
  // The graph seeks the worker itself (BeginSeek, Seek); the source only needs to agree.
  GstAppSrcCallbacks callbacks{};
  callbacks.seek_data = [](GstAppSrc*, guint64, gpointer) -> gboolean { return TRUE; };
  gst_app_src_set_callbacks(GST_APP_SRC(appsrc), &callbacks, nullptr, nullptr);
}

bool WorkerClient::Start(GstElement* videoSrc, GstElement* audioSrc, worker::Layout layout) {
  State& s = *state_;
  auto start = worker::MakeMessage<worker::Start>(worker::Type::Start);
  start.layout = layout;
  start.wantVideo = videoSrc != nullptr;
  start.wantAudio = audioSrc != nullptr;
  std::lock_guard push(s.pushMutex);
  std::lock_guard lock(s.mutex);
  if (s.dead || s.protocol.phase() != WorkerProtocol::Phase::Opened || s.protocol.FailedBeforeStart()) return false;
  s.sources[0] = videoSrc ? GST_ELEMENT(gst_object_ref(videoSrc)) : nullptr;
  s.sources[1] = audioSrc ? GST_ELEMENT(gst_object_ref(audioSrc)) : nullptr;
  s.protocol.Started(layout, videoSrc != nullptr, audioSrc != nullptr);
  s.lastHeard = Clock::now();
  if (!s.Send(&start, sizeof(start))) {
    s.KillLocked();
    return false;
  }
  return true;
}

void WorkerClient::BeginSeek() {
  std::lock_guard push(state_->pushMutex);
  std::lock_guard lock(state_->mutex);
  state_->protocol.NextGeneration();
  state_->deliveredSinceSeek = false;
  state_->errorPending = false;
}

bool WorkerClient::TakeError(std::string* text) {
  std::lock_guard lock(state_->mutex);
  if (!state_->errorPending) return false;
  state_->errorPending = false;
  *text = std::move(state_->errorText);
  return true;
}

void WorkerClient::Seek(gint64 target) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  if (s.dead) return;
  auto seek = worker::MakeMessage<worker::Seek>(worker::Type::Seek);
  seek.generation = s.protocol.Generation();
  seek.target = target < 0 ? 0 : target;
  s.lastHeard = Clock::now();
  if (!s.Send(&seek, sizeof(seek))) s.KillLocked();
}

void WorkerClient::Detach() {
  GstElement* sources[2];
  {
    std::lock_guard push(state_->pushMutex);
    std::lock_guard lock(state_->mutex);
    sources[0] = state_->sources[0];
    sources[1] = state_->sources[1];
    state_->sources[0] = state_->sources[1] = nullptr;
  }
  for (GstElement* source : sources)
    if (source) gst_object_unref(source);
}

}  // namespace dshow
