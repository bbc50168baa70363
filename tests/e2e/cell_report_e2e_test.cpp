// `vantctl --scan`, the cell location report, against emulated modems. The
// long reports are compared with a report worked out from the scenario file
// by a generator of their own (expected_cell_report.h), or with a reviewed
// golden file; every comparison takes the whole output.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/e2e/e2e_env.h"
#include "tests/e2e/expected_cell_report.h"

namespace vant::e2e {
namespace {

void expect_report(const ProcessResult& result, const std::string& out) {
  EXPECT_EQ(out, result.out);
  EXPECT_EQ("", result.err);
  EXPECT_TRUE(result.exited_with(0))
      << "exit " << result.exit_code << " signal " << result.term_signal;
}

nlohmann::json scenario_json(const std::string& name) {
  std::ifstream in(scenario_file(name));
  return nlohmann::json::parse(in);
}

class GeneratedReport : public testing::TestWithParam<const char*> {};

TEST_P(GeneratedReport, MatchesTheScenarioFile) {
  const std::string expected = expected_cell_report(scenario_json(GetParam()));
  ScenarioModem modem(GetParam());
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_report(vantctl({"--scan"}), expected);
}

// every-technology: all nine technologies, 255 LTE inter-frequency entries of
// which the first two hold 2 and 3 cells, negative and extreme values.
// gsm-frequency-groups: 255 GSM frequency groups, UMTS without UMTS instances
// but with GERAN instances, six technologies missing.
INSTANTIATE_TEST_SUITE_P(Scenarios, GeneratedReport,
                         testing::Values("every-technology", "gsm-frequency-groups"),
                         [](const auto& info) { return scenario_test_name(info.param); });

// The generator itself, on what the long scenario is about: a test whose
// expected text lost its long lists would prove little.
TEST(ExpectedCellReport, CoversTheLongListsOfItsScenario) {
  const std::string report = expected_cell_report(scenario_json("every-technology"));
  EXPECT_NE(std::string::npos, report.find("Frequency Len : 255 \n"));
  EXPECT_NE(std::string::npos, report.find("\nFrequency Number 255 Information \n"
                                           "EARFCN            : 65535 \n"
                                           "Thresh X Low      : 255 \n"));
  EXPECT_NE(std::string::npos, report.find("Cells Length      : 2 \nCell Number 1 Information \n"
                                           "\tPhysical Cell Id: 29 \n"));
  EXPECT_NE(std::string::npos, report.find("ECIO      : -32768 \n"));
  EXPECT_NE(std::string::npos, report.find("PLMN info : 13 f0 62 \n"));
  EXPECT_NE(std::string::npos, report.find("\tRSRP             : 16777216.000000 \n"
                                           "\tRSRQ             : 4294967296.000000 \n"));
}

// The emulator's built-in modem, as vantctl launches it (shown in the README).
TEST(CellReportE2e, DefaultModemMatchesGolden) {
  const std::string golden = read_source_file("golden/default-scan.txt");
  ASSERT_FALSE(golden.empty());
  expect_report(vantctl({"--scan"}), golden);
}

// Only the result TLV: every section with its "unknown" values, no entries.
TEST(CellReportE2e, AnswerWithOnlyTheResultShowsEverySectionUnknown) {
  const std::string golden = read_source_file("golden/no-cells-scan.txt");
  ASSERT_FALSE(golden.empty());
  ScenarioModem modem("no-cells");
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_report(vantctl({"--scan"}), golden);
}

struct FailedReport {
  const char* scenario;
  std::string out;
};

void PrintTo(const FailedReport& c, std::ostream* os) {
  *os << c.scenario;
}

class FailedReportE2e : public testing::TestWithParam<FailedReport> {};

// A failed request prints its code and reason, and nothing of the records.
TEST_P(FailedReportE2e, PrintsOnlyTheResult) {
  ScenarioModem modem(GetParam().scenario);
  ASSERT_TRUE(modem.ready()) << modem.log();
  expect_report(vantctl({"--scan"}), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FailedReportE2e,
    testing::Values(
        // The modem refuses but still sends its cells.
        FailedReport{"scan-refused",
                     "Return Code: 1016\n"
                     "Return Reason: Requested information element not provisioned on device\n"},
        // 255 GERAN neighbours make an answer larger than a client's buffer.
        FailedReport{"oversized-answer",
                     "Return Code: 16\nReturn Reason: Malformed QMI response received\n"},
        FailedReport{"cells-unanswered", "Return Code: 57348\nReturn Reason: SDK timed out\n"}),
    [](const auto& info) { return scenario_test_name(info.param.scenario); });

}  // namespace
}  // namespace vant::e2e
