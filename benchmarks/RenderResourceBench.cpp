// Texture uploads, dynamic vertex-buffer lock/fill/draw and draws per
// second through the renderer. Needs an X display with OpenGL, for example:
//   xvfb-run -a -s "-screen 0 640x480x24 +extension GLX" build/benchmarks/RenderResourceBench
#include <benchmark/benchmark.h>

#include <SDL/SDL.h>
#include <mojoshader.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Shader.h"
#include "TWGraphics/Texture.h"
#include "TWGraphics/Vertex.h"
#include "TWUtil/DataArray.h"

namespace {

ERenderer* s_pRenderer = nullptr;
uint32_t s_hVS = 0;
uint32_t s_hPS = 0;

MOJOSHADER_glShader* Translate(const std::string& text) {
  const MOJOSHADER_parseData* d = MOJOSHADER_assemble("bench", text.c_str(), (unsigned)text.size(), nullptr, 0,
                                                      nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                                                      nullptr);
  if (!d || d->error_count) return nullptr;
  MOJOSHADER_glShader* s =
      MOJOSHADER_glCompileShader(reinterpret_cast<const unsigned char*>(d->output), (unsigned)d->output_len, nullptr,
                                 0, nullptr, 0);
  MOJOSHADER_freeParseData(d);
  return s;
}

// A pass-through shader pair for position and colour.
bool MakeShaders() {
  std::string vs = "vs_2_0\n";
  for (const char* const* l = GetVertexDeclaration(kVBFORMAT_POSITION_COLOR); *l; ++l) vs += std::string(*l) + "\n";
  vs += "mov oPos, v0\nmov oD0, v2\n";
  MOJOSHADER_glShader* v = Translate(vs);
  MOJOSHADER_glShader* p = Translate("ps_2_0\ndcl v0\nmov oC0, v0\n");
  if (!v || !p) return false;
  s_hVS = s_pRenderer->m_pVertexShaders->ElementNew();
  EVertexShader* rec = s_pRenderer->m_pVertexShaders->ElementGet(s_hVS);
  rec->m_pShader = v;
  rec->m_iStreamCount = 1;
  rec->m_pFormats = static_cast<VBFORMAT*>(malloc(sizeof(VBFORMAT)));
  rec->m_pFormats[0] = kVBFORMAT_POSITION_COLOR;
  const EVertexElement* e = GetVertexElements(kVBFORMAT_POSITION_COLOR);
  rec->m_pElements = static_cast<EVertexElement*>(malloc(sizeof(EVertexElement) * 3));
  memcpy(rec->m_pElements, e, sizeof(EVertexElement) * 3);
  s_hPS = s_pRenderer->m_pPixelShaders->ElementNew();
  s_pRenderer->m_pPixelShaders->ElementGet(s_hPS)->m_pShader = p;
  return true;
}

void BeginFrame() {
  s_pRenderer->BeginRender();
  ERenderState s;
  s.m_eBlendMode = kBLENDMODE_DECAL;
  s.m_eCullMode = kCULL_NONE;
  s_pRenderer->SetRenderState(&s);
  s_pRenderer->SetVertexShader(s_hVS);
  s_pRenderer->SetPixelShader(s_hPS);
}

void EndFrame() {
  s_pRenderer->EndRender();
  s_pRenderer->Present(true);
}

// A whole 256 x 256 surface locked, written and uploaded.
void BM_TextureUpload(benchmark::State& state) {
  const TEXTUREFORMAT format = (TEXTUREFORMAT)state.range(0);
  HTEXTURE h = s_pRenderer->CreateBitmapTexture(format, 256, 256, 1, 0);
  uint8_t value = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    unsigned pitch = 0;
    uint8_t* p = static_cast<uint8_t*>(s_pRenderer->LockTexture(h, 0, &pitch, false, (CUBEMAPFACE)-1, true));
    const size_t size = TextureFormatCompressed(format) ? (size_t)pitch * 64 : (size_t)pitch * 256;
    memset(p, value++, size);
    s_pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1);
    bytes += size;
  }
  state.SetBytesProcessed((int64_t)bytes);
  s_pRenderer->DeleteTexture(h, true);
}
BENCHMARK(BM_TextureUpload)->Arg(kTEXTUREFORMAT_8888)->Arg(kTEXTUREFORMAT_565)->Arg(kTEXTUREFORMAT_DXT1);

