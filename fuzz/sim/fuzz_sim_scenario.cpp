// Scenario documents: whatever the text, reading it either refuses it with a
// message or gives a modem whose cell answers can be made at any time and
// under a lock on any cell that drifts or fails once locked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "qmux/tlv.h"
#include "sim/nas_encoding.h"
#include "sim/radio_view.h"
#include "sim/scenario_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vant::sim;
  std::string error;
  const auto scenario =
      parse_scenario(std::string(reinterpret_cast<const char*>(data), size), "fuzz.json", error);
  if (!scenario) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  // Every cell that drifts or changes once locked, by EARFCN and PCI.
  std::vector<std::pair<uint32_t, uint32_t>> cells;
  auto add = [&](uint32_t earfcn, const std::vector<LteCell>& list) {
    for (const auto& c : list) {
      if (c.drift || c.when_locked) cells.emplace_back(earfcn, c.pci);
    }
  };
  const Cells& base = scenario->cells;
  if (base.lte_intra) add(base.lte_intra->earfcn, base.lte_intra->cells);
  if (base.lte_inter) {
    for (const auto& f : base.lte_inter->frequencies) add(f.earfcn, f.cells);
  }
  for (const auto& [earfcn, pci] : cells) {
    Locks locks = scenario->locks;
    locks.lte_pci = {1, earfcn, pci};
    for (uint64_t now_ms : {uint64_t{0}, uint64_t{12345}, uint64_t{1} << 40}) {
      vant::qmux::TlvBuilder out;
      encode_cell_location(
          radio_view(base, locks, std::nullopt, scenario->behaviour.drift, {now_ms, 0}), out);
    }
  }
  return 0;
}
