// The modem control nodes that sysfs shows, of every kind the kernel makes:
// cdc-wdm devices of the qmi_wwan driver (QMUX) and of cdc_mbim (MBIM), and
// the WWAN ports of the wwan class whose type is QMI or MBIM. Each comes with
// the device it belongs to, named stably by its USB port or PCI address, and
// the index rule orders them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vant::daemon {

enum class Transport { qmux, mbim };

struct ControlNode {
  std::string name;  // cdc-wdm0, wwan0qmi0: the node's name in /dev
  Transport transport = Transport::qmux;
  std::string driver;  // the driver of the device the node belongs to; empty: none found
  // Where the device sits: "usb:1-1.2", "pci:0000:01:00.0", or, when the sysfs
  // path shows neither, "sysfs:" and that path below the sysfs root.
  std::string device;
  bool wwan_port = false;  // of the wwan class rather than a cdc-wdm device
};

// Every control node below sysfs_root in the index rule's order: the cdc-wdm
// nodes of qmi_wwan by number (cdc-wdm2 before cdc-wdm10), then the QMI WWAN
// ports by name, then the MBIM nodes the same way. Entries whose names, links
// or type files do not look like the kernel's are left out.
std::vector<ControlNode> discover_control_nodes(const std::string& sysfs_root);

// The nodes in index order, element N being what modem index N gets: the
// QMUX nodes, then the MBIM nodes of modems that have no QMUX node. So the
// QMUX nodes keep the numbers that earlier versions, which drove QMUX only,
// gave them.
std::vector<ControlNode> index_rule_nodes(const std::vector<ControlNode>& nodes);

// The stable name of the device at a resolved sysfs path: the USB device
// nearest the node (its port path, 1-1.2), else the PCI function nearest it;
// empty when the path shows neither.
std::string stable_device_name(std::string_view sysfs_path);

const char* transport_name(Transport transport);

// Whether text is a cdc-wdm or WWAN node name as the kernel makes them.
bool plausible_node_name(std::string_view name);

}  // namespace vant::daemon
