// bench_roundtrip: what one request costs on its whole path (client library,
// SDK daemon, modem emulator and back), next to the floor that the transport
// alone sets. Run it through tests/tools/in_netns; see --help.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "bench/roundtrip/bench_options.h"
#include "bench/roundtrip/daemon_process.h"
#include "bench/roundtrip/latency.h"
#include "bench/roundtrip/pingpong_floor.h"
#include "bench/roundtrip/summary_reporter.h"
#include "vantsdk/device.h"
#include "vantsdk/nas.h"

namespace {

using namespace vant::bench;

constexpr const char* kFloorName = "floor/datagram_pingpong";

// The modem found at set-up; every ConnectDevice of the benchmark uses it.
DeviceInfo g_device{};

int fail(const std::string& message) {
  std::fprintf(stderr, "bench_roundtrip: %s\n", message.c_str());
  return 1;
}

// Attaches the library to the running daemon the way vantctl does. The
// attach time (StartDaemon's run check included) is added to the summary.
uint32_t attach(const BenchOptions& options, SummaryReporter& reporter) {
  SetDaemonPath(options.daemon.program.c_str());
  const auto start = std::chrono::steady_clock::now();
  if (const uint32_t result = StartDaemon(static_cast<uint8_t>(options.daemon.modem), nullptr))
    return result;
  const auto attached = std::chrono::steady_clock::now();
  uint8_t count = 1;
  if (const uint32_t result = EnumerateDevices(&count, &g_device)) return result;
  if (const uint32_t result = ConnectDevice(g_device.deviceNode, g_device.deviceKey)) return result;
  const auto connected = std::chrono::steady_clock::now();
  char note[160];
  std::snprintf(note, sizeof note,
                "Set-up, once: StartDaemon attaching to the running daemon %.1f ms; "
                "EnumerateDevices + ConnectDevice %.2f ms",
                std::chrono::duration<double, std::milli>(attached - start).count(),
                std::chrono::duration<double, std::milli>(connected - attached).count());
  reporter.add_note(note);
  return 0;
}

benchmark::internal::Benchmark* configure(benchmark::internal::Benchmark* b) {
  return b->UseManualTime()->Unit(benchmark::kMicrosecond)->MinWarmUpTime(0.2);
}

void register_benchmarks(PingPongFloor& floor, pid_t daemon) {
  configure(benchmark::RegisterBenchmark(kFloorName, [&floor](benchmark::State& state) {
    run_timed(state, "the floor's exchange", floor.pid(), [&floor] { return floor.exchange(); });
  }));
  configure(benchmark::RegisterBenchmark(
      "roundtrip/VANTNASKelGetChannelLock", [daemon](benchmark::State& state) {
        WcdmaUarfcnLock wcdma{};
        LteEarfcnLock earfcn{};
        LtePciLock pci{};
        ChannelLock record{&wcdma, &earfcn, &pci};
        run_timed(state, "VANTNASKelGetChannelLock", daemon,
                  [&record] { return VANTNASKelGetChannelLock(&record); });
      }));
  configure(benchmark::RegisterBenchmark("daemon_only/EnumerateDevices",
                                         [daemon](benchmark::State& state) {
                                           DeviceInfo device{};
                                           run_timed(state, "EnumerateDevices", daemon, [&device] {
                                             uint8_t count = 1;
                                             return EnumerateDevices(&count, &device);
                                           });
                                         }));
  configure(
      benchmark::RegisterBenchmark("connect/ConnectDevice", [daemon](benchmark::State& state) {
        run_timed(state, "ConnectDevice", daemon,
                  [] { return ConnectDevice(g_device.deviceNode, g_device.deviceKey); });
      }));
}

// Stops the daemon the way a client does and makes sure it is gone.
void stop(SimulatedDaemon& daemon) {
  const pid_t pid = daemon.pid();
  const uint32_t result = StopDaemon();
  const std::string how = daemon.finish();
  std::fprintf(stderr, "bench_roundtrip: StopDaemon returned %u; the daemon (pid %d) %s\n", result,
               static_cast<int>(pid), how.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  BenchOptions options;
  std::string error;
  if (!take_bench_options(argc, argv, options, error)) return fail(error);
  if (options.help) {
    print_bench_help(argv[0]);
    benchmark::PrintDefaultHelp();
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (may_share_system_network_namespace())
    return fail(
        "this may be the system's network namespace, where abstract socket names collide with a "
        "real daemon's; run me through tests/tools/in_netns (see --help)");

  // The relay is forked first, while this process has no other thread.
  std::optional<PingPongFloor> floor = PingPongFloor::start(error);
  if (!floor) return fail(error);
  std::optional<SimulatedDaemon> daemon = SimulatedDaemon::start(options.daemon, error);
  if (!daemon) return fail(error);

  std::ostream& summary = options.format == "console" ? std::cout : std::cerr;
  SummaryReporter reporter(reporter_for_format(options.format), kFloorName, summary);
  if (const uint32_t result = attach(options, reporter)) {
    stop(*daemon);
    return fail("attaching to the daemon failed with result " + std::to_string(result));
  }
  register_benchmarks(*floor, daemon->pid());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  stop(*daemon);
  benchmark::Shutdown();
  return 0;
}
