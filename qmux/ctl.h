// The control service messages a host and a modem exchange: get version info,
// allocate and release a client id, and sync. Builders for both sides and
// parsers for both sides, so that the daemon and the emulator share one
// definition of each layout.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "qmux/frame.h"
#include "qmux/tlv.h"

namespace vant::qmux::ctl {

inline constexpr uint16_t kGetVersionInfo = 0x0021;
inline constexpr uint16_t kAllocateClientId = 0x0022;
inline constexpr uint16_t kReleaseClientId = 0x0023;
inline constexpr uint16_t kSync = 0x0027;
// libqmi's proxy: the first request of each of its clients names the device.
inline constexpr uint16_t kInternalProxyOpen = 0xFF00;
inline constexpr uint8_t kDevicePathTlv = 0x01;

inline constexpr uint8_t kClientIdTlv = 0x01;
inline constexpr uint8_t kVersionListTlv = 0x01;

struct ServiceVersion {
  uint8_t service = 0;
  uint16_t major = 0;
  uint16_t minor = 0;
  bool operator==(const ServiceVersion&) const = default;
};

struct ClientId {
  uint8_t service = 0;
  uint8_t client_id = 0;
  bool operator==(const ClientId&) const = default;
};

// Host side: requests.
Frame get_version_info_request(uint8_t transaction);
Frame allocate_client_id_request(uint8_t transaction, uint8_t service);
Frame release_client_id_request(uint8_t transaction, ClientId id);
Frame sync_request(uint8_t transaction);
// The path travels as the TLV's whole value, without a terminator.
Frame proxy_open_request(uint8_t transaction, std::span<const uint8_t> device_path);
// The proxy's answer to it: its result, when the frame is that answer.
std::optional<QmiResult> parse_proxy_open_response(const Frame& frame);

// Host side: responses and indications. Each parser returns nothing when the
// frame is not that message or a TLV it needs is missing or short; the QMI
// result is read separately with find_result.
std::optional<std::vector<ServiceVersion>> parse_version_info_response(const Frame& frame);
std::optional<ClientId> parse_allocate_client_id_response(const Frame& frame);
std::optional<ClientId> parse_release_client_id_response(const Frame& frame);
bool is_sync_indication(const Frame& frame);

// Modem side: requests.
std::optional<uint8_t> parse_allocate_client_id_request(const Frame& frame);
std::optional<ClientId> parse_release_client_id_request(const Frame& frame);

// Modem side: responses (error 0 means success) and the indication a modem
// sends after it restarted.
Frame version_info_response(uint8_t transaction, std::span<const ServiceVersion> versions);
Frame allocate_client_id_response(uint8_t transaction, uint16_t error, ClientId id);
Frame release_client_id_response(uint8_t transaction, uint16_t error, ClientId id);
Frame sync_response(uint8_t transaction, uint16_t error);
Frame sync_indication();

}  // namespace vant::qmux::ctl
