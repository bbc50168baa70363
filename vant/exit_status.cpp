#include "vant/exit_status.h"

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

void check_result(uint32_t result, const std::string& what) {
  if (result == kSuccess) return;
  const char* text = result_code_text(result);
  std::string message = what + " failed: ";
  message += text != nullptr ? text : "unknown result";
  message += " (code " + std::to_string(result) + ")";
  throw CommandFailure(exit_status_for_result(result), message);
}

}  // namespace vant::cli
