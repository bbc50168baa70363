#include "daemon/log_throttle.h"

#include <cstdarg>
#include <cstdio>

namespace vant::daemon {

bool LogThrottle::admit(size_t kind, Clock::time_point now, uint64_t& held_back) {
  Kind& k = kinds_.at(kind);
  if (k.last_written && now - *k.last_written < kInterval) {
    ++k.held_back;
    return false;
  }
  held_back = k.held_back;
  k.held_back = 0;
  k.last_written = now;
  return true;
}

void LogThrottle::line(size_t kind, Clock::time_point now, LogLevel level, const char* format,
                       ...) {
  uint64_t held_back = 0;
  if (!admit(kind, now, held_back)) return;
  char text[480];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (held_back == 0) return log_line(level, "%s", text);
  log_line(level, "%s (%llu more like it suppressed)", text,
           static_cast<unsigned long long>(held_back));
}

}  // namespace vant::daemon
