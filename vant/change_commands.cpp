// pending, confirm and revert: the change the daemon holds for this modem.
#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/output.h"
#include "vant/pending_change.h"

namespace vant::cli {
namespace {

PendingChangeInfo the_pending_change() {
  const auto pending = read_pending_change();
  if (!pending) throw CommandFailure(kExitModemError, "no change is pending");
  return *pending;
}

}  // namespace

int run_pending(const GlobalOptions& global, bool json) {
  attach(global);
  const auto pending = read_pending_change();
  print_document({{"pending", pending ? pending_json(*pending) : Json(nullptr)}}, json);
  return kExitOk;
}

int run_confirm(const GlobalOptions& global, bool json) {
  attach(global);
  const PendingChangeInfo info = the_pending_change();
  confirm_change(info.id);
  print_document({{"confirmed", {{"id", info.id}, {"label", info.label}}}}, json);
  return kExitOk;
}

int run_revert(const GlobalOptions& global, bool json) {
  attach(global);
  const PendingChangeInfo info = the_pending_change();
  const bool restored = revert_change(info.id);
  const auto still = read_pending_change();
  print_document({{"reverted", {{"id", info.id}, {"label", info.label}, {"restored", restored}}},
                  {"pending", still ? pending_json(*still) : Json(nullptr)}},
                 json);
  if (!restored)
    throw CommandFailure(kExitModemError,
                         "the previous state is not back yet; the daemon goes on restoring it");
  return kExitOk;
}

}  // namespace vant::cli
