// Two modems on one router, each emulated on a pseudo-terminal and shown to
// the daemons through a sysfs tree of their own as cdc-wdm nodes of two USB
// ports, the nodes being links to the emulators' terminals (--sysfs-root,
// --dev-root). A modem unplugged and back under another name stays with its
// daemon; no two daemons, and no daemon and another program, share a node.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tests/daemon/test_client.h"
#include "tests/faults/fault_env.h"
#include "tests/support/daemon_process.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/time_scale.h"

namespace vant::faults {
namespace {

namespace fs = std::filesystem;
using daemon::testing::TestClient;
using daemon::testing::tlv_value;
using namespace std::chrono_literals;

constexpr const char* kImeiA = "356938035643809";
constexpr const char* kImeiB = "490154203237518";
constexpr const char* kPortA = "1-1.2";
constexpr const char* kPortB = "1-1.3";

// The IMEI the daemon of `modem` serves, or "" while it has no modem.
std::string imei_of(unsigned modem) {
  TestClient client(modem, 0);
  const auto texts = client.request({.transaction = 1, .service = 0xF7, .message_id = 0x0005}, 3s);
  if (!texts || texts->result != 0) return "";
  const auto imei = tlv_value(texts->tlvs, 0x12);
  return imei ? std::string(imei->begin(), imei->end()) : "";
}

bool serves(unsigned modem, const std::string& imei, std::chrono::milliseconds timeout = 10s) {
  const auto until = Clock::now() + test::scaled(timeout);
  while (imei_of(modem) != imei) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

class TwoModems : public ::testing::Test {
 protected:
  TwoModems()
      : sysfs_(dir_.path() + "/sys"),
        modem_a_(emulator("a", "modem-a")),
        modem_b_(emulator("b", "modem-b")) {
    fs::create_directories(dev());
  }

  std::string dev() const { return dir_.path() + "/dev"; }
  std::string node(const std::string& name) const { return dev() + "/" + name; }
  std::string link(const std::string& modem) const { return dir_.path() + "/" + modem; }

  test::DaemonProcess emulator(const std::string& modem, const std::string& scenario) {
    return test::DaemonProcess(
        {bin_dir() + "/vantsim", "--link", link(modem), "--scenario", scenario_argument(scenario)});
  }
  bool emulators_up() const {
    for (int i = 0; i < 250; ++i) {
      if (fs::exists(link("a")) && fs::exists(link("b"))) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // The modem's USB device appears with a cdc-wdm node of that name.
  void plug(const std::string& name, const std::string& port, const std::string& modem) {
    sysfs_.add_cdc_wdm(name, "qmi_wwan", port);
    fs::create_symlink(link(modem), node(name));
  }
  void unplug(const std::string& name) {
    sysfs_.remove(name);
    fs::remove(node(name));
  }
  std::vector<std::string> daemon_argv(unsigned modem, std::vector<std::string> more = {}) const {
    std::vector<std::string> argv{
        bin_dir() + "/vantsdk", std::to_string(modem), "--foreground", "--sysfs-root",
        sysfs_.root(),          "--dev-root",          dev()};
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
  }
  std::unique_ptr<test::DaemonProcess> daemon(unsigned modem, std::vector<std::string> more = {}) {
    auto process = std::make_unique<test::DaemonProcess>(daemon_argv(modem, std::move(more)));
    EXPECT_TRUE(process->wait_for_presence(modem)) << process->output();
    return process;
  }

  test::TempDir dir_;
  test::FakeSysfs sysfs_;
  test::DaemonProcess modem_a_, modem_b_;
};

// Daemon 0 once opened the next node when its modem left, so that both
// daemons drove modem B and nobody drove A when it came back as cdc-wdm2.
TEST_F(TwoModems, EachDaemonKeepsToItsModemThroughAReplugUnderAnotherName) {
  ASSERT_TRUE(emulators_up());
  plug("cdc-wdm0", kPortA, "a");
  plug("cdc-wdm1", kPortB, "b");
  const auto first = daemon(0);
  const auto second = daemon(1);
  ASSERT_TRUE(serves(0, kImeiA)) << first->output();
  ASSERT_TRUE(serves(1, kImeiB)) << second->output();

  unplug("cdc-wdm0");
  ASSERT_TRUE(serves(0, "")) << first->output();
  // Several looks for the modem later, daemon 0 still waits for A.
  std::this_thread::sleep_for(test::scaled(3s));
  EXPECT_EQ("", imei_of(0)) << first->output();
  EXPECT_EQ(kImeiB, imei_of(1));
  EXPECT_NE(std::string::npos,
            first->output().find("waiting for modem usb:1-1.2 (IMEI " + std::string(kImeiA) + ")"))
      << first->output();

  plug("cdc-wdm2", kPortA, "a");
  EXPECT_TRUE(serves(0, kImeiA)) << first->output();
  EXPECT_EQ(kImeiB, imei_of(1));
  EXPECT_NE(std::string::npos, first->output().find("modem link open on " + node("cdc-wdm2")));
  EXPECT_EQ(std::string::npos, first->output().find("open on " + node("cdc-wdm1")))
      << first->output();
}

TEST_F(TwoModems, NoTwoDaemonsShareANode) {
  ASSERT_TRUE(emulators_up());
  plug("cdc-wdm0", kPortA, "a");
  plug("cdc-wdm1", kPortB, "b");
  // imei: opens the nodes in index order and passes over modem A.
  const auto by_imei = daemon(5, {"--device", std::string("imei:") + kImeiB});
  ASSERT_TRUE(serves(5, kImeiB)) << by_imei->output();
  EXPECT_NE(std::string::npos,
            by_imei->output().find("is the modem of IMEI " + std::string(kImeiA)))
      << by_imei->output();

  // Named, B's node is refused before the daemon detaches.
  for (const std::string& device : {node("cdc-wdm1"), std::string("usb:") + kPortB}) {
    const ProcessResult run = test::run_process(daemon_argv(6, {"--device", device}), 10s);
    EXPECT_TRUE(run.exited_with(1)) << device << ": " << run.err;
    EXPECT_NE(std::string::npos, run.err.find("is held by another daemon (vantsdk (pid"))
        << device << ": " << run.err;
  }
  // By the index rule, daemon 1 gets no modem rather than share B's node.
  const auto by_index = daemon(1);
  std::this_thread::sleep_for(test::scaled(1500ms));
  EXPECT_EQ("", imei_of(1));
  EXPECT_NE(std::string::npos, by_index->output().find("held by other daemons"))
      << by_index->output();
  EXPECT_EQ(kImeiB, imei_of(5));
  // Daemon 0 gets A, which nobody holds.
  const auto by_index_0 = daemon(0);
  EXPECT_TRUE(serves(0, kImeiA)) << by_index_0->output();
}

// A child that names itself `command` and holds the node open.
pid_t hold_open(const std::string& command, const std::string& path) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = spawn_body(false, [&] {
    prctl(PR_SET_NAME, command.c_str(), 0, 0, 0);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char said = fd >= 0 ? 'y' : 'n';
    [[maybe_unused]] const ssize_t n = write(ready[1], &said, 1);
    for (;;) pause();
  });
  close(ready[1]);
  char said = 'n';
  if (read(ready[0], &said, 1) != 1 || said != 'y') {
    end_child(child);
    close(ready[0]);
    return -1;
  }
  close(ready[0]);
  return child;
}

TEST_F(TwoModems, ANodeOpenInAnotherProgramIsNotSharedAndItIsNamed) {
  ASSERT_TRUE(emulators_up());
  plug("cdc-wdm0", kPortA, "a");
  const struct {
    const char* command;
    const char* said;
  } cases[] = {
      {"uqmi", "is also open in uqmi (pid "},
      {"ModemManager", "is also open in ModemManager (pid "},
      {"qmi-proxy", "qmi-proxy owns the modem"},
  };
  for (const auto& c : cases) {
    const pid_t holder = hold_open(c.command, node("cdc-wdm0"));
    ASSERT_GT(holder, 0) << c.command;
    const ProcessResult run = test::run_process(daemon_argv(7, {"--device", "usb:1-1.2"}), 10s);
    end_child(holder);
    EXPECT_TRUE(run.exited_with(1)) << c.command << ": " << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.said)) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("(pid " + std::to_string(holder) + ")")) << run.err;
  }
  // Once the other program has closed it, the node is the daemon's.
  const auto alone = daemon(7, {"--device", "usb:1-1.2"});
  EXPECT_TRUE(serves(7, kImeiA)) << alone->output();
}

}  // namespace
}  // namespace vant::faults
