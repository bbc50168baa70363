// The serving cell and its signal at one moment: what watch shows, what
// best-cell verifies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vant/cell_report.h"
#include "vant/plmn.h"

namespace vant::cli {

enum class Rat { kNone, kLte, kUmts, kGsm };

struct ServingSample {
  Rat rat = Rat::kNone;
  std::optional<Plmn> plmn;
  uint32_t channel = 0;  // EARFCN, UARFCN or ARFCN
  uint32_t cell = 0;     // PCI, PSC or BSIC
  uint32_t area = 0;     // TAC or LAC
  uint32_t cell_id = 0;  // global cell id (LTE, GSM) or cell id (UMTS)
  // LTE, in tenths of dBm / dB.
  std::optional<int16_t> rsrp_tenths, rsrq_tenths, rssi_tenths;
  // UMTS, in whole dBm / dB.
  std::optional<int16_t> rscp_dbm, ecio_db;
  // GSM, the 0..63 index.
  std::optional<uint16_t> rx_level;
};

// LTE when the modem reports an LTE serving cell, else UMTS, else GSM.
ServingSample serving_sample(const CellLocationRecords& records);

const char* rat_name(Rat rat);  // "lte", "umts", "gsm" or "none"

// {"technology": ..., "mcc", "mnc", "earfcn"/"uarfcn"/"arfcn", ...,
// "rsrp_dbm", ...}; fields the sample does not have are left out.
Json serving_sample_json(const ServingSample& sample);

}  // namespace vant::cli
