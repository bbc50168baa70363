#include "qmux/timed_reassembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace vant::qmux {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = TimedReassembler::Clock;
constexpr auto kTimeout = TimedReassembler::kPartialFrameTimeout;

Frame make_frame(uint16_t transaction) {
  Frame f;
  f.service = 0x03;
  f.client_id = 0x02;
  f.transaction = transaction;
  f.message_id = 0x0021;
  f.tlvs = {0x10, 0x02, 0x00, 0x05, 0x06};
  return f;
}

// The whole header of a frame that promises 0x02F4 bytes of TLVs, none of
// them a marker: the rest never comes.
const Bytes kTruncated = {0x01, 0x00, 0x03, 0x00, 0x03, 0x02, 0x00,
                          0x22, 0x00, 0x21, 0x00, 0xF4, 0x02};

std::span<const uint8_t> first_half(const Bytes& bytes) {
  return std::span(bytes).first(bytes.size() / 2);
}
std::span<const uint8_t> second_half(const Bytes& bytes) {
  return std::span(bytes).subspan(bytes.size() / 2);
}

TEST(TimedReassembler, NothingUnderWayHasNoDeadline) {
  const auto t0 = Clock::time_point{} + 1h;
  TimedReassembler r;
  EXPECT_FALSE(r.deadline());
  r.feed(encode_frame(make_frame(1)), t0);
  ASSERT_TRUE(r.next(t0));
  EXPECT_FALSE(r.deadline());
  EXPECT_FALSE(r.expire(t0 + 1h));
}

TEST(TimedReassembler, ABrokenOffFrameIsGivenUpAtItsDeadlineAndNotBefore) {
  const auto t0 = Clock::time_point{} + 1h;
  TimedReassembler r;
  r.feed(kTruncated, t0);
  EXPECT_FALSE(r.next(t0));
  ASSERT_EQ(t0 + kTimeout, r.deadline());
  EXPECT_FALSE(r.expire(t0 + kTimeout - 1ms));
  EXPECT_EQ(kTruncated.size(), r.pending());
  EXPECT_TRUE(r.expire(t0 + kTimeout));
  EXPECT_EQ(0u, r.pending());
  EXPECT_FALSE(r.deadline());
  r.feed(encode_frame(make_frame(2)), t0 + 2 * kTimeout);
  const auto frame = r.next(t0 + 2 * kTimeout);
  ASSERT_TRUE(frame);
  EXPECT_EQ(2, frame->transaction);
}

// A frame that arrives while the broken one still waits is taken for its body
// at first; giving the broken one up brings it out.
TEST(TimedReassembler, AFrameSwallowedByABrokenOneComesOutWhenThatIsGivenUp) {
  const auto t0 = Clock::time_point{} + 1h;
  TimedReassembler r;
  r.feed(kTruncated, t0);
  r.feed(encode_frame(make_frame(3)), t0 + 100ms);
  EXPECT_FALSE(r.next(t0 + 100ms));
  EXPECT_EQ(t0 + kTimeout, r.deadline()) << "more bytes do not put the deadline off";
  ASSERT_TRUE(r.expire(t0 + kTimeout));
  const auto frame = r.next(t0 + kTimeout);
  ASSERT_TRUE(frame);
  EXPECT_EQ(3, frame->transaction);
  EXPECT_EQ(kTruncated.size(), r.discarded_bytes());
}

// A frame that began as the one before it completed has its own full time.
TEST(TimedReassembler, EachFrameGetsItsTimeFromWhenTheOneBeforeCompleted) {
  const auto t0 = Clock::time_point{} + 1h;
  const Bytes one = encode_frame(make_frame(4));
  const Bytes two = encode_frame(make_frame(5));
  TimedReassembler r;
  r.feed(first_half(one), t0);
  Bytes joined(second_half(one).begin(), second_half(one).end());
  joined.insert(joined.end(), two.begin(), two.begin() + 3);
  r.feed(joined, t0 + 400ms);
  ASSERT_TRUE(r.next(t0 + 400ms));
  EXPECT_FALSE(r.next(t0 + 400ms));
  EXPECT_EQ(t0 + 400ms + kTimeout, r.deadline());
  EXPECT_FALSE(r.expire(t0 + kTimeout));
  r.feed(std::span(two).subspan(3), t0 + 600ms);
  const auto frame = r.next(t0 + 600ms);
  ASSERT_TRUE(frame);
  EXPECT_EQ(5, frame->transaction);
  EXPECT_EQ(0u, r.discarded_bytes());
}

}  // namespace
}  // namespace vant::qmux
