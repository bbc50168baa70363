#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace vant::test {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_in_child(char* const* argv, const ChildStreams& streams) {
  const int null_fd = open("/dev/null", O_RDWR);
  const int wanted[3] = {streams.stdin_fd, streams.stdout_fd, streams.stderr_fd};
  for (int target = 0; target < 3; ++target) {
    const int source = wanted[target] >= 0 ? wanted[target] : null_fd;
    if (source >= 0 && dup2(source, target) < 0) _exit(127);
  }
  // The test's own SIGCHLD disposition is not the program's business.
  signal(SIGCHLD, SIG_DFL);
  execv(argv[0], argv);
  _exit(127);
}

}  // namespace

pid_t spawn_child(const std::vector<std::string>& argv, const ChildStreams& streams) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const auto& word : argv) pointers.push_back(const_cast<char*>(word.c_str()));
  pointers.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) exec_in_child(pointers.data(), streams);
  return pid;
}

bool wait_child(pid_t pid, int timeout_ms, int* wait_status) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const pid_t done = waitpid(pid, wait_status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

void kill_child(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace vant::test
