// Decoding one image header, the type table, the product and version texts,
// and filling a record from a header.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sdk/firmware/firmware_log.h"
#include "sdk/firmware/package_version.h"
#include "tests/firmware/image_builder.h"
#include "vantsdk/firmware.h"

namespace {

using vant::test::header_bytes;
using vant::test::HeaderFields;

struct RevisionCase {
  uint32_t revision;
  uint8_t byte380;
  uint32_t word384, word388, word392;
};

// Trailing words stored as 01 02 03 04 | 05 06 07 08 | 09 0A 0B 0C and the
// byte at 380 as 0x5A; the revision decides how they are read.
const RevisionCase kRevisions[] = {
    {1, 0x00, 0x01020304, 0x05060708, 0x090A0B0C},
    {2, 0x00, 0x04030201, 0x08070605, 0x0C0B0A09},
    {3, 0x5A, 0x04030201, 0x08070605, 0x0C0B0A09},
    {0x0103, 0x5A, 0x04030201, 0x08070605, 0x0C0B0A09},  // only the low byte counts
};

TEST(ImageHeader, RevisionDecidesTrailingByteOrderAndByte380) {
  for (const RevisionCase& c : kRevisions) {
    HeaderFields fields;
    fields.revision = c.revision;
    fields.byte380 = 0x5A;
    fields.trailing = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const auto raw = header_bytes(fields);
    ImageHeader header;
    ASSERT_EQ(1, decode_image_header(raw.data(), &header)) << "revision " << c.revision;
    EXPECT_EQ(c.byte380, header.byte380) << "revision " << c.revision;
    EXPECT_EQ(c.word384, header.word384) << "revision " << c.revision;
    EXPECT_EQ(c.word388, header.word388) << "revision " << c.revision;
    EXPECT_EQ(c.word392, header.word392) << "revision " << c.revision;
  }
}

TEST(ImageHeader, DecodesEveryFieldBigEndian) {
  HeaderFields fields;
  fields.type = "APPS";
  fields.product = "9X28";
  fields.length = 0x00012345;
  fields.word256 = 0x11223344;
  fields.word264 = 0x55667788;
  fields.word280 = 0x99AABBCC;
  fields.word376 = 0xDEADBEEF;
  fields.validity = 7;
  fields.leading = std::string(256, 'L');
  fields.version = "V1_2";
  fields.date = "20230415";
  const auto raw = header_bytes(fields);
  ImageHeader header;
  ASSERT_EQ(1, decode_image_header(raw.data(), &header));
  EXPECT_EQ(0x41505053u, header.imageType);
  EXPECT_EQ(0x39583238u, header.product);
  EXPECT_EQ(0x00012345u, header.imageLength);
  EXPECT_EQ(0x11223344u, header.word256);
  EXPECT_EQ(0x55667788u, header.word264);
  EXPECT_EQ(0x99AABBCCu, header.word280);
  EXPECT_EQ(0xDEADBEEFu, header.word376);
  EXPECT_EQ(7u, header.validity);
  EXPECT_EQ(std::string(255, 'L'), header.leadingBlock);  // terminated after 255 bytes
  EXPECT_EQ("V1_2", std::string(header.version));
  EXPECT_EQ("20230415", std::string(header.date, sizeof header.date));
}

TEST(ImageHeader, ApplIsUsableOnlyWithValidityOne) {
  struct Case {
    const char* type;
    uint32_t validity;
    int usable;
  };
  for (const Case c : {Case{"APPL", 1, 1}, Case{"APPL", 0, 0}, Case{"APPL", 2, 0},
                       Case{"BOOT", 0, 1}, Case{"FILE", 0, 1}}) {
    HeaderFields fields;
    fields.type = c.type;
    fields.validity = c.validity;
    ImageHeader header;
    EXPECT_EQ(c.usable, decode_image_header(header_bytes(fields).data(), &header))
        << c.type << " validity " << c.validity;
  }
  ImageHeader header;
  EXPECT_EQ(0, decode_image_header(nullptr, &header));
  EXPECT_EQ(0, decode_image_header(header_bytes({}).data(), nullptr));
}

std::vector<std::string> g_lines;
void collect(const char* line) {
  g_lines.emplace_back(line);
}

TEST(ImageHeader, ProductInFileOrder) {
  HeaderFields fields;
  fields.product = "9X40";
  ImageHeader header;
  decode_image_header(header_bytes(fields).data(), &header);
  char product[vant::kImageProductTextSize];
  std::memset(product, 'x', sizeof product);
  find_image_product(&header, product);
  EXPECT_STREQ("9X40", product);

  g_lines.clear();
  const auto previous = vant::set_firmware_log_sink(collect);
  find_image_product(&header, nullptr);
  vant::set_firmware_log_sink(previous);
  EXPECT_EQ(
      std::vector<std::string>{
          "Error in function: find_image_product. The input parameter product is NULL..\n"},
      g_lines);
}

TEST(VersionText, Classification) {
  struct Case {
    const char* version;
    uint32_t kind;
  };
  const Case cases[] = {
      {"ABC12_DEF34_X_Y_Z_F6_F7_F8", 2},
      {"ABC12", 2},
      {"999999_02.00_A", 1},
      {"12345678901_02.00", 1},  // 11 characters: a placeholder however it reads
      {"1234567890_02.00", 2},   // 10 characters hold a value
      {"999999_999", 0},
      {"999999_12345678901", 0},
      {"999999", 0},
      {"_02.00", 1},  // an empty first field is a placeholder
      {"", 0},
      {nullptr, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.kind, classify_version(c.version)) << (c.version ? c.version : "(null)");
  }
}

class FillIn : public testing::Test {
 protected:
  void SetUp() override { vant::reset_package_version_for_testing(); }
  void TearDown() override { vant::reset_package_version_for_testing(); }

