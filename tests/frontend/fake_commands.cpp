#include "tests/frontend/fake_commands.h"

#include "src/commands.h"

CommandLog& command_log() {
  static CommandLog log;
  return log;
}

void GetChanLock() {
  command_log().handlers.push_back("GetChanLock");
}
void PrintCellLocation() {
  command_log().handlers.push_back("PrintCellLocation");
}
void ScanOperators() {
  command_log().handlers.push_back("ScanOperators");
}
void ResetChanLock() {
  command_log().handlers.push_back("ResetChanLock");
}
void SetChanLock(char* text) {
  command_log().handlers.push_back("SetChanLock");
  command_log().set_chan_lock_text = text;
}
