// The user's own check of a change (--check CMD): a command run with /bin/sh
// after the settle time, which keeps the change by exiting 0. Its output goes
// to standard error, so that a JSON document on standard output stays whole.
#pragma once

#include <chrono>
#include <string>

namespace vant::cli {

struct CheckOutcome {
  bool passed = false;
  std::string failure;  // why not, when it did not pass
};

// Runs the command for at most `limit` (then its process group is killed).
// An interrupt (see interrupt.h) ends it early, as a failure.
CheckOutcome run_check(const std::string& command, std::chrono::milliseconds limit);

}  // namespace vant::cli
