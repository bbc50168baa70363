// `vantctl --cops` against emulated modems whose network scans end in every
// way the command tells apart: the whole standard output, nothing on standard
// error, exit status 0 whatever the scan reported.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/e2e/e2e_env.h"
#include "tests/support/abstract_socket.h"
#include "tests/support/child_process.h"

namespace vant::e2e {
namespace {

struct CopsCase {
  const char* scenario;
  std::string out;
};

void PrintTo(const CopsCase& c, std::ostream* os) {
  *os << c.scenario;
}

const std::string kHeader = "num: desc carrierid roaming rat serving\n";
const std::string kThreeOperators =
    kHeader +
    "0: Northwind Mobile, 310260, Home, LTE, Serving\n"
    "1: Bluepeak, 310410, Roaming, LTE, Not current serving network-available\n"
    "2: Cascade Wireless, 311480, Roaming, UMTS, Not current serving network-available\n"
    "found 3 operators\n";
const std::string kMismatch =
    "scan data mismatched\nscan for operator failed, exit code 4294967295\n";

class OperatorScanE2e : public testing::TestWithParam<CopsCase> {};

TEST_P(OperatorScanE2e, PrintsExactly) {
  ScenarioModem modem(GetParam().scenario);
  ASSERT_TRUE(modem.ready()) << modem.log();
  const ProcessResult result = vantctl({"--cops"});
  EXPECT_EQ(GetParam().out, result.out);
  EXPECT_EQ("", result.err);
  EXPECT_TRUE(result.exited_with(0))
      << "exit " << result.exit_code << " signal " << result.term_signal;
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, OperatorScanE2e,
    testing::Values(CopsCase{"three-operators", kThreeOperators},
                    // 13 s: longer than the client's wait for any ordinary request.
                    CopsCase{"slow-scan", kThreeOperators},
                    // Values without a text of their own still give their line, shown by number.
                    CopsCase{"unlisted-values",
                             kHeader + "0: Westmoor GSM, 23415, Unknown, GSM, Not current serving "
                                       "network-available\n"
                                       "1: , 3105, Unknown (3), NR5G, Unknown (3)\n"
                                       "2: Test Network, 11, Home, Unknown (99), Unknown\n"
                                       "found 3 operators\n"},
                    // 17 entries do not fit the 16 of the command: "Buffer too small".
                    CopsCase{"seventeen-networks", "scan for operator failed, exit code 5\n"},
                    // A scan that did not complete lists nothing; no earlier list in this process.
                    CopsCase{"scan-incomplete", "found 0 operators\n"},
                    CopsCase{"mismatched-lists", kMismatch}, CopsCase{"flags-missing", kMismatch},
                    // A completed scan without lists found nothing: no phantom entries from
                    // the unfilled buffers.
                    CopsCase{"missing-lists", kHeader + "found 0 operators\n"},
                    // Without the scan result word the scan is taken as completed.
                    CopsCase{"no-scan-result", kThreeOperators},
                    CopsCase{"scan-refused", "scan for operator failed, exit code 1003\n"}),
    [](const auto& info) { return scenario_test_name(info.param.scenario); });

std::string file_text(int fd) {
  std::string text;
  char buffer[4096];
  off_t offset = 0;
  for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, offset)) > 0; offset += n)
    text.append(buffer, static_cast<size_t>(n));
  return text;
}

// A scan in progress on one client holds nothing up for the others: while it
// runs, a second client reads the channel lock and a third the cell report,
// each getting its own answer, and the scan still ends with its list.
TEST(ConcurrentClientsE2e, OthersAreServedDuringASlowScan) {
  ScenarioModem modem("slow-scan");
  ASSERT_TRUE(modem.ready()) << modem.log();
  const int out = memfd_create("cops-out", MFD_CLOEXEC);
  const int err = memfd_create("cops-err", MFD_CLOEXEC);
  ASSERT_GE(out, 0);
  ASSERT_GE(err, 0);
  const pid_t cops = test::spawn_child(vantctl_command({"--cops"}), {-1, out, err});
  ASSERT_GT(cops, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!test::abstract_name_bound("KEL0_API_QMRR1_SOCKET_0") &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Time for the scan request to reach the modem.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  const ProcessResult lock = vantctl({"--getchanlock"});
  EXPECT_EQ(
      "VANTNASKelGetChannelLock returns 0\n"
      "\nWCDMA UARFCN:\nStatus: 0x00\nUARFCN: 0\n"
      "\nLTE EARFCN:\nStatus: 0x00\nEARFCN Primary: 0\nEARFCN Secondary: 0\n"
      "\nLTE PCI:\nStatus: 0x00\nEARFCN: 0\nPCI: 0\n",
      lock.err);
  EXPECT_TRUE(lock.exited_with(0));
  const ProcessResult report = vantctl({"--scan"});
  EXPECT_EQ(read_source_file("golden/no-cells-scan.txt"), report.out);
  EXPECT_TRUE(report.exited_with(0));

  int status = 0;
  EXPECT_FALSE(test::wait_child(cops, 0, &status)) << "the scan ended before the others ran";
  ASSERT_TRUE(test::wait_child(cops, 30000, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(kThreeOperators, file_text(out));
  EXPECT_EQ("", file_text(err));
  close(out);
  close(err);
}

}  // namespace
}  // namespace vant::e2e
