// The modem's state that requests read and change.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "sim/client_ids.h"
#include "sim/radio_view.h"
#include "sim/scenario.h"

namespace vant::sim {

// The bands the selection preference enables, per kind.
struct BandPreference {
  BandSet lte, nr_sa, nr_nsa;
  bool operator==(const BandPreference&) const = default;
};

// What the host set of the system selection preference.
struct SelectionPreference {
  std::map<uint8_t, std::vector<uint8_t>> tlvs;  // TLV type -> value, as last set
  BandPreference bands;
};

struct ModemState {
  explicit ModemState(const Scenario& s);

  const Scenario& scenario;
  Locks locks;
  std::optional<std::pair<uint16_t, uint16_t>> registered;
  // The preference in force, and what the modem comes back to when it
  // restarts: what was set permanently (a change until power cycle is lost).
  SelectionPreference preference, permanent_preference;
  std::array<Session, kDataInstances> sessions;
  ClientIds client_ids;
  // Milliseconds since the modem started: now (set before each request is
  // answered), and when the LTE PCI lock was last set.
  uint64_t now_ms = 0;
  uint64_t lte_pci_locked_ms = 0;

  Cells cells_now() const;
  // The mode preference (TLV 0x11) as set, or else the technologies the
  // modem has cells or bands of.
  uint16_t mode_preference() const;
  // The modem came back from an outage: client ids and changes until power
  // cycle are gone.
  void restart();
  // Registers on a network by MCC and MNC: it becomes the serving network when
  // it is in sight; otherwise the modem ends up registered nowhere.
  void register_on(uint16_t mcc, uint16_t mnc);
  // Automatic registration: the first home network in sight, else the
  // network the scenario started on.
  void register_automatically();
};

}  // namespace vant::sim
