// vantsdk on an MBIM modem: vantsim --mbim on a pseudo-terminal, which sysfs
// does not show, so the daemon is told with --mbim. vantctl works through it
// as through a QMUX modem; a modem without the QMI service is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tests/daemon/process.h"
#include "tests/daemon/test_client.h"
#include "tests/support/temp_dir.h"

namespace vant::daemon::testing {
namespace {

using namespace std::chrono_literals;

// The emulated MBIM modem's link, once vantsim has published it.
class MbimModem {
 public:
  explicit MbimModem(std::vector<std::string> options)
      : link_(dir_.path() + "/modem"), emulator_(bin("vantsim"), with_link(std::move(options))) {
    for (int i = 0; i < 250 && !std::filesystem::exists(link_); ++i)
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

// The modem cuts its answers into 64-byte fragments.
TEST(MbimDaemon, VantctlReadsTheLocksAndTheCellsThroughIt) {
  const MbimModem modem({"--mbim-max-transfer", "64"});
  ASSERT_TRUE(std::filesystem::exists(modem.link()));
  Process daemon(bin("vantsdk"), {"9", "--foreground", "--device", modem.link(), "--mbim"});
  ASSERT_TRUE(wait_for_daemon(9));
  const std::vector<std::string> vantctl{"-d", "9", "-s", bin("vantsdk")};
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

  TestClient client(9, 0);
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
  const auto log = daemon.read_to_end(5s);
  ASSERT_TRUE(log);
  EXPECT_NE(std::string::npos, log->find("modem link open on " + modem.link() + " (MBIM)")) << *log;
}

TEST(MbimDaemon, AModemWithoutQmiThroughMbimIsRefusedByName) {
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
