// vant: the modem for scripts and people. Subcommands read the cell report,
// the lock, the operators and the device, watch the serving cell, and lock to
// the best cell with a check and a way back. JSON on request; errors on
// standard error; distinct exit statuses (exit_status.h).
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>

#include "vant/commands.h"
#include "vant/duration.h"
#include "vant/exit_status.h"

namespace vant::cli {
namespace {

constexpr unsigned kHighestModem = 11;
constexpr uint32_t kHighestUarfcn = 16383;
constexpr uint32_t kHighestEarfcn = 262143;
constexpr uint32_t kHighestPci = 503;

const CLI::Validator kDuration(
    [](std::string& text) {
      return parse_duration(text) ? std::string() : "not a duration such as 5s, 500ms or 2m";
    },
    "DURATION");

// The metrics file goes into a directory that exists.
const CLI::Validator kFileInDirectory(
    [](std::string& path) {
      const size_t slash = path.rfind('/');
      const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
      struct stat st {};
      if (path.empty() || path.back() == '/') return std::string("not a file name");
      if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "no directory " + dir + " to write it in";
      return std::string();
    },
    "FILE");

std::chrono::milliseconds duration_of(const std::string& text) {
  return *parse_duration(text);
}

struct Options {
  GlobalOptions global;
  bool json = false;
  LockAction lock_action = LockAction::kShow;
  uint32_t numbers[2] = {0, 0};
  std::function<LockRequest()> lock_request = clear_lock_request;
  std::string interval = "5s", settle = "20s";
  std::string revert_after, lock_settle = "20s";
  HoldOptions hold;
  BandsOptions bands;
  WatchOptions watch;
  BestCellOptions best_cell;
};

void add_json_flag(CLI::App* command, Options& o, const char* what) {
  command->add_flag("--json", o.json, std::string("print ") + what + " as JSON (docs/json.md)");
}

// --revert-after, --check and --settle of a lock change.
void add_hold_options(CLI::App* command, Options& o) {
  command
      ->add_option("--revert-after", o.revert_after,
                   "let the daemon undo the change after DURATION unless `vant confirm` keeps it")
      ->check(kDuration);
  command->add_option("--check", o.hold.check,
                      "after the settle time run CMD (with /bin/sh); keep the change only if it "
                      "exits 0, else undo it");
  command->add_option("--settle", o.lock_settle, "time before the check (default 20s)")
      ->check(kDuration);
}

void add_lock_commands(CLI::App& app, Options& o) {
  auto* lock = app.add_subcommand("lock", "show, set or clear the channel lock");
  add_json_flag(lock, o, "the lock the modem holds");
  lock->require_subcommand(0, 1);
  lock->add_subcommand("show", "show the lock the modem holds (the default)");
  auto* set = lock->add_subcommand("set", "lock, then read back what the modem holds");
  set->require_subcommand(1);
  auto* clear = lock->add_subcommand("clear", "unlock all three kinds");
  clear->callback([&o] { o.lock_action = LockAction::kClear; });
  add_hold_options(clear, o);
  auto* wcdma = set->add_subcommand("wcdma", "lock to one WCDMA channel");
  wcdma->add_option("UARFCN", o.numbers[0])->required()->check(CLI::Range(0u, kHighestUarfcn));
  wcdma->callback([&o] { o.lock_request = [&o] { return wcdma_lock_request(o.numbers[0]); }; });
  auto* pair = set->add_subcommand("lte-earfcn", "lock to an LTE channel pair (clears WCDMA)");
  pair->add_option("EARFCN0", o.numbers[0])->required()->check(CLI::Range(0u, kHighestEarfcn));
  pair->add_option("EARFCN1", o.numbers[1])->required()->check(CLI::Range(0u, kHighestEarfcn));
  pair->callback([&o] {
    o.lock_request = [&o] { return lte_earfcn_lock_request(o.numbers[0], o.numbers[1]); };
  });
  auto* cell = set->add_subcommand("lte-pci", "lock to one LTE cell (clears the channel pair)");
  cell->add_option("EARFCN", o.numbers[0])->required()->check(CLI::Range(0u, kHighestEarfcn));
  cell->add_option("PCI", o.numbers[1])->required()->check(CLI::Range(0u, kHighestPci));
  cell->callback(
      [&o] { o.lock_request = [&o] { return lte_pci_lock_request(o.numbers[0], o.numbers[1]); }; });
  for (CLI::App* kind : {wcdma, pair, cell}) add_hold_options(kind, o);
  set->callback([&o] { o.lock_action = LockAction::kSet; });
}

void add_change_commands(CLI::App& app, Options& o) {
  add_json_flag(app.add_subcommand("pending", "the change the daemon undoes unless confirmed"), o,
                "the pending change");
  add_json_flag(app.add_subcommand("confirm", "keep the pending change"), o, "what was kept");
  add_json_flag(app.add_subcommand("revert", "undo the pending change now"), o, "what was undone");
}

CLI::Validator band_list(bool nr) {
  return CLI::Validator(
      [nr](std::string& text) { return band_list_problem(text, nr).value_or(""); }, "LIST");
}

void add_bands_commands(CLI::App& app, Options& o) {
  auto* bands = app.add_subcommand("bands", "the LTE and NR5G bands: supported, enabled, set");
  add_json_flag(bands, o, "the bands");
  bands->require_subcommand(0, 1);
  bands->add_subcommand("show", "the supported and enabled bands of each kind (the default)");
  auto* set = bands->add_subcommand("set", "enable these bands (others of the kind off)");
  set->add_option("--lte", o.bands.lte, "LTE bands, such as 1,3,7-8")->check(band_list(false));
  auto* nr =
      set->add_option("--nr", o.bands.nr, "NR5G bands for both SA and NSA")->check(band_list(true));
  set->add_option("--nr-sa", o.bands.nr_sa, "NR5G standalone bands")
      ->check(band_list(true))
      ->excludes(nr);
  set->add_option("--nr-nsa", o.bands.nr_nsa, "NR5G non-standalone bands")
      ->check(band_list(true))
      ->excludes(nr);
  set->callback([&o] {
    o.bands.action = BandsAction::kSet;
    if (o.bands.lte.empty() && o.bands.nr.empty() && o.bands.nr_sa.empty() &&
        o.bands.nr_nsa.empty())
      throw CLI::ValidationError("bands set", "give --lte, --nr, --nr-sa or --nr-nsa");
  });
  auto* reset = bands->add_subcommand("reset", "enable every supported band");
  reset->callback([&o] { o.bands.action = BandsAction::kReset; });
  for (CLI::App* change : {set, reset}) {
    add_hold_options(change, o);
    add_json_flag(change, o, "the bands the modem holds afterwards");
  }
}

// The check needs time inside the hold: the settle time, then up to a minute.
std::string hold_problem(const HoldOptions& hold) {
  if (hold.check.empty() || hold.revert_after.count() == 0) return "";
  if (hold.revert_after < hold.settle + kHoldMargin + std::chrono::seconds(1))
    return "--revert-after must exceed --settle by more than 15s to leave time for --check";
  return "";
}

void add_watch_command(CLI::App& app, Options& o) {
  auto* watch = app.add_subcommand("watch", "poll the serving cell and its signal");
  watch->add_option("--interval", o.interval, "time between polls (default 5s)")->check(kDuration);
  watch->add_option("--count", o.watch.count, "stop after N polls (default: until interrupted)")
      ->check(CLI::Range(1u, 1000000000u));
  watch->add_flag("--json-lines", o.watch.json_lines, "print one JSON object per poll");
  watch
      ->add_option("--prometheus", o.watch.prometheus_file,
                   "write each poll to FILE in the Prometheus text format, atomically")
      ->check(kFileInDirectory);
}

void add_best_cell_command(CLI::App& app, Options& o) {
  auto* best =
      app.add_subcommand("best-cell", "lock to the strongest LTE cell, check it, undo if it fails");
  best->add_flag("--dry-run", o.best_cell.dry_run, "only rank the cells");
  best->add_option("--min-rsrp", o.best_cell.min_rsrp_dbm,
                   "lowest RSRP in dBm a cell may have (default -110)")
      ->check(CLI::Range(-140.0, -44.0));
  best->add_option("--settle", o.settle, "time to wait before checking the lock (default 20s)")
      ->check(kDuration);
  best->add_option("--check", o.best_cell.check,
                   "after the settle time run CMD (with /bin/sh) too; keep the lock only if it "
                   "exits 0");
  add_json_flag(best, o, "the candidates and the outcome");
}

int run(CLI::App& app, Options& o) {
  const auto chosen = app.get_subcommands().front()->get_name();
  if (chosen == "cells") return run_cells(o.global, o.json);
  if (chosen == "lock" || chosen == "bands") {
    if (!o.revert_after.empty()) o.hold.revert_after = duration_of(o.revert_after);
    o.hold.settle = duration_of(o.lock_settle);
    if (const std::string problem = hold_problem(o.hold); !problem.empty()) {
      std::fprintf(stderr, "vant: %s\n", problem.c_str());
      return kExitBadArguments;
    }
    if (chosen == "bands") {
      o.bands.hold = o.hold;
      return run_bands(o.global, o.bands, o.json);
    }
    return run_lock(o.global, o.lock_action, o.lock_request(), o.json, o.hold);
  }
  if (chosen == "signal") return run_signal(o.global, o.json);
  if (chosen == "pending") return run_pending(o.global, o.json);
  if (chosen == "confirm") return run_confirm(o.global, o.json);
  if (chosen == "revert") return run_revert(o.global, o.json);
  if (chosen == "operators") return run_operators(o.global, o.json);
  if (chosen == "device") return run_device(o.global, o.json);
  if (chosen == "watch") {
    o.watch.interval = duration_of(o.interval);
    return run_watch(o.global, o.watch);
  }
  o.best_cell.settle = duration_of(o.settle);
  o.best_cell.json = o.json;
  return run_best_cell(o.global, o.best_cell);
}

}  // namespace
}  // namespace vant::cli

