// The one pending change of a modem: journaled before it is sent, held until
// it is confirmed or its deadline passes, and then undone by the daemon
// itself: the restore is sent, the state read back and compared, and both are
// retried with growing pauses while the modem is away or refuses, for up to
// kGiveUpAfter. A journal found at start-up is taken up again: its remaining
// time is kept (never more than it was given), and a change made before a
// reboot is undone at once, since nobody can be checking it any more.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "daemon/am_datagram.h"
#include "daemon/change_journal.h"
#include "daemon/change_messages.h"
#include "daemon/modem_identity.h"
#include "daemon/modem_session.h"

namespace vant::daemon {

// The pair number of the keeper's own requests to the modem.
inline constexpr uint8_t kChangeOrigin = 0xFD;

// A client request whose answer comes later.
struct ClientTicket {
  size_t pair = 0;
  QmiRequest request;  // without TLVs
};

// What the keeper needs of the daemon.
class ChangePort {
 public:
  virtual ~ChangePort() = default;
  // A request of the keeper's own; answered through ChangeKeeper::on_answer.
  virtual void send_to_modem(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                             TimePoint deadline) = 0;
  virtual void answer_client(const ClientTicket& ticket, uint32_t result,
                             std::span<const uint8_t> tlvs) = 0;
};

using WallClock = std::function<int64_t()>;  // ms since the epoch
int64_t system_wall_ms();

class ChangeKeeper {
 public:
  static constexpr std::chrono::milliseconds kRequestTimeout{5000};
  static constexpr std::chrono::milliseconds kFirstRetry{1000};
  static constexpr std::chrono::milliseconds kLongestRetry{30000};
  static constexpr std::chrono::minutes kGiveUpAfter{15};

  // Without a journal a change is held in memory only: for a modem that ends
  // with the daemon, as the built-in emulator does.
  ChangeKeeper(std::optional<ChangeJournal> journal, ChangePort& port,
               WallClock wall = system_wall_ms, std::string boot_id = current_boot_id());

  // Takes up a journal left by an earlier run.
  void start(TimePoint now);

  // A request of the change service; always answered, now or later.
  void handle(const ClientTicket& ticket, std::span<const uint8_t> tlvs, bool modem_present,
              const DeviceKey& key, TimePoint now);
  void on_answer(const RequestOrigin& origin, uint32_t result, std::span<const uint8_t> tlvs,
                 TimePoint now);
  // The modem is there and identified (with this key), or not.
  void on_modem(bool present, const DeviceKey& key, TimePoint now);
  void on_timer(TimePoint now);
  std::optional<TimePoint> next_deadline() const;
  // Answers owed to that pair's client go nowhere now.
  void client_gone(size_t pair);

  bool holding() const { return record_.has_value(); }

 private:
  enum class Step { none, apply, restore, read_back };

  void begin(const ClientTicket& ticket, std::span<const uint8_t> tlvs, bool modem_present,
             const DeviceKey& key, TimePoint now);
  void confirm(const ClientTicket& ticket, std::span<const uint8_t> tlvs);
  void revert_now(const ClientTicket& ticket, std::span<const uint8_t> tlvs, TimePoint now);
  void pending(const ClientTicket& ticket);
  bool names_this_change(const ClientTicket& ticket, std::span<const uint8_t> tlvs);

  void on_apply_answer(uint32_t result, std::span<const uint8_t> tlvs, TimePoint now);
  void make_due(TimePoint now, const char* why);
  void try_restore(TimePoint now);
  void send(Step step, const StoredMessage& message, TimePoint now);
  void restore_failed(const std::string& why, TimePoint now, bool modem_left = false);
  void finish();
  void answer_reverters(uint32_t result);
  void refuse(const ClientTicket& ticket, uint32_t code);

  std::optional<ChangeJournal> journal_;
  ChangePort& port_;
  WallClock wall_;
  std::string boot_id_;

  std::optional<ChangeRecord> record_;
  StoredMessage apply_;
  std::optional<ClientTicket> begin_ticket_;
  std::vector<ClientTicket> reverters_;
  TimePoint deadline_{};
  bool due_ = false;  // the deadline passed or a revert was asked for
  TimePoint retry_at_{};
  TimePoint give_up_at_{};
  uint16_t attempts_ = 0;
  Step in_flight_ = Step::none;
  uint8_t sequence_ = 0;
  bool modem_present_ = false;
  DeviceKey modem_key_{};
  uint32_t last_id_ = 0;
};

}  // namespace vant::daemon
