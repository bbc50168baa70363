// Starting or attaching to the SDK daemon of one modem and connecting to the
// modem through it, with the client library's own calls.
#pragma once

#include <string>

namespace vant::cli {

struct GlobalOptions {
  unsigned modem = 0;
  std::string sdk_path = "/usr/sbin/vantsdk";
};

// Returns the device node of the connected modem; a failure ends the command
// with the "unreachable" status.
std::string attach(const GlobalOptions& options);

}  // namespace vant::cli
