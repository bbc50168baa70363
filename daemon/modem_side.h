// The daemon's modem side: the link's life cycle (looking for the modem,
// opening it through its transport, losing it), the QMUX session above the
// transport, and the modem's presence and identity. It tells the client side
// what became of the modem through ModemSideListener, always after the
// session has returned, so the listener may hand it new requests at once.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "daemon/device_service.h"
#include "daemon/event_set.h"
#include "daemon/log_throttle.h"
#include "daemon/modem_identity.h"
#include "daemon/modem_link.h"
#include "daemon/modem_presence.h"
#include "daemon/modem_session.h"
#include "daemon/modem_transport.h"
#include "daemon/session_outbox.h"

namespace vant::daemon {

class ModemSideListener {
 public:
  virtual ~ModemSideListener() = default;
  // The session's answer to a client's or the change keeper's request, and
  // an indication for a client.
  virtual void session_answer(const SessionEvent& answer) = 0;
  virtual void session_indication(const SessionEvent& indication) = 0;
  // The modem was identified: clients may use it.
  virtual void modem_present() = 0;
  // The modem stops being usable (its link is going, or it does not
  // listen); the requests still waiting for it are answered after this.
  virtual void modem_leaving() = 0;
  // Its link is gone; was_present: clients had heard of it.
  virtual void modem_gone(bool was_present) = 0;
  // It restarted while present: every client id and registration is gone.
  virtual void modem_restarted() = 0;
  // The session's work is done for now.
  virtual void modem_settled() = 0;
};

class ModemSide {
 public:
  // How long the daemon waits between looks for an absent modem.
  static constexpr std::chrono::milliseconds kRetryInterval{1000};

  // The link is watched in link_slot, its node in watch_slot.
  ModemSide(std::unique_ptr<LinkSource> source, EventSet& events, size_t link_slot,
            size_t watch_slot, ModemSideListener& listener);
  ~ModemSide();

  std::string describe() const { return source_->describe(); }

  // The loop: before each wait, on the link's events, at its deadlines.
  void before_wait();
  void on_events(short link_revents, bool node_changed, TimePoint now);
  std::optional<TimePoint> next_deadline(bool looking) const;
  // looking: absent modems are looked for and present ones checked.
  void on_timer(TimePoint now, bool looking);
  void try_open(TimePoint now);

  const ModemPresence& presence() const { return presence_; }
  bool connected() const { return modem_ != nullptr; }
  bool serving() const { return modem_ && presence_.present(); }
  DeviceView view() const;
  const DeviceKey& key() const { return key_; }

  // Requests, relayed through the session; each is answered through the
  // listener by its deadline at the latest.
  void submit(const RequestOrigin& origin, std::span<const uint8_t> tlvs, TimePoint deadline,
              TimePoint now);
  size_t outstanding(uint8_t pair) const;
  void forget_pair(uint8_t pair);

  // The daemon ends: client ids are released and waiting requests failed.
  void stop(TimePoint now, uint32_t code);
  bool releasing() const;
  // A last goodbye to the modem (MBIM CLOSE).
  void close();

 private:
  // The modem while its link is open: the transport, and the QMUX session
  // above it with the outbox it leaves its work in.
  struct Connection {
    explicit Connection(std::unique_ptr<ModemTransport> t)
        : transport(std::move(t)), session(outbox) {}
    std::unique_ptr<ModemTransport> transport;
    SessionOutbox outbox;
    ModemSession session;
  };

  bool watch_link(std::string& why);
  void unwatch_link(const ModemLink& link);
  void take_input(TransportInput& in, TimePoint now);
  void start_session(TimePoint now);
  void link_lost(const std::string& why);

  // What the session left in its outbox, carried out once it has returned.
  void carry_out_session_work();
  bool send_frames(Connection& modem);
  void on_session_event(const SessionEvent& event, bool current);
  void on_session_news(SessionEvent::Kind news);
  void become_present();

  std::unique_ptr<LinkSource> source_;
  EventSet& events_;
  size_t link_slot_;
  size_t watch_slot_;
  ModemSideListener& listener_;

  std::unique_ptr<Connection> modem_;
  bool link_writes_watched_ = false;
  TimePoint next_link_attempt_{};
  std::string last_link_failure_;

  ModemPresence presence_;
  IdentityProbe probe_;
  DeviceKey key_{};
  std::string node_;
  LogThrottle drop_log_{1};
};

}  // namespace vant::daemon
