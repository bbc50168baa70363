// A modem that never answers, one that goes away and comes back restarted,
// and daemons that crash against a modem with few client ids.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "qmux/tlv.h"
#include "tests/daemon/process.h"
#include "tests/daemon/test_client.h"
#include "tests/faults/fault_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/time_scale.h"

namespace vant::faults {
namespace {

using daemon::testing::Packet;
using daemon::testing::Process;
using daemon::testing::TestClient;
using daemon::testing::tlv_value;
using namespace std::chrono_literals;

constexpr uint8_t kNas = 0x03;
constexpr uint16_t kGetChannelLock = 0x5568;
constexpr uint32_t kNoDevice = 6;
constexpr uint32_t kModemRestarted = 13;

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ModemFaults, AModemThatNeverAnswersIsNotFoundWithinSeconds) {
  SimDaemon daemon("silent-modem");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  const auto start = Clock::now();
  const ProcessResult run = vantctl({"-k"}, 90s);
  const double elapsed = seconds_since(start);
  report_figure("silent modem: time to error", elapsed, "s");
  EXPECT_TRUE(run.exited_with(1)) << run.err;
  EXPECT_EQ(3u, count_of(run.out, "Unable to find device.."));
  EXPECT_LT(elapsed, 10.0);
  EXPECT_EQ(std::string::npos, daemon.log().find("modem present")) << daemon.log();
}

int state_of(const std::optional<Packet>& indication) {
  if (!indication || indication->message_id != 0x0014) return -1;
  const auto state = tlv_value(indication->tlvs, 0x10);
  return state && state->size() == 1 ? (*state)[0] : -1;
}

// The modem goes away 2 s after the daemon started, for 2 s, and comes back
// restarted (a Sync indication, every client id forgotten); again 6 s later.
TEST(ModemFaults, RequestsAcrossUnplugAndRestartAreAllAnswered) {
  SimDaemon daemon("modem-flaps");
  const auto started = Clock::now();
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  TestClient client(0, 0);
  const auto connected = client.connect_device();
  ASSERT_TRUE(connected && connected->result == 0);

  size_t sent = 0, answered = 0, ok = 0, absent = 0, restarted = 0;
  std::optional<Clock::time_point> last_ok, first_failure, back, recovered;
  uint8_t transaction = 0;
  while (Clock::now() - started < 9s) {
    const auto answer = client.request({.transaction = ++transaction,
                                        .service = kNas,
                                        .message_id = kGetChannelLock,
                                        .timeout_ms = 2000},
                                       6s);
    ++sent;
    if (!answer) continue;
    ++answered;
    const auto now = Clock::now();
    if (answer->result == 0) {
      ++ok;
      if (!first_failure) last_ok = now;
      if (back && !recovered) recovered = now;
    } else {
      absent += answer->result == kNoDevice;
      restarted += answer->result == kModemRestarted;
      if (!first_failure) first_failure = now;
    }
    while (const auto indication = client.receive_indication(0ms))
      if (state_of(indication) == 1 && first_failure && !back) back = Clock::now();
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(sent, answered) << "requests lost";
  EXPECT_EQ(answered, ok + absent + restarted) << "answers other than success, 6 or 13";
  EXPECT_GT(absent, 0u) << "the outage was not seen";
  ASSERT_TRUE(last_ok && first_failure && back && recovered);
  // Requests go out every 20 ms or so: the gap between the last answer of the
  // modem and the first failure bounds the time the daemon took to notice.
  report_figure("unplug: time to detect (last success to first failure)",
                std::chrono::duration<double>(*first_failure - *last_ok).count(), "s");
  report_figure("replug: time to recover (first success after state 1)",
                std::chrono::duration<double>(*recovered - *back).count(), "s");
  report_figure("unplug/replug: requests sent", static_cast<double>(sent), "");
  report_figure("unplug/replug: requests lost", static_cast<double>(sent - answered), "");
}

// Crashed daemons leave client ids behind; each new one frees them with its
// Sync, so a modem with two ids per service serves a hundred of them.
TEST(ModemFaults, AHundredDaemonCrashesAgainstAModemWithFewClientIds) {
  // A folder of its own: the test is process 1 of its namespace, so a name
  // made of its process id would be the same in every run.
  const test::TempDir folder;
  const std::string link = folder.path() + "/modem";
  Process emulator(bin_dir() + "/vantsim", {"--link", link, "--scenario",
                                            VANT_SOURCE_DIR "/sim/scenarios/few-client-ids.json"});
  for (int i = 0; i < 250 && !std::filesystem::exists(link); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(std::filesystem::exists(link));
  const auto start = Clock::now();
  int served = 0;
  std::string first_failure;
  for (int round = 0; round < 100; ++round) {
    Process daemon(bin_dir() + "/vantsdk", {"0", "--foreground", "--device", link});
    ASSERT_TRUE(daemon::testing::wait_for_daemon(0)) << "round " << round;
    TestClient client(0, 0);
    const auto connected = client.connect_device();
    const auto lock = client.request(
        {.transaction = 1, .service = kNas, .message_id = kGetChannelLock, .timeout_ms = 3000});
    const auto result = lock ? qmux::find_result(lock->tlvs) : std::nullopt;
    const bool ok =
        connected && connected->result == 0 && lock && lock->result == 0 && result && result->ok();
    served += ok;
    if (!ok && first_failure.empty())
      first_failure = "round " + std::to_string(round) + ": connect " +
                      (connected ? std::to_string(connected->result) : "unanswered") + ", lock " +
                      (lock ? std::to_string(lock->result) + " qmi error " +
                                  std::to_string(result ? result->error : -1)
                            : "unanswered");
    kill(daemon.pid(), SIGKILL);
    daemon.wait(5s);
  }
  report_figure("100 daemon crashes: rounds served", served, "");
  report_figure("100 daemon crashes: wall time", seconds_since(start), "s");
  EXPECT_EQ(100, served) << first_failure;
}

}  // namespace
}  // namespace vant::faults
