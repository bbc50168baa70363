#include "sim/scenario_json.h"

#include <sys/stat.h>
#include <bit>
#include <cmath>
#include <fstream>
#include <sstream>

#include "sim/json_fields.h"
#include "sim/messages.h"
#include "sim/nas_encoding.h"

namespace vant::sim {
namespace {

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

// The RSRP and RSRQ words of WCDMA's LTE neighbours: an integer is the word
// itself (negative ones in two's complement), a number with a fraction is
// sent as the bits of a 32-bit float, as modems encode these measurements.
uint32_t read_word(const Json& value, const std::string& path) {
  if (value.is_number_float()) return std::bit_cast<uint32_t>(value.get<float>());
  if (value.is_number_integer() && !value.is_number_unsigned())
    return static_cast<uint32_t>(read_integer<int32_t>(value, path));
  return read_integer<uint32_t>(value, path);
}

// ---- Cells ----

Drift read_drift(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  Drift d;
  r.required_integer("period_ms", d.period_ms);
  if (d.period_ms == 0) throw FieldError(r.path_of("period_ms"), "expected more than 0");
  r.integer("phase_ms", d.phase_ms);
  r.integer("rsrq", d.rsrq);
  r.integer("rsrp", d.rsrp);
  r.integer("rssi", d.rssi);
  r.integer("srx_lev", d.srx_lev);
  r.finish();
  return d;
}

WhenLocked read_when_locked(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  WhenLocked w;
  r.integer("after_ms", w.after_ms);
  r.boolean("service", w.service);
  r.integer("rsrq", w.rsrq);
  r.integer("rsrp", w.rsrp);
  r.integer("rssi", w.rssi);
  r.integer("srx_lev", w.srx_lev);
  if (!w.service && (w.rsrq || w.rsrp || w.rssi || w.srx_lev))
    throw FieldError(path, "a cell without service has no measurements");
  r.finish();
  return w;
}

using LteCellDynamicsMap = std::map<LteCellKey, LteCellDynamics>;

// An LTE cell of the list on `earfcn`. Its drift and its behaviour under a
// lock are kept apart, by EARFCN and PCI, in `dynamics`.
LteCell read_lte_cell(const Json& j, const std::string& path, uint16_t earfcn,
                      LteCellDynamicsMap& dynamics) {
  ObjectReader r(j, path);
  LteCell c;
  r.integer("pci", c.pci);
  r.integer("rsrq", c.rsrq);
  r.integer("rsrp", c.rsrp);
  r.integer("rssi", c.rssi);
  r.integer("srx_lev", c.srx_lev);
  LteCellDynamics d;
  if (r.has("drift")) d.drift = read_drift(r.at("drift"), r.path_of("drift"));
  if (r.has("when_locked"))
    d.when_locked = read_when_locked(r.at("when_locked"), r.path_of("when_locked"));
  r.finish();
  if ((d.drift || d.when_locked) && !dynamics.emplace(LteCellKey{earfcn, c.pci}, d).second)
    throw FieldError(path, "EARFCN " + std::to_string(earfcn) + " PCI " + std::to_string(c.pci) +
                               " already has a drift or when_locked");
  return c;
}

auto lte_cell_reader(uint16_t earfcn, LteCellDynamicsMap& dynamics) {
  return [earfcn, &dynamics](const Json& j, const std::string& path) {
    return read_lte_cell(j, path, earfcn, dynamics);
  };
}

Geran read_geran(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  Geran g;
  r.integer("cell_id", g.cell_id);
  if (r.has("plmn")) g.plmn = read_plmn(r.at("plmn"), r.path_of("plmn"));
  r.integer("lac", g.lac);
  r.integer("arfcn", g.arfcn);
  r.integer("bsic", g.bsic);
  r.integer("timing_advance", g.timing_advance);
  r.integer("rx_level", g.rx_level);
  r.list("nmr", g.nmr, [](const Json& item, const std::string& p) {
    ObjectReader n(item, p);
    GeranNmrCell c;
    n.integer("cell_id", c.cell_id);
    if (n.has("plmn")) c.plmn = read_plmn(n.at("plmn"), n.path_of("plmn"));
    n.integer("lac", c.lac);
    n.integer("arfcn", c.arfcn);
    n.integer("bsic", c.bsic);
    n.integer("rx_level", c.rx_level);
    n.finish();
    return c;
  });
  r.finish();
  return g;
}

Umts read_umts(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  Umts u;
  r.integer("cell_id", u.cell_id);
  if (r.has("plmn")) u.plmn = read_plmn(r.at("plmn"), r.path_of("plmn"));
  r.integer("lac", u.lac);
  r.integer("uarfcn", u.uarfcn);
  r.integer("psc", u.psc);
  r.integer("rscp", u.rscp);
  r.integer("ecio", u.ecio);
  r.list("instances", u.instances, [](const Json& item, const std::string& p) {
    ObjectReader n(item, p);
    UmtsInstance c;
    n.integer("uarfcn", c.uarfcn);
    n.integer("psc", c.psc);
    n.integer("rscp", c.rscp);
    n.integer("ecio", c.ecio);
    n.finish();
    return c;
  });
  r.list("geran_instances", u.geran_instances, [](const Json& item, const std::string& p) {
    ObjectReader n(item, p);
    UmtsGeranInstance c;
    n.integer("arfcn", c.arfcn);
    n.integer("bsic_ncc", c.bsic_ncc);
    n.integer("bsic_bcc", c.bsic_bcc);
    n.integer("rssi", c.rssi);
    n.finish();
    return c;
  });
  r.finish();
  return u;
}

Cdma read_cdma(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  Cdma c;
  r.integer("sid", c.sid);
  r.integer("nid", c.nid);
  r.integer("base_id", c.base_id);
  r.integer("ref_pn", c.ref_pn);
  r.integer("base_latitude", c.base_latitude);
  r.integer("base_longitude", c.base_longitude);
  r.finish();
  return c;
}

LteIntra read_lte_intra(const Json& j, const std::string& path, LteCellDynamicsMap& dynamics) {
  ObjectReader r(j, path);
  LteIntra l;
  r.integer("ue_in_idle", l.ue_in_idle);
  if (r.has("plmn")) l.plmn = read_plmn(r.at("plmn"), r.path_of("plmn"));
  r.integer("tac", l.tac);
  r.integer("global_cell_id", l.global_cell_id);
  r.integer("earfcn", l.earfcn);
  r.integer("serving_cell_id", l.serving_cell_id);
  r.integer("cell_resel_priority", l.cell_resel_priority);
  r.integer("s_non_intra_search", l.s_non_intra_search);
  r.integer("thresh_serving_low", l.thresh_serving_low);
  r.integer("s_intra_search", l.s_intra_search);
  r.list("cells", l.cells, lte_cell_reader(l.earfcn, dynamics));
  r.finish();
  return l;
}

template <class Frequency, class ReadFrequency>
LteNeighbours<Frequency> read_lte_neighbours(const Json& j, const std::string& path,
                                             ReadFrequency read_frequency) {
  ObjectReader r(j, path);
  LteNeighbours<Frequency> l;
  r.integer("ue_in_idle", l.ue_in_idle);
  r.list("frequencies", l.frequencies, read_frequency);
  r.finish();
  return l;
}

LteInter read_lte_inter(const Json& j, const std::string& path, LteCellDynamicsMap& dynamics) {
  return read_lte_neighbours<LteInterFrequency>(
      j, path, [&dynamics](const Json& item, const std::string& p) {
        ObjectReader n(item, p);
        LteInterFrequency f;
        n.integer("earfcn", f.earfcn);
        n.integer("thresh_x_low", f.thresh_x_low);
        n.integer("thresh_x_high", f.thresh_x_high);
        n.integer("cell_resel_priority", f.cell_resel_priority);
        n.list("cells", f.cells, lte_cell_reader(f.earfcn, dynamics));
        n.finish();
        return f;
      });
}

LteGsm read_lte_gsm(const Json& j, const std::string& path) {
  return read_lte_neighbours<LteGsmFrequency>(j, path, [](const Json& item, const std::string& p) {
    ObjectReader n(item, p);
    LteGsmFrequency f;
    n.integer("cell_resel_priority", f.cell_resel_priority);
    n.integer("thresh_gsm_high", f.thresh_gsm_high);
    n.integer("thresh_gsm_low", f.thresh_gsm_low);
    n.integer("ncc_permitted", f.ncc_permitted);
    n.list("cells", f.cells, [](const Json& cell, const std::string& cp) {
      ObjectReader c(cell, cp);
      LteGsmCell g;
      c.integer("arfcn", g.arfcn);
      c.integer("band_1900", g.band_1900);
      c.integer("cell_id_valid", g.cell_id_valid);
      c.integer("bsic_id", g.bsic_id);
      c.integer("rssi", g.rssi);
      c.integer("srx_lev", g.srx_lev);
      c.finish();
      return g;
    });
    n.finish();
    return f;
  });
}

LteWcdma read_lte_wcdma(const Json& j, const std::string& path) {
  return read_lte_neighbours<LteWcdmaFrequency>(
      j, path, [](const Json& item, const std::string& p) {
        ObjectReader n(item, p);
        LteWcdmaFrequency f;
        n.integer("uarfcn", f.uarfcn);
        n.integer("cell_resel_priority", f.cell_resel_priority);
        n.integer("thresh_x_high", f.thresh_x_high);
        n.integer("thresh_x_low", f.thresh_x_low);
        n.list("cells", f.cells, [](const Json& cell, const std::string& cp) {
          ObjectReader c(cell, cp);
          LteWcdmaCell w;
          c.integer("psc", w.psc);
          c.integer("cpich_rscp", w.cpich_rscp);
          c.integer("cpich_ecno", w.cpich_ecno);
          c.integer("srx_lev", w.srx_lev);
          c.finish();
          return w;
        });
        n.finish();
        return f;
      });
}

WcdmaLte read_wcdma_lte(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  WcdmaLte w;
  r.integer("rrc_state", w.rrc_state);
  r.list("cells", w.cells, [](const Json& item, const std::string& p) {
    ObjectReader n(item, p);
    WcdmaLteCell c;
    n.integer("earfcn", c.earfcn);
    n.integer("pci", c.pci);
    if (n.has("rsrp")) c.rsrp = read_word(n.at("rsrp"), n.path_of("rsrp"));
    if (n.has("rsrq")) c.rsrq = read_word(n.at("rsrq"), n.path_of("rsrq"));
    n.integer("srx_lev", c.srx_lev);
    n.integer("is_tdd", c.is_tdd);
    n.finish();
    return c;
  });
  r.finish();
  return w;
}

// Each technology given replaces the base's whole; null removes it; one not
// given keeps the base's.
template <class T, class F>
void read_technology(ObjectReader& r, const char* key, std::optional<T>& out, F read) {
  if (!r.has(key)) return;
  const Json& value = r.at(key);
  if (value.is_null()) {
    out.reset();
  } else {
    out = read(value, r.path_of(key));
  }
}

Cells read_cells(const Json& j, const std::string& path, Cells c, LteCellDynamicsMap& dynamics) {
  ObjectReader r(j, path);
  read_technology(r, "geran", c.geran, read_geran);
  read_technology(r, "umts", c.umts, read_umts);
  read_technology(r, "cdma", c.cdma, read_cdma);
  read_technology(r, "lte_intra", c.lte_intra, [&](const Json& v, const std::string& p) {
    return read_lte_intra(v, p, dynamics);
  });
  read_technology(r, "lte_inter", c.lte_inter, [&](const Json& v, const std::string& p) {
    return read_lte_inter(v, p, dynamics);
  });
  read_technology(r, "lte_gsm", c.lte_gsm, read_lte_gsm);
  read_technology(r, "lte_wcdma", c.lte_wcdma, read_lte_wcdma);
  read_technology(r, "umts_cell_id", c.umts_cell_id,
                  [](const Json& v, const std::string& p) { return read_integer<uint32_t>(v, p); });
  read_technology(r, "wcdma_lte", c.wcdma_lte, read_wcdma_lte);
  r.finish();
  return c;
}

// ---- Networks and scan ----

uint8_t read_two_bits(ObjectReader& r, const char* key, uint8_t fallback) {
  if (!r.has(key)) return fallback;
  const auto v = read_integer<uint8_t>(r.at(key), r.path_of(key));
  if (v > 3)
    throw FieldError(r.path_of(key), "expected 0 to 3 (a 2-bit status), got " + std::to_string(v));
  return v;
}

Network read_network(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  Network n;
  r.required_integer("mcc", n.mcc);
  r.required_integer("mnc", n.mnc);
  r.string("description", n.description);
  if (n.description.size() > 255)
    throw FieldError(r.path_of("description"), "at most 255 characters allowed");
  r.integer("rat", n.rat);
  r.integer("flag", n.flag);
  if (r.has("status")) {
    // The whole status byte, as the modem would send it.
    const auto byte = read_integer<uint8_t>(r.at("status"), r.path_of("status"));
    n.service = byte & 3;
    n.roaming = (byte >> 2) & 3;
    n.status45 = (byte >> 4) & 3;
    n.status67 = (byte >> 6) & 3;
  }
  if (r.has("service")) n.service = read_two_bits(r, "service", 0);
  n.roaming = read_two_bits(r, "roaming", n.roaming);
  n.status45 = read_two_bits(r, "status45", n.status45);
  n.status67 = read_two_bits(r, "status67", n.status67);
  r.finish();
  return n;
}

PlmnFlag read_plmn_value(const Json& j, const std::string& path, const char* value_key) {
  ObjectReader r(j, path);
  PlmnFlag f;
  r.required_integer("mcc", f.mcc);
  r.required_integer("mnc", f.mnc);
  r.required_integer(value_key, f.value);
  r.finish();
  return f;
}

ScanCellReport read_cell_report(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  ScanCellReport report;
  r.list("entries", report.entries, [](const Json& item, const std::string& p) {
    ObjectReader n(item, p);
    ScanCellEntry e;
    n.integer("value1", e.value1);
    n.integer("value2", e.value2);
    n.integer("value3", e.value3);
    n.list("plmns", e.plmns, [](const Json& plmn, const std::string& pp) {
      const auto v = read_plmn_value(plmn, pp, "flag");
      return ScanCellPlmn{v.mcc, v.mnc, v.value};
    });
    n.finish();
    return e;
  });
  if (r.has("trailer")) {
    std::vector<uint16_t> trailer;
    r.list("trailer", trailer, read_integer<uint16_t>, 6);
    if (trailer.size() != 6) throw FieldError(r.path_of("trailer"), "expected six values");
    std::copy(trailer.begin(), trailer.end(), report.trailer.begin());
  }
  r.finish();
  return report;
}

void read_scan_lists(ObjectReader& r, Scan& scan) {
  if (!r.has("lists")) return;
  std::vector<std::string> names;
  r.list("lists", names, read_string, 3);
  scan.send_networks = scan.send_rats = scan.send_flags = false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == "networks") {
      scan.send_networks = true;
    } else if (names[i] == "rats") {
      scan.send_rats = true;
    } else if (names[i] == "flags") {
      scan.send_flags = true;
    } else {
      throw FieldError(r.path_of("lists") + "[" + std::to_string(i) + "]",
                       "expected \"networks\", \"rats\" or \"flags\", got \"" + names[i] + "\"");
    }
  }
}

