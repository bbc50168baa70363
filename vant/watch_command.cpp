#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/interrupt.h"
#include "vant/output.h"
#include "vant/prometheus.h"
#include "vant/serving_sample.h"
#include "vant/units.h"

namespace vant::cli {
namespace {

// A header again after this many rows, so that it stays in sight.
constexpr unsigned kRowsPerHeader = 20;

struct Poll {
  std::optional<ServingSample> sample;  // empty when the poll failed
  RadioExtras extras;
  std::string error;
  int status = kExitOk;
};

Poll poll_modem() {
  try {
    Poll poll{serving_sample(*read_cells()), {}, "", kExitOk};
    poll.extras = read_radio_extras();
    return poll;
  } catch (const CommandFailure& failure) {
    return {std::nullopt, {}, failure.what(), failure.status()};
  }
}

std::string utc_text(std::time_t now) {
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string signal_text(const ServingSample& s) {
  char text[96] = "";
  if (s.rsrp_tenths && s.rsrq_tenths) {
    std::snprintf(text, sizeof text, "rsrp %.1f dBm  rsrq %.1f dB", from_tenths(*s.rsrp_tenths),
                  from_tenths(*s.rsrq_tenths));
  } else if (s.rscp_dbm && s.ecio_db) {
    std::snprintf(text, sizeof text, "rscp %d dBm  ecio %d dB", *s.rscp_dbm, *s.ecio_db);
  } else if (s.rx_level) {
    std::snprintf(text, sizeof text, "rx level %u", static_cast<unsigned>(*s.rx_level));
  }
  return text;
}

void print_row(const Poll& poll, std::time_t now, unsigned row) {
  if (row % kRowsPerHeader == 0)
    std::printf("%-20s  %-4s  %-7s  %7s  %5s  %s\n", "TIME", "RAT", "PLMN", "CHANNEL", "CELL",
                "SIGNAL");
  const std::string time = utc_text(now);
  if (!poll.sample) {
    std::printf("%-20s  %s\n", time.c_str(), poll.error.c_str());
  } else {
    const ServingSample& s = *poll.sample;
    const std::string plmn = s.plmn ? s.plmn->mcc + "-" + s.plmn->mnc : "-";
    std::printf("%-20s  %-4s  %-7s  %7u  %5u  %s\n", time.c_str(), rat_name(s.rat), plmn.c_str(),
                static_cast<unsigned>(s.channel), static_cast<unsigned>(s.cell),
                signal_text(s).c_str());
  }
  std::fflush(stdout);
}

void print_json_line(const Poll& poll, std::time_t now) {
  Json line{{"time", utc_text(now)}, {"unix_time", static_cast<int64_t>(now)}};
  if (poll.sample) {
    line["serving"] = serving_sample_json(*poll.sample);
    const RadioExtras& x = poll.extras;
    line["signal"] = x.signal ? signal_json(*x.signal) : Json();
    line["nr5g"] = x.nr5g ? nr5g_cell_json(*x.nr5g) : Json();
    line["bands"] = x.bands ? active_bands_json(*x.bands) : Json();
  } else {
    line["serving"] = nullptr;
    line["error"] = poll.error;
  }
  print_text(json_text(line) + "\n");
}

}  // namespace

int run_watch(const GlobalOptions& global, const WatchOptions& options) {
  attach(global);
  catch_interrupts();
  int status = kExitOk;
  for (unsigned n = 0; options.count == 0 || n < options.count; ++n) {
    if (n > 0 && !sleep_unless_interrupted(options.interval)) break;
    const Poll poll = poll_modem();
    const std::time_t now = std::time(nullptr);
    if (poll.status != kExitOk) {
      std::fprintf(stderr, "vant: %s\n", poll.error.c_str());
      status = poll.status;
    }
    if (options.json_lines) {
      print_json_line(poll, now);
    } else {
      print_row(poll, now, n);
    }
    std::string error;
    if (!options.prometheus_file.empty() &&
        !write_file_atomically(
            options.prometheus_file,
            prometheus_text(poll.sample, global.modem, static_cast<double>(now), poll.extras),
            error))
      throw CommandFailure(kExitLocalFailure, "cannot write the metrics file " + error);
    if (interrupt_signal() != 0) break;
  }
  return status;
}

}  // namespace vant::cli
