#include "platform/worker/WireSocket.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace worker {

ssize_t SendMessage(int socket, const void* data, std::size_t size, int passFd, int flags) {
  iovec part{const_cast<void*>(data), size};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (passFd >= 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &passFd, sizeof(int));
  }
  for (;;) {
    const ssize_t sent = sendmsg(socket, &message, flags);
    if (sent >= 0 || errno != EINTR) return sent;
  }
}

}  // namespace worker
