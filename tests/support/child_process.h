// Starting a program as a child of the test with chosen standard streams.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vant::test {

struct ChildStreams {
  int stdin_fd = -1;  // -1: /dev/null
  int stdout_fd = -1;
  int stderr_fd = -1;
};

// Forks and executes argv[0] (a path) with `argv`; the child keeps the test's
// environment. Returns the child's pid, or -1 with errno set. A failed exec
// ends the child with status 127.
pid_t spawn_child(const std::vector<std::string>& argv, const ChildStreams& streams);

// Waits up to `timeout_ms` for `pid` to end; true and its wait status when it
// did.
bool wait_child(pid_t pid, int timeout_ms, int* wait_status);

// SIGKILL and reap.
void kill_child(pid_t pid);

}  // namespace vant::test
