// Starting and stopping the SDK daemon.
#include "sdk/core/daemon_control.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sdk/core/channels.h"
#include "sdk/core/notifications.h"
#include "sdk/core/os_services.h"
#include "sdk/core/request_engine.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

#ifndef VANT_DEFAULT_DAEMON_PATH
#define VANT_DEFAULT_DAEMON_PATH "/usr/sbin/vantsdk"
#endif

namespace {

const char* g_daemon_path = nullptr;
bool g_channels_claimed = false;
std::atomic<int32_t> g_daemon_pid{0};
// A user id, or kNoForeignUid. 32 bits wide: a 64-bit atomic is not lock-free
// on every target (32-bit MIPS) and would need libatomic there.
constexpr uint32_t kNoForeignUid = UINT32_MAX;
std::atomic<uint32_t> g_foreign_uid{kNoForeignUid};

constexpr uint32_t kTerminateTimeoutMs = 2000;

// A daemon that detached is not our child: waitpid cannot wait for it.
// We look until its process is gone, for a bounded time (it takes up to a
// second to release its client ids), so that a start right after this stop
// does not attach to a daemon that is about to end.
void wait_for_detached_end(pid_t pid) {
  constexpr uint32_t kLookMs = 20;
  constexpr uint32_t kLimitMs = 3000;
  for (uint32_t waited = 0; waited < kLimitMs; waited += kLookMs) {
    if (kill(pid, 0) != 0 && errno == ESRCH) return;
    // Its sockets close as it ends; an ended process nobody reaped yet still
    // answers kill.
    if (!os_sdk_present(ci_modem())) return;
    os_sleep_ms(kLookMs);
  }
}

// How the daemon ended, as one log line; nothing when it is not our child.
void log_daemon_end(pid_t pid) {
  int status = 0;
  const pid_t waited = waitpid(pid, &status, WUNTRACED | WCONTINUED);
  char line[100];
  if (waited < 0) {
    if (errno == ECHILD) return wait_for_detached_end(pid);
    const int error = errno;
    std::snprintf(line, sizeof line, "waitResp == -1, Errno:%d, %s\n", error, std::strerror(error));
  } else if (WIFEXITED(status)) {
    std::snprintf(line, sizeof line, "Exited, with status: %d\n", WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    std::snprintf(line, sizeof line, "Killed by signal %d\n", WTERMSIG(status));
  } else if (WIFSTOPPED(status)) {
    std::snprintf(line, sizeof line, "Stopped by signal %d\n", WSTOPSIG(status));
  } else {
    std::snprintf(line, sizeof line, "Continued\n");
  }
  os_log(line);
}

// The user holding one of the client-side names of our channels while it is
// neither root, nor us, nor the daemon's own user (none of whom the daemon
// refuses); -1 when there is none.
int64_t channel_squatter(uint8_t modem) {
  constexpr size_t kPairs = 3;
  sockaddr_un names[kPairs + 1];
  names[kPairs] = os_daemon_mutex_address(modem);
  for (uint32_t n = 0; n < kPairs; ++n) {
    const uint32_t number = ci_nth_of_kind(n, kKindRequestResponse);
    names[n] = os_channel_address(ChannelSide::kClient, modem, kChannelTable[number].name, number);
  }
  int64_t owners[kPairs + 1];
  if (!os_abstract_name_owners(names, kPairs + 1, owners)) return -1;
  const int64_t us = geteuid();
  for (size_t n = 0; n < kPairs; ++n)
    if (owners[n] > 0 && owners[n] != us && owners[n] != owners[kPairs]) return owners[n];
  return -1;
}

// The first user holding one of the daemon's names (its presence socket and
// its side of the three pairs) who is neither root nor us; -1 when there is
// none or the kernel cannot tell (no socket diagnostics, as under user-mode
// emulation). The credentials on the daemon's datagrams are checked as well.
int64_t foreign_holder(uint8_t modem) {
  constexpr size_t kPairs = 3;
  sockaddr_un names[1 + 2 * kPairs];
  size_t count = 0;
  names[count++] = os_daemon_mutex_address(modem);
  for (uint32_t n = 0; n < kPairs; ++n) {
    const uint32_t number = ci_nth_of_kind(n, kKindRequestResponse);
    const uint32_t peer = ci_peer_of(number);
    if (number >= kChannelCount || peer >= kChannelCount) continue;
    names[count++] =
        os_channel_address(ChannelSide::kDaemon, modem, kChannelTable[number].name, number);
    names[count++] =
        os_channel_address(ChannelSide::kDaemon, modem, kChannelTable[peer].name, peer);
  }
  int64_t owners[1 + 2 * kPairs];
  if (!os_abstract_name_owners(names, count, owners)) return -1;
  for (size_t i = 0; i < count; ++i)
    if (owners[i] >= 0 && !os_user_trusted(owners[i])) return owners[i];
  return -1;
}

// Notes the holder when another user holds the daemon's names.
bool held_by_foreign_user(uint8_t modem) {
  const int64_t holder = foreign_holder(modem);
  if (holder < 0) return false;
  note_foreign_daemon(holder);
  return true;
}

void report_channels_taken(uint8_t modem) {
  const int64_t squatter = channel_squatter(modem);
  if (squatter < 0) {
    std::fprintf(stderr, "Too many Application connected to SDK\n");
    return;
  }
  std::fprintf(stderr, "The SDK's client channels are held by another user (uid %lld)\n",
               static_cast<long long>(squatter));
}

}  // namespace

int32_t daemon_process_id() {
  return g_daemon_pid.load();
}
void set_daemon_process_id(int32_t id) {
  g_daemon_pid.store(id);
}

int64_t foreign_daemon_uid() {
  const uint32_t uid = g_foreign_uid.load();
  return uid == kNoForeignUid ? -1 : static_cast<int64_t>(uid);
}
void note_foreign_daemon(int64_t uid) {
  const bool valid = uid >= 0 && uid < static_cast<int64_t>(kNoForeignUid);
  g_foreign_uid.store(valid ? static_cast<uint32_t>(uid) : kNoForeignUid);
}

int64_t GetForeignDaemonUid() {
  return foreign_daemon_uid();
}

uint32_t SetDaemonPath(const char* path) {
  g_daemon_path = path != nullptr ? path : VANT_DEFAULT_DAEMON_PATH;
  return vant::kSuccess;
}

namespace {

using Launcher = int (*)(const char* path, uint32_t modem, const char* extra_argument);

uint32_t start_daemon(uint8_t modem, const char* extra_argument, Launcher launch) {
  if (modem >= kMaxModems) {
    std::fprintf(stderr, "Currently, the SDK only suppports up to %d modem", kMaxModems);
    return vant::kInternalError;
  }
  if (g_daemon_path == nullptr) SetDaemonPath(nullptr);
  // Another user's sockets on the daemon's names are no daemon of ours:
  // nothing is sent to them, and no daemon is started that could not bind.
  if (held_by_foreign_user(modem)) return vant::kSocketInUse;
  const bool running = launch(g_daemon_path, modem, extra_argument);
  // Looked at again: the names may have been taken meanwhile, which is also
  // why a daemon we started would have given up.
  if (held_by_foreign_user(modem)) return vant::kSocketInUse;
  if (!running) return vant::kInternalError;
  if (!g_channels_claimed) {
    if (!ci_open_client_channels(modem)) {
      report_channels_taken(modem);
      return vant::kSocketInUse;
    }
    g_channels_claimed = true;
  }
  start_notification_thread();
  return vant::kSuccess;
}

}  // namespace

uint32_t StartDaemon(uint8_t modem, const char* extra_argument) {
  return start_daemon(modem, extra_argument, &os_launch_sdk);
}

uint32_t AttachDaemon(uint8_t modem, const char* extra_argument) {
  return start_daemon(modem, extra_argument, &os_launch_sdk_unless_present);
}

uint32_t StartDaemonForModem(uint8_t modem) {
  return StartDaemon(modem, nullptr);
}

uint32_t StopDaemon() {
  uint8_t* buffer = nullptr;
  if (const uint32_t locked = api_lock_take(&buffer); locked != vant::kSuccess) return locked;
  const int32_t pid = daemon_process_id();
  if (pid == 0) {
    os_log("SDK pid is zero\n");
    api_lock_release();
    return vant::kGeneralError;
  }
  const uint8_t* response = nullptr;
  send_sdk_request(buffer, kSdkRequestTerminate, kSdkRequestSize, kTerminateTimeoutMs, &response);
  log_daemon_end(pid);
  // That daemon is gone: a later stop must not wait for its id again.
  set_daemon_process_id(0);
  api_lock_release();
  return vant::kSuccess;
}
