#include "vant/interrupt.h"

#include <csignal>
#include <thread>

namespace vant::cli {
namespace {

volatile std::sig_atomic_t caught = 0;

void remember_signal(int signal) {
  caught = signal;
}

// The library's notification thread may take the signal, so sleeps wake up
// this often to look at the flag.
constexpr std::chrono::milliseconds kPollSlice{50};

}  // namespace

void catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = remember_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  // A closed terminal (SIGHUP), a reader that went away (SIGPIPE) and SIGQUIT
  // end a command that changes the modem no less than Ctrl-C does.
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
    sigaction(signal, &action, nullptr);
}

int interrupt_signal() {
  return caught;
}

bool sleep_unless_interrupted(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (caught == 0) {
    const auto left = end - std::chrono::steady_clock::now();
    if (left <= std::chrono::milliseconds::zero()) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kPollSlice));
  }
  return false;
}

}  // namespace vant::cli
