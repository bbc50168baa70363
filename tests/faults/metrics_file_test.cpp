// vant's metrics file in a directory that others may write to (a sticky
// /tmp, a textfile folder shared with another user), written by root: what
// was planted there is never opened in place of the temporary file.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/faults/fault_env.h"
#include "tests/support/temp_dir.h"

namespace vant::faults {
namespace {

using namespace std::chrono_literals;

std::string contents(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t entry_count(const std::string& dir) {
  size_t count = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") ++count;
    }
    closedir(d);
  }
  return count;
}

TEST(MetricsFile, ASymlinkPlantedInAStickyDirectoryIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "the case is root writing the file";
  test::TempDir dir;
  const std::string secret = "root:$y$j9T$planted:19000:0:99999:7:::\n";
  const std::string victim = dir.write_file("shadow", secret, 0600);
  const std::string folder = dir.path() + "/textfile";
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  ASSERT_EQ(0, chmod(folder.c_str(), 01777));
  // A link at every name a temporary file derived from the process id could
  // have (ids in this PID namespace start at 1). The links are root's own:
  // the kernel's protected_symlinks would refuse root a link of another user
  // in a sticky directory and hide the fault.
  constexpr int kPlanted = 4096;
  for (int pid = 1; pid <= kPlanted; ++pid) {
    const std::string link = folder + "/.vant.prom." + std::to_string(pid) + ".tmp";
    ASSERT_EQ(0, symlink(victim.c_str(), link.c_str())) << link;
  }

  const std::string metrics = folder + "/vant.prom";
  const ProcessResult run =
      test::run_process({bin_dir() + "/vant", "-s", bin_dir() + "/vantsdk-sim", "watch", "--count",
                         "1", "--prometheus", metrics},
                        60s);
  EXPECT_TRUE(run.exited_with(0)) << run.exit_code << ": " << run.err;

  EXPECT_EQ(secret, contents(victim));
  struct stat st {};
  ASSERT_EQ(0, stat(victim.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777u);

  ASSERT_EQ(0, lstat(metrics.c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode)) << "the metrics file must not be one of the links";
  EXPECT_EQ(0644u, st.st_mode & 07777u);
  EXPECT_NE(std::string::npos, contents(metrics).find("vant_up{modem=\"0\"} 1\n"));
  EXPECT_EQ(static_cast<size_t>(kPlanted) + 1, entry_count(folder)) << "no temporary file is left";
}

}  // namespace
}  // namespace vant::faults
