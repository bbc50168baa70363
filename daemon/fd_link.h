// Links over a descriptor: a character device (a QMI control device or a
// pseudo-terminal) opened by path, and one end of a socketpair.
#pragma once

#include <sys/stat.h>

#include "daemon/modem_link.h"
#include "daemon/node_owner.h"
#include "daemon/unique_fd.h"

namespace vant::daemon {

class FdLink : public ModemLink {
 public:
  int fd() const override { return fd_.get(); }
  const std::string& node() const override { return node_; }
  LinkProtocol protocol() const override { return protocol_; }
  LinkRead read(std::span<uint8_t> buffer, size_t& got) override;

 protected:
  FdLink(UniqueFd fd, std::string node, LinkProtocol protocol = LinkProtocol::qmux)
      : fd_(std::move(fd)), node_(std::move(node)), protocol_(protocol) {}
  // A write to a stream socket: without SIGPIPE, and without waiting.
  ssize_t send_some(std::span<const uint8_t> bytes);
  UniqueFd fd_;
  std::string node_;
  LinkProtocol protocol_;
};

class CharDeviceLink final : public FdLink {
 public:
  // Opens path read-write, without making it our controlling terminal, puts
  // a terminal into raw mode so that no byte of a frame is translated, and
  // claims the node (claim_node): a node held by another daemon or open in
  // another program is not used, and *claim, when given, says which. The
  // protocol is what the node speaks (sysfs or --mbim tell).
  static std::unique_ptr<CharDeviceLink> open(const std::string& path, std::string& why,
                                              NodeClaim* claim = nullptr,
                                              LinkProtocol protocol = LinkProtocol::qmux);

  ssize_t write_some(std::span<const uint8_t> bytes) override;
  bool still_present() const override;
  int watch_fd() const override { return watch_.get(); }
  void drain_watch() override;

 private:
  CharDeviceLink(UniqueFd fd, std::string path, struct stat identity, LinkProtocol protocol);
  struct stat identity_;
  // Watches the node's directory, so that its removal is noticed at once.
  UniqueFd watch_;
};

class SocketpairLink final : public FdLink {
 public:
  // Takes one end of a stream socketpair; node is what clients are told.
  SocketpairLink(UniqueFd fd, std::string node, LinkProtocol protocol = LinkProtocol::qmux);
  ssize_t write_some(std::span<const uint8_t> bytes) override;
};

}  // namespace vant::daemon
