#include "sdk/core/request_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "sdk/core/channels.h"
#include "tests/core/engine_fixture.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

using std::chrono::milliseconds;

TEST(WaitStretch, DoublesUpToTenSecondsThenAddsAQuarter) {
  const struct {
    uint32_t given, waited;
  } cases[] = {{0, 0},        {1, 2002},     {2000, 6000},     {5000, 12000},
               {9000, 20000}, {9001, 12501}, {300000, 376250}, {4294967295u, 4294967295u}};
  for (const auto& c : cases) EXPECT_EQ(c.waited, am_stretch_wait(c.given)) << c.given;
}

TEST_F(EngineTest, RequestGoesOutAsPackedAndItsAnswerComesBack) {
  TestOutput output;
  const uint8_t t = am_next_transaction();
  ASSERT_EQ(kSuccess, test_request(kTestService, 5000, 0x5A, &output));
  EXPECT_EQ(0x1000u + t, output.value);
  const auto sent = daemon().received();
  ASSERT_EQ(1u, sent.size());
  const Bytes expected{0xC0, 0, 0,    0,    0,    0, 0, 0,   17, 0,  // AM header
                       t,    3, 0x88, 0x13, 0,    0, 8, 0,   0,      // transaction header
                       0x99, 0, 4,    0,    0x10, 1, 0, 0x5A};       // message
  EXPECT_EQ(expected, sent[0].bytes);
}

TEST_F(EngineTest, StaleAnswersAreDroppedAndTheWaitGoesOn) {
  daemon().set_responder([](const ReceivedPacket& r) -> std::vector<Bytes> {
    return {answer(r, 1, -1), answer(r, 2, -7), answer(r, 3)};
  });
  TestOutput output;
  EXPECT_EQ(kSuccess, test_request_with_limit(2000, 0, &output));
  EXPECT_EQ(3u, output.value);
}

TEST_F(EngineTest, LateAnswerToAnAbandonedRequestDoesNotSatisfyTheNext) {
  std::vector<ReceivedPacket> silent;
  daemon().set_responder([&silent](const ReceivedPacket& r) -> std::vector<Bytes> {
    if (silent.empty()) {
      silent.push_back(r);
      return {};
    }
    return {answer(silent[0], 111), answer(r, 222)};
  });
  TestOutput output;
  EXPECT_EQ(kSdkTimedOut, test_request_with_limit(50, 0, &output));
  EXPECT_EQ(kSuccess, test_request_with_limit(2000, 0, &output));
  EXPECT_EQ(222u, output.value);
}

TEST_F(EngineTest, TransactionNumbersWrapFrom255To0) {
  // Run until a request has gone out with 255 and the next with 0.
  for (int i = 0; i < 257; ++i) {
    TestOutput output;
    const uint8_t t = am_next_transaction();
    ASSERT_EQ(kSuccess, test_request(kTestService, 5000, 0, &output)) << "request " << i;
    ASSERT_EQ(0x1000u + t, output.value);
  }
  const auto sent = daemon().received();
  for (size_t i = 1; i < sent.size(); ++i)
    EXPECT_EQ(static_cast<uint8_t>(sent[i - 1].transaction + 1), sent[i].transaction);
  const auto wrap = std::adjacent_find(sent.begin(), sent.end(), [](const auto& a, const auto& b) {
    return a.transaction == 255 && b.transaction == 0;
  });
  EXPECT_NE(sent.end(), wrap);
}

TEST_F(EngineTest, ShortTimeOutIsStretchedBeforeWaiting) {
  daemon().set_responder([](const ReceivedPacket& r) -> std::vector<Bytes> {
    std::this_thread::sleep_for(milliseconds(300));
    return {answer(r, 7)};
  });
  TestOutput output;
  EXPECT_EQ(kSuccess, test_request(kTestService, 1, 0, &output));
  EXPECT_EQ(7u, output.value);
}

