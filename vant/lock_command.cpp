#include "vant/check_command.h"
#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/interrupt.h"
#include "vant/output.h"
#include "vant/pending_change.h"

namespace vant::cli {
namespace {

void note(const std::string& text) {
  std::fprintf(stderr, "vant: %s\n", text.c_str());
  std::fflush(stderr);
}

// The check decides: kept when it passes, undone by the daemon now otherwise.
int settle_and_check(const HeldChange& held, const HoldOptions& hold, bool json) {
  note("checking the change in " + json_text(hold.settle.count() / 1000.0) +
       " s with: " + hold.check);
  CheckOutcome check{false, "the check was interrupted"};
  if (sleep_unless_interrupted(hold.settle))
    check = run_check(hold.check, default_hold(hold) - hold.settle - kHoldMargin);
  const int signal = interrupt_signal();
  Json doc;
  if (check.passed && signal == 0) {
    confirm_change(held.id);
    doc = lock_json(read_lock());
    doc["pending"] = nullptr;
    doc["check"] = {{"passed", true}};
    print_document(doc, json);
    return kExitOk;
  }
  note(check.failure + "; restoring the previous lock");
  const bool restored = revert_change(held.id);
  doc = lock_json(read_lock());
  doc["pending"] = restored ? Json(nullptr) : pending_json(*read_pending_change());
  doc["check"] = {{"passed", false}, {"reason", check.failure}};
  print_document(doc, json);
  if (!restored)
    throw CommandFailure(kExitModemError,
                         "the previous lock is not back yet; the daemon goes on restoring it");
  return signal != 0 ? kExitInterrupted + signal : kExitNoCellKept;
}

int set_held(const LockRequest& request, bool json, const HoldOptions& hold) {
  const LockState previous = read_lock();
  if (!fully_reported(previous))
    throw CommandFailure(kExitModemError,
                         "the modem does not report its whole lock state; nothing was changed");
  if (!hold.check.empty()) catch_interrupts();
  const auto revert_after = hold.revert_after.count() != 0 ? hold.revert_after : default_hold(hold);
  const HeldChange held = begin_lock_change(request, previous, revert_after, lock_label(request));
  const LockState state = read_lock();
  if (!holds(state, request)) {
    revert_change(held.id);
    print_document(lock_json(read_lock()), json);
    throw CommandFailure(kExitModemError,
                         "the modem accepted the lock but holds another one; the previous lock "
                         "was put back");
  }
  if (!hold.check.empty()) return settle_and_check(held, hold, json);
  Json doc = lock_json(state);
  const auto pending = read_pending_change();
  doc["pending"] = pending ? pending_json(*pending) : Json(nullptr);
  print_document(doc, json);
  return kExitOk;
}

}  // namespace

std::chrono::milliseconds default_hold(const HoldOptions& hold) {
  if (hold.revert_after.count() != 0) return hold.revert_after;
  return hold.settle + kCheckLimit + kHoldMargin;
}

int run_lock(const GlobalOptions& global, LockAction action, const LockRequest& request, bool json,
             const HoldOptions& hold) {
  attach(global);
  const bool held = hold.revert_after.count() != 0 || !hold.check.empty();
  if (action != LockAction::kShow && held) return set_held(request, json, hold);
  if (action != LockAction::kShow) send_lock(request);
  // What the modem holds now, whatever was asked.
  const LockState held_now = read_lock();
  print_document(lock_json(held_now), json);
  if (action != LockAction::kShow && !holds(held_now, request))
    throw CommandFailure(kExitModemError, "the modem accepted the lock but holds another one");
  return kExitOk;
}

}  // namespace vant::cli
