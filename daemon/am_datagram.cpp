#include "daemon/am_datagram.h"

#include "qmux/frame.h"
#include "qmux/wire.h"

namespace vant::daemon {
namespace {

constexpr size_t kMessageHeaderSize = 4;  // message id and TLV length
constexpr size_t kSdkResponseSize = kAmHeaderSize + kSdkResponseHeaderSize;

ParsedDatagram rejected(const char* problem, bool answerable, const QmiRequest& qmi = {}) {
  ParsedDatagram parsed;
  parsed.problem = problem;
  parsed.answerable = answerable;
  parsed.qmi = qmi;
  return parsed;
}

ParsedDatagram parse_sdk_request(std::span<const uint8_t> datagram, uint16_t length) {
  if (datagram.size() != kSdkRequestSize || length != kSdkRequestSize)
    return rejected("SDK request of the wrong size", false);
  const uint8_t* cursor = datagram.data();
  ParsedDatagram parsed;
  amparsesdkrequest(&cursor, &parsed.sdk_type);
  parsed.kind = DatagramKind::sdk_request;
  return parsed;
}

ParsedDatagram parse_qmi_request(std::span<const uint8_t> datagram) {
  if (datagram.size() < kQmiPayloadOffset) return rejected("QMI request too short", false);
  QmiRequest qmi;
  const uint8_t* cursor = datagram.data() + kAmHeaderSize;
  amparseqmixactionheader(&cursor, &qmi.header, &qmi.transaction);
  qmux::WireReader message(datagram.subspan(kQmiPayloadOffset));
  message.u16(qmi.message_id);  // stays 0 when even the id is missing
  if (!am_qmi_lengths_agree(datagram.data(), datagram.size()) ||
      qmi.header.qmiLength < kMessageHeaderSize)
    return rejected("QMI request whose lengths disagree", true, qmi);
  qmi.tlvs = datagram.subspan(kQmiPayloadOffset + kMessageHeaderSize);
  if (!qmux::tlvs_well_formed(qmi.tlvs))
    return rejected("QMI request with a TLV running past its end", true, qmi);
  ParsedDatagram parsed;
  parsed.kind = DatagramKind::qmi_request;
  parsed.qmi = qmi;
  return parsed;
}

void append_message(std::vector<uint8_t>& out, uint16_t message_id, std::span<const uint8_t> tlvs) {
  qmux::WireWriter w(out);
  w.u16(message_id);
  w.u16(static_cast<uint16_t>(tlvs.size()));
  w.bytes(tlvs);
}

std::vector<uint8_t> build_qmi_packet(uint16_t type, QmiTransactionHeader header,
                                      uint8_t transaction, uint32_t result, uint16_t message_id,
                                      std::span<const uint8_t> tlvs) {
  header.qmiLength = static_cast<uint32_t>(kMessageHeaderSize + tlvs.size());
  std::vector<uint8_t> out;
  out.reserve(kQmiPayloadOffset + header.qmiLength);
  out.resize(kQmiPayloadOffset);
  uint8_t* cursor = out.data();
  ambuildqmiresultheader(&cursor, &header, type, transaction, result);
  append_message(out, message_id, tlvs);
  return out;
}

}  // namespace

ParsedDatagram parse_client_datagram(std::span<const uint8_t> datagram) {
  if (datagram.size() < kAmHeaderSize) return rejected("datagram shorter than an AM header", false);
  const uint8_t* cursor = datagram.data();
  uint16_t type = 0, check_word = 0, length = 0;
  uint32_t result = 0;
  am_parse_header(&cursor, &type, &check_word, &result, &length);
  if (check_word != 0) return rejected("AM header check word is not 0", false);
  if (type == kAmSdkRequest) return parse_sdk_request(datagram, length);
  if (type == kAmQmiRequest) return parse_qmi_request(datagram);
  return rejected("packet type a client does not send", false);
}

std::vector<uint8_t> build_qmi_response(const QmiRequest& request, uint32_t result,
                                        uint16_t message_id, std::span<const uint8_t> tlvs) {
  return build_qmi_packet(kAmQmiResponse, request.header, request.transaction, result, message_id,
                          tlvs);
}

std::vector<uint8_t> build_indication(uint8_t service, uint8_t instance, uint16_t message_id,
                                      std::span<const uint8_t> tlvs) {
  QmiTransactionHeader header{};
  header.service = service;
  header.instance = instance;
  return build_qmi_packet(kAmQmiNotification, header, 0, 0, message_id, tlvs);
}

std::vector<uint8_t> build_sdk_response(uint8_t request_type, uint32_t result, uint32_t value32,
                                        uint16_t value16) {
  std::vector<uint8_t> out(kAmHeaderSize);
  uint8_t* cursor = out.data();
  am_build_header(&cursor, kAmSdkResponse, 0, result, kSdkResponseSize);
  qmux::WireWriter w(out);
  w.u8(request_type);
  w.u32(value32);
  w.u16(value16);
  return out;
}

}  // namespace vant::daemon
