// Debug log of the firmware image code: one line per call to syslog (user,
// debug) through the OS services layer. Tests divert the lines to a sink of their own to check
// them.
#pragma once

namespace vant {

using FirmwareLogSink = void (*)(const char* line);

// printf-style; the formatted line is cut at 1023 bytes.
void firmware_log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Internal: sends every later line to sink instead of syslog (nullptr restores
// syslog). Returns the previous sink.
FirmwareLogSink set_firmware_log_sink(FirmwareLogSink sink);

}  // namespace vant
