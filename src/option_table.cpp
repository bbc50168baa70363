#include "src/option_table.h"

#include <cstdlib>

#include "vantsdk/device.h"

OptionEntry OptionTable[kOptionTableSize] = {
    {kOptionString,
     {kSdkPathOption, required_argument, nullptr, 's'},
     "/usr/sbin/vantsdk",
     opts_validate_nonempty,
     nullptr,
     nullptr},
    {kOptionNumeric,
     {kModemOption, required_argument, nullptr, 'd'},
     "0",
     opts_validate_integer,
     nullptr,
     nullptr},
    {kOptionNumeric,
     {kSetChanLockOption, required_argument, nullptr, 'j'},
     "",
     opts_validate_any,
     nullptr,
     nullptr},
    {kOptionNumeric,
     {kGetChanLockOption, no_argument, nullptr, 'k'},
     "",
     nullptr,
     nullptr,
     nullptr},
    {kOptionNumeric, {kChanResetOption, no_argument, nullptr, 'r'}, "", nullptr, nullptr, nullptr},
    {kOptionNumeric, {kScanOption, no_argument, nullptr, 'x'}, "", nullptr, nullptr, nullptr},
    {kOptionNumeric, {kCopsOption, no_argument, nullptr, 'c'}, "", nullptr, nullptr, nullptr},
};

CommandOptions read_command_options() {
  CommandOptions options{};
  // Decimal like opts_get_number, but 64 bits wide so that 4294967296 does
  // not wrap to 0; a value past that range saturates and is refused as well.
  options.modem = std::strtoll(opts_get_string(kModemOption), nullptr, 10);
  options.setChanLock = opts_get_string(kSetChanLockOption);
  options.getChanLock = opts_get_number(kGetChanLockOption) != 0;
  options.chanReset = opts_get_number(kChanResetOption) != 0;
  options.scan = opts_get_number(kScanOption) != 0;
  options.cops = opts_get_number(kCopsOption) != 0;
  return options;
}

uint8_t modem_index(int64_t modem) {
  return modem >= 0 && modem < kMaxModems ? static_cast<uint8_t>(modem) : kMaxModems;
}
