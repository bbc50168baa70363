// The options of vantctl and what a run reads from them.
#pragma once

#include <cstdint>

#include "src/opts/opts.h"

inline constexpr int32_t kOptionTableSize = 7;

inline constexpr const char* kSdkPathOption = "sdk_path";
inline constexpr const char* kModemOption = "modem";
inline constexpr const char* kSetChanLockOption = "setchanlock";
inline constexpr const char* kGetChanLockOption = "getchanlock";
inline constexpr const char* kChanResetOption = "chanreset";
inline constexpr const char* kScanOption = "scan";
inline constexpr const char* kCopsOption = "cops";

// The table handed to the option module; parsing fills in the values.
extern OptionEntry OptionTable[kOptionTableSize];

// The command options of one run, read after the table was parsed.
struct CommandOptions {
  int64_t modem;      // the whole decimal value, not cut to 32 bits
  char* setChanLock;  // the option's value buffer; empty when not given
  bool getChanLock;
  bool chanReset;
  bool scan;
  bool cops;
};

CommandOptions read_command_options();

// The index handed to the library: the value itself when it names a modem
// (0 to 11), otherwise 12, which the library refuses with its own message.
// Cutting the value to 8 bits instead would make 256 act on modem 0.
uint8_t modem_index(int64_t modem);
