#include "tests/support/fake_sysfs.h"

#include <filesystem>
#include <fstream>

namespace vant::test {
namespace {

namespace fs = std::filesystem;

void link(const fs::path& target, const fs::path& at) {
  std::error_code ignored;
  fs::remove(at, ignored);
  fs::create_directories(at.parent_path());
  fs::create_symlink(target, at);
}

}  // namespace

void FakeSysfs::add_cdc_wdm(const std::string& name, const std::string& driver,
                            const std::string& port, int interface, const std::string& class_dir) {
  const fs::path root(root_);
  const fs::path usb = root / "devices/pci0000:00/0000:00:14.0/usb1" / port;
  const fs::path iface = usb / (port + ":1." + std::to_string(interface));
  fs::create_directories(root / "bus/usb/drivers" / driver);
  fs::create_directories(iface);
  link(root / "bus/usb/drivers" / driver, iface / "driver");
  const fs::path node = iface / fs::path(class_dir).filename() / name;
  fs::create_directories(node);
  link(iface, node / "device");
  link(node, root / class_dir / name);
}

void FakeSysfs::add_wwan_port(const std::string& name, const std::string& type,
                              const std::string& address, const std::string& driver) {
  const fs::path root(root_);
  const std::string wwan = name.substr(0, name.find_first_not_of("0123456789", 4));
  const fs::path channel =
      root / "devices/pci0000:00/0000:00:1c.0" / address / "mhi0" / ("mhi0_" + type);
  const fs::path parent = channel / "wwan" / wwan;
  fs::create_directories(root / "bus/mhi/drivers" / driver);
  fs::create_directories(parent / name);
  link(root / "bus/mhi/drivers" / driver, channel / "driver");
  link(channel, parent / "device");
  link(parent, parent / name / "device");
  std::ofstream(parent / name / "type") << type << "\n";
  link(parent, root / "class/wwan" / wwan);
  link(parent / name, root / "class/wwan" / name);
}

void FakeSysfs::remove(const std::string& name) {
  std::error_code ignored;
  for (const char* class_dir : {"class/usbmisc", "class/usb", "class/wwan"})
    fs::remove(fs::path(root_) / class_dir / name, ignored);
}

}  // namespace vant::test
