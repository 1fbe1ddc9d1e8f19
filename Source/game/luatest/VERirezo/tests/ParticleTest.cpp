// Particle emitters and affectors: settings, emission into the ring,
// the order of random draws, physics answers, visibility, sleeping, child
// emitters and the affector lists.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Color.h"
#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/ParticleDistribution.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/Physics.h"

namespace {

std::vector<std::string>* s_pParticleLines = nullptr;
void ParticleCaptureLine(const char* text) {
  if (s_pParticleLines) s_pParticleLines->push_back(text ? text : "");
}

class Particles : public ::testing::Test {
protected:
  void SetUp() override {
    m_SavedRand = g_RenderRand;
    m_pRoot = new EDomain(nullptr, nullptr);
    m_pLevel = m_pRoot->CreateChildDomain("Level", &ECollisionManager::sm_CM);
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    // At the origin looking down +z, 90 degrees across the 640 x 480 screen
    // (the projection's angle is twice the vertical one).
    m_Camera.SetRotation(EVec3(-1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, 1));
    m_Camera.SetFieldOfView(4.0f * atanf(0.75f) * 57.29578f);
    m_Camera.UpdateMatrices();
    m_pApp->SetRenderCamera(&m_Camera);
    s_pParticleLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(ParticleCaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pParticleLines = nullptr;
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    gGameApp = nullptr;
    delete m_pApp;
    delete m_pRoot;
    g_RenderRand = m_SavedRand;
  }
  EParticleEmitterEntity* Emitter(int slots = 100, const EVec3& at = EVec3(0, 0, 100)) {
    EParticleEmitterEntity* e = EParticleEmitterEntity::Create(m_pLevel, "emitter");
    m_made.push_back(e);
    e->InitPosition(at);
    e->SetMaxParticles(slots);
    return e;
  }
  EParticleAffectorEntity* Affector(uint32_t flags, float r, float strength, const EVec3& at) {
    EParticleAffectorEntity* a = EParticleAffectorEntity::Create(m_pLevel, "affector");
    m_made.push_back(a);
    a->InitPosition(at);
    a->set(flags, r, r, strength, 0, 0);
    return a;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(szText) != std::string::npos;
    return n;
  }
  ERand m_SavedRand;
  EDomain* m_pRoot = nullptr;
  EDomain* m_pLevel = nullptr;
  PCGameApp* m_pApp = nullptr;
  ECamera m_Camera;
  std::vector<EEntity*> m_made;
  std::vector<std::string> m_lines;
};

// ---- Settings ----

TEST_F(Particles, ANewEmitterHasTheDefaultsAndSleeps) {
  EParticleEmitterEntity* e = Emitter();
  struct Case {
    const char* name;
    float actual, expected;
  } cases[] = {
      {"min rate", e->GetMinParticlesPerSec(), 1},  {"max rate", e->GetMaxParticlesPerSec(), 1},
      {"min life", e->GetMinParticleLifetime(), 1}, {"max life", e->GetMaxParticleLifetime(), 1},
      {"min size", e->GetParticleMinSize(), 8},     {"max size", e->GetParticleMaxSize(), 8},
      {"min speed", e->GetMinParticleSpeed(), 10},  {"max speed", e->GetMaxParticleSpeed(), 10},
      {"inner cone", e->GetMinConeAngle(), 0},      {"outer cone", e->GetMaxConeAngle(), 3.1415927f},
      {"bounce", e->GetBounceFactor(), 0.5f},       {"blend", (float)e->GetParticleBlendMode(), 3},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(c.expected, c.actual) << c.name;
  EXPECT_EQ(0xFFFFFFFFu, e->GetStartColorPacked());
  EXPECT_EQ(0xFFFFFFFFu, e->GetEndColorPacked());
  EXPECT_EQ((uint32_t)kPARTICLEEMITTER_ACTIVE, e->GetFlags());
  ASSERT_EQ(2, e->GetStages().Num());
  EXPECT_EQ(1.0f, e->GetStages()[1].duration);
  EXPECT_TRUE(e->GetEntityFlag(ENTITY_NOSIMULATE)) << "asleep until woken";
  EXPECT_FLOAT_EQ(1.0f, gCos[0]);
  EXPECT_NEAR(1.0f, gSin[90], 1e-6f);
  EXPECT_NEAR(-1.0f, gCos[180], 1e-6f);
}

TEST_F(Particles, SlotCountWaitsForTheFirstWake) {
  EParticleEmitterEntity* e = Emitter(0);
  const int before = EParticleManager::m_iNumNormalParticles;
  e->SetMaxParticles(100);
  EXPECT_EQ(0, e->GetMaxParticles());
  EXPECT_EQ(before, EParticleManager::m_iNumNormalParticles);
  e->SetActive(true);
  EXPECT_EQ(100, e->GetMaxParticles());
  EXPECT_FALSE(e->GetEntityFlag(ENTITY_NOSIMULATE));
  EXPECT_EQ(before + 100, EParticleManager::m_iNumNormalParticles);
}

TEST_F(Particles, ConeAnglesAreKeptInOrderWithinHalfATurn) {
  struct Case {
    float inner, outer, expInner, expOuter;
  } cases[] = {{-1, 5, 0, 3.1415927f}, {2, 1, 2, 2}, {0.5f, 1, 0.5f, 1}, {4, 4, 3.1415927f, 3.1415927f}};
  EParticleEmitterEntity* e = Emitter();
  for (const Case& c : cases) {
    e->SetConeAngle(c.inner, c.outer);
    EXPECT_FLOAT_EQ(c.expInner, e->GetMinConeAngle()) << c.inner << ", " << c.outer;
    EXPECT_FLOAT_EQ(c.expOuter, e->GetMaxConeAngle()) << c.inner << ", " << c.outer;
  }
}

TEST_F(Particles, SpinSettingsChooseTheRecordVariant) {
  EParticleEmitterEntity* e = Emitter(10);
  e->SetActive(true);
  ASSERT_NE(nullptr, e->GetNormalParticles());
  e->SetParticleDegreesPerSec(0, 0, false);  // random start angles need rotation
  EXPECT_TRUE(e->GetFlag(kPARTICLEEMITTER_ROTATED));
  EXPECT_NE(nullptr, e->GetFullParticles());
  EXPECT_EQ(nullptr, e->GetNormalParticles());
  e->SetParticleDegreesPerSec(0, 0, true);
  EXPECT_FALSE(e->GetFlag(kPARTICLEEMITTER_ROTATED));
  EXPECT_NE(nullptr, e->GetNormalParticles());
  e->SetParticleDegreesPerSec(-30, 45, true);
  EXPECT_FLOAT_EQ(-30, e->GetMinParticleDegreesPerSec()) << "the given z is the view-plane spin";
  EXPECT_FLOAT_EQ(45, e->GetMaxParticleDegreesPerSec());
  EXPECT_EQ(10, e->GetMaxParticles());
}

TEST_F(Particles, TextureGridMakesAnimatedRecordsAndLosesParticles) {
  EParticleEmitterEntity* e = Emitter(10);
  e->SetActive(true);
  e->SetInitialParticles(3);
  e->Update(0.01f);
  ASSERT_EQ(3, e->GetNumActiveParticles());
  e->SetTexAnimInfo2D(4, 4, -1, 99, 10, false);
  const EParticleTexAnimInfo* info = e->GetTexAnimRecord();
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(15, info->loopFrame);
  EXPECT_FLOAT_EQ(0.1f, info->secondsPerCell);
  EXPECT_FLOAT_EQ(0.25f, info->cellWidth);
  EXPECT_TRUE(e->GetFlag(kPARTICLEEMITTER_ANIMATED));
  EXPECT_NE(nullptr, e->GetAnimParticles());
  EXPECT_EQ(0, e->GetNumActiveParticles()) << "particles lost with the old records";

  // Again with live particles and resetLive: they stay and restart at cell 0.
  e->SetInitialParticles(2);
  e->Update(0.01f);
  for (int i = 0; i < 5; ++i) e->Update(0.05f);
  e->SetTexAnimInfo2D(4, 4, -1, 99, 10, true);
  ASSERT_EQ(2, e->GetNumActiveParticles());
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(0, e->GetAnimParticleMeta()[j].frame);
    EXPECT_FLOAT_EQ(0.1f, e->GetAnimParticleMeta()[j].frameTimeLeft);
  }
}

TEST_F(Particles, CellsAdvanceOncePerStepAndWrapToTheLoopCell) {
  EParticleEmitterEntity* e = Emitter(4);
  e->SetTexAnimInfo2D(2, 2, 3, 1, 10, false);  // start at the last cell, loop to 1
  e->SetActive(true);
  e->SetInitialParticles(1);
  e->Update(0.001f);
  PARTICLEANIM& p = e->GetAnimParticles()[0];
  ASSERT_EQ(3, e->GetAnimParticleMeta()[0].frame);
  EXPECT_FLOAT_EQ(0.5f, p.uv[0].x);
  EXPECT_FLOAT_EQ(0.5f, p.uv[0].y);
  e->Update(0.25f);  // two cells' worth of time, one cell taken
  EXPECT_EQ(1, e->GetAnimParticleMeta()[0].frame);
  EXPECT_FLOAT_EQ(0.5f, p.uv[0].x);
  EXPECT_FLOAT_EQ(0.0f, p.uv[0].y);
  EXPECT_FLOAT_EQ(1.0f, p.uv[2].x);
  EXPECT_FLOAT_EQ(0.5f, p.uv[2].y);
}

TEST_F(Particles, ColourAndStageSetters) {
  EParticleEmitterEntity* e = Emitter();
  e->SetStartAlpha(0.5f);
  EXPECT_EQ(0x80u, e->GetStartColorPacked() >> 24);
  e->SetEndColor(1, 0, 0, 1);
  EXPECT_EQ(0xFFFF0000u, e->GetEndColorPacked());
  EXPECT_EQ(RGBA_Sub(0xFFFF0000u, 0x80FFFFFFu), e->GetColorDelta());
  EXPECT_EQ(0xFFFF0000u, e->GetStages()[1].color);
  EXPECT_TRUE(e->GetFlag(kPARTICLEEMITTER_ENDCOLOR));

  // Script colours beyond 0..1 are clamped instead of stopping the game.
  e->SetStartColor(2.0f, -1.0f, 0.5f, 7.0f);
  EXPECT_EQ(0xFFFF0080u, e->GetStartColorPacked());
  e->SetEndAlpha(-3.0f);
  EXPECT_EQ(0u, e->GetEndColorPacked() >> 24);

  e->SetMinParticlesPerSec(8);
  e->SetMaxParticlesPerSec(5);
  EXPECT_FLOAT_EQ(5, e->GetMinParticlesPerSec());
  e->SetParticleForce(0, 0.000001f, 0);
  EXPECT_FALSE(e->GetFlag(kPARTICLEEMITTER_FORCE));
  EXPECT_EQ(EVec3(0, 0, 0), e->GetParticleForce());
}

TEST_F(Particles, StagesKeepTheirDurationsSummingToOne) {
  EParticleEmitterEntity* e = Emitter();
  e->SetNumStages(4);
  EXPECT_EQ(3u, e->GetActiveStage());
  EXPECT_EQ(0u, e->GetStages()[2].color);
  EXPECT_EQ(0.0f, e->GetStages()[3].duration);
  e->SetNumStages(3);
  e->SetActiveStage(1);
  e->SetStageDuration(0.25f);
  EXPECT_FLOAT_EQ(0.75f, e->GetStages()[2].duration);
  e->SetActiveStage(2);
  e->SetStageDuration(0.1f);
  EXPECT_FLOAT_EQ(0.75f, e->GetStages()[2].duration) << "the last stage's own setting does not last";

  e->SetActiveStage(7);
  EXPECT_EQ(2u, e->GetActiveStage());
  EXPECT_EQ(1, Count("Particle stage 7 is greater than allocation of 3"));

  // Fewer than two stages would leave the end colour without a stage.
  for (unsigned n : {0u, 1u}) {
    e->SetNumStages(n);
    EXPECT_EQ(3, e->GetStages().Num());
  }
  e->SetEndColor(0, 1, 0, 1);
  EXPECT_EQ(0xFF00FF00u, e->GetStages()[2].color);
}

TEST_F(Particles, BadStartCellsAreClampedWithAWarning) {
  struct Case {
    int start, expected;
  } cases[] = {{-5, -1}, {16, 15}, {99, 15}, {7, 7}};
  EParticleEmitterEntity* e = Emitter();
  for (const Case& c : cases) {
    e->SetTexAnimInfo2D(4, 4, c.start, 0, 10, false);
    EXPECT_EQ(c.expected, e->GetTexAnimRecord()->startFrame) << c.start;
  }
  EXPECT_EQ(3, Count("start frame"));
}

// ---- Emission ----

TEST_F(Particles, EmissionFollowsTheRateAndAZeroStepDoesNothing) {
  EParticleEmitterEntity* e = Emitter(10);
  e->SetMinParticlesPerSec(10);
  e->SetMaxParticlesPerSec(10);
  e->SetActive(true);
  e->Update(0.0f);
  EXPECT_EQ(0.0f, e->GetParticlesToEmit());
  const int expected[] = {0, 1, 1, 2, 2, 3};
  for (int i = 0; i < 6; ++i) {
    e->Update(0.05f);
    EXPECT_EQ(expected[i], e->GetNumActiveParticles()) << "step " << i;
  }
}

TEST_F(Particles, AFullRingKeepsOwingAndBurstsWhenSlotsFree) {
  EParticleEmitterEntity* e = Emitter(5);
  e->SetMinParticlesPerSec(10);
  e->SetMaxParticlesPerSec(10);
  e->SetParticleLifetime(100, 100);
  e->SetActive(true);
  for (int i = 0; i < 40; ++i) e->Update(0.05f);
  EXPECT_EQ(5, e->GetNumActiveParticles());
  EXPECT_NEAR(15.0f, e->GetParticlesToEmit(), 0.01f);
  e->AgeParticles(1.0f);
  e->Update(0.05f);  // every particle dies in this pass
  EXPECT_EQ(0, e->GetNumActiveParticles());
  e->Update(0.05f);
  EXPECT_EQ(5, e->GetNumActiveParticles()) << "the owed particles come out at once";
  EXPECT_NEAR(11.0f, e->GetParticlesToEmit(), 0.01f);
}

TEST_F(Particles, LiveSlotsStayConsecutiveAcrossTheWrap) {
  g_RenderRand.Seed(77);
  EParticleEmitterEntity* e = Emitter(6);
  e->SetMinParticlesPerSec(20);
  e->SetMaxParticlesPerSec(40);
  e->SetParticleLifetime(0.05f, 0.3f);
  e->SetActive(true);
  bool bWrapped = false;
  for (int step = 0; step < 200; ++step) {
    e->Update(0.02f);
    const int n = e->GetNumActiveParticles(), f = e->GetFirstActiveParticle();
    ASSERT_LE(n, 6);
    bWrapped |= f + n > 6;
    for (int j = 0; j < n; ++j) {
      const PARTICLEMETA* m = e->GetParticleMeta((f + j) % 6);
      EXPECT_EQ(0u, m->flags & kPARTICLE_NEW) << "step " << step;
      EXPECT_GE(m->timeRemaining, 0.0f) << "step " << step << " slot " << (f + j) % 6;
      EXPECT_LE(m->timeRemaining, 0.3f);
    }
  }
  EXPECT_TRUE(bWrapped);
}

TEST_F(Particles, RandomDrawsComeInAFixedOrder) {
  EParticleEmitterEntity* e = Emitter(4, EVec3(10, 20, 30));
  e->SetMinParticlesPerSec(1);
  e->SetMaxParticlesPerSec(1.5f);
  e->SetParticleSpeed(5, 20);
  e->SetParticleStartSize(2, 9);
  e->SetParticleLifetime(1, 4);
  e->SetMaxStartOffset(5);
  e->SetConeAngle(0.2f, 1.0f);
  e->SetActive(true);
  g_RenderRand.Seed(4242);
  ERand r;
  r.Seed(4242);
  e->Update(1.0f);
  ASSERT_EQ(1, e->GetNumActiveParticles());

  r.frand(1, 1.5f);  // rate
  const float yaw = r.frand(0, 6.2831855f);
  const float pitch = r.frand(1.5707964f - 1.0f, 1.5707964f - 0.2f);
  const float speed = r.frand(5, 20);
  const float s = r.frand();
  EVec3 o;
  o.z = r.frand(-5, 5);
  o.y = r.frand(-5, 5);
  o.x = r.frand(-5, 5);
  const float size = r.frand(2, 9);
  const float life = r.frand(1, 4);
  const uint32_t colour = ((uint32_t)r.rand() & 0x00FFFFFFu) | 0xFF000000u;

  const PARTICLE* p = e->GetParticle(0);
  const PARTICLEMETA* m = e->GetParticleMeta(0);
  const float cp = cosf(pitch);
  EXPECT_NEAR(cosf(yaw) * cp * speed, m->vel.x, 1e-4f);
  EXPECT_NEAR(sinf(pitch) * speed, m->vel.y, 1e-4f);
  EXPECT_NEAR(sinf(yaw) * cp * speed, m->vel.z, 1e-4f);
  (void)s;  // the emitter did not move: every point of its path is (10, 20, 30)
  EXPECT_NEAR(10 + o.x, p->pos.x, 1e-4f);
  EXPECT_NEAR(20 + o.y, p->pos.y, 1e-4f);
  EXPECT_NEAR(30 + o.z, p->pos.z, 1e-4f);
  EXPECT_FLOAT_EQ(size, p->size);
  EXPECT_FLOAT_EQ(life, m->timeRemaining);
  EXPECT_FLOAT_EQ(1.0f / life, m->invLifetime);
  EXPECT_EQ(colour, p->color);
}

TEST_F(Particles, AZeroLifetimeGivesATinyPositiveLife) {
  EParticleEmitterEntity* e = Emitter(4);
  e->SetParticleLifetime(0, 0);
  e->SetActive(true);
  e->SetInitialParticles(2);
  e->Update(0.01f);
  ASSERT_EQ(2, e->GetNumActiveParticles());
  for (int j = 0; j < 2; ++j) {
    EXPECT_GT(e->GetParticleMeta(j)->timeRemaining, 0.0f);
    EXPECT_TRUE(std::isfinite(e->GetParticleMeta(j)->invLifetime));
  }
  e->SetActive(false);
  e->Update(0.01f);
  EXPECT_EQ(0, e->GetNumActiveParticles());
}

// A distribution that starts every particle one unit along x, heading up,
// with texture coordinates of its own.
class OnePointDistribution : public EParticleDistribution {
public:
  void GetParticles(PARTICLE*, int) override {}
  void InitFrame(float, int) override {}
  void GetNextParticle(PARTICLE* p, PARTICLEMETA* m, EVec3*) override {
    p->pos = EVec3(1, 0, 0);
    m->vel = EVec3(0, 1, 0);
    static_cast<PARTICLEANIM*>(p)->uv[0] = EVec2(0.75f, 0.25f);
    ++m_iCalls;
  }
  float GetMaxExtent() override { return 1; }
  bool HandlesUV() override { return true; }
  bool CleanupReferences() override { return m_bGone; }
  int m_iCalls = 0;
  bool m_bGone = false;
};

TEST_F(Particles, DistributionsPlaceAndAimTheParticles) {
  EParticleEmitterEntity* e = Emitter(4, EVec3(10, 0, 0));
  OnePointDistribution* d = new OnePointDistribution();
  e->SetDistribution(d);
  e->SetParticleSpeed(7, 7);
  e->SetFlag(kPARTICLEEMITTER_NOSPREAD);
  e->SetTexAnimInfo2D(2, 2, 0, 0, 0, false);
  e->SetActive(true);
  e->SetInitialParticles(2);
  e->Update(0.01f);
  ASSERT_EQ(2, e->GetNumActiveParticles());
  EXPECT_EQ(2, d->m_iCalls);
  const PARTICLEANIM& p = e->GetAnimParticles()[0];
  EXPECT_EQ(EVec3(11, 0, 0), p.pos) << "emitter space carried to the world";
  EXPECT_EQ(EVec3(0, 7, 0), e->GetAnimParticleMeta()[0].vel);
  EXPECT_EQ(0.75f, p.uv[0].x) << "the distribution's own coordinates are kept";

  d->m_bGone = true;
  e->CleanupReferences();
  EXPECT_FALSE(e->GetActive());
  e->ReleaseDistribution();
  EXPECT_EQ(nullptr, e->GetDistribution());
}

// ---- Physics ----

struct PhysicsCase {
  PARTICLE p;
  PARTICLEMETA m;
};

TEST_F(Particles, PhysicsKnownAnswers) {
  EParticleEmitterEntity* e = Emitter(4, EVec3(0, 0, 0));
  EMat4 W;
  W.LoadIdentity();
  const EVec3 up(0, 1, 0);
  EParticleEmitterEntity::s_nFrameAffectors = 0;

  // Ground bounce.
  e->SetFlag(kPARTICLEEMITTER_COLLIDEWITHGROUND);
  e->SetGroundHeight(0);
  PhysicsCase b;
  b.p.pos = EVec3(0, -5, 0);
  b.m.vel = EVec3(0, -100, 0);
  e->UpdateParticlePhysics(0.01f, &b.p, &b.m, nullptr, W, W, up);
  EXPECT_NEAR(50.0f, b.m.vel.y, 1e-4f);
  EXPECT_NEAR(1.0f, b.p.pos.y, 1e-5f);
  e->UnsetFlag(kPARTICLEEMITTER_COLLIDEWITHGROUND);

  // Gravity.
  e->SetFlag(kPARTICLEEMITTER_APPLYGRAVITY);
  PhysicsCase g;
  e->UpdateParticlePhysics(0.1f, &g.p, &g.m, nullptr, W, W, up);
  EXPECT_NEAR(-150.0f, g.m.vel.y, 1e-3f);
  e->UnsetFlag(kPARTICLEEMITTER_APPLYGRAVITY);

  // A falloff sphere: k = 0.75 at 50 of 100, force 1.5 x offset.
  EParticleAffectorEntity* A = Affector(kPARTICLEAFFECTOR_SPHERE | kPARTICLEAFFECTOR_FALLOFF, 100, 2, EVec3(0, 0, 0));
  EParticleEmitterEntity::s_apFrameAffectors[0] = A;
  EParticleEmitterEntity::s_nFrameAffectors = 1;
  PhysicsCase f;
  f.p.pos = EVec3(30, 40, 0);
  e->UpdateParticlePhysics(0.1f, &f.p, &f.m, nullptr, W, W, up);
  EXPECT_NEAR(1.5f * 30 * 0.1f, f.m.vel.x, 1e-4f);
  EXPECT_NEAR(1.5f * 40 * 0.1f, f.m.vel.y, 1e-4f);

  // A no-mercy sphere deflector: from 30 out it moves 70 toward the centre and stops.
  EParticleAffectorEntity* D = Affector(kPARTICLEDEFLECTOR_SPHERE | kPARTICLEAFFECTOR_NOMERCY, 100, 0, EVec3(0, 0, 0));
  EParticleEmitterEntity::s_apFrameAffectors[0] = D;
  PhysicsCase d;
  d.p.pos = EVec3(30, 0, 0);
  d.m.vel = EVec3(10, 0, 0);
  e->UpdateParticlePhysics(0.01f, &d.p, &d.m, nullptr, W, W, up);
  EXPECT_NEAR(30.1f - 70.0f, d.p.pos.x, 1e-4f);
  EXPECT_EQ(EVec3(0, 0, 0), d.m.vel);
  EParticleEmitterEntity::s_nFrameAffectors = 0;
}

TEST_F(Particles, LifetimeParksRenewsAndKills) {
  EParticleEmitterEntity* e = Emitter(4);
  e->SetMinParticlesPerSec(0);
  e->SetMaxParticlesPerSec(0);
  e->SetActive(true);
  e->SetInitialParticles(1);
  e->Update(0.01f);
  PARTICLE* p = e->GetParticle(0);
  PARTICLEMETA* m = e->GetParticleMeta(0);
  m->timeRemaining = -100;
  e->UpdateParticleLifetime(5.0f, p, m, nullptr);
  EXPECT_EQ(-100.0f, m->timeRemaining) << "a parked particle never ages";
  EXPECT_EQ(1, e->GetNumActiveParticles());

  e->SetParticleLifetime(-1, 1);  // also kills the live particles
  e->SetInitialParticles(1);
  e->Update(0.01f);
  ASSERT_EQ(1, e->GetNumActiveParticles());
  for (int i = 0; i < 50; ++i) e->Update(0.1f);
  EXPECT_EQ(1, e->GetNumActiveParticles()) << "negative minimum: renewed in place for ever";
  EXPECT_GT(e->GetParticleMeta(e->GetFirstActiveParticle())->timeRemaining, 0.0f);
}

TEST_F(Particles, GroundIsMeasuredBelowTheEmitterEachSimulatedFrame) {
  EParticleEmitterEntity* e = Emitter(4, EVec3(0, 50, 100));
  e->SetFlag(kPARTICLEEMITTER_COLLIDEWITHGROUND);
  e->SetActive(true);
  e->ProcessFrame(10);
  EXPECT_FLOAT_EQ(-950.0f, e->GetGroundHeight()) << "nothing hit: 1000 below the emitter";
  e->SetFlag(kPARTICLEEMITTER_RELATIVE);
  e->WakeUp(true);
  e->ProcessFrame(10);
  EXPECT_FLOAT_EQ(-1000.0f, e->GetGroundHeight()) << "relative to the emitter";
}

// ---- Visibility, sleep and children ----

TEST_F(Particles, VisibilityFallsOffBeyond2500Units) {
  struct Case {
    float z, expected;
  } cases[] = {{3500, 0}, {3000, 0.5f}, {2000, 1}, {3600, 0}};
  EParticleEmitterEntity* e = Emitter();
  for (const Case& c : cases) {
    e->InitPosition(EVec3(0, 0, c.z));
    const EBox3 box(EVec3(-1, -1, c.z - 1), EVec3(1, 1, c.z + 1));
    ASSERT_LE(m_Camera.CalculateScreenDiagonal(box), 100.0f);
    EXPECT_NEAR(c.expected, e->CalcVisibility(box), 1e-4f) << c.z;
  }
  // A box covering 150 pixels far away is half visible by its size.
  e->InitPosition(EVec3(0, 0, 5000));
  const float h = 150.0f / sqrtf(2.0f) * 0.5f * 5000.0f / 320.0f;
  const EBox3 big(EVec3(-h, -h, 5000), EVec3(h, h, 5000));
  EXPECT_NEAR(0.5f, e->CalcVisibility(big), 1e-3f);
}

TEST_F(Particles, UnseenEmittersRunOneFrameInAWhile) {
  EParticleEmitterEntity* e = Emitter(40, EVec3(0, 0, -5000));  // behind the camera
  e->SetMinParticlesPerSec(100);
  e->SetMaxParticlesPerSec(100);
  e->SetActive(true);  // asks for the next frame
  m_pApp->SetSimElapsedTime(10.0);
  e->ProcessFrame(100);
  const int n = e->GetNumActiveParticles();
  EXPECT_EQ(10, n) << "the woken frame runs";
  const float next = e->GetNextLazyUpdate();
  EXPECT_GE(next, 10.2f);
  EXPECT_LE(next, 10.4f);

  const int skipped = EParticleManager::m_iNumNotSimulatedEmitters;
  m_pApp->SetSimElapsedTime(10.1);
  e->ProcessFrame(100);
  EXPECT_EQ(n, e->GetNumActiveParticles()) << "frozen";
  EXPECT_EQ(skipped + 1, EParticleManager::m_iNumNotSimulatedEmitters);
  m_pApp->SetSimElapsedTime(10.5);
  e->ProcessFrame(100);
  EXPECT_EQ(n + 10, e->GetNumActiveParticles()) << "one frame's time, the skipped ones lost";

  m_pApp->m_DebugHooks.LazyUpdateParticles = false;
  m_pApp->SetSimElapsedTime(10.55);
  e->ProcessFrame(100);
  EXPECT_EQ(n + 20, e->GetNumActiveParticles());
}

TEST_F(Particles, IdleEmittersGiveTheirSlotsBackAndSleep) {
  EParticleEmitterEntity* e = Emitter(30);
  e->SetMinParticlesPerSec(0);
  e->SetMaxParticlesPerSec(0);  // nothing left owed after the two
  e->SetActive(true);
  e->SetInitialParticles(2);
  e->Update(0.01f);
  e->SetActive(false);
  e->Update(0.01f);
  EXPECT_FALSE(e->GetEntityFlag(ENTITY_NOSIMULATE)) << "particles still live";
  e->AgeParticles(1.0f);
  e->Update(0.01f);
  ASSERT_EQ(0, e->GetNumActiveParticles());
  e->Update(0.01f);
  EXPECT_TRUE(e->GetEntityFlag(ENTITY_NOSIMULATE));
  EXPECT_EQ(0, e->GetMaxParticles());
  EXPECT_EQ(30, e->GetDeferredMaxParticles());
  EXPECT_EQ(nullptr, e->GetNormalParticles());
  e->SetActive(true);
  EXPECT_EQ(30, e->GetMaxParticles());
}

TEST_F(Particles, ChildrenAreDrawnOnlyThroughTheirParent) {
  m_pApp->m_iFrameCount = 7;
  EParticleEmitterEntity* parent = Emitter(4, EVec3(0, 0, -500));  // behind the camera
  EParticleEmitterEntity* child = Emitter(4, EVec3(0, 0, 500));
  for (EParticleEmitterEntity* e : {parent, child}) {
    e->SetParticleSpeed(0, 0);
    e->SetActive(true);
    e->SetInitialParticles(1);
    e->Update(0.01f);
  }
  parent->AttachChildEmitter(child);
  parent->AttachChildEmitter(child);
  EXPECT_EQ(1, parent->GetChildEmitters().Num());
  child->RequestRender();
  EXPECT_EQ(-1, child->m_nQueuedFrame);
  parent->RequestRender();
  EXPECT_EQ(7, parent->m_nQueuedFrame) << "queued for its visible child";

  m_pApp->m_iFrameCount = 8;
  child->InitPosition(EVec3(0, 0, -400));
  child->UnsetFlag(kPARTICLEEMITTER_ACTIVE);
  child->AgeParticles(1.0f);
  child->Update(0.01f);  // no particles left: its box is around its new place
  ASSERT_EQ(0, child->GetNumActiveParticles());
  const int notDrawn = EParticleManager::m_iNumNotDrawnEmitters;
  parent->RequestRender();
  EXPECT_EQ(7, parent->m_nQueuedFrame);
  EXPECT_EQ(notDrawn + 1, EParticleManager::m_iNumNotDrawnEmitters);

  child->DetachFromParentEmitter();
  EXPECT_EQ(0, parent->GetChildEmitters().Num());
  EXPECT_EQ(nullptr, child->GetParentEmitter());
}

// ---- Affectors ----

TEST_F(Particles, AffectorListOperations) {
  EParticleAffectorEntity* A[5] = {nullptr};
  for (int i = 1; i <= 4; ++i) A[i] = Affector(kPARTICLEAFFECTOR_SPHERE, 10, 1, EVec3(0, 0, 0));
  enum Op { kAdd, kSet, kPrimary, kSecondary };
  struct Case {
    std::vector<int> start;  // affector numbers, 0 for an empty slot
    Op op;
    unsigned slot;
    int affector;
    std::vector<int> expected;
    int result;
  } cases[] = {
      {{1, 0, 2}, kAdd, 0, 3, {1, 3, 2}, 1},
      {{1, 2, 3}, kSet, 0, 0, {2, 3}, -1},
      {{1, 0, 3}, kSet, 0, 0, {0, 3}, -1},
      {{}, kSet, 3, 1, {0, 0, 0, 1}, -1},
      {{1}, kSet, 4, 0, {1}, -1},
      {{}, kPrimary, 0, 4, {4}, -1},
      {{1}, kPrimary, 0, 4, {4}, -1},
      {{1}, kSecondary, 0, 4, {1, 4}, -1},
      {{1, 2}, kSecondary, 0, 4, {1, 4}, -1},
      {{0, 2}, kSecondary, 0, 4, {4, 2}, -1},
  };
  int iCase = 0;
  for (const Case& c : cases) {
    EParticleEmitterEntity* e = Emitter();
    for (size_t i = 0; i < c.start.size(); ++i)
      if (c.start[i]) e->setParticleAffector((unsigned)i, A[c.start[i]]);
    int result = -1;
    EParticleAffectorEntity* pArg = c.affector ? A[c.affector] : nullptr;
    switch (c.op) {
      case kAdd: result = e->AddParticleAffector(pArg); break;
      case kSet: e->setParticleAffector(c.slot, pArg); break;
      case kPrimary: e->setPrimaryParticleAffector(pArg); break;
      case kSecondary: e->setSecondaryParticleAffector(pArg); break;
    }
    ASSERT_EQ((int)c.expected.size(), e->GetAffectors().Num()) << "case " << iCase;
    for (size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_EQ(c.expected[i] ? A[c.expected[i]] : nullptr, e->GetAffectors()[(int)i]) << "case " << iCase << " slot " << i;
    if (c.result >= 0) {
      EXPECT_EQ(c.result, result) << "case " << iCase;
    }
    ++iCase;
  }
}

TEST_F(Particles, AffectorsAreGatheredWhenTheirReachTouchesTheBox) {
  const EBox3 box(EVec3(-10, -10, -10), EVec3(10, 10, 10));
  struct Case {
    uint32_t flags;
    float x;
    bool gathered;
  } cases[] = {
      {kPARTICLEAFFECTOR_SPHERE, 60, true},
      {kPARTICLEAFFECTOR_SPHERE, 160, false},
      {kPARTICLEDEFLECTOR_SPHERE, 60, true},
      {kPARTICLEDEFLECTOR_SPHERE | kPARTICLEAFFECTOR_INVERSE, 60, true},
      {kPARTICLEDEFLECTOR_SPHERE | kPARTICLEAFFECTOR_INVERSE, 160, false},
      {kPARTICLEAFFECTOR_CYLINDER, 160, false},
      {0, 5000, true},  // no type: always gathered, does nothing
  };
  for (const Case& c : cases) {
    EParticleEmitterEntity* e = Emitter();
    EParticleAffectorEntity* a = Affector(c.flags, 100, 1, EVec3(c.x, 0, 0));
    e->AddParticleAffector(a);
    e->GatherFrameAffectors(box);
    EXPECT_EQ(c.gathered ? 1 : 0, EParticleEmitterEntity::s_nFrameAffectors) << std::hex << c.flags << " at " << c.x;
    a->SetActive(false);
    e->GatherFrameAffectors(box);
    EXPECT_EQ(0, EParticleEmitterEntity::s_nFrameAffectors) << "inactive affectors are left out";
  }
  EParticleEmitterEntity::s_nFrameAffectors = 0;
}

TEST_F(Particles, DeadAffectorsAreDroppedFromEverySlot) {
  EParticleEmitterEntity* e = Emitter();
  std::vector<EParticleAffectorEntity*> list;
  for (int i = 0; i < 10; ++i) {
    list.push_back(Affector(kPARTICLEAFFECTOR_SPHERE, 1000, 1, EVec3(0, 0, 0)));
    e->AddParticleAffector(list.back());
  }
  list[2]->InternalDelayedDelete();
  list[9]->InternalDelayedDelete();  // beyond the eight a pass takes
  e->CleanupReferences();
  ASSERT_EQ(8, e->GetAffectors().Num());
  const int kept[] = {0, 1, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(list[kept[i]], e->GetAffectors()[i]);
  e->GatherFrameAffectors(EBox3(EVec3(-1, -1, -1), EVec3(1, 1, 1)));
  for (int i = 0; i < EParticleEmitterEntity::s_nFrameAffectors; ++i)
    EXPECT_FALSE(EParticleEmitterEntity::s_apFrameAffectors[i]->IsDead());
  EParticleEmitterEntity::s_nFrameAffectors = 0;
}

TEST_F(Particles, DepthSortGathersTheWrappedRingBackToFront) {
  EParticleEmitterEntity* e = Emitter(5, EVec3(0, 0, 0));
  e->SetParticleSpeed(0, 0);
  e->SetParticleLifetime(100, 100);
  e->SetMaxStartOffset(50);
  e->SetActive(true);
  e->SetInitialParticles(4);
  e->Update(0.01f);
  e->AgeParticles(1.0f);
  e->UnsetFlag(kPARTICLEEMITTER_ACTIVE);
  // Kill two of the oldest: the ring then starts at slot 2.
  e->GetParticleMeta(2)->timeRemaining = e->GetParticleMeta(3)->timeRemaining = 50;
  e->Update(0.01f);
  ASSERT_EQ(2, e->GetNumActiveParticles());
  e->SetActive(true);
  e->SetInitialParticles(2);
  e->Update(0.01f);  // slots 4 and 0: the live run wraps
  ASSERT_EQ(4, e->GetNumActiveParticles());
  e->SetFlag(kPARTICLEEMITTER_DEPTHSORT);
  e->UnsetFlag(kPARTICLEEMITTER_ACTIVE);
  e->Update(0.01f);
  EXPECT_EQ(0, e->GetFirstActiveParticle());
  for (int j = 0; j + 1 < 4; ++j) EXPECT_GE(e->GetParticle(j)->pos.z, e->GetParticle(j + 1)->pos.z) << j;
}

}  // namespace
