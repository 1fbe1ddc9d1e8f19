// Data-array pools and hash tables against the plain structures they stand
// in for. After the runs, each pair is printed as a ratio (ours / theirs).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchRatios.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/HashTable.h"

namespace {

const int kCount = 4096;

struct Rec : EDataElement {
  int a;
  int b;
};

struct PlainRec {
  int a;
  int b;
};

std::vector<int> ShuffledIndices(int n) {
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = i;
  uint32_t s = 7;
  for (int i = n - 1; i > 0; --i) {
    s = s * 1103515245u + 12345u;
    std::swap(v[i], v[(s >> 8) % (uint32_t)(i + 1)]);
  }
  return v;
}

void BM_PoolLookup(benchmark::State& state) {
  EDataArray<Rec> pool("bench", kCount, 0, kMEMTYPE_Misc);
  std::vector<EDataId> ids(kCount);
  for (int i = 0; i < kCount; ++i) {
    ids[i] = pool.ElementNew();
    pool.ElementGet(ids[i])->a = i;
  }
  std::vector<int> order = ShuffledIndices(kCount);
  std::vector<EDataId> shuffled(kCount);
  for (int i = 0; i < kCount; ++i) shuffled[i] = ids[order[i]];
  for (auto _ : state) {
    int64_t sum = 0;
    for (EDataId id : shuffled) sum += pool.ElementGet(id)->a;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

// The same records in a plain array, reached by index.
void BM_PlainArrayIndex(benchmark::State& state) {
  std::vector<Rec> recs(kCount);
  for (int i = 0; i < kCount; ++i) recs[i].a = i;
  std::vector<int> shuffled = ShuffledIndices(kCount);
  for (auto _ : state) {
    int64_t sum = 0;
    for (int i : shuffled) sum += recs[i].a;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void BM_PoolNewDelete(benchmark::State& state) {
  EDataArray<Rec> pool("bench", kCount, 0, kMEMTYPE_Misc);
  std::vector<EDataId> ids(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) ids[i] = pool.ElementNew();
    for (int i = 0; i < kCount; ++i) pool.ElementDeleteByID(ids[i]);
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void BM_HeapNewDelete(benchmark::State& state) {
  std::vector<PlainRec*> recs(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      recs[i] = new PlainRec();
      benchmark::DoNotOptimize(recs[i]);
    }
    for (int i = 0; i < kCount; ++i) delete recs[i];
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

std::vector<std::string> Keys() {
  std::vector<std::string> keys;
  char buf[64];
  for (int i = 0; i < kCount; ++i) {
    snprintf(buf, sizeof(buf), "textures\\level%d\\surface_%d.tga", i % 17, i);
    keys.push_back(buf);
  }
  return keys;
}

void BM_HashGet(benchmark::State& state) {
  std::vector<std::string> keys = Keys();
  EHashTable<intptr_t> table;
  for (int i = 0; i < kCount; ++i) table.Set(keys[i].c_str(), i);
  for (auto _ : state) {
    intptr_t sum = 0;
    for (const std::string& k : keys) sum += table.Find(k.c_str(), 0);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void BM_UnorderedMapGet(benchmark::State& state) {
  std::vector<std::string> keys = Keys();
  std::unordered_map<std::string, intptr_t> map;
  for (int i = 0; i < kCount; ++i) map[keys[i]] = i;
  for (auto _ : state) {
    intptr_t sum = 0;
    for (const std::string& k : keys) {
      auto it = map.find(k);
      sum += it == map.end() ? 0 : it->second;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void BM_HashSet(benchmark::State& state) {
  std::vector<std::string> keys = Keys();
  for (auto _ : state) {
    EHashTable<intptr_t> table;
    for (int i = 0; i < kCount; ++i) table.Set(keys[i].c_str(), i);
    benchmark::DoNotOptimize(table.GetNumEntries());
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void BM_UnorderedMapSet(benchmark::State& state) {
  std::vector<std::string> keys = Keys();
  for (auto _ : state) {
    std::unordered_map<std::string, intptr_t> map;
    for (int i = 0; i < kCount; ++i) map[keys[i]] = i;
    benchmark::DoNotOptimize(map.size());
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

BENCHMARK(BM_PoolLookup);
BENCHMARK(BM_PlainArrayIndex);
BENCHMARK(BM_PoolNewDelete);
BENCHMARK(BM_HeapNewDelete);
BENCHMARK(BM_HashGet);
BENCHMARK(BM_UnorderedMapGet);
BENCHMARK(BM_HashSet);
BENCHMARK(BM_UnorderedMapSet);

const std::vector<benchratios::Ratio> kRatios = {
    {"pool lookup / plain array index (target <= 2)", "BM_PoolLookup", "BM_PlainArrayIndex"},
    {"pool new+delete / heap new+delete", "BM_PoolNewDelete", "BM_HeapNewDelete"},
    {"hash get / unordered_map find (target <= 2)", "BM_HashGet", "BM_UnorderedMapGet"},
    {"hash set / unordered_map insert", "BM_HashSet", "BM_UnorderedMapSet"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
