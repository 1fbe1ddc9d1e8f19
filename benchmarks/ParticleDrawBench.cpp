// Writing 10,000 camera-facing particles as quads into a push buffer
// against a plain loop writing the same 28-byte vertices into a buffer
// allocated beforehand.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "BenchRatios.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"

namespace {

const int kPARTICLES = 10000;

void BM_DrawQuadSprites(benchmark::State& state) {
  EDomain* pRoot = new EDomain(nullptr, nullptr);
  EDomain* pLevel = pRoot->CreateChildDomain("Level", &ECollisionManager::sm_CM);
  EParticleEmitterEntity* e = EParticleEmitterEntity::Create(pLevel, "bench");
  e->SetMaxParticles(kPARTICLES);
  e->SetActive(true);
  for (int i = 0; i < kPARTICLES; ++i) {
    PARTICLE* p = e->GetParticle(i);
    p->pos = EVec3((float)i, 1.0f, 2.0f);
    p->color = 0xFFFFFFFFu;
    p->size = 7.0f + (float)(i & 7);
  }
  // A renderer without a device: the buffers are written, their draws skipped.
  ERenderer renderer;
  g_pCurrentRenderer = &renderer;
  const bool bWarnings = g_ErrorManager.IsEnabled(TT_Warning);
  g_ErrorManager.SetEnabled(TT_Warning, false);
  EParticleManager manager;
  for (auto _ : state) manager.DrawQuadSprites(e, 0, kPARTICLES);
  g_ErrorManager.SetEnabled(TT_Warning, bWarnings);
  g_pCurrentRenderer = nullptr;
  state.SetItemsProcessed(state.iterations() * kPARTICLES);
  e->InternalDelayedDelete();
  delete e;
  delete pRoot;
}
BENCHMARK(BM_DrawQuadSprites);

struct BenchVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
  uint32_t offset;
};

void BM_PlainVertexLoop(benchmark::State& state) {
  std::vector<EVec3> pos(kPARTICLES);
  std::vector<float> size(kPARTICLES);
  for (int i = 0; i < kPARTICLES; ++i) {
    pos[i] = EVec3((float)i, 1.0f, 2.0f);
    size[i] = 7.0f + (float)(i & 7);
  }
  std::vector<BenchVertex> out((size_t)kPARTICLES * 4);
  const float u[4] = {0, 1, 1, 0}, v[4] = {1, 1, 0, 0};
  const int sx[4] = {-1, 1, 1, -1}, sy[4] = {-1, -1, 1, 1};
  for (auto _ : state) {
    BenchVertex* w = out.data();
    for (int i = 0; i < kPARTICLES; ++i) {
      const int t = (int)(size[i] * 0.5f);
      for (int k = 0; k < 4; ++k, ++w) {
        w->x = pos[i].x;
        w->y = pos[i].y;
        w->z = pos[i].z;
        w->colour = 0xFFFFFFFFu;
        w->u = u[k];
        w->v = v[k];
        w->offset = (uint32_t)(uint16_t)(int16_t)(sx[k] * t) | ((uint32_t)(uint16_t)(int16_t)(sy[k] * t) << 16);
      }
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPARTICLES);
}
BENCHMARK(BM_PlainVertexLoop);

const std::vector<benchratios::Ratio> kRatios = {
    {"particle quads / plain vertex loop (target <= 2)", "BM_DrawQuadSprites", "BM_PlainVertexLoop"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
