// The GSM 7-bit default alphabet and its extension table (3GPP TS 23.038),
// as Unicode code points.
#pragma once

#include <cstdint>

namespace vant {

inline constexpr uint8_t kGsmEscape = 0x1B;

// The code point of a default-alphabet value. Values of 0x80 and above lie
// outside the alphabet and map to their own value (ISO 8859-1).
uint16_t gsm_default_code_point(uint8_t value);

// The code point of a value that follows the escape code; a value the
// extension table does not hold maps to its own value.
uint16_t gsm_extension_code_point(uint8_t value);

}  // namespace vant
