// Cell location responses: presets, every record layout, nested lists, and
// decoding bounded by the message.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>

#include "sdk/nas/nas_messages.h"
#include "tests/nas/wire.h"
#include "vantsdk/cell_location_records.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

using nas::kGetCellLocationInfoId;

// The nine records of one report are filled with a marker byte before each
// decode so that untouched fields (and padding) are recognisable.
constexpr uint8_t kMarker = 0xA5;

class CellLocation : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }

  void reset() {
    std::memset(records_.get(), kMarker, sizeof(CellLocationRecords));
    info_ = r().request_all();
  }

  // Preset and unpack, in the order the request function runs them.
  uint32_t decode(const Bytes& message) {
    nas::preset_cell_location_info(&info_);
    ResponseContext context{};
    context.output = &info_;
    return nas::unpack_get_cell_location_info(message.data(), &context);
  }

  CellLocationRecords& r() { return *records_; }

  std::unique_ptr<CellLocationRecords> records_ = std::make_unique<CellLocationRecords>();
  CellLocationInfo info_{};
};

Bytes geran_value(uint8_t nmr_count) {
  Value v;
  v.u32(0x12345678).u8(0x13).u8(0x00).u8(0x62).u16(0x1F40).u16(0x0050).u8(0x3C);
  v.u32(7).u16(0x30).u8(nmr_count);
  for (int i = 0; i < nmr_count; ++i)
    v.u32(1000u + i)
        .u8(1)
        .u8(2)
        .u8(static_cast<uint8_t>(i))
        .u16(0x100)
        .u16(static_cast<uint16_t>(i))
        .u8(9)
        .u16(0x22);
  return v;
}

Bytes umts_value() {
  Value v;
  v.u16(0xBEEF).u8(0x21).u8(0xF3).u8(0x54).u16(0x0101).u16(10700).u16(0x01F0);
  v.u16(0xFFA0).u16(0xFFF6).u8(2);
  v.u16(10712).u16(3).u16(0xFF9C).u16(0xFFF0);
  v.u16(10737).u16(4).u16(0xFFB0).u16(0xFFF1);
  v.u8(1).u16(0x3F).u8(5).u8(6).u16(0xFFAA);
  return v;
}

Bytes cdma_value() {
  return Value().u16(1).u16(2).u16(3).u16(4).u32(0x00ABCDEF).u32(0xFF000001);
}

Bytes lte_intra_value() {
  Value v;
  v.u8(1).u8(0x13).u8(0x00).u8(0x62).u16(0x2A).u32(0x0ABC0DEF).u16(6300).u16(17);
  v.u8(5).u8(6).u8(7).u8(8).u8(2);
  v.u16(17).u16(0xFFF6).u16(0xFFA6).u16(0xFFC0).u16(20);
  v.u16(18).u16(0xFFF0).u16(0xFFA0).u16(0xFFB0).u16(10);
  return v;
}

// Two frequencies of 2 and 3 cells.
Bytes lte_inter_value() {
  Value v;
  v.u8(0).u8(2);
  v.u16(1300).u8(1).u8(2).u8(3).u8(2);
  for (uint16_t pci = 100; pci < 102; ++pci) v.u16(pci).u16(1).u16(2).u16(3).u16(4);
  v.u16(3100).u8(4).u8(5).u8(6).u8(3);
  for (uint16_t pci = 200; pci < 203; ++pci) v.u16(pci).u16(5).u16(6).u16(7).u16(8);
  return v;
}

Bytes lte_gsm_value() {
  Value v;
  v.u8(1).u8(1).u8(3).u8(4).u8(5).u8(0xFF).u8(1);
  v.u16(512).u8(1).u8(0).u8(0x2A).u16(0xFF85).u16(0xFFFE);
  return v;
}

Bytes lte_wcdma_value() {
  Value v;
  v.u8(0).u8(1).u16(10700).u8(2).u16(0x0304).u16(0x0506).u8(1);
  v.u16(300).u16(0xFF9C).u16(0xFFF8).u16(0xFFFF);
  return v;
}

