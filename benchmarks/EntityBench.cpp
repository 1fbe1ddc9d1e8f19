// Entity table: a domain-restricted iteration over 10,000 entities (half of
// them in the domain) against a plain loop over a vector of the same
// pointers that reads each entity's owner-domain mark, printed as a ratio
// at the end of one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "BenchRatios.h"
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

const std::vector<benchratios::Ratio> kRatios = {
    {"domain iteration vs vector of pointers (target <= 2)", "BM_DomainIteration", "BM_VectorReadingMarks"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
