#include "daemon/modem_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

#include "daemon/modem_discovery.h"
#include "daemon/node_owner.h"
#include "daemon/options.h"

namespace vant::daemon {
namespace {

constexpr size_t kColumns = 6;
using Row = std::array<std::string, kColumns>;

constexpr size_t kMaxCommandLine = 4096;
constexpr size_t kMaxArguments = 64;

// The modem index a daemon serves, read from its command line; -1 when it
// cannot be told.
int daemon_index(pid_t pid) {
  const int fd =
      ::open(("/proc/" + std::to_string(pid) + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  std::string text(kMaxCommandLine, '\0');
  const ssize_t n = ::read(fd, text.data(), text.size());
  ::close(fd);
  if (n <= 0 || static_cast<size_t>(n) == text.size()) return -1;
  text.resize(static_cast<size_t>(n));
  std::vector<std::string> words;
  for (size_t at = 0; at < text.size() && words.size() < kMaxArguments;) {
    const size_t end = text.find('\0', at);
    words.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  const ParseResult parsed = parse_daemon_options(static_cast<int>(argv.size()), argv.data());
  return parsed.action == ParseAction::run ? static_cast<int>(parsed.options.modem) : -1;
}

std::string opened_by(const std::string& path) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0) return "(no node)";
  auto openers = node_openers(node, getpid());
  if (openers.empty()) return "-";
  for (NodeOpener& o : openers) {
    if (o.command != "vantsdk" && o.command != "vantsdk-sim") continue;
    const int index = daemon_index(o.pid);
    if (index >= 0) o.command += " of modem " + std::to_string(index);
  }
  return describe_openers(openers);
}

}  // namespace

std::string modem_list_text(const std::string& sysfs_root, const std::string& dev_root) {
  const auto nodes = discover_control_nodes(sysfs_root);
  if (nodes.empty())
    return "no modem control node (cdc-wdm of qmi_wwan or cdc_mbim, WWAN port of type QMI or "
           "MBIM) below " +
           sysfs_root + "\n";
  std::vector<Row> rows{{"NODE", "TRANSPORT", "DRIVER", "DEVICE", "INDEX", "OPEN BY"}};
  const auto ordered = index_rule_nodes(nodes);
  for (const ControlNode& node : nodes) {
    const std::string path = dev_root + "/" + node.name;
    const auto at = std::find_if(ordered.begin(), ordered.end(),
                                 [&](const ControlNode& n) { return n.name == node.name; });
    const std::string index =
        at == ordered.end() ? "-" : std::to_string(std::distance(ordered.begin(), at));
    rows.push_back({path, transport_name(node.transport), node.driver.empty() ? "?" : node.driver,
                    node.device, index, opened_by(path)});
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
  return text;
}

}  // namespace vant::daemon
