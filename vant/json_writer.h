// JSON text of a value: compact, or one member or element a line indented by
// `indent` spaces a level, as vant's documents have always been written.
// Doubles take the digits of shortest_digits.h ("1.0", "-88.5", "1e-05";
// null when not finite); strings escape quotes, backslashes and control
// characters, and each sequence of bytes that is not UTF-8 becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "vant/json_value.h"

namespace vant::cli {

std::string write_json(const Json& value, int indent = -1);

// The parts, for tests.
void append_json_string(std::string& out, std::string_view text);
void append_json_real(std::string& out, double value);

}  // namespace vant::cli
