// The device-service requests against a fake daemon that answers as each
// test needs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sdk/core/daemon_control.h"
#include "sdk/core/notifications.h"
#include "tests/core/engine_fixture.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
Bytes key_of(size_t length) {
  Bytes key;
  for (size_t i = 0; i < length; ++i) key.push_back(static_cast<uint8_t>(0xA0 + i));
  return key;
}

class DeviceService : public EngineTest {
 protected:
  // Answers every request with exactly these TLVs (the result TLV included).
  void answer_with(std::vector<Tlv> tlvs) {
    daemon().set_responder([tlvs](const ReceivedPacket& r) -> std::vector<Bytes> {
      return {qmi_packet(0xC1, r.transaction, r.service, qmi_message(r.messageId, tlvs))};
    });
  }
};

const Tlv kOk{0x02, result_tlv_value(0, 0)};

TEST_F(DeviceService, EnumerateFillsTheFirstRecord) {
  answer_with({kOk, {0x00, text("/dev/cdc-wdm0")}, {0x01, key_of(14)}});
  DeviceInfo devices[2];
  std::memset(devices, 0xAA, sizeof devices);  // not zero-filled by the caller
  uint8_t count = 2;
  ASSERT_EQ(kSuccess, EnumerateDevices(&count, devices));
  EXPECT_EQ(1, count);
  EXPECT_STREQ("/dev/cdc-wdm0", devices[0].deviceNode);
  EXPECT_EQ(0, std::memcmp(key_of(14).data(), devices[0].deviceKey, 14));
  const auto sent = daemon().received();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(0xF7, sent[0].service);
  EXPECT_EQ(0x0000, sent[0].messageId);
  EXPECT_EQ(5000u, sent[0].timeout);
}

TEST_F(DeviceService, EnumerateRejectsIncompleteOrOversizedAnswers) {
  const struct {
    const char* what;
    std::vector<Tlv> tlvs;
    uint32_t result;
  } cases[] = {
      {"no node", {kOk, {0x01, key_of(14)}}, kInvalidQmiResponse},
      {"empty node", {kOk, {0x00, {}}, {0x01, key_of(14)}}, kInvalidQmiResponse},
      {"no key", {kOk, {0x00, text("/dev/x")}}, kInvalidQmiResponse},
      {"node without room for its terminator",
       {kOk, {0x00, text(std::string(256, 'n'))}, {0x01, key_of(14)}},
       kInvalidQmiResponse},
      {"key longer than the record's field",
       {kOk, {0x00, text("/dev/x")}, {0x01, key_of(17)}},
       kInvalidQmiResponse},
      {"no result TLV", {{0x00, text("/dev/x")}, {0x01, key_of(14)}}, kInvalidQmiResponse},
      {"result word 2", {{0x02, result_tlv_value(2, 0)}}, kInvalidQmiResponse},
      {"modem error", {{0x02, result_tlv_value(1, 0x30)}}, 0x30},
      {"failure without an error word", {{0x02, result_tlv_value(1, 0)}}, kGeneralError},
  };
  for (const auto& c : cases) {
    answer_with(c.tlvs);
    DeviceInfo device{};
    uint8_t count = 1;
    EXPECT_EQ(c.result, EnumerateDevices(&count, &device)) << c.what;
    EXPECT_EQ(1, count) << c.what;
  }
  const std::string longest(255, 'n');
  answer_with({kOk, {0x00, text(longest)}, {0x01, key_of(16)}});
  DeviceInfo device{};
  uint8_t count = 1;
  EXPECT_EQ(kSuccess, EnumerateDevices(&count, &device));
  EXPECT_EQ(longest, device.deviceNode);
}

TEST_F(DeviceService, EnumerateWithoutRoomSendsNothing) {
  DeviceInfo device{};
  uint8_t count = 0;
  EXPECT_EQ(kInvalidArgument, EnumerateDevices(&count, &device));
  EXPECT_EQ(kInvalidArgument, EnumerateDevices(nullptr, &device));
  EXPECT_TRUE(daemon().received().empty());
}

