// The daemon's command line: "vantsdk [options] [modem-index]". One table of
// options gives both the parser and the help text.
#pragma once

#include <string>
#include <string_view>

namespace vant::daemon {

inline constexpr unsigned kModemCount = 12;  // modem indices 0..11
inline constexpr std::string_view kDefaultSysfsRoot = "/sys";
inline constexpr std::string_view kDefaultDevRoot = "/dev";
// The name under which the program starts in simulation mode.
inline constexpr std::string_view kSimulatorProgramName = "vantsdk-sim";

struct DaemonOptions {
  unsigned modem = 0;
  // --device: a node path (a QMI control device or the emulator's
  // pseudo-terminal) or a selector: usb:PORT, pci:ADDRESS, imei:IMEI.
  std::string device;
  bool simulate = false;
  std::string scenario;  // --simulate=SCENARIO; empty selects the emulator's default
  bool foreground = false;
  bool take_over = false;  // --take-over: end a daemon of root or ours that runs for the index
  bool qmi_proxy = false;  // --qmi-proxy: reach the modem through libqmi's proxy
  // --mbim: the --device node, whose kind sysfs does not show, speaks MBIM;
  // with --simulate, the emulated modem does.
  bool mbim = false;
  bool verbose = false;
  std::string sysfs_root{kDefaultSysfsRoot};
  // --state-dir: where pending changes are journaled; empty selects
  // /var/lib/vant, or memory only for the built-in emulator.
  std::string state_dir;
  bool list = false;  // --list: print the modems found and exit
  // --dev-root: where the nodes sysfs names are opened (tests point it at
  // links to emulated modems).
  std::string dev_root{kDefaultDevRoot};
  // --allow-group: a group (name or number) whose members are served too.
  std::string allow_group;
};

enum class ParseAction { run, help, error };

struct ParseResult {
  ParseAction action = ParseAction::run;
  DaemonOptions options;
  std::string error;  // for ParseAction::error, one line without the program name
};

// Parses argv (argv[0] included: the program's name selects simulation mode
// when it is kSimulatorProgramName).
ParseResult parse_daemon_options(int argc, const char* const* argv);

// The --help text.
std::string daemon_usage(std::string_view program);

// True when argv[0] names the simulation entry point.
bool invoked_as_simulator(std::string_view argv0);

}  // namespace vant::daemon
