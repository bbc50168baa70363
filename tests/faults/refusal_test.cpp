// Clients the daemon cannot serve learn so at once, and why.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "sdk/core/os_services.h"
#include "tests/daemon/test_client.h"
#include "tests/faults/fault_env.h"

namespace vant::faults {
namespace {

using daemon::testing::TestClient;
using namespace std::chrono_literals;

constexpr const char* kStartFailure = "Failed to start SDK : Exiting App\nFailure Code : ";

TEST(Refusal, AUserTheDaemonDoesNotServeIsToldWhyWithinSeconds) {
  if (!can_become_nobody())
    GTEST_SKIP() << "no process can run as uid 65534 here (a user namespace that maps root alone)";
  SimDaemon daemon("default");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  const auto start = Clock::now();
  const ProcessResult run = vantctl_as_nobody({"-k"}, 90s);
  const double elapsed = seconds_since(start);
  report_figure("unserved user: time to error", elapsed, "s");
  EXPECT_TRUE(run.exited_with(1)) << run.err;
  EXPECT_EQ(std::string(kStartFailure) +
                "4294967295\nFailure Reason : the SDK daemon does not serve this user\n",
            run.err);
  EXPECT_LT(elapsed, 6.0);
}

TEST(Refusal, AFourthClientIsTurnedAwayAtOnce) {
  SimDaemon daemon("default");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  TestClient first(0, 0), second(0, 1), third(0, 2);
  const auto start = Clock::now();
  const ProcessResult run = vantctl({"-k"}, 30s);
  report_figure("fourth client: time to error", seconds_since(start), "s");
  EXPECT_TRUE(run.exited_with(1));
  EXPECT_EQ(std::string("Too many Application connected to SDK\n") + kStartFailure +
                "57349\nFailure Reason : every client channel of the SDK daemon is taken\n",
            run.err);
  EXPECT_LT(seconds_since(start), 5.0);
}

TEST(Refusal, ChannelsHeldByAnotherUserAreNamedAsSuch) {
  if (!can_become_nobody())
    GTEST_SKIP() << "no process can run as uid 65534 here (a user namespace that maps root alone)";
  if (!socket_owners_visible())
    GTEST_SKIP() << "no sock_diag netlink here, so no socket owner can be named "
                    "(qemu user-mode emulation offers none)";
  SimDaemon daemon("default");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  // The unprivileged user binds the client-side names of all three pairs.
  const pid_t squatter = spawn_body(true, [&] {
    std::vector<int> held;
    for (const std::string& name : daemon_and_client_names()) {
      if (name.find("_API_QMRR") == std::string::npos) continue;
      const int sock = socket(AF_UNIX, SOCK_DGRAM, 0);
      const sockaddr_un address = os_abstract_address(name.c_str());
      bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address);
      held.push_back(sock);
    }
    [[maybe_unused]] const ssize_t n = write(ready[1], "r", 1);
    pause();
  });
  char signal = 0;
  ASSERT_EQ(1, read(ready[0], &signal, 1));
  const ProcessResult run = vantctl({"-k"}, 30s);
  end_child(squatter);
  EXPECT_TRUE(run.exited_with(1));
  EXPECT_EQ(std::string("The SDK's client channels are held by another user (uid 65534)\n") +
                kStartFailure +
                "57349\nFailure Reason : every client channel of the SDK daemon is taken\n",
            run.err);
}

}  // namespace
}  // namespace vant::faults