Bytes wcdma_lte_value() {
  Value v;
  v.u32(3).u8(2);
  v.u16(1300).u16(21).u32(80).u32(0x01000001).u16(0xFFFE).u8(1);
  v.u16(3100).u16(22).u32(90).u32(12).u16(5).u8(0);
  return v;
}

Message full_response() {
  Message m(kGetCellLocationInfoId);
  m.result()
      .tlv(0x10, geran_value(2))
      .tlv(0x11, umts_value())
      .tlv(0x12, cdma_value())
      .tlv(0x13, lte_intra_value())
      .tlv(0x14, lte_inter_value())
      .tlv(0x15, lte_gsm_value())
      .tlv(0x16, lte_wcdma_value())
      .tlv(0x17, Value().u32(0x0F0E0D0C))
      .tlv(0x18, wcdma_lte_value());
  return m;
}

TEST_F(CellLocation, RequestIsAnEmptyMessage) {
  EXPECT_EQ((Bytes{0x43, 0x00, 0x00, 0x00}), packed(nas::pack_get_cell_location_info));
}

TEST_F(CellLocation, OnlyTheResultLeavesEveryPreset) {
  ASSERT_EQ(0u, decode(Message(kGetCellLocationInfoId).result().bytes()));
  EXPECT_EQ(0xFFFFFFFFu, r().geran.cellId);
  EXPECT_EQ(0xFFFF, r().geran.lac);
  EXPECT_EQ(0xFFFF, r().geran.arfcn);
  EXPECT_EQ(0xFF, r().geran.bsic);
  EXPECT_EQ(0xFFFFFFFFu, r().geran.timingAdvance);
  EXPECT_EQ(0xFFFF, r().geran.rxLevel);
  EXPECT_EQ(0, r().geran.nmrCount);
  EXPECT_EQ(0xFFFF, r().umts.cellId);
  EXPECT_EQ(-1, r().umts.rscp);
  EXPECT_EQ(-1, r().umts.ecio);
  EXPECT_EQ(0, r().umts.umtsInstanceCount);
  EXPECT_EQ(0, r().umts.geranInstanceCount);
  EXPECT_EQ(0xFFFF, r().cdma.refPn);
  EXPECT_EQ(0xFFFFFFFFu, r().cdma.baseLongitude);
  EXPECT_EQ(0xFF, r().lteIntra.ueInIdle);
  EXPECT_EQ(0xFFFFFFFFu, r().lteIntra.globalCellId);
  EXPECT_EQ(0xFF, r().lteIntra.sIntraSearch);
  EXPECT_EQ(0, r().lteIntra.cellCount);
  for (uint8_t ue : {r().lteInter.ueInIdle, r().lteGsm.ueInIdle, r().lteWcdma.ueInIdle})
    EXPECT_EQ(0xFF, ue);
  for (uint8_t n : {r().lteInter.frequencyCount, r().lteGsm.frequencyCount,
                    r().lteWcdma.frequencyCount, r().wcdmaLte.cellCount})
    EXPECT_EQ(0, n);
  EXPECT_EQ(0xFFFFFFFFu, r().umtsCellId);
  EXPECT_EQ(0xFFFFFFFFu, r().wcdmaLte.rrcState);
  // PLMN bytes and list entries are not preset.
  EXPECT_EQ(kMarker, r().geran.plmn[0]);
  EXPECT_EQ(kMarker, r().lteIntra.cells[0].pci & 0xFF);
}

