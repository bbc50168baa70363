// Storage for one whole cell location report: a record for every member of
// CellLocationInfo, and the request that points at all of them.
//
// The records take about 1.8 MB (the three LTE neighbour records hold 255
// frequencies of 255 cells each), so keep them in static storage or on the
// heap, never on a stack.
#pragma once

#include <cstdint>

#include "vantsdk/nas.h"

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

namespace vant {

struct CellLocationRecords {
  GeranInfo geran;
  UmtsInfo umts;
  CdmaInfo cdma;
  LteIntraFreqInfo lteIntra;
  LteInterFreqInfo lteInter;
  LteGsmNeighbourInfo lteGsm;
  LteWcdmaNeighbourInfo lteWcdma;
  uint32_t umtsCellId;
  WcdmaLteNeighbourInfo wcdmaLte;

  // A request that wants every technology, each into its record here.
  CellLocationInfo request_all() {
    return {&geran, &umts, &cdma, &lteIntra, &lteInter, &lteGsm, &lteWcdma, &umtsCellId, &wcdmaLte};
  }
};

}  // namespace vant

#pragma GCC visibility pop
