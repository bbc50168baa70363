// Two lists of Basic Connect, by service UUID and CIDs:
//
// - the answer to the DEVICE_SERVICES query: the services a modem offers
//   through MBIM, each with the CIDs it takes. A host reads it to learn
//   whether the modem carries QMI. Information buffer (little-endian): u32
//   count, u32 max DSS sessions, count pairs of u32 offset and u32 length
//   (offsets from the buffer's start), then the elements: UUID, u32 DSS
//   payload, u32 max DSS instances, u32 CID count, that many u32 CIDs.
// - DEVICE_SERVICE_SUBSCRIBE_LIST (a set, and its answer): the indications
//   the host wants. u32 count, count pairs of offset and length, then the
//   elements: UUID, u32 CID count, that many u32 CIDs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "qmux/mbim_message.h"

namespace vant::qmux::mbim {

struct DeviceService {
  Uuid id{};
  uint32_t dss_payload = 0;
  uint32_t max_dss_instances = 0;
  std::vector<uint32_t> cids;

  bool operator==(const DeviceService&) const = default;
};

struct DeviceServices {
  uint32_t max_dss_sessions = 0;
  std::vector<DeviceService> services;

  bool operator==(const DeviceServices&) const = default;
};

inline constexpr uint32_t kMaxDeviceServices = 256;
inline constexpr uint32_t kCidDeviceServiceSubscribeList = 19;

struct EventEntry {
  Uuid service{};
  std::vector<uint32_t> cids;

  bool operator==(const EventEntry&) const = default;
};

std::vector<uint8_t> encode_device_services(const DeviceServices& services);
// Nothing when the buffer does not hold such a list: a count above
// kMaxDeviceServices, an element outside the buffer or too short for its CIDs.
std::optional<DeviceServices> parse_device_services(std::span<const uint8_t> information);

// Whether the list has the service with the CID among its CIDs.
bool offers(const DeviceServices& services, const Uuid& service, uint32_t cid);

std::vector<uint8_t> encode_subscribe_list(const std::vector<EventEntry>& events);
// Nothing when the buffer does not hold such a list (as for the services).
std::optional<std::vector<EventEntry>> parse_subscribe_list(std::span<const uint8_t> information);

}  // namespace vant::qmux::mbim
