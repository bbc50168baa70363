// The cell location report: its exact lines, for a response decoded by the
// library from crafted bytes and for records printed directly.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sdk/nas/nas_messages.h"
#include "src/commands/command_handlers.h"
#include "tests/commands/capture.h"
#include "tests/nas/wire.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

Bytes g_response;
uint32_t g_fail = 0;

uint32_t fake_get(CellLocationInfo* info) {
  if (g_fail != 0) return g_fail;
  nas::preset_cell_location_info(info);
  ResponseContext context{};
  context.output = info;
  return nas::unpack_get_cell_location_info(g_response.data(), &context);
}

class CellLocationReport : public ::testing::Test {
 protected:
  void SetUp() override { g_fail = 0; }
  std::string run() {
    return capture([](FILE* out) { print_cell_location_report(out, fake_get); });
  }
};

const std::string kOnlyPresets =
    "Return Code: 0\n"
    "Return Reason: Success\n"
    "VANT NAS Get Cell Location Info Successful \n"
    "\nGERAN Information \n"
    "Cell Id   : ffffffff \n"
    "PLMN info : ff ff ff \n"
    "LAC       : ffff \n"
    "ARFCN     : ffff \n"
    "BSIC      : ff \n"
    "Timing Adv: ffffffff \n"
    "RX-lev    : ffff \n"
    "No. of sets of following info : 0 \n"
    "\nUMTS Information \n"
    "Cell Id   : ffff \n"
    "PLMN info : ff ff ff \n"
    "LAC       : ffff \n"
    "UARFCN    : ffff \n"
    "PSC       : ffff \n"
    "RSCP      : -1 \n"
    "ECIO      : -1 \n"
    "No. of sets of umts instance : 0 \n"
    "No. of sets of geran instance : 0 \n"
    "\nCDMA Information \n"
    "System Id  : ffff \n"
    "Network Id : ffff \n"
    "Base Id    : ffff \n"
    "Reference PN: ffff \n"
    "Base Lat   : ffffffff \n"
    "Base Long  : ffffffff \n"
    "\nLTE Information - INtra Frequency \n"
    "UE in Idle    : ff \n"
    "PLMN info     : ff ff ff \n"
    "TAC                   : ffff \n"
    "Global Cell Id        : ffffffff \n"
    "EARFCN                : ffff \n"
    "Serving Cell Id       : ffff \n"
    "Cell Resel Priority   : ff \n"
    "Non-Intra Search      : ff \n"
    "Serving Cell Threshold: ff \n"
    "Intra Search          : ff \n"
    "No. of sets of following info : 0 \n"
    "\nLTE Information - Inter Frequency \n"
    "UE in Idle    : ff \n"
    "Frequency Len : 0 \n"
    "\nLTE Information - Neighboring GSM \n"
    "UE in Idle    : ff \n"
    "Frequency Len : 0 \n"
    "\nLTE Information - Neighboring WCDMA \n"
    "UE in Idle    : ff \n"
    "Frequency Len : 0 \n"
    "\nUMTS Cell ID \n"
    "UMTS Cell ID  : 0xffffffff \n"
    "\nWCDMA Information - LTE Neighboring cell info \n"
    "WCDMA RRC State            : ffffffff \n"
    "UMTS LTE neighbor cell Len : 0 \n";

TEST_F(CellLocationReport, OnlyTheResultPrintsEverySectionWithPresets) {
  g_response = Message(nas::kGetCellLocationInfoId).result().bytes();
  EXPECT_EQ(kOnlyPresets, run());
}

// A technology reported in an earlier run keeps no PLMN in the next one.
TEST_F(CellLocationReport, UnreportedPlmnNeverShowsAnEarlierValue) {
  Value geran;
  geran.u32(1).u8(0x13).u8(0x00).u8(0x62).u16(2).u16(3).u8(4).u32(5).u16(6).u8(0);
  g_response = Message(nas::kGetCellLocationInfoId).result().tlv(0x10, geran).bytes();
  EXPECT_NE(std::string::npos, run().find("PLMN info : 13 0 62 \n"));
  g_response = Message(nas::kGetCellLocationInfoId).result().bytes();
  EXPECT_EQ(kOnlyPresets, run());
}

