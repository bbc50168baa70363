#include "daemon/log_throttle.h"

#include <gtest/gtest.h>

#include <string>

namespace vant::daemon {
namespace {

using namespace std::chrono_literals;
using Clock = LogThrottle::Clock;

// A flood of one kind: a line at once, then one a second, each telling how
// many were held back since the one before; another kind keeps its own pace.
TEST(LogThrottle, OneLinePerKindPerIntervalAndTheCountOfTheRest) {
  struct Step {
    size_t kind;
    std::chrono::milliseconds at;
    bool written;
    uint64_t held_back;  // told when written
  };
  const Step steps[] = {
      {0, 0ms, true, 0},     {0, 1ms, false, 0},   {0, 500ms, false, 0},  {1, 600ms, true, 0},
      {0, 999ms, false, 0},  {0, 1000ms, true, 3}, {1, 1000ms, false, 0}, {1, 1600ms, true, 1},
      {0, 1999ms, false, 0}, {0, 2000ms, true, 1}, {0, 9000ms, true, 0},  {0, 9000ms, false, 0},
      {0, 10000ms, true, 1},
  };
  LogThrottle throttle(2);
  const auto t0 = Clock::time_point{} + 1h;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& s = steps[i];
    uint64_t held_back = 99;
    EXPECT_EQ(s.written, throttle.admit(s.kind, t0 + s.at, held_back)) << "step " << i;
    if (s.written) {
      EXPECT_EQ(s.held_back, held_back) << "step " << i;
    }
  }
}

TEST(LogThrottle, TheLineAfterAFloodSaysHowManyWereSuppressed) {
  log_open(LogSink::standard_error, false);
  LogThrottle throttle(1);
  const auto t0 = Clock::time_point{} + 1h;
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 50; ++i)
    throttle.line(0, t0 + i * 10ms, LogLevel::warning, "dropped datagram %d", i);
  throttle.line(0, t0 + 1s, LogLevel::warning, "dropped datagram %d", 100);
  const std::string out = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(
      "vantsdk: warning: dropped datagram 0\n"
      "vantsdk: warning: dropped datagram 100 (49 more like it suppressed)\n",
      out);
}

}  // namespace
}  // namespace vant::daemon
