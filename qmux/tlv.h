// Building and finding TLVs in a QMI message's TLV area.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "qmux/wire.h"

namespace vant::qmux {

inline constexpr uint8_t kResultTlv = 0x02;
inline constexpr uint16_t kQmiResultSuccess = 0;
inline constexpr uint16_t kQmiResultFailure = 1;

// Appends TLVs to a TLV area. begin() starts a TLV whose value the caller
// writes through writer(); end() fills in its length.
class TlvBuilder {
 public:
  TlvBuilder() : writer_(area_) {}
  // The writer refers to this object's own area.
  TlvBuilder(const TlvBuilder&) = delete;
  TlvBuilder& operator=(const TlvBuilder&) = delete;

  WireWriter& begin(uint8_t type);
  void end();
  // A whole TLV at once.
  void add(uint8_t type, std::span<const uint8_t> value);
  // The result TLV: result 0 with error 0, or result 1 with the error.
  void add_result(uint16_t error);

  WireWriter& writer() { return writer_; }
  std::vector<uint8_t> take() { return std::move(area_); }
  const std::vector<uint8_t>& area() const { return area_; }

 private:
  std::vector<uint8_t> area_;
  WireWriter writer_;
  size_t length_offset_ = 0;
};

// The value of the first TLV of the given type, if the area holds one.
std::optional<std::span<const uint8_t>> find_tlv(std::span<const uint8_t> tlvs, uint8_t type);

struct QmiResult {
  uint16_t result = kQmiResultSuccess;
  uint16_t error = 0;
  bool ok() const { return result == kQmiResultSuccess; }
  bool operator==(const QmiResult&) const = default;
};
// The result TLV of a response, if present and whole.
std::optional<QmiResult> find_result(std::span<const uint8_t> tlvs);

}  // namespace vant::qmux
