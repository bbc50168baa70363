// Interoperability: vantsim on a pseudo-terminal, driven by Debian's qmicli,
// an independent QMI host. Each test passes only when qmicli decodes our
// answers into the values of the scenario the emulator runs.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "sim/bands.h"
#include "sim/radio_view.h"
#include "sim/scenario_json.h"

namespace vant::sim {
namespace {

using namespace std::chrono_literals;
using testing::run;
using testing::spawn;

constexpr const char* kQmicli = "/usr/bin/qmicli";

std::string interop_scenario_path() {
  return std::string(VANT_SOURCE_DIR) + "/tests/sim/interop.json";
}

// The PLMN as qmicli prints it: the six digit nibbles in wire order, the
// filler nibble of a two-digit MNC left out.
std::string plmn_text(const Plmn& plmn) {
  std::string out;
  for (uint8_t b : plmn) {
    for (uint8_t nibble : {static_cast<uint8_t>(b & 0x0F), static_cast<uint8_t>(b >> 4)}) {
      if (nibble != 0x0F) out += static_cast<char>('0' + nibble);
    }
  }
  return out;
}

std::string tenths(int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value / 10.0);
  return text;
}

std::string fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

std::string yes_no(bool value) {
  return value ? "'yes'" : "'no'";
}

template <class T>
std::string q(T value) {
  return "'" + std::to_string(value) + "'";
}

// Lines of qmicli's report that our values must produce, in order.
class Expected {
 public:
  Expected& operator()(const std::string& needle) {
    needles_.push_back(needle);
    return *this;
  }
  // Each needle must be found on a line after the one where the previous was.
  ::testing::AssertionResult found_in(const std::string& output) const {
    std::istringstream lines(output);
    std::string line;
    size_t i = 0;
    while (i < needles_.size() && std::getline(lines, line)) {
      if (line.find(needles_[i]) != std::string::npos) ++i;
    }
    if (i == needles_.size()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "missing, in order: \"" << needles_[i] << "\" in:\n"
                                         << output;
  }

 private:
  std::vector<std::string> needles_;
};

void expect_lte_cells(Expected& e, const std::vector<LteCell>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    const auto& c = cells[i];
    e("Cell [" + std::to_string(i) + "]:")("Physical Cell ID: " + q(c.pci))(
        "RSRQ: '" + tenths(c.rsrq) + "' dB")("RSRP: '" + tenths(c.rsrp) + "' dBm")(
        "RSSI: '" + tenths(c.rssi) + "' dBm")("Cell Selection RX Level: " + q(c.srx_lev));
  }
}

void expect_geran(Expected& e, const Geran& g) {
  e("GERAN Info")("Cell ID: " + q(g.cell_id))("PLMN: '" + plmn_text(g.plmn) + "'")(
      "Location Area Code: " + q(g.lac))("GERAN Absolute RF Channel Number: " +
                                         q(g.arfcn))("Base Station Identity Code: " + q(g.bsic))(
      "Timing Advance: " + q(g.timing_advance))("('" + std::to_string(g.rx_level) + "')");
  for (size_t i = 0; i < g.nmr.size(); ++i) {
    const auto& n = g.nmr[i];
    e("Cell [" + std::to_string(i) + "]:")("Cell ID: " + q(n.cell_id))("PLMN: '" +
                                                                       plmn_text(n.plmn) + "'")(
        "Location Area Code: " + q(n.lac))("GERAN Absolute RF Channel Number: " + q(n.arfcn))(
        "Base Station Identity Code: " + q(n.bsic))("('" + std::to_string(n.rx_level) + "')");
  }
}

void expect_umts(Expected& e, const Umts& u) {
  e("UMTS Info")("Cell ID: " + q(u.cell_id))("PLMN: '" + plmn_text(u.plmn) + "'")(
      "Location Area Code: " + q(u.lac))("UTRA Absolute RF Channel Number: " + q(u.uarfcn))(
      "Primary Scrambling Code: " + q(u.psc))("RSCP: " + q(u.rscp) + " dBm")("ECIO: " + q(u.ecio) +
                                                                             " dBm");
  for (size_t i = 0; i < u.instances.size(); ++i) {
    const auto& c = u.instances[i];
    e("Cell [" + std::to_string(i) + "]:")("UTRA Absolute RF Channel Number: " + q(c.uarfcn))(
        "Primary Scrambling Code: " + q(c.psc))("RSCP: " + q(c.rscp) +
                                                " dBm")("ECIO: " + q(c.ecio) + " dBm");
  }
  for (size_t i = 0; i < u.geran_instances.size(); ++i) {
    const auto& g = u.geran_instances[i];
    // qmicli shows this RSSI as an unsigned 16-bit number.
    e("Neighboring GERAN Cell [" + std::to_string(i) + "]:")(
        "GERAN Absolute RF Channel Number: " + q(g.arfcn))("Network Color Code: " + q(g.bsic_ncc))(
        "Base Station Color Code: " + q(g.bsic_bcc))("RSSI: " + q(static_cast<uint16_t>(g.rssi)));
  }
}

void expect_cdma(Expected& e, const Cdma& c) {
  // Latitude and longitude in units of 0.25 seconds of arc.
  e("CDMA Info")("System ID: " + q(c.sid))("Network ID: " + q(c.nid))(
      "Base Station ID: " + q(c.base_id))("Reference PN: " + q(c.ref_pn))(
      "Latitude: '" + fixed(c.base_latitude * 0.25 / 3600))("Longitude: '" +
                                                            fixed(c.base_longitude * 0.25 / 3600));
}

void expect_lte(Expected& e, const Cells& c) {
  const auto& l = *c.lte_intra;
  e("Intrafrequency LTE Info")("UE In Idle: 'yes'")("PLMN: '" + plmn_text(l.plmn) + "'")(
      "Tracking Area Code: " + q(l.tac))("Global Cell ID: " + q(l.global_cell_id))(
      "EUTRA Absolute RF Channel Number: " + q(l.earfcn))("Serving Cell ID: " +
                                                          q(l.serving_cell_id))(
      "Cell Reselection Priority: " + q(l.cell_resel_priority))("S Non Intra Search Threshold: " +
                                                                q(l.s_non_intra_search))(
      "Serving Cell Low Threshold: " + q(l.thresh_serving_low))("S Intra Search Threshold: " +
                                                                q(l.s_intra_search));
  expect_lte_cells(e, l.cells);
  e("Interfrequency LTE Info")("UE In Idle: 'yes'");
  for (size_t i = 0; i < c.lte_inter->frequencies.size(); ++i) {
    const auto& f = c.lte_inter->frequencies[i];
    e("Frequency [" + std::to_string(i) + "]:")("EUTRA Absolute RF Channel Number: " + q(f.earfcn))(
        "Selection RX Level Low Threshold: " +
        q(f.thresh_x_low))("Cell Selection RX Level High Threshold: " + q(f.thresh_x_high))(
        "Cell Reselection Priority: " + q(f.cell_resel_priority));
    expect_lte_cells(e, f.cells);
  }
}

void expect_lte_neighbours(Expected& e, const Cells& c) {
  e("LTE Info Neighboring GSM")("UE In Idle: 'yes'");
  for (size_t i = 0; i < c.lte_gsm->frequencies.size(); ++i) {
    const auto& f = c.lte_gsm->frequencies[i];
    char ncc[16];
    std::snprintf(ncc, sizeof ncc, "'0x%02X'", f.ncc_permitted);
    e("Frequency [" + std::to_string(i) +
      "]:")("Cell Reselection Priority: " +
            q(f.cell_resel_priority))("Cell Reselection High Threshold: " + q(f.thresh_gsm_high))(
        "Cell Reselection Low Threshold: " + q(f.thresh_gsm_low))(std::string("NCC Permitted: ") +
                                                                  ncc);
    for (size_t j = 0; j < f.cells.size(); ++j) {
      const auto& g = f.cells[j];
      e("Cell [" + std::to_string(j) + "]:")("GERAN Absolute RF Channel Number: " + q(g.arfcn))(
          "Band Is 1900: " + yes_no(g.band_1900))("Base Station Identity Code: " + q(g.bsic_id))(
          "RSSI: '" + tenths(g.rssi) + "' dB")("Cell Selection RX Level: " + q(g.srx_lev));
    }
  }
  e("LTE Info Neighboring WCDMA")("UE In Idle: 'yes'");
  for (size_t i = 0; i < c.lte_wcdma->frequencies.size(); ++i) {
    const auto& f = c.lte_wcdma->frequencies[i];
    e("Frequency [" + std::to_string(i) + "]:")("UTRA Absolute RF Channel Number: " + q(f.uarfcn))(
        "Cell Reselection Priority: " +
        q(f.cell_resel_priority))("Cell Reselection High Threshold: " + q(f.thresh_x_high))(
        "Cell Reselection Low Threshold: " + q(f.thresh_x_low));
    for (size_t j = 0; j < f.cells.size(); ++j) {
      const auto& w = f.cells[j];
      e("Cell [" + std::to_string(j) + "]:")("Primary Scrambling Code: " + q(w.psc))(
          "CPICH RSCP: '" + tenths(w.cpich_rscp) + "' dBm")("CPICH EcNo: '" + tenths(w.cpich_ecno) +
                                                            "' dB")("Cell Selection RX Level: " +
                                                                    q(w.srx_lev));
    }
  }
}

// qmicli reads TLV 0x18's RSRP and RSRQ words as 32-bit floats.
float as_float(uint32_t word) {
  return std::bit_cast<float>(word);
}

void expect_umts_extras(Expected& e, const Cells& c) {
  e("UMTS Cell ID: " + q(*c.umts_cell_id))("UMTS Info Neighboring LTE");
  for (size_t i = 0; i < c.wcdma_lte->cells.size(); ++i) {
    const auto& n = c.wcdma_lte->cells[i];
    e("Frequency [" + std::to_string(i) + "]:")("EUTRA Absolute RF Channel Number: " + q(n.earfcn))(
        "Physical Cell ID: " + q(n.pci))("RSRP: '" + fixed(as_float(n.rsrp)) + "' dBm")(
        "RSRQ: '" + fixed(as_float(n.rsrq)) + "' dB")("Cell Selection RX Level: " +
                                                      q(n.srx_lev))("Is TDD?: " + yes_no(n.is_tdd));
  }
}

// vantsim playing a scenario file on a pseudo-terminal that qmicli opens.
class QmicliModem : public ::testing::Test {
 protected:
  void start(const std::string& scenario_path) {
    if (access(kQmicli, X_OK) != 0)
      GTEST_SKIP() << kQmicli << " is not installed (Debian package libqmi-utils); "
                   << "the interoperability test needs it";
    std::string error;
    auto scenario = load_scenario_file(scenario_path, error);
    ASSERT_TRUE(scenario) << error;
    scenario_ = std::move(*scenario);
    char dir[] = "/tmp/vantsim-qmicli-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    dir_ = dir;
    link_ = dir_ + "/modem";
    simulator_ = spawn({testing::vantsim_path(), "--link", link_, "--scenario", scenario_path}, -1);
    ASSERT_GT(simulator_, 0);
    struct stat st {};
    for (int i = 0; i < 500 && lstat(link_.c_str(), &st) != 0; ++i)
      std::this_thread::sleep_for(10ms);
    ASSERT_EQ(0, lstat(link_.c_str(), &st)) << "vantsim did not publish " << link_;
  }

