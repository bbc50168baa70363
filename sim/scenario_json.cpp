#include "sim/scenario_json.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <set>

#include "sim/bands.h"
#include "sim/json_fields.h"
#include "sim/messages.h"
#include "sim/nas_encoding.h"
#include "sim/schema.h"

namespace vant::sim {
namespace {

using schema::Bounds;
using schema::Field;
using schema::Schema;

// ---- Small values ----

// "310-260" (three MCC digits, two or three MNC digits) in the nibble order
// of the PLMN identity, or three raw bytes as a list.
Plmn read_plmn(const Json& value, const std::string& path) {
  if (value.is_array()) {
    if (value.size() != 3) throw FieldError(path, "expected three bytes, got " + describe(value));
    Plmn plmn;
    for (size_t i = 0; i < 3; ++i)
      plmn[i] = read_integer<uint8_t>(value[i], path + "[" + std::to_string(i) + "]");
    return plmn;
  }
  const std::string problem = "expected \"MCC-MNC\" (like \"310-260\") or three bytes, got ";
  if (!value.is_string()) throw FieldError(path, problem + describe(value));
  const std::string text = value.get<std::string>();
  const auto dash = text.find('-');
  const bool digits = text.find_first_not_of("0123456789-") == std::string::npos;
  if (!digits || dash != 3 || (text.size() != 6 && text.size() != 7))
    throw FieldError(path, problem + describe(value));
  auto d = [&](size_t i) { return static_cast<uint8_t>(text[i] - '0'); };
  const bool three_digit_mnc = text.size() == 7;
  const uint8_t mnc3 = three_digit_mnc ? d(6) : 0x0F;
  return {static_cast<uint8_t>(d(1) << 4 | d(0)), static_cast<uint8_t>(mnc3 << 4 | d(2)),
          static_cast<uint8_t>(d(5) << 4 | d(4))};
}

template <class T>
Field<T> plmn(const char* name, Plmn T::*member, const char* meaning) {
  return schema::custom<T>(name, "MCC-MNC text, or a list of three bytes", meaning,
                           [member](const Json& j, const std::string& path, T& out) {
                             out.*member = read_plmn(j, path);
                           });
}

// The RSRP and RSRQ words of WCDMA's LTE neighbours: an integer is the word
// itself (negative ones in two's complement), a number with a fraction is
// sent as the bits of a 32-bit float, as modems encode these measurements.
uint32_t read_word(const Json& value, const std::string& path) {
  if (value.is_number_float()) return std::bit_cast<uint32_t>(value.get<float>());
  if (value.is_number_integer() && !value.is_number_unsigned())
    return static_cast<uint32_t>(read_integer<int32_t>(value, path));
  return read_integer<uint32_t>(value, path);
}

template <class T>
Field<T> word(const char* name, uint32_t T::*member, const char* meaning) {
  return schema::custom<T>(name, "integer -2147483648 to 4294967295, or a number with a fraction",
                           meaning, [member](const Json& j, const std::string& path, T& out) {
                             out.*member = read_word(j, path);
                           });
}

constexpr Bounds<uint8_t> kTwoBits{0, 3};
constexpr Bounds<uint8_t> kLockStatus{0, 1};
constexpr Bounds<uint32_t> kPositive{1, UINT32_MAX};

// ---- Cells ----

const Schema<Drift>& drift_schema() {
  static const Schema<Drift> s(
      "drift",
      "A triangle wave added to an LTE cell's measurements over time (see Signal over time). "
      "Amplitudes are in the wire units of their measurements.",
      {
          schema::required_integer("period_ms", &Drift::period_ms, "the period of the wave",
                                   kPositive),
          schema::integer(
              "phase_ms", &Drift::phase_ms,
              "how far into its period the wave is when the emulator starts (default 0)"),
          schema::integer("rsrq", &Drift::rsrq, "amplitude of RSRQ, tenths of a dB"),
          schema::integer("rsrp", &Drift::rsrp, "amplitude of RSRP, tenths of a dBm"),
          schema::integer("rssi", &Drift::rssi, "amplitude of RSSI, tenths of a dBm"),
          schema::integer("srx_lev", &Drift::srx_lev, "amplitude of Srxlev, whole dB"),
          schema::integer("snr", &Drift::snr, "amplitude of SNR, tenths of a dB"),
      });
  return s;
}

const Schema<WhenLocked>& when_locked_schema() {
  static const Schema<WhenLocked> s(
      "when_locked",
      "What an LTE cell does once an LTE PCI lock to its EARFCN and PCI is in force (see Signal "
      "over time, and cells that fail once locked).",
      {
          schema::integer("after_ms", &WhenLocked::after_ms,
                          "how long after the lock was set the cell changes (default 0: at once)"),
          schema::boolean(
              "service", &WhenLocked::service,
              "false: the modem loses LTE service; takes no measurements (default true)"),
          schema::integer("rsrq", &WhenLocked::rsrq,
                          "the cell's RSRQ from then on, tenths of a dB"),
          schema::integer("rsrp", &WhenLocked::rsrp,
                          "the cell's RSRP from then on, tenths of a dBm"),
          schema::integer("rssi", &WhenLocked::rssi,
                          "the cell's RSSI from then on, tenths of a dBm"),
          schema::integer("srx_lev", &WhenLocked::srx_lev,
                          "the cell's Srxlev from then on, whole dB"),
          schema::integer("snr", &WhenLocked::snr, "the cell's SNR from then on, tenths of a dB"),
      },
      [](const WhenLocked& w, const std::string& path) {
        if (!w.service && (w.rsrq || w.rsrp || w.rssi || w.srx_lev || w.snr))
          throw FieldError(path, "a cell without service has no measurements");
      });
  return s;
}

const Schema<LteCell>& lte_cell_schema() {
  static const Schema<LteCell> s(
      "lte_cell", "One LTE cell of a frequency and its measurements.",
      {
          schema::integer("pci", &LteCell::pci, "physical cell id"),
          schema::integer("rsrq", &LteCell::rsrq, "RSRQ, tenths of a dB"),
          schema::integer("rsrp", &LteCell::rsrp, "RSRP, tenths of a dBm"),
          schema::integer("rssi", &LteCell::rssi, "RSSI, tenths of a dBm"),
          schema::integer("srx_lev", &LteCell::srx_lev, "Srxlev, whole dB"),
          schema::integer("snr", &LteCell::snr,
                          "SINR, tenths of a dB (default 100); the signal info reports it, the "
                          "cell location answer has no field for it"),
          schema::optional_object("drift", &LteCell::drift, drift_schema(),
                                  "the cell's own drift, instead of behaviour.drift"),
          schema::optional_object("when_locked", &LteCell::when_locked, when_locked_schema(),
                                  "what the cell does once locked by PCI"),
      });
  return s;
}

const Schema<GeranNmrCell>& geran_nmr_schema() {
  static const Schema<GeranNmrCell> s(
      "geran_nmr_cell", "A GSM neighbour of the GSM serving cell.",
      {
          schema::integer("cell_id", &GeranNmrCell::cell_id, "cell id"),
          plmn("plmn", &GeranNmrCell::plmn, "PLMN"),
          schema::integer("lac", &GeranNmrCell::lac, "location area code"),
          schema::integer("arfcn", &GeranNmrCell::arfcn, "ARFCN"),
          schema::integer("bsic", &GeranNmrCell::bsic, "BSIC"),
          schema::integer("rx_level", &GeranNmrCell::rx_level, "RX level index 0 to 63"),
      });
  return s;
}

const Schema<Geran>& geran_schema() {
  static const Schema<Geran> s(
      "geran", "TLV 0x10: the GSM serving cell.",
      {
          schema::integer("cell_id", &Geran::cell_id, "cell id"),
          plmn("plmn", &Geran::plmn, "PLMN"),
          schema::integer("lac", &Geran::lac, "location area code"),
          schema::integer("arfcn", &Geran::arfcn, "ARFCN"),
          schema::integer("bsic", &Geran::bsic, "BSIC"),
          schema::integer("timing_advance", &Geran::timing_advance, "timing advance"),
          schema::integer("rx_level", &Geran::rx_level, "RX level index 0 to 63"),
          schema::list("nmr", &Geran::nmr, geran_nmr_schema(), "the neighbours"),
      });
  return s;
}

const Schema<UmtsInstance>& umts_instance_schema() {
  static const Schema<UmtsInstance> s(
      "umts_instance", "A UMTS neighbour of the UMTS serving cell.",
      {
          schema::integer("uarfcn", &UmtsInstance::uarfcn, "UARFCN"),
          schema::integer("psc", &UmtsInstance::psc, "primary scrambling code"),
          schema::integer("rscp", &UmtsInstance::rscp, "RSCP, whole dBm"),
          schema::integer("ecio", &UmtsInstance::ecio, "Ec/Io, whole dB"),
      });
  return s;
}

const Schema<UmtsGeranInstance>& umts_geran_schema() {
  static const Schema<UmtsGeranInstance> s(
      "umts_geran_instance", "A GSM neighbour of the UMTS serving cell.",
      {
          schema::integer("arfcn", &UmtsGeranInstance::arfcn, "ARFCN"),
          schema::integer("bsic_ncc", &UmtsGeranInstance::bsic_ncc, "network colour code"),
          schema::integer("bsic_bcc", &UmtsGeranInstance::bsic_bcc, "base station colour code"),
          schema::integer("rssi", &UmtsGeranInstance::rssi, "RSSI, whole dBm"),
      });
  return s;
}

const Schema<Umts>& umts_schema() {
  static const Schema<Umts> s(
      "umts", "TLV 0x11: the UMTS serving cell.",
      {
          schema::integer("cell_id", &Umts::cell_id, "cell id"),
          plmn("plmn", &Umts::plmn, "PLMN"),
          schema::integer("lac", &Umts::lac, "location area code"),
          schema::integer("uarfcn", &Umts::uarfcn, "UARFCN"),
          schema::integer("psc", &Umts::psc, "primary scrambling code"),
          schema::integer("rscp", &Umts::rscp, "RSCP, whole dBm"),
          schema::integer("ecio", &Umts::ecio, "Ec/Io, whole dB"),
          schema::list("instances", &Umts::instances, umts_instance_schema(), "UMTS neighbours"),
          schema::list("geran_instances", &Umts::geran_instances, umts_geran_schema(),
                       "GSM neighbours"),
      });
  return s;
}

const Schema<Cdma>& cdma_schema() {
  static const Schema<Cdma> s(
      "cdma", "TLV 0x12: the CDMA base station.",
      {
          schema::integer("sid", &Cdma::sid, "system id"),
          schema::integer("nid", &Cdma::nid, "network id"),
          schema::integer("base_id", &Cdma::base_id, "base station id"),
          schema::integer("ref_pn", &Cdma::ref_pn, "reference PN"),
          schema::integer("base_latitude", &Cdma::base_latitude,
                          "latitude, quarter seconds of arc, two's complement"),
          schema::integer("base_longitude", &Cdma::base_longitude,
                          "longitude, quarter seconds of arc, two's complement"),
      });
  return s;
}

const Schema<LteIntra>& lte_intra_schema() {
  static const Schema<LteIntra> s(
      "lte_intra", "TLV 0x13: the LTE serving cell and the cells of its frequency.",
      {
          schema::integer("ue_in_idle", &LteIntra::ue_in_idle, "1 when the modem is idle"),
          plmn("plmn", &LteIntra::plmn, "PLMN"),
          schema::integer("tac", &LteIntra::tac, "tracking area code"),
          schema::integer("global_cell_id", &LteIntra::global_cell_id, "global cell id"),
          schema::integer("earfcn", &LteIntra::earfcn, "the serving frequency's EARFCN"),
          schema::integer("serving_cell_id", &LteIntra::serving_cell_id,
                          "the PCI of the serving cell"),
          schema::integer("cell_resel_priority", &LteIntra::cell_resel_priority,
                          "as the cell broadcasts it"),
          schema::integer("s_non_intra_search", &LteIntra::s_non_intra_search,
                          "as the cell broadcasts it"),
          schema::integer("thresh_serving_low", &LteIntra::thresh_serving_low,
                          "as the cell broadcasts it"),
          schema::integer("s_intra_search", &LteIntra::s_intra_search, "as the cell broadcasts it"),
          schema::list("cells", &LteIntra::cells, lte_cell_schema(),
                       "the cells heard on the serving frequency, the serving one among them"),
      });
  return s;
}

const Schema<LteInterFrequency>& lte_inter_frequency_schema() {
  static const Schema<LteInterFrequency> s(
      "lte_inter_frequency", "Another LTE frequency and its cells.",
      {
          schema::integer("earfcn", &LteInterFrequency::earfcn, "EARFCN"),
          schema::integer("thresh_x_low", &LteInterFrequency::thresh_x_low,
                          "as the cell broadcasts it"),
          schema::integer("thresh_x_high", &LteInterFrequency::thresh_x_high,
                          "as the cell broadcasts it"),
          schema::integer("cell_resel_priority", &LteInterFrequency::cell_resel_priority,
                          "as the cell broadcasts it"),
          schema::list("cells", &LteInterFrequency::cells, lte_cell_schema(), "its cells"),
      });
  return s;
}

const Schema<LteInter>& lte_inter_schema() {
  static const Schema<LteInter> s(
      "lte_inter", "TLV 0x14: the LTE cells of other frequencies.",
      {
          schema::integer("ue_in_idle", &LteInter::ue_in_idle, "1 when the modem is idle"),
          schema::list("frequencies", &LteInter::frequencies, lte_inter_frequency_schema(),
                       "the frequencies"),
      });
  return s;
}

const Schema<LteGsmCell>& lte_gsm_cell_schema() {
  static const Schema<LteGsmCell> s(
      "lte_gsm_cell", "A GSM cell heard from LTE.",
      {
          schema::integer("arfcn", &LteGsmCell::arfcn, "ARFCN"),
          schema::integer("band_1900", &LteGsmCell::band_1900, "1 when the ARFCN is of PCS 1900"),
          schema::integer("cell_id_valid", &LteGsmCell::cell_id_valid, "1 when bsic_id is valid"),
          schema::integer("bsic_id", &LteGsmCell::bsic_id, "BSIC"),
          schema::integer("rssi", &LteGsmCell::rssi, "RSSI, tenths of a dBm"),
          schema::integer("srx_lev", &LteGsmCell::srx_lev, "Srxlev, whole dB"),
      });
  return s;
}

const Schema<LteGsmFrequency>& lte_gsm_frequency_schema() {
  static const Schema<LteGsmFrequency> s(
      "lte_gsm_frequency", "A group of GSM frequencies heard from LTE.",
      {
          schema::integer("cell_resel_priority", &LteGsmFrequency::cell_resel_priority,
                          "as the cell broadcasts it"),
          schema::integer("thresh_gsm_high", &LteGsmFrequency::thresh_gsm_high,
                          "as the cell broadcasts it"),
          schema::integer("thresh_gsm_low", &LteGsmFrequency::thresh_gsm_low,
                          "as the cell broadcasts it"),
          schema::integer("ncc_permitted", &LteGsmFrequency::ncc_permitted,
                          "bit mask of the permitted network colour codes"),
          schema::list("cells", &LteGsmFrequency::cells, lte_gsm_cell_schema(), "its cells"),
      });
  return s;
}

const Schema<LteGsm>& lte_gsm_schema() {
  static const Schema<LteGsm> s(
      "lte_gsm", "TLV 0x15: the GSM neighbours of the LTE serving cell.",
      {
          schema::integer("ue_in_idle", &LteGsm::ue_in_idle, "1 when the modem is idle"),
          schema::list("frequencies", &LteGsm::frequencies, lte_gsm_frequency_schema(),
                       "the frequency groups"),
      });
  return s;
}

const Schema<LteWcdmaCell>& lte_wcdma_cell_schema() {
  static const Schema<LteWcdmaCell> s(
      "lte_wcdma_cell", "A WCDMA cell heard from LTE.",
      {
          schema::integer("psc", &LteWcdmaCell::psc, "primary scrambling code"),
          schema::integer("cpich_rscp", &LteWcdmaCell::cpich_rscp, "CPICH RSCP, tenths of a dBm"),
          schema::integer("cpich_ecno", &LteWcdmaCell::cpich_ecno, "CPICH Ec/No, tenths of a dB"),
          schema::integer("srx_lev", &LteWcdmaCell::srx_lev, "Srxlev, whole dB"),
      });
  return s;
}

const Schema<LteWcdmaFrequency>& lte_wcdma_frequency_schema() {
  static const Schema<LteWcdmaFrequency> s(
      "lte_wcdma_frequency", "A WCDMA frequency heard from LTE.",
      {
          schema::integer("uarfcn", &LteWcdmaFrequency::uarfcn, "UARFCN"),
          schema::integer("cell_resel_priority", &LteWcdmaFrequency::cell_resel_priority,
                          "as the cell broadcasts it"),
          schema::integer("thresh_x_high", &LteWcdmaFrequency::thresh_x_high,
                          "as the cell broadcasts it"),
          schema::integer("thresh_x_low", &LteWcdmaFrequency::thresh_x_low,
                          "as the cell broadcasts it"),
          schema::list("cells", &LteWcdmaFrequency::cells, lte_wcdma_cell_schema(), "its cells"),
      });
  return s;
}

const Schema<LteWcdma>& lte_wcdma_schema() {
  static const Schema<LteWcdma> s(
      "lte_wcdma", "TLV 0x16: the WCDMA neighbours of the LTE serving cell.",
      {
          schema::integer("ue_in_idle", &LteWcdma::ue_in_idle, "1 when the modem is idle"),
          schema::list("frequencies", &LteWcdma::frequencies, lte_wcdma_frequency_schema(),
                       "the frequencies"),
      });
  return s;
}

const Schema<WcdmaLteCell>& wcdma_lte_cell_schema() {
  static const Schema<WcdmaLteCell> s(
      "wcdma_lte_cell", "An LTE cell heard from WCDMA.",
      {
          schema::integer("earfcn", &WcdmaLteCell::earfcn, "EARFCN"),
          schema::integer("pci", &WcdmaLteCell::pci, "physical cell id"),
          word("rsrp", &WcdmaLteCell::rsrp,
               "the 32-bit RSRP word: an integer is sent as it is, a number with a fraction as a "
               "32-bit float (dBm)"),
          word("rsrq", &WcdmaLteCell::rsrq, "the 32-bit RSRQ word, as rsrp (dB)"),
          schema::integer("srx_lev", &WcdmaLteCell::srx_lev, "Srxlev, whole dB"),
          schema::integer("is_tdd", &WcdmaLteCell::is_tdd, "1 for a TDD cell"),
      });
  return s;
}

const Schema<WcdmaLte>& wcdma_lte_schema() {
  static const Schema<WcdmaLte> s(
      "wcdma_lte", "TLV 0x18: the LTE neighbours of the UMTS serving cell.",
      {
          schema::integer("rrc_state", &WcdmaLte::rrc_state, "the WCDMA RRC state"),
          schema::list("cells", &WcdmaLte::cells, wcdma_lte_cell_schema(), "the cells"),
      });
  return s;
}

const Schema<NrCell>& nr_cell_schema() {
  static const Schema<NrCell> s(
      "nr_cell", "A 5G NR cell and its measurements.",
      {
          schema::integer("arfcn", &NrCell::arfcn, "NR-ARFCN", Bounds<uint32_t>{0, 3279165}),
          schema::custom<NrCell>(
              "band", "integer, an NR band with a value in the RF band information",
              "the NR band (78 for n78); required",
              [](const Json& j, const std::string& path, NrCell& c) {
                c.band = read_integer<uint16_t>(j, path);
                if (!nr_active_band(c.band))
                  throw FieldError(path, "n" + std::to_string(c.band) +
                                             " has no active band value of the RF band "
                                             "information; known are n1 to n86 and n257 to n261");
              }),
          schema::integer("global_cell_id", &NrCell::global_cell_id, "global cell id"),
          schema::integer("pci", &NrCell::pci, "physical cell id", Bounds<uint16_t>{0, 1007}),
          schema::integer("rsrq", &NrCell::rsrq, "RSRQ, tenths of a dB"),
          schema::integer("rsrp", &NrCell::rsrp, "RSRP, tenths of a dBm"),
          schema::integer("snr", &NrCell::snr, "SNR, tenths of a dB"),
      },
      [](const NrCell& c, const std::string& path) {
        if (c.band == 0) throw FieldError(ObjectReader::child_path(path, "band"), "missing");
      });
  return s;
}

const Schema<Nr5g>& nr5g_schema() {
  static const Schema<Nr5g> s(
      "nr5g",
      "TLVs 0x2E and 0x2F: the NR leg of the LTE serving cell when the scenario has lte_intra "
      "(non-standalone), else the modem's NR serving cell (standalone).",
      {
          plmn("plmn", &Nr5g::plmn, "PLMN"),
          schema::integer("tac", &Nr5g::tac, "tracking area code, 24 bits",
                          Bounds<uint32_t>{0, 0xFFFFFF}),
          schema::boolean("idle", &Nr5g::idle,
                          "non-standalone only: the NR leg is not connected, so the modem reports "
                          "no NR cell and the signal info reports NR as not connected"),
          schema::list("cells", &Nr5g::cells, nr_cell_schema(),
                       "the first serves while its band is allowed; otherwise the strongest "
                       "allowed of the others (by RSRP) does"),
      },
      [](const Nr5g& n, const std::string& path) {
        if (n.idle && n.cells.empty())
          throw FieldError(ObjectReader::child_path(path, "cells"), "an idle NR leg needs a cell");
      });
  return s;
}

const Schema<Cells>& cells_schema() {
  static const Schema<Cells> s(
      "cells",
      "The cell location answer (message 0x0043), one member per technology; a technology that "
      "is absent is absent from the answer. On top of a base, each technology given replaces the "
      "base's whole and null removes it.",
      {
          schema::nullable_object("geran", &Cells::geran, geran_schema(), "TLV 0x10"),
          schema::nullable_object("umts", &Cells::umts, umts_schema(), "TLV 0x11"),
          schema::nullable_object("cdma", &Cells::cdma, cdma_schema(), "TLV 0x12"),
          schema::nullable_object("lte_intra", &Cells::lte_intra, lte_intra_schema(), "TLV 0x13"),
          schema::nullable_object("lte_inter", &Cells::lte_inter, lte_inter_schema(), "TLV 0x14"),
          schema::nullable_object("lte_gsm", &Cells::lte_gsm, lte_gsm_schema(), "TLV 0x15"),
          schema::nullable_object("lte_wcdma", &Cells::lte_wcdma, lte_wcdma_schema(), "TLV 0x16"),
          schema::nullable_integer("umts_cell_id", &Cells::umts_cell_id,
                                   "TLV 0x17: the UMTS cell id, 32 bits"),
          schema::nullable_object("wcdma_lte", &Cells::wcdma_lte, wcdma_lte_schema(), "TLV 0x18"),
          schema::nullable_object("nr5g", &Cells::nr5g, nr5g_schema(), "TLVs 0x2E and 0x2F"),
      });
  return s;
}

// ---- Bands ----

// A list of band numbers, each once, kept in ascending order.
std::vector<uint16_t> read_band_list(const Json& j, const std::string& path, uint16_t max_band) {
  auto bands = schema::read_list<uint16_t>(
      j, path, max_band, [max_band](const Json& v, const std::string& p) {
        return schema::read_bounded<uint16_t>(v, p, Bounds<uint16_t>{1, max_band});
      });
  std::sort(bands.begin(), bands.end());
  const auto twice = std::adjacent_find(bands.begin(), bands.end());
  if (twice != bands.end())
    throw FieldError(path, "band " + std::to_string(*twice) + " given twice");
  return bands;
}

template <class T, class M>
Field<T> band_list(const char* name, M T::*member, uint16_t max_band, const char* meaning) {
  return schema::custom<T>(
      name, "list of integers 1 to " + std::to_string(max_band) + ", each once", meaning,
      [member, max_band](const Json& j, const std::string& path, T& out) {
        out.*member = read_band_list(j, path, max_band);
      });
}

const Schema<BandPreferences>& band_preferences_schema() {
  static const Schema<BandPreferences> s(
      "band_preference",
      "The bands the modem may use at the start, per kind; a kind left out may use every band "
      "it supports.",
      {
          band_list("lte", &BandPreferences::lte, kMaxLteBand, "LTE bands"),
          band_list("nr_sa", &BandPreferences::nr_sa, kMaxNrBand,
                    "NR bands of a standalone NR cell"),
          band_list("nr_nsa", &BandPreferences::nr_nsa, kMaxNrBand,
                    "NR bands of the NR leg of an LTE cell"),
      });
  return s;
}

// The preferences at the start must be bands the modem has, at least one.
void check_bands(const Bands& b, const std::string& path) {
  auto check = [&](const std::optional<std::vector<uint16_t>>& enabled,
                   const std::vector<uint16_t>& supported, const char* kind, const char* list) {
    if (!enabled) return;
    const std::string at = ObjectReader::child_path(path, "preference") + "." + kind;
    if (enabled->empty()) throw FieldError(at, "at least one band is needed");
    for (uint16_t band : *enabled) {
      if (!std::binary_search(supported.begin(), supported.end(), band))
        throw FieldError(at, "band " + std::to_string(band) + " is not in bands." + list);
    }
  };
  check(b.preference.lte, b.lte, "lte", "lte");
  check(b.preference.nr_sa, b.nr, "nr_sa", "nr");
  check(b.preference.nr_nsa, b.nr, "nr_nsa", "nr");
}

const Schema<Bands>& bands_schema() {
  static const Schema<Bands> s(
      "bands",
      "The bands the modem supports (message 0x0045 of the device management service) and those "
      "its selection preference enables at the start; each field given replaces the base's. A "
      "cell in a band the modem does not list is heard whatever the preference.",
      {
          schema::integer("legacy", &Bands::legacy,
                          "the 64-bit band capability mask of GSM, WCDMA and CDMA (TLV 0x01)"),
          band_list("lte", &Bands::lte, kMaxLteBand, "the LTE bands it supports"),
          band_list("nr", &Bands::nr, kMaxNrBand, "the NR bands it supports"),
          schema::boolean("extended_lte", &Bands::extended_lte,
                          "false: the selection preference answer has no extended LTE bands "
                          "(TLV 0x23), as older modems; default true"),
          schema::object("preference", &Bands::preference, band_preferences_schema(),
                         "the bands enabled at the start (default: every supported band)"),
      },
      check_bands);
  return s;
}

// ---- Networks and scan ----

const Schema<Network>& network_schema() {
  static const Schema<Network> s(
      "network", "A network in sight, as the network scan reports it.",
      {
          schema::required_integer("mcc", &Network::mcc, "mobile country code"),
          schema::required_integer("mnc", &Network::mnc, "mobile network code"),
          schema::text("description", &Network::description, "the operator's name", 255),
          schema::integer("rat", &Network::rat, "radio access technology: 5 UMTS, 8 LTE"),
          schema::integer("flag", &Network::flag, "the MNC's PCS digit flag of the flag list"),
          schema::custom<Network>(
              "status", schema::integer_takes(Bounds<uint8_t>{}),
              "the whole status byte; the four fields below, when given, replace its parts",
              [](const Json& j, const std::string& path, Network& n) {
                const auto byte = read_integer<uint8_t>(j, path);
                n.service = byte & 3;
                n.roaming = (byte >> 2) & 3;
                n.status45 = (byte >> 4) & 3;
                n.status67 = (byte >> 6) & 3;
              }),
          schema::integer("service", &Network::service,
                          "1 serving, 2 available; without it the registration decides", kTwoBits),
          schema::integer("roaming", &Network::roaming, "1 home, 2 roaming (default 1)", kTwoBits),
          schema::integer("status45", &Network::status45, "bits 4 and 5 of the status byte",
                          kTwoBits),
          schema::integer("status67", &Network::status67, "bits 6 and 7 of the status byte",
                          kTwoBits),
      });
  return s;
}

using PlmnId = std::pair<uint16_t, uint16_t>;
struct Registration {
  uint16_t mcc = 0, mnc = 0;
};

const Schema<Registration>& registration_schema() {
  static const Schema<Registration> s(
      "registered", "The network the modem is registered on.",
      {
          schema::required_integer("mcc", &Registration::mcc, "mobile country code"),
          schema::required_integer("mnc", &Registration::mnc, "mobile network code"),
      });
  return s;
}

Schema<PlmnFlag> plmn_value_schema(const char* name, const char* value_key, const char* meaning) {
  return Schema<PlmnFlag>(
      name, meaning,
      {
          schema::required_integer("mcc", &PlmnFlag::mcc, "mobile country code"),
          schema::required_integer("mnc", &PlmnFlag::mnc, "mobile network code"),
          schema::required_integer(value_key, &PlmnFlag::value, "the entry's value"),
      });
}

const Schema<PlmnFlag>& scan_rat_schema() {
  static const auto s = plmn_value_schema("scan_rat", "rat", "An entry of TLV 0x11.");
  return s;
}

const Schema<PlmnFlag>& scan_flag_schema() {
  static const auto s = plmn_value_schema("scan_flag", "flag", "An entry of TLV 0x12.");
  return s;
}

const Schema<ScanCellPlmn>& cell_report_plmn_schema() {
  static const Schema<ScanCellPlmn> s(
      "cell_report_plmn", "A PLMN of a cell report entry.",
      {
          schema::required_integer("mcc", &ScanCellPlmn::mcc, "mobile country code"),
          schema::required_integer("mnc", &ScanCellPlmn::mnc, "mobile network code"),
          schema::required_integer("flag", &ScanCellPlmn::flag, "its flag"),
      });
  return s;
}

const Schema<ScanCellEntry>& cell_report_entry_schema() {
  static const Schema<ScanCellEntry> s(
      "cell_report_entry", "An entry of TLV 0x17.",
      {
          schema::integer("value1", &ScanCellEntry::value1, "first value"),
          schema::integer("value2", &ScanCellEntry::value2, "second value"),
          schema::integer("value3", &ScanCellEntry::value3, "third value"),
          schema::list("plmns", &ScanCellEntry::plmns, cell_report_plmn_schema(), "its PLMNs"),
      });
  return s;
}

const Schema<ScanCellReport>& cell_report_schema() {
  static const Schema<ScanCellReport> s(
      "cell_report", "TLV 0x17 of the network scan answer.",
      {
          schema::list("entries", &ScanCellReport::entries, cell_report_entry_schema(),
                       "the entries"),
          schema::custom<ScanCellReport>(
              "trailer", "list of six integers 0 to 65535", "the six words that end the TLV",
              [](const Json& j, const std::string& path, ScanCellReport& out) {
                const auto trailer = schema::read_list<uint16_t>(
                    j, path, 6, [](const Json& v, const std::string& p) {
                      return read_integer<uint16_t>(v, p);
                    });
                if (trailer.size() != 6) throw FieldError(path, "expected six values");
                std::copy(trailer.begin(), trailer.end(), out.trailer.begin());
              }),
      });
  return s;
}

const Schema<ScanValue>& scan_value_schema() {
  static const Schema<ScanValue> s("scan_value", "A triple of TLV 0x18.",
                                   {
                                       schema::integer("x", &ScanValue::x, "first value"),
                                       schema::integer("y", &ScanValue::y, "second value"),
                                       schema::integer("z", &ScanValue::z, "third value"),
                                   });
  return s;
}

void read_scan_lists(const Json& j, const std::string& path, Scan& scan) {
  const auto names = schema::read_list<std::string>(j, path, 3, read_string);
  scan.send_networks = scan.send_rats = scan.send_flags = false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == "networks") {
      scan.send_networks = true;
    } else if (names[i] == "rats") {
      scan.send_rats = true;
    } else if (names[i] == "flags") {
      scan.send_flags = true;
    } else {
      throw FieldError(path + "[" + std::to_string(i) + "]",
                       "expected \"networks\", \"rats\" or \"flags\", got \"" + names[i] + "\"");
    }
  }
}

