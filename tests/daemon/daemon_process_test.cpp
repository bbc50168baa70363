// The vantsdk executable as the client library and an administrator meet it:
// how it starts, detaches, refuses a second copy and ends, and how it drives
// the emulator through a pseudo-terminal or inside itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "qmux/tlv.h"
#include "sdk/core/os_services.h"
#include "tests/daemon/process.h"
#include "tests/daemon/test_client.h"
#include "tests/support/abstract_socket.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/time_scale.h"

namespace vant::daemon::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kNoDevice = "/nonexistent/cdc-wdm9";

bool daemon_gone(unsigned modem, std::chrono::milliseconds timeout = 5s) {
  const auto until = std::chrono::steady_clock::now() + vant::test::scaled(timeout);
  for (;;) {
    if (!vant::test::abstract_name_bound(vant::test::presence_socket_name(modem))) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(20ms);
  }
}

uint32_t daemon_pid(TestClient& client) {
  client.send(sdk_request_bytes(0));
  const auto status = client.receive();
  if (!status || status->type != kAmSdkResponse || status->raw.size() != 17) return 0;
  const uint8_t* cursor = status->raw.data() + kAmHeaderSize;
  SdkResponseHeader header{};
  amparsesdkheader(&cursor, &header);
  return header.value32;
}

TEST(DaemonProcess, HelpAndBadCommandLines) {
  const auto help = run_program(bin("vantsdk"), {"--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_NE(std::string::npos, help.output.find("--device PATH"));
  const auto bad = run_program(bin("vantsdk"), {"12"});
  EXPECT_EQ(2, bad.status);
  EXPECT_NE(std::string::npos, bad.output.find("out of range")) << bad.output;
}

TEST(DaemonProcess, AScenarioThatCannotBeLoadedIsRefusedBeforeDetaching) {
  const auto refused = run_program(bin("vantsdk"), {"8", "--simulate=/nonexistent/scenario.json"});
  EXPECT_EQ(1, refused.status);
  EXPECT_NE(std::string::npos, refused.output.find("/nonexistent/scenario.json")) << refused.output;
  EXPECT_FALSE(wait_for_daemon(8, 0ms));
}

TEST(DaemonProcess, DetachesFromWhoeverStartedIt) {
  constexpr unsigned kModem = 4;
  Process starter(bin("vantsdk"), {std::to_string(kModem), "--device", kNoDevice});
  // The output pipe closes at once: the daemon keeps no copy of it.
  const auto output = starter.read_to_end(5s);
  ASSERT_TRUE(output) << "the daemon still holds its caller's output";
  EXPECT_EQ("", *output);
  EXPECT_EQ(0, starter.wait());
  ASSERT_TRUE(wait_for_daemon(kModem));

  TestClient client(kModem, 0);
  const pid_t pid = static_cast<pid_t>(daemon_pid(client));
  ASSERT_GT(pid, 0);
  EXPECT_NE(starter.pid(), pid);
  EXPECT_EQ(pid, getsid(pid)) << "a session of its own";

  client.send(terminate_request_bytes());
  EXPECT_TRUE(daemon_gone(kModem));
}

// The words of the line of --list that starts with node.
std::vector<std::string> listed_row(const std::string& listing, const std::string& node) {
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string word; words >> word;) row.push_back(word);
    if (!row.empty() && row[0] == node) return row;
  }
  return {};
}

TEST(DaemonProcess, ListsTheModemsOfEveryKind) {
  const vant::test::TempDir dir;
  vant::test::FakeSysfs sysfs(dir.path() + "/sys");
  sysfs.add_cdc_wdm("cdc-wdm10", "qmi_wwan", "1-1.4");
  sysfs.add_cdc_wdm("cdc-wdm2", "qmi_wwan", "2-1", 8, "class/usb");
  sysfs.add_cdc_wdm("cdc-wdm0", "cdc_mbim", "1-1.2.3", 12);
  sysfs.add_cdc_wdm("cdc-wdm5", "huawei_cdc_ncm", "1-1.3");  // speaks neither
  sysfs.add_wwan_port("wwan0qmi0", "QMI", "0000:01:00.0");
  sysfs.add_wwan_port("wwan1mbim0", "MBIM", "0000:02:00.0");
  sysfs.add_wwan_port("wwan0mbim0", "MBIM", "0000:01:00.0");
  sysfs.add_wwan_port("wwan1at0", "AT", "0000:02:00.0");  // no control protocol
  const auto run = run_program(
      bin("vantsdk"), {"--list", "--sysfs-root", sysfs.root(), "--dev-root", dir.path() + "/dev"});
  ASSERT_EQ(0, run.status) << run.output;
  const std::string dev = dir.path() + "/dev/";
  struct Row {
    std::string node, transport, driver, device, index;
  };
  const Row rows[] = {
      {"cdc-wdm2", "QMUX", "qmi_wwan", "usb:2-1", "0"},
      {"cdc-wdm10", "QMUX", "qmi_wwan", "usb:1-1.4", "1"},
      {"wwan0qmi0", "QMUX", "mhi_wwan_ctrl", "pci:0000:01:00.0", "2"},
      {"cdc-wdm0", "MBIM", "cdc_mbim", "usb:1-1.2.3", "3"},
      {"wwan1mbim0", "MBIM", "mhi_wwan_ctrl", "pci:0000:02:00.0", "4"},
      {"wwan0mbim0", "MBIM", "mhi_wwan_ctrl", "pci:0000:01:00.0", "-"},  // beside wwan0qmi0
  };
  for (const Row& row : rows) {
    const std::vector<std::string> expected{dev + row.node, row.transport, row.driver, row.device,
                                            row.index,      "(no",         "node)"};
    EXPECT_EQ(expected, listed_row(run.output, dev + row.node)) << run.output;
  }
  for (const char* absent : {"cdc-wdm5", "wwan1at0", "wwan0", "wwan1"})
    EXPECT_TRUE(listed_row(run.output, dev + absent).empty()) << absent << "\n" << run.output;
}

