// Reading image files from a path: file kinds, directories, header walking,
// limits and failures, with real files in a temporary directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/firmware/firmware_log.h"
#include "sdk/firmware/package_version.h"
#include "tests/firmware/image_builder.h"
#include "vantsdk/firmware.h"
#include "vantsdk/result_codes.h"

namespace {

using vant::test::Bytes;
using vant::test::header_bytes;
using vant::test::HeaderFields;
using vant::test::image;
using vant::test::operator+;
using vant::test::TempDir;

std::vector<std::string> g_log;
void collect(const char* line) {
  g_log.emplace_back(line);
}

HeaderFields spec_of(const char* type, uint32_t length = 0, const char* version = "V1_2") {
  HeaderFields fields;
  fields.type = type;
  fields.length = length;
  fields.version = version;
  return fields;
}

// A 400-byte body that reads as a BOOT header if the parser fails to pass
// over it: a stray BOOT record shows the mistake.
Bytes decoy_body() {
  return header_bytes(spec_of("BOOT", 0, "DECOY"));
}

struct Parsed {
  uint32_t rc;
  uint8_t count;
  std::vector<FirmwareImageInfo> records;
  std::vector<uint32_t> types() const {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < count && i < records.size(); ++i) out.push_back(records[i].imageType);
    return out;
  }
};

class FirmwareFiles : public testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    previous_ = vant::set_firmware_log_sink(collect);
    vant::reset_package_version_for_testing();
  }
  void TearDown() override {
    vant::set_firmware_log_sink(previous_);
    vant::reset_package_version_for_testing();
  }

  static Parsed parse(const std::string& path, uint8_t initial_count = 0xAA) {
    Parsed p{0, initial_count, std::vector<FirmwareImageInfo>(vant::kFirmwareMaxImages)};
    p.rc = GetFirmwareFileInfo(path.c_str(), p.records.data(), &p.count);
    return p;
  }

  static bool logged(const std::string& line) {
    return std::find(g_log.begin(), g_log.end(), line) != g_log.end();
  }

  TempDir dir_;
  vant::FirmwareLogSink previous_ = nullptr;
};

TEST_F(FirmwareFiles, SingleCweFile) {
  const std::string path = dir_.write("fw.cwe", image(spec_of("BOOT")));
  const Parsed p = parse(path);
  ASSERT_EQ(vant::kSuccess, p.rc);
  ASSERT_EQ(1, p.count);
  EXPECT_EQ(path, p.records[0].path);
  EXPECT_EQ(vant::kFirmwareKindCwe, p.records[0].fileKinds);
  EXPECT_EQ(vant::kImageTypeBoot, p.records[0].imageType);
  EXPECT_TRUE(logged("FileExistAndValid: FW_TYPE_CWE\n"));
  EXPECT_TRUE(logged("FileExistAndValid: Single CWE, NVU or SPK type: 1, count: 1\n"));
}

TEST_F(FirmwareFiles, SingleFileOfNoKnownKindIsStillRead) {
  const std::string path = dir_.write("fw.bin", image(spec_of("BOOT")));
  const Parsed p = parse(path);
  ASSERT_EQ(vant::kSuccess, p.rc);
  ASSERT_EQ(1, p.count);
  EXPECT_EQ(0, p.records[0].fileKinds);
  EXPECT_TRUE(logged("FileExistAndValid: FW_TYPE_INVALID\n"));
}