const Schema<Scan>& scan_schema() {
  static const Schema<Scan> s(
      "scan",
      "How the network scan (message 0x0021) answers: TLVs 0x10 (the networks), 0x11 (MCC, MNC, "
      "RAT of each), 0x12 (MCC, MNC, flag of each), 0x13 (the result word), and 0x17 and 0x18 "
      "when given. On top of a base each field given replaces the base's.",
      {
          schema::integer("duration_ms", &Scan::duration_ms,
                          "how long the scan takes (default 2000; the built-in default modem "
                          "1500); other requests are answered meanwhile"),
          schema::nullable_integer("result", &Scan::result,
                                   "the result word of TLV 0x13 (0: the scan completed); null "
                                   "leaves TLV 0x13 out"),
          schema::custom<Scan>("lists", "list of \"networks\", \"rats\", \"flags\"",
                               "which of the three lists the answer carries (default all three)",
                               read_scan_lists),
          schema::optional_list("rats", &Scan::rats, scan_rat_schema(),
                                "TLV 0x11 as given, instead of derived from networks (to make the "
                                "lists disagree)",
                                0xFFFF),
          schema::optional_list("flags", &Scan::flags, scan_flag_schema(),
                                "TLV 0x12 as given, instead of derived from networks", 0xFFFF),
          schema::nullable_object("cell_report", &Scan::cell_report, cell_report_schema(),
                                  "TLV 0x17"),
          schema::optional_list("value_list", &Scan::value_list, scan_value_schema(), "TLV 0x18",
                                254),
      });
  return s;
}

