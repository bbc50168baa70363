// The modem's three channel locks, read, sent and shown.
#pragma once

#include <string>

#include "vant/cell_report.h"
#include "vantsdk/nas.h"

namespace vant::cli {

struct LockState {
  WcdmaUarfcnLock wcdma{};
  LteEarfcnLock lte_earfcn{};
  LtePciLock lte_pci{};
};

// What one set request carries; a kind left false is not sent.
struct LockRequest {
  bool send_wcdma = false, send_lte_earfcn = false, send_lte_pci = false;
  LockState values;
};

LockRequest wcdma_lock_request(uint32_t uarfcn);
// Also clears the WCDMA lock, as vantctl's LteEARFCN form does.
LockRequest lte_earfcn_lock_request(uint32_t earfcn0, uint32_t earfcn1);
// Also clears the LTE EARFCN-pair lock, as vantctl's LtePCI form does.
LockRequest lte_pci_lock_request(uint32_t earfcn, uint32_t pci);
LockRequest clear_lock_request();
// All three kinds exactly as `state` has them.
LockRequest restore_lock_request(const LockState& state);

// What the request does, for people and the daemon's log: "lock lte-pci 2000 41".
std::string lock_label(const LockRequest& request);

// Throw a CommandFailure when the modem does not answer with success.
LockState read_lock();
void send_lock(LockRequest request);

// Whether the modem reported all three kinds (a kind it left out reads 0xFF).
bool fully_reported(const LockState& state);
// Whether `state` holds every kind the request sent, as sent.
bool holds(const LockState& state, const LockRequest& request);

// {"wcdma": {"locked", "uarfcn"}, "lte_earfcn": {"locked", "earfcn0", "earfcn1"},
//  "lte_pci": {"locked", "earfcn", "pci"}}; a kind not reported is null.
Json lock_json(const LockState& state);

}  // namespace vant::cli
