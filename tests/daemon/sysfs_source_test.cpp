#include "daemon/sysfs_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "daemon/modem_discovery.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"

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

TEST(Sysfs, TheDeviceOfANodeIsItsUsbPortOrPciAddress) {
  const struct {
    const char* path;
    const char* device;
  } cases[] = {
      {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.2/1-1.2:1.4", "usb:1-1.2"},
      {"/sys/devices/pci0000:00/0000:00:14.0/usb2/2-3/2-3:1.0", "usb:2-3"},
      {"/sys/devices/platform/soc/1e1c0000.xhci/usb1/1-1/1-1.1.4/1-1.1.4:1.5", "usb:1-1.1.4"},
      {"/sys/devices/pci0000:00/0000:00:1c.0/0000:01:00.0/mhi0/mhi0_QMI/wwan/wwan0",
       "pci:0000:01:00.0"},
      {"/sys/devices/virtual/wwan/wwan0", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.device, stable_device_name(c.path)) << c.path;
}

TEST(Sysfs, DeviceSelectors) {
  using Kind = ModemSelector::Kind;
  const struct {
    const char* text;
    Kind kind;
    const char* value;
  } accepted[] = {
      {"usb:1-1.2", Kind::usb, "usb:1-1.2"},
      {"usb:3-2", Kind::usb, "usb:3-2"},
      {"pci:0000:01:00.0", Kind::pci, "pci:0000:01:00.0"},
      {"pci:02:00.1", Kind::pci, "pci:0000:02:00.1"},
      {"pci:0000:0A:00.0", Kind::pci, "pci:0000:0a:00.0"},
      {"imei:356938035643809", Kind::imei, "356938035643809"},
      {"imei:35693803564380", Kind::imei, "35693803564380"},
      {"/dev/cdc-wdm0", Kind::node, "/dev/cdc-wdm0"},
      {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.4", Kind::node,
       "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.4"},
  };
  for (const auto& c : accepted) {
    ModemSelector selector;
    std::string error;
    ASSERT_TRUE(parse_modem_selector(c.text, selector, error)) << c.text << ": " << error;
    EXPECT_EQ(c.kind, selector.kind) << c.text;
    EXPECT_EQ(c.value, selector.value) << c.text;
  }
  for (const char* text :
       {"usb:", "usb:1", "usb:1-", "usb:1-1..2", "usb:x-1", "usb:1-1.2:1.4",
        "pci:", "pci:0000:01:00.8", "pci:00:01:00.0", "pci:zzzz:01:00.0", "imei:", "imei:1234",
        "imei:35693803564380a", "imei:12345678901234567", ""}) {
    ModemSelector selector;
    std::string error;
    EXPECT_FALSE(parse_modem_selector(text, selector, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(Sysfs, EntriesThatDoNotLookLikeTheKernelsAreLeftOut) {
  const vant::test::TempDir dir;
  vant::test::FakeSysfs sysfs(dir.path());
  sysfs.add_wwan_port("wwan0qmi0", "QMI", "0000:01:00.0");
  // A type file far longer than a type, a name no kernel makes, a link loop.
  sysfs.add_wwan_port("wwan1qmi0", "QMI", "0000:02:00.0");
  const fs::path long_type = fs::path(dir.path()) / "class/wwan/wwan1qmi0/type";
  std::ofstream(long_type) << "QMI" << std::string(1 << 20, ' ');
  sysfs.add_cdc_wdm("cdc-wdm0", "qmi_wwan", "1-1");
  fs::create_directory_symlink(fs::path(dir.path()) / "class/usbmisc/cdc-wdm0",
                               fs::path(dir.path()) / "class/usbmisc/cdc-wdm1..");
  fs::create_directories(fs::path(dir.path()) / "class/usbmisc/cdc-wdm7");
  fs::create_directory_symlink(fs::path(dir.path()) / "class/usbmisc/cdc-wdm7/device",
                               fs::path(dir.path()) / "class/usbmisc/cdc-wdm7/device");
  std::vector<std::string> names;
  for (const ControlNode& node : discover_control_nodes(dir.path())) names.push_back(node.name);
  EXPECT_EQ((std::vector<std::string>{"cdc-wdm0", "wwan0qmi0"}), names);
}

// Nodes in a folder of plain files: a lock taken here stands for another
// daemon's, since flock locks belong to the open file.
class Ownership : public ::testing::Test {
 protected:
  Ownership() : sysfs_(dir_.path() + "/sys") {
    fs::create_directories(dev());
    add("cdc-wdm0", "qmi_wwan", "1-1.2");
    add("cdc-wdm1", "qmi_wwan", "1-1.3");
    add("cdc-wdm4", "cdc_mbim", "1-1.4");
  }
  ~Ownership() override {
    for (int fd : held_) close(fd);
  }
  std::string dev() const { return dir_.path() + "/dev"; }
  void add(const std::string& name, const std::string& driver, const std::string& port) {
    sysfs_.add_cdc_wdm(name, driver, port);
    std::ofstream(dev() + "/" + name) << "";
  }
  void hold(const std::string& name) {
    held_.push_back(::open((dev() + "/" + name).c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_EQ(0, flock(held_.back(), LOCK_EX | LOCK_NB));
  }
  std::string opened(SysfsSource& source, std::string& why) {
    const auto link = source.open(why);
    return link ? fs::path(link->node()).filename().string() : std::string();
  }

  vant::test::TempDir dir_;
  vant::test::FakeSysfs sysfs_;
  std::vector<int> held_;
};

TEST_F(Ownership, TheIndexRulePassesOverANodeAnotherDaemonHolds) {
  hold("cdc-wdm0");
  SysfsSource by_index(sysfs_.root(), 0, dev());
  std::string why;
  EXPECT_EQ("cdc-wdm1", opened(by_index, why)) << why;

  hold("cdc-wdm1");
  EXPECT_EQ("cdc-wdm4", opened(by_index, why)) << "the MBIM modem counts after the QMUX nodes";
  hold("cdc-wdm4");
  EXPECT_EQ("", opened(by_index, why));
  EXPECT_NE(std::string::npos, why.find("3 held by other daemons")) << why;
}

TEST_F(Ownership, ANamedNodeOrModemIsRefusedWhenHeld) {
  hold("cdc-wdm1");
  const struct {
    const char* device;
    const char* said;
  } cases[] = {
      {"usb:1-1.3", "is held by another daemon"},
      {"/cdc-wdm1", "is held by another daemon"},  // under the test's dev folder
  };
  for (const auto& c : cases) {
    ModemSelector selector;
    std::string why;
    const std::string text = c.device[0] == '/' ? dev() + c.device : c.device;
    ASSERT_TRUE(parse_modem_selector(text, selector, why)) << why;
    SysfsSource source(selector, sysfs_.root(), dev());
    EXPECT_FALSE(source.available_now(why)) << c.device;
    EXPECT_NE(std::string::npos, why.find(c.said)) << c.device << ": " << why;
  }
}

// The protocol of the link follows the node's kind in sysfs; --mbim names it
// for a node sysfs does not show. A modem with a QMUX node is driven there.
TEST_F(Ownership, EachNodeIsSpokenToInItsOwnProtocol) {
  sysfs_.add_cdc_wdm("cdc-wdm5", "cdc_mbim", "1-1.2", 12);  // beside cdc-wdm0's QMUX port
  std::ofstream(dev() + "/cdc-wdm5") << "";
  std::ofstream(dev() + "/pty") << "";
  const struct {
    const char* device;
    bool mbim_option;
    const char* node;
    LinkProtocol protocol;
  } cases[] = {
      {"usb:1-1.4", false, "cdc-wdm4", LinkProtocol::mbim},
      {"/cdc-wdm4", true, "cdc-wdm4", LinkProtocol::mbim},
      {"/cdc-wdm0", true, "cdc-wdm0", LinkProtocol::qmux},
      {"usb:1-1.2", false, "cdc-wdm0", LinkProtocol::qmux},
      {"/pty", false, "pty", LinkProtocol::qmux},
      {"/pty", true, "pty", LinkProtocol::mbim},
  };
  for (const auto& c : cases) {
    ModemSelector selector;
    std::string why;
    const std::string text = c.device[0] == '/' ? dev() + c.device : c.device;
    ASSERT_TRUE(parse_modem_selector(text, selector, why)) << why;
    SysfsSource source(selector, sysfs_.root(), dev());
    if (c.mbim_option) source.speak_mbim_on_unknown_nodes();
    const auto link = source.open(why);
    ASSERT_TRUE(link) << c.device << ": " << why;
    EXPECT_EQ(c.node, fs::path(link->node()).filename()) << c.device;
    EXPECT_EQ(c.protocol, link->protocol()) << c.device;
  }
  std::vector<std::string> order;
  for (const ControlNode& node : index_rule_nodes(discover_control_nodes(sysfs_.root())))
    order.push_back(node.name);
  EXPECT_EQ((std::vector<std::string>{"cdc-wdm0", "cdc-wdm1", "cdc-wdm4"}), order);
}

TEST_F(Ownership, ADrivenModemIsKeptToThroughANewNodeName) {
  SysfsSource source(sysfs_.root(), 0, dev());
  std::string why;
  ASSERT_EQ("cdc-wdm0", opened(source, why)) << why;
  ASSERT_TRUE(source.identified("356938035643809", why));
  EXPECT_EQ("usb:1-1.2", source.kept_device());

  // Unplugged: the index rule alone would now give cdc-wdm1.
  sysfs_.remove("cdc-wdm0");
  EXPECT_EQ("", opened(source, why));
  EXPECT_NE(std::string::npos, why.find("waiting for modem usb:1-1.2")) << why;

  add("cdc-wdm2", "qmi_wwan", "1-1.2");
  EXPECT_EQ("cdc-wdm2", opened(source, why)) << why;
  // Another modem in that port is not taken for it, and is left alone a while.
  EXPECT_FALSE(source.identified("490154203237518", why));
  EXPECT_NE(std::string::npos, why.find("not 356938035643809")) << why;
  EXPECT_EQ("", opened(source, why));
}

TEST_F(Ownership, AModemKeptToIsFoundOnTheInterfaceNoOtherDaemonHolds) {
  SysfsSource source(sysfs_.root(), 0, dev());
  std::string why;
  ASSERT_EQ("cdc-wdm0", opened(source, why)) << why;
  ASSERT_TRUE(source.identified("356938035643809", why));
  // Its first interface went to another daemon; the second one is free.
  hold("cdc-wdm0");
  sysfs_.add_cdc_wdm("cdc-wdm2", "qmi_wwan", "1-1.2", 6);
  std::ofstream(dev() + "/cdc-wdm2") << "";
  EXPECT_EQ("cdc-wdm2", opened(source, why)) << why;
}

}  // namespace
}  // namespace vant::daemon
