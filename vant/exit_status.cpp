#include "vant/exit_status.h"

#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace vant::cli {
namespace {

// Codes that say the request never reached the modem or no answer came back.
constexpr uint32_t kUnreachableCodes[] = {
    kNoDevice, 7, 8, kNoQmiInterface, 10, 12, 14, 15, kApiLockTimeout, kSdkTimedOut, kSocketInUse,
};

}  // namespace

int exit_status_for_result(uint32_t result) {
  if (result == kSuccess) return kExitOk;
  for (const uint32_t code : kUnreachableCodes) {
    if (result == code) return kExitUnreachable;
  }
  return kExitModemError;
}

std::string describe_result(uint32_t result) {
  const int64_t holder = GetForeignDaemonUid();
  if (result == kSocketInUse && holder >= 0)
    return "the daemon's sockets are held by another user (uid " + std::to_string(holder) +
           ", code " + std::to_string(result) + ")";
  const char* text = result_code_text(result);
  return std::string(text != nullptr ? text : "unknown result") + " (code " +
         std::to_string(result) + ")";
}

void check_result(uint32_t result, const std::string& what) {
  if (result == kSuccess) return;
  throw CommandFailure(exit_status_for_result(result),
                       what + " failed: " + describe_result(result));
}

}  // namespace vant::cli
