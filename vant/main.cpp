// vant: the modem for scripts and people. Subcommands read the cell report,
// the lock, the operators and the device, watch the serving cell, and lock to
// the best cell with a check and a way back. JSON on request; errors on
// standard error; distinct exit statuses (exit_status.h).
#include <cstdio>
#include <cstdlib>

#include "vant/command_table.h"
#include "vant/commands.h"
#include "vant/duration.h"
#include "vant/exit_status.h"

namespace vant::cli {
namespace {

int refuse(const std::string& why) {
  std::fprintf(stderr, "%s\n%s\n", why.c_str(), kHelpHint);
  return kExitBadArguments;
}

// The command line checked every value already.
unsigned number_in(const ParsedLine& line, int slot, unsigned otherwise = 0) {
  return line.has(slot)
             ? static_cast<unsigned>(std::strtoull(line.value(slot).c_str(), nullptr, 10))
             : otherwise;
}
std::chrono::milliseconds duration_in(const ParsedLine& line, int slot, const char* otherwise) {
  return *parse_duration(line.has(slot) ? line.value(slot) : otherwise);
}
std::string text_in(const ParsedLine& line, int slot) {
  return line.has(slot) ? line.value(slot) : "";
}
const char* subcommand_of(const ParsedLine& line, size_t depth) {
  return line.path.size() > depth ? line.path[depth]->name : "";
}

// The check needs time inside the hold: the settle time, then up to a minute.
std::string hold_problem(const HoldOptions& hold) {
  if (hold.check.empty() || hold.revert_after.count() == 0) return "";
  if (hold.revert_after < hold.settle + kHoldMargin + std::chrono::seconds(1))
    return "--revert-after must exceed --settle by more than 15s to leave time for --check";
  return "";
}

LockRequest lock_request(const ParsedLine& line) {
  const std::string kind = subcommand_of(line, 3);
  const uint32_t first = number_in(line, kSlotFirstNumber),
                 second = number_in(line, kSlotSecondNumber);
  if (kind == "wcdma") return wcdma_lock_request(first);
  if (kind == "lte-earfcn") return lte_earfcn_lock_request(first, second);
  if (kind == "lte-pci") return lte_pci_lock_request(first, second);
  return clear_lock_request();
}

HoldOptions hold_of(const ParsedLine& line) {
  HoldOptions hold;
  if (line.has(kSlotRevertAfter)) hold.revert_after = duration_in(line, kSlotRevertAfter, "");
  hold.check = text_in(line, kSlotCheck);
  hold.settle = duration_in(line, kSlotSettle, "20s");
  return hold;
}

BandsOptions bands_of(const ParsedLine& line, const std::string& action) {
  BandsOptions bands;
  bands.action = action == "set"     ? BandsAction::kSet
                 : action == "reset" ? BandsAction::kReset
                                     : BandsAction::kShow;
  bands.lte = text_in(line, kSlotLte);
  bands.nr = text_in(line, kSlotNr);
  bands.nr_sa = text_in(line, kSlotNrSa);
  bands.nr_nsa = text_in(line, kSlotNrNsa);
  return bands;
}

int run_lock_or_bands(const GlobalOptions& global, const ParsedLine& line) {
  const bool bands = std::string(subcommand_of(line, 1)) == "bands";
  const std::string action = subcommand_of(line, 2);
  BandsOptions band_options = bands_of(line, action);
  if (bands && band_options.action == BandsAction::kSet && band_options.lte.empty() &&
      band_options.nr.empty() && band_options.nr_sa.empty() && band_options.nr_nsa.empty())
    return refuse("bands set: give --lte, --nr, --nr-sa or --nr-nsa");
  const HoldOptions hold = hold_of(line);
  if (const std::string problem = hold_problem(hold); !problem.empty()) {
    std::fprintf(stderr, "vant: %s\n", problem.c_str());
    return kExitBadArguments;
  }
  const bool json = line.has(kSlotJson);
  if (bands) {
    band_options.hold = hold;
    return run_bands(global, band_options, json);
  }
  const LockAction lock_action = action == "set"     ? LockAction::kSet
                                 : action == "clear" ? LockAction::kClear
                                                     : LockAction::kShow;
  return run_lock(global, lock_action, lock_request(line), json, hold);
}

int run(const ParsedLine& line) {
  GlobalOptions global;
  global.modem = number_in(line, kSlotModem, global.modem);
  if (line.has(kSlotSdkPath)) global.sdk_path = line.value(kSlotSdkPath);
  const bool json = line.has(kSlotJson);
  const std::string chosen = subcommand_of(line, 1);
  if (chosen == "cells") return run_cells(global, json);
  if (chosen == "lock" || chosen == "bands") return run_lock_or_bands(global, line);
  if (chosen == "signal") return run_signal(global, json);
  if (chosen == "pending") return run_pending(global, json);
  if (chosen == "confirm") return run_confirm(global, json);
  if (chosen == "revert") return run_revert(global, json);
  if (chosen == "operators") return run_operators(global, json);
  if (chosen == "device") return run_device(global, json);
  if (chosen == "watch") {
    WatchOptions watch;
    watch.interval = duration_in(line, kSlotInterval, "5s");
    watch.count = number_in(line, kSlotCount);
    watch.json_lines = line.has(kSlotJsonLines);
    watch.prometheus_file = text_in(line, kSlotPrometheus);
    return run_watch(global, watch);
  }
  BestCellOptions best_cell;
  best_cell.dry_run = line.has(kSlotDryRun);
  if (line.has(kSlotMinRsrp))
    best_cell.min_rsrp_dbm = std::strtod(line.value(kSlotMinRsrp).c_str(), nullptr);
  best_cell.settle = duration_in(line, kSlotSettle, "20s");
  best_cell.check = text_in(line, kSlotCheck);
  best_cell.json = json;
  return run_best_cell(global, best_cell);
}

}  // namespace
}  // namespace vant::cli

int main(int argc, char** argv) {
  using namespace vant::cli;
  const ParseOutcome outcome =
      parse_command_line(kVantCommand, kSlots, std::vector<std::string>(argv + 1, argv + argc));
  if (outcome.kind == ParseOutcome::kHelp) {
    std::fputs(outcome.text.c_str(), stdout);
    return kExitOk;
  }
  if (outcome.kind == ParseOutcome::kRefused) return refuse(outcome.text);
  try {
    return run(outcome.line);
  } catch (const CommandFailure& failure) {
    std::fprintf(stderr, "vant: %s\n", failure.what());
    return failure.status();
  }
}
