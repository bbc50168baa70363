#include "daemon/change_messages.h"

#include "daemon/failure.h"
#include "qmux/tlv.h"
#include "qmux/wire.h"

namespace vant::daemon {
namespace {

constexpr uint32_t kMissing = kQmiErrorBase + 0x0011;  // "Mandatory QMI TLV not provided"
constexpr uint32_t kMalformed = kQmiErrorBase + kQmiErrorMalformed;

// The services a change may address: not the control service, nor the
// daemon's own ones.
bool modem_service(uint8_t service) {
  return service != 0x00 && service < 0xF0;
}

bool well_formed_tlvs(std::span<const uint8_t> tlvs) {
  qmux::WireReader reader(tlvs);
  while (!reader.empty()) {
    uint8_t type = 0;
    uint16_t length = 0;
    if (!reader.u8(type) || !reader.u16(length) || !reader.skip(length)) return false;
  }
  return true;
}

std::optional<StoredMessage> message_of(std::span<const uint8_t> value) {
  qmux::WireReader reader(value);
  StoredMessage m;
  std::span<const uint8_t> tlvs;
  if (!reader.u8(m.service) || !reader.u16(m.message_id) || !modem_service(m.service) ||
      reader.remaining() > kChangeMessageLimit || !reader.take(reader.remaining(), tlvs) ||
      !well_formed_tlvs(tlvs))
    return std::nullopt;
  m.tlvs.assign(tlvs.begin(), tlvs.end());
  return m;
}

void u64(qmux::WireWriter& w, int64_t value) {
  const auto bits = static_cast<uint64_t>(value);
  w.u32(static_cast<uint32_t>(bits & 0xFFFFFFFFu));
  w.u32(static_cast<uint32_t>(bits >> 32));
}

void text(qmux::TlvBuilder& b, uint8_t type, const std::string& value) {
  b.add(type, std::span(reinterpret_cast<const uint8_t*>(value.data()), value.size()));
}

}  // namespace

ParsedBegin parse_begin(std::span<const uint8_t> tlvs) {
  const auto apply = qmux::find_tlv(tlvs, 0x01), restore = qmux::find_tlv(tlvs, 0x02),
             read_back = qmux::find_tlv(tlvs, 0x03), expected = qmux::find_tlv(tlvs, 0x04),
             after = qmux::find_tlv(tlvs, 0x05), label = qmux::find_tlv(tlvs, 0x06),
             previous = qmux::find_tlv(tlvs, 0x07);
  if (!apply || !restore || !read_back || !after) return {std::nullopt, kMissing};
  BeginRequest r;
  auto a = message_of(*apply), s = message_of(*restore), g = message_of(*read_back);
  qmux::WireReader after_reader(*after);
  if (!a || !s || !g || s->service != g->service || !after_reader.u32(r.revert_after_ms) ||
      r.revert_after_ms < kShortestRevertAfterMs || r.revert_after_ms > kLongestRevertAfterMs)
    return {std::nullopt, kMalformed};
  if (expected) {
    if (expected->size() > kChangeMessageLimit || !well_formed_tlvs(*expected))
      return {std::nullopt, kMalformed};
    r.expected.assign(expected->begin(), expected->end());
  }
  if (label) r.label.assign(label->begin(), label->end());
  if (previous) r.previous.assign(previous->begin(), previous->end());
  if (!journal_text_ok(r.label) || !journal_text_ok(r.previous)) return {std::nullopt, kMalformed};
  r.apply = std::move(*a);
  r.restore = std::move(*s);
  r.read_back = std::move(*g);
  return {std::move(r), 0};
}

uint32_t requested_change_id(std::span<const uint8_t> tlvs) {
  const auto value = qmux::find_tlv(tlvs, 0x01);
  uint32_t id = 0;
  if (!value) return 0;
  qmux::WireReader reader(*value);
  return reader.u32(id) ? id : 0;
}

std::vector<uint8_t> begin_answer(std::span<const uint8_t> modem_answer, uint32_t id,
                                  int64_t deadline_ms) {
  qmux::TlvBuilder b;
  b.writer().bytes(modem_answer);
  b.begin(0x10).u32(id);
  b.end();
  u64(b.begin(0x11), deadline_ms);
  b.end();
  return b.take();
}

std::vector<uint8_t> pending_answer(const ChangeRecord& r, ChangeState state, uint16_t attempts) {
  qmux::TlvBuilder b;
  b.add_result(0);
  b.begin(0x10).u32(r.id);
  b.end();
  b.begin(0x11).u8(static_cast<uint8_t>(state));
  b.end();
  u64(b.begin(0x12), r.started_ms);
  b.end();
  u64(b.begin(0x13), r.deadline_ms);
  b.end();
  b.begin(0x14).u32(r.revert_after_ms);
  b.end();
  b.begin(0x15).u16(attempts);
  b.end();
  text(b, 0x16, r.label);
  text(b, 0x17, r.previous);
  return b.take();
}

}  // namespace vant::daemon
