// Reading one 20,000-vertex model-fragment record (positions with packed
// normals, two texture-coordinate sets, a strip) into renderer buffers,
// against a plain loop decoding the same positions, packed normals and
// coordinates into arrays. Needs an X display with OpenGL, for example:
//   xvfb-run -a -s "-screen 0 640x480x24 +extension GLX" build/benchmarks/ModelFragReadBench
#include <benchmark/benchmark.h>

#include <SDL/SDL.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "BenchRatios.h"
#include "Game/PCGameApp.h"
#include "ModelFragWriter.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Vector.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TextureManager.h"

namespace {

const int kVERTS = 20000;

std::vector<uint8_t> s_Record;
// Where the vertex data starts in the record and the texture-coordinate scale.
size_t s_uVertexOffset = 0;

ModelFragDesc MfBenchDesc() {
  ModelFragDesc d;
  d.texcoordSets = 2;
  for (int i = 0; i < kVERTS; ++i) {
    const float a = 0.001f * (float)i;
    d.positions.insert(d.positions.end(), {(float)(i % 200) + 1.5f, (float)(i / 200), std::sin(a)});
    d.normals.insert(d.normals.end(), {std::cos(a) * 0.6f, 0.8f, std::sin(a) * 0.6f});
    d.texcoords.insert(d.texcoords.end(), {(float)(i % 200) / 200.0f, (float)(i / 200) / 100.0f, 0.5f, -0.25f});
  }
  d.materialFlags = 0x1000000u;
  d.polys = kVERTS - 2;
  for (int i = 0; i < kVERTS; ++i) d.indices.push_back((uint16_t)i);
  return d;
}

void BM_ReadFragmentRecord(benchmark::State& state) {
  EArray<unsigned> ids;
  for (auto _ : state) {
    EMemReader reader(s_Record.data(), (unsigned)s_Record.size());
    EMeshFrag* pFrag = new EMeshFrag();
    if (!pFrag->Read(reader, 318, ids, 2)) {
      state.SkipWithError("the record was refused");
      delete pFrag;
      break;
    }
    delete pFrag;  // gives its model fragment back
  }
}
BENCHMARK(BM_ReadFragmentRecord)->Unit(benchmark::kMicrosecond);

// The same bytes decoded by hand: position and packed normal per vertex,
// then the two coordinate sets.
void BM_PlainDecodeLoop(benchmark::State& state) {
  std::vector<EVec3> positions(kVERTS), normals(kVERTS);
  std::vector<float> coords((size_t)kVERTS * 4);
  for (auto _ : state) {
    const uint8_t* p = s_Record.data() + s_uVertexOffset;
    for (int i = 0; i < kVERTS; ++i, p += 16) {
      positions[i] = EVec3(GetLEFloat(p), GetLEFloat(p + 4), GetLEFloat(p + 8));
      ENormPacked3 n;
      n.m_uWord = GetLE32(p + 12);
      normals[i] = n.ToVector();
    }
    p += 4 + 4 + 4;  // no diffuse stream, the set count, the scale
    for (int i = 0; i < kVERTS * 2; ++i, p += 4) {
      const uint32_t w = GetLE32(p);
      coords[2 * i] = (float)(int16_t)(w & 0xFFFF) / 32767.0f;
      coords[2 * i + 1] = (float)(int16_t)(w >> 16) / 32767.0f;
    }
    benchmark::DoNotOptimize(positions.data());
    benchmark::DoNotOptimize(normals.data());
    benchmark::DoNotOptimize(coords.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainDecodeLoop)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  ModelFragDesc desc = MfBenchDesc();
  WriteModelFrag(s_Record, desc);
  // The vertex data follows the vertex count: the count, then the first
  // position (1.5, 0, 0).
  for (s_uVertexOffset = 4; s_uVertexOffset + 8 <= s_Record.size(); ++s_uVertexOffset) {
    const uint8_t* p = s_Record.data() + s_uVertexOffset;
    if (GetLE32(p - 4) == (uint32_t)kVERTS && GetLEFloat(p) == 1.5f) break;
  }
  if (s_uVertexOffset + 8 > s_Record.size()) {
    fprintf(stderr, "ModelFragReadBench: vertex data not found\n");
    return 1;
  }

  PCGameApp app;
  gGameApp = &app;
  ERenderer* pRenderer = new ERenderer();
  pRenderer->m_DisplayOptions.m_dwWidth = 64;
  pRenderer->m_DisplayOptions.m_dwHeight = 64;
  pRenderer->m_DisplayOptions.m_bFullScreen = false;
  if (!pRenderer->Init(nullptr, 0)) {
    fprintf(stderr, "ModelFragReadBench: no renderer (needs an X display with OpenGL)\n");
    delete pRenderer;
    gGameApp = nullptr;
    return 1;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  EGameTextureManager* pTextures = new EGameTextureManager();
  app.m_pGameTextureManager = pTextures;
  const int rc = benchratios::RunAndPrintRatios(
      argc, argv,
      {{"20,000-vertex fragment read / plain decode (target <= 4)", "BM_ReadFragmentRecord", "BM_PlainDecodeLoop"}});
  delete pTextures;
  app.m_pGameTextureManager = nullptr;
  pRenderer->Shutdown();
  delete pRenderer;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  gGameApp = nullptr;
  return rc;
}
