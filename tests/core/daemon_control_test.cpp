// Starting, using and stopping a real daemon process (the fake daemon
// executable), as the tool does. The library claims its channels once per
// process, so each test needs a process of its own (ctest runs them so).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "sdk/core/channels.h"
#include "sdk/core/daemon_control.h"
#include "sdk/core/data_instances.h"
#include "sdk/core/notifications.h"
#include "sdk/core/os_services.h"
#include "tests/core/fake_daemon.h"
#include "tests/support/temp_dir.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

bool name_is_free(const sockaddr_un& address) {
  const int sock = socket(AF_UNIX, SOCK_DGRAM, 0);
  const bool free = bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(sock);
  return free;
}

TEST(DaemonControl, ModemIndexTwelveIsRefused) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(kInternalError, StartDaemon(12, nullptr));
  EXPECT_EQ("Currently, the SDK only suppports up to 12 modem",
            testing::internal::GetCapturedStderr());
}

TEST(DaemonControl, StopBeforeConnectSendsNothing) {
  FakeDaemon daemon(0);
  ASSERT_EQ(1, ci_open_client_channels(0));
  EXPECT_EQ(kGeneralError, StopDaemon());
  EXPECT_FALSE(daemon.wait_for_requests(1, std::chrono::milliseconds(100)));
}

TEST(DaemonControl, DaemonThatCannotStartGivesTwo) {
  SetDaemonPath("/nonexistent/vantsdk");
  os_set_error_hook([](const char*, int) {});
  EXPECT_EQ(kInternalError, StartDaemon(3, nullptr));
  os_set_error_hook(&os_report_error);
}

TEST(DaemonControl, SteadyDaemonIsNotLaunchedAgain) {
  // Every test has process id 1 in its namespace: the directory keeps runs
  // of the suite side by side (several builds at once) apart.
  vant::test::TempDir dir;
  const std::string marker = dir.path() + "/launched";
  const std::string script = dir.write_file("vantsdk.sh", "#!/bin/sh\n: > " + marker + "\n", 0755);
  FakeDaemon daemon(1);
  SetDaemonPath(script.c_str());
  EXPECT_EQ(kSuccess, StartDaemon(1, nullptr));
  EXPECT_NE(0, access(marker.c_str(), F_OK)) << "the launch script ran";
}

TEST(DaemonControl, FourthClientFindsNoChannels) {
  if (ci_request_channel().socket >= 0) GTEST_SKIP() << "this process claimed channels already";
  FakeDaemon daemon(4);
  IpcChannel held[6];
  for (int pair = 0; pair < 3; ++pair)
    ASSERT_EQ(1, ci_claim_pair(4, &held[2 * pair], &held[2 * pair + 1]));
  testing::internal::CaptureStderr();
  EXPECT_EQ(kSocketInUse, StartDaemon(4, nullptr));
  EXPECT_EQ("Too many Application connected to SDK\n", testing::internal::GetCapturedStderr());
  for (IpcChannel& channel : held) os_ipc_close(&channel);
}

TEST(DaemonControl, LaunchConnectAndStop) {
  SetDaemonPath(FAKE_DAEMON_PATH);
  ASSERT_EQ(kSuccess, StartDaemon(2, nullptr));
  EXPECT_EQ(1, os_sdk_is_running(0, 0, 2));
  EXPECT_TRUE(notification_thread_started());
  // A second start attaches to the same daemon and claims nothing more.
  EXPECT_EQ(kSuccess, StartDaemonForModem(2));
  EXPECT_TRUE(name_is_free(os_channel_address(ChannelSide::kClient, 2, "QMRR2", 2)));

  DeviceInfo device{};
  uint8_t count = 1;
  ASSERT_EQ(kSuccess, EnumerateDevices(&count, &device));
  EXPECT_STREQ("/dev/fakewdm0", device.deviceNode);
  ASSERT_EQ(kSuccess, ConnectDevice(device.deviceNode, device.deviceKey));
  EXPECT_GT(daemon_process_id(), 0);
  // The connect refreshed the instance table from the daemon's answers.
  for (uint32_t i = 0; i < kDataInstances; ++i) {
    EXPECT_EQ(100 + i, data_instance_table().records[i].sessionIdV4) << i;
    EXPECT_EQ(i % 2 == 1 ? 200 + i : 0, data_instance_table().records[i].sessionIdV6) << i;
  }

  // The daemon saw its path and the modem index, and no environment.
  DeviceTexts texts;
  ASSERT_EQ(kSuccess, GetDeviceTexts(&texts));
  EXPECT_STREQ("2", texts.text1);
  EXPECT_STREQ("2", texts.text2);
  EXPECT_STREQ("0", texts.text3);

  EXPECT_EQ(kSuccess, DisconnectDevice());
  EXPECT_EQ(kSuccess, StopDaemon());
  // It is not our child (it detached), yet the stop returns only once it has
  // ended: a start now cannot attach to it while it goes.
  EXPECT_EQ(0, os_sdk_is_running(0, 0, 2));
  EXPECT_EQ(kGeneralError, StopDaemon());  // that daemon is known no more
}

// Run from a child process: the test's own process is the first of its PID
// namespace and so the parent of every detached daemon, which the tool is not.
TEST(DaemonControl, StopReturnsOnceTheDetachedDaemonHasEnded) {
  const pid_t tool = fork();
  if (tool == 0) {
    SetDaemonPath(FAKE_DAEMON_PATH);
    DeviceInfo device{};
    uint8_t count = 1;
    const bool connected = StartDaemon(5, nullptr) == kSuccess &&
                           EnumerateDevices(&count, &device) == kSuccess &&
                           ConnectDevice(device.deviceNode, device.deviceKey) == kSuccess;
    if (!connected || StopDaemon() != kSuccess) _exit(2);
    _exit(os_sdk_is_running(0, 0, 5) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(tool, waitpid(tool, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status)) << "1: the daemon was still there after the stop";
}

}  // namespace
}  // namespace vant::test
