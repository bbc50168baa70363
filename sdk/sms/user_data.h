// The pieces shared by the 7-bit and the 8-bit/UCS2 decoders: turning the
// hexadecimal text into octets, reading septets, and the concatenation header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vant {

// The most octets a user data field (with its UDL octet) can hold: a UDL is
// one octet, so at most 255 data octets follow it.
inline constexpr size_t kMaxUserDataOctets = 256;

// Converts the first out.size() octets of hex (2 characters each). A
// character below "0" makes its octet 0; any other non-hexadecimal character
// fails the conversion.
bool unhex(const char* hex, std::span<uint8_t> out);

// Septet `index` of the packed octets: bits 7*index .. 7*index+6, least
// significant bit first. The caller keeps the septet inside the octets.
uint8_t septet_at(std::span<const uint8_t> octets, size_t index);

// Prints the trace line "\n-<function>:<id>-\n" on standard error.
void sms_trace(const char* function, int id);

// Trace numbers of the header tests, which differ between the decoders.
struct HeaderTraceIds {
  const char* function;
  int shortText;  // fewer than 15 hexadecimal characters
  int shorterThanHeader;
  int lengthBelowTwo;
  int notConcatenation;  // result 1094
  int lengthNotFive;
};

struct ConcatenationInfo {
  uint8_t reference;
  uint8_t total;
  uint8_t sequence;
};

// Checks the user data header that starts at octet 1 (after the UDL) and
// reads its concatenation element. 0 or a result code.
uint32_t parse_concatenation_header(std::span<const uint8_t> octets, uint32_t hex_length,
                                    const HeaderTraceIds& ids, ConcatenationInfo* info);

}  // namespace vant
