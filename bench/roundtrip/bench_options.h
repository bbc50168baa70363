// bench_roundtrip's own command-line options. They are taken out of argv
// before Google Benchmark reads the rest.
#pragma once

#include <string>

#include "bench/roundtrip/daemon_process.h"

namespace vant::bench {

struct BenchOptions {
  DaemonConfig daemon{VANT_BIN_DIR "/vantsdk", 0, VANT_BENCH_SCENARIO, "/dev/null"};
  std::string format = "console";  // the --benchmark_format value, which the summary follows
  bool help = false;
};

// Parses and removes this program's options from argv (argc is updated);
// false with a message in error for a bad value.
bool take_bench_options(int& argc, char** argv, BenchOptions& options, std::string& error);

// The help text of this program's own options (Google Benchmark's follow it).
void print_bench_help(const char* program);

// True unless this process is known to have a network namespace of its own
// (abstract socket names there cannot collide with a real daemon's): its
// loopback interface is still down, as in_netns leaves it, or the namespace
// differs from the system's first process's.
bool may_share_system_network_namespace();

}  // namespace vant::bench
