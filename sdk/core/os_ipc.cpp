// Abstract Unix datagram sockets between the client and the SDK daemon.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sdk/core/os_services.h"

namespace {

constexpr int kBindAttempts = 6;
constexpr uint32_t kBindRetryMs = 100;
constexpr uint32_t kPeerMissingRetryMs = 100;
constexpr int kSendBufferSize = 5000;

int bind_retrying_while_taken(int socket, const sockaddr_un& address) {
  for (int attempt = 1;; ++attempt) {
    if (bind(socket, reinterpret_cast<const sockaddr*>(&address), kAbstractAddressLength) == 0)
      return 1;
    if (errno != EADDRINUSE) {
      os_report("IPC open (b) failed", errno);
      return 0;
    }
    // Taken by another client: not an error, the caller tries the next pair.
    if (attempt == kBindAttempts) return 0;
    os_sleep_ms(kBindRetryMs);
  }
}

// Closes a socket whose set-up failed, so that a failed try leaks nothing.
int give_up(IpcChannel* channel) {
  close(channel->socket);
  channel->socket = -1;
  return 0;
}

}  // namespace

sockaddr_un os_abstract_address(const char* name) {
  sockaddr_un address;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path + 1, kAbstractNameLimit, "%s", name);
  return address;
}

sockaddr_un os_daemon_mutex_address(uint32_t modem) {
  char name[kAbstractNameLimit];
  std::snprintf(name, sizeof name, "KEL%u_SDK_SOCKET_MUTEX", modem);
  return os_abstract_address(name);
}

sockaddr_un os_channel_address(ChannelSide side, uint32_t modem, const char* channel_name,
                               uint32_t number) {
  const char* format =
      side == ChannelSide::kClient ? "KEL%u_API_%s_SOCKET_%u" : "KEL%u_SDK_%s_SOCKET_%u";
  char name[kAbstractNameLimit];
  std::snprintf(name, sizeof name, format, modem, channel_name, number);
  return os_abstract_address(name);
}

