#include "daemon/group_grant.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "daemon/options.h"

namespace vant::daemon {
namespace {

namespace fs = std::filesystem;

// A proc tree with one process whose status shows a user and groups.
class FakeProc {
 public:
  FakeProc() : root_(fs::temp_directory_path() / ("grant." + std::to_string(getpid()))) {}
  ~FakeProc() { fs::remove_all(root_); }
  void process(pid_t pid, const std::string& uid_line, const std::string& groups_line) {
    fs::create_directories(root_ / std::to_string(pid));
    std::ofstream(root_ / std::to_string(pid) / "status")
        << "Name:\tvant\nUid:\t" << uid_line << "\nGid:\t33\t33\t33\t33\nGroups:\t" << groups_line
        << "\nVmRSS:\t100 kB\n";
  }
  std::string root() const { return root_.string(); }

 private:
  fs::path root_;
};

TEST(GroupGrant, TheSendersGroupOrItsSupplementaryGroups) {
  FakeProc proc;
  proc.process(40, "33\t33\t33\t33", "4 24 990 1000");
  proc.process(41, "33\t33\t33\t33", "");
  proc.process(42, "1000\t1000\t1000\t1000", "990");  // the pid now belongs to another user
  proc.process(43, "33\t33\t33\t33", "9900 99");      // no prefix or suffix match
  EXPECT_TRUE(sender_in_group({.pid = 0, .uid = 33, .gid = 990}, 990, proc.root()));
  EXPECT_TRUE(sender_in_group({.pid = 40, .uid = 33, .gid = 33}, 990, proc.root()));
  EXPECT_FALSE(sender_in_group({.pid = 41, .uid = 33, .gid = 33}, 990, proc.root()));
  EXPECT_FALSE(sender_in_group({.pid = 42, .uid = 33, .gid = 33}, 990, proc.root()));
  EXPECT_FALSE(sender_in_group({.pid = 43, .uid = 33, .gid = 33}, 990, proc.root()));
  EXPECT_FALSE(sender_in_group({.pid = 44, .uid = 33, .gid = 33}, 990, proc.root()));  // gone
  EXPECT_FALSE(sender_in_group({.pid = 0, .uid = 33, .gid = 33}, 990, proc.root()));
}

TEST(GroupGrant, GroupsByNameOrNumberAndTheOption) {
  EXPECT_EQ(0u, group_by_name("root").value_or(1));
  EXPECT_EQ(4321u, group_by_name("4321").value_or(1));
  EXPECT_FALSE(group_by_name("no-such-group-here"));
  EXPECT_FALSE(group_by_name("12x"));
  EXPECT_FALSE(group_by_name(""));

  const char* given[] = {"vantsdk", "--allow-group", "vant", "0"};
  const ParseResult parsed = parse_daemon_options(4, given);
  ASSERT_EQ(ParseAction::run, parsed.action) << parsed.error;
  EXPECT_EQ("vant", parsed.options.allow_group);
  const char* empty[] = {"vantsdk", "--allow-group="};
  EXPECT_EQ(ParseAction::error, parse_daemon_options(2, empty).action);
  EXPECT_NE(std::string::npos, daemon_usage("vantsdk").find("--allow-group GROUP"));
}

}  // namespace
}  // namespace vant::daemon
