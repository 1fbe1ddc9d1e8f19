// Camera path playback: a script camera flies a 50-key path (6,224
// waypoints) frame by frame over its whole duration, against a 3-key path
// of the same duration. The segment search starts where the last frame
// found its segment, so the cost per frame should barely grow with the path.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "Game/GameApp.h"

namespace {

class BenchApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

BenchApp* s_pApp = nullptr;
const float kSECONDS = 10.0f;
const float kFRAME_MS = 1000.0f / 60.0f;

// A winding path of n keys with turning orientations and fields of view.
uint32_t MakePath(int n) {
  ECameraWaypoint* keys = static_cast<ECameraWaypoint*>(malloc((size_t)n * sizeof(ECameraWaypoint)));
  memset(static_cast<void*>(keys), 0, (size_t)n * sizeof(ECameraWaypoint));
  for (int i = 0; i < n; ++i) {
    const float a = (float)i * 0.7f;
    keys[i].m_vPosition = EVec3(1000.0f * cosf(a) + 50.0f * (float)i, 100.0f * (float)(i % 3), 1000.0f * sinf(a));
    keys[i].m_vRotation = EVec3(10.0f * (float)(i % 2), 20.0f * (float)i, 0.0f);
    keys[i].m_fFieldOfView = 60.0f + (float)(i % 4) * 10.0f;
  }
  const uint32_t id = s_pApp->m_pCameraPaths->ElementNew();
  s_pApp->m_pCameraPaths->ElementGet(id)->InitAndSubdivide(keys, n, kSECONDS, 1.0f, 1.0f);
  free(keys);
  return id;
}

// One whole playback per iteration; both paths last as long, so the ratio
// of iterations is the ratio per frame.
void PlayPath(benchmark::State& state, uint32_t id) {
  ECamera camera;
  int frames = 0;
  for (auto _ : state) {
    camera.SetScriptCameraPath(id, nullptr);
    while (camera.IsScriptCameraPathActive()) {
      camera.UpdateScriptCamera(nullptr, kFRAME_MS);
      ++frames;
    }
    benchmark::DoNotOptimize(camera.GetPosition());
  }
  state.counters["frames"] = benchmark::Counter((double)frames, benchmark::Counter::kAvgIterations);
}

void BM_PlayFiftyKeyPath(benchmark::State& state) {
  static const uint32_t id = MakePath(50);
  PlayPath(state, id);
}
BENCHMARK(BM_PlayFiftyKeyPath)->Unit(benchmark::kMicrosecond);

void BM_PlayThreeKeyPath(benchmark::State& state) {
  static const uint32_t id = MakePath(3);
  PlayPath(state, id);
}
BENCHMARK(BM_PlayThreeKeyPath)->Unit(benchmark::kMicrosecond);

const std::vector<benchratios::Ratio> kRatios = {
    {"50-key path played per frame / 3-key path (target <= 2)", "BM_PlayFiftyKeyPath", "BM_PlayThreeKeyPath"},
};

}  // namespace

int main(int argc, char** argv) {
  s_pApp = new BenchApp();
  gGameApp = s_pApp;
  s_pApp->m_pCameraPaths = CreateCameraPathPool();
  const int rc = benchratios::RunAndPrintRatios(argc, argv, kRatios);
  gGameApp = nullptr;
  delete s_pApp;
  return rc;
}
