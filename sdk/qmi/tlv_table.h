// Lookups in a TlvTable shared by the two drivers.
#pragma once

#include "vantsdk/qmi_codec.h"

namespace vant {

// The first row of the given type before the end row, or nullptr.
inline const TlvEntry* find_tlv_row(TlvTable table, uint32_t type) {
  for (const TlvEntry* row = table; row->type != kTlvEnd; ++row)
    if (row->type == type) return row;
  return nullptr;
}

// The row of type kTlvEnd that closes the table.
inline const TlvEntry* tlv_end_row(TlvTable table) {
  const TlvEntry* row = table;
  while (row->type != kTlvEnd) ++row;
  return row;
}

}  // namespace vant
