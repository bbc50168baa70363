#include "src/start_sdk.h"

#include <unistd.h>

#include <cstdio>

#include "src/daemon_path.h"
#include "vantsdk/device.h"

namespace {

// The modem that the search found; zero-filled so that the node text is
// always terminated.
DeviceInfo device_info{};

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
    if (EnumerateDevices(&count, &device_info) == 0) {
      return ConnectDevice(device_info.deviceNode, device_info.deviceKey);
    }
    std::fputs("\nUnable to find device..\n", stdout);
    // Show each failed search as it happens, also when stdout is a pipe.
    std::fflush(stdout);
    if (attempt == kDeviceSearchAttempts) return kNoDeviceFound;
    sleep(1);
  }
}

}  // namespace

uint32_t StartSDK(uint8_t modem) {
  const uint32_t path_result = SetDaemonPath(daemon_path());
  if (path_result != 0) {
    std::fprintf(stderr, "%s failed with resultCode %d\n", "StartSDK",
                 static_cast<int>(path_result));
    return path_result;
  }
  const uint32_t start_result = start_daemon_with_retry(modem);
  if (start_result != 0) return start_result;
  return find_and_connect_device();
}
