#include "tests/e2e/expected_cell_report.h"

#include <cstdint>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace vant::e2e {
namespace {

using Json = nlohmann::json;

[[noreturn]] void refuse(const std::string& why) {
  throw std::invalid_argument("expected_cell_report: " + why);
}

// A field written as a JSON integer or as "0x..." text.
int64_t integer(const Json& object, const char* key) {
  const Json& value = object.at(key);
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    if (text.size() < 3 || text.compare(0, 2, "0x") != 0) refuse(std::string(key) + ": " + text);
    return static_cast<int64_t>(std::stoull(text.substr(2), nullptr, 16));
  }
  if (!value.is_number_integer()) refuse(std::string(key) + " is not an integer");
  return value.get<int64_t>();
}

// Unsigned fields keep their wire width: a negative JSON value is its two's
// complement at that width.
uint64_t unsigned_field(const Json& object, const char* key, int bits) {
  const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  return static_cast<uint64_t>(integer(object, key)) & mask;
}
uint64_t u8(const Json& o, const char* key) {
  return unsigned_field(o, key, 8);
}
uint64_t u16(const Json& o, const char* key) {
  return unsigned_field(o, key, 16);
}
uint64_t u32(const Json& o, const char* key) {
  return unsigned_field(o, key, 32);
}
// The signed 16-bit measurements print as the value the file gives.
int64_t i16(const Json& o, const char* key) {
  const int64_t value = integer(o, key);
  if (value < -32768 || value > 32767) refuse(std::string(key) + " is not a 16-bit signed value");
  return value;
}

std::string hex(uint64_t value) {
  std::ostringstream text;
  text << std::hex << value;
  return text.str();
}
std::string dec(int64_t value) {
  return std::to_string(value);
}
// The single-precision value of a 32-bit word, with six decimals.
std::string as_float(uint64_t word) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(6) << static_cast<float>(static_cast<uint32_t>(word));
  return text.str();
}

// The three PLMN identity bytes: "MCC-MNC" in the 3GPP digit order (MCC 2|1,
// MNC 3|MCC 3 with F for a two-digit MNC, MNC 2|1), or three raw bytes.
std::string plmn_bytes(const Json& value) {
  int bytes[3];
  if (value.is_array()) {
    for (int i = 0; i < 3; ++i) bytes[i] = value.at(i).get<int>();
  } else {
    const std::string text = value.get<std::string>();
    if (text.size() < 6 || text[3] != '-') refuse("PLMN " + text);
    const auto digit = [&](size_t i) { return text[i] - '0'; };
    const int mnc3 = text.size() == 7 ? digit(6) : 0xF;
    bytes[0] = digit(1) << 4 | digit(0);
    bytes[1] = mnc3 << 4 | digit(2);
    bytes[2] = digit(5) << 4 | digit(4);
  }
  std::string line;
  for (int b : bytes) line += hex(static_cast<uint64_t>(b)) + " ";
  return line + "\n";
}

const Json* technology(const Json& cells, const char* key) {
  const auto it = cells.find(key);
  if (it == cells.end() || it->is_null()) return nullptr;
  return &*it;
}

// A technology the modem did not report shows the request's presets; its PLMN
// shows all ones.
constexpr std::string_view kAbsentPlmn = "ff ff ff \n";

void geran(const Json* g, std::string& out) {
  out += "\nGERAN Information \n";
  if (g == nullptr) {
    out += "Cell Id   : ffffffff \nPLMN info : ";
    out += kAbsentPlmn;
    out +=
        "LAC       : ffff \nARFCN     : ffff \nBSIC      : ff \nTiming Adv: ffffffff \n"
        "RX-lev    : ffff \nNo. of sets of following info : 0 \n";
    return;
  }
  const Json& nmr = g->at("nmr");
  out += "Cell Id   : " + hex(u32(*g, "cell_id")) + " \n";
  out += "PLMN info : " + plmn_bytes(g->at("plmn"));
  out += "LAC       : " + hex(u16(*g, "lac")) + " \n";
  out += "ARFCN     : " + hex(u16(*g, "arfcn")) + " \n";
  out += "BSIC      : " + hex(u8(*g, "bsic")) + " \n";
  out += "Timing Adv: " + hex(u32(*g, "timing_advance")) + " \n";
  out += "RX-lev    : " + hex(u16(*g, "rx_level")) + " \n";
  out += "No. of sets of following info : " + hex(nmr.size()) + " \n";
  for (size_t i = 0; i < nmr.size(); ++i) {
    const Json& c = nmr[i];
    out += "\tNMR Cell " + dec(i + 1) + " Information \n";
    out += "\tNMR Cell Id   : " + hex(u32(c, "cell_id")) + " \n";
    out += "\tNMR PLMN info : " + plmn_bytes(c.at("plmn"));
    out += "\tNMR LAC       : " + hex(u16(c, "lac")) + " \n";
    out += "\tNMR ARFCN     : " + hex(u16(c, "arfcn")) + " \n";
    out += "\tNMR BSIC      : " + hex(u8(c, "bsic")) + " \n";
    out += "\tNMR RX-lev    : " + hex(u16(c, "rx_level")) + " \n";
  }
}

