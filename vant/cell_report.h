// The cell location report as a JSON document: per technology the serving
// cell and the neighbours, in physical units. Technologies the modem did not
// report are left out.
#pragma once

#include "vant/json_value.h"
#include "vantsdk/cell_location_records.h"

namespace vant::cli {

// Whether the modem sent the TLV behind a record: the request presets every
// record to "not reported" values, which a sent TLV overwrites.
bool geran_reported(const GeranInfo& g);
bool umts_reported(const UmtsInfo& u);
bool cdma_reported(const CdmaInfo& c);
bool lte_intra_reported(const LteIntraFreqInfo& l);
bool lte_neighbours_reported(uint8_t ue_in_idle, uint8_t frequency_count);

Json cell_report_json(const CellLocationRecords& records);

// The PLMN as "mcc" and "mnc" members of `object` (null when undecodable).
void put_plmn(Json& object, const uint8_t (&plmn)[3]);
// An LTE cell's measurements (pci, rsrp_dbm, rsrq_db, rssi_dbm, srx_lev_db).
Json lte_cell_json(const LteCell& cell);

}  // namespace vant::cli
