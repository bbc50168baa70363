#include "sdk/core/notifications.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "sdk/core/channels.h"
#include "tests/core/engine_fixture.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

using std::chrono::milliseconds;

template <typename Condition>
bool eventually(Condition condition) {
  for (int i = 0; i < 400; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return condition();
}

NotificationCallback as_callback(auto routine) {
  return reinterpret_cast<NotificationCallback>(routine);
}

void callback_a() {}
void callback_b() {}

TEST(NotificationTable, RowsBeyondTheTableAreIgnored) {
  set_notification_callback(132, &callback_a);
  EXPECT_EQ(&callback_a, get_notification_callback(132));
  set_notification_callback(133, &callback_a);
  EXPECT_EQ(nullptr, get_notification_callback(133));
  set_notification_callback(132, nullptr);
}

TEST(NotificationTable, ClearKeepsTheDeviceServiceRows) {
  for (uint32_t row = 0; row < kNotificationRows; ++row)
    set_notification_callback(row, &callback_b);
  clear_notification_callbacks();
  for (uint32_t row = 0; row < kNotificationRows; ++row) {
    const bool kept = row == 0 || row == 77 || row == 78;
    EXPECT_EQ(kept ? &callback_b : nullptr, get_notification_callback(row)) << row;
    set_notification_callback(row, nullptr);
  }
}

// What the device-service callbacks saw.
struct Seen {
  std::mutex mutex;
  std::vector<int> states;
  std::vector<std::string> texts;
  std::vector<std::tuple<uint32_t, uint8_t, uint8_t>> keyed;
};
Seen g_seen;

void on_state(uint8_t state) {
  std::lock_guard lock(g_seen.mutex);
  g_seen.states.push_back(state);
}
void on_text(const char* text) {
  std::lock_guard lock(g_seen.mutex);
  g_seen.texts.push_back(text);
}
void on_keyed(uint32_t value, uint8_t byte, uint8_t key) {
  std::lock_guard lock(g_seen.mutex);
  g_seen.keyed.emplace_back(value, byte, key);
}
size_t texts_seen() {
  std::lock_guard lock(g_seen.mutex);
  return g_seen.texts.size();
}

// A registration routine as a service writes it: turn the indication on at
// the modem, store the callback only when that worked.
constexpr uint32_t kServiceRow = 10;
uint32_t register_service_row(NotificationCallback callback) {
  TestOutput output;
  const uint32_t result = test_request(kTestService, 100, 0x77, &output);
  if (result == kSuccess) set_notification_callback(kServiceRow, callback);
  return result;
}

Bytes device_state(uint8_t instance, std::vector<Tlv> tlvs) {
  return qmi_packet(0xC2, 0, 0xF7, qmi_message(0x0014, tlvs), 0, instance);
}
Bytes text_tlv_value(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

class NotificationTest : public EngineTest {
 protected:
  static void SetUpTestSuite() {
    EngineTest::SetUpTestSuite();
    start_notification_thread();
  }
  void SetUp() override {
    EngineTest::SetUp();
    std::lock_guard lock(g_seen.mutex);
    g_seen.states.clear();
    g_seen.texts.clear();
    g_seen.keyed.clear();
    set_notification_callback(kRowDeviceState, as_callback(&on_state));
    set_notification_callback(kRowDeviceText, as_callback(&on_text));
  }
  // Sends a text-only indication and waits for it: everything sent before
  // has been handled by then.
  void sync() {
    const size_t before = texts_seen();
    daemon().send_indication(0, device_state(0, {{0x11, text_tlv_value("sync")}}));
    ASSERT_TRUE(eventually([&] { return texts_seen() > before; }));
  }
};

TEST_F(NotificationTest, ModemGoneParksCallbacksAndModemBackRestoresThem) {
  set_notification_registration(kServiceRow, &register_service_row);
  set_notification_callback(kServiceRow, &callback_a);
  set_notification_callback(kServiceRow + 1, &callback_b);  // no registration routine

  daemon().send_indication(0, device_state(0, {{0x10, {0}}}));
  ASSERT_TRUE(eventually([] { return ci_client_state() == 0; }));
  sync();
  EXPECT_EQ(nullptr, get_notification_callback(kServiceRow));
  EXPECT_EQ(&callback_a, get_parked_callback(kServiceRow));
  EXPECT_EQ(&callback_b, get_notification_callback(kServiceRow + 1));
  TestOutput output;
  EXPECT_EQ(kNoDevice, test_request(kTestService, 100, 0, &output));
  EXPECT_TRUE(daemon().received().empty());

  daemon().send_indication(0, device_state(0, {{0x10, {1}}}));
  ASSERT_TRUE(eventually([] { return get_notification_callback(kServiceRow) == &callback_a; }));
  EXPECT_EQ(nullptr, get_parked_callback(kServiceRow));
  const auto sent = daemon().received();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(0x77, sent[0].bytes.back());  // the re-registration went to the modem
  EXPECT_EQ(kSuccess, test_request(kTestService, 100, 0, &output));
  sync();
  std::lock_guard lock(g_seen.mutex);
  EXPECT_EQ((std::vector<int>{0, 1}), g_seen.states);
  set_notification_registration(kServiceRow, nullptr);
  set_notification_callback(kServiceRow, nullptr);
  set_notification_callback(kServiceRow + 1, nullptr);
}

TEST_F(NotificationTest, FailedReRegistrationKeepsTheCallbackParked) {
  set_notification_registration(kServiceRow, &register_service_row);
  set_notification_callback(kServiceRow, &callback_a);
  daemon().send_indication(0, device_state(0, {{0x10, {0}}}));
  sync();
  daemon().set_responder([](const ReceivedPacket& r) -> std::vector<Bytes> {
    return {qmi_packet(0xC1, r.transaction, r.service,
                       qmi_message(r.messageId, {{0x02, result_tlv_value(1, 0x30)}}))};
  });
  daemon().send_indication(0, device_state(0, {{0x10, {1}}}));
  ASSERT_TRUE(daemon().wait_for_requests(1, milliseconds(2000)));
  sync();
  EXPECT_EQ(nullptr, get_notification_callback(kServiceRow));
  EXPECT_EQ(&callback_a, get_parked_callback(kServiceRow));
  // Once the modem accepts the registration, the next return restores it.
  daemon().set_responder([](const ReceivedPacket& r) { return std::vector<Bytes>{answer(r, 0)}; });
  apply_device_state(1);
  EXPECT_EQ(&callback_a, get_notification_callback(kServiceRow));
  EXPECT_EQ(nullptr, get_parked_callback(kServiceRow));
  set_notification_registration(kServiceRow, nullptr);
  set_notification_callback(kServiceRow, nullptr);
}

TEST_F(NotificationTest, TextAndKeyedValueReachTheirRows) {
  set_notification_callback(kRowKeyedValueBase + 3, as_callback(&on_keyed));
  daemon().send_indication(0, device_state(0, {{0x11, text_tlv_value(std::string(200, 't'))}}));
  Bytes keyed = le32(0xDEADBEEF);
  keyed.push_back(9);
  keyed.push_back(3);
  daemon().send_indication(0, qmi_packet(0xC2, 0, 0xF7, qmi_message(0x0015, {{0x10, keyed}})));
  sync();
  std::lock_guard lock(g_seen.mutex);
  ASSERT_GE(g_seen.texts.size(), 1u);
  EXPECT_EQ(std::string(128, 't'), g_seen.texts[0]);  // cut to its field
  ASSERT_EQ(1u, g_seen.keyed.size());
  EXPECT_EQ(std::make_tuple(0xDEADBEEFu, uint8_t{9}, uint8_t{3}), g_seen.keyed[0]);
  set_notification_callback(kRowKeyedValueBase + 3, nullptr);
}

TEST_F(NotificationTest, KeyBeyondTheTableDeliversNothing) {
  daemon().send_indication(0, device_state(54, {{0x10, {0}}, {0x11, text_tlv_value("x")}}));
  sync();
  EXPECT_EQ(1, ci_client_state());
  std::lock_guard lock(g_seen.mutex);
  EXPECT_TRUE(g_seen.states.empty());
  EXPECT_EQ(std::vector<std::string>{"sync"}, g_seen.texts);
}

TEST_F(NotificationTest, MalformedIndicationsAreDropped) {
  Bytes lying_length = device_state(0, {{0x10, {0}}});
  lying_length[21] = 0xFF;  // the message claims more TLVs than arrived
  Bytes lying_tlv = device_state(0, {{0x10, {0}}, {0x11, text_tlv_value("abc")}});
  lying_tlv[lying_tlv.size() - 5] = 0x40;  // the text TLV claims 64 bytes
  for (const Bytes& bad : {lying_length, lying_tlv, Bytes{0xC2, 0, 0}}) {
    daemon().send_indication(0, bad);
    sync();
  }
  EXPECT_EQ(1, ci_client_state());
  std::lock_guard lock(g_seen.mutex);
  EXPECT_TRUE(g_seen.states.empty());
}

// Sends one datagram to this process's notification channel, from the
// daemon's side of it or from a socket bound to nothing, and waits for it.
void receive_on_notification_channel(const Bytes& packet, bool from_daemon = true) {
  if (!ci_open_client_channels(1)) _exit(3);
  const int sender = socket(AF_UNIX, SOCK_DGRAM, 0);
  const sockaddr_un daemon = os_channel_address(ChannelSide::kDaemon, 1, "QMNOTIF1", 1);
  if (from_daemon && bind(sender, reinterpret_cast<const sockaddr*>(&daemon), sizeof daemon) != 0)
    _exit(5);
  const sockaddr_un to = os_channel_address(ChannelSide::kClient, 1, "QMNOTIF1", 1);
  sendto(sender, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
         sizeof to);
  uint8_t buffer[kAmBufferSize];
  size_t length = sizeof buffer;
  QmiTransactionHeader record{};
  const uint8_t* message = nullptr;
  amapiwaitnotif(buffer, &length, &record, &message, 1000);
  _exit(message != nullptr ? 0 : 4);
}

TEST(NotificationDeathTest, ProtocolViolationsEndTheProcess) {
  Bytes bad_check = qmi_packet(0xC2, 0, 0xF7, qmi_message(0x0014, {}));
  bad_check[2] = 1;
  EXPECT_EXIT(receive_on_notification_channel(bad_check), testing::ExitedWithCode(1), "");
  const Bytes response = qmi_packet(0xC1, 0, 0xF7, qmi_message(0x0014, {}));
  EXPECT_EXIT(receive_on_notification_channel(response), testing::ExitedWithCode(1), "");
  const Bytes good = qmi_packet(0xC2, 0, 0xF7, qmi_message(0x0014, {}));
  EXPECT_EXIT(receive_on_notification_channel(good), testing::ExitedWithCode(0), "");
  // From anyone but the daemon, even a violation is dropped unread.
  EXPECT_EXIT(receive_on_notification_channel(bad_check, false), testing::ExitedWithCode(4), "");
  EXPECT_EXIT(receive_on_notification_channel(good, false), testing::ExitedWithCode(4), "");
}

}  // namespace
}  // namespace vant::test