// ---- Locks, sessions, identity ----

const Schema<WcdmaLock>& wcdma_lock_schema() {
  static const Schema<WcdmaLock> s(
      "wcdma_lock", "The WCDMA UARFCN lock.",
      {
          schema::integer("status", &WcdmaLock::status, "1 locked, 0 unlocked", kLockStatus),
          schema::integer("uarfcn", &WcdmaLock::uarfcn, "UARFCN"),
      });
  return s;
}

const Schema<LteEarfcnLock>& lte_earfcn_lock_schema() {
  static const Schema<LteEarfcnLock> s(
      "lte_earfcn_lock", "The LTE EARFCN pair lock.",
      {
          schema::integer("status", &LteEarfcnLock::status, "1 locked, 0 unlocked", kLockStatus),
          schema::integer("earfcn0", &LteEarfcnLock::earfcn0, "first EARFCN"),
          schema::integer("earfcn1", &LteEarfcnLock::earfcn1, "second EARFCN"),
      });
  return s;
}

const Schema<LtePciLock>& lte_pci_lock_schema() {
  static const Schema<LtePciLock> s(
      "lte_pci_lock", "The LTE cell lock: EARFCN and PCI.",
      {
          schema::integer("status", &LtePciLock::status, "1 locked, 0 unlocked", kLockStatus),
          schema::integer("earfcn", &LtePciLock::earfcn, "EARFCN"),
          schema::integer("pci", &LtePciLock::pci, "physical cell id"),
      });
  return s;
}

