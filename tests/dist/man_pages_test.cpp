// Every option a program takes is described in its manual page: the option
// tables (and the help texts built from them) are compared with the pages, so
// that an option added to a program without its page fails here.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "daemon/options.h"
#include "src/option_table.h"
#include "tests/support/process_runner.h"

namespace {

std::string read_page(const std::string& name) {
  std::ifstream in(std::string(VANT_SOURCE_DIR) + "/docs/man/" + name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A page writes "--sdk_path" as "\-\-sdk_path" and "-s" as "\-s".
std::string as_roff(const std::string& option) {
  std::string text;
  for (char c : option) text += c == '-' ? std::string("\\-") : std::string(1, c);
  return text;
}

bool page_names(const std::string& page, const std::string& option) {
  // The option must not run on into a longer name ("\-\-scan" in "\-\-scanner").
  const std::string roff = as_roff(option);
  for (size_t at = page.find(roff); at != std::string::npos; at = page.find(roff, at + 1)) {
    const size_t end = at + roff.size();
    if (end >= page.size() || !(std::isalnum(static_cast<unsigned char>(page[end])) ||
                                page[end] == '_' || page.compare(end, 2, "\\-") == 0))
      return true;
  }
  return false;
}

// The options a help text lists: "-d, --device PATH" gives -d and --device.
std::set<std::string> options_in_help(const std::string& help) {
  std::set<std::string> options;
  const std::regex option(R"((?:^|[\s,\[])(--?[a-z][a-z_-]*))");
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it)
    options.insert((*it)[1]);
  return options;
}

void expect_page_names_all(const std::string& page_name, const std::set<std::string>& options) {
  const std::string page = read_page(page_name);
  ASSERT_FALSE(page.empty()) << page_name << " is missing";
  for (const auto& option : options)
    EXPECT_TRUE(page_names(page, option)) << page_name << " does not describe " << option;
}

TEST(ManPages, VantctlPageDescribesEveryOptionOfTheTable) {
  std::set<std::string> options;
  for (const auto& entry : OptionTable) {
    options.insert(std::string("--") + entry.longOption.name);
    options.insert(std::string("-") + static_cast<char>(entry.longOption.val));
  }
  ASSERT_EQ(static_cast<size_t>(2 * kOptionTableSize), options.size());
  expect_page_names_all("vantctl.1", options);
}

TEST(ManPages, DaemonPageDescribesEveryOptionOfItsHelp) {
  const auto options = options_in_help(vant::daemon::daemon_usage("vantsdk"));
  ASSERT_TRUE(options.count("--simulate") && options.count("--sysfs-root"));
  expect_page_names_all("vantsdk.8", options);
}

TEST(ManPages, EmulatorPageDescribesEveryOptionOfItsHelp) {
  const auto result = vant::test::run_process({std::string(VANT_BIN_DIR) + "/vantsim", "--help"});
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  const auto options = options_in_help(result.out);
  ASSERT_TRUE(options.count("--link") && options.count("--scenario"));
  expect_page_names_all("vantsim.1", options);
}

#ifdef VANT_FRONT_END_BUILT
// vant's options are spread over its commands: each command's help lists its own.
TEST(ManPages, VantPageDescribesEveryOptionOfEveryCommand) {
  std::set<std::string> options;
  for (const auto& command :
       {"", "cells", "lock", "lock set lte-pci", "operators", "device", "watch", "best-cell",
        "pending", "confirm", "revert", "signal", "bands", "bands set"}) {
    std::vector<std::string> argv{std::string(VANT_BIN_DIR) + "/vant"};
    std::istringstream words(command);
    for (std::string word; words >> word;) argv.push_back(word);
    argv.emplace_back("--help");
    const auto result = vant::test::run_process(argv);
    ASSERT_TRUE(result.exited_with(0)) << command << ": " << result.err;
    options.merge(options_in_help(result.out));
  }
  ASSERT_TRUE(options.count("--sdk-path") && options.count("--prometheus"));
  expect_page_names_all("vant.1", options);
}
#endif

}  // namespace
