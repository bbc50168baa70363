#include "daemon/proxy_link.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace vant::daemon {
namespace {

bool connect_abstract(int fd, const std::string& name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  int r;
  do {
    r = connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

}  // namespace

std::unique_ptr<ProxyLink> ProxyLink::open(const std::string& node, std::string& why,
                                           const std::string& socket_name) {
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {
    why = std::string("cannot make a socket for qmi-proxy: ") + std::strerror(errno);
    return nullptr;
  }
  if (!connect_abstract(fd.get(), socket_name)) {
    why = "cannot reach qmi-proxy (@" + socket_name + ") for " + node + ": " + std::strerror(errno);
    return nullptr;
  }
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    why = std::string("cannot tell who runs qmi-proxy: ") + std::strerror(errno);
    return nullptr;
  }
  if (peer.uid != 0 && peer.uid != geteuid()) {
    why = "the qmi-proxy socket is held by uid " + std::to_string(peer.uid) + " (pid " +
          std::to_string(peer.pid) + "), neither root nor our user: not used";
    return nullptr;
  }
  fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<ProxyLink>(new ProxyLink(std::move(fd), node));
}

ssize_t ProxyLink::write_some(std::span<const uint8_t> bytes) {
  return send_some(bytes);
}

bool ProxyLink::still_present() const {
  return access(node_.c_str(), F_OK) == 0;
}

}  // namespace vant::daemon
