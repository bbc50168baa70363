#include "sim/in_process_link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vant::sim {

InProcessLink::~InProcessLink() {
  emulator_.stop();
  std::lock_guard lock(mutex_);
  for (auto& t : threads_) t.join();
}

int InProcessLink::open() {
  if (emulator_.stopped() || !emulator_.present()) {
    errno = ENODEV;
    return -1;
  }
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return -1;
  std::lock_guard lock(mutex_);
  // The modem's end belongs to its thread, which closes it when done.
  threads_.emplace_back([this, modem_end = fds[1]] {
    emulator_.serve(modem_end);
    close(modem_end);
  });
  return fds[0];
}

}  // namespace vant::sim