// A field read at the wrong width shifts every field after it, so checking
// the fields around each PLMN and the last field of each record's last entry
// covers the whole layout.
TEST_F(CellLocation, FullResponseFillsEveryRecord) {
  ASSERT_EQ(0u, decode(full_response().bytes()));
  const GeranInfo& g = r().geran;
  EXPECT_EQ(0x12345678u, g.cellId);
  EXPECT_EQ(0x62, g.plmn[2]);
  EXPECT_EQ(0x1F40, g.lac);
  EXPECT_EQ(7u, g.timingAdvance);
  ASSERT_EQ(2, g.nmrCount);
  EXPECT_EQ(1001u, g.nmrCells[1].cellId);
  EXPECT_EQ(0x22, g.nmrCells[1].rxLevel);

  const UmtsInfo& u = r().umts;
  EXPECT_EQ(0xBEEF, u.cellId);
  EXPECT_EQ(0x0101, u.lac);
  EXPECT_EQ(-96, u.rscp);
  EXPECT_EQ(-10, u.ecio);
  ASSERT_EQ(2, u.umtsInstanceCount);
  EXPECT_EQ(-15, u.umtsInstances[1].ecio);
  ASSERT_EQ(1, u.geranInstanceCount);
  EXPECT_EQ(6, u.geranInstances[0].bsicBcc);
  EXPECT_EQ(-86, u.geranInstances[0].rssi);

  EXPECT_EQ(1, r().cdma.sid);
  EXPECT_EQ(0xFF000001u, r().cdma.baseLongitude);

  const LteIntraFreqInfo& l = r().lteIntra;
  EXPECT_EQ(1, l.ueInIdle);
  EXPECT_EQ(0x2A, l.tac);
  EXPECT_EQ(8, l.sIntraSearch);
  ASSERT_EQ(2, l.cellCount);
  EXPECT_EQ(-16, l.cells[1].rsrq);
  EXPECT_EQ(10, l.cells[1].srxLev);

  ASSERT_EQ(1, r().lteGsm.frequencyCount);
  const LteGsmFrequency& gf = r().lteGsm.frequencies[0];
  EXPECT_EQ(0xFF, gf.nccPermitted);
  ASSERT_EQ(1, gf.cellCount);
  EXPECT_EQ(0x2A, gf.cells[0].bsicId);
  EXPECT_EQ(-2, gf.cells[0].srxLev);

  // 16-bit thresholds, high before low.
  ASSERT_EQ(1, r().lteWcdma.frequencyCount);
  const LteWcdmaFrequency& wf = r().lteWcdma.frequencies[0];
  EXPECT_EQ(0x0304, wf.threshXHigh);
  EXPECT_EQ(0x0506, wf.threshXLow);
  ASSERT_EQ(1, wf.cellCount);
  EXPECT_EQ(-1, wf.cells[0].srxLev);

  EXPECT_EQ(0x0F0E0D0Cu, r().umtsCellId);
}

TEST_F(CellLocation, InterFrequencyCellsStayWithTheirFrequency) {
  ASSERT_EQ(0u, decode(full_response().bytes()));
  const LteInterFreqInfo& l = r().lteInter;
  EXPECT_EQ(0, l.ueInIdle);
  ASSERT_EQ(2, l.frequencyCount);
  EXPECT_EQ(1300, l.frequencies[0].earfcn);
  EXPECT_EQ(1, l.frequencies[0].threshXLow);
  EXPECT_EQ(2, l.frequencies[0].threshXHigh);
  EXPECT_EQ(3, l.frequencies[0].cellReselPriority);
  ASSERT_EQ(2, l.frequencies[0].cellCount);
  EXPECT_EQ(101, l.frequencies[0].cells[1].pci);
  EXPECT_EQ(3100, l.frequencies[1].earfcn);
  ASSERT_EQ(3, l.frequencies[1].cellCount);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(200 + k, l.frequencies[1].cells[k].pci);
    EXPECT_EQ(8, l.frequencies[1].cells[k].srxLev);
  }
}

TEST_F(CellLocation, WcdmaLteEntriesAreFifteenBytesWithTheTddFlagLast) {
  ASSERT_EQ(0u, decode(full_response().bytes()));
  const WcdmaLteNeighbourInfo& w = r().wcdmaLte;
  EXPECT_EQ(3u, w.rrcState);
  ASSERT_EQ(2, w.cellCount);
  EXPECT_EQ(80u, w.cells[0].rsrp);
  EXPECT_EQ(0x01000001u, w.cells[0].rsrq);
  EXPECT_EQ(-2, w.cells[0].srxLev);
  EXPECT_EQ(1, w.cells[0].isTdd);
  EXPECT_EQ(3100, w.cells[1].earfcn);
  EXPECT_EQ(22, w.cells[1].pci);
  EXPECT_EQ(0, w.cells[1].isTdd);
}

