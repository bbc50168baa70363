#include "vant/duration.h"

#include <cstdint>

namespace vant::cli {
namespace {

constexpr int64_t kMaxMilliseconds = 24LL * 3600 * 1000;

struct Unit {
  std::string_view suffix;
  int64_t milliseconds;
};

// "ms" before "m" and "s", so that the longest suffix wins.
constexpr Unit kUnits[] = {
    {"ms", 1}, {"s", 1000}, {"m", 60 * 1000}, {"h", 3600 * 1000}, {"", 1000}};

}  // namespace

std::optional<std::chrono::milliseconds> parse_duration(std::string_view text) {
  for (const Unit& unit : kUnits) {
    if (!text.ends_with(unit.suffix)) continue;
    const std::string_view digits = text.substr(0, text.size() - unit.suffix.size());
    if (digits.empty()) return std::nullopt;
    int64_t value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
      if (value * unit.milliseconds > kMaxMilliseconds) return std::nullopt;
    }
    return std::chrono::milliseconds(value * unit.milliseconds);
  }
  return std::nullopt;
}

}  // namespace vant::cli
