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

struct ModemState {
  explicit ModemState(const Scenario& s)
      : scenario(s),
        locks(s.locks),
        registered(s.registered),
        sessions(s.sessions),
        client_ids(s.behaviour.client_ids_per_service) {}

  const Scenario& scenario;
  Locks locks;
  std::optional<std::pair<uint16_t, uint16_t>> registered;
  std::map<uint8_t, std::vector<uint8_t>> selection_preference;  // TLV type -> value
  std::array<Session, kDataInstances> sessions;
  ClientIds client_ids;
  // Milliseconds since the modem started: now (set before each request is
  // answered), and when the LTE PCI lock was last set.
  uint64_t now_ms = 0;
  uint64_t lte_pci_locked_ms = 0;

  Cells cells_now() const;
  // Registers on a network by MCC and MNC: it becomes the serving network when
  // it is in sight; otherwise the modem ends up registered nowhere.
  void register_on(uint16_t mcc, uint16_t mnc);
  // Automatic registration: the first home network in sight, else the
  // network the scenario started on.
  void register_automatically();
};

}  // namespace vant::sim
