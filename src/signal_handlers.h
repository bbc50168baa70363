// The signal handlers that vantctl installs once the SDK is up.
#pragma once

#include <csignal>

using SignalAction = void (*)(int signal, siginfo_t* info, void* context);

// Installs `action` for `signal` with SA_SIGINFO and SA_NODEFER and an empty
// mask; a null action installs nothing. 0, or -1 when sigaction fails.
int install_signal_handler(int signal, SignalAction action);

// SIGCHLD collects a terminated child (the daemon, when this run launched
// it); SIGUSR1 is accepted and ignored. Failures are reported on standard
// error and the run goes on.
void install_front_end_signal_handlers();
