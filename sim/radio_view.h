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
#pragma once

#include <cstdint>
#include <optional>

#include "sim/scenario.h"

namespace vant::sim {

// Bits of the system selection preference's mode (TLV 0x11).
inline constexpr uint16_t kModeCdma1x = 1 << 0;
inline constexpr uint16_t kModeCdmaHdr = 1 << 1;
inline constexpr uint16_t kModeGsm = 1 << 2;
inline constexpr uint16_t kModeUmts = 1 << 3;
inline constexpr uint16_t kModeLte = 1 << 4;

// When the modem looks at its cells, in milliseconds since it started.
struct RadioClock {
  uint64_t now_ms = 0;
  uint64_t lte_pci_locked_ms = 0;  // when the LTE PCI lock in force was set
};

// drift: that of every LTE cell without a drift of its own.
Cells radio_view(const Cells& base, const Locks& locks, std::optional<uint16_t> mode_preference,
                 const std::optional<Drift>& drift = std::nullopt, RadioClock clock = {});

// The drift's offset at a time: a triangle wave of the amplitude, whole
// units (rounded toward zero).
int32_t drift_offset(int16_t amplitude, const Drift& drift, uint64_t now_ms);

}  // namespace vant::sim
