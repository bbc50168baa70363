#include "tests/daemon/test_client.h"

#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "qmux/tlv.h"
#include "qmux/wire.h"
#include "sdk/core/channels.h"
#include "tests/support/time_scale.h"

namespace vant::daemon::testing {
namespace {

UniqueFd bound_socket(const sockaddr_un& address) {
  UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot bind a client socket");
  return fd;
}

sockaddr_un client_address(unsigned modem, uint32_t number) {
  return os_channel_address(ChannelSide::kClient, modem, kChannelTable[number].name, number);
}

}  // namespace

std::vector<uint8_t> qmi_request_bytes(const QmiRequestFields& message) {
  std::vector<uint8_t> out(kQmiPayloadOffset);
  QmiTransactionHeader header{};
  header.qmiLength = static_cast<uint32_t>(4 + message.tlvs.size());
  header.timeout = message.timeout_ms;
  header.service = message.service;
  header.instance = message.instance;
  uint8_t* cursor = out.data();
  ambuildqmixactionheader(&cursor, &header, kAmQmiRequest, message.transaction);
  qmux::WireWriter w(out);
  w.u16(message.message_id);
  w.u16(static_cast<uint16_t>(message.tlvs.size()));
  w.bytes(message.tlvs);
  return out;
}

std::vector<uint8_t> sdk_request_bytes(uint8_t type) {
  std::vector<uint8_t> out(kSdkRequestSize);
  uint8_t* cursor = out.data();
  ambuildsdkrequest(&cursor, type, kAmSdkRequest);
  return out;
}

std::optional<Packet> parse_packet(std::span<const uint8_t> bytes) {
  if (bytes.size() < kAmHeaderSize) return std::nullopt;
  Packet p;
  p.raw.assign(bytes.begin(), bytes.end());
  const uint8_t* cursor = bytes.data();
  am_parse_header(&cursor, &p.type, &p.check_word, &p.result, &p.length);
  if (p.type == kAmSdkResponse) return p;
  if (bytes.size() < kQmiPayloadOffset + 4) return std::nullopt;
  amparseqmixactionheader(&cursor, &p.header, &p.transaction);
  qmux::WireReader r(bytes.subspan(kQmiPayloadOffset));
  uint16_t tlv_length = 0;
  r.u16(p.message_id);
  r.u16(tlv_length);
  std::span<const uint8_t> tlvs;
  if (!r.take(tlv_length, tlvs) || !r.empty()) return std::nullopt;
  p.tlvs.assign(tlvs.begin(), tlvs.end());
  return p;
}

std::optional<std::vector<uint8_t>> tlv_value(const std::vector<uint8_t>& tlvs, uint8_t type) {
  const auto value = qmux::find_tlv(tlvs, type);
  if (!value) return std::nullopt;
  return std::vector<uint8_t>(value->begin(), value->end());
}

TestClient::TestClient(unsigned modem, unsigned pair) {
  const uint32_t request_number = ci_nth_of_kind(pair, kKindRequestResponse);
  const uint32_t notification_number = ci_peer_of(request_number);
  requests_ = bound_socket(client_address(modem, request_number));
  notifications_ = bound_socket(client_address(modem, notification_number));
  daemon_requests_ = os_channel_address(ChannelSide::kDaemon, modem,
                                        kChannelTable[request_number].name, request_number);
}

void TestClient::send(std::span<const uint8_t> datagram) {
  sendto(requests_.get(), datagram.data(), datagram.size(), MSG_NOSIGNAL,
         reinterpret_cast<const sockaddr*>(&daemon_requests_), sizeof daemon_requests_);
}

std::optional<Packet> TestClient::receive_on(int fd, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(vant::test::scaled(timeout).count())) <= 0) return std::nullopt;
  uint8_t buffer[4096];
  const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return parse_packet(std::span<const uint8_t>(buffer, static_cast<size_t>(n)));
}

std::optional<Packet> TestClient::receive(std::chrono::milliseconds timeout) {
  return receive_on(requests_.get(), timeout);
}

std::optional<Packet> TestClient::receive_indication(std::chrono::milliseconds timeout) {
  return receive_on(notifications_.get(), timeout);
}

std::optional<Packet> TestClient::request(const QmiRequestFields& message,
                                          std::chrono::milliseconds timeout) {
  send(message);
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    auto packet = receive(left);
    if (packet && packet->transaction == message.transaction) return packet;
  }
  return std::nullopt;
}

std::optional<Packet> TestClient::connect_device() {
  const auto listed =
      request({.transaction = next_transaction_++, .service = 0xF7, .message_id = 0x0000});
  if (!listed || listed->result != 0) return listed;
  const auto node = tlv_value(listed->tlvs, 0x00);
  const auto key = tlv_value(listed->tlvs, 0x01);
  if (!node || !key) return std::nullopt;
  qmux::TlvBuilder tlvs;
  std::vector<uint8_t> node_text = *node;
  node_text.push_back(0);
  tlvs.add(0x00, node_text);
  tlvs.add(0x01, *key);
  return request({.transaction = next_transaction_++,
                  .service = 0xF7,
                  .message_id = 0x0001,
                  .tlvs = tlvs.take()});
}

bool daemon_bound(unsigned modem) {
  std::vector<sockaddr_un> names{os_daemon_mutex_address(modem)};
  for (uint32_t pair = 0; pair < 3; ++pair) {
    const uint32_t request_number = ci_nth_of_kind(pair, kKindRequestResponse);
    for (const uint32_t number : {request_number, ci_peer_of(request_number)})
      names.push_back(
          os_channel_address(ChannelSide::kDaemon, modem, kChannelTable[number].name, number));
  }
  for (const sockaddr_un& address : names) {
    UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
      return false;
  }
  return true;
}

bool wait_for_daemon(unsigned modem, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + vant::test::scaled(timeout);
  for (;;) {
    if (daemon_bound(modem)) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace vant::daemon::testing