void umts(const Json* m, std::string& out) {
  out += "\nUMTS Information \n";
  if (m == nullptr) {
    out += "Cell Id   : ffff \nPLMN info : ";
    out += kAbsentPlmn;
    out +=
        "LAC       : ffff \nUARFCN    : ffff \nPSC       : ffff \nRSCP      : -1 \n"
        "ECIO      : -1 \nNo. of sets of umts instance : 0 \n"
        "No. of sets of geran instance : 0 \n";
    return;
  }
  const Json& instances = m->at("instances");
  const Json& geran_instances = m->at("geran_instances");
  out += "Cell Id   : " + hex(u16(*m, "cell_id")) + " \n";
  out += "PLMN info : " + plmn_bytes(m->at("plmn"));
  out += "LAC       : " + hex(u16(*m, "lac")) + " \n";
  out += "UARFCN    : " + hex(u16(*m, "uarfcn")) + " \n";
  out += "PSC       : " + hex(u16(*m, "psc")) + " \n";
  out += "RSCP      : " + dec(i16(*m, "rscp")) + " \n";
  out += "ECIO      : " + dec(i16(*m, "ecio")) + " \n";
  out += "No. of sets of umts instance : " + hex(instances.size()) + " \n";
  for (size_t i = 0; i < instances.size(); ++i) {
    const Json& k = instances[i];
    out += "\tUMTS Instance " + dec(i + 1) + " Information \n";
    out += "\tUMTS UARFCN  : " + hex(u16(k, "uarfcn")) + " \n";
    out += "\tUMTS PSC     : " + hex(u16(k, "psc")) + " \n";
    out += "\tUMTS RSCP    : " + dec(i16(k, "rscp")) + " \n";
    out += "\tUMTS ECIO    : " + dec(i16(k, "ecio")) + " \n";
  }
  out += "No. of sets of geran instance : " + hex(geran_instances.size()) + " \n";
  for (size_t i = 0; i < geran_instances.size(); ++i) {
    const Json& k = geran_instances[i];
    out += "\tGERAN Instance " + dec(i + 1) + " Information \n";
    out += "\tGERAN ARFCN   : " + hex(u16(k, "arfcn")) + " \n";
    out += "\tGERAN BSIC NCC: " + hex(u8(k, "bsic_ncc")) + " \n";
    out += "\tGERAN BSIC BCC: " + hex(u8(k, "bsic_bcc")) + " \n";
    out += "\tGERAN RSSI    : " + dec(i16(k, "rssi")) + " \n";
  }
}

void cdma(const Json* c, std::string& out) {
  out += "\nCDMA Information \n";
  const auto field = [&](const char* key, int bits) {
    return c == nullptr ? hex((uint64_t{1} << bits) - 1) : hex(unsigned_field(*c, key, bits));
  };
  out += "System Id  : " + field("sid", 16) + " \n";
  out += "Network Id : " + field("nid", 16) + " \n";
  out += "Base Id    : " + field("base_id", 16) + " \n";
  out += "Reference PN: " + field("ref_pn", 16) + " \n";
  out += "Base Lat   : " + field("base_latitude", 32) + " \n";
  out += "Base Long  : " + field("base_longitude", 32) + " \n";
}

void lte_cell_lines(const Json& c, std::string& out) {
  out += "\tPhysical Cell Id: " + hex(u16(c, "pci")) + " \n";
  out += "\tRSRQ            : " + dec(i16(c, "rsrq")) + " \n";
  out += "\tRSRP            : " + dec(i16(c, "rsrp")) + " \n";
  out += "\tRSSI            : " + dec(i16(c, "rssi")) + " \n";
  out += "\tSRX-lev         : " + dec(i16(c, "srx_lev")) + " \n";
}

