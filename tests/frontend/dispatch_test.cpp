// Which command a run performs for each combination of command options.
#include "src/dispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/frontend/fake_commands.h"

namespace {

struct DispatchCase {
  bool getChanLock, scan, cops, chanReset;
  const char* expected;
};

TEST(Dispatch, RunsExactlyTheCommandOfHighestPrecedence) {
  const DispatchCase cases[] = {
      {true, true, true, true, "GetChanLock"},        {true, false, false, false, "GetChanLock"},
      {false, true, true, true, "PrintCellLocation"}, {false, false, true, true, "ScanOperators"},
      {false, false, false, true, "ResetChanLock"},   {false, false, false, false, "SetChanLock"},
  };
  char value[] = "LtePCI,100,7";
  for (const auto& c : cases) {
    command_log() = CommandLog{};
    CommandOptions options{0, value, c.getChanLock, c.chanReset, c.scan, c.cops};
    dispatch_command(options);
    ASSERT_EQ(1u, command_log().handlers.size()) << c.expected;
    EXPECT_EQ(c.expected, command_log().handlers[0]);
  }
}

TEST(Dispatch, SetChanLockGetsTheOptionValueItself) {
  command_log() = CommandLog{};
  char empty[] = "";
  dispatch_command(CommandOptions{0, empty, false, false, false, false});
  EXPECT_EQ(empty, command_log().set_chan_lock_text);
}

}  // namespace
