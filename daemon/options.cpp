#include "daemon/options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "daemon/sysfs_source.h"

namespace vant::daemon {
namespace {

enum class Argument { none, required, optional };

using Apply = bool (*)(DaemonOptions& options, std::string_view value, std::string& error);

struct OptionRow {
  std::string_view long_name;
  char short_name;  // 0: long form only
  Argument argument;
  std::string_view value_name;
  std::string_view help;
  Apply apply;
};

bool set_device(DaemonOptions& o, std::string_view value, std::string& error) {
  if (value.empty()) {
    error = "--device needs a path";
    return false;
  }
  ModemSelector selector;
  if (!parse_modem_selector(value, selector, error)) {
    error = "--device " + std::string(value) + ": " + error;
    return false;
  }
  o.device = value;
  return true;
}

bool set_dev_root(DaemonOptions& o, std::string_view value, std::string& error) {
  if (value.empty()) {
    error = "--dev-root needs a directory";
    return false;
  }
  o.dev_root = value;
  return true;
}

bool set_list(DaemonOptions& o, std::string_view, std::string&) {
  return o.list = true;
}

bool set_simulate(DaemonOptions& o, std::string_view value, std::string&) {
  o.simulate = true;
  o.scenario = value;
  return true;
}

bool set_sysfs_root(DaemonOptions& o, std::string_view value, std::string& error) {
  if (value.empty()) {
    error = "--sysfs-root needs a directory";
    return false;
  }
  o.sysfs_root = value;
  return true;
}

bool set_state_dir(DaemonOptions& o, std::string_view value, std::string& error) {
  if (value.empty() || value.front() != '/') {
    error = "--state-dir needs an absolute directory";
    return false;
  }
  o.state_dir = value;
  return true;
}

bool set_allow_group(DaemonOptions& o, std::string_view value, std::string& error) {
  if (value.empty()) {
    error = "--allow-group needs a group";
    return false;
  }
  o.allow_group = value;
  return true;
}

bool set_foreground(DaemonOptions& o, std::string_view, std::string&) {
  return o.foreground = true;
}
bool set_take_over(DaemonOptions& o, std::string_view, std::string&) {
  return o.take_over = true;
}
bool set_qmi_proxy(DaemonOptions& o, std::string_view, std::string&) {
  return o.qmi_proxy = true;
}
bool set_mbim(DaemonOptions& o, std::string_view, std::string&) {
  return o.mbim = true;
}
bool set_verbose(DaemonOptions& o, std::string_view, std::string&) {
  return o.verbose = true;
}
bool set_nothing(DaemonOptions&, std::string_view, std::string&) {
  return true;
}

constexpr std::string_view kHelpName = "help";

constexpr std::array kOptions{
    OptionRow{"device", 'd', Argument::required, "PATH",
              "talk to the modem on PATH: a QMI control device (/dev/cdc-wdmN) or the\n"
              "pseudo-terminal of the emulator (vantsim --link PATH); or to the modem\n"
              "usb:PORT (usb:1-1.2), pci:ADDRESS (pci:0000:01:00.0) or imei:IMEI,\n"
              "wherever its node is",
              &set_device},
    OptionRow{"simulate", 's', Argument::optional, "SCENARIO",
              "run the QMI modem emulator inside the daemon instead of using a device;\n"
              "SCENARIO names one of the emulator's scenarios (its default if left out)",
              &set_simulate},
    OptionRow{"foreground", 'f', Argument::none, "",
              "stay attached to the terminal and log to standard error", &set_foreground},
    OptionRow{"take-over", 0, Argument::none, "",
              "when a daemon of root or of our user runs for the modem index, ask it\n"
              "to end and serve in its place (how a supervisor starts it)",
              &set_take_over},
    OptionRow{"qmi-proxy", 0, Argument::none, "",
              "reach the modem through libqmi's qmi-proxy, beside the programs that\n"
              "share it (ModemManager, qmicli -p); automatic when qmi-proxy has the node",
              &set_qmi_proxy},
    OptionRow{"mbim", 0, Argument::none, "",
              "speak MBIM, with QMI through the modem's QMI service, on the --device\n"
              "node when sysfs does not tell (a pseudo-terminal: vantsim --mbim); with\n"
              "--simulate, emulate an MBIM modem. MBIM nodes that sysfs shows need it not",
              &set_mbim},
    OptionRow{"verbose", 'v', Argument::none, "", "log debug lines too", &set_verbose},
    OptionRow{"sysfs-root", 0, Argument::required, "DIR",
              "look for QMI control devices below DIR instead of /sys", &set_sysfs_root},
    OptionRow{"dev-root", 0, Argument::required, "DIR",
              "open the nodes that sysfs names in DIR instead of /dev", &set_dev_root},
    OptionRow{"list", 0, Argument::none, "",
              "list the modem control nodes found (node, transport, driver, device,\n"
              "modem index, who has it open) and exit",
              &set_list},
    OptionRow{"state-dir", 0, Argument::required, "DIR",
              "journal pending radio changes in DIR (default /var/lib/vant; memory\n"
              "only with the built-in emulator, whose modem ends with the daemon)",
              &set_state_dir},
    OptionRow{"allow-group", 0, Argument::required, "GROUP",
              "serve the processes of GROUP (their group or one of their supplementary\n"
              "groups) too, besides root and our own user: the web server's grant",
              &set_allow_group},
    OptionRow{kHelpName, 'h', Argument::none, "", "print this text and exit", &set_nothing},
};

const OptionRow* find_long(std::string_view name) {
  for (const auto& row : kOptions)
    if (row.long_name == name) return &row;
  return nullptr;
}

const OptionRow* find_short(char name) {
  for (const auto& row : kOptions)
    if (row.short_name != 0 && row.short_name == name) return &row;
  return nullptr;
}

// Walks argv once; every option and the one positional argument are applied
// to result as they come.
class Parser {
 public:
  Parser(int argc, const char* const* argv, ParseResult& result)
      : argc_(argc), argv_(argv), result_(result) {}

