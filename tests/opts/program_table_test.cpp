// The option table of vantctl read through the option module.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "src/option_table.h"

namespace {

class ProgramTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memcpy(pristine_, OptionTable, sizeof pristine_);
    ASSERT_EQ(0, opts_init(OptionTable, kOptionTableSize));
  }
  void TearDown() override {
    opts_deinit();
    std::memcpy(OptionTable, pristine_, sizeof pristine_);
  }

  int32_t parse(std::vector<std::string> words) {
    words.insert(words.begin(), "vantctl");
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return opts_parse_args(static_cast<int>(words.size()), argv.data());
  }

  OptionEntry pristine_[kOptionTableSize];
};

TEST_F(ProgramTableTest, ShortOptionString) {
  EXPECT_STREQ("s:d:j:krxc", opts_short_options());
}

TEST_F(ProgramTableTest, DefaultsWithoutOptions) {
  ASSERT_EQ(0, parse({}));
  ASSERT_EQ(0, opts_validate());
  EXPECT_STREQ("/usr/sbin/vantsdk", opts_get_string("sdk_path"));
  const CommandOptions options = read_command_options();
  EXPECT_EQ(0, options.modem);
  EXPECT_STREQ("", options.setChanLock);
  EXPECT_FALSE(options.getChanLock || options.chanReset || options.scan || options.cops);
}

TEST_F(ProgramTableTest, EveryCommandOptionIsRead) {
  ASSERT_EQ(0, parse({"-d", "3", "--setchanlock=LtePCI,100,7", "-k", "--chanreset", "-x", "-c",
                      "--sdk_path", "/opt/sdk"}));
  const CommandOptions options = read_command_options();
  EXPECT_EQ(3, options.modem);
  EXPECT_STREQ("LtePCI,100,7", options.setChanLock);
  EXPECT_TRUE(options.getChanLock && options.chanReset && options.scan && options.cops);
  EXPECT_STREQ("/opt/sdk", opts_get_string("sdk_path"));
}

TEST_F(ProgramTableTest, SdkPathIsAStringOption) {
  EXPECT_EQ(-1, opts_get_number("sdk_path"));
  EXPECT_EQ(0, opts_get_number("sdk"));
  EXPECT_EQ(nullptr, opts_get_string("sdk"));
}

TEST_F(ProgramTableTest, ValidationOfModemAndPath) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-s", ""}, "validate option sdk_path failed\n"},
      {{"-d", "1x"}, "validate option modem failed\n"},
      {{"--modem="}, ""},
      {{"-d", "0x1"}, ""},
      {{"-d", "-2"}, ""},
  };
  for (const auto& [words, message] : cases) {
    opts_deinit();
    std::memcpy(OptionTable, pristine_, sizeof pristine_);
    ASSERT_EQ(0, opts_init(OptionTable, kOptionTableSize));
    ASSERT_EQ(0, parse(words)) << words[0];
    testing::internal::CaptureStderr();
    EXPECT_EQ(message.empty() ? 0 : -1, opts_validate()) << words[0];
    EXPECT_EQ(message, testing::internal::GetCapturedStderr());
  }
}

TEST_F(ProgramTableTest, HexModemPassesButReadsAsDecimalPrefix) {
  ASSERT_EQ(0, parse({"-d", "0x1"}));
  ASSERT_EQ(0, opts_validate());
  EXPECT_EQ(0, read_command_options().modem);
}

}  // namespace
