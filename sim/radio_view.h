// What the modem reports about its cells, given the channel locks and the
// technologies the selection preference allows.
//
// The effects of a lock (status 1):
// - LTE EARFCN + PCI: the cell becomes the serving cell when the modem knows
//   it (the serving cell, an intra-frequency neighbour, or a cell of an
//   inter-frequency entry, whose frequency then swaps places with the serving
//   frequency); an unknown cell, or one outside an LTE EARFCN lock, leaves no
//   LTE service: the LTE TLVs (0x13 to 0x16) disappear.
// - LTE EARFCN pair: the serving frequency must be one of the two; otherwise
//   the modem moves to the strongest cell of the first allowed inter-frequency
//   entry with cells, or has no LTE service.
// - WCDMA UARFCN: the serving UARFCN must be the locked one; otherwise a UMTS
//   neighbour on it becomes the serving cell, or there is no UMTS service
//   (TLVs 0x11, 0x17 and 0x18 disappear).
// The serving cell's other identities (PLMN, TAC, LAC, global cell id) stay.
//
// LTE measurements drift over time as the scenario says, and a cell locked
// by EARFCN + PCI may lose service or serve with other measurements once the
// lock has been in force for a while (WhenLocked).
//
// The band preference, before the locks: LTE cells in a band the modem
// supports but may not use leave the answer (serving cell, neighbours, and
// WCDMA's LTE neighbours); a serving cell in such a band is replaced by the
// strongest allowed inter-frequency cell, or there is no LTE service. NR
// likewise, by the non-standalone bands for the NR leg of an LTE cell (which
// goes with LTE service) and by the standalone bands otherwise.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/bands.h"
#include "sim/scenario.h"

namespace vant::sim {

// Bits of the system selection preference's mode (TLV 0x11).
inline constexpr uint16_t kModeCdma1x = 1 << 0;
inline constexpr uint16_t kModeCdmaHdr = 1 << 1;
inline constexpr uint16_t kModeGsm = 1 << 2;
inline constexpr uint16_t kModeUmts = 1 << 3;
inline constexpr uint16_t kModeLte = 1 << 4;
inline constexpr uint16_t kModeNr5g = 1 << 6;

// When the modem looks at its cells, in milliseconds since it started.
struct RadioClock {
  uint64_t now_ms = 0;
  uint64_t lte_pci_locked_ms = 0;  // when the LTE PCI lock in force was set
};

// The bands a modem may use, per kind, and those it supports: only a
// supported band can be disabled. No supported bands: bands play no part.
struct BandFilter {
  BandSet supported, enabled;
  bool allows(std::optional<uint16_t> band) const {
    return !band || !supported.contains(*band) || enabled.contains(*band);
  }
};

struct RadioSettings {
  Locks locks;
  std::optional<uint16_t> mode;  // the selection preference's mode, if one was set
  BandFilter lte, nr_sa, nr_nsa;
  std::optional<Drift> drift;  // that of every LTE cell without a drift of its own
  RadioClock clock;
};

Cells radio_view(const Cells& base, const RadioSettings& settings);

Cells radio_view(const Cells& base, const Locks& locks, std::optional<uint16_t> mode_preference,
                 const std::optional<Drift>& drift = std::nullopt, RadioClock clock = {});

// Whether the NR cells of these cells are the NR leg of an LTE cell.
inline bool non_standalone(const Cells& scenario_cells) {
  return scenario_cells.nr5g && scenario_cells.lte_intra;
}

// The drift's offset at a time: a triangle wave of the amplitude, whole
// units (rounded toward zero).
int32_t drift_offset(int16_t amplitude, const Drift& drift, uint64_t now_ms);

}  // namespace vant::sim
