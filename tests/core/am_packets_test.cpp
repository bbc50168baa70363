#include "sdk/core/am_packets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes qmi_request_headers(uint32_t qmi_length, uint8_t transaction) {
  Bytes buffer(19);
  uint8_t* cursor = buffer.data();
  const QmiTransactionHeader record{0, qmi_length, 5000, 3, 2};
  EXPECT_EQ(19u, ambuildqmixactionheader(&cursor, &record, kAmQmiRequest, transaction));
  EXPECT_EQ(buffer.data() + 19, cursor);
  return buffer;
}

TEST(AmPackets, QmiRequestHeadersCarryBothLengths) {
  // A request with 10 bytes of TLVs: message 14 bytes, datagram 33, AM length 23.
  const Bytes expected{0xC0, 0x00, 0,    0,    0, 0, 0,  0, 23,  0,  // AM header
                       0x07, 0x03, 0x88, 0x13, 0, 0, 14, 0, 0x02};
  EXPECT_EQ(expected, qmi_request_headers(14, 7));
}

TEST(AmPackets, TransactionHeaderParsesWhatWasBuilt) {
  const Bytes packet = qmi_request_headers(0x0123, 0xFE);
  const uint8_t* cursor = packet.data();
  uint16_t type, check;
  uint32_t result;
  uint16_t length;
  am_parse_header(&cursor, &type, &check, &result, &length);
  QmiTransactionHeader record{};
  uint8_t transaction = 0;
  amparseqmixactionheader(&cursor, &record, &transaction);
  EXPECT_EQ(kAmQmiRequest, type);
  EXPECT_EQ(0x0123 + 9, length);
  EXPECT_EQ(0xFE, transaction);
  EXPECT_EQ(3, record.service);
  EXPECT_EQ(5000u, record.timeout);
  EXPECT_EQ(0x0123u, record.qmiLength);
  EXPECT_EQ(2, record.instance);
  EXPECT_EQ(packet.data() + 19, cursor);
}

TEST(AmPackets, ResultHeaderCarriesTheResult) {
  Bytes buffer(19);
  uint8_t* cursor = buffer.data();
  const QmiTransactionHeader record{0, 4, 0, 0xF7, 0};
  ambuildqmiresultheader(&cursor, &record, kAmQmiResponse, 9, 0xE004);
  EXPECT_EQ((Bytes{0xC1, 0, 0, 0, 0x04, 0xE0, 0, 0, 13, 0}),
            Bytes(buffer.begin(), buffer.begin() + 10));
}

TEST(AmPackets, TerminateRequestBytes) {
  Bytes buffer(11);
  uint8_t* cursor = buffer.data();
  EXPECT_EQ(11u, ambuildsdkrequest(&cursor, kSdkRequestTerminate, kAmSdkRequest));
  EXPECT_EQ((Bytes{0x00, 0x01, 0, 0, 0, 0, 0, 0, 0x0B, 0x00, 0x04}), buffer);
  const uint8_t* in = buffer.data();
  uint8_t type = 0;
  amparsesdkrequest(&in, &type);
  EXPECT_EQ(kSdkRequestTerminate, type);
}

TEST(AmPackets, PayloadOffsetByType) {
  uint8_t buffer[32];
  const struct {
    uint16_t type;
    uint8_t* expected;
  } cases[] = {{0xC0, buffer + 19},  {0xC1, buffer + 19}, {0x100, buffer + 17},
               {0x101, buffer + 17}, {0xC2, nullptr},     {0x200, nullptr}};
  for (const auto& c : cases) EXPECT_EQ(c.expected, am_payload_offset(c.type, buffer)) << c.type;
}

TEST(AmPackets, LengthsMustAgreeWithTheDatagram) {
  // 19 header bytes + message 0x0021, TLVs {0x02, 4: 0 0 0 0}: 30 bytes.
  const Bytes good{0xC1, 0,  0, 0, 0,    0, 0, 0, 20,   0, 1, 3, 0, 0, 0,
                   0,    11, 0, 0, 0x21, 0, 7, 0, 0x02, 4, 0, 0, 0, 0, 0};
  ASSERT_TRUE(am_qmi_lengths_agree(good.data(), good.size()));
  struct Lie {
    const char* what;
    size_t offset;
    uint8_t value;
  };
  for (const Lie& lie : {Lie{"AM length", 8, 0xFF}, Lie{"QMI length", 16, 0xFF},
                         Lie{"TLV length", 21, 0xFF}, Lie{"TLV length short", 21, 6}}) {
    Bytes packet = good;
    packet[lie.offset] = lie.value;
    EXPECT_FALSE(am_qmi_lengths_agree(packet.data(), packet.size())) << lie.what;
  }
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(am_qmi_lengths_agree(good.data(), n)) << "prefix of " << n << " bytes";
  // Lengths that agree with each other but leave no room for a message header.
  const Bytes stub{0xC1, 0, 0, 0, 0, 0, 0, 0, 11, 0, 1, 3, 0, 0, 0, 0, 2, 0, 0, 0x21, 0};
  EXPECT_FALSE(am_qmi_lengths_agree(stub.data(), stub.size()));
  const Bytes no_message{0xC1, 0, 0, 0, 6, 0, 0, 0, 9, 0, 1, 3, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(am_qmi_lengths_agree(no_message.data(), no_message.size()));
}

TEST(AmPackets, AbortLineIsCutToEightyCharacters) {
  char line[kAbortLineLimit + 1];
  am_format_abort_line(line, "short", 7);
  EXPECT_STREQ("erAbort: API Fatal error -> short, Data: 7\n", line);
  const std::string long_message(120, 'x');
  am_format_abort_line(line, long_message.c_str(), 7);
  const std::string expected = "erAbort: API Fatal error -> " + long_message;
  EXPECT_EQ(expected.substr(0, 80), std::string(line));
}

TEST(AmPacketsDeathTest, ErAbortExitsWithStatusOne) {
  EXPECT_EXIT(erAbort("test", 1), testing::ExitedWithCode(1), "");
}

TEST(AmPacketsDeathTest, UnknownSdkRequestTypeIsFatal) {
  uint8_t buffer[11];
  uint8_t* cursor = buffer;
  EXPECT_EXIT(ambuildsdkrequest(&cursor, 3, kAmSdkRequest), testing::ExitedWithCode(1), "");
}

TEST(AmPackets, VersionString) {
  EXPECT_STREQ("VANT04.00.24", am_library_version());
}

}  // namespace
