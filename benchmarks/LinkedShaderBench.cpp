// Rebuilding the table of linked vertex shaders of the game's own module
// files from a warm shader cache, against creating the same 445 shaders
// straight from byte code already in memory. Needs an X display with OpenGL, for example:
//   xvfb-run -a -s "-screen 0 640x480x24 +extension GLX" build/benchmarks/LinkedShaderBench
#include <benchmark/benchmark.h>

#include <SDL/SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Game/GameShaders.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Shader.h"
#include "TWGraphics/Vertex.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

namespace {

ERenderer* s_pRenderer = nullptr;
EGameShaders* s_pShaders = nullptr;
std::string s_root;
double s_baselineSeconds = 0;  // one pass of the baseline

void MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

// The text of one module file as the build joins it.
std::string ModuleText(const char* name) {
  std::string path = s_root + "/Workresource/VertexShaders/" + name;
  for (char& c : path)
    if (c == '\\') c = '/';
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Each cached byte code of the linked shaders, with the formats it reads.
struct CachedShader {
  std::string code;
  VBFORMAT formats[kMAX_LINKED_INPUTS];
};
std::vector<CachedShader> s_cached;

void CreateFromMemory() {
  for (const CachedShader& c : s_cached) {
    uint32_t h = s_pRenderer->createVertexShader(c.code.data(), (int)c.code.size(), c.formats);
    s_pRenderer->DeleteVertexShader(h);
  }
}

void BM_CreateCachedByteCode(benchmark::State& state) {
  double total = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    CreateFromMemory();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  s_baselineSeconds = total / (double)state.iterations();
  state.counters["ratio"] = 1.0;
}
BENCHMARK(BM_CreateCachedByteCode)->Unit(benchmark::kMillisecond);

void BM_RebuildLinkedTable(benchmark::State& state) {
  double total = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    s_pShaders->ShutdownRunTimeVertexShaders();
    s_pShaders->InitRunTimeVertexShaders();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  if (s_baselineSeconds > 0) state.counters["ratio"] = total / (double)state.iterations() / s_baselineSeconds;
}
BENCHMARK(BM_RebuildLinkedTable)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!getenv("DISPLAY")) {
    fprintf(stderr, "LinkedShaderBench needs an X display with OpenGL (try xvfb-run).\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  char tmpl[] = "/tmp/linkedbenchXXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  s_root = tmpl;
  if (chdir(tmpl) != 0) return 1;
  MakeDirs(s_root + "/Workresource/VertexShaders/cache");
  const std::string copy = std::string("cp -r '") + QUILLOMAR_SHADER_DATA + "/VertexShaders/Modules' '" + s_root +
                           "/Workresource/VertexShaders/'";
  if (system(copy.c_str()) != 0) {
    fprintf(stderr, "Could not copy the shader modules.\n");
    return 1;
  }
  EFileManager files;
  files.AddReadPath("Workresource", false);
  files.SetWritePath("Workresource");
  gFile = &files;
  if (!GForceMojoShaderProfile) GForceMojoShaderProfile = "glsl120";
  s_pRenderer = new ERenderer();
  s_pRenderer->m_DisplayOptions.m_dwWidth = 64;
  s_pRenderer->m_DisplayOptions.m_dwHeight = 64;
  s_pRenderer->m_DisplayOptions.m_fGamma = 1.0f;
  if (!s_pRenderer->Init(nullptr, 0)) {
    fprintf(stderr, "The renderer did not start.\n");
    return 1;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  s_pShaders = new EGameShaders(s_pRenderer);
  s_pShaders->InitRunTimeVertexShaders();  // warms the cache
  // The cached byte code of every linked shader, found by the cache's key:
  // the version line, the declarations of its formats and the joined text.
  const char* version = s_pRenderer->m_DeviceSupport.m_dwVertexShaderVersion >= 0x200 ? "vs_2_0\n" : "vs_1_1\n";
  for (int g = 0; g < kNUM_VSGEOM; ++g)
    for (int d = 0; d < kNUM_VSDIFFUSE; ++d)
      for (int f = 0; f < kNUM_VSFOG; ++f)
        for (int t = 0; t < kNUM_VSTEXTURE; ++t) {
          if (!LinkedShaderAllowed(g, d, f, t)) continue;
          CachedShader c;
          LinkedShaderInputs(g, d, t, c.formats);
          std::string key = version;
          for (const VBFORMAT* fm = c.formats; *fm != kVBFORMAT_END; ++fm)
            for (const char* const* line = GetVertexDeclaration(*fm); line && *line; ++line)
              key += std::string(*line) + "\n";
          key += ModuleText(GeomModuleFile(g)) + ModuleText(DiffuseModuleFile(d)) + ModuleText(FogModuleFile(f)) +
                 ModuleText(TextureModuleFile(t));
          unsigned h0 = HashString(key.c_str(), 0x811c9dc5u);
          unsigned h1 = HashString(key.c_str(), h0);
          unsigned h2 = HashString(key.c_str(), h1);
          unsigned h3 = HashString(key.c_str(), h2);
          char name[64];
          snprintf(name, sizeof(name), "/vs_%08x%08x%08x%08x.vpo", h0, h1, h2, h3);
          std::ifstream in(s_root + "/Workresource/VertexShaders/cache" + name, std::ios::binary);
          std::stringstream ss;
          ss << in.rdbuf();
          c.code = ss.str();
          if (c.code.empty()) {
            fprintf(stderr, "No cache entry for linked shader %d.%d.%d.%d\n", g, d, f, t);
            return 1;
          }
          s_cached.push_back(c);
        }
  benchmark::RunSpecifiedBenchmarks();
  delete s_pShaders;
  s_pRenderer->Shutdown();
  delete s_pRenderer;
  SDL_Quit();
  gFile = &gFile_twutil;
  benchmark::Shutdown();
  std::string cleanup = "rm -rf '" + s_root + "'";
  return system(cleanup.c_str()) == 0 ? 0 : 1;
}
