// best-cell: lock to the strongest LTE cell the modem hears, check after a
// settle time that the modem serves on it, and put the previous lock back
// when it does not or when the user interrupts.
#include <cstdio>
#include <iostream>

#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/interrupt.h"
#include "vant/output.h"
#include "vant/ranking.h"
#include "vant/serving_sample.h"
#include "vant/units.h"

namespace vant::cli {
namespace {

struct Report {
  Json document;
  int status = kExitOk;
};

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
    return "the cell's RSRP fell to " + Json(from_tenths(*s.rsrp_tenths)).dump() + " dBm";
  return "";
}

// Puts `previous` back and checks that the modem holds it.
void restore(const LockState& previous, Report& report) {
  const LockRequest request = restore_lock_request(previous);
  send_lock(request);
  const LockState held = read_lock();
  report.document["lock"] = lock_json(held);
  if (!holds(held, request))
    throw CommandFailure(kExitModemError, "the modem does not hold the previous lock again");
}

void settle_and_verify(const LteCandidate& best, const BestCellOptions& options,
                       const LockState& previous, Report& report) {
  Json& doc = report.document;
  note("locked to " + cell_name(best) + "; checking it in " +
       json_text(options.settle.count() / 1000.0) + " s");
  std::string failure;
  if (sleep_unless_interrupted(options.settle)) {
    try {
      const ServingSample sample = serving_sample(*read_cells());
      doc["serving"] = serving_sample_json(sample);
      failure = verification_failure(sample, best, options.min_rsrp_dbm);
    } catch (const CommandFailure& error) {
      failure = error.what();
    }
  }
  if (const int signal = interrupt_signal(); signal != 0) {
    doc["outcome"] = "interrupted";
    doc["reason"] = "interrupted by signal " + std::to_string(signal);
    report.status = kExitInterrupted + signal;
  } else if (!failure.empty()) {
    doc["outcome"] = "rolled_back";
    doc["reason"] = failure;
    report.status = kExitNoCellKept;
  } else {
    doc["outcome"] = "kept";
    // The check passed; a failed read-back only leaves the lock out.
    try {
      doc["lock"] = lock_json(read_lock());
    } catch (const CommandFailure& error) {
      note(std::string("kept the lock, but could not read it back: ") + error.what());
    }
    return;
  }
  note(doc["reason"].get<std::string>() + "; restoring the previous lock");
  restore(previous, report);
}

void lock_and_verify(const LteCandidate& best, const BestCellOptions& options, Report& report) {
  const LockState previous = read_lock();
  if (!fully_reported(previous))
    throw CommandFailure(kExitModemError,
                         "the modem does not report its whole lock state; nothing was changed");
  report.document["previous_lock"] = lock_json(previous);
  catch_interrupts();
  const LockRequest request = lte_pci_lock_request(best.earfcn, best.pci);
  try {
    send_lock(request);
    if (!holds(read_lock(), request))
      throw CommandFailure(kExitModemError, "the modem did not take the lock");
  } catch (const CommandFailure&) {
    // Whatever the modem did with the request, it must end as it was.
    restore(previous, report);
    throw;
  }
  settle_and_verify(best, options, previous, report);
}

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

void print_outcome(const Json& doc) {
  std::printf("outcome: %s", doc["outcome"].get<std::string>().c_str());
  if (doc.contains("reason")) std::printf(" (%s)", doc["reason"].get<std::string>().c_str());
  std::printf("\n");
  if (doc.contains("previous_lock"))
    std::printf("lock before: %s\n", lock_summary(doc["previous_lock"]).c_str());
  if (doc.contains("lock")) std::printf("lock now: %s\n", lock_summary(doc["lock"]).c_str());
}

}  // namespace

int run_best_cell(const GlobalOptions& global, const BestCellOptions& options) {
  attach(global);
  const auto records = read_cells();
  const auto heard = heard_lte_cells(records->lteIntra, records->lteInter);
  const auto candidates = rank_candidates(heard, options.min_rsrp_dbm);
  Report report;
  report.document = {{"min_rsrp_dbm", options.min_rsrp_dbm},
                     {"settle_s", options.settle.count() / 1000.0},
                     {"heard", heard.size()},
                     {"candidates", candidates_json(candidates)},
                     {"chosen", nullptr}};
  // People see the ranking before the settle time starts.
  if (!options.json) print_candidates(report.document);
  if (options.dry_run) {
    report.document["outcome"] = "dry_run";
  } else if (candidates.empty()) {
    report.document["outcome"] = "no_candidate";
    report.status = kExitNoCellKept;
  } else {
    report.document["chosen"] = {{"earfcn", candidates[0].earfcn}, {"pci", candidates[0].pci}};
    lock_and_verify(candidates[0], options, report);
  }
  if (options.json) {
    std::cout << json_text(report.document, 2) << std::endl;
  } else {
    print_outcome(report.document);
  }
  return report.status;
}

}  // namespace vant::cli
