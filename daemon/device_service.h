// The daemon's own device service (service 0xF7): how a client finds the
// modem, connects to it and learns about it, and the device-state indication
// that tells connected clients when the modem leaves or returns.
//
// Messages (every answer carries the result TLV 0x02):
//   0x0000 enumerate      -> 0x00 device node text, 0x01 device key (14 bytes)
//   0x0001 connect        <- 0x00 node, 0x01 key; -> 0x03 daemon process id (u32)
//   0x0002 disconnect
//   0x0003 connected device -> 0x00 node, 0x01 key
//   0x0005 modem texts    -> 0x10 model, 0x11 firmware revision, 0x12 IMEI
//   0x0006 device state   -> 0x10 one byte: 1 modem present, 0 absent
//   0x0014 indication: 0x10 state byte (1 present, 0 gone), 0x11 device node
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "daemon/client_endpoints.h"
#include "daemon/modem_identity.h"

namespace vant::daemon {

inline constexpr uint8_t kDeviceServiceNumber = 0xF7;
inline constexpr uint16_t kEnumerateDevices = 0x0000;
inline constexpr uint16_t kConnectDevice = 0x0001;
inline constexpr uint16_t kDisconnectDevice = 0x0002;
inline constexpr uint16_t kConnectedDevice = 0x0003;
inline constexpr uint16_t kModemTexts = 0x0005;
inline constexpr uint16_t kDeviceStateByte = 0x0006;
inline constexpr uint16_t kDeviceStateIndication = 0x0014;
// The texts of 0x0005 land in client fields 32 bytes apart.
inline constexpr size_t kModemTextLimit = 31;

enum class DevicePresence { absent, identifying, present };

// What the service knows about the modem when a message arrives.
struct DeviceView {
  DevicePresence presence = DevicePresence::absent;
  std::string node;
  DeviceKey key{};
  ModemIdentity identity;
};

struct DeviceReply {
  bool defer = false;   // ask again once the modem is identified
  uint32_t result = 0;  // the AM result
  std::vector<uint8_t> tlvs;
};

class DeviceService {
 public:
  explicit DeviceService(uint32_t pid) : pid_(pid) {}

  DeviceReply handle(size_t pair, uint16_t message_id, std::span<const uint8_t> tlvs,
                     const DeviceView& device);

  bool connected(size_t pair) const { return pair < kChannelPairs && connected_[pair]; }
  void disconnect(size_t pair) {
    if (pair < kChannelPairs) connected_[pair] = false;
  }

  // The TLVs of the device-state indication.
  static std::vector<uint8_t> state_indication(bool present, const std::string& node);

 private:
  DeviceReply enumerate(const DeviceView& device) const;
  DeviceReply connect(size_t pair, std::span<const uint8_t> tlvs, const DeviceView& device);
  DeviceReply connected_device(size_t pair, const DeviceView& device) const;
  DeviceReply texts(const DeviceView& device) const;
  DeviceReply state_byte(const DeviceView& device) const;

  uint32_t pid_;
  std::array<bool, kChannelPairs> connected_{};
};

}  // namespace vant::daemon
