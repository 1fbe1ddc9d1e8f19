// Mesh-entity render requests for entities outside the view against the
// camera test they start with: 1000 entities behind the camera, each
// rejected by the box test; the baseline makes the same camera box test on
// their boxes.

#include <benchmark/benchmark.h>

#include <vector>

#include "BenchRatios.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWUtil/EMemStack.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"

namespace {

const int kENTITY_BENCH_COUNT = 1000;

struct EntityRenderWorld {
  EntityRenderWorld() : stack(1u << 20) {
    BindThreadLocalStack(&stack);
    gGameApp = &app;
    // Requested without fragments: the collision display lets them through.
    app.m_DebugHooks.CollisionDisplay = 1;
    camera = new ECamera();
    app.m_aCameras[0] = camera;
    app.m_aCameraChannels[0].m_pCamera = camera;
    app.SetRenderCamera(camera);
    camera->SetPosition(EVec3(0, 0, -400));
    camera->CameraLookAt(EVec3(0, 0, 0));
    camera->UpdateMatrices();
    domain = new EDomain(nullptr, &cm);
    for (int i = 0; i < kENTITY_BENCH_COUNT; ++i) {
      EMeshEntity* e = EMeshEntity::Create(domain, "prop");
      e->SetEntityFlag(ENTITY_VISIBLE, true);
      const EVec3 p((float)(i % 40) * 10.0f - 200.0f, (float)(i / 40) * 10.0f - 125.0f, -900.0f);
      e->GetMesh()->SetScale(EVec3(1, 1, 1));
      e->GetMesh()->SetPosition(p);
      e->GetMesh()->SetBox(EBox3(EVec3(-2, -2, -2), EVec3(2, 2, 2)));
      entities.push_back(e);
    }
  }
  EMemStack stack;
  PCGameApp app;
  ECollisionManager cm{false};
  EDomain* domain = nullptr;
  ECamera* camera = nullptr;
  std::vector<EMeshEntity*> entities;
};

EntityRenderWorld& World() {
  static EntityRenderWorld* s_pWorld = new EntityRenderWorld();  // lives for the program
  return *s_pWorld;
}

void BM_EntityRequestRenderOutside(benchmark::State& state) {
  EntityRenderWorld& w = World();
  for (auto _ : state) {
    for (EMeshEntity* e : w.entities) e->RequestRender();
  }
  for (EMeshEntity* e : w.entities) {
    if (e->GetTransientFlag(32) || e->GetDetailValue() != 1.0f) state.SkipWithError("an entity got past the view test");
  }
}

void BM_EntityCameraBoxTests(benchmark::State& state) {
  EntityRenderWorld& w = World();
  for (auto _ : state) {
    int n = 0;
    for (EMeshEntity* e : w.entities) {
      EMesh* m = e->GetMesh();
      n += w.camera->BoxVisible(m->GetTransformedBoundingBox(), &m->GetVisibilityCache(), false) ? 1 : 0;
    }
    benchmark::DoNotOptimize(n);
  }
}

BENCHMARK(BM_EntityRequestRenderOutside);
BENCHMARK(BM_EntityCameraBoxTests);

const std::vector<benchratios::Ratio> kRatios = {
    {"entity requests outside the view / camera box tests (target <= 2)", "BM_EntityRequestRenderOutside",
     "BM_EntityCameraBoxTests"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
