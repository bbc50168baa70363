// The operator scan: ask the modem for the visible networks, join its three
// parallel lists by position into the operator table and print one line per
// operator.
#include <cinttypes>
#include <cstdio>

#include "src/commands.h"
#include "src/commands/command_handlers.h"
#include "vantsdk/result_codes.h"

namespace vant {
namespace {

// The scan buffers: process-wide and zero-filled at start, so that the
// descriptions the operator table points to stay valid after the scan.
struct ScanBuffers {
  uint8_t networkCount;
  uint8_t ratCount;
  uint8_t flagCount;
  ScannedNetwork networks[kMaxOperators];
  NetworkRat rats[kMaxOperators];
  NetworkFlag flags[kMaxOperators];
};

ScanBuffers g_scan;
OperatorTable g_operators;

// Texts of the values the operator line names; any other value is shown with
// its number so that it cannot pass for one of these.
const char* status_text(uint32_t value, const char* const (&names)[3], char (&scratch)[32]) {
  if (value < 3) return names[value];
  std::snprintf(scratch, sizeof scratch, "Unknown (%" PRIu32 ")", value);
  return scratch;
}

OperatorEntry entry_at(int i) {
  const ScannedNetwork& n = g_scan.networks[i];
  return {n.mcc,      n.mnc,         n.serviceStatus,    n.roamingStatus,     n.status45,
          n.status67, n.description, g_scan.rats[i].rat, g_scan.flags[i].flag};
}

void print_operator(FILE* out, int i, const OperatorEntry& e) {
  char roaming[32], rat[32], service[32];
  std::fprintf(out, "%d: %s, %d%d, %s, %s, %s\n", i, e.description, e.mcc, e.mnc,
               roaming_text(e.roamingStatus, roaming), rat_text(e.rat, rat),
               service_text(e.serviceStatus, service));
}

}  // namespace

OperatorTable& operator_table() {
  return g_operators;
}

const char* roaming_text(uint32_t roaming_status, char (&scratch)[32]) {
  static constexpr const char* kNames[3] = {"Unknown", "Home", "Roaming"};
  return status_text(roaming_status, kNames, scratch);
}

const char* service_text(uint32_t service_status, char (&scratch)[32]) {
  static constexpr const char* kNames[3] = {"Unknown", "Serving",
                                            "Not current serving network-available"};
  return status_text(service_status, kNames, scratch);
}

// The radio access technologies a network scan reports, by their QMI numbers.
const char* rat_text(uint32_t rat, char (&scratch)[32]) {
  switch (rat) {
    case 4:
      return "GSM";
    case 5:
      return "UMTS";
    case 8:
      return "LTE";
    case 9:
      return "TD-SCDMA";
    case 12:
      return "NR5G";
    default:
      std::snprintf(scratch, sizeof scratch, "Unknown (%" PRIu32 ")", rat);
      return scratch;
  }
}

int32_t list_operators(FILE* out, ScanRequest scan) {
  g_scan.networkCount = g_scan.ratCount = g_scan.flagCount = kMaxOperators;
  // A response without the scan result word is taken as a completed scan:
  // modems that do not report the word still list what they found.
  uint32_t scan_result = 0;
  NetworkScanResult request{};
  request.networkCount = &g_scan.networkCount;
  request.networks = g_scan.networks;
  request.ratCount = &g_scan.ratCount;
  request.rats = g_scan.rats;
  request.flagCount = &g_scan.flagCount;
  request.flags = g_scan.flags;
  request.scanResult = &scan_result;

  if (const uint32_t result = scan(&request); result != 0) return static_cast<int32_t>(result);
  if (scan_result != 0) return 0;
  // The table has room for kMaxOperators entries: a count above the capacity
  // the request was given is refused rather than trusted.
  if (g_scan.networkCount > kMaxOperators) return static_cast<int32_t>(kBufferTooSmall);
  if (g_scan.networkCount != g_scan.ratCount || g_scan.ratCount != g_scan.flagCount) {
    std::fprintf(out, "scan data mismatched\n");
    return -1;
  }
  g_operators.count = g_scan.networkCount;
  std::fprintf(out, "num: desc carrierid roaming rat serving\n");
  for (int i = 0; i < g_operators.count; ++i) {
    g_operators.entries[i] = entry_at(i);
    print_operator(out, i, g_operators.entries[i]);
  }
  return 0;
}

void scan_operators(FILE* out, ScanRequest scan) {
  const int32_t result = list_operators(out, scan);
  if (result == 0)
    std::fprintf(out, "found %d operators\n", g_operators.count);
  else
    std::fprintf(out, "scan for operator failed, exit code %" PRIu32 "\n",
                 static_cast<uint32_t>(result));
}

}  // namespace vant

int32_t ListOperators() {
  return vant::list_operators(stdout, VANTNASScanNetworks);
}
void ScanOperators() {
  vant::scan_operators(stdout, VANTNASScanNetworks);
}
