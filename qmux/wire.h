// The only code that touches wire bytes: a bounds-checked little-endian
// reader and an appending writer. Everything else in QMUX framing and in the
// emulator's message encoders goes through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vant::qmux {

class WireReader {
 public:
  explicit WireReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  // Each read either succeeds whole or leaves the position and value untouched.
  bool u8(uint8_t& value);
  bool u16(uint16_t& value);
  bool u32(uint32_t& value);
  bool skip(size_t count);
  bool take(size_t count, std::span<const uint8_t>& out);

  size_t remaining() const { return bytes_.size() - position_; }
  bool empty() const { return remaining() == 0; }
  size_t position() const { return position_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

class WireWriter {
 public:
  explicit WireWriter(std::vector<uint8_t>& out) : out_(out) {}

  void u8(uint8_t value) { out_.push_back(value); }
  void u16(uint16_t value);
  void u32(uint32_t value);
  void i8(int8_t value) { u8(static_cast<uint8_t>(value)); }
  void i16(int16_t value) { u16(static_cast<uint16_t>(value)); }
  void i32(int32_t value) { u32(static_cast<uint32_t>(value)); }
  void bytes(std::span<const uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }

  size_t size() const { return out_.size(); }
  // Overwrites a u16 written earlier (a length known only afterwards).
  void patch_u16(size_t offset, uint16_t value);

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace vant::qmux
