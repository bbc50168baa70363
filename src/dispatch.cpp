#include "src/dispatch.h"

#include "src/commands.h"

void dispatch_command(const CommandOptions& options) {
  if (options.getChanLock) {
    GetChanLock();
  } else if (options.scan) {
    PrintCellLocation();
  } else if (options.cops) {
    ScanOperators();
  } else if (options.chanReset) {
    ResetChanLock();
  } else {
    SetChanLock(options.setChanLock);
  }
}
