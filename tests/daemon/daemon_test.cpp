// The daemon as its clients and its modem see it: raw datagrams in front, a
// scripted modem behind, the real sockets in between.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "qmux/ctl.h"
#include "qmux/response.h"
#include "qmux/timed_reassembler.h"
#include "qmux/tlv.h"
#include "tests/daemon/daemon_fixture.h"

namespace vant::daemon::testing {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> text_bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

uint16_t qmi_error(const Packet& p) {
  const auto result = qmux::find_result(p.tlvs);
  return result ? result->error : 0xFFFF;
}

bool is_nas_request(const qmux::Frame& f) {
  return f.service == kNas && f.kind == qmux::MessageKind::request;
}

class DaemonTest : public DaemonFixture {};

TEST_F(DaemonTest, EnumerateReportsTheNodeAndAKeyFromTheImei) {
  start();
  TestClient client(kModem, 0);
  const auto listed =
      client.request({.transaction = 9, .service = kDeviceService, .message_id = 0});
  ASSERT_TRUE(listed);
  EXPECT_EQ(kAmQmiResponse, listed->type);
  EXPECT_EQ(0u, listed->result);
  EXPECT_EQ(9, listed->transaction);
  EXPECT_EQ(kDeviceService, listed->header.service);
  EXPECT_EQ(0, qmi_error(*listed));
  EXPECT_EQ(text_bytes(kFakeNode), tlv_value(listed->tlvs, 0x00));
  EXPECT_EQ(text_bytes(std::string_view(kFakeImei).substr(0, 14)), tlv_value(listed->tlvs, 0x01));
}

TEST_F(DaemonTest, ConnectAnswersOurProcessId) {
  start();
  TestClient client(kModem, 0);
  const auto connected = client.connect_device();
  ASSERT_TRUE(connected);
  EXPECT_EQ(0u, connected->result);
  const auto pid = tlv_value(connected->tlvs, 0x03);
  ASSERT_TRUE(pid);
  ASSERT_EQ(4u, pid->size());
  const uint32_t value = (*pid)[0] | (*pid)[1] << 8 | (*pid)[2] << 16 | uint32_t((*pid)[3]) << 24;
  EXPECT_EQ(static_cast<uint32_t>(getpid()), value);
}

TEST_F(DaemonTest, ConnectWithAnotherModemsKeyIsRefused) {
  start();
  TestClient client(kModem, 0);
  qmux::TlvBuilder tlvs;
  tlvs.add(0x00, text_bytes(std::string(kFakeNode) + '\0'));
  tlvs.add(0x01, text_bytes("99999999999999"));
  const auto answer =
      client.request({.service = kDeviceService, .message_id = 0x0001, .tlvs = tlvs.take()});
  ASSERT_TRUE(answer);
  EXPECT_EQ(7u, answer->result);
  EXPECT_EQ(7, qmi_error(*answer));
}

TEST_F(DaemonTest, DeviceQueriesReportTextsStateAndTheConnectedDevice) {
  start();
  TestClient client(kModem, 0);
  const auto before = client.request({.service = kDeviceService, .message_id = 0x0003});
  ASSERT_TRUE(before);
  EXPECT_EQ(8u, before->result) << "no device is connected yet";

  ASSERT_TRUE(client.connect_device());
  const auto device =
      client.request({.transaction = 2, .service = kDeviceService, .message_id = 0x0003});
  ASSERT_TRUE(device);
  EXPECT_EQ(0u, device->result);
  EXPECT_EQ(text_bytes(kFakeNode), tlv_value(device->tlvs, 0x00));

  const auto texts =
      client.request({.transaction = 3, .service = kDeviceService, .message_id = 0x0005});
  ASSERT_TRUE(texts);
  EXPECT_EQ(text_bytes(kFakeModel), tlv_value(texts->tlvs, 0x10));
  EXPECT_EQ(text_bytes(kFakeRevision), tlv_value(texts->tlvs, 0x11));
  EXPECT_EQ(text_bytes(kFakeImei), tlv_value(texts->tlvs, 0x12));

  const auto state =
      client.request({.transaction = 4, .service = kDeviceService, .message_id = 0x0006});
  ASSERT_TRUE(state);
  EXPECT_EQ(std::vector<uint8_t>{1}, tlv_value(state->tlvs, 0x10));

  const auto unknown =
      client.request({.transaction = 5, .service = kDeviceService, .message_id = 0x0042});
  ASSERT_TRUE(unknown);
  EXPECT_EQ(1000u + 0x47, unknown->result);
}

TEST_F(DaemonTest, DeviceServiceAnswersWithoutAModem) {
  start(false);
  TestClient client(kModem, 0);
  const auto listed = client.request({.service = kDeviceService, .message_id = 0x0000}, 2s);
  ASSERT_TRUE(listed);
  EXPECT_EQ(6u, listed->result);
  EXPECT_EQ(6, qmi_error(*listed));
  const auto state =
      client.request({.transaction = 2, .service = kDeviceService, .message_id = 0x0006});
  ASSERT_TRUE(state);
  EXPECT_EQ(0u, state->result);
  EXPECT_EQ(std::vector<uint8_t>{0}, tlv_value(state->tlvs, 0x10));
  const auto qmi = client.request({.transaction = 3, .service = kNas, .message_id = 0x5568});
  ASSERT_TRUE(qmi);
  EXPECT_EQ(6u, qmi->result);
}

TEST_F(DaemonTest, RelaysARequestAndEchoesTheClientsHeader) {
  start();
  TestClient client(kModem, 0);
  const std::vector<uint8_t> tlvs{0x10, 0x01, 0x00, 0x07};
  const auto answer = client.request({.transaction = 0xAB,
                                      .service = kNas,
                                      .message_id = 0x5568,
                                      .tlvs = tlvs,
                                      .timeout_ms = 4321,
                                      .instance = 3});
  ASSERT_TRUE(answer);
  EXPECT_EQ(kAmQmiResponse, answer->type);
  EXPECT_EQ(0u, answer->result);
  EXPECT_EQ(0xAB, answer->transaction);
  EXPECT_EQ(kNas, answer->header.service);
  EXPECT_EQ(3, answer->header.instance);
  EXPECT_EQ(4321u, answer->header.timeout);
  EXPECT_EQ(answer->raw.size() - kQmiPayloadOffset, answer->header.qmiLength);
  EXPECT_EQ(answer->raw.size() - kAmHeaderSize, answer->length);
  EXPECT_EQ(0x5568, answer->message_id);
  EXPECT_EQ(tlvs, tlv_value(answer->tlvs, 0x10));

  const auto sent = modem()->received();
  const auto it = std::find_if(sent.begin(), sent.end(), is_nas_request);
  ASSERT_NE(sent.end(), it);
  EXPECT_EQ(0x5568, it->message_id);
  EXPECT_EQ(tlvs, it->tlvs);
  EXPECT_NE(0, it->transaction) << "link transaction ids skip 0";
}

TEST_F(DaemonTest, StartsWithSyncBeforeAnyClientId) {
  start();
  TestClient client(kModem, 0);
  ASSERT_TRUE(client.request({.service = kNas, .message_id = 0x5568}));
  const auto sent = modem()->received();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(qmux::kServiceCtl, sent.front().service);
  EXPECT_EQ(qmux::ctl::kSync, sent.front().message_id);
}

TEST_F(DaemonTest, ClientInstancesMapToDistinctQmiClients) {
  start();
  TestClient client(kModem, 0);
  ASSERT_TRUE(client.connect_device());
  const size_t before = modem()->allocations();
  for (uint8_t round = 0; round < 2; ++round)
    for (uint8_t instance = 0; instance < 8; ++instance)
      ASSERT_TRUE(client.request({.transaction = uint8_t(round * 8 + instance),
                                  .service = kNas,
                                  .message_id = 0x5568,
                                  .instance = instance}));
  EXPECT_EQ(before + 8, modem()->allocations()) << "one client id per instance, on first use";
  std::set<uint8_t> ids;
  for (const auto& f : modem()->received())
    if (is_nas_request(f)) ids.insert(f.client_id);
  EXPECT_EQ(8u, ids.size());

  const auto refused =
      client.request({.transaction = 77, .service = kNas, .message_id = 0x5568, .instance = 8});
  ASSERT_TRUE(refused);
  EXPECT_EQ(9u, refused->result);
}

TEST_F(DaemonTest, ThreeInterleavedClientsEachGetTheirOwnAnswers) {
  constexpr int kPerClient = 10;
  start();
  // The modem holds every request and answers all of them at once, last first.
  auto held = std::make_shared<std::vector<qmux::Frame>>();
  modem()->set_handler([held](const qmux::Frame& request) {
    held->push_back(request);
    std::vector<qmux::Frame> answers;
    if (held->size() == 3 * kPerClient)
      for (auto it = held->rbegin(); it != held->rend(); ++it)
        answers.push_back(FakeModem::echo(*it));
    return answers;
  });
  std::vector<std::unique_ptr<TestClient>> clients;
  for (unsigned pair = 0; pair < 3; ++pair)
    clients.push_back(std::make_unique<TestClient>(kModem, pair));
  // Every client uses the same transaction numbers; only the payload differs.
  for (uint8_t n = 1; n <= kPerClient; ++n)
    for (uint8_t c = 0; c < 3; ++c)
      clients[c]->send(QmiRequestFields{.transaction = n,
                                        .service = kNas,
                                        .message_id = 0x0021,
                                        .tlvs = {0x20, 0x02, 0x00, c, n}});
  for (uint8_t c = 0; c < 3; ++c) {
    std::set<uint8_t> seen;
    for (int i = 0; i < kPerClient; ++i) {
      const auto answer = clients[c]->receive();
      ASSERT_TRUE(answer) << "client " << int(c) << " answer " << i;
      EXPECT_EQ(0u, answer->result);
      const std::vector<uint8_t> expected{0x20, 0x02, 0x00, c, answer->transaction};
      EXPECT_EQ(expected, tlv_value(answer->tlvs, 0x10)) << "client " << int(c);
      seen.insert(answer->transaction);
    }
    EXPECT_EQ(size_t(kPerClient), seen.size());
  }
}

TEST_F(DaemonTest, ASilentModemGivesATimeOutAnswerAndItsLateAnswerIsDropped) {
  start();
  auto held = std::make_shared<std::vector<qmux::Frame>>();
  modem()->set_handler([held](const qmux::Frame& request) {
    held->push_back(request);
    return std::vector<qmux::Frame>{};
  });
  TestClient client(kModem, 0);
  const auto answer =
      client.request({.transaction = 5, .service = kNas, .message_id = 0x0043, .timeout_ms = 300});
  ASSERT_TRUE(answer);
  EXPECT_EQ(0xE004u, answer->result);
  EXPECT_EQ(5, answer->transaction);
  EXPECT_EQ(0x0043, answer->message_id);
  EXPECT_EQ(0xE004, qmi_error(*answer));

  ASSERT_TRUE(modem()->wait_for(is_nas_request));
  modem()->set_handler(nullptr);
  modem()->send(FakeModem::echo(held->front()));
  EXPECT_FALSE(client.receive(300ms)) << "the late answer must not reach the client";
  const auto next = client.request({.transaction = 6, .service = kNas, .message_id = 0x0043});
  ASSERT_TRUE(next);
  EXPECT_EQ(0u, next->result);
}

TEST_F(DaemonTest, AFrameTheModemBreaksOffIsGivenUpAndItsNextAnswerArrives) {
  start();
  FakeModem* fake = modem().get();
  fake->set_handler([fake](const qmux::Frame& request) {
    // The modem begins a long answer, breaks off and falls quiet; then it
    // answers afresh. Without giving the broken frame up, the daemon would
    // take the new answer for the rest of its body.
    qmux::TlvBuilder long_answer;
    long_answer.add_result(0);
    long_answer.add(0x10, std::vector<uint8_t>(1000, 0xAA));
    const auto bytes = qmux::encode_frame(qmux::response_to(request, long_answer.take()));
    fake->send_bytes(std::span(bytes).first(40));
    std::this_thread::sleep_for(qmux::TimedReassembler::kPartialFrameTimeout + 200ms);
    return std::vector<qmux::Frame>{FakeModem::echo(request)};
  });
  TestClient client(kModem, 0);
  const std::vector<uint8_t> tlvs{0x01, 0x01, 0x00, 0x09};
  const auto answer = client.request(
      {.transaction = 7, .service = kNas, .message_id = 0x0043, .tlvs = tlvs, .timeout_ms = 4000});
  ASSERT_TRUE(answer);
  EXPECT_EQ(0u, answer->result);
  EXPECT_EQ(7, answer->transaction);
  EXPECT_EQ(tlvs, tlv_value(answer->tlvs, 0x10));
}

struct BadDatagram {
  const char* what;
  std::vector<uint8_t> bytes;
  bool answered;  // with 1001 (malformed) for transaction 0x33
};

std::vector<BadDatagram> bad_datagrams() {
  const auto good = qmi_request_bytes({.transaction = 0x33,
                                       .service = kNas,
                                       .message_id = 0x0021,
                                       .tlvs = {0x10, 0x01, 0x00, 0x05}});
  std::vector<BadDatagram> cases;
  cases.push_back({"empty", {}, false});
  cases.push_back({"shorter than an AM header", {good.begin(), good.begin() + 9}, false});
  cases.push_back({"short QMI header", {good.begin(), good.begin() + 15}, false});
  auto check_word = good;
  check_word[2] = 1;
  cases.push_back({"check word", check_word, false});
  auto response_type = good;
  response_type[0] = 0xC1;
  cases.push_back({"a response sent to the daemon", response_type, false});
  auto sdk = terminate_request_bytes();
  sdk.push_back(0);
  cases.push_back({"SDK request of 12 bytes", sdk, false});
  auto am_length = good;
  am_length[8] += 1;
  cases.push_back({"AM length lies", am_length, true});
  auto qmi_length = good;
  qmi_length[16] -= 1;
  cases.push_back({"QMI length lies", qmi_length, true});
  auto tlv_length = good;
  tlv_length[kQmiPayloadOffset + 2] += 1;
  cases.push_back({"TLV area length lies", tlv_length, true});
  auto tlv_overrun = good;
  tlv_overrun[kQmiPayloadOffset + 5] = 9;
  cases.push_back({"a TLV runs past the end", tlv_overrun, true});
  auto cut = good;
  cut.pop_back();
  cases.push_back({"one byte missing", cut, true});
  return cases;
}

TEST_F(DaemonTest, MalformedDatagramsAreDroppedOrAnsweredAndTheNextRequestWorks) {
  start();
  TestClient client(kModem, 0);
  TestClient bystander(kModem, 1);
  uint8_t transaction = 1;
  for (const auto& bad : bad_datagrams()) {
    // Another client's request is in flight meanwhile and must not be disturbed.
    bystander.send(
        QmiRequestFields{.transaction = transaction, .service = kNas, .message_id = 0x21});
    client.send(bad.bytes);
    if (bad.answered) {
      const auto answer = client.receive(2s);
      ASSERT_TRUE(answer) << bad.what;
      EXPECT_EQ(0x33, answer->transaction) << bad.what;
      EXPECT_EQ(1001u, answer->result) << bad.what;
      EXPECT_EQ(1, qmi_error(*answer)) << bad.what;
    }
    const auto good =
        client.request({.transaction = transaction, .service = kNas, .message_id = 0x21});
    ASSERT_TRUE(good) << "after " << bad.what;
    EXPECT_EQ(0u, good->result) << bad.what;
    const auto other = bystander.receive();
    ASSERT_TRUE(other) << bad.what;
    EXPECT_EQ(transaction, other->transaction);
    EXPECT_EQ(0u, other->result);
    ++transaction;
  }
}

TEST_F(DaemonTest, EveryPrefixOfARequestIsSurvived) {
  start();
  TestClient client(kModem, 0);
  const auto full = qmi_request_bytes(
      {.transaction = 0x44, .service = kNas, .message_id = 0x21, .tlvs = {0x10, 0x02, 0x00, 1, 2}});
  for (size_t n = 0; n < full.size(); ++n) {
    client.send(std::span(full).first(n));
    if (n >= kQmiPayloadOffset) {
      const auto answer = client.receive(2s);
      ASSERT_TRUE(answer) << "prefix of " << n;
      EXPECT_EQ(1001u, answer->result) << "prefix of " << n;
    }
  }
  EXPECT_FALSE(client.receive(100ms)) << "shorter prefixes get no answer";
  const auto whole = client.request({.transaction = 0x45, .service = kNas, .message_id = 0x21});
  ASSERT_TRUE(whole);
  EXPECT_EQ(0u, whole->result);
}

TEST_F(DaemonTest, TheControlServiceIsNotForClients) {
  start();
  TestClient client(kModem, 0);
  const auto answer = client.request({.service = 0x00, .message_id = qmux::ctl::kSync});
  ASSERT_TRUE(answer);
  EXPECT_EQ(0xE002u, answer->result);
  // Frames arrive in order: once a later request is answered, the modem has
  // seen everything before it.
  ASSERT_TRUE(client.request({.transaction = 2, .service = kNas, .message_id = 0x21}));
  size_t syncs = 0;
  for (const auto& f : modem()->received())
    syncs += f.message_id == qmux::ctl::kSync && f.service == qmux::kServiceCtl;
  EXPECT_EQ(1u, syncs) << "only the daemon's own Sync reached the modem";
}

TEST_F(DaemonTest, AClientThatDoesNotReadDoesNotStallTheOthers) {
  start();
  TestClient deaf(kModem, 2);
  TestClient client(kModem, 0);
  for (int i = 0; i < 60; ++i)
    deaf.send(QmiRequestFields{.transaction = uint8_t(i), .service = kNas, .message_id = 0x21});
  const auto answer = client.request({.transaction = 200, .service = kNas, .message_id = 0x21});
  ASSERT_TRUE(answer);
  EXPECT_EQ(0u, answer->result);
}

TEST_F(DaemonTest, ARunawayClientIsCappedAtItsOutstandingRequests) {
  start();
  modem()->set_handler([](const qmux::Frame&) { return std::vector<qmux::Frame>{}; });
  TestClient client(kModem, 0);
  const int cap = static_cast<int>(Daemon::kMaxOutstandingPerClient);
  for (int i = 0; i < cap + 5; ++i)
    client.send(QmiRequestFields{
        .transaction = uint8_t(i), .service = kNas, .message_id = 0x21, .timeout_ms = 60000});
  for (int i = 0; i < 5; ++i) {
    const auto refused = client.receive();
    ASSERT_TRUE(refused);
    EXPECT_EQ(11u, refused->result);
    EXPECT_GE(refused->transaction, cap);
  }
  TestClient other(kModem, 1);
  other.send(
      QmiRequestFields{.transaction = 1, .service = kNas, .message_id = 0x21, .timeout_ms = 200});
  const auto own = other.receive();
  ASSERT_TRUE(own);
  EXPECT_EQ(0xE004u, own->result) << "another client is not capped by the first one's requests";
}

// Device-service requests that wait for the modem's identification count
// against the same cap, per client.
TEST_F(DaemonTest, ARunawayClientIsCappedAtItsRequestsWaitingForIdentification) {
  source_->set_identity_silent(true);
  start();
  TestClient client(kModem, 0);
  const int cap = static_cast<int>(Daemon::kMaxOutstandingPerClient);
  for (int i = 0; i < cap + 5; ++i)
    client.send(QmiRequestFields{.transaction = uint8_t(i),
                                 .service = kDeviceService,
                                 .message_id = 0x0000,
                                 .timeout_ms = 60000});
  for (int i = 0; i < 5; ++i) {
    const auto refused = client.receive(1s);
    ASSERT_TRUE(refused) << "refusal " << i << " comes at once, not after identification";
    EXPECT_EQ(11u, refused->result);
    EXPECT_EQ(11, qmi_error(*refused));
    EXPECT_GE(refused->transaction, cap);
  }
  TestClient other(kModem, 1);
  const auto own = other.request(
      {.transaction = 1, .service = kDeviceService, .message_id = 0x0000, .timeout_ms = 60000});
  ASSERT_TRUE(own);
  EXPECT_EQ(0u, own->result) << "another client is not capped by the first one's requests";
}

// The loop's wait failing is an internal failure: the daemon ends, and not
// with the status of a clean end.
TEST_F(DaemonTest, AFailedEventWaitEndsTheDaemonWithAFailureStatus) {
  start(false);
  ASSERT_TRUE(wait_for_daemon(kModem));
  // The daemon's epoll set is the process's only one; with another file in
  // its place the next wait fails.
  int set = -1;
  for (int fd = 0; fd < 1024 && set < 0; ++fd) {
    char target[64] = "";
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string_view(target, static_cast<size_t>(n)) == "anon_inode:[eventpoll]")
      set = fd;
  }
  ASSERT_GE(set, 0);
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(set, dup3(null, set, O_CLOEXEC));
  close(null);
  ASSERT_TRUE(ended()) << "the daemon goes on without its event set";
  EXPECT_EQ(1, status_.load());
}

