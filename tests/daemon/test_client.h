// A client of the daemon made of raw datagrams: binds the client side of one
// channel pair and speaks AM packets byte by byte, so that the tests see
// exactly what the daemon sends.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "daemon/unique_fd.h"
#include "sdk/core/am_packets.h"
#include "sdk/core/os_services.h"

namespace vant::daemon::testing {

struct Packet {
  uint16_t type = 0;
  uint16_t check_word = 0;
  uint32_t result = 0;
  uint16_t length = 0;
  uint8_t transaction = 0;
  QmiTransactionHeader header{};
  uint16_t message_id = 0;
  std::vector<uint8_t> tlvs;
  std::vector<uint8_t> raw;
};

struct QmiRequestFields {
  uint8_t transaction = 1;
  uint8_t service = 3;
  uint16_t message_id = 0x0021;
  std::vector<uint8_t> tlvs{};
  uint32_t timeout_ms = 2000;
  uint8_t instance = 0;
};

std::vector<uint8_t> qmi_request_bytes(const QmiRequestFields& message);
std::vector<uint8_t> sdk_request_bytes(uint8_t type);
inline std::vector<uint8_t> terminate_request_bytes() {
  return sdk_request_bytes(kSdkRequestTerminate);
}
std::optional<Packet> parse_packet(std::span<const uint8_t> bytes);
// The value of a TLV in a TLV area.
std::optional<std::vector<uint8_t>> tlv_value(const std::vector<uint8_t>& tlvs, uint8_t type);

class TestClient {
 public:
  // pair 0..2 selects QMRR1/QMNOTIF1 .. QMRR3/QMNOTIF3.
  TestClient(unsigned modem, unsigned pair);

  void send(std::span<const uint8_t> datagram);
  void send(const QmiRequestFields& message) { send(qmi_request_bytes(message)); }
  std::optional<Packet> receive(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  std::optional<Packet> receive_indication(
      std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Sends and waits for the answer with the same transaction number.
  std::optional<Packet> request(const QmiRequestFields& message,
                                std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Enumerate, then connect with the key enumerate gave. The connect answer.
  std::optional<Packet> connect_device();

  int request_fd() const { return requests_.get(); }

 private:
  std::optional<Packet> receive_on(int fd, std::chrono::milliseconds timeout);

  UniqueFd requests_;
  UniqueFd notifications_;
  sockaddr_un daemon_requests_{};
  uint8_t next_transaction_ = 100;
};

// Whether the daemon of the modem has bound its presence socket and its side of
// every channel pair. It binds the presence socket first: a client that
// sends as soon as that one is there can find the pair not yet bound.
bool daemon_bound(unsigned modem);
// Waits until daemon_bound; looks at least once.
bool wait_for_daemon(unsigned modem, std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace vant::daemon::testing
