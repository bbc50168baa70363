// Network scan responses: the three capacity-bound lists, the status byte,
// descriptions, and the two optional reports.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "sdk/nas/nas_messages.h"
#include "tests/nas/wire.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

using nas::kScanNetworksId;

constexpr uint8_t kCapacity = 16;

Bytes networks_value(uint16_t count, uint8_t status = 0x25, const std::string& name = "Op") {
  Value v;
  v.u16(count);
  for (uint16_t i = 0; i < count; ++i) {
    v.u16(310).u16(static_cast<uint16_t>(260 + i)).u8(status).u8(static_cast<uint8_t>(name.size()));
    v.raw(Bytes(name.begin(), name.end()));
  }
  return v;
}

// count entries of MCC, MNC and one byte.
Bytes plmn_byte_value(uint16_t count, uint8_t byte) {
  Value v;
  v.u16(count);
  for (uint16_t i = 0; i < count; ++i) v.u16(310).u16(static_cast<uint16_t>(260 + i)).u8(byte);
  return v;
}

class Scan : public ::testing::Test {
 protected:
  Scan() {
    std::memset(networks_, 0xA5, sizeof networks_);
    result_.networkCount = &network_count_;
    result_.networks = networks_;
    result_.ratCount = &rat_count_;
    result_.rats = rats_;
    result_.flagCount = &flag_count_;
    result_.flags = flags_;
    result_.scanResult = &scan_result_;
  }

  // Preset and unpack, in the order VANTNASScanNetworks runs them.
  uint32_t decode(const Bytes& message) {
    nas::ScanUnpackState state{&result_, 0, 0, 0};
    nas::preset_scan_networks(&state);
    ResponseContext context{};
    context.output = &state;
    return nas::unpack_scan_networks(message.data(), &context);
  }

  uint8_t network_count_ = kCapacity, rat_count_ = kCapacity, flag_count_ = kCapacity;
  ScannedNetwork networks_[kCapacity];
  NetworkRat rats_[kCapacity]{};
  NetworkFlag flags_[kCapacity]{};
  uint32_t scan_result_ = 0xDEADBEEF;
  NetworkScanResult result_{};
};

TEST_F(Scan, RequestIsAnEmptyMessage) {
  EXPECT_EQ((Bytes{0x21, 0x00, 0x00, 0x00}), packed(nas::pack_scan_networks));
}

TEST_F(Scan, StatusByteSplitsIntoFourTwoBitFields) {
  ASSERT_EQ(0u,
            decode(Message(kScanNetworksId).result().tlv(0x10, networks_value(1, 0x25)).bytes()));
  EXPECT_EQ(1u, networks_[0].serviceStatus);
  EXPECT_EQ(1u, networks_[0].roamingStatus);
  EXPECT_EQ(2u, networks_[0].status45);
  EXPECT_EQ(0u, networks_[0].status67);
  ASSERT_EQ(0u,
            decode(Message(kScanNetworksId).result().tlv(0x10, networks_value(1, 0xDA)).bytes()));
  EXPECT_EQ(2u, networks_[0].serviceStatus);
  EXPECT_EQ(2u, networks_[0].roamingStatus);
  EXPECT_EQ(1u, networks_[0].status45);
  EXPECT_EQ(3u, networks_[0].status67);
}

TEST_F(Scan, LongestDescriptionFillsTheFieldWithItsTerminator) {
  const std::string name(255, 'x');
  ASSERT_EQ(
      0u, decode(Message(kScanNetworksId).result().tlv(0x10, networks_value(2, 1, name)).bytes()));
  EXPECT_EQ(name, std::string(networks_[1].description));
  EXPECT_EQ('\0', networks_[1].description[255]);
}

TEST_F(Scan, MoreNetworksThanTheCapacityReportsTheNeededCount) {
  Message m(kScanNetworksId);
  m.result().tlv(0x10, networks_value(17)).tlv(0x11, plmn_byte_value(2, 5));
  EXPECT_EQ(kBufferTooSmall, decode(m.bytes()));
  EXPECT_EQ(17, network_count_);
  EXPECT_EQ(0xA5A5, networks_[0].mcc) << "no network is filled";
  EXPECT_EQ(0, rat_count_) << "TLVs after the failure are not unpacked";
}

// A 16-bit count the one-byte count cannot hold shows as 255, never as its
// low byte (256 would read as 0, an empty list).
TEST_F(Scan, CountAboveTheByteRangeSaturates) {
  Value many;
  many.u16(256);
  EXPECT_EQ(kBufferTooSmall, decode(Message(kScanNetworksId).result().tlv(0x10, many).bytes()));
  EXPECT_EQ(255, network_count_);
  EXPECT_EQ(kBufferTooSmall,
            decode(Message(kScanNetworksId).result().tlv(0x11, Value().u16(0x0111)).bytes()));
  EXPECT_EQ(255, rat_count_);
}

TEST_F(Scan, NoNetworksAndNoRatListGivesTwoZeroCounts) {
  ASSERT_EQ(0u, decode(Message(kScanNetworksId).result().tlv(0x10, Value().u16(0)).bytes()));
  EXPECT_EQ(0, network_count_);
  EXPECT_EQ(0, rat_count_);
}

