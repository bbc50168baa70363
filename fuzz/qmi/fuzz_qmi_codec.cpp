// Feeds arbitrary TLV areas to unpack_response with tables whose unpackers use
// every read primitive of the cursor.
//
// Input: one byte that picks the table, two bytes of message id, then the TLV
// area. The message is built on the heap with a length field equal to the TLV
// area's size, so the walk sees exactly the bytes the fuzzer gave and any read
// past them is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

#include "vantsdk/qmi_codec.h"

namespace {

struct Output {
  uint8_t u8;
  uint16_t u16;
  uint16_t u16Be;
  uint32_t u32;
  uint64_t u64;
  uint8_t peekedType;
  uint16_t peekedLength;
  uint8_t count;
  uint8_t bytes[64];
};

Output& out(ResponseContext* context) {
  return *static_cast<Output*>(context->output);
}

uint32_t unpack_fixed(QmiCursor* c, ResponseContext* context) {
  Output& o = out(context);
  if (uint32_t s = get_u8(c, &o.u8)) return s;
  if (uint32_t s = get_u16(c, &o.u16)) return s;
  if (uint32_t s = get_u16_be(c, &o.u16Be)) return s;
  if (uint32_t s = get_u32(c, &o.u32)) return s;
  return get_u64(c, &o.u64);
}

// A value sized by its TLV header; longer values are read in part.
uint32_t unpack_sized(QmiCursor* c, ResponseContext* context) {
  Output& o = out(context);
  if (uint32_t s = peek_tlv_type(c, &o.peekedType)) return s;
  if (uint32_t s = peek_tlv_length(c, &o.peekedLength)) return s;
  const uint32_t count = o.peekedLength < sizeof o.bytes ? o.peekedLength : sizeof o.bytes;
  return get_bytes(c, o.bytes, count);
}

// A counted list: a count byte, then that many 3-byte entries of which the
// first byte is skipped and the rest kept, as list unpackers do.
uint32_t unpack_counted(QmiCursor* c, ResponseContext* context) {
  Output& o = out(context);
  if (uint32_t s = get_u8(c, &o.count)) return s;
  for (uint32_t i = 0; i < o.count; ++i) {
    if (uint32_t s = skip(c, 1)) return s;
    if (uint32_t s = get_bytes(c, o.bytes + (2 * i) % (sizeof o.bytes - 1), 2)) return s;
  }
  return 0;
}

// A raw count taken from the value itself, as a sloppy decoder would do.
uint32_t unpack_skipping(QmiCursor* c, ResponseContext* context) {
  uint16_t count = 0;
  if (uint32_t s = get_u16(c, &count)) return s;
  if (uint32_t s = skip(c, count)) return s;
  return get_u8(c, &out(context).u8);
}

constexpr TlvEntry kResponse[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_fixed},    {0x11, &unpack_sized},
    {0x12, &unpack_counted},    {0x13, &unpack_skipping}, {kTlvEnd, nullptr},
};
constexpr TlvEntry kIndication[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_fixed},    {0x11, &unpack_sized},
    {0x12, &unpack_counted},    {0x13, &unpack_skipping}, {kTlvEnd, &tlv_end_of_indication},
};
constexpr TlvEntry kNoResult[] = {
    {0x10, &unpack_fixed},
    {0x11, &unpack_sized},
    {kTlvEnd, nullptr},
};
constexpr TlvTable kTables[] = {kResponse, kIndication, kNoResult};

bool result_is_plausible(uint32_t status, const ResponseContext& context, TlvTable table) {
  if (status == 0 && table == kResponse) return context.resultSeen == 1 && context.qmiResult == 0;
  if (status >= 1000 && status <= 1000 + 0xFFFF) return context.qmiResult == 1;
  return status == 0 || status == 3 || status == 17;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size - 3 > 0xFFFF) return -1;
  const TlvTable table = kTables[data[0] % std::size(kTables)];
  const size_t length = size - 3;
  auto message = std::make_unique<uint8_t[]>(4 + length);
  message[0] = data[1];
  message[1] = data[2];
  message[2] = static_cast<uint8_t>(length);
  message[3] = static_cast<uint8_t>(length >> 8);
  if (length != 0) std::memcpy(message.get() + 4, data + 3, length);

  Output output{};
  ResponseContext context{};
  context.output = &output;
  const uint32_t status = unpack_response(message.get(), &context, table, 0);
  if (!result_is_plausible(status, context, table)) std::abort();
  return 0;
}
