// The argument of "setchanlock": one of three comma-separated forms.
#pragma once

#include <cstdint>

namespace vant {

enum class ChanLockForm { kInvalid, kWcdmaUarfcn, kLteEarfcn, kLtePci };

struct ChanLockText {
  ChanLockForm form;
  uint32_t first;   // uarfcn, earfcn0 or earfcn
  uint32_t second;  // earfcn1 or pci; 0 for the WCDMA form
};

// Splits text in place at commas (empty fields are skipped, extra fields
// ignored) and converts the numbers as decimals, a negative number giving its
// unsigned 32-bit value. kInvalid for a null or empty text, an unknown
// keyword, a missing number or a zero where one is not allowed.
ChanLockText parse_chan_lock_text(char* text);

}  // namespace vant
