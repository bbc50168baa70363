#include "sdk/sms/user_data.h"

#include <cstdio>

#include "vantsdk/result_codes.h"

namespace vant {
namespace {

// The header fills octets 1 to 6: length, identifier, element length,
// reference, total, sequence.
constexpr size_t kHeaderLengthAt = 1;
constexpr size_t kIdentifierAt = 2;
constexpr size_t kReferenceAt = 4;
constexpr size_t kTotalAt = 5;
constexpr size_t kSequenceAt = 6;
constexpr uint32_t kMinHeaderHexLength = 15;
constexpr uint8_t kConcatenationElement = 0;
constexpr uint8_t kConcatenationHeaderLength = 5;

// Characters are judged by their unsigned value, so that a byte of 0x80 or
// more is refused alike where plain char is signed (x86, MIPS) and where it is
// unsigned (ARM).
int nibble(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool unhex(const char* hex, std::span<uint8_t> out) {
  for (size_t i = 0; i < out.size(); ++i) {
    const auto high = static_cast<unsigned char>(hex[2 * i]);
    const auto low = static_cast<unsigned char>(hex[2 * i + 1]);
    if (high < '0' || low < '0') {
      out[i] = 0;
      continue;
    }
    const int h = nibble(high);
    const int l = nibble(low);
    if (h < 0 || l < 0) return false;
    out[i] = uint8_t(h << 4 | l);
  }
  return true;
}

uint8_t septet_at(std::span<const uint8_t> octets, size_t index) {
  const size_t bit = 7 * index;
  const size_t at = bit / 8;
  const unsigned shift = bit % 8;
  unsigned value = octets[at] >> shift;
  // A septet that starts in the upper two bits of an octet ends in the next.
  if (shift > 1) value |= unsigned(octets[at + 1]) << (8 - shift);
  return uint8_t(value & 0x7F);
}

void sms_trace(const char* function, int id) {
  std::fprintf(stderr, "\n-%s:%d-\n", function, id);
}

uint32_t parse_concatenation_header(std::span<const uint8_t> octets, uint32_t hex_length,
                                    const HeaderTraceIds& ids, ConcatenationInfo* info) {
  // 15 characters hold the UDL and the six header octets; hex_length is
  // already known to match the octets, so every read below stays inside them.
  if (hex_length < kMinHeaderHexLength || octets.size() <= kSequenceAt) {
    sms_trace(ids.function, ids.shortText);
    return kSmsCorruptLength;
  }
  const uint8_t header_length = octets[kHeaderLengthAt];
  if (hex_length < 2u * header_length) {
    sms_trace(ids.function, ids.shorterThanHeader);
    return kSmsCorruptLength;
  }
  if (header_length < 2) {
    sms_trace(ids.function, ids.lengthBelowTwo);
    return kSmsCorruptLength;
  }
  if (octets[kIdentifierAt] != kConcatenationElement) {
    sms_trace(ids.function, ids.notConcatenation);
    return kNotSupported;
  }
  if (header_length != kConcatenationHeaderLength) {
    sms_trace(ids.function, ids.lengthNotFive);
    return kSmsCorruptLength;
  }
  info->reference = octets[kReferenceAt];
  info->total = octets[kTotalAt];
  info->sequence = octets[kSequenceAt];
  return kSuccess;
}

}  // namespace vant
