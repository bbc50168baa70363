#include "sim/faults.h"

#include "qmux/tlv.h"

namespace vant::sim {
namespace {

using qmux::TlvBuilder;
using qmux::WireReader;

struct Tlv {
  uint8_t type;
  std::span<const uint8_t> value;
};

std::vector<Tlv> split(const std::vector<uint8_t>& area) {
  std::vector<Tlv> out;
  WireReader r(area);
  uint8_t type = 0;
  uint16_t length = 0;
  std::span<const uint8_t> value;
  while (r.u8(type) && r.u16(length) && r.take(length, value)) out.push_back({type, value});
  return out;
}

std::vector<uint8_t> without_result(const std::vector<uint8_t>& area) {
  TlvBuilder out;
  for (const auto& t : split(area)) {
    if (t.type != qmux::kResultTlv) out.add(t.type, t.value);
  }
  return out.take();
}

// The last TLV keeps a consistent length but loses the second half of its
// value, so a decoder reading its fields runs past the end of the message.
std::vector<uint8_t> with_short_last_value(const std::vector<uint8_t>& area) {
  const auto tlvs = split(area);
  TlvBuilder out;
  for (size_t i = 0; i < tlvs.size(); ++i) {
    auto value = tlvs[i].value;
    if (i + 1 == tlvs.size()) value = value.first(value.size() / 2);
    out.add(tlvs[i].type, value);
  }
  return out.take();
}

}  // namespace

void inject_error(qmux::Frame& answer, uint16_t error, bool keep_tlvs) {
  TlvBuilder out;
  out.add_result(error);
  if (keep_tlvs) {
    for (const auto& t : split(answer.tlvs)) {
      if (t.type != qmux::kResultTlv) out.add(t.type, t.value);
    }
  }
  answer.tlvs = out.take();
}

void keep_only_result(qmux::Frame& answer) {
  TlvBuilder out;
  for (const auto& t : split(answer.tlvs)) {
    if (t.type == qmux::kResultTlv) out.add(t.type, t.value);
  }
  answer.tlvs = out.take();
}

std::vector<std::vector<uint8_t>> answer_writes(const qmux::Frame& answer, Malformation how) {
  qmux::Frame frame = answer;
  switch (how) {
    case Malformation::no_result:
      frame.tlvs = without_result(frame.tlvs);
      break;
    case Malformation::short_value:
      frame.tlvs = with_short_last_value(frame.tlvs);
      break;
    default:
      break;
  }
  auto bytes = qmux::encode_frame(frame);
  if (bytes.empty()) return {};
  if (how == Malformation::bad_frame) {
    // The length claims one byte more than the frame holds.
    ++bytes[1];
    if (bytes[1] == 0) ++bytes[2];
  }
  // A marker whose length is too short for any frame: the host must step over it.
  if (how == Malformation::noise_before) return {{0xFF, 0x7E, 0x01, 0x05, 0x00}, bytes};
  return {bytes};
}

}  // namespace vant::sim
