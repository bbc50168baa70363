// Passes every report on to the reporter that --benchmark_format chose and
// keeps the median and 99th percentile of each benchmark's runs, so that a
// run ends with its figures side by side and their ratios to the floor, all
// measured in that one run.
#pragma once

#include <benchmark/benchmark.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace vant::bench {

// The reporter for a --benchmark_format value ("console" or "json").
std::unique_ptr<benchmark::BenchmarkReporter> reporter_for_format(const std::string& format);

class SummaryReporter final : public benchmark::BenchmarkReporter {
 public:
  // The summary goes to `summary`; floor_name names the benchmark that the
  // others are compared with.
  SummaryReporter(std::unique_ptr<BenchmarkReporter> inner, std::string floor_name,
                  std::ostream& summary);

  bool ReportContext(const Context& context) override;
  void ReportRuns(const std::vector<Run>& runs) override;
  // Finishes the inner report, then prints the summary and the notes.
  void Finalize() override;

  // A line printed under the summary (a figure measured outside the runs).
  void add_note(std::string line) { notes_.push_back(std::move(line)); }

 private:
  struct Figures {
    std::string name;
    std::vector<double> medians;  // one per repetition
    std::vector<double> p99s;
    std::vector<double> aggregate_medians;  // the "median" aggregate's
    std::vector<double> aggregate_p99s;
    // Over the repetitions, from whichever kind of report came.
    double median() const;
    double p99() const;
    size_t repetitions() const;
  };
  Figures& figures_of(const std::string& name);
  void print_summary();

  std::unique_ptr<BenchmarkReporter> inner_;
  std::string floor_name_;
  std::ostream& summary_;
  std::vector<Figures> figures_;  // the floor, then the others as they first ran
  std::vector<std::string> notes_;
};

}  // namespace vant::bench
