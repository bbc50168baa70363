#include "src/signal_handlers.h"

#include <sys/wait.h>

#include <cerrno>
#include <cstdio>

namespace {

// Reaps one terminated child. WNOHANG because SIGCHLD also reports children
// that stopped or continued: a blocking wait would then hang the run until
// the long-lived daemon exits. errno is kept for the code it interrupted.
void collect_child(int /*signal*/, siginfo_t* /*info*/, void* /*context*/) {
  const int saved_errno = errno;
  (void)waitpid(-1, nullptr, WNOHANG);
  errno = saved_errno;
}

void ignore_signal(int /*signal*/, siginfo_t* /*info*/, void* /*context*/) {}

}  // namespace

int install_signal_handler(int signal, SignalAction action) {
  if (action == nullptr) return 0;
  struct sigaction request {};
  request.sa_sigaction = action;
  request.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&request.sa_mask);
  return sigaction(signal, &request, nullptr) == 0 ? 0 : -1;
}

void install_front_end_signal_handlers() {
  const int child_result = install_signal_handler(SIGCHLD, collect_child);
  const int user_result = install_signal_handler(SIGUSR1, ignore_signal);
  if (child_result != 0 || user_result != 0) std::fputs("Signal handling falied", stderr);
}
