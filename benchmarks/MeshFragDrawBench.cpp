// Preparing and drawing 1,000 visible opaque fragments of two triangles
// (PreprocessAll then DrawAllOpaque, one base pass each) into a 64x64
// window against a bare loop issuing 2,000 draws of the same buffers with
// no constants, textures or state set. Needs an X display. No shader
// library is loaded: the fragments' setters are left out on both sides, so
// the ratio is the cost of the fragments' own bookkeeping and state.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"

namespace {

const int kFRAGS = 1000;

// Two triangles of four vertices with texture coordinates, shared by every
// model fragment and by the bare loop.
struct QuadBuffers {
  uint32_t hGeom = 0, hTexcoord = 0, hIndices = 0;
  explicit QuadBuffers(ERenderer* r) {
    const float v[24] = {-1, -1, -100, 0, 0, 1, 1, -1, -100, 0, 0, 1, -1, 1, -100, 0, 0, 1, 1, 1, -100, 0, 0, 1};
    const float uv[8] = {0, 1, 1, 1, 0, 0, 1, 0};
    const uint16_t idx[6] = {0, 2, 1, 2, 3, 1};
    hGeom = r->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, 4, 0, "Bench quad");
    hTexcoord = r->CreateVertexBuffer(kVBFORMAT_TEXCOORD0, 4, 0, "Bench quad UV");
    hIndices = r->CreateIndexBuffer(6, 0);
    memcpy(r->LockVertexBuffer(hGeom, 4, 0, 0), v, sizeof(v));
    r->UnlockVertexBuffer(hGeom);
    memcpy(r->LockVertexBuffer(hTexcoord, 4, 0, 0), uv, sizeof(uv));
    r->UnlockVertexBuffer(hTexcoord);
    memcpy(r->LockIndexBuffer(hIndices, 6, 0, 0), idx, sizeof(idx));
    r->UnlockIndexBuffer(hIndices);
  }
};

ERenderer* BenchRenderer() {
  static ERenderer* s_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
  return s_pRenderer;
}

// Two trivial shader pairs reading the quad's streams.
struct ShaderPairs {
  uint32_t ahVS[2] = {}, ahPS[2] = {};
  explicit ShaderPairs(ERenderer* r) {
    static const VBFORMAT kFormats[] = {kVBFORMAT_POSITION_NORMAL, kVBFORMAT_TEXCOORD0, kVBFORMAT_END};
    const char* vs[2] = {"mov oPos, v0\n", "mov oPos, v0\nmov oT0, v1\n"};
    const char* ps[2] = {"ps_1_1\nmov r0, c0\n", "ps_1_1\nmov r0, c1\n"};
    for (int i = 0; i < 2; ++i) {
      ahVS[i] = r->AssembleVertexShader(vs[i], (unsigned)strlen(vs[i]), i ? "bench1.vsh" : "bench0.vsh", kFormats, 0);
      ahPS[i] = r->AssemblePixelShader(ps[i], (unsigned)strlen(ps[i]), i ? "bench1.psh" : "bench0.psh", 0);
    }
  }
  void Bind(ERenderer* r, int i) const {
    r->SetVertexShader(ahVS[i]);
    r->SetPixelShader(ahPS[i]);
  }
};

void BM_PreprocessAndDrawOpaque(benchmark::State& state) {
  ERenderer* pRenderer = BenchRenderer();
  if (!pRenderer) {
    state.SkipWithError("needs an X display");
    return;
  }
  QuadBuffers quad(pRenderer);
  ShaderPairs shaders(pRenderer);
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
    m->m_nVerts = 4;
    m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM] = quad.hGeom;
    m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD] = quad.hTexcoord;
    m->m_hIndexBuffer = quad.hIndices;
    models.push_back(m);
    EMeshFrag* f = manager.MeshFragNew();
    *f = *m;
    frags.push_back(f);
  }
  pRenderer->BeginRender();
  shaders.Bind(pRenderer, 0);
  for (auto _ : state) {
    manager.ResetFrame();
    for (EMeshFrag* f : frags) manager.MeshFragMarkVisible(f);
    manager.PreprocessAll(0);
    benchmark::DoNotOptimize(manager.DrawAllOpaque(kRENDERDOMAIN_SCENE));
  }
  pRenderer->EndRender();
  state.SetItemsProcessed(state.iterations() * kFRAGS);
  for (EMeshFrag* f : frags) manager.MeshFragDelete(f);
  for (EModelFrag* m : models) {
    // The buffers are the quad's, shared.
    for (uint32_t& h : m->m_phVertBuffer) h = 0;
    m->m_hIndexBuffer = 0;
    EModelFragManager::ModelFragDelete(m);
  }
  app->GetCameraChannel(0).m_pCamera = nullptr;
  app->SetRenderCamera(nullptr);
  gGameApp = nullptr;
  delete app;
  g_ErrorManager.SetEnabled(TT_Warning, bWarnings);
}
BENCHMARK(BM_PreprocessAndDrawOpaque);

void BM_BareDrawLoop(benchmark::State& state) {
  ERenderer* pRenderer = BenchRenderer();
  if (!pRenderer) {
    state.SkipWithError("needs an X display");
    return;
  }
  QuadBuffers quad(pRenderer);
  ShaderPairs shaders(pRenderer);
  uint32_t streams[2] = {quad.hGeom, quad.hTexcoord};
  pRenderer->BeginRender();
  for (auto _ : state) {
    for (int i = 0; i < 2 * kFRAGS; ++i) {
      shaders.Bind(pRenderer, i & 1);
      pRenderer->DrawIndexedVertexBuffers(kVBDRAWMODE_TRIANGLELIST, 2, streams, quad.hIndices, 6, 0);
    }
    benchmark::ClobberMemory();
  }
  pRenderer->EndRender();
  state.SetItemsProcessed(state.iterations() * kFRAGS);
}
BENCHMARK(BM_BareDrawLoop);

const std::vector<benchratios::Ratio> kRatios = {
    {"PreprocessAll + DrawAllOpaque / bare draws (target <= 3)", "BM_PreprocessAndDrawOpaque", "BM_BareDrawLoop"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
