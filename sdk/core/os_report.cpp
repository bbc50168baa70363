// Error reporting, logging, fatal stops and sleeps.
#include <syslog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "sdk/core/os_services.h"

std::atomic<ErrorHookRoutine> ErrorHook{&os_report_error};

void os_report_error(const char* message, int error_number) {
  char text[128];
  std::snprintf(text, sizeof text, "KEL API: %s", message);
  if (error_number != 0) {
    errno = error_number;
    std::perror(text);
  } else {
    std::fprintf(stderr, "%s\n", text);
  }
}

void os_set_error_hook(ErrorHookRoutine routine) {
  ErrorHook.store(routine);
}

void os_report(const char* message, int error_number) {
  ErrorHook.load()(message, error_number);
}

void os_log(const char* message) {
  syslog(LOG_USER | LOG_DEBUG, "%s", message);
}

void os_fatal(const char* message, int error_number) {
  if (error_number != 0) {
    errno = error_number;
    syslog(LOG_USER | LOG_DEBUG, "%s: %m", message);
  } else {
    syslog(LOG_USER | LOG_DEBUG, "%s", message);
  }
  std::abort();
}

timespec os_sleep_interval(uint32_t milliseconds) {
  timespec interval{};
  interval.tv_sec = milliseconds / 1000;
  interval.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  return interval;
}

void os_sleep_ms(uint32_t milliseconds) {
  timespec remaining = os_sleep_interval(milliseconds);
  // A signal cuts the sleep short; nanosleep leaves what is left in remaining.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}
