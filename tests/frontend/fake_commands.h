// Command handlers that only record that they ran.
#pragma once

#include <string>
#include <vector>

struct CommandLog {
  std::vector<std::string> handlers;
  const char* set_chan_lock_text = nullptr;
};

CommandLog& command_log();
