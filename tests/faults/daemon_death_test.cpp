// A daemon killed while a client waits, and a client killed while the daemon
// works for it.
#include <gtest/gtest.h>

#include <thread>

#include "tests/faults/fault_env.h"
#include "tests/support/child_process.h"

namespace vant::faults {
namespace {

using namespace std::chrono_literals;

struct DeathCase {
  const char* name;
  const char* scenario;  // keeps the request pending for a minute or more
  std::vector<std::string> arguments;
  const char* failure;  // what the command prints for the time-out
};

void PrintTo(const DeathCase& c, std::ostream* out) {
  *out << c.name;
}

class DaemonDeath : public ::testing::TestWithParam<DeathCase> {};

TEST_P(DaemonDeath, IsNoticedWithinSecondsAndTheNextRunStartsAnother) {
  const DeathCase& c = GetParam();
  SimDaemon daemon(c.scenario);
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  ProcessResult run;
  std::thread client([&] { run = vantctl(c.arguments, 90s); });
  // Start-up takes well under a second: the command's request is pending now.
  std::this_thread::sleep_for(3s);
  daemon.kill_hard();
  const auto killed = Clock::now();
  client.join();
  const double to_error = seconds_since(killed);
  report_figure(std::string("daemon killed during ") + c.name + ": time to error", to_error, "s");
  EXPECT_TRUE(run.exited_with(0)) << run.err;
  EXPECT_NE(std::string::npos, (run.out + run.err).find(c.failure)) << run.out << run.err;
  EXPECT_LT(to_error, 5.0);

  const auto relaunch = Clock::now();
  const ProcessResult next = vantctl({"-k"}, 30s);
  report_figure(std::string("daemon killed during ") + c.name + ": next run done after",
                seconds_since(relaunch), "s");
  EXPECT_TRUE(next.exited_with(0)) << next.err;
  EXPECT_NE(std::string::npos, next.err.find("VANTNASKelGetChannelLock returns 0\n")) << next.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DaemonDeath,
    ::testing::Values(
        DeathCase{"cops", "slow-scan", {"-c"}, "scan for operator failed, exit code 57348"},
        DeathCase{
            "getchanlock", "locks-unanswered", {"-k"}, "VANTNASKelGetChannelLock returns 57348"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClientDeath, ANewClientRightAfterAKilledOneGetsOnlyItsOwnAnswers) {
  SimDaemon daemon("slow-locks");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  const ProcessResult clean = vantctl({"-k"}, 30s);
  ASSERT_TRUE(clean.exited_with(0)) << clean.err;
  const Footprint before = footprint(daemon.pid());
  for (int round = 0; round < 3; ++round) {
    const pid_t victim = test::spawn_child(vantctl_argv({"-k"}), {});
    // Past start-up, inside the 1.5 s lock read: its answer comes after the kill.
    std::this_thread::sleep_for(1500ms);
    test::kill_child(victim);
    const auto killed = Clock::now();
    const ProcessResult next = vantctl({"-k"}, 30s);
    report_figure("client killed: next client done after", seconds_since(killed), "s");
    EXPECT_TRUE(next.exited_with(0)) << next.err;
    EXPECT_EQ(clean.err, next.err);
  }
  ASSERT_TRUE(daemon.running()) << daemon.log();
  const Footprint after = footprint(daemon.pid());
  report_footprints("client killed", before, after);
  EXPECT_EQ(before.fds, after.fds) << descriptors_changed(before, after);
}

}  // namespace
}  // namespace vant::faults
