#include "qmux/frame.h"

#include "qmux/wire.h"

namespace vant::qmux {
namespace {

constexpr uint8_t kControlFromHost = 0x00;
constexpr uint8_t kControlFromModem = 0x80;

// CTL numbers its kinds 0, 1, 2; the other services use 0, 2, 4.
constexpr uint8_t kCtlFlags[] = {0x00, 0x01, 0x02};
constexpr uint8_t kServiceFlags[] = {0x00, 0x02, 0x04};

std::optional<Sender> sender_from_control(uint8_t control) {
  if (control == kControlFromHost) return Sender::host;
  if (control == kControlFromModem) return Sender::modem;
  return std::nullopt;
}

// The smallest value of the length field: everything but the TLVs.
size_t min_length_field(uint8_t service) {
  return kQmuxHeaderSize - 1 + sdu_header_size(service) + kMessageHeaderSize;
}

}  // namespace

uint8_t sdu_flags(uint8_t service, MessageKind kind) {
  const auto index = static_cast<size_t>(kind);
  return service == kServiceCtl ? kCtlFlags[index] : kServiceFlags[index];
}

std::optional<MessageKind> kind_from_sdu_flags(uint8_t service, uint8_t flags) {
  for (auto kind : {MessageKind::request, MessageKind::response, MessageKind::indication}) {
    if (sdu_flags(service, kind) == flags) return kind;
  }
  return std::nullopt;
}

bool encode_frame(const Frame& frame, std::vector<uint8_t>& out) {
  const size_t length = min_length_field(frame.service) + frame.tlvs.size();
  if (length > 0xFFFF) return false;
  if (frame.service == kServiceCtl && frame.transaction > 0xFF) return false;
  out.reserve(out.size() + 1 + length);  // the marker, then what the length counts
  WireWriter w(out);
  w.u8(kMarker);
  w.u16(static_cast<uint16_t>(length));
  w.u8(frame.sender == Sender::modem ? kControlFromModem : kControlFromHost);
  w.u8(frame.service);
  w.u8(frame.client_id);
  w.u8(sdu_flags(frame.service, frame.kind));
  if (frame.service == kServiceCtl) {
    w.u8(static_cast<uint8_t>(frame.transaction));
  } else {
    w.u16(frame.transaction);
  }
  w.u16(frame.message_id);
  w.u16(static_cast<uint16_t>(frame.tlvs.size()));
  w.bytes(frame.tlvs);
  return true;
}

std::vector<uint8_t> encode_frame(const Frame& frame) {
  std::vector<uint8_t> out;
  encode_frame(frame, out);
  return out;
}

bool tlvs_well_formed(std::span<const uint8_t> tlvs) {
  WireReader r(tlvs);
  while (!r.empty()) {
    uint8_t type = 0;
    uint16_t length = 0;
    if (!r.u8(type) || !r.u16(length) || !r.skip(length)) return false;
  }
  return true;
}

// Checks each field as soon as its bytes are present, so that a lying length
// is caught from the header alone instead of stalling the stream while we wait
// for bytes that will never belong to this frame.
ParseStatus parse_frame(std::span<const uint8_t> bytes, Frame& frame, size_t& frame_size) {
  WireReader r(bytes);
  uint8_t marker = 0, control = 0, service = 0, client = 0, flags = 0;
  uint16_t length = 0;
  if (!r.u8(marker)) return ParseStatus::incomplete;
  if (marker != kMarker) return ParseStatus::invalid;
  if (!r.u16(length) || !r.u8(control)) return ParseStatus::incomplete;
  const auto sender = sender_from_control(control);
  if (!sender) return ParseStatus::invalid;
  if (!r.u8(service)) return ParseStatus::incomplete;
  if (length < min_length_field(service)) return ParseStatus::invalid;
  if (!r.u8(client) || !r.u8(flags)) return ParseStatus::incomplete;
  const auto kind = kind_from_sdu_flags(service, flags);
  if (!kind) return ParseStatus::invalid;
  uint16_t transaction = 0;
  if (service == kServiceCtl) {
    uint8_t t8 = 0;
    if (!r.u8(t8)) return ParseStatus::incomplete;
    transaction = t8;
  } else if (!r.u16(transaction)) {
    return ParseStatus::incomplete;
  }
  uint16_t message_id = 0, tlv_length = 0;
  if (!r.u16(message_id) || !r.u16(tlv_length)) return ParseStatus::incomplete;
  if (tlv_length != length - min_length_field(service)) return ParseStatus::invalid;
  std::span<const uint8_t> tlvs;
  if (!r.take(tlv_length, tlvs)) return ParseStatus::incomplete;
  if (!tlvs_well_formed(tlvs)) return ParseStatus::invalid;

  frame.sender = *sender;
  frame.service = service;
  frame.client_id = client;
  frame.kind = *kind;
  frame.transaction = transaction;
  frame.message_id = message_id;
  frame.tlvs.assign(tlvs.begin(), tlvs.end());
  frame_size = 1u + length;
  return ParseStatus::ok;
}

}  // namespace vant::qmux
