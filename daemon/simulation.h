// Simulation mode (--simulate, or started as vantsdk-sim): the modem emulator
// runs inside the daemon. A router build carries no emulator and refuses the
// mode with a reason.
#pragma once

#include <memory>
#include <string>

#include "daemon/modem_link.h"

namespace vant::daemon {

// The built-in emulator playing `scenario` (empty: the default modem), as an
// MBIM modem when `mbim`, or null with the reason in `error`. Starts no
// thread, so the daemon may still detach.
std::unique_ptr<LinkSource> make_simulation_source(const std::string& scenario, bool mbim,
                                                   std::string& error);

}  // namespace vant::daemon
