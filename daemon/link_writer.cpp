#include "daemon/link_writer.h"

namespace vant::daemon {

bool LinkWriter::queue(std::vector<uint8_t> frame) {
  if (frames_.size() >= kMaxQueuedFrames) return false;
  frames_.push_back(std::move(frame));
  return true;
}

bool LinkWriter::flush(ModemLink& link) {
  while (!frames_.empty()) {
    const auto& front = frames_.front();
    const ssize_t n = link.write_some(std::span(front).subspan(offset_));
    if (n < 0) return false;
    if (n == 0) return true;
    offset_ += static_cast<size_t>(n);
    if (offset_ < front.size()) continue;
    frames_.pop_front();
    offset_ = 0;
  }
  return true;
}

void LinkWriter::clear() {
  frames_.clear();
  offset_ = 0;
}

}  // namespace vant::daemon
