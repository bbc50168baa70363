#include "vant/units.h"

#include <bit>
#include <cmath>

namespace vant::cli {

double from_tenths(int16_t tenths) {
  return tenths / 10.0;
}

std::optional<double> from_float_bits(uint32_t word) {
  const float value = std::bit_cast<float>(word);
  if (!std::isfinite(value)) return std::nullopt;
  return std::round(static_cast<double>(value) * 100.0) / 100.0;
}

std::optional<int> rx_level_dbm(uint32_t rx_level) {
  constexpr uint32_t kHighestRxLevel = 63;
  if (rx_level > kHighestRxLevel) return std::nullopt;
  return static_cast<int>(rx_level) - 111;
}

double quarter_arc_seconds_to_degrees(uint32_t word) {
  // Two's complement by value, whatever the host's representation.
  const int64_t signed_value =
      word >= 0x80000000u ? static_cast<int64_t>(word) - 0x100000000LL : word;
  return static_cast<double>(signed_value) * 0.25 / 3600.0;
}

}  // namespace vant::cli