TEST(DaemonProcess, ASecondDaemonForTheSameModemIsRefused) {
  Process first(bin("vantsdk"), {"2", "--foreground", "--device", kNoDevice});
  ASSERT_TRUE(wait_for_daemon(2));
  const auto second = run_program(bin("vantsdk"), {"2", "--device", kNoDevice});
  EXPECT_EQ(1, second.status);
  EXPECT_NE(std::string::npos, second.output.find("already running")) << second.output;
  // Another modem index is another daemon.
  Process other(bin("vantsdk"), {"3", "--foreground", "--device", kNoDevice});
  EXPECT_TRUE(wait_for_daemon(3));

  TestClient client(2, 0);
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, first.wait());
  TestClient other_client(3, 0);
  other_client.send(terminate_request_bytes());
  EXPECT_EQ(0, other.wait());
}

TEST(DaemonProcess, EveryChannelIsBoundOnceThePresenceSocketShows) {
  // A client attaches on first sight of the presence socket; a probe as fast
  // as the kernel allows sees it as early as any client could.
  constexpr unsigned kModem = 6;
  const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const sockaddr_un presence = os_daemon_mutex_address(kModem);
  const sockaddr_un last_channel = os_channel_address(ChannelSide::kDaemon, kModem, "QMNOTIF3", 5);
  const auto attach = [probe](const sockaddr_un& address) {
    return connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  };
  for (int start = 0; start < 10; ++start) {
    Process daemon(bin("vantsdk"), {std::to_string(kModem), "--foreground", "--device", kNoDevice});
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!attach(presence) && std::chrono::steady_clock::now() < until) {
    }
    EXPECT_TRUE(attach(last_channel)) << "start " << start << ": presence before the channels";
    kill(daemon.pid(), SIGTERM);
    EXPECT_EQ(0, daemon.wait());
  }
  close(probe);
}

TEST(DaemonProcess, EndsCleanlyOnSigterm) {
  Process daemon(bin("vantsdk"), {"5", "--foreground", "--device", kNoDevice});
  ASSERT_TRUE(wait_for_daemon(5));
  kill(daemon.pid(), SIGTERM);
  EXPECT_EQ(0, daemon.wait());
}

std::string text_of(const Packet& p, uint8_t type) {
  const auto value = tlv_value(p.tlvs, type);
  return value ? std::string(value->begin(), value->end()) : std::string("<none>");
}

// Connects and reads the channel lock the emulator reports.
void expect_a_working_modem(TestClient& client) {
  const auto connected = client.connect_device();
  ASSERT_TRUE(connected);
  ASSERT_EQ(0u, connected->result);
  const auto texts = client.request({.transaction = 1, .service = 0xF7, .message_id = 0x0005});
  ASSERT_TRUE(texts);
  EXPECT_EQ("VW-M2", text_of(*texts, 0x10));
  EXPECT_EQ("356938035643809", text_of(*texts, 0x12));
  const auto lock = client.request({.transaction = 2, .service = 3, .message_id = 0x5568});
  ASSERT_TRUE(lock);
  EXPECT_EQ(0u, lock->result);
  const auto result = qmux::find_result(lock->tlvs);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->ok());
}

