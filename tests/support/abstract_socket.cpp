#include "tests/support/abstract_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vant::test {

std::string presence_socket_name(unsigned modem) {
  return "KEL" + std::to_string(modem) + "_SDK_SOCKET_MUTEX";
}

bool abstract_name_bound(const std::string& name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // Only a refusal means that nothing holds the name: a client's socket,
  // connected to the daemon, turns everybody else away (EPERM).
  const bool bound =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
      errno != ECONNREFUSED;
  close(fd);
  return bound;
}

}  // namespace vant::test
