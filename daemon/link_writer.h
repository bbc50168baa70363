// Frames on their way to the modem. A link may take a frame only in part, or
// not at all for a while; what it does not take waits here, in order, so that
// the daemon never blocks on the modem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "daemon/modem_link.h"

namespace vant::daemon {

class LinkWriter {
 public:
  static constexpr size_t kMaxQueuedFrames = 256;

  // False (and the frame is dropped) when the modem has not taken the frames
  // before it for so long that kMaxQueuedFrames wait.
  bool queue(std::vector<uint8_t> frame);
  // Writes what the link takes now; false when the link failed.
  bool flush(ModemLink& link);
  bool empty() const { return frames_.empty(); }
  // How many more frames queue() takes now.
  size_t room() const { return kMaxQueuedFrames - frames_.size(); }
  void clear();

 private:
  std::deque<std::vector<uint8_t>> frames_;
  size_t offset_ = 0;  // bytes of the front frame already written
};

}  // namespace vant::daemon