void read_scan(const Json& j, const std::string& path, Scan& scan) {
  ObjectReader r(j, path);
  r.integer("duration_ms", scan.duration_ms);
  if (r.has("result")) {
    if (r.at("result").is_null()) {
      scan.result.reset();
    } else {
      scan.result = read_integer<uint32_t>(r.at("result"), r.path_of("result"));
    }
  }
  read_scan_lists(r, scan);
  if (r.has("rats")) {
    scan.rats.emplace();
    r.list(
        "rats", *scan.rats,
        [](const Json& item, const std::string& p) { return read_plmn_value(item, p, "rat"); },
        0xFFFF);
  }
  if (r.has("flags")) {
    scan.flags.emplace();
    r.list(
        "flags", *scan.flags,
        [](const Json& item, const std::string& p) { return read_plmn_value(item, p, "flag"); },
        0xFFFF);
  }
  read_technology(r, "cell_report", scan.cell_report, read_cell_report);
  if (r.has("value_list")) {
    scan.value_list.emplace();
    // A count byte of 0xFF is not allowed, so at most 254 triples.
    r.list(
        "value_list", *scan.value_list,
        [](const Json& item, const std::string& p) {
          ObjectReader n(item, p);
          ScanValue v;
          n.integer("x", v.x);
          n.integer("y", v.y);
          n.integer("z", v.z);
          n.finish();
          return v;
        },
        254);
  }
  r.finish();
}

