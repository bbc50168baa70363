// Changes that the daemon undoes unless they are confirmed: the lock sent as
// one, and the pending change read, confirmed and reverted.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "vant/lock_state.h"
#include "vantsdk/change.h"

namespace vant::cli {

struct HeldChange {
  uint32_t id = 0;
  int64_t deadline_ms = 0;  // wall clock
};

// Sends the lock as a change that the daemon undoes after `revert_after`
// unless it is confirmed; `previous` (every kind reported) is what it restores.
HeldChange begin_lock_change(const LockRequest& request, const LockState& previous,
                             std::chrono::milliseconds revert_after, const std::string& label);

// The pending change, or nothing when none is.
std::optional<PendingChangeInfo> read_pending_change();
void confirm_change(uint32_t id);
// False when the daemon could not restore the previous state yet (it goes on
// trying); other failures throw.
bool revert_change(uint32_t id);

// {"id", "label", "state", "started", "deadline", "seconds_left", "revert_after_s",
//  "restore_attempts", "previous"}
Json pending_json(const PendingChangeInfo& info);
// Seconds since the epoch as an RFC 3339 UTC time.
std::string utc_time(int64_t unix_seconds);

}  // namespace vant::cli
