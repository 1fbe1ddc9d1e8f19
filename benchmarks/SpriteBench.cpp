// Queuing and preparing 2,000 sprites a frame, against a plain loop that
// computes the same corners, sorts by (layer, texture) and writes six
// vertices each. Needs an X display with OpenGL, for example:
//   xvfb-run -a -s "-screen 0 640x480x24 +extension GLX" build/benchmarks/SpriteBench
#include <benchmark/benchmark.h>

#include <SDL/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "TWGraphics/Renderer.h"
#include "VERirezo/Sprite.h"

namespace {

const int kSPRITES = 2000;
ERenderer* s_pRenderer = nullptr;
ESpriteManager* s_pSprites = nullptr;
HTEXTURE s_ahTextures[4];

void QueueAndPrepare() {
  const EBox2 box(EVec2(0, 0), EVec2(1, 1));
  const EVec4 colour(1, 0.5f, 0.25f, 1);
  s_pSprites->ResetFrame();
  for (int i = 0; i < kSPRITES; ++i)
    s_pSprites->AddSprite(s_ahTextures[i & 3], (float)(i % 600), (float)(i % 440), (unsigned)(i % 7), box, &colour);
  s_pSprites->PreprocessAll();
}

struct PlainSprite {
  unsigned layer, texture;
  float corners[8];
  uint32_t colour;
};
struct PlainVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

// The baseline: the same work in straight code into plain memory.
void PlainLoop(std::vector<PlainSprite>& sprites, std::vector<PlainVertex>& out) {
  sprites.clear();
  for (int i = 0; i < kSPRITES; ++i) {
    const float x = (float)(i % 600), y = (float)(i % 440), w = 16, h = 16;
    sprites.push_back(PlainSprite{(unsigned)(i % 7), s_ahTextures[i & 3], {x, y + h, x + w, y + h, x, y, x + w, y},
                                  0xFFFF7F3Fu});
  }
  std::sort(sprites.begin(), sprites.end(), [](const PlainSprite& a, const PlainSprite& b) {
    return a.layer != b.layer ? a.layer < b.layer : a.texture < b.texture;
  });
  out.resize((size_t)kSPRITES * 6);
  PlainVertex* v = out.data();
  for (const PlainSprite& s : sprites) {
    const float* c = s.corners;
    v[0] = {c[0], c[1], 0, s.colour, 0, 0};
    v[1] = {c[2], c[3], 0, s.colour, 1, 0};
    v[2] = {c[6], c[7], 0, s.colour, 1, 1};
    v[3] = v[0];
    v[4] = v[2];
    v[5] = {c[4], c[5], 0, s.colour, 0, 1};
    v += 6;
  }
  benchmark::DoNotOptimize(out.data());
}

void BM_SpriteManager(benchmark::State& state) {
  for (auto _ : state) QueueAndPrepare();
  state.SetItemsProcessed(state.iterations() * kSPRITES);
}
BENCHMARK(BM_SpriteManager);

void BM_PlainLoop(benchmark::State& state) {
  std::vector<PlainSprite> sprites;
  std::vector<PlainVertex> out;
  for (auto _ : state) PlainLoop(sprites, out);
  state.SetItemsProcessed(state.iterations() * kSPRITES);
}
BENCHMARK(BM_PlainLoop);

template <class F>
double MicrosecondsPer(F f) {
  const int n = 200;
  f();
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) f();
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(t1 - t0).count() / n;
}

}  // namespace

int main(int argc, char** argv) {
  if (!getenv("DISPLAY")) {
    fprintf(stderr, "SpriteBench needs an X display with OpenGL (try xvfb-run).\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  s_pRenderer = new ERenderer();
  s_pRenderer->m_DisplayOptions.m_dwWidth = 640;
  s_pRenderer->m_DisplayOptions.m_dwHeight = 480;
  s_pRenderer->m_DisplayOptions.m_fGamma = 1.0f;
  if (!s_pRenderer->Init(nullptr, 0)) {
    fprintf(stderr, "The renderer did not start.\n");
    return 1;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  for (HTEXTURE& t : s_ahTextures) t = s_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 16, 16, 1, 0);
  s_pSprites = new ESpriteManager();
  benchmark::RunSpecifiedBenchmarks();

  std::vector<PlainSprite> sprites;
  std::vector<PlainVertex> out;
  const double manager = MicrosecondsPer(QueueAndPrepare);
  const double plain = MicrosecondsPer([&]() { PlainLoop(sprites, out); });
  printf("2000 sprites: manager %.1f us, plain loop %.1f us: %.2fx the baseline (target: at most 3x)\n", manager,
         plain, manager / plain);

  delete s_pSprites;
  s_pRenderer->Shutdown();
  delete s_pRenderer;
  SDL_Quit();
  benchmark::Shutdown();
  return 0;
}
