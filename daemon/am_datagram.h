// The AM packets the daemon takes from and gives to its clients: checks of
// an incoming datagram before anything in it is believed, and the builders of
// responses, indications and SDK responses.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sdk/core/am_packets.h"

namespace vant::daemon {

// A QMI request as the client sent it.
struct QmiRequest {
  uint8_t transaction = 0;        // the client's 8-bit number, echoed in the response
  QmiTransactionHeader header{};  // service, time-out, message length, instance
  uint16_t message_id = 0;
  std::span<const uint8_t> tlvs;
};

enum class DatagramKind { qmi_request, sdk_request, rejected };

struct ParsedDatagram {
  DatagramKind kind = DatagramKind::rejected;
  QmiRequest qmi;
  uint8_t sdk_type = 0;
  // For a rejected datagram: why, and whether its QMI transaction header was
  // whole, so that the client can be answered (qmi holds what could be read).
  const char* problem = nullptr;
  bool answerable = false;
};

ParsedDatagram parse_client_datagram(std::span<const uint8_t> datagram);

// A response (0xC1) to request: AM result, the request's transaction header
// (its message length replaced) and the QMI message.
std::vector<uint8_t> build_qmi_response(const QmiRequest& request, uint32_t result,
                                        uint16_t message_id, std::span<const uint8_t> tlvs);

// An indication (0xC2) of a service for one client instance.
std::vector<uint8_t> build_indication(uint8_t service, uint8_t instance, uint16_t message_id,
                                      std::span<const uint8_t> tlvs);

// An SDK response (0x101): AM header (length 17, the whole packet) and the
// 7-byte SDK response header.
std::vector<uint8_t> build_sdk_response(uint8_t request_type, uint32_t result, uint32_t value32,
                                        uint16_t value16);

// The largest QMI message (id, length, TLVs) a client can take in one datagram.
inline constexpr size_t kMaxClientMessage = kAmBufferSize - kQmiPayloadOffset;

}  // namespace vant::daemon
