// A sysfs tree laid out as the kernel lays it out for modems: cdc-wdm nodes
// under the USB interface of their device, WWAN ports under the wwan device
// of a PCI modem, the class directories linking to them.
#pragma once

#include <string>

namespace vant::test {

class FakeSysfs {
 public:
  explicit FakeSysfs(std::string root) : root_(std::move(root)) {}
  const std::string& root() const { return root_; }

  // cdc-wdm `name` on interface 1.<interface> of the USB device at `port`
  // (1-1.2), bound to `driver`, listed in class_dir.
  void add_cdc_wdm(const std::string& name, const std::string& driver, const std::string& port,
                   int interface = 4, const std::string& class_dir = "class/usbmisc");
  // WWAN port `name` (wwan0qmi0) of type `type` (QMI, MBIM, AT) of the PCI
  // modem at `address` (0000:01:00.0), whose MHI channel `driver` drives.
  void add_wwan_port(const std::string& name, const std::string& type, const std::string& address,
                     const std::string& driver = "mhi_wwan_ctrl");
  // The node leaves its class, as when its device is unplugged.
  void remove(const std::string& name);

 private:
  std::string root_;
};

}  // namespace vant::test
