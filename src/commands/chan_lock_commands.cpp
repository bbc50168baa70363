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

// The labels one listing gives the fields of each lock kind. The read-back
// and the parameter block walk the same members in the same order and differ
// only in these texts. Every text but the heading is a format of one value.
struct KindLabels {
  const char* heading;
  const char* status;
  const char* first;
  const char* second;  // nullptr for the WCDMA kind, which has one channel
};

struct ListingLabels {
  KindLabels wcdma, earfcn, pci;
};

constexpr ListingLabels kReadBack = {
    {"\nWCDMA UARFCN:\n", "Status: 0x%02X\n", "UARFCN: %" PRIu32 "\n", nullptr},
    {"\nLTE EARFCN:\n", "Status: 0x%02X\n", "EARFCN Primary: %" PRIu32 "\n",
     "EARFCN Secondary: %" PRIu32 "\n"},
    {"\nLTE PCI:\n", "Status: 0x%02X\n", "EARFCN: %" PRIu32 "\n", "PCI: %" PRIu32 "\n"},
};

constexpr ListingLabels kParameterBlock = {
    {"\nWCDMA UARFCN\n", "WCDMA UARFCN Status: %x\n", "WCDMA UARFCN Value: %" PRIu32 "\n", nullptr},
    {"\nLTE EARFCN\n", "LTE EARFCN Status: %x\n", "LTE Primary EARFCN Value: %" PRIu32 "\n",
     "LTE Secondary EARFCN Value: %" PRIu32 "\n"},
    {"\nLTE PCI\n", "LTE PCI Status: %x\n", "LTE EARFCN Value: %" PRIu32 "\n",
     "LTE PCI Value: %" PRIu32 "\n"},
};

void print_kind(FILE* out, const KindLabels& labels, uint8_t status, uint32_t first,
                uint32_t second) {
  std::fputs(labels.heading, out);
  std::fprintf(out, labels.status, static_cast<unsigned>(status));
  std::fprintf(out, labels.first, first);
  if (labels.second != nullptr) std::fprintf(out, labels.second, second);
}

// Prints a block for each member that is set, in the order WCDMA, LTE EARFCN,
// LTE PCI.
void print_listing(FILE* out, const ChannelLock& lock, const ListingLabels& labels) {
  if (const WcdmaUarfcnLock* w = lock.wcdmaUarfcn)
    print_kind(out, labels.wcdma, w->status, w->uarfcn, 0);
  if (const LteEarfcnLock* e = lock.lteEarfcn)
    print_kind(out, labels.earfcn, e->status, e->earfcn0, e->earfcn1);
  if (const LtePciLock* p = lock.ltePci) print_kind(out, labels.pci, p->status, p->earfcn, p->pci);
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
  print_listing(out, lock, kParameterBlock);
}

void get_chan_lock(FILE* out, ChannelLockRequest get) {
  LockElements e;
  e.point_all();
  const uint32_t result = get(&e.lock);
  std::fprintf(out, "VANTNASKelGetChannelLock returns %" PRIu32 "\n", result);
  if (result != 0) return;
  print_listing(out, e.lock, kReadBack);
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
