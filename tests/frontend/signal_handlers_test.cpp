// The handlers that vantctl installs, exercised in a child process so that
// the test runner keeps its own signal dispositions.
#include "src/signal_handlers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "tests/support/child_process.h"

namespace {

void mark(int, siginfo_t*, void*) {}
void other_mark(int, siginfo_t*, void*) {}

// Runs `body` in a forked child and returns its exit code, or -1 when it did
// not end within the time (a handler that blocked it, for one). The child
// leads a process group, so that whatever it forked goes with it.
template <typename Body>
int in_child(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    _exit(body());
  }
  setpgid(pid, pid);
  int status = 0;
  if (!vant::test::wait_child(pid, 10000, &status)) {
    kill(-pid, SIGKILL);
    vant::test::kill_child(pid);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SignalHandlers, InstallsWithSiginfoAndNodeferOnly) {
  const int result = in_child([] {
    if (install_signal_handler(SIGUSR2, mark) != 0) return 1;
    struct sigaction installed {};
    sigaction(SIGUSR2, nullptr, &installed);
    if (installed.sa_sigaction != mark) return 2;
    if ((installed.sa_flags & (SA_SIGINFO | SA_NODEFER | SA_RESTART)) != (SA_SIGINFO | SA_NODEFER))
      return 3;
    for (int signal = 1; signal < NSIG; ++signal) {
      if (sigismember(&installed.sa_mask, signal) == 1) return 4;
    }
    return 0;
  });
  EXPECT_EQ(0, result);
}

TEST(SignalHandlers, NullHandlerInstallsNothing) {
  const int result = in_child([] {
    install_signal_handler(SIGUSR2, other_mark);
    if (install_signal_handler(SIGUSR2, nullptr) != 0) return 1;
    struct sigaction installed {};
    sigaction(SIGUSR2, nullptr, &installed);
    return installed.sa_sigaction == other_mark ? 0 : 2;
  });
  EXPECT_EQ(0, result);
}

TEST(SignalHandlers, UncatchableSignalFails) {
  EXPECT_EQ(-1, install_signal_handler(SIGKILL, mark));
}

TEST(SignalHandlers, Usr1IsHarmless) {
  const int result = in_child([] {
    install_front_end_signal_handlers();
    raise(SIGUSR1);
    return 0;
  });
  EXPECT_EQ(0, result);
}

// The daemon is a child of the run that launched it. Stopping and continuing
// it also raises SIGCHLD; the handler must not wait for it to end then, and
// must collect it once it does.
TEST(SignalHandlers, StoppedChildDoesNotBlockAndEndedChildIsCollected) {
  const int result = in_child([] {
    install_front_end_signal_handlers();
    const pid_t daemon = fork();
    if (daemon == 0) {
      raise(SIGSTOP);
      _exit(0);
    }
    int status = 0;
    while (waitpid(daemon, &status, WUNTRACED) < 0) {
      if (errno != EINTR) return 1;
    }
    if (!WIFSTOPPED(status)) return 2;
    kill(daemon, SIGCONT);
    // kill(pid, 0) still finds a zombie; only the handler's wait removes it.
    for (int i = 0; i < 500; ++i) {
      if (kill(daemon, 0) != 0 && errno == ESRCH) return 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 3;
  });
  EXPECT_EQ(0, result);
}

}  // namespace
