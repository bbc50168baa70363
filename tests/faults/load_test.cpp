// Three clients at full speed: every request answered once, with its own
// answer.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <thread>

#include "tests/daemon/test_client.h"
#include "tests/faults/fault_env.h"
#include "tests/support/time_scale.h"

namespace vant::faults {
namespace {

using daemon::testing::TestClient;
using namespace std::chrono_literals;

struct Stream {
  uint8_t service;
  uint16_t message_id;
};
// A different message per client, so that an answer handed to the wrong
// client shows.
constexpr std::array<Stream, 3> kStreams{{{0x03, 0x5568}, {0x02, 0x0022}, {0x02, 0x0023}}};
constexpr int kRequestsPerClient = 10000;
constexpr size_t kWindow = 8;

struct Tally {
  int answered = 0;
  int wrong = 0;  // another message, an unknown transaction number, or a failure
};

Tally run_client(unsigned pair) {
  Tally tally;
  TestClient client(0, pair);
  const auto connected = client.connect_device();
  if (!connected || connected->result != 0) return tally;
  const Stream stream = kStreams[pair];
  std::map<uint8_t, int> outstanding;  // transaction number -> request index
  uint8_t transaction = 0;
  int next = 0;
  while (tally.answered + tally.wrong < kRequestsPerClient) {
    while (next < kRequestsPerClient && outstanding.size() < kWindow) {
      ++transaction;
      outstanding[transaction] = next++;
      client.send({.transaction = transaction,
                   .service = stream.service,
                   .message_id = stream.message_id,
                   .timeout_ms = 5000});
    }
    const auto answer = client.receive(10s);
    if (!answer) break;  // whatever is still outstanding was lost
    const bool known = outstanding.erase(answer->transaction) == 1;
    const bool right = known && answer->result == 0 && answer->header.service == stream.service &&
                       answer->message_id == stream.message_id;
    ++(right ? tally.answered : tally.wrong);
  }
  return tally;
}

TEST(Load, ThreeClientsOfTenThousandRequestsLoseAndCrossNothing) {
  SimDaemon daemon("instant");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  // The daemon binds its client sockets before it opens the modem's link and
  // its event loop: counted now, a slow machine would show it still starting.
  // Its descriptors are counted once it has served a client.
  const ProcessResult settled = vantctl({"-k"}, 30s);
  ASSERT_TRUE(settled.exited_with(0)) << settled.err;
  const Footprint before = footprint(daemon.pid());
  std::array<Tally, 3> tallies{};
  const auto start = Clock::now();
  {
    std::array<std::jthread, 3> clients;
    for (unsigned pair = 0; pair < 3; ++pair)
      clients[pair] = std::jthread([&tallies, pair] { tallies[pair] = run_client(pair); });
  }
  const double elapsed = seconds_since(start);
  const Footprint after = footprint(daemon.pid());
  int lost = 0;
  for (unsigned pair = 0; pair < 3; ++pair) {
    EXPECT_EQ(kRequestsPerClient, tallies[pair].answered) << "client " << pair;
    EXPECT_EQ(0, tallies[pair].wrong) << "client " << pair;
    lost += kRequestsPerClient - tallies[pair].answered - tallies[pair].wrong;
  }
  report_figure("3 x 10k: wall time", elapsed, "s");
  report_figure("3 x 10k: requests lost", lost, "");
  report_footprints("3 x 10k", before, after);
  EXPECT_EQ(before.fds, after.fds) << descriptors_changed(before, after);
}

}  // namespace
}  // namespace vant::faults
