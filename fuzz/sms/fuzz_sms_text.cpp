// Feeds arbitrary hexadecimal text to the user data decoders.
//
// Input: a data coding byte, a flags byte (bit 0: header present; bits 1-2:
// 0 or 3 = Pdu2text, 1 = PduDefaultEncoding2text, 2 = PduEncoded2text, which
// take the UDL from the fourth byte), the capacity, the UDL, then the text.
// The text and the output buffer are heap blocks of exactly their sizes, so
// any read or write past them is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "vantsdk/sms.h"

namespace {

constexpr size_t kPrefix = 4;

uint32_t decode(uint8_t coding, uint8_t flags, uint8_t udl, const char* hex, uint32_t hex_length,
                uint8_t* length, uint8_t* text) {
  const bool header = flags & 1;
  uint8_t reference = 0, total = 0, sequence = 0;
  switch ((flags >> 1) & 3) {
    case 1:
      return PduDefaultEncoding2text(hex, hex_length, length, text, header, udl, &reference, &total,
                                     &sequence);
    case 2:
      return PduEncoded2text(hex, hex_length, length, text, header, udl, coding, &reference, &total,
                             &sequence);
    default:
      return Pdu2text(hex, hex_length, length, text, header, coding, &reference, &total, &sequence);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kPrefix) return 0;
  const uint8_t coding = data[0];
  const uint8_t flags = data[1];
  const uint8_t capacity = data[2];
  const uint8_t udl = data[3];
  const size_t hex_length = size - kPrefix;
  const auto hex = std::make_unique<char[]>(hex_length);
  std::memcpy(hex.get(), data + kPrefix, hex_length);
  const auto text = std::make_unique<uint8_t[]>(capacity);
  uint8_t length = capacity;
  const uint32_t rc =
      decode(coding, flags, udl, hex.get(), uint32_t(hex_length), &length, text.get());
  if (rc == 0) {
    if (length > capacity) std::abort();
    // Terminated texts keep their zero byte inside the buffer too.
    const bool raw = (coding == 8) && (((flags >> 1) & 3) != 1);
    if (!raw && (length >= capacity || text[length] != 0)) std::abort();
  }
  return 0;
}
