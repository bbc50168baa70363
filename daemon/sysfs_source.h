// Finds the modem a daemon drives among the control nodes that sysfs shows
// (modem_discovery.h), and keeps to it: once a modem has been driven, the
// source follows its device (USB port or PCI address) and its IMEI, through
// an unplug and a new node name, and never moves to another modem.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "daemon/modem_discovery.h"
#include "daemon/modem_link.h"
#include "daemon/node_owner.h"

namespace vant::daemon {

// Which modem: the modem index (the index rule), or --device's value.
struct ModemSelector {
  enum class Kind { index, node, usb, pci, imei };
  Kind kind = Kind::index;
  unsigned index = 0;
  std::string value;  // node path, USB port (1-1.2), PCI address (0000:01:00.0), IMEI
};

// Parses a --device value: "usb:PORT", "pci:ADDRESS" (the domain may be left
// out), "imei:IMEI" (14 to 16 digits), anything else a node path.
bool parse_modem_selector(std::string_view text, ModemSelector& selector, std::string& error);

// The names (cdc-wdm0, ...) of the QMUX cdc-wdm devices below sysfs_root, in
// index order (the MBIM nodes that the index rule counts after them are left
// out).
std::vector<std::string> find_qmi_control_devices(const std::string& sysfs_root);

class SysfsSource final : public LinkSource {
 public:
  // How long a node whose modem turned out not to be ours is left alone.
  static constexpr std::chrono::seconds kPassOverTime{30};

  SysfsSource(std::string sysfs_root, unsigned index, std::string dev_dir = "/dev");
  SysfsSource(ModemSelector selector, std::string sysfs_root, std::string dev_dir = "/dev");

  std::unique_ptr<ModemLink> open(std::string& why) override;
  std::string describe() const override;
  bool identified(const std::string& imei, std::string& why) override;
  // --qmi-proxy: every QMUX node is reached through libqmi's proxy.
  void reach_through_proxy() { through_proxy_ = true; }
  // --mbim: a node path whose kind sysfs does not show (a pseudo-terminal)
  // speaks MBIM.
  void speak_mbim_on_unknown_nodes() { unknown_nodes_speak_mbim_ = true; }

  // Whether the selector's node can be driven now: false, with why, when
  // it is held by another daemon or open in another program.
  // Always true for the index rule and imei:, which pass such nodes over.
  bool available_now(std::string& why);

  // The modem kept to ("usb:1-1.2"; empty before the first) and its IMEI.
  const std::string& kept_device() const { return kept_device_; }
  const std::string& kept_imei() const { return kept_imei_; }

 private:
  enum class Refusal { none, absent, held, open_elsewhere };

  std::unique_ptr<ModemLink> open_node_path(std::string& why);
  LinkProtocol node_path_protocol() const;
  std::unique_ptr<ModemLink> open_node(const std::string& path, LinkProtocol protocol,
                                       std::string& why, NodeClaim& claim);
  std::unique_ptr<ModemLink> open_first(const std::vector<ControlNode>& candidates,
                                        bool pass_over_held, std::string& why);
  std::vector<ControlNode> candidates(const std::vector<ControlNode>& nodes, std::string& why);
  void pass_over(const ControlNode& node);
  bool passed_over(const ControlNode& node) const;
  std::string node_path(const ControlNode& node) const { return dev_dir_ + "/" + node.name; }

  ModemSelector selector_;
  bool through_proxy_ = false;
  bool unknown_nodes_speak_mbim_ = false;
  std::string sysfs_root_;
  std::string dev_dir_;
  Refusal refusal_ = Refusal::none;
  std::optional<ControlNode> current_;  // the node last opened
  std::string kept_device_;
  std::string kept_imei_;
  // Nodes whose modem was not ours, by name and device, and since when.
  std::map<std::string, std::chrono::steady_clock::time_point> passed_over_;
};

}  // namespace vant::daemon
