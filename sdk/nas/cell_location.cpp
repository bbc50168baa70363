// The cell location info request: no request TLVs, one optional response TLV
// per radio technology, each decoded field by field in wire order into the
// record the caller pointed to. Reads are bounded by the message only: a TLV
// shorter than its counts say reads on into the bytes after it, and only a
// read past the end of the message fails (3).
#include "sdk/core/request_engine.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

constexpr uint8_t kUnknown8 = 0xFF;
constexpr uint16_t kUnknown16 = 0xFFFF;
constexpr uint32_t kUnknown32 = 0xFFFFFFFF;

const CellLocationInfo& info_of(const ResponseContext* context) {
  return *static_cast<const CellLocationInfo*>(context->output);
}

uint32_t read_nmr_cell(QmiCursor* c, GeranNmrCell& n) {
  return read_fields(c, &n.cellId, &n.plmn, &n.lac, &n.arfcn, &n.bsic, &n.rxLevel);
}

uint32_t read_umts_instance(QmiCursor* c, UmtsInstance& u) {
  return read_fields(c, &u.uarfcn, &u.psc, &u.rscp, &u.ecio);
}

uint32_t read_umts_geran_instance(QmiCursor* c, UmtsGeranInstance& g) {
  return read_fields(c, &g.arfcn, &g.bsicNcc, &g.bsicBcc, &g.rssi);
}

uint32_t read_lte_cell(QmiCursor* c, LteCell& cell) {
  return read_fields(c, &cell.pci, &cell.rsrq, &cell.rsrp, &cell.rssi, &cell.srxLev);
}

uint32_t read_inter_frequency(QmiCursor* c, LteInterFrequency& f) {
  if (const uint32_t s =
          read_fields(c, &f.earfcn, &f.threshXLow, &f.threshXHigh, &f.cellReselPriority))
    return s;
  return read_counted_list(c, &f.cellCount, f.cells, read_lte_cell);
}

uint32_t read_gsm_cell(QmiCursor* c, LteGsmCell& cell) {
  return read_fields(c, &cell.arfcn, &cell.band1900, &cell.cellIdValid, &cell.bsicId, &cell.rssi,
                     &cell.srxLev);
}

uint32_t read_gsm_frequency(QmiCursor* c, LteGsmFrequency& f) {
  if (const uint32_t s =
          read_fields(c, &f.cellReselPriority, &f.threshGsmHigh, &f.threshGsmLow, &f.nccPermitted))
    return s;
  return read_counted_list(c, &f.cellCount, f.cells, read_gsm_cell);
}

uint32_t read_wcdma_cell(QmiCursor* c, LteWcdmaCell& cell) {
  return read_fields(c, &cell.psc, &cell.cpichRscp, &cell.cpichEcno, &cell.srxLev);
}

uint32_t read_wcdma_frequency(QmiCursor* c, LteWcdmaFrequency& f) {
  if (const uint32_t s =
          read_fields(c, &f.uarfcn, &f.cellReselPriority, &f.threshXHigh, &f.threshXLow))
    return s;
  return read_counted_list(c, &f.cellCount, f.cells, read_wcdma_cell);
}

uint32_t read_wcdma_lte_cell(QmiCursor* c, WcdmaLteCell& cell) {
  return read_fields(c, &cell.earfcn, &cell.pci, &cell.rsrp, &cell.rsrq, &cell.srxLev, &cell.isTdd);
}

uint32_t unpack_geran(QmiCursor* c, ResponseContext* context) {
  GeranInfo* g = info_of(context).geran;
  if (g == nullptr) return kSuccess;
  if (const uint32_t s = read_fields(c, &g->cellId, &g->plmn, &g->lac, &g->arfcn, &g->bsic,
                                     &g->timingAdvance, &g->rxLevel))
    return s;
  return read_counted_list(c, &g->nmrCount, g->nmrCells, read_nmr_cell);
}

uint32_t unpack_umts(QmiCursor* c, ResponseContext* context) {
  UmtsInfo* u = info_of(context).umts;
  if (u == nullptr) return kSuccess;
  if (const uint32_t s =
          read_fields(c, &u->cellId, &u->plmn, &u->lac, &u->uarfcn, &u->psc, &u->rscp, &u->ecio))
    return s;
  if (const uint32_t s =
          read_counted_list(c, &u->umtsInstanceCount, u->umtsInstances, read_umts_instance))
    return s;
  return read_counted_list(c, &u->geranInstanceCount, u->geranInstances, read_umts_geran_instance);
}

uint32_t unpack_cdma(QmiCursor* c, ResponseContext* context) {
  CdmaInfo* d = info_of(context).cdma;
  if (d == nullptr) return kSuccess;
  return read_fields(c, &d->sid, &d->nid, &d->baseId, &d->refPn, &d->baseLatitude,
                     &d->baseLongitude);
}

uint32_t unpack_lte_intra(QmiCursor* c, ResponseContext* context) {
  LteIntraFreqInfo* l = info_of(context).lteIntra;
  if (l == nullptr) return kSuccess;
  if (const uint32_t s = read_fields(c, &l->ueInIdle, &l->plmn, &l->tac, &l->globalCellId,
                                     &l->earfcn, &l->servingCellId, &l->cellReselPriority,
                                     &l->sNonIntraSearch, &l->threshServingLow, &l->sIntraSearch))
    return s;
  return read_counted_list(c, &l->cellCount, l->cells, read_lte_cell);
}

