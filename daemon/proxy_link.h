// The stream to libqmi's proxy, which owns the modem's node for the programs
// that share it (ModemManager, qmicli -p) and tracks each client's ids. The
// daemon reaches the modem through it when the proxy already holds the node,
// or when told to (--qmi-proxy).
#pragma once

#include <string>

#include "daemon/fd_link.h"

namespace vant::daemon {

// The abstract stream socket the proxy listens on.
inline constexpr const char* kQmiProxySocket = "qmi-proxy";

class ProxyLink final : public FdLink {
 public:
  // Connects to the proxy for the modem on node. Only a proxy of root or of
  // our own user is believed: another user's socket under that name could
  // answer for a modem it does not have. nullptr, with why, otherwise.
  static std::unique_ptr<ProxyLink> open(const std::string& node, std::string& why,
                                         const std::string& socket_name = kQmiProxySocket);

  LinkProtocol protocol() const override { return LinkProtocol::qmi_proxy; }
  ssize_t write_some(std::span<const uint8_t> bytes) override;
  // The proxy may keep its stream when the modem goes; its node tells.
  bool still_present() const override;

 private:
  ProxyLink(UniqueFd fd, std::string node) : FdLink(std::move(fd), std::move(node)) {}
};

}  // namespace vant::daemon
