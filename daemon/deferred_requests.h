// Device-service requests that wait for the modem's identity: each is
// answered once the modem is identified or gone, or at its deadline.
#pragma once

#include <optional>
#include <vector>

#include "daemon/am_datagram.h"
#include "daemon/modem_session.h"

namespace vant::daemon {

struct DeferredRequest {
  size_t pair = 0;
  QmiRequest request;  // its tlvs point into the copy below
  std::vector<uint8_t> tlvs;
  TimePoint deadline;
};

class DeferredRequests {
 public:
  // A client library has one such request at a time: only a runaway client
  // meets this.
  explicit DeferredRequests(size_t per_client) : per_client_(per_client) {}

  // False when the pair already has per_client waiting.
  bool add(size_t pair, const QmiRequest& request, TimePoint deadline);
  void forget(size_t pair);
  // Takes out every request that is due: all of them when the wait is over
  // (the modem identified or gone), else those past their deadline.
  std::vector<DeferredRequest> take_due(bool wait_over, TimePoint now);
  std::optional<TimePoint> next_deadline() const;

 private:
  size_t per_client_;
  std::vector<DeferredRequest> waiting_;
};

}  // namespace vant::daemon