void lte_intra(const Json* l, std::string& out) {
  out += "\nLTE Information - INtra Frequency \n";
  if (l == nullptr) {
    out += "UE in Idle    : ff \nPLMN info     : ";
    out += kAbsentPlmn;
    out +=
        "TAC                   : ffff \nGlobal Cell Id        : ffffffff \n"
        "EARFCN                : ffff \nServing Cell Id       : ffff \n"
        "Cell Resel Priority   : ff \nNon-Intra Search      : ff \n"
        "Serving Cell Threshold: ff \nIntra Search          : ff \n"
        "No. of sets of following info : 0 \n";
    return;
  }
  const Json& cells = l->at("cells");
  out += "UE in Idle    : " + hex(u8(*l, "ue_in_idle")) + " \n";
  out += "PLMN info     : " + plmn_bytes(l->at("plmn"));
  out += "TAC                   : " + hex(u16(*l, "tac")) + " \n";
  out += "Global Cell Id        : " + hex(u32(*l, "global_cell_id")) + " \n";
  out += "EARFCN                : " + hex(u16(*l, "earfcn")) + " \n";
  out += "Serving Cell Id       : " + hex(u16(*l, "serving_cell_id")) + " \n";
  out += "Cell Resel Priority   : " + hex(u8(*l, "cell_resel_priority")) + " \n";
  out += "Non-Intra Search      : " + hex(u8(*l, "s_non_intra_search")) + " \n";
  out += "Serving Cell Threshold: " + hex(u8(*l, "thresh_serving_low")) + " \n";
  out += "Intra Search          : " + hex(u8(*l, "s_intra_search")) + " \n";
  out += "No. of sets of following info : " + hex(cells.size()) + " \n";
  for (size_t i = 0; i < cells.size(); ++i) {
    out += "\tCell Number " + dec(i + 1) + " Information \n";
    lte_cell_lines(cells[i], out);
  }
}

// The three LTE neighbour sections open alike.
const Json* neighbour_heading(const Json* t, const char* title, std::string& out) {
  out += title;
  if (t == nullptr) {
    out += "UE in Idle    : ff \nFrequency Len : 0 \n";
    return nullptr;
  }
  const Json& frequencies = t->at("frequencies");
  out += "UE in Idle    : " + hex(u8(*t, "ue_in_idle")) + " \n";
  out += "Frequency Len : " + dec(frequencies.size()) + " \n";
  return &frequencies;
}

void lte_inter(const Json* t, std::string& out) {
  const Json* frequencies = neighbour_heading(t, "\nLTE Information - Inter Frequency \n", out);
  if (frequencies == nullptr) return;
  for (size_t i = 0; i < frequencies->size(); ++i) {
    const Json& f = (*frequencies)[i];
    const Json& cells = f.at("cells");
    out += "Frequency Number " + dec(i + 1) + " Information \n";
    out += "EARFCN            : " + dec(u16(f, "earfcn")) + " \n";
    out += "Thresh X Low      : " + dec(u8(f, "thresh_x_low")) + " \n";
    out += "Thresh X High     : " + dec(u8(f, "thresh_x_high")) + " \n";
    out += "Cell Resel Pty    : " + dec(u8(f, "cell_resel_priority")) + " \n";
    out += "Cells Length      : " + dec(cells.size()) + " \n";
    for (size_t j = 0; j < cells.size(); ++j) {
      out += "Cell Number " + dec(j + 1) + " Information \n";
      lte_cell_lines(cells[j], out);
    }
  }
}

void lte_gsm(const Json* t, std::string& out) {
  const Json* frequencies = neighbour_heading(t, "\nLTE Information - Neighboring GSM \n", out);
  if (frequencies == nullptr) return;
  for (size_t i = 0; i < frequencies->size(); ++i) {
    const Json& f = (*frequencies)[i];
    const Json& cells = f.at("cells");
    out += "\tFrequency Number " + dec(i + 1) + " Information \n";
    out += "\tCell Resel Pty    : " + dec(u8(f, "cell_resel_priority")) + " \n";
    out += "\tThresh GSM High   : " + dec(u8(f, "thresh_gsm_high")) + " \n";
    out += "\tThresh GSM Low    : " + dec(u8(f, "thresh_gsm_low")) + " \n";
    out += "\tNCC Permitted     : " + hex(u8(f, "ncc_permitted")) + " \n";
    out += "\tCells Length      : " + dec(cells.size()) + " \n";
    for (size_t j = 0; j < cells.size(); ++j) {
      const Json& c = cells[j];
      out += "\tGSM Cell Number " + dec(j + 1) + " Information \n";
      out += "\t\tARFCN         : " + dec(u16(c, "arfcn")) + " \n";
      out += "\t\tBand_1900     : " + hex(u8(c, "band_1900")) + " \n";
      out += "\t\tCell ID Valid : " + hex(u8(c, "cell_id_valid")) + " \n";
      out += "\t\tBSIC ID       : " + hex(u8(c, "bsic_id")) + " \n";
      out += "\t\tRSSI          : " + dec(i16(c, "rssi")) + " \n";
      out += "\t\tSRX-lev       : " + dec(i16(c, "srx_lev")) + " \n";
    }
  }
}

