// The process-wide package version across a sequence of FILE images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/firmware/package_version.h"
#include "tests/firmware/image_builder.h"
#include "vantsdk/firmware.h"

namespace {

using vant::test::header_bytes;
using vant::test::HeaderFields;

struct Step {
  const char* type;
  const char* product;
  const char* version;
  uint32_t recordState;  // the record's packageVersionState
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  const char* text;
  uint32_t state;
  bool built;
};

void PrintTo(const Scenario& s, std::ostream* os) {
  *os << s.name;
}

const Scenario kScenarios[] = {
    {"ValueFirstFieldKeepsTwoFields",
     {{"FILE", "9X15", "ABC12_DEF34_X_Y_Z_F6_F7_F8", 2}},
     "ABC12_DEF34_?_?_?_?_?",
     2,
     true},
    {"ListedChipset9X40KeepsWholeVersion",
     {{"FILE", "9X40", "ABC12_DEF34_X_Y_Z_F6_F7_F8", 2}},
     "ABC12_DEF34_X_Y_Z_F6_F7_F8",
     2,
     true},
    {"ListedChipset9X28KeepsWholeVersion",
     {{"FILE", "9X28", "ABC12_DEF34_X", 2}},
     "ABC12_DEF34_X",
     2,
     true},
    {"ValueWithoutSecondField", {{"FILE", "9X15", "ABC12", 2}}, "ABC12_", 2, true},
    {"PlaceholderFirstFieldKeepsWholeVersion",
     {{"FILE", "9X15", "999999_02.00_A", 1}},
     "999999_02.00_A",
     1,
     true},
    {"NoValueLeavesItUntouched", {{"FILE", "9X15", "999999_9999_A", 0}}, "", 0, false},
    {"OtherTypesLeaveItUntouched",
     {{"APPS", "9X15", "ABC12_DEF34", 0}, {"SPKG", "9X15", "ABC12_DEF34", 0}},
     "",
     0,
     false},
    // The placeholder's first characters, all but the value's last, are
    // replaced by the value's.
    {"PlaceholderCompletedByValue",
     {{"FILE", "9X15", "999999_02.00_A", 1}, {"FILE", "9X15", "ABC12_DEF34_B", 3}},
     "ABC199_02.00_A",
     3,
     true},
    {"ValueCompletesPlaceholderVersion",
     {{"FILE", "9X15", "ABC12_DEF34_B", 2}, {"FILE", "9X15", "999999_02.00_A", 3}},
     "ABC199_02.00_A",
     3,
     true},
    {"CompletedNeverChangesAgain",
     {{"FILE", "9X15", "999999_02.00_A", 1},
      {"FILE", "9X15", "ABC12_DEF34_B", 3},
      {"FILE", "9X15", "XYZ99_DEF34_C", 3},
      {"FILE", "9X15", "999999_03.00_D", 3}},
     "ABC199_02.00_A",
     3,
     true},
    {"SecondValueChangesNothing",
     {{"FILE", "9X15", "ABC12_DEF34_B", 2}, {"FILE", "9X15", "XYZ99_GHI56_C", 2}},
     "ABC12_DEF34_?_?_?_?_?",
     2,
     true},
    {"SecondPlaceholderChangesNothing",
     {{"FILE", "9X15", "999999_02.00_A", 1}, {"FILE", "9X15", "999999_03.00_B", 1}},
     "999999_02.00_A",
     1,
     true},
    {"NoValueAfterBuiltChangesNothing",
     {{"FILE", "9X15", "999999_02.00_A", 1}, {"FILE", "9X15", "9999_9999", 1}},
     "999999_02.00_A",
     1,
     true},
    {"PrefixLongerThanStoredTextStaysTerminated",
     {{"FILE", "9X15", "99_02.00", 1}, {"FILE", "9X15", "ABCDEFGHIJ_X", 3}},
     "ABCDEFGHI",
     3,
     true},
};

class PackageVersionStates : public testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override { vant::reset_package_version_for_testing(); }
  void TearDown() override { vant::reset_package_version_for_testing(); }
};

TEST_P(PackageVersionStates, FollowsTheFileImages) {
  const Scenario& s = GetParam();
  for (const Step& step : s.steps) {
    HeaderFields fields;
    fields.type = step.type;
    fields.product = step.product;
    fields.version = step.version;
    ImageHeader header;
    decode_image_header(header_bytes(fields).data(), &header);
    FirmwareImageInfo record;
    ASSERT_EQ(1, fill_in_firmware_info(&header, 0, &record)) << step.version;
    EXPECT_EQ(step.recordState, record.packageVersionState) << step.version;
  }
  PackageVersion package;
  ASSERT_EQ(0u, GetPackageVersion(&package));
  EXPECT_STREQ(s.text, package.text);
  EXPECT_EQ(s.state, package.state);
  EXPECT_EQ(s.built, package.built);
}

INSTANTIATE_TEST_SUITE_P(Firmware, PackageVersionStates, testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PackageVersion, NullOutputIsRefused) {
  EXPECT_EQ(4u, GetPackageVersion(nullptr));
}

}  // namespace
