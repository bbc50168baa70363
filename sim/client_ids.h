// The client ids a modem hands out, a few per service. Exhausting them is a
// real failure mode of modems whose hosts never release what they allocate.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace vant::sim {

class ClientIds {
 public:
  explicit ClientIds(uint8_t per_service) : per_service_(per_service) {}

  // The lowest free id of the service (ids start at 1), or nothing when all
  // of them are taken.
  std::optional<uint8_t> allocate(uint8_t service);
  bool release(uint8_t service, uint8_t id);
  bool allocated(uint8_t service, uint8_t id) const;
  void release_all() { ids_.clear(); }
  std::map<uint8_t, size_t> counts() const;

 private:
  uint8_t per_service_;
  std::map<uint8_t, std::set<uint8_t>> ids_;
};

}  // namespace vant::sim
