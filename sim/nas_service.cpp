#include <algorithm>
#include <climits>
#include <iterator>
#include <map>

#include "qmux/response.h"
#include "qmux/tlv.h"
#include "sim/bands.h"
#include "sim/nas_encoding.h"
#include "sim/services.h"

namespace vant::sim {
namespace {

using qmux::Frame;
using qmux::TlvBuilder;
using qmux::WireReader;

constexpr uint8_t kRegisterActionTlv = 0x01;
constexpr uint8_t kManualNetworkTlv = 0x10;
constexpr uint8_t kRegisterAutomatic = 1;
constexpr uint8_t kRegisterManual = 2;
constexpr uint8_t kNetworkSelectionTlv = 0x16;
constexpr uint8_t kSelectAutomatic = 0;
constexpr uint8_t kSelectManual = 1;

Reply failure(const Frame& request, uint16_t error) {
  return {qmux::result_only_response(request, error)};
}

Reply success(const Frame& request) {
  return failure(request, 0);
}

// ---- Selection preference: the width of every TLV the modem knows ----

enum class Width : uint8_t { fixed, counted_bytes, counted_words };
struct PreferenceTlv {
  uint8_t type;
  Width width;
  uint16_t size;  // fixed size
};
constexpr PreferenceTlv kPreferenceTlvs[] = {
    {0x10, Width::fixed, 1},         {0x11, Width::fixed, 2},  {0x12, Width::fixed, 8},
    {0x13, Width::fixed, 2},         {0x14, Width::fixed, 2},  {0x15, Width::fixed, 8},
    {0x16, Width::fixed, 5},         {0x17, Width::fixed, 1},  {0x1A, Width::fixed, 1},
    {0x1B, Width::fixed, 4},         {0x1C, Width::fixed, 4},  {0x1D, Width::fixed, 8},
    {0x1E, Width::counted_bytes, 0}, {0x1F, Width::fixed, 4},  {0x20, Width::fixed, 10},
    {0x22, Width::fixed, 1},         {0x24, Width::fixed, 32}, {0x26, Width::fixed, 8},
    {0x27, Width::fixed, 8},         {0x28, Width::fixed, 8},  {0x29, Width::fixed, 4},
    {0x2A, Width::counted_words, 0}, {0x2B, Width::fixed, 32}, {0x2F, Width::fixed, 64},
    {0x30, Width::fixed, 64},
};

// The band masks of the request (bands 1 to 64, then 4 and 8 words), and how
// long what it sets lasts.
constexpr uint8_t kLteBandsTlv = 0x15;
constexpr uint8_t kChangeDurationTlv = 0x17;
constexpr uint8_t kExtendedLteBandsTlv = 0x24;
constexpr uint8_t kNrSaBandsTlv = 0x2F;
constexpr uint8_t kNrNsaBandsTlv = 0x30;
constexpr uint8_t kUntilPowerCycle = 0;
constexpr uint8_t kPermanent = 1;

// Radio interfaces of the RF band information.
constexpr uint8_t kRadioGsm = 0x04;
constexpr uint8_t kRadioUmts = 0x05;
constexpr uint8_t kRadioLte = 0x08;
constexpr uint8_t kRadioNr5g = 0x0C;

// What the signal info reports of NR that is not connected.
constexpr int16_t kNrNotConnected = INT16_MIN;

bool width_fits(const PreferenceTlv& row, std::span<const uint8_t> value) {
  switch (row.width) {
    case Width::fixed:
      return value.size() == row.size;
    case Width::counted_bytes:
      return !value.empty() && value.size() == 1u + value[0];
    case Width::counted_words:
      return !value.empty() && value.size() == 1u + 4u * value[0];
  }
  return false;
}

const PreferenceTlv* preference_row(uint8_t type) {
  for (const auto& row : kPreferenceTlvs) {
    if (row.type == type) return &row;
  }
  return nullptr;
}

// Every TLV of a request, in order; unknown types are stepped over by callers.
std::vector<std::pair<uint8_t, std::span<const uint8_t>>> tlvs_of(const Frame& request) {
  std::vector<std::pair<uint8_t, std::span<const uint8_t>>> out;
  WireReader r(request.tlvs);
  uint8_t type = 0;
  uint16_t length = 0;
  std::span<const uint8_t> value;
  while (r.u8(type) && r.u16(length) && r.take(length, value)) out.emplace_back(type, value);
  return out;
}

// ---- Channel locks ----

struct LockValue {
  bool present = false;
  uint8_t status = 0;
  uint32_t first = 0, second = 0;
};

// Reads one lock TLV: a status byte and one or two 32-bit values. Returns the
// QMI error when it is malformed or its status is neither 0 nor 1.
uint16_t read_lock(const Frame& request, uint8_t type, size_t words, LockValue& out) {
  const auto value = qmux::find_tlv(request.tlvs, type);
  if (!value) return 0;
  if (value->size() != 1 + 4 * words) return kErrMalformed;
  WireReader r(*value);
  r.u8(out.status);
  r.u32(out.first);
  if (words == 2) r.u32(out.second);
  out.present = true;
  return out.status > 1 ? kErrInvalidArgument : 0;
}

std::vector<uint64_t> words_of(std::span<const uint8_t> value) {
  std::vector<uint64_t> words;
  WireReader r(value);
  uint64_t word = 0;
  while (get_u64(r, word)) words.push_back(word);
  return words;
}

// The bands the request leaves enabled, starting from `from` (the bands in
// force by default); none when it enables a band the modem does not support
// or leaves a kind it names with no band at all.
std::optional<BandPreference> requested_bands(
    const std::map<uint8_t, std::span<const uint8_t>>& given, const ModemState& state,
    const BandPreference* from = nullptr) {
  BandPreference bands = from ? *from : state.preference.bands;
  const Bands& supported = state.scenario.bands;
  auto valid = [](const BandSet& enabled, const std::vector<uint16_t>& supported) {
    return !enabled.empty() && std::all_of(enabled.begin(), enabled.end(), [&](uint16_t b) {
      return std::binary_search(supported.begin(), supported.end(), b);
    });
  };
  auto find = [&](uint8_t type) -> std::optional<std::span<const uint8_t>> {
    const auto it = given.find(type);
    if (it == given.end()) return std::nullopt;
    return it->second;
  };
  if (const auto extended = find(kExtendedLteBandsTlv)) {
    bands.lte = bands_of_mask(words_of(*extended));
  } else if (const auto low = find(kLteBandsTlv)) {
    // Bands 1 to 64 as given; those above keep their state.
    BandSet lte = bands_of_mask(words_of(*low));
    for (uint16_t b : bands.lte) {
      if (b > 64) lte.insert(b);
    }
    bands.lte = std::move(lte);
  }
  if (const auto sa = find(kNrSaBandsTlv)) bands.nr_sa = bands_of_mask(words_of(*sa));
  if (const auto nsa = find(kNrNsaBandsTlv)) bands.nr_nsa = bands_of_mask(words_of(*nsa));
  const bool lte_given = find(kExtendedLteBandsTlv) || find(kLteBandsTlv);
  if (lte_given && !valid(bands.lte, supported.lte)) return std::nullopt;
  if (find(kNrSaBandsTlv) && !valid(bands.nr_sa, supported.nr)) return std::nullopt;
  if (find(kNrNsaBandsTlv) && !valid(bands.nr_nsa, supported.nr)) return std::nullopt;
  return bands;
}

void put_words(TlvBuilder& out, uint8_t type, const BandSet& bands, size_t words) {
  auto& w = out.begin(type);
  for (uint64_t word : band_mask(bands, words)) put_u64(w, word);
  out.end();
}

// Tenths of a dB(m) to whole ones, halves away from zero.
int16_t whole(int16_t tenths) {
  const int32_t t = tenths;
  return static_cast<int16_t>((t >= 0 ? t + 5 : t - 5) / 10);
}

int8_t to_i8(int32_t value) {
  return static_cast<int8_t>(std::clamp<int32_t>(value, INT8_MIN, INT8_MAX));
}

}  // namespace

Reply nas_get_system_selection_preference(const Frame& request, ModemState& state) {
  TlvBuilder tlvs;
  tlvs.add_result(0);
  tlvs.begin(0x11).u16(state.mode_preference());
  tlvs.end();
  const Bands& b = state.scenario.bands;
  const auto& set = state.preference.tlvs;
  if (const auto legacy = set.find(0x12); legacy != set.end()) {
    tlvs.add(0x12, legacy->second);
  } else {
    put_u64(tlvs.begin(0x12), b.legacy);
    tlvs.end();
  }
  const BandPreference& enabled = state.preference.bands;
  if (!b.lte.empty()) {
    put_words(tlvs, 0x15, enabled.lte, 1);
    if (b.extended_lte) put_words(tlvs, 0x23, enabled.lte, 4);
  }
  if (!b.nr.empty()) {
    put_words(tlvs, 0x2C, enabled.nr_sa, 8);
    put_words(tlvs, 0x2D, enabled.nr_nsa, 8);
  }
  return {qmux::response_to(request, tlvs.take())};
}

Reply nas_get_rf_band_information(const Frame& request, ModemState& state) {
  struct Entry {
    uint8_t interface;
    uint16_t band;
    uint32_t channel;
  };
  std::vector<Entry> entries;
  const Cells c = state.cells_now();
  auto add = [&](uint8_t interface, std::optional<uint16_t> band, uint32_t channel) {
    if (band) entries.push_back({interface, *band, channel});
  };
  if (c.geran) add(kRadioGsm, gsm_active_band(c.geran->arfcn), c.geran->arfcn);
  if (c.umts) add(kRadioUmts, umts_active_band(c.umts->uarfcn), c.umts->uarfcn);
  if (c.lte_intra) {
    const auto band = lte_band_of_earfcn(c.lte_intra->earfcn);
    if (band) add(kRadioLte, lte_active_band(*band), c.lte_intra->earfcn);
  }
  if (c.nr5g) {
    const NrCell& nr = c.nr5g->cells.front();
    add(kRadioNr5g, nr_active_band(nr.band), nr.arfcn);
  }
  TlvBuilder tlvs;
  tlvs.add_result(0);
  // The first list has 16-bit channels: an NR-ARFCN is only in the second.
  std::vector<Entry> short_entries;
  std::copy_if(entries.begin(), entries.end(), std::back_inserter(short_entries),
               [](const Entry& e) { return e.channel <= 0xFFFF; });
  auto& list = tlvs.begin(0x01);
  list.u8(static_cast<uint8_t>(short_entries.size()));
  for (const auto& e : short_entries) {
    list.u8(e.interface);
    list.u16(e.band);
    list.u16(static_cast<uint16_t>(e.channel));
  }
  tlvs.end();
  auto& extended = tlvs.begin(0x11);
  extended.u8(static_cast<uint8_t>(entries.size()));
  for (const auto& e : entries) {
    extended.u8(e.interface);
    extended.u16(e.band);
    extended.u32(e.channel);
  }
  tlvs.end();
  return {qmux::response_to(request, tlvs.take())};
}

Reply nas_get_signal_info(const Frame& request, ModemState& state) {
  const Cells c = state.cells_now();
  TlvBuilder tlvs;
  tlvs.add_result(0);
  if (c.geran) {
    // RX level n is between -111 + n and -110 + n dBm; 63 and above: -48 dBm or more.
    tlvs.begin(0x12).i8(to_i8(-111 + std::min<int32_t>(c.geran->rx_level, 63)));
    tlvs.end();
  }
  if (c.umts) {
    // RSSI is RSCP less Ec/Io; Ec/Io travels in steps of -0.5 dB.
    auto& w = tlvs.begin(0x13);
    w.i8(to_i8(int32_t{c.umts->rscp} - c.umts->ecio));
    w.i16(static_cast<int16_t>(std::clamp<int32_t>(-2 * int32_t{c.umts->ecio}, 0, INT16_MAX)));
    tlvs.end();
  }
  if (c.lte_intra) {
    const auto& cells = c.lte_intra->cells;
    const auto serving = std::find_if(cells.begin(), cells.end(), [&](const LteCell& x) {
      return x.pci == c.lte_intra->serving_cell_id;
    });
    if (serving != cells.end()) {
      auto& w = tlvs.begin(0x14);
      w.i8(to_i8(whole(serving->rssi)));
      w.i8(to_i8(whole(serving->rsrq)));
      w.i16(whole(serving->rsrp));
      w.i16(serving->snr);
      tlvs.end();
    }
  }
  // An NR cell, or the NR leg an LTE cell has not connected: -32768 throughout.
  std::optional<NrCell> nr;
  if (c.nr5g) {
    nr = c.nr5g->cells.front();
    nr->rsrp = whole(nr->rsrp);
    nr->rsrq = whole(nr->rsrq);
  } else if (c.lte_intra && non_standalone(state.scenario.cells)) {
    nr = NrCell{0, 0, 0, 0, kNrNotConnected, kNrNotConnected, kNrNotConnected};
  }
  if (nr) {
    auto& w = tlvs.begin(0x17);
    w.i16(nr->rsrp);
    w.i16(nr->snr);
    tlvs.end();
    tlvs.begin(0x18).i16(nr->rsrq);
    tlvs.end();
  }
  return {qmux::response_to(request, tlvs.take())};
}

Reply nas_network_scan(const Frame& request, ModemState& state) {
  TlvBuilder tlvs;
  tlvs.add_result(0);
  encode_network_scan(state.scenario.scan, state.scenario.networks, state.registered, tlvs);
  return {qmux::response_to(request, tlvs.take()), state.scenario.scan.duration_ms};
}

Reply nas_register_network(const Frame& request, ModemState& state) {
  const auto action = qmux::find_tlv(request.tlvs, kRegisterActionTlv);
  if (!action || action->size() != 1) return failure(request, kErrMissingArgument);
  if ((*action)[0] == kRegisterAutomatic) {
    state.register_automatically();
    return success(request);
  }
  if ((*action)[0] != kRegisterManual) return failure(request, kErrInvalidRegisterAction);
  const auto network = qmux::find_tlv(request.tlvs, kManualNetworkTlv);
  if (!network) return failure(request, kErrMissingArgument);
  WireReader r(*network);
  uint16_t mcc = 0, mnc = 0;
  uint8_t rat = 0;
  if (!r.u16(mcc) || !r.u16(mnc) || !r.u8(rat) || !r.empty())
    return failure(request, kErrMalformed);
  state.register_on(mcc, mnc);
  return success(request);
}

Reply nas_set_system_selection_preference(const Frame& request, ModemState& state) {
  const auto tlvs = tlvs_of(request);
  std::optional<std::span<const uint8_t>> selection;
  std::map<uint8_t, std::span<const uint8_t>> given;
  for (const auto& tlv : tlvs) {
    const PreferenceTlv* row = preference_row(tlv.first);
    if (row && !width_fits(*row, tlv.second)) return failure(request, kErrMalformed);
    if (tlv.first == kNetworkSelectionTlv) selection = tlv.second;
    if (row) given[tlv.first] = tlv.second;
  }
  if (selection && (*selection)[0] != kSelectAutomatic && (*selection)[0] != kSelectManual)
    return failure(request, kErrInvalidArgument);
  uint8_t duration = kPermanent;
  if (const auto it = given.find(kChangeDurationTlv); it != given.end()) duration = it->second[0];
  if (duration != kUntilPowerCycle && duration != kPermanent)
    return failure(request, kErrInvalidArgument);
  const auto bands = requested_bands(given, state);
  if (!bands) return failure(request, kErrInvalidArgument);
  // Unknown types are stepped over, as a modem does with optional TLVs.
  auto store = [&](SelectionPreference& p) {
    for (const auto& [type, value] : given) p.tlvs[type].assign(value.begin(), value.end());
    p.bands = *bands;
  };
  store(state.preference);
  if (duration == kPermanent) {
    // What a permanent change leaves of the bands it does not name is what
    // was permanent before.
    const auto permanent = requested_bands(given, state, &state.permanent_preference.bands);
    for (const auto& [type, value] : given)
      state.permanent_preference.tlvs[type].assign(value.begin(), value.end());
    state.permanent_preference.bands = permanent.value_or(*bands);
  }
  if (selection) {
    WireReader r(*selection);
    uint8_t mode = 0;
    uint16_t mcc = 0, mnc = 0;
    r.u8(mode);
    r.u16(mcc);
    r.u16(mnc);
    if (mode == kSelectManual) {
      state.register_on(mcc, mnc);
    } else {
      state.register_automatically();
    }
  }
  return success(request);
}

Reply nas_cell_location_info(const Frame& request, ModemState& state) {
  TlvBuilder tlvs;
  tlvs.add_result(0);
  encode_cell_location(state.cells_now(), tlvs);
  return {qmux::response_to(request, tlvs.take())};
}

Reply nas_get_channel_lock(const Frame& request, ModemState& state) {
  TlvBuilder tlvs;
  tlvs.add_result(0);
  encode_channel_locks(state.locks, tlvs);
  return {qmux::response_to(request, tlvs.take())};
}

// Validates all three locks before changing any.
Reply nas_set_channel_lock(const Frame& request, ModemState& state) {
  LockValue wcdma, earfcn, pci;
  for (uint16_t error : {read_lock(request, 0x10, 1, wcdma), read_lock(request, 0x11, 2, earfcn),
                         read_lock(request, 0x12, 2, pci)}) {
    if (error) return failure(request, error);
  }
  if (wcdma.present) state.locks.wcdma = {wcdma.status, wcdma.first};
  if (earfcn.present) state.locks.lte_earfcn = {earfcn.status, earfcn.first, earfcn.second};
  if (pci.present) {
    state.locks.lte_pci = {pci.status, pci.first, pci.second};
    state.lte_pci_locked_ms = state.now_ms;
  }
  return success(request);
}

}  // namespace vant::sim
