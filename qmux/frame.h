// One QMUX frame as it travels on a QMI control device, and its encoding.
//
// Wire layout (little-endian): marker 0x01, u16 length (every byte but the
// marker), u8 control flags (0x00 host, 0x80 modem), u8 service, u8 client id,
// then the service data unit: u8 flags and a transaction id (u8 for the
// control service, u16 otherwise), then one QMI message: u16 message id,
// u16 TLV length, TLVs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vant::qmux {

inline constexpr uint8_t kMarker = 0x01;
inline constexpr uint8_t kServiceCtl = 0x00;
inline constexpr uint8_t kBroadcastClient = 0xFF;

// Marker, length, control flags, service, client id.
inline constexpr size_t kQmuxHeaderSize = 6;
inline constexpr size_t kCtlSduHeaderSize = 2;
inline constexpr size_t kServiceSduHeaderSize = 3;
// Message id and TLV length.
inline constexpr size_t kMessageHeaderSize = 4;
inline constexpr size_t kTlvHeaderSize = 3;
// The largest frame the 16-bit length field can describe.
inline constexpr size_t kMaxFrameSize = 1 + 0xFFFF;

enum class Sender : uint8_t { host, modem };
enum class MessageKind : uint8_t { request, response, indication };

struct Frame {
  Sender sender = Sender::host;
  uint8_t service = kServiceCtl;
  uint8_t client_id = 0;
  MessageKind kind = MessageKind::request;
  uint16_t transaction = 0;  // at most 0xFF for the control service
  uint16_t message_id = 0;
  std::vector<uint8_t> tlvs;  // the TLV area, exactly as on the wire

  bool operator==(const Frame&) const = default;
};

constexpr size_t sdu_header_size(uint8_t service) {
  return service == kServiceCtl ? kCtlSduHeaderSize : kServiceSduHeaderSize;
}

// The SDU flags byte of a kind; the control service numbers them differently.
uint8_t sdu_flags(uint8_t service, MessageKind kind);
// The kind an SDU flags byte denotes, or nothing for flags we do not handle
// (compound messages included: no host we serve sends them).
std::optional<MessageKind> kind_from_sdu_flags(uint8_t service, uint8_t flags);

// Appends the frame's bytes to out. Fails (appending nothing) when the frame
// would not fit the length field or a control-service transaction exceeds u8.
bool encode_frame(const Frame& frame, std::vector<uint8_t>& out);
std::vector<uint8_t> encode_frame(const Frame& frame);

// True when the TLV area is a whole number of TLVs, none running past its end.
bool tlvs_well_formed(std::span<const uint8_t> tlvs);

enum class ParseStatus : uint8_t { ok, incomplete, invalid };

// Looks at the bytes that should begin a frame. ok: frame filled and
// frame_size set; incomplete: every byte present so far is plausible, more are
// needed; invalid: these bytes do not begin a valid frame.
ParseStatus parse_frame(std::span<const uint8_t> bytes, Frame& frame, size_t& frame_size);

}  // namespace vant::qmux
