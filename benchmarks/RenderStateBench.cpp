// Render-state changes per second, with the renderer's cache and without it.
// Needs an X display with OpenGL, for example:
//   xvfb-run -a -s "-screen 0 640x480x24 +extension GLX" build/benchmarks/RenderStateBench
#include <benchmark/benchmark.h>

#include <SDL/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "TWGraphics/Renderer.h"

namespace {

ERenderer* s_pRenderer = nullptr;

ERenderState StateA() {
  ERenderState s;
  return s;
}

// Differs from StateA in every group of settings.
ERenderState StateB() {
  ERenderState s;
  s.m_eBlendMode = kBLENDMODE_ADD;
  s.m_eStencilMode = kSTENCILMODE_EQUAL;
  s.m_byStencilRef = 3;
  s.m_eShadeMode = kSHADE_FLAT;
  s.m_eCullMode = kCULL_BACK;
  s.m_bZWriteEnable = false;
  s.m_eZFunc = kCMP_LESS;
  s.m_byZBias = 4;
  s.m_eAlphaFunc = kCMP_GREATER;
  s.m_byAlphaRef = 64;
  s.m_bFogEnable = true;
  s.m_dwFogColor = 0xFF808080u;
  return s;
}

// The same state again: the cache turns it into comparisons.
void BM_SetRenderStateUnchanged(benchmark::State& state) {
  ERenderState s = StateA();
  s_pRenderer->SetRenderState(&s);
  for (auto _ : state) s_pRenderer->SetRenderState(&s);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetRenderStateUnchanged);

// Two states in turn: every call changes most settings.
void BM_SetRenderStateChanging(benchmark::State& state) {
  ERenderState a = StateA(), b = StateB();
  bool flip = false;
  for (auto _ : state) {
    s_pRenderer->SetRenderState(flip ? &a : &b);
    flip = !flip;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetRenderStateChanging);

// The same state with the cache thrown away each time: every setting reaches
// OpenGL, as it would without the cache.
void BM_SetRenderStateWithoutCache(benchmark::State& state) {
  ERenderState s = StateA();
  for (auto _ : state) {
    s_pRenderer->invalidateRenderStates();
    s_pRenderer->SetRenderState(&s);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetRenderStateWithoutCache);

double NanosecondsPerSet(bool changing) {
  ERenderState a = StateA(), b = StateB();
  const int n = 200000;
  s_pRenderer->SetRenderState(&a);
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) s_pRenderer->SetRenderState((changing && (i & 1)) ? &b : &a);
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
}

}  // namespace

int main(int argc, char** argv) {
  if (!getenv("DISPLAY")) {
    fprintf(stderr, "RenderStateBench needs an X display with OpenGL (try xvfb-run).\n");
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
  benchmark::RunSpecifiedBenchmarks();

  double cached = NanosecondsPerSet(false), changing = NanosecondsPerSet(true);
  printf("Unchanged set %.1f ns, changing set %.1f ns: the cached set is %.1fx cheaper (target: 5x)\n", cached,
         changing, changing / cached);

  s_pRenderer->Shutdown();
  delete s_pRenderer;
  SDL_Quit();
  benchmark::Shutdown();
  return 0;
}
