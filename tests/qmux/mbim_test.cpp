#include <gtest/gtest.h>

#include <vector>

#include "qmux/mbim_device_services.h"
#include "qmux/mbim_message.h"
#include "qmux/mbim_receiver.h"

namespace vant::qmux::mbim {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = Receiver::Clock;

Message command(uint32_t transaction, size_t information_size) {
  Message m;
  m.type = Type::command;
  m.transaction = transaction;
  m.service = kQmiService;
  m.cid = kCidQmiMessage;
  m.command_type = CommandType::set;
  for (size_t i = 0; i < information_size; ++i) m.information.push_back(static_cast<uint8_t>(i));
  return m;
}

Bytes joined(const std::vector<Bytes>& transfers) {
  Bytes out;
  for (const Bytes& t : transfers) out.insert(out.end(), t.begin(), t.end());
  return out;
}

std::vector<Received> receive(Receiver& r, const Bytes& bytes, Clock::time_point now = {}) {
  r.feed(bytes, now);
  std::vector<Received> out;
  while (auto got = r.next(now)) out.push_back(std::move(*got));
  return out;
}

TEST(MbimMessage, EncodesTheBytesMbimPutsOnTheWire) {
  Message open;
  open.type = Type::open;
  open.transaction = 1;
  open.max_control_transfer = 4096;
  EXPECT_EQ((std::vector<Bytes>{{1, 0, 0, 0, 16, 0, 0, 0, 1, 0, 0, 0, 0x00, 0x10, 0, 0}}),
            encode(open, 4096));

  const auto qmi = encode(command(0x01020304, 2), 4096);
  ASSERT_EQ(1u, qmi.size());
  Bytes expected{3, 0, 0, 0, 50, 0, 0, 0, 4, 3, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0};
  expected.insert(expected.end(), kQmiService.begin(), kQmiService.end());
  for (uint8_t b : {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 1}) expected.push_back(b);
  EXPECT_EQ(expected, qmi[0]);
}

TEST(MbimMessage, EveryTypeComesBackThroughTheReceiverAtEveryTransferSize) {
  Message done = command(7, 300);
  done.type = Type::command_done;
  done.status = kStatusNoDeviceSupport;
  done.command_type = CommandType::query;  // only a COMMAND carries one
  Message indication = command(0, 1000);
  indication.type = Type::indicate_status;
  indication.command_type = CommandType::query;
  const std::vector<Message> messages = {
      {Type::open, 1, 512, 0, {}, 0, CommandType::query, {}},
      {Type::close, 2, 0, 0, {}, 0, CommandType::query, {}},
      {Type::open_done, 1, 0, kStatusFailure, {}, 0, CommandType::query, {}},
      {Type::function_error, 9, 0, 5, {}, 0, CommandType::query, {}},
      command(3, 0),
      done,
      indication,
  };
  for (uint32_t max : {64u, 100u, 4096u}) {
    for (const Message& m : messages) {
      const auto transfers = encode(m, max);
      ASSERT_FALSE(transfers.empty());
      for (const Bytes& t : transfers) EXPECT_LE(t.size(), max);
      Receiver r;
      const auto got = receive(r, joined(transfers));
      ASSERT_EQ(1u, got.size()) << "type " << static_cast<uint32_t>(m.type) << " at " << max;
      EXPECT_TRUE(got[0].ok());
      EXPECT_EQ(m, got[0].message);
    }
  }
  EXPECT_EQ(24u, encode(indication, 64).size()) << "1024 bytes of body, 44 a fragment";
  EXPECT_TRUE(encode(indication, kMinControlTransfer - 1).empty());
}

TEST(MbimMessage, EveryPrefixOfATransferIsIncomplete) {
  const Bytes whole = encode(command(5, 10), 4096)[0];
  for (size_t n = 0; n < whole.size(); ++n) {
    Transfer t;
    size_t size = 0;
    EXPECT_EQ(ParseStatus::incomplete, parse_transfer(std::span(whole).first(n), t, size))
        << "prefix of " << n << " bytes";
  }
}

// Transfers whose header lies, and bodies whose information buffer does.
TEST(MbimMessage, LyingTransfersAreRefused) {
  const Bytes good = encode(command(5, 10), 4096)[0];
  auto with_u32 = [&](size_t at, uint32_t value) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  const struct {
    const char* what;
    Bytes bytes;
    ParseStatus status;
  } cases[] = {
      {"unknown type", with_u32(0, 0x80000005), ParseStatus::invalid},
      {"length below the headers", with_u32(4, 19), ParseStatus::invalid},
      {"length above any transfer", with_u32(4, kMaxControlTransfer + 1), ParseStatus::invalid},
      {"no fragments", with_u32(12, 0), ParseStatus::invalid},
      {"fragment past the total", with_u32(16, 1), ParseStatus::invalid},
      {"length past the bytes", with_u32(4, 59), ParseStatus::incomplete},
      {"OPEN without its size", {1, 0, 0, 0, 12, 0, 0, 0, 1, 0, 0, 0}, ParseStatus::invalid},
  };
  for (const auto& c : cases) {
    Transfer t;
    size_t size = 0;
    EXPECT_EQ(c.status, parse_transfer(c.bytes, t, size)) << c.what;
  }
  // The information buffer claims one byte more than the body holds.
  Receiver r;
  const auto got = receive(r, with_u32(44, 11));
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(ProtocolError::length_mismatch, got[0].error);
  EXPECT_EQ(5u, got[0].transaction);
}

TEST(MbimReceiver, ATransferSplitAtAnyByteIsWholeOnceItsRestComes) {
  const Bytes whole = encode(command(5, 10), 4096)[0];
  for (size_t cut = 1; cut < whole.size(); ++cut) {
    Receiver r;
    EXPECT_TRUE(receive(r, Bytes(whole.begin(), whole.begin() + cut)).empty()) << cut;
    const auto got = receive(r, Bytes(whole.begin() + cut, whole.end()));
    ASSERT_EQ(1u, got.size()) << cut;
    EXPECT_EQ(command(5, 10), got[0].message);
  }
}

TEST(MbimReceiver, JunkIsThrownAwayAndTheNextReadStartsAfresh) {
  Receiver r;
  EXPECT_TRUE(receive(r, {0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0, 0, 0}).empty());
  EXPECT_EQ(8u, r.discarded_bytes());
  const auto got = receive(r, encode(command(6, 3), 4096)[0]);
  ASSERT_EQ(1u, got.size());
  EXPECT_TRUE(got[0].ok());
}

// Fragments of a message of four, by transaction 9, fed in the order given.
struct FragmentCase {
  const char* what;
  std::vector<size_t> order;
  std::vector<ProtocolError> outcomes;
};

TEST(MbimReceiver, FragmentsJoinOnlyInOrder) {
  const auto fragments = encode(command(9, 140), 64);
  ASSERT_EQ(4u, fragments.size());
  using E = ProtocolError;
  const FragmentCase cases[] = {
      {"in order", {0, 1, 2, 3}, {E::none}},
      {"two swapped",
       {0, 2, 1, 3},
       {E::fragment_out_of_sequence, E::fragment_out_of_sequence, E::fragment_out_of_sequence}},
      {"without its first",
       {1, 2, 3},
       {E::fragment_out_of_sequence, E::fragment_out_of_sequence, E::fragment_out_of_sequence}},
      {"a fragment repeated",
       {0, 1, 1, 2, 3},
       {E::fragment_out_of_sequence, E::fragment_out_of_sequence, E::fragment_out_of_sequence}},
      {"begun again", {0, 1, 0, 1, 2, 3}, {E::fragment_out_of_sequence, E::none}},
  };
  for (const auto& c : cases) {
    Receiver r;
    std::vector<ProtocolError> outcomes;
    for (size_t i : c.order) {
      for (const auto& got : receive(r, fragments[i])) {
        outcomes.push_back(got.error);
        EXPECT_EQ(9u, got.transaction) << c.what;
        if (got.ok()) {
          EXPECT_EQ(command(9, 140), got.message) << c.what;
        }
      }
    }
    EXPECT_EQ(c.outcomes, outcomes) << c.what;
  }
}

TEST(MbimReceiver, MessagesOfOtherTransactionsInterleaveWithinTheBound) {
  Receiver r;
  std::vector<std::vector<Bytes>> messages;
  for (uint32_t t = 1; t <= Receiver::kMaxMessagesUnderWay + 1; ++t)
    messages.push_back(encode(command(t, 60), 64));
  // Every first fragment, then every second: the oldest made way for the last.
  std::vector<Received> got;
  for (const auto& m : messages)
    for (auto& x : receive(r, m[0])) got.push_back(std::move(x));
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(ProtocolError::fragment_out_of_sequence, got[0].error);
  EXPECT_EQ(1u, got[0].transaction);
  for (size_t i = 1; i < messages.size(); ++i) {
    const auto whole = receive(r, messages[i][1]);
    ASSERT_EQ(1u, whole.size());
    EXPECT_EQ(command(static_cast<uint32_t>(i + 1), 60), whole[0].message);
  }
}

TEST(MbimReceiver, FragmentsClaimingMoreThanTheBoundAreRefused) {
  auto fragments = encode(command(4, 100), 64);
  // The total says one more than any message may have.
  const uint32_t lie = Receiver::kMaxFragments + 1;
  for (int i = 0; i < 4; ++i) fragments[0][12 + i] = static_cast<uint8_t>(lie >> (8 * i));
  Receiver r;
  const auto got = receive(r, fragments[0]);
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(ProtocolError::length_mismatch, got[0].error);
}

TEST(MbimReceiver, WhatStallsIsGivenUpInTime) {
  const Clock::time_point t0{};
  Receiver r;
  const auto fragments = encode(command(3, 100), 64);
  receive(r, fragments[0], t0);
  const Bytes half(fragments[1].begin(), fragments[1].begin() + 10);
  receive(r, half, t0 + std::chrono::milliseconds(100));
  ASSERT_TRUE(r.deadline());
  EXPECT_EQ(t0 + std::chrono::milliseconds(600), *r.deadline()) << "the partial transfer first";
  EXPECT_TRUE(r.expire(*r.deadline()).empty());
  EXPECT_EQ(10u, r.discarded_bytes());
  EXPECT_EQ(t0 + Receiver::kFragmentTimeout, *r.deadline());
  const auto given_up = r.expire(t0 + Receiver::kFragmentTimeout);
  ASSERT_EQ(1u, given_up.size());
  EXPECT_EQ(ProtocolError::timeout_fragment, given_up[0].error);
  EXPECT_EQ(3u, given_up[0].transaction);
  EXPECT_FALSE(r.deadline());
}

DeviceServices two_services() {
  return {1, {{kBasicConnect, 0, 0, {1, 2, 3, 16}}, {kQmiService, 0, 0, {1}}}};
}

TEST(MbimDeviceServices, ComeBackAsEncodedAndTellWhatIsOffered) {
  const auto list = parse_device_services(encode_device_services(two_services()));
  ASSERT_TRUE(list);
  EXPECT_EQ(two_services(), *list);
  EXPECT_TRUE(offers(*list, kQmiService, kCidQmiMessage));
  EXPECT_FALSE(offers(*list, kQmiService, 2));
  EXPECT_FALSE(offers({0, {two_services().services[0]}}, kQmiService, kCidQmiMessage));

  const std::vector<EventEntry> events = {{kQmiService, {kCidQmiMessage}}, {kBasicConnect, {}}};
  const Bytes subscribe = encode_subscribe_list(events);
  EXPECT_EQ(events, parse_subscribe_list(subscribe));
  EXPECT_FALSE(parse_subscribe_list(Bytes(subscribe.begin(), subscribe.end() - 1)));
}

TEST(MbimDeviceServices, ListsThatLieAreRefused) {
  const Bytes good = encode_device_services(two_services());
  auto with_u32 = [&](size_t at, uint32_t value) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  const size_t second_element = 8 + 16 + 44;
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"more services than listed", with_u32(0, 3)},
      {"a count past the bound", with_u32(0, kMaxDeviceServices + 1)},
      {"an offset past the end", with_u32(16, static_cast<uint32_t>(good.size()))},
      {"a length past the end", with_u32(20, 33)},
      {"more CIDs than the element holds", with_u32(second_element + 24, 2)},
      {"cut short", Bytes(good.begin(), good.end() - 1)},
  };
  for (const auto& c : cases) EXPECT_FALSE(parse_device_services(c.bytes)) << c.what;
}

}  // namespace
}  // namespace vant::qmux::mbim
