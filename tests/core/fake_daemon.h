// A stand-in for the SDK daemon on real sockets: it binds the daemon's side
// of the three channel pairs and its presence socket, records every request,
// answers as the test tells it (or not at all), and sends indications on cue.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vant::test {

using Bytes = std::vector<uint8_t>;

struct Tlv {
  uint8_t type;
  Bytes value;
};

// A request as the daemon received it.
struct ReceivedPacket {
  uint32_t pair = 0;  // 0..2: QMRR1..QMRR3
  uint16_t packetType = 0;
  uint8_t transaction = 0;
  uint8_t service = 0;
  uint32_t timeout = 0;
  uint8_t instance = 0;
  uint16_t messageId = 0;
  uint8_t sdkRequestType = 0;
  Bytes bytes;
};

// The datagrams to send back for one request (none: stay silent).
using Responder = std::function<std::vector<Bytes>(const ReceivedPacket&)>;

// Wire builders, written independently of the library's own.
Bytes le16(uint16_t value);
Bytes le32(uint32_t value);
Bytes qmi_message(uint16_t message_id, const std::vector<Tlv>& tlvs);
Bytes result_tlv_value(uint16_t result, uint16_t error);
// AM header + QMI transaction header + message.
Bytes qmi_packet(uint16_t packet_type, uint8_t transaction, uint8_t service, const Bytes& message,
                 uint32_t result = 0, uint8_t instance = 0);
// A successful response to the request with the given extra TLVs.
Bytes success_response(const ReceivedPacket& request, const std::vector<Tlv>& tlvs = {});

class FakeDaemon {
 public:
  explicit FakeDaemon(uint32_t modem);
  ~FakeDaemon();
  FakeDaemon(const FakeDaemon&) = delete;
  FakeDaemon& operator=(const FakeDaemon&) = delete;

  // The default answers every QMI request with success_response.
  void set_responder(Responder responder);
  std::vector<ReceivedPacket> received() const;
  void clear_received();
  // True once at least count requests came within the limit.
  bool wait_for_requests(size_t count, std::chrono::milliseconds limit) const;
  // Sends a datagram on the notification channel of the pair.
  void send_indication(uint32_t pair, const Bytes& packet) const;
  // Closes the presence socket (the daemon looks gone).
  void drop_presence();
  bool terminate_requested() const { return terminated_.load(); }

 private:
  void serve();
  void handle(uint32_t pair, const Bytes& datagram, const void* from, unsigned from_length);

  uint32_t modem_;
  int presence_ = -1;
  int request_sockets_[3] = {-1, -1, -1};
  int notification_sockets_[3] = {-1, -1, -1};
  int wake_ = -1;
  std::atomic<bool> terminated_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  Responder responder_;
  std::vector<ReceivedPacket> received_;
  std::thread thread_;
};

}  // namespace vant::test
