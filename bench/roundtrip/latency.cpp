#include "bench/roundtrip/latency.h"

#include <algorithm>
#include <cmath>

namespace vant::bench {

double LatencySamples::quantile_us(double q) {
  if (samples_.empty()) return 0;
  if (!sorted_) {
    std::sort(samples_.begin(), samples_.end());
    sorted_ = true;
  }
  // Nearest rank: the smallest sample with at least q of all samples at or
  // below it.
  const auto n = static_cast<double>(samples_.size());
  const auto rank = static_cast<size_t>(std::max(1.0, std::ceil(q * n)));
  return static_cast<double>(samples_[std::min(rank, samples_.size()) - 1]) / 1000.0;
}

void report_latency(benchmark::State& state, LatencySamples& samples) {
  state.counters["median_us"] = samples.quantile_us(0.5);
  state.counters["p99_us"] = samples.quantile_us(0.99);
}

void report_relay_cpu(benchmark::State& state, const std::optional<ProcessCpu>& before,
                      const std::optional<ProcessCpu>& after) {
  if (!before || !after || state.iterations() == 0) return;
  const auto per_iteration_us = [&state](int64_t ns) {
    return static_cast<double>(ns) / 1000.0 / static_cast<double>(state.iterations());
  };
  state.counters["relay_cpu_us"] = per_iteration_us(after->main_ns - before->main_ns);
  state.counters["modem_cpu_us"] = per_iteration_us(after->others_ns - before->others_ns);
}

}  // namespace vant::bench
