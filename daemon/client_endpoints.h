// The daemon's sockets toward its clients: the presence socket by which
// clients see that it runs, and its side of the three request/response and
// notification channel pairs. Replies go to the client's side of a pair.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "daemon/datagram_socket.h"

namespace vant::daemon {

inline constexpr size_t kChannelPairs = 3;

struct ChannelPair {
  uint32_t request_number = 0;  // channel numbers in the shared channel table
  uint32_t notification_number = 0;
  std::optional<DatagramSocket> requests;
  std::optional<DatagramSocket> notifications;
  sockaddr_un request_peer{};       // the client's side: responses go here
  sockaddr_un notification_peer{};  // and indications here
};

// Whether a datagram on the pair's request socket comes from the pair's client:
// its source must be the client-side name of the pair, which only the process
// that bound it can hold. Anyone else of the network namespace can reach our
// sockets, but not send from that name.
bool sent_by_pair_client(const ChannelPair& pair, const ReceivedDatagram& received);

// held_by_other: a socket of a user who is neither root nor ours holds one
// of the names (error says which and whose).
enum class EndpointsStatus { open, already_running, held_by_other, failed };

class ClientEndpoints {
 public:
  // Binds the channel pairs first and the presence socket last, so that a
  // client that sees the presence socket finds every channel bound. A name
  // that is taken means another daemon (already_running) unless the kernel
  // tells that another user holds it; nothing stays bound then.
  static EndpointsStatus open(unsigned modem, std::optional<ClientEndpoints>& out,
                              std::string& error);

  DatagramSocket& presence() { return *presence_; }
  std::array<ChannelPair, kChannelPairs>& pairs() { return pairs_; }
  ChannelPair& pair(size_t index) { return pairs_[index]; }

 private:
  ClientEndpoints() = default;
  std::optional<DatagramSocket> presence_;
  std::array<ChannelPair, kChannelPairs> pairs_;
};

}  // namespace vant::daemon
