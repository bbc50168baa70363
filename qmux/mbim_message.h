// MBIM control messages as they travel on an MBIM control node (a cdc-wdm
// node of cdc_mbim, a WWAN port of type MBIM): the ones a host and a modem
// need to carry QMI through the modem's QMI service.
//
// Wire layout (little-endian): every message begins with u32 type, u32
// length (of this message or fragment, header included) and u32 transaction
// id. COMMAND, COMMAND_DONE and INDICATE_STATUS then carry a fragment
// header (u32 total fragments, u32 this fragment's number from 0) and a body
// that may be split over several fragments, none longer than the maximum
// control transfer the host announced in OPEN.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vant::qmux::mbim {

using Uuid = std::array<uint8_t, 16>;

// Service UUIDs as MBIM puts them on the wire: the bytes in the order their
// text form writes them.
inline constexpr Uuid kBasicConnect = {0xa2, 0x89, 0xcc, 0x33, 0xbc, 0xbb, 0x8b, 0x4f,
                                       0xb6, 0xb0, 0x13, 0x3e, 0xc2, 0xaa, 0xe6, 0xdf};
inline constexpr Uuid kQmiService = {0xd1, 0xa3, 0x0b, 0xc2, 0xf9, 0x7a, 0x6e, 0x43,
                                     0xbf, 0x65, 0xc7, 0xe2, 0x4f, 0xb0, 0xf0, 0xd3};

inline constexpr uint32_t kCidDeviceServices = 16;  // of Basic Connect
inline constexpr uint32_t kCidQmiMessage = 1;       // of the QMI service: one raw QMUX frame

enum class Type : uint32_t {
  open = 0x00000001,
  close = 0x00000002,
  command = 0x00000003,
  host_error = 0x00000004,
  open_done = 0x80000001,
  close_done = 0x80000002,
  command_done = 0x80000003,
  function_error = 0x80000004,
  indicate_status = 0x80000007,
};

enum class CommandType : uint32_t { query = 0, set = 1 };

// Status words of OPEN_DONE, CLOSE_DONE and COMMAND_DONE.
inline constexpr uint32_t kStatusSuccess = 0;
inline constexpr uint32_t kStatusFailure = 2;
inline constexpr uint32_t kStatusNoDeviceSupport = 9;
inline constexpr uint32_t kStatusInvalidParameters = 21;

// Error codes of HOST_ERROR and FUNCTION_ERROR.
enum class ProtocolError : uint32_t {
  none = 0,
  timeout_fragment = 1,
  fragment_out_of_sequence = 2,
  length_mismatch = 3,
  duplicated_transaction = 4,
  not_opened = 5,
  unknown = 6,
  cancel = 7,
  max_transfer = 8,
};

inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kFragmentHeaderSize = 8;
// The smallest and the largest control transfer we accept or announce.
inline constexpr uint32_t kMinControlTransfer = 64;
inline constexpr uint32_t kMaxControlTransfer = 0x10000;
// What a host announces when the node cannot tell its own size.
inline constexpr uint32_t kDefaultControlTransfer = 4096;
// The largest body we encode or join from fragments: a QMI message's
// header and the largest QMUX frame.
inline constexpr size_t kMaxMessageBody = 0x10100;

// One whole message, its fragments joined.
struct Message {
  Type type = Type::open;
  uint32_t transaction = 0;
  uint32_t max_control_transfer = 0;  // OPEN
  // OPEN_DONE, CLOSE_DONE, COMMAND_DONE: the status; HOST_ERROR and
  // FUNCTION_ERROR: the ProtocolError.
  uint32_t status = 0;
  Uuid service{};  // COMMAND, COMMAND_DONE, INDICATE_STATUS
  uint32_t cid = 0;
  CommandType command_type = CommandType::query;  // COMMAND
  std::vector<uint8_t> information;               // the information buffer

  bool operator==(const Message&) const = default;
};

bool fragmented_type(Type type);
bool known_type(uint32_t type);

// The message's bytes cut into transfers of at most max_transfer bytes each
// (fragments of equal size but the last); empty when it cannot be sent so
// (max_transfer below kMinControlTransfer, or a body too large to describe).
std::vector<std::vector<uint8_t>> encode(const Message& message, uint32_t max_transfer);

// One message or fragment as it arrived.
struct Transfer {
  Type type = Type::open;
  uint32_t transaction = 0;
  uint32_t total_fragments = 1;
  uint32_t fragment = 0;
  std::span<const uint8_t> body;  // after the header, and the fragment header if any
};

enum class ParseStatus : uint8_t { ok, incomplete, invalid };

// Looks at bytes that should begin a transfer. ok: transfer filled, size its
// length; incomplete: the header is plausible so far but the rest has not
// come; invalid: an unknown type, a length too small for its type or above
// kMaxControlTransfer, or a fragment number past the total.
ParseStatus parse_transfer(std::span<const uint8_t> bytes, Transfer& transfer, size_t& size);

// The message of a whole body (a transfer that is not a fragment, or the
// fragments' bodies joined). False when the body is too short for its type
// or its information buffer's length runs past its end.
bool decode_body(Type type, uint32_t transaction, std::span<const uint8_t> body, Message& message);

// The message in one transfer that needs no other fragment.
bool decode_single(const Transfer& transfer, Message& message);

}  // namespace vant::qmux::mbim
