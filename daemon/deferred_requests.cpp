#include "daemon/deferred_requests.h"

#include <algorithm>

namespace vant::daemon {
bool DeferredRequests::add(size_t pair, const QmiRequest& request, TimePoint deadline) {
  const auto waiting = std::count_if(waiting_.begin(), waiting_.end(),
                                     [pair](const DeferredRequest& d) { return d.pair == pair; });
  if (static_cast<size_t>(waiting) >= per_client_) return false;
  waiting_.push_back({pair, request, {request.tlvs.begin(), request.tlvs.end()}, deadline});
  waiting_.back().request.tlvs = waiting_.back().tlvs;
  return true;
}

void DeferredRequests::forget(size_t pair) {
  std::erase_if(waiting_, [pair](const DeferredRequest& d) { return d.pair == pair; });
}

std::vector<DeferredRequest> DeferredRequests::take_due(bool wait_over, TimePoint now) {
  std::vector<DeferredRequest> due;
  std::vector<DeferredRequest> still;
  // A moved vector keeps its bytes where they were: the requests' views
  // into their own copies stay valid.
  for (auto& d : waiting_) (wait_over || d.deadline <= now ? due : still).push_back(std::move(d));
  waiting_ = std::move(still);
  return due;
}

std::optional<TimePoint> DeferredRequests::next_deadline() const {
  std::optional<TimePoint> next;
  for (const auto& d : waiting_)
    if (!next || d.deadline < *next) next = d.deadline;
  return next;
}

}  // namespace vant::daemon
