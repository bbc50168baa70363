// Durations on the command line: "20s", "500ms", "2m", "1h", or a bare
// number of seconds.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace vant::cli {

// Whole numbers only, at most 24 hours; nullopt for anything else.
std::optional<std::chrono::milliseconds> parse_duration(std::string_view text);

}  // namespace vant::cli
