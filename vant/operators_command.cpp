#include <cstdio>
#include <vector>

#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/output.h"
#include "vant/progress.h"

namespace vant::cli {
namespace {

// The scan's lists, all at their full capacity: vant takes every network the
// modem reports.
struct ScanLists {
  uint8_t network_count = kScanListCapacity, rat_count = kScanListCapacity,
          flag_count = kScanListCapacity;
  ScannedNetwork networks[kScanListCapacity]{};
  NetworkRat rats[kScanListCapacity]{};
  NetworkFlag flags[kScanListCapacity]{};
  uint32_t scan_result = 0;  // stays 0 (completed) when the modem leaves it out
};

std::string padded(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*u", digits, value);
  return text;
}

Json status_text(uint32_t value, const char* one, const char* two) {
  if (value == 1) return one;
  if (value == 2) return two;
  return nullptr;
}

Json rat_text(uint8_t rat) {
  switch (rat) {
    case 1:
      return "cdma_1x";
    case 2:
      return "cdma_hdr";
    case 4:
      return "gsm";
    case 5:
      return "umts";
    case 8:
      return "lte";
    case 9:
      return "td_scdma";
    default:
      return nullptr;
  }
}

// A list the answer left out has 0 entries; one it carries must match the
// networks entry by entry.
template <class Entry>
bool list_matches(const ScanLists& s, uint8_t count, const Entry* entries) {
  if (count == 0) return true;
  if (count != s.network_count) return false;
  for (int i = 0; i < count; ++i) {
    if (entries[i].mcc != s.networks[i].mcc || entries[i].mnc != s.networks[i].mnc) return false;
  }
  return true;
}

Json operator_json(const ScanLists& s, int i) {
  const ScannedNetwork& n = s.networks[i];
  // The flag says the MNC has a third (PCS) digit.
  const bool three_digit_mnc = (s.flag_count > 0 && s.flags[i].flag == 1) || n.mnc > 99;
  return {{"mcc", padded(n.mcc, 3)},
          {"mnc", padded(n.mnc, three_digit_mnc ? 3 : 2)},
          {"description", n.description},
          {"rat", s.rat_count > 0 ? rat_text(s.rats[i].rat) : Json(nullptr)},
          {"rat_code", s.rat_count > 0 ? Json(s.rats[i].rat) : Json(nullptr)},
          {"serving", status_text(n.serviceStatus, "serving", "available")},
          {"roaming", status_text(n.roamingStatus, "home", "roaming")},
          {"forbidden", n.status45 == 0 ? Json(nullptr) : Json(n.status45 == 1)},
          {"preferred", n.status67 == 0 ? Json(nullptr) : Json(n.status67 == 1)}};
}

}  // namespace

int run_operators(const GlobalOptions& global, bool json) {
  attach(global);
  auto s = std::make_unique<ScanLists>();
  NetworkScanResult request{
      &s->network_count, s->networks,     &s->rat_count, s->rats, &s->flag_count,
      s->flags,          &s->scan_result, nullptr,       0,       nullptr};
  uint32_t result;
  {
    Progress progress("scanning for networks (up to 5 minutes)");
    result = VANTNASScanNetworks(&request);
  }
  check_result(result, "the network scan");
  if (s->scan_result != 0)
    throw CommandFailure(kExitModemError, "the network scan did not complete (result " +
                                              std::to_string(s->scan_result) + ")");
  if (!list_matches(*s, s->rat_count, s->rats) || !list_matches(*s, s->flag_count, s->flags))
    throw CommandFailure(kExitModemError, "the modem's scan lists disagree");
  Json operators = Json::array();
  for (int i = 0; i < s->network_count; ++i) operators.push_back(operator_json(*s, i));
  print_document({{"operators", std::move(operators)}}, json);
  return kExitOk;
}

}  // namespace vant::cli
