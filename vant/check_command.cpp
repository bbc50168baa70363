#include "vant/check_command.h"

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "vant/interrupt.h"

namespace vant::cli {
namespace {

constexpr std::chrono::milliseconds kPollSlice{20};

std::string describe_end(int status) {
  if (WIFEXITED(status))
    return "the check exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "the check was killed by signal " + std::to_string(WTERMSIG(status));
  return "the check ended abnormally";
}

[[noreturn]] void exec_check(const std::string& command) {
  setpgid(0, 0);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  // The check runs as a program of its own, with the signals it would have
  // from a shell.
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) signal(s, SIG_DFL);
  execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

}  // namespace

CheckOutcome run_check(const std::string& command, std::chrono::milliseconds limit) {
  const pid_t child = fork();
  if (child < 0) return {false, "the check could not be started"};
  if (child == 0) exec_check(command);
  setpgid(child, child);  // either side may win the race; both ask for the same
  const auto end = std::chrono::steady_clock::now() + limit;
  std::string failure;
  while (true) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {true, ""};
      return {false, describe_end(status)};
    }
    if (done < 0 && errno != EINTR) return {false, "the check could not be waited for"};
    if (interrupt_signal() != 0) {
      failure = "the check was interrupted";
    } else if (std::chrono::steady_clock::now() >= end) {
      failure = "the check did not end within " + std::to_string(limit.count() / 1000) + " s";
    }
    if (!failure.empty()) {
      kill(-child, SIGKILL);
      waitpid(child, &status, 0);
      return {false, failure};
    }
    std::this_thread::sleep_for(kPollSlice);
  }
}

}  // namespace vant::cli
