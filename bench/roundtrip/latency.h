// Per-iteration times of one benchmark run. A request path's tail matters as
// much as its typical cost, and the mean that Google Benchmark reports hides
// both, so every iteration is timed and the median and the 99th percentile
// are reported as counters (in microseconds).
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

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

// Runs `step` once per iteration, timing each call (the benchmark must use
// manual time). A step returns 0 for success or a result code; the first
// failure ends the run with an error naming `what` and the code.
template <typename Step>
void run_timed(benchmark::State& state, const char* what, Step step) {
  using Clock = std::chrono::steady_clock;
  LatencySamples samples(static_cast<size_t>(state.max_iterations));
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
  if (!state.error_occurred()) report_latency(state, samples);
}

}  // namespace vant::bench
