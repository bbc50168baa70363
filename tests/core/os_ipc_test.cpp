#include "sdk/core/os_services.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Collects what goes through the error hook while a test runs.
class HookCapture {
 public:
  HookCapture() {
    messages().clear();
    os_set_error_hook(&record);
  }
  ~HookCapture() { os_set_error_hook(&os_report_error); }
  static std::vector<std::string>& messages() {
    static std::vector<std::string> all;
    return all;
  }

 private:
  static void record(const char* message, int) {
    static std::mutex guard;
    std::lock_guard lock(guard);
    messages().push_back(message);
  }
};

int bind_name(const char* name, socklen_t length = kAbstractAddressLength) {
  const int sock = socket(AF_UNIX, SOCK_DGRAM, 0);
  const sockaddr_un address = os_abstract_address(name);
  EXPECT_EQ(0, bind(sock, reinterpret_cast<const sockaddr*>(&address), length)) << name;
  return sock;
}

TEST(OsAddresses, PeerBoundWithAShortAddressIsAnotherName) {
  // The zero padding is part of the name: a peer that binds with the
  // name's own length cannot be reached.
  const char* name = "KEL0_SDK_QMRR1_SOCKET_0";
  const int short_peer =
      bind_name(name, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + strlen(name)));
  HookCapture hook;
  IpcChannel channel;
  ASSERT_EQ(1, os_ipc_open(&channel, 0, "QMRR1", 0));
  const uint8_t byte = 1;
  EXPECT_EQ(0, os_ipc_send(&channel, &byte, 1));
  const int full_peer = bind_name(name);
  EXPECT_EQ(1, os_ipc_send(&channel, &byte, 1));
  os_ipc_close(&channel);
  close(short_peer);
  close(full_peer);
}

// The owners that /proc shows are those the kernel's diagnostics give: another
// user's socket, our own, and none for a free name. Both are asked where both
// exist.
TEST(OsSocketOwners, ProcNamesTheUserHoldingANameAsTheDiagnosticsDo) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to see another user's descriptors";
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  const pid_t holder = fork();
  if (holder == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const int sock = socket(AF_UNIX, SOCK_DGRAM, 0);
    const sockaddr_un address = os_abstract_address("KEL0_API_QMRR1_SOCKET_0");
    if (bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) _exit(3);
    [[maybe_unused]] const ssize_t n = write(ready[1], "r", 1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char signal = 0;
  const bool held = read(ready[0], &signal, 1) == 1;
  close(ready[0]);
  if (!held) {
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    GTEST_SKIP() << "no process can run as uid 65534 here";
  }
  const int ours = bind_name("KEL0_API_QMRR2_SOCKET_2");
  const sockaddr_un names[] = {os_abstract_address("KEL0_API_QMRR1_SOCKET_0"),
                               os_abstract_address("KEL0_API_QMRR2_SOCKET_2"),
                               os_abstract_address("KEL0_API_QMRR3_SOCKET_4")};
  int64_t from_proc[3];
  int64_t from_either[3];
  const int proc_told = os_abstract_name_owners_from_proc(names, 3, from_proc);
  const int either_told = os_abstract_name_owners(names, 3, from_either);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ours);
  ASSERT_EQ(1, proc_told);
  EXPECT_EQ(65534, from_proc[0]);
  EXPECT_EQ(0, from_proc[1]);
  EXPECT_EQ(-1, from_proc[2]);
  ASSERT_EQ(1, either_told);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(from_proc[i], from_either[i]) << "name " << i;
}

TEST(OsIpc, TakenNameGivesZeroSilently) {
  const int holder = bind_name("KEL0_API_QMRR1_SOCKET_0");
  HookCapture hook;
  IpcChannel channel;
  EXPECT_EQ(0, os_ipc_open(&channel, 0, "QMRR1", 0));
  EXPECT_LT(channel.socket, 0);
  EXPECT_TRUE(HookCapture::messages().empty());
  close(holder);
}

TEST(OsIpc, MissingPeerGivesZeroSilently) {
  HookCapture hook;
  IpcChannel channel;
  ASSERT_EQ(1, os_ipc_open(&channel, 0, "QMRR1", 0));
  const uint8_t byte = 1;
  EXPECT_EQ(0, os_ipc_send(&channel, &byte, 1));
  EXPECT_TRUE(HookCapture::messages().empty());
  os_ipc_close(&channel);
}

