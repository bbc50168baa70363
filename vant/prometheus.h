// The serving cell as Prometheus text exposition (format 0.0.4), written
// for node_exporter's textfile collector.
#pragma once

#include <optional>
#include <string>

#include "vant/radio_report.h"
#include "vant/serving_sample.h"

namespace vant::cli {

// The metrics of one poll of modem `modem` at `unix_time`; an empty sample
// means the poll failed (vant_up 0, no cell metrics). `extras` add the SINR,
// the NR5G signal and the bands in use (vant_band_info) where the modem gave them.
std::string prometheus_text(const std::optional<ServingSample>& sample, unsigned modem,
                            double unix_time, const RadioExtras& extras = {});

// A label value with backslash, double quote and line feed escaped.
std::string escape_label_value(const std::string& value);

// Writes `text` to a hidden temporary file beside `path` (created
// exclusively under an unpredictable name, mode 0644) and renames it over
// `path`, so that a reader sees the old file or the new one, never a part.
// false with `error` set when that fails; the temporary file is removed.
bool write_file_atomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace vant::cli
