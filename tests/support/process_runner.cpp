#include "tests/support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "tests/support/child_process.h"

namespace vant::test {

namespace {

constexpr int kPollSliceMs = 10;

// The read end of one output pipe and what came through it.
struct Capture {
  int fd = -1;
  std::string* text = nullptr;
};

// Reads what is available now; false at end of file or on an error.
bool read_available(Capture& capture) {
  std::array<char, 4096> buffer;
  for (;;) {
    const ssize_t n = read(capture.fd, buffer.data(), buffer.size());
    if (n > 0) {
      capture.text->append(buffer.data(), static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

void record_status(int wait_status, ProcessResult& result) {
  if (WIFEXITED(wait_status)) result.exit_code = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.term_signal = WTERMSIG(wait_status);
}

// Waits for output or the end of the child, whichever comes first.
void collect_until_exit(pid_t pid, std::array<Capture, 2>& captures,
                        std::chrono::steady_clock::time_point deadline, ProcessResult& result) {
  std::array<pollfd, 2> fds{};
  for (size_t i = 0; i < captures.size(); ++i) fds[i] = {captures[i].fd, POLLIN, 0};
  for (;;) {
    poll(fds.data(), fds.size(), kPollSliceMs);
    for (size_t i = 0; i < captures.size(); ++i) {
      if (fds[i].fd >= 0 && !read_available(captures[i])) fds[i].fd = -1;
    }
    int wait_status = 0;
    if (waitpid(pid, &wait_status, WNOHANG) == pid) {
      record_status(wait_status, result);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      result.timed_out = true;
      kill_child(pid);
      break;
    }
  }
  // What the program wrote before it ended is in the pipes now.
  for (auto& capture : captures) read_available(capture);
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  ProcessResult result;
  const auto start = std::chrono::steady_clock::now();
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  const pid_t pid = spawn_child(argv, {-1, out_pipe[1], err_pipe[1]});
  close(out_pipe[1]);
  close(err_pipe[1]);
  std::array<Capture, 2> captures{{{out_pipe[0], &result.out}, {err_pipe[0], &result.err}}};
  for (auto& capture : captures) fcntl(capture.fd, F_SETFL, O_NONBLOCK);
  if (pid > 0) collect_until_exit(pid, captures, start + timeout, result);
  for (auto& capture : captures) close(capture.fd);
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return result;
}

}  // namespace vant::test