TEST(DaemonProcess, DrivesTheEmulatorOnAPseudoTerminal) {
  const vant::test::TempDir dir;  // not named after our process id, which is 1 in every test
  const std::string link = dir.path() + "/modem";
  Process emulator(bin("vantsim"), {"--link", link});
  for (int i = 0; i < 200 && !std::filesystem::exists(link); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(std::filesystem::exists(link));
  Process daemon(bin("vantsdk"), {"0", "--foreground", "--device", link});
  ASSERT_TRUE(wait_for_daemon(0));
  TestClient client(0, 0);
  expect_a_working_modem(client);
  const auto listed = client.request({.transaction = 3, .service = 0xF7, .message_id = 0});
  ASSERT_TRUE(listed);
  EXPECT_EQ(link, text_of(*listed, 0x00));
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
}

uint8_t state_of(const std::optional<Packet>& indication) {
  if (!indication || indication->message_id != 0x0014) return 0xFF;
  const auto state = tlv_value(indication->tlvs, 0x10);
  return state && state->size() == 1 ? (*state)[0] : 0xFF;
}

TEST(DaemonProcess, ANodeRemovedUnderTheDaemonIsAnnounced) {
  const vant::test::TempDir dir;
  const std::string link = dir.path() + "/modem";
  Process emulator(bin("vantsim"), {"--link", link});
  for (int i = 0; i < 200 && !std::filesystem::exists(link); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(std::filesystem::exists(link));
  Process daemon(bin("vantsdk"), {"6", "--foreground", "--device", link});
  ASSERT_TRUE(wait_for_daemon(6));
  TestClient client(6, 0);
  ASSERT_TRUE(client.connect_device());
  std::filesystem::remove(link);
  EXPECT_EQ(0, state_of(client.receive_indication()));
  const auto meanwhile = client.request({.transaction = 9, .service = 3, .message_id = 0x5568});
  ASSERT_TRUE(meanwhile);
  EXPECT_EQ(6u, meanwhile->result);
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
}

TEST(DaemonProcess, AnEmulatedModemThatFlapsIsFollowed) {
  Process daemon(bin("vantsdk"), {"7", "--foreground", "--simulate=modem-flaps"});
  ASSERT_TRUE(wait_for_daemon(7));
  TestClient client(7, 0);
  ASSERT_TRUE(client.connect_device());
  EXPECT_EQ(0, state_of(client.receive_indication(10s)));
  EXPECT_EQ(1, state_of(client.receive_indication(10s)));
  const auto after = client.request({.transaction = 9, .service = 3, .message_id = 0x5568});
  ASSERT_TRUE(after);
  EXPECT_EQ(0u, after->result) << "the returned modem answers on fresh client ids";
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
}

TEST(DaemonProcess, TheSimulatorNameRunsTheEmulatorInside) {
  Process daemon(bin("vantsdk-sim"), {"1", "--foreground"});
  ASSERT_TRUE(wait_for_daemon(1));
  TestClient client(1, 0);
  expect_a_working_modem(client);
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, daemon.wait());
}

// A supervisor's daemon (--take-over) ends the one an early client launched,
// detached or not, and serves in its place.
TEST(DaemonProcess, TakeOverEndsTheRunningDaemonAndServesInItsPlace) {
  Process first(bin("vantsdk"), {"6", "--foreground", "--device", kNoDevice});
  ASSERT_TRUE(wait_for_daemon(6));
  TestClient client(6, 0);
  ASSERT_EQ(static_cast<uint32_t>(first.pid()), daemon_pid(client));

  Process second(bin("vantsdk"), {"--take-over", "6", "--foreground", "--device", kNoDevice});
  EXPECT_EQ(0, first.wait()) << "the first daemon ends cleanly";
  ASSERT_TRUE(wait_for_daemon(6));
  EXPECT_EQ(static_cast<uint32_t>(second.pid()), daemon_pid(client));
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, second.wait());
  const auto said = second.read_to_end(5s);
  ASSERT_TRUE(said);
  EXPECT_NE(std::string::npos, said->find("took over modem 6 from the daemon of process " +
                                          std::to_string(first.pid())))
      << *said;
}

// A daemon of another user is not ours to end: the take-over is refused as
// a second daemon is, and the first one goes on.
TEST(DaemonProcess, TakeOverLeavesTheDaemonOfAnotherUserAlone) {
  constexpr const char* kSetpriv = "/usr/bin/setpriv";
  const std::vector<std::string> as_nobody = {"--reuid=65534", "--regid=65534", "--clear-groups"};
  std::vector<std::string> probe = as_nobody;
  probe.push_back("/bin/true");
  if (access(kSetpriv, X_OK) != 0 || run_program(kSetpriv, probe).status != 0)
    GTEST_SKIP() << "no process can run as uid 65534 here";
  std::vector<std::string> arguments = as_nobody;
  for (const char* a : {"vantsdk", "7", "--foreground", "--device", kNoDevice})
    arguments.push_back(a == std::string("vantsdk") ? bin("vantsdk") : a);
  Process first(kSetpriv, arguments);
  ASSERT_TRUE(wait_for_daemon(7));

  const auto second =
      run_program(bin("vantsdk"), {"--take-over", "7", "--foreground", "--device", kNoDevice});
  // Where the kernel names socket owners, the names count as another user's
  // (status 3); else as another daemon's, which the take-over then refuses.
  const bool named = second.status == 3;
  EXPECT_TRUE(named || second.status == 1) << second.status;
  EXPECT_NE(std::string::npos,
            second.output.find(named ? "held by uid 65534"
                                     : "already running and is not taken over: it runs as uid "
                                       "65534"))
      << second.output;
  EXPECT_EQ(-1, first.wait(300ms)) << "the other user's daemon still runs";
  TestClient client(7, 0);
  EXPECT_EQ(static_cast<uint32_t>(first.pid()), daemon_pid(client));
  client.send(terminate_request_bytes());
  EXPECT_EQ(0, first.wait());
}

}  // namespace
}  // namespace vant::daemon::testing
