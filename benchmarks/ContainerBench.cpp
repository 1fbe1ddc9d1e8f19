// Throughput of the core containers against the standard library doing the
// same work, printed as ratios at the end of one run.
//
//   cmake -B build-bench -DQUILLOMAR_BENCH=ON && cmake --build build-bench --target ContainerBench
//   build-bench/benchmarks/ContainerBench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "TWUtil/Array.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/List.h"

namespace {

const int kCount = 1000;
const int kIterCount = 10000;
const int kPushes = 8;
const unsigned kPushSize = 64;

// --- Append: a fresh container filled with kCount ints.
void BM_EArrayAppend(benchmark::State& state) {
  for (auto _ : state) {
    EArray<int> a;
    for (int i = 0; i < kCount; ++i) a.AddData(i);
    benchmark::DoNotOptimize(a.GetData());
    benchmark::ClobberMemory();
  }
}
void BM_VectorAppend(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<int> v;
    for (int i = 0; i < kCount; ++i) v.push_back(i);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
}

// --- Iteration: summing kIterCount ints.
void BM_EArrayIterate(benchmark::State& state) {
  EArray<int> a;
  for (int i = 0; i < kIterCount; ++i) a.AddData(i);
  for (auto _ : state) {
    long long sum = 0;
    for (EArrayIter<int> it(a); it; ++it) sum += *it;
    benchmark::DoNotOptimize(sum);
  }
}
void BM_VectorIterate(benchmark::State& state) {
  std::vector<int> v;
  for (int i = 0; i < kIterCount; ++i) v.push_back(i);
  for (auto _ : state) {
    long long sum = 0;
    for (int x : v) sum += x;
    benchmark::DoNotOptimize(sum);
  }
}

// --- Remove-swap: a container of kCount ints drained from the front by
// moving the last element into the hole (the fill is part of the work).
void BM_EArrayRemoveSwap(benchmark::State& state) {
  for (auto _ : state) {
    EArray<int> a;
    for (int i = 0; i < kCount; ++i) a.AddData(i);
    while (a.Num() > 0) a.RemoveSwap(0, 1);
    benchmark::ClobberMemory();
  }
}
void BM_VectorRemoveSwap(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<int> v;
    for (int i = 0; i < kCount; ++i) v.push_back(i);
    while (!v.empty()) {
      v[0] = v.back();
      v.pop_back();
    }
    v.shrink_to_fit();
    benchmark::ClobberMemory();
  }
}

// --- List insert/remove: kCount pointers added at the tail, removed from
// the head.
void BM_EListInsertRemove(benchmark::State& state) {
  EList<void*> list;
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) list.AddTail(&list + i);
    while (!list.IsEmpty()) benchmark::DoNotOptimize(list.RemoveHead());
  }
}
void BM_StdListInsertRemove(benchmark::State& state) {
  std::list<void*> list;
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) list.push_back(&list + i);
    while (!list.empty()) {
      benchmark::DoNotOptimize(list.front());
      list.pop_front();
    }
  }
}

// --- Scratch memory: kPushes blocks of kPushSize bytes taken, each given a
// word as its user would, and all given back.
EMemStack& BenchStack() {
  static EMemStack* s_pStack = new EMemStack(1 << 20);
  return *s_pStack;
}
void BM_MemStackPushPop(benchmark::State& state) {
  EMemStack& stack = BenchStack();
  for (auto _ : state) {
    EMemMark mark(stack);
    for (int i = 0; i < kPushes; ++i) {
      unsigned char* p = stack.Push(kPushSize);
      memcpy(p, &i, sizeof(i));
    }
    benchmark::ClobberMemory();
  }
}
void BM_MallocFree(benchmark::State& state) {
  void* blocks[kPushes];
  for (auto _ : state) {
    for (int i = 0; i < kPushes; ++i) {
      blocks[i] = malloc(kPushSize);
      memcpy(blocks[i], &i, sizeof(i));
    }
    benchmark::ClobberMemory();
    for (int i = kPushes - 1; i >= 0; --i) free(blocks[i]);
  }
}

BENCHMARK(BM_EArrayAppend);
BENCHMARK(BM_VectorAppend);
BENCHMARK(BM_EArrayIterate);
BENCHMARK(BM_VectorIterate);
BENCHMARK(BM_EArrayRemoveSwap);
BENCHMARK(BM_VectorRemoveSwap);
BENCHMARK(BM_EListInsertRemove);
BENCHMARK(BM_StdListInsertRemove);
BENCHMARK(BM_MemStackPushPop);
BENCHMARK(BM_MallocFree);

// Console output as usual, and the processor time per iteration of every
// run (steadier than wall time on a busy machine) kept
// for the comparison table.
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

struct Comparison {
  const char* label;
  const char* ours;
  const char* theirs;
  // Target as a bound on ours/theirs (0: no target). A target below 1 asks
  // ours to be that many times faster.
  double target;
};

const Comparison kComparisons[] = {
    {"EArray append vs std::vector", "BM_EArrayAppend", "BM_VectorAppend", 1.5},
    {"EArray iteration vs std::vector", "BM_EArrayIterate", "BM_VectorIterate", 1.5},
    {"EArray remove-swap vs std::vector", "BM_EArrayRemoveSwap", "BM_VectorRemoveSwap", 0.0},
    {"EList insert/remove vs std::list", "BM_EListInsertRemove", "BM_StdListInsertRemove", 0.0},
    {"EMemStack push/pop vs malloc/free", "BM_MemStackPushPop", "BM_MallocFree", 0.1},
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  printf("\n%-36s %12s %12s %8s  %s\n", "comparison (cpu ns)", "ours", "standard", "ratio", "target");
  for (const Comparison& c : kComparisons) {
    double ours = reporter.Time(c.ours), theirs = reporter.Time(c.theirs);
    if (ours <= 0.0 || theirs <= 0.0) continue;  // filtered out
    double ratio = ours / theirs;
    char target[64] = "-";
    if (c.target > 0.0)
      snprintf(target, sizeof(target), "<= %.2f %s", c.target, ratio <= c.target ? "met" : "MISSED");
    printf("%-36s %12.1f %12.1f %8.3f  %s\n", c.label, ours, theirs, ratio, target);
  }
  benchmark::Shutdown();
  return 0;
}
