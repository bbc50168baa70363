#include "daemon/modem_discovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace vant::daemon {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCdcWdmPrefix = "cdc-wdm";
constexpr std::string_view kWwanPrefix = "wwan";
constexpr std::string_view kQmiDriver = "qmi_wwan";
constexpr std::string_view kMbimDriver = "cdc_mbim";
// Kernels list the cdc-wdm devices in one of these classes.
constexpr const char* kCdcWdmClassDirs[] = {"class/usbmisc", "class/usb"};
constexpr const char* kWwanClassDir = "class/wwan";

// Bounds on what a sysfs tree (or something posing as one) can make us do.
constexpr size_t kMaxEntriesPerClass = 512;
constexpr size_t kMaxNameLength = 32;
constexpr size_t kMaxTypeLength = 32;
constexpr int kMaxDriverSearchDepth = 8;

bool is_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The kernel writes PCI addresses in lower case.
bool is_hex(std::string_view s, size_t count) {
  return s.size() == count && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// 1-1.2, 2-3: a USB device (its interfaces have a colon: 1-1.2:1.4).
bool usb_device_component(std::string_view c) {
  const auto dash = c.find('-');
  if (dash == std::string_view::npos || !is_digits(c.substr(0, dash))) return false;
  std::string_view ports = c.substr(dash + 1);
  while (true) {
    const auto dot = ports.find('.');
    if (!is_digits(ports.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    ports = ports.substr(dot + 1);
  }
}

// 0000:01:00.0
bool pci_function_component(std::string_view c) {
  return c.size() == 12 && is_hex(c.substr(0, 4), 4) && c[4] == ':' && is_hex(c.substr(5, 2), 2) &&
         c[7] == ':' && is_hex(c.substr(8, 2), 2) && c[10] == '.' && c[11] >= '0' && c[11] <= '7';
}

// The driver name a driver link points at, if it looks like one.
std::string driver_of(const fs::path& device_dir) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(device_dir / "driver", ec);
  if (ec) return {};
  const std::string name = target.filename();
  const bool plausible =
      !name.empty() && name.size() <= kMaxNameLength &&
      std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
      });
  return plausible ? name : std::string();
}

// The first driver found from dir upwards, not above the sysfs root.
std::string nearest_driver(fs::path dir, const fs::path& root) {
  for (int depth = 0; depth < kMaxDriverSearchDepth && dir.has_relative_path(); ++depth) {
    if (std::string driver = driver_of(dir); !driver.empty()) return driver;
    if (dir == root) break;
    dir = dir.parent_path();
  }
  return {};
}

// A short file's content without its trailing white space; empty when the
// file cannot be read or is longer than a type name.
std::string read_short_file(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return {};
  char buffer[kMaxTypeLength + 1];
  ssize_t n;
  do {
    n = ::read(fd, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0 || static_cast<size_t>(n) > kMaxTypeLength) return {};
  std::string text(buffer, static_cast<size_t>(n));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

// cdc-wdm2 before cdc-wdm10, wwan2qmi0 before wwan10qmi0: runs of digits
// compare as numbers.
bool natural_less(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (da && db) {
      size_t ei = i, ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      // Leading zeros aside, the longer run is the larger number.
      size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int order = a.compare(si, ei - si, b, sj, ej - sj);
      if (order != 0) return order < 0;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  return a < b;
}

// The device's stable name, or its path below the sysfs root when it has none.
std::string device_identity(const fs::path& resolved, const fs::path& root) {
  const std::string stable = stable_device_name(resolved.string());
  if (!stable.empty()) return stable;
  const std::string path = resolved.string();
  const std::string prefix = root.string() + "/";
  return "sysfs:" + (path.starts_with(prefix) ? path.substr(prefix.size()) : path);
}

struct Listing {
  std::vector<ControlNode> cdc_wdm, wwan;
};

void add_unique(std::vector<ControlNode>& nodes, ControlNode node) {
  const bool known = std::any_of(nodes.begin(), nodes.end(),
                                 [&](const ControlNode& n) { return n.name == node.name; });
  if (!known) nodes.push_back(std::move(node));
}

void list_cdc_wdm(const fs::path& root, Listing& listing) {
  for (const char* class_dir : kCdcWdmClassDirs) {
    std::error_code ec;
    size_t seen = 0;
    for (fs::directory_iterator it(root / class_dir, ec), end;
         !ec && it != end && seen < kMaxEntriesPerClass; it.increment(ec), ++seen) {
      const std::string name = it->path().filename();
      if (!name.starts_with(kCdcWdmPrefix) || !plausible_node_name(name)) continue;
      std::error_code bad;
      const fs::path device = fs::canonical(it->path() / "device", bad);
      if (bad) continue;
      ControlNode node;
      node.name = name;
      node.driver = driver_of(device);
      if (node.driver == kQmiDriver) {
        node.transport = Transport::qmux;
      } else if (node.driver == kMbimDriver) {
        node.transport = Transport::mbim;
      } else {
        continue;  // a cdc-wdm of another driver speaks neither
      }
      node.device = device_identity(device, root);
      add_unique(listing.cdc_wdm, std::move(node));
    }
  }
}

void list_wwan_ports(const fs::path& root, Listing& listing) {
  std::error_code ec;
  size_t seen = 0;
  for (fs::directory_iterator it(root / kWwanClassDir, ec), end;
       !ec && it != end && seen < kMaxEntriesPerClass; it.increment(ec), ++seen) {
    const std::string name = it->path().filename();
    if (!name.starts_with(kWwanPrefix) || !plausible_node_name(name)) continue;
    // The wwan devices themselves (wwan0) have no type; of the ports, only
    // QMI and MBIM carry a control protocol that is ours to know.
    const std::string type = read_short_file(it->path() / "type");
    ControlNode node;
    if (type == "QMI") {
      node.transport = Transport::qmux;
    } else if (type == "MBIM") {
      node.transport = Transport::mbim;
    } else {
      continue;
    }
    std::error_code bad;
    fs::path parent = fs::canonical(it->path() / "device", bad);
    if (bad) parent = fs::canonical(it->path(), bad).parent_path();
    if (bad) continue;
    node.name = name;
    node.wwan_port = true;
    node.driver = nearest_driver(parent, fs::weakly_canonical(root));
    node.device = device_identity(parent, fs::weakly_canonical(root));
    add_unique(listing.wwan, std::move(node));
  }
}

}  // namespace

bool plausible_node_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  if (name.starts_with(kCdcWdmPrefix)) return is_digits(name.substr(kCdcWdmPrefix.size()));
  return name.starts_with(kWwanPrefix) && std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
         });
}

