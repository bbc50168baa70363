#include "qmux/stream.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace vant::qmux {
namespace {

// Waits up to timeout for the child to end; kills it if it does not.
std::optional<int> exit_status_within(pid_t child, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (std::chrono::steady_clock::now() < until) {
    if (waitpid(child, &status, WNOHANG) == child)
      return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return std::nullopt;
}

// A pseudo-terminal whose other side was closed takes bytes until its buffer
// is full, then polls as hung up, never as writable: writing must give up
// instead of waiting (or spinning) for a reader that is not there.
TEST(Stream, WritingToAPseudoTerminalNobodyHoldsGivesUp) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(0, grantpt(master));
  ASSERT_EQ(0, unlockpt(master));
  char name[128];
  ASSERT_EQ(0, ptsname_r(master, name, sizeof name));
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(slave, 0);
  termios raw{};
  ASSERT_EQ(0, tcgetattr(master, &raw));
  cfmakeraw(&raw);
  ASSERT_EQ(0, tcsetattr(master, TCSANOW, &raw));
  close(slave);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  const std::vector<uint8_t> bytes(1 << 20, 0x01);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(write_all(master, bytes) ? 1 : 0);
  const auto status = exit_status_within(child, std::chrono::seconds(5));
  close(master);
  ASSERT_TRUE(status) << "write_all did not return";
  EXPECT_EQ(0, *status) << "write_all claimed to have written to nobody";
}

}  // namespace
}  // namespace vant::qmux
