// --allow-group: a group whose members the daemon serves besides root and its
// own user. Membership is taken from the kernel's credentials of a datagram
// (its sender's group), else from the sender's supplementary groups in
// /proc/PID/status, read only while that process still has the sender's user.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace vant::daemon {

// The group named (or numbered) by TEXT, or nothing when there is none.
std::optional<gid_t> group_by_name(const std::string& text);

// Whether the sender of credentials `sender` is of group `group`. `proc` is
// the proc file system's root (a parameter for the tests).
bool sender_in_group(const ucred& sender, gid_t group, std::string_view proc = "/proc");

}  // namespace vant::daemon