  static int fill(const HeaderFields& fields, FirmwareImageInfo* record) {
    ImageHeader header;
    decode_image_header(header_bytes(fields).data(), &header);
    return fill_in_firmware_info(&header, vant::kFirmwareKindCwe, record);
  }
};

TEST_F(FillIn, FileAndSpkgSplitTheVersionIntoTokens) {
  for (const char* type : {"FILE", "SPKG"}) {
    HeaderFields fields;
    fields.type = type;
    fields.version = "ABC12_DEF34_X_Y_Z_F6_F7_F8_F9";
    FirmwareImageInfo record;
    ASSERT_EQ(1, fill(fields, &record)) << type;
    EXPECT_STREQ("ABC12", record.versionToken1) << type;
    EXPECT_STREQ("DEF34", record.versionToken2) << type;
    EXPECT_STREQ("X", record.versionToken3) << type;
    EXPECT_STREQ("F6", record.versionToken6) << type;
    EXPECT_STREQ("F7", record.versionToken7) << type;
    EXPECT_STREQ("F8", record.versionToken8) << type;
    EXPECT_STREQ("ABC12_DEF34_X_Y_Z_F6_F7_F8_F9", record.version) << type;
    EXPECT_STREQ("20240131", record.date) << type;
    EXPECT_EQ(vant::kFirmwareKindCwe, record.fileKinds) << type;
  }
}

TEST_F(FillIn, OtherTypesKeepNoTokens) {
  HeaderFields fields;
  fields.type = "APPS";
  fields.version = "ABC12_DEF34_X_Y_Z_F6_F7_F8";
  FirmwareImageInfo record;
  ASSERT_EQ(1, fill(fields, &record));
  EXPECT_EQ(vant::kImageTypeApps, record.imageType);
  EXPECT_STREQ("", record.versionToken1);
  EXPECT_STREQ("", record.versionToken8);
  EXPECT_EQ(0u, record.packageVersionState);
  EXPECT_STREQ("ABC12_DEF34_X_Y_Z_F6_F7_F8", record.version);
}

TEST_F(FillIn, FieldLengthLimits) {
  const std::string f20(20, 'a'), f21(21, 'b'), f30(30, 'c');
  struct Case {
    std::string version;
    int filled;
  };
  const Case cases[] = {
      {f20 + "_" + f20 + "_" + f20 + "_x", 1},  // 20 characters fit a token
      {"A_B_C_D_" + f20 + "_" + f20 + "_" + f20 + "_E", 1},
      {f21 + "_B", 0},
      {"A_" + f21, 0},
      {"A_B_" + f21, 0},
      {"A_B_C_" + f30 + "_E", 1},  // the fourth field is passed over unchecked
      {"A_B_C_D_" + f21, 0},       // the fifth is checked though not kept
      {"A_B_C_D_E_" + f21, 0},
      {"A_B_C_D_E_F_" + f21, 0},
      {"A_B_C_D_E_F_G_" + f21, 0},
      {"A_B_C_D_E_F_G_H_" + f30, 1},  // fields past the eighth are ignored
  };
  for (const Case& c : cases) {
    HeaderFields fields;
    fields.type = "SPKG";
    fields.version = c.version;
    FirmwareImageInfo record;
    EXPECT_EQ(c.filled, fill(fields, &record)) << c.version;
  }
}

TEST_F(FillIn, VersionFillingTheWholeFieldIsRefused) {
  HeaderFields fields;
  fields.type = "BOOT";
  fields.version = std::string(84, 'v');
  FirmwareImageInfo record;
  EXPECT_EQ(0, fill(fields, &record));
  fields.version = std::string(83, 'v');
  ASSERT_EQ(1, fill(fields, &record));
  EXPECT_EQ(std::string(83, 'v'), record.version);
}

TEST_F(FillIn, UnknownTypeAndNullArguments) {
  HeaderFields fields;
  fields.type = "XXXX";
  FirmwareImageInfo record;
  EXPECT_EQ(0, fill(fields, &record));
  EXPECT_EQ(0, fill_in_firmware_info(nullptr, 0, &record));
  ImageHeader header{};
  EXPECT_EQ(0, fill_in_firmware_info(&header, 0, nullptr));
}

}  // namespace
