// Who holds an abstract socket name: the kernel's socket diagnostics list
// every Unix socket of the network namespace with its name and its owner's
// user, also to unprivileged callers.
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <unistd.h>

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

}  // namespace

int os_abstract_name_owners(const sockaddr_un* names, size_t count, int64_t* owners) {
  for (size_t i = 0; i < count; ++i) owners[i] = -1;
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