// ---- Locks, sessions, identity ----

uint8_t read_status(ObjectReader& r) {
  uint8_t status = 0;
  r.integer("status", status);
  if (status > 1) throw FieldError(r.path_of("status"), "expected 0 (unlocked) or 1 (locked)");
  return status;
}

// Each lock given replaces the base's whole; the others keep the base's.
Locks read_locks(const Json& j, const std::string& path, Locks locks) {
  ObjectReader r(j, path);
  if (r.has("wcdma")) {
    ObjectReader w(r.at("wcdma"), r.path_of("wcdma"));
    locks.wcdma = {};
    locks.wcdma.status = read_status(w);
    w.integer("uarfcn", locks.wcdma.uarfcn);
    w.finish();
  }
  if (r.has("lte_earfcn")) {
    ObjectReader e(r.at("lte_earfcn"), r.path_of("lte_earfcn"));
    locks.lte_earfcn = {};
    locks.lte_earfcn.status = read_status(e);
    e.integer("earfcn0", locks.lte_earfcn.earfcn0);
    e.integer("earfcn1", locks.lte_earfcn.earfcn1);
    e.finish();
  }
  if (r.has("lte_pci")) {
    ObjectReader p(r.at("lte_pci"), r.path_of("lte_pci"));
    locks.lte_pci = {};
    locks.lte_pci.status = read_status(p);
    p.integer("earfcn", locks.lte_pci.earfcn);
    p.integer("pci", locks.lte_pci.pci);
    p.finish();
  }
  r.finish();
  return locks;
}

