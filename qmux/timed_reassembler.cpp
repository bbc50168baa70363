#include "qmux/timed_reassembler.h"

namespace vant::qmux {

void TimedReassembler::feed(std::span<const uint8_t> bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  if (reassembler_.pending() == 0) since_ = now;
  reassembler_.feed(bytes);
}

std::optional<Frame> TimedReassembler::next(Clock::time_point now) {
  const uint64_t discarded = reassembler_.discarded_bytes();
  auto frame = reassembler_.next();
  // What remains began after a frame completed or junk was skipped, so its
  // time starts now.
  if (frame || reassembler_.discarded_bytes() != discarded) since_ = now;
  return frame;
}

std::optional<TimedReassembler::Clock::time_point> TimedReassembler::deadline() const {
  if (reassembler_.pending() == 0) return std::nullopt;
  return since_ + kPartialFrameTimeout;
}

bool TimedReassembler::expire(Clock::time_point now) {
  const auto due = deadline();
  if (!due || now < *due) return false;
  reassembler_.abandon_partial();
  since_ = now;
  return true;
}

}  // namespace vant::qmux
