// The process runner and the background daemon helper, driven with the shell
// and a stand-in daemon.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/abstract_socket.h"
#include "tests/support/daemon_process.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_dir.h"

namespace vant::test {
namespace {

using namespace std::chrono_literals;

ProcessResult run_shell(const std::string& script, std::chrono::milliseconds timeout = 10s) {
  return run_process({"/bin/sh", "-c", script}, timeout);
}

TEST(RunProcess, CapturesBothStreamsAndTheExitCode) {
  const ProcessResult result = run_shell("printf 'one\\ntwo'; printf 'oops\\n' >&2; exit 3");
  EXPECT_EQ("one\ntwo", result.out);
  EXPECT_EQ("oops\n", result.err);
  EXPECT_TRUE(result.exited_with(3));
  EXPECT_FALSE(result.exited_with(0));
}

TEST(RunProcess, CapturesMoreThanAPipeHolds) {
  const ProcessResult result = run_shell("head -c 300000 /dev/zero; head -c 200000 /dev/zero >&2");
  EXPECT_EQ(300000u, result.out.size());
  EXPECT_EQ(200000u, result.err.size());
  EXPECT_TRUE(result.exited_with(0));
}

TEST(RunProcess, ReportsTheEndingSignal) {
  const ProcessResult result = run_shell("kill -USR1 $$");
  EXPECT_EQ(SIGUSR1, result.term_signal);
  EXPECT_EQ(-1, result.exit_code);
  EXPECT_FALSE(result.exited_with(0));
}

TEST(RunProcess, KillsAProgramThatOverrunsItsTime) {
  const ProcessResult result = run_shell("echo waiting; sleep 30", 300ms);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ("waiting\n", result.out);
  EXPECT_FALSE(result.exited_with(0));
}

TEST(RunProcess, DoesNotWaitForWhatTheProgramLeftRunning) {
  // The background sleep keeps both output pipes open after the shell exits.
  const ProcessResult result = run_shell("sleep 60 & echo started", 20s);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ("started\n", result.out);
  EXPECT_TRUE(result.exited_with(0));
}

TEST(RunProcess, MissingProgramExitsWith127) {
  const ProcessResult result = run_process({"/nonexistent/program"});
  EXPECT_TRUE(result.exited_with(127));
}

TEST(DaemonProcess, WaitsForThePresenceSocket) {
  DaemonProcess daemon({PRESENCE_HOLDER, "5"});
  ASSERT_TRUE(daemon.wait_for_presence(5));
  EXPECT_TRUE(abstract_name_bound(presence_socket_name(5)));
  EXPECT_FALSE(abstract_name_bound(presence_socket_name(4)));
  EXPECT_TRUE(daemon.running());
  const int status = daemon.stop();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_FALSE(daemon.running());
  EXPECT_FALSE(abstract_name_bound(presence_socket_name(5)));
  EXPECT_EQ("bound\n", daemon.output());
}

TEST(DaemonProcess, PresenceOfAnotherModemTimesOut) {
  DaemonProcess daemon({PRESENCE_HOLDER, "5"});
  EXPECT_FALSE(daemon.wait_for_presence(6, 300ms));
  EXPECT_TRUE(daemon.running());
}

TEST(DaemonProcess, DaemonThatEndsEarlyIsNotAwaited) {
  DaemonProcess daemon({"/bin/sh", "-c", "echo no modem >&2; exit 4"});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(daemon.wait_for_presence(0, 20s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "gave up only at the time limit";
  EXPECT_FALSE(daemon.running());
  const int status = daemon.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4);
  EXPECT_EQ("no modem\n", daemon.output());
}

TEST(TempDir, HoldsFilesAndGoesAwayWithThem) {
  std::string path;
  {
    TempDir dir;
    path = dir.path();
    ASSERT_FALSE(path.empty());
    const std::string script = dir.write_file("hello", "#!/bin/sh\necho hi\n", 0755);
    EXPECT_TRUE(dir.contains("hello"));
    EXPECT_FALSE(dir.contains("other"));
    EXPECT_EQ("hi\n", run_process({script}).out);
  }
  EXPECT_NE(0, access(path.c_str(), F_OK));
}

}  // namespace
}  // namespace vant::test
