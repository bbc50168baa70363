// The QMI message codec: a bounds-checked byte cursor and two table-driven
// drivers that build every request and take apart every response and
// indication. No allocation and no state between calls.
//
// A QMI message: message id (u16), TLV length (u16), then TLVs of
// type (u8), value length (u16), value. All integers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

// Size of the cursor over a request: header and TLVs never exceed this.
inline constexpr uint16_t REQUEST_CAPACITY = 2029;
// A packer's result meaning "this TLV is present with an empty value".
inline constexpr uint32_t TLV_PRESENT_EMPTY = 0xF3EE;
// The type of the row that ends every TlvTable.
inline constexpr uint32_t kTlvEnd = 0xFF;
// The mandatory result TLV of every response.
inline constexpr uint32_t kResultTlvType = 0x02;

// The view through which every primitive reads or writes. No primitive
// touches data at or beyond size; 0 <= index <= size.
struct QmiCursor {
  uint16_t size;
  uint16_t index;
  uint8_t* data;
};

// What unpack_response fills for one response.
struct ResponseContext {
  uint16_t presence[16];  // bit (type % 16) of word (type / 16) per TLV type seen
  uint32_t resultSeen;    // 1 once a valid result TLV was unpacked
  uint16_t qmiResult;
  uint16_t qmiError;
  void* output;  // the caller's output record, set before the unpack
};

// A packer writes one TLV value for a request; input is the request's input
// record as given to pack_request. Returns 0 (writing nothing makes the TLV
// absent), TLV_PRESENT_EMPTY, or a failure code.
using TlvPacker = uint32_t (*)(QmiCursor* cursor, const void* input);
// An unpacker reads one TLV value of a response into context->output.
using TlvUnpacker = uint32_t (*)(QmiCursor* cursor, ResponseContext* context);

// One row of a TlvTable: a packer in request tables, an unpacker in response
// tables. The end row has type kTlvEnd and no routine, or, in tables of
// indications, a routine that does nothing (which makes the result TLV
// optional for them).
struct TlvEntry {
  uint32_t type;
  TlvPacker packer = nullptr;
  TlvUnpacker unpacker = nullptr;

  constexpr TlvEntry(uint32_t t, TlvPacker p) : type(t), packer(p) {}
  constexpr TlvEntry(uint32_t t, TlvUnpacker u) : type(t), unpacker(u) {}
  constexpr TlvEntry(uint32_t t, std::nullptr_t) : type(t) {}
};

// A table is an array of rows that ends with a row of type kTlvEnd.
using TlvTable = const TlvEntry*;

// Cursor primitives. Each returns 0, or 3 (kMemoryError) without touching the
// cursor or the destination when the bytes it needs lie outside the cursor, or
// 4 (kInvalidArgument) for a null cursor or destination. put_bytes copies all
// count bytes or none. get_bytes is the one exception to "untouched": when the
// value runs past size it copies the bytes that lie inside and then fails,
// leaving the index where it was.
uint32_t put_u8(QmiCursor* c, uint8_t value);
uint32_t put_u16(QmiCursor* c, uint16_t value);
uint32_t put_u32(QmiCursor* c, uint32_t value);
uint32_t put_u64(QmiCursor* c, uint64_t value);
uint32_t put_u16_be(QmiCursor* c, uint16_t value);
uint32_t put_bytes(QmiCursor* c, const uint8_t* source, uint32_t count);
uint32_t get_u8(QmiCursor* c, uint8_t* destination);
uint32_t get_u16(QmiCursor* c, uint16_t* destination);
uint32_t get_u32(QmiCursor* c, uint32_t* destination);
uint32_t get_u64(QmiCursor* c, uint64_t* destination);
uint32_t get_u16_be(QmiCursor* c, uint16_t* destination);
uint32_t get_bytes(QmiCursor* c, uint8_t* destination, uint32_t count);
uint32_t skip(QmiCursor* c, uint32_t count);
uint32_t put_u8_at(QmiCursor* c, uint32_t position, uint8_t value);
uint32_t put_u16_at(QmiCursor* c, uint32_t position, uint16_t value);
// Type and value length of the TLV whose value starts at the cursor's index;
// meaningful only before an unpacker's first read. Fail with 3 when the index
// is too close to the start for a TLV header to stand before it.
uint32_t peek_tlv_type(const QmiCursor* c, uint8_t* destination);
uint32_t peek_tlv_length(const QmiCursor* c, uint16_t* destination);

// Builds a whole request message at the start of buffer (at least
// REQUEST_CAPACITY bytes): one TLV per row, in table order, each present when
// its packer wrote something or returned TLV_PRESENT_EMPTY. On success
// *out_length holds the TLV length, which is also the message's length field;
// on any failure it stays 0 and nothing is written at or past REQUEST_CAPACITY.
// A packer's own failure is returned unchanged.
uint32_t pack_request(uint8_t* buffer, const void* input, TlvTable table, uint16_t message_id,
                      uint16_t* out_length);

// Walks the TLVs of the message (which starts at its message id) and hands
// each to the first row of its type; TLVs without a row are stepped over.
//
// walk_tlvs trusts the message's length field: the message must hold 4 + that
// many bytes. Callers that got the message from outside check the field against
// the bytes they received before walking (the request engine does).
//
// An unpacker sees the whole TLV area and may read less or more than its value;
// the next TLV is always taken from where the value's length says. A TLV header
// or value that runs past the end of the message ends the walk with 3 (for a
// type with a row, after its unpacker has stored what it could read). An
// unpacker's non-zero result ends the walk with that result. When the table
// has a result row (type 0x02) and context is given, the presence bits are
// cleared and then set for each TLV type seen.
uint32_t walk_tlvs(const uint8_t* message, ResponseContext* context, TlvTable table);

// walk_tlvs plus the result-TLV rules: 0, 17 without a result TLV (unless the
// table's end row carries a routine), or 1000 + the QMI error word. A walk
// failure is returned unchanged. With a result row in the table, resultSeen,
// qmiResult and qmiError are reset before the walk, so a stale context never
// passes for a result. message_id is not compared with anything.
uint32_t unpack_response(const uint8_t* message, ResponseContext* context, TlvTable table,
                         uint16_t message_id);

// The routine of every result-TLV row: reads result and error words; 17 for a
// result word above 1, else resultSeen = 1.
uint32_t unpack_result_tlv(QmiCursor* c, ResponseContext* context);

// The routine of the end row of indication tables: does nothing.
uint32_t tlv_end_of_indication(QmiCursor* c, ResponseContext* context);

#pragma GCC visibility pop
