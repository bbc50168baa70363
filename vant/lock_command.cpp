#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/held_change.h"
#include "vant/output.h"

namespace vant::cli {
namespace {

int set_held(const LockRequest& request, bool json, const HoldOptions& hold) {
  const LockState previous = read_lock();
  if (!fully_reported(previous))
    throw CommandFailure(kExitModemError,
                         "the modem does not report its whole lock state; nothing was changed");
  HeldChangeSteps steps;
  steps.what = "lock";
  steps.begin = [&](std::chrono::milliseconds revert_after) {
    return begin_lock_change(request, previous, revert_after, lock_label(request));
  };
  LockState last{};
  steps.read = [&] {
    last = read_lock();
    return lock_json(last);
  };
  steps.holds = [&](const Json&) { return holds(last, request); };
  return run_held_change(hold, json, steps);
}

}  // namespace

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
