// The option module against small tables of its own.
#include "src/opts/opts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// A command line whose words getopt_long may reorder.
class Argv {
 public:
  explicit Argv(std::vector<std::string> words) : words_(std::move(words)) {
    words_.insert(words_.begin(), "prog");
    for (auto& word : words_) pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;
};

int32_t always_fails(const OptionEntry*) {
  return 7;
}

class OptsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, opts_init(table_, 5)); }
  void TearDown() override { opts_deinit(); }

  int32_t parse(std::vector<std::string> words) {
    Argv args(std::move(words));
    return opts_parse_args(args.argc(), args.argv());
  }

  OptionEntry table_[5] = {
      {kOptionString,
       {"path", required_argument, nullptr, 'p'},
       "/default",
       opts_validate_nonempty,
       nullptr,
       nullptr},
      {kOptionNumeric,
       {"number", required_argument, nullptr, 'n'},
       "0",
       opts_validate_integer,
       nullptr,
       nullptr},
      {kOptionNumeric, {"level", optional_argument, nullptr, 'l'}, "5", nullptr, nullptr, nullptr},
      {kOptionNumeric, {"verbose", no_argument, nullptr, 'v'}, "", nullptr, nullptr, nullptr},
      {kOptionNumeric, {"quiet", no_argument, nullptr, 'q'}, "", nullptr, nullptr, nullptr},
  };
};

TEST_F(OptsTest, BuildsScannerTablesInTableOrder) {
  EXPECT_STREQ("p:n:l::vq", opts_short_options());
  const struct option* longs = opts_long_options();
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(table_[i].longOption.name, longs[i].name);
    EXPECT_EQ(table_[i].longOption.has_arg, longs[i].has_arg);
    EXPECT_EQ(table_[i].longOption.val, longs[i].val);
    EXPECT_EQ(nullptr, longs[i].flag);
  }
  EXPECT_EQ(nullptr, longs[5].name);
  EXPECT_EQ(0, longs[5].val);
}

TEST_F(OptsTest, LinksRecordsWithHeadPointingToTail) {
  EXPECT_EQ(&table_[4], table_[0].prev);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(&table_[i + 1], table_[i].next) << i;
  for (int i = 1; i < 5; ++i) EXPECT_EQ(&table_[i - 1], table_[i].prev) << i;
  EXPECT_EQ(nullptr, table_[4].next);
}

TEST_F(OptsTest, DeinitEmptiesListAndReleasesTables) {
  opts_deinit();
  for (const auto& entry : table_) {
    EXPECT_EQ(nullptr, entry.prev);
    EXPECT_EQ(nullptr, entry.next);
  }
  EXPECT_EQ(nullptr, opts_short_options());
  EXPECT_EQ(nullptr, opts_long_options());
  EXPECT_EQ(nullptr, opts_get_string("path"));
  // The records keep their values for their owner.
  EXPECT_STREQ("/default", table_[0].value);
}

TEST_F(OptsTest, SingleRecordListPointsToItself) {
  opts_deinit();
  ASSERT_EQ(0, opts_init(table_, 1));
  EXPECT_EQ(&table_[0], table_[0].prev);
  EXPECT_EQ(nullptr, table_[0].next);
  opts_deinit();
  EXPECT_EQ(nullptr, table_[0].prev);
}

TEST_F(OptsTest, SecondInitStartsAFreshList) {
  ASSERT_EQ(0, opts_init(table_ + 3, 2));
  EXPECT_STREQ("vq", opts_short_options());
  EXPECT_EQ(nullptr, opts_get_string("path"));
  EXPECT_EQ(&table_[4], table_[3].prev);
  EXPECT_EQ(nullptr, table_[4].next);
}

TEST(OptsInit, RejectsInvalidTable) {
  EXPECT_EQ(kOptsInvalidTable, opts_init(nullptr, 2));
  OptionEntry entry{};
  EXPECT_EQ(kOptsInvalidTable, opts_init(&entry, -1));
  EXPECT_EQ(nullptr, opts_short_options());
}

