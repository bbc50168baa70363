// Reading an image version text: its "_"-separated fields and whether a field
// carries a real value or a placeholder.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vant {

// Field number `index` (0 = first) of text split at every "_"; empty fields
// count. nullopt when the text has fewer fields.
std::optional<std::string_view> version_field(std::string_view text, size_t index);

// A field has a value when it is shorter than 11 characters and holds a
// character other than "9"; anything else is a placeholder.
bool version_field_has_value(std::string_view field);

// 2, 1 or 0 as classify_version.
unsigned classify_version_text(std::string_view text);

// The text of a raw fixed-size field up to its first zero byte; nullopt when
// the field holds no zero byte (the text would not fit a field of that size
// with its terminator).
std::optional<std::string_view> terminated_text(const char* field, size_t size);

}  // namespace vant