TEST_F(FirmwareFiles, KindOfASingleFileByName) {
  struct Case {
    const char* name;
    uint8_t kinds;
    const char* label;
  };
  const Case cases[] = {
      {"a.cwe", 1, "FW_TYPE_CWE"},     {"a.nvu", 2, "FW_TYPE_NVU"},
      {"a.spk", 4, "FW_TYPE_SPK"},     {"a.mbn", 0, "FW_TYPE_INVALID"},
      {"a.mbn.cwe", 1, "FW_TYPE_CWE"}, {"a.cwe.nvu", 2, "FW_TYPE_NVU"},
      {"a.nvu.cwe", 2, "FW_TYPE_NVU"}, {"a.cwe.spk", 4, "FW_TYPE_SPK"},
      {"a.cwe.mbn", 1, "FW_TYPE_CWE"}, {"my.cwedir/a.bin", 0, "FW_TYPE_INVALID"},
      {"A.CWE", 0, "FW_TYPE_INVALID"},
  };
  for (const Case& c : cases) {
    g_log.clear();
    char first[vant::kFirmwarePathBufferSize] = {};
    char second[vant::kFirmwarePathBufferSize] = {};
    const std::string path = dir_.path().string() + "/" + c.name;
    path.copy(first, path.size());
    path.copy(second, path.size());
    uint8_t kinds = 0xFF, count = 0;
    EXPECT_EQ(vant::kSuccess, FileExistAndValid(first, second, &kinds, &count)) << c.name;
    EXPECT_EQ(c.kinds, kinds) << c.name;
    EXPECT_EQ(1, count) << c.name;
    EXPECT_TRUE(logged(std::string("FileExistAndValid: ") + c.label + "\n")) << c.name;
  }
}

TEST_F(FirmwareFiles, DirectoryWithCweAndNvu) {
  dir_.write("a.cwe", image(spec_of("BOOT")));
  dir_.write("b.nvu", image(spec_of("MODM")));
  for (const std::string& path : {dir_.path().string(), dir_.path().string() + "/"}) {
    g_log.clear();
    const Parsed p = parse(path);
    ASSERT_EQ(vant::kSuccess, p.rc) << path;
    ASSERT_EQ(2, p.count) << path;
    EXPECT_TRUE(logged("FileExistAndValid: FW_TYPE_CWE_NVU\n")) << path;
    std::vector<std::string> files = {p.records[0].path, p.records[1].path};
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string>{dir_.path() / "a.cwe", dir_.path() / "b.nvu"}), files);
    EXPECT_EQ(3, p.records[0].fileKinds);
    EXPECT_EQ(3, p.records[1].fileKinds);
  }
}