TEST_F(OptsTest, DefaultsStayWithoutOptions) {
  ASSERT_EQ(0, parse({}));
  EXPECT_STREQ("/default", opts_get_string("path"));
  EXPECT_EQ(0, opts_get_number("verbose"));
  EXPECT_EQ(5, opts_get_number("level"));
}

// Long and short forms, joined or as the next word, end up in the same value.
TEST_F(OptsTest, EveryFormOfAnOptionStoresTheSameValue) {
  const std::vector<std::vector<std::string>> forms = {
      {"--number", "3"}, {"--number=3"}, {"-n", "3"}, {"-n3"}};
  for (const auto& form : forms) {
    std::string shown;
    for (const auto& word : form) shown += word + " ";
    std::strcpy(table_[1].value, "0");
    ASSERT_EQ(0, parse(form)) << shown;
    EXPECT_EQ(3, opts_get_number("number")) << shown;
  }
}

TEST_F(OptsTest, FlagsReadOneInLongAndShortForm) {
  ASSERT_EQ(0, parse({"--verbose", "-q"}));
  EXPECT_EQ(1, opts_get_number("verbose"));
  EXPECT_EQ(1, opts_get_number("quiet"));
  EXPECT_STREQ("1", opts_get_string("verbose"));
}

TEST_F(OptsTest, RepeatedOptionKeepsTheLastValue) {
  ASSERT_EQ(0, parse({"-v", "-v", "-n", "1", "--number", "2"}));
  EXPECT_EQ(1, opts_get_number("verbose"));
  EXPECT_EQ(2, opts_get_number("number"));
}

TEST_F(OptsTest, OptionalArgumentLeftOutIsEmpty) {
  ASSERT_EQ(0, parse({"--level"}));
  EXPECT_STREQ("", opts_get_string("level"));
  ASSERT_EQ(0, parse({"-l9"}));
  EXPECT_EQ(9, opts_get_number("level"));
}

TEST_F(OptsTest, WordsThatAreNotOptionsAreIgnored) {
  ASSERT_EQ(0, parse({"stray", "-n", "4", "another"}));
  EXPECT_EQ(4, opts_get_number("number"));
}

TEST_F(OptsTest, ArgumentOf511CharactersIsStoredWhole) {
  const std::string longest(511, 'a');
  ASSERT_EQ(0, parse({"-p", longest}));
  EXPECT_EQ(longest, opts_get_string("path"));
}

TEST_F(OptsTest, ArgumentOf512CharactersIsRejected) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(kOptsArgumentTooLong, parse({"--path=" + std::string(512, 'a'), "-v"}));
  EXPECT_EQ("option p argument is too long\n", testing::internal::GetCapturedStderr());
  EXPECT_STREQ("/default", opts_get_string("path"));
  EXPECT_EQ(0, opts_get_number("verbose")) << "parsing stops at the failing option";
}

TEST_F(OptsTest, RejectedOptionsAreReportedAsQuestionMark) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-z", "prog: invalid option -- 'z'\n"},
      {"--bogus", "prog: unrecognized option '--bogus'\n"},
      {"-n", "prog: option requires an argument -- 'n'\n"},
      {"--number", "prog: option '--number' requires an argument\n"},
  };
  for (const auto& [word, diagnostic] : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(kOptsUnknownOption, parse({"-v", word})) << word;
    EXPECT_EQ(diagnostic + "option ? is not found\n", testing::internal::GetCapturedStderr())
        << word;
  }
}

TEST_F(OptsTest, ParsingStopsAtTheRejectedOption) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(kOptsUnknownOption, parse({"-v", "-z", "-q"}));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, opts_get_number("verbose"));
  EXPECT_EQ(0, opts_get_number("quiet"));
}

TEST_F(OptsTest, ParsingCanBeRepeatedAfterAFailure) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(kOptsUnknownOption, parse({"-vz"}));
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(0, parse({"-q"}));
  EXPECT_EQ(1, opts_get_number("quiet"));
}

TEST_F(OptsTest, NamesMustMatchExactly) {
  EXPECT_EQ(0, opts_get_number("verb"));
  EXPECT_EQ(0, opts_get_number("verbose2"));
  EXPECT_EQ(nullptr, opts_get_string("pat"));
  EXPECT_EQ(nullptr, opts_get_string(""));
  EXPECT_EQ(-1, opts_get_number(nullptr));
  EXPECT_EQ(nullptr, opts_get_string(nullptr));
}