int main(int argc, char** argv) {
  using namespace vant::cli;
  Options o;
  CLI::App app{"vant: the cellular modem for scripts and people.", "vant"};
  app.footer(
      "Exit status: 0 success; 1 modem or QMI error; 2 bad arguments; 3 daemon or modem "
      "unreachable;\n4 no new lock kept (best-cell, or a failed --check); 5 a local file could "
      "not be written;\n128+N interrupted by signal N.");
  app.fallthrough();
  app.require_subcommand(1);
  app.add_option("-d,--modem", o.global.modem, "modem index 0 to 11 (default 0)")
      ->check(CLI::Range(0u, kHighestModem));
  app.add_option("-s,--sdk-path", o.global.sdk_path,
                 "the daemon to start when none runs (default /usr/sbin/vantsdk)")
      ->check([](const std::string& path) { return path.empty() ? "empty path" : ""; });
  add_json_flag(app.add_subcommand("cells", "the serving and neighbour cells of every technology"),
                o, "the cells");
  add_lock_commands(app, o);
  add_json_flag(app.add_subcommand("operators", "scan for networks (up to five minutes)"), o,
                "the operators");
  add_json_flag(app.add_subcommand("device", "the modem's node, model, firmware and IMEI"), o,
                "the device");
  add_watch_command(app, o);
  add_best_cell_command(app, o);
  add_change_commands(app, o);
  add_bands_commands(app, o);
  add_json_flag(app.add_subcommand("signal", "signal quality per technology, SINR included"), o,
                "the signal");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kExitOk : kExitBadArguments;
  }
  try {
    return run(app, o);
  } catch (const CommandFailure& failure) {
    std::fprintf(stderr, "vant: %s\n", failure.what());
    return failure.status();
  }
}