const Schema<Locks>& locks_schema() {
  static const Schema<Locks> s(
      "locks",
      "The channel locks in force at the start; each lock given replaces the base's whole.",
      {
          schema::object("wcdma", &Locks::wcdma, wcdma_lock_schema(), "the WCDMA lock"),
          schema::object("lte_earfcn", &Locks::lte_earfcn, lte_earfcn_lock_schema(),
                         "the LTE EARFCN pair lock"),
          schema::object("lte_pci", &Locks::lte_pci, lte_pci_lock_schema(), "the LTE cell lock"),
      });
  return s;
}

struct SessionEntry {
  uint8_t instance = 0;
  uint32_t ipv4 = 0, ipv6 = 0;
};

const Schema<SessionEntry>& session_schema() {
  static const Schema<SessionEntry> s(
      "session", "The data sessions of one packet-data instance.",
      {
          schema::required_integer("instance", &SessionEntry::instance, "the instance",
                                   Bounds<uint8_t>{0, static_cast<uint8_t>(kDataInstances - 1)}),
          schema::integer("ipv4", &SessionEntry::ipv4, "the IPv4 session id (0: none)"),
          schema::integer("ipv6", &SessionEntry::ipv6, "the IPv6 session id (0: none)"),
      });
  return s;
}

// Each instance given replaces the base's sessions of that instance; the
// others keep the base's.
void read_sessions(const Json& j, const std::string& path,
                   std::array<Session, kDataInstances>& sessions) {
  const auto entries = schema::read_list<SessionEntry>(
      j, path, kDataInstances,
      [](const Json& v, const std::string& p) { return session_schema().read_new(v, p); });
  std::array<bool, kDataInstances> given{};
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    if (given[e.instance])
      throw FieldError(path + "[" + std::to_string(i) + "].instance",
                       "instance " + std::to_string(e.instance) + " given twice");
    given[e.instance] = true;
    sessions[e.instance] = {e.ipv4, e.ipv6};
  }
}

