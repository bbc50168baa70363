#include "qmux/wire.h"

namespace vant::qmux {

bool WireReader::u8(uint8_t& value) {
  if (remaining() < 1) return false;
  value = bytes_[position_++];
  return true;
}

bool WireReader::u16(uint16_t& value) {
  if (remaining() < 2) return false;
  value = static_cast<uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
  position_ += 2;
  return true;
}

bool WireReader::u32(uint32_t& value) {
  if (remaining() < 4) return false;
  value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes_[position_ + i]) << (8 * i);
  position_ += 4;
  return true;
}

bool WireReader::skip(size_t count) {
  if (remaining() < count) return false;
  position_ += count;
  return true;
}

bool WireReader::take(size_t count, std::span<const uint8_t>& out) {
  if (remaining() < count) return false;
  out = bytes_.subspan(position_, count);
  position_ += count;
  return true;
}

void WireWriter::u16(uint16_t value) {
  out_.push_back(static_cast<uint8_t>(value));
  out_.push_back(static_cast<uint8_t>(value >> 8));
}

void WireWriter::u32(uint32_t value) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void WireWriter::patch_u16(size_t offset, uint16_t value) {
  out_.at(offset) = static_cast<uint8_t>(value);
  out_.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

}  // namespace vant::qmux