// Each instance given replaces the base's sessions of that instance; the
// others keep the base's.
void read_sessions(ObjectReader& r, std::array<Session, kDataInstances>& sessions) {
  if (!r.has("sessions")) return;
  std::vector<std::pair<uint8_t, Session>> entries;
  r.list(
      "sessions", entries,
      [](const Json& item, const std::string& p) {
        ObjectReader n(item, p);
        uint8_t instance = 0;
        Session s;
        n.required_integer("instance", instance);
        if (instance >= kDataInstances) throw FieldError(n.path_of("instance"), "expected 0 to 7");
        n.integer("ipv4", s.ipv4);
        n.integer("ipv6", s.ipv6);
        n.finish();
        return std::make_pair(instance, s);
      },
      kDataInstances);
  std::array<bool, kDataInstances> given{};
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& [instance, session] = entries[i];
    if (given[instance])
      throw FieldError(r.path_of("sessions") + "[" + std::to_string(i) + "].instance",
                       "instance " + std::to_string(instance) + " given twice");
    given[instance] = true;
    sessions[instance] = session;
  }
}

Identity read_identity(const Json& j, const std::string& path, Identity identity) {
  ObjectReader r(j, path);
  r.string("manufacturer", identity.manufacturer);
  r.string("model", identity.model);
  r.string("firmware_revision", identity.firmware_revision);
  r.string("imei", identity.imei);
  r.finish();
  return identity;
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

MessageRule read_rule(const Json& j, const std::string& path) {
  ObjectReader r(j, path);
  MessageRule rule;
  r.integer("latency_ms", rule.latency_ms);
  r.integer("qmi_error", rule.qmi_error);
  r.boolean("keep_tlvs", rule.keep_tlvs);
  r.boolean("only_result", rule.only_result);
  r.boolean("drop", rule.drop);
  if (r.has("malformed"))
    rule.malformed = read_malformation(r.at("malformed"), r.path_of("malformed"));
  r.integer("count", rule.count);
  r.finish();
  return rule;
}

void read_outages(ObjectReader& r, Behaviour& b) {
  r.list(
      "outages", b.outages,
      [](const Json& item, const std::string& p) {
        ObjectReader n(item, p);
        Outage o;
        n.required_integer("at_ms", o.at_ms);
        n.integer("for_ms", o.for_ms);
        if (o.for_ms && *o.for_ms == 0)
          throw FieldError(n.path_of("for_ms"), "expected more than 0");
        n.finish();
        return o;
      },
      1000);
  r.integer("repeat_every_ms", b.repeat_every_ms);
  uint64_t previous_end = 0;
  for (size_t i = 0; i < b.outages.size(); ++i) {
    const auto& o = b.outages[i];
    const std::string at = r.path_of("outages") + "[" + std::to_string(i) + "]";
    if (o.at_ms < previous_end)
      throw FieldError(at + ".at_ms", "outages must be in time order and must not overlap");
    if (!o.for_ms && (i + 1 < b.outages.size() || b.repeat_every_ms))
      throw FieldError(at + ".for_ms",
                       "only the last outage of a pattern that does not repeat "
                       "may last for ever");
    previous_end = uint64_t{o.at_ms} + o.for_ms.value_or(0);
  }
  if (b.repeat_every_ms && previous_end > b.repeat_every_ms)
    throw FieldError(r.path_of("repeat_every_ms"), "shorter than the outage pattern");
}

void read_behaviour(const Json& j, const std::string& path, Behaviour& b,
                    std::optional<Drift>& drift) {
  ObjectReader r(j, path);
  r.integer("latency_ms", b.latency_ms);
  if (r.has("drift")) drift = read_drift(r.at("drift"), r.path_of("drift"));
  r.integer("client_ids_per_service", b.client_ids_per_service);
  if (b.client_ids_per_service == 0 || b.client_ids_per_service > 254)
    throw FieldError(r.path_of("client_ids_per_service"), "expected 1 to 254");
  if (r.has("messages")) {
    const std::string mpath = r.path_of("messages");
    ObjectReader m(r.at("messages"), mpath);
    for (const auto& [name, rule] : r.at("messages").items()) {
      const std::string rpath = ObjectReader::child_path(mpath, name.c_str());
      if (!is_message_name(name)) throw FieldError(rpath, "unknown message name");
      b.rules[name] = read_rule(m.at(name.c_str()), rpath);
    }
  }
  read_outages(r, b);
  r.finish();
}

// ---- The whole document ----

std::optional<std::pair<uint16_t, uint16_t>> read_registered(const Json& j,
                                                             const std::string& path) {
  if (j.is_null()) return std::nullopt;
  ObjectReader r(j, path);
  std::pair<uint16_t, uint16_t> plmn;
  r.required_integer("mcc", plmn.first);
  r.required_integer("mnc", plmn.second);
  r.finish();
  return plmn;
}

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

Scenario read_scenario(const Json& j) {
  ObjectReader r(j, "");
  Scenario s;
  std::string base;
  r.string("base", base);
  if (base == "default") {
    s = default_scenario();
  } else if (!base.empty()) {
    throw FieldError("base", "expected \"default\", got \"" + base + "\"");
  }
  r.string("name", s.name);
  r.string("description", s.description);
  if (r.has("identity")) s.identity = read_identity(r.at("identity"), "identity", s.identity);
  // The built-in base has no drift or when_locked: those of the document are all there is.
  if (r.has("cells")) s.cells = read_cells(r.at("cells"), "cells", s.cells, s.lte_signal.cells);
  r.list("networks", s.networks, read_network, 0xFFFF);
  if (r.has("registered")) s.registered = read_registered(r.at("registered"), "registered");
  if (r.has("scan")) read_scan(r.at("scan"), "scan", s.scan);
  if (r.has("locks")) s.locks = read_locks(r.at("locks"), "locks", s.locks);
  read_sessions(r, s.sessions);
  if (r.has("behaviour"))
    read_behaviour(r.at("behaviour"), "behaviour", s.behaviour, s.lte_signal.drift);
  r.finish();
  check_answer_sizes(s);
  return s;
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

std::optional<Scenario> parse_scenario(const std::string& text, const std::string& source,
                                       std::string& error) {
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::exception& e) {  // a syntax error, or a number too large for any type
    error = "scenario " + quoted(source) + ": not valid JSON: " + e.what();
    return std::nullopt;
  }
  try {
    return read_scenario(document);
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
  std::ostringstream text;
  text << in.rdbuf();
  return parse_scenario(text.str(), path, error);
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

}  // namespace vant::sim