  bool run() {
    bool options_ended = false;
    for (index_ = 1; index_ < argc_; ++index_) {
      const std::string_view arg = argv_[index_];
      bool ok;
      if (!options_ended && arg == "--") {
        options_ended = true;
        ok = true;
      } else if (!options_ended && arg.starts_with("--")) {
        ok = long_option(arg.substr(2));
      } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
        ok = short_options(arg.substr(1));
      } else {
        ok = positional(arg);
      }
      if (!ok || help_) return ok;
    }
    return true;
  }

  bool help() const { return help_; }

 private:
  bool long_option(std::string_view text) {
    const auto equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const OptionRow* row = find_long(name);
    if (row == nullptr) return fail("unknown option '--" + std::string(name) + "'");
    if (equals != std::string_view::npos) {
      if (row->argument == Argument::none)
        return fail("option '--" + std::string(name) + "' takes no value");
      return apply(*row, text.substr(equals + 1));
    }
    if (row->argument == Argument::required) {
      if (index_ + 1 >= argc_) return fail("option '--" + std::string(name) + "' needs a value");
      return apply(*row, argv_[++index_]);
    }
    return apply(*row, {});
  }

  // "-fv", "-d PATH", "-dPATH"; an optional value must be attached ("-sNAME").
  bool short_options(std::string_view letters) {
    for (size_t i = 0; i < letters.size(); ++i) {
      const OptionRow* row = find_short(letters[i]);
      if (row == nullptr) return fail(std::string("unknown option '-") + letters[i] + "'");
      if (row->argument == Argument::none) {
        if (!apply(*row, {})) return false;
        continue;
      }
      std::string_view value = letters.substr(i + 1);
      if (value.empty() && row->argument == Argument::required) {
        if (index_ + 1 >= argc_)
          return fail(std::string("option '-") + letters[i] + "' needs a value");
        value = argv_[++index_];
      }
      return apply(*row, value);
    }
    return true;
  }

  bool positional(std::string_view text) {
    if (have_modem_) return fail("unexpected argument '" + std::string(text) + "'");
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
      return fail("modem index '" + std::string(text) + "' is not a number");
    if (value >= kModemCount)
      return fail("modem index " + std::to_string(value) + " is out of range (0 to " +
                  std::to_string(kModemCount - 1) + ")");
    result_.options.modem = value;
    have_modem_ = true;
    return true;
  }

  bool apply(const OptionRow& row, std::string_view value) {
    if (row.long_name == kHelpName) help_ = true;
    return row.apply(result_.options, value, result_.error);
  }

  bool fail(std::string message) {
    result_.error = std::move(message);
    return false;
  }

