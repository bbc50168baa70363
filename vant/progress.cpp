#include "vant/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace vant::cli {

Progress::Progress(std::string what) : what_(std::move(what)) {
  if (isatty(STDERR_FILENO)) thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_one();
  thread_.join();
  // Erase the note so that what follows starts on a clean line.
  std::fputs("\r\033[K", stderr);
}

void Progress::run() {
  std::unique_lock lock(mutex_);
  for (unsigned seconds = 0; !stopping_; ++seconds) {
    std::fprintf(stderr, "\r%s: %u s", what_.c_str(), seconds);
    std::fflush(stderr);
    stop_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; });
  }
}

}  // namespace vant::cli