TEST_F(FirmwareFiles, DirectoryEntryCounts) {
  struct Case {
    const char* name;
    std::vector<const char*> files;
    uint32_t rc;
    uint8_t records;
    const char* line;
  };
  const Case cases[] = {
      {"Empty", {}, vant::kNoFirmwareImage, 0, "FileExistAndValid: invalid file path\n"},
      {"OneImage",
       {"a.spk"},
       vant::kSuccess,
       1,
       "FileExistAndValid: Single CWE, NVU or SPK type: 4, count: 1\n"},
      {"OneOtherFile", {"readme.txt"}, vant::kSuccess, 0, nullptr},
      {"ImageAndOtherFile", {"a.cwe", "readme.txt"}, vant::kSuccess, 1, nullptr},
      {"TwoCwe", {"a.cwe", "b.cwe"}, vant::kSuccess, 2, nullptr},
      {"ThreeImages",
       {"a.cwe", "b.nvu", "c.spk"},
       vant::kTooManyFirmwareFiles,
       0,
       "FileExistAndValid: too many files\n"},
      {"TwoImagesAndOther",
       {"a.cwe", "b.nvu", "notes"},
       vant::kTooManyFirmwareFiles,
       0,
       "FileExistAndValid: too many files\n"},
      {"HoldsMbn", {"a.mbn"}, vant::kNoFirmwareImage, 0, "FileExistAndValid: FW_TYPE_INVALID\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const char* name : c.files) dir.write(name, image(spec_of("BOOT")));
    g_log.clear();
    const Parsed p = parse(dir.path().string());
    EXPECT_EQ(c.rc, p.rc) << c.name;
    if (c.rc == vant::kSuccess) {
      EXPECT_EQ(c.records, p.count) << c.name;
    } else {
      EXPECT_EQ(0xAA, p.count) << c.name << ": count left as it was";
      EXPECT_TRUE(logged("file " + dir.path().string() + " does not exist\n")) << c.name;
    }
    if (c.line) {
      EXPECT_TRUE(logged(c.line)) << c.name;
    }
  }
}

TEST_F(FirmwareFiles, SpkgFollowedByTwoAppsWithBodies) {
  // The SPKG length covers the images after it; its body is not passed over.
  const Bytes apps1 = image(spec_of("APPS", 400), decoy_body());
  const Bytes apps2 = image(spec_of("APPS", 400), decoy_body());
  const Bytes spkg = header_bytes(spec_of("SPKG", uint32_t(apps1.size() + apps2.size())));
  const Parsed p = parse(dir_.write("fw.spk", spkg + apps1 + apps2));
  ASSERT_EQ(vant::kSuccess, p.rc);
  EXPECT_EQ(
      (std::vector<uint32_t>{vant::kImageTypeSpkg, vant::kImageTypeApps, vant::kImageTypeApps}),
      p.types());
}

TEST_F(FirmwareFiles, BodiesPassedOverByType) {
  struct Case {
    const char* type;
    std::vector<uint32_t> records;  // with a decoy BOOT header as the body
  };
  const Case cases[] = {
      {"BOOT", {vant::kImageTypeBoot, vant::kImageTypeBoot}},
      {"APPL", {vant::kImageTypeBoot}},
      {"APPS", {vant::kImageTypeApps}},
      {"FILE", {vant::kImageTypeFile}},
      {"SPKG", {vant::kImageTypeSpkg, vant::kImageTypeBoot}},
      {"MODM", {vant::kImageTypeModm, vant::kImageTypeBoot}},
      {"USER", {vant::kImageTypeUser}},
      {"KEYS", {vant::kImageTypeKeys}},
      {"ZZZZ", {}},
  };
  for (const Case& c : cases) {
    vant::reset_package_version_for_testing();
    const Parsed p = parse(dir_.write("fw.cwe", image(spec_of(c.type, 400), decoy_body())));
    ASSERT_EQ(vant::kSuccess, p.rc) << c.type;
    EXPECT_EQ(c.records, p.types()) << c.type;
  }
}

TEST_F(FirmwareFiles, InvalidApplIsNotRecordedAndHasNoBody) {
  HeaderFields appl = spec_of("APPL", 400);
  appl.validity = 0;
  const Parsed p = parse(dir_.write("fw.cwe", header_bytes(appl) + image(spec_of("MODM"))));
  ASSERT_EQ(vant::kSuccess, p.rc);
  EXPECT_EQ((std::vector<uint32_t>{vant::kImageTypeModm}), p.types());
}

TEST_F(FirmwareFiles, ShortFilesYieldNoRecords) {
  for (const size_t size : {0, 1, 399}) {
    const Bytes header = header_bytes(spec_of("BOOT"));
    const Parsed p = parse(dir_.write("fw.cwe", Bytes(header.begin(), header.begin() + size)));
    EXPECT_EQ(vant::kSuccess, p.rc) << size;
    EXPECT_EQ(0, p.count) << size;
  }
  // A truncated second header is ignored; the first still counts.
  const Bytes two = image(spec_of("BOOT")) + Bytes(200, 0x41);
  EXPECT_EQ(1, parse(dir_.write("fw.cwe", two)).count);
}

TEST_F(FirmwareFiles, FilesThatCannotBeRead) {
  const std::string missing = (dir_.path() / "missing.cwe").string();
  Parsed p = parse(missing);
  EXPECT_EQ(vant::kNoFirmwareImage, p.rc);
  EXPECT_TRUE(logged("input file[" + missing + "] invalid!\n"));

  // A dangling link is listed in the directory but cannot be opened.
  TempDir dir;
  std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "fw.cwe");
  EXPECT_EQ(vant::kNoFirmwareImage, parse(dir.path().string()).rc);

  // A directory named like an image opens but holds no header.
  TempDir nested;
  std::filesystem::create_directory(nested.path() / "sub.cwe");
  p = parse(nested.path().string());
  EXPECT_EQ(vant::kSuccess, p.rc);
  EXPECT_EQ(0, p.count);

  // A device that never ends is not read as an endless run of headers.
  p = parse("/dev/zero");
  EXPECT_EQ(vant::kSuccess, p.rc);
  EXPECT_EQ(0, p.count);
}

