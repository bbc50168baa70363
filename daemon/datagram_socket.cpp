#include "daemon/datagram_socket.h"

#include <cerrno>
#include <cstring>

namespace vant::daemon {

std::optional<DatagramSocket> DatagramSocket::bind_to(const sockaddr_un& address, int& error) {
  UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {
    error = errno;
    return std::nullopt;
  }
  // Credentials come with every datagram, so that we can tell who sent it.
  const int on = 1;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0 ||
      bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = errno;
    return std::nullopt;
  }
  return DatagramSocket(std::move(fd));
}

std::optional<ReceivedDatagram> DatagramSocket::receive(std::span<uint8_t> buffer) {
  iovec iov{buffer.data(), buffer.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
  ReceivedDatagram received;
  msghdr message{};
  message.msg_name = &received.source;
  message.msg_namelen = sizeof received.source;
  message.msg_iov = &iov;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t n;
  do {
    n = recvmsg(fd_.get(), &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return std::nullopt;

  received.source_length = message.msg_namelen;
  received.size = static_cast<size_t>(n);
  received.truncated = (message.msg_flags & MSG_TRUNC) != 0;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS &&
        c->cmsg_len == CMSG_LEN(sizeof(ucred))) {
      std::memcpy(&received.credentials, CMSG_DATA(c), sizeof(ucred));
      received.has_credentials = true;
    }
  }
  return received;
}

SendStatus DatagramSocket::send_to(const sockaddr_un& peer, std::span<const uint8_t> datagram) {
  ssize_t n;
  do {
    n = sendto(fd_.get(), datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  } while (n < 0 && errno == EINTR);
  if (n >= 0) return SendStatus::sent;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return SendStatus::would_block;
  // The client's socket is gone (its process ended) or was never bound.
  if (errno == ECONNREFUSED || errno == ENOENT) return SendStatus::no_peer;
  return SendStatus::failed;
}

}  // namespace vant::daemon
