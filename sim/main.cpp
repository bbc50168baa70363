// vantsim: the QMI modem emulator on a pseudo-terminal.
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "sim/emulator.h"
#include "sim/pty_link.h"
#include "sim/scenario_json.h"
#include "sim/schema.h"

namespace {

using vant::sim::Emulator;

struct Options {
  std::string link;
  std::string scenario;
  bool mbim = false;
  bool mbim_without_qmi = false;
  std::string mbim_max_transfer;
  bool help = false;
  std::optional<vant::sim::schema::Format> fields;
};

struct OptionRow {
  const char* name;
  const char* argument;  // empty: a flag
  const char* help;
  std::string Options::*value = nullptr;
  bool Options::*flag = nullptr;
};

constexpr OptionRow kOptions[] = {
    {"--link", "PATH", "publish the modem's pseudo-terminal as a symbolic link at PATH (required)",
     &Options::link},
    {"--scenario", "FILE",
     "start from this scenario: a JSON file, or the name of a bundled one (default: built-in)",
     &Options::scenario},
    {"--mbim", "", "speak MBIM, with QMI through the modem's QMI service, rather than QMUX",
     nullptr, &Options::mbim},
    {"--mbim-without-qmi", "", "with --mbim, a modem whose device services leave QMI out", nullptr,
     &Options::mbim_without_qmi},
    {"--mbim-max-transfer", "BYTES",
     "with --mbim, cut what the modem sends into fragments of at most BYTES\n"
     "                    (64 to 65536; default 4096)",
     &Options::mbim_max_transfer},
};

void print_help(FILE* out) {
  std::fprintf(
      out,
      "usage: vantsim --link PATH [--scenario FILE] [--mbim [--mbim-without-qmi]\n"
      "               [--mbim-max-transfer BYTES]]\n"
      "Emulates a QMI modem speaking QMUX, or QMI through MBIM, on a pseudo-terminal.\n\n");
  for (const auto& o : kOptions) {
    const std::string usage = std::string(o.name) + (*o.argument ? " " : "") + o.argument;
    std::fprintf(out, "  %-17s %s\n", usage.c_str(), o.help);
  }
  std::fprintf(out, "  %-17s %s\n", "--scenario-fields[=FORMAT]",
               "list every field a scenario may hold and exit; FORMAT text (default), markdown "
               "or roff");
  std::fprintf(out, "  %-17s %s\n\nBundled scenarios: %s\n", "--help", "show this text",
               vant::sim::bundled_scenario_dir().c_str());
}

// Accepts "--name value" and "--name=value".
bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--scenario-fields" || arg.starts_with("--scenario-fields=")) {
      using vant::sim::schema::Format;
      const std::string format = arg.size() > 17 ? arg.substr(18) : "text";
      if (format == "text") {
        options.fields = Format::text;
      } else if (format == "markdown") {
        options.fields = Format::markdown;
      } else if (format == "roff") {
        options.fields = Format::roff;
      } else {
        std::fprintf(stderr, "vantsim: unknown field list format: %s\n", format.c_str());
        return false;
      }
      continue;
    }
    const OptionRow* row = nullptr;
    std::string value;
    for (const auto& o : kOptions) {
      const std::string name = o.name;
      if (o.flag && arg == name) {
        row = &o;
      } else if (o.value && arg == name && i + 1 < argc) {
        row = &o;
        value = argv[++i];
      } else if (o.value && arg.starts_with(name + "=")) {
        row = &o;
        value = arg.substr(name.size() + 1);
      }
    }
    if (!row) {
      std::fprintf(stderr, "vantsim: unknown option or missing value: %s\n", arg.c_str());
      return false;
    }
    if (row->flag) {
      options.*(row->flag) = true;
    } else {
      options.*(row->value) = value;
    }
  }
  return true;
}

// --mbim and what goes with it; false with a message for a bad combination.
bool mbim_settings(const Options& options, std::optional<vant::sim::MbimSettings>& settings) {
  if (!options.mbim) {
    if (!options.mbim_without_qmi && options.mbim_max_transfer.empty()) return true;
    std::fprintf(stderr, "vantsim: --mbim-without-qmi and --mbim-max-transfer need --mbim\n");
    return false;
  }
  settings.emplace();
  settings->offers_qmi = !options.mbim_without_qmi;
  if (options.mbim_max_transfer.empty()) return true;
  const std::string& text = options.mbim_max_transfer;
  unsigned long bytes = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bytes);
  if (error != std::errc() || end != text.data() + text.size() || bytes < 64 || bytes > 65536) {
    std::fprintf(stderr, "vantsim: --mbim-max-transfer needs 64 to 65536 bytes, not %s\n",
                 text.c_str());
    return false;
  }
  settings->max_transfer = static_cast<uint32_t>(bytes);
  return true;
}

// The modem's life on pseudo-terminals: a new one each time it (re)appears.
int run(Emulator& emulator, const std::string& link,
        const std::optional<vant::sim::MbimSettings>& mbim) {
  while (!emulator.stopped()) {
    if (!emulator.wait_present(std::chrono::hours(1))) continue;
    std::string error;
    auto pty = vant::sim::PtyLink::open(link, error);
    if (!pty) {
      std::fprintf(stderr, "vantsim: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "vantsim: modem present at %s (%s)\n", link.c_str(),
                 pty->terminal().c_str());
    const auto end = emulator.serve_pseudo_terminal(pty->master(), mbim);
    if (end == vant::sim::ServeEnd::io_error) {
      std::fprintf(stderr, "vantsim: the pseudo-terminal failed: %s\n", std::strerror(errno));
      return 1;
    }
    if (end == vant::sim::ServeEnd::modem_gone) std::fprintf(stderr, "vantsim: modem gone\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) return 2;
  if (options.help) {
    print_help(stdout);
    return 0;
  }
  if (options.fields) {
    std::fputs(vant::sim::scenario_field_reference(*options.fields).c_str(), stdout);
    return 0;
  }
  if (options.link.empty()) {
    std::fprintf(stderr, "vantsim: --link PATH is required\n");
    print_help(stderr);
    return 2;
  }
  std::optional<vant::sim::MbimSettings> mbim;
  if (!mbim_settings(options, mbim)) return 2;
  std::string error;
  auto scenario = vant::sim::load_scenario_argument(options.scenario, error);
  if (!scenario) {
    std::fprintf(stderr, "vantsim: %s\n", error.c_str());
    return 2;
  }

  // Termination signals stop the emulator from a thread of their own, so the
  // link is removed on the normal path out.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Emulator emulator(std::move(*scenario));
  std::thread waiter([&] {
    int signal_number = 0;
    sigwait(&signals, &signal_number);
    emulator.stop();
  });
  const int status = run(emulator, options.link, mbim);
  emulator.stop();
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  return status;
}