TEST_F(CellLocation, UmtsWithoutInstancesReadsTheGeranCountNext) {
  Value v;
  v.u16(1).u8(0).u8(0).u8(0).u16(2).u16(3).u16(4).u16(5).u16(6).u8(0);
  v.u8(2).u16(10).u8(1).u8(2).u16(0xFFFF).u16(11).u8(3).u8(4).u16(0x7FFF);
  ASSERT_EQ(0u, decode(Message(kGetCellLocationInfoId).result().tlv(0x11, v).bytes()));
  EXPECT_EQ(0, r().umts.umtsInstanceCount);
  ASSERT_EQ(2, r().umts.geranInstanceCount);
  EXPECT_EQ(11, r().umts.geranInstances[1].arfcn);
  EXPECT_EQ(32767, r().umts.geranInstances[1].rssi);
  EXPECT_EQ(kMarker, r().umts.umtsInstances[0].uarfcn & 0xFF) << "a count of 0 touches no entry";
}

TEST_F(CellLocation, ListOf255EntriesFillsTheWholeArray) {
  ASSERT_EQ(0u,
            decode(Message(kGetCellLocationInfoId).result().tlv(0x10, geran_value(255)).bytes()));
  ASSERT_EQ(255, r().geran.nmrCount);
  EXPECT_EQ(1254u, r().geran.nmrCells[254].cellId);
  EXPECT_EQ(254, r().geran.nmrCells[254].plmn[2]);
  EXPECT_EQ(254, r().geran.nmrCells[254].arfcn);
}

TEST_F(CellLocation, NullMemberSkipsItsTlvAndTheNextIsStillDecoded) {
  info_.geran = nullptr;
  info_.umts = nullptr;
  const Message m = full_response();
  ASSERT_EQ(0u, decode(m.bytes()));
  EXPECT_EQ(kMarker, r().geran.bsic);
  EXPECT_EQ(kMarker, r().umts.umtsInstanceCount);
  EXPECT_EQ(1u, r().cdma.sid);
  EXPECT_EQ(0x0F0E0D0Cu, r().umtsCellId);
}

TEST_F(CellLocation, QmiFailureStillFillsTheRecords) {
  Message m(kGetCellLocationInfoId);
  m.tlv(0x12, cdma_value()).result(1, 0x10).tlv(0x17, Value().u32(77));
  EXPECT_EQ(1016u, decode(m.bytes()));
  EXPECT_EQ(2u, r().cdma.nid);
  EXPECT_EQ(77u, r().umtsCellId);
}

TEST_F(CellLocation, MissingResultIsInvalid) {
  EXPECT_EQ(kInvalidQmiResponse,
            decode(Message(kGetCellLocationInfoId).tlv(0x17, Value().u32(1)).bytes()));
}

// A TLV shorter than its count reads on into the next TLV's bytes, and the
// next TLV is still decoded from its own start.
TEST_F(CellLocation, ShortTlvDoesNotShiftTheNextOne) {
  Bytes geran = geran_value(1);
  geran.resize(geran.size() - 14);  // the count says 1, no entry follows
  Message m(kGetCellLocationInfoId);
  m.result().tlv(0x10, geran).tlv(0x12, cdma_value());
  ASSERT_EQ(0u, decode(m.bytes()));
  EXPECT_EQ(1, r().geran.nmrCount);
  EXPECT_EQ(0x30, r().geran.rxLevel);
  EXPECT_EQ(1u, r().cdma.sid);
  EXPECT_EQ(0xFF000001u, r().cdma.baseLongitude);
}

