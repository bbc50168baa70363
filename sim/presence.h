// When the modem is there: the scenario's outages, in milliseconds since the
// emulator started, optionally repeating with a period.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/scenario.h"

namespace vant::sim {

class PresenceTimeline {
 public:
  PresenceTimeline(std::vector<Outage> outages, uint32_t repeat_every_ms)
      : outages_(std::move(outages)), period_(repeat_every_ms) {}

  bool present(uint64_t t) const;
  // How many outages have begun by time t: the number of restarts the modem
  // has been through once it is back.
  uint64_t outages_begun(uint64_t t) const;
  // The first time after t at which presence may change.
  std::optional<uint64_t> next_change(uint64_t t) const;

 private:
  uint64_t cycle_start(uint64_t t) const { return period_ ? t - t % period_ : 0; }

  std::vector<Outage> outages_;
  uint64_t period_;
};

}  // namespace vant::sim
