// bands: the LTE and NR5G bands the modem supports and has enabled, and
// changing them. A band the modem does not support is refused before anything
// is sent; a change is read back; with --revert-after or --check it is a change
// the daemon undoes unless it is confirmed, since a band lock without coverage
// cuts the line as surely as a bad cell lock.
#include "vant/band_state.h"
#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/held_change.h"
#include "vant/output.h"

namespace vant::cli {
namespace {

constexpr uint16_t kHighestLteBand = 4 * 64;
constexpr uint16_t kHighestNrBand = 8 * 64;

BandList parsed(const std::string& text, uint16_t highest) {
  // The command line checked the syntax already.
  return *parse_band_list(text, highest);
}

BandSelection selection_of(const BandsOptions& o, const BandState& state) {
  BandSelection s;
  if (o.action == BandsAction::kReset) {
    // Every supported band of every kind the modem reports.
    const BandPreference& p = state.preference;
    if (p.lteReported != 0) s.lte = supported_lte(state);
    if (p.nrSaReported != 0) s.nr_sa = supported_nr(state);
    if (p.nrNsaReported != 0) s.nr_nsa = supported_nr(state);
    return s;
  }
  if (!o.lte.empty()) s.lte = parsed(o.lte, kHighestLteBand);
  if (!o.nr.empty()) s.nr_sa = s.nr_nsa = parsed(o.nr, kHighestNrBand);
  if (!o.nr_sa.empty()) s.nr_sa = parsed(o.nr_sa, kHighestNrBand);
  if (!o.nr_nsa.empty()) s.nr_nsa = parsed(o.nr_nsa, kHighestNrBand);
  return s;
}

void refuse(const std::string& why) {
  throw CommandFailure(kExitBadArguments, why + "; nothing was sent");
}

// Whatever the modem cannot take is refused before anything is sent.
void check_selection(const BandSelection& s, const BandState& state) {
  const BandPreference& p = state.preference;
  if (!s.lte && !s.nr_sa && !s.nr_nsa) refuse("the modem reports no bands to set");
  if ((s.lte && p.lteReported == 0) || (s.nr_sa && p.nrSaReported == 0) ||
      (s.nr_nsa && p.nrNsaReported == 0))
    refuse("the modem does not report the band preference of every kind asked for");
  if (const auto band = unsupported_band(s, state))
    refuse(*band + " is not supported by the modem");
  if (s.lte && p.lteExtended == 0 && !s.lte->empty() && s.lte->back() > 64)
    refuse("the modem takes LTE bands 1 to 64 only");
  for (const auto* kind : {&s.lte, &s.nr_sa, &s.nr_nsa})
    if (*kind && (*kind)->empty()) refuse("a kind without any band would leave no service");
}

std::string label_of(const BandSelection& s) {
  std::string label = "bands";
  if (s.lte) label += " lte " + band_list_text(*s.lte);
  if (s.nr_sa) label += " nr5g-sa " + band_list_text(*s.nr_sa);
  if (s.nr_nsa) label += " nr5g-nsa " + band_list_text(*s.nr_nsa);
  return label;
}

// The enabled bands before the change, for `vant pending`.
std::string previous_text(const BandState& state) {
  const Json doc = bands_json(state);
  return json_text({{"lte", doc["lte"]["enabled"]},
                    {"nr5g_sa", doc["nr5g_sa"]["enabled"]},
                    {"nr5g_nsa", doc["nr5g_nsa"]["enabled"]}});
}

struct Masks {
  LteBandMask lte{};
  NrBandMask sa{}, nsa{};
};

BandPreferenceChange change_of(const BandSelection& s, const BandState& state, Masks& m) {
  if (s.lte) m.lte = lte_mask_of(*s.lte);
  if (s.nr_sa) m.sa = nr_mask_of(*s.nr_sa);
  if (s.nr_nsa) m.nsa = nr_mask_of(*s.nr_nsa);
  return {s.lte ? &m.lte : nullptr, state.preference.lteExtended, s.nr_sa ? &m.sa : nullptr,
          s.nr_nsa ? &m.nsa : nullptr, kBandChangePermanent};
}

int change_bands(const BandsOptions& o, bool json) {
  const auto before = read_bands();
  const BandSelection selection = selection_of(o, *before);
  check_selection(selection, *before);
  Masks masks;
  const BandPreferenceChange change = change_of(selection, *before, masks);
  std::unique_ptr<BandState> last;
  const auto read = [&] {
    last = read_bands();
    return bands_json(*last);
  };
  const bool held = o.hold.revert_after.count() != 0 || !o.hold.check.empty();
  if (!held) {
    check_result(VANTNASSetBandPreference(&change), "setting the band preference");
    print_document(read(), json);
    if (!bands_hold(last->preference, selection))
      throw CommandFailure(kExitModemError, "the modem accepted the bands but holds others");
    return kExitOk;
  }
  HeldChangeSteps steps;
  steps.what = "band preference";
  steps.begin = [&](std::chrono::milliseconds revert_after) {
    HeldChange h;
    uint64_t deadline = 0;
    check_result(VANTNASSetBandPreferenceConfirmed(
                     &change, &before->preference, static_cast<uint32_t>(revert_after.count()),
                     label_of(selection).c_str(), previous_text(*before).c_str(), &h.id, &deadline),
                 "setting the band preference");
    h.deadline_ms = static_cast<int64_t>(deadline);
    return h;
  };
  steps.read = read;
  steps.holds = [&](const Json&) { return bands_hold(last->preference, selection); };
  return run_held_change(o.hold, json, steps);
}

}  // namespace

std::optional<std::string> band_list_problem(const std::string& text, bool nr) {
  if (parse_band_list(text, nr ? kHighestNrBand : kHighestLteBand)) return std::nullopt;
  return std::string("not a list of bands such as 1,3,7-8 (1 to ") +
         std::to_string(nr ? kHighestNrBand : kHighestLteBand) + ")";
}

int run_bands(const GlobalOptions& global, const BandsOptions& options, bool json) {
  attach(global);
  if (options.action == BandsAction::kShow) {
    print_document(bands_json(*read_bands()), json);
    return kExitOk;
  }
  return change_bands(options, json);
}

}  // namespace vant::cli
