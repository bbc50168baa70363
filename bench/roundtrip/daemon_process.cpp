#include "bench/roundtrip/daemon_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "daemon/unique_fd.h"
#include "sdk/core/os_services.h"

namespace vant::bench {
namespace {

using Clock = std::chrono::steady_clock;
using daemon::UniqueFd;

constexpr std::chrono::milliseconds kStartLimit{5000};
constexpr std::chrono::milliseconds kEndLimit{3000};
constexpr std::chrono::milliseconds kPollInterval{10};

std::string describe_status(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "changed state (" + std::to_string(status) + ")";
}

// Polls for the child's end until the deadline. True once it has ended; the
// text then says how (a child that StopDaemon already reaped is gone too).
bool reaped_by(pid_t pid, Clock::time_point deadline, std::string& how) {
  for (;;) {
    int status = 0;
    const pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid && (WIFEXITED(status) || WIFSIGNALED(status))) {
      how = describe_status(status);
      return true;
    }
    if (got < 0 && errno == ECHILD) {
      how = "ended (reaped by StopDaemon)";
      return true;
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

// The child's side of the fork: only async-signal-safe calls until exec.
[[noreturn]] void exec_daemon(const std::vector<char*>& argv, int log_fd) {
  const int null_fd = open("/dev/null", O_RDWR);
  if (null_fd >= 0) {
    dup2(null_fd, STDIN_FILENO);
    dup2(null_fd, STDOUT_FILENO);
  }
  if (log_fd >= 0) dup2(log_fd, STDERR_FILENO);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

bool daemon_present(unsigned modem) {
  const UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!probe.valid()) return false;
  const sockaddr_un address = os_daemon_mutex_address(modem);
  return connect(probe.get(), reinterpret_cast<const sockaddr*>(&address),
                 kAbstractAddressLength) == 0;
}

std::optional<SimulatedDaemon> SimulatedDaemon::start(const DaemonConfig& config,
                                                      std::string& error) {
  if (daemon_present(config.modem)) {
    error = "a daemon for modem " + std::to_string(config.modem) +
            " already runs in this network namespace; run the benchmark through "
            "tests/tools/in_netns";
    return std::nullopt;
  }
  std::string simulate = "--simulate";
  if (!config.scenario.empty()) simulate += "=" + config.scenario;
  std::string foreground = "--foreground";
  std::string modem = std::to_string(config.modem);
  std::string program = config.program;
  const std::vector<char*> argv{program.data(), simulate.data(), foreground.data(), modem.data(),
                                nullptr};
  const UniqueFd log(open(config.log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));

  const pid_t pid = fork();
  if (pid < 0) {
    error = std::string("fork: ") + std::strerror(errno);
    return std::nullopt;
  }
  if (pid == 0) exec_daemon(argv, log.get());

  SimulatedDaemon daemon(pid);
  const std::string log_hint = config.log_path == "/dev/null"
                                   ? " (--daemon-log=FILE keeps its log)"
                                   : " (its log: " + config.log_path + ")";
  const Clock::time_point deadline = Clock::now() + kStartLimit;
  std::string how;
  while (!daemon_present(config.modem)) {
    if (reaped_by(pid, Clock::now(), how)) {
      daemon.pid_ = -1;
      error = config.program + " " + how + " before it answered" + log_hint;
      return std::nullopt;
    }
    if (Clock::now() >= deadline) {
      error = config.program + " did not answer within 5 s" + log_hint;
      return std::nullopt;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return daemon;
}

SimulatedDaemon::SimulatedDaemon(SimulatedDaemon&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)) {}

SimulatedDaemon::~SimulatedDaemon() {
  if (pid_ > 0) end(false);
}

std::string SimulatedDaemon::finish() {
  return end(true);
}

std::string SimulatedDaemon::end(bool wait_first) {
  if (pid_ <= 0) return "not running";
  const pid_t pid = std::exchange(pid_, -1);
  std::string how;
  if (wait_first && reaped_by(pid, Clock::now() + kEndLimit, how)) return how;
  kill(pid, SIGTERM);
  if (reaped_by(pid, Clock::now() + kEndLimit, how)) return how + " after SIGTERM";
  kill(pid, SIGKILL);
  reaped_by(pid, Clock::now() + kEndLimit, how);
  return how + " after SIGKILL";
}

}  // namespace vant::bench
