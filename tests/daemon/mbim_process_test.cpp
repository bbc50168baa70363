// vantsdk on an MBIM modem: vantsim --mbim on a pseudo-terminal, either named
// with --device and --mbim (sysfs does not show it) or found by the index
// rule as the cdc-wdm node of cdc_mbim in a fake sysfs. vantctl works through
// it as through a QMUX modem; a modem without the QMI service is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tests/daemon/process.h"
#include "tests/daemon/test_client.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/time_scale.h"

namespace vant::daemon::testing {
namespace {

using namespace std::chrono_literals;

// The emulated MBIM modem's link, once vantsim has published it.
class MbimModem {
 public:
  explicit MbimModem(std::vector<std::string> options)
      : link_(dir_.path() + "/modem"), emulator_(bin("vantsim"), with_link(std::move(options))) {
    const auto until = std::chrono::steady_clock::now() + vant::test::scaled(5s);
    while (!std::filesystem::exists(link_) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(20ms);
  }
  const std::string& link() const { return link_; }

 private:
  std::vector<std::string> with_link(std::vector<std::string> options) const {
    options.insert(options.begin(), {"--link", link_, "--mbim"});
    return options;
  }
  vant::test::TempDir dir_;
  std::string link_;
  Process emulator_;
};

// The daemon's arguments besides the modem index: the node named, or a
// sysfs tree that shows it as MBIM.
std::vector<std::string> daemon_arguments(bool named, const MbimModem& modem,
                                          const vant::test::TempDir& dir) {
  if (named) return {"--device", modem.link(), "--mbim"};
  vant::test::FakeSysfs sysfs(dir.path() + "/sys");
  sysfs.add_cdc_wdm("cdc-wdm3", "cdc_mbim", "1-1.4");
  std::filesystem::create_directories(dir.path() + "/dev");
  std::filesystem::create_symlink(modem.link(), dir.path() + "/dev/cdc-wdm3");
  return {"--sysfs-root", sysfs.root(), "--dev-root", dir.path() + "/dev"};
}

class MbimDaemon : public ::testing::TestWithParam<bool> {};

// The modem cuts its answers into 64-byte fragments.
TEST_P(MbimDaemon, VantctlReadsTheLocksAndTheCellsThroughIt) {
  const MbimModem modem({"--mbim-max-transfer", "64"});
  ASSERT_TRUE(std::filesystem::exists(modem.link()));
  const vant::test::TempDir dir;
  std::vector<std::string> arguments{"0", "--foreground"};
  for (auto& a : daemon_arguments(GetParam(), modem, dir)) arguments.push_back(a);
  Process daemon(bin("vantsdk"), arguments);
  ASSERT_TRUE(wait_for_daemon(0));
  const std::vector<std::string> vantctl{"-d", "0", "-s", bin("vantsdk")};
  auto with = [&](const char* command) {
    auto args = vantctl;
    args.emplace_back(command);
    return run_program(bin("vantctl"), args, 30s);
  };
  const auto locks = with("-k");
  EXPECT_EQ(0, locks.status) << locks.output;
  EXPECT_NE(std::string::npos, locks.output.find("LTE PCI:")) << locks.output;
  const auto cells = with("--scan");
  EXPECT_EQ(0, cells.status) << cells.output;
  EXPECT_NE(std::string::npos, cells.output.find("Cell Location Info Successful")) << cells.output;

  TestClient client(0, 0);
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
  const auto log = daemon.read_to_end(5s);
  ASSERT_TRUE(log);
  EXPECT_NE(std::string::npos, log->find(" (MBIM)")) << *log;
}

INSTANTIATE_TEST_SUITE_P(NamedOrFound, MbimDaemon, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "named" : "in_sysfs"; });

TEST(MbimEmulatorInside, AnswersThroughMbim) {
  Process daemon(bin("vantsdk-sim"), {"1", "--foreground", "--mbim"});
  ASSERT_TRUE(wait_for_daemon(1));
  TestClient client(1, 0);
  const auto texts = client.request({.transaction = 1, .service = 0xF7, .message_id = 0x0005}, 5s);
  ASSERT_TRUE(texts);
  EXPECT_EQ(0u, texts->result);
  EXPECT_TRUE(tlv_value(texts->tlvs, 0x12)) << "the IMEI came through MBIM";
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
  const auto log = daemon.read_to_end(5s);
  ASSERT_TRUE(log);
  EXPECT_NE(std::string::npos, log->find("modem link open on simulated:default (MBIM)")) << *log;
}

TEST(MbimRefusal, AModemWithoutQmiThroughMbimIsRefusedByName) {
  const MbimModem modem({"--mbim-without-qmi"});
  ASSERT_TRUE(std::filesystem::exists(modem.link()));
  Process daemon(bin("vantsdk"), {"10", "--foreground", "--device", modem.link(), "--mbim"});
  ASSERT_TRUE(wait_for_daemon(10));
  TestClient client(10, 0);
  const auto texts = client.request({.transaction = 1, .service = 0xF7, .message_id = 0x0005}, 5s);
  ASSERT_TRUE(texts);
  EXPECT_EQ(6u, texts->result) << "no modem";
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
  const auto log = daemon.read_to_end(5s);
  ASSERT_TRUE(log);
  EXPECT_NE(std::string::npos,
            log->find(modem.link() + " does not offer QMI through MBIM: the QMI service is not "
                                     "among its 1 device services"))
      << *log;
}

}  // namespace
}  // namespace vant::daemon::testing
