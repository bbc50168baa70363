#include "vant/held_change.h"

#include <cstdio>

#include "vant/check_command.h"
#include "vant/exit_status.h"
#include "vant/interrupt.h"
#include "vant/output.h"

namespace vant::cli {
namespace {

void note(const std::string& text) {
  std::fprintf(stderr, "vant: %s\n", text.c_str());
  std::fflush(stderr);
}

// The check decides: kept when it passes, undone by the daemon now otherwise.
int settle_and_check(const HeldChange& held, const HoldOptions& hold, bool json,
                     const HeldChangeSteps& steps) {
  note("checking the change in " + json_text(hold.settle.count() / 1000.0) +
       " s with: " + hold.check);
  CheckOutcome check{false, "the check was interrupted"};
  if (sleep_unless_interrupted(hold.settle))
    check = run_check(hold.check, default_hold(hold) - hold.settle - kHoldMargin);
  const int signal = interrupt_signal();
  if (check.passed && signal == 0) {
    confirm_change(held.id);
    Json doc = steps.read();
    doc["pending"] = nullptr;
    doc["check"] = {{"passed", true}};
    print_document(doc, json);
    return kExitOk;
  }
  note(check.failure + "; restoring the previous " + steps.what);
  const bool restored = revert_change(held.id);
  Json doc = steps.read();
  const auto still = read_pending_change();
  doc["pending"] = still ? pending_json(*still) : Json(nullptr);
  doc["check"] = {{"passed", false}, {"reason", check.failure}};
  print_document(doc, json);
  if (!restored)
    throw CommandFailure(kExitModemError, "the previous " + steps.what +
                                              " is not back yet; the daemon goes on restoring it");
  return signal != 0 ? kExitInterrupted + signal : kExitNoCellKept;
}

}  // namespace

std::chrono::milliseconds default_hold(const HoldOptions& hold) {
  if (hold.revert_after.count() != 0) return hold.revert_after;
  return hold.settle + kCheckLimit + kHoldMargin;
}

int run_held_change(const HoldOptions& hold, bool json, const HeldChangeSteps& steps) {
  if (!hold.check.empty()) catch_interrupts();
  const HeldChange held = steps.begin(default_hold(hold));
  const Json state = steps.read();
  if (!steps.holds(state)) {
    revert_change(held.id);
    print_document(steps.read(), json);
    throw CommandFailure(kExitModemError, "the modem accepted the " + steps.what +
                                              " but holds another one; the previous one was put "
                                              "back");
  }
  if (!hold.check.empty()) return settle_and_check(held, hold, json, steps);
  Json doc = state;
  const auto pending = read_pending_change();
  doc["pending"] = pending ? pending_json(*pending) : Json(nullptr);
  print_document(doc, json);
  return kExitOk;
}

}  // namespace vant::cli
