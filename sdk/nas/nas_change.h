// A NAS setting sent as a change the daemon undoes unless it is confirmed
// (vantsdk/change.h): the set request that makes it, the set request that
// restores the previous setting, and the get request that reads it back.
#pragma once

#include <array>
#include <cstdint>

#include "vantsdk/qmi_codec.h"

namespace vant::nas {

// A message as the request entries pack it: its 4-byte header, then its TLVs.
using PackedMessage = std::array<uint8_t, REQUEST_CAPACITY>;
inline constexpr uint16_t kPackedHeader = 4;

struct NasChange {
  uint16_t set_id;
  uint16_t get_id;
  const PackedMessage* apply;
  uint16_t apply_length;  // TLV length, as the request entry gave it
  const PackedMessage* restore;
  uint16_t restore_length;
  const uint8_t* expected;  // TLVs the get answer shows once the setting is back
  uint16_t expected_length;
};

struct ChangeTerms {
  uint32_t revert_after_ms;
  const char* label;
  const char* previous_text;
  uint32_t* change_id;
  uint64_t* deadline_ms;
};

uint32_t begin_nas_change(const NasChange& change, const ChangeTerms& terms);

}  // namespace vant::nas
