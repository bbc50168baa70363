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

// Why the last StartSDK failed, in words, from the code of the step beneath
// the one it returns (the device search's own code behind -1, for one).
// Empty when it did not fail.
const char* start_failure_reason();
