// Scenario documents: whatever the text, reading it either refuses it with a
// message or gives a modem whose cell answers can be made at any time and
// under a lock on any cell that drifts or fails once locked.
#include <cstddef>
#include <cstdint>
#include <string>

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
  for (const auto& entry : scenario->lte_signal.cells) {
    Locks locks = scenario->locks;
    locks.lte_pci = {1, entry.first.first, entry.first.second};
    for (uint64_t now_ms : {uint64_t{0}, uint64_t{12345}, uint64_t{1} << 40}) {
      vant::qmux::TlvBuilder out;
      encode_cell_location(
          radio_view(scenario->cells, locks, std::nullopt, scenario->lte_signal, {now_ms, 0}), out);
    }
  }
  return 0;
}
