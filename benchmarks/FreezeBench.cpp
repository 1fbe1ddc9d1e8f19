// The freeze manager's per-frame pass over far records against a plain loop
// that computes the squared distances of the same positions.
#include <vector>

#include "BenchRatios.h"
#include "VERirezo/FreezeManager.h"

namespace {

const int kRecords = 10000;

EVec3 FarPosition(int i) { return EVec3(10000.0f + (float)(i % 100) * 10.0f, 0.0f, (float)(i / 100) * 10.0f); }

void BM_FreezeProcessFrameFar(benchmark::State& state) {
  EFreezeManager fm;
  for (int i = 0; i < kRecords; ++i) {
    char* p = nullptr;
    fm.AddEntity("bench.Prop", p, nullptr, FarPosition(i), EQuat());
  }
  const EVec3 vReference(1, 2, 3);
  for (auto _ : state) fm.ProcessFrameAt(1.0f / 30.0f, vReference);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FreezeProcessFrameFar);

void BM_PlainDistanceLoop(benchmark::State& state) {
  std::vector<EVec3> positions;
  std::vector<float> distances(kRecords);
  for (int i = 0; i < kRecords; ++i) positions.push_back(FarPosition(i));
  const EVec3 vReference(1, 2, 3);
  for (auto _ : state) {
    for (int i = 0; i < kRecords; ++i) distances[(size_t)i] = (vReference - positions[(size_t)i]).LengthSquared();
    benchmark::DoNotOptimize(distances.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PlainDistanceLoop);

const std::vector<benchratios::Ratio> kRatios = {
    {"far-record pass / plain distance loop (target <= 2)", "BM_FreezeProcessFrameFar", "BM_PlainDistanceLoop"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
