// Sending one message of the wire (WorkerWire.h) on a SOCK_SEQPACKET socket, with at most one
// descriptor beside it (SCM_RIGHTS). Shared by the worker and the viewer. Any thread.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace worker {

// Sends size bytes as one message, with passFd when it is not -1; flags go to sendmsg (the
// caller adds MSG_NOSIGNAL, MSG_DONTWAIT as it needs). Retries when a signal interrupts it.
// The bytes sent, or -1 with errno set.
ssize_t SendMessage(int socket, const void* data, std::size_t size, int passFd, int flags);

}  // namespace worker
