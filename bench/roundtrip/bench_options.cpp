#include "bench/roundtrip/bench_options.h"

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace vant::bench {
namespace {

constexpr unsigned kModemCount = 12;

// The value of "--name=value" when arg has that form.
bool value_of(std::string_view arg, std::string_view name, std::string& value) {
  if (arg.size() <= name.size() || arg.substr(0, name.size()) != name || arg[name.size()] != '=')
    return false;
  value = std::string(arg.substr(name.size() + 1));
  return true;
}

bool parse_modem(const std::string& text, unsigned& modem) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  modem = static_cast<unsigned>(std::stoul(text));
  return modem < kModemCount;
}

std::string namespace_of(const char* path) {
  char target[PATH_MAX];
  const ssize_t n = readlink(path, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// A network namespace starts with its loopback interface down, and the
// system's always has it up.
bool loopback_up() {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", sizeof request.ifr_name - 1);
  const bool up = ioctl(fd, SIOCGIFFLAGS, &request) != 0 || (request.ifr_flags & IFF_UP) != 0;
  close(fd);
  return up;
}

}  // namespace

bool take_bench_options(int& argc, char** argv, BenchOptions& options, std::string& error) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string value;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (value_of(arg, "--modem", value)) {
      if (!parse_modem(value, options.daemon.modem)) {
        error = "--modem takes a modem index from 0 to 11, not '" + value + "'";
        return false;
      }
    } else if (value_of(arg, "--scenario", value)) {
      options.daemon.scenario = value;
    } else if (value_of(arg, "--daemon", value)) {
      options.daemon.program = value;
    } else if (value_of(arg, "--daemon-log", value)) {
      options.daemon.log_path = value;
    } else {
      // Google Benchmark's own; the summary follows the chosen format.
      if (value_of(arg, "--benchmark_format", value)) {
        if (value != "console" && value != "json") {
          error = "--benchmark_format: this benchmark writes console or json, not '" + value + "'";
          return false;
        }
        options.format = value;
      }
      argv[kept++] = argv[i];
    }
  }
  argv[kept] = nullptr;
  argc = kept;
  return true;
}

void print_bench_help(const char* program) {
  std::printf(
      "Usage: %s [OPTIONS] [--benchmark_...]\n"
      "\n"
      "Times one request's round trip through the client library, the SDK daemon and\n"
      "its built-in modem emulator (VANTNASKelGetChannelLock), against a floor: a plain\n"
      "datagram ping-pong over the same hops (client -> relay process over an abstract\n"
      "datagram socket -> stream socketpair -> a thread playing the modem -> back) with\n"
      "the same payload sizes. Also times EnumerateDevices (client and daemon only) and\n"
      "ConnectDevice (a connect and its eight packet-data instance queries). Each\n"
      "figure is the median and the 99th percentile of the per-iteration times, in\n"
      "microseconds; a summary with the ratios to the floor ends the run.\n"
      "\n"
      "The benchmark starts its own daemon (vantsdk --simulate --foreground N) and\n"
      "stops it at the end (SDK request type 4 through StopDaemon, then a signal if\n"
      "need be). Abstract socket names are shared by a whole network namespace, so it\n"
      "must run in one of its own; it refuses the system's. From the repository:\n"
      "\n"
      "  tests/tools/in_netns build/bench/bench_roundtrip\n"
      "\n"
      "Options:\n"
      "  --modem=N           modem index of the daemon, 0 to 11 (default 0)\n"
      "  --scenario=NAME     the emulator's scenario, a name or a file (default: %s,\n"
      "                      the emulator's default modem answering without delay);\n"
      "                      --scenario= (empty) runs the emulator's own default, which\n"
      "                      takes 5 ms over each answer as a modem does\n"
      "  --daemon=PATH       the daemon executable (default: %s/vantsdk)\n"
      "  --daemon-log=PATH   where the daemon's log goes (default: /dev/null)\n"
      "  -h, --help          this text, then Google Benchmark's options\n"
      "\n",
      program, VANT_BENCH_SCENARIO, VANT_BIN_DIR);
}

bool may_share_system_network_namespace() {
  if (!loopback_up()) return false;
  // A namespace whose loopback someone brought up is private when it differs
  // from the first process's (which only root may be allowed to look at).
  const std::string mine = namespace_of("/proc/self/ns/net");
  const std::string first = namespace_of("/proc/1/ns/net");
  return mine.empty() || first.empty() || mine == first;
}

}  // namespace vant::bench
