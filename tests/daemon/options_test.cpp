#include "daemon/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace vant::daemon {
namespace {

ParseResult parse(std::vector<const char*> args, const char* program = "vantsdk") {
  args.insert(args.begin(), program);
  return parse_daemon_options(static_cast<int>(args.size()), args.data());
}

TEST(DaemonOptions, HowTheClientStartsIt) {
  const auto r = parse({"7"});
  ASSERT_EQ(ParseAction::run, r.action) << r.error;
  EXPECT_EQ(7u, r.options.modem);
  EXPECT_FALSE(r.options.foreground);
  EXPECT_FALSE(r.options.simulate);
  EXPECT_TRUE(r.options.device.empty());
  EXPECT_EQ(kDefaultSysfsRoot, r.options.sysfs_root);
}

TEST(DaemonOptions, AcceptedForms) {
  struct Case {
    std::vector<const char*> args;
    unsigned modem;
    std::string device;
    bool simulate;
    std::string scenario;
    bool foreground;
  };
  const Case cases[] = {
      {{}, 0, "", false, "", false},
      {{"--device", "/dev/cdc-wdm1", "3"}, 3, "/dev/cdc-wdm1", false, "", false},
      {{"3", "--device=/dev/pts/4"}, 3, "/dev/pts/4", false, "", false},
      {{"-d", "/dev/x", "-f"}, 0, "/dev/x", false, "", true},
      {{"-d/dev/x"}, 0, "/dev/x", false, "", false},
      {{"-fv", "11"}, 11, "", false, "", true},
      {{"--simulate", "2"}, 2, "", true, "", false},
      {{"--simulate=modem-flaps"}, 0, "", true, "modem-flaps", false},
      {{"-smodem-flaps", "--foreground"}, 0, "", true, "modem-flaps", true},
      {{"--", "5"}, 5, "", false, "", false},
      {{"--device", "/dev/pts/4", "--mbim"}, 0, "/dev/pts/4", false, "", false},
      {{"--mbim", "-s"}, 0, "", true, "", false},
  };
  for (const auto& c : cases) {
    const auto r = parse(c.args);
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    ASSERT_EQ(ParseAction::run, r.action) << line << r.error;
    EXPECT_EQ(c.modem, r.options.modem) << line;
    EXPECT_EQ(c.device, r.options.device) << line;
    EXPECT_EQ(c.simulate, r.options.simulate) << line;
    EXPECT_EQ(c.scenario, r.options.scenario) << line;
    EXPECT_EQ(c.foreground, r.options.foreground) << line;
  }
}

TEST(DaemonOptions, RefusedForms) {
  const std::vector<std::vector<const char*>> cases = {
      {"12"},
      {"-1"},
      {"1x"},
      {""},
      {"1", "2"},
      {"--device"},
      {"--device="},
      {"--bogus"},
      {"-q"},
      {"--foreground=yes"},
      {"-d"},
      {"--device", "/dev/x", "--simulate"},
      {"--take-over=yes"},
      {"--device", "usb:1-"},
      {"--device=pci:1:2"},
      {"-dimei:12"},
      {"--dev-root"},
      {"--list=yes"},
      {"--mbim"},  // the index rule's nodes are of the kind sysfs tells
      {"--mbim", "--device", "usb:1-1.2"},
      {"--mbim", "--device", "/dev/x", "--qmi-proxy"},
  };
  for (const auto& args : cases) {
    const auto r = parse(args);
    std::string line;
    for (const char* a : args) line += std::string(a) + " ";
    EXPECT_EQ(ParseAction::error, r.action) << line;
    EXPECT_FALSE(r.error.empty()) << line;
  }
}

TEST(DaemonOptions, TheSimulatorNameStartsInSimulationMode) {
  EXPECT_TRUE(parse({"1"}, "/usr/sbin/vantsdk-sim").options.simulate);
  EXPECT_TRUE(parse({}, "vantsdk-sim").options.simulate);
  EXPECT_FALSE(parse({}, "/opt/vantsdk-sim/vantsdk").options.simulate);
  EXPECT_EQ(ParseAction::error, parse({"--device", "/dev/x"}, "vantsdk-sim").action);
}

TEST(DaemonOptions, HelpNamesEveryOption) {
  EXPECT_EQ(ParseAction::help, parse({"--help"}).action);
  EXPECT_EQ(ParseAction::help, parse({"3", "-h", "--bogus"}).action);
  const std::string text = daemon_usage("vantsdk");
  for (const char* name :
       {"--device PATH", "--simulate[=SCENARIO]", "--foreground", "--verbose", "--take-over",
        "--sysfs-root DIR", "--help", "-d, ", "-s, ", "-f, ", "-v, ", "-h, "})
    EXPECT_NE(std::string::npos, text.find(name)) << name;
}

}  // namespace
}  // namespace vant::daemon
