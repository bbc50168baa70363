// The floor under one request's round trip: the same hops and payload sizes
// with nothing but the transport. A relay process takes each request
// datagram from an abstract datagram socket and writes a frame of the size
// the daemon sends to the modem into a stream socketpair; a thread of the
// relay playing the modem reads it and answers with a frame of the modem's
// size; the relay sends that back as one datagram of the response's size.
// No parsing, no matching, no polling loop: what is left is the kernel's
// cost of four hops and the wake-ups between two processes and a thread.
#pragma once

#include <sys/types.h>
#include <sys/un.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "daemon/unique_fd.h"

namespace vant::bench {

// The channel-lock read on each hop as the library, the daemon and the
// emulator exchange it: a 4-byte QMI message (no TLVs) behind the 19 bytes of
// AM and QMI transaction headers; the same message behind 9 bytes of QMUX
// header (marker, length, flags, service, client id, data-unit flags, 16-bit
// transaction id); the answer, 39 bytes of TLVs (the result and the three
// lock elements), in either framing.
inline constexpr size_t kRequestDatagramSize = 23;
inline constexpr size_t kRequestFrameSize = 13;
inline constexpr size_t kResponseFrameSize = 52;
inline constexpr size_t kResponseDatagramSize = 62;

class PingPongFloor {
 public:
  // Forks the relay. Call it while the process has no other thread.
  static std::optional<PingPongFloor> start(std::string& error);

  PingPongFloor(PingPongFloor&& other) noexcept;
  PingPongFloor& operator=(PingPongFloor&&) = delete;
  PingPongFloor(const PingPongFloor&) = delete;
  // Ends and reaps the relay.
  ~PingPongFloor();

  // One round trip: 0, or the errno of the call that failed (EPROTO when the
  // answer has the wrong size).
  uint32_t exchange();
  // The relay process.
  pid_t pid() const { return relay_; }

 private:
  PingPongFloor(pid_t relay, daemon::UniqueFd socket, const sockaddr_un& relay_address);

  pid_t relay_ = -1;
  daemon::UniqueFd socket_;
  sockaddr_un relay_address_{};
  std::array<uint8_t, 2048> buffer_{};
};

}  // namespace vant::bench
