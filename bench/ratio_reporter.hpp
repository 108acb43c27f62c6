#pragma once
// Console reporter that keeps the fastest repetition of each benchmark: on a
// shared machine the minimum is the least disturbed figure, and ratios of two
// benchmarks of the same run are computed from it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  std::map<std::string, double> fastest;  // adjusted CPU time per iteration
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.run_name.function_name;
      const double t = run.GetAdjustedCPUTime();
      auto it = fastest.find(name);
      if (it == fastest.end() || t < it->second) fastest[name] = t;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};
