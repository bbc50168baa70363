// The front end's copy of the daemon path. SetDaemonPath keeps the pointer,
// so the copy lives until the run ends.
#pragma once

// Copies `path` to the heap; false (errno set) when that fails.
bool copy_daemon_path(const char* path);
// The copy, or null when none was made.
const char* daemon_path();
void free_daemon_path();
