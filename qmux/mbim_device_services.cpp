#include "qmux/mbim_device_services.h"

#include <algorithm>

#include "qmux/wire.h"

namespace vant::qmux::mbim {
namespace {

constexpr size_t kReferenceSize = 8;  // offset, length

bool get_uuid(WireReader& r, Uuid& uuid) {
  std::span<const uint8_t> bytes;
  if (!r.take(uuid.size(), bytes)) return false;
  std::copy(bytes.begin(), bytes.end(), uuid.begin());
  return true;
}

// A CID count and that many CIDs, all within the element.
bool get_cids(WireReader& r, std::vector<uint32_t>& cids) {
  uint32_t count = 0;
  if (!r.u32(count) || count > r.remaining() / 4) return false;
  cids.resize(count);
  for (uint32_t& cid : cids) r.u32(cid);
  return true;
}

void put_cids(WireWriter& w, const std::vector<uint32_t>& cids) {
  w.u32(static_cast<uint32_t>(cids.size()));
  for (uint32_t cid : cids) w.u32(cid);
}

std::optional<DeviceService> parse_service(std::span<const uint8_t> bytes) {
  WireReader r(bytes);
  DeviceService s;
  if (!get_uuid(r, s.id) || !r.u32(s.dss_payload) || !r.u32(s.max_dss_instances) ||
      !get_cids(r, s.cids))
    return std::nullopt;
  return s;
}

std::optional<EventEntry> parse_event(std::span<const uint8_t> bytes) {
  WireReader r(bytes);
  EventEntry e;
  if (!get_uuid(r, e.service) || !get_cids(r, e.cids)) return std::nullopt;
  return e;
}

// The table of offset and length pairs after the list's header, each
// element parsed where it points.
template <class Element, class Parse>
std::optional<std::vector<Element>> parse_elements(WireReader& r, uint32_t count,
                                                   std::span<const uint8_t> information,
                                                   Parse parse) {
  if (count > kMaxDeviceServices) return std::nullopt;
  std::vector<Element> elements;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0, length = 0;
    if (!r.u32(offset) || !r.u32(length)) return std::nullopt;
    if (offset > information.size() || length > information.size() - offset) return std::nullopt;
    auto element = parse(information.subspan(offset, length));
    if (!element) return std::nullopt;
    elements.push_back(std::move(*element));
  }
  return elements;
}

// The references to elements of the given encoded sizes, after a header of
// header bytes and the table itself.
void put_references(WireWriter& w, size_t header, const std::vector<size_t>& sizes) {
  size_t offset = header + kReferenceSize * sizes.size();
  for (size_t size : sizes) {
    w.u32(static_cast<uint32_t>(offset));
    w.u32(static_cast<uint32_t>(size));
    offset += size;
  }
}

}  // namespace

std::vector<uint8_t> encode_device_services(const DeviceServices& services) {
  std::vector<uint8_t> out;
  WireWriter w(out);
  w.u32(static_cast<uint32_t>(services.services.size()));
  w.u32(services.max_dss_sessions);
  std::vector<size_t> sizes;
  for (const DeviceService& s : services.services) sizes.push_back(28 + 4 * s.cids.size());
  put_references(w, 8, sizes);
  for (const DeviceService& s : services.services) {
    w.bytes(s.id);
    w.u32(s.dss_payload);
    w.u32(s.max_dss_instances);
    put_cids(w, s.cids);
  }
  return out;
}

std::optional<DeviceServices> parse_device_services(std::span<const uint8_t> information) {
  WireReader r(information);
  uint32_t count = 0;
  DeviceServices list;
  if (!r.u32(count) || !r.u32(list.max_dss_sessions)) return std::nullopt;
  auto services = parse_elements<DeviceService>(r, count, information, parse_service);
  if (!services) return std::nullopt;
  list.services = std::move(*services);
  return list;
}

bool offers(const DeviceServices& services, const Uuid& service, uint32_t cid) {
  return std::any_of(
      services.services.begin(), services.services.end(), [&](const DeviceService& s) {
        return s.id == service && std::find(s.cids.begin(), s.cids.end(), cid) != s.cids.end();
      });
}

std::vector<uint8_t> encode_subscribe_list(const std::vector<EventEntry>& events) {
  std::vector<uint8_t> out;
  WireWriter w(out);
  w.u32(static_cast<uint32_t>(events.size()));
  std::vector<size_t> sizes;
  for (const EventEntry& e : events) sizes.push_back(20 + 4 * e.cids.size());
  put_references(w, 4, sizes);
  for (const EventEntry& e : events) {
    w.bytes(e.service);
    put_cids(w, e.cids);
  }
  return out;
}

std::optional<std::vector<EventEntry>> parse_subscribe_list(std::span<const uint8_t> information) {
  WireReader r(information);
  uint32_t count = 0;
  if (!r.u32(count)) return std::nullopt;
  return parse_elements<EventEntry>(r, count, information, parse_event);
}

}  // namespace vant::qmux::mbim
