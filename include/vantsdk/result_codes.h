// Result codes of the client library: one unsigned 32-bit numbering space for
// every result an API function returns, and the message text of each code.
#pragma once

#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

namespace vant {

// The codes the library itself produces most often. Every other code has its
// number in the message tables (result_codes.cpp).
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kGeneralError = 1;
inline constexpr uint32_t kInternalError = 2;
inline constexpr uint32_t kMemoryError = 3;          // a read or write would pass a buffer's end
inline constexpr uint32_t kInvalidArgument = 4;      // a required pointer is null
inline constexpr uint32_t kBufferTooSmall = 5;       // a caller's array is smaller than the count
inline constexpr uint32_t kNoDevice = 6;             // "Unable to detect WWAN device"
inline constexpr uint32_t kNoQmiInterface = 9;       // client instance out of range
inline constexpr uint32_t kInvalidQmiResponse = 17;  // result TLV missing or malformed
inline constexpr uint32_t kApiLockTimeout = 34;
inline constexpr uint32_t kQmiErrorBase = 1000;  // 1000 + QMI error word of a failed result
inline constexpr uint32_t kNotSupported = 1094;  // 1000 + QMI error 0x5E
inline constexpr uint32_t kSdkTimedOut = 0xE004;
inline constexpr uint32_t kSocketInUse = 0xE005;
// The daemon's confirmed changes (vantsdk/change.h).
inline constexpr uint32_t kChangeAlreadyPending = 0xE201;
inline constexpr uint32_t kNoChangePending = 0xE202;
inline constexpr uint32_t kChangeBeingReverted = 0xE203;
inline constexpr uint32_t kChangeNotDurable = 0xE204;
inline constexpr uint32_t kChangeNotRestored = 0xE205;
inline constexpr uint32_t kNotThePendingChange = 0xE206;
inline constexpr uint32_t kChangeBeingApplied = 0xE207;
inline constexpr uint32_t kSmsMessageTooLong = 0xE101;
inline constexpr uint32_t kSmsCorruptLength = 0xE102;
inline constexpr uint32_t kNoFirmwareImage = 0xE803;
inline constexpr uint32_t kTooManyFirmwareFiles = 0xE812;

}  // namespace vant

// The message text of a result code, or nullptr when the code has none.
// Pure and thread-safe; the texts live as long as the program.
const char* result_code_text(uint32_t code);

#pragma GCC visibility pop