  int argc_;
  const char* const* argv_;
  ParseResult& result_;
  int index_ = 1;
  bool have_modem_ = false;
  bool help_ = false;
};

std::string option_heading(const OptionRow& row) {
  std::string text = "  ";
  text += row.short_name != 0 ? std::string("-") + row.short_name + ", " : "    ";
  text += "--";
  text += row.long_name;
  if (row.argument == Argument::required) text += " " + std::string(row.value_name);
  if (row.argument == Argument::optional) text += "[=" + std::string(row.value_name) + "]";
  return text;
}

// Indents the continuation lines of a help entry under its first line.
std::string indent_help(std::string_view help, size_t column) {
  std::string text;
  for (char c : help) {
    text += c;
    if (c == '\n') text.append(column, ' ');
  }
  return text;
}

constexpr std::string_view kDescription =
    "The SDK daemon: owns the QMI control channel of one modem and serves up to three\n"
    "client processes of the vant client library (vantctl among them) on abstract\n"
    "Unix datagram sockets named after the modem index (0 to 11, default 0).\n";

constexpr std::string_view kBehaviour =
    "\n"
    "Which modem: with --device, that node or that modem; with --simulate (or when\n"
    "started as vantsdk-sim), the built-in emulator; otherwise the N-th modem control\n"
    "node in sysfs (cdc-wdm devices bound to the qmi_wwan driver in name order, then\n"
    "QMI WWAN ports, then the MBIM nodes of modems without those), N being the modem\n"
    "index, passing over nodes another daemon holds. On an MBIM node the daemon speaks\n"
    "QMI through the modem's QMI service, and refuses a modem that has none.\n"
    "Once it has driven a modem the daemon keeps to it, by its USB port or PCI address\n"
    "and its IMEI. A modem that disappears is announced to connected clients, and the\n"
    "daemon waits for that modem, under whatever node name it returns. A node held by\n"
    "another daemon or open in another program (ModemManager, qmicli, uqmi) is not\n"
    "shared; the daemon names who has it open. A node that qmi-proxy has open is\n"
    "reached through qmi-proxy, which shares the modem; the daemon then sends no Sync.\n"
    "\n"
    "Unless --foreground is given, the daemon detaches: it starts a new session, works\n"
    "in /, puts standard input and output on /dev/null and logs to syslog (facility\n"
    "user). A second daemon for the same modem index refuses to start (exit status 1),\n"
    "unless --take-over is given and the first one ends when asked.\n"
    "It ends on SIGTERM or SIGINT, or when a client asks it to; it then releases its\n"
    "QMI client ids.\n"
    "\n"
    "Exit status: 0 after a clean end, 1 when it could not start or could not go on,\n"
    "2 for a bad command line.\n";

// --mbim names how a node path or the emulator speaks; a selector's nodes
// are of the kinds sysfs tells.
bool mbim_applies(const DaemonOptions& o, std::string& error) {
  ModemSelector selector;
  std::string unused;
  const bool node_path = !o.device.empty() && parse_modem_selector(o.device, selector, unused) &&
                         selector.kind == ModemSelector::Kind::node;
  if (o.qmi_proxy) {
    error = "--mbim and --qmi-proxy exclude each other";
  } else if (!o.simulate && !node_path) {
    error = "--mbim needs --device PATH or --simulate";
  } else {
    return true;
  }
  return false;
}

}  // namespace

ParseResult parse_daemon_options(int argc, const char* const* argv) {
  ParseResult result;
  result.options.simulate = argc > 0 && invoked_as_simulator(argv[0]);
  Parser parser(argc, argv, result);
  if (!parser.run()) {
    result.action = ParseAction::error;
    return result;
  }
  if (parser.help()) {
    result.action = ParseAction::help;
    return result;
  }
  if (result.options.simulate && !result.options.device.empty()) {
    result.action = ParseAction::error;
    result.error = "--device and --simulate exclude each other";
  } else if (result.options.simulate && result.options.qmi_proxy) {
    result.action = ParseAction::error;
    result.error = "--qmi-proxy and --simulate exclude each other";
  } else if (result.options.mbim && !mbim_applies(result.options, result.error)) {
    result.action = ParseAction::error;
  }
  return result;
}

std::string daemon_usage(std::string_view program) {
  std::string text = "Usage: " + std::string(program) + " [OPTIONS] [MODEM-INDEX]\n\n";
  text += kDescription;
  text += "\nOptions:\n";
  constexpr size_t kHelpColumn = 30;
  for (const auto& row : kOptions) {
    std::string heading = option_heading(row);
    heading.resize(std::max(heading.size() + 2, kHelpColumn), ' ');
    text += heading + indent_help(row.help, kHelpColumn) + "\n";
  }
  text += kBehaviour;
  return text;
}

bool invoked_as_simulator(std::string_view argv0) {
  const auto slash = argv0.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
  return base == kSimulatorProgramName;
}

}  // namespace vant::daemon
