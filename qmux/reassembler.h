// Turns the bytes of a QMUX byte stream back into frames: a read may hold part
// of a frame or several frames. Invalid frames are dropped and the stream is
// resynchronised on the next marker that begins a valid frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "qmux/frame.h"

namespace vant::qmux {

class Reassembler {
 public:
  void feed(std::span<const uint8_t> bytes);

  // The next whole valid frame, or nothing until more bytes are fed.
  std::optional<Frame> next();

  // Gives up on a frame that began but never completed (for instance after a
  // quiet period): its marker is dropped and the bytes after it are searched
  // again for a frame.
  void abandon_partial();

  // Bytes waiting for the rest of a frame.
  size_t pending() const { return buffer_.size() - start_; }
  // Bytes thrown away while resynchronising, and how many times that happened.
  uint64_t discarded_bytes() const { return discarded_bytes_; }
  uint64_t resyncs() const { return resyncs_; }

 private:
  std::span<const uint8_t> unread() const;
  void discard(size_t count);
  void skip_to_next_marker();
  void compact();

  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  uint64_t discarded_bytes_ = 0;
  uint64_t resyncs_ = 0;
};

}  // namespace vant::qmux
