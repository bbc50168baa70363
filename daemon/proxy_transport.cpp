#include "daemon/proxy_transport.h"

#include "daemon/log.h"
#include "qmux/ctl.h"

namespace vant::daemon {
namespace {

// The session's own control transactions start at 1; the open request is
// answered before the session begins, so they cannot meet.
constexpr uint8_t kOpenTransaction = 1;

}  // namespace

void ProxyTransport::start(TimePoint now, TransportInput& in) {
  const std::string& node = link().node();
  const auto path = std::span(reinterpret_cast<const uint8_t*>(node.data()), node.size());
  open_deadline_ = now + kOpenTimeout;
  if (!send(qmux::ctl::proxy_open_request(kOpenTransaction, path), in) && in.lost.empty())
    in.lost = "the open request for qmi-proxy could not be sent";
}

void ProxyTransport::on_frame(qmux::Frame frame, TransportInput& in) {
  if (opened_) return QmuxStreamTransport::on_frame(std::move(frame), in);
  // Before the proxy has opened the node, nothing it sends is the modem's.
  const auto result = qmux::ctl::parse_proxy_open_response(frame);
  if (!result) return;
  if (!result->ok()) {
    in.lost = "qmi-proxy could not open " + link().node() + " (QMI error " +
              std::to_string(result->error) + ")";
    return;
  }
  opened_ = true;
  in.became_ready = true;
}

std::optional<ModemTransport::TimePoint> ProxyTransport::deadline() const {
  const auto partial = QmuxStreamTransport::deadline();
  if (opened_) return partial;
  return partial && *partial < open_deadline_ ? partial : std::optional(open_deadline_);
}

void ProxyTransport::on_timer(TimePoint now, TransportInput& in) {
  QmuxStreamTransport::on_timer(now, in);
  if (!opened_ && now >= open_deadline_)
    in.lost = "qmi-proxy did not answer the open request for " + link().node();
}

}  // namespace vant::daemon