TEST_F(DaemonTest, TerminateReleasesEveryClientIdAndEnds) {
  start();
  TestClient client(kModem, 0);
  for (uint8_t instance = 0; instance < 3; ++instance)
    ASSERT_TRUE(client.request(
        {.transaction = instance, .service = kNas, .message_id = 0x21, .instance = instance}));
  auto fake = modem();
  ASSERT_FALSE(fake->live_clients().empty());
  client.send(terminate_request_bytes());
  ASSERT_TRUE(ended());
  EXPECT_EQ(0, status_.load());
  EXPECT_TRUE(fake->live_clients().empty());
}

TEST_F(DaemonTest, ModemIndicationsGoToTheClientsOfTheirQmiClient) {
  start();
  TestClient first(kModem, 0);
  TestClient second(kModem, 1);
  ASSERT_TRUE(
      first.request({.transaction = 1, .service = kNas, .message_id = 0x21, .instance = 0}));
  ASSERT_TRUE(
      second.request({.transaction = 1, .service = kNas, .message_id = 0x21, .instance = 1}));
  uint8_t first_client_id = 0;
  for (const auto& f : modem()->received())
    if (is_nas_request(f)) {
      first_client_id = f.client_id;
      break;
    }
  qmux::Frame indication{qmux::Sender::modem,           kNas, first_client_id,
                         qmux::MessageKind::indication, 7,    0x0024,
                         {0x10, 0x01, 0x00, 0x2A}};
  modem()->send(indication);
  const auto got = first.receive_indication();
  ASSERT_TRUE(got);
  EXPECT_EQ(kAmQmiNotification, got->type);
  EXPECT_EQ(0, got->check_word);
  EXPECT_EQ(kNas, got->header.service);
  EXPECT_EQ(0, got->header.instance);
  EXPECT_EQ(0x0024, got->message_id);
  EXPECT_EQ(indication.tlvs, got->tlvs);
  EXPECT_FALSE(second.receive_indication(200ms)) << "not the second client's QMI client";

  indication.client_id = qmux::kBroadcastClient;
  modem()->send(indication);
  const auto to_first = first.receive_indication();
  const auto to_second = second.receive_indication();
  ASSERT_TRUE(to_first);
  ASSERT_TRUE(to_second);
  EXPECT_EQ(1, to_second->header.instance);
  EXPECT_FALSE(first.receive_indication(200ms)) << "a broadcast reaches each client once";
}

