// QMI tunnelled through MBIM, on an MBIM control node (a cdc-wdm node of
// cdc_mbim, a WWAN port of type MBIM). The handshake opens the MBIM function,
// asks for its device services (a modem without the QMI service is refused
// by name) and subscribes to the QMI service's indications; then each QMUX
// frame goes as a command of the QMI service and comes back as its answer,
// and the modem's indications come the same way. Messages longer than the
// control transfer size travel in fragments, both ways. CLOSE at the end.
#pragma once

#include <optional>

#include "daemon/modem_transport.h"
#include "qmux/mbim_message.h"
#include "qmux/mbim_receiver.h"

namespace vant::daemon {

class MbimTransport final : public ModemTransport {
 public:
  // Each step of the handshake must be answered within this.
  static constexpr std::chrono::milliseconds kHandshakeTimeout{5000};

  // max_transfer: the control transfer size announced in OPEN and used for
  // our fragments; nothing asks the node (IOCTL_WDM_MAX_COMMAND of a cdc-wdm
  // node), or takes 4096 where it cannot tell.
  explicit MbimTransport(std::unique_ptr<ModemLink> link,
                         std::optional<uint32_t> max_transfer = std::nullopt);

  void start(TimePoint now, TransportInput& in) override;
  bool ready() const override { return step_ == Step::ready; }
  const char* name() const override { return "MBIM"; }
  bool send(const qmux::Frame& frame, TransportInput& in) override;
  std::optional<TimePoint> deadline() const override;
  void on_timer(TimePoint now, TransportInput& in) override;
  void close() override;

  uint32_t max_transfer() const { return max_transfer_; }

 protected:
  void on_bytes(std::span<const uint8_t> bytes, TimePoint now, TransportInput& in) override;

 private:
  enum class Step { idle, opening, listing, subscribing, ready, closed };

  void on_message(const qmux::mbim::Message& m, TimePoint now, TransportInput& in);
  void on_open_done(const qmux::mbim::Message& m, TimePoint now, TransportInput& in);
  void on_services(const qmux::mbim::Message& m, TimePoint now, TransportInput& in);
  void on_subscribed(const qmux::mbim::Message& m, TransportInput& in);
  void on_qmi(const qmux::mbim::Message& m, TransportInput& in);
  void on_function_error(const qmux::mbim::Message& m, TransportInput& in);
  // Sends a handshake request and waits for its answer.
  void ask(qmux::mbim::Message m, Step step, TimePoint now, TransportInput& in);
  bool send_message(qmux::mbim::Message m, TransportInput& in);
  void become_ready(TransportInput& in);
  uint32_t next_transaction();

  const uint32_t max_transfer_;
  qmux::mbim::Receiver receiver_;
  Step step_ = Step::idle;
  uint32_t awaited_ = 0;  // the transaction the handshake waits for
  TimePoint step_deadline_{};
  uint32_t last_transaction_ = 0;
};

}  // namespace vant::daemon
