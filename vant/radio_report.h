// What the newer messages add to the cell report: signal quality per
// technology (SINR included), the NR5G serving cell and the bands and
// channels in use. A modem too old for one of them refuses it; that part is
// then null rather than a failure of the whole report.
#pragma once

#include <optional>

#include "vant/cell_report.h"
#include "vantsdk/bands.h"

namespace vant::cli {

// What a watch poll reads beside the cell report; a part the modem refuses is empty.
struct RadioExtras {
  std::optional<SignalInfo> signal;
  std::optional<Nr5gCellInfo> nr5g;
  std::optional<RfBandInfo> bands;
};
RadioExtras read_radio_extras();

// Nothing when the modem refuses the request; a daemon or link failure throws.
std::optional<SignalInfo> read_signal();
std::optional<Nr5gCellInfo> read_nr5g_cell();
std::optional<RfBandInfo> read_active_bands();

// {"gsm": {"rssi_dbm"}, "wcdma": {"rssi_dbm", "ecio_db"},
//  "lte": {"rssi_dbm", "rsrq_db", "rsrp_dbm", "sinr_db"},
//  "nr5g": {"rsrp_dbm", "rsrq_db", "sinr_db"}}; a technology not reported is
// null, and so is an NR5G value the modem marks as not connected.
Json signal_json(const SignalInfo& info);
// The serving NR5G cell: {"mcc", "mnc", "nr_arfcn", "pci", "tac", "global_cell_id",
// "rsrp_dbm", "rsrq_db", "sinr_db"}, or null.
Json nr5g_cell_json(const Nr5gCellInfo& info);
// [{"technology": "lte" | "nr5g" | "umts" | "gsm" | "other", "band": N or null,
//   "channel": N}]
Json active_bands_json(const RfBandInfo& info);

}  // namespace vant::cli
