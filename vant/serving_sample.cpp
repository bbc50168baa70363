#include "vant/serving_sample.h"

#include "vant/units.h"

namespace vant::cli {
namespace {

ServingSample lte_sample(const LteIntraFreqInfo& l) {
  ServingSample s;
  s.rat = Rat::kLte;
  s.plmn = decode_plmn(l.plmn);
  s.channel = l.earfcn;
  s.cell = l.servingCellId;
  s.area = l.tac;
  s.cell_id = l.globalCellId;
  for (int i = 0; i < l.cellCount; ++i) {
    const LteCell& c = l.cells[i];
    if (c.pci != l.servingCellId) continue;
    s.rsrp_tenths = c.rsrp;
    s.rsrq_tenths = c.rsrq;
    s.rssi_tenths = c.rssi;
    break;
  }
  return s;
}

ServingSample umts_sample(const UmtsInfo& u) {
  ServingSample s;
  s.rat = Rat::kUmts;
  s.plmn = decode_plmn(u.plmn);
  s.channel = u.uarfcn;
  s.cell = u.psc;
  s.area = u.lac;
  s.cell_id = u.cellId;
  s.rscp_dbm = u.rscp;
  s.ecio_db = u.ecio;
  return s;
}

ServingSample gsm_sample(const GeranInfo& g) {
  ServingSample s;
  s.rat = Rat::kGsm;
  s.plmn = decode_plmn(g.plmn);
  s.channel = g.arfcn;
  s.cell = g.bsic;
  s.area = g.lac;
  s.cell_id = g.cellId;
  s.rx_level = g.rxLevel;
  return s;
}

struct Keys {
  const char* channel;
  const char* cell;
  const char* area;
};

Keys keys_of(Rat rat) {
  switch (rat) {
    case Rat::kLte:
      return {"earfcn", "pci", "tac"};
    case Rat::kUmts:
      return {"uarfcn", "psc", "lac"};
    default:
      return {"arfcn", "bsic", "lac"};
  }
}

template <class T, class F>
void put_if(Json& object, const char* key, const std::optional<T>& value, F convert) {
  if (value) object[key] = convert(*value);
}

}  // namespace

ServingSample serving_sample(const CellLocationRecords& r) {
  if (lte_intra_reported(r.lteIntra) && r.lteIntra.servingCellId != 0xFFFF)
    return lte_sample(r.lteIntra);
  if (umts_reported(r.umts)) return umts_sample(r.umts);
  if (geran_reported(r.geran)) return gsm_sample(r.geran);
  return {};
}

const char* rat_name(Rat rat) {
  switch (rat) {
    case Rat::kLte:
      return "lte";
    case Rat::kUmts:
      return "umts";
    case Rat::kGsm:
      return "gsm";
    default:
      return "none";
  }
}

Json serving_sample_json(const ServingSample& s) {
  Json out{{"technology", rat_name(s.rat)}};
  if (s.rat == Rat::kNone) return out;
  const Keys keys = keys_of(s.rat);
  out["mcc"] = s.plmn ? Json(s.plmn->mcc) : Json(nullptr);
  out["mnc"] = s.plmn ? Json(s.plmn->mnc) : Json(nullptr);
  out[keys.channel] = s.channel;
  out[keys.cell] = s.cell;
  out[keys.area] = s.area;
  out[s.rat == Rat::kLte ? "global_cell_id" : "cell_id"] = s.cell_id;
  put_if(out, "rsrp_dbm", s.rsrp_tenths, from_tenths);
  put_if(out, "rsrq_db", s.rsrq_tenths, from_tenths);
  put_if(out, "rssi_dbm", s.rssi_tenths, from_tenths);
  put_if(out, "rscp_dbm", s.rscp_dbm, [](int16_t v) { return v; });
  put_if(out, "ecio_db", s.ecio_db, [](int16_t v) { return v; });
  put_if(out, "rx_level", s.rx_level, [](uint16_t v) { return v; });
  if (s.rx_level) {
    const auto dbm = rx_level_dbm(*s.rx_level);
    out["rx_level_dbm"] = dbm ? Json(*dbm) : Json(nullptr);
  }
  return out;
}

}  // namespace vant::cli
