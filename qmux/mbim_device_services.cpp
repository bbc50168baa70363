#include "qmux/mbim_device_services.h"

#include <algorithm>

#include "qmux/wire.h"

namespace vant::qmux::mbim {
namespace {

constexpr size_t kListHeader = 8;      // count, max DSS sessions
constexpr size_t kReferenceSize = 8;   // offset, length
constexpr size_t kElementHeader = 28;  // UUID, DSS payload, max instances, CID count

size_t element_size(const DeviceService& s) {
  return kElementHeader + 4 * s.cids.size();
}

std::optional<DeviceService> parse_element(std::span<const uint8_t> bytes) {
  WireReader r(bytes);
  DeviceService s;
  std::span<const uint8_t> id;
  uint32_t count = 0;
  if (!r.take(s.id.size(), id) || !r.u32(s.dss_payload) || !r.u32(s.max_dss_instances) ||
      !r.u32(count))
    return std::nullopt;
  std::copy(id.begin(), id.end(), s.id.begin());
  if (count > r.remaining() / 4) return std::nullopt;
  s.cids.resize(count);
  for (uint32_t& cid : s.cids) r.u32(cid);
  return s;
}

}  // namespace

std::vector<uint8_t> encode_device_services(const DeviceServices& services) {
  std::vector<uint8_t> out;
  WireWriter w(out);
  w.u32(static_cast<uint32_t>(services.services.size()));
  w.u32(services.max_dss_sessions);
  size_t offset = kListHeader + kReferenceSize * services.services.size();
  for (const DeviceService& s : services.services) {
    w.u32(static_cast<uint32_t>(offset));
    w.u32(static_cast<uint32_t>(element_size(s)));
    offset += element_size(s);
  }
  for (const DeviceService& s : services.services) {
    w.bytes(s.id);
    w.u32(s.dss_payload);
    w.u32(s.max_dss_instances);
    w.u32(static_cast<uint32_t>(s.cids.size()));
    for (uint32_t cid : s.cids) w.u32(cid);
  }
  return out;
}

std::optional<DeviceServices> parse_device_services(std::span<const uint8_t> information) {
  WireReader r(information);
  uint32_t count = 0;
  DeviceServices list;
  if (!r.u32(count) || !r.u32(list.max_dss_sessions) || count > kMaxDeviceServices)
    return std::nullopt;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0, length = 0;
    if (!r.u32(offset) || !r.u32(length)) return std::nullopt;
    if (offset > information.size() || length > information.size() - offset) return std::nullopt;
    auto element = parse_element(information.subspan(offset, length));
    if (!element) return std::nullopt;
    list.services.push_back(std::move(*element));
  }
  return list;
}

bool offers(const DeviceServices& services, const Uuid& service, uint32_t cid) {
  return std::any_of(
      services.services.begin(), services.services.end(), [&](const DeviceService& s) {
        return s.id == service && std::find(s.cids.begin(), s.cids.end(), cid) != s.cids.end();
      });
}

}  // namespace vant::qmux::mbim
