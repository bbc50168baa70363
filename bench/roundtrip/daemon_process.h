// The SDK daemon in simulation mode as a child of the benchmark. It runs in
// the foreground, so its process id is ours to know and it can be ended
// whatever happens to the run: nothing is left behind.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace vant::bench {

struct DaemonConfig {
  std::string program;   // the vantsdk executable
  unsigned modem = 0;    // modem index, 0..11
  std::string scenario;  // the emulator's scenario; empty for its default
  std::string log_path;  // where its standard error goes
};

class SimulatedDaemon {
 public:
  // Starts the daemon and waits for its presence socket. Fails when a daemon
  // already answers for the modem index (the benchmark is not in a network
  // namespace of its own) or when the new one ends or stays silent.
  static std::optional<SimulatedDaemon> start(const DaemonConfig& config, std::string& error);

  SimulatedDaemon(SimulatedDaemon&& other) noexcept;
  SimulatedDaemon& operator=(SimulatedDaemon&&) = delete;
  SimulatedDaemon(const SimulatedDaemon&) = delete;
  // Ends the daemon at once (SIGTERM, then SIGKILL) if it still runs.
  ~SimulatedDaemon();

  pid_t pid() const { return pid_; }
  // Waits for the daemon to end (after StopDaemon asked it to), ending it
  // with SIGTERM and then SIGKILL if it does not; says how it ended.
  std::string finish();

 private:
  explicit SimulatedDaemon(pid_t pid) : pid_(pid) {}
  // Waits for the end first when asked to, else signals at once.
  std::string end(bool wait_first);
  pid_t pid_ = -1;
};

// True when a daemon answers on the presence socket of the modem index.
bool daemon_present(unsigned modem);

}  // namespace vant::bench
