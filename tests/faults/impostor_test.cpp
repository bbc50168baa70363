// Another user who binds the daemon's names before a daemon runs is no
// daemon: clients refuse it at once, name its user and print nothing it
// sent, and the daemon started after it says who holds its names.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "sdk/core/os_services.h"
#include "tests/core/fake_daemon.h"
#include "tests/faults/fault_env.h"

namespace vant::faults {
namespace {

using test::Bytes;
using test::ReceivedPacket;
using namespace std::chrono_literals;

enum class Holds { kEveryName, kPresenceOnly };

constexpr uint32_t kForgedUarfcn = 4321;
constexpr const char* kForgedNode = "/dev/forged-wdm0";

// Answers like a daemon with a modem: found, connected, and a WCDMA lock.
std::vector<Bytes> forged_answers(const ReceivedPacket& r) {
  if (r.packetType != 0xC0) return {};
  const Bytes node(kForgedNode, kForgedNode + std::strlen(kForgedNode));
  const Bytes key(14, '7');
  if (r.service == 0xF7 && (r.messageId == 0x0000 || r.messageId == 0x0003))
    return {test::success_response(r, {{0x00, node}, {0x01, key}})};
  if (r.service == 0xF7 && r.messageId == 0x0001)
    return {test::success_response(r, {{0x03, test::le32(4242)}})};
  if (r.service == 0x03 && r.messageId == 0x5568)  // WCDMA locked to kForgedUarfcn
    return {test::success_response(r, {{0x10, {1, 0xE1, 0x10, 0x00, 0x00}}})};
  return {test::success_response(r)};
}

// A process of uid 65534 holding the names until it is ended.
pid_t start_impostor(Holds holds) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t pid = spawn_body(true, [&] {
    std::optional<test::FakeDaemon> daemon;
    const int presence = socket(AF_UNIX, SOCK_DGRAM, 0);
    if (holds == Holds::kEveryName) {
      daemon.emplace(0);
      daemon->set_responder(forged_answers);
    } else {
      const sockaddr_un name = os_daemon_mutex_address(0);
      if (bind(presence, reinterpret_cast<const sockaddr*>(&name), sizeof name) != 0) _exit(3);
    }
    [[maybe_unused]] const ssize_t n = write(ready[1], "r", 1);
    pause();
  });
  close(ready[1]);
  char signal = 0;
  const bool up = read(ready[0], &signal, 1) == 1;
  close(ready[0]);
  if (up) return pid;
  end_child(pid);
  return -1;
}

struct ImpostorCase {
  Holds holds;
  const char* what;
  const char* first_taken;  // the name the daemon finds held first
};

constexpr ImpostorCase kCases[] = {
    {Holds::kEveryName, "presence and channel names, answering", "KEL0_SDK_QMRR1_SOCKET_0"},
    {Holds::kPresenceOnly, "presence name only", "KEL0_SDK_SOCKET_MUTEX"},
};

constexpr const char* kNoOtherUser =
    "no process can run as uid 65534 here (a user namespace that maps root alone)";

TEST(Impostor, ClientsRefuseItWithinTwoSecondsNamingItsUserAndPrintNothingOfIt) {
  if (!can_become_nobody()) GTEST_SKIP() << kNoOtherUser;
  const std::string refusal =
      "Failed to start SDK : Exiting App\nFailure Code : 57349\nFailure Reason : "
      "the SDK daemon's sockets are held by another user (uid 65534)\n";
  for (const ImpostorCase& c : kCases) {
    SCOPED_TRACE(c.what);
    // Without the kernel's socket owners only a sender's credentials tell;
    // a bare presence socket sends nothing.
    if (c.holds == Holds::kPresenceOnly && !socket_owners_visible()) continue;
    const pid_t impostor = start_impostor(c.holds);
    ASSERT_GT(impostor, 0);

    auto start = Clock::now();
    const ProcessResult ctl = vantctl({"-k"}, 40s);
    const double ctl_seconds = seconds_since(start);
    start = Clock::now();
    const ProcessResult json = vant({"lock", "--json"}, 40s);
    const double vant_seconds = seconds_since(start);
    end_child(impostor);

    report_figure(std::string("impostor (") + c.what + "): vantctl -k refused after", ctl_seconds,
                  "s");
    report_figure(std::string("impostor (") + c.what + "): vant lock refused after", vant_seconds,
                  "s");
    EXPECT_TRUE(ctl.exited_with(1)) << ctl.err;
    EXPECT_EQ(refusal, ctl.err);
    EXPECT_EQ("", ctl.out);
    EXPECT_LT(ctl_seconds, 2.0);

    EXPECT_TRUE(json.exited_with(3)) << json.err;
    EXPECT_EQ("", json.out);
    EXPECT_NE(std::string::npos, json.err.find("held by another user (uid 65534")) << json.err;
    EXPECT_EQ(std::string::npos, json.err.find(std::to_string(kForgedUarfcn))) << json.err;
    EXPECT_EQ(std::string::npos, json.err.find(kForgedNode)) << json.err;
    EXPECT_LT(vant_seconds, 2.0);
  }
}

TEST(Impostor, ADaemonStartedAfterItNamesTheHolderAndExitsWithStatus3) {
  if (!can_become_nobody()) GTEST_SKIP() << kNoOtherUser;
  if (!socket_owners_visible())
    GTEST_SKIP() << "no sock_diag netlink here: the daemon cannot tell who holds a name";
  for (const ImpostorCase& c : kCases) {
    SCOPED_TRACE(c.what);
    const pid_t impostor = start_impostor(c.holds);
    ASSERT_GT(impostor, 0);
    const ProcessResult run =
        test::run_process({bin_dir() + "/vantsdk", "--simulate", "--foreground", "0"}, 10s);
    end_child(impostor);
    EXPECT_TRUE(run.exited_with(3)) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(std::string(c.first_taken) + " held by uid 65534"))
        << run.err;
  }
}

}  // namespace
}  // namespace vant::faults
