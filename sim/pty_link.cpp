#include "sim/pty_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vant::sim {
namespace {

std::string errno_text() {
  return std::strerror(errno);
}

// The link's target, or empty when path is not a symbolic link.
std::string link_target(const std::string& path) {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

bool make_raw(int master, std::string& error) {
  termios tio{};
  if (tcgetattr(master, &tio) != 0) {
    error = "cannot read the terminal settings: " + errno_text();
    return false;
  }
  // QMUX is binary: no line discipline may touch a byte.
  cfmakeraw(&tio);
  if (tcsetattr(master, TCSANOW, &tio) != 0) {
    error = "cannot set raw mode: " + errno_text();
    return false;
  }
  return true;
}

bool publish(const std::string& terminal, const std::string& path, std::string& error) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = path + " exists and is not a symbolic link; not replacing it";
      return false;
    }
    unlink(path.c_str());
  }
  if (symlink(terminal.c_str(), path.c_str()) != 0) {
    error = "cannot create the link " + path + ": " + errno_text();
    return false;
  }
  return true;
}

}  // namespace

std::optional<PtyLink> PtyLink::open(const std::string& path, std::string& error) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master < 0) {
    error = "cannot open a pseudo-terminal: " + errno_text();
    return std::nullopt;
  }
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    error = "cannot prepare the pseudo-terminal: " + errno_text();
    close(master);
    return std::nullopt;
  }
  if (!make_raw(master, error) || !publish(name, path, error)) {
    close(master);
    return std::nullopt;
  }
  return PtyLink(master, path, name);
}

PtyLink::PtyLink(PtyLink&& other) noexcept
    : master_(other.master_), path_(std::move(other.path_)), terminal_(std::move(other.terminal_)) {
  other.master_ = -1;
}

PtyLink::~PtyLink() {
  if (master_ < 0) return;
  // Another instance may have taken the path over meanwhile; leave its link.
  if (link_target(path_) == terminal_) unlink(path_.c_str());
  close(master_);
}

}  // namespace vant::sim
