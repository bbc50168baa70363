// The emulated modem's state and rules behind every stream it serves:
// answering requests, the scenario's behaviour rules, presence over time and
// the restarts it implies. Thread-safe: streams and the host's queries may
// come from several threads.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "qmux/frame.h"
#include "sim/emulator.h"
#include "sim/messages.h"
#include "sim/modem_state.h"
#include "sim/presence.h"

namespace vant::sim {

using Clock = std::chrono::steady_clock;
using Writes = std::vector<std::vector<uint8_t>>;

// An answer waiting for its time.
struct Scheduled {
  Clock::time_point due;
  Writes writes;
};

class ModemCore {
 public:
  explicit ModemCore(Scenario scenario);
  ~ModemCore();
  ModemCore(const ModemCore&) = delete;
  ModemCore& operator=(const ModemCore&) = delete;

  // What a new stream begins with: a Sync indication on the first stream
  // after the modem restarted, else nothing.
  Writes begin_stream(Clock::time_point now);
  // The answer to one frame from the host, or nothing (dropped, or not a request).
  std::optional<Scheduled> handle(const qmux::Frame& request, Clock::time_point now);

  bool present(Clock::time_point now) const;
  std::optional<Clock::time_point> next_presence_change(Clock::time_point now) const;
  bool wait_present(std::chrono::milliseconds timeout);

  void stop();
  bool stopped() const { return stopped_.load(); }
  // Readable once stop() was called; serve loops poll it.
  int stop_fd() const { return stop_pipe_[0]; }

  const Identity& identity() const { return scenario_.identity; }
  ModelSnapshot snapshot();

 private:
  uint64_t ms_since_start(Clock::time_point now) const;
  void catch_up(Clock::time_point now);
  const MessageRule* rule_for(std::string_view name);
  // entry: the request's row in the message table, null for a message we do not know.
  Reply answer(const qmux::Frame& request, const MessageEntry* entry);

  const Scenario scenario_;
  const PresenceTimeline timeline_;
  const Clock::time_point start_;
  mutable std::mutex mutex_;
  std::condition_variable stop_signal_;
  ModemState state_;
  uint64_t seen_outages_;
  uint64_t synced_outages_;
  uint32_t restarts_ = 0;
  std::map<std::string, uint32_t> rule_uses_;
  std::atomic<bool> stopped_{false};
  int stop_pipe_[2] = {-1, -1};
};

}  // namespace vant::sim
