#include "daemon/sysfs_source.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "daemon/fd_link.h"
#include "daemon/proxy_link.h"
#include "daemon/refused_nodes.h"

namespace vant::daemon {
namespace {

namespace fs = std::filesystem;
using Kind = ModemSelector::Kind;

constexpr size_t kImeiKeyDigits = 14;  // the 15th is only a check digit

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool all_hex(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
  });
}

// 1-1.2: bus, then the ports from the root hub down.
bool valid_usb_port(std::string_view port) {
  if (port.size() > 32) return false;
  const auto dash = port.find('-');
  if (dash == std::string_view::npos || !all_digits(port.substr(0, dash))) return false;
  std::string_view rest = port.substr(dash + 1);
  while (true) {
    const auto dot = rest.find('.');
    if (!all_digits(rest.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    rest = rest.substr(dot + 1);
  }
}

// 0000:01:00.0, or 01:00.0 in domain 0; lower case.
bool normal_pci_address(std::string_view text, std::string& address) {
  std::string full(text);
  if (full.size() == 7) full = "0000:" + full;
  if (full.size() != 12 || full[4] != ':' || full[7] != ':' || full[10] != '.') return false;
  if (!all_hex(full.substr(0, 4)) || !all_hex(full.substr(5, 2)) || !all_hex(full.substr(8, 2)) ||
      full[11] < '0' || full[11] > '7')
    return false;
  std::transform(full.begin(), full.end(), full.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  address = full;
  return true;
}

// What a modem says about itself, fit for a log line.
std::string shown(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 32)) out += c >= 0x20 && c < 0x7f ? c : '?';
  return out.empty() ? "(none)" : out;
}

bool imei_matches(std::string_view told, std::string_view wanted) {
  const size_t digits = std::min(kImeiKeyDigits, wanted.size());
  return told.size() >= digits && told.substr(0, digits) == wanted.substr(0, digits);
}

LinkProtocol protocol_of(Transport transport) {
  return transport == Transport::mbim ? LinkProtocol::mbim : LinkProtocol::qmux;
}

std::vector<ControlNode> of_device(const std::vector<ControlNode>& nodes, const std::string& device,
                                   Transport transport) {
  std::vector<ControlNode> found;
  std::copy_if(nodes.begin(), nodes.end(), std::back_inserter(found), [&](const ControlNode& n) {
    return n.device == device && n.transport == transport;
  });
  return found;
}

// A device's nodes, the QMUX ones first: an MBIM port is driven only on a
// modem without one.
std::vector<ControlNode> nodes_of(const std::vector<ControlNode>& nodes,
                                  const std::string& device) {
  auto found = of_device(nodes, device, Transport::qmux);
  if (found.empty()) found = of_device(nodes, device, Transport::mbim);
  return found;
}

}  // namespace

bool parse_modem_selector(std::string_view text, ModemSelector& selector, std::string& error) {
  auto value_after = [&](std::string_view prefix, std::string_view& value) {
    if (!text.starts_with(prefix)) return false;
    value = text.substr(prefix.size());
    return true;
  };
  std::string_view value;
  if (value_after("usb:", value)) {
    if (!valid_usb_port(value)) {
      error = "usb: needs a USB port path such as 1-1.2 (bus, dash, ports), not '" +
              std::string(value) + "'";
      return false;
    }
    selector = {Kind::usb, 0, "usb:" + std::string(value)};
    return true;
  }
  if (value_after("pci:", value)) {
    std::string address;
    if (!normal_pci_address(value, address)) {
      error = "pci: needs a PCI address such as 0000:01:00.0, not '" + std::string(value) + "'";
      return false;
    }
    selector = {Kind::pci, 0, "pci:" + address};
    return true;
  }
  if (value_after("imei:", value)) {
    if (!all_digits(value) || value.size() < kImeiKeyDigits || value.size() > 16) {
      error = "imei: needs the 14 to 16 digits of an IMEI, not '" + std::string(value) + "'";
      return false;
    }
    selector = {Kind::imei, 0, std::string(value)};
    return true;
  }
  if (text.empty()) {
    error = "--device needs a node path or a selector (usb:PORT, pci:ADDRESS, imei:IMEI)";
    return false;
  }
  selector = {Kind::node, 0, std::string(text)};
  return true;
}

