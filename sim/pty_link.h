// A pseudo-terminal in raw mode whose other side is published under a chosen
// path (a symbolic link), so that a host can open it like a control device.
#pragma once

#include <optional>
#include <string>

namespace vant::sim {

class PtyLink {
 public:
  // Opens a new pseudo-terminal and links path to its other side. An old
  // symbolic link at path is replaced; any other file there is left alone and
  // reported as an error.
  static std::optional<PtyLink> open(const std::string& path, std::string& error);

  PtyLink(PtyLink&& other) noexcept;
  PtyLink& operator=(PtyLink&&) = delete;
  PtyLink(const PtyLink&) = delete;
  // Closes the master and removes the link if it still points at our side.
  ~PtyLink();

  int master() const { return master_; }
  const std::string& path() const { return path_; }
  const std::string& terminal() const { return terminal_; }

 private:
  PtyLink(int master, std::string path, std::string terminal)
      : master_(master), path_(std::move(path)), terminal_(std::move(terminal)) {}

  int master_ = -1;
  std::string path_;
  std::string terminal_;
};

}  // namespace vant::sim