const Schema<Identity>& identity_schema() {
  static const Schema<Identity> s(
      "identity",
      "What the device management service answers; each field given replaces the base's.",
      {
          schema::text("manufacturer", &Identity::manufacturer, "message 0x0021"),
          schema::text("model", &Identity::model, "message 0x0022"),
          schema::text("firmware_revision", &Identity::firmware_revision, "message 0x0023"),
          schema::text("imei", &Identity::imei, "the IMEI of message 0x0025"),
      });
  return s;
}

// ---- Behaviour ----

Malformation read_malformation(const Json& value, const std::string& path) {
  const std::string name = read_string(value, path);
  struct Row {
    const char* name;
    Malformation kind;
  };
  constexpr Row kRows[] = {{"none", Malformation::none},
                           {"bad_frame", Malformation::bad_frame},
                           {"no_result", Malformation::no_result},
                           {"short_value", Malformation::short_value},
                           {"noise_before", Malformation::noise_before}};
  for (const auto& row : kRows) {
    if (name == row.name) return row.kind;
  }
  throw FieldError(path,
                   "expected \"bad_frame\", \"no_result\", \"short_value\", \"noise_before\" or "
                   "\"none\", got \"" +
                       name + "\"");
}

const Schema<MessageRule>& rule_schema() {
  static const Schema<MessageRule> s(
      "rule",
      "How the modem treats one message. The rule of the message itself applies while it lasts, "
      "else the rule \"*\".",
      {
          schema::integer("latency_ms", &MessageRule::latency_ms, "replaces the default latency"),
          schema::integer("qmi_error", &MessageRule::qmi_error,
                          "answer with failure and this error word"),
          schema::boolean("keep_tlvs", &MessageRule::keep_tlvs,
                          "the failure still carries the usual TLVs"),
          schema::boolean("only_result", &MessageRule::only_result,
                          "the answer carries its result TLV and nothing else"),
          schema::boolean("drop", &MessageRule::drop, "never answer"),
          schema::custom<MessageRule>(
              "malformed",
              "\"bad_frame\", \"no_result\", \"short_value\", \"noise_before\" or \"none\"",
              "answer with a broken frame (see Behaviour)",
              [](const Json& j, const std::string& path, MessageRule& r) {
                r.malformed = read_malformation(j, path);
              }),
          schema::integer("count", &MessageRule::count,
                          "the rule applies to the first N requests of its message only"),
      });
  return s;
}

