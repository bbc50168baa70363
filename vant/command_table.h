// vant's subcommands and options as its command line reads them
// (command_line.h), and where each value goes.
#pragma once

#include "vant/command_line.h"

namespace vant::cli {

enum Slot : int {
  kSlotHelp = 0,
  kSlotModem,
  kSlotSdkPath,
  kSlotJson,
  kSlotFirstNumber,  // the positionals: UARFCN, EARFCN0 or EARFCN, then EARFCN1 or PCI
  kSlotSecondNumber,
  kSlotRevertAfter,
  kSlotCheck,
  kSlotSettle,
  kSlotInterval,
  kSlotCount,
  kSlotJsonLines,
  kSlotPrometheus,
  kSlotDryRun,
  kSlotMinRsrp,
  kSlotLte,
  kSlotNr,
  kSlotNrSa,
  kSlotNrNsa,
  kSlots
};

extern const CommandRow kVantCommand;

}  // namespace vant::cli
