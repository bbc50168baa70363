// Running vant: an argument vector (no shell), an empty environment, output
// captured up to a bound, and a time-out after which it is ended.
#pragma once

#include <string>
#include <vector>

namespace vant::cgi {

struct RunResult {
  bool started = false;
  bool timed_out = false;
  int exit_status = -1;
  std::string out, err;
};

RunResult run_program(const std::string& path, const std::vector<std::string>& argv, int timeout_s);

// One request at a time per modem and slot (an abstract socket name held for
// the run): the daemon serves three clients, and a page's polls must leave
// room for others. Waits up to wait_ms; false when the slot stayed taken.
class Slot {
 public:
  Slot() = default;
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
  ~Slot();
  bool take(unsigned modem, const char* name, int wait_ms);
  // The socket that holds the slot: a child that keeps it open keeps the slot.
  int descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace vant::cgi
