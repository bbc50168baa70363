#include "daemon/refused_nodes.h"

#include <map>
#include <mutex>

namespace vant::daemon {
namespace {

using Clock = std::chrono::steady_clock;

struct Refusal {
  std::string why;
  Clock::time_point when;
};

// A daemon drives one modem, so this stays small; old entries go as it is read.
std::mutex refusals_mutex;
std::map<std::string, Refusal>& refusals() {
  static std::map<std::string, Refusal> by_node;
  return by_node;
}

}  // namespace

void note_refused_node(const std::string& node, const std::string& why) {
  std::lock_guard lock(refusals_mutex);
  refusals()[node] = {why, Clock::now()};
}

std::optional<std::string> refused_node(const std::string& node) {
  std::lock_guard lock(refusals_mutex);
  const auto now = Clock::now();
  std::erase_if(refusals(),
                [&](const auto& entry) { return now - entry.second.when >= kRefusedNodeRest; });
  const auto it = refusals().find(node);
  if (it == refusals().end()) return std::nullopt;
  return it->second.why;
}

}  // namespace vant::daemon
