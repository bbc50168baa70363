#include "daemon/log.h"

#include <syslog.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace vant::daemon {
namespace {

// Written once at start-up; read by every line (the emulator's thread, when
// the daemon simulates, logs too).
std::atomic<LogSink> g_sink{LogSink::standard_error};
std::atomic<bool> g_verbose{false};

int syslog_priority(LogLevel level) {
  switch (level) {
    case LogLevel::error:
      return LOG_ERR;
    case LogLevel::warning:
      return LOG_WARNING;
    case LogLevel::notice:
      return LOG_NOTICE;
    case LogLevel::info:
      return LOG_INFO;
    case LogLevel::debug:
      return LOG_DEBUG;
  }
  return LOG_INFO;
}

const char* level_word(LogLevel level) {
  switch (level) {
    case LogLevel::error:
      return "error: ";
    case LogLevel::warning:
      return "warning: ";
    default:
      return "";
  }
}

}  // namespace

void log_open(LogSink sink, bool verbose) {
  g_verbose = verbose;
  g_sink = sink;
  if (sink == LogSink::syslog) openlog("vantsdk", LOG_PID, LOG_USER);
}

void log_close() {
  if (g_sink == LogSink::syslog) closelog();
  g_sink = LogSink::standard_error;
}

void log_line(LogLevel level, const char* format, ...) {
  if (level == LogLevel::debug && !g_verbose) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (g_sink == LogSink::syslog) {
    syslog(LOG_USER | syslog_priority(level), "%s", text);
  } else {
    // One write per line, so that lines of two threads never interleave.
    std::fprintf(stderr, "vantsdk: %s%s\n", level_word(level), text);
  }
}

}  // namespace vant::daemon
