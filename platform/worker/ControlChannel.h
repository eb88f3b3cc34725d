// The worker's end of the control channel (descriptor 1, a SOCK_SEQPACKET socket: one send is
// one message). Sends come from the main thread and the streaming threads; a lock keeps them
// whole and in order. The viewer going away, or sending anything the wire format does not
// accept, ends the process at once: there is nobody left to serve, and nothing is torn down.
// Internal to platform/worker; any thread.
#pragma once

#include <cstddef>
#include <mutex>

#include "platform/worker/WorkerWire.h"

namespace worker {

class ControlChannel {
 public:
  explicit ControlChannel(int fd) : fd_(fd) {}
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;

  // Sends one message, with a descriptor when passFd >= 0 (SCM_RIGHTS).
  template <typename Message>
  void Send(const Message& message, int passFd = -1) {
    SendBytes(&message, sizeof(message), passFd);
  }
  // Any message, given as bytes (the tests' malformed ones too).
  void SendBytes(const void* data, std::size_t size, int passFd);

  // A received message: its type, its bytes (HeaderValid holds for them), and the descriptor
  // that came with it (-1 for none; only Open carries one, and always exactly one).
  struct Received {
    Type type;
    alignas(8) unsigned char bytes[kMaxMessage];
    int fd;

    template <typename Message>
    Message As() const {
      Message m;
      std::memcpy(&m, bytes, sizeof(m));
      return m;
    }
  };
  // Waits for the viewer's next message. Never returns a malformed one, a worker message, or a
  // message with descriptors it should not carry: the process ends instead.
  Received Receive();

  // Ends the process at once, with one line on stderr saying why (none for a null reason).
  [[noreturn]] static void Quit(const char* reason);

 private:
  const int fd_;
  std::mutex sending_;
};

}  // namespace worker
