#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/output.h"
#include "vant/radio_report.h"

namespace vant::cli {

std::unique_ptr<CellLocationRecords> read_cells() {
  auto records = std::make_unique<CellLocationRecords>();
  CellLocationInfo request = records->request_all();
  check_result(VANTNASGetCellLocationInfo(&request), "reading the cell location report");
  return records;
}

int run_cells(const GlobalOptions& global, bool json) {
  attach(global);
  Json doc = cell_report_json(*read_cells());
  const auto nr5g = read_nr5g_cell();
  const auto bands = read_active_bands();
  doc["nr5g"] = nr5g ? nr5g_cell_json(*nr5g) : Json();
  doc["bands"] = bands ? active_bands_json(*bands) : Json();
  print_document(doc, json);
  return kExitOk;
}

int run_signal(const GlobalOptions& global, bool json) {
  attach(global);
  const auto signal = read_signal();
  if (!signal) throw CommandFailure(kExitModemError, "the modem does not report signal info");
  print_document(signal_json(*signal), json);
  return kExitOk;
}

}  // namespace vant::cli
