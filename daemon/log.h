// The daemon's log: syslog (facility user) once it runs detached, standard
// error in the foreground. Debug lines appear only when asked for.
#pragma once

namespace vant::daemon {

enum class LogSink { syslog, standard_error };
enum class LogLevel { error, warning, notice, info, debug };

// Chooses where lines go. Before the first call they go to standard error.
void log_open(LogSink sink, bool verbose);
void log_close();

void log_line(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));

#define VANT_LOG_ERROR(...) ::vant::daemon::log_line(::vant::daemon::LogLevel::error, __VA_ARGS__)
#define VANT_LOG_WARNING(...) \
  ::vant::daemon::log_line(::vant::daemon::LogLevel::warning, __VA_ARGS__)
#define VANT_LOG_NOTICE(...) ::vant::daemon::log_line(::vant::daemon::LogLevel::notice, __VA_ARGS__)
#define VANT_LOG_INFO(...) ::vant::daemon::log_line(::vant::daemon::LogLevel::info, __VA_ARGS__)
#define VANT_LOG_DEBUG(...) ::vant::daemon::log_line(::vant::daemon::LogLevel::debug, __VA_ARGS__)

}  // namespace vant::daemon
