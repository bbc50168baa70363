// Radio bands: which band a channel number lies in, the band values the
// network-access service reports them by, and band masks as the selection
// preference and the band capabilities carry them.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace vant::sim {

using BandSet = std::set<uint16_t>;  // band numbers: LTE 1..256, NR 1..512

inline constexpr uint16_t kMaxLteBand = 256;  // 4 x 64 bits of the extended LTE masks
inline constexpr uint16_t kMaxNrBand = 512;   // 8 x 64 bits of the NR masks

// The LTE band of a downlink EARFCN (3GPP TS 36.101, bands 1 to 71), if any.
std::optional<uint16_t> lte_band_of_earfcn(uint32_t earfcn);

// The active band value of the RF band information (message 0x0031) for a
// band; none for a band that has no value.
std::optional<uint16_t> lte_active_band(uint16_t band);
std::optional<uint16_t> nr_active_band(uint16_t band);
// For the channel of a UMTS (downlink UARFCN) or GSM (ARFCN) serving cell.
std::optional<uint16_t> umts_active_band(uint32_t uarfcn);
std::optional<uint16_t> gsm_active_band(uint32_t arfcn);

// Band n is bit (n - 1) % 64 of word (n - 1) / 64. Bands beyond the words
// are left out of a mask; bits beyond kMax*Band do not exist.
std::vector<uint64_t> band_mask(const BandSet& bands, size_t words);
BandSet bands_of_mask(const std::vector<uint64_t>& words);

}  // namespace vant::sim
