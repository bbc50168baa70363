// A change that the daemon undoes unless it is confirmed, the way `lock set`
// and `bands set` make it: begin it, read it back, and then either report it
// as pending until its deadline, or, with a check command, keep it or undo it
// after the settle time.
#pragma once

#include <functional>
#include <string>

#include "vant/commands.h"
#include "vant/pending_change.h"

namespace vant::cli {

struct HeldChangeSteps {
  std::string what;  // "lock", "band preference"
  std::function<HeldChange(std::chrono::milliseconds revert_after)> begin;
  // The modem's state now, as the command's document, and whether it shows the change.
  std::function<Json()> read;
  std::function<bool(const Json& state)> holds;
};

// The command's exit status; failures throw a CommandFailure.
int run_held_change(const HoldOptions& hold, bool json, const HeldChangeSteps& steps);

}  // namespace vant::cli
