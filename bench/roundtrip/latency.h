// Per-iteration times of one benchmark run. A request path's tail matters as
// much as its typical cost, and the mean that Google Benchmark reports hides
// both, so every iteration is timed and the median and the 99th percentile
// are reported as counters (in microseconds).
#pragma once

#include <benchmark/benchmark.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/roundtrip/process_cpu.h"

namespace vant::bench {

class LatencySamples {
 public:
  explicit LatencySamples(size_t expected) { samples_.reserve(expected); }

  void add(std::chrono::nanoseconds time) { samples_.push_back(time.count()); }
  size_t size() const { return samples_.size(); }
  // The q-quantile (0 < q <= 1) by nearest rank, in microseconds; 0 when empty.
  double quantile_us(double q);

 private:
  std::vector<int64_t> samples_;
  bool sorted_ = false;
};

// Sets the counters "median_us" and "p99_us" of the run.
void report_latency(benchmark::State& state, LatencySamples& samples);

// Sets the counters "relay_cpu_us" and "modem_cpu_us": the CPU time per
// iteration of the relay's main thread (the daemon's event loop) and of its
// other threads (the emulator), between two readings.
void report_relay_cpu(benchmark::State& state, const std::optional<ProcessCpu>& before,
                      const std::optional<ProcessCpu>& after);

// Runs `step` once per iteration, timing each call (the benchmark must use
// manual time), and takes the CPU time that the relay process `relay` spent
// over the run. A step returns 0 for success or a result code; the first
// failure ends the run with an error naming `what` and the code.
template <typename Step>
void run_timed(benchmark::State& state, const char* what, pid_t relay, Step step) {
  using Clock = std::chrono::steady_clock;
  LatencySamples samples(static_cast<size_t>(state.max_iterations));
  const std::optional<ProcessCpu> cpu_before = process_cpu(relay);
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const uint32_t result = step();
    const Clock::time_point end = Clock::now();
    if (result != 0) {
      state.SkipWithError((std::string(what) + " returned " + std::to_string(result)).c_str());
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    samples.add(end - start);
  }
  if (state.error_occurred()) return;
  report_relay_cpu(state, cpu_before, process_cpu(relay));
  report_latency(state, samples);
}

}  // namespace vant::bench
