// Start-up of a vantctl run: daemon, modem search and connection.
#pragma once

#include <cstdint>

// Result of StartSDK when no modem was found: -1 as an unsigned code.
inline constexpr uint32_t kNoDeviceFound = 0xFFFFFFFFu;
inline constexpr int kDeviceSearchAttempts = 3;

// Hands the daemon path copy to the library, starts or attaches to the daemon
// of `modem`, finds the modem and connects to it. 0 when connected, otherwise
// the code of the step that failed.
uint32_t StartSDK(uint8_t modem);
