// The operator scan command: the list it prints from a scan response and the
// operator table it keeps. The scan request is the library's own decoding of
// a crafted response, without a daemon.
#include <gtest/gtest.h>

#include <string>

#include "sdk/nas/nas_messages.h"
#include "src/commands/command_handlers.h"
#include "tests/commands/capture.h"
#include "tests/nas/wire.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

struct Network {
  uint16_t mcc, mnc;
  uint8_t status;
  std::string name;
  uint8_t rat;
};

Bytes g_response;
uint32_t g_fail = 0;

uint32_t fake_scan(NetworkScanResult* result) {
  if (g_fail != 0) return g_fail;
  nas::ScanUnpackState state{result, 0, 0, 0};
  nas::preset_scan_networks(&state);
  ResponseContext context{};
  context.output = &state;
  return nas::unpack_scan_networks(g_response.data(), &context);
}

Bytes networks_tlv(const std::vector<Network>& list) {
  Value v;
  v.u16(static_cast<uint16_t>(list.size()));
  for (const Network& n : list)
    v.u16(n.mcc)
        .u16(n.mnc)
        .u8(n.status)
        .u8(static_cast<uint8_t>(n.name.size()))
        .raw(Bytes(n.name.begin(), n.name.end()));
  return v;
}

Bytes rats_tlv(const std::vector<Network>& list) {
  Value v;
  v.u16(static_cast<uint16_t>(list.size()));
  for (const Network& n : list) v.u16(n.mcc).u16(n.mnc).u8(n.rat);
  return v;
}

Bytes flags_tlv(size_t count) {
  Value v;
  v.u16(static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) v.u16(1).u16(2).u8(static_cast<uint8_t>(i + 1));
  return v;
}

Bytes response(const std::vector<Network>& list, uint32_t scan_result = 0) {
  Message m(nas::kScanNetworksId);
  m.result()
      .tlv(0x10, networks_tlv(list))
      .tlv(0x11, rats_tlv(list))
      .tlv(0x12, flags_tlv(list.size()));
  m.tlv(0x13, Value().u32(scan_result));
  return m.bytes();
}

const std::vector<Network> kThree = {
    {310, 26, 0x05, "Alpha Mobile", 8},  // serving, home
    {310, 260, 0x0A, "Beta", 5},         // available, roaming
    {262, 1, 0x00, "", 8},               // nothing reported
};

class OperatorScan : public ::testing::Test {
 protected:
  // Each test starts like a new process: no operators listed yet.
  void SetUp() override {
    operator_table() = {};
    g_fail = 0;
  }
  std::string run() {
    return capture([](FILE* out) { scan_operators(out, fake_scan); });
  }
};

TEST_F(OperatorScan, ListsThreeOperators) {
  g_response = response(kThree);
  EXPECT_EQ(
      "num: desc carrierid roaming rat serving\n"
      "0: Alpha Mobile, 31026, Home, LTE, Serving\n"
      "1: Beta, 310260, Roaming, UMTS, Not current serving network-available\n"
      "2: , 2621, Unknown, LTE, Unknown\n"
      "found 3 operators\n",
      run());
}

TEST_F(OperatorScan, TableJoinsTheListsByPosition) {
  g_response = response(kThree);
  run();
  const OperatorTable& table = operator_table();
  ASSERT_EQ(3, table.count);
  EXPECT_EQ(260, table.entries[1].mnc);
  EXPECT_EQ(2u, table.entries[1].roamingStatus);
  EXPECT_EQ(2u, table.entries[1].serviceStatus);
  EXPECT_EQ(5u, table.entries[1].rat);
  EXPECT_EQ(2, table.entries[1].flag);
  EXPECT_STREQ("Beta", table.entries[1].description);
}

TEST_F(OperatorScan, ValuesWithoutANameShowTheirNumber) {
  g_response = response({{1, 2, 0xFF, "X", 4}, {3, 4, 0x03, "Y", 7}, {5, 6, 0x00, "Z", 12}});
  EXPECT_EQ(
      "num: desc carrierid roaming rat serving\n"
      "0: X, 12, Unknown (3), GSM, Unknown (3)\n"
      "1: Y, 34, Unknown, Unknown (7), Unknown (3)\n"
      "2: Z, 56, Unknown, NR5G, Unknown\n"
      "found 3 operators\n",
      run());
}

TEST_F(OperatorScan, SeventeenNetworksFailWithBufferTooSmall) {
  g_response = response(std::vector<Network>(17, {1, 1, 1, "N", 8}));
  EXPECT_EQ("scan for operator failed, exit code 5\n", run());
}

TEST_F(OperatorScan, RequestFailureIsReported) {
  g_fail = kSdkTimedOut;
  EXPECT_EQ("scan for operator failed, exit code 57348\n", run());
}

TEST_F(OperatorScan, IncompleteScanKeepsTheEarlierList) {
  g_response = response(kThree, 1);
  EXPECT_EQ("found 0 operators\n", run());
  g_response = response(kThree);
  run();
  g_response = response({{9, 9, 1, "Other", 8}}, 2);
  EXPECT_EQ("found 3 operators\n", run());
  EXPECT_EQ(310, operator_table().entries[0].mcc);
}

TEST_F(OperatorScan, ListsOfDifferentLengthsAreAMismatch) {
  Message m(nas::kScanNetworksId);
  m.result().tlv(0x10, networks_tlv(kThree)).tlv(0x11, rats_tlv(kThree)).tlv(0x12, flags_tlv(2));
  g_response = m.bytes();
  EXPECT_EQ("scan data mismatched\nscan for operator failed, exit code 4294967295\n", run());
  EXPECT_EQ(0, operator_table().count);
}

// A list the response does not carry counts as empty: a response with one
// list missing is a mismatch, one with none lists no phantom operators.
TEST_F(OperatorScan, MissingListsAreEmpty) {
  Message partial(nas::kScanNetworksId);
  partial.result().tlv(0x10, networks_tlv(kThree)).tlv(0x11, rats_tlv(kThree));
  g_response = partial.bytes();
  EXPECT_EQ("scan data mismatched\nscan for operator failed, exit code 4294967295\n", run());

  g_response = Message(nas::kScanNetworksId).result().tlv(0x13, Value().u32(0)).bytes();
  EXPECT_EQ("num: desc carrierid roaming rat serving\nfound 0 operators\n", run());
}

// Without the scan result word the scan counts as complete.
TEST_F(OperatorScan, ResponseWithoutScanResultIsListed) {
  Message m(nas::kScanNetworksId);
  m.result()
      .tlv(0x10, networks_tlv({kThree[0]}))
      .tlv(0x11, rats_tlv({kThree[0]}))
      .tlv(0x12, flags_tlv(1));
  g_response = m.bytes();
  EXPECT_EQ(
      "num: desc carrierid roaming rat serving\n"
      "0: Alpha Mobile, 31026, Home, LTE, Serving\n"
      "found 1 operators\n",
      run());
}

}  // namespace
}  // namespace vant::test
