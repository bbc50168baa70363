// Starting the daemon's and the emulator's executables from a test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vant::daemon::testing {

struct Finished {
  int status = -1;     // exit status, or -1 when it did not exit normally in time
  std::string output;  // standard output and error together
};

class Process {
 public:
  // Starts program (a path) with args and an empty environment; its standard
  // output and error go to a pipe that output() reads.
  explicit Process(const std::string& program, const std::vector<std::string>& args);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  // Waits for the process to exit; -1 after the time-out.
  int wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Reads the pipe until every writer closed it; nothing after the time-out.
  std::optional<std::string> read_to_end(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  bool reaped_ = false;
};

// Runs to completion.
Finished run_program(const std::string& program, const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

std::string bin(const std::string& name);

}  // namespace vant::daemon::testing
