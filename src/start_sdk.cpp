#include "src/start_sdk.h"

#include <unistd.h>

#include <cstdio>

#include "src/daemon_path.h"
#include "vantsdk/device.h"

namespace {

// The modem that the search found; zero-filled so that the node text is
// always terminated.
DeviceInfo device_info{};

// The reason of the last start-up failure, in words.
char failure_reason[96] = "";

constexpr uint32_t kStartFailed = 2;
constexpr uint32_t kNoModem = 6;
constexpr uint32_t kUserNotServed = 0xE003;
constexpr uint32_t kDaemonSilent = 0xE004;
constexpr uint32_t kChannelsTaken = 0xE005;

uint32_t failed(uint32_t returned, uint32_t cause) {
  const char* text = nullptr;
  switch (cause) {
    case kStartFailed:
      text = "the SDK daemon could not be started";
      break;
    case kNoModem:
      text = "the SDK daemon sees no modem";
      break;
    case kUserNotServed:
      text = "the SDK daemon does not serve this user";
      break;
    case kDaemonSilent:
      text = "the SDK daemon did not answer";
      break;
    case kChannelsTaken:
      text = "every client channel of the SDK daemon is taken";
      break;
    default:
      break;
  }
  if (cause == kChannelsTaken && GetForeignDaemonUid() >= 0) {
    std::snprintf(failure_reason, sizeof failure_reason,
                  "the SDK daemon's sockets are held by another user (uid %lld)",
                  static_cast<long long>(GetForeignDaemonUid()));
  } else if (text != nullptr) {
    std::snprintf(failure_reason, sizeof failure_reason, "%s", text);
  } else {
    std::snprintf(failure_reason, sizeof failure_reason, "the failed step returned %u",
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
      return connected == 0 ? 0 : failed(connected, connected);
    }
    // Sockets of another user answered: searching again cannot help.
    if (searched == kChannelsTaken) return failed(searched, searched);
    std::fputs("\nUnable to find device..\n", stdout);
    // Show each failed search as it happens, also when stdout is a pipe.
    std::fflush(stdout);
    if (attempt == kDeviceSearchAttempts) return failed(kNoDeviceFound, searched);
    sleep(1);
  }
}

}  // namespace

uint32_t StartSDK(uint8_t modem) {
  const uint32_t path_result = SetDaemonPath(daemon_path());
  if (path_result != 0) {
    std::fprintf(stderr, "%s failed with resultCode %d\n", "StartSDK",
                 static_cast<int>(path_result));
    return failed(path_result, path_result);
  }
  failure_reason[0] = '\0';
  const uint32_t start_result = start_daemon_with_retry(modem);
  if (start_result != 0) return failed(start_result, start_result);
  return find_and_connect_device();
}

const char* start_failure_reason() {
  return failure_reason;
}
