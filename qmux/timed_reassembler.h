// A reassembler that gives up a frame which began but did not complete in
// time. Without it a truncated frame (a modem that reset mid-write, say) would
// wait for ever for the rest of its body, and the next frames' bytes would be
// swallowed as that body. The time counts from the partial frame's first byte,
// or from the moment the frame or junk before it was taken off.
#pragma once

#include <chrono>
#include <optional>
#include <span>

#include "qmux/reassembler.h"

namespace vant::qmux {

class TimedReassembler {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kPartialFrameTimeout{500};

  void feed(std::span<const uint8_t> bytes, Clock::time_point now);
  std::optional<Frame> next(Clock::time_point now);

  // When the frame now under way is given up; nothing while none is.
  std::optional<Clock::time_point> deadline() const;
  // Gives the frame under way up once its deadline has come: its marker is
  // dropped and the bytes after it are searched again, so next() may then
  // have frames. True when a frame was given up.
  bool expire(Clock::time_point now);

  size_t pending() const { return reassembler_.pending(); }
  uint64_t discarded_bytes() const { return reassembler_.discarded_bytes(); }

 private:
  Reassembler reassembler_;
  Clock::time_point since_{};
};

}  // namespace vant::qmux
