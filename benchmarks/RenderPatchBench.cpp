// Tessellating a 24-triangle patch at level 15 through the patch store,
// against a plain loop that evaluates the same grid points and copies the
// output vertices.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "VERirezo/RenderPatch.h"

namespace {

const int kTRIANGLES = 24, kLEVEL = 15;

// A fan of 24 triangles around the centre, bent outward a little.
std::vector<VERTEX_1TEX_NORM> Fan() {
  std::vector<VERTEX_1TEX_NORM> v;
  const EVec3 centre(0, 0, -100);
  for (int i = 0; i < kTRIANGLES; ++i) {
    const float a0 = 6.2831853f * i / kTRIANGLES, a1 = 6.2831853f * (i + 1) / kTRIANGLES;
    const EVec3 p0 = centre + EVec3(cosf(a0), sinf(a0), 0) * 80.0f, p1 = centre + EVec3(cosf(a1), sinf(a1), 0) * 80.0f;
    v.push_back({centre, EVec3(0, 0, 1), EVec2(0.5f, 0.5f)});
    v.push_back({p0, EVec3(cosf(a0), sinf(a0), 2).GetNormal(), EVec2(0, 0)});
    v.push_back({p1, EVec3(cosf(a1), sinf(a1), 2).GetNormal(), EVec2(1, 0)});
  }
  return v;
}

struct World {
  World() : fan(Fan()) {
    gGameApp = &app;
    camera.SetPosition(EVec3(0, 0, 0));
    camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    camera.SetViewportWidth(640);
    camera.SetViewportHeight(480);
    camera.UpdateMatrices();
    app.GetCameraChannel(0).m_pCamera = &camera;
  }
  ~World() {
    app.GetCameraChannel(0).m_pCamera = nullptr;
    gGameApp = nullptr;
  }
  PCGameApp app;
  ECamera camera;
  std::vector<VERTEX_1TEX_NORM> fan;
};

void BM_PatchPreprocess(benchmark::State& state) {
  World w;
  ERenderPatchManager patches;
  for (auto _ : state) {
    patches.ResetFrame();
    patches.AddPatch(w.fan.data(), (int)w.fan.size(), 0);
    patches.PreprocessAll();
  }
  const ERenderPatch& p = (*patches.GetPatchArray())[0];
  if (p.m_iVertCount != kTRIANGLES * 3 * (kLEVEL + 1) * (kLEVEL + 1)) state.SkipWithError("the patch is not at level 15");
}
BENCHMARK(BM_PatchPreprocess);

// The same grid points evaluated and their triangles copied out.
void BM_PlainLoop(benchmark::State& state) {
  const std::vector<VERTEX_1TEX_NORM> fan = Fan();
  const int L = kLEVEL;
  std::vector<VERTEX_1TEX_NORM> grid((size_t)((L + 2) * (L + 3) / 2));
  std::vector<VERTEX_1TEX_NORM> out((size_t)(kTRIANGLES * 3 * (L + 1) * (L + 1)));
  const float step = 1.0f / (L + 1);
  for (auto _ : state) {
    VERTEX_1TEX_NORM* o = out.data();
    for (int k = 0; k < kTRIANGLES; ++k) {
      const VERTEX_1TEX_NORM* tri = fan.data() + 3 * k;
      EVec3 cp[10], cn[6];
      ERenderPatchManager::BuildControlPoints(tri, cp, cn);
      int g = 0;
      for (int i = 0; i <= L + 1; ++i)
        for (int j = 0; j <= i; ++j, ++g) {
          const float u = (i - j) * step, v = 1 - i * step, ww = j * step;
          ERenderPatchManager::EvaluateBezierPoint(cp, cn, u, v, ww, grid[g].vPos, grid[g].vNormal);
          grid[g].vTex = tri[0].vTex * u + tri[1].vTex * v + tri[2].vTex * ww;
        }
      for (int i = 1; i <= L + 1; ++i)
        for (int j = 0; j < i; ++j) {
          const int n = i * (i + 1) / 2 + j;
          if (i <= L) *o++ = grid[n], *o++ = grid[n + 1], *o++ = grid[n + i + 2];
          *o++ = grid[n], *o++ = grid[n + 1], *o++ = grid[n - i];
        }
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_PlainLoop);

const std::vector<benchratios::Ratio> kRatios = {
    {"patch preprocess / plain evaluation (target <= 2)", "BM_PatchPreprocess", "BM_PlainLoop"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
