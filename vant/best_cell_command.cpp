// best-cell: lock to the strongest LTE cell the modem hears, check after a
// settle time that the modem serves on it (and, with --check, that the
// user's own check passes), and otherwise put the previous lock back.
//
// The lock is a change that the daemon holds for the settle time, the check
// and a margin: if this process dies at any point, the daemon puts the
// previous lock back by itself at the deadline.
//
// Steps: survey -> locked -> kept | rolled_back | interrupted, or restoring
// (the daemon goes on putting the previous lock back) | failed.
#include <cstdio>

#include "vant/check_command.h"
#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/interrupt.h"
#include "vant/output.h"
#include "vant/pending_change.h"
#include "vant/ranking.h"
#include "vant/serving_sample.h"
#include "vant/units.h"

namespace vant::cli {
namespace {

void note(const std::string& text) {
  std::fprintf(stderr, "vant: %s\n", text.c_str());
  std::fflush(stderr);
}

std::string cell_name(const LteCandidate& c) {
  return "EARFCN " + std::to_string(c.earfcn) + " PCI " + std::to_string(c.pci);
}

Json candidates_json(const std::vector<LteCandidate>& candidates) {
  Json list = Json::array();
  for (const LteCandidate& c : candidates) {
    list.push_back({{"earfcn", c.earfcn},
                    {"pci", c.pci},
                    {"rsrp_dbm", from_tenths(c.rsrp_tenths)},
                    {"rsrq_db", from_tenths(c.rsrq_tenths)},
                    {"serving", c.serving}});
  }
  return list;
}

// Empty when the modem serves on `cell` at `min_rsrp_dbm` or better; else why not.
std::string verification_failure(const ServingSample& s, const LteCandidate& cell,
                                 double min_rsrp_dbm) {
  if (s.rat != Rat::kLte) return "the modem has no LTE service";
  if (s.channel != cell.earfcn || s.cell != cell.pci)
    return "the modem serves on EARFCN " + std::to_string(s.channel) + " PCI " +
           std::to_string(s.cell);
  if (!s.rsrp_tenths) return "the modem reports no RSRP for the cell";
  if (from_tenths(*s.rsrp_tenths) < min_rsrp_dbm)
    return "the cell's RSRP fell to " + json_text(from_tenths(*s.rsrp_tenths)) + " dBm";
  return "";
}

// "WCDMA off, LTE pair off, LTE cell EARFCN 5110 PCI 257"
std::string lock_summary(const Json& lock) {
  const auto kind = [&](const char* key, const char* name, const std::string& values) {
    const Json& k = lock[key];
    if (k.is_null()) return std::string(name) + " not reported";
    return std::string(name) + (k["locked"].get<bool>() ? " " + values : " off");
  };
  const auto n = [&](const char* key, const char* field) {
    return lock[key].is_null() ? std::string() : std::to_string(lock[key][field].get<uint32_t>());
  };
  return kind("wcdma", "WCDMA", "UARFCN " + n("wcdma", "uarfcn")) + ", " +
         kind("lte_earfcn", "LTE pair",
              "EARFCN " + n("lte_earfcn", "earfcn0") + " and " + n("lte_earfcn", "earfcn1")) +
         ", " +
         kind("lte_pci", "LTE cell",
              "EARFCN " + n("lte_pci", "earfcn") + " PCI " + n("lte_pci", "pci"));
}

class BestCellRun {
 public:
  explicit BestCellRun(const BestCellOptions& options) : options_(options) {}

  Json& document() { return doc_; }
  int status() const { return status_; }

  // Ranks the cells; the candidates, or none.
  std::vector<LteCandidate> survey() {
    const auto records = read_cells();
    const auto heard = heard_lte_cells(records->lteIntra, records->lteInter);
    auto candidates = rank_candidates(heard, options_.min_rsrp_dbm);
    doc_ = {{"min_rsrp_dbm", options_.min_rsrp_dbm},
            {"settle_s", options_.settle.count() / 1000.0},
            {"heard", heard.size()},
            {"candidates", candidates_json(candidates)},
            {"chosen", nullptr}};
    return candidates;
  }

  void end(const char* outcome, int status, const std::string& reason = "") {
    doc_["outcome"] = outcome;
    if (!reason.empty()) doc_["reason"] = reason;
    status_ = status;
  }

  // Locks, checks, and keeps the lock or puts the previous one back.
  void lock_and_check(const LteCandidate& best) {
    doc_["chosen"] = {{"earfcn", best.earfcn}, {"pci", best.pci}};
    lock(best);
    if (!held_) return;  // the modem did not take it, and has the previous lock again
    const std::string failure = settle_and_check(best);
    if (const int signal = interrupt_signal(); signal != 0) {
      roll_back("interrupted", kExitInterrupted + signal,
                "interrupted by signal " + std::to_string(signal));
    } else if (!failure.empty()) {
      roll_back("rolled_back", kExitNoCellKept, failure);
    } else {
      keep();
    }
  }

  // After a failure once the lock may have been sent: the daemon is asked to
  // put the previous lock back, and the report says what came of it.
  void fail(const CommandFailure& error) {
    if (!held_) return end("failed", error.status(), error.what());
    roll_back("failed", error.status(), error.what());
  }

