// QMUX through libqmi's proxy. Its first request names the modem's node
// (the control service's internal proxy open); once the proxy has answered,
// frames pass as on the node itself. The proxy shares the modem with other
// programs: the session does not Sync, and the proxy frees our client ids
// should the daemon end without releasing them.
#pragma once

#include "daemon/qmux_stream_transport.h"

namespace vant::daemon {

class ProxyTransport final : public QmuxStreamTransport {
 public:
  static constexpr std::chrono::milliseconds kOpenTimeout{5000};

  using QmuxStreamTransport::QmuxStreamTransport;

  void start(TimePoint now, TransportInput& in) override;
  bool ready() const override { return opened_; }
  bool shared() const override { return true; }
  const char* name() const override { return "qmi-proxy"; }
  std::optional<TimePoint> deadline() const override;
  void on_timer(TimePoint now, TransportInput& in) override;

 private:
  void on_frame(qmux::Frame frame, TransportInput& in) override;

  bool opened_ = false;
  TimePoint open_deadline_{};
};

}  // namespace vant::daemon