  // Starts vantsim on a scenario document written for the test.
  void start_document(const std::string& json) {
    // A name of its own: the test is process 1 of its namespace, so a name
    // made of its process id is the same in every suite running beside it.
    std::string name = ::testing::TempDir() + "/vantsim-qmicli-XXXXXX.json";
    const int fd = mkstemps(name.data(), 5);
    ASSERT_GE(fd, 0);
    close(fd);
    document_ = name;
    std::ofstream(document_) << json;
    start(document_);
  }

  void TearDown() override {
    if (!document_.empty()) std::remove(document_.c_str());
    if (simulator_ > 0) {
      kill(simulator_, SIGTERM);
      int status = 0;
      waitpid(simulator_, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "vantsim ended with " << status;
      struct stat st {};
      EXPECT_NE(0, lstat(link_.c_str(), &st)) << "vantsim left its link behind";
    }
    if (!dir_.empty()) rmdir(dir_.c_str());
  }

  std::string qmicli(std::vector<std::string> args) {
    args.insert(args.begin(), {kQmicli, "-d", link_, "--device-open-qmi"});
    return run(args).output;
  }

  Scenario scenario_;
  std::string dir_, link_, document_;
  pid_t simulator_ = -1;
};

class Qmicli : public QmicliModem {
 protected:
  void SetUp() override { start(interop_scenario_path()); }
};

TEST_F(Qmicli, DecodesCellLocationIntoTheScenarioValues) {
  const std::string out = qmicli({"--nas-get-cell-location-info"});
  const Cells& c = scenario_.cells;
  Expected e;
  e("Successfully got cell location info");
  expect_geran(e, *c.geran);
  expect_umts(e, *c.umts);
  expect_cdma(e, *c.cdma);
  expect_lte(e, c);
  expect_lte_neighbours(e, c);
  expect_umts_extras(e, c);
  EXPECT_TRUE(e.found_in(out));
}

TEST_F(Qmicli, DecodesNetworkScanIntoTheScenarioValues) {
  const std::string out = qmicli({"--nas-network-scan"});
  const char* roaming[] = {"unknown", "home", "roaming"};
  Expected e;
  e("Successfully scanned networks");
  for (size_t i = 0; i < scenario_.networks.size(); ++i) {
    const auto& n = scenario_.networks[i];
    const bool serving = scenario_.registered == std::make_pair(n.mcc, n.mnc);
    e("Network [" + std::to_string(i) + "]:")("MCC: " + q(n.mcc))("MNC: " + q(n.mnc))(
        std::string("Status: '") + (serving ? "current-serving" : "available") + ", " +
        roaming[n.roaming] + "'")("Description: '" + n.description + "'");
  }
  for (size_t i = 0; i < scenario_.networks.size(); ++i) {
    const auto& n = scenario_.networks[i];
    e("Network [" + std::to_string(i) + "]:")("MCC: " + q(n.mcc))("MNC: " + q(n.mnc))(
        std::string("RAT: '") + (n.rat == kRatLte ? "lte" : "umts") + "'");
  }
  for (size_t i = 0; i < scenario_.networks.size(); ++i) {
    const auto& n = scenario_.networks[i];
    e("Network [" + std::to_string(i) +
      "]:")("MCC: " + q(n.mcc))("MNC: " + q(n.mnc))("MCC with PCS digit: " + yes_no(n.flag));
  }
  e("Network scan result: success");
  EXPECT_TRUE(e.found_in(out));
}

TEST_F(Qmicli, AllocatesAndReleasesClientIds) {
  auto allocated_cid = [&] {
    const std::string out = qmicli({"--nas-noop", "--client-no-release-cid"});
    const auto at = out.find("CID: '");
    return at == std::string::npos ? -1 : std::stoi(out.substr(at + 6));
  };
  EXPECT_EQ(1, allocated_cid());
  EXPECT_EQ(2, allocated_cid());
  // Using client id 1 without --client-no-release-cid releases it at exit.
  qmicli({"--nas-noop", "--client-cid=1"});
  EXPECT_EQ(1, allocated_cid()) << "the released id is handed out again";
  EXPECT_EQ(3, allocated_cid());
}

TEST_F(Qmicli, ReadsTheModemsIdentity) {
  EXPECT_TRUE(Expected()("Model: '" + scenario_.identity.model + "'")
                  .found_in(qmicli({"--dms-get-model"})));
  EXPECT_TRUE(Expected()("Revision: '" + scenario_.identity.firmware_revision + "'")
                  .found_in(qmicli({"--dms-get-revision"})));
  EXPECT_TRUE(
      Expected()("IMEI: '" + scenario_.identity.imei + "'").found_in(qmicli({"--dms-get-ids"})));
}

TEST_F(Qmicli, UnknownMessagesFailWithInvalidQmiCommand) {
  EXPECT_TRUE(Expected()("QMI protocol error (71): 'InvalidQmiCommand'")
                  .found_in(qmicli({"--nas-get-home-network"})));
}

// Every measurement qmicli shows with a unit lies in the range a modem can
// report, which catches values written in the wrong unit (whole dBm where
// the wire carries tenths shows as -8.8 dBm).
class QmicliUnits : public QmicliModem, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    start(std::string(VANT_SOURCE_DIR) + "/sim/scenarios/" + GetParam() + ".json");
  }
};

