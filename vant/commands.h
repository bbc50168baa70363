// The subcommands of vant. Each attaches to the daemon, does its work and
// returns the exit status; failures end it with a CommandFailure.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "vant/attach.h"
#include "vant/lock_state.h"

namespace vant::cli {

// The cell location report of every technology, on the heap (it is large).
std::unique_ptr<CellLocationRecords> read_cells();

int run_cells(const GlobalOptions& global, bool json);

enum class LockAction { kShow, kSet, kClear };
int run_lock(const GlobalOptions& global, LockAction action, const LockRequest& request, bool json);

int run_operators(const GlobalOptions& global, bool json);
int run_device(const GlobalOptions& global, bool json);

struct WatchOptions {
  std::chrono::milliseconds interval{5000};
  unsigned count = 0;  // 0: until interrupted
  bool json_lines = false;
  std::string prometheus_file;
};
int run_watch(const GlobalOptions& global, const WatchOptions& options);

struct BestCellOptions {
  bool dry_run = false;
  double min_rsrp_dbm = -110;
  std::chrono::milliseconds settle{20000};
  bool json = false;
};
int run_best_cell(const GlobalOptions& global, const BestCellOptions& options);

}  // namespace vant::cli
