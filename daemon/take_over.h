// Taking the place of a daemon that already serves the same modem index: a
// supervised daemon (--take-over) ends the one an early client launched, so
// that the supervisor owns the daemon from then on.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "daemon/client_endpoints.h"

namespace vant::daemon {

// How long the running daemon has to answer, and then to end and free its
// names (it waits up to a second for the modem to release its client ids).
inline constexpr std::chrono::milliseconds kTakeOverAnswerWait{2000};
inline constexpr std::chrono::milliseconds kTakeOverEndWait{5000};

// Asks the daemon holding the names of `modem` who it is (an SDK status
// request on a free channel pair; the kernel vouches for the credentials of
// its answer), asks it to terminate when it runs as root or as our own user,
// and binds the names once they are free; `ended` is its process id. False
// with the reason when the holder is another user's, does not answer,
// cannot be reached (every pair taken) or does not let go in time; it is
// left running then (unless it ends late).
bool take_over(unsigned modem, std::optional<ClientEndpoints>& endpoints, pid_t& ended,
               std::string& error);

}  // namespace vant::daemon
