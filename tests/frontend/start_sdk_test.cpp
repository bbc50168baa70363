// The start-up sequence against a scripted client library.
#include "src/start_sdk.h"

#include <gtest/gtest.h>

#include <deque>
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

// Every failure has its reason in words: the codes that tell the whole story
// have a sentence, every other one names the step and the code's text.
TEST_F(StartSdkTest, EveryFailureHasAReasonInWords) {
  struct Case {
    const char* what;
    std::deque<uint32_t> start;
    std::deque<uint32_t> enumerate;
    uint32_t connect;
    std::string reason;
  };
  const Case cases[] = {
      {"launch", {2}, {0}, 0, "the SDK daemon could not be started"},
      {"launch, other code", {1}, {0}, 0, "the SDK daemon could not be started: General error"},
      {"channels", {0xE005}, {0}, 0, "every client channel of the SDK daemon is taken"},
      {"no modem", {0}, {6}, 0, "the SDK daemon sees no modem"},
      {"silent connect", {0}, {0}, 0xE004, "the SDK daemon did not answer"},
      {"bad answer", {0}, {17}, 0, "the modem search failed: Invalid QMI response received"},
      {"no text", {0}, {36}, 0, "the modem search failed: unknown result 36"},
      {"wrong key", {0}, {0}, 7, "the connection to the modem failed: Invalid WWAN device ID"},
      {"modem gone", {0}, {0}, 6, "the SDK daemon sees no modem"},
      {"QMI error",
       {0},
       {0},
       1005,
       "the connection to the modem failed: QMI client IDs have been exhausted"},
  };
  for (const Case& c : cases) {
    fake_sdk() = FakeSdk{};
    fake_sdk().start_results = c.start;
    fake_sdk().enumerate_results = c.enumerate;
    fake_sdk().connect_result = c.connect;
    EXPECT_NE(0u, start(0)) << c.what;
    EXPECT_EQ(c.reason, start_failure_reason()) << c.what;
  }
  fake_sdk() = FakeSdk{};
  fake_sdk().set_path_result = 0xE001;
  start(0);
  EXPECT_STREQ("the SDK daemon path was not taken: API yet to be implemented",
               start_failure_reason());
  // A later success leaves no reason behind.
  fake_sdk() = FakeSdk{};
  EXPECT_EQ(0u, start(0));
  EXPECT_STREQ("", start_failure_reason());
}

}  // namespace
