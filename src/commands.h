// The command handlers of vantctl, one per command, and the printing routines
// they share.
#pragma once

#include <cstdint>
#include <cstdio>

void GetChanLock();
void SetChanLock(char* text);  // split in place
void ResetChanLock();
void PrintChanLockUsage();
void PrintReturnCode(FILE* stream, uint32_t code);
void ScanOperators();
int32_t ListOperators();
void PrintCellLocation();