// The three LTE neighbour TLVs share one shape: UE-in-idle, then a counted
// list of frequencies, each with its own counted list of cells.
template <typename Info, typename ReadFrequency>
uint32_t unpack_neighbours(QmiCursor* c, Info* info, ReadFrequency read_frequency) {
  if (info == nullptr) return kSuccess;
  if (const uint32_t s = read_fields(c, &info->ueInIdle)) return s;
  return read_counted_list(c, &info->frequencyCount, info->frequencies, read_frequency);
}

uint32_t unpack_lte_inter(QmiCursor* c, ResponseContext* context) {
  return unpack_neighbours(c, info_of(context).lteInter, read_inter_frequency);
}

uint32_t unpack_lte_gsm(QmiCursor* c, ResponseContext* context) {
  return unpack_neighbours(c, info_of(context).lteGsm, read_gsm_frequency);
}

uint32_t unpack_lte_wcdma(QmiCursor* c, ResponseContext* context) {
  return unpack_neighbours(c, info_of(context).lteWcdma, read_wcdma_frequency);
}

uint32_t unpack_umts_cell_id(QmiCursor* c, ResponseContext* context) {
  uint32_t* id = info_of(context).umtsCellId;
  return id == nullptr ? kSuccess : read_fields(c, id);
}

uint32_t unpack_wcdma_lte(QmiCursor* c, ResponseContext* context) {
  WcdmaLteNeighbourInfo* w = info_of(context).wcdmaLte;
  if (w == nullptr) return kSuccess;
  if (const uint32_t s = read_fields(c, &w->rrcState)) return s;
  return read_counted_list(c, &w->cellCount, w->cells, read_wcdma_lte_cell);
}

constexpr TlvEntry kCellLocationRequest[] = {{kTlvEnd, nullptr}};
constexpr TlvEntry kCellLocationResponse[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_geran},     {0x11, &unpack_umts},
    {0x12, &unpack_cdma},       {0x13, &unpack_lte_intra}, {0x14, &unpack_lte_inter},
    {0x15, &unpack_lte_gsm},    {0x16, &unpack_lte_wcdma}, {0x17, &unpack_umts_cell_id},
    {0x18, &unpack_wcdma_lte},  {kTlvEnd, nullptr},
};

void preset_geran(GeranInfo& g) {
  g.cellId = kUnknown32;
  g.lac = g.arfcn = kUnknown16;
  g.bsic = kUnknown8;
  g.timingAdvance = kUnknown32;
  g.rxLevel = kUnknown16;
  g.nmrCount = 0;
}

void preset_umts(UmtsInfo& u) {
  u.cellId = u.lac = u.uarfcn = u.psc = kUnknown16;
  u.rscp = u.ecio = -1;  // 0xFFFF read as signed
  u.umtsInstanceCount = 0;
  u.geranInstanceCount = 0;
}

void preset_cdma(CdmaInfo& d) {
  d.sid = d.nid = d.baseId = d.refPn = kUnknown16;
  d.baseLatitude = d.baseLongitude = kUnknown32;
}

void preset_lte_intra(LteIntraFreqInfo& l) {
  l.ueInIdle = kUnknown8;
  l.tac = kUnknown16;
  l.globalCellId = kUnknown32;
  l.earfcn = l.servingCellId = kUnknown16;
  l.cellReselPriority = l.sNonIntraSearch = l.threshServingLow = l.sIntraSearch = kUnknown8;
  l.cellCount = 0;
}

template <typename Info>
void preset_neighbours(Info& info) {
  info.ueInIdle = kUnknown8;
  info.frequencyCount = 0;
}

void preset_wcdma_lte(WcdmaLteNeighbourInfo& w) {
  w.rrcState = kUnknown32;
  w.cellCount = 0;
}

}  // namespace

void preset_cell_location_info(void* output) {
  const CellLocationInfo& info = *static_cast<const CellLocationInfo*>(output);
  if (info.geran != nullptr) preset_geran(*info.geran);
  if (info.umts != nullptr) preset_umts(*info.umts);
  if (info.cdma != nullptr) preset_cdma(*info.cdma);
  if (info.lteIntra != nullptr) preset_lte_intra(*info.lteIntra);
  if (info.lteInter != nullptr) preset_neighbours(*info.lteInter);
  if (info.lteGsm != nullptr) preset_neighbours(*info.lteGsm);
  if (info.lteWcdma != nullptr) preset_neighbours(*info.lteWcdma);
  if (info.umtsCellId != nullptr) *info.umtsCellId = kUnknown32;
  if (info.wcdmaLte != nullptr) preset_wcdma_lte(*info.wcdmaLte);
}

uint32_t pack_get_cell_location_info(uint16_t* out_length, uint8_t* buffer) {
  return pack_request(buffer, nullptr, kCellLocationRequest, kGetCellLocationInfoId, out_length);
}

uint32_t unpack_get_cell_location_info(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kCellLocationResponse, kGetCellLocationInfoId);
}

}  // namespace vant::nas

uint32_t VANTNASGetCellLocationInfo(CellLocationInfo* info) {
  using namespace vant::nas;
  if (info == nullptr) return vant::kInvalidArgument;
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kGetCellLocationInfoId,
                           .timeoutMs = kCellLocationTimeoutMs,
                           .request = kCellLocationRequest,
                           .input = nullptr,
                           .response = kCellLocationResponse,
                           .output = info,
                           .preset = &preset_cell_location_info});
}
