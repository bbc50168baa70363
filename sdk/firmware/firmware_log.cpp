#include "sdk/firmware/firmware_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "sdk/core/os_services.h"

namespace vant {
namespace {

std::atomic<FirmwareLogSink> g_sink{nullptr};

}  // namespace

void firmware_log(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (const FirmwareLogSink sink = g_sink.load()) {
    sink(line);
    return;
  }
  os_log(line);
}

FirmwareLogSink set_firmware_log_sink(FirmwareLogSink sink) {
  return g_sink.exchange(sink);
}

}  // namespace vant
