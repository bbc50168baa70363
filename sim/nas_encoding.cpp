#include "sim/nas_encoding.h"

namespace vant::sim {
namespace {

using qmux::TlvBuilder;
using qmux::WireWriter;

void put_plmn(WireWriter& w, const Plmn& plmn) {
  for (uint8_t b : plmn) w.u8(b);
}

void put_count(WireWriter& w, size_t count) {
  w.u8(static_cast<uint8_t>(count));
}

void put_lte_cell(WireWriter& w, const LteCell& c) {
  w.u16(c.pci);
  w.i16(c.rsrq);
  w.i16(c.rsrp);
  w.i16(c.rssi);
  w.i16(c.srx_lev);
}

void put_geran(WireWriter& w, const Geran& g) {
  w.u32(g.cell_id);
  put_plmn(w, g.plmn);
  w.u16(g.lac);
  w.u16(g.arfcn);
  w.u8(g.bsic);
  w.u32(g.timing_advance);
  w.u16(g.rx_level);
  put_count(w, g.nmr.size());
  for (const auto& n : g.nmr) {
    w.u32(n.cell_id);
    put_plmn(w, n.plmn);
    w.u16(n.lac);
    w.u16(n.arfcn);
    w.u8(n.bsic);
    w.u16(n.rx_level);
  }
}

void put_umts(WireWriter& w, const Umts& u) {
  w.u16(u.cell_id);
  put_plmn(w, u.plmn);
  w.u16(u.lac);
  w.u16(u.uarfcn);
  w.u16(u.psc);
  w.i16(u.rscp);
  w.i16(u.ecio);
  put_count(w, u.instances.size());
  for (const auto& i : u.instances) {
    w.u16(i.uarfcn);
    w.u16(i.psc);
    w.i16(i.rscp);
    w.i16(i.ecio);
  }
  put_count(w, u.geran_instances.size());
  for (const auto& g : u.geran_instances) {
    w.u16(g.arfcn);
    w.u8(g.bsic_ncc);
    w.u8(g.bsic_bcc);
    w.i16(g.rssi);
  }
}

void put_cdma(WireWriter& w, const Cdma& c) {
  w.u16(c.sid);
  w.u16(c.nid);
  w.u16(c.base_id);
  w.u16(c.ref_pn);
  w.u32(c.base_latitude);
  w.u32(c.base_longitude);
}

void put_lte_intra(WireWriter& w, const LteIntra& l) {
  w.u8(l.ue_in_idle);
  put_plmn(w, l.plmn);
  w.u16(l.tac);
  w.u32(l.global_cell_id);
  w.u16(l.earfcn);
  w.u16(l.serving_cell_id);
  w.u8(l.cell_resel_priority);
  w.u8(l.s_non_intra_search);
  w.u8(l.thresh_serving_low);
  w.u8(l.s_intra_search);
  put_count(w, l.cells.size());
  for (const auto& c : l.cells) put_lte_cell(w, c);
}

template <class Frequency, class PutFrequency>
void put_lte_neighbours(WireWriter& w, const LteNeighbours<Frequency>& l, PutFrequency put) {
  w.u8(l.ue_in_idle);
  put_count(w, l.frequencies.size());
  for (const auto& f : l.frequencies) put(w, f);
}

void put_lte_inter(WireWriter& w, const LteInter& l) {
  put_lte_neighbours(w, l, [](WireWriter& w, const LteInterFrequency& f) {
    w.u16(f.earfcn);
    w.u8(f.thresh_x_low);
    w.u8(f.thresh_x_high);
    w.u8(f.cell_resel_priority);
    put_count(w, f.cells.size());
    for (const auto& c : f.cells) put_lte_cell(w, c);
  });
}

void put_lte_gsm(WireWriter& w, const LteGsm& l) {
  put_lte_neighbours(w, l, [](WireWriter& w, const LteGsmFrequency& f) {
    w.u8(f.cell_resel_priority);
    w.u8(f.thresh_gsm_high);
    w.u8(f.thresh_gsm_low);
    w.u8(f.ncc_permitted);
    put_count(w, f.cells.size());
    for (const auto& c : f.cells) {
      w.u16(c.arfcn);
      w.u8(c.band_1900);
      w.u8(c.cell_id_valid);
      w.u8(c.bsic_id);
      w.i16(c.rssi);
      w.i16(c.srx_lev);
    }
  });
}

void put_lte_wcdma(WireWriter& w, const LteWcdma& l) {
  put_lte_neighbours(w, l, [](WireWriter& w, const LteWcdmaFrequency& f) {
    w.u16(f.uarfcn);
    w.u8(f.cell_resel_priority);
    w.u16(f.thresh_x_high);
    w.u16(f.thresh_x_low);
    put_count(w, f.cells.size());
    for (const auto& c : f.cells) {
      w.u16(c.psc);
      w.i16(c.cpich_rscp);
      w.i16(c.cpich_ecno);
      w.i16(c.srx_lev);
    }
  });
}

void put_wcdma_lte(WireWriter& w, const WcdmaLte& l) {
  w.u32(l.rrc_state);
  put_count(w, l.cells.size());
  for (const auto& c : l.cells) {
    w.u16(c.earfcn);
    w.u16(c.pci);
    w.u32(c.rsrp);
    w.u32(c.rsrq);
    w.i16(c.srx_lev);
    w.u8(c.is_tdd);
  }
}

template <class T, class F>
void put_tlv(TlvBuilder& out, uint8_t type, const std::optional<T>& value, F put) {
  if (!value) return;
  put(out.begin(type), *value);
  out.end();
}

void put_plmn_values(TlvBuilder& out, uint8_t type, std::span<const PlmnFlag> entries) {
  auto& w = out.begin(type);
  w.u16(static_cast<uint16_t>(entries.size()));
  for (const auto& e : entries) {
    w.u16(e.mcc);
    w.u16(e.mnc);
    w.u8(e.value);
  }
  out.end();
}

std::vector<PlmnFlag> derived_list(std::span<const Network> networks, bool rats) {
  std::vector<PlmnFlag> list;
  for (const auto& n : networks) list.push_back({n.mcc, n.mnc, rats ? n.rat : n.flag});
  return list;
}

void put_cell_report(WireWriter& w, const ScanCellReport& r) {
  put_count(w, r.entries.size());
  for (const auto& e : r.entries) {
    w.u32(e.value1);
    w.u16(e.value2);
    w.u32(e.value3);
    put_count(w, e.plmns.size());
    for (const auto& p : e.plmns) {
      w.u16(p.mcc);
      w.u16(p.mnc);
      w.u8(p.flag);
    }
  }
  for (uint16_t v : r.trailer) w.u16(v);
}

void put_value_list(WireWriter& w, const std::vector<ScanValue>& values) {
  put_count(w, values.size());
  for (const auto& v : values) {
    w.u16(v.x);
    w.u16(v.y);
    w.u32(v.z);
  }
}

// TLV 0x2F: the serving NR cell, measurements in tenths.
void put_nr_cell(WireWriter& w, const Nr5g& n) {
  const NrCell& c = n.cells.front();
  put_plmn(w, n.plmn);
  // The tracking area code is three bytes, most significant first.
  w.u8(static_cast<uint8_t>(n.tac >> 16));
  w.u8(static_cast<uint8_t>(n.tac >> 8));
  w.u8(static_cast<uint8_t>(n.tac));
  put_u64(w, c.global_cell_id);
  w.u16(c.pci);
  w.i16(c.rsrq);
  w.i16(c.rsrp);
  w.i16(c.snr);
}

}  // namespace

void put_u64(WireWriter& w, uint64_t value) {
  w.u32(static_cast<uint32_t>(value));
  w.u32(static_cast<uint32_t>(value >> 32));
}

bool get_u64(qmux::WireReader& r, uint64_t& value) {
  uint32_t low = 0, high = 0;
  if (r.remaining() < 8 || !r.u32(low) || !r.u32(high)) return false;
  value = uint64_t{high} << 32 | low;
  return true;
}

void encode_cell_location(const Cells& cells, TlvBuilder& out) {
  put_tlv(out, 0x10, cells.geran, put_geran);
  put_tlv(out, 0x11, cells.umts, put_umts);
  put_tlv(out, 0x12, cells.cdma, put_cdma);
  put_tlv(out, 0x13, cells.lte_intra, put_lte_intra);
  put_tlv(out, 0x14, cells.lte_inter, put_lte_inter);
  put_tlv(out, 0x15, cells.lte_gsm, put_lte_gsm);
  put_tlv(out, 0x16, cells.lte_wcdma, put_lte_wcdma);
  put_tlv(out, 0x17, cells.umts_cell_id, [](WireWriter& w, uint32_t id) { w.u32(id); });
  put_tlv(out, 0x18, cells.wcdma_lte, put_wcdma_lte);
  if (cells.nr5g && !cells.nr5g->cells.empty()) {
    out.begin(0x2E).u32(cells.nr5g->cells.front().arfcn);
    out.end();
    put_nr_cell(out.begin(0x2F), *cells.nr5g);
    out.end();
  }
}

uint8_t network_status_byte(const Network& n,
                            std::optional<std::pair<uint16_t, uint16_t>> registered) {
  const bool serving = registered && registered->first == n.mcc && registered->second == n.mnc;
  const uint8_t service = n.service.value_or(serving ? kServiceServing : kServiceAvailable);
  return static_cast<uint8_t>((service & 3) | (n.roaming & 3) << 2 | (n.status45 & 3) << 4 |
                              (n.status67 & 3) << 6);
}

void encode_network_scan(const Scan& scan, std::span<const Network> networks,
                         std::optional<std::pair<uint16_t, uint16_t>> registered, TlvBuilder& out) {
  if (scan.send_networks) {
    auto& w = out.begin(0x10);
    w.u16(static_cast<uint16_t>(networks.size()));
    for (const auto& n : networks) {
      w.u16(n.mcc);
      w.u16(n.mnc);
      w.u8(network_status_byte(n, registered));
      put_count(w, n.description.size());
      w.bytes(
          std::span(reinterpret_cast<const uint8_t*>(n.description.data()), n.description.size()));
    }
    out.end();
  }
  if (scan.send_rats)
    put_plmn_values(out, 0x11, scan.rats ? *scan.rats : derived_list(networks, true));
  if (scan.send_flags)
    put_plmn_values(out, 0x12, scan.flags ? *scan.flags : derived_list(networks, false));
  put_tlv(out, 0x13, scan.result, [](WireWriter& w, uint32_t v) { w.u32(v); });
  put_tlv(out, 0x17, scan.cell_report, put_cell_report);
  put_tlv(out, 0x18, scan.value_list, put_value_list);
}

void encode_channel_locks(const Locks& locks, TlvBuilder& out) {
  auto& w = out.begin(0x10);
  w.u8(locks.wcdma.status);
  w.u32(locks.wcdma.uarfcn);
  out.end();
  out.begin(0x11);
  w.u8(locks.lte_earfcn.status);
  w.u32(locks.lte_earfcn.earfcn0);
  w.u32(locks.lte_earfcn.earfcn1);
  out.end();
  out.begin(0x12);
  w.u8(locks.lte_pci.status);
  w.u32(locks.lte_pci.earfcn);
  w.u32(locks.lte_pci.pci);
  out.end();
}

}  // namespace vant::sim
