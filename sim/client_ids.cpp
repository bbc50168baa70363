#include "sim/client_ids.h"

namespace vant::sim {

std::optional<uint8_t> ClientIds::allocate(uint8_t service) {
  auto& taken = ids_[service];
  for (unsigned id = 1; id <= per_service_; ++id) {
    if (taken.insert(static_cast<uint8_t>(id)).second) return static_cast<uint8_t>(id);
  }
  return std::nullopt;
}

bool ClientIds::release(uint8_t service, uint8_t id) {
  const auto it = ids_.find(service);
  return it != ids_.end() && it->second.erase(id) == 1;
}

bool ClientIds::allocated(uint8_t service, uint8_t id) const {
  const auto it = ids_.find(service);
  return it != ids_.end() && it->second.contains(id);
}

std::map<uint8_t, size_t> ClientIds::counts() const {
  std::map<uint8_t, size_t> out;
  for (const auto& [service, ids] : ids_) {
    if (!ids.empty()) out[service] = ids.size();
  }
  return out;
}

}  // namespace vant::sim
