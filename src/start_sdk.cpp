#include "src/start_sdk.h"

#include <unistd.h>

#include <cstdio>

#include "src/daemon_path.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace {

// The modem that the search found; zero-filled so that the node text is
// always terminated.
DeviceInfo device_info{};

// The reason of the last start-up failure, in words.
char failure_reason[160] = "";

constexpr uint32_t kStartFailed = 2;
constexpr uint32_t kNoModem = 6;
constexpr uint32_t kUserNotServed = 0xE003;
constexpr uint32_t kDaemonSilent = 0xE004;
constexpr uint32_t kChannelsTaken = 0xE005;

// The steps of a start-up, each named in the reason of a code that has no
// sentence of its own.
enum class Step { path, daemon, search, connect };

const char* step_text(Step step) {
  switch (step) {
    case Step::path:
      return "the SDK daemon path was not taken";
    case Step::daemon:
      return "the SDK daemon could not be started";
    case Step::search:
      return "the modem search failed";
    case Step::connect:
      return "the connection to the modem failed";
  }
  return "the start-up failed";
}

// Codes that tell the whole story whichever step returned them.
const char* own_sentence(Step step, uint32_t cause) {
  switch (cause) {
    case kStartFailed:
      return step == Step::daemon ? step_text(step) : nullptr;
    case kNoModem:
      return "the SDK daemon sees no modem";
    case kUserNotServed:
      return "the SDK daemon does not serve this user";
    case kDaemonSilent:
      return "the SDK daemon did not answer";
    case kChannelsTaken:
      return "every client channel of the SDK daemon is taken";
    default:
      return nullptr;
  }
}

uint32_t failed(uint32_t returned, Step step, uint32_t cause) {
  if (cause == kChannelsTaken && GetForeignDaemonUid() >= 0) {
    std::snprintf(failure_reason, sizeof failure_reason,
                  "the SDK daemon's sockets are held by another user (uid %lld)",
                  static_cast<long long>(GetForeignDaemonUid()));
  } else if (const char* sentence = own_sentence(step, cause); sentence != nullptr) {
    std::snprintf(failure_reason, sizeof failure_reason, "%s", sentence);
  } else if (const char* text = result_code_text(cause); text != nullptr) {
    std::snprintf(failure_reason, sizeof failure_reason, "%s: %s", step_text(step), text);
  } else {
    std::snprintf(failure_reason, sizeof failure_reason, "%s: unknown result %u", step_text(step),
                  static_cast<unsigned>(cause));
  }
  return returned;
}

// A failed first start is retried once, but only when the library could stop
// a daemon it knows; before a connection it knows none and the first code
// stands.
uint32_t start_daemon_with_retry(uint8_t modem) {
  const uint32_t result = StartDaemon(modem, nullptr);
  if (result == 0) return 0;
  if (StopDaemon() != 0) return result;
  return StartDaemon(modem, nullptr);
}

// The daemon may need a moment to see the modem, so the search is tried
// three times one second apart.
uint32_t find_and_connect_device() {
  uint8_t count = 1;
  for (int attempt = 1;; ++attempt) {
    const uint32_t searched = EnumerateDevices(&count, &device_info);
    if (searched == 0) {
      const uint32_t connected = ConnectDevice(device_info.deviceNode, device_info.deviceKey);
      return connected == 0 ? 0 : failed(connected, Step::connect, connected);
    }
    // Sockets of another user answered: searching again cannot help.
    if (searched == kChannelsTaken) return failed(searched, Step::search, searched);
    std::fputs("\nUnable to find device..\n", stdout);
    // Show each failed search as it happens, also when stdout is a pipe.
    std::fflush(stdout);
    if (attempt == kDeviceSearchAttempts) return failed(kNoDeviceFound, Step::search, searched);
    sleep(1);
  }
}

}  // namespace

uint32_t StartSDK(uint8_t modem) {
  const uint32_t path_result = SetDaemonPath(daemon_path());
  if (path_result != 0) {
    std::fprintf(stderr, "%s failed with resultCode %d\n", "StartSDK",
                 static_cast<int>(path_result));
    return failed(path_result, Step::path, path_result);
  }
  failure_reason[0] = '\0';
  const uint32_t start_result = start_daemon_with_retry(modem);
  if (start_result != 0) return failed(start_result, Step::daemon, start_result);
  return find_and_connect_device();
}

const char* start_failure_reason() {
  return failure_reason;
}