TEST_F(EngineTest, TerminateRequestIsSentWithoutWaiting) {
  daemon().set_responder([](const ReceivedPacket&) { return std::vector<Bytes>{}; });
  uint8_t* buffer = nullptr;
  ASSERT_EQ(kSuccess, api_lock_take(&buffer));
  const uint8_t* response = nullptr;
  EXPECT_EQ(kSuccess, send_sdk_request(buffer, kSdkRequestTerminate, 11, 2000, &response));
  api_lock_release();
  ASSERT_TRUE(daemon().wait_for_requests(1, milliseconds(1000)));
  EXPECT_EQ((Bytes{0x00, 0x01, 0, 0, 0, 0, 0, 0, 0x0B, 0x00, 0x04}), daemon().received()[0].bytes);
}

TEST_F(EngineTest, ResponseLengthsThatDisagreeWithTheDatagramGive17) {
  struct Lie {
    const char* what;
    std::function<void(Bytes&)> apply;
  };
  const Lie lies[] = {
      {"AM length too long", [](Bytes& p) { p[8] = static_cast<uint8_t>(p[8] + 1); }},
      {"QMI length too long", [](Bytes& p) { p[16] = static_cast<uint8_t>(p[16] + 5); }},
      {"TLV length past the buffer", [](Bytes& p) { p[21] = p[22] = 0xFF; }},
      {"datagram cut short", [](Bytes& p) { p.pop_back(); }},
      {"bytes behind the message", [](Bytes& p) { p.push_back(0); }},
      {"shorter than a transaction header", [](Bytes& p) { p.resize(15); }},
      {"shorter than an AM header", [](Bytes& p) { p.resize(6); }},
      {"datagram larger than the buffer",
       [](Bytes& p) {
         const size_t grow = 3000 - p.size();
         p.insert(p.end(), grow, 0);
         const uint16_t tlvs = static_cast<uint16_t>(p.size() - 23);
         p[8] = static_cast<uint8_t>((tlvs + 13) & 0xFF),
         p[9] = static_cast<uint8_t>((tlvs + 13) >> 8);
         p[16] = static_cast<uint8_t>((tlvs + 4) & 0xFF),
         p[17] = static_cast<uint8_t>((tlvs + 4) >> 8);
         p[21] = static_cast<uint8_t>(tlvs & 0xFF), p[22] = static_cast<uint8_t>(tlvs >> 8);
       }},
  };
  for (const Lie& lie : lies) {
    daemon().set_responder([&lie](const ReceivedPacket& r) -> std::vector<Bytes> {
      Bytes packet = answer(r, 5);
      lie.apply(packet);
      return {packet};
    });
    TestOutput output;
    EXPECT_EQ(kInvalidQmiResponse, test_request_with_limit(500, 0, &output)) << lie.what;
  }
}

TEST_F(EngineTest, WrongKindsOfPacketGive17) {
  for (const uint16_t type : {uint16_t{0xC2}, uint16_t{0x101}, uint16_t{0xC0}, uint16_t{0x300}}) {
    daemon().set_responder([type](const ReceivedPacket& r) -> std::vector<Bytes> {
      Bytes packet = answer(r, 5);
      packet[0] = static_cast<uint8_t>(type);
      packet[1] = static_cast<uint8_t>(type >> 8);
      return {packet};
    });
    TestOutput output;
    EXPECT_EQ(kInvalidQmiResponse, test_request_with_limit(500, 0, &output)) << type;
  }
}

TEST_F(EngineTest, PacketWithoutTransactionHeaderAnswersOnlyTransactionZero) {
  TestOutput output;
  while (am_next_transaction() != 0)
    ASSERT_EQ(kSuccess, test_request(kTestService, 100, 0, &output));
  const Bytes bare{0xC1, 0, 0, 0, 0x05, 0xE0, 0, 0, 0, 0};  // result 0xE005, length 0
  daemon().set_responder([&bare](const ReceivedPacket&) { return std::vector<Bytes>{bare}; });
  EXPECT_EQ(kSocketInUse, test_request_with_limit(500, 0, &output));
  // For any other transaction number it is not the answer.
  EXPECT_EQ(kSdkTimedOut, test_request_with_limit(50, 0, &output));
  daemon().set_responder([](const ReceivedPacket&) { return std::vector<Bytes>{}; });
  while (am_next_transaction() != 0)
    ASSERT_EQ(kSdkTimedOut, test_request_with_limit(1, 0, &output));
  // Bytes behind a header that announces none would be read as a message.
  Bytes padded = bare;
  padded.insert(padded.end(), {0x99, 0, 0xFF, 0xFF});
  daemon().set_responder([&padded](const ReceivedPacket&) { return std::vector<Bytes>{padded}; });
  EXPECT_EQ(kInvalidQmiResponse, test_request_with_limit(500, 0, &output));
}

