#include "vant/prometheus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vant/units.h"

namespace vant::cli {
namespace {

struct Label {
  std::string name;
  std::string value;
};

std::string number_text(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string labels_text(const std::vector<Label>& labels) {
  std::string out = "{";
  for (size_t i = 0; i < labels.size(); ++i) {
    if (i > 0) out += ",";
    out += labels[i].name + "=\"" + escape_label_value(labels[i].value) + "\"";
  }
  return out + "}";
}

class Exposition {
 public:
  explicit Exposition(unsigned modem) : modem_label_{"modem", std::to_string(modem)} {}

  void gauge(const char* name, const char* help, double value, std::vector<Label> extra = {}) {
    header(name, help);
    sample(name, value, std::move(extra));
  }
  // One metric with several samples: its help and type once.
  void header(const char* name, const char* help) {
    text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
  }
  void sample(const char* name, double value, std::vector<Label> extra) {
    extra.insert(extra.begin(), modem_label_);
    text_ += name + labels_text(extra) + " " + number_text(value) + "\n";
  }
  const std::string& text() const { return text_; }

 private:
  Label modem_label_;
  std::string text_;
};

std::vector<Label> cell_labels(const ServingSample& s) {
  std::vector<Label> labels{{"technology", rat_name(s.rat)}};
  if (s.rat == Rat::kNone) return labels;
  labels.push_back({"mcc", s.plmn ? s.plmn->mcc : ""});
  labels.push_back({"mnc", s.plmn ? s.plmn->mnc : ""});
  // The same names as the JSON keys of the sample.
  const Json keys = serving_sample_json(s);
  for (const char* name : {"earfcn", "uarfcn", "arfcn", "pci", "psc", "bsic", "tac", "lac",
                           "global_cell_id", "cell_id"}) {
    if (keys.contains(name)) labels.push_back({name, std::to_string(keys[name].get<uint64_t>())});
  }
  return labels;
}

void signal_gauges(Exposition& e, const ServingSample& s) {
  if (s.rsrp_tenths)
    e.gauge("vant_rsrp_dbm", "RSRP of the serving LTE cell, in dBm.", from_tenths(*s.rsrp_tenths));
  if (s.rsrq_tenths)
    e.gauge("vant_rsrq_db", "RSRQ of the serving LTE cell, in dB.", from_tenths(*s.rsrq_tenths));
  if (s.rssi_tenths)
    e.gauge("vant_rssi_dbm", "RSSI of the serving LTE cell, in dBm.", from_tenths(*s.rssi_tenths));
  if (s.rscp_dbm) e.gauge("vant_rscp_dbm", "RSCP of the serving UMTS cell, in dBm.", *s.rscp_dbm);
  if (s.ecio_db) e.gauge("vant_ecio_db", "Ec/Io of the serving UMTS cell, in dB.", *s.ecio_db);
  if (s.rx_level) {
    if (const auto dbm = rx_level_dbm(*s.rx_level))
      e.gauge("vant_rx_level_dbm", "Receive level of the serving GSM cell, lower edge in dBm.",
              *dbm);
  }
}

void radio_gauges(Exposition& e, const RadioExtras& x) {
  if (x.signal && x.signal->lteReported)
    e.gauge("vant_sinr_db", "SINR of the serving LTE cell, in dB.", from_tenths(x.signal->lteSnr));
  if (x.signal && x.signal->nrReported && x.signal->nrRsrp != kSignalNotConnected)
    e.gauge("vant_nr5g_rsrp_dbm", "RSRP of the NR5G serving cell, in dBm.", x.signal->nrRsrp);
  if (x.signal && x.signal->nrRsrqReported && x.signal->nrRsrq != kSignalNotConnected)
    e.gauge("vant_nr5g_rsrq_db", "RSRQ of the NR5G serving cell, in dB.", x.signal->nrRsrq);
  if (x.signal && x.signal->nrReported && x.signal->nrSnr != kSignalNotConnected)
    e.gauge("vant_nr5g_sinr_db", "SINR of the NR5G serving cell, in dB.",
            from_tenths(x.signal->nrSnr));
  if (!x.bands || x.bands->count == 0) return;
  e.header("vant_band_info", "A band and channel in use; the value is always 1.");
  for (const Json& b : active_bands_json(*x.bands))
    e.sample("vant_band_info", 1,
             {{"technology", b["technology"].get<std::string>()},
              {"band", b["band"].is_null() ? "" : std::to_string(b["band"].get<unsigned>())},
              {"channel", std::to_string(b["channel"].get<uint32_t>())}});
}

bool write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The mkstemp template of the temporary file: hidden, beside `path` (a
// rename stays on one file system) and not ending in ".prom", so that the
// textfile collector never reads a half-written file.
std::string temporary_template(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + base + ".XXXXXX";
}

}  // namespace

std::string escape_label_value(const std::string& value) {
  std::string out;
  for (const char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string prometheus_text(const std::optional<ServingSample>& sample, unsigned modem,
                            double unix_time, const RadioExtras& extras) {
  Exposition e(modem);
  e.gauge("vant_up", "Whether the last poll of the modem succeeded.", sample ? 1 : 0);
  e.gauge("vant_last_poll_timestamp_seconds", "When the modem was last polled, in Unix time.",
          unix_time);
  if (sample) {
    e.gauge("vant_serving_cell_info", "The serving cell; the value is always 1.", 1,
            cell_labels(*sample));
    signal_gauges(e, *sample);
    radio_gauges(e, extras);
  }
  return e.text();
}

bool write_file_atomically(const std::string& path, const std::string& text, std::string& error) {
  // The directory may be writable by others (a sticky /tmp, a textfile
  // folder shared with another user): the name is unpredictable and the file
  // is created exclusively, so nothing planted there in advance, a symbolic
  // link above all, is opened in its place.
  std::string temporary = temporary_template(path);
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = temporary + ": " + std::strerror(errno);
    return false;
  }
  // mkostemp creates the file 0600; node_exporter runs as another user.
  const bool written = fchmod(fd, 0644) == 0 && write_all(fd, text) && fsync(fd) == 0;
  const int saved = errno;
  const bool closed = close(fd) == 0;
  if (!written || !closed) {
    error = temporary + ": " + std::strerror(written ? errno : saved);
    unlink(temporary.c_str());
    return false;
  }
  // rename replaces `path` itself, also when it is a symbolic link.
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace vant::cli
