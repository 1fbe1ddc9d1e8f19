// Throughput of the core containers against the standard library doing the
// same work, printed as ratios at the end of one run.
//
//   cmake -B build-bench -DQUILLOMAR_BENCH=ON && cmake --build build-bench --target ContainerBench
//   build-bench/benchmarks/ContainerBench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <list>
#include <vector>

#include "BenchRatios.h"
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

const std::vector<benchratios::Ratio> kRatios = {
    {"EArray append vs std::vector (target <= 1.5)", "BM_EArrayAppend", "BM_VectorAppend"},
    {"EArray iteration vs std::vector (target <= 1.5)", "BM_EArrayIterate", "BM_VectorIterate"},
    {"EArray remove-swap vs std::vector", "BM_EArrayRemoveSwap", "BM_VectorRemoveSwap"},
    {"EList insert/remove vs std::list", "BM_EListInsertRemove", "BM_StdListInsertRemove"},
    {"EMemStack push/pop vs malloc/free (target <= 0.1)", "BM_MemStackPushPop", "BM_MallocFree"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
