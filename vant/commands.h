// The subcommands of vant. Each attaches to the daemon, does its work and
// returns the exit status; failures end it with a CommandFailure.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "vant/attach.h"
#include "vant/lock_state.h"

namespace vant::cli {

// The cell location report of every technology, on the heap (it is large).
std::unique_ptr<CellLocationRecords> read_cells();

int run_cells(const GlobalOptions& global, bool json);

// A change the daemon undoes unless it is confirmed: after `revert_after`,
// or, with a check command, unless the check passes after `settle`.
struct HoldOptions {
  std::chrono::milliseconds revert_after{0};  // 0: no hold
  std::string check;
  std::chrono::milliseconds settle{20000};
};
// The longest a check command may run, and the hold's margin beyond it.
inline constexpr std::chrono::milliseconds kCheckLimit{60000};
inline constexpr std::chrono::milliseconds kHoldMargin{15000};
// The hold that covers the settle time and the check, with the margin.
std::chrono::milliseconds default_hold(const HoldOptions& hold);

enum class LockAction { kShow, kSet, kClear };
int run_lock(const GlobalOptions& global, LockAction action, const LockRequest& request, bool json,
             const HoldOptions& hold = {});

enum class BandsAction { kShow, kSet, kReset };
struct BandsOptions {
  BandsAction action = BandsAction::kShow;
  std::string lte, nr, nr_sa, nr_nsa;  // band lists as given ("1,3,7-8")
  HoldOptions hold;
};
int run_bands(const GlobalOptions& global, const BandsOptions& options, bool json);
// Why a band list of the command line is refused, if it is.
std::optional<std::string> band_list_problem(const std::string& text, bool nr);

int run_signal(const GlobalOptions& global, bool json);

// The daemon's pending change: shown, kept, or undone now.
int run_pending(const GlobalOptions& global, bool json);
int run_confirm(const GlobalOptions& global, bool json);
int run_revert(const GlobalOptions& global, bool json);

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
  std::string check;
  bool json = false;
};
int run_best_cell(const GlobalOptions& global, const BestCellOptions& options);

}  // namespace vant::cli
