// A program of another project that links the installed client library: it
// starts or attaches to the SDK daemon of a modem index, connects to the modem
// and prints its LTE cell lock.
//   consumer DAEMON-PATH MODEM-INDEX
#include <vantsdk/device.h>
#include <vantsdk/nas.h>
#include <vantsdk/result_codes.h>

#include <cstdio>
#include <cstdlib>

namespace {

int fail(const char* step, uint32_t code) {
  const char* text = result_code_text(code);
  std::fprintf(stderr, "%s: %u (%s)\n", step, static_cast<unsigned>(code), text ? text : "?");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: consumer DAEMON-PATH MODEM-INDEX\n");
    return 2;
  }
  SetDaemonPath(argv[1]);
  const auto modem = static_cast<uint8_t>(std::atoi(argv[2]));
  if (const uint32_t code = StartDaemon(modem, nullptr); code != vant::kSuccess)
    return fail("StartDaemon", code);
  DeviceInfo device{};
  uint8_t count = 1;
  if (const uint32_t code = EnumerateDevices(&count, &device); code != vant::kSuccess)
    return fail("EnumerateDevices", code);
  if (const uint32_t code = ConnectDevice(device.deviceNode, device.deviceKey);
      code != vant::kSuccess)
    return fail("ConnectDevice", code);
  LtePciLock pci{};
  ChannelLock lock{nullptr, nullptr, &pci};
  if (const uint32_t code = VANTNASKelGetChannelLock(&lock); code != vant::kSuccess)
    return fail("VANTNASKelGetChannelLock", code);
  std::printf("LTE PCI lock: status %u, EARFCN %u, PCI %u\n", static_cast<unsigned>(pci.status),
              static_cast<unsigned>(pci.earfcn), static_cast<unsigned>(pci.pci));
  return 0;
}
