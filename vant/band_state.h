// The modem's bands: what it supports and what it has enabled per kind (LTE,
// NR5G standalone, NR5G non-standalone), as band lists, masks and documents.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vant/cell_report.h"
#include "vantsdk/bands.h"

namespace vant::cli {

using BandList = std::vector<uint16_t>;

struct BandState {
  BandPreference preference{};
  BandCapabilities capabilities{};
};

// Both reads; throws a CommandFailure when the modem refuses either.
std::unique_ptr<BandState> read_bands();

// "1,3,7-8,20" as bands in ascending order without repeats; nullopt for
// anything else (an empty list, a band outside 1..highest, a bad range).
std::optional<BandList> parse_band_list(const std::string& text, uint16_t highest);
std::string band_list_text(const BandList& bands);

// The bands the modem supports, ascending (NR5G SA and NSA share one list).
BandList supported_lte(const BandState& state);
BandList supported_nr(const BandState& state);

BandList bands_of(const LteBandMask& mask);
BandList bands_of(const NrBandMask& mask);
LteBandMask lte_mask_of(const BandList& bands);
NrBandMask nr_mask_of(const BandList& bands);

// What a `bands set` asks for: a kind left out is not changed.
struct BandSelection {
  std::optional<BandList> lte, nr_sa, nr_nsa;
};

// The first band of the selection the modem does not support, as "LTE band 66".
std::optional<std::string> unsupported_band(const BandSelection& selection, const BandState& state);

// {"modes": [...], "lte": {"supported": [...], "enabled": [...] or null},
//  "nr5g_sa": {...}, "nr5g_nsa": {...}}
Json bands_json(const BandState& state);
// Whether the modem's preference holds every kind of the selection as asked.
bool bands_hold(const BandPreference& preference, const BandSelection& selection);

}  // namespace vant::cli
