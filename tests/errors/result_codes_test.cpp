#include "vantsdk/result_codes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

namespace {

struct Expected {
  uint32_t code;
  const char* text;  // nullptr: the code has no text
};

// Texts are compared character for character, blanks and misspellings included.
TEST(ResultCodeText, KnownCodesGiveTheirExactTexts) {
  const Expected cases[] = {
      {0, "Success"},
      {3, "Memory error"},
      {9, "Unable to obtain QMI interace"},
      {17, "Invalid QMI response received"},
      {21, "Not Used"},
      {26, "Not Used"},
      {34, "Error api mutex lock timeout"},
      {35, "Error PDU generation error"},
      {1001, "Malformed or Correupted QMI msg"},
      {1038, " Maximum QOS Requests in Use"},
      {1079, "Policy Msmatch"},
      {1089, "Not Used"},
      {1094, "Not Supported"},
      {1098, "Message Blocked"},
      {62441, "CAT event registration failed"},
      {0xF3ED, "Envelope command failure"},
      {0xE001, "API yet to be implemented"},
      {0xE004, "SDK timed out"},
      {0xE005, "socket is in use"},
      {0xE00D, "Invalid Session ID"},
      {0xE00E, "Invalid Session ID"},
      {0xE00F, "0xE00F - Invalid V6 Session ID"},
      {0xE010, "No available Session Manager slots for additional data sessions"},
      {0xE101, "Message too long"},
      {0xE104, "No Bearer data present"},
      {0xE801, "Invalid directory path"},
      {0xE808, "Firmware preference mismatch ( device offline )"},
      {0xE809, "Firmware upgrade success "},
      {0xE80C, "Waiting for Modem to Reboot"},
      {0xE80E, "Same as the current active image"},
  };
  for (const Expected& c : cases) {
    const char* text = result_code_text(c.code);
    ASSERT_NE(nullptr, text) << "code " << c.code;
    EXPECT_STREQ(c.text, text) << "code " << c.code;
  }
}

// Just outside each range, the end rows and the gaps inside ranges have no text.
TEST(ResultCodeText, BoundariesAndGapsGiveNoText) {
  const uint32_t codes[] = {36,     37,     38,     39,     1000,   1099,   1100,
                            0xE000, 0xE011, 0xE100, 0xE105, 0xE800, 0xE80D, 0xE80F,
                            0xE812, 0xE813, 0xF3E8, 0xF3EE, 62446,  999,    0xFFFFFFFF};
  for (uint32_t code : codes) EXPECT_EQ(nullptr, result_code_text(code)) << "code " << code;
}

struct Range {
  uint32_t first;
  uint32_t last;
};

// Every code inside a group's range has a non-empty text, except the few that
// are known to have none; nothing between the ranges has one.
TEST(ResultCodeText, EveryCodeInEachRangeHasTextOrIsAKnownGap) {
  const Range ranges[] = {{0, 37},          {1001, 1098},     {0xE001, 0xE010}, {0xE101, 0xE104},
                          {0xE201, 0xE207}, {0xE801, 0xE812}, {0xF3E9, 0xF3ED}};
  const std::set<uint32_t> gaps = {36, 37, 0xE80D, 0xE80F, 0xE810, 0xE811, 0xE812};
  std::set<uint32_t> inside;
  for (const Range& r : ranges) {
    for (uint32_t code = r.first; code <= r.last; ++code) {
      inside.insert(code);
      const char* text = result_code_text(code);
      if (gaps.count(code)) {
        EXPECT_EQ(nullptr, text) << "code " << code;
      } else {
        ASSERT_NE(nullptr, text) << "code " << code;
        EXPECT_FALSE(std::string(text).empty()) << "code " << code;
      }
    }
  }
  for (uint32_t code = 0; code <= 0x10000; ++code) {
    if (!inside.count(code)) {
      EXPECT_EQ(nullptr, result_code_text(code)) << "code " << code;
    }
  }
}

TEST(ResultCodeText, NamedConstantsMatchTheirTexts) {
  EXPECT_STREQ("Unable to detect WWAN device", result_code_text(vant::kNoDevice));
  EXPECT_STREQ("Invalid QMI response received", result_code_text(vant::kInvalidQmiResponse));
  EXPECT_STREQ("Not Supported", result_code_text(vant::kNotSupported));
  EXPECT_STREQ("Message corrupt octet length too high", result_code_text(vant::kSmsCorruptLength));
  EXPECT_STREQ("No Firmware image present in the path", result_code_text(vant::kNoFirmwareImage));
  EXPECT_EQ(nullptr, result_code_text(vant::kTooManyFirmwareFiles));
}

}  // namespace
