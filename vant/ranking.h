// The LTE cells the modem hears, ranked for a cell lock.
#pragma once

#include <cstdint>
#include <vector>

#include "vantsdk/nas.h"

namespace vant::cli {

struct LteCandidate {
  uint32_t earfcn;
  uint32_t pci;
  int16_t rsrp_tenths;  // dBm
  int16_t rsrq_tenths;  // dB
  bool serving;
};

// Every cell of the intra-frequency list (on the serving EARFCN) and of the
// inter-frequency lists, in report order.
std::vector<LteCandidate> heard_lte_cells(const LteIntraFreqInfo& intra,
                                          const LteInterFreqInfo& inter);

// The cells whose RSRP is at least `min_rsrp_dbm`, strongest RSRP first, then
// best RSRQ; a cell reported twice is kept once, with its better figures.
std::vector<LteCandidate> rank_candidates(std::vector<LteCandidate> cells, double min_rsrp_dbm);

}  // namespace vant::cli
