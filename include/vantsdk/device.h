// Starting and attaching to the SDK daemon, and finding and connecting to the
// modem through it.
#pragma once

#include <cstdint>

inline constexpr uint8_t kMaxModems = 12;

// The modem that EnumerateDevices found.
struct DeviceInfo {
  char deviceNode[256];  // zero-terminated text
  uint8_t deviceKey[16];
};

// Records the daemon executable's path; nullptr selects the compiled-in default.
uint32_t SetDaemonPath(const char* path);
// Makes the daemon for modem index 0..11 run and claims this process's channels.
uint32_t StartDaemon(uint8_t modem, const char* extra_argument);
uint32_t StartDaemonForModem(uint8_t modem);
uint32_t StopDaemon();
uint32_t EnumerateDevices(uint8_t* count, DeviceInfo* devices);
uint32_t ConnectDevice(const char* device_node, const uint8_t* device_key);
uint32_t DisconnectDevice();
