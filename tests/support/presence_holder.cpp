// Stands in for a daemon in the support library's own tests: binds the
// presence name of the modem given as its argument and waits for a signal.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/abstract_socket.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string name = vant::test::presence_socket_name(std::strtoul(argv[1], nullptr, 10));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::perror("bind");
    return 1;
  }
  std::puts("bound");
  std::fflush(stdout);
  for (;;) pause();
}
