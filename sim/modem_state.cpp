#include "sim/modem_state.h"

#include <algorithm>

#include "qmux/wire.h"

namespace vant::sim {

namespace {
constexpr uint8_t kModePreferenceTlv = 0x11;
}

Cells ModemState::cells_now() const {
  std::optional<uint16_t> mode;
  if (const auto it = selection_preference.find(kModePreferenceTlv);
      it != selection_preference.end()) {
    qmux::WireReader r(it->second);
    uint16_t value = 0;
    if (r.u16(value)) mode = value;
  }
  return radio_view(scenario.cells, locks, mode, scenario.behaviour.drift,
                    RadioClock{now_ms, lte_pci_locked_ms});
}

void ModemState::register_on(uint16_t mcc, uint16_t mnc) {
  const auto& nets = scenario.networks;
  const bool in_sight = std::any_of(nets.begin(), nets.end(),
                                    [&](const Network& n) { return n.mcc == mcc && n.mnc == mnc; });
  if (in_sight) {
    registered = std::make_pair(mcc, mnc);
  } else {
    registered.reset();
  }
}

void ModemState::register_automatically() {
  const auto& nets = scenario.networks;
  const auto home = std::find_if(nets.begin(), nets.end(),
                                 [](const Network& n) { return n.roaming == kRoamingHome; });
  if (home != nets.end()) {
    registered = std::make_pair(home->mcc, home->mnc);
  } else {
    registered = scenario.registered;
  }
}

}  // namespace vant::sim