void lte_wcdma(const Json* t, std::string& out) {
  const Json* frequencies = neighbour_heading(t, "\nLTE Information - Neighboring WCDMA \n", out);
  if (frequencies == nullptr) return;
  for (size_t i = 0; i < frequencies->size(); ++i) {
    const Json& f = (*frequencies)[i];
    const Json& cells = f.at("cells");
    out += "\tFrequency Number " + dec(i + 1) + " Information \n";
    out += "\tUARFCN          : " + dec(u16(f, "uarfcn")) + " \n";
    out += "\tCell Resel Pty  : " + dec(u8(f, "cell_resel_priority")) + " \n";
    out += "\tThresh X High   : " + dec(u16(f, "thresh_x_high")) + " \n";
    out += "\tThresh X Low    : " + dec(u16(f, "thresh_x_low")) + " \n";
    out += "\tCells Length    : " + dec(cells.size()) + " \n";
    for (size_t j = 0; j < cells.size(); ++j) {
      const Json& c = cells[j];
      out += "\tWCDMA Cell Number " + dec(j + 1) + " Information \n";
      out += "\t\tPSC        : " + dec(u16(c, "psc")) + " \n";
      out += "\t\tCPICH_RSCP : " + dec(i16(c, "cpich_rscp")) + " \n";
      out += "\t\tCPICH_ECNO : " + dec(i16(c, "cpich_ecno")) + " \n";
      out += "\t\tSRX-lev    : " + dec(i16(c, "srx_lev")) + " \n";
    }
  }
}

void umts_cell_id(const Json& cells, std::string& out) {
  out += "\nUMTS Cell ID \n";
  const uint64_t id = cells.contains("umts_cell_id") && !cells["umts_cell_id"].is_null()
                          ? unsigned_field(cells, "umts_cell_id", 32)
                          : 0xFFFFFFFF;
  out += "UMTS Cell ID  : 0x" + hex(id) + " \n";
}

void wcdma_lte(const Json* w, std::string& out) {
  out += "\nWCDMA Information - LTE Neighboring cell info \n";
  if (w == nullptr) {
    out += "WCDMA RRC State            : ffffffff \nUMTS LTE neighbor cell Len : 0 \n";
    return;
  }
  const Json& cells = w->at("cells");
  out += "WCDMA RRC State            : " + hex(u32(*w, "rrc_state")) + " \n";
  out += "UMTS LTE neighbor cell Len : " + hex(cells.size()) + " \n";
  for (size_t i = 0; i < cells.size(); ++i) {
    const Json& c = cells[i];
    if (c.at("rsrp").is_number_float() || c.at("rsrq").is_number_float())
      refuse("RSRP and RSRQ must be integer words");
    out += "\tNumber " + dec(i + 1) + " Information \n";
    out += "\tEARFCN           : " + dec(u16(c, "earfcn")) + " \n";
    out += "\tPhysical Cell ID : " + dec(u16(c, "pci")) + " \n";
    out += "\tRSRP             : " + as_float(u32(c, "rsrp")) + " \n";
    out += "\tRSRQ             : " + as_float(u32(c, "rsrq")) + " \n";
    out += "\tSRX Lev          : " + dec(i16(c, "srx_lev")) + " \n";
    out += "\tCell is TDD      : " + dec(u8(c, "is_tdd")) + " \n";
  }
}

}  // namespace

std::string expected_cell_report(const Json& scenario) {
  if (scenario.contains("base")) refuse("the scenario must not build on another");
  if (scenario.contains("locks")) refuse("the scenario must not lock a channel");
  if (scenario.contains("behaviour")) refuse("the scenario must answer normally");
  const Json& cells = scenario.at("cells");
  std::string out =
      "Return Code: 0\nReturn Reason: Success\nVANT NAS Get Cell Location Info Successful \n";
  geran(technology(cells, "geran"), out);
  umts(technology(cells, "umts"), out);
  cdma(technology(cells, "cdma"), out);
  lte_intra(technology(cells, "lte_intra"), out);
  lte_inter(technology(cells, "lte_inter"), out);
  lte_gsm(technology(cells, "lte_gsm"), out);
  lte_wcdma(technology(cells, "lte_wcdma"), out);
  umts_cell_id(cells, out);
  wcdma_lte(technology(cells, "wcdma_lte"), out);
  return out;
}

}  // namespace vant::e2e
