#include "daemon/change_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "daemon/unique_fd.h"
#include "qmux/stream.h"

namespace vant::daemon {
namespace {

std::string failed(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool sync_directory(const std::string& directory) {
  const UniqueFd fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && fsync(fd.get()) == 0;
}

bool owned_safely(const struct stat& st, bool root_may_own) {
  const bool owner_ok = st.st_uid == geteuid() || (root_may_own && st.st_uid == 0);
  return owner_ok && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

ChangeJournal::ChangeJournal(std::string directory, unsigned modem)
    : directory_(std::move(directory)),
      path_(directory_ + "/modem" + std::to_string(modem) + ".change") {}

bool ChangeJournal::directory_safe(std::string& why) const {
  if (mkdir(directory_.c_str(), 0755) != 0 && errno != EEXIST) {
    why = failed("cannot make the state directory " + directory_);
    return false;
  }
  struct stat st {};
  if (lstat(directory_.c_str(), &st) != 0) {
    why = failed("cannot look at the state directory " + directory_);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || !owned_safely(st, true)) {
    why = "the state directory " + directory_ +
          " is not a directory of ours that only we can write to";
    return false;
  }
  return true;
}

bool ChangeJournal::write(const ChangeRecord& record, std::string& why) const {
  if (!directory_safe(why)) return false;
  const std::string temporary = path_ + ".new";
  unlink(temporary.c_str());  // a leftover of a crash; O_EXCL below refuses anything planted
  const UniqueFd fd(
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (fd.get() < 0) {
    why = failed("cannot create " + temporary);
    return false;
  }
  const std::string text = encode_change(record);
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (!qmux::write_all(fd.get(), bytes) || fsync(fd.get()) != 0) {
    why = failed("cannot write " + temporary);
    unlink(temporary.c_str());
    return false;
  }
  if (rename(temporary.c_str(), path_.c_str()) != 0) {
    why = failed("cannot rename " + temporary);
    unlink(temporary.c_str());
    return false;
  }
  if (!sync_directory(directory_)) {
    why = failed("cannot sync " + directory_);
    return false;
  }
  return true;
}

std::optional<ChangeRecord> ChangeJournal::read(std::string& why) const {
  why.clear();
  const UniqueFd fd(open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    if (errno != ENOENT) why = failed("cannot open " + path_);
    return std::nullopt;
  }
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || !owned_safely(st, false)) {
    why = path_ + " is not a regular file of ours that only we can write to";
    return std::nullopt;
  }
  if (!directory_safe(why)) return std::nullopt;
  std::string text(kJournalLimit + 1, '\0');
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = failed("cannot read " + path_);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  text.resize(got);
  auto record = decode_change(text);
  if (!record) why = path_ + " is not a whole journal";
  return record;
}

bool ChangeJournal::remove(std::string& why) const {
  if (unlink(path_.c_str()) != 0 && errno != ENOENT) {
    why = failed("cannot remove " + path_);
    return false;
  }
  if (!sync_directory(directory_)) {
    why = failed("cannot sync " + directory_);
    return false;
  }
  return true;
}

std::string current_boot_id() {
  const UniqueFd fd(open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC));
  char text[64] = {};
  if (fd.get() < 0) return {};
  const ssize_t n = ::read(fd.get(), text, sizeof text - 1);
  std::string id(text, n > 0 ? static_cast<size_t>(n) : 0);
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  return journal_text_ok(id) ? id : std::string();
}

}  // namespace vant::daemon