TEST_F(CellLocationReport, FailurePrintsOnlyTheCode) {
  g_fail = kSdkTimedOut;
  EXPECT_EQ("Return Code: 57348\nReturn Reason: SDK timed out\n", run());
  g_fail = 0;
  g_response = Message(nas::kGetCellLocationInfoId).result(1, 0x10).bytes();
  EXPECT_EQ(
      "Return Code: 1016\nReturn Reason: Requested information element not provisioned "
      "on device\n",
      run());
}

TEST_F(CellLocationReport, GeranAndUmtsSections) {
  Value geran;
  geran.u32(0xABCD).u8(0x13).u8(0x00).u8(0x62).u16(0x1F).u16(0x2E).u8(0x3D).u32(0).u16(0x4C).u8(2);
  geran.u32(0x11).u8(0x31).u8(0xF0).u8(0x10).u16(0x22).u16(0x33).u8(0x44).u16(0x55);
  geran.u32(0x66).u8(1).u8(2).u8(3).u16(0x77).u16(0x88).u8(0x99).u16(0xAA);
  Value umts;
  umts.u16(0xBEEF).u8(0x21).u8(0xF3).u8(0x54).u16(1).u16(10700).u16(0x1F0).u16(0xFFA0).u16(0xFFF6);
  umts.u8(1).u16(10712).u16(3).u16(0xFF9C).u16(5);
  umts.u8(1).u16(0x3F).u8(5).u8(6).u16(0xFFAA);
  CellLocationInfo info{};
  auto g = std::make_unique<GeranInfo>();
  auto u = std::make_unique<UmtsInfo>();
  info.geran = g.get();
  info.umts = u.get();
  g_response =
      Message(nas::kGetCellLocationInfoId).result().tlv(0x10, geran).tlv(0x11, umts).bytes();
  ASSERT_EQ(0u, fake_get(&info));
  EXPECT_EQ(
      "\nGERAN Information \n"
      "Cell Id   : abcd \n"
      "PLMN info : 13 0 62 \n"
      "LAC       : 1f \n"
      "ARFCN     : 2e \n"
      "BSIC      : 3d \n"
      "Timing Adv: 0 \n"
      "RX-lev    : 4c \n"
      "No. of sets of following info : 2 \n"
      "\tNMR Cell 1 Information \n"
      "\tNMR Cell Id   : 11 \n"
      "\tNMR PLMN info : 31 f0 10 \n"
      "\tNMR LAC       : 22 \n"
      "\tNMR ARFCN     : 33 \n"
      "\tNMR BSIC      : 44 \n"
      "\tNMR RX-lev    : 55 \n"
      "\tNMR Cell 2 Information \n"
      "\tNMR Cell Id   : 66 \n"
      "\tNMR PLMN info : 1 2 3 \n"
      "\tNMR LAC       : 77 \n"
      "\tNMR ARFCN     : 88 \n"
      "\tNMR BSIC      : 99 \n"
      "\tNMR RX-lev    : aa \n"
      "\nUMTS Information \n"
      "Cell Id   : beef \n"
      "PLMN info : 21 f3 54 \n"
      "LAC       : 1 \n"
      "UARFCN    : 29cc \n"
      "PSC       : 1f0 \n"
      "RSCP      : -96 \n"
      "ECIO      : -10 \n"
      "No. of sets of umts instance : 1 \n"
      "\tUMTS Instance 1 Information \n"
      "\tUMTS UARFCN  : 29d8 \n"
      "\tUMTS PSC     : 3 \n"
      "\tUMTS RSCP    : -100 \n"
      "\tUMTS ECIO    : 5 \n"
      "No. of sets of geran instance : 1 \n"
      "\tGERAN Instance 1 Information \n"
      "\tGERAN ARFCN   : 3f \n"
      "\tGERAN BSIC NCC: 5 \n"
      "\tGERAN BSIC BCC: 6 \n"
      "\tGERAN RSSI    : -86 \n",
      capture([&](FILE* out) { print_cell_location(out, info); }));
}

TEST_F(CellLocationReport, NmrListOf255IsNumberedFrom1To255) {
  Value geran;
  geran.u32(1).u8(0).u8(0).u8(0).u16(2).u16(3).u8(4).u32(5).u16(6).u8(255);
  for (int i = 0; i < 255; ++i) geran.u32(i).u8(0).u8(0).u8(0).u16(0).u16(0).u8(0).u16(0);
  g_response = Message(nas::kGetCellLocationInfoId).result().tlv(0x10, geran).bytes();
  const std::string report = run();
  EXPECT_NE(std::string::npos, report.find("No. of sets of following info : ff \n"));
  size_t headings = 0;
  for (size_t at = report.find("\tNMR Cell "); at != std::string::npos;
       at = report.find("\tNMR Cell ", at + 1))
    if (report.compare(at, 14, "\tNMR Cell Id  ") != 0) ++headings;
  EXPECT_EQ(255u, headings);
  EXPECT_NE(std::string::npos, report.find("\tNMR Cell 1 Information \n"));
  EXPECT_NE(std::string::npos, report.find("\tNMR Cell 255 Information \n\tNMR Cell Id   : fe \n"));
}

