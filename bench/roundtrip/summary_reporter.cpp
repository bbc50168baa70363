#include "bench/roundtrip/summary_reporter.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace vant::bench {
namespace {

// The median of the figures of all repetitions (the one figure when there is
// a single run).
double median_of(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A ratio column, or "-" when the floor did not run (filtered out).
std::string ratio(double value, double floor) {
  char text[32];
  if (floor > 0)
    std::snprintf(text, sizeof text, "%.2f", value / floor);
  else
    std::snprintf(text, sizeof text, "-");
  return text;
}

std::string format_row(const std::string& name, double median, double p99, double floor_median,
                       double floor_p99) {
  char row[200];
  std::snprintf(row, sizeof row, "%-40s %10.1f %10.1f %13s %10s", name.c_str(), median, p99,
                ratio(median, floor_median).c_str(), ratio(p99, floor_p99).c_str());
  return row;
}

}  // namespace

std::unique_ptr<benchmark::BenchmarkReporter> reporter_for_format(const std::string& format) {
  using benchmark::ConsoleReporter;
  if (format == "json") return std::make_unique<benchmark::JSONReporter>();
  const auto options =
      isatty(STDOUT_FILENO) ? ConsoleReporter::OO_Defaults : ConsoleReporter::OO_Tabular;
  return std::make_unique<ConsoleReporter>(options);
}

SummaryReporter::SummaryReporter(std::unique_ptr<BenchmarkReporter> inner, std::string floor_name,
                                 std::ostream& summary)
    : inner_(std::move(inner)), floor_name_(std::move(floor_name)), summary_(summary) {}

bool SummaryReporter::ReportContext(const Context& context) {
  return inner_->ReportContext(context);
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  inner_->ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    // Each repetition's own figures; with --benchmark_report_aggregates_only
    // only the median over the repetitions comes.
    const bool aggregate = run.run_type == Run::RT_Aggregate;
    if (aggregate && run.aggregate_name != "median") continue;
    const auto median = run.counters.find("median_us");
    const auto p99 = run.counters.find("p99_us");
    if (median == run.counters.end() || p99 == run.counters.end()) continue;
    Figures& figures = figures_of(run.run_name.function_name);
    (aggregate ? figures.aggregate_medians : figures.medians).push_back(median->second.value);
    (aggregate ? figures.aggregate_p99s : figures.p99s).push_back(p99->second.value);
  }
}

SummaryReporter::Figures& SummaryReporter::figures_of(const std::string& name) {
  const auto found = std::find_if(figures_.begin(), figures_.end(),
                                  [&](const Figures& f) { return f.name == name; });
  if (found != figures_.end()) return *found;
  // The floor heads the table, whatever order the runs came in.
  const auto at = name == floor_name_ ? figures_.begin() : figures_.end();
  return *figures_.insert(at, Figures{name, {}, {}, {}, {}});
}

void SummaryReporter::Finalize() {
  inner_->Finalize();
  print_summary();
}

double SummaryReporter::Figures::median() const {
  return median_of(medians.empty() ? aggregate_medians : medians);
}

double SummaryReporter::Figures::p99() const {
  return median_of(p99s.empty() ? aggregate_p99s : p99s);
}

size_t SummaryReporter::Figures::repetitions() const {
  return medians.empty() ? 0 : medians.size();
}

void SummaryReporter::print_summary() {
  if (figures_.empty() && notes_.empty()) return;
  double floor_median = 0, floor_p99 = 0;
  for (const Figures& f : figures_) {
    if (f.name != floor_name_) continue;
    floor_median = f.median();
    floor_p99 = f.p99();
  }
  if (!figures_.empty()) {
    char header[200];
    std::snprintf(header, sizeof header, "%-40s %10s %10s %13s %10s", "Summary (microseconds)",
                  "median", "p99", "median/floor", "p99/floor");
    summary_ << '\n' << header << '\n' << std::string(87, '-') << '\n';
    for (const Figures& f : figures_)
      summary_ << format_row(f.name, f.median(), f.p99(), floor_median, floor_p99) << '\n';
    if (figures_.front().repetitions() != 1)
      summary_ << "(each figure is the median over the repetitions)\n";
  }
  for (const std::string& note : notes_) summary_ << note << '\n';
  summary_.flush();
}

}  // namespace vant::bench
