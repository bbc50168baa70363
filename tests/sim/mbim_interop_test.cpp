// vantsim --mbim on a pseudo-terminal, driven by Debian's mbimcli and by
// qmicli --device-open-mbim: independent MBIM hosts, which must find the QMI
// service and read through it what the same modem tells over QMUX.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "sim/scenario_json.h"

namespace vant::sim {
namespace {

using namespace std::chrono_literals;

constexpr const char* kQmicli = "/usr/bin/qmicli";
constexpr const char* kMbimcli = "/usr/bin/mbimcli";

std::string interop_scenario() {
  return std::string(VANT_SOURCE_DIR) + "/tests/sim/interop.json";
}

// One vantsim on a link of its own, ended when the test ends.
class Emulated {
 public:
  explicit Emulated(const std::vector<std::string>& options) {
    char dir[] = "/tmp/vantsim-mbim-XXXXXX";
    if (!mkdtemp(dir)) return;
    dir_ = dir;
    link_ = dir_ + "/modem";
    std::vector<std::string> args{testing::vantsim_path(), "--link", link_};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = testing::spawn(args);
    struct stat st {};
    for (int i = 0; i < 500 && lstat(link_.c_str(), &st) != 0; ++i)
      std::this_thread::sleep_for(10ms);
  }
  ~Emulated() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) rmdir(dir_.c_str());
  }
  bool up() const {
    struct stat st {};
    return pid_ > 0 && lstat(link_.c_str(), &st) == 0;
  }
  const std::string& link() const { return link_; }

 private:
  std::string dir_, link_;
  pid_t pid_ = -1;
};

// A host's report (its arguments name the device second) without its log
// lines, which carry the time, and with the device's path left out.
std::string report(const std::vector<std::string>& args) {
  std::istringstream lines(testing::run(args).output);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("] -Warning **") != std::string::npos) continue;
    for (size_t at; (at = line.find(args[2])) != std::string::npos;) line.erase(at, args[2].size());
    out += line + "\n";
  }
  return out;
}

class MbimHosts : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {kQmicli, kMbimcli})
      if (access(tool, X_OK) != 0)
        GTEST_SKIP() << tool << " is not installed (Debian's libqmi-utils, libmbim-utils)";
  }
};

TEST_F(MbimHosts, MbimcliFindsTheQmiServiceOnlyWhereTheModemOffersIt) {
  const Emulated with_qmi({"--mbim"});
  const Emulated without_qmi({"--mbim", "--mbim-without-qmi"});
  ASSERT_TRUE(with_qmi.up() && without_qmi.up());
  const std::string listed = report({kMbimcli, "-d", with_qmi.link(), "--query-device-services"});
  EXPECT_NE(std::string::npos, listed.find("Service: 'basic-connect'")) << listed;
  EXPECT_NE(std::string::npos, listed.find("UUID: [d1a30bc2-f97a-6e43-bf65-c7e24fb0f0d3]"))
      << listed;
  EXPECT_NE(std::string::npos, listed.find("CIDs: msg (1)")) << listed;
  const std::string left_out =
      report({kMbimcli, "-d", without_qmi.link(), "--query-device-services"});
  EXPECT_NE(std::string::npos, left_out.find("Services: (1)")) << left_out;
  EXPECT_EQ(std::string::npos, left_out.find("'qmi'")) << left_out;
}

// The modem cuts what it sends into 64-byte fragments, which qmicli joins.
TEST_F(MbimHosts, QmicliReadsThroughMbimWhatTheModemTellsOverQmux) {
  const Emulated qmux({"--scenario", interop_scenario()});
  const Emulated mbim({"--scenario", interop_scenario(), "--mbim", "--mbim-max-transfer", "64"});
  ASSERT_TRUE(qmux.up() && mbim.up());
  std::string error;
  const auto scenario = load_scenario_file(interop_scenario(), error);
  ASSERT_TRUE(scenario) << error;
  const std::string ids =
      report({kQmicli, "-d", mbim.link(), "--device-open-mbim", "--dms-get-ids"});
  EXPECT_NE(std::string::npos, ids.find("IMEI: '" + scenario->identity.imei + "'")) << ids;

  const std::string through_mbim =
      report({kQmicli, "-d", mbim.link(), "--device-open-mbim", "--nas-get-cell-location-info"});
  EXPECT_NE(std::string::npos, through_mbim.find("Successfully got cell location info"))
      << through_mbim;
  EXPECT_GT(through_mbim.size(), 1000u) << "a whole report";
  EXPECT_EQ(
      report({kQmicli, "-d", qmux.link(), "--device-open-qmi", "--nas-get-cell-location-info"}),
      through_mbim);
}

}  // namespace
}  // namespace vant::sim
