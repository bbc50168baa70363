#include "tests/support/daemon_process.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tests/support/abstract_socket.h"
#include "tests/support/child_process.h"
#include "tests/support/time_scale.h"

namespace vant::test {

namespace {
constexpr auto kPresencePoll = std::chrono::milliseconds(20);
}

DaemonProcess::DaemonProcess(const std::vector<std::string>& argv) {
  // An in-memory file rather than a pipe: nobody has to drain it while the
  // daemon runs, and it can be read at any time.
  output_fd_ = memfd_create("daemon-output", MFD_CLOEXEC);
  pid_ = spawn_child(argv, {-1, output_fd_, output_fd_});
}

DaemonProcess::~DaemonProcess() {
  stop(std::chrono::milliseconds(500));
  if (output_fd_ >= 0) close(output_fd_);
}

bool DaemonProcess::running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    reaped_ = true;
    wait_status_ = status;
    return false;
  }
  return true;
}

bool DaemonProcess::wait_for_presence(unsigned modem, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + scaled(timeout);
  const std::string name = presence_socket_name(modem);
  while (running()) {
    if (abstract_name_bound(name)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPresencePoll);
  }
  return false;
}

std::string DaemonProcess::output() const {
  std::string text;
  if (output_fd_ < 0) return text;
  char buffer[4096];
  off_t offset = 0;
  for (;;) {
    const ssize_t n = pread(output_fd_, buffer, sizeof buffer, offset);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return text;
}

int DaemonProcess::stop(std::chrono::milliseconds grace) {
  if (!running()) return wait_status_;
  kill(pid_, SIGTERM);
  int status = 0;
  if (!wait_child(pid_, static_cast<int>(grace.count()), &status)) {
    kill(pid_, SIGKILL);
    wait_child(pid_, 5000, &status);
  }
  reaped_ = true;
  wait_status_ = status;
  return status;
}

}  // namespace vant::test
