// Shared end of every benchmark program: the usual console output, the CPU
// time per iteration of each run kept by benchmark name, and after the runs
// one line per (ours, baseline) pair with the ratio of their CPU times.
//
// A label may carry its target, as in "tree sweep / every triangle
// (target <= 0.02)"; the line then also says whether the ratio met it.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace benchratios {

// Console output as usual, and the CPU seconds per iteration of every run
// (steadier than wall time on a busy machine), keyed by benchmark_name():
// "BM_X" for a plain benchmark, "BM_X/64" for one with an argument.
class TimesReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred && r.iterations > 0)
        m_Seconds[r.benchmark_name()] = r.cpu_accumulated_time / (double)r.iterations;
    ConsoleReporter::ReportRuns(runs);
  }
  // 0 when the run was filtered out or failed.
  double CpuSeconds(const std::string& name) const {
    auto it = m_Seconds.find(name);
    return it == m_Seconds.end() ? 0.0 : it->second;
  }

private:
  std::map<std::string, double> m_Seconds;
};

struct Ratio {
  const char* label;
  const char* ours;      // benchmark names as TimesReporter keys them
  const char* baseline;
};

// "met" or "MISSED" for a label carrying "target <= x" or "target >= x";
// nullptr for a label without a target.
inline const char* TargetVerdict(const char* label, double ratio) {
  const char* t = strstr(label, "target ");
  char op[3] = {};
  double bound = 0.0;
  if (!t || sscanf(t + 7, "%2[<>=] %lf", op, &bound) != 2) return nullptr;
  if (strcmp(op, "<=") == 0) return ratio <= bound ? "met" : "MISSED";
  if (strcmp(op, ">=") == 0) return ratio >= bound ? "met" : "MISSED";
  return nullptr;
}

inline void PrintRatios(const TimesReporter& times, const std::vector<Ratio>& ratios) {
  const char* heading = "ratios (cpu ns per iteration)";
  int width = (int)strlen(heading);
  for (const Ratio& r : ratios) width = std::max(width, (int)strlen(r.label));
  printf("\n%-*s %14s %14s %10s\n", width, heading, "ours", "baseline", "ratio");
  for (const Ratio& r : ratios) {
    const double ours = times.CpuSeconds(r.ours), base = times.CpuSeconds(r.baseline);
    if (ours <= 0.0 || base <= 0.0) continue;  // filtered out
    const double ratio = ours / base;
    const char* verdict = TargetVerdict(r.label, ratio);
    printf("%-*s %14.1f %14.1f %10.4f%s%s\n", width, r.label, ours * 1e9, base * 1e9, ratio, verdict ? "  " : "",
           verdict ? verdict : "");
  }
  fflush(stdout);
}

// The whole of a benchmark program's main: runs the benchmarks the command
// line selects and prints the ratios. `reporter`, when given, is used for the
// runs and keeps their times for lines of the program's own afterwards.
inline int RunAndPrintRatios(int argc, char** argv, const std::vector<Ratio>& ratios,
                             TimesReporter* reporter = nullptr) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimesReporter local;
  TimesReporter& times = reporter ? *reporter : local;
  benchmark::RunSpecifiedBenchmarks(&times);
  PrintRatios(times, ratios);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchratios
