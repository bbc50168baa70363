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
  return n > 0 && (p.revents & (POLLERR | POLLNVAL)) == 0;
}

}  // namespace

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
  ssize_t n;
  do {
    n = read(fd, chunk, sizeof chunk);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    reassembler.feed(std::span<const uint8_t>(chunk, static_cast<size_t>(n)));
    return ReadStatus::data;
  }
  if (n == 0) return ReadStatus::eof;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadStatus::again;
  // A pseudo-terminal whose other side closed reports EIO rather than EOF.
  if (errno == EIO) return ReadStatus::eof;
  return ReadStatus::error;
}

}  // namespace vant::qmux
