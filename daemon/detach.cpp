#include "daemon/detach.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "daemon/daemon.h"

namespace vant::daemon {
namespace {

Daemon* g_daemon = nullptr;

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
  return set;
}

void on_stop_signal(int) {
  // request_stop only writes to an eventfd: safe in a signal handler.
  if (g_daemon != nullptr) g_daemon->request_stop();
}

}  // namespace

bool detach_from_caller(std::string& error) {
  const pid_t pid = fork();
  if (pid < 0) {
    error = std::string("cannot fork: ") + std::strerror(errno);
    return false;
  }
  if (pid > 0) _exit(0);
  setsid();
  if (chdir("/") != 0) {
    error = std::string("cannot change to /: ") + std::strerror(errno);
    return false;
  }
  const int null = open("/dev/null", O_RDWR);
  if (null < 0) {
    error = std::string("cannot open /dev/null: ") + std::strerror(errno);
    return false;
  }
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) dup2(null, fd);
  if (null > STDERR_FILENO) close(null);
  return true;
}

void install_stop_signals(Daemon& daemon) {
  g_daemon = &daemon;
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
  // Whoever started us may also have blocked them; exec keeps the mask.
  const sigset_t set = stop_signals();
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void block_stop_signals() {
  const sigset_t set = stop_signals();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace vant::daemon
