#include "daemon/modem_session.h"

#include <gtest/gtest.h>

#include "qmux/ctl.h"
#include "qmux/response.h"
#include "qmux/tlv.h"

namespace vant::daemon {
namespace {

using namespace std::chrono_literals;

struct Answer {
  RequestOrigin origin;
  uint32_t result;
  std::vector<uint8_t> tlvs;
};

class Recorder : public SessionEvents {
 public:
  void send_frame(const qmux::Frame& frame) override { sent.push_back(frame); }
  void answer(const RequestOrigin& origin, uint32_t result, uint16_t,
              std::span<const uint8_t> tlvs) override {
    answers.push_back({origin, result, {tlvs.begin(), tlvs.end()}});
  }
  void indicate(uint8_t, uint8_t, const qmux::Frame&) override {}
  void session_ready() override { ++ready; }
  void modem_restarted() override { ++restarts; }

  std::vector<qmux::Frame> sent;
  std::vector<Answer> answers;
  int ready = 0;
  int restarts = 0;
};

RequestOrigin origin(uint8_t pair, uint8_t transaction, uint8_t service = 3) {
  RequestOrigin o;
  o.pair = pair;
  o.transaction = transaction;
  o.header.service = service;
  o.message_id = 0x0021;
  return o;
}

qmux::Frame from_modem(qmux::Frame frame) {
  frame.sender = qmux::Sender::modem;
  return frame;
}

class SessionTest : public ::testing::Test {
 protected:
  const TimePoint t0 = Clock::now();
  Recorder events;
  ModemSession session{events};

