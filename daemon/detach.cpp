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
  // Whoever started us may have blocked or ignored signals; exec keeps both.
  sigset_t all;
  sigemptyset(&all);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&all, signal);
  sigprocmask(SIG_UNBLOCK, &all, nullptr);
}

}  // namespace vant::daemon
