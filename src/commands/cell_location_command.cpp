// The "scan" command: the modem's cell location report for every technology.
#include <cstdio>
#include <cstring>

#include "src/commands.h"
#include "src/commands/command_handlers.h"
#include "vantsdk/cell_location_records.h"

namespace vant {
namespace {

// The report's records live in static storage rather than on a stack, so the
// report runs on any thread and allocates nothing.
CellLocationRecords g_records;

// The request presets every field of an unreported technology to all ones
// except its PLMN. The report does the same for the PLMN, so a technology the
// modem did not report prints "ff ff ff": no real PLMN has an F in its first
// MCC digit.
void preset_plmns(CellLocationRecords& r) {
  std::memset(r.geran.plmn, 0xFF, sizeof r.geran.plmn);
  std::memset(r.umts.plmn, 0xFF, sizeof r.umts.plmn);
  std::memset(r.lteIntra.plmn, 0xFF, sizeof r.lteIntra.plmn);
}

}  // namespace

void print_cell_location_report(FILE* out, CellLocationRequest get) {
  CellLocationInfo info = g_records.request_all();
  preset_plmns(g_records);
  const uint32_t result = get(&info);
  PrintReturnCode(out, result);
  if (result != 0) return;
  std::fprintf(out, "VANT NAS Get Cell Location Info Successful \n");
  print_cell_location(out, info);
}

}  // namespace vant

void PrintCellLocation() {
  vant::print_cell_location_report(stdout, VANTNASGetCellLocationInfo);
}
