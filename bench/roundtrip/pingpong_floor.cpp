#include "bench/roundtrip/pingpong_floor.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "sdk/core/os_services.h"

namespace vant::bench {
namespace {

using daemon::UniqueFd;

constexpr time_t kAnswerLimitSeconds = 5;

sockaddr_un floor_address(const char* role) {
  const std::string name = "vantbench_floor_" + std::string(role) + "_" + std::to_string(getpid());
  return os_abstract_address(name.c_str());
}

UniqueFd bound_datagram_socket(const sockaddr_un& address, std::string& error) {
  UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.valid() ||
      bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), kAbstractAddressLength) != 0) {
    error = std::string("floor socket: ") + std::strerror(errno);
    return UniqueFd();
  }
  return fd;
}

bool read_exact(int fd, uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t got = read(fd, bytes, count);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    count -= static_cast<size_t>(got);
  }
  return true;
}

bool write_all(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t put = write(fd, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<size_t>(put);
  }
  return true;
}

// The modem: one answer frame for each request frame, until the stream ends.
void play_modem(int fd) {
  std::array<uint8_t, kResponseFrameSize> frame{};
  while (read_exact(fd, frame.data(), kRequestFrameSize) &&
         write_all(fd, frame.data(), kResponseFrameSize)) {
  }
  close(fd);
}

// The relay process: the daemon's part of the path, without the daemon.
[[noreturn]] void run_relay(int datagram) {
  // Never outlive the benchmark, however it ends.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) _exit(1);
  std::thread(play_modem, pair[1]).detach();
  std::array<uint8_t, 2048> buffer{};
  for (;;) {
    sockaddr_un client{};
    socklen_t client_length = sizeof client;
    const ssize_t got = recvfrom(datagram, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&client), &client_length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) _exit(1);
    if (!write_all(pair[0], buffer.data(), kRequestFrameSize) ||
        !read_exact(pair[0], buffer.data(), kResponseFrameSize))
      _exit(1);
    sendto(datagram, buffer.data(), kResponseDatagramSize, MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&client), client_length);
  }
}

}  // namespace

std::optional<PingPongFloor> PingPongFloor::start(std::string& error) {
  const sockaddr_un relay_address = floor_address("relay");
  // Both sockets are bound before the fork, so the first request cannot
  // arrive before the relay listens.
  UniqueFd relay_socket = bound_datagram_socket(relay_address, error);
  if (!relay_socket.valid()) return std::nullopt;
  UniqueFd client_socket = bound_datagram_socket(floor_address("client"), error);
  if (!client_socket.valid()) return std::nullopt;
  // A relay that died fails the run instead of hanging it.
  const timeval limit{kAnswerLimitSeconds, 0};
  setsockopt(client_socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

  const pid_t relay = fork();
  if (relay < 0) {
    error = std::string("fork: ") + std::strerror(errno);
    return std::nullopt;
  }
  if (relay == 0) {
    client_socket.reset();
    run_relay(relay_socket.get());
  }
  return PingPongFloor(relay, std::move(client_socket), relay_address);
}

PingPongFloor::PingPongFloor(pid_t relay, UniqueFd socket, const sockaddr_un& relay_address)
    : relay_(relay), socket_(std::move(socket)), relay_address_(relay_address) {}

PingPongFloor::PingPongFloor(PingPongFloor&& other) noexcept
    : relay_(std::exchange(other.relay_, -1)),
      socket_(std::move(other.socket_)),
      relay_address_(other.relay_address_) {}

PingPongFloor::~PingPongFloor() {
  if (relay_ <= 0) return;
  kill(relay_, SIGKILL);
  waitpid(relay_, nullptr, 0);
}

uint32_t PingPongFloor::exchange() {
  if (sendto(socket_.get(), buffer_.data(), kRequestDatagramSize, MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&relay_address_), kAbstractAddressLength) < 0)
    return static_cast<uint32_t>(errno);
  ssize_t got;
  do {
    got = recv(socket_.get(), buffer_.data(), buffer_.size(), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return static_cast<uint32_t>(errno);
  return static_cast<size_t>(got) == kResponseDatagramSize ? 0 : EPROTO;
}

}  // namespace vant::bench
