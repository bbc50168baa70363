// Stands in for a daemon in the support library's own tests: binds the
// presence name of the modem given as its argument and waits for a signal.
#include <signal.h>
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
  // A test may stop us as soon as the name is bound: the stop waits until
  // "bound" is written, so that the test always finds it in the output.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
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
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  for (;;) pause();
}