uint8_t state_of(const Packet& indication) {
  const auto state = tlv_value(indication.tlvs, 0x10);
  return state && state->size() == 1 ? (*state)[0] : 0xFF;
}

TEST_F(DaemonTest, ModemLossAndReturnAreAnnouncedToConnectedClients) {
  start();
  TestClient connected(kModem, 0);
  TestClient bystander(kModem, 1);
  ASSERT_TRUE(connected.connect_device());
  auto first_modem = modem();
  first_modem->set_handler([](const qmux::Frame&) { return std::vector<qmux::Frame>{}; });
  connected.send(QmiRequestFields{
      .transaction = 50, .service = kNas, .message_id = 0x21, .timeout_ms = 60000});
  ASSERT_TRUE(first_modem->wait_for(is_nas_request));

  source_->set_present(false);
  first_modem->vanish();
  const auto gone = connected.receive_indication();
  ASSERT_TRUE(gone);
  EXPECT_EQ(kDeviceService, gone->header.service);
  EXPECT_EQ(0x0014, gone->message_id);
  EXPECT_EQ(0, state_of(*gone));
  const auto pending = connected.receive();
  ASSERT_TRUE(pending) << "the request in flight is answered at once";
  EXPECT_EQ(50, pending->transaction);
  EXPECT_EQ(6u, pending->result);
  const auto meanwhile =
      connected.request({.transaction = 51, .service = kNas, .message_id = 0x21});
  ASSERT_TRUE(meanwhile);
  EXPECT_EQ(6u, meanwhile->result);

  source_->set_present(true);
  const auto back = connected.receive_indication();
  ASSERT_TRUE(back);
  EXPECT_EQ(1, state_of(*back));
  EXPECT_FALSE(bystander.receive_indication(100ms)) << "not connected: no device states";
  const auto again = connected.request({.transaction = 52, .service = kNas, .message_id = 0x21});
  ASSERT_TRUE(again);
  EXPECT_EQ(0u, again->result);
  EXPECT_NE(first_modem, modem());
  EXPECT_TRUE(modem()->wait_for(
      [](const qmux::Frame& f) { return f.service == 0 && f.message_id == qmux::ctl::kSync; }));
}