  void sync() {
    session.start(t0);
    session.on_frame(qmux::ctl::sync_response(uint8_t(events.sent.back().transaction), 0), t0);
  }
};

TEST_F(SessionTest, RequestsWaitForTheSyncAndTheirClientId) {
  session.start(t0);
  session.submit(origin(0, 1), {}, t0 + 1s, t0);
  ASSERT_EQ(1u, events.sent.size()) << "nothing but the Sync before it is answered";
  session.on_frame(qmux::ctl::sync_response(uint8_t(events.sent[0].transaction), 0), t0);
  EXPECT_EQ(1, events.ready);
  ASSERT_EQ(2u, events.sent.size());
  ASSERT_EQ(3, qmux::ctl::parse_allocate_client_id_request(events.sent[1]));
  session.on_frame(
      qmux::ctl::allocate_client_id_response(uint8_t(events.sent[1].transaction), 0, {3, 42}), t0);
  ASSERT_EQ(3u, events.sent.size());
  EXPECT_EQ(42, events.sent[2].client_id);
  EXPECT_EQ(qmux::MessageKind::request, events.sent[2].kind);
}

TEST_F(SessionTest, ASyncIndicationAheadOfOurSyncAnswerIsNoRestart) {
  // A modem that starts a stream announces its restart before it reads our Sync.
  session.start(t0);
  const auto our_sync = uint8_t(events.sent[0].transaction);
  session.on_frame(qmux::ctl::sync_indication(), t0);
  EXPECT_EQ(0, events.restarts);
  EXPECT_FALSE(session.ready());
  session.on_frame(qmux::ctl::sync_response(our_sync, 0), t0);
  EXPECT_EQ(1, events.ready);
  session.on_frame(qmux::ctl::sync_indication(), t0);
  EXPECT_EQ(1, events.restarts);
  EXPECT_EQ(1, events.ready) << "ready is announced once";
}

TEST_F(SessionTest, AnUnansweredSyncFailsWhatWaitsAndIsAskedAgain) {
  session.start(t0);
  session.submit(origin(0, 1), {}, t0 + 10s, t0);
  session.on_timer(t0 + ModemSession::kSyncTimeout);
  EXPECT_FALSE(session.ready());
  ASSERT_EQ(1u, events.answers.size());
  EXPECT_EQ(6u, events.answers[0].result) << "a modem that does not listen is no modem";
  ASSERT_EQ(2u, events.sent.size());
  EXPECT_EQ(qmux::ctl::kSync, events.sent[1].message_id) << "nothing but another Sync";

  // Once it answers, the session runs.
  session.on_frame(qmux::ctl::sync_response(uint8_t(events.sent[1].transaction), 0), t0 + 3s);
  EXPECT_TRUE(session.ready());
  EXPECT_EQ(1, events.ready);
}

TEST_F(SessionTest, ARefusedClientIdAnswersWithTheModemsError) {
  sync();
  session.submit(origin(0, 1), {}, t0 + 1s, t0);
  session.submit(origin(1, 1), {}, t0 + 1s, t0);
  ASSERT_EQ(2u, events.sent.size()) << "one allocation for both";
  session.on_frame(
      qmux::ctl::allocate_client_id_response(uint8_t(events.sent[1].transaction), 0x05, {3, 0}),
      t0);
  ASSERT_EQ(2u, events.answers.size());
  for (const auto& a : events.answers) {
    EXPECT_EQ(0u, a.result);
    const auto qmi = qmux::find_result(a.tlvs);
    ASSERT_TRUE(qmi);
    EXPECT_EQ(0x05, qmi->error);
  }
}

TEST_F(SessionTest, SameClientTransactionsGetDistinctLinkTransactions) {
  sync();
  session.submit(origin(0, 7), {}, t0 + 1s, t0);
  session.on_frame(
      qmux::ctl::allocate_client_id_response(uint8_t(events.sent[1].transaction), 0, {3, 1}), t0);
  session.submit(origin(1, 7), {}, t0 + 1s, t0);
  ASSERT_EQ(4u, events.sent.size());
  const qmux::Frame first = events.sent[2], second = events.sent[3];
  EXPECT_NE(first.transaction, second.transaction);
  // Answered in the other order, each reaches its own pair.
  session.on_frame(qmux::result_only_response(from_modem(second), 0), t0);
  session.on_frame(qmux::result_only_response(from_modem(first), 0), t0);
  ASSERT_EQ(2u, events.answers.size());
  EXPECT_EQ(1, events.answers[0].origin.pair);
  EXPECT_EQ(0, events.answers[1].origin.pair);
  // A second answer to the same transaction finds nobody.
  session.on_frame(qmux::result_only_response(from_modem(first), 0), t0);
  EXPECT_EQ(2u, events.answers.size());
}

TEST_F(SessionTest, DeadlinesPassWithTimeOutAnswers) {
  sync();
  session.submit(origin(0, 1), {}, t0 + 300ms, t0);
  EXPECT_EQ(std::optional<TimePoint>(t0 + 300ms), session.next_deadline());
  session.on_timer(t0 + 299ms);
  EXPECT_TRUE(events.answers.empty());
  session.on_timer(t0 + 300ms);
  ASSERT_EQ(1u, events.answers.size());
  EXPECT_EQ(0xE004u, events.answers[0].result);
}

TEST_F(SessionTest, ReleaseAllReleasesEachAllocatedId) {
  sync();
  for (uint8_t instance = 0; instance < 3; ++instance) {
    auto o = origin(0, instance);
    o.header.instance = instance;
    session.submit(o, {}, t0 + 1s, t0);
    session.on_frame(qmux::ctl::allocate_client_id_response(uint8_t(events.sent.back().transaction),
                                                            0, {3, uint8_t(10 + instance)}),
                     t0);
  }
  EXPECT_EQ(3u, session.allocated_clients());
  events.sent.clear();
  session.release_all(t0);
  ASSERT_EQ(3u, events.sent.size());
  std::set<uint8_t> released;
  for (const auto& f : events.sent) {
    const auto id = qmux::ctl::parse_release_client_id_request(f);
    ASSERT_TRUE(id);
    released.insert(id->client_id);
  }
  EXPECT_EQ((std::set<uint8_t>{10, 11, 12}), released);
  EXPECT_TRUE(session.releasing());
  for (const auto& f : events.sent) {
    const auto id = qmux::ctl::parse_release_client_id_request(f);
    session.on_frame(qmux::ctl::release_client_id_response(uint8_t(f.transaction), 0, *id), t0);
  }
  EXPECT_FALSE(session.releasing());
}

// The modem keeps a client id it granted until someone releases it: an
// answer that comes after we stopped waiting must not leave one behind.
TEST_F(SessionTest, AClientIdGrantedTooLateIsReleased) {
  struct Case {
    const char* name;
    void (*abandon)(ModemSession&, TimePoint);
  };
  const Case cases[] = {
      {"the daemon ends",
       [](ModemSession& s, TimePoint now) {
         s.release_all(now);
         s.fail_all(0xE002);
       }},
      {"the allocation timed out",
       [](ModemSession& s, TimePoint now) { s.on_timer(now + ModemSession::kControlTimeout); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    ModemSession s{recorder};
    s.start(t0);
    s.on_frame(qmux::ctl::sync_response(uint8_t(recorder.sent.back().transaction), 0), t0);
    s.submit(origin(0, 1), {}, t0 + 1s, t0);
    const qmux::Frame allocation = recorder.sent.back();
    ASSERT_TRUE(qmux::ctl::parse_allocate_client_id_request(allocation));
    c.abandon(s, t0);
    EXPECT_TRUE(s.releasing()) << "the allocation's answer is still awaited";
    recorder.sent.clear();
    s.on_frame(qmux::ctl::allocate_client_id_response(uint8_t(allocation.transaction), 0, {3, 9}),
               t0);
    const qmux::Frame* release = nullptr;
    for (const auto& f : recorder.sent)
      if (qmux::ctl::parse_release_client_id_request(f)) release = &f;
    ASSERT_NE(nullptr, release);
    const auto id = qmux::ctl::parse_release_client_id_request(*release);
    EXPECT_EQ(3, id->service);
    EXPECT_EQ(9, id->client_id);
    EXPECT_EQ(0u, s.allocated_clients());
    s.on_frame(qmux::ctl::release_client_id_response(uint8_t(release->transaction), 0, *id), t0);
    EXPECT_FALSE(s.releasing());
  }
}

}  // namespace
}  // namespace vant::daemon
