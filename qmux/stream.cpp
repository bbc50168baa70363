#include "qmux/stream.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace vant::qmux {
namespace {

constexpr size_t kReadChunk = 4096;

bool wait_writable(int fd) {
  pollfd p{fd, POLLOUT, 0};
  int n;
  do {
    n = poll(&p, 1, -1);
  } while (n < 0 && errno == EINTR);
  // A pseudo-terminal nobody holds the other side of polls as hung up, never
  // as writable again: nobody will read, so writing gives up.
  return n > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

}  // namespace

ReadStatus read_chunk(int fd, std::span<uint8_t> chunk, size_t& got) {
  ssize_t n;
  do {
    n = read(fd, chunk.data(), chunk.size());
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    got = static_cast<size_t>(n);
    return ReadStatus::data;
  }
  if (n == 0) return ReadStatus::eof;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadStatus::again;
  // A pseudo-terminal whose other side closed reports EIO rather than EOF.
  if (errno == EIO) return ReadStatus::eof;
  return ReadStatus::error;
}

bool write_all(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_writable(fd)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool write_frame(int fd, const Frame& frame) {
  std::vector<uint8_t> bytes;
  return encode_frame(frame, bytes) && write_all(fd, bytes);
}

ReadStatus read_into(int fd, Reassembler& reassembler) {
  uint8_t chunk[kReadChunk];
  size_t got = 0;
  const ReadStatus status = read_chunk(fd, chunk, got);
  if (status == ReadStatus::data) reassembler.feed(std::span<const uint8_t>(chunk, got));
  return status;
}

ReadStatus read_into(int fd, TimedReassembler& reassembler,
                     TimedReassembler::Clock::time_point now) {
  uint8_t chunk[kReadChunk];
  size_t got = 0;
  const ReadStatus status = read_chunk(fd, chunk, got);
  if (status == ReadStatus::data) reassembler.feed(std::span<const uint8_t>(chunk, got), now);
  return status;
}

}  // namespace vant::qmux