void read_messages(const Json& j, const std::string& path, Behaviour& b) {
  ObjectReader m(j, path);
  for (const auto& [name, rule] : j.items()) {
    const std::string rpath = ObjectReader::child_path(path, name.c_str());
    if (!is_message_name(name)) throw FieldError(rpath, "unknown message name");
    b.rules[name] = rule_schema().read_new(m.at(name.c_str()), rpath);
  }
}

const Schema<Outage>& outage_schema() {
  static const Schema<Outage> s(
      "outage", "A time when the modem is gone.",
      {
          schema::required_integer("at_ms", &Outage::at_ms,
                                   "when it disappears, since the emulator started"),
          schema::integer("for_ms", &Outage::for_ms,
                          "how long it stays away; without it, for ever (only the last outage)",
                          kPositive),
      });
  return s;
}

void check_outages(const Behaviour& b, const std::string& path) {
  uint64_t previous_end = 0;
  for (size_t i = 0; i < b.outages.size(); ++i) {
    const auto& o = b.outages[i];
    const std::string at =
        ObjectReader::child_path(path, "outages") + "[" + std::to_string(i) + "]";
    if (o.at_ms < previous_end)
      throw FieldError(at + ".at_ms", "outages must be in time order and must not overlap");
    if (!o.for_ms && (i + 1 < b.outages.size() || b.repeat_every_ms))
      throw FieldError(at + ".for_ms",
                       "only the last outage of a pattern that does not repeat "
                       "may last for ever");
    previous_end = uint64_t{o.at_ms} + o.for_ms.value_or(0);
  }
  if (b.repeat_every_ms && previous_end > b.repeat_every_ms)
    throw FieldError(ObjectReader::child_path(path, "repeat_every_ms"),
                     "shorter than the outage pattern");
}

