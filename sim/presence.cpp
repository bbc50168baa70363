#include "sim/presence.h"

#include <algorithm>

namespace vant::sim {

bool PresenceTimeline::present(uint64_t t) const {
  const uint64_t offset = t - cycle_start(t);
  return std::none_of(outages_.begin(), outages_.end(), [&](const Outage& o) {
    return o.at_ms <= offset && (!o.for_ms || offset < uint64_t{o.at_ms} + *o.for_ms);
  });
}

uint64_t PresenceTimeline::outages_begun(uint64_t t) const {
  const uint64_t offset = t - cycle_start(t);
  const auto in_cycle = std::count_if(outages_.begin(), outages_.end(),
                                      [&](const Outage& o) { return o.at_ms <= offset; });
  const uint64_t full_cycles = period_ ? t / period_ : 0;
  return full_cycles * outages_.size() + static_cast<uint64_t>(in_cycle);
}

std::optional<uint64_t> PresenceTimeline::next_change(uint64_t t) const {
  std::optional<uint64_t> next;
  auto consider = [&](uint64_t when) {
    if (when > t && (!next || when < *next)) next = when;
  };
  const uint64_t base = cycle_start(t);
  for (uint64_t cycle : {base, base + period_}) {
    for (const auto& o : outages_) {
      consider(cycle + o.at_ms);
      if (o.for_ms) consider(cycle + o.at_ms + *o.for_ms);
    }
    if (!period_) break;
  }
  return next;
}

}  // namespace vant::sim
