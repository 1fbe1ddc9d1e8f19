// A mesh's render request against the camera test it is built on: a mesh of
// 100 fragments in front of the camera, every fragment visible, queued once
// per frame; the baseline makes the same camera box test for each fragment.

#include <benchmark/benchmark.h>

#include <vector>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"

namespace {

const int kMESH_BENCH_FRAGS = 100;

struct MeshBenchWorld {
  MeshBenchWorld() {
    gGameApp = &app;
    app.m_pMeshFragManager = &pool;
    camera = new ECamera();
    app.m_aCameras[0] = camera;
    app.SetRenderCamera(camera);
    camera->SetPosition(EVec3(0, 0, -400));
    camera->CameraLookAt(EVec3(0, 0, 0));
    camera->UpdateMatrices();
    mesh.SetScale(EVec3(1, 1, 1));
    mesh.SetModel(new EModel());
    for (int i = 0; i < kMESH_BENCH_FRAGS; ++i) {
      EModelFrag* shared = EModelFragManager::ModelFragNew();
      const float x = (float)(i % 10) * 8.0f - 40.0f;
      const float y = (float)(i / 10) * 8.0f - 40.0f;
      shared->m_Box = EBox3(EVec3(x, y, -2), EVec3(x + 4, y + 4, 2));
      modelFrags.push_back(shared);
      EMeshFrag* f = pool.MeshFragNew();
      f->m_pMesh = &mesh;
      *f = *shared;
      mesh.AddMeshFrag(f);
      f->m_pVisibilityCache = new EVisibilityCache;
    }
  }
  PCGameApp app;
  EMeshFragManager pool;
  ECamera* camera = nullptr;
  EMesh mesh;
  std::vector<EModelFrag*> modelFrags;
};

MeshBenchWorld& World() {
  static MeshBenchWorld* s_pWorld = new MeshBenchWorld();  // lives for the program
  return *s_pWorld;
}

void BM_MeshRequestRender(benchmark::State& state) {
  MeshBenchWorld& w = World();
  for (auto _ : state) {
    ++w.app.m_iFrameCount;
    w.pool.ResetFrame();
    w.mesh.RequestRender();
  }
  if (w.pool.GetVisibleCount(kRENDERDOMAIN_SCENE) != kMESH_BENCH_FRAGS) state.SkipWithError("not every fragment queued");
}

void BM_MeshCameraBoxTests(benchmark::State& state) {
  MeshBenchWorld& w = World();
  for (auto _ : state) {
    int n = 0;
    for (int i = 0; i < w.mesh.GetNumMeshFrags(); ++i) {
      EMeshFrag* f = w.mesh.GetMeshFrag(i);
      n += w.camera->BoxVisible(f->GetTransformedBoundingBox(), f->m_pVisibilityCache, false) ? 1 : 0;
    }
    benchmark::DoNotOptimize(n);
  }
}

BENCHMARK(BM_MeshRequestRender);
BENCHMARK(BM_MeshCameraBoxTests);

const std::vector<benchratios::Ratio> kRatios = {
    {"render request / camera box tests (target <= 2)", "BM_MeshRequestRender", "BM_MeshCameraBoxTests"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
