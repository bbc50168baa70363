#include "sim/presence.h"

#include <gtest/gtest.h>

namespace vant::sim {
namespace {

TEST(PresenceTimeline, SingleOutage) {
  const PresenceTimeline t({{100, 50}}, 0);
  struct Row {
    uint64_t at;
    bool present;
    uint64_t begun;
    std::optional<uint64_t> next;
  };
  const Row rows[] = {
      {0, true, 0, 100},    {99, true, 0, 100},           {100, false, 1, 150},
      {149, false, 1, 150}, {150, true, 1, std::nullopt}, {10000, true, 1, std::nullopt},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.present, t.present(r.at)) << r.at;
    EXPECT_EQ(r.begun, t.outages_begun(r.at)) << r.at;
    EXPECT_EQ(r.next, t.next_change(r.at)) << r.at;
  }
}

TEST(PresenceTimeline, RepeatingPattern) {
  const PresenceTimeline t({{20, 10}, {50, 5}}, 100);
  EXPECT_TRUE(t.present(19));
  EXPECT_FALSE(t.present(25));
  EXPECT_TRUE(t.present(30));
  EXPECT_FALSE(t.present(252));
  EXPECT_TRUE(t.present(256));
  EXPECT_EQ(2u, t.outages_begun(99));
  EXPECT_EQ(6u, t.outages_begun(252));
  EXPECT_EQ(std::optional<uint64_t>(120), t.next_change(60));
  EXPECT_EQ(std::optional<uint64_t>(255), t.next_change(252));
}

TEST(PresenceTimeline, OutageForEver) {
  const PresenceTimeline t({{0, std::nullopt}}, 0);
  EXPECT_FALSE(t.present(0));
  EXPECT_FALSE(t.present(1'000'000));
  EXPECT_EQ(std::nullopt, t.next_change(0));
}

}  // namespace
}  // namespace vant::sim
