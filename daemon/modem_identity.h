// What the daemon asks the modem about itself when the link comes up: model,
// firmware revision and serial numbers (device management service). From
// these come the texts of the device service and the 14-byte device key.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "daemon/modem_session.h"

namespace vant::daemon {

inline constexpr size_t kDeviceKeySize = 14;
using DeviceKey = std::array<uint8_t, kDeviceKeySize>;

struct ModemIdentity {
  std::string model;
  std::string revision;  // firmware revision
  std::string imei;
  std::string meid;
};

// The key that names the modem to clients, as 14 ASCII characters: the first
// 14 digits of the IMEI (the 15th is only a check digit), else the 14 hex
// digits of the MEID, else 14 hex digits of a hash of the device node (a modem
// that does not tell its serial numbers is known by where it is).
DeviceKey device_key(const ModemIdentity& identity, const std::string& node);

class IdentityProbe {
 public:
  static constexpr uint8_t kDeviceManagement = 0x02;
  static constexpr std::chrono::milliseconds kTimeout{2000};

  // Sends the three requests through the session (as the daemon's own).
  void start(ModemSession& session, TimePoint now);
  // Takes one answer to a request of start(); true once all three are in.
  bool on_answer(const RequestOrigin& origin, uint32_t result, std::span<const uint8_t> tlvs);
  bool done() const { return answers_ == kQueries; }
  const ModemIdentity& identity() const { return identity_; }

 private:
  static constexpr unsigned kQueries = 3;
  ModemIdentity identity_;
  unsigned answers_ = 0;
};

}  // namespace vant::daemon
