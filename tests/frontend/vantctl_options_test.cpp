// vantctl refusing its command line: exact output and exit status, and no
// daemon started.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/frontend/vantctl_runs.h"
#include "tests/support/abstract_socket.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_dir.h"

namespace vant::test {
namespace {

const std::string kParseFailed = "main: opts parse args failed\n";
const std::string kValidateFailed = "main: opts validate failed\n";
constexpr int kOptionFailureStatus = 255;

struct RefusedCase {
  std::vector<std::string> arguments;
  std::string err;
};

TEST(VantctlOptions, RefusedCommandLinesReportAndExit255) {
  const std::string& tool = kVantctl;
  const RefusedCase cases[] = {
      {{"-z"}, tool + ": invalid option -- 'z'\noption ? is not found\n" + kParseFailed},
      {{"-k", "--bogus"},
       tool + ": unrecognized option '--bogus'\noption ? is not found\n" + kParseFailed},
      {{"-d"},
       tool + ": option requires an argument -- 'd'\noption ? is not found\n" + kParseFailed},
      {{"--modem"},
       tool + ": option '--modem' requires an argument\noption ? is not found\n" + kParseFailed},
      {{"-j", std::string(512, '1')}, "option j argument is too long\n" + kParseFailed},
      {{"--sdk_path=/x" + std::string(510, 'a')}, "option s argument is too long\n" + kParseFailed},
      {{"-s", ""}, "validate option sdk_path failed\n" + kValidateFailed},
      {{"--sdk_path="}, "validate option sdk_path failed\n" + kValidateFailed},
      {{"-d", "1x"}, "validate option modem failed\n" + kValidateFailed},
      {{"--modem=1x", "-s", ""}, "validate option sdk_path failed\n" + kValidateFailed},
  };
  for (const auto& c : cases) {
    const std::string shown = c.arguments[0];
    const ProcessResult result = vantctl(c.arguments);
    EXPECT_EQ("", result.out) << shown;
    EXPECT_EQ(c.err, result.err) << shown;
    EXPECT_TRUE(result.exited_with(kOptionFailureStatus))
        << shown << ": exit " << result.exit_code << " signal " << result.term_signal;
  }
}

TEST(VantctlOptions, RefusedCommandLineStartsNoDaemon) {
  TempDir dir;
  const std::string daemon = dir.write_file("vantsdk", marker_daemon_script(dir), 0755);
  const std::vector<std::vector<std::string>> refused = {
      {"-s", daemon, "-d", "1x"},
      {"-s", daemon, "-x", "-q"},
      {"-s", daemon, "-j", std::string(600, 'x')},
  };
  for (const auto& arguments : refused) {
    EXPECT_TRUE(vantctl(arguments).exited_with(kOptionFailureStatus)) << arguments[2];
  }
  EXPECT_FALSE(dir.contains(kMarkerFile));
  EXPECT_FALSE(abstract_name_bound(presence_socket_name(0)));
}

// Only 0 to 11 name a modem. Every other value is refused by the library as
// 12 is, before anything is started: none is cut to 8 or 32 bits (256 and
// 4294967296 would otherwise act on modem 0, 267 on modem 11).
TEST(VantctlOptions, ModemIndexOutsideZeroToElevenIsRefused) {
  TempDir dir;
  const std::string daemon = dir.write_file("vantsdk", marker_daemon_script(dir), 0755);
  const std::string refused =
      "Currently, the SDK only suppports up to 12 modem"
      "Failed to start SDK : Exiting App\nFailure Code : 2\n"
      "Failure Reason : the SDK daemon could not be started\n";
  for (const char* modem : {"12", "44", "255", "256", "267", "300", "4294967296", "4294967307",
                            "99999999999999999999", "-1", "-256", "-4294967296"}) {
    const ProcessResult result = vantctl({"-s", daemon, "-d", modem});
    EXPECT_EQ("", result.out) << modem;
    EXPECT_EQ(refused, result.err) << modem;
    EXPECT_TRUE(result.exited_with(1)) << modem << ": exit " << result.exit_code;
  }
  EXPECT_FALSE(dir.contains(kMarkerFile));
  EXPECT_FALSE(abstract_name_bound(presence_socket_name(0)));
}

// The first refused option ends parsing, so a later over-long argument is
// never looked at.
TEST(VantctlOptions, OnlyTheFirstRefusedOptionIsReported) {
  const ProcessResult result = vantctl({"-y", "-j", std::string(600, 'x')});
  EXPECT_EQ(kVantctl + ": invalid option -- 'y'\noption ? is not found\n" + kParseFailed,
            result.err);
  EXPECT_TRUE(result.exited_with(kOptionFailureStatus));
}

}  // namespace
}  // namespace vant::test
