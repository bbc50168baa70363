// Runs a program to its end and captures what it wrote.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace vant::test {

struct ProcessResult {
  std::string out;         // standard output
  std::string err;         // standard error
  int exit_code = -1;      // -1 unless the program exited
  int term_signal = 0;     // the signal that ended it, 0 if none
  bool timed_out = false;  // killed after the time limit
  std::chrono::milliseconds elapsed{0};

  bool exited_with(int code) const { return !timed_out && term_signal == 0 && exit_code == code; }
};

inline constexpr std::chrono::milliseconds kDefaultRunTimeout{30000};

// Runs argv[0] (a path) with `argv` and collects its standard output and
// error until it ends, killing it after `timeout`. Standard input is
// /dev/null. Processes that the program leaves behind (a daemon it launched)
// may keep the output pipes open: collection ends when the program itself
// has ended and what it wrote has been read.
ProcessResult run_process(const std::vector<std::string>& argv,
                          std::chrono::milliseconds timeout = kDefaultRunTimeout);

}  // namespace vant::test
