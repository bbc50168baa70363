// Leaving whoever started us: the daemon must not hold a caller's terminal
// or output pipe (a "vantctl ... | grep" would never see its pipe close).
#pragma once

#include <string>

namespace vant::daemon {

// Forks; the parent exits with status 0 at once and the child goes on in a
// new session, in /, with standard input, output and error on /dev/null.
// Returns in the child only; false (with the reason) if it could not detach.
bool detach_from_caller(std::string& error);

// Holds back the signals that end the daemon until install_stop_signals, so
// that one arriving while the daemon is being set up ends it cleanly too.
void block_stop_signals();

// Signals that end the daemon call request_stop on it (one held back meanwhile
// is delivered now); SIGPIPE is ignored.
class Daemon;
void install_stop_signals(Daemon& daemon);

}  // namespace vant::daemon
