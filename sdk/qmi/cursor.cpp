// The cursor primitives: the only code that reads or writes QMI wire bytes.
// Every access is checked against the cursor's size before anything moves.
#include <cstddef>

#include "vantsdk/qmi_codec.h"
#include "vantsdk/result_codes.h"

namespace {

using vant::kInvalidArgument;
using vant::kMemoryError;
using vant::kSuccess;

// True when count bytes from position lie inside the cursor. Written so that
// no sum can wrap.
bool fits(const QmiCursor* c, uint32_t position, uint32_t count) {
  return position <= c->size && count <= c->size - position;
}

template <typename T>
void store_le(uint8_t* at, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

template <typename T>
T load_le(const uint8_t* at) {
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(at[i]) << (8 * i));
  return value;
}

template <typename T>
uint32_t put_le(QmiCursor* c, T value) {
  if (c == nullptr) return kInvalidArgument;
  if (!fits(c, c->index, sizeof(T))) return kMemoryError;
  store_le(c->data + c->index, value);
  c->index += sizeof(T);
  return kSuccess;
}

template <typename T>
uint32_t get_le(QmiCursor* c, T* destination) {
  if (c == nullptr || destination == nullptr) return kInvalidArgument;
  if (!fits(c, c->index, sizeof(T))) return kMemoryError;
  *destination = load_le<T>(c->data + c->index);
  c->index += sizeof(T);
  return kSuccess;
}

template <typename T>
uint32_t put_le_at(QmiCursor* c, uint32_t position, T value) {
  if (c == nullptr) return kInvalidArgument;
  if (!fits(c, position, sizeof(T))) return kMemoryError;
  store_le(c->data + position, value);
  return kSuccess;
}

// The TLV header of the value at the index stands just before it: type at
// index - 3, length at index - 2.
uint32_t header_field(const QmiCursor* c, uint32_t back, uint32_t count, const void* destination,
                      uint32_t* position) {
  if (c == nullptr || destination == nullptr) return kInvalidArgument;
  if (c->index < back || !fits(c, c->index - back, count)) return kMemoryError;
  *position = c->index - back;
  return kSuccess;
}

}  // namespace

uint32_t put_u8(QmiCursor* c, uint8_t value) {
  return put_le(c, value);
}
uint32_t put_u16(QmiCursor* c, uint16_t value) {
  return put_le(c, value);
}
uint32_t put_u32(QmiCursor* c, uint32_t value) {
  return put_le(c, value);
}
uint32_t put_u64(QmiCursor* c, uint64_t value) {
  return put_le(c, value);
}

uint32_t put_u16_be(QmiCursor* c, uint16_t value) {
  return put_le(c, static_cast<uint16_t>((value >> 8) | (value << 8)));
}

uint32_t get_u8(QmiCursor* c, uint8_t* destination) {
  return get_le(c, destination);
}
uint32_t get_u16(QmiCursor* c, uint16_t* destination) {
  return get_le(c, destination);
}
uint32_t get_u32(QmiCursor* c, uint32_t* destination) {
  return get_le(c, destination);
}
uint32_t get_u64(QmiCursor* c, uint64_t* destination) {
  return get_le(c, destination);
}

uint32_t get_u16_be(QmiCursor* c, uint16_t* destination) {
  uint16_t swapped = 0;
  const uint32_t status = get_le(c, destination == nullptr ? nullptr : &swapped);
  if (status == kSuccess) *destination = static_cast<uint16_t>((swapped >> 8) | (swapped << 8));
  return status;
}

// All or nothing: a partial copy would leave a truncated value in the
// message, and the index could no longer tell what was written.
uint32_t put_bytes(QmiCursor* c, const uint8_t* source, uint32_t count) {
  if (c == nullptr || (source == nullptr && count != 0)) return kInvalidArgument;
  if (!fits(c, c->index, count)) return kMemoryError;
  for (uint32_t i = 0; i < count; ++i) c->data[c->index + i] = source[i];
  c->index += static_cast<uint16_t>(count);
  return kSuccess;
}

// A value cut off by the end of the message still delivers the bytes that
// arrived; the index stays so that the failure is the only thing that moved.
uint32_t get_bytes(QmiCursor* c, uint8_t* destination, uint32_t count) {
  if (c == nullptr || (destination == nullptr && count != 0)) return kInvalidArgument;
  const uint32_t available = c->index <= c->size ? c->size - c->index : 0;
  const uint32_t copied = count < available ? count : available;
  for (uint32_t i = 0; i < copied; ++i) destination[i] = c->data[c->index + i];
  if (copied < count) return kMemoryError;
  c->index += static_cast<uint16_t>(count);
  return kSuccess;
}

uint32_t skip(QmiCursor* c, uint32_t count) {
  if (c == nullptr) return kInvalidArgument;
  if (!fits(c, c->index, count)) return kMemoryError;
  c->index += static_cast<uint16_t>(count);
  return kSuccess;
}

uint32_t put_u8_at(QmiCursor* c, uint32_t position, uint8_t value) {
  return put_le_at(c, position, value);
}

uint32_t put_u16_at(QmiCursor* c, uint32_t position, uint16_t value) {
  return put_le_at(c, position, value);
}

uint32_t peek_tlv_type(const QmiCursor* c, uint8_t* destination) {
  uint32_t position = 0;
  const uint32_t status = header_field(c, 3, 1, destination, &position);
  if (status == kSuccess) *destination = c->data[position];
  return status;
}

uint32_t peek_tlv_length(const QmiCursor* c, uint16_t* destination) {
  uint32_t position = 0;
  const uint32_t status = header_field(c, 2, 2, destination, &position);
  if (status == kSuccess) *destination = load_le<uint16_t>(c->data + position);
  return status;
}
