#include "qmux/reassembler.h"

#include <algorithm>

namespace vant::qmux {

void Reassembler::feed(std::span<const uint8_t> bytes) {
  compact();
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<Frame> Reassembler::next() {
  Frame frame;
  while (pending() > 0) {
    size_t frame_size = 0;
    switch (parse_frame(unread(), frame, frame_size)) {
      case ParseStatus::ok:
        start_ += frame_size;
        return frame;
      case ParseStatus::incomplete:
        return std::nullopt;
      case ParseStatus::invalid:
        ++resyncs_;
        skip_to_next_marker();
        break;
    }
  }
  return std::nullopt;
}

void Reassembler::abandon_partial() {
  if (pending() == 0) return;
  ++resyncs_;
  skip_to_next_marker();
}

std::span<const uint8_t> Reassembler::unread() const {
  return std::span<const uint8_t>(buffer_).subspan(start_);
}

void Reassembler::discard(size_t count) {
  start_ += count;
  discarded_bytes_ += count;
}

// The byte at the start is not the beginning of a frame: drop it and every
// byte up to the next marker, which is the next candidate.
void Reassembler::skip_to_next_marker() {
  const auto rest = unread();
  const auto marker = std::find(rest.begin() + 1, rest.end(), kMarker);
  discard(static_cast<size_t>(marker - rest.begin()));
}

void Reassembler::compact() {
  if (start_ == 0) return;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
  start_ = 0;
}

}  // namespace vant::qmux