TEST_P(QmicliUnits, MeasurementsAreInTheirPhysicalRange) {
  // By qmicli's label and unit (it labels UMTS Ec/Io dBm and the RSSI of LTE's GSM neighbours dB).
  const std::map<std::string, std::pair<double, double>> ranges = {
      {"RSRP dBm", {-140, -44}}, {"RSRQ dB", {-34, 3}},     {"RSSI dBm", {-120, -10}},
      {"RSSI dB", {-120, -10}},  {"RSCP dBm", {-125, -20}}, {"ECIO dBm", {-25, 0}},
      {"EcNo dB", {-25, 0}}};
  const std::string out = qmicli({"--nas-get-cell-location-info"});
  const std::regex measurement(R"(^\s*(?:CPICH )?(\w+): '(-?[0-9.]+)' (dBm|dB)$)");
  std::istringstream lines(out);
  size_t checked = 0;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (!std::regex_match(line, m, measurement)) continue;
    const auto range = ranges.find(m[1].str() + " " + m[3].str());
    ASSERT_NE(ranges.end(), range) << "a measurement nobody expects: " << line;
    const double value = std::stod(m[2]);
    EXPECT_TRUE(value >= range->second.first && value <= range->second.second) << line;
    ++checked;
  }
  EXPECT_GE(checked, 10u) << out;
}

