// The SDK daemon's run check and launch.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "sdk/core/os_services.h"

namespace {

constexpr uint32_t kProbeIntervalMs = 100;
constexpr uint32_t kSteadyBeforeLaunchMs = 500;
constexpr uint32_t kSteadyAfterLaunchMs = 1000;
constexpr uint32_t kStartupGraceMs = 1000;

// Connects and at once dissolves the association again.
bool probe(int socket, const sockaddr_un& address) {
  int connected;
  do {
    connected =
        connect(socket, reinterpret_cast<const sockaddr*>(&address), kAbstractAddressLength);
  } while (connected != 0 && errno == EINTR);
  if (connected != 0) return false;
  sockaddr unspecified{};
  unspecified.sa_family = AF_UNSPEC;
  connect(socket, &unspecified, sizeof unspecified);
  return true;
}

void close_retrying(int socket) {
  while (close(socket) != 0 && errno == EINTR) {
  }
}

[[noreturn]] void exec_daemon(const char* path, const char* modem_text, const char* extra) {
  char* const argv[] = {const_cast<char*>(path), const_cast<char*>(modem_text),
                        const_cast<char*>(extra), nullptr};
  char* const empty_environment[] = {nullptr};
  execve(path, argv, empty_environment);
  os_report("SDK launch failed", errno);
  _exit(1);
}

}  // namespace

int os_sdk_is_running(uint32_t stable_ms, uint32_t grace_ms, uint32_t modem) {
  const sockaddr_un address = os_daemon_mutex_address(modem);
  const int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) {
    os_report("SDK run check (s) failed", errno);
    return 0;
  }
  int running;
  for (uint32_t elapsed = 0;; elapsed += kProbeIntervalMs) {
    // A present daemon must stay present until the stable time has passed;
    // an absent one gets the grace time to appear.
    const bool present = probe(sock, address);
    if (elapsed >= (present ? stable_ms : grace_ms)) {
      running = present ? 1 : 0;
      break;
    }
    os_sleep_ms(kProbeIntervalMs);
  }
  close_retrying(sock);
  return running;
}

int os_sdk_present(uint32_t modem) {
  const int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  // Without a socket to look with, nothing is known: the daemon is assumed there.
  if (sock < 0) return 1;
  // Only a refusal says that no socket holds the name.
  const int present = probe(sock, os_daemon_mutex_address(modem)) || errno != ECONNREFUSED;
  close_retrying(sock);
  return present;
}

namespace {

int launch_unless_running(const char* path, uint32_t modem, const char* extra_argument,
                          uint32_t steady_before_ms) {
  char modem_text[256];
  std::snprintf(modem_text, sizeof modem_text, "%d", static_cast<int>(modem));
  if (os_sdk_is_running(steady_before_ms, 0, modem)) return 1;

  // The daemon outlives us; ignoring its termination lets the system reap it.
  signal(SIGCHLD, SIG_IGN);
  const pid_t child = fork();
  if (child < 0) {
    os_report("process creation failed", errno);
    return 0;
  }
  if (child == 0) exec_daemon(path, modem_text, extra_argument);
  if (os_sdk_is_running(kSteadyAfterLaunchMs, kStartupGraceMs, modem)) return 1;
  os_report("SDK process startup failed", 0);
  return 0;
}

}  // namespace

int os_launch_sdk(const char* path, uint32_t modem, const char* extra_argument) {
  return launch_unless_running(path, modem, extra_argument, kSteadyBeforeLaunchMs);
}

int os_launch_sdk_unless_present(const char* path, uint32_t modem, const char* extra_argument) {
  return launch_unless_running(path, modem, extra_argument, 0);
}
