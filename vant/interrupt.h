// Ctrl-C, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE as a request to stop: commands
// that change the modem or run for long check for it and end in order.
#pragma once

#include <chrono>

namespace vant::cli {

// Those signals set a flag instead of ending the process. Calls in
// progress are restarted, so a request to the modem completes.
void catch_interrupts();
// The signal that asked to stop, or 0.
int interrupt_signal();
// Sleeps for `duration`; false when an interrupt came first.
bool sleep_unless_interrupted(std::chrono::milliseconds duration);

}  // namespace vant::cli