int os_ipc_open(IpcChannel* channel, uint32_t number, const char* name, uint32_t modem) {
  channel->number = number;
  channel->refusedSender = -1;
  const sockaddr_un own = os_channel_address(ChannelSide::kClient, modem, name, number);
  channel->peer = os_channel_address(ChannelSide::kDaemon, modem, name, number);

  channel->socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (channel->socket < 0) {
    os_report("IPC open (s) failed", errno);
    return 0;
  }
  // Before the bind, so that no datagram arrives without its sender's credentials.
  const int on = 1;
  if (setsockopt(channel->socket, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
    os_report("IPC open (c) failed", errno);
    return give_up(channel);
  }
  if (!bind_retrying_while_taken(channel->socket, own)) return give_up(channel);
  const int size = kSendBufferSize;
  if (setsockopt(channel->socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size) != 0) {
    os_report("IPC open (o) failed", errno);
    return give_up(channel);
  }
  // A daemon that is not there yet is connected to on the first send.
  os_ipc_connect(channel);
  return 1;
}

int os_ipc_connect(IpcChannel* channel) {
  for (;;) {
    if (connect(channel->socket, reinterpret_cast<const sockaddr*>(&channel->peer),
                kAbstractAddressLength) == 0)
      return 1;
    if (errno != EINTR) return 0;
  }
}

bool os_user_trusted(int64_t uid) {
  return uid == 0 || uid == static_cast<int64_t>(getuid()) ||
         uid == static_cast<int64_t>(geteuid());
}

int os_ipc_close(IpcChannel* channel) {
  const int closed = close(channel->socket) == 0;
  channel->socket = -1;
  return closed;
}

int os_ipc_send(IpcChannel* channel, const uint8_t* data, size_t length) {
  bool retried_missing_peer = false;
  for (;;) {
    // Connected anew for every datagram: the daemon that holds the name now
    // (one started after an earlier one ended) is the one that may answer.
    // The datagram goes to the socket connected to, not to whatever holds
    // the name a moment later.
    if (os_ipc_connect(channel) &&
        send(channel->socket, data, length, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
      return 1;
    if (errno == EINTR) continue;
    if (errno == ECONNREFUSED) {
      // The daemon may not have bound its side yet: give it one chance.
      if (retried_missing_peer) return 0;
      retried_missing_peer = true;
      os_sleep_ms(kPeerMissingRetryMs);
      continue;
    }
    os_report("IPC write failed", errno);
    return 0;
  }
}

namespace {

uint64_t now_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

// 1 when the socket is readable (or has an exceptional condition), 0 when
// the limit passed, -1 on failure. poll rather than select: a descriptor
// number above FD_SETSIZE must not write past an fd_set.
int wait_readable(int socket, uint32_t timeout_ms) {
  const uint64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    int wait = -1;
    if (timeout_ms != 0) {
      const uint64_t now = now_ms();
      wait = now >= deadline ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, INT32_MAX));
    }
    pollfd watched{socket, POLLIN | POLLPRI, 0};
    const int ready = poll(&watched, 1, wait);
    if (ready > 0 && (watched.revents & POLLNVAL) != 0) {
      errno = EBADF;
      return -1;
    }
    if (ready >= 0) return ready > 0 ? 1 : 0;
    // An interrupted wait goes on with the time that is left.
    if (errno != EINTR) return -1;
  }
}

bool from_peer(const IpcChannel& channel, const sockaddr_un& source, socklen_t length) {
  return length == kAbstractAddressLength &&
         std::memcmp(&source, &channel.peer, sizeof source) == 0;
}

struct Sender {
  sockaddr_un address{};
  socklen_t addressLength = 0;
  int64_t uid = -1;  // -1: the datagram came without credentials
};

// One datagram with its sender's name and user. The control buffer holds the
// credentials only: descriptors a sender passes do not fit and are closed by
// the kernel; any that did arrive are closed here.
ssize_t receive_with_sender(int socket, uint8_t* buffer, size_t capacity, Sender* sender) {
  iovec data{buffer, capacity};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
  msghdr message{};
  message.msg_name = &sender->address;
  message.msg_namelen = sizeof sender->address;
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t received = recvmsg(socket, &message, MSG_NOSIGNAL | MSG_CMSG_CLOEXEC);
  if (received < 0) return received;
  sender->addressLength = message.msg_namelen;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET) continue;
    if (c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len == CMSG_LEN(sizeof(ucred))) {
      ucred credentials;
      std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
      sender->uid = credentials.uid;
    } else if (c->cmsg_type == SCM_RIGHTS && c->cmsg_len >= CMSG_LEN(0)) {
      const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; ++i) {
        int passed;
        std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
        close(passed);
      }
    }
  }
  return received;
}

}  // namespace

int os_ipc_receive(IpcChannel* channel, uint8_t* buffer, size_t* length, uint32_t timeout_ms) {
  const size_t capacity = *length;
  const uint64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    uint32_t left = 0;
    if (timeout_ms != 0) {
      const uint64_t now = now_ms();
      left = now >= deadline
                 ? 0
                 : static_cast<uint32_t>(std::min<uint64_t>(deadline - now, UINT32_MAX));
      if (left == 0) break;
    }
    const int ready = wait_readable(channel->socket, left);
    if (ready < 0) {
      os_report("IPC read (s) failed", errno);
      return 0;
    }
    if (ready == 0) break;
    Sender sender;
    const ssize_t received = receive_with_sender(channel->socket, buffer, capacity, &sender);
    if (received < 0) {
      if (errno == EINTR) continue;
      *length = 0;
      os_report("IPC read (r) failed", errno);
      return 0;
    }
    // Anyone of the network namespace can send to our name (until we are
    // connected); only the daemon can send from its own. Whatever else
    // arrives is dropped unread.
    if (!from_peer(*channel, sender.address, sender.addressLength)) continue;
    if (sender.uid < 0) continue;
    // Whoever bound the daemon's name first holds it: a user we do not
    // trust is no daemon of ours, and nothing it sends is taken.
    if (!os_user_trusted(sender.uid)) {
      channel->refusedSender = sender.uid;
      *length = 0;
      return 0;
    }
    *length = static_cast<size_t>(received);
    return 1;
  }
  *length = 0;
  return 1;
}