std::string stable_device_name(std::string_view sysfs_path) {
  std::string_view rest = sysfs_path;
  std::string pci;
  while (!rest.empty()) {
    const auto slash = rest.rfind('/');
    const std::string_view component =
        slash == std::string_view::npos ? rest : rest.substr(slash + 1);
    // The USB device comes before the PCI host controller it hangs off.
    if (usb_device_component(component)) return "usb:" + std::string(component);
    if (pci.empty() && pci_function_component(component)) pci = component;
    if (slash == std::string_view::npos) break;
    rest = rest.substr(0, slash);
  }
  return pci.empty() ? std::string() : "pci:" + pci;
}

std::vector<ControlNode> discover_control_nodes(const std::string& sysfs_root) {
  std::error_code ec;
  fs::path root = fs::canonical(sysfs_root, ec);
  if (ec) return {};
  Listing listing;
  list_cdc_wdm(root, listing);
  list_wwan_ports(root, listing);
  auto by_name = [](const ControlNode& a, const ControlNode& b) {
    return natural_less(a.name, b.name);
  };
  std::sort(listing.cdc_wdm.begin(), listing.cdc_wdm.end(), by_name);
  std::sort(listing.wwan.begin(), listing.wwan.end(), by_name);
  std::vector<ControlNode> nodes;
  for (Transport transport : {Transport::qmux, Transport::mbim})
    for (const auto* group : {&listing.cdc_wdm, &listing.wwan})
      for (const ControlNode& node : *group)
        if (node.transport == transport) nodes.push_back(node);
  return nodes;
}

std::vector<ControlNode> index_rule_nodes(const std::vector<ControlNode>& nodes) {
  std::vector<ControlNode> ordered;
  std::copy_if(nodes.begin(), nodes.end(), std::back_inserter(ordered),
               [](const ControlNode& n) { return n.transport == Transport::qmux; });
  // A modem with a QMUX node is driven there, not on its MBIM port too.
  const auto has_qmux = [&](const ControlNode& n) {
    return std::any_of(ordered.begin(), ordered.end(),
                       [&](const ControlNode& q) { return q.device == n.device; });
  };
  std::vector<ControlNode> mbim;
  std::copy_if(nodes.begin(), nodes.end(), std::back_inserter(mbim), [&](const ControlNode& n) {
    return n.transport == Transport::mbim && (n.device.empty() || !has_qmux(n));
  });
  ordered.insert(ordered.end(), mbim.begin(), mbim.end());
  return ordered;
}

const char* transport_name(Transport transport) {
  return transport == Transport::qmux ? "QMUX" : "MBIM";
}

}  // namespace vant::daemon