TEST_F(DaemonTest, AModemRestartFailsWhatIsPendingAndAllocatesAfresh) {
  start();
  TestClient client(kModem, 0);
  ASSERT_TRUE(client.connect_device());
  ASSERT_TRUE(client.request({.transaction = 1, .service = kNas, .message_id = 0x21}));
  const size_t allocations = modem()->allocations();
  modem()->set_handler([](const qmux::Frame&) { return std::vector<qmux::Frame>{}; });
  client.send(
      QmiRequestFields{.transaction = 2, .service = kNas, .message_id = 0x21, .timeout_ms = 60000});
  ASSERT_TRUE(modem()->wait_for(
      [](const qmux::Frame& f) { return is_nas_request(f) && f.transaction >= 2; }));
  modem()->send(qmux::ctl::sync_indication());
  const auto failed = client.receive();
  ASSERT_TRUE(failed);
  EXPECT_EQ(2, failed->transaction);
  EXPECT_EQ(13u, failed->result);
  const auto down = client.receive_indication();
  const auto up = client.receive_indication();
  ASSERT_TRUE(down);
  ASSERT_TRUE(up);
  EXPECT_EQ(0, state_of(*down));
  EXPECT_EQ(1, state_of(*up));

  modem()->set_handler(nullptr);
  const auto next = client.request({.transaction = 3, .service = kNas, .message_id = 0x21});
  ASSERT_TRUE(next);
  EXPECT_EQ(0u, next->result);
  EXPECT_EQ(allocations + 1, modem()->allocations());
}

