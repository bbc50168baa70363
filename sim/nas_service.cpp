#include <algorithm>

#include "qmux/response.h"
#include "qmux/tlv.h"
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
    {0x2A, Width::counted_words, 0}, {0x2B, Width::fixed, 32},
};

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

}  // namespace

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
  for (const auto& tlv : tlvs) {
    const PreferenceTlv* row = preference_row(tlv.first);
    if (row && !width_fits(*row, tlv.second)) return failure(request, kErrMalformed);
    if (tlv.first == kNetworkSelectionTlv) selection = tlv.second;
  }
  if (selection && (*selection)[0] != kSelectAutomatic && (*selection)[0] != kSelectManual)
    return failure(request, kErrInvalidArgument);
  // Unknown types are stepped over, as a modem does with optional TLVs.
  for (const auto& tlv : tlvs) {
    if (preference_row(tlv.first))
      state.selection_preference[tlv.first].assign(tlv.second.begin(), tlv.second.end());
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
