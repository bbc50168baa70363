// The channel-lock commands of the real vantctl against the daemon and its
// emulated modem: what each command prints (all of it, on the right stream),
// what reaches the modem (read back with a following --getchanlock), and the
// start-up refusal of a fourth client.
#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <iomanip>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_env.h"
#include "tests/support/abstract_socket.h"
#include "tests/support/child_process.h"

namespace vant::e2e {
namespace {

// The three locks as --getchanlock shows them.
struct Locks {
  unsigned wcdma_status;
  uint32_t uarfcn;
  unsigned earfcn_status;
  uint32_t earfcn0, earfcn1;
  unsigned pci_status;
  uint32_t earfcn, pci;
};

constexpr Locks kUnlocked{0, 0, 0, 0, 0, 0, 0, 0};
// The locks of the "locks-set" scenario.
constexpr Locks kScenarioLocks{1, 4360, 1, 5110, 2000, 1, 2000, 41};

std::string status_byte(unsigned status) {
  std::ostringstream text;
  text << "Status: 0x" << std::uppercase << std::hex << std::setw(2) << std::setfill('0') << status
       << "\n";
  return text.str();
}

std::string read_report(const Locks& l) {
  const auto n = [](uint32_t v) { return std::to_string(v) + "\n"; };
  return "VANTNASKelGetChannelLock returns 0\n"
         "\nWCDMA UARFCN:\n" +
         status_byte(l.wcdma_status) + "UARFCN: " + n(l.uarfcn) + "\nLTE EARFCN:\n" +
         status_byte(l.earfcn_status) + "EARFCN Primary: " + n(l.earfcn0) +
         "EARFCN Secondary: " + n(l.earfcn1) + "\nLTE PCI:\n" + status_byte(l.pci_status) +
         "EARFCN: " + n(l.earfcn) + "PCI: " + n(l.pci);
}

// The parameter block that --chanreset prints before its first request: all
// three kinds locked, every channel value 0.
constexpr const char* kResetParameters =
    "Parameter Set:"
    "\nWCDMA UARFCN\nWCDMA UARFCN Status: 1\nWCDMA UARFCN Value: 0\n"
    "\nLTE EARFCN\nLTE EARFCN Status: 1\nLTE Primary EARFCN Value: 0\n"
    "LTE Secondary EARFCN Value: 0\n"
    "\nLTE PCI\nLTE PCI Status: 1\nLTE EARFCN Value: 0\nLTE PCI Value: 0\n";

void expect_run(const ProcessResult& result, const std::string& out, const std::string& err,
                const std::string& shown) {
  EXPECT_EQ(out, result.out) << shown;
  EXPECT_EQ(err, result.err) << shown;
  EXPECT_TRUE(result.exited_with(0))
      << shown << ": exit " << result.exit_code << " signal " << result.term_signal;
}

void expect_locks(const Locks& locks, const std::string& shown) {
  expect_run(vantctl({"--getchanlock"}), "", read_report(locks), "read back after " + shown);
}

struct SetStep {
  std::vector<std::string> arguments;
  std::string err;
  Locks after;  // all three locks as the modem then holds them
};

// One modem, one form after another: each lock kind changes only what its
// request carries, so the read-back shows the effect of every set so far.
TEST(ChannelLockE2e, EachSetFormReachesTheModemAndReadsBack) {
  const SetStep steps[] = {
      {{"--setchanlock", "WcdmaUARFCN,4360"},
       "WcdmaUARFCN with uarfcn = 4360\n"
       "Parameter Set:\nWCDMA UARFCN\nWCDMA UARFCN Status: 1\nWCDMA UARFCN Value: 4360\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {1, 4360, 0, 0, 0, 0, 0, 0}},
      // The cell lock also clears the EARFCN pair lock, and leaves WCDMA alone.
      {{"--setchanlock=LtePCI,2000,41"},
       "LteEARFCN with earfcn = 2000 pci = 41\n"
       "Parameter Set:"
       "\nLTE EARFCN\nLTE EARFCN Status: 0\nLTE Primary EARFCN Value: 0\n"
       "LTE Secondary EARFCN Value: 0\n"
       "\nLTE PCI\nLTE PCI Status: 1\nLTE EARFCN Value: 2000\nLTE PCI Value: 41\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {1, 4360, 0, 0, 0, 1, 2000, 41}},
      // The pair lock clears WCDMA and leaves the cell lock; a secondary 0 is sent.
      {{"-j", "LteEARFCN,5110,0"},
       "LteEARFCN with earfcn0 = 5110 earfcn1 = 0\n"
       "Parameter Set:\nWCDMA UARFCN\nWCDMA UARFCN Status: 0\nWCDMA UARFCN Value: 0\n"
       "\nLTE EARFCN\nLTE EARFCN Status: 1\nLTE Primary EARFCN Value: 5110\n"
       "LTE Secondary EARFCN Value: 0\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {0, 0, 1, 5110, 0, 1, 2000, 41}},
      // Empty fields are skipped, and so are fields beyond those needed.
      {{"--setchanlock", "WcdmaUARFCN,,10,20"},
       "WcdmaUARFCN with uarfcn = 10\n"
       "Parameter Set:\nWCDMA UARFCN\nWCDMA UARFCN Status: 1\nWCDMA UARFCN Value: 10\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {1, 10, 1, 5110, 0, 1, 2000, 41}},
      // A first field that begins with the keyword selects the form.
      {{"--setchanlock", "LteEARFCNs,,,1300,,1350"},
       "LteEARFCN with earfcn0 = 1300 earfcn1 = 1350\n"
       "Parameter Set:\nWCDMA UARFCN\nWCDMA UARFCN Status: 0\nWCDMA UARFCN Value: 0\n"
       "\nLTE EARFCN\nLTE EARFCN Status: 1\nLTE Primary EARFCN Value: 1300\n"
       "LTE Secondary EARFCN Value: 1350\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {0, 0, 1, 1300, 1350, 1, 2000, 41}},
      // Blanks and a sign before a number are taken; the number ends at a non-digit.
      {{"--setchanlock", "LtePCI, +850,133th"},
       "LteEARFCN with earfcn = 850 pci = 133\n"
       "Parameter Set:"
       "\nLTE EARFCN\nLTE EARFCN Status: 0\nLTE Primary EARFCN Value: 0\n"
       "LTE Secondary EARFCN Value: 0\n"
       "\nLTE PCI\nLTE PCI Status: 1\nLTE EARFCN Value: 850\nLTE PCI Value: 133\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {0, 0, 0, 0, 0, 1, 850, 133}},
      // A negative number is sent as its 32-bit unsigned value.
      {{"--setchanlock", "WcdmaUARFCNx,-5"},
       "WcdmaUARFCN with uarfcn = -5\n"
       "Parameter Set:\nWCDMA UARFCN\nWCDMA UARFCN Status: 1\nWCDMA UARFCN Value: 4294967291\n"
       "VANTNASKelSetChannelLock returns 0\n",
       {1, 4294967291u, 0, 0, 0, 1, 850, 133}},
  };
  expect_locks(kUnlocked, "start");
  for (const auto& step : steps) {
    const std::string shown = step.arguments.back();
    expect_run(vantctl(step.arguments), "", step.err, shown);
    expect_locks(step.after, shown);
  }
}

// A text that names no valid lock prints the usage text and sends nothing:
// the modem still holds the locks it started with.
TEST(ChannelLockE2e, MalformedTextPrintsUsageAndSendsNothing) {
  ScenarioModem modem("locks-set");
  ASSERT_TRUE(modem.ready()) << modem.log();
  const char* const malformed[] = {
      "",
      ",,,",
      "WcdmaUARFCN",
      "WcdmaUARFCN,0",
      "WcdmaUARFCN,abc",
      "wcdmauarfcn,10",
      "LteEARFCN,100",
      "LteEARFCN,0,100",
      "LtePCI,100",
      "LtePCI,100,0",
      "LtePCI,0,41",
      "LteEARFCX,100,200",
      "Lte,1,2",
      " WcdmaUARFCN,10",
  };
  for (const char* text : malformed) {
    expect_run(vantctl({"--setchanlock", text}), "", kChanLockUsage, text);
  }
  expect_locks(kScenarioLocks, "the malformed texts");
}

// Without any command option the default command runs without a value.
TEST(ChannelLockE2e, NoCommandOptionPrintsUsageAndSendsNothing) {
  ScenarioModem modem("locks-set");
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_run(vantctl({}), "", kChanLockUsage, "no options");
  expect_run(vantctl({"unknown", "words"}), "", kChanLockUsage, "words that are no options");
  expect_locks(kScenarioLocks, "no options");
}

TEST(ChannelLockE2e, ResetLocksAllThreeKindsThenUnlocksThem) {
  ScenarioModem modem("locks-set");
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_locks(kScenarioLocks, "start");
  expect_run(vantctl({"--chanreset"}), "",
             std::string(kResetParameters) +
                 "Return Code: 0\nReturn Reason: Success\n"
                 "Return Code: 0\nReturn Reason: Success\n",
             "--chanreset");
  expect_locks(kUnlocked, "--chanreset");
}

// One command per run, in a fixed order of precedence whatever the order on
// the command line; the read-backs show that the lower ones did not run.
TEST(ChannelLockE2e, OnlyTheCommandOfHighestPrecedenceRuns) {
  ScenarioModem modem("locks-set");
  ASSERT_TRUE(modem.ready()) << modem.log();
  const std::string lock = "LtePCI,850,133";

  expect_run(vantctl({"-r", "-c", "-x", "-j", lock, "-k"}), "", read_report(kScenarioLocks),
             "all five");

  const ProcessResult scan = vantctl({"-j", lock, "--chanreset", "--cops", "--scan"});
  expect_run(vantctl({"--scan"}), scan.out, "", "the scan alone");
  EXPECT_TRUE(scan.out.starts_with("Return Code: 0\nReturn Reason: Success\n")) << scan.out;
  EXPECT_EQ("", scan.err);

  expect_run(vantctl({"--setchanlock=" + lock, "--chanreset", "--cops"}),
             "num: desc carrierid roaming rat serving\n"
             "0: Northwind Mobile, 310260, Home, LTE, Serving\n"
             "1: Bluepeak, 310410, Roaming, LTE, Not current serving network-available\n"
             "2: Cascade Wireless, 311480, Roaming, UMTS, Not current serving network-available\n"
             "found 3 operators\n",
             "", "cops, chanreset and setchanlock");
  expect_locks(kScenarioLocks, "scan and cops");

  expect_run(vantctl({"-j", lock, "-r"}), "",
             std::string(kResetParameters) +
                 "Return Code: 0\nReturn Reason: Success\n"
                 "Return Code: 0\nReturn Reason: Success\n",
             "chanreset and setchanlock");
  expect_locks(kUnlocked, "chanreset and setchanlock");
}

// A read answered with success but without lock TLVs shows every lock as not
// reported: status FF and all-ones values.
TEST(ChannelLockE2e, LocksTheModemDoesNotReportShowAsUnknown) {
  ScenarioModem modem("locks-result-only");
  ASSERT_TRUE(modem.ready()) << modem.log();
  constexpr uint32_t kUnknown = 4294967295u;
  expect_locks({0xFF, kUnknown, 0xFF, kUnknown, kUnknown, 0xFF, kUnknown, kUnknown}, "start");
}

// The modem's refusal comes through as 1000 plus its QMI error; the reset
// still sends its second request after the first failed.
TEST(ChannelLockE2e, ModemRefusalIsReportedAsItsQmiError) {
  ScenarioModem modem("locks-refused");
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_run(vantctl({"--getchanlock"}), "", "VANTNASKelGetChannelLock returns 1016\n",
             "--getchanlock");
  expect_run(vantctl({"--setchanlock", "WcdmaUARFCN,4360"}), "",
             "WcdmaUARFCN with uarfcn = 4360\n"
             "Parameter Set:\nWCDMA UARFCN\nWCDMA UARFCN Status: 1\nWCDMA UARFCN Value: 4360\n"
             "VANTNASKelSetChannelLock returns 1094\n",
             "--setchanlock");
  expect_run(vantctl({"--chanreset"}), "",
             std::string(kResetParameters) +
                 "Return Code: 1094\nReturn Reason: Not Supported\n"
                 "Return Code: 1094\nReturn Reason: Not Supported\n",
             "--chanreset");
}

TEST(ChannelLockE2e, UnansweredRequestsTimeOut) {
  ScenarioModem modem("locks-unanswered");
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_run(vantctl({"--getchanlock"}), "", "VANTNASKelGetChannelLock returns 57348\n",
             "--getchanlock");
  expect_run(vantctl({"--chanreset"}), "",
             std::string(kResetParameters) +
                 "Return Code: 57348\nReturn Reason: SDK timed out\n"
                 "Return Code: 57348\nReturn Reason: SDK timed out\n",
             "--chanreset");
}

// The client side of each of the daemon's three channel pairs.
const char* const kClientChannels[] = {"KEL0_API_QMRR1_SOCKET_0", "KEL0_API_QMRR2_SOCKET_2",
                                       "KEL0_API_QMRR3_SOCKET_4"};

bool channels_bound(bool bound, std::chrono::seconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    bool all = true;
    for (const char* name : kClientChannels) all = all && test::abstract_name_bound(name) == bound;
    if (all) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Three clients in the middle of a minute-long scan hold every channel pair:
// a fourth is turned away at start-up, and once they are gone a new client
// is served again.
TEST(ChannelLockE2e, FourthConcurrentClientIsRefused) {
  ScenarioModem modem("held-scan");
  ASSERT_TRUE(modem.ready()) << modem.log();
  std::vector<pid_t> holders;
  for (int i = 0; i < 3; ++i) holders.push_back(test::spawn_child(vantctl_command({"--cops"}), {}));
  ASSERT_TRUE(channels_bound(true, std::chrono::seconds(20))) << modem.log();

  const ProcessResult fourth = vantctl({"--getchanlock"});
  EXPECT_EQ("", fourth.out);
  EXPECT_EQ(
      "Too many Application connected to SDK\n"
      "Failed to start SDK : Exiting App\nFailure Code : 57349\n"
      "Failure Reason : every client channel of the SDK daemon is taken\n",
      fourth.err);
  EXPECT_TRUE(fourth.exited_with(1)) << "exit " << fourth.exit_code;

  for (const pid_t pid : holders) test::kill_child(pid);
  ASSERT_TRUE(channels_bound(false, std::chrono::seconds(5)));
  expect_locks(kUnlocked, "the holders ended");
}

}  // namespace
}  // namespace vant::e2e
