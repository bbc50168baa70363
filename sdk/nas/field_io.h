// Field-by-field reading and writing of record members through the cursor
// primitives, so that decoders list a record's fields in wire order and never
// touch bytes themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vantsdk/qmi_codec.h"

namespace vant::nas {

inline uint32_t read_field(QmiCursor* c, uint8_t* field) {
  return get_u8(c, field);
}
inline uint32_t read_field(QmiCursor* c, uint16_t* field) {
  return get_u16(c, field);
}
inline uint32_t read_field(QmiCursor* c, uint32_t* field) {
  return get_u32(c, field);
}
inline uint32_t read_field(QmiCursor* c, uint64_t* field) {
  return get_u64(c, field);
}
inline uint32_t read_field(QmiCursor* c, int8_t* field) {
  uint8_t raw = 0;
  const uint32_t status = get_u8(c, &raw);
  if (status == 0) *field = static_cast<int8_t>(raw);
  return status;
}
inline uint32_t read_field(QmiCursor* c, int16_t* field) {
  uint16_t raw = 0;
  const uint32_t status = get_u16(c, &raw);
  if (status == 0) *field = static_cast<int16_t>(raw);
  return status;
}
// A PLMN: three bytes exactly as received.
inline uint32_t read_field(QmiCursor* c, uint8_t (*plmn)[3]) {
  for (uint8_t& byte : *plmn)
    if (const uint32_t status = get_u8(c, &byte); status != 0) return status;
  return 0;
}

// Reads the fields in order and stops at the first failure; the fields read
// before it stay stored.
template <typename... Fields>
uint32_t read_fields(QmiCursor* c, Fields*... fields) {
  uint32_t status = 0;
  static_cast<void>((((status = read_field(c, fields)) == 0) && ...));
  return status;
}

// Reads a one-byte count into *count, then that many entries with read_entry.
// The arrays hold 255 entries, the most a one-byte count can say.
template <typename Entry, size_t N, typename ReadEntry>
uint32_t read_counted_list(QmiCursor* c, uint8_t* count, Entry (&entries)[N],
                           ReadEntry read_entry) {
  static_assert(N >= 255, "a one-byte count must never exceed the array");
  if (const uint32_t status = get_u8(c, count); status != 0) return status;
  for (size_t i = 0; i < *count; ++i)
    if (const uint32_t status = read_entry(c, entries[i]); status != 0) return status;
  return 0;
}

inline uint32_t write_field(QmiCursor* c, uint8_t value) {
  return put_u8(c, value);
}
inline uint32_t write_field(QmiCursor* c, uint16_t value) {
  return put_u16(c, value);
}
inline uint32_t write_field(QmiCursor* c, uint32_t value) {
  return put_u32(c, value);
}
inline uint32_t write_field(QmiCursor* c, uint64_t value) {
  return put_u64(c, value);
}

// Writes the values in order and stops at the first failure.
template <typename... Values>
uint32_t write_fields(QmiCursor* c, Values... values) {
  uint32_t status = 0;
  static_cast<void>((((status = write_field(c, values)) == 0) && ...));
  return status;
}

}  // namespace vant::nas
