// Keeps a flood out of the log. A client that sends datagrams the daemon must
// drop, as fast as it can, would otherwise write one log line per datagram
// into syslog. Each kind of line goes out at most once per interval; the first
// one after others were held back says how many.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "daemon/log.h"

namespace vant::daemon {

class LogThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kInterval{1};

  // Kinds are numbered 0 to kinds - 1.
  explicit LogThrottle(size_t kinds) : kinds_(kinds) {}

  // Whether a line of this kind may be written at now: when it may,
  // held_back is how many lines of the kind were refused since the last one
  // that went out.
  bool admit(size_t kind, Clock::time_point now, uint64_t& held_back);

  // Writes the line when admit() lets it, ending it with the count of the
  // lines held back before it, if any.
  void line(size_t kind, Clock::time_point now, LogLevel level, const char* format, ...)
      __attribute__((format(printf, 5, 6)));

 private:
  struct Kind {
    std::optional<Clock::time_point> last_written;
    uint64_t held_back = 0;
  };
  std::vector<Kind> kinds_;
};

}  // namespace vant::daemon
