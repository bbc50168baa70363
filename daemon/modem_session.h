// One QMUX conversation with one modem: the control-service Sync that opens
// it, a QMI client id per service and client instance (allocated on first
// use, released at the end), our own transaction ids in place of the clients'
// 8-bit numbers, time-outs, and the routing of answers and indications back
// to the clients' channel pairs. It sees frames and time only; the daemon
// carries the frames to and from the link.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

#include "qmux/frame.h"
#include "qmux/transaction.h"
#include "sdk/core/am_packets.h"

namespace vant::daemon {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// The channel pair number of a request the daemon makes for itself, and of
// one whose client has gone (its answer goes nowhere).
inline constexpr uint8_t kDaemonOrigin = 0xFF;
inline constexpr uint8_t kOrphanOrigin = 0xFE;
inline constexpr uint8_t kClientInstances = 8;

// Who is waiting for an answer and what to echo back to them.
struct RequestOrigin {
  uint8_t pair = kDaemonOrigin;
  uint8_t transaction = 0;
  QmiTransactionHeader header{};  // service and instance select the QMI client
  uint16_t message_id = 0;
};

class SessionEvents {
 public:
  virtual ~SessionEvents() = default;
  virtual void send_frame(const qmux::Frame& frame) = 0;
  // result 0: the modem answered with this message; else the daemon's code.
  virtual void answer(const RequestOrigin& origin, uint32_t result, uint16_t message_id,
                      std::span<const uint8_t> tlvs) = 0;
  virtual void indicate(uint8_t pair, uint8_t instance, const qmux::Frame& frame) = 0;
  // The Sync that opens the session was answered.
  virtual void session_ready() = 0;
  // The Sync went unanswered: the modem does not listen (yet). The session
  // keeps asking; session_ready follows once it answers.
  virtual void modem_silent() {}
  // The modem announced a restart: every client id and registration is gone.
  virtual void modem_restarted() = 0;
};

class ModemSession {
 public:
  static constexpr std::chrono::milliseconds kSyncTimeout{2000};
  static constexpr std::chrono::milliseconds kControlTimeout{5000};

  explicit ModemSession(SessionEvents& events) : events_(events) {}

  // Sends the Sync that frees client ids a crashed predecessor left behind.
  void start(TimePoint now);
  // For a modem that other programs share (through libqmi's proxy): no Sync,
  // which would free their client ids too. Ready at once.
  void start_shared(TimePoint now);
  bool ready() const { return phase_ == Phase::ready; }

  // Relays one request; it is answered through SessionEvents::answer by the
  // deadline at the latest.
  void submit(const RequestOrigin& origin, std::span<const uint8_t> tlvs, TimePoint deadline,
              TimePoint now);

  void on_frame(const qmux::Frame& frame, TimePoint now);
  void on_timer(TimePoint now);
  std::optional<TimePoint> next_deadline() const;

  // Answers every waiting request with code and forgets every client id
  // (the link is gone, or the daemon ends).
  void fail_all(uint32_t code);

  // Releases every client id; true while releases, or allocations whose id
  // is to be released, are still unanswered.
  void release_all(TimePoint now);
  bool releasing() const;

  // A client's pair went away: its indications stop, and the answers to its
  // requests go nowhere (not to the next client on that pair).
  void forget_pair(uint8_t pair);

  size_t allocated_clients() const;
  // Requests of a pair that wait for the modem or for their client id.
  size_t outstanding(uint8_t pair) const;

 private:
  enum class Phase { idle, syncing, ready };
  enum class SlotState { none, allocating, allocated };
  // abandoned: an allocation nobody waits for any more (time-out, restart,
  // the daemon ending); a client id it still brings is released at once,
  // since the modem would keep it until it restarts.
  enum class ControlKind { sync, allocate, abandoned, release };

  struct Queued {
    RequestOrigin origin;
    std::vector<uint8_t> tlvs;
    TimePoint deadline;
  };
  struct ClientSlot {
    SlotState state = SlotState::none;
    uint8_t client_id = 0;
    uint32_t pairs = 0;  // bit per channel pair that used this client
    std::deque<Queued> waiting;
  };
  struct Pending {
    RequestOrigin origin;
    TimePoint deadline;
  };
  struct ControlPending {
    ControlKind kind;
    uint8_t service = 0;
    uint8_t instance = 0;
    TimePoint deadline;
  };
  using SlotKey = std::pair<uint8_t, uint8_t>;                // service, instance
  using PendingKey = std::tuple<uint8_t, uint8_t, uint16_t>;  // service, client id, transaction

  void become_ready(TimePoint now);
  void allocate(SlotKey key, TimePoint now);
  void flush(SlotKey key, ClientSlot& slot);
  void send_request(const RequestOrigin& origin, std::span<const uint8_t> tlvs, TimePoint deadline,
                    const ClientSlot& slot);
  uint16_t next_transaction(uint8_t service, uint8_t client_id);
  uint8_t send_control(qmux::Frame frame, ControlPending pending);

  void on_control(const qmux::Frame& frame, TimePoint now);
  void on_allocated(const ControlPending& pending, const qmux::Frame& frame);
  void release_late_grant(const qmux::Frame& frame, TimePoint now);
  void on_response(const qmux::Frame& frame);
  void on_indication(const qmux::Frame& frame);
  void on_restart();
  void refuse_waiting(ClientSlot& slot, uint32_t result, std::span<const uint8_t> tlvs);
  void expire_controls(TimePoint now);
  void on_sync_unanswered(TimePoint now);

  SessionEvents& events_;
  Phase phase_ = Phase::idle;
  bool sync_unanswered_ = false;  // said once, not at every new Sync
  std::map<SlotKey, ClientSlot> slots_;
  std::map<PendingKey, Pending> pending_;
  std::map<uint8_t, ControlPending> controls_;  // by control transaction id
  qmux::TransactionCounter control_ids_{qmux::kCtlTransactionMax};
  std::map<uint8_t, qmux::TransactionCounter> service_ids_;
};

}  // namespace vant::daemon