 private:
  void lock(const LteCandidate& best) {
    previous_ = read_lock();
    if (!fully_reported(previous_))
      throw CommandFailure(kExitModemError,
                           "the modem does not report its whole lock state; nothing was changed");
    doc_["previous_lock"] = lock_json(previous_);
    catch_interrupts();
    const LockRequest request = lte_pci_lock_request(best.earfcn, best.pci);
    HoldOptions hold{std::chrono::milliseconds(0), options_.check, options_.settle};
    if (options_.check.empty()) hold.revert_after = options_.settle + kHoldMargin;
    held_ = begin_lock_change(request, previous_, default_hold(hold), lock_label(request));
    if (!holds(read_lock(), request))
      roll_back("failed", kExitModemError, "the modem did not take the lock");
  }

  std::string settle_and_check(const LteCandidate& best) {
    note("locked to " + cell_name(best) + "; checking it in " +
         json_text(options_.settle.count() / 1000.0) + " s");
    if (!sleep_unless_interrupted(options_.settle)) return "";
    std::string failure;
    try {
      const ServingSample sample = serving_sample(*read_cells());
      doc_["serving"] = serving_sample_json(sample);
      failure = verification_failure(sample, best, options_.min_rsrp_dbm);
    } catch (const CommandFailure& error) {
      failure = error.what();
    }
    if (failure.empty() && !options_.check.empty()) {
      const CheckOutcome check = run_check(options_.check, kCheckLimit);
      doc_["check"] = {{"passed", check.passed}};
      if (!check.passed) doc_["check"]["reason"] = failure = check.failure;
    }
    return failure;
  }

  void keep() {
    confirm_change(held_->id);
    held_.reset();
    end("kept", kExitOk);
    // The check passed; a failed read-back only leaves the lock out.
    try {
      doc_["lock"] = lock_json(read_lock());
    } catch (const CommandFailure& error) {
      note(std::string("kept the lock, but could not read it back: ") + error.what());
    }
  }

  void roll_back(const char* outcome, int status, const std::string& reason) {
    const uint32_t id = held_->id;
    held_.reset();
    end(outcome, status, reason);
    const std::string before = lock_summary(doc_["previous_lock"]);
    note(reason + "; restoring the previous lock");
    try {
      if (!revert_change(id)) {
        end("restoring", kExitModemError, reason);
        note("the previous lock (" + before + ") is not back yet; the daemon goes on restoring it");
      }
      doc_["lock"] = lock_json(read_lock());
    } catch (const CommandFailure& error) {
      end(doc_["outcome"] == "restoring" ? "restoring" : "failed", kExitModemError,
          reason + "; " + error.what());
      note("could not put the previous lock (" + before + ") back now: " + error.what() +
           "; the daemon restores it at the change's deadline");
    }
  }

  const BestCellOptions& options_;
  Json doc_;
  int status_ = kExitOk;
  LockState previous_{};
  std::optional<HeldChange> held_;
};

void print_candidates(const Json& doc) {
  std::printf("candidates with RSRP of at least %.1f dBm: %zu of %d cells heard\n",
              doc["min_rsrp_dbm"].get<double>(), doc["candidates"].size(), doc["heard"].get<int>());
  if (!doc["candidates"].empty())
    std::printf("%4s  %7s  %4s  %8s  %7s\n", "RANK", "EARFCN", "PCI", "RSRP_DBM", "RSRQ_DB");
  int rank = 0;
  for (const Json& c : doc["candidates"]) {
    std::printf("%4d  %7u  %4u  %8.1f  %7.1f%s\n", ++rank, c["earfcn"].get<unsigned>(),
                c["pci"].get<unsigned>(), c["rsrp_dbm"].get<double>(), c["rsrq_db"].get<double>(),
                c["serving"].get<bool>() ? "  serving" : "");
  }
  std::fflush(stdout);
}

void print_outcome(const Json& doc) {
  std::printf("outcome: %s", doc["outcome"].get<std::string>().c_str());
  if (doc.contains("reason")) std::printf(" (%s)", doc["reason"].get<std::string>().c_str());
  std::printf("\n");
  if (doc.contains("previous_lock"))
    std::printf("lock before: %s\n", lock_summary(doc["previous_lock"]).c_str());
  if (doc.contains("lock")) std::printf("lock now: %s\n", lock_summary(doc["lock"]).c_str());
  std::fflush(stdout);
}

}  // namespace

int run_best_cell(const GlobalOptions& global, const BestCellOptions& options) {
  attach(global);
  BestCellRun run(options);
  const auto candidates = run.survey();
  // People see the ranking before the settle time starts.
  if (!options.json) print_candidates(run.document());
  try {
    if (options.dry_run) {
      run.end("dry_run", kExitOk);
    } else if (candidates.empty()) {
      run.end("no_candidate", kExitNoCellKept);
    } else {
      run.lock_and_check(candidates[0]);
    }
  } catch (const CommandFailure& error) {
    run.fail(error);
  }
  if (options.json) {
    print_text(json_text(run.document(), 2) + "\n");
  } else {
    print_outcome(run.document());
  }
  if (run.document()["outcome"] == "failed" || run.document()["outcome"] == "restoring")
    throw CommandFailure(run.status(), run.document()["reason"].get<std::string>());
  return run.status();
}

}  // namespace vant::cli
