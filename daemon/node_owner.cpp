#include "daemon/node_owner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vant::daemon {
namespace {

constexpr size_t kMaxCommand = 64;
constexpr std::string_view kQmiProxy = "qmi-proxy";

bool parse_pid(const char* text, pid_t& pid) {
  if (*text < '1' || *text > '9') return false;
  long long value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + (*c - '0');
    if (value > 0x7fffffff) return false;
  }
  pid = static_cast<pid_t>(value);
  return true;
}

std::string command_of(const std::string& process_dir) {
  const int fd = ::open((process_dir + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "?";
  char buffer[kMaxCommand];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  std::string command;
  for (ssize_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(buffer[i]);
    if (c == '\n') break;
    command += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
  }
  return command.empty() ? "?" : command;
}

bool same_file(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether one of the process's descriptors leads to the node. A descriptor
// is followed only when its link names something below /dev, so that
// looking never waits on a network file system.
bool has_open(const std::string& process_dir, const struct stat& node) {
  const std::string fd_dir = process_dir + "/fd";
  DIR* dir = opendir(fd_dir.c_str());
  if (dir == nullptr) return false;
  bool found = false;
  size_t seen = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    if (++seen > kMaxDescriptors) break;
    const std::string link = fd_dir + "/" + entry->d_name;
    char target[64];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    if (std::strncmp(target, "/dev/", 5) != 0) continue;
    struct stat st {};
    if (stat(link.c_str(), &st) == 0 && same_file(st, node)) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool any_qmi_proxy(const std::vector<NodeOpener>& openers) {
  return std::any_of(openers.begin(), openers.end(),
                     [](const NodeOpener& o) { return o.command == kQmiProxy; });
}

}  // namespace

std::vector<NodeOpener> node_openers(const struct stat& node, pid_t except,
                                     const std::string& proc_root) {
  std::vector<NodeOpener> openers;
  DIR* dir = opendir(proc_root.c_str());
  if (dir == nullptr) return openers;
  size_t seen = 0;
  while (const dirent* entry = readdir(dir)) {
    pid_t pid = 0;
    if (!parse_pid(entry->d_name, pid)) continue;
    if (++seen > kMaxProcesses || openers.size() >= kMaxOpeners) break;
    if (pid == except) continue;
    const std::string process_dir = proc_root + "/" + entry->d_name;
    if (has_open(process_dir, node)) openers.push_back({pid, command_of(process_dir)});
  }
  closedir(dir);
  std::sort(openers.begin(), openers.end(),
            [](const NodeOpener& a, const NodeOpener& b) { return a.pid < b.pid; });
  return openers;
}

std::string describe_openers(const std::vector<NodeOpener>& openers) {
  if (openers.empty()) return "nobody we can see";
  std::string text;
  for (const NodeOpener& o : openers) {
    if (!text.empty()) text += ", ";
    text += o.command + " (pid " + std::to_string(o.pid) + ")";
  }
  return text;
}

NodeClaim claim_node(int fd, const std::string& path, const struct stat& node, std::string& why) {
  int locked;
  do {
    locked = flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  const bool held = locked != 0 && errno == EWOULDBLOCK;
  // A file system without flock (none of the kernel's device nodes) leaves
  // only the check of other openers.
  const auto openers = node_openers(node, getpid());
  if (held) {
    why = path + " is held by another daemon" +
          (openers.empty() ? std::string() : " (" + describe_openers(openers) + ")") +
          ": one daemon drives a node";
    return NodeClaim::held_by_daemon;
  }
  if (openers.empty()) return NodeClaim::claimed;
  if (any_qmi_proxy(openers)) {
    why = path + " is open in " + describe_openers(openers) +
          ": qmi-proxy owns the modem for the libqmi programs (ModemManager, qmicli -p), so "
          "the daemon goes through qmi-proxy";
    return NodeClaim::held_by_proxy;
  }
  why = path + " is also open in " + describe_openers(openers) +
        ": two programs on one QMUX stream take each other's answers, so the daemon does "
        "not share it and takes the node once they have closed it";
  return NodeClaim::open_elsewhere;
}

}  // namespace vant::daemon
