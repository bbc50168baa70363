// `vantctl --cops` against emulated modems whose network scans end in every
// way the command tells apart: the whole standard output, nothing on standard
// error, exit status 0 whatever the scan reported.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/e2e_env.h"

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

}  // namespace
}  // namespace vant::e2e
