// Reads a JSON text (RFC 8259): one value with white space around it. Nothing
// for anything else: a syntax error, bytes that are not UTF-8, or values
// nested deeper than any text that vant keeps could hold (kMaxJsonDepth).
// Integers stay integers while they fit 64 bits; a member named twice keeps
// its first place and its last value.
#pragma once

#include <optional>
#include <string_view>

#include "vant/json_value.h"

namespace vant::cli {

inline constexpr int kMaxJsonDepth = 512;

std::optional<Json> parse_json(std::string_view text);

}  // namespace vant::cli
