// A fixture that gives every test of a suite a fake daemon for modem 0 and
// this process's channels to it, and a small request to exchange.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "sdk/core/channels.h"
#include "sdk/core/request_engine.h"
#include "tests/core/fake_daemon.h"

namespace vant::test {

inline constexpr uint8_t kTestService = 3;
inline constexpr uint16_t kTestMessage = 0x0099;

// The request carries one byte (TLV 0x10); the response one u32 (TLV 0x11).
struct TestOutput {
  uint32_t value = 0;
};
uint32_t test_request(uint8_t service, uint32_t timeout_ms, uint8_t input, TestOutput* output);
// The same with the per-datagram wait limit given directly.
uint32_t test_request_with_limit(uint32_t limit_ms, uint8_t input, TestOutput* output);
// A successful answer carrying value.
Bytes answer(const ReceivedPacket& request, uint32_t value, int transaction_shift = 0);

class EngineTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  static FakeDaemon& daemon() { return *daemon_; }

 private:
  static inline FakeDaemon* daemon_ = nullptr;
};

}  // namespace vant::test
