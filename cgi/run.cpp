#include "cgi/run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace vant::cgi {
namespace {

constexpr size_t kOutputLimit = 1 << 20;
constexpr size_t kErrorLimit = 16 << 10;

long long now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

[[noreturn]] void exec_child(const std::string& path, const std::vector<std::string>& argv, int out,
                             int err) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);  // a CGI ended by the web server ends its vant
  const int null = open("/dev/null", O_RDONLY);
  if (null < 0 || dup2(null, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
  for (int fd = 3; fd < 1024; ++fd) close(fd);  // what the web server may have left open
  signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  char locale[] = "LC_ALL=C";
  char* environment[] = {locale, nullptr};
  execve(path.c_str(), args.data(), environment);
  _exit(127);
}

}  // namespace

RunResult run_program(const std::string& path, const std::vector<std::string>& argv,
                      int timeout_s) {
  RunResult result;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]), close(out[1]);
    return result;
  }
  const pid_t child = fork();
  if (child == 0) exec_child(path, argv, out[1], err[1]);
  close(out[1]), close(err[1]);
  if (child < 0) {
    close(out[0]), close(err[0]);
    return result;
  }
  result.started = true;
  const long long deadline = now_ms() + timeout_s * 1000LL;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  const size_t limits[2] = {kOutputLimit, kErrorLimit};
  int open_pipes = 2;
  while (open_pipes > 0) {
    const long long left = deadline - now_ms();
    if (left <= 0) {
      result.timed_out = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        const size_t room = limits[i] - std::min(limits[i], sinks[i]->size());
        sinks[i]->append(buffer, std::min(static_cast<size_t>(n), room));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  for (const pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
  if (result.timed_out) kill(child, SIGTERM);
  int status = 0;
  // After SIGTERM vant has two seconds to let go of the daemon's channel.
  for (int waited = 0;; waited += 50) {
    const pid_t ended = waitpid(child, &status, result.timed_out ? WNOHANG : 0);
    if (ended == child) break;
    if (ended < 0 && errno != EINTR) return result;
    if (waited >= 2000) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    if (ended == 0) usleep(50000);
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_status = 128 + WTERMSIG(status);
  if (result.exit_status == 127 && result.out.empty() && result.err.empty()) result.started = false;
  return result;
}

Slot::~Slot() {
  if (fd_ >= 0) close(fd_);
}

bool Slot::take(unsigned modem, const char* name, int wait_ms) {
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const int length = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1,
                                   "vant-cgi.modem%u.%s", modem, name);
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  for (int waited = 0;; waited += 50) {
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), size) == 0) return true;
    if (errno != EADDRINUSE || waited >= wait_ms) return false;
    usleep(50000);
  }
}

}  // namespace vant::cgi
