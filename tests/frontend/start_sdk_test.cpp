// The start-up sequence against a scripted client library.
#include "src/start_sdk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/daemon_path.h"
#include "tests/frontend/fake_sdk.h"

namespace {

using Calls = std::vector<std::string>;

constexpr const char* kNoDevice = "\nUnable to find device..\n";

class StartSdkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_sdk() = FakeSdk{};
    ASSERT_TRUE(copy_daemon_path("/opt/test/vantsdk"));
  }
  void TearDown() override { free_daemon_path(); }

  // Runs StartSDK and keeps what it printed.
  uint32_t start(uint8_t modem) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const uint32_t result = StartSDK(modem);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return result;
  }

  std::string out_;
  std::string err_;
};

TEST_F(StartSdkTest, ConnectsToTheModemThatTheFirstSearchFinds) {
  EXPECT_EQ(0u, start(7));
  EXPECT_EQ((Calls{"SetDaemonPath", "StartDaemon", "EnumerateDevices", "ConnectDevice"}),
            fake_sdk().calls);
  EXPECT_EQ("/opt/test/vantsdk", fake_sdk().path_seen);
  EXPECT_EQ(std::vector<int>{7}, fake_sdk().modems_seen);
  EXPECT_FALSE(fake_sdk().extra_argument_seen);
  EXPECT_EQ(std::vector<int>{1}, fake_sdk().counts_seen);
  EXPECT_EQ(kFakeNode, fake_sdk().node_seen);
  EXPECT_EQ(std::vector<uint8_t>(kFakeKey, kFakeKey + 14), fake_sdk().key_seen);
  EXPECT_EQ("", out_);
  EXPECT_EQ("", err_);
}

TEST_F(StartSdkTest, ConnectionResultIsTheResult) {
  fake_sdk().connect_result = 1003;
  EXPECT_EQ(1003u, start(0));
}

TEST_F(StartSdkTest, PathFailureIsReportedAndStopsTheStart) {
  fake_sdk().set_path_result = 0xE001;
  EXPECT_EQ(0xE001u, start(0));
  EXPECT_EQ(Calls{"SetDaemonPath"}, fake_sdk().calls);
  EXPECT_EQ("StartSDK failed with resultCode 57345\n", err_);
}

TEST_F(StartSdkTest, FailedStartWithoutAKnownDaemonGivesTheFirstCode) {
  fake_sdk().start_results = {2};
  fake_sdk().stop_result = 1;
  EXPECT_EQ(2u, start(44));
  EXPECT_EQ((Calls{"SetDaemonPath", "StartDaemon", "StopDaemon"}), fake_sdk().calls);
}

TEST_F(StartSdkTest, FailedStartIsRetriedOnceAfterAStop) {
  fake_sdk().start_results = {2, 0};
  fake_sdk().stop_result = 0;
  EXPECT_EQ(0u, start(1));
  EXPECT_EQ((Calls{"SetDaemonPath", "StartDaemon", "StopDaemon", "StartDaemon", "EnumerateDevices",
                   "ConnectDevice"}),
            fake_sdk().calls);
  EXPECT_EQ((std::vector<int>{1, 1}), fake_sdk().modems_seen);
}

TEST_F(StartSdkTest, SecondFailedStartGivesItsCode) {
  fake_sdk().start_results = {2, 0xE005};
  fake_sdk().stop_result = 0;
  EXPECT_EQ(0xE005u, start(1));
  EXPECT_EQ((Calls{"SetDaemonPath", "StartDaemon", "StopDaemon", "StartDaemon"}), fake_sdk().calls);
}

TEST_F(StartSdkTest, ModemFoundOnTheThirdSearch) {
  fake_sdk().enumerate_results = {17, 17, 0};
  EXPECT_EQ(0u, start(0));
  EXPECT_EQ(std::string(kNoDevice) + kNoDevice, out_);
  EXPECT_EQ((Calls{"SetDaemonPath", "StartDaemon", "EnumerateDevices", "EnumerateDevices",
                   "EnumerateDevices", "ConnectDevice"}),
            fake_sdk().calls);
}

TEST_F(StartSdkTest, NoModemAfterThreeSearchesGivesMinusOne) {
  fake_sdk().enumerate_results = {0xE004};
  EXPECT_EQ(0xFFFFFFFFu, start(0));
  EXPECT_EQ(std::string(kNoDevice) + kNoDevice + kNoDevice, out_);
  EXPECT_EQ((Calls{"SetDaemonPath", "StartDaemon", "EnumerateDevices", "EnumerateDevices",
                   "EnumerateDevices"}),
            fake_sdk().calls);
  EXPECT_EQ("", err_);
}

}  // namespace
