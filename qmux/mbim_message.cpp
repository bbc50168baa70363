#include "qmux/mbim_message.h"

#include <algorithm>

#include "qmux/wire.h"

namespace vant::qmux::mbim {
namespace {

// Service UUID, CID, command type or status, and the information buffer's length.
constexpr size_t kCommandBodyHeader = 16 + 4 + 4 + 4;
// Service UUID, CID and the information buffer's length.
constexpr size_t kIndicationBodyHeader = 16 + 4 + 4;

// The smallest body a message of this type has.
size_t minimum_body(Type type) {
  switch (type) {
    case Type::close:
      return 0;
    case Type::command:
    case Type::command_done:
      return kCommandBodyHeader;
    case Type::indicate_status:
      return kIndicationBodyHeader;
    case Type::open:
    case Type::host_error:
    case Type::open_done:
    case Type::close_done:
    case Type::function_error:
      return 4;
  }
  return 0;
}

void put_uuid(WireWriter& w, const Uuid& uuid) {
  w.bytes(uuid);
}

bool get_uuid(WireReader& r, Uuid& uuid) {
  std::span<const uint8_t> bytes;
  if (!r.take(uuid.size(), bytes)) return false;
  std::copy(bytes.begin(), bytes.end(), uuid.begin());
  return true;
}

std::vector<uint8_t> encode_body(const Message& m) {
  std::vector<uint8_t> body;
  WireWriter w(body);
  switch (m.type) {
    case Type::open:
      w.u32(m.max_control_transfer);
      break;
    case Type::close:
      break;
    case Type::host_error:
    case Type::function_error:
    case Type::open_done:
    case Type::close_done:
      w.u32(m.status);
      break;
    case Type::command:
    case Type::command_done:
    case Type::indicate_status:
      put_uuid(w, m.service);
      w.u32(m.cid);
      if (m.type == Type::command) w.u32(static_cast<uint32_t>(m.command_type));
      if (m.type == Type::command_done) w.u32(m.status);
      w.u32(static_cast<uint32_t>(m.information.size()));
      w.bytes(m.information);
      break;
  }
  return body;
}

std::vector<uint8_t> transfer_bytes(Type type, uint32_t transaction, std::span<const uint8_t> piece,
                                    uint32_t total, uint32_t fragment) {
  std::vector<uint8_t> out;
  WireWriter w(out);
  const bool fragmented = fragmented_type(type);
  const size_t length = kHeaderSize + (fragmented ? kFragmentHeaderSize : 0) + piece.size();
  w.u32(static_cast<uint32_t>(type));
  w.u32(static_cast<uint32_t>(length));
  w.u32(transaction);
  if (fragmented) {
    w.u32(total);
    w.u32(fragment);
  }
  w.bytes(piece);
  return out;
}

}  // namespace

bool fragmented_type(Type type) {
  return type == Type::command || type == Type::command_done || type == Type::indicate_status;
}

bool known_type(uint32_t type) {
  switch (static_cast<Type>(type)) {
    case Type::open:
    case Type::close:
    case Type::command:
    case Type::host_error:
    case Type::open_done:
    case Type::close_done:
    case Type::command_done:
    case Type::function_error:
    case Type::indicate_status:
      return true;
  }
  return false;
}

std::vector<std::vector<uint8_t>> encode(const Message& message, uint32_t max_transfer) {
  if (max_transfer < kMinControlTransfer || message.information.size() > kMaxMessageBody) return {};
  const std::vector<uint8_t> body = encode_body(message);
  if (!fragmented_type(message.type))
    return {transfer_bytes(message.type, message.transaction, body, 1, 0)};
  const size_t room =
      std::min(max_transfer, kMaxControlTransfer) - kHeaderSize - kFragmentHeaderSize;
  const size_t total = std::max<size_t>(1, (body.size() + room - 1) / room);
  std::vector<std::vector<uint8_t>> transfers;
  const std::span<const uint8_t> all(body);
  for (size_t i = 0; i < total; ++i) {
    const size_t at = i * room;
    const auto piece = all.subspan(at, std::min(room, body.size() - at));
    transfers.push_back(transfer_bytes(message.type, message.transaction, piece,
                                       static_cast<uint32_t>(total), static_cast<uint32_t>(i)));
  }
  return transfers;
}

ParseStatus parse_transfer(std::span<const uint8_t> bytes, Transfer& transfer, size_t& size) {
  WireReader r(bytes);
  uint32_t type = 0, length = 0, transaction = 0;
  if (!r.u32(type)) return ParseStatus::incomplete;
  if (!known_type(type)) return ParseStatus::invalid;
  const Type t = static_cast<Type>(type);
  const bool fragmented = fragmented_type(t);
  const size_t headers = kHeaderSize + (fragmented ? kFragmentHeaderSize : 0);
  if (!r.u32(length)) return ParseStatus::incomplete;
  // A first fragment must hold its body's header; later ones only their own.
  const size_t smallest = headers + (fragmented ? 0 : minimum_body(t));
  if (length < smallest || length > kMaxControlTransfer) return ParseStatus::invalid;
  if (bytes.size() < length) return ParseStatus::incomplete;
  r.u32(transaction);
  Transfer out{t, transaction, 1, 0, {}};
  if (fragmented) {
    r.u32(out.total_fragments);
    r.u32(out.fragment);
    if (out.total_fragments == 0 || out.fragment >= out.total_fragments)
      return ParseStatus::invalid;
  }
  r.take(length - headers, out.body);
  transfer = out;
  size = length;
  return ParseStatus::ok;
}

bool decode_body(Type type, uint32_t transaction, std::span<const uint8_t> body, Message& message) {
  WireReader r(body);
  Message m;
  m.type = type;
  m.transaction = transaction;
  switch (type) {
    case Type::close:
      break;
    case Type::open:
      if (!r.u32(m.max_control_transfer)) return false;
      break;
    case Type::host_error:
    case Type::function_error:
    case Type::open_done:
    case Type::close_done:
      if (!r.u32(m.status)) return false;
      break;
    case Type::command:
    case Type::command_done:
    case Type::indicate_status: {
      uint32_t length = 0;
      uint32_t command_type = 0;
      if (!get_uuid(r, m.service) || !r.u32(m.cid)) return false;
      if (type == Type::command && !r.u32(command_type)) return false;
      if (type == Type::command_done && !r.u32(m.status)) return false;
      if (!r.u32(length)) return false;
      if (type == Type::command && command_type > static_cast<uint32_t>(CommandType::set))
        return false;
      m.command_type = static_cast<CommandType>(command_type);
      std::span<const uint8_t> information;
      if (!r.take(length, information)) return false;
      m.information.assign(information.begin(), information.end());
      break;
    }
  }
  message = std::move(m);
  return true;
}

bool decode_single(const Transfer& transfer, Message& message) {
  if (transfer.total_fragments != 1) return false;
  return decode_body(transfer.type, transfer.transaction, transfer.body, message);
}

}  // namespace vant::qmux::mbim
