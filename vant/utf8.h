// UTF-8 as vant reads and writes it: a sequence is well formed as Unicode
// defines it (no overlong forms, no surrogates, nothing above U+10FFFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vant::cli {

// The length of the sequence that starts `text` (not empty), or 0 when it is
// not one; `*bad` then spans the broken sequence: at least one byte, and never
// the byte that broke it, which may start a sequence of its own.
size_t utf8_sequence_length(std::string_view text, size_t* bad);

// Whether every sequence of text is well formed.
bool valid_utf8(std::string_view text);

// Appends code (at most U+10FFFF) in UTF-8.
void append_utf8(std::string& out, uint32_t code);

}  // namespace vant::cli
