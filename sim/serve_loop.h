// Serving one QMUX byte stream for a ModemCore.
#pragma once

#include "sim/emulator.h"
#include "sim/modem_core.h"

namespace vant::sim {

struct ServeOptions {
  // A pseudo-terminal reports a hang-up whenever no host has its other side
  // open; with this set the loop waits for the next host instead of ending.
  bool wait_for_next_host = false;
  // MBIM rather than QMUX on the stream.
  std::optional<MbimSettings> mbim;
};

ServeEnd serve_stream(ModemCore& core, int fd, const ServeOptions& options);

}  // namespace vant::sim
