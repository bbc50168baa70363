// The PLMN identity of the cell location report, three bytes of BCD digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vant::cli {

struct Plmn {
  std::string mcc;  // three digits
  std::string mnc;  // two or three digits, as the network uses it
};

// Byte 0 holds MCC digits 2|1, byte 1 MNC digit 3|MCC digit 3, byte 2 MNC
// digits 2|1 (high nibble|low nibble). A filler 0xF in place of the third MNC
// digit makes a two-digit MNC. Anything that is not a digit elsewhere (an
// unreported identity is all ones) gives nullopt.
std::optional<Plmn> decode_plmn(const uint8_t (&bytes)[3]);

}  // namespace vant::cli
