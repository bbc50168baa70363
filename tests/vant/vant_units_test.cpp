// vant's pure logic: PLMN and unit decoding, durations, ranking, which
// technologies a report shows, lock comparison, the metrics text and its file.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "sdk/nas/nas_messages.h"
#include "tests/support/temp_dir.h"
#include "vant/band_state.h"
#include "vant/cell_report.h"
#include "vant/duration.h"
#include "vant/lock_state.h"
#include "vant/output.h"
#include "vant/plmn.h"
#include "vant/prometheus.h"
#include "vant/ranking.h"
#include "vant/units.h"

namespace vant::cli {
namespace {

using std::chrono::milliseconds;

TEST(Plmn, DecodesDigitsAndKeepsTheMncLength) {
  struct Case {
    uint8_t bytes[3];
    const char* mcc;
    const char* mnc;
  } cases[] = {
      {{0x13, 0x00, 0x62}, "310", "260"},
      {{0x62, 0xF2, 0x10}, "262", "01"},
      {{0x32, 0x54, 0x10}, "234", "015"},
      {{0x00, 0xF0, 0x00}, "000", "00"},
  };
  for (const auto& c : cases) {
    const auto plmn = decode_plmn(c.bytes);
    ASSERT_TRUE(plmn) << c.mcc << "-" << c.mnc;
    EXPECT_EQ(c.mcc, plmn->mcc);
    EXPECT_EQ(c.mnc, plmn->mnc);
  }
}

TEST(Plmn, RefusesWhatIsNotDigits) {
  const uint8_t cases[][3] = {
      {0xFF, 0xFF, 0xFF}, {0x1A, 0x00, 0x62}, {0x13, 0xA0, 0x62}, {0x13, 0x00, 0xF2}};
  for (const auto& bytes : cases) EXPECT_FALSE(decode_plmn(bytes)) << int{bytes[0]};
}

TEST(Units, ConvertsToPhysicalUnits) {
  EXPECT_DOUBLE_EQ(-88.5, from_tenths(-885));
  EXPECT_DOUBLE_EQ(-3276.8, from_tenths(std::numeric_limits<int16_t>::min()));
  EXPECT_DOUBLE_EQ(-95.5, *from_float_bits(std::bit_cast<uint32_t>(-95.5f)));
  EXPECT_DOUBLE_EQ(-9.25, *from_float_bits(std::bit_cast<uint32_t>(-9.25f)));
  EXPECT_FALSE(from_float_bits(std::bit_cast<uint32_t>(std::numeric_limits<float>::quiet_NaN())));
  EXPECT_EQ(-70, *rx_level_dbm(41));
  EXPECT_EQ(-111, *rx_level_dbm(0));
  EXPECT_FALSE(rx_level_dbm(64));
  // 0.25 arc seconds per unit; south and west are negative.
  EXPECT_DOUBLE_EQ(1.0, quarter_arc_seconds_to_degrees(14400));
  EXPECT_DOUBLE_EQ(-1.0, quarter_arc_seconds_to_degrees(0xFFFFFFFFu - 14400 + 1));
}

TEST(Duration, ParsesWholeUnitsUpToADay) {
  const struct {
    const char* text;
    std::optional<milliseconds> expected;
  } cases[] = {
      {"20s", milliseconds(20000)},
      {"500ms", milliseconds(500)},
      {"2m", milliseconds(120000)},
      {"1h", milliseconds(3600000)},
      {"7", milliseconds(7000)},
      {"0s", milliseconds(0)},
      {"24h", milliseconds(86400000)},
      {"25h", std::nullopt},
      {"", std::nullopt},
      {"s", std::nullopt},
      {"-5s", std::nullopt},
      {"1.5s", std::nullopt},
      {"5 s", std::nullopt},
      {"5x", std::nullopt},
      {"99999999999999999999s", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, parse_duration(c.text)) << c.text;
}

TEST(Ranking, OrdersByRsrpThenRsrqAboveTheThreshold) {
  const std::vector<LteCandidate> heard = {
      {100, 1, -1000, -100, false}, {100, 2, -900, -150, true},   {200, 3, -900, -120, false},
      {200, 4, -1101, -50, false},  {200, 5, -1100, -200, false}, {100, 2, -950, -90, false},
  };
  const auto ranked = rank_candidates(heard, -110.0);
  ASSERT_EQ(4u, ranked.size());
  EXPECT_EQ(3u, ranked[0].pci) << "equal RSRP: the better RSRQ first";
  EXPECT_EQ(2u, ranked[1].pci);
  EXPECT_EQ(-900, ranked[1].rsrp_tenths) << "a cell heard twice keeps its best report";
  EXPECT_TRUE(ranked[1].serving);
  EXPECT_EQ(1u, ranked[2].pci);
  EXPECT_EQ(5u, ranked[3].pci) << "a cell exactly at the threshold is kept";
  EXPECT_TRUE(rank_candidates(heard, -80.0).empty());
}

TEST(CellReport, LeavesOutTechnologiesTheModemDidNotReport) {
  auto records = std::make_unique<CellLocationRecords>();
  CellLocationInfo request = records->request_all();
  nas::preset_cell_location_info(&request);
  EXPECT_EQ(Json::object(), cell_report_json(*records));

  records->lteIntra.ueInIdle = 1;
  records->lteIntra.earfcn = 5110;
  records->lteIntra.servingCellId = 257;
  records->lteIntra.cellCount = 1;
  records->lteIntra.cells[0] = {257, -90, -880, -610, 42};
  records->umtsCellId = 0x1AB5C21;
  const Json report = cell_report_json(*records);
  std::vector<std::string> technologies;
  for (const auto& [key, value] : report.items()) technologies.push_back(key);
  EXPECT_EQ((std::vector<std::string>{"umts", "lte"}), technologies);
  EXPECT_EQ(Json({{"serving", {{"umts_cell_id", 0x1AB5C21}}}}), report["umts"]);
  const Json& lte = report["lte"];
  EXPECT_FALSE(lte.contains("inter_frequency"));
  EXPECT_EQ(-88.0, lte["serving"]["rsrp_dbm"]);
  EXPECT_EQ(-9.0, lte["serving"]["rsrq_db"]);
  EXPECT_EQ(257, lte["serving"]["pci"]);
}

TEST(Output, TextsThatAreNotUtf8AreShownNotRefused) {
  // An operator name in another character set, as a modem may send it.
  const Json document{{"description", "Caf\xe9"}};
  EXPECT_EQ("{\"description\":\"Caf\xef\xbf\xbd\"}", json_text(document));
  EXPECT_EQ("description=Caf\xe9\n", document_text(document));
}

TEST(LockState, AnUnlockedKindIsComparedByItsStatusOnly) {
  LockState held{{0, 4360}, {1, 5110, 2000}, {0, 7, 8}};
  EXPECT_TRUE(holds(held, lte_earfcn_lock_request(5110, 2000)));
  EXPECT_FALSE(holds(held, lte_earfcn_lock_request(5110, 0)));
  EXPECT_FALSE(holds(held, wcdma_lock_request(4360)));
  EXPECT_FALSE(holds(held, clear_lock_request()));
  held.lte_earfcn.status = 0;
  EXPECT_TRUE(holds(held, clear_lock_request()));
  held.lte_pci.status = 0xFF;
  EXPECT_FALSE(fully_reported(held));
}

TEST(Prometheus, AFailedPollLeavesOnlyUpAndTheTime) {
  const std::string text = prometheus_text(std::nullopt, 3, 1700000000);
  EXPECT_NE(std::string::npos, text.find("vant_up{modem=\"3\"} 0\n"));
  EXPECT_NE(std::string::npos,
            text.find("vant_last_poll_timestamp_seconds{modem=\"3\"} 1700000000\n"));
  EXPECT_EQ(std::string::npos, text.find("vant_serving_cell_info"));
  EXPECT_EQ("a\\\\b\\\"c\\nd", escape_label_value("a\\b\"c\nd"));
}

TEST(BandState, ListsParseIntoAscendingBandsOrAreRefused) {
  const struct {
    const char* text;
    std::optional<BandList> bands;
  } cases[] = {
      {"3", BandList{3}},           {"20,1,3,3", BandList{1, 3, 20}},
      {"7-8,1", BandList{1, 7, 8}}, {"256", BandList{256}},
      {"", std::nullopt},           {"1,", std::nullopt},
      {"0", std::nullopt},          {"257", std::nullopt},
      {"8-7", std::nullopt},        {"1-", std::nullopt},
      {"b3", std::nullopt},         {"65536", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.bands, parse_band_list(c.text, 256)) << c.text;
}

TEST(BandState, MasksHoldBandsAcrossWordsAndComparisonNeedsAReportedKind) {
  const BandList nr{1, 64, 65, 78, 257, 512};
  EXPECT_EQ(nr, bands_of(nr_mask_of(nr)));
  const NrBandMask mask = nr_mask_of({65, 512});
  EXPECT_EQ(1u, mask.words[1]);
  EXPECT_EQ(uint64_t{1} << 63, mask.words[7]);
  BandPreference held{};
  held.nrSa = nr_mask_of({78});
  BandSelection asked;
  asked.nr_sa = BandList{78};
  EXPECT_FALSE(bands_hold(held, asked)) << "a kind the modem did not report";
  held.nrSaReported = 1;
  EXPECT_TRUE(bands_hold(held, asked));
  asked.lte = BandList{3};
  EXPECT_FALSE(bands_hold(held, asked));
}

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
        names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

std::string contents(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The file node_exporter reads is replaced whole, readable by others whatever
// the umask, and a failed write leaves no temporary file behind.
TEST(MetricsFile, IsReplacedWholeReadableAndLeavesNothingBehind) {
  test::TempDir dir;
  const std::string path = dir.path() + "/vant.prom";
  const mode_t umask_before = umask(077);
  std::string error;
  const bool first = write_file_atomically(path, "first\n", error);
  const bool second = write_file_atomically(path, "second\n", error);
  umask(umask_before);
  ASSERT_TRUE(first && second) << error;
  EXPECT_EQ("second\n", contents(path));
  struct stat st {};
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 07777u);
  EXPECT_EQ(std::vector<std::string>{"vant.prom"}, entries(dir.path()));

  // A directory in the way: the rename fails and its temporary file goes.
  const std::string blocked = dir.path() + "/blocked";
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  EXPECT_FALSE(write_file_atomically(blocked, "x\n", error));
  EXPECT_TRUE(error.starts_with(blocked + ": ")) << error;
  EXPECT_EQ(2u, entries(dir.path()).size()) << "only vant.prom and blocked";
}

}  // namespace
}  // namespace vant::cli
