#include "daemon/event_set.h"

#include <poll.h>
#include <sys/epoll.h>

#include <cerrno>

namespace vant::daemon {
namespace {

short poll_bits(uint32_t events) {
  short bits = 0;
  if (events & EPOLLIN) bits |= POLLIN;
  if (events & EPOLLOUT) bits |= POLLOUT;
  if (events & EPOLLERR) bits |= POLLERR;
  if (events & EPOLLHUP) bits |= POLLHUP;
  return bits;
}

}  // namespace

EventSet::EventSet() : set_(epoll_create1(EPOLL_CLOEXEC)) {}

bool EventSet::control(int operation, size_t slot, int fd, bool writable) {
  if (slot >= kSlots) {
    errno = EINVAL;
    return false;
  }
  epoll_event event{};
  event.events = EPOLLIN | (writable ? EPOLLOUT : 0u);
  event.data.u64 = slot;
  return epoll_ctl(set_.get(), operation, fd, &event) == 0;
}

bool EventSet::add(size_t slot, int fd, bool writable) {
  return control(EPOLL_CTL_ADD, slot, fd, writable);
}

bool EventSet::change(size_t slot, int fd, bool writable) {
  return control(EPOLL_CTL_MOD, slot, fd, writable);
}

void EventSet::remove(int fd) {
  epoll_event ignored{};  // kernels before 2.6.9 want one even for a removal
  epoll_ctl(set_.get(), EPOLL_CTL_DEL, fd, &ignored);
}

int EventSet::wait(Ready& ready, int timeout_ms) {
  ready.fill(0);
  std::array<epoll_event, kSlots> events;
  const int n = epoll_wait(set_.get(), events.data(), static_cast<int>(kSlots), timeout_ms);
  if (n < 0) return errno == EINTR ? 0 : -1;
  int count = 0;
  for (int i = 0; i < n; ++i) {
    const uint64_t slot = events[static_cast<size_t>(i)].data.u64;
    if (slot >= kSlots) continue;
    ready[slot] = poll_bits(events[static_cast<size_t>(i)].events);
    ++count;
  }
  return count;
}

}  // namespace vant::daemon