std::vector<std::string> find_qmi_control_devices(const std::string& sysfs_root) {
  std::vector<std::string> names;
  for (const ControlNode& node : index_rule_nodes(discover_control_nodes(sysfs_root)))
    if (!node.wwan_port && node.transport == Transport::qmux) names.push_back(node.name);
  return names;
}

SysfsSource::SysfsSource(std::string sysfs_root, unsigned index, std::string dev_dir)
    : SysfsSource(ModemSelector{Kind::index, index, {}}, std::move(sysfs_root),
                  std::move(dev_dir)) {}

SysfsSource::SysfsSource(ModemSelector selector, std::string sysfs_root, std::string dev_dir)
    : selector_(std::move(selector)),
      sysfs_root_(std::move(sysfs_root)),
      dev_dir_(std::move(dev_dir)) {}

std::unique_ptr<ModemLink> SysfsSource::open(std::string& why) {
  current_.reset();
  refusal_ = Refusal::absent;
  const auto now = std::chrono::steady_clock::now();
  std::erase_if(passed_over_,
                [&](const auto& entry) { return now - entry.second >= kPassOverTime; });
  if (selector_.kind == Kind::node) return open_node_path(why);
  const auto nodes = discover_control_nodes(sysfs_root_);
  const auto found = candidates(nodes, why);
  // The index rule and imei: look further when a node is another daemon's,
  // and so does a daemon that keeps to a modem whose other interfaces other
  // daemons drive; a node or device named on the command line is waited for.
  const bool pass_over_held =
      !kept_device_.empty() || selector_.kind == Kind::index || selector_.kind == Kind::imei;
  return found.empty() ? nullptr : open_first(found, pass_over_held, why);
}

std::vector<ControlNode> SysfsSource::candidates(const std::vector<ControlNode>& nodes,
                                                 std::string& why) {
  const std::string imei_note = kept_imei_.empty() ? "" : " (IMEI " + kept_imei_ + ")";
  if (!kept_device_.empty()) {
    auto same = nodes_of(nodes, kept_device_);
    if (selector_.kind == Kind::imei) {
      // That modem wherever it is, on its own device first.
      for (const ControlNode& node : index_rule_nodes(nodes))
        if (node.device != kept_device_) same.push_back(node);
    }
    if (same.empty()) why = "waiting for modem " + kept_device_ + imei_note + " to come back";
    return same;
  }
  switch (selector_.kind) {
    case Kind::usb:
    case Kind::pci: {
      auto found = nodes_of(nodes, selector_.value);
      if (found.empty())
        why = "no control node of " + selector_.value + " (" + std::to_string(nodes.size()) +
              " nodes of other devices)";
      return found;
    }
    case Kind::imei: {
      auto all = index_rule_nodes(nodes);
      if (all.empty()) why = "no modem control node, so none with IMEI " + selector_.value;
      return all;
    }
    case Kind::index:
    case Kind::node:
      break;
  }
  auto ordered = index_rule_nodes(nodes);
  if (selector_.index >= ordered.size()) {
    why = "no modem control node number " + std::to_string(selector_.index) + " (" +
          std::to_string(ordered.size()) + " found)";
    return {};
  }
  ordered.erase(ordered.begin(), ordered.begin() + selector_.index);
  return ordered;
}

std::unique_ptr<ModemLink> SysfsSource::open_first(const std::vector<ControlNode>& candidates,
                                                   bool pass_over_held, std::string& why) {
  size_t held = 0, not_ours = 0;
  std::string first_held;
  for (const ControlNode& node : candidates) {
    if (passed_over(node)) {
      ++not_ours;
      continue;
    }
    NodeClaim claim = NodeClaim::claimed;
    auto link = open_node(node_path(node), protocol_of(node.transport), why, claim);
    if (link) {
      refusal_ = Refusal::none;
      current_ = node;
      return link;
    }
    if (claim == NodeClaim::held_by_daemon) refusal_ = Refusal::held;
    if (claim == NodeClaim::open_elsewhere) refusal_ = Refusal::open_elsewhere;
    if (!pass_over_held || claim != NodeClaim::held_by_daemon) return nullptr;
    if (held++ == 0) first_held = why;
  }
  if (held + not_ours == 0) return nullptr;
  const std::string wanted = !kept_device_.empty() ? "of modem " + kept_device_
                             : selector_.kind == Kind::imei
                                 ? "with IMEI " + selector_.value
                                 : "for modem index " + std::to_string(selector_.index);
  why = "no free modem control node " + wanted + ": " + std::to_string(held) +
        " held by other daemons, " + std::to_string(not_ours) + " of another modem" +
        (first_held.empty() ? "" : " (" + first_held + ")");
  return nullptr;
}

