// Where a pending change lives while the daemon holds it: one file per modem
// in the state directory, written whole and durably (a temporary file,
// fsync, rename, fsync of the directory) before the change reaches the
// modem, so that a crash, a kill or a power cut at any moment leaves either
// the old journal or the new one.
//
// The daemon replays what it finds there to the modem, so it believes only a
// file that it could have written itself: a regular file (no symlink) owned
// by its own user and writable by nobody else, in a directory owned by that
// user or root that other users cannot write to.
#pragma once

#include <optional>
#include <string>

#include "daemon/change_record.h"

namespace vant::daemon {

inline constexpr const char* kDefaultStateDir = "/var/lib/vant";

class ChangeJournal {
 public:
  ChangeJournal(std::string directory, unsigned modem);

  const std::string& path() const { return path_; }

  // False with a reason when the record could not be made durable.
  bool write(const ChangeRecord& record, std::string& why) const;
  // Nothing when there is no journal; `why` says why a file that is there was
  // not believed (it is then left where it is for the admin to look at).
  std::optional<ChangeRecord> read(std::string& why) const;
  bool remove(std::string& why) const;

 private:
  bool directory_safe(std::string& why) const;

  std::string directory_;
  std::string path_;
};

// The kernel's id of this boot: a change found after a reboot is undone at once.
std::string current_boot_id();

}  // namespace vant::daemon
