// The SDK daemon: one event loop over the client sockets, the modem's link
// and the timers. Client datagrams become device-service answers or QMI
// requests for the modem session; the session's answers and indications go
// back to the clients' channel pairs; the modem's coming and going is watched
// and announced.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "daemon/am_datagram.h"
#include "daemon/change_keeper.h"
#include "daemon/client_admission.h"
#include "daemon/client_endpoints.h"
#include "daemon/deferred_requests.h"
#include "daemon/device_service.h"
#include "daemon/event_set.h"
#include "daemon/log_throttle.h"
#include "daemon/modem_side.h"
#include "daemon/unique_fd.h"

namespace vant::daemon {

class Daemon final : private ChangePort, private ModemSideListener {
 public:
  // How long the daemon waits for the modem to confirm the release of its
  // client ids at the end.
  static constexpr std::chrono::milliseconds kReleaseWait{1000};
  // A request whose time-out field is 0 (no limit) still ends after this.
  static constexpr std::chrono::milliseconds kNoLimitCap{600000};
  // Requests one client may have waiting for the modem at once, and
  // device-service requests waiting for its identification; a client
  // library has one, so only a runaway client meets this.
  static constexpr size_t kMaxOutstandingPerClient = 64;

  // Without a journal, changes are held in memory only (see ChangeKeeper).
  Daemon(ClientEndpoints endpoints, std::unique_ptr<LinkSource> source,
         std::optional<ChangeJournal> journal = std::nullopt);
  ~Daemon() override;

  // Runs until a client, a signal or request_stop() ends it, or until the
  // loop itself fails; then releases the modem's client ids. Returns the
  // process's exit status: 0 after a clean end, 1 after a failure.
  int run();
  // --allow-group: serve the members of this group too.
  void allow_group(gid_t group) { admission_.allow_group(group); }
  // Safe from another thread and from a signal handler.
  void request_stop();

 private:
  // Log lines that a flood of datagrams or requests would repeat: each kind
  // goes out at most once a second.
  enum DropLine : size_t {
    kRejected,
    kUnknownSdkRequest,
    kStrayDatagram,
    kClientNotReading,
    kNoClient,
    kSendFailed,
    kAnswerTooLarge,
    kIndicationTooLarge,
    kDropLines
  };

  // The loop.
  void poll_once();
  std::optional<TimePoint> next_wakeup() const;
  void on_timer(TimePoint now);

  // Clients.
  void drain_requests(size_t pair);
  void drain_and_drop(DatagramSocket& socket, const char* what);
  void refuse_stranger(size_t pair, std::span<const uint8_t> datagram);
  void on_datagram(size_t pair, std::span<const uint8_t> datagram, TimePoint now);
  void on_qmi_request(size_t pair, const QmiRequest& request, TimePoint now);
  void on_sdk_request(size_t pair, uint8_t type);
  void on_device_request(size_t pair, const QmiRequest& request, TimePoint now);
  void on_change_request(size_t pair, const QmiRequest& request, TimePoint now);
  void reply(size_t pair, const QmiRequest& request, uint32_t result, uint16_t message_id,
             std::span<const uint8_t> tlvs);
  void send_to_client(size_t pair, bool notification, std::span<const uint8_t> datagram);
  void client_gone(size_t pair);

  // The modem side's news (ModemSideListener).
  void session_answer(const SessionEvent& answer) override;
  void session_indication(const SessionEvent& indication) override;
  void modem_present() override;
  void modem_leaving() override;
  void modem_gone(bool was_present) override;
  void modem_restarted() override;
  void modem_settled() override;
  void announce_state(bool present);
  void settle_deferred(TimePoint now);

  // Ending.
  void begin_stop(TimePoint now, const char* why);

  // ChangePort.
  void send_to_modem(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                     TimePoint deadline) override;
  void answer_client(const ClientTicket& ticket, uint32_t result,
                     std::span<const uint8_t> tlvs) override;

  ClientEndpoints endpoints_;
  UniqueFd stop_event_;
  EventSet events_;
  int events_error_ = 0;  // errno when the sockets could not be watched

  ModemSide modem_;
  DeviceService device_service_;
  DeferredRequests deferred_{kMaxOutstandingPerClient};
  ChangeKeeper changes_;
  ClientAdmission admission_;
  LogThrottle drop_log_{kDropLines};

  bool stopping_ = false;
  bool failed_ = false;  // the loop could not go on: the end is not a clean one
  TimePoint stop_deadline_{};
};

}  // namespace vant::daemon
