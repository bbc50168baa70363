// The channel-lock commands: read the lock, set one of the three lock kinds,
// and reset all three.
#include <cinttypes>
#include <cstdio>

#include "src/commands.h"
#include "src/commands/chan_lock_text.h"
#include "src/commands/command_handlers.h"

namespace vant {
namespace {

// The elements of one request, with the record pointing at none of them yet.
struct LockElements {
  WcdmaUarfcnLock wcdma{};
  LteEarfcnLock earfcn{};
  LtePciLock pci{};
  ChannelLock lock{};

  void point_all() { lock = {&wcdma, &earfcn, &pci}; }
};

void print_read_lock(FILE* out, const ChannelLock& lock) {
  if (const WcdmaUarfcnLock* w = lock.wcdmaUarfcn) {
    std::fprintf(out, "\nWCDMA UARFCN:\n");
    std::fprintf(out, "Status: 0x%02X\n", static_cast<unsigned>(w->status));
    std::fprintf(out, "UARFCN: %" PRIu32 "\n", w->uarfcn);
  }
  if (const LteEarfcnLock* e = lock.lteEarfcn) {
    std::fprintf(out, "\nLTE EARFCN:\n");
    std::fprintf(out, "Status: 0x%02X\n", static_cast<unsigned>(e->status));
    std::fprintf(out, "EARFCN Primary: %" PRIu32 "\n", e->earfcn0);
    std::fprintf(out, "EARFCN Secondary: %" PRIu32 "\n", e->earfcn1);
  }
  if (const LtePciLock* p = lock.ltePci) {
    std::fprintf(out, "\nLTE PCI:\n");
    std::fprintf(out, "Status: 0x%02X\n", static_cast<unsigned>(p->status));
    std::fprintf(out, "EARFCN: %" PRIu32 "\n", p->earfcn);
    std::fprintf(out, "PCI: %" PRIu32 "\n", p->pci);
  }
}

// Fills the elements for a parsed text, prints its confirmation line, and
// points the record at what the request sends. A lock of one LTE kind clears
// the kind below it in the same request (sent with status 0 and values 0).
void build_set_request(FILE* out, const ChanLockText& parsed, LockElements& e) {
  const auto as_signed = [](uint32_t v) { return static_cast<int32_t>(v); };
  switch (parsed.form) {
    case ChanLockForm::kWcdmaUarfcn:
      std::fprintf(out, "WcdmaUARFCN with uarfcn = %" PRId32 "\n", as_signed(parsed.first));
      e.wcdma = {1, parsed.first};
      e.lock.wcdmaUarfcn = &e.wcdma;
      break;
    case ChanLockForm::kLteEarfcn:
      std::fprintf(out, "LteEARFCN with earfcn0 = %" PRId32 " earfcn1 = %" PRId32 "\n",
                   as_signed(parsed.first), as_signed(parsed.second));
      e.wcdma = {0, 0};
      e.earfcn = {1, parsed.first, parsed.second};
      e.lock.wcdmaUarfcn = &e.wcdma;
      e.lock.lteEarfcn = &e.earfcn;
      break;
    case ChanLockForm::kLtePci:
      std::fprintf(out, "LteEARFCN with earfcn = %" PRId32 " pci = %" PRId32 "\n",
                   as_signed(parsed.first), as_signed(parsed.second));
      e.earfcn = {0, 0, 0};
      e.pci = {1, parsed.first, parsed.second};
      e.lock.lteEarfcn = &e.earfcn;
      e.lock.ltePci = &e.pci;
      break;
    case ChanLockForm::kInvalid:
      break;
  }
}

}  // namespace

void print_chan_lock_usage(FILE* out) {
  std::fprintf(out, "valid channel lock parameters are:\n");
  std::fprintf(out, "\tWcdmaUARFCN,<uarfcn_number>\n");
  std::fprintf(out, "\tLteEARFCN,<earfcn0_number>,<earfcn1_number>\n");
  std::fprintf(out, "\tLtePCI,<earfcn_number>,<pci_number>\n");
}

void print_chan_lock_parameters(FILE* out, const ChannelLock& lock) {
  std::fprintf(out, "Parameter Set:");
  if (const WcdmaUarfcnLock* w = lock.wcdmaUarfcn) {
    std::fprintf(out, "\nWCDMA UARFCN\n");
    std::fprintf(out, "WCDMA UARFCN Status: %x\n", static_cast<unsigned>(w->status));
    std::fprintf(out, "WCDMA UARFCN Value: %" PRIu32 "\n", w->uarfcn);
  }
  if (const LteEarfcnLock* e = lock.lteEarfcn) {
    std::fprintf(out, "\nLTE EARFCN\n");
    std::fprintf(out, "LTE EARFCN Status: %x\n", static_cast<unsigned>(e->status));
    std::fprintf(out, "LTE Primary EARFCN Value: %" PRIu32 "\n", e->earfcn0);
    std::fprintf(out, "LTE Secondary EARFCN Value: %" PRIu32 "\n", e->earfcn1);
  }
  if (const LtePciLock* p = lock.ltePci) {
    std::fprintf(out, "\nLTE PCI\n");
    std::fprintf(out, "LTE PCI Status: %x\n", static_cast<unsigned>(p->status));
    std::fprintf(out, "LTE EARFCN Value: %" PRIu32 "\n", p->earfcn);
    std::fprintf(out, "LTE PCI Value: %" PRIu32 "\n", p->pci);
  }
}

void get_chan_lock(FILE* out, ChannelLockRequest get) {
  LockElements e;
  e.point_all();
  const uint32_t result = get(&e.lock);
  std::fprintf(out, "VANTNASKelGetChannelLock returns %" PRIu32 "\n", result);
  if (result != 0) return;
  print_read_lock(out, e.lock);
}

void set_chan_lock(FILE* out, char* text, ChannelLockRequest set) {
  const ChanLockText parsed = parse_chan_lock_text(text);
  if (parsed.form == ChanLockForm::kInvalid) {
    print_chan_lock_usage(out);
    return;
  }
  LockElements e;
  build_set_request(out, parsed, e);
  print_chan_lock_parameters(out, e.lock);
  const uint32_t result = set(&e.lock);
  std::fprintf(out, "VANTNASKelSetChannelLock returns %" PRIu32 "\n", result);
}

// Locks and then unlocks all three kinds. The reset names no channel of its
// own, so both requests carry 0 in every channel value: the final request is
// then exactly the clear that "setchanlock" sends for the kinds it unlocks, and
// the printed block shows no stale or made-up channel.
void reset_chan_lock(FILE* out, ChannelLockRequest set) {
  LockElements e;
  e.wcdma = {1, 0};
  e.earfcn = {1, 0, 0};
  e.pci = {1, 0, 0};
  e.point_all();
  print_chan_lock_parameters(out, e.lock);
  PrintReturnCode(out, set(&e.lock));
  e.wcdma.status = e.earfcn.status = e.pci.status = 0;
  PrintReturnCode(out, set(&e.lock));
}

}  // namespace vant

void GetChanLock() {
  vant::get_chan_lock(stderr, VANTNASKelGetChannelLock);
}
void SetChanLock(char* text) {
  vant::set_chan_lock(stderr, text, VANTNASKelSetChannelLock);
}
void ResetChanLock() {
  vant::reset_chan_lock(stderr, VANTNASKelSetChannelLock);
}
void PrintChanLockUsage() {
  vant::print_chan_lock_usage(stderr);
}
