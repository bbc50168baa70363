// The command handlers of vantctl with their requests and output streams
// passed in, so that tests can drive each command and compare its exact
// output. The public handlers of src/commands.h call these with the library's
// request functions and the streams the commands write to.
#pragma once

#include <cstdint>
#include <cstdio>

#include "vantsdk/nas.h"

namespace vant {

using ChannelLockRequest = uint32_t (*)(ChannelLock* record);
using ScanRequest = uint32_t (*)(NetworkScanResult* result);
using CellLocationRequest = uint32_t (*)(CellLocationInfo* info);

// Channel-lock commands (written to out, standard error in the tool).
void get_chan_lock(FILE* out, ChannelLockRequest get);
void set_chan_lock(FILE* out, char* text, ChannelLockRequest set);
void reset_chan_lock(FILE* out, ChannelLockRequest set);
void print_chan_lock_usage(FILE* out);
// The "Parameter Set:" block of what a set request sends.
void print_chan_lock_parameters(FILE* out, const ChannelLock& lock);

// The operator list of the last scan that was listed.
inline constexpr int kMaxOperators = 16;

struct OperatorEntry {
  uint16_t mcc;
  uint16_t mnc;
  uint32_t serviceStatus;
  uint32_t roamingStatus;
  uint32_t status45;
  uint32_t status67;
  const char* description;  // points into the scan buffers, not a copy
  uint32_t rat;
  uint8_t flag;
};

struct OperatorTable {
  uint8_t count;
  OperatorEntry entries[kMaxOperators];
};

// The process-wide operator table.
OperatorTable& operator_table();

// The operator scan (written to out, standard output in the tool).
int32_t list_operators(FILE* out, ScanRequest scan);
void scan_operators(FILE* out, ScanRequest scan);
// The texts of the operator line for a status or RAT value.
const char* roaming_text(uint32_t roaming_status, char (&scratch)[32]);
const char* service_text(uint32_t service_status, char (&scratch)[32]);
const char* rat_text(uint32_t rat, char (&scratch)[32]);

// The cell location report (written to out, standard output in the tool).
// The report's records (about 1.8 MB) live in static storage of the module,
// so the report needs no large stack and allocates nothing.
void print_cell_location_report(FILE* out, CellLocationRequest get);
// The sections of the report for every non-null member of info.
void print_cell_location(FILE* out, const CellLocationInfo& info);

}  // namespace vant
