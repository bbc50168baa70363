// The descriptors the daemon's loop waits on, each in a numbered slot.
// Registered once rather than handed to the kernel on every turn: a wait
// then costs the same however many sockets the daemon holds, and the kernel
// looks only at the descriptors that became ready.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "daemon/unique_fd.h"

namespace vant::daemon {

class EventSet {
 public:
  static constexpr size_t kSlots = 16;
  // What became ready in each slot, in poll(2)'s bits (POLLIN, POLLOUT,
  // POLLERR, POLLHUP); 0 for a slot with nothing to report.
  using Ready = std::array<short, kSlots>;

  EventSet();
  bool valid() const { return set_.valid(); }

  // Watches fd in the slot (below kSlots) for readability, and writability as well when
  // `writable` is set. False with errno set when the kernel refuses.
  bool add(size_t slot, int fd, bool writable = false);
  bool change(size_t slot, int fd, bool writable);
  // Call before the descriptor is closed.
  void remove(int fd);

  // Waits up to timeout_ms (-1: no limit). Returns the number of ready slots,
  // 0 on time-out or a signal, -1 with errno set when the wait failed.
  int wait(Ready& ready, int timeout_ms);

 private:
  bool control(int operation, size_t slot, int fd, bool writable);
  UniqueFd set_;
};

}  // namespace vant::daemon
