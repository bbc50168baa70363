#include "daemon/device_service.h"

#include <algorithm>

#include "daemon/failure.h"
#include "qmux/tlv.h"

namespace vant::daemon {
namespace {

constexpr uint8_t kNodeTlv = 0x00;
constexpr uint8_t kKeyTlv = 0x01;
constexpr uint8_t kPidTlv = 0x03;
constexpr uint8_t kFirstTextTlv = 0x10;
constexpr uint8_t kStateTlv = 0x10;
constexpr uint8_t kStateTextTlv = 0x11;
constexpr size_t kStateTextLimit = 128;
constexpr uint16_t kQmiErrorMissingArgument = 0x0011;
constexpr uint16_t kQmiErrorInvalidCommand = 0x0047;

DeviceReply failure(uint32_t code) {
  return {false, code, failure_tlvs(code)};
}
DeviceReply deferred() {
  return {true, 0, {}};
}

void add_text(qmux::TlvBuilder& tlvs, uint8_t type, std::string_view text, size_t limit) {
  text = text.substr(0, limit);
  tlvs.add(type, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

DeviceReply success(qmux::TlvBuilder& tlvs) {
  return {false, 0, tlvs.take()};
}

DeviceReply node_and_key(const DeviceView& device) {
  qmux::TlvBuilder tlvs;
  tlvs.add_result(0);
  add_text(tlvs, kNodeTlv, device.node, 255);
  tlvs.add(kKeyTlv, device.key);
  return success(tlvs);
}

// Requests that need the modem wait while it is being identified and fail
// while it is absent.
std::optional<DeviceReply> unless_present(const DeviceView& device) {
  if (device.presence == DevicePresence::identifying) return deferred();
  if (device.presence == DevicePresence::absent) return failure(kFailNoDevice);
  return std::nullopt;
}

}  // namespace

DeviceReply DeviceService::handle(size_t pair, uint16_t message_id, std::span<const uint8_t> tlvs,
                                  const DeviceView& device) {
  switch (message_id) {
    case kEnumerateDevices:
      return enumerate(device);
    case kConnectDevice:
      return connect(pair, tlvs, device);
    case kDisconnectDevice: {
      disconnect(pair);
      qmux::TlvBuilder reply;
      reply.add_result(0);
      return success(reply);
    }
    case kConnectedDevice:
      return connected_device(pair, device);
    case kModemTexts:
      return texts(device);
    case kDeviceStateByte:
      return state_byte(device);
    default:
      return failure(kQmiErrorBase + kQmiErrorInvalidCommand);
  }
}

DeviceReply DeviceService::enumerate(const DeviceView& device) const {
  if (auto reply = unless_present(device)) return *reply;
  return node_and_key(device);
}

DeviceReply DeviceService::connect(size_t pair, std::span<const uint8_t> tlvs,
                                   const DeviceView& device) {
  const auto key = qmux::find_tlv(tlvs, kKeyTlv);
  if (!key || key->size() < kDeviceKeySize)
    return failure(kQmiErrorBase + kQmiErrorMissingArgument);
  if (auto reply = unless_present(device)) return *reply;
  // The key names the modem; its node may change when it is plugged in again.
  if (!std::equal(device.key.begin(), device.key.end(), key->begin()))
    return failure(kFailWrongDevice);
  if (pair < kChannelPairs) connected_[pair] = true;
  qmux::TlvBuilder reply;
  reply.add_result(0);
  reply.begin(kPidTlv).u32(pid_);
  reply.end();
  return success(reply);
}

DeviceReply DeviceService::connected_device(size_t pair, const DeviceView& device) const {
  if (!connected(pair)) return failure(kFailNotConnected);
  if (auto reply = unless_present(device)) return *reply;
  return node_and_key(device);
}

DeviceReply DeviceService::texts(const DeviceView& device) const {
  if (auto reply = unless_present(device)) return *reply;
  qmux::TlvBuilder reply;
  reply.add_result(0);
  const std::string* texts[] = {&device.identity.model, &device.identity.revision,
                                &device.identity.imei};
  for (uint8_t i = 0; i < 3; ++i)
    add_text(reply, static_cast<uint8_t>(kFirstTextTlv + i), *texts[i], kModemTextLimit);
  return success(reply);
}

DeviceReply DeviceService::state_byte(const DeviceView& device) const {
  qmux::TlvBuilder reply;
  reply.add_result(0);
  const uint8_t state = device.presence == DevicePresence::present ? 1 : 0;
  reply.add(kStateTlv, std::span<const uint8_t>(&state, 1));
  return success(reply);
}

std::vector<uint8_t> DeviceService::state_indication(bool present, const std::string& node) {
  qmux::TlvBuilder tlvs;
  const uint8_t state = present ? 1 : 0;
  tlvs.add(kStateTlv, std::span<const uint8_t>(&state, 1));
  if (!node.empty()) add_text(tlvs, kStateTextTlv, node, kStateTextLimit);
  return tlvs.take();
}

}  // namespace vant::daemon
