#include "daemon/sysfs_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace vant::daemon {
namespace {

namespace fs = std::filesystem;

class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vant-sysfs-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "bus/usb/drivers");
  }
  void TearDown() override { fs::remove_all(root_); }

  void add(const std::string& class_dir, const std::string& name, const std::string& driver) {
    const fs::path device = root_ / "devices" / name;
    fs::create_directories(device);
    fs::create_directories(root_ / "bus/usb/drivers" / driver);
    fs::create_symlink(root_ / "bus/usb/drivers" / driver, device / "driver");
    fs::create_directories(root_ / class_dir / name);
    fs::create_directory_symlink(device, root_ / class_dir / name / "device");
  }

  fs::path root_;
};

TEST_F(FakeSysfs, ListsOnlyQmiControlDevicesInNumericOrder) {
  add("class/usbmisc", "cdc-wdm10", "qmi_wwan");
  add("class/usbmisc", "cdc-wdm2", "qmi_wwan");
  add("class/usbmisc", "cdc-wdm0", "cdc_mbim");
  add("class/usb", "cdc-wdm1", "qmi_wwan");
  add("class/usbmisc", "ttyUSB0", "qmi_wwan");
  const std::vector<std::string> expected{"cdc-wdm1", "cdc-wdm2", "cdc-wdm10"};
  EXPECT_EQ(expected, find_qmi_control_devices(root_));
}

TEST_F(FakeSysfs, AModemIndexBeyondTheDevicesIsNoModem) {
  add("class/usbmisc", "cdc-wdm0", "qmi_wwan");
  SysfsSource source(root_, 1, (root_ / "dev").string());
  std::string why;
  EXPECT_EQ(nullptr, source.open(why));
  EXPECT_NE(std::string::npos, why.find("1 found")) << why;
}

TEST(Sysfs, AMissingTreeHasNoDevices) {
  EXPECT_TRUE(find_qmi_control_devices("/nonexistent/sysfs").empty());
}

}  // namespace
}  // namespace vant::daemon
