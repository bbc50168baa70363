// Finds the modem of an index among the QMI control devices that sysfs
// shows: cdc-wdm devices whose driver is qmi_wwan, in name order.
#pragma once

#include <string>
#include <vector>

#include "daemon/modem_link.h"

namespace vant::daemon {

// The names (cdc-wdm0, ...) of the QMI control devices below sysfs_root,
// sorted with their numbers compared as numbers (cdc-wdm2 before cdc-wdm10).
std::vector<std::string> find_qmi_control_devices(const std::string& sysfs_root);

class SysfsSource final : public LinkSource {
 public:
  SysfsSource(std::string sysfs_root, unsigned index, std::string dev_dir = "/dev")
      : sysfs_root_(std::move(sysfs_root)), index_(index), dev_dir_(std::move(dev_dir)) {}
  std::unique_ptr<ModemLink> open(std::string& why) override;
  std::string describe() const override;

 private:
  std::string sysfs_root_;
  unsigned index_;
  std::string dev_dir_;
};

}  // namespace vant::daemon
