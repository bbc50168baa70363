// A neighbour on the router can reach every socket of the daemon and of its
// clients. Nothing it sends may unseat a client, reach a client as an answer,
// or end a run.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <random>
#include <thread>

#include "sdk/core/am_packets.h"
#include "sdk/core/os_services.h"
#include "tests/daemon/test_client.h"
#include "tests/faults/fault_env.h"

namespace vant::faults {
namespace {

using daemon::testing::qmi_request_bytes;
using daemon::testing::QmiRequestFields;
using daemon::testing::TestClient;
using namespace std::chrono_literals;

constexpr uint8_t kNas = 0x03;
constexpr uint16_t kGetChannelLock = 0x5568;
constexpr const char* kFirstRequestSocket = "KEL0_SDK_QMRR1_SOCKET_0";

// A response that looks like the daemon's: the modem refused (QMI error 0x30).
std::vector<uint8_t> forged_response(uint8_t transaction) {
  std::vector<uint8_t> packet =
      qmi_request_bytes({.transaction = transaction,
                         .service = kNas,
                         .message_id = kGetChannelLock,
                         .tlvs = {0x02, 0x04, 0x00, 0x01, 0x00, 0x30, 0x00},
                         .timeout_ms = 5000});
  packet[0] = static_cast<uint8_t>(kAmQmiResponse & 0xFF);
  packet[1] = static_cast<uint8_t>(kAmQmiResponse >> 8);
  return packet;
}

// A notification with a check word other than 0: a protocol violation that
// ends a client that believes it.
std::vector<uint8_t> forged_notification() {
  std::vector<uint8_t> packet = forged_response(0);
  packet[0] = static_cast<uint8_t>(kAmQmiNotification & 0xFF);
  packet[1] = static_cast<uint8_t>(kAmQmiNotification >> 8);
  packet[2] = 7;
  return packet;
}

TEST(SocketTrust, AStrayDatagramLeavesTheClientItsAnswerAndItsPair) {
  SimDaemon daemon("slow-locks");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  TestClient client(0, 0);
  const auto connected = client.connect_device();
  ASSERT_TRUE(connected && connected->result == 0);
  client.send(QmiRequestFields{
      .transaction = 5, .service = kNas, .message_id = kGetChannelLock, .timeout_ms = 5000});
  std::this_thread::sleep_for(200ms);
  // Another process: three bytes, and a well-formed request whose answer must
  // not reach the client.
  const pid_t intruder = spawn_body(false, [] {
    send_to_name(kFirstRequestSocket, {1, 2, 3});
    send_to_name(kFirstRequestSocket,
                 qmi_request_bytes({.transaction = 77, .service = 0xF7, .message_id = 0x0006}));
  });
  const auto sent = Clock::now();
  std::optional<daemon::testing::Packet> answer;
  bool intruder_answered = false;
  while (!answer && Clock::now() - sent < 4s) {
    auto packet = client.receive(500ms);
    if (packet && packet->transaction == 5) answer = std::move(packet);
    if (packet && packet->transaction == 77) intruder_answered = true;
  }
  end_child(intruder);
  EXPECT_FALSE(intruder_answered) << "an answer to the intruder reached the client";
  ASSERT_TRUE(answer) << "the pending answer was lost\n" << daemon.log();
  report_figure("stray datagram: pending answer arrived after", seconds_since(sent), "s");
  EXPECT_EQ(0u, answer->result);
  EXPECT_FALSE(client.receive(300ms)) << "something more reached the client";
}

TEST(SocketTrust, ForgedAnswersAndNotificationsDoNotReachVantctl) {
  SimDaemon daemon("slow-locks");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  const ProcessResult clean = vantctl({"-k"}, 30s);
  ASSERT_TRUE(clean.exited_with(0)) << clean.err;

  // The unprivileged user when this test may start one, else another process
  // of ours: the sender's address is what counts, not its user.
  const pid_t forger = spawn_body(can_become_nobody(), [] {
    for (int round = 0; round < 400; ++round) {
      // vantctl -k numbers its requests from 0; the lock read is about the 11th.
      for (uint8_t t = 0; t < 16; t += 4) {
        send_to_name("KEL0_API_QMRR1_SOCKET_0",
                     forged_response(static_cast<uint8_t>(round % 4 + t)));
      }
      send_to_name("KEL0_API_QMNOTIF1_SOCKET_1", forged_notification());
      std::this_thread::sleep_for(20ms);
    }
  });
  const ProcessResult attacked = vantctl({"-k"}, 30s);
  end_child(forger);
  EXPECT_TRUE(attacked.exited_with(0)) << attacked.err;
  EXPECT_EQ(clean.out, attacked.out);
  EXPECT_EQ(clean.err, attacked.err);
}

TEST(SocketTrust, AFloodOnTheClientsSocketsCostsItNoAnswer) {
  SimDaemon daemon("slow-locks");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  const ProcessResult clean = vantctl({"-k"}, 30s);
  ASSERT_TRUE(clean.exited_with(0)) << clean.err;
  const double clean_seconds = std::chrono::duration<double>(clean.elapsed).count();

  // Four sockets of the unprivileged user (or of another process of ours)
  // sending as fast as they can to the names vantctl's channels take, so that
  // its queue would be full whenever the daemon answers.
  const pid_t flooder = spawn_body(can_become_nobody(), [] {
    std::vector<int> sockets;
    for (int i = 0; i < 4; ++i) sockets.push_back(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_un names[] = {os_abstract_address("KEL0_API_QMRR1_SOCKET_0"),
                                 os_abstract_address("KEL0_API_QMNOTIF1_SOCKET_1")};
    const std::vector<uint8_t> junk = forged_response(3);
    for (;;)
      for (const int sock : sockets)
        for (const sockaddr_un& name : names)
          sendto(sock, junk.data(), junk.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&name), sizeof name);
  });
  std::this_thread::sleep_for(300ms);
  constexpr int kRuns = 3;
  int answered = 0;
  for (int run = 0; run < kRuns; ++run) {
    const ProcessResult flooded = vantctl({"-k"}, 40s);
    const double seconds = std::chrono::duration<double>(flooded.elapsed).count();
    report_figure("flood: vantctl -k under the flood", seconds, "s");
    EXPECT_TRUE(flooded.exited_with(0)) << flooded.err;
    EXPECT_EQ(clean.err, flooded.err);
    EXPECT_LT(seconds, 2 * clean_seconds + 1.0);
    if (flooded.exited_with(0) && flooded.err == clean.err) ++answered;
  }
  end_child(flooder);
  report_figure("flood: vantctl -k without it", clean_seconds, "s");
  report_figure("flood: runs that lost their answer", kRuns - answered, "");
}

TEST(SocketTrust, JunkOnEverySocketLeavesClientsAndDaemonUndisturbed) {
  SimDaemon daemon("default");
  ASSERT_TRUE(daemon.ready()) << daemon.log();
  const ProcessResult lock = vantctl({"-k"}, 30s);
  const ProcessResult scan = vantctl({"-x"}, 30s);
  ASSERT_TRUE(lock.exited_with(0) && scan.exited_with(0)) << lock.err << scan.err;
  const Footprint before = footprint(daemon.pid());

  // Random datagrams of 0 to 300 bytes from a process of the daemon's own user.
  const pid_t junk = spawn_body(false, [] {
    std::mt19937 random(14);
    const auto names = daemon_and_client_names();
    for (int round = 0; round < 2000; ++round) {
      std::vector<uint8_t> bytes(random() % 301);
      for (auto& b : bytes) b = static_cast<uint8_t>(random());
      if (bytes.size() >= 4 && round % 3 == 0) bytes[2] = bytes[3] = 0;  // a plausible header
      send_to_name(names[random() % names.size()], bytes);
      std::this_thread::sleep_for(2ms);
    }
  });
  for (int run = 0; run < 2; ++run) {
    const ProcessResult lock_again = vantctl({"-k"}, 30s);
    const ProcessResult scan_again = vantctl({"-x"}, 30s);
    EXPECT_TRUE(lock_again.exited_with(0)) << lock_again.err;
    EXPECT_EQ(lock.err, lock_again.err);
    EXPECT_EQ(scan.out, scan_again.out);
  }
  end_child(junk);
  ASSERT_TRUE(daemon.running()) << daemon.log();
  const Footprint after = footprint(daemon.pid());
  report_footprints("junk", before, after);
  EXPECT_EQ(before.fds, after.fds) << descriptors_changed(before, after);
}

}  // namespace
}  // namespace vant::faults
