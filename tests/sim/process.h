// Running programs from the tests: vantsim and qmicli.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace vant::sim::testing {

inline std::string vantsim_path() {
  return std::string(VANT_BIN_DIR) + "/vantsim";
}

// Starts a program with both its output streams going to output_fd, or to
// nowhere when output_fd is -1.
inline pid_t spawn(const std::vector<std::string>& args, int output_fd = -1) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output_fd, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

struct Finished {
  int status = -1;  // as waitpid reports it
  std::string output;
  bool exited_with(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Runs a program to its end and returns what it printed, ending it if it
// takes longer than the limit.
inline Finished run(const std::vector<std::string>& args,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  Finished done;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return done;
  const pid_t pid = spawn(args, pipe_fds[1]);
  close(pipe_fds[1]);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{pipe_fds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      ADD_FAILURE() << args[0] << " did not finish in time";
      if (pid > 0) kill(pid, SIGKILL);
      break;
    }
    char buffer[4096];
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    done.output.append(buffer, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  if (pid > 0) waitpid(pid, &done.status, 0);
  return done;
}

}  // namespace vant::sim::testing
