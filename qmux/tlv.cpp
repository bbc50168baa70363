#include "qmux/tlv.h"

namespace vant::qmux {

WireWriter& TlvBuilder::begin(uint8_t type) {
  writer_.u8(type);
  length_offset_ = writer_.size();
  writer_.u16(0);
  return writer_;
}

void TlvBuilder::end() {
  const size_t value_size = writer_.size() - length_offset_ - 2;
  writer_.patch_u16(length_offset_, static_cast<uint16_t>(value_size));
}

void TlvBuilder::add(uint8_t type, std::span<const uint8_t> value) {
  begin(type).bytes(value);
  end();
}

void TlvBuilder::add_result(uint16_t error) {
  auto& w = begin(kResultTlv);
  w.u16(error == 0 ? kQmiResultSuccess : kQmiResultFailure);
  w.u16(error);
  end();
}

std::optional<std::span<const uint8_t>> find_tlv(std::span<const uint8_t> tlvs, uint8_t type) {
  WireReader r(tlvs);
  while (!r.empty()) {
    uint8_t t = 0;
    uint16_t length = 0;
    std::span<const uint8_t> value;
    if (!r.u8(t) || !r.u16(length) || !r.take(length, value)) return std::nullopt;
    if (t == type) return value;
  }
  return std::nullopt;
}

std::optional<QmiResult> find_result(std::span<const uint8_t> tlvs) {
  const auto value = find_tlv(tlvs, kResultTlv);
  if (!value) return std::nullopt;
  WireReader r(*value);
  QmiResult result;
  if (!r.u16(result.result) || !r.u16(result.error)) return std::nullopt;
  return result;
}

}  // namespace vant::qmux
