#include "vant/cell_report.h"

#include "vant/plmn.h"
#include "vant/units.h"

namespace vant::cli {
namespace {

constexpr uint16_t kUnset16 = 0xFFFF;
constexpr uint32_t kUnset32 = 0xFFFFFFFF;
constexpr uint8_t kUnset8 = 0xFF;

template <class T>
Json optional_value(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json geran_json(const GeranInfo& g) {
  Json serving{{"cell_id", g.cellId}};
  put_plmn(serving, g.plmn);
  serving.update({{"lac", g.lac},
                  {"arfcn", g.arfcn},
                  {"bsic", g.bsic},
                  {"timing_advance_bit_periods",
                   g.timingAdvance == kUnset32 ? Json(nullptr) : Json(g.timingAdvance)},
                  {"rx_level", g.rxLevel},
                  {"rx_level_dbm", optional_value(rx_level_dbm(g.rxLevel))}});
  Json neighbours = Json::array();
  for (int i = 0; i < g.nmrCount; ++i) {
    const GeranNmrCell& n = g.nmrCells[i];
    Json cell{{"cell_id", n.cellId}};
    put_plmn(cell, n.plmn);
    cell.update({{"lac", n.lac},
                 {"arfcn", n.arfcn},
                 {"bsic", n.bsic},
                 {"rx_level", n.rxLevel},
                 {"rx_level_dbm", optional_value(rx_level_dbm(n.rxLevel))}});
    neighbours.push_back(std::move(cell));
  }
  return {{"serving", std::move(serving)}, {"neighbours", std::move(neighbours)}};
}

Json umts_json(const CellLocationRecords& r) {
  Json umts = Json::object();
  if (umts_reported(r.umts)) {
    const UmtsInfo& u = r.umts;
    Json serving{{"cell_id", u.cellId}};
    put_plmn(serving, u.plmn);
    serving.update({{"lac", u.lac},
                    {"uarfcn", u.uarfcn},
                    {"psc", u.psc},
                    {"rscp_dbm", u.rscp},
                    {"ecio_db", u.ecio}});
    if (r.umtsCellId != kUnset32) serving["umts_cell_id"] = r.umtsCellId;
    umts["serving"] = std::move(serving);
    Json neighbours = Json::array();
    for (int i = 0; i < u.umtsInstanceCount; ++i) {
      const UmtsInstance& n = u.umtsInstances[i];
      neighbours.push_back(
          {{"uarfcn", n.uarfcn}, {"psc", n.psc}, {"rscp_dbm", n.rscp}, {"ecio_db", n.ecio}});
    }
    umts["neighbours"] = std::move(neighbours);
    Json gsm = Json::array();
    for (int i = 0; i < u.geranInstanceCount; ++i) {
      const UmtsGeranInstance& n = u.geranInstances[i];
      gsm.push_back({{"arfcn", n.arfcn},
                     {"bsic_ncc", n.bsicNcc},
                     {"bsic_bcc", n.bsicBcc},
                     {"rssi_dbm", n.rssi}});
    }
    umts["gsm_neighbours"] = std::move(gsm);
  } else if (r.umtsCellId != kUnset32) {
    umts["serving"] = {{"umts_cell_id", r.umtsCellId}};
  }
  const WcdmaLteNeighbourInfo& w = r.wcdmaLte;
  if (w.rrcState != kUnset32 || w.cellCount > 0) {
    umts["rrc_state"] = w.rrcState;
    Json lte = Json::array();
    for (int i = 0; i < w.cellCount; ++i) {
      const WcdmaLteCell& c = w.cells[i];
      lte.push_back({{"earfcn", c.earfcn},
                     {"pci", c.pci},
                     {"rsrp_dbm", optional_value(from_float_bits(c.rsrp))},
                     {"rsrq_db", optional_value(from_float_bits(c.rsrq))},
                     {"srx_lev_db", c.srxLev},
                     {"tdd", c.isTdd != 0}});
    }
    umts["lte_neighbours"] = std::move(lte);
  }
  return umts;
}

Json cdma_json(const CdmaInfo& c) {
  return {{"serving",
           {{"sid", c.sid},
            {"nid", c.nid},
            {"base_id", c.baseId},
            {"ref_pn", c.refPn},
            {"base_latitude_deg", quarter_arc_seconds_to_degrees(c.baseLatitude)},
            {"base_longitude_deg", quarter_arc_seconds_to_degrees(c.baseLongitude)}}}};
}

Json lte_cells_json(const LteCell* cells, int count) {
  Json list = Json::array();
  for (int i = 0; i < count; ++i) list.push_back(lte_cell_json(cells[i]));
  return list;
}

Json lte_serving_json(const LteIntraFreqInfo& l) {
  Json serving{{"earfcn", l.earfcn}, {"pci", l.servingCellId}};
  put_plmn(serving, l.plmn);
  serving.update({{"tac", l.tac},
                  {"global_cell_id", l.globalCellId},
                  {"ue_in_idle", l.ueInIdle == 1},
                  {"cell_resel_priority", l.cellReselPriority},
                  {"s_non_intra_search", l.sNonIntraSearch},
                  {"thresh_serving_low", l.threshServingLow},
                  {"s_intra_search", l.sIntraSearch}});
  // The serving cell's own measurements are its entry in the cell list.
  for (int i = 0; i < l.cellCount; ++i) {
    if (l.cells[i].pci != l.servingCellId) continue;
    const Json measurements = lte_cell_json(l.cells[i]);
    for (const auto& [key, value] : measurements.items()) {
      if (key != "pci") serving[key] = value;
    }
    break;
  }
  return serving;
}

Json lte_inter_json(const LteInterFreqInfo& f) {
  Json list = Json::array();
  for (int i = 0; i < f.frequencyCount; ++i) {
    const LteInterFrequency& e = f.frequencies[i];
    list.push_back({{"earfcn", e.earfcn},
                    {"thresh_x_low", e.threshXLow},
                    {"thresh_x_high", e.threshXHigh},
                    {"cell_resel_priority", e.cellReselPriority},
                    {"cells", lte_cells_json(e.cells, e.cellCount)}});
  }
  return list;
}

Json lte_gsm_json(const LteGsmNeighbourInfo& g) {
  Json list = Json::array();
  for (int i = 0; i < g.frequencyCount; ++i) {
    const LteGsmFrequency& f = g.frequencies[i];
    Json cells = Json::array();
    for (int j = 0; j < f.cellCount; ++j) {
      const LteGsmCell& c = f.cells[j];
      cells.push_back({{"arfcn", c.arfcn},
                       {"band_1900", c.band1900 != 0},
                       {"cell_id_valid", c.cellIdValid != 0},
                       {"bsic_id", c.bsicId},
                       {"rssi_dbm", from_tenths(c.rssi)},
                       {"srx_lev_db", c.srxLev}});
    }
    list.push_back({{"cell_resel_priority", f.cellReselPriority},
                    {"thresh_gsm_high", f.threshGsmHigh},
                    {"thresh_gsm_low", f.threshGsmLow},
                    {"ncc_permitted", f.nccPermitted},
                    {"cells", std::move(cells)}});
  }
  return list;
}

Json lte_wcdma_json(const LteWcdmaNeighbourInfo& w) {
  Json list = Json::array();
  for (int i = 0; i < w.frequencyCount; ++i) {
    const LteWcdmaFrequency& f = w.frequencies[i];
    Json cells = Json::array();
    for (int j = 0; j < f.cellCount; ++j) {
      const LteWcdmaCell& c = f.cells[j];
      cells.push_back({{"psc", c.psc},
                       {"cpich_rscp_dbm", from_tenths(c.cpichRscp)},
                       {"cpich_ecno_db", from_tenths(c.cpichEcno)},
                       {"srx_lev_db", c.srxLev}});
    }
    list.push_back({{"uarfcn", f.uarfcn},
                    {"cell_resel_priority", f.cellReselPriority},
                    {"thresh_x_high", f.threshXHigh},
                    {"thresh_x_low", f.threshXLow},
                    {"cells", std::move(cells)}});
  }
  return list;
}

Json lte_json(const CellLocationRecords& r) {
  Json lte = Json::object();
  if (lte_intra_reported(r.lteIntra)) {
    lte["serving"] = lte_serving_json(r.lteIntra);
    lte["intra_frequency"] = lte_cells_json(r.lteIntra.cells, r.lteIntra.cellCount);
  }
  if (lte_neighbours_reported(r.lteInter.ueInIdle, r.lteInter.frequencyCount))
    lte["inter_frequency"] = lte_inter_json(r.lteInter);
  if (lte_neighbours_reported(r.lteGsm.ueInIdle, r.lteGsm.frequencyCount))
    lte["gsm_neighbours"] = lte_gsm_json(r.lteGsm);
  if (lte_neighbours_reported(r.lteWcdma.ueInIdle, r.lteWcdma.frequencyCount))
    lte["wcdma_neighbours"] = lte_wcdma_json(r.lteWcdma);
  return lte;
}

}  // namespace

bool geran_reported(const GeranInfo& g) {
  return g.cellId != kUnset32 || g.lac != kUnset16 || g.arfcn != kUnset16 || g.bsic != kUnset8 ||
         g.timingAdvance != kUnset32 || g.rxLevel != kUnset16 || g.nmrCount > 0;
}

bool umts_reported(const UmtsInfo& u) {
  return u.cellId != kUnset16 || u.lac != kUnset16 || u.uarfcn != kUnset16 || u.psc != kUnset16 ||
         u.rscp != -1 || u.ecio != -1 || u.umtsInstanceCount > 0 || u.geranInstanceCount > 0;
}

bool cdma_reported(const CdmaInfo& c) {
  return c.sid != kUnset16 || c.nid != kUnset16 || c.baseId != kUnset16 || c.refPn != kUnset16 ||
         c.baseLatitude != kUnset32 || c.baseLongitude != kUnset32;
}

bool lte_intra_reported(const LteIntraFreqInfo& l) {
  return l.ueInIdle != kUnset8 || l.tac != kUnset16 || l.globalCellId != kUnset32 ||
         l.earfcn != kUnset16 || l.servingCellId != kUnset16 || l.cellCount > 0;
}

bool lte_neighbours_reported(uint8_t ue_in_idle, uint8_t frequency_count) {
  return ue_in_idle != kUnset8 || frequency_count > 0;
}

void put_plmn(Json& object, const uint8_t (&plmn)[3]) {
  const std::optional<Plmn> decoded = decode_plmn(plmn);
  object["mcc"] = decoded ? Json(decoded->mcc) : Json(nullptr);
  object["mnc"] = decoded ? Json(decoded->mnc) : Json(nullptr);
}

Json lte_cell_json(const LteCell& cell) {
  return {{"pci", cell.pci},
          {"rsrp_dbm", from_tenths(cell.rsrp)},
          {"rsrq_db", from_tenths(cell.rsrq)},
          {"rssi_dbm", from_tenths(cell.rssi)},
          {"srx_lev_db", cell.srxLev}};
}

Json cell_report_json(const CellLocationRecords& r) {
  Json report = Json::object();
  if (geran_reported(r.geran)) report["gsm"] = geran_json(r.geran);
  Json umts = umts_json(r);
  if (!umts.empty()) report["umts"] = std::move(umts);
  if (cdma_reported(r.cdma)) report["cdma"] = cdma_json(r.cdma);
  Json lte = lte_json(r);
  if (!lte.empty()) report["lte"] = std::move(lte);
  return report;
}

}  // namespace vant::cli
