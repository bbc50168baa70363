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
  int32_t modem;
  char* setChanLock;  // the option's value buffer; empty when not given
  bool getChanLock;
  bool chanReset;
  bool scan;
  bool cops;
};

CommandOptions read_command_options();
