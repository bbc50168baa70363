#include "daemon/client_endpoints.h"

#include <cerrno>
#include <cstring>

#include "sdk/core/channels.h"
#include "sdk/core/os_services.h"

namespace vant::daemon {
namespace {

std::optional<DatagramSocket> bind_channel(unsigned modem, uint32_t number, std::string& error) {
  const char* name = kChannelTable[number].name;
  int errno_value = 0;
  auto socket = DatagramSocket::bind_to(
      os_channel_address(ChannelSide::kDaemon, modem, name, number), errno_value);
  if (!socket)
    error = std::string("cannot bind channel ") + name + ": " + std::strerror(errno_value);
  return socket;
}

bool open_pair(unsigned modem, size_t index, ChannelPair& pair, std::string& error) {
  pair.request_number = ci_nth_of_kind(static_cast<uint32_t>(index), kKindRequestResponse);
  if (pair.request_number >= kChannelCount) {
    error = "the channel table lacks a request/response channel";
    return false;
  }
  pair.notification_number = ci_peer_of(pair.request_number);
  if (pair.notification_number >= kChannelCount) {
    error = "the channel table lacks a notification channel";
    return false;
  }
  pair.requests = bind_channel(modem, pair.request_number, error);
  if (!pair.requests) return false;
  pair.notifications = bind_channel(modem, pair.notification_number, error);
  if (!pair.notifications) return false;
  pair.request_peer = os_channel_address(
      ChannelSide::kClient, modem, kChannelTable[pair.request_number].name, pair.request_number);
  pair.notification_peer =
      os_channel_address(ChannelSide::kClient, modem, kChannelTable[pair.notification_number].name,
                         pair.notification_number);
  return true;
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
  int errno_value = 0;
  endpoints.presence_ = DatagramSocket::bind_to(os_daemon_mutex_address(modem), errno_value);
  if (!endpoints.presence_) {
    if (errno_value == EADDRINUSE) return EndpointsStatus::already_running;
    error = std::string("cannot bind the presence socket: ") + std::strerror(errno_value);
    return EndpointsStatus::failed;
  }
  for (size_t i = 0; i < kChannelPairs; ++i)
    if (!open_pair(modem, i, endpoints.pairs_[i], error)) return EndpointsStatus::failed;
  out.emplace(std::move(endpoints));
  return EndpointsStatus::open;
}

}  // namespace vant::daemon