// What the node speaks: what sysfs shows, else what --mbim says.
LinkProtocol SysfsSource::node_path_protocol() const {
  const fs::path path(selector_.value);
  if (path.parent_path() == fs::path(dev_dir_)) {
    for (const ControlNode& node : discover_control_nodes(sysfs_root_))
      if (node.name == path.filename()) return protocol_of(node.transport);
  }
  return unknown_nodes_speak_mbim_ ? LinkProtocol::mbim : LinkProtocol::qmux;
}

std::unique_ptr<ModemLink> SysfsSource::open_node_path(std::string& why) {
  NodeClaim claim = NodeClaim::claimed;
  auto link = open_node(selector_.value, node_path_protocol(), why, claim);
  if (link) refusal_ = Refusal::none;
  if (claim == NodeClaim::held_by_daemon) refusal_ = Refusal::held;
  if (claim == NodeClaim::open_elsewhere) refusal_ = Refusal::open_elsewhere;
  return link;
}

std::unique_ptr<ModemLink> SysfsSource::open_node(const std::string& path, LinkProtocol protocol,
                                                  std::string& why, NodeClaim& claim) {
  if (const auto refused = refused_node(path)) {
    why = *refused;
    return nullptr;
  }
  // qmi-proxy is reached with QMUX only.
  if (through_proxy_ && protocol == LinkProtocol::qmux) return ProxyLink::open(path, why);
  auto link = CharDeviceLink::open(path, why, &claim, protocol);
  if (link || claim != NodeClaim::held_by_proxy) return link;
  if (protocol != LinkProtocol::qmux) {
    why += ", but this node speaks MBIM, which the daemon does not send through qmi-proxy";
    claim = NodeClaim::open_elsewhere;
    return nullptr;
  }
  std::string unreachable;
  if (auto proxied = ProxyLink::open(path, unreachable)) {
    claim = NodeClaim::claimed;
    return proxied;
  }
  why += ", but " + unreachable;
  claim = NodeClaim::open_elsewhere;
  return nullptr;
}

bool SysfsSource::identified(const std::string& imei, std::string& why) {
  // A node path is driven whatever modem is on it.
  if (!current_) return true;
  const ControlNode node = *current_;
  if (selector_.kind == Kind::imei && !imei_matches(imei, selector_.value)) {
    why = node_path(node) + " (" + node.device + ") is the modem of IMEI " + shown(imei) +
          ", not " + selector_.value + ": passed over";
    pass_over(node);
    return false;
  }
  if (!kept_imei_.empty() && !imei.empty() && imei != kept_imei_) {
    why = "the modem on " + node.device + " tells IMEI " + shown(imei) + ", not " + kept_imei_ +
          " that this daemon drives: waiting for that one";
    pass_over(node);
    return false;
  }
  kept_device_ = node.device;
  if (kept_imei_.empty() && all_digits(imei) && imei.size() <= 16) kept_imei_ = imei;
  return true;
}

bool SysfsSource::available_now(std::string& why) {
  if (selector_.kind == Kind::index || selector_.kind == Kind::imei) return true;
  const auto link = open(why);
  current_.reset();
  return link != nullptr || refusal_ == Refusal::absent;
}

void SysfsSource::pass_over(const ControlNode& node) {
  passed_over_[node.name + " " + node.device] = std::chrono::steady_clock::now();
}

bool SysfsSource::passed_over(const ControlNode& node) const {
  return passed_over_.contains(node.name + " " + node.device);
}

std::string SysfsSource::describe() const {
  switch (selector_.kind) {
    case Kind::node:
      return selector_.value;
    case Kind::usb:
    case Kind::pci:
      return "modem " + selector_.value + " in " + sysfs_root_;
    case Kind::imei:
      return "the modem of IMEI " + selector_.value + " in " + sysfs_root_;
    case Kind::index:
      break;
  }
  return "modem control node number " + std::to_string(selector_.index) + " in " + sysfs_root_ +
         ", then that modem";
}

}  // namespace vant::daemon
