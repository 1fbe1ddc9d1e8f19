// Throughput of the math library's hot paths: matrix products, vector
// normalisation and quaternion interpolation.
#include <benchmark/benchmark.h>

#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Random.h"

namespace {

void BM_Mat4Multiply(benchmark::State& state) {
  EMat4 a = MatrixRotateEuler(EEuler(10, 20, 30));
  a.SetTranslation(EVec3(1, 2, 3));
  EMat4 b = MatrixRotateEuler(EEuler(-5, 40, 12)) * MatrixScale(1.5f, 1.5f, 1.5f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    EMat4 c = a * b;
    benchmark::DoNotOptimize(c);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mat4Multiply);

void BM_Vec3Normalize(benchmark::State& state) {
  ERand r;
  r.Seed(1234);
  EVec3 vs[256];
  for (EVec3& v : vs) v.Set(r.frand(-10, 10), r.frand(-10, 10), r.frand(-10, 10));
  unsigned i = 0;
  for (auto _ : state) {
    EVec3 v = vs[i++ & 255];
    benchmark::DoNotOptimize(v.Normalize());
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Vec3Normalize);

void BM_QuatSlerp(benchmark::State& state) {
  EQuat a = EQuat().FromEuler(EVec3(10, 20, 30));
  EQuat b = EQuat().FromEuler(EVec3(-60, 75, 5));
  float t = 0.0f;
  for (auto _ : state) {
    t += 0.001f;
    if (t > 1.0f) t = 0.0f;
    EQuat q = a.Slerp(b, t, true);
    benchmark::DoNotOptimize(q);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QuatSlerp);

}  // namespace

BENCHMARK_MAIN();
