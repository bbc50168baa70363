// One owner per modem node. A daemon that opens a node takes an advisory
// exclusive lock on it, so that a second daemon finds it held; and it does
// not share the node with any other program that has it open (ModemManager,
// qmi-proxy, qmicli, uqmi), since two programs on one QMUX stream take each
// other's answers. The programs are named from /proc/*/fd.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace vant::daemon {

struct NodeOpener {
  pid_t pid = 0;
  std::string command;  // /proc/PID/comm, printable characters only
};

// The processes other than `except` that have the device of `node` open,
// found in proc_root/*/fd. Bounded: at most kMaxProcesses processes and
// kMaxDescriptors descriptors of each are looked at, and at most kMaxOpeners
// are returned. Only descriptors that lead below /dev are compared.
std::vector<NodeOpener> node_openers(const struct stat& node, pid_t except,
                                     const std::string& proc_root = "/proc");
inline constexpr size_t kMaxProcesses = 32768;
inline constexpr size_t kMaxDescriptors = 4096;
inline constexpr size_t kMaxOpeners = 4;

// "ModemManager (pid 700), qmicli (pid 912)"; "nobody we can see" when empty.
std::string describe_openers(const std::vector<NodeOpener>& openers);

enum class NodeClaim {
  claimed,         // ours alone
  held_by_daemon,  // another daemon holds the lock
  open_elsewhere,  // another program has it open
  held_by_proxy,   // libqmi's qmi-proxy has it open: the modem is reached through it
};

// Locks the node open on fd for us (LOCK_EX|LOCK_NB) and checks that no other
// process has it open. Anything but `claimed` comes with why, a sentence
// that names the holders; the lock is then left to the closing of fd.
NodeClaim claim_node(int fd, const std::string& path, const struct stat& node, std::string& why);

}  // namespace vant::daemon
