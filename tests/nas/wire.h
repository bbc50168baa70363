// Building QMI messages byte by byte for the NAS tests: TLV values from
// little-endian fields, and whole response messages from TLVs.
#pragma once

#include <cstdint>
#include <vector>

#include "vantsdk/qmi_codec.h"

namespace vant::test {

using Bytes = std::vector<uint8_t>;

// A TLV value (or any byte run) assembled from little-endian fields.
class Value {
 public:
  Value& u8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  Value& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
  Value& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Value& raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }
  operator const Bytes&() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A response message: message id, TLV length, TLVs.
class Message {
 public:
  explicit Message(uint16_t id) : id_(id) {}
  Message& tlv(uint8_t type, const Bytes& value) {
    return tlv_with_length(type, static_cast<uint16_t>(value.size()), value);
  }
  // A TLV whose length field says length, whatever value holds.
  Message& tlv_with_length(uint8_t type, uint16_t length, const Bytes& value) {
    tlvs_.push_back(type);
    tlvs_.push_back(length & 0xFF);
    tlvs_.push_back(length >> 8);
    tlvs_.insert(tlvs_.end(), value.begin(), value.end());
    return *this;
  }
  Message& result(uint16_t result = 0, uint16_t error = 0) {
    return tlv(0x02, Value().u16(result).u16(error));
  }
  // The TLV bytes so far (for finding TLV boundaries).
  size_t tlv_size() const { return tlvs_.size(); }
  // The whole message with its length field.
  Bytes bytes() const { return prefix(tlvs_.size()); }
  // The message cut after n TLV bytes, its length field saying n.
  Bytes prefix(size_t n) const {
    Bytes out = Value().u16(id_).u16(static_cast<uint16_t>(n));
    out.insert(out.end(), tlvs_.begin(), tlvs_.begin() + static_cast<long>(n));
    return out;
  }

 private:
  uint16_t id_;
  Bytes tlvs_;
};

// Packs a request with one of the request entries and returns the whole
// message (header and TLVs), or the failure code in *status.
template <typename Pack>
Bytes packed(Pack pack, uint32_t* status = nullptr) {
  Bytes buffer(REQUEST_CAPACITY, 0xEE);
  uint16_t length = 0;
  const uint32_t s = pack(&length, buffer.data());
  if (status != nullptr) *status = s;
  buffer.resize(s == 0 ? 4u + length : 0u);
  return buffer;
}

}  // namespace vant::test
