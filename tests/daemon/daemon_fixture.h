// Runs a Daemon on a thread of the test, with a FakeModem behind it and raw
// datagram clients in front of it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "daemon/daemon.h"
#include "daemon/log.h"
#include "tests/daemon/fake_modem.h"
#include "tests/daemon/test_client.h"

namespace vant::daemon::testing {

inline constexpr unsigned kModem = 0;
inline constexpr uint8_t kNas = 0x03;
inline constexpr uint8_t kDeviceService = 0xF7;

class DaemonFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    log_open(LogSink::standard_error, false);
    auto source = std::make_unique<FakeModemSource>();
    source_ = source.get();
    source_holder_ = std::move(source);
  }

  void TearDown() override { stop(); }

  // Starts the daemon; with modem_present false the fake modem is absent.
  void start(bool modem_present = true) {
    source_->set_present(modem_present);
    std::optional<ClientEndpoints> endpoints;
    std::string error;
    ASSERT_EQ(EndpointsStatus::open, ClientEndpoints::open(kModem, endpoints, error)) << error;
    daemon_ = std::make_unique<Daemon>(std::move(*endpoints), std::move(source_holder_));
    thread_ = std::thread([this] { status_ = daemon_->run(); });
  }

  void stop() {
    if (!thread_.joinable()) return;
    daemon_->request_stop();
    thread_.join();
  }

  // Waits for the run loop to end by itself (after a terminate request).
  bool ended(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
      if (status_ >= 0) {
        thread_.join();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::shared_ptr<FakeModem> modem() { return source_->modem(); }

  FakeModemSource* source_ = nullptr;
  std::unique_ptr<LinkSource> source_holder_;
  std::unique_ptr<Daemon> daemon_;
  std::thread thread_;
  std::atomic<int> status_{-1};
};

}  // namespace vant::daemon::testing
