#include "daemon/take_over.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "daemon/datagram_socket.h"
#include "sdk/core/am_packets.h"
#include "sdk/core/channels.h"
#include "sdk/core/os_services.h"

namespace vant::daemon {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kSdkStatus = 0;
constexpr std::chrono::milliseconds kRebindInterval{20};

sockaddr_un channel_address(ChannelSide side, unsigned modem, uint32_t number) {
  return os_channel_address(side, modem, kChannelTable[number].name, number);
}

// The client-side name of a pair no client holds, bound like a client binds
// it; its number in `number`.
std::optional<DatagramSocket> bind_free_pair(unsigned modem, uint32_t& number) {
  for (uint32_t n = 0; n < kChannelPairs; ++n) {
    const uint32_t candidate = ci_nth_of_kind(n, kKindRequestResponse);
    if (candidate >= kChannelCount) break;
    int error = 0;
    auto socket =
        DatagramSocket::bind_to(channel_address(ChannelSide::kClient, modem, candidate), error);
    if (socket) {
      number = candidate;
      return socket;
    }
  }
  return std::nullopt;
}

std::vector<uint8_t> sdk_request(uint8_t type) {
  std::vector<uint8_t> request(kSdkRequestSize);
  uint8_t* cursor = request.data();
  ambuildsdkrequest(&cursor, type, kAmSdkRequest);
  return request;
}

bool readable_before(int fd, Clock::time_point until) {
  while (true) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int n = poll(&p, 1, static_cast<int>(left.count()));
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
  }
}

// The status answer of the daemon's socket `from`: only that socket can send
// from its name, and the kernel attaches the credentials of its process.
std::optional<ucred> status_answer(DatagramSocket& socket, const sockaddr_un& from) {
  if (socket.send_to(from, sdk_request(kSdkStatus)) != SendStatus::sent) return std::nullopt;
  const auto until = Clock::now() + kTakeOverAnswerWait;
  uint8_t buffer[kAmBufferSize];
  while (readable_before(socket.fd(), until)) {
    while (const auto received = socket.receive(buffer)) {
      if (received->source_length != sizeof from ||
          std::memcmp(&received->source, &from, sizeof from) != 0 || !received->has_credentials ||
          received->size < kSdkPayloadOffset)
        continue;
      const uint8_t* cursor = buffer;
      uint16_t type = 0, check_word = 0, length = 0;
      uint32_t result = 0;
      am_parse_header(&cursor, &type, &check_word, &result, &length);
      SdkResponseHeader header{};
      amparsesdkheader(&cursor, &header);
      if (type == kAmSdkResponse && header.requestType == kSdkStatus) return received->credentials;
    }
  }
  return std::nullopt;
}

}  // namespace

bool take_over(unsigned modem, std::optional<ClientEndpoints>& endpoints, pid_t& ended,
               std::string& error) {
  std::optional<ucred> holder;
  {
    uint32_t number = 0;
    auto socket = bind_free_pair(modem, number);
    if (!socket) {
      error = "every client channel of it is taken, so it cannot be asked to end";
      return false;
    }
    const sockaddr_un daemon_side = channel_address(ChannelSide::kDaemon, modem, number);
    holder = status_answer(*socket, daemon_side);
    if (!holder) {
      error = "it does not answer";
      return false;
    }
    // Only a daemon we could have started ourselves is ours to end.
    if (holder->uid != 0 && holder->uid != geteuid()) {
      error = "it runs as uid " + std::to_string(holder->uid) + ", neither root nor ours";
      return false;
    }
    if (socket->send_to(daemon_side, sdk_request(kSdkRequestTerminate)) != SendStatus::sent) {
      error = std::string("cannot ask it to end: ") + std::strerror(errno);
      return false;
    }
  }
  ended = holder->pid;
  const auto until = Clock::now() + kTakeOverEndWait;
  while (true) {
    std::string why;
    const EndpointsStatus status = ClientEndpoints::open(modem, endpoints, why);
    if (status == EndpointsStatus::open) return true;
    if (Clock::now() >= until) {
      error = "it did not let go of its sockets in time" + (why.empty() ? "" : " (" + why + ")");
      return false;
    }
    std::this_thread::sleep_for(kRebindInterval);
  }
}

}  // namespace vant::daemon
