// An abstract Unix datagram socket of the daemon: bound to a name, every
// received datagram carries its sender's credentials, and sends never block.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "daemon/unique_fd.h"

namespace vant::daemon {

struct ReceivedDatagram {
  size_t size = 0;
  bool truncated = false;  // longer than the buffer: the rest is lost
  bool has_credentials = false;
  ucred credentials{};
  // The name the sender's socket is bound to (length 0 or a bare family
  // for a socket bound to nothing).
  sockaddr_un source{};
  socklen_t source_length = 0;
};

enum class SendStatus { sent, would_block, no_peer, failed };

class DatagramSocket {
 public:
  // Binds a new non-blocking socket to the address (the full 110-byte
  // abstract address). Returns nothing and sets error to errno on failure.
  static std::optional<DatagramSocket> bind_to(const sockaddr_un& address, int& error);

  int fd() const { return fd_.get(); }

  // One datagram, or nothing when none is waiting (or the receive failed).
  std::optional<ReceivedDatagram> receive(std::span<uint8_t> buffer);

  // One datagram to peer, without waiting for room and without SIGPIPE.
  SendStatus send_to(const sockaddr_un& peer, std::span<const uint8_t> datagram);

 private:
  explicit DatagramSocket(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace vant::daemon