TEST_F(CellLocationReport, CdmaAndIntraFrequencySections) {
  auto cdma = std::make_unique<CdmaInfo>(CdmaInfo{0x10, 0x20, 0x30, 0x40, 0x1234567, 0x89ABCDEF});
  auto intra = std::make_unique<LteIntraFreqInfo>();
  *intra = {1, {0x13, 0x00, 0x62}, 0x2A, 0xABC0DEF, 6300, 17, 5, 6, 7, 8, 1, {}};
  intra->cells[0] = {0x1F7, -16, -96, -80, 10};
  CellLocationInfo info{};
  info.cdma = cdma.get();
  info.lteIntra = intra.get();
  EXPECT_EQ(
      "\nCDMA Information \n"
      "System Id  : 10 \n"
      "Network Id : 20 \n"
      "Base Id    : 30 \n"
      "Reference PN: 40 \n"
      "Base Lat   : 1234567 \n"
      "Base Long  : 89abcdef \n"
      "\nLTE Information - INtra Frequency \n"
      "UE in Idle    : 1 \n"
      "PLMN info     : 13 0 62 \n"
      "TAC                   : 2a \n"
      "Global Cell Id        : abc0def \n"
      "EARFCN                : 189c \n"
      "Serving Cell Id       : 11 \n"
      "Cell Resel Priority   : 5 \n"
      "Non-Intra Search      : 6 \n"
      "Serving Cell Threshold: 7 \n"
      "Intra Search          : 8 \n"
      "No. of sets of following info : 1 \n"
      "\tCell Number 1 Information \n"
      "\tPhysical Cell Id: 1f7 \n"
      "\tRSRQ            : -16 \n"
      "\tRSRP            : -96 \n"
      "\tRSSI            : -80 \n"
      "\tSRX-lev         : 10 \n",
      capture([&](FILE* out) { print_cell_location(out, info); }));
}

TEST_F(CellLocationReport, InterFrequencyNumbersCellsWithinEachFrequency) {
  auto inter = std::make_unique<LteInterFreqInfo>();
  inter->ueInIdle = 0;
  inter->frequencyCount = 2;
  inter->frequencies[0] = {1300, 1, 2, 3, 2, {}};
  inter->frequencies[1] = {3100, 4, 5, 6, 3, {}};
  for (int k = 0; k < 3; ++k) {
    inter->frequencies[0].cells[k] = {static_cast<uint16_t>(0x10 + k), -1, -2, -3, -4};
    inter->frequencies[1].cells[k] = {static_cast<uint16_t>(0x20 + k), 1, 2, 3, 4};
  }
  CellLocationInfo info{};
  info.lteInter = inter.get();
  const auto cell = [](int number, const char* pci, const char* rest) {
    return "Cell Number " + std::to_string(number) + " Information \n\tPhysical Cell Id: " + pci +
           " \n" + rest;
  };
  const char* negative =
      "\tRSRQ            : -1 \n\tRSRP            : -2 \n"
      "\tRSSI            : -3 \n\tSRX-lev         : -4 \n";
  const char* positive =
      "\tRSRQ            : 1 \n\tRSRP            : 2 \n"
      "\tRSSI            : 3 \n\tSRX-lev         : 4 \n";
  EXPECT_EQ(
      "\nLTE Information - Inter Frequency \n"
      "UE in Idle    : 0 \n"
      "Frequency Len : 2 \n"
      "Frequency Number 1 Information \n"
      "EARFCN            : 1300 \n"
      "Thresh X Low      : 1 \n"
      "Thresh X High     : 2 \n"
      "Cell Resel Pty    : 3 \n"
      "Cells Length      : 2 \n" +
          cell(1, "10", negative) + cell(2, "11", negative) +
          "Frequency Number 2 Information \n"
          "EARFCN            : 3100 \n"
          "Thresh X Low      : 4 \n"
          "Thresh X High     : 5 \n"
          "Cell Resel Pty    : 6 \n"
          "Cells Length      : 3 \n" +
          cell(1, "20", positive) + cell(2, "21", positive) + cell(3, "22", positive),
      capture([&](FILE* out) { print_cell_location(out, info); }));
}

