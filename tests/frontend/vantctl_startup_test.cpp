// vantctl starting up against the real daemon, launched by the run itself or
// already running: exact output and exit status.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/frontend/vantctl_runs.h"
#include "tests/support/abstract_socket.h"
#include "tests/support/daemon_process.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_dir.h"

namespace vant::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUsage =
    "valid channel lock parameters are:\n"
    "\tWcdmaUARFCN,<uarfcn_number>\n"
    "\tLteEARFCN,<earfcn0_number>,<earfcn1_number>\n"
    "\tLtePCI,<earfcn_number>,<pci_number>\n";
constexpr const char* kNoDevice = "\nUnable to find device..\n";
constexpr int kStartFailureStatus = 1;

std::string start_failure(const std::string& code, const std::string& reason) {
  return "Failed to start SDK : Exiting App\nFailure Code : " + code +
         "\nFailure Reason : " + reason + "\n";
}

// A daemon that serves clients but finds no modem: its sysfs has no QMI
// control device.
TEST(VantctlStartup, NoModemFailsAfterThreeSearches) {
  TempDir empty_sysfs;
  DaemonProcess daemon({kVantsdk, "--foreground", "--sysfs-root", empty_sysfs.path(), "0"});
  ASSERT_TRUE(daemon.wait_for_presence(0)) << daemon.output();

  const ProcessResult result = vantctl({"-s", kVantsdk, "-k"});
  EXPECT_EQ(std::string(kNoDevice) + kNoDevice + kNoDevice, result.out);
  EXPECT_EQ(start_failure("4294967295", "the SDK daemon sees no modem"), result.err);
  EXPECT_TRUE(result.exited_with(kStartFailureStatus)) << result.exit_code;
  // Three searches with a one-second pause between them.
  EXPECT_GE(result.elapsed, 2s);
  EXPECT_TRUE(daemon.running()) << "a failed start must leave the daemon alone";
}

TEST(VantctlStartup, LaunchesTheDaemonWhenNoneRuns) {
  ASSERT_FALSE(abstract_name_bound(presence_socket_name(0)));
  const ProcessResult result = vantctl({"-s", kVantsdkSim});
  EXPECT_EQ("", result.out);
  EXPECT_EQ(kUsage, result.err);
  EXPECT_TRUE(result.exited_with(0)) << result.exit_code;
  EXPECT_TRUE(abstract_name_bound(presence_socket_name(0))) << "the daemon is left running";

  // The next run attaches: a path that cannot be executed proves nothing is
  // launched.
  const ProcessResult again = vantctl({"-s", "/nonexistent/vantsdk", "--setchanlock="});
  EXPECT_EQ(kUsage, again.err);
  EXPECT_TRUE(again.exited_with(0)) << again.exit_code;
}

TEST(VantctlStartup, AttachesToARunningDaemon) {
  DaemonProcess daemon({kVantsdk, "--foreground", "--simulate", "3"});
  ASSERT_TRUE(daemon.wait_for_presence(3)) << daemon.output();

  const ProcessResult result = vantctl({"-s", "/nonexistent/vantsdk", "--modem", "3", "-k"});
  EXPECT_EQ("", result.out);
  EXPECT_TRUE(result.err.starts_with("VANTNASKelGetChannelLock returns 0\n")) << result.err;
  EXPECT_TRUE(result.exited_with(0)) << result.exit_code;
  EXPECT_TRUE(daemon.running());
}

TEST(VantctlStartup, DaemonPathThatDoesNotExist) {
  const ProcessResult result = vantctl({"-s", "/nonexistent/vantsdk", "-d", "3"});
  EXPECT_EQ("", result.out);
  EXPECT_EQ(
      "KEL API: SDK launch failed: No such file or directory\n"
      "KEL API: SDK process startup failed\n" +
          start_failure("2", "the SDK daemon could not be started"),
      result.err);
  EXPECT_TRUE(result.exited_with(kStartFailureStatus)) << result.exit_code;
}

// The launched daemon is told its modem index: 11 is the highest served, a
// leading blank is allowed, and 0x1 passes validation but reads as 0.
TEST(VantctlStartup, LaunchedDaemonServesTheModemIndexGiven) {
  const std::vector<std::pair<std::string, unsigned>> cases = {{"11", 11}, {" 2", 2}, {"0x1", 0}};
  for (const auto& [text, modem] : cases) {
    const ProcessResult result = vantctl({"-s", kVantsdkSim, "-d", text});
    EXPECT_EQ(kUsage, result.err) << text;
    EXPECT_TRUE(result.exited_with(0)) << text;
    EXPECT_TRUE(abstract_name_bound(presence_socket_name(modem))) << text;
  }
  EXPECT_FALSE(abstract_name_bound(presence_socket_name(1)));
  EXPECT_FALSE(abstract_name_bound(presence_socket_name(3)));
}

}  // namespace
}  // namespace vant::test
