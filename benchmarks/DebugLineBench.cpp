// Debug lines: queueing 16,384 unculled lines and drawing them, against
// pushing the same 32,768 vertices straight through one push buffer.
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "VERirezo/DebugLine.h"

namespace {

ERenderer* s_pRenderer = nullptr;
PCGameApp* s_pApp = nullptr;
EDebugLineManager* s_pLines = nullptr;

EVec3 LineEnd(int i, int end) { return EVec3((float)(i % 128) - 64.0f, (float)(i / 128) - 64.0f, -100.0f - (float)end); }

void BM_QueueAndDrawLines(benchmark::State& state) {
  const EVec4 colour(1.0f, 0.5f, 0.25f, 1.0f);
  for (auto _ : state) {
    s_pLines->ResetFrame();
    for (int i = 0; i < kMAX_DEBUG_LINES; ++i) s_pLines->AddLine(LineEnd(i, 0), LineEnd(i, 10), &colour, kDEBUGLINE_NO_CULL);
    s_pLines->DrawAll();
  }
}
BENCHMARK(BM_QueueAndDrawLines)->Unit(benchmark::kMicrosecond);

void BM_PushVertices(benchmark::State& state) {
  const uint32_t colour = 0xFFFF8040u;
  for (auto _ : state) {
    s_pApp->SetShaderDiffuseColor(EVec4(1.0f, 1.0f, 1.0f, 1.0f));
    uint32_t* p = s_pRenderer->BeginPush(kVBDRAWMODE_LINELIST, 4u * 2u * kMAX_DEBUG_LINES + 4u);
    for (int i = 0; i < kMAX_DEBUG_LINES; ++i) {
      RendererPushData(p, LineEnd(i, 0));
      RendererPushData(p, colour);
      RendererPushData(p, LineEnd(i, 10));
      RendererPushData(p, colour);
    }
    s_pRenderer->EndPush(p);
  }
}
BENCHMARK(BM_PushVertices)->Unit(benchmark::kMicrosecond);

const std::vector<benchratios::Ratio> kRatios = {
    {"16384 debug lines queued and drawn / the same vertices pushed (target <= 2)", "BM_QueueAndDrawLines",
     "BM_PushVertices"},
};

}  // namespace

int main(int argc, char** argv) {
  if (!getenv("DISPLAY")) {
    fprintf(stderr, "DebugLineBench needs an X display with OpenGL (try xvfb-run).\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  s_pRenderer = new ERenderer();
  s_pRenderer->m_DisplayOptions.m_dwWidth = 320;
  s_pRenderer->m_DisplayOptions.m_dwHeight = 240;
  s_pRenderer->m_DisplayOptions.m_fGamma = 1.0f;
  if (!s_pRenderer->Init(nullptr, 0)) {
    fprintf(stderr, "The renderer did not start.\n");
    return 1;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  s_pRenderer->RestoreRenderTarget();
  s_pRenderer->BeginRender();
  s_pApp = new PCGameApp();
  gGameApp = s_pApp;
  ECamera camera;
  camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  camera.UpdateMatrices();
  s_pApp->SetRenderCamera(&camera);
  s_pApp->m_aCameraChannels[0].m_pCamera = &camera;
  s_pLines = new EDebugLineManager();

  benchratios::TimesReporter times;
  benchmark::RunSpecifiedBenchmarks(&times);
  benchratios::PrintRatios(times, kRatios);

  delete s_pLines;
  s_pApp->SetRenderCamera(nullptr);
  s_pApp->m_aCameraChannels[0].m_pCamera = nullptr;
  gGameApp = nullptr;
  delete s_pApp;
  GameApp::ReleaseShaderPasses();
  s_pRenderer->EndRender();
  s_pRenderer->Shutdown();
  delete s_pRenderer;
  SDL_Quit();
  benchmark::Shutdown();
  return 0;
}
