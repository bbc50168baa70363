#include "sdk/core/os_services.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

TEST(OsAddresses, AbstractAddressUsesTheWholePathField) {
  const sockaddr_un address = os_channel_address(ChannelSide::kClient, 0, "QMRR1", 0);
  char expected[108] = {};
  std::memcpy(expected + 1, "KEL0_API_QMRR1_SOCKET_0", 23);
  ASSERT_EQ(110u, sizeof address);
  EXPECT_EQ(AF_UNIX, address.sun_family);  // in the machine's byte order
  EXPECT_EQ(0, std::memcmp(expected, address.sun_path, sizeof expected));
  const sockaddr_un daemon = os_channel_address(ChannelSide::kDaemon, 11, "QMNOTIF3", 5);
  EXPECT_STREQ("KEL11_SDK_QMNOTIF3_SOCKET_5", daemon.sun_path + 1);
  EXPECT_STREQ("KEL3_SDK_SOCKET_MUTEX", os_daemon_mutex_address(3).sun_path + 1);
  // An over-long name is cut so that the path field keeps a terminator.
  const sockaddr_un cut = os_abstract_address(std::string(200, 'n').c_str());
  EXPECT_EQ(106u, std::strlen(cut.sun_path + 1));
}

TEST(OsSleep, SplitIntoSecondsAndNanoseconds) {
  const struct {
    uint32_t ms;
    time_t seconds;
    long nanoseconds;
  } cases[] = {{0, 0, 0},
               {999, 0, 999000000},
               {1000, 1, 0},
               {1500, 1, 500000000},
               {4294967295u, 4294967, 295000000}};
  for (const auto& c : cases) {
    const timespec interval = os_sleep_interval(c.ms);
    EXPECT_EQ(c.seconds, interval.tv_sec) << c.ms;
    EXPECT_EQ(c.nanoseconds, interval.tv_nsec) << c.ms;
  }
}

void ignore_signal(int) {}

TEST(OsSleep, ResumesAfterAnInterruption) {
  struct sigaction action {};
  action.sa_handler = &ignore_signal;  // no SA_RESTART: the sleep is cut short
  sigaction(SIGUSR1, &action, nullptr);
  const pthread_t sleeper = pthread_self();
  std::thread interrupter([sleeper] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pthread_kill(sleeper, SIGUSR1);
  });
  const auto start = Clock::now();
  os_sleep_ms(150);
  const auto slept = Clock::now() - start;
  interrupter.join();
  EXPECT_GE(slept, std::chrono::milliseconds(150));
}

TEST(OsReport, DefaultHookPrintsOnStandardError) {
  testing::internal::CaptureStderr();
  os_report_error("IPC write failed", 0);
  os_report_error("IPC read (r) failed", ENOENT);
  EXPECT_EQ("KEL API: IPC write failed\nKEL API: IPC read (r) failed: " +
                std::string(strerror(ENOENT)) + "\n",
            testing::internal::GetCapturedStderr());
}

TEST(OsProcesses, LookupFindsOthersButNeverTheCaller) {
  // A name no other process has: the process name is the link's.
  const std::string name = "vantpid" + std::to_string(getpid());
  const std::string link = "/tmp/" + name;
  ASSERT_EQ(0, symlink("/bin/sleep", link.c_str()));
  const pid_t child = fork();
  if (child == 0) {
    execl(link.c_str(), name.c_str(), "7", nullptr);
    _exit(127);
  }
  ASSERT_GT(child, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let exec happen
  EXPECT_EQ(child, kel_ospidof(name.c_str()));
  unlink(link.c_str());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  // Our own name is on our own line only: that line never counts.
  EXPECT_NE(getpid(), kel_ospidof(program_invocation_short_name));
  EXPECT_EQ(-1, kel_ospidof("no-such-process-name"));
}

TEST(OsFiles, StatAndDirectoryIteration) {
  char directory[] = "/tmp/vant_os_test_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(directory));
  std::ofstream(std::string(directory) + "/image.bin") << "x";
  EXPECT_EQ(0, kel_osapi_stat(directory));
  testing::internal::CaptureStderr();
  EXPECT_EQ(-1, kel_osapi_stat("/nonexistent/file"));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("kel_osapi_stat: "));

  OsDirHandle handle;
  ASSERT_EQ(1, os_dir_open(directory, &handle));
  std::vector<std::string> names;
  while (os_dir_read(&handle)) names.push_back(handle.entry->d_name);
  EXPECT_EQ(1, os_dir_close(&handle));
  EXPECT_EQ(1, os_dir_close(&handle));  // closing twice is harmless
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "image.bin"));
  EXPECT_EQ(0, os_dir_open("/nonexistent", &handle));
  std::remove((std::string(directory) + "/image.bin").c_str());
  rmdir(directory);
}

TEST(OsThreadsDeathTest, MutexMisuseIsFatal) {
  OsMutex m;
  os_mutex_init(&m);
  // Relocking by the holder is an error, not a deadlock.
  EXPECT_DEATH(
      {
        os_mutex_lock(&m);
        os_mutex_lock(&m);
      },
      "");
  EXPECT_DEATH(os_mutex_unlock(&m), "");  // unlock of a mutex nobody holds
  os_mutex_lock(&m);
  os_mutex_unlock(&m);
  os_mutex_destroy(&m);
}

}  // namespace
