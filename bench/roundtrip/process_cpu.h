// The CPU time another process has spent, read from /proc in nanoseconds:
// its main thread apart from its other threads. For the daemon the main
// thread is its event loop and the other thread is the emulator playing the
// modem; for the floor's relay, the relay and the thread playing the modem.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace vant::bench {

struct ProcessCpu {
  int64_t main_ns = 0;
  int64_t others_ns = 0;
};

// nullopt when the process or its scheduler statistics cannot be read.
std::optional<ProcessCpu> process_cpu(pid_t pid);

}  // namespace vant::bench