TEST_F(DeviceService, ConnectSendsNodeAndKeyAndKeepsTheDaemonId) {
  answer_with({{0x02, result_tlv_value(1, 5)}, {0x03, le32(4321)}});
  const Bytes key = key_of(14);
  EXPECT_EQ(5u, ConnectDevice("/dev/x", key.data()));
  EXPECT_EQ(4321, daemon_process_id());  // kept although the connect failed
  Bytes expected_tlvs{0x00, 7, 0, '/', 'd', 'e', 'v', '/', 'x', 0, 0x01, 14, 0};
  expected_tlvs.insert(expected_tlvs.end(), key.begin(), key.end());
  const Bytes sent = daemon().received().at(0).bytes;
  EXPECT_EQ(expected_tlvs, Bytes(sent.begin() + 23, sent.end()));
  answer_with({{0x02, result_tlv_value(1, 5)}});
  EXPECT_EQ(5u, ConnectDevice("/dev/x", key.data()));
  EXPECT_EQ(0, daemon_process_id());
  EXPECT_EQ(kInvalidArgument, ConnectDevice(nullptr, key.data()));
}

TEST_F(DeviceService, ConnectOnlyLeavesTheDataInstancesAlone) {
  answer_with({kOk, {0x03, le32(4321)}});
  const Bytes key = key_of(14);
  ASSERT_EQ(kSuccess, ConnectDeviceOnly("/dev/x", key.data()));
  EXPECT_EQ(1u, daemon().received().size()) << "only the connect, no instance queries";
  EXPECT_EQ(kSuccess, ConnectDevice("/dev/x", key.data()));
  EXPECT_GT(daemon().received().size(), 2u) << "the full connect refreshes the table";
}

void some_callback() {}

TEST_F(DeviceService, DisconnectClearsCallbacksAndUsesQmiErrorCodes) {
  set_notification_callback(5, &some_callback);
  set_notification_callback(kRowDeviceState, &some_callback);
  answer_with({{0x02, result_tlv_value(1, 0x30)}});
  EXPECT_EQ(1048u, DisconnectDevice());
  EXPECT_EQ(nullptr, get_notification_callback(5));
  EXPECT_EQ(&some_callback, get_notification_callback(kRowDeviceState));
  answer_with({{0x02, result_tlv_value(2, 0)}});
  EXPECT_EQ(kInvalidQmiResponse, DisconnectDevice());
  answer_with({});
  EXPECT_EQ(kInvalidQmiResponse, DisconnectDevice());
  answer_with({kOk});
  EXPECT_EQ(kSuccess, DisconnectDevice());
  set_notification_callback(kRowDeviceState, nullptr);
}

TEST_F(DeviceService, ConnectedDeviceNeedsRoomForNodeAndKey) {
  answer_with({kOk, {0x00, text("/dev/abc")}, {0x01, key_of(14)}});
  char node[9];
  uint8_t key[14];
  EXPECT_EQ(kSuccess, GetConnectedDevice(node, sizeof node, key, sizeof key));
  EXPECT_STREQ("/dev/abc", node);
  EXPECT_EQ(0, std::memcmp(key_of(14).data(), key, 14));
  EXPECT_EQ(kBufferTooSmall, GetConnectedDevice(node, 8, key, sizeof key));
  EXPECT_EQ(kBufferTooSmall, GetConnectedDevice(node, sizeof node, key, 13));
}

TEST_F(DeviceService, TextsAndByte) {
  answer_with({kOk, {0x10, text("one")}, {0x11, text("two")}, {0x12, text("three")}});
  DeviceTexts texts;
  ASSERT_EQ(kSuccess, GetDeviceTexts(&texts));
  EXPECT_STREQ("one", texts.text1);
  EXPECT_STREQ("two", texts.text2);
  EXPECT_STREQ("three", texts.text3);
  answer_with({kOk, {0x10, text(std::string(40, 'x'))}, {0x12, text("z")}});
  EXPECT_EQ(kBufferTooSmall, GetDeviceTexts(&texts));
  EXPECT_EQ(std::string(31, 'x'), texts.text1);  // cut, but terminated in its field
  EXPECT_STREQ("", texts.text2);
  EXPECT_STREQ("z", texts.text3);
  answer_with({kOk, {0x10, {42}}});
  uint8_t value = 0;
  EXPECT_EQ(kSuccess, GetDeviceByte(&value));
  EXPECT_EQ(42, value);
}

}  // namespace
}  // namespace vant::test
