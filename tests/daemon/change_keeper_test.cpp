// The daemon's hold of a change: its journal text, the journal's file checks,
// and the keeper's decisions driven by a fake daemon and a fake wall clock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "daemon/change_keeper.h"
#include "qmux/tlv.h"
#include "tests/support/temp_dir.h"
#include "vantsdk/result_codes.h"

namespace vant::daemon {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;

constexpr uint8_t kNas = 3;
constexpr uint16_t kSetLock = 0x5569, kGetLock = 0x5568;
const std::vector<uint8_t> kUnlockedPci = {0x12, 0x01, 0x00, 0x00};  // expected: status 0

std::vector<uint8_t> tlv(uint8_t type, std::vector<uint8_t> value) {
  qmux::TlvBuilder b;
  b.add(type, value);
  return b.take();
}

std::vector<uint8_t> answer(uint16_t error, std::vector<uint8_t> more = {}) {
  qmux::TlvBuilder b;
  b.add_result(error);
  auto out = b.take();
  out.insert(out.end(), more.begin(), more.end());
  return out;
}

ChangeRecord sample_record() {
  ChangeRecord r;
  r.id = 7;
  r.started_ms = 1'700'000'000'000;
  r.deadline_ms = r.started_ms + 60000;
  r.revert_after_ms = 60000;
  r.boot_id = "boot-a";
  r.device_key = {'3', '5', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '1'};
  r.label = "lock lte-pci 2000 41";
  r.previous = R"({"lte_pci":{"locked":false}})";
  r.restore = {kNas, kSetLock, tlv(0x12, {0, 0, 0, 0, 0, 0, 0, 0, 0})};
  r.read_back = {kNas, kGetLock, {}};
  r.expected = kUnlockedPci;
  return r;
}

TEST(ChangeRecord, SurvivesItsJournalTextAndRefusesAnyDamage) {
  const ChangeRecord r = sample_record();
  const std::string text = encode_change(r);
  EXPECT_EQ(r, decode_change(text));
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  const std::string damaged[] = {
      "",
      text.substr(0, text.size() - 1),             // the last line cut off
      replaced("vant-change 1", "vant-change 2"),  // another format
      replaced("id 7", "id x"),
      replaced("id 7", "id -7"),
      replaced("label ", "label\t"),
      replaced("expected 120100", "expected 12010"),  // odd hex
      replaced("expected 120100", "expected 12010g"),
      replaced("restore 3 ", "restore 300 "),  // a service above 255
      replaced("device_key 3", "device_key "),
      text + "id 8\n",  // a field twice
      std::string(kJournalLimit + 1, 'a'),
  };
  for (const std::string& t : damaged) EXPECT_FALSE(decode_change(t)) << t;
}

TEST(ChangeRecord, ReadBackMatchesWhenEachExpectedValueBeginsTheAnswers) {
  const auto held = answer(0, tlv(0x12, {0, 0xD0, 7, 0, 0, 41, 0, 0, 0}));
  struct Case {
    std::vector<uint8_t> expected;
    bool matches;
  } cases[] = {
      {{}, true},
      {kUnlockedPci, true},
      {tlv(0x12, {0, 0xD0, 7, 0, 0, 41, 0, 0, 0}), true},
      {tlv(0x12, {1}), false},                                 // another status
      {tlv(0x11, {0}), false},                                 // not in the answer
      {tlv(0x12, {0, 0xD0, 7, 0, 0, 41, 0, 0, 0, 0}), false},  // longer than the answer's
      {{0x12, 0x05, 0x00, 0x00}, false},                       // a TLV running past its end
  };
  for (const Case& c : cases) EXPECT_EQ(c.matches, read_back_matches(c.expected, held));
}

TEST(ChangeJournal, KeepsARecordAndBelievesOnlyAFileOfItsOwn) {
  test::TempDir dir;
  const ChangeJournal journal(dir.path() + "/state", 3);
  std::string why;
  ASSERT_TRUE(journal.write(sample_record(), why)) << why;
  EXPECT_EQ(sample_record(), journal.read(why));
  struct stat st {};
  ASSERT_EQ(0, stat(journal.path().c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777);

  // A symlink planted where the journal goes is neither followed nor believed.
  const std::string target = dir.write_file("target", encode_change(sample_record()), 0600);
  ASSERT_TRUE(journal.remove(why)) << why;
  ASSERT_EQ(0, symlink(target.c_str(), journal.path().c_str()));
  EXPECT_FALSE(journal.read(why));
  EXPECT_FALSE(why.empty());
  ASSERT_EQ(0, unlink(journal.path().c_str()));

  // Nor is one that others may write, or a directory that others may write.
  ASSERT_TRUE(journal.write(sample_record(), why));
  ASSERT_EQ(0, chmod(journal.path().c_str(), 0622));
  EXPECT_FALSE(journal.read(why));
  ASSERT_EQ(0, chmod(journal.path().c_str(), 0600));
  ASSERT_EQ(0, chmod((dir.path() + "/state").c_str(), 0777));
  EXPECT_FALSE(journal.read(why));
  EXPECT_FALSE(journal.write(sample_record(), why));
}

// ---- The keeper ----------------------------------------------------------------

struct Sent {
  RequestOrigin origin;
  std::vector<uint8_t> tlvs;
};

class KeeperTest : public ::testing::Test, protected ChangePort {
 protected:
  KeeperTest() : journal_(dir_.path(), 0) {}

  void send_to_modem(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                     TimePoint) override {
    journaled_when_sent_.push_back(std::filesystem::exists(journal_.path()));
    sent_.push_back({origin, {tlvs.begin(), tlvs.end()}});
  }
  void answer_client(const ClientTicket& ticket, uint32_t result,
                     std::span<const uint8_t>) override {
    answers_.emplace_back(ticket.request.message_id, result);
  }

  ChangeKeeper& keeper(const std::string& boot = "boot-a") {
    ChangePort& port = *this;
    keeper_.emplace(
        journal_, port, [this] { return wall_ms_; }, boot);
    keeper_->start(now_);
    keeper_->on_modem(true, sample_record().device_key, now_);
    return *keeper_;
  }

  void request(uint16_t message, std::vector<uint8_t> tlvs = {}) {
    ClientTicket t;
    t.request.message_id = message;
    keeper_->handle(t, tlvs, true, sample_record().device_key, now_);
  }

  // A lock held for 10 s; the modem takes it.
  void begin_lock() {
    qmux::TlvBuilder b;
    b.add(0x01, std::vector<uint8_t>{kNas, 0x69, 0x55});
    b.add(0x02, std::vector<uint8_t>{kNas, 0x69, 0x55});
    b.add(0x03, std::vector<uint8_t>{kNas, 0x68, 0x55});
    b.add(0x04, kUnlockedPci);
    b.begin(0x05).u32(10000);
    b.end();
    request(kBeginChange, b.take());
    modem_answers(answer(0));
  }

  void modem_answers(const std::vector<uint8_t>& tlvs, uint32_t result = 0) {
    ASSERT_FALSE(sent_.empty());
    keeper_->on_answer(sent_.back().origin, result, tlvs, now_);
  }

  void pass(milliseconds time) {
    now_ += time;
    wall_ms_ += time.count();
    keeper_->on_timer(now_);
  }

  uint16_t last_message() const { return sent_.empty() ? 0 : sent_.back().origin.message_id; }
  bool journaled() const { return std::filesystem::exists(journal_.path()); }

  test::TempDir dir_;
  ChangeJournal journal_;
  TimePoint now_ = TimePoint() + std::chrono::hours(1);
  int64_t wall_ms_ = 1'800'000'000'000;
  std::optional<ChangeKeeper> keeper_;
  std::vector<Sent> sent_;
  std::vector<bool> journaled_when_sent_;
  std::vector<std::pair<uint16_t, uint32_t>> answers_;
};

TEST_F(KeeperTest, JournalsBeforeSendingAndUndoesAtTheDeadlineUntilTheModemShowsIt) {
  keeper();
  begin_lock();
  ASSERT_EQ(1u, sent_.size());
  EXPECT_TRUE(journaled_when_sent_[0]);
  EXPECT_EQ((std::pair<uint16_t, uint32_t>{kBeginChange, 0}), answers_.back());
  pass(milliseconds(9999));
  EXPECT_EQ(1u, sent_.size()) << "undone before its deadline";
  pass(milliseconds(1));
  EXPECT_EQ(kSetLock, last_message());
  modem_answers(answer(0));
  EXPECT_EQ(kGetLock, last_message());
  modem_answers(answer(0, tlv(0x12, {1, 0xD0, 7, 0, 0, 41, 0, 0, 0})));  // still locked
  EXPECT_TRUE(journaled());
  pass(milliseconds(999));
  EXPECT_EQ(kGetLock, last_message()) << "retried without a pause";
  pass(milliseconds(1));
  EXPECT_EQ(kSetLock, last_message());
  modem_answers(answer(0));
  modem_answers(answer(0, tlv(0x12, {0, 0, 0, 0, 0, 0, 0, 0, 0})));
  EXPECT_FALSE(journaled());
  EXPECT_FALSE(keeper_->holding());
}

TEST_F(KeeperTest, AConfirmedChangeIsNeverUndoneAndASecondOneIsRefused) {
  keeper();
  begin_lock();
  request(kBeginChange);
  EXPECT_EQ(kChangeAlreadyPending, answers_.back().second);
  request(kConfirmChange);
  EXPECT_EQ(0u, answers_.back().second);
  EXPECT_FALSE(journaled());
  pass(minutes(1));
  EXPECT_EQ(1u, sent_.size());
  request(kConfirmChange);
  EXPECT_EQ(kNoChangePending, answers_.back().second);
}

TEST_F(KeeperTest, AChangeTheModemRefusedIsUndoneAtOnce) {
  keeper();
  qmux::TlvBuilder b;
  for (uint8_t type : {0x01, 0x02, 0x03}) b.add(type, std::vector<uint8_t>{kNas, 0x69, 0x55});
  b.begin(0x05).u32(60000);
  b.end();
  request(kBeginChange, b.take());
  modem_answers(answer(0x30));
  EXPECT_EQ(kSetLock, last_message());
  EXPECT_EQ(2u, sent_.size());
}

TEST_F(KeeperTest, AJournalIsTakenUpWithItsTimeLeftNeverMoreAndAtOnceAfterAReboot) {
  struct Case {
    const char* boot;
    int64_t deadline_from_now_ms;
    milliseconds undone_after;
  } cases[] = {
      {"boot-a", 20000, milliseconds(20000)},
      {"boot-a", -5000, milliseconds(0)},          // the daemon was down past the deadline
      {"boot-a", 9'000'000, milliseconds(60000)},  // the clock was set back: capped
      {"boot-b", 20000, milliseconds(0)},          // a reboot
  };
  for (const Case& c : cases) {
    ChangeRecord r = sample_record();
    r.deadline_ms = wall_ms_ + c.deadline_from_now_ms;
    std::string why;
    ASSERT_TRUE(journal_.write(r, why));
    sent_.clear();
    keeper(c.boot);
    if (c.undone_after.count() > 0) {
      pass(c.undone_after - milliseconds(1));
      EXPECT_TRUE(sent_.empty()) << c.boot << " " << c.deadline_from_now_ms;
    }
    pass(milliseconds(1));
    EXPECT_EQ(kSetLock, last_message()) << c.boot << " " << c.deadline_from_now_ms;
    modem_answers(answer(0));
    modem_answers(answer(0, kUnlockedPci));
    EXPECT_FALSE(journaled());
  }
}

TEST_F(KeeperTest, WaitsForItsOwnModemAndGivesUpAfterAQuarterOfAnHour) {
  keeper();
  begin_lock();
  keeper_->on_modem(false, {}, now_);
  pass(milliseconds(10000));
  EXPECT_EQ(1u, sent_.size()) << "sent to a modem that is not there";
  DeviceKey other{};
  other.fill('9');
  keeper_->on_modem(true, other, now_);
  pass(minutes(1));
  EXPECT_EQ(1u, sent_.size()) << "sent to another modem";
  keeper_->on_modem(true, sample_record().device_key, now_);
  pass(milliseconds(30000));
  EXPECT_EQ(kSetLock, last_message());
  // From now on the modem refuses every restore.
  for (int i = 0; i < 100 && keeper_->holding(); ++i) {
    modem_answers(answer(0x30));
    pass(milliseconds(30000));
  }
  EXPECT_FALSE(keeper_->holding());
  EXPECT_FALSE(journaled());
  EXPECT_LT(sent_.size(), 45u) << "the pauses between attempts did not grow";
}

}  // namespace
}  // namespace vant::daemon