TEST_F(CellLocationReport, LteNeighbourSections) {
  auto gsm = std::make_unique<LteGsmNeighbourInfo>();
  gsm->ueInIdle = 1;
  gsm->frequencyCount = 1;
  gsm->frequencies[0] = {3, 4, 5, 0xFF, 1, {}};
  gsm->frequencies[0].cells[0] = {512, 1, 0, 0x2A, -123, -2};
  auto wcdma = std::make_unique<LteWcdmaNeighbourInfo>();
  wcdma->ueInIdle = 0;
  wcdma->frequencyCount = 1;
  wcdma->frequencies[0] = {10700, 2, 0x304, 0x506, 1, {}};
  wcdma->frequencies[0].cells[0] = {300, -100, -8, -1};
  CellLocationInfo info{};
  info.lteGsm = gsm.get();
  info.lteWcdma = wcdma.get();
  EXPECT_EQ(
      "\nLTE Information - Neighboring GSM \n"
      "UE in Idle    : 1 \n"
      "Frequency Len : 1 \n"
      "\tFrequency Number 1 Information \n"
      "\tCell Resel Pty    : 3 \n"
      "\tThresh GSM High   : 4 \n"
      "\tThresh GSM Low    : 5 \n"
      "\tNCC Permitted     : ff \n"
      "\tCells Length      : 1 \n"
      "\tGSM Cell Number 1 Information \n"
      "\t\tARFCN         : 512 \n"
      "\t\tBand_1900     : 1 \n"
      "\t\tCell ID Valid : 0 \n"
      "\t\tBSIC ID       : 2a \n"
      "\t\tRSSI          : -123 \n"
      "\t\tSRX-lev       : -2 \n"
      "\nLTE Information - Neighboring WCDMA \n"
      "UE in Idle    : 0 \n"
      "Frequency Len : 1 \n"
      "\tFrequency Number 1 Information \n"
      "\tUARFCN          : 10700 \n"
      "\tCell Resel Pty  : 2 \n"
      "\tThresh X High   : 772 \n"
      "\tThresh X Low    : 1286 \n"
      "\tCells Length    : 1 \n"
      "\tWCDMA Cell Number 1 Information \n"
      "\t\tPSC        : 300 \n"
      "\t\tCPICH_RSCP : -100 \n"
      "\t\tCPICH_ECNO : -8 \n"
      "\t\tSRX-lev    : -1 \n",
      capture([&](FILE* out) { print_cell_location(out, info); }));
}

TEST_F(CellLocationReport, UmtsCellIdAndWcdmaLteNeighbours) {
  uint32_t cell_id = 0x0F0E0D0C;
  auto w = std::make_unique<WcdmaLteNeighbourInfo>();
  w->rrcState = 3;
  w->cellCount = 2;
  w->cells[0] = {1300, 21, 80, 0x01000001, -2, 1};
  w->cells[1] = {3100, 22, 0xFFFFFFFF, 0, 5, 0};
  CellLocationInfo info{};
  info.umtsCellId = &cell_id;
  info.wcdmaLte = w.get();
  EXPECT_EQ(
      "\nUMTS Cell ID \n"
      "UMTS Cell ID  : 0xf0e0d0c \n"
      "\nWCDMA Information - LTE Neighboring cell info \n"
      "WCDMA RRC State            : 3 \n"
      "UMTS LTE neighbor cell Len : 2 \n"
      "\tNumber 1 Information \n"
      "\tEARFCN           : 1300 \n"
      "\tPhysical Cell ID : 21 \n"
      "\tRSRP             : 80.000000 \n"
      "\tRSRQ             : 16777216.000000 \n"
      "\tSRX Lev          : -2 \n"
      "\tCell is TDD      : 1 \n"
      "\tNumber 2 Information \n"
      "\tEARFCN           : 3100 \n"
      "\tPhysical Cell ID : 22 \n"
      "\tRSRP             : 4294967296.000000 \n"
      "\tRSRQ             : 0.000000 \n"
      "\tSRX Lev          : 5 \n"
      "\tCell is TDD      : 0 \n",
      capture([&](FILE* out) { print_cell_location(out, info); }));
}

}  // namespace
}  // namespace vant::test