struct PC {
  float x, y, z;
  uint32_t colour;
};

void FillQuads(PC* v, unsigned quads, uint32_t colour) {
  for (unsigned q = 0; q < quads; ++q) {
    float x = -1.0f + 2.0f * (float)(q % 16) / 16.0f, y = -1.0f + 2.0f * (float)(q / 16 % 16) / 16.0f;
    const float s = 0.1f;
    PC* t = v + 6 * q;
    t[0] = {x, y, 0, colour};
    t[1] = {x + s, y, 0, colour};
    t[2] = {x, y + s, 0, colour};
    t[3] = {x, y + s, 0, colour};
    t[4] = {x + s, y, 0, colour};
    t[5] = {x + s, y + s, 0, colour};
  }
}

// A dynamic buffer refilled and drawn each time, as effects do per frame.
void BM_DynamicLockFillDraw(benchmark::State& state) {
  const unsigned quads = (unsigned)state.range(0);
  uint32_t vb = s_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 6 * quads, kVBFLAG_DYNAMIC, "Bench");
  uint32_t colour = 0xFF000000u;
  BeginFrame();
  for (auto _ : state) {
    PC* v = static_cast<PC*>(s_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
    FillQuads(v, quads, colour++);
    s_pRenderer->UnlockVertexBuffer(vb);
    s_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLELIST, 6 * quads, 0);
  }
  EndFrame();
  state.SetItemsProcessed(state.iterations() * 6 * quads);
  s_pRenderer->DeleteVertexBuffer(vb);
}
BENCHMARK(BM_DynamicLockFillDraw)->Arg(16)->Arg(256);

// Small draws from a static buffer: the cost of one draw call.
void BM_DrawsPerSecond(benchmark::State& state) {
  uint32_t vb = s_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 6, 0, "Bench");
  PC* v = static_cast<PC*>(s_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
  FillQuads(v, 1, 0xFFFFFFFFu);
  s_pRenderer->UnlockVertexBuffer(vb);
  BeginFrame();
  for (auto _ : state) s_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLELIST, 6, 0);
  EndFrame();
  state.SetItemsProcessed(state.iterations());
  s_pRenderer->DeleteVertexBuffer(vb);
}
BENCHMARK(BM_DrawsPerSecond);

}  // namespace

int main(int argc, char** argv) {
  if (!getenv("DISPLAY")) {
    fprintf(stderr, "RenderResourceBench needs an X display with OpenGL (try xvfb-run).\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  // Mesa's first choice, "glspirv", loses shader inputs after a gap in the
  // registers (the colour in v2 here); the GLSL profile keeps them.
  if (!GForceMojoShaderProfile) GForceMojoShaderProfile = "glsl120";
  s_pRenderer = new ERenderer();
  s_pRenderer->m_DisplayOptions.m_dwWidth = 320;
  s_pRenderer->m_DisplayOptions.m_dwHeight = 240;
  s_pRenderer->m_DisplayOptions.m_fGamma = 1.0f;
  if (!s_pRenderer->Init(nullptr, 0)) {
    fprintf(stderr, "The renderer did not start.\n");
    return 1;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  if (!MakeShaders()) {
    fprintf(stderr, "The benchmark shaders did not translate: %s\n", MOJOSHADER_glGetError());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  s_pRenderer->Shutdown();
  delete s_pRenderer;
  SDL_Quit();
  benchmark::Shutdown();
  return 0;
}
