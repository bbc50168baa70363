// Frames on a byte-stream descriptor (a QMI control device, a pseudo-terminal
// or one end of a socketpair): one write carries one whole frame.
#pragma once

#include <cstdint>
#include <span>

#include "qmux/frame.h"
#include "qmux/reassembler.h"
#include "qmux/timed_reassembler.h"

namespace vant::qmux {

// Writes every byte, retrying after interruptions and waiting while a
// non-blocking descriptor is full. False on any other failure.
bool write_all(int fd, std::span<const uint8_t> bytes);
bool write_frame(int fd, const Frame& frame);

enum class ReadStatus : uint8_t { data, again, eof, error };

// One read(); got holds the count for ReadStatus::data.
ReadStatus read_chunk(int fd, std::span<uint8_t> chunk, size_t& got);

// One read() into the reassembler.
ReadStatus read_into(int fd, Reassembler& reassembler);
ReadStatus read_into(int fd, TimedReassembler& reassembler,
                     TimedReassembler::Clock::time_point now);

}  // namespace vant::qmux