TEST_F(DaemonTest, DisconnectedClientsGetNoDeviceStates) {
  start();
  TestClient client(kModem, 0);
  ASSERT_TRUE(client.connect_device());
  const auto bye =
      client.request({.transaction = 9, .service = kDeviceService, .message_id = 0x0002});
  ASSERT_TRUE(bye);
  EXPECT_EQ(0u, bye->result);
  EXPECT_EQ(0, qmi_error(*bye));
  source_->set_present(false);
  modem()->vanish();
  EXPECT_FALSE(client.receive_indication(500ms));
}

TEST_F(DaemonTest, AnswersForAClientThatLeftDoNotReachTheNextOnItsPair) {
  start();
  const std::vector<uint8_t> marker{0x10, 0x01, 0x00, 0xAA};
  auto held = std::make_shared<std::vector<qmux::Frame>>();
  modem()->set_handler([held, marker](const qmux::Frame& request) {
    if (request.tlvs == marker) {
      held->push_back(request);
      return std::vector<qmux::Frame>{};
    }
    return std::vector<qmux::Frame>{FakeModem::echo(request)};
  });
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The first client asks, then exits before the modem answers.
    TestClient first(kModem, 0);
    first.send(QmiRequestFields{.transaction = 5,
                                .service = kNas,
                                .message_id = 0x21,
                                .tlvs = marker,
                                .timeout_ms = 60000});
    _exit(0);
  }
  ASSERT_EQ(child, waitpid(child, nullptr, 0));
  ASSERT_TRUE(modem()->wait_for([&](const qmux::Frame& f) { return f.tlvs == marker; }));

  TestClient next(kModem, 0);
  ASSERT_TRUE(next.request({.transaction = 1, .service = kNas, .message_id = 0x21}));
  modem()->send(FakeModem::echo(held->front()));
  EXPECT_FALSE(next.receive(300ms)) << "the first client's answer reached the next one";
}