const Schema<Behaviour>& behaviour_schema() {
  static const Schema<Behaviour> s(
      "behaviour", "How the modem behaves; each field given replaces the base's.",
      {
          schema::integer("latency_ms", &Behaviour::latency_ms,
                          "delay of every answer (default 5)"),
          schema::optional_object("drift", &Behaviour::drift, drift_schema(),
                                  "the drift of every LTE cell without a drift of its own"),
          schema::integer("client_ids_per_service", &Behaviour::client_ids_per_service,
                          "client ids the modem hands out per service (default 10); beyond that "
                          "an allocation fails with QMI error 0x05 until ids are released, a Sync "
                          "frees the host's ids, or the modem restarts",
                          Bounds<uint8_t>{1, 254}),
          schema::custom<Behaviour>("messages", "object of rule by message name",
                                    "the rules, by message name or \"*\" for every message; "
                                    "kept or replaced one message at a time",
                                    read_messages, &rule_schema()),
          schema::list("outages", &Behaviour::outages, outage_schema(),
                       "the times the modem disappears, in time order, not overlapping", 1000),
          schema::integer("repeat_every_ms", &Behaviour::repeat_every_ms,
                          "the outage pattern repeats with this period (0: once)"),
      },
      check_outages);
  return s;
}

// ---- The whole document ----

// The largest TLV area a QMUX frame of a service can carry.
constexpr size_t kMaxTlvArea = 0xFFFF - 5 - 3 - 4;

// The cell and network lists must fit the frames that carry them.
void check_answer_sizes(const Scenario& s) {
  qmux::TlvBuilder cells;
  encode_cell_location(s.cells, cells);
  if (cells.area().size() > kMaxTlvArea)
    throw FieldError("cells", "the cell location answer would take " +
                                  std::to_string(cells.area().size()) +
                                  " bytes; a frame holds at most " + std::to_string(kMaxTlvArea));
  qmux::TlvBuilder scan;
  encode_network_scan(s.scan, s.networks, s.registered, scan);
  if (scan.area().size() > kMaxTlvArea)
    throw FieldError("networks",
                     "the network scan answer would take " + std::to_string(scan.area().size()) +
                         " bytes; a frame holds at most " + std::to_string(kMaxTlvArea));
}

