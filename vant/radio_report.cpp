#include "vant/radio_report.h"

#include "vant/exit_status.h"
#include "vant/plmn.h"
#include "vant/units.h"
#include "vantsdk/result_codes.h"

namespace vant::cli {
namespace {

// A request the modem refused (a QMI error) leaves its part out; anything
// else, such as an unreachable daemon, ends the command.
template <typename Record>
std::optional<Record> read_optional(uint32_t (*request)(Record*), const char* what) {
  Record record{};
  const uint32_t result = request(&record);
  if (result == kSuccess) return record;
  if (exit_status_for_result(result) == kExitModemError) return std::nullopt;
  check_result(result, what);
  return std::nullopt;
}

Json nr_value(int16_t value, double scale) {
  if (value == kSignalNotConnected) return nullptr;
  return value * scale;
}

const char* technology(uint8_t radio_interface) {
  switch (radio_interface) {
    case kRadioInterfaceLte:
      return "lte";
    case kRadioInterfaceNr5g:
      return "nr5g";
    case kRadioInterfaceUmts:
      return "umts";
    case kRadioInterfaceGsm:
      return "gsm";
    default:
      return "other";
  }
}

}  // namespace

std::optional<SignalInfo> read_signal() {
  return read_optional(&VANTNASGetSignalInfo, "reading the signal info");
}
std::optional<Nr5gCellInfo> read_nr5g_cell() {
  return read_optional(&VANTNASGetNr5gCellInfo, "reading the NR5G cell");
}
std::optional<RfBandInfo> read_active_bands() {
  return read_optional(&VANTNASGetRfBandInfo, "reading the bands in use");
}

RadioExtras read_radio_extras() {
  return {read_signal(), read_nr5g_cell(), read_active_bands()};
}

Json signal_json(const SignalInfo& s) {
  Json doc{{"gsm", nullptr}, {"wcdma", nullptr}, {"lte", nullptr}, {"nr5g", nullptr}};
  if (s.gsmReported) doc["gsm"] = {{"rssi_dbm", s.gsmRssi}};
  if (s.wcdmaReported) doc["wcdma"] = {{"rssi_dbm", s.wcdmaRssi}, {"ecio_db", -0.5 * s.wcdmaEcio}};
  if (s.lteReported)
    doc["lte"] = {{"rssi_dbm", s.lteRssi},
                  {"rsrq_db", s.lteRsrq},
                  {"rsrp_dbm", s.lteRsrp},
                  {"sinr_db", from_tenths(s.lteSnr)}};
  if (s.nrReported || s.nrRsrqReported)
    doc["nr5g"] = {{"rsrp_dbm", s.nrReported ? nr_value(s.nrRsrp, 1) : Json()},
                   {"rsrq_db", s.nrRsrqReported ? nr_value(s.nrRsrq, 1) : Json()},
                   {"sinr_db", s.nrReported ? nr_value(s.nrSnr, 0.1) : Json()}};
  return doc;
}

Json nr5g_cell_json(const Nr5gCellInfo& n) {
  if (!n.cellReported) return nullptr;
  Json cell;
  const auto plmn = decode_plmn(n.plmn);
  cell["mcc"] = plmn ? Json(plmn->mcc) : Json();
  cell["mnc"] = plmn ? Json(plmn->mnc) : Json();
  cell.update({{"nr_arfcn", n.arfcnReported ? Json(n.arfcn) : Json()},
               {"pci", n.pci},
               {"tac", n.tac},
               {"global_cell_id", n.globalCellId},
               {"rsrp_dbm", from_tenths(n.rsrp)},
               {"rsrq_db", from_tenths(n.rsrq)},
               {"sinr_db", from_tenths(n.snr)}});
  return cell;
}

Json active_bands_json(const RfBandInfo& info) {
  Json list = Json::array();
  for (int i = 0; i < info.count; ++i) {
    const ActiveBand& b = info.bands[i];
    const uint16_t band = VANTNASBandNumber(b.radioInterface, b.activeBand);
    list.push_back({{"technology", technology(b.radioInterface)},
                    {"band", band != 0 ? Json(band) : Json()},
                    {"channel", b.channel}});
  }
  return list;
}

}  // namespace vant::cli
