// Preparing and drawing 1,000 visible opaque fragments of two triangles
// (PreprocessAll then DrawAllOpaque) against a bare loop issuing the same
// 2,000 draws with two shader pairs alternating and no constants, textures
// or state. The renderer has no device: both sides go through the same
// draw entry, whose device work is skipped, so the ratio is the cost of the
// fragments' own bookkeeping.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"

namespace {

const int kFRAGS = 1000;

void BM_PreprocessAndDrawOpaque(benchmark::State& state) {
  ERenderer renderer;
  g_pCurrentRenderer = &renderer;
  const bool bWarnings = g_ErrorManager.IsEnabled(TT_Warning);
  g_ErrorManager.SetEnabled(TT_Warning, false);
  PCGameApp* app = new PCGameApp();
  gGameApp = app;
  app->m_DebugHooks.m_bLights = false;
  ECamera camera;
  camera.SetPosition(EVec3(0, 0, 0));
  camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  camera.SetViewportWidth(64);
  camera.SetViewportHeight(64);
  camera.UpdateMatrices();
  app->SetRenderCamera(&camera);
  app->GetCameraChannel(0).m_pCamera = &camera;
  EMeshFragManager manager;
  std::vector<EModelFrag*> models;
  std::vector<EMeshFrag*> frags;
  for (int i = 0; i < kFRAGS; ++i) {
    EModelFrag* m = EModelFragManager::ModelFragNew();
    m->m_aTextures[0] = 1 + (unsigned)(i & 1);
    m->m_vColor = EVec4(1, 1, 1, 1);
    m->m_nPolys = 2;
    m->m_Box = EBox3(EVec3(-1, -1, -101.0f - (float)i), EVec3(1, 1, -99.0f - (float)i));
    models.push_back(m);
    EMeshFrag* f = manager.MeshFragNew();
    *f = *m;
    frags.push_back(f);
  }
  for (auto _ : state) {
    manager.ResetFrame();
    for (EMeshFrag* f : frags) manager.MeshFragMarkVisible(f);
    manager.PreprocessAll(0);
    benchmark::DoNotOptimize(manager.DrawAllOpaque(kRENDERDOMAIN_SCENE));
  }
  state.SetItemsProcessed(state.iterations() * kFRAGS);
  for (EMeshFrag* f : frags) manager.MeshFragDelete(f);
  for (EModelFrag* m : models) EModelFragManager::ModelFragDelete(m);
  app->GetCameraChannel(0).m_pCamera = nullptr;
  app->SetRenderCamera(nullptr);
  gGameApp = nullptr;
  delete app;
  g_ErrorManager.SetEnabled(TT_Warning, bWarnings);
  g_pCurrentRenderer = nullptr;
}
BENCHMARK(BM_PreprocessAndDrawOpaque);

void BM_BareDrawLoop(benchmark::State& state) {
  ERenderer renderer;
  uint32_t streams[2] = {1, 2};
  for (auto _ : state) {
    for (int i = 0; i < 2 * kFRAGS; ++i) {
      renderer.SetVertexShader((uint32_t)(1 + (i & 1)));
      renderer.SetPixelShader((uint32_t)(1 + (i & 1)));
      renderer.DrawIndexedVertexBuffers(kVBDRAWMODE_TRIANGLELIST, 2, streams, 1, 6, 0);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFRAGS);
}
BENCHMARK(BM_BareDrawLoop);

const std::vector<benchratios::Ratio> kRatios = {
    {"PreprocessAll + DrawAllOpaque / bare draws (target <= 3)", "BM_PreprocessAndDrawOpaque", "BM_BareDrawLoop"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