TEST_F(FirmwareFiles, RecordLimitIsTwentyFive) {
  Bytes file;
  for (size_t i = 0; i < vant::kFirmwareMaxImages; ++i) file = file + image(spec_of("BOOT"));
  Parsed p = parse(dir_.write("fw.cwe", file));
  EXPECT_EQ(vant::kSuccess, p.rc);
  EXPECT_EQ(25, p.count);

  // An unusable header past the limit is passed over.
  HeaderFields invalid = spec_of("APPL");
  invalid.validity = 0;
  p = parse(dir_.write("fw.cwe", file + header_bytes(invalid)));
  EXPECT_EQ(vant::kSuccess, p.rc);
  EXPECT_EQ(25, p.count);

  // A usable one is refused, whether or not its type would make a record.
  for (const char* type : {"BOOT", "ZZZZ", "APPL"}) {
    p = parse(dir_.write("fw.cwe", file + image(spec_of(type))));
    EXPECT_EQ(vant::kInternalError, p.rc) << type;
    EXPECT_EQ(0xAA, p.count) << type;
  }
}

TEST_F(FirmwareFiles, CallerScratchHoldsEachRecordsHeader) {
  const std::string path =
      dir_.write("fw.cwe", image(spec_of("BOOT", 0, "B1")) + image(spec_of("MODM", 0, "M2")));
  std::vector<ImageHeader> headers(vant::kFirmwareMaxImages);
  std::vector<FirmwareImageInfo> records(vant::kFirmwareMaxImages);
  uint8_t count = 0;
  ASSERT_EQ(vant::kSuccess,
            parsefirmwarefile(path.c_str(), headers.data(), records.data(), &count));
  ASSERT_EQ(2, count);
  EXPECT_STREQ("B1", headers[0].version);
  EXPECT_STREQ("M2", headers[1].version);
}

TEST_F(FirmwareFiles, VersionFieldOf21CharactersFailsTheParse) {
  const std::string path =
      dir_.write("fw.cwe", image(spec_of("BOOT")) +
                               image(spec_of("FILE", 0, "ABC12_123456789012345678901_X")));
  const Parsed p = parse(path);
  EXPECT_EQ(vant::kInternalError, p.rc);
  EXPECT_EQ(0xAA, p.count);
  EXPECT_EQ(vant::kImageTypeBoot, p.records[0].imageType);  // filled before the failure
}

TEST_F(FirmwareFiles, PathsThatDoNotFitAreRefused) {
  // The given path alone is too long.
  Parsed p = parse("/tmp/" + std::string(300, 'x') + ".cwe");
  EXPECT_EQ(vant::kMemoryError, p.rc);
  EXPECT_TRUE(logged("parsefirmwarefile: path too long\n"));

  // A 255-character directory path leaves no room for its "/".
  const size_t base = dir_.path().string().size() + 1;
  const std::filesystem::path full = dir_.path() / std::string(255 - base, 'd');
  std::filesystem::create_directory(full);
  ASSERT_EQ(255u, full.string().size());
  EXPECT_EQ(vant::kMemoryError, parse(full.string()).rc);

  // The directory fits, the entry name appended to it does not.
  const std::filesystem::path roomy = dir_.path() / std::string(200, 'e');
  std::filesystem::create_directory(roomy);
  std::ofstream(roomy / (std::string(60, 'n') + ".cwe")) << "x";
  g_log.clear();
  EXPECT_EQ(vant::kMemoryError, parse(roomy.string()).rc);
  EXPECT_TRUE(logged("FileExistAndValid: path too long\n"));
}

TEST_F(FirmwareFiles, NullArgumentsAreRefused) {
  FirmwareImageInfo records[vant::kFirmwareMaxImages];
  ImageHeader headers[vant::kFirmwareMaxImages];
  uint8_t count = 0, kinds = 0;
  char buffer[vant::kFirmwarePathBufferSize] = {};
  EXPECT_EQ(vant::kInvalidArgument, GetFirmwareFileInfo(nullptr, records, &count));
  EXPECT_EQ(vant::kInvalidArgument, GetFirmwareFileInfo("/tmp", nullptr, &count));
  EXPECT_EQ(vant::kInvalidArgument, GetFirmwareFileInfo("/tmp", records, nullptr));
  EXPECT_EQ(vant::kInvalidArgument, parsefirmwarefile("/tmp", nullptr, records, &count));
  EXPECT_EQ(vant::kInvalidArgument, parsefirmwarefile("/tmp", headers, records, nullptr));
  EXPECT_EQ(vant::kInvalidArgument, FileExistAndValid(buffer, nullptr, &kinds, &count));
}

}  // namespace
