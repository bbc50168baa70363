// A minimal QMUX host for driving the emulator in tests: the emulator serves
// one end of a socketpair on its own thread, the test speaks on the other.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "qmux/qmux.h"
#include "sim/emulator.h"

namespace vant::sim::testing {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

class TestHost {
 public:
  explicit TestHost(Emulator& emulator) : emulator_(emulator) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    host_ = fds[0];
    modem_ = fds[1];
    server_ = std::thread([this] { end_ = emulator_.serve(modem_); });
  }
  // Closing our end ends serve() with host_closed.
  ~TestHost() {
    close_host();
    server_.join();
    close(modem_);
  }

  void close_host() {
    if (host_ >= 0) close(host_);
    host_ = -1;
  }
  // Waits for serve() to return and tells why.
  ServeEnd wait_end() {
    server_.join();
    server_ = std::thread([] {});
    return end_;
  }

  void send_bytes(const Bytes& bytes) { ASSERT_TRUE(qmux::write_all(host_, bytes)); }
  void send(const qmux::Frame& frame) { send_bytes(qmux::encode_frame(frame)); }

  // The next frame from the modem, or nothing within the time.
  std::optional<qmux::Frame> receive(std::chrono::milliseconds timeout = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (auto frame = reassembler_.next()) return frame;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{host_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      if (qmux::read_into(host_, reassembler_) != qmux::ReadStatus::data) return std::nullopt;
    }
  }

  // True when the modem's end of the stream was closed or shut down.
  bool sees_end_of_stream(std::chrono::milliseconds timeout = 3000ms) {
    pollfd p{host_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    uint8_t byte;
    return read(host_, &byte, 1) == 0;
  }

  // A request and its answer.
  std::optional<qmux::Frame> ask(const qmux::Frame& request) {
    send(request);
    return receive();
  }

  uint8_t allocate(uint8_t service) {
    const auto answer = ask(qmux::ctl::allocate_client_id_request(ctl_tx_.next() & 0xFF, service));
    if (!answer) return 0;
    const auto id = qmux::ctl::parse_allocate_client_id_response(*answer);
    return id ? id->client_id : 0;
  }

  qmux::Frame request(uint8_t service, uint8_t client, uint16_t message_id, Bytes tlvs = {}) {
    qmux::Frame f;
    f.service = service;
    f.client_id = client;
    f.transaction = tx_.next();
    f.message_id = message_id;
    f.tlvs = std::move(tlvs);
    return f;
  }

  uint8_t next_ctl_transaction() { return static_cast<uint8_t>(ctl_tx_.next()); }

 private:
  Emulator& emulator_;
  int host_ = -1;
  int modem_ = -1;
  std::thread server_;
  ServeEnd end_ = ServeEnd::io_error;
  qmux::Reassembler reassembler_;
  qmux::TransactionCounter ctl_tx_{qmux::kCtlTransactionMax};
  qmux::TransactionCounter tx_{qmux::kServiceTransactionMax};
};

// The result word pair of an answer; {0xFFFF, 0xFFFF} when it has none.
inline qmux::QmiResult result_of(const qmux::Frame& answer) {
  return qmux::find_result(answer.tlvs).value_or(qmux::QmiResult{0xFFFF, 0xFFFF});
}

inline Bytes tlv_value(const qmux::Frame& answer, uint8_t type) {
  const auto v = qmux::find_tlv(answer.tlvs, type);
  return v ? Bytes(v->begin(), v->end()) : Bytes{};
}

inline bool has_tlv(const qmux::Frame& answer, uint8_t type) {
  return qmux::find_tlv(answer.tlvs, type).has_value();
}

// A scenario that answers at once, for tests that do not study timing.
inline Scenario quick(Scenario s) {
  s.behaviour.latency_ms = 0;
  s.scan.duration_ms = 0;
  return s;
}

}  // namespace vant::sim::testing
