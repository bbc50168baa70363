// The only place where the client core touches the operating system: error
// reporting, logging, fatal stops, sleeps, the SDK daemon's run check and
// launch, the IPC sockets to the daemon, threads, mutexes, a process lookup,
// a file-existence test and directory iteration.
//
// Operations return 1 for success and 0 for failure unless stated otherwise.
#pragma once

#include <dirent.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

// ---- Reporting and logging ------------------------------------------------

// Receives every recoverable OS-level failure: a message and an error number
// (0 = none).
using ErrorHookRoutine = void (*)(const char* message, int error_number);
// The process-wide hook; starts out as os_report_error.
extern std::atomic<ErrorHookRoutine> ErrorHook;

// Prints "KEL API: <message>" on standard error, followed by the system's
// text for error_number the way perror does when it is not 0.
void os_report_error(const char* message, int error_number);
void os_set_error_hook(ErrorHookRoutine routine);
// Hands a failure to whatever routine the hook holds now.
void os_report(const char* message, int error_number);
// One line to syslog, facility user, level debug.
void os_log(const char* message);
// Logs the message (with the system's text for error_number when not 0) and
// aborts the process.
[[noreturn]] void os_fatal(const char* message, int error_number);

// Sleeps the whole time, resuming after interruptions.
void os_sleep_ms(uint32_t milliseconds);
// The split os_sleep_ms asks the system for: whole seconds and nanoseconds.
timespec os_sleep_interval(uint32_t milliseconds);

// ---- Socket names ----------------------------------------------------------

// Every socket of the client and the daemon uses an abstract address whose
// length is always the full address structure, zero padding included.
inline constexpr socklen_t kAbstractAddressLength = sizeof(sockaddr_un);
static_assert(kAbstractAddressLength == 110, "the peers rely on 110-byte addresses");
// Longest name that fits after the leading zero byte, its terminator included.
inline constexpr size_t kAbstractNameLimit = 107;

// Builds an abstract address: path byte 0 is 0, the name follows (cut to
// fit), the rest of the path field is zero.
sockaddr_un os_abstract_address(const char* name);

// Which side of a channel a name belongs to.
enum class ChannelSide { kClient, kDaemon };
// "KEL<modem>_SDK_SOCKET_MUTEX": the daemon's presence socket.
sockaddr_un os_daemon_mutex_address(uint32_t modem);
// "KEL<modem>_API_<name>_SOCKET_<number>" or "KEL<modem>_SDK_<name>_SOCKET_<number>".
sockaddr_un os_channel_address(ChannelSide side, uint32_t modem, const char* name, uint32_t number);

// ---- SDK daemon presence and launch ---------------------------------------

// 1 when the daemon of that modem answers on its presence socket at every
// probe for stable_ms (waiting up to grace_ms for it to appear), else 0.
int os_sdk_is_running(uint32_t stable_ms, uint32_t grace_ms, uint32_t modem);
// One look, without waiting: 1 while the daemon of that modem holds its
// presence socket, 0 when nothing does (it ended or was killed).
int os_sdk_present(uint32_t modem);
// Makes sure the daemon runs, launching path with the modem index (and the
// extra argument when not null) in an empty environment. 1 if it runs.
int os_launch_sdk(const char* path, uint32_t modem, const char* extra_argument);
// The same, taking a daemon that is there at the first look as running: for a
// client that attaches to a supervised daemon and can retry, not wait.
int os_launch_sdk_unless_present(const char* path, uint32_t modem, const char* extra_argument);

// ---- IPC ---------------------------------------------------------------------

// One endpoint of a channel to the daemon.
struct IpcChannel {
  int32_t socket = -1;
  sockaddr_un peer{};  // the daemon's side of the channel
  uint32_t number = 0;
  // The user of the last datagram from the peer's name that was refused for
  // its sender's user (neither root nor ours); -1 while there was none.
  int64_t refusedSender = -1;
};

// Binds the client side of the channel (retrying for about 500 ms while the
// name is taken), records the daemon's side as the peer and connects to it
// when a socket holds it. Every datagram received carries its sender's
// credentials. 0 when the name stays taken (silently) or on any other
// failure (reported).
int os_ipc_open(IpcChannel* channel, uint32_t number, const char* name, uint32_t modem);
int os_ipc_close(IpcChannel* channel);
// Connects the channel to the socket that holds the peer's name now, so that
// the kernel refuses datagrams of every other sender (a flood cannot fill
// our queue) and a daemon started anew can reach us. 0, silently, when no
// socket holds the name (the earlier connection, if any, stays).
int os_ipc_connect(IpcChannel* channel);
// Connects to the peer and sends one datagram to it. A peer that is missing
// twice, 100 ms apart, gives 0 silently.
int os_ipc_send(IpcChannel* channel, const uint8_t* data, size_t length);
// Waits up to timeout_ms (0 = without limit) for one datagram from the
// channel's peer; datagrams from any other sender are dropped. On entry
// *length is the capacity; on return the datagram's size, or 0 after a
// time-out. 1 for a datagram or a time-out, 0 for a failure (reported) and
// for a datagram from the peer's name whose sender is a user we do not trust
// (not reported: refusedSender says who it was).
int os_ipc_receive(IpcChannel* channel, uint8_t* buffer, size_t* length, uint32_t timeout_ms);

// Whether a socket of this user may stand for the daemon: root, or our own
// (real or effective) user.
bool os_user_trusted(int64_t uid);

// The user whose socket holds each of the abstract names (owners[i] for
// names[i]; -1 when no socket holds it). 0 when the kernel could not tell.
// Without the kernel's socket diagnostics it looks through /proc, which shows
// the owner of another user's socket only to root.
int os_abstract_name_owners(const sockaddr_un* names, size_t count, int64_t* owners);
// That look through /proc alone (at most 16 names).
int os_abstract_name_owners_from_proc(const sockaddr_un* names, size_t count, int64_t* owners);

// ---- Threads and mutexes -----------------------------------------------------

inline constexpr size_t kThreadStackSize = 1024 * 1024;
using OsThreadEntry = void* (*)(void*);
// Starts a detached thread with a 1 MiB stack; any failure is fatal.
void os_thread_create(OsThreadEntry entry);

// An error-checking mutex and its attribute, kept together so that the
// attribute outlives initialisation. Every failure is fatal.
struct OsMutex {
  pthread_mutex_t mutex;
  pthread_mutexattr_t attribute;
};
void os_mutex_init(OsMutex* m);
void os_mutex_lock(OsMutex* m);
void os_mutex_unlock(OsMutex* m);
void os_mutex_destroy(OsMutex* m);

// ---- Processes and files -----------------------------------------------------

// The id of a running process whose line in the process list contains name,
// never the caller's own; -1 if there is none.
int32_t kel_ospidof(const char* name);
// 0 if the path exists, else -1 (after printing the reason on standard error).
int kel_osapi_stat(const char* path);

struct OsDirHandle {
  DIR* dir = nullptr;
  dirent* entry = nullptr;  // the entry os_dir_read read last
};
int os_dir_open(const char* path, OsDirHandle* handle);
int os_dir_read(OsDirHandle* handle);
int os_dir_close(OsDirHandle* handle);
