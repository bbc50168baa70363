#include "sim/scenario.h"

#include <bit>

namespace vant::sim {
namespace {

// Signal values are in the units modems send: LTE RSRP, RSRQ and RSSI and
// the WCDMA measurements of LTE's neighbours in tenths of a dB(m), UMTS RSCP
// and Ec/Io in whole dB(m), and WCDMA's LTE neighbours as 32-bit floats.

// MCC 310, MNC 260 as the three PLMN identity bytes (digits in nibbles).
constexpr Plmn kHomePlmn = {0x13, 0x00, 0x62};

uint32_t float_word(float value) {
  return std::bit_cast<uint32_t>(value);
}

LteIntra default_lte_intra() {
  LteIntra lte;
  lte.ue_in_idle = 1;
  lte.plmn = kHomePlmn;
  lte.tac = 0x2A1F;
  lte.global_cell_id = 0x0A3C5D01;
  lte.earfcn = 5110;
  lte.serving_cell_id = 257;
  lte.cell_resel_priority = 5;
  lte.s_non_intra_search = 8;
  lte.thresh_serving_low = 4;
  lte.s_intra_search = 31;
  // Each cell: PCI, RSRQ, RSRP, RSSI, Srxlev, no drift, no behaviour when locked, SNR.
  lte.cells = {{257, -90, -880, -610, 42, {}, {}, 124},
               {312, -130, -1010, -700, 29, {}, {}, 42},
               {98, -160, -1090, -740, 21, {}, {}, -15}};
  return lte;
}

LteInter default_lte_inter() {
  LteInter inter;
  inter.ue_in_idle = 1;
  inter.frequencies = {
      {2000,
       6,
       10,
       3,
       {{41, -110, -970, -660, 33, {}, {}, 80}, {402, -140, -1040, -710, 26, {}, {}, 18}}},
      {850, 4, 12, 2, {{133, -120, -990, -680, 31, {}, {}, 60}}},
  };
  return inter;
}

Umts default_umts() {
  Umts umts;
  umts.cell_id = 0x5C21;
  umts.plmn = kHomePlmn;
  umts.lac = 0x1B2E;
  umts.uarfcn = 4385;
  umts.psc = 211;
  umts.rscp = -96;
  umts.ecio = -7;
  umts.instances = {{4385, 118, -102, -11}, {4360, 27, -106, -14}};
  umts.geran_instances = {{128, 3, 5, -84}};
  return umts;
}

Cells default_cells() {
  Cells cells;
  cells.umts = default_umts();
  cells.lte_intra = default_lte_intra();
  cells.lte_inter = default_lte_inter();
  cells.lte_gsm =
      LteGsm{1, {{1, 20, 8, 0xFF, {{128, 0, 1, 21, -860, 18}, {131, 0, 0, 0, -930, 11}}}}};
  cells.lte_wcdma = LteWcdma{1, {{4385, 2, 14, 6, {{211, -950, -70, 15}, {118, -1010, -110, 9}}}}};
  cells.umts_cell_id = 0x01AB5C21;
  cells.wcdma_lte = WcdmaLte{2,
                             {{5110, 257, float_word(-88), float_word(-9), 42, 0},
                              {2000, 41, float_word(-97), float_word(-11), 33, 0}}};
  return cells;
}

// A world modem: GSM 850/900/1800/1900, WCDMA 850/1700/1900/2100, LTE and NR
// bands of the Americas, Europe and Asia, every one of them enabled.
Bands default_bands() {
  Bands b;
  b.legacy = 0x6E80380;
  b.lte = {1, 2, 3, 4, 5, 7, 8, 12, 13, 20, 25, 26, 28, 66, 71};
  b.nr = {1, 2, 3, 5, 7, 28, 41, 66, 71, 77, 78};
  return b;
}

std::vector<Network> default_networks() {
  return {
      {310, 260, std::nullopt, kRoamingHome, 0, 0, "Northwind Mobile", kRatLte, 1},
      {310, 410, std::nullopt, kRoamingRoaming, 0, 0, "Bluepeak", kRatLte, 0},
      {311, 480, std::nullopt, kRoamingRoaming, 0, 0, "Cascade Wireless", kRatUmts, 0},
  };
}

}  // namespace

Scenario default_scenario() {
  Scenario s;
  s.name = "default";
  s.description = "An LTE modem registered on its home network, with three networks in sight.";
  s.cells = default_cells();
  s.bands = default_bands();
  s.networks = default_networks();
  s.registered = std::make_pair(uint16_t{310}, uint16_t{260});
  s.scan.duration_ms = 1500;
  s.sessions[0] = {0x1A2B3C01, 0};
  return s;
}

}  // namespace vant::sim
