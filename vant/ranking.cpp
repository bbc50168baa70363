#include "vant/ranking.h"

#include <algorithm>

namespace vant::cli {

std::vector<LteCandidate> heard_lte_cells(const LteIntraFreqInfo& intra,
                                          const LteInterFreqInfo& inter) {
  std::vector<LteCandidate> cells;
  for (int i = 0; i < intra.cellCount; ++i) {
    const LteCell& c = intra.cells[i];
    cells.push_back({intra.earfcn, c.pci, c.rsrp, c.rsrq, c.pci == intra.servingCellId});
  }
  for (int f = 0; f < inter.frequencyCount; ++f) {
    const LteInterFrequency& frequency = inter.frequencies[f];
    for (int i = 0; i < frequency.cellCount; ++i) {
      const LteCell& c = frequency.cells[i];
      cells.push_back({frequency.earfcn, c.pci, c.rsrp, c.rsrq, false});
    }
  }
  return cells;
}

std::vector<LteCandidate> rank_candidates(std::vector<LteCandidate> cells, double min_rsrp_dbm) {
  std::erase_if(cells, [&](const LteCandidate& c) { return c.rsrp_tenths / 10.0 < min_rsrp_dbm; });
  std::stable_sort(cells.begin(), cells.end(), [](const LteCandidate& a, const LteCandidate& b) {
    if (a.rsrp_tenths != b.rsrp_tenths) return a.rsrp_tenths > b.rsrp_tenths;
    return a.rsrq_tenths > b.rsrq_tenths;
  });
  // After the sort the first report of a cell is its best one.
  std::vector<LteCandidate> unique;
  for (const LteCandidate& c : cells) {
    const auto same = [&](const LteCandidate& u) { return u.earfcn == c.earfcn && u.pci == c.pci; };
    const auto kept = std::find_if(unique.begin(), unique.end(), same);
    if (kept == unique.end()) {
      unique.push_back(c);
    } else {
      kept->serving = kept->serving || c.serving;
    }
  }
  return unique;
}

}  // namespace vant::cli
