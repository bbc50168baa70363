// vantsim as a program: its options, its refusals, and its pseudo-terminal
// link following the modem's presence.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "process.h"

namespace vant::sim::testing {
namespace {

using namespace std::chrono_literals;

class Vantsim : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantsim-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    dir_ = dir;
    link_ = dir_ + "/modem";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write_file(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }

  bool link_exists() const {
    struct stat st {};
    return lstat(link_.c_str(), &st) == 0;
  }
  // Waits until the link exists (or not); false if it never did.
  bool wait_link(bool exists, std::chrono::milliseconds limit = 5000ms) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (link_exists() != exists) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  std::string dir_, link_;
};

TEST_F(Vantsim, HelpNamesEveryOption) {
  const auto done = run({vantsim_path(), "--help"});
  EXPECT_TRUE(done.exited_with(0));
  for (const char* option : {"--link PATH", "--scenario FILE", "--scenario-fields", "--help"})
    EXPECT_NE(std::string::npos, done.output.find(option)) << done.output;
}

TEST_F(Vantsim, RefusesWhatItCannotUse) {
  const std::string bad = write_file("bad.json", R"({"cells": {"umts": {"rscp": "loud"}}})");
  const std::string plain = write_file("plain-file", "keep me");
  const std::string deep =
      write_file("deep.json", std::string(50000, '[') + std::string(50000, ']'));
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Row rows[] = {
      {{}, 2, "--link PATH is required"},
      {{"--link"}, 2, "unknown option or missing value: --link"},
      {{"--link", link_, "--bogus"}, 2, "unknown option or missing value: --bogus"},
      {{"--link", link_, "--scenario", bad},
       2,
       "scenario \"" + bad + "\": field \"cells.umts.rscp\": expected an integer"},
      {{"--link", link_, "--scenario", "no-such-scenario"}, 2, "scenario \"no-such-scenario\""},
      {{"--link", link_, "--scenario", deep}, 2, "nested more than 32 levels deep"},
      {{"--scenario-fields=html"}, 2, "unknown field list format: html"},
      {{"--link", plain}, 1, plain + " exists and is not a symbolic link"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {vantsim_path()};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const auto done = run(args, 5000ms);
    EXPECT_TRUE(done.exited_with(row.status)) << done.output;
    EXPECT_NE(std::string::npos, done.output.find(row.message)) << done.output;
  }
  std::ifstream kept(plain);
  EXPECT_EQ("keep me", std::string(std::istreambuf_iterator<char>(kept), {}));
}

TEST_F(Vantsim, LinkFollowsTheModemAndGoesAtExit) {
  const std::string scenario = write_file(
      "flaps.json",
      R"({"base": "default", "behaviour": {"outages": [{"at_ms": 400, "for_ms": 400}]}})");
  const pid_t pid = spawn({vantsim_path(), "--link", link_, "--scenario", scenario});
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(wait_link(true)) << "the link never appeared";
  EXPECT_TRUE(wait_link(false)) << "the link stayed while the modem was gone";
  EXPECT_TRUE(wait_link(true)) << "the link did not come back with the modem";
  EXPECT_TRUE(std::filesystem::read_symlink(link_).string().starts_with("/dev/pts/"));
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(link_exists());
}

}  // namespace
}  // namespace vant::sim::testing
