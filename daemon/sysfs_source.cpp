#include "daemon/sysfs_source.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "daemon/fd_link.h"

namespace vant::daemon {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDevicePrefix = "cdc-wdm";
constexpr std::string_view kQmiDriver = "qmi_wwan";
// Kernels list the control devices in one of these classes.
constexpr const char* kClassDirs[] = {"class/usbmisc", "class/usb"};

bool bound_to_qmi_driver(const fs::path& device_dir) {
  std::error_code ec;
  const fs::path driver = fs::read_symlink(device_dir / "device" / "driver", ec);
  return !ec && driver.filename() == kQmiDriver;
}

// cdc-wdm2 before cdc-wdm10: longer digit strings are larger numbers.
bool natural_less(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

std::vector<std::string> find_qmi_control_devices(const std::string& sysfs_root) {
  std::vector<std::string> names;
  for (const char* class_dir : kClassDirs) {
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(sysfs_root) / class_dir, ec), end; !ec && it != end;
         it.increment(ec)) {
      const std::string name = it->path().filename();
      if (!name.starts_with(kDevicePrefix) || !bound_to_qmi_driver(it->path())) continue;
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), natural_less);
  return names;
}

std::unique_ptr<ModemLink> SysfsSource::open(std::string& why) {
  const auto names = find_qmi_control_devices(sysfs_root_);
  if (index_ >= names.size()) {
    why = "no QMI control device number " + std::to_string(index_) + " (" +
          std::to_string(names.size()) + " found)";
    return nullptr;
  }
  return CharDeviceLink::open(dev_dir_ + "/" + names[index_], why);
}

std::string SysfsSource::describe() const {
  return "QMI control device number " + std::to_string(index_) + " in " + sysfs_root_;
}

}  // namespace vant::daemon