TEST_F(DaemonTest, OtherUsersAreRefusedAtOnceAndServedNothing) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to send as another user";
  start();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Another user's process: told that it is not served, and nothing more.
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    TestClient stranger(kModem, 1);
    const auto answer =
        stranger.request({.transaction = 1, .service = kDeviceService, .message_id = 0}, 1s);
    const bool refused = answer && answer->result == 0xE003 && answer->tlvs.size() == 7;
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot change user here";
  EXPECT_EQ(0, WEXITSTATUS(status)) << "the stranger got something else than the refusal";
  TestClient owner(kModem, 1);
  const auto answer = owner.request({.transaction = 1, .service = kDeviceService, .message_id = 0});
  ASSERT_TRUE(answer);
  EXPECT_EQ(0u, answer->result);
}

TEST_F(DaemonTest, DatagramsFromAnotherSocketThanThePairClientsChangeNothing) {
  start();
  TestClient client(kModem, 0);
  ASSERT_TRUE(client.connect_device());
  // Another process, from a socket bound to no name: dropped before it is
  // read, so the client keeps its pair, its device states and its answers.
  const pid_t intruder = fork();
  ASSERT_GE(intruder, 0);
  if (intruder == 0) {
    const int other = socket(AF_UNIX, SOCK_DGRAM, 0);
    const sockaddr_un pair = os_channel_address(ChannelSide::kDaemon, kModem, "QMRR1", 0);
    for (const auto& bytes : {std::vector<uint8_t>{1, 2, 3},
                              qmi_request_bytes({.transaction = 7, .service = kDeviceService})})
      sendto(other, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&pair),
             sizeof pair);
    _exit(0);
  }
  ASSERT_EQ(intruder, waitpid(intruder, nullptr, 0));
  EXPECT_FALSE(client.receive(300ms)) << "the intruder was answered on the client's socket";
  source_->set_present(false);
  modem()->vanish();
  const auto gone = client.receive_indication();
  ASSERT_TRUE(gone) << "the client no longer gets its device states";
  EXPECT_EQ(0, state_of(*gone));
}

