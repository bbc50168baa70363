// vant's command line: what it takes, where each value goes, what it refuses
// and in which order, as CLI11 answered before it, and the help's layout.
#include <gtest/gtest.h>

#include <sstream>

#include "vant/command_table.h"

namespace vant::cli {
namespace {

ParseOutcome parse(const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> arguments;
  for (std::string word; words >> word;) arguments.push_back(word == "''" ? "" : word);
  return parse_command_line(kVantCommand, kSlots, arguments);
}

std::string refusal(const std::string& line) {
  const ParseOutcome outcome = parse(line);
  return outcome.kind == ParseOutcome::kRefused ? outcome.text : "(not refused)";
}

TEST(CommandLine, RefusesAsBefore) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "A subcommand is required"},
      {"frobnicate", "A subcommand is required"},
      {"-d", "--modem: 1 required UINT:UINT in [0 - 11] missing"},
      {"-d 12 cells", "--modem: Value 12 not in range 0 to 11"},
      {"-d 4294967296 cells", "--modem: Value 4294967296 not in range 0 to 11"},
      {"-d=3 cells", "--modem: Value =3 not in range 0 to 11"},
      {"-d 1 -d 2 cells", "--modem: At Most 1 required but received 2"},
      {"cells --json=maybe", "Could not convert: --json = maybe"},
      {"cells --bogus x", "The following arguments were not expected: x --bogus"},
      {"cells -- --json", "The following argument was not expected: --json"},
      {"lock show clear", "The following argument was not expected: clear"},
      {"lock set", "A subcommand is required"},
      {"lock set lte-earfcn 100", "EARFCN1 is required"},
      {"lock set lte-pci 100 504", "PCI: Value 504 not in range 0 to 503"},
      {"lock --revert-after 60s", "The following arguments were not expected: 60s --revert-after"},
      {"watch --interval 5x --count 0", "--interval: not a duration such as 5s, 500ms or 2m"},
      {"watch --prometheus /nonexistent/dir/x",
       "--prometheus: no directory /nonexistent/dir/ to write it in"},
      {"best-cell --min-rsrp=-30", "--min-rsrp: Value -30 not in range -140.000000 to -44.000000"},
      {"bands set --nr-nsa 1 --nr 2", "--nr excludes --nr-nsa"},
      {"bands set --lte 0", "--lte: not a list of bands such as 1,3,7-8 (1 to 256)"},
      {"-s '' cells", "--sdk-path: empty path"},
      // Sounder than CLI11: numbers are decimal, NaN is no RSRP, and an
      // empty value is a value.
      {"-d 012 cells", "--modem: Value 012 not in range 0 to 11"},
      {"lock set wcdma 0x10", "UARFCN: Value 0x10 not in range 0 to 16383"},
      {"-d -0 cells", "--modem: Value -0 not in range 0 to 11"},
      {"best-cell --min-rsrp nan", "--min-rsrp: Value nan not in range -140.000000 to -44.000000"},
      {"--sdk-path= cells", "--sdk-path: empty path"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(expected, refusal(line)) << line;
}

TEST(CommandLine, PutsEachValueInItsSlot) {
  const ParseOutcome outcome =
      parse("-d3 lock set lte-pci 100 --sdk-path=/x 41 --revert-after 60s --json --check=");
  ASSERT_EQ(ParseOutcome::kParsed, outcome.kind) << outcome.text;
  const ParsedLine& line = outcome.line;
  ASSERT_EQ(4u, line.path.size());
  EXPECT_STREQ("lte-pci", line.path.back()->name);
  const std::pair<int, const char*> values[] = {
      {kSlotModem, "3"},         {kSlotSdkPath, "/x"}, {kSlotFirstNumber, "100"},
      {kSlotSecondNumber, "41"}, {kSlotJson, "true"},  {kSlotRevertAfter, "60s"},
      {kSlotCheck, ""}};
  for (const auto& [slot, value] : values) {
    ASSERT_TRUE(line.has(slot)) << slot;
    EXPECT_EQ(value, line.value(slot)) << slot;
  }
  EXPECT_FALSE(line.has(kSlotSettle));
  EXPECT_FALSE(parse("cells --json --json=off").line.has(kSlotJson)) << "the last flag counts";
  EXPECT_EQ("2", parse("cells -d 2").line.value(kSlotModem))
      << "the program's options after a subcommand";
}

TEST(CommandLine, FindsTheCommandAndItsValuesWhereverTheyStand) {
  struct Case {
    const char* line;
    const char* command;  // the last of the path
    int slot;
    const char* value;
  };
  const Case cases[] = {
      {"lock set lte-earfcn 5110 2000", "lte-earfcn", kSlotSecondNumber, "2000"},
      {"lock set wcdma -d 2 5", "wcdma", kSlotModem, "2"},
      {"lock set wcdma -- 5", "wcdma", kSlotFirstNumber, "5"},
      {"lock clear --settle=1s --check x", "clear", kSlotSettle, "1s"},
      {"lock show --json", "show", kSlotJson, "true"},
      {"-s/q cells", "cells", kSlotSdkPath, "/q"},
      {"watch --count 3 --json-lines", "watch", kSlotCount, "3"},
      {"best-cell --min-rsrp -100.5", "best-cell", kSlotMinRsrp, "-100.5"},
      {"bands set --nr-sa 78 --nr-nsa 1,3 --json", "set", kSlotNrNsa, "1,3"},
      {"bands reset --revert-after 90s", "reset", kSlotRevertAfter, "90s"},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse(c.line);
    ASSERT_EQ(ParseOutcome::kParsed, outcome.kind) << c.line << ": " << outcome.text;
    EXPECT_STREQ(c.command, outcome.line.path.back()->name) << c.line;
    ASSERT_TRUE(outcome.line.has(c.slot)) << c.line;
    EXPECT_EQ(c.value, outcome.line.value(c.slot)) << c.line;
  }
}

TEST(CommandLine, HelpComesAfterTheValuesAndBeforeWhatIsMissing) {
  EXPECT_EQ(ParseOutcome::kHelp, parse("-hd 3").kind);
  EXPECT_EQ(ParseOutcome::kHelp, parse("lock set wcdma --help").kind);
  EXPECT_EQ(ParseOutcome::kHelp, parse("--help frobnicate").kind);
  EXPECT_EQ("--modem: Value 99 not in range 0 to 11", refusal("-d 99 -h"));
  EXPECT_EQ(
      "lock to one LTE cell (clears the channel pair)\n"
      "Usage: vant lock set lte-pci [OPTIONS] EARFCN PCI\n"
      "\n"
      "Positionals:\n"
      "  EARFCN UINT:UINT in [0 - 262143] REQUIRED\n"
      "  PCI UINT:UINT in [0 - 503] REQUIRED\n"
      "\n"
      "Options:\n"
      "  -h,--help                   Print this help message and exit\n"
      "  --revert-after TEXT:DURATION\n"
      "                              let the daemon undo the change after DURATION unless "
      "`vant confirm` keeps it\n"
      "  --check TEXT                after the settle time run CMD (with /bin/sh); keep the "
      "change only if it exits 0, else undo it\n"
      "  --settle TEXT:DURATION      time before the check (default 20s)\n"
      "\n"
      "Exit status: 0 success; 1 modem or QMI error; 2 bad arguments; 3 daemon or modem "
      "unreachable;\n4 no new lock kept (best-cell, or a failed --check); 5 a local file could "
      "not be written;\n128+N interrupted by signal N.\n",
      parse("lock set lte-pci -h").text);
}

}  // namespace
}  // namespace vant::cli
