// Builds a request message from a table of per-TLV packers.
#include "sdk/qmi/tlv_table.h"
#include "vantsdk/qmi_codec.h"
#include "vantsdk/result_codes.h"

namespace {

using vant::kInternalError;
using vant::kInvalidArgument;
using vant::kMemoryError;
using vant::kSuccess;

constexpr uint16_t kMessageHeaderSize = 4;  // message id, TLV length
constexpr uint16_t kTlvHeaderSize = 3;      // type, value length

// Appends the TLV of one row: room for its header, the packer's value, then
// the header itself, or nothing at all when the packer left the value empty.
uint32_t pack_tlv(QmiCursor* cursor, const TlvEntry& row, const void* input) {
  const uint16_t start = cursor->index;
  if (skip(cursor, kTlvHeaderSize) != kSuccess) return kMemoryError;
  // The packer works on a copy so that it cannot widen the cursor; only the
  // index it reached is taken back, after checking it.
  QmiCursor view = *cursor;
  const uint32_t status = row.packer != nullptr ? row.packer(&view, input) : kSuccess;
  if (status != kSuccess && status != TLV_PRESENT_EMPTY) return status;
  if (view.index < start + kTlvHeaderSize || view.index > cursor->size) return kInternalError;
  const uint16_t value_length = view.index - start - kTlvHeaderSize;
  if (value_length == 0 && status != TLV_PRESENT_EMPTY) {
    cursor->index = start;
    return kSuccess;
  }
  cursor->index = view.index;
  if (const uint32_t s = put_u8_at(cursor, start, static_cast<uint8_t>(row.type)); s != kSuccess)
    return s;
  return put_u16_at(cursor, start + 1, value_length);
}

}  // namespace

uint32_t pack_request(uint8_t* buffer, const void* input, TlvTable table, uint16_t message_id,
                      uint16_t* out_length) {
  if (buffer == nullptr || table == nullptr || out_length == nullptr) return kInvalidArgument;
  *out_length = 0;
  QmiCursor cursor{REQUEST_CAPACITY, 0, buffer};
  skip(&cursor, kMessageHeaderSize);
  for (const TlvEntry* row = table; row->type != kTlvEnd; ++row)
    if (const uint32_t status = pack_tlv(&cursor, *row, input); status != kSuccess) return status;
  const uint16_t length = cursor.index - kMessageHeaderSize;
  put_u16_at(&cursor, 0, message_id);
  if (const uint32_t status = put_u16_at(&cursor, 2, length); status != kSuccess) return status;
  *out_length = length;
  return kSuccess;
}
