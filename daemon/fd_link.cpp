#include "daemon/fd_link.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vant::daemon {
namespace {

ssize_t written_or_failure(ssize_t n) {
  if (n >= 0) return n;
  return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

bool make_raw(int fd, std::string& why) {
  termios attributes{};
  if (tcgetattr(fd, &attributes) != 0) {
    why = std::string("cannot read the terminal settings: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&attributes);
  if (tcsetattr(fd, TCSANOW, &attributes) != 0) {
    why = std::string("cannot set raw mode: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

LinkRead FdLink::read(std::span<uint8_t> buffer, size_t& got) {
  ssize_t n;
  do {
    n = ::read(fd_.get(), buffer.data(), buffer.size());
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    got = static_cast<size_t>(n);
    return LinkRead::data;
  }
  if (n == 0) return LinkRead::closed;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return LinkRead::again;
  // A pseudo-terminal whose other side closed says EIO; a removed USB device
  // says ENODEV or EPROTO. Either way the modem is gone.
  return errno == EIO ? LinkRead::closed : LinkRead::failed;
}

std::unique_ptr<CharDeviceLink> CharDeviceLink::open(const std::string& path, std::string& why,
                                                     NodeClaim* claim, LinkProtocol protocol) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    why = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat identity {};
  if (fstat(fd.get(), &identity) != 0) {
    why = "cannot stat " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  const NodeClaim claimed = claim_node(fd.get(), path, identity, why);
  if (claim != nullptr) *claim = claimed;
  if (claimed != NodeClaim::claimed) return nullptr;
  // Only a node that is ours has its settings touched.
  if (isatty(fd.get()) && !make_raw(fd.get(), why)) return nullptr;
  return std::unique_ptr<CharDeviceLink>(
      new CharDeviceLink(std::move(fd), path, identity, protocol));
}

CharDeviceLink::CharDeviceLink(UniqueFd fd, std::string path, struct stat identity,
                               LinkProtocol protocol)
    : FdLink(std::move(fd), std::move(path), protocol), identity_(identity) {
  // Without a watch the daemon still notices a removal by its periodic check.
  watch_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!watch_.valid()) return;
  std::filesystem::path directory = std::filesystem::path(node_).parent_path();
  std::error_code ignored;
  if (directory.empty()) directory = std::filesystem::current_path(ignored);
  if (inotify_add_watch(watch_.get(), directory.c_str(),
                        IN_DELETE | IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB) < 0)
    watch_.reset();
}

void CharDeviceLink::drain_watch() {
  alignas(inotify_event) char events[4096];
  while (::read(watch_.get(), events, sizeof events) > 0) {
  }
}

ssize_t CharDeviceLink::write_some(std::span<const uint8_t> bytes) {
  ssize_t n;
  do {
    n = ::write(fd_.get(), bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  return written_or_failure(n);
}

bool CharDeviceLink::still_present() const {
  // A node that vanished or now names another device means our modem left,
  // even when the descriptor has not reported it yet.
  struct stat now {};
  if (stat(node_.c_str(), &now) != 0) return false;
  return now.st_rdev == identity_.st_rdev && now.st_ino == identity_.st_ino;
}

SocketpairLink::SocketpairLink(UniqueFd fd, std::string node, LinkProtocol protocol)
    : FdLink(std::move(fd), std::move(node), protocol) {
  fcntl(fd_.get(), F_SETFL, fcntl(fd_.get(), F_GETFL) | O_NONBLOCK);
}

ssize_t SocketpairLink::write_some(std::span<const uint8_t> bytes) {
  return send_some(bytes);
}

ssize_t FdLink::send_some(std::span<const uint8_t> bytes) {
  ssize_t n;
  do {
    n = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  return written_or_failure(n);
}

}  // namespace vant::daemon
