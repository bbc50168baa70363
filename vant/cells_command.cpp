#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/output.h"

namespace vant::cli {

std::unique_ptr<CellLocationRecords> read_cells() {
  auto records = std::make_unique<CellLocationRecords>();
  CellLocationInfo request = records->request_all();
  check_result(VANTNASGetCellLocationInfo(&request), "reading the cell location report");
  return records;
}

int run_cells(const GlobalOptions& global, bool json) {
  attach(global);
  print_document(cell_report_json(*read_cells()), json);
  return kExitOk;
}

}  // namespace vant::cli
