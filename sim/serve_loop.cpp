#include "sim/serve_loop.h"

#include <poll.h>
#include <sys/socket.h>

#include <map>

#include "qmux/stream.h"
#include "sim/host_framing.h"

namespace vant::sim {
namespace {

// How often a loop without a host looks again whether one has come.
constexpr auto kHostlessPoll = std::chrono::milliseconds(50);

class StreamServer {
 public:
  StreamServer(ModemCore& core, int fd, const ServeOptions& options)
      : core_(core), fd_(fd), options_(options), framing_(new_framing()) {}

  ServeEnd run();

 private:
  int poll_timeout_ms(Clock::time_point now) const;
  bool write_due(Clock::time_point now);
  void queue(Writes writes, Clock::time_point due);
  std::optional<ServeEnd> read_frames(Clock::time_point now);
  void dispatch_frames(Clock::time_point now);
  void forget_host();
  std::unique_ptr<HostFraming> new_framing() const;

  ModemCore& core_;
  int fd_;
  ServeOptions options_;
  std::unique_ptr<HostFraming> framing_;
  std::multimap<Clock::time_point, Writes> pending_;
  bool hostless_ = false;
};

ServeEnd StreamServer::run() {
  queue(core_.begin_stream(Clock::now()), Clock::now());
  for (;;) {
    const auto now = Clock::now();
    if (core_.stopped()) return ServeEnd::stopped;
    if (!core_.present(now)) {
      // The host sees the end of the stream, as it would see a vanished device.
      shutdown(fd_, SHUT_RDWR);
      return ServeEnd::modem_gone;
    }
    if (!write_due(now)) return ServeEnd::io_error;
    pollfd fds[2] = {{core_.stop_fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
    const int n = poll(fds, hostless_ ? 1 : 2, poll_timeout_ms(now));
    if (n < 0 && errno != EINTR) return ServeEnd::io_error;
    if (n <= 0 || hostless_) {
      hostless_ = false;  // look again whether a host came
      continue;
    }
    if (fds[0].revents) return ServeEnd::stopped;
    if (fds[1].revents) {
      if (const auto end = read_frames(Clock::now())) return *end;
    }
  }
}

int StreamServer::poll_timeout_ms(Clock::time_point now) const {
  std::optional<Clock::time_point> wake = core_.next_presence_change(now);
  auto earliest = [&](Clock::time_point t) {
    if (!wake || t < *wake) wake = t;
  };
  if (!pending_.empty()) earliest(pending_.begin()->first);
  if (const auto due = framing_->deadline()) earliest(*due);
  if (hostless_) earliest(now + kHostlessPoll);
  if (!wake) return -1;
  if (*wake <= now) return 0;
  // Round up so that we wake after the moment, not just before it.
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count());
}

bool StreamServer::write_due(Clock::time_point now) {
  if (const auto due = framing_->deadline(); due && *due <= now) {
    Writes replies;
    framing_->expire(now, replies);
    queue(std::move(replies), now);
    dispatch_frames(now);  // what followed may be whole frames
  }
  while (!pending_.empty() && pending_.begin()->first <= now) {
    const Writes writes = framing_->wrap(pending_.begin()->second);
    pending_.erase(pending_.begin());
    for (const auto& bytes : writes) {
      if (qmux::write_all(fd_, bytes)) continue;
      if (!options_.wait_for_next_host) return false;
      forget_host();  // nobody is there to read it
      return true;
    }
  }
  return true;
}

void StreamServer::queue(Writes writes, Clock::time_point due) {
  if (!writes.empty()) pending_.emplace(due, std::move(writes));
}

std::optional<ServeEnd> StreamServer::read_frames(Clock::time_point now) {
  uint8_t chunk[4096];
  size_t got = 0;
  switch (qmux::read_chunk(fd_, chunk, got)) {
    case qmux::ReadStatus::data:
      break;
    case qmux::ReadStatus::again:
      return std::nullopt;
    case qmux::ReadStatus::eof:
      if (!options_.wait_for_next_host) return ServeEnd::host_closed;
      forget_host();
      return std::nullopt;
    case qmux::ReadStatus::error:
      return ServeEnd::io_error;
  }
  framing_->feed(std::span<const uint8_t>(chunk, got), now);
  dispatch_frames(now);
  return std::nullopt;
}

void StreamServer::dispatch_frames(Clock::time_point now) {
  Writes replies;
  while (auto frame = framing_->next(now, replies)) {
    if (auto answer = core_.handle(*frame, now)) queue(std::move(answer->writes), answer->due);
  }
  // The framing's own answers are not the modem's: they go at once, already
  // as they travel.
  for (const auto& bytes : replies) {
    if (qmux::write_all(fd_, bytes)) continue;
    if (options_.wait_for_next_host) forget_host();
    return;
  }
}

// The host went away: what it left half-sent and what we owed it are void.
// Its client ids stay allocated, as on a real modem.
void StreamServer::forget_host() {
  framing_ = new_framing();
  pending_.clear();
  hostless_ = true;
}

std::unique_ptr<HostFraming> StreamServer::new_framing() const {
  if (options_.mbim) return make_mbim_framing(*options_.mbim);
  return make_qmux_framing();
}

}  // namespace

ServeEnd serve_stream(ModemCore& core, int fd, const ServeOptions& options) {
  return StreamServer(core, fd, options).run();
}

}  // namespace vant::sim
