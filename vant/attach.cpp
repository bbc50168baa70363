#include "vant/attach.h"

#include <unistd.h>

#include "vant/exit_status.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace vant::cli {
namespace {

// The daemon may need a moment to see its modem after it started.
constexpr int kDeviceSearchAttempts = 3;

// SetDaemonPath keeps the pointer, so the text lives as long as the process.
std::string daemon_path;

void fail(const std::string& what, uint32_t result) {
  throw CommandFailure(kExitUnreachable, what + ": " + describe_result(result));
}

}  // namespace

std::string attach(const GlobalOptions& options) {
  daemon_path = options.sdk_path;
  SetDaemonPath(daemon_path.c_str());
  const std::string modem = "modem " + std::to_string(options.modem);
  // vant starts no data sessions and attaches often: the quick path.
  const uint32_t started = AttachDaemon(static_cast<uint8_t>(options.modem), nullptr);
  if (started != kSuccess)
    fail("cannot reach the SDK daemon of " + modem + " (" + daemon_path + ")", started);

  DeviceInfo device{};
  uint32_t found = kSuccess;
  for (int attempt = 1; attempt <= kDeviceSearchAttempts; ++attempt) {
    uint8_t count = 1;
    found = EnumerateDevices(&count, &device);
    // Sockets of another user answered: searching again cannot help.
    if (found == kSuccess || found == kSocketInUse) break;
    if (attempt < kDeviceSearchAttempts) sleep(1);
  }
  if (found != kSuccess) fail("the daemon finds no " + modem, found);
  const uint32_t connected = ConnectDeviceOnly(device.deviceNode, device.deviceKey);
  if (connected != kSuccess) fail("cannot connect to " + modem, connected);
  return device.deviceNode;
}

}  // namespace vant::cli
