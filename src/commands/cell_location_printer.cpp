// The sections of the cell location report, one per radio technology, with
// every field of its record and every entry of its lists (numbered from 1).
// Unsigned fields print from their unsigned value, the signed 16-bit
// measurements from their signed value.
#include <cstdio>

#include "src/commands/command_handlers.h"

namespace vant {
namespace {

unsigned u(uint32_t value) {
  return value;
}
int d(int32_t value) {
  return value;
}

void print_plmn(FILE* out, const char* label, const uint8_t (&plmn)[3]) {
  std::fputs(label, out);
  for (const uint8_t byte : plmn) std::fprintf(out, "%x ", u(byte));
  std::fputs("\n", out);
}

void print_geran(FILE* out, const GeranInfo& g) {
  std::fprintf(out, "\nGERAN Information \n");
  std::fprintf(out, "Cell Id   : %x \n", u(g.cellId));
  print_plmn(out, "PLMN info : ", g.plmn);
  std::fprintf(out, "LAC       : %x \n", u(g.lac));
  std::fprintf(out, "ARFCN     : %x \n", u(g.arfcn));
  std::fprintf(out, "BSIC      : %x \n", u(g.bsic));
  std::fprintf(out, "Timing Adv: %x \n", u(g.timingAdvance));
  std::fprintf(out, "RX-lev    : %x \n", u(g.rxLevel));
  std::fprintf(out, "No. of sets of following info : %x \n", u(g.nmrCount));
  for (int i = 0; i < g.nmrCount; ++i) {
    const GeranNmrCell& n = g.nmrCells[i];
    std::fprintf(out, "\tNMR Cell %d Information \n", i + 1);
    std::fprintf(out, "\tNMR Cell Id   : %x \n", u(n.cellId));
    print_plmn(out, "\tNMR PLMN info : ", n.plmn);
    std::fprintf(out, "\tNMR LAC       : %x \n", u(n.lac));
    std::fprintf(out, "\tNMR ARFCN     : %x \n", u(n.arfcn));
    std::fprintf(out, "\tNMR BSIC      : %x \n", u(n.bsic));
    std::fprintf(out, "\tNMR RX-lev    : %x \n", u(n.rxLevel));
  }
}

void print_umts(FILE* out, const UmtsInfo& m) {
  std::fprintf(out, "\nUMTS Information \n");
  std::fprintf(out, "Cell Id   : %x \n", u(m.cellId));
  print_plmn(out, "PLMN info : ", m.plmn);
  std::fprintf(out, "LAC       : %x \n", u(m.lac));
  std::fprintf(out, "UARFCN    : %x \n", u(m.uarfcn));
  std::fprintf(out, "PSC       : %x \n", u(m.psc));
  std::fprintf(out, "RSCP      : %d \n", d(m.rscp));
  std::fprintf(out, "ECIO      : %d \n", d(m.ecio));
  std::fprintf(out, "No. of sets of umts instance : %x \n", u(m.umtsInstanceCount));
  for (int i = 0; i < m.umtsInstanceCount; ++i) {
    const UmtsInstance& k = m.umtsInstances[i];
    std::fprintf(out, "\tUMTS Instance %d Information \n", i + 1);
    std::fprintf(out, "\tUMTS UARFCN  : %x \n", u(k.uarfcn));
    std::fprintf(out, "\tUMTS PSC     : %x \n", u(k.psc));
    std::fprintf(out, "\tUMTS RSCP    : %d \n", d(k.rscp));
    std::fprintf(out, "\tUMTS ECIO    : %d \n", d(k.ecio));
  }
  std::fprintf(out, "No. of sets of geran instance : %x \n", u(m.geranInstanceCount));
  for (int i = 0; i < m.geranInstanceCount; ++i) {
    const UmtsGeranInstance& k = m.geranInstances[i];
    std::fprintf(out, "\tGERAN Instance %d Information \n", i + 1);
    std::fprintf(out, "\tGERAN ARFCN   : %x \n", u(k.arfcn));
    std::fprintf(out, "\tGERAN BSIC NCC: %x \n", u(k.bsicNcc));
    std::fprintf(out, "\tGERAN BSIC BCC: %x \n", u(k.bsicBcc));
    std::fprintf(out, "\tGERAN RSSI    : %d \n", d(k.rssi));
  }
}

void print_cdma(FILE* out, const CdmaInfo& c) {
  std::fprintf(out, "\nCDMA Information \n");
  std::fprintf(out, "System Id  : %x \n", u(c.sid));
  std::fprintf(out, "Network Id : %x \n", u(c.nid));
  std::fprintf(out, "Base Id    : %x \n", u(c.baseId));
  std::fprintf(out, "Reference PN: %x \n", u(c.refPn));
  std::fprintf(out, "Base Lat   : %x \n", u(c.baseLatitude));
  std::fprintf(out, "Base Long  : %x \n", u(c.baseLongitude));
}

// The five tab-indented lines of one LTE cell, shared by both LTE sections.
void print_lte_cell(FILE* out, const LteCell& c) {
  std::fprintf(out, "\tPhysical Cell Id: %x \n", u(c.pci));
  std::fprintf(out, "\tRSRQ            : %d \n", d(c.rsrq));
  std::fprintf(out, "\tRSRP            : %d \n", d(c.rsrp));
  std::fprintf(out, "\tRSSI            : %d \n", d(c.rssi));
  std::fprintf(out, "\tSRX-lev         : %d \n", d(c.srxLev));
}

void print_lte_intra(FILE* out, const LteIntraFreqInfo& l) {
  std::fprintf(out, "\nLTE Information - INtra Frequency \n");
  std::fprintf(out, "UE in Idle    : %x \n", u(l.ueInIdle));
  print_plmn(out, "PLMN info     : ", l.plmn);
  std::fprintf(out, "TAC                   : %x \n", u(l.tac));
  std::fprintf(out, "Global Cell Id        : %x \n", u(l.globalCellId));
  std::fprintf(out, "EARFCN                : %x \n", u(l.earfcn));
  std::fprintf(out, "Serving Cell Id       : %x \n", u(l.servingCellId));
  std::fprintf(out, "Cell Resel Priority   : %x \n", u(l.cellReselPriority));
  std::fprintf(out, "Non-Intra Search      : %x \n", u(l.sNonIntraSearch));
  std::fprintf(out, "Serving Cell Threshold: %x \n", u(l.threshServingLow));
  std::fprintf(out, "Intra Search          : %x \n", u(l.sIntraSearch));
  std::fprintf(out, "No. of sets of following info : %x \n", u(l.cellCount));
  for (int i = 0; i < l.cellCount; ++i) {
    std::fprintf(out, "\tCell Number %d Information \n", i + 1);
    print_lte_cell(out, l.cells[i]);
  }
}

void print_lte_inter(FILE* out, const LteInterFreqInfo& l) {
  std::fprintf(out, "\nLTE Information - Inter Frequency \n");
  std::fprintf(out, "UE in Idle    : %x \n", u(l.ueInIdle));
  std::fprintf(out, "Frequency Len : %d \n", d(l.frequencyCount));
  for (int i = 0; i < l.frequencyCount; ++i) {
    const LteInterFrequency& f = l.frequencies[i];
    std::fprintf(out, "Frequency Number %d Information \n", i + 1);
    std::fprintf(out, "EARFCN            : %d \n", d(f.earfcn));
    std::fprintf(out, "Thresh X Low      : %d \n", d(f.threshXLow));
    std::fprintf(out, "Thresh X High     : %d \n", d(f.threshXHigh));
    std::fprintf(out, "Cell Resel Pty    : %d \n", d(f.cellReselPriority));
    std::fprintf(out, "Cells Length      : %d \n", d(f.cellCount));
    for (int k = 0; k < f.cellCount; ++k) {
      std::fprintf(out, "Cell Number %d Information \n", k + 1);
      print_lte_cell(out, f.cells[k]);
    }
  }
}

void print_lte_gsm(FILE* out, const LteGsmNeighbourInfo& l) {
  std::fprintf(out, "\nLTE Information - Neighboring GSM \n");
  std::fprintf(out, "UE in Idle    : %x \n", u(l.ueInIdle));
  std::fprintf(out, "Frequency Len : %d \n", d(l.frequencyCount));
  for (int i = 0; i < l.frequencyCount; ++i) {
    const LteGsmFrequency& f = l.frequencies[i];
    std::fprintf(out, "\tFrequency Number %d Information \n", i + 1);
    std::fprintf(out, "\tCell Resel Pty    : %d \n", d(f.cellReselPriority));
    std::fprintf(out, "\tThresh GSM High   : %d \n", d(f.threshGsmHigh));
    std::fprintf(out, "\tThresh GSM Low    : %d \n", d(f.threshGsmLow));
    std::fprintf(out, "\tNCC Permitted     : %x \n", u(f.nccPermitted));
    std::fprintf(out, "\tCells Length      : %d \n", d(f.cellCount));
    for (int k = 0; k < f.cellCount; ++k) {
      const LteGsmCell& c = f.cells[k];
      std::fprintf(out, "\tGSM Cell Number %d Information \n", k + 1);
      std::fprintf(out, "\t\tARFCN         : %d \n", d(c.arfcn));
      std::fprintf(out, "\t\tBand_1900     : %x \n", u(c.band1900));
      std::fprintf(out, "\t\tCell ID Valid : %x \n", u(c.cellIdValid));
      std::fprintf(out, "\t\tBSIC ID       : %x \n", u(c.bsicId));
      std::fprintf(out, "\t\tRSSI          : %d \n", d(c.rssi));
      std::fprintf(out, "\t\tSRX-lev       : %d \n", d(c.srxLev));
    }
  }
}

void print_lte_wcdma(FILE* out, const LteWcdmaNeighbourInfo& l) {
  std::fprintf(out, "\nLTE Information - Neighboring WCDMA \n");
  std::fprintf(out, "UE in Idle    : %x \n", u(l.ueInIdle));
  std::fprintf(out, "Frequency Len : %d \n", d(l.frequencyCount));
  for (int i = 0; i < l.frequencyCount; ++i) {
    const LteWcdmaFrequency& f = l.frequencies[i];
    std::fprintf(out, "\tFrequency Number %d Information \n", i + 1);
    std::fprintf(out, "\tUARFCN          : %d \n", d(f.uarfcn));
    std::fprintf(out, "\tCell Resel Pty  : %d \n", d(f.cellReselPriority));
    std::fprintf(out, "\tThresh X High   : %d \n", d(f.threshXHigh));
    std::fprintf(out, "\tThresh X Low    : %d \n", d(f.threshXLow));
    std::fprintf(out, "\tCells Length    : %d \n", d(f.cellCount));
    for (int k = 0; k < f.cellCount; ++k) {
      const LteWcdmaCell& c = f.cells[k];
      std::fprintf(out, "\tWCDMA Cell Number %d Information \n", k + 1);
      std::fprintf(out, "\t\tPSC        : %d \n", d(c.psc));
      std::fprintf(out, "\t\tCPICH_RSCP : %d \n", d(c.cpichRscp));
      std::fprintf(out, "\t\tCPICH_ECNO : %d \n", d(c.cpichEcno));
      std::fprintf(out, "\t\tSRX-lev    : %d \n", d(c.srxLev));
    }
  }
}

void print_umts_cell_id(FILE* out, uint32_t cell_id) {
  std::fprintf(out, "\nUMTS Cell ID \n");
  std::fprintf(out, "UMTS Cell ID  : 0x%x \n", u(cell_id));
}

// RSRP and RSRQ arrive as unsigned 32-bit words and are shown as their value
// in single precision.
double as_float(uint32_t word) {
  return static_cast<float>(word);
}

void print_wcdma_lte(FILE* out, const WcdmaLteNeighbourInfo& w) {
  std::fprintf(out, "\nWCDMA Information - LTE Neighboring cell info \n");
  std::fprintf(out, "WCDMA RRC State            : %x \n", u(w.rrcState));
  std::fprintf(out, "UMTS LTE neighbor cell Len : %x \n", u(w.cellCount));
  for (int i = 0; i < w.cellCount; ++i) {
    const WcdmaLteCell& c = w.cells[i];
    std::fprintf(out, "\tNumber %d Information \n", i + 1);
    std::fprintf(out, "\tEARFCN           : %d \n", d(c.earfcn));
    std::fprintf(out, "\tPhysical Cell ID : %d \n", d(c.pci));
    std::fprintf(out, "\tRSRP             : %f \n", as_float(c.rsrp));
    std::fprintf(out, "\tRSRQ             : %f \n", as_float(c.rsrq));
    std::fprintf(out, "\tSRX Lev          : %d \n", d(c.srxLev));
    std::fprintf(out, "\tCell is TDD      : %d \n", d(c.isTdd));
  }
}

}  // namespace

void print_cell_location(FILE* out, const CellLocationInfo& info) {
  if (info.geran != nullptr) print_geran(out, *info.geran);
  if (info.umts != nullptr) print_umts(out, *info.umts);
  if (info.cdma != nullptr) print_cdma(out, *info.cdma);
  if (info.lteIntra != nullptr) print_lte_intra(out, *info.lteIntra);
  if (info.lteInter != nullptr) print_lte_inter(out, *info.lteInter);
  if (info.lteGsm != nullptr) print_lte_gsm(out, *info.lteGsm);
  if (info.lteWcdma != nullptr) print_lte_wcdma(out, *info.lteWcdma);
  if (info.umtsCellId != nullptr) print_umts_cell_id(out, *info.umtsCellId);
  if (info.wcdmaLte != nullptr) print_wcdma_lte(out, *info.wcdmaLte);
}

}  // namespace vant
