// One update of 10,000 live particles of an emitter (gravity, a constant
// force, colour and size over life, a ring that wraps around the end of its
// slots) against a plain loop over arrays doing the same arithmetic.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchRatios.h"
#include "TWGraphics/Color.h"
#include "TWMath/BoundingBox.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/Physics.h"

namespace {

const int kPARTICLES = 10000;
const float kSTEP = 0.0001f;

struct ParticleWorld {
  ParticleWorld() {
    pRoot = new EDomain(nullptr, nullptr);
    EDomain* pLevel = pRoot->CreateChildDomain("Level", &ECollisionManager::sm_CM);
    pEmitter = EParticleEmitterEntity::Create(pLevel, "bench");
    pEmitter->SetMaxParticles(kPARTICLES);
    pEmitter->SetMinParticlesPerSec(0);
    pEmitter->SetMaxParticlesPerSec(0);
    pEmitter->SetParticleLifetime(1000, 1000);
    pEmitter->SetActive(true);
    // Half the ring, let die, then the whole ring: the live run wraps.
    pEmitter->SetInitialParticles(kPARTICLES / 2);
    pEmitter->Update(kSTEP);
    pEmitter->AgeParticles(1.0f);
    pEmitter->Update(kSTEP);
    pEmitter->SetInitialParticles(kPARTICLES);
    pEmitter->Update(kSTEP);
    pEmitter->UnsetFlag(kPARTICLEEMITTER_ACTIVE);
    pEmitter->SetFlag(kPARTICLEEMITTER_APPLYGRAVITY);
    pEmitter->SetParticleForce(3, 0, 1);
    pEmitter->SetStartColor(1, 0.5f, 0.25f, 1);
    pEmitter->SetEndColor(0, 0, 1, 0);
    pEmitter->SetParticleStartEndSize(4, 12);
  }
  ~ParticleWorld() {
    pEmitter->InternalDelayedDelete();
    delete pEmitter;
    delete pRoot;
  }
  EDomain* pRoot;
  EParticleEmitterEntity* pEmitter;
};

void BM_EmitterUpdate(benchmark::State& state) {
  ParticleWorld world;
  if (world.pEmitter->GetNumActiveParticles() != kPARTICLES || world.pEmitter->GetFirstActiveParticle() == 0) {
    state.SkipWithError("the ring is not full and wrapped");
    return;
  }
  for (auto _ : state) world.pEmitter->Update(kSTEP);
  state.SetItemsProcessed(state.iterations() * kPARTICLES);
}
BENCHMARK(BM_EmitterUpdate);

// The same work in straight code over plain arrays.
void BM_PlainLoop(benchmark::State& state) {
  std::vector<EVec3> pos(kPARTICLES, EVec3(0, 0, 0)), vel(kPARTICLES, EVec3(1, 2, 3));
  std::vector<uint32_t> colour(kPARTICLES, 0xFFFFFFFFu);
  std::vector<float> size(kPARTICLES, 4.0f), left(kPARTICLES, 1000.0f), inv(kPARTICLES, 0.001f);
  const EVec3 up(0, 1, 0), force(3, 0, 1);
  const uint32_t start = 0xFFFF8040u, end = 0x000000FFu;
  EBox3 box;
  for (auto _ : state) {
    const float dt = kSTEP;
    for (int k = 0; k < kPARTICLES; ++k) {
      const int i = (k + kPARTICLES / 2) % kPARTICLES;
      vel[i] += up * (-1500.0f * dt);
      vel[i] += force * dt;
      pos[i] += vel[i] * dt;
      const float x = 1.0f - left[i] * inv[i];
      colour[i] = RGBA_Lerp(start, end, x);
      size[i] = 4.0f + x * 8.0f;
      left[i] -= dt;
      if (k == 0) box = EBox3(pos[i], pos[i]);
      else box.Add(pos[i]);
    }
    benchmark::DoNotOptimize(box);
    benchmark::DoNotOptimize(colour.data());
    benchmark::DoNotOptimize(size.data());
  }
  state.SetItemsProcessed(state.iterations() * kPARTICLES);
}
BENCHMARK(BM_PlainLoop);

const std::vector<benchratios::Ratio> kRatios = {
    {"emitter update / plain loop (target <= 3)", "BM_EmitterUpdate", "BM_PlainLoop"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