TEST(OsIpc, DatagramsArriveWholeAndTimeOutsGiveLengthZero) {
  const int peer = bind_name("KEL2_SDK_QMRR1_SOCKET_0");
  IpcChannel channel;
  ASSERT_EQ(1, os_ipc_open(&channel, 0, "QMRR1", 2));
  uint8_t buffer[16];
  size_t length = sizeof buffer;
  EXPECT_EQ(1, os_ipc_receive(&channel, buffer, &length, 20));
  EXPECT_EQ(0u, length);

  const uint8_t hello[] = {1, 2, 3, 4, 5};
  ASSERT_EQ(1, os_ipc_send(&channel, hello, sizeof hello));
  sockaddr_un from{};
  socklen_t from_length = sizeof from;
  uint8_t echo[16];
  const ssize_t n =
      recvfrom(peer, echo, sizeof echo, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
  ASSERT_EQ(5, n);
  EXPECT_EQ(kAbstractAddressLength, from_length);
  EXPECT_STREQ("KEL2_API_QMRR1_SOCKET_0", from.sun_path + 1);
  // Anyone may send to the client's name; only what comes from the daemon's
  // side counts, the rest is dropped unread.
  const int stranger = socket(AF_UNIX, SOCK_DGRAM, 0);
  sendto(stranger, "forged", 6, 0, reinterpret_cast<const sockaddr*>(&from), from_length);
  length = sizeof buffer;
  EXPECT_EQ(1, os_ipc_receive(&channel, buffer, &length, 50));
  EXPECT_EQ(0u, length) << "a stranger's datagram was taken";
  sendto(stranger, "forged", 6, 0, reinterpret_cast<const sockaddr*>(&from), from_length);
  sendto(peer, echo, 3, 0, reinterpret_cast<const sockaddr*>(&from), from_length);
  close(stranger);
  length = sizeof buffer;
  EXPECT_EQ(1, os_ipc_receive(&channel, buffer, &length, 0));  // no limit
  EXPECT_EQ(3u, length);
  EXPECT_EQ(0, std::memcmp(hello, buffer, 3));
  os_ipc_close(&channel);
  close(peer);
}

TEST(OsIpc, ThePeersNameHeldByAnotherUserIsRefusedAndThatUserKept) {
  IpcChannel channel;
  ASSERT_EQ(1, os_ipc_open(&channel, 0, "QMRR1", 8));
  const pid_t holder = fork();
  if (holder == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
    const int sock = bind_name("KEL8_SDK_QMRR1_SOCKET_0");
    const sockaddr_un client = os_channel_address(ChannelSide::kClient, 8, "QMRR1", 0);
    sendto(sock, "forged", 6, 0, reinterpret_cast<const sockaddr*>(&client), sizeof client);
    _exit(0);
  }
  int status = 0;
  waitpid(holder, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    GTEST_SKIP() << "no process can run as uid 65534 here";
  uint8_t buffer[8];
  size_t length = sizeof buffer;
  EXPECT_EQ(0, os_ipc_receive(&channel, buffer, &length, 1000));
  EXPECT_EQ(0u, length);
  EXPECT_EQ(65534, channel.refusedSender);
  os_ipc_close(&channel);
}

TEST(OsIpc, DescriptorBeyondTheSelectLimitIsServed) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_max < 2048) GTEST_SKIP() << "cannot open descriptor 2000 here";
  const rlimit raised{2048, limit.rlim_max};
  ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &raised));
  const int peer = bind_name("KEL3_SDK_QMRR1_SOCKET_0");
  IpcChannel channel;
  ASSERT_EQ(1, os_ipc_open(&channel, 0, "QMRR1", 3));
  ASSERT_EQ(2000, dup2(channel.socket, 2000));
  close(channel.socket);
  channel.socket = 2000;
  uint8_t buffer[8];
  size_t length = sizeof buffer;
  EXPECT_EQ(1, os_ipc_receive(&channel, buffer, &length, 10));
  EXPECT_EQ(0u, length);
  const sockaddr_un client = os_channel_address(ChannelSide::kClient, 3, "QMRR1", 0);
  sendto(peer, "ok", 2, 0, reinterpret_cast<const sockaddr*>(&client), sizeof client);
  length = sizeof buffer;
  EXPECT_EQ(1, os_ipc_receive(&channel, buffer, &length, 1000));
  EXPECT_EQ(2u, length);
  os_ipc_close(&channel);
  close(peer);
  setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(OsRunCheck, SteadyDaemonCountsAndVanishingOneDoesNot) {
  EXPECT_EQ(0, os_sdk_is_running(500, 0, 4));
  const int presence = bind_name("KEL4_SDK_SOCKET_MUTEX");
  EXPECT_EQ(1, os_sdk_is_running(200, 0, 4));
  std::thread vanish([presence] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    close(presence);
  });
  EXPECT_EQ(0, os_sdk_is_running(500, 0, 4));
  vanish.join();
}

TEST(OsRunCheck, LateDaemonIsWaitedForDuringTheGraceTime) {
  int presence = -1;
  std::thread appear([&presence] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    presence = bind_name("KEL5_SDK_SOCKET_MUTEX");
  });
  EXPECT_EQ(1, os_sdk_is_running(500, 500, 5));
  appear.join();
  close(presence);
}

TEST(OsLaunch, DaemonThatNeverAppearsIsReported) {
  HookCapture hook;
  EXPECT_EQ(0, os_launch_sdk("/nonexistent/vantsdk", 6, nullptr));
  EXPECT_EQ(std::vector<std::string>{"SDK process startup failed"}, HookCapture::messages());
}

}  // namespace