// A lock finds a cell by its EARFCN and PCI: only one cell of each may change
// under a lock or drift on its own.
void check_cell_behaviours(const Cells& c) {
  std::set<std::pair<uint32_t, uint32_t>> seen;
  auto check = [&](uint32_t earfcn, const std::vector<LteCell>& cells, const std::string& path) {
    for (size_t i = 0; i < cells.size(); ++i) {
      const LteCell& cell = cells[i];
      if (!cell.drift && !cell.when_locked) continue;
      if (!seen.emplace(earfcn, cell.pci).second)
        throw FieldError(path + "[" + std::to_string(i) + "]",
                         "EARFCN " + std::to_string(earfcn) + " PCI " + std::to_string(cell.pci) +
                             " already has a drift or when_locked");
    }
  };
  if (c.lte_intra) check(c.lte_intra->earfcn, c.lte_intra->cells, "cells.lte_intra.cells");
  if (c.lte_inter) {
    for (size_t i = 0; i < c.lte_inter->frequencies.size(); ++i) {
      const auto& f = c.lte_inter->frequencies[i];
      check(f.earfcn, f.cells, "cells.lte_inter.frequencies[" + std::to_string(i) + "].cells");
    }
  }
}

const Schema<Scenario>& scenario_schema() {
  static const Schema<Scenario> s(
      "scenario", "The document. Every field is optional.",
      {
          schema::custom<Scenario>(
              "base", "the text \"default\"",
              "start from the built-in default modem and change what the document gives; without "
              "it the scenario starts empty: no cells, no networks, not registered",
              [](const Json& j, const std::string& path, Scenario& out) {
                const std::string base = read_string(j, path);
                if (base == "default") {
                  out = default_scenario();
                } else if (!base.empty()) {
                  throw FieldError(path, "expected \"default\", got \"" + base + "\"");
                }
              }),
          schema::text("name", &Scenario::name,
                       "the scenario's name; a bundled one's is its file's"),
          schema::text("description", &Scenario::description, "what it shows"),
          schema::merged_object("identity", &Scenario::identity, identity_schema(),
                                "the modem's identity"),
          schema::merged_object("cells", &Scenario::cells, cells_schema(),
                                "the cell location answer"),
          schema::merged_object("bands", &Scenario::bands, bands_schema(),
                                "the bands it supports and prefers"),
          schema::list("networks", &Scenario::networks, network_schema(),
                       "the networks in sight; replaces the base's whole", 0xFFFF),
          schema::custom<Scenario>(
              "registered", "object registered, or null",
              "the network the modem is registered on; null: none",
              [](const Json& j, const std::string& path, Scenario& out) {
                if (j.is_null()) {
                  out.registered.reset();
                  return;
                }
                const auto r = registration_schema().read_new(j, path);
                out.registered = PlmnId{r.mcc, r.mnc};
              },
              &registration_schema()),
          schema::merged_object("scan", &Scenario::scan, scan_schema(),
                                "how the network scan answers"),
          schema::merged_object("locks", &Scenario::locks, locks_schema(),
                                "the channel locks at the start"),
          schema::custom<Scenario>(
              "sessions", schema::list_takes("object session", kDataInstances),
              "the data session ids per packet-data instance; each instance given replaces the "
              "base's, and may be given once",
              [](const Json& j, const std::string& path, Scenario& out) {
                read_sessions(j, path, out.sessions);
              },
              &session_schema()),
          schema::merged_object("behaviour", &Scenario::behaviour, behaviour_schema(),
                                "latency, rules per message, outages"),
      },
      [](const Scenario& s, const std::string&) {
        check_cell_behaviours(s.cells);
        check_answer_sizes(s);
      });
  return s;
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The parser and the reader both descend into nested values: a document is
// refused before parsing when it nests deeper than any scenario needs.
constexpr size_t kMaxNesting = 32;
constexpr size_t kMaxScenarioBytes = size_t{1} << 20;

std::optional<size_t> too_deep_at(const std::string& text) {
  size_t depth = 0;
  bool in_string = false, escaped = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxNesting) return i;
    } else if ((c == '}' || c == ']') && depth > 0) {
      --depth;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Scenario> parse_scenario(const std::string& text, const std::string& source,
                                       std::string& error) {
  if (text.size() > kMaxScenarioBytes) {
    error = "scenario " + quoted(source) + ": larger than " + std::to_string(kMaxScenarioBytes) +
            " bytes";
    return std::nullopt;
  }
  if (const auto at = too_deep_at(text)) {
    error = "scenario " + quoted(source) + ": nested more than " + std::to_string(kMaxNesting) +
            " levels deep (at byte " + std::to_string(*at) + ")";
    return std::nullopt;
  }
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::exception& e) {  // a syntax error, or a number too large for any type
    error = "scenario " + quoted(source) + ": not valid JSON: " + e.what();
    return std::nullopt;
  }
  try {
    return scenario_schema().read_new(document, "");
  } catch (const FieldError& e) {
    error = "scenario " + quoted(source) + ": field " + quoted(e.path()) + ": " + e.what();
  }
  return std::nullopt;
}

std::optional<Scenario> load_scenario_file(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "scenario " + quoted(path) + ": cannot be read";
    return std::nullopt;
  }
  // One byte more than a scenario may take tells a file that is too large
  // without reading all of it.
  std::string text(kMaxScenarioBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) {
    error = "scenario " + quoted(path) + ": cannot be read";
    return std::nullopt;
  }
  return parse_scenario(text, path, error);
}

std::optional<Scenario> load_scenario_argument(const std::string& argument, std::string& error) {
  if (argument.empty()) return default_scenario();
  struct stat st {};
  if (argument.find('/') != std::string::npos || stat(argument.c_str(), &st) == 0)
    return load_scenario_file(argument, error);
  std::string name = argument;
  if (!name.ends_with(".json")) name += ".json";
  const std::string bundled = bundled_scenario_dir() + "/" + name;
  if (stat(bundled.c_str(), &st) != 0) {
    error = "scenario " + quoted(argument) + ": no such file, and no scenario of that name in " +
            bundled_scenario_dir();
    return std::nullopt;
  }
  return load_scenario_file(bundled, error);
}

std::string scenario_field_reference(schema::Format format) {
  return schema::render(schema::collect(scenario_schema()), format);
}

}  // namespace vant::sim