// A list the response does not carry comes back empty, not as a full array
// of whatever the caller's buffers held.
TEST_F(Scan, AnAbsentListReadsAsEmpty) {
  ASSERT_EQ(0u, decode(Message(kScanNetworksId).result().tlv(0x11, plmn_byte_value(2, 8)).bytes()));
  EXPECT_EQ(0, network_count_);
  EXPECT_EQ(2, rat_count_);
  EXPECT_EQ(0, flag_count_);
  EXPECT_EQ(0xDEADBEEFu, scan_result_) << "the scan result word is not preset";
}

TEST_F(Scan, NetworksWithoutCallerStorageAreRefused) {
  result_.networks = nullptr;
  EXPECT_EQ(kInvalidArgument,
            decode(Message(kScanNetworksId).result().tlv(0x10, networks_value(1)).bytes()));
}

TEST_F(Scan, DescriptionCutByTheMessageEndStaysTerminated) {
  Bytes value = networks_value(1, 1, "Operator");
  value.resize(value.size() - 3);
  Message m(kScanNetworksId);
  m.result().tlv_with_length(0x10, static_cast<uint16_t>(value.size() + 3), value);
  EXPECT_EQ(kMemoryError, decode(m.bytes()));
  EXPECT_STREQ("Opera", networks_[0].description);
}

Bytes cell_report_value(bool complete) {
  Value v;
  v.u8(2);
  v.u32(0x11111111).u16(0x2222).u32(0x33333333).u8(1).u16(310).u16(260).u8(1);
  v.u32(0x44444444)
      .u16(0x5555)
      .u32(0x66666666)
      .u8(2)
      .u16(311)
      .u16(480)
      .u8(0)
      .u16(312)
      .u16(530)
      .u8(1);
  if (complete)
    for (uint16_t i = 1; i <= 6; ++i) v.u16(i);
  return v;
}

class ScanReports : public Scan {
 protected:
  ScanReports() {
    result_.cellReport = report_.get();
    result_.valueList = values_.get();
  }
  std::unique_ptr<ScanCellReport> report_ = std::make_unique<ScanCellReport>();
  std::unique_ptr<ScanValueList> values_ = std::make_unique<ScanValueList>();
};

Bytes value_list_value(uint8_t count) {
  Value v;
  v.u8(count);
  for (uint8_t i = 0; i < count; ++i) v.u16(i).u16(100 + i).u32(0x10000u + i);
  return v;
}

TEST_F(ScanReports, CompleteCellReportIsMarkedValid) {
  Message m(kScanNetworksId);
  m.result().tlv(0x17, cell_report_value(true)).tlv(0x18, value_list_value(2));
  ASSERT_EQ(0u, decode(m.bytes()));
  EXPECT_EQ(1, result_.cellReportValid);
  ASSERT_EQ(2, report_->entryCount);
  EXPECT_EQ(0x5555, report_->entries[1].cellValue2);
  ASSERT_EQ(2, report_->entries[1].plmnCount);
  EXPECT_EQ(530, report_->entries[1].plmns[1].mnc);
  EXPECT_EQ(1, report_->entries[1].plmns[1].flag);
  EXPECT_EQ(6, report_->trailing[5]);
  EXPECT_EQ(1, values_->valid);
  ASSERT_EQ(2, values_->count);
  EXPECT_EQ(101, values_->y[1]);
  EXPECT_EQ(0x10001u, values_->z[1]);
}

// The trailing values run past the TLV's value: they are not completed from
// the bytes of the next TLV; the report stays marked incomplete and the next TLV is
// decoded from its own start.
TEST_F(ScanReports, CellReportRunningPastItsValueIsIncomplete) {
  Message m(kScanNetworksId);
  m.result().tlv(0x17, cell_report_value(false)).tlv(0x18, value_list_value(1));
  ASSERT_EQ(0u, decode(m.bytes()));
  EXPECT_EQ(0, result_.cellReportValid);
  EXPECT_EQ(480, report_->entries[1].plmns[0].mnc) << "what lay inside the value is kept";
  EXPECT_EQ(1, values_->valid);
  EXPECT_EQ(1, values_->count);
}

TEST_F(ScanReports, StaleValidityIsClearedWhenTheResponseHasNoReport) {
  result_.cellReportValid = 1;
  values_->valid = 1;
  ASSERT_EQ(0u, decode(Message(kScanNetworksId).result().bytes()));
  EXPECT_EQ(0, result_.cellReportValid);
  EXPECT_EQ(0, values_->valid);
  EXPECT_EQ(0, values_->count);
}

TEST_F(ScanReports, ValueListCountFFIsRefused) {
  EXPECT_EQ(kMemoryError,
            decode(Message(kScanNetworksId).result().tlv(0x18, Value().u8(0xFF)).bytes()));
  EXPECT_EQ(0, values_->valid);
}

TEST(ScanApi, NullRecordIsRefused) {
  EXPECT_EQ(kInvalidArgument, VANTNASScanNetworks(nullptr));
}

}  // namespace
}  // namespace vant::test
