#include "sim/in_process_link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vant::sim {

InProcessLink::~InProcessLink() {
  emulator_.stop();
  std::lock_guard lock(mutex_);
  for (auto& s : servers_) s.thread.join();
}

void InProcessLink::reap() {
  for (auto it = servers_.begin(); it != servers_.end();) {
    if (!it->done->load()) {
      ++it;
      continue;
    }
    it->thread.join();
    it = servers_.erase(it);
  }
}

int InProcessLink::open() {
  if (emulator_.stopped() || !emulator_.present()) {
    errno = ENODEV;
    return -1;
  }
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return -1;
  std::lock_guard lock(mutex_);
  reap();
  auto done = std::make_shared<std::atomic<bool>>(false);
  // The modem's end belongs to its thread, which closes it when done.
  std::thread thread([this, done, modem_end = fds[1]] {
    emulator_.serve(modem_end, mbim_);
    close(modem_end);
    done->store(true);
  });
  servers_.push_back({std::move(thread), std::move(done)});
  return fds[0];
}

}  // namespace vant::sim
