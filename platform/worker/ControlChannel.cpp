#include "platform/worker/ControlChannel.h"

#include "platform/worker/WireSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace worker {

void ControlChannel::Quit(const char* reason) {
  if (reason) std::fprintf(stderr, "orbelle-media-worker: %s\n", reason);
  _exit(reason ? 3 : 0);
}

void ControlChannel::SendBytes(const void* data, std::size_t size, int passFd) {
  std::lock_guard<std::mutex> lock(sending_);
  // The viewer closed its end (or the socket broke): nobody is left to serve.
  if (SendMessage(fd_, data, size, passFd, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) Quit(nullptr);
}

ControlChannel::Received ControlChannel::Receive() {
  Received in{};
  in.fd = -1;
  // One byte more than the largest message, so that a longer one shows as too long; room for
  // more descriptors than one, so that extra ones show instead of being dropped silently.
  unsigned char buffer[kMaxMessage + 1];
  iovec part{buffer, sizeof(buffer)};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
  message.msg_control = control;
  message.msg_controllen = sizeof(control);
  ssize_t got;
  do {
    got = recvmsg(fd_, &message, MSG_CMSG_CLOEXEC);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) Quit(nullptr);  // the viewer is gone

  int fds[4];
  int fdCount = 0;
  bool otherControl = false;
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
      const std::size_t n = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (std::size_t i = 0; i < n && fdCount < 4; ++i)
        std::memcpy(&fds[fdCount++], CMSG_DATA(header) + i * sizeof(int), sizeof(int));
    } else {
      otherControl = true;
    }
  }
  Type type{};
  const bool valid = !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) && !otherControl &&
                     HeaderValid(buffer, static_cast<std::size_t>(got), &type) &&
                     static_cast<std::uint32_t>(type) >= static_cast<std::uint32_t>(Type::Open) &&
                     (type == Type::Open ? fdCount == 1 : fdCount == 0);
  if (!valid) Quit("the viewer sent a malformed message");
  std::memcpy(in.bytes, buffer, static_cast<std::size_t>(got));
  in.type = type;
  in.fd = fdCount == 1 ? fds[0] : -1;
  return in;
}

}  // namespace worker
