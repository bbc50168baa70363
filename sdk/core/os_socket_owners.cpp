// Who holds an abstract socket name: the kernel's socket diagnostics list
// every Unix socket of the network namespace with its name and its owner's
// user, also to unprivileged callers. A kernel built without them (as many a
// router's is), or user-mode emulation, which does not carry them, leaves
// /proc: /proc/net/unix gives the socket bound to a name, and the process
// descriptors that lead to it give its owner, as far as we may look into them.
#include <dirent.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdk/core/os_services.h"

namespace {

struct DumpRequest {
  nlmsghdr header;
  unix_diag_req request;
};

// Takes the name and owner of one socket's record; -1 as owner when absent.
void read_record(const nlmsghdr* message, const char** name, size_t* name_length, int64_t* owner) {
  const auto* record = static_cast<const unix_diag_msg*>(NLMSG_DATA(message));
  int length =
      static_cast<int>(message->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof *record));
  for (auto* attribute = reinterpret_cast<const rtattr*>(record + 1); RTA_OK(attribute, length);
       attribute = RTA_NEXT(attribute, length)) {
    if (attribute->rta_type == UNIX_DIAG_NAME) {
      *name = static_cast<const char*>(RTA_DATA(attribute));
      *name_length = RTA_PAYLOAD(attribute);
    } else if (attribute->rta_type == UNIX_DIAG_UID && RTA_PAYLOAD(attribute) >= sizeof(uint32_t)) {
      uint32_t uid;
      std::memcpy(&uid, RTA_DATA(attribute), sizeof uid);
      *owner = uid;
    }
  }
}

// Notes the owner of a record whose name is one of the names asked about.
void match_record(const nlmsghdr* message, const sockaddr_un* names, size_t count,
                  int64_t* owners) {
  const char* name = nullptr;
  size_t name_length = 0;
  int64_t owner = -1;
  read_record(message, &name, &name_length, &owner);
  if (name == nullptr || name_length != sizeof names[0].sun_path) return;
  for (size_t i = 0; i < count; ++i)
    if (std::memcmp(name, names[i].sun_path, name_length) == 0) owners[i] = owner;
}

// The dump of the socket diagnostics: 1 when the kernel listed every socket.
int owners_from_diagnostics(const sockaddr_un* names, size_t count, int64_t* owners) {
  const int diag = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (diag < 0) return 0;
  DumpRequest dump{};
  dump.header.nlmsg_len = sizeof dump;
  dump.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  dump.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  dump.request.sdiag_family = AF_UNIX;
  dump.request.udiag_states = ~0u;
  dump.request.udiag_show = UDIAG_SHOW_NAME | UDIAG_SHOW_UID;
  // 1 once the kernel said it listed everything, -1 when it failed.
  int outcome = 0;
  if (send(diag, &dump, sizeof dump, 0) == static_cast<ssize_t>(sizeof dump)) {
    alignas(nlmsghdr) static thread_local char reply[32768];
    while (outcome == 0) {
      ssize_t got = recv(diag, reply, sizeof reply, 0);
      if (got <= 0) break;
      for (auto* message = reinterpret_cast<const nlmsghdr*>(reply);
           outcome == 0 && NLMSG_OK(message, got); message = NLMSG_NEXT(message, got)) {
        if (message->nlmsg_type == NLMSG_DONE)
          outcome = 1;
        else if (message->nlmsg_type == NLMSG_ERROR)
          outcome = -1;
        else
          match_record(message, names, count, owners);
      }
    }
  }
  close(diag);
  return outcome == 1 ? 1 : 0;
}

// How /proc/net/unix shows an abstract name: '@' for the leading zero byte
// and for every zero byte in it.
bool proc_shows_name(const char* shown, const sockaddr_un& name) {
  if (std::strlen(shown) != sizeof name.sun_path) return false;
  for (size_t i = 0; i < sizeof name.sun_path; ++i) {
    const char c = name.sun_path[i] == '\0' ? '@' : name.sun_path[i];
    if (shown[i] != c) return false;
  }
  return true;
}

// The inode of the socket bound to each name (0: none). False when
// /proc/net/unix cannot be read.
bool bound_inodes(const sockaddr_un* names, size_t count, unsigned long long* inodes) {
  FILE* table = std::fopen("/proc/net/unix", "re");
  if (table == nullptr) return false;
  char line[512];
  // Num RefCount Protocol Flags Type St Inode [Path]
  while (std::fgets(line, sizeof line, table) != nullptr) {
    line[std::strcspn(line, "\n")] = '\0';
    unsigned long long inode = 0;
    int path_at = 0;
    if (std::sscanf(line, "%*s %*s %*s %*s %*s %*s %llu %n", &inode, &path_at) != 1 || path_at == 0)
      continue;
    for (size_t i = 0; i < count; ++i)
      if (proc_shows_name(line + path_at, names[i])) inodes[i] = inode;
  }
  std::fclose(table);
  return true;
}

bool all_digits(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

// Notes the owner of every wanted socket among one process's descriptors.
void match_descriptors(const char* pid, const unsigned long long* inodes, size_t count,
                       int64_t* owners) {
  char folder[sizeof "/proc//fd" + sizeof(dirent::d_name)];
  std::snprintf(folder, sizeof folder, "/proc/%s/fd", pid);
  DIR* fds = opendir(folder);
  if (fds == nullptr) return;  // gone, or another user's
  while (const dirent* entry = readdir(fds)) {
    if (!all_digits(entry->d_name)) continue;
    char path[sizeof folder + 1 + sizeof(dirent::d_name)];
    char target[64];
    std::snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
    const ssize_t n = readlink(path, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    unsigned long long inode = 0;
    if (std::sscanf(target, "socket:[%llu]", &inode) != 1) continue;
    for (size_t i = 0; i < count; ++i) {
      struct stat info {};
      // The socket's owner, as the diagnostics give it: its inode's.
      if (inodes[i] == inode && owners[i] < 0 && stat(path, &info) == 0) owners[i] = info.st_uid;
    }
  }
  closedir(fds);
}

}  // namespace

int os_abstract_name_owners_from_proc(const sockaddr_un* names, size_t count, int64_t* owners) {
  for (size_t i = 0; i < count; ++i) owners[i] = -1;
  constexpr size_t kMostNames = 16;
  if (count > kMostNames) return 0;
  unsigned long long inodes[kMostNames] = {};
  if (!bound_inodes(names, count, inodes)) return 0;
  size_t bound = 0;
  for (size_t i = 0; i < count; ++i) bound += inodes[i] != 0;
  if (bound == 0) return 1;
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return 0;
  while (const dirent* entry = readdir(processes))
    if (all_digits(entry->d_name)) match_descriptors(entry->d_name, inodes, count, owners);
  closedir(processes);
  // A name that is bound to a socket we could not find the owner of is not
  // known to be free.
  for (size_t i = 0; i < count; ++i)
    if (inodes[i] != 0 && owners[i] < 0) return 0;
  return 1;
}

int os_abstract_name_owners(const sockaddr_un* names, size_t count, int64_t* owners) {
  for (size_t i = 0; i < count; ++i) owners[i] = -1;
  if (owners_from_diagnostics(names, count, owners)) return 1;
  return os_abstract_name_owners_from_proc(names, count, owners);
}
