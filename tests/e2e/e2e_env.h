// What every end-to-end test needs: the real vantctl run as a user runs it,
// the emulated modem (the daemon in simulation mode), the scenario files of
// these tests and the reviewed reports they are compared with.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/daemon_process.h"
#include "tests/support/process_runner.h"

namespace vant::e2e {

using test::ProcessResult;

// vantctl with "-s <bin>/vantsdk-sim" in front of `arguments`: it attaches to
// the daemon of modem 0, or launches the simulating daemon (the emulator's
// default modem) when none runs.
ProcessResult vantctl(std::vector<std::string> arguments,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60));
// The arguments vantctl() puts in front of the caller's.
std::vector<std::string> vantctl_command(std::vector<std::string> arguments);

// The path of tests/e2e/scenarios/<name>.json.
std::string scenario_file(const std::string& name);
// A scenario name as a test name ("scan-refused" gives "scanrefused").
std::string scenario_test_name(const std::string& scenario);
// The contents of a file below tests/e2e (empty when it cannot be read).
std::string read_source_file(const std::string& relative_path);

// The daemon of modem 0 run in the foreground by the test, its emulator
// playing one scenario of tests/e2e/scenarios; vantctl attaches to it. It is
// stopped when the object goes.
class ScenarioModem {
 public:
  explicit ScenarioModem(const std::string& scenario_name);

  // True once the daemon serves clients.
  bool ready() const { return ready_; }
  // What the daemon logged, for failure messages.
  std::string log() const { return daemon_.output(); }

 private:
  test::DaemonProcess daemon_;
  bool ready_ = false;
};

// Texts the channel-lock commands print whatever the modem says.
inline constexpr const char* kChanLockUsage =
    "valid channel lock parameters are:\n"
    "\tWcdmaUARFCN,<uarfcn_number>\n"
    "\tLteEARFCN,<earfcn0_number>,<earfcn1_number>\n"
    "\tLtePCI,<earfcn_number>,<pci_number>\n";

}  // namespace vant::e2e