// A QMI control device whose write to the modem failed reports an error on
// poll while a read finds nothing: the daemon must neither spin on it nor
// keep the link. Modelled by a pipe's write end with no reader, which polls as
// an error, behind a link whose reads find nothing.
class ErrorOnlyLink final : public ModemLink {
 public:
  ErrorOnlyLink(std::atomic<int>& reads, std::atomic<bool>& closed)
      : reads_(reads), closed_(closed) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
      close(ends[0]);
      fd_ = ends[1];
    }
  }
  ~ErrorOnlyLink() override {
    if (fd_ >= 0) close(fd_);
    closed_ = true;
  }
  int fd() const override { return fd_; }
  const std::string& node() const override { return node_; }
  LinkRead read(std::span<uint8_t>, size_t&) override {
    ++reads_;
    return LinkRead::again;
  }
  ssize_t write_some(std::span<const uint8_t> bytes) override {
    return static_cast<ssize_t>(bytes.size());
  }

 private:
  std::atomic<int>& reads_;
  std::atomic<bool>& closed_;
  int fd_ = -1;
  std::string node_ = "/dev/error-only";
};

class ErrorOnlySource final : public LinkSource {
 public:
  std::unique_ptr<ModemLink> open(std::string& why) override {
    if (opened_) {
      why = "opened once";
      return nullptr;
    }
    opened_ = true;
    return std::make_unique<ErrorOnlyLink>(reads, closed);
  }
  std::string describe() const override { return "a link that only reports errors"; }

