// A daemon started by a test, running in the background until the test ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vant::test {

class DaemonProcess {
 public:
  // Starts argv[0] (a path) with `argv`; its standard output and error are
  // kept for output(). running() tells whether the start worked.
  explicit DaemonProcess(const std::vector<std::string>& argv);
  ~DaemonProcess();
  DaemonProcess(const DaemonProcess&) = delete;
  DaemonProcess& operator=(const DaemonProcess&) = delete;

  // Waits until the daemon of `modem` has bound its presence socket. False
  // when the time passes or the daemon ends first.
  bool wait_for_presence(unsigned modem,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // True while the process has not ended.
  bool running();
  pid_t pid() const { return pid_; }
  // Everything the daemon wrote on standard output and error so far.
  std::string output() const;
  // Asks the daemon to end (SIGTERM), kills it if it does not within
  // `grace`, and returns its wait status (-1 if it was gone already).
  int stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

 private:
  pid_t pid_ = -1;
  int output_fd_ = -1;
  bool reaped_ = false;
  int wait_status_ = -1;
};

}  // namespace vant::test
