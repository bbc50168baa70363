#include "vant/lock_state.h"

#include "vant/exit_status.h"

namespace vant::cli {
namespace {

constexpr uint8_t kLocked = 1;
constexpr uint8_t kUnlocked = 0;
constexpr uint8_t kNotReported = 0xFF;

// A modem may report any channel values beside a lock that is off, so only
// the status of an unlocked kind is compared.
bool same(const WcdmaUarfcnLock& held, const WcdmaUarfcnLock& sent) {
  return held.status == sent.status && (sent.status != kLocked || held.uarfcn == sent.uarfcn);
}
bool same(const LteEarfcnLock& held, const LteEarfcnLock& sent) {
  return held.status == sent.status &&
         (sent.status != kLocked || (held.earfcn0 == sent.earfcn0 && held.earfcn1 == sent.earfcn1));
}
bool same(const LtePciLock& held, const LtePciLock& sent) {
  return held.status == sent.status &&
         (sent.status != kLocked || (held.earfcn == sent.earfcn && held.pci == sent.pci));
}

}  // namespace

LockRequest wcdma_lock_request(uint32_t uarfcn) {
  LockRequest r;
  r.send_wcdma = true;
  r.values.wcdma = {kLocked, uarfcn};
  return r;
}

LockRequest lte_earfcn_lock_request(uint32_t earfcn0, uint32_t earfcn1) {
  LockRequest r;
  r.send_wcdma = r.send_lte_earfcn = true;
  r.values.wcdma = {kUnlocked, 0};
  r.values.lte_earfcn = {kLocked, earfcn0, earfcn1};
  return r;
}

LockRequest lte_pci_lock_request(uint32_t earfcn, uint32_t pci) {
  LockRequest r;
  r.send_lte_earfcn = r.send_lte_pci = true;
  r.values.lte_earfcn = {kUnlocked, 0, 0};
  r.values.lte_pci = {kLocked, earfcn, pci};
  return r;
}

LockRequest clear_lock_request() {
  return restore_lock_request({{kUnlocked, 0}, {kUnlocked, 0, 0}, {kUnlocked, 0, 0}});
}

LockRequest restore_lock_request(const LockState& state) {
  LockRequest r;
  r.send_wcdma = r.send_lte_earfcn = r.send_lte_pci = true;
  r.values = state;
  return r;
}

std::string lock_label(const LockRequest& r) {
  const LockState& v = r.values;
  const auto n = [](uint32_t value) { return " " + std::to_string(value); };
  if (r.send_lte_pci && v.lte_pci.status == kLocked)
    return "lock lte-pci" + n(v.lte_pci.earfcn) + n(v.lte_pci.pci);
  if (r.send_lte_earfcn && v.lte_earfcn.status == kLocked)
    return "lock lte-earfcn" + n(v.lte_earfcn.earfcn0) + n(v.lte_earfcn.earfcn1);
  if (r.send_wcdma && v.wcdma.status == kLocked) return "lock wcdma" + n(v.wcdma.uarfcn);
  return "lock clear";
}

LockState read_lock() {
  LockState state;
  ChannelLock record{&state.wcdma, &state.lte_earfcn, &state.lte_pci};
  check_result(VANTNASKelGetChannelLock(&record), "reading the channel lock");
  return state;
}

void send_lock(LockRequest request) {
  LockState& v = request.values;
  ChannelLock record{request.send_wcdma ? &v.wcdma : nullptr,
                     request.send_lte_earfcn ? &v.lte_earfcn : nullptr,
                     request.send_lte_pci ? &v.lte_pci : nullptr};
  check_result(VANTNASKelSetChannelLock(&record), "setting the channel lock");
}

bool fully_reported(const LockState& s) {
  return s.wcdma.status != kNotReported && s.lte_earfcn.status != kNotReported &&
         s.lte_pci.status != kNotReported;
}

bool holds(const LockState& s, const LockRequest& r) {
  return (!r.send_wcdma || same(s.wcdma, r.values.wcdma)) &&
         (!r.send_lte_earfcn || same(s.lte_earfcn, r.values.lte_earfcn)) &&
         (!r.send_lte_pci || same(s.lte_pci, r.values.lte_pci));
}

Json lock_json(const LockState& s) {
  const auto kind = [](uint8_t status, Json fields) {
    if (status == kNotReported) return Json(nullptr);
    Json out{{"locked", status == kLocked}};
    out.update(fields);
    return out;
  };
  return {
      {"wcdma", kind(s.wcdma.status, {{"uarfcn", s.wcdma.uarfcn}})},
      {"lte_earfcn", kind(s.lte_earfcn.status,
                          {{"earfcn0", s.lte_earfcn.earfcn0}, {"earfcn1", s.lte_earfcn.earfcn1}})},
      {"lte_pci", kind(s.lte_pci.status, {{"earfcn", s.lte_pci.earfcn}, {"pci", s.lte_pci.pci}})}};
}

}  // namespace vant::cli
