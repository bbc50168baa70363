#include "sim/modem_state.h"

#include <algorithm>

#include "qmux/wire.h"

namespace vant::sim {

namespace {

constexpr uint8_t kModePreferenceTlv = 0x11;

BandSet set_of(const std::vector<uint16_t>& bands) {
  return BandSet(bands.begin(), bands.end());
}

BandPreference initial_bands(const Bands& b) {
  const auto& p = b.preference;
  return {set_of(p.lte.value_or(b.lte)), set_of(p.nr_sa.value_or(b.nr)),
          set_of(p.nr_nsa.value_or(b.nr))};
}

// Bits of the legacy band capability: GSM, WCDMA.
constexpr uint64_t kLegacyGsm = 0x3F0380ULL;
constexpr uint64_t kLegacyWcdma = 0x300700000FC00000ULL;

std::optional<uint16_t> set_mode(const SelectionPreference& p) {
  const auto it = p.tlvs.find(kModePreferenceTlv);
  if (it == p.tlvs.end()) return std::nullopt;
  qmux::WireReader r(it->second);
  uint16_t value = 0;
  if (!r.u16(value)) return std::nullopt;
  return value;
}

}  // namespace

ModemState::ModemState(const Scenario& s)
    : scenario(s),
      locks(s.locks),
      registered(s.registered),
      preference{{}, initial_bands(s.bands)},
      permanent_preference(preference),
      sessions(s.sessions),
      client_ids(s.behaviour.client_ids_per_service) {}

uint16_t ModemState::mode_preference() const {
  if (const auto set = set_mode(preference)) return *set;
  const Cells& c = scenario.cells;
  const Bands& b = scenario.bands;
  uint16_t mode = 0;
  if (c.cdma) mode |= kModeCdma1x | kModeCdmaHdr;
  if (c.geran || (b.legacy & kLegacyGsm)) mode |= kModeGsm;
  if (c.umts || (b.legacy & kLegacyWcdma)) mode |= kModeUmts;
  if (c.lte_intra || !b.lte.empty()) mode |= kModeLte;
  if (c.nr5g || !b.nr.empty()) mode |= kModeNr5g;
  return mode;
}

Cells ModemState::cells_now() const {
  RadioSettings settings;
  settings.locks = locks;
  settings.mode = set_mode(preference);
  const Bands& b = scenario.bands;
  settings.lte = {set_of(b.lte), preference.bands.lte};
  settings.nr_sa = {set_of(b.nr), preference.bands.nr_sa};
  settings.nr_nsa = {set_of(b.nr), preference.bands.nr_nsa};
  settings.drift = scenario.behaviour.drift;
  settings.clock = RadioClock{now_ms, lte_pci_locked_ms};
  return radio_view(scenario.cells, settings);
}

void ModemState::restart() {
  client_ids.release_all();
  preference = permanent_preference;
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
