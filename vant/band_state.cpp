#include "vant/band_state.h"

#include <algorithm>
#include <charconv>

#include "vant/exit_status.h"

namespace vant::cli {
namespace {

constexpr uint16_t kModeGsm = 1 << 2, kModeUmts = 1 << 3, kModeLte = 1 << 4, kModeNr5g = 1 << 6;

template <size_t N>
BandList bands_in(const uint64_t (&words)[N]) {
  BandList bands;
  for (size_t w = 0; w < N; ++w)
    for (unsigned bit = 0; bit < 64; ++bit)
      if ((words[w] >> bit) & 1) bands.push_back(static_cast<uint16_t>(1 + bit + 64 * w));
  return bands;
}

template <size_t N>
void set_bands(uint64_t (&words)[N], const BandList& bands) {
  for (uint16_t band : bands)
    if (band >= 1 && band <= 64 * N) words[(band - 1) / 64] |= uint64_t{1} << ((band - 1) % 64);
}

std::optional<uint16_t> number(std::string_view text, uint16_t highest) {
  uint16_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > highest)
    return std::nullopt;
  return value;
}

BandList supported(const uint16_t* bands, uint16_t count) {
  BandList list(bands, bands + count);
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  return list;
}

Json kind_json(const BandList& supported_bands, uint8_t reported, const BandList& enabled) {
  return {{"supported", supported_bands}, {"enabled", reported != 0 ? Json(enabled) : Json()}};
}

std::optional<std::string> first_missing(const std::optional<BandList>& asked,
                                         const BandList& supported_bands, const char* kind) {
  if (!asked) return std::nullopt;
  for (uint16_t band : *asked)
    if (!std::binary_search(supported_bands.begin(), supported_bands.end(), band))
      return std::string(kind) + " band " + std::to_string(band);
  return std::nullopt;
}

}  // namespace

std::unique_ptr<BandState> read_bands() {
  auto state = std::make_unique<BandState>();
  check_result(VANTDMSGetBandCapabilities(&state->capabilities), "reading the band capabilities");
  check_result(VANTNASGetBandPreference(&state->preference), "reading the band preference");
  return state;
}

std::optional<BandList> parse_band_list(const std::string& text, uint16_t highest) {
  BandList bands;
  std::string_view rest = text;
  while (true) {
    const size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    const size_t dash = item.find('-');
    const auto first = number(item.substr(0, dash), highest);
    const auto last =
        dash == std::string_view::npos ? first : number(item.substr(dash + 1), highest);
    if (!first || !last || *last < *first) return std::nullopt;
    for (unsigned band = *first; band <= *last; ++band)
      bands.push_back(static_cast<uint16_t>(band));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  std::sort(bands.begin(), bands.end());
  bands.erase(std::unique(bands.begin(), bands.end()), bands.end());
  return bands;
}

std::string band_list_text(const BandList& bands) {
  std::string text;
  for (uint16_t band : bands) text += (text.empty() ? "" : ",") + std::to_string(band);
  return text.empty() ? "none" : text;
}

BandList supported_lte(const BandState& state) {
  return supported(state.capabilities.lte, state.capabilities.lteCount);
}
BandList supported_nr(const BandState& state) {
  return supported(state.capabilities.nr, state.capabilities.nrCount);
}

BandList bands_of(const LteBandMask& mask) {
  return bands_in(mask.words);
}
BandList bands_of(const NrBandMask& mask) {
  return bands_in(mask.words);
}

LteBandMask lte_mask_of(const BandList& bands) {
  LteBandMask mask{};
  set_bands(mask.words, bands);
  return mask;
}

NrBandMask nr_mask_of(const BandList& bands) {
  NrBandMask mask{};
  set_bands(mask.words, bands);
  return mask;
}

std::optional<std::string> unsupported_band(const BandSelection& selection, const BandState& s) {
  const BandList lte = supported_lte(s), nr = supported_nr(s);
  if (auto missing = first_missing(selection.lte, lte, "LTE")) return missing;
  if (auto missing = first_missing(selection.nr_sa, nr, "NR5G SA")) return missing;
  return first_missing(selection.nr_nsa, nr, "NR5G NSA");
}

Json bands_json(const BandState& s) {
  const BandPreference& p = s.preference;
  const BandList nr = supported_nr(s);
  Json modes = Json::array();
  const std::pair<uint16_t, const char*> kModes[] = {
      {kModeGsm, "gsm"}, {kModeUmts, "umts"}, {kModeLte, "lte"}, {kModeNr5g, "nr5g"}};
  for (const auto& [bit, name] : kModes)
    if (p.modePreference & bit) modes.push_back(name);
  return {{"modes", p.modeReported != 0 ? modes : Json()},
          {"lte", kind_json(supported_lte(s), p.lteReported, bands_of(p.lte))},
          {"nr5g_sa", kind_json(nr, p.nrSaReported, bands_of(p.nrSa))},
          {"nr5g_nsa", kind_json(nr, p.nrNsaReported, bands_of(p.nrNsa))}};
}

bool bands_hold(const BandPreference& p, const BandSelection& selection) {
  const auto holds = [](const std::optional<BandList>& asked, uint8_t reported,
                        const BandList& held) {
    return !asked || (reported != 0 && *asked == held);
  };
  return holds(selection.lte, p.lteReported, bands_of(p.lte)) &&
         holds(selection.nr_sa, p.nrSaReported, bands_of(p.nrSa)) &&
         holds(selection.nr_nsa, p.nrNsaReported, bands_of(p.nrNsa));
}

}  // namespace vant::cli