TEST_F(OptsTest, StringOptionReadsMinusOneAsNumber) {
  ASSERT_EQ(0, parse({"-p", "42"}));
  EXPECT_EQ(-1, opts_get_number("path"));
  EXPECT_STREQ("42", opts_get_string("path"));
}

TEST_F(OptsTest, NumberIsTheDecimalPrefixOfTheValue) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"12", 12}, {" -7", -7}, {"+8x", 8},   {"0x1", 0},        {"010", 10},
      {"", 0},    {"abc", 0},  {"300", 300}, {"4294967296", 0}, {"2147483647", 2147483647},
  };
  for (const auto& [text, expected] : cases) {
    std::strcpy(table_[1].value, text.c_str());
    EXPECT_EQ(expected, opts_get_number("number")) << '"' << text << '"';
  }
}

TEST_F(OptsTest, ValidateNamesOnlyTheFirstFailingOption) {
  std::strcpy(table_[0].value, "");
  std::strcpy(table_[1].value, "1x");
  testing::internal::CaptureStderr();
  EXPECT_EQ(-1, opts_validate());
  EXPECT_EQ("validate option path failed\n", testing::internal::GetCapturedStderr());
}

TEST_F(OptsTest, ValidateReturnsTheValidatorsResult) {
  EXPECT_EQ(0, opts_set_validator("quiet", always_fails));
  EXPECT_EQ(always_fails, table_[4].validator);
  testing::internal::CaptureStderr();
  EXPECT_EQ(7, opts_validate());
  EXPECT_EQ("validate option quiet failed\n", testing::internal::GetCapturedStderr());
}

TEST_F(OptsTest, SetValidatorIgnoresUnknownNames) {
  EXPECT_EQ(0, opts_set_validator("quie", always_fails));
  EXPECT_EQ(0, opts_set_validator(nullptr, always_fails));
  for (const auto& entry : table_) EXPECT_NE(always_fails, entry.validator);
  EXPECT_EQ(0, opts_validate());
}

TEST_F(OptsTest, DumpPrintsEveryOptionInOrder) {
  ASSERT_EQ(0, parse({"-q", "-n", "9"}));
  testing::internal::CaptureStderr();
  opts_dump();
  EXPECT_EQ(
      "option path value \"/default\"\n"
      "option number value \"9\"\n"
      "option level value \"5\"\n"
      "option verbose value \"\"\n"
      "option quiet value \"1\"\n",
      testing::internal::GetCapturedStderr());
}

// Unlinking always takes the head, so a cleared link of the head is what the
// check can see.
TEST_F(OptsTest, DeinitStopsAtACorruptedList) {
  OptionEntry* const tail = table_[0].prev;
  table_[0].prev = nullptr;
  EXPECT_DEATH(opts_deinit(), "opts_deinit.*\\(opt_entry\\)->prev != \\(\\(void \\*\\)0\\)");
  table_[0].prev = tail;
}

struct ValidatorCase {
  const char* value;
  int32_t nonempty;
  int32_t integer;
};

TEST(StockValidators, AcceptAndRejectTheRightValues) {
  const ValidatorCase cases[] = {
      {"", -1, 0},   {"0", 0, 0},    {"12", 0, 0},  {"-3", 0, 0},  {"+4", 0, 0},
      {" 5", 0, 0},  {"0x1f", 0, 0}, {"017", 0, 0}, {"1x", 0, -1}, {"12 ", 0, -1},
      {"09", 0, -1}, {"abc", 0, -1}, {" ", 0, -1},  {"-", 0, -1},  {"0x", 0, -1},
  };
  for (const auto& c : cases) {
    OptionEntry entry{};
    std::strcpy(entry.value, c.value);
    EXPECT_EQ(0, opts_validate_any(&entry)) << '"' << c.value << '"';
    EXPECT_EQ(c.nonempty, opts_validate_nonempty(&entry)) << '"' << c.value << '"';
    EXPECT_EQ(c.integer, opts_validate_integer(&entry)) << '"' << c.value << '"';
  }
}

}  // namespace
