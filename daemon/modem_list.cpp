#include "daemon/modem_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

#include "daemon/modem_discovery.h"
#include "daemon/node_owner.h"

namespace vant::daemon {
namespace {

constexpr size_t kColumns = 6;
using Row = std::array<std::string, kColumns>;

std::string opened_by(const std::string& path) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0) return "(no node)";
  const auto openers = node_openers(node, getpid());
  return openers.empty() ? "-" : describe_openers(openers);
}

}  // namespace

std::string modem_list_text(const std::string& sysfs_root, const std::string& dev_root) {
  const auto nodes = discover_control_nodes(sysfs_root);
  if (nodes.empty())
    return "no modem control node (cdc-wdm of qmi_wwan or cdc_mbim, WWAN port of type QMI or "
           "MBIM) below " +
           sysfs_root + "\n";
  std::vector<Row> rows{{"NODE", "TRANSPORT", "DRIVER", "DEVICE", "INDEX", "OPEN BY"}};
  unsigned index = 0;
  size_t mbim = 0;
  for (const ControlNode& node : nodes) {
    const std::string path = dev_root + "/" + node.name;
    const bool driven = node.transport == Transport::qmux;
    mbim += !driven;
    rows.push_back({path, transport_name(node.transport), node.driver.empty() ? "?" : node.driver,
                    node.device, driven ? std::to_string(index++) : "-", opened_by(path)});
  }
  std::array<size_t, kColumns> width{};
  for (const Row& row : rows)
    for (size_t c = 0; c < kColumns; ++c) width[c] = std::max(width[c], row[c].size());
  std::string text;
  for (const Row& row : rows) {
    std::string line;
    for (size_t c = 0; c < kColumns; ++c) {
      line += row[c];
      if (c + 1 < kColumns) line.append(width[c] - row[c].size() + 2, ' ');
    }
    text += line + "\n";
  }
  if (mbim != 0) text += "MBIM nodes are listed but not driven: this daemon speaks QMUX only.\n";
  return text;
}

}  // namespace vant::daemon
