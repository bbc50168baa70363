#include "daemon/client_endpoints.h"

#include <cerrno>
#include <cstring>

#include "sdk/core/channels.h"
#include "sdk/core/os_services.h"

namespace vant::daemon {
namespace {

// What a failed bind means: another daemon, a socket of another user, or a
// plain failure.
EndpointsStatus bind_failure(const sockaddr_un& address, int errno_value, const char* what,
                             std::string& error) {
  if (errno_value != EADDRINUSE) {
    error = std::string("cannot bind ") + what + ": " + std::strerror(errno_value);
    return EndpointsStatus::failed;
  }
  int64_t owner = -1;
  // Without socket diagnostics the holder cannot be told: it counts as a daemon.
  if (!os_abstract_name_owners(&address, 1, &owner) || owner < 0 || os_user_trusted(owner))
    return EndpointsStatus::already_running;
  error = std::string(address.sun_path + 1) + " held by uid " + std::to_string(owner);
  return EndpointsStatus::held_by_other;
}

EndpointsStatus bind_channel(unsigned modem, uint32_t number, std::optional<DatagramSocket>& out,
                             std::string& error) {
  const char* name = kChannelTable[number].name;
  const sockaddr_un address = os_channel_address(ChannelSide::kDaemon, modem, name, number);
  int errno_value = 0;
  out = DatagramSocket::bind_to(address, errno_value);
  if (out) return EndpointsStatus::open;
  return bind_failure(address, errno_value, (std::string("channel ") + name).c_str(), error);
}

EndpointsStatus open_pair(unsigned modem, size_t index, ChannelPair& pair, std::string& error) {
  pair.request_number = ci_nth_of_kind(static_cast<uint32_t>(index), kKindRequestResponse);
  if (pair.request_number >= kChannelCount) {
    error = "the channel table lacks a request/response channel";
    return EndpointsStatus::failed;
  }
  pair.notification_number = ci_peer_of(pair.request_number);
  if (pair.notification_number >= kChannelCount) {
    error = "the channel table lacks a notification channel";
    return EndpointsStatus::failed;
  }
  EndpointsStatus bound = bind_channel(modem, pair.request_number, pair.requests, error);
  if (bound == EndpointsStatus::open)
    bound = bind_channel(modem, pair.notification_number, pair.notifications, error);
  if (bound != EndpointsStatus::open) return bound;
  pair.request_peer = os_channel_address(
      ChannelSide::kClient, modem, kChannelTable[pair.request_number].name, pair.request_number);
  pair.notification_peer =
      os_channel_address(ChannelSide::kClient, modem, kChannelTable[pair.notification_number].name,
                         pair.notification_number);
  return EndpointsStatus::open;
}

}  // namespace

bool sent_by_pair_client(const ChannelPair& pair, const ReceivedDatagram& received) {
  // Clients bind with the full address, so the kernel reports the full one back.
  return received.source_length == sizeof pair.request_peer &&
         std::memcmp(&received.source, &pair.request_peer, sizeof pair.request_peer) == 0;
}

EndpointsStatus ClientEndpoints::open(unsigned modem, std::optional<ClientEndpoints>& out,
                                      std::string& error) {
  ClientEndpoints endpoints;
  // Two daemons starting at once bind in the same order, so the one that
  // loses finds the first name taken, and at most one gets to the presence
  // socket.
  for (size_t i = 0; i < kChannelPairs; ++i) {
    const EndpointsStatus bound = open_pair(modem, i, endpoints.pairs_[i], error);
    if (bound != EndpointsStatus::open) return bound;
  }
  const sockaddr_un presence = os_daemon_mutex_address(modem);
  int errno_value = 0;
  endpoints.presence_ = DatagramSocket::bind_to(presence, errno_value);
  if (!endpoints.presence_)
    return bind_failure(presence, errno_value, "the presence socket", error);
  out.emplace(std::move(endpoints));
  return EndpointsStatus::open;
}

}  // namespace vant::daemon