  std::atomic<int> reads{0};
  std::atomic<bool> closed{false};

 private:
  bool opened_ = false;
};

TEST(DaemonLinkTest, ALinkThatReportsAnErrorWithNothingToReadIsGivenUp) {
  log_open(LogSink::standard_error, false);
  std::optional<ClientEndpoints> endpoints;
  std::string error;
  ASSERT_EQ(EndpointsStatus::open, ClientEndpoints::open(kModem, endpoints, error)) << error;
  auto source = std::make_unique<ErrorOnlySource>();
  ErrorOnlySource& link_source = *source;
  Daemon daemon(std::move(*endpoints), std::move(source));
  std::thread loop([&daemon] { daemon.run(); });
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (!link_source.closed && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(10ms);
  daemon.request_stop();
  loop.join();
  EXPECT_TRUE(link_source.closed) << "the link was kept after " << link_source.reads
                                  << " reads that found nothing";
  EXPECT_EQ(1, link_source.reads);
}

// A modem that takes a few bytes of a frame and then reports itself full, as
// a busy device does: the rest must go out when it can take more, without
// another request to push it.
class TrickleLink final : public ModemLink {
 public:
  explicit TrickleLink(std::unique_ptr<ModemLink> inner) : inner_(std::move(inner)) {}
  int fd() const override { return inner_->fd(); }
  const std::string& node() const override { return inner_->node(); }
  LinkRead read(std::span<uint8_t> buffer, size_t& got) override {
    return inner_->read(buffer, got);
  }
  ssize_t write_some(std::span<const uint8_t> bytes) override {
    full_ = !full_;
    if (full_) return 0;
    return inner_->write_some(bytes.first(std::min<size_t>(bytes.size(), 3)));
  }

 private:
  std::unique_ptr<ModemLink> inner_;
  bool full_ = false;
};

class TrickleSource final : public LinkSource {
 public:
  std::unique_ptr<ModemLink> open(std::string& why) override {
    auto link = modem.open(why);
    return link ? std::make_unique<TrickleLink>(std::move(link)) : nullptr;
  }
  std::string describe() const override { return "a modem that takes 3 bytes at a time"; }
  FakeModemSource modem;
};

TEST(DaemonLinkTest, FramesTheModemTakesBitByBitAllReachIt) {
  log_open(LogSink::standard_error, false);
  std::optional<ClientEndpoints> endpoints;
  std::string error;
  ASSERT_EQ(EndpointsStatus::open, ClientEndpoints::open(kModem, endpoints, error)) << error;
  Daemon daemon(std::move(*endpoints), std::make_unique<TrickleSource>());
  std::thread loop([&daemon] { daemon.run(); });
  TestClient client(kModem, 0);
  for (uint8_t transaction = 1; transaction <= 3; ++transaction) {
    const auto answer = client.request({.transaction = transaction,
                                        .service = kNas,
                                        .message_id = 0x5568,
                                        .tlvs = {0x10, 1, 0, 7}});
    ASSERT_TRUE(answer) << "request " << int(transaction);
    EXPECT_EQ(0u, answer->result);
  }
  daemon.request_stop();
  loop.join();
}

}  // namespace
}  // namespace vant::daemon::testing
