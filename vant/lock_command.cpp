#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/output.h"

namespace vant::cli {

int run_lock(const GlobalOptions& global, LockAction action, const LockRequest& request,
             bool json) {
  attach(global);
  if (action != LockAction::kShow) send_lock(request);
  // What the modem holds now, whatever was asked.
  const LockState held = read_lock();
  print_document(lock_json(held), json);
  if (action != LockAction::kShow && !holds(held, request))
    throw CommandFailure(kExitModemError, "the modem accepted the lock but holds another one");
  return kExitOk;
}

}  // namespace vant::cli
