// Entity table: a domain-restricted iteration over 10,000 entities (half of
// them in the domain) against a plain loop over a vector of the same
// pointers that reads each entity's owner-domain mark, printed as a ratio
// at the end of one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"

namespace {

const int kNumEntities = 10000;

// Two sibling domains, the entities alternating between them.
class BenchWorld {
public:
  BenchWorld() : m_Root(nullptr, nullptr) {
    m_pHalf = m_Root.CreateChildDomain("Half");
    m_pOther = m_Root.CreateChildDomain("Other");
    for (int i = 0; i < kNumEntities; ++i) {
      char name[32];
      snprintf(name, sizeof(name), "e%d", i);
      m_Entities.push_back(EMeshEntity::Create(i % 2 ? m_pOther : m_pHalf, name));
    }
  }
  ~BenchWorld() {
    for (EEntity* e : m_Entities) {
      e->InternalDelayedDelete();
      delete e;
    }
  }
  EDomain m_Root;
  EDomain* m_pHalf;
  EDomain* m_pOther;
  std::vector<EEntity*> m_Entities;
};

void BM_DomainIteration(benchmark::State& state) {
  BenchWorld world;
  for (auto _ : state) {
    int n = 0;
    for (EEntityIter it(world.m_pHalf); it; ++it) n += (*it != nullptr);
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * kNumEntities);
}
BENCHMARK(BM_DomainIteration);

void BM_VectorReadingMarks(benchmark::State& state) {
  BenchWorld world;
  for (auto _ : state) {
    int n = 0;
    for (EEntity* e : world.m_Entities) n += e->GetOwnerDomain()->IsMarked();
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * kNumEntities);
}
BENCHMARK(BM_VectorReadingMarks);

// Console output as usual; the processor time per iteration of every run is
// kept for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      m_Times[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const char* name) const {
    auto it = m_Times.find(name);
    return it == m_Times.end() ? 0.0 : it->second;
  }

private:
  std::map<std::string, double> m_Times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double ours = reporter.Time("BM_DomainIteration"), base = reporter.Time("BM_VectorReadingMarks");
  if (ours > 0.0 && base > 0.0) {
    const double ratio = ours / base;
    printf("\n%-40s %12s %12s %8s  %s\n", "comparison (cpu ns)", "iterator", "vector", "ratio", "target");
    printf("%-40s %12.1f %12.1f %8.3f  <= 2.00 %s\n", "domain iteration vs vector of pointers", ours, base, ratio,
           ratio <= 2.0 ? "met" : "MISSED");
  }
  benchmark::Shutdown();
  return 0;
}
