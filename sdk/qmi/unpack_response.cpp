// Takes apart a response or indication with a table of per-TLV unpackers and
// turns its result TLV into a result code.
#include <algorithm>
#include <iterator>

#include "sdk/qmi/tlv_table.h"
#include "vantsdk/qmi_codec.h"
#include "vantsdk/result_codes.h"

namespace {

using vant::kInvalidArgument;
using vant::kInvalidQmiResponse;
using vant::kMemoryError;
using vant::kQmiErrorBase;
using vant::kSuccess;

void mark_present(ResponseContext* context, uint8_t type) {
  context->presence[type / 16] |= static_cast<uint16_t>(1u << (type % 16));
}

// Hands one TLV value to its row's unpacker and sets the index to the next
// TLV. The unpacker gets a copy of the cursor: it may read less or more than
// the value, and the walk continues where the value's length says regardless.
uint32_t visit_tlv(QmiCursor* cursor, const TlvEntry* row, uint16_t value_length,
                   ResponseContext* context) {
  if (row != nullptr && row->unpacker != nullptr) {
    QmiCursor view = *cursor;
    if (const uint32_t status = row->unpacker(&view, context); status != kSuccess) return status;
  }
  // A value that runs past the message ends the walk: stepping over it would
  // leave the cursor outside the message.
  if (skip(cursor, value_length) != kSuccess) return kMemoryError;
  return kSuccess;
}

}  // namespace

uint32_t walk_tlvs(const uint8_t* message, ResponseContext* context, TlvTable table) {
  if (message == nullptr || table == nullptr) return kInvalidArgument;
  // The codec only reads responses; the cursor type is shared with requests.
  uint8_t* bytes = const_cast<uint8_t*>(message);
  QmiCursor header{4, 2, bytes};
  uint16_t length = 0;
  get_u16(&header, &length);
  QmiCursor cursor{length, 0, bytes + 4};

  const bool record_presence =
      context != nullptr && vant::find_tlv_row(table, kResultTlvType) != nullptr;
  if (record_presence) std::fill(std::begin(context->presence), std::end(context->presence), 0);

  while (cursor.index != cursor.size) {
    uint8_t type = 0;
    uint16_t value_length = 0;
    if (get_u8(&cursor, &type) != kSuccess || get_u16(&cursor, &value_length) != kSuccess)
      return kMemoryError;
    if (record_presence && type != kTlvEnd) mark_present(context, type);
    const uint32_t status =
        visit_tlv(&cursor, vant::find_tlv_row(table, type), value_length, context);
    if (status != kSuccess) return status;
  }
  return kSuccess;
}

uint32_t unpack_response(const uint8_t* message, ResponseContext* context, TlvTable table,
                         uint16_t /*message_id*/) {
  if (message == nullptr || context == nullptr || table == nullptr) return kInvalidArgument;
  const bool has_result_row = vant::find_tlv_row(table, kResultTlvType) != nullptr;
  if (has_result_row) {
    context->resultSeen = 0;
    context->qmiResult = 0;
    context->qmiError = 0;
  }
  if (const uint32_t status = walk_tlvs(message, context, table); status != kSuccess) return status;
  if (!has_result_row) return kSuccess;
  const bool result_optional = vant::tlv_end_row(table)->unpacker != nullptr;
  if (!result_optional && context->resultSeen == 0) return kInvalidQmiResponse;
  if (context->qmiResult == 0) return kSuccess;
  return kQmiErrorBase + context->qmiError;
}

uint32_t unpack_result_tlv(QmiCursor* c, ResponseContext* context) {
  if (c == nullptr || context == nullptr) return kInvalidArgument;
  context->resultSeen = 0;
  context->qmiResult = 0;
  context->qmiError = 0;
  if (const uint32_t status = get_u16(c, &context->qmiResult); status != kSuccess) return status;
  if (const uint32_t status = get_u16(c, &context->qmiError); status != kSuccess) return status;
  if (context->qmiResult >= 2) return kInvalidQmiResponse;
  context->resultSeen = 1;
  return kSuccess;
}

uint32_t tlv_end_of_indication(QmiCursor* /*c*/, ResponseContext* /*context*/) {
  return kSuccess;
}