// A read past the end of the message fails with 3 and keeps what was read.
TEST_F(CellLocation, TlvRunningPastTheMessageFails) {
  Bytes lte = lte_intra_value();
  lte.resize(lte.size() - 3);
  Message m(kGetCellLocationInfoId);
  m.result().tlv(0x13, lte);
  EXPECT_EQ(kMemoryError, decode(m.bytes()));
  EXPECT_EQ(2, r().lteIntra.cellCount);
  EXPECT_EQ(17, r().lteIntra.cells[0].pci);
  EXPECT_EQ(18, r().lteIntra.cells[1].pci);
  EXPECT_EQ(-16, r().lteIntra.cells[1].rsrq);
}

// Cutting the full response after every byte: at a TLV boundary it decodes
// what it holds exactly as the full response does and presets the rest;
// anywhere else it fails with 3.
TEST_F(CellLocation, EveryPrefixFailsOrDecodesConsistently) {
  const Message full = full_response();
  std::vector<size_t> boundaries{0};
  for (size_t at = 0; at < full.tlv_size();) {
    const Bytes b = full.bytes();
    at += 3 + (b[4 + at + 1] | (b[4 + at + 2] << 8));
    boundaries.push_back(at);
  }
  auto whole = std::make_unique<CellLocationRecords>();
  ASSERT_EQ(0u, decode(full.bytes()));
  std::memcpy(whole.get(), records_.get(), sizeof(CellLocationRecords));
  auto blank = std::make_unique<CellLocationRecords>();
  reset();
  nas::preset_cell_location_info(&info_);
  std::memcpy(blank.get(), records_.get(), sizeof(CellLocationRecords));

  // Record k (in TLV order 0x10..0x18) as bytes of either copy.
  const auto same = [&](const CellLocationRecords& a, const CellLocationRecords& b, size_t tlvs) {
    const std::pair<size_t, size_t> parts[] = {
        {offsetof(CellLocationRecords, geran), sizeof(GeranInfo)},
        {offsetof(CellLocationRecords, umts), sizeof(UmtsInfo)},
        {offsetof(CellLocationRecords, cdma), sizeof(CdmaInfo)},
        {offsetof(CellLocationRecords, lteIntra), sizeof(LteIntraFreqInfo)},
        {offsetof(CellLocationRecords, lteInter), sizeof(LteInterFreqInfo)},
        {offsetof(CellLocationRecords, lteGsm), sizeof(LteGsmNeighbourInfo)},
        {offsetof(CellLocationRecords, lteWcdma), sizeof(LteWcdmaNeighbourInfo)},
        {offsetof(CellLocationRecords, umtsCellId), sizeof(uint32_t)},
        {offsetof(CellLocationRecords, wcdmaLte), sizeof(WcdmaLteNeighbourInfo)},
    };
    for (size_t k = 0; k < 9; ++k) {
      const CellLocationRecords& expected = k < tlvs ? a : b;
      const auto* x = reinterpret_cast<const uint8_t*>(&expected) + parts[k].first;
      const auto* y = reinterpret_cast<const uint8_t*>(records_.get()) + parts[k].first;
      if (std::memcmp(x, y, parts[k].second) != 0) return false;
    }
    return true;
  };

  for (size_t n = 0; n < full.tlv_size(); ++n) {
    reset();
    const uint32_t result = decode(full.prefix(n));
    const auto boundary = std::find(boundaries.begin(), boundaries.end(), n);
    if (boundary == boundaries.end()) {
      EXPECT_EQ(kMemoryError, result) << "prefix of " << n << " bytes";
      continue;
    }
    const size_t tlvs = static_cast<size_t>(boundary - boundaries.begin());
    EXPECT_EQ(tlvs == 0 ? kInvalidQmiResponse : kSuccess, result) << "prefix of " << n;
    // The first TLV is the result; the records follow it.
    EXPECT_TRUE(same(*whole, *blank, tlvs == 0 ? 0 : tlvs - 1)) << "prefix of " << n;
  }
}

TEST(CellLocationApi, NullInfoIsRefused) {
  EXPECT_EQ(kInvalidArgument, VANTNASGetCellLocationInfo(nullptr));
}

}  // namespace
}  // namespace vant::test
