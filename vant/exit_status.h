// The exit statuses of vant, and the failure that ends a command with one.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vant::cli {

enum ExitStatus : int {
  kExitOk = 0,
  kExitModemError = 1,     // the modem refused a request or answered something unusable
  kExitBadArguments = 2,   // the command line was refused; nothing was sent
  kExitUnreachable = 3,    // no daemon, no modem behind it, or no answer in time
  kExitNoCellKept = 4,     // best-cell left no new lock (none eligible, or rolled back)
  kExitLocalFailure = 5,   // a local file could not be written
  kExitInterrupted = 128,  // plus the signal number
};

// The class of a result code of the client library: the daemon's and the
// transport's own failures mean the modem could not be reached; everything
// else (a QMI error, a malformed answer) is the modem's.
int exit_status_for_result(uint32_t result);

// Ends the current command: main prints "vant: <message>" on standard error
// and exits with the status.
class CommandFailure : public std::runtime_error {
 public:
  CommandFailure(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// The result's text and code; for 0xE005 with another user's sockets on the
// daemon's names, that user.
std::string describe_result(uint32_t result);

// Throws a CommandFailure naming `what` and the result's text, unless the
// result is 0.
void check_result(uint32_t result, const std::string& what);

}  // namespace vant::cli
