// Writes code points into the caller's text buffer without ever passing its
// capacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vant {

class TextWriter {
 public:
  // With terminated set, room for the closing zero byte is kept at every step.
  TextWriter(std::span<uint8_t> out, bool terminated) : out_(out), reserve_(terminated ? 1 : 0) {}

  // Writes one code point: one byte below U+0100, else two bytes, high first.
  // False, writing nothing, when it would not fit.
  bool put(uint16_t code_point) {
    const size_t bytes = code_point < 0x100 ? 1 : 2;
    if (out_.size() < reserve_ || out_.size() - reserve_ - size_ < bytes) return false;
    if (bytes == 2) out_[size_++] = uint8_t(code_point >> 8);
    out_[size_++] = uint8_t(code_point);
    return true;
  }

  // Copies octets unchanged; false, writing nothing, when they would not fit.
  bool put_raw(std::span<const uint8_t> octets) {
    if (out_.size() < reserve_ || out_.size() - reserve_ - size_ < octets.size()) return false;
    for (const uint8_t octet : octets) out_[size_++] = octet;
    return true;
  }

  // Writes the closing zero byte and stores the length written before it.
  // False when the buffer has no room even for the zero byte.
  bool finish(uint8_t* length) {
    if (reserve_) {
      if (size_ >= out_.size()) return false;
      out_[size_] = 0;
    }
    *length = uint8_t(size_);
    return true;
  }

  size_t size() const { return size_; }

 private:
  std::span<uint8_t> out_;
  size_t reserve_;
  size_t size_ = 0;
};

}  // namespace vant
