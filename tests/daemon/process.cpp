#include "tests/daemon/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "tests/support/time_scale.h"

namespace vant::daemon::testing {

std::string bin(const std::string& name) {
  return std::string(VANT_BIN_DIR) + "/" + name;
}

Process::Process(const std::string& program, const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  char* environment[] = {nullptr};
  const int error =
      posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environment);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  output_ = pipe_fds[0];
  if (error != 0) throw std::runtime_error("cannot start " + program);
}

Process::~Process() {
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
}

int Process::wait(std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + vant::test::scaled(timeout);
  while (std::chrono::steady_clock::now() < until) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

std::optional<std::string> Process::read_to_end(std::chrono::milliseconds timeout) {
  std::string text;
  const auto until = std::chrono::steady_clock::now() + vant::test::scaled(timeout);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t n = read(output_, buffer, sizeof buffer);
    if (n <= 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

Finished run_program(const std::string& program, const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout) {
  Process process(program, args);
  Finished finished;
  finished.output = process.read_to_end(timeout).value_or("");
  finished.status = process.wait(timeout);
  return finished;
}

}  // namespace vant::daemon::testing