INSTANTIATE_TEST_SUITE_P(Bundled, QmicliUnits,
                         ::testing::Values("default", "every-technology-long-lists",
                                           "best-cell-fails", "best-cell-weak", "drifting-signal",
                                           "5g-nsa"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// ---- Bands, signal and 5G ----

// Names qmicli gives the bits of the legacy band mask (libqmi's QmiDmsBandCapability).
const std::map<unsigned, std::string> kLegacyBandNames = {
    {0, "bc-0-a-system"},
    {1, "bc-0-b-system"},
    {2, "bc-1-all-blocks"},
    {3, "bc-2"},
    {4, "bc-3-a-system"},
    {5, "bc-4-all-blocks"},
    {6, "bc-5-all-blocks"},
    {7, "gsm-dcs-1800"},
    {8, "gsm-900-extended"},
    {9, "gsm-900-primary"},
    {10, "bc-6"},
    {11, "bc-7"},
    {12, "bc-8"},
    {13, "bc-9"},
    {14, "bc-10"},
    {15, "bc-11"},
    {16, "gsm-450"},
    {17, "gsm-480"},
    {18, "gsm-750"},
    {19, "gsm-850"},
    {20, "gsm-900-railways"},
    {21, "gsm-pcs-1900"},
    {22, "wcdma-2100"},
    {23, "wcdma-pcs-1900"},
    {24, "wcdma-dcs-1800"},
    {25, "wcdma-1700-us"},
    {26, "wcdma-850-us"},
    {27, "wcdma-800"},
    {28, "bc-12"},
    {29, "bc-14"},
    {31, "bc-15"},
    {48, "wcdma-2600"},
    {49, "wcdma-900"},
    {50, "wcdma-1700-japan"},
    {56, "bc-16"},
    {57, "bc-17"},
    {58, "bc-18"},
    {59, "bc-19"},
    {60, "wcdma-850-japan"},
    {61, "wcdma-1500"},
};

std::string legacy_names(uint64_t mask) {
  std::string out;
  for (const auto& [bit, name] : kLegacyBandNames) {
    if (mask >> bit & 1) out += (out.empty() ? "" : ", ") + name;
  }
  return "'" + out + "'";
}

template <class Bands>
std::string band_numbers(const Bands& bands, unsigned below = 1000) {
  std::string out;
  for (unsigned band : bands) {
    if (band < below) out += (out.empty() ? "" : ", ") + std::to_string(band);
  }
  return "'" + out + "'";
}

// Whole units of a measurement in tenths, halves away from zero, as the
// signal info carries RSSI, RSRQ and RSRP.
int whole(int tenths) {
  return (tenths >= 0 ? tenths + 5 : tenths - 5) / 10;
}

// The band of every EARFCN qmicli annotates agrees with the emulator's table.
::testing::AssertionResult earfcn_bands_agree(const std::string& out) {
  const std::regex annotated(R"(Channel Number: '(\d+)' \(E-UTRA band (\d+):)");
  size_t checked = 0;
  for (std::sregex_iterator it(out.begin(), out.end(), annotated), end; it != end; ++it) {
    const auto earfcn = static_cast<uint32_t>(std::stoul((*it)[1]));
    const auto band = static_cast<uint16_t>(std::stoul((*it)[2]));
    if (lte_band_of_earfcn(earfcn) != band)
      return ::testing::AssertionFailure() << "EARFCN " << earfcn << ": qmicli says band " << band;
    ++checked;
  }
  if (checked == 0) return ::testing::AssertionFailure() << "no EARFCN annotated in:\n" << out;
  return ::testing::AssertionSuccess();
}

// The default modem with an NR leg on n78 (5g-nsa).
class QmicliNsa : public QmicliModem {
 protected:
  void SetUp() override { start(std::string(VANT_SOURCE_DIR) + "/sim/scenarios/5g-nsa.json"); }
};

TEST_F(QmicliNsa, DecodesBandCapabilities) {
  const Bands& b = scenario_.bands;
  EXPECT_TRUE(
      Expected()("Device band capabilities retrieved")("Bands: " + legacy_names(b.legacy))(
          "LTE bands: " + band_numbers(b.lte, 65))("LTE bands (extended): " + band_numbers(b.lte))(
          "NR5G bands: " + band_numbers(b.nr))
          .found_in(qmicli({"--dms-get-band-capabilities"})));
}

// Every supported band enabled, and the mode of the technologies the modem
// has bands of (see docs/scenarios.md); a mode qmicli sets is read back.
TEST_F(QmicliNsa, DecodesSystemSelectionPreferenceAndSetsAMode) {
  const Bands& b = scenario_.bands;
  EXPECT_TRUE(Expected()("Mode preference: 'gsm, umts, lte, 5gnr'")(
                  "Band preference: " + legacy_names(b.legacy))("LTE band preference: " +
                                                                band_numbers(b.lte, 65))(
                  "LTE band preference (extended): " + band_numbers(b.lte))(
                  "NR5G SA band preference: " + band_numbers(b.nr))("NR5G NSA band preference: " +
                                                                    band_numbers(b.nr))
                  .found_in(qmicli({"--nas-get-system-selection-preference"})));
  // LTE alone: the NR leg and UMTS go from the cell location answer.
  EXPECT_TRUE(Expected()("System selection preference set successfully")
                  .found_in(qmicli({"--nas-set-system-selection-preference=lte"})));
  EXPECT_TRUE(Expected()("Mode preference: 'lte'")
                  .found_in(qmicli({"--nas-get-system-selection-preference"})));
  const std::string lte_only = qmicli({"--nas-get-cell-location-info"});
  EXPECT_TRUE(Expected()("Intrafrequency LTE Info").found_in(lte_only));
  EXPECT_EQ(std::string::npos, lte_only.find("5GNR ARFCN")) << lte_only;
  EXPECT_EQ(std::string::npos, lte_only.find("UMTS Info")) << lte_only;
  qmicli({"--nas-set-system-selection-preference=lte|5gnr"});
  EXPECT_TRUE(Expected()("5GNR ARFCN: " + q(scenario_.cells.nr5g->cells[0].arfcn))
                  .found_in(qmicli({"--nas-get-cell-location-info"})));
}

TEST_F(QmicliNsa, DecodesRfBandInformation) {
  const Cells& c = scenario_.cells;
  // UARFCN 4385 is of UTRA band V (850 MHz).
  ASSERT_EQ(4385, c.umts->uarfcn);
  const std::string lte_band =
      "'eutran-" + std::to_string(*lte_band_of_earfcn(c.lte_intra->earfcn)) + "'";
  const NrCell& nr = c.nr5g->cells[0];
  Expected e;
  e("Band Information:")("Radio Interface:   'umts'")("Active Band Class: 'wcdma-850'")(
      "Active Channel:    " + q(c.umts->uarfcn))("Radio Interface:   'lte'")(
      "Active Band Class: " + lte_band)("Active Channel:    " + q(c.lte_intra->earfcn));
  e("Band Information (Extended):")("Radio Interface:   'umts'")(
      "Active Channel:    " + q(c.umts->uarfcn))("Radio Interface:   'lte'")(
      "Active Band Class: " + lte_band)("Active Channel:    " + q(c.lte_intra->earfcn))(
      "Radio Interface:   '5gnr'")("Active Band Class: 'nr5g-" + std::to_string(nr.band) +
                                   "'")("Active Channel:    " + q(nr.arfcn));
  EXPECT_TRUE(e.found_in(qmicli({"--nas-get-rf-band-info"})));
}

TEST_F(QmicliNsa, DecodesSignalInfo) {
  const Cells& c = scenario_.cells;
  const auto& l = *c.lte_intra;
  const LteCell& serving = *std::find_if(
      l.cells.begin(), l.cells.end(), [&](const LteCell& x) { return x.pci == l.serving_cell_id; });
  const NrCell& nr = c.nr5g->cells[0];
  char ecio[32];
  std::snprintf(ecio, sizeof ecio, "'%.1f dBm'", static_cast<double>(c.umts->ecio));
  EXPECT_TRUE(
      Expected()("WCDMA:")("RSSI: '" + std::to_string(c.umts->rscp - c.umts->ecio) +
                           " dBm'")(std::string("ECIO: ") + ecio)("LTE:")(
          "RSSI: '" + std::to_string(whole(serving.rssi)) +
          " dBm'")("RSRQ: '" + std::to_string(whole(serving.rsrq)) +
                   " dB'")("RSRP: '" + std::to_string(whole(serving.rsrp)) +
                           " dBm'")("SNR: '" + tenths(serving.snr) + " dB'")("5G:")(
          "RSRP: '" + std::to_string(whole(nr.rsrp)) + " dBm'")("SNR: '" + tenths(nr.snr) + " dB'")(
          "RSRQ: '" + std::to_string(whole(nr.rsrq)) + " dB'")
          .found_in(qmicli({"--nas-get-signal-info"})));
}

TEST_F(QmicliNsa, DecodesTheNrLegOfTheCellLocation) {
  const std::string out = qmicli({"--nas-get-cell-location-info"});
  const Nr5g& n = *scenario_.cells.nr5g;
  const NrCell& nr = n.cells[0];
  Expected e;
  e("Successfully got cell location info");
  expect_lte(e, scenario_.cells);
  e("5GNR ARFCN: " + q(nr.arfcn))("5GNR cell information")("PLMN: '" + plmn_text(n.plmn) + "'")(
      "Tracking Area Code: " + q(n.tac))("Global Cell ID: " + q(nr.global_cell_id))(
      "Physical Cell ID: " + q(nr.pci))("RSRQ: '" + tenths(nr.rsrq) + " dB'")(
      "RSRP: '" + tenths(nr.rsrp) + " dBm'")("SNR: '" + tenths(nr.snr) + " dB'");
  EXPECT_TRUE(e.found_in(out));
  EXPECT_TRUE(earfcn_bands_agree(out));
}

// A standalone NR modem: NR alone in every answer, and no NR entry among the
// 16-bit channels of the RF band information.
TEST_F(QmicliModem, StandaloneNrServesAlone) {
  start(std::string(VANT_SOURCE_DIR) + "/sim/scenarios/5g-sa.json");
  if (HasFatalFailure() || IsSkipped()) return;
  const NrCell& nr = scenario_.cells.nr5g->cells[0];
  const std::string cells = qmicli({"--nas-get-cell-location-info"});
  EXPECT_TRUE(
      Expected()("5GNR ARFCN: " + q(nr.arfcn))("Physical Cell ID: " + q(nr.pci)).found_in(cells));
  EXPECT_EQ(std::string::npos, cells.find("LTE Info")) << cells;
  const std::string signal = qmicli({"--nas-get-signal-info"});
  EXPECT_TRUE(
      Expected()("5G:")("RSRP: '" + std::to_string(whole(nr.rsrp)) + " dBm'").found_in(signal));
  EXPECT_EQ(std::string::npos, signal.find("LTE:")) << signal;
  const std::string bands = qmicli({"--nas-get-rf-band-info"});
  EXPECT_TRUE(Expected()("Band Information:")("Band Information (Extended):")(
                  "Radio Interface:   '5gnr'")("Active Channel:    " + q(nr.arfcn))
                  .found_in(bands));
  const std::string nr_entry = "Radio Interface:   '5gnr'";
  EXPECT_EQ(bands.find(nr_entry), bands.rfind(nr_entry)) << "only in the extended list: " << bands;
}

// A modem whose bands at the start leave out its serving cell's: the serving
// cell moves to the strongest cell of an allowed band, or LTE service is lost.
struct BandStart {
  const char* name;
  const char* lte_bands;  // as the document lists them, without brackets
  int earfcn, pci;        // 0: no LTE service
};

class QmicliBandStart : public QmicliModem, public ::testing::WithParamInterface<BandStart> {
 protected:
  void SetUp() override {
    start_document(R"({"base": "default", "bands": {"preference": {"lte": [)" +
                   std::string(GetParam().lte_bands) + "]}}}");
  }
};

TEST_P(QmicliBandStart, MovesTheServingCellOrLosesLte) {
  const BandStart& row = GetParam();
  const std::string out = qmicli({"--nas-get-cell-location-info"});
  if (row.earfcn) {
    EXPECT_TRUE(
        Expected()("Intrafrequency LTE Info")("EUTRA Absolute RF Channel Number: " +
                                              q(row.earfcn))("Serving Cell ID: " + q(row.pci))
            .found_in(out));
    EXPECT_EQ(std::string::npos, out.find("Channel Number: '5110'")) << "band 12 is off: " << out;
  } else {
    EXPECT_EQ(std::string::npos, out.find("LTE Info")) << out;
    EXPECT_TRUE(Expected()("UMTS Info").found_in(out));
  }
  EXPECT_TRUE(Expected()("LTE band preference (extended): '" + std::string(row.lte_bands) + "'")
                  .found_in(qmicli({"--nas-get-system-selection-preference"})));
}

// The default cells: 5110 (band 12) serving, 2000 (band 4) strongest elsewhere.
INSTANTIATE_TEST_SUITE_P(
    DefaultModem, QmicliBandStart,
    ::testing::Values(BandStart{"without_band_12",
                                "1, 2, 3, 4, 5, 7, 8, 13, 20, 25, 26, 28, 66, 71", 2000, 41},
                      BandStart{"bands_without_cells", "1, 3", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vant::sim