TEST_F(EngineTest, ResultOfTheAmHeaderIsReturned) {
  daemon().set_responder([](const ReceivedPacket& r) -> std::vector<Bytes> {
    return {qmi_packet(0xC1, r.transaction, r.service, {}, kSocketInUse)};
  });
  TestOutput output;
  EXPECT_EQ(kSocketInUse, test_request(kTestService, 100, 0, &output));
}

TEST_F(EngineTest, RefusedRequestsSendNothing) {
  uint8_t* buffer = nullptr;
  ASSERT_EQ(kSuccess, api_lock_take(&buffer));
  const uint8_t* response = nullptr;
  EXPECT_EQ(kNoQmiInterface, send_qmi_request_on(buffer, 1, 0, 100, &response, 8));
  // A length that would send bytes past the request buffer.
  EXPECT_EQ(kMemoryError, send_qmi_request(buffer, 1, 2026, 100, &response));
  api_lock_release();
  ci_set_client_state(0);
  TestOutput output;
  EXPECT_EQ(kNoDevice, test_request(kTestService, 100, 0, &output));
  EXPECT_FALSE(daemon().wait_for_requests(1, milliseconds(100)));
  // The daemon's own device service is still reachable.
  EXPECT_EQ(kSuccess, test_request(kDeviceService, 100, 0, &output));
}

TEST_F(EngineTest, ADaemonThatDiedIsNoticedWithinAboutASecond) {
  daemon().set_responder([](const ReceivedPacket&) { return std::vector<Bytes>{}; });
  daemon().drop_presence();
  TestOutput output;
  const auto start = std::chrono::steady_clock::now();
  // Stretched to 12 s, yet the daemon's missing presence socket ends it early.
  EXPECT_EQ(kSdkTimedOut, test_request(kTestService, 5000, 0, &output));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(4000));
}

TEST(EngineAcrossDaemons, ADaemonStartedAnewGetsTheRequestsAndItsIndicationsArrive) {
  auto first = std::make_unique<FakeDaemon>(0);
  ASSERT_EQ(1, ci_open_client_channels(0));
  TestOutput output;
  ASSERT_EQ(kSuccess, test_request(kTestService, 1000, 0, &output));
  first.reset();
  FakeDaemon second(0);
  EXPECT_EQ(kSuccess, test_request(kTestService, 1000, 0, &output));
  EXPECT_EQ(1u, second.received().size());
  second.send_indication(
      0, qmi_packet(kAmQmiNotification, 0, kTestService, qmi_message(kTestMessage, {{0x10, {1}}})));
  alignas(8) uint8_t buffer[kAmBufferSize];
  size_t length = sizeof buffer;
  QmiTransactionHeader record{};
  const uint8_t* payload = nullptr;
  ASSERT_EQ(1, amapiwaitnotif(buffer, &length, &record, &payload, 1000));
  EXPECT_NE(nullptr, payload) << "the new daemon's indication did not arrive";
}

TEST(EngineWithoutChannels, ARequestBeforeAnyDaemonConnectionFailsAtOnce) {
  ASSERT_LT(ci_request_channel().socket, 0);
  uint8_t* buffer = nullptr;
  ASSERT_EQ(kSuccess, api_lock_take(&buffer));
  const uint8_t* response = nullptr;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(kNoDevice, send_qmi_request(buffer, kDeviceService, 0, 5000, &response));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
  api_lock_release();
}

}  // namespace
}  // namespace vant::test
