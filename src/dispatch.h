// Runs the one command that a vantctl run performs.
#pragma once

#include "src/option_table.h"

// Precedence: getchanlock, scan, cops, chanreset; otherwise setchanlock, whose
// handler prints its usage text when no value was given.
void dispatch_command(const CommandOptions& options);
