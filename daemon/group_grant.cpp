#include "daemon/group_grant.h"

#include <grp.h>

#include <charconv>
#include <cstdio>
#include <cstring>

namespace vant::daemon {
namespace {

bool parse_id(std::string_view text, unsigned long& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The numbers after "Key:" on a line of /proc/PID/status.
template <typename Each>
void each_number(const char* rest, Each each) {
  while (*rest != '\0') {
    while (*rest == ' ' || *rest == '\t') ++rest;
    const char* end = rest;
    while (*end >= '0' && *end <= '9') ++end;
    unsigned long id = 0;
    if (end == rest || !parse_id(std::string_view(rest, end - rest), id)) return;
    if (!each(id)) return;
    rest = end;
  }
}

}  // namespace

std::optional<gid_t> group_by_name(const std::string& text) {
  if (text.empty()) return std::nullopt;
  if (const group* entry = getgrnam(text.c_str())) return entry->gr_gid;
  unsigned long number = 0;
  if (parse_id(text, number) && number < static_cast<gid_t>(-1)) return static_cast<gid_t>(number);
  return std::nullopt;
}

bool sender_in_group(const ucred& sender, gid_t group, std::string_view proc) {
  if (sender.gid == group) return true;
  if (sender.pid <= 0) return false;
  const std::string path = std::string(proc) + "/" + std::to_string(sender.pid) + "/status";
  FILE* status = std::fopen(path.c_str(), "re");
  if (status == nullptr) return false;
  bool same_user = false, member = false;
  char line[4096];
  // The process id may have been taken by another process since the datagram
  // was sent: its groups count only while it has the sender's real user.
  while (std::fgets(line, sizeof line, status) != nullptr) {
    line[std::strcspn(line, "\n")] = '\0';
    if (std::strncmp(line, "Uid:", 4) == 0) {
      each_number(line + 4, [&](unsigned long id) { return same_user = id == sender.uid, false; });
    } else if (std::strncmp(line, "Groups:", 7) == 0) {
      each_number(line + 7, [&](unsigned long id) { return !(member = id == group); });
    }
  }
  std::fclose(status);
  return same_user && member;
}

}  // namespace vant::daemon
