// What the fault tests share: the daemon of modem 0 with its emulator in the
// foreground, vantctl run by root or by an unprivileged user, processes that
// act as a hostile neighbour, and the footprint of a process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/daemon_process.h"
#include "tests/support/process_runner.h"

namespace vant::faults {

using test::ProcessResult;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline constexpr uid_t kNobody = 65534;

// Where the executables under test are: the build's own, or the folder that
// VANT_FAULTS_BIN_DIR names (to show a fault on another build).
std::string bin_dir();
// The vantctl command line for modem 0, without running it.
std::vector<std::string> vantctl_argv(const std::vector<std::string>& arguments);

// A scenario of tests/faults/scenarios by name, or a bundled one as it is.
std::string scenario_argument(const std::string& name);

// The daemon of modem 0 simulating a modem that plays a scenario.
class SimDaemon {
 public:
  explicit SimDaemon(const std::string& scenario);
  bool ready() const { return ready_; }
  pid_t pid() const { return daemon_.pid(); }
  bool running() { return daemon_.running(); }
  void kill_hard();
  std::string log() const { return daemon_.output(); }

 private:
  test::DaemonProcess daemon_;
  bool ready_ = false;
};

// vantctl for modem 0; it launches the default simulating daemon when none runs.
ProcessResult vantctl(const std::vector<std::string>& arguments, milliseconds timeout);
// The same run by the unprivileged user.
ProcessResult vantctl_as_nobody(const std::vector<std::string>& arguments, milliseconds timeout);
// vant for modem 0, launching the same daemon as vantctl when none runs.
ProcessResult vant(const std::vector<std::string>& arguments, milliseconds timeout);

// Whether this process may start children as another user (not under a
// namespace that maps root alone).
bool can_become_nobody();
// Whether the kernel names the owners of sockets here (sock_diag netlink;
// qemu's user-mode emulation offers none).
bool socket_owners_visible();
// Runs body in a child process; as_nobody drops to uid and gid 65534 first.
// The child ends when body returns.
pid_t spawn_body(bool as_nobody, const std::function<void()>& body);
// Ends a child started by spawn_body (SIGKILL) and reaps it.
void end_child(pid_t pid);

// Sends one datagram from an unbound socket to an abstract name.
void send_to_name(const std::string& name, const std::vector<uint8_t>& bytes);
// Every name the daemon of modem 0 or its clients bind.
std::vector<std::string> daemon_and_client_names();

struct Footprint {
  long rss_kb = -1;
  int fds = -1;
  std::map<int, std::string> descriptors;  // number -> what /proc says it is
};
Footprint footprint(pid_t pid);
// The descriptors one footprint has and the other lacks, one a line, for a
// failure message.
std::string descriptors_changed(const Footprint& before, const Footprint& after);

// One measured figure, printed where ctest's output keeps it.
void report_figure(const std::string& what, double value, const char* unit);
// The daemon's resident memory and descriptors before and after a case.
void report_footprints(const std::string& what, const Footprint& before, const Footprint& after);
double seconds_since(Clock::time_point start);

}  // namespace vant::faults
