// Particle drawing: the quad writers' pushed words, the manager's frame
// order, its render state, emitter drawing with distortion, and the merge of
// a parent with its children.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Rect.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Primitives.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/ParticleRenderHooks.h"

namespace {

// What the watchers and the render hooks saw.
struct DrawLog {
  std::vector<std::vector<uint32_t>> pushes;  // each push buffer's written words
  std::vector<unsigned> asked;                // words asked for, per push
  std::vector<unsigned> blocks;               // block header words
  std::vector<EVec4> colours;                 // shader colours
  std::vector<std::string> lines;
  int distortions = 0;
  unsigned distortFlags = 0;
  float distortStrength = 0;
  EVec3 distortTint{0, 0, 0};
  bool fog = false;
  int domain = 0;
  EVec3 irradiance{0, 0, 0};
  bool sphere = false;
  ESphere sortSphere;
  bool buddy = false;
  EBox3 buddyBox;
};
DrawLog* s_pLog = nullptr;

void LogPush(const uint32_t* b, const uint32_t* e, unsigned asked) {
  s_pLog->pushes.emplace_back(b, e);
  s_pLog->asked.push_back(asked);
}
void LogBlock(unsigned words) { s_pLog->blocks.push_back(words); }
void LogLine(const char* text) { s_pLog->lines.push_back(text ? text : ""); }
void LogShader(float, float, const EVec4& k) { s_pLog->colours.push_back(k); }
void LogDistort(unsigned flags, float strength, const EVec3& tint, const ERect&) {
  ++s_pLog->distortions;
  s_pLog->distortFlags = flags;
  s_pLog->distortStrength = strength;
  s_pLog->distortTint = tint;
}
bool HookFog(EVec4& c) {
  c = EVec4(0.25f, 0.5f, 0.75f, 0.0f);
  return s_pLog->fog;
}
int HookDomain() { return s_pLog->domain; }
EVec3 HookIrradiance(const EBox3&) { return s_pLog->irradiance; }
bool HookSphere(ESphere& s) {
  s = s_pLog->sortSphere;
  return s_pLog->sphere;
}
bool HookMeshBox(EMeshEntity*, EBox3& box) {
  box = s_pLog->buddyBox;
  return s_pLog->buddy;
}

// One vertex as pushed.
struct Vert {
  float x, y, z;
  uint32_t colour;
  float u, v;
  uint32_t offset;
};
static_assert(sizeof(Vert) == 28, "the particle vertex is 28 bytes");

std::vector<Vert> Verts(const std::vector<uint32_t>& words) {
  std::vector<Vert> out(words.size() * 4 / sizeof(Vert));
  if (!out.empty()) memcpy(out.data(), words.data(), out.size() * sizeof(Vert));
  return out;
}

uint32_t Offset(int x, int y) { return (uint32_t)(uint16_t)(int16_t)x | ((uint32_t)(uint16_t)(int16_t)y << 16); }

// Places an emitter's live run anywhere in its ring.
struct RingAccess : EParticleEmitterEntity {
  static int32_t EParticleEmitterEntity::*First() { return &RingAccess::mFirstActiveParticle; }
  static int32_t EParticleEmitterEntity::*Live() { return &RingAccess::mNumActiveParticles; }
};

class ParticleDraw : public ::testing::Test {
protected:
  void SetUp() override {
    m_pRoot = new EDomain(nullptr, nullptr);
    m_pLevel = m_pRoot->CreateChildDomain("Level", &ECollisionManager::sm_CM);
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pApp->SetRenderCamera(&m_Camera);  // at the origin looking down +z
    // A renderer without a device: push buffers are written and checked,
    // and their draws skipped for want of a shader.
    ASSERT_EQ(nullptr, g_pCurrentRenderer);
    m_pRenderer = new ERenderer();
    g_pCurrentRenderer = m_pRenderer;
    s_pLog = &m_Log;
    m_SavedHooks = g_ParticleRenderHooks;
    g_ParticleRenderHooks.pfnSetShaderParticleBillboard = LogShader;
    g_ParticleRenderHooks.pfnApplyDistortionToScreen = LogDistort;
    g_ParticleRenderHooks.pfnGetSceneFog = HookFog;
    g_ParticleRenderHooks.pfnGetRenderDomain = HookDomain;
    g_ParticleRenderHooks.pfnGetCombinedIrradiance = HookIrradiance;
    g_ParticleRenderHooks.pfnGetSortingSphere = HookSphere;
    g_ParticleRenderHooks.pfnGetMeshBox = HookMeshBox;
    EParticleManager::sm_pfnPushWatcher = LogPush;
    EParticleManager::sm_pfnBlockWatcher = LogBlock;
    g_ErrorManager.SetConsoleCallback(LogLine);
    m_Manager.Init();
    m_Manager.ResetFrame();
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    EParticleManager::sm_pfnPushWatcher = nullptr;
    EParticleManager::sm_pfnBlockWatcher = nullptr;
    g_ParticleRenderHooks = m_SavedHooks;
    s_pLog = nullptr;
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    if (g_pCurrentRenderer == m_pRenderer) g_pCurrentRenderer = nullptr;
    delete m_pRenderer;
    gGameApp = nullptr;
    delete m_pApp;
    delete m_pRoot;
  }
  // An emitter of `slots` slots of the flags' record kind.
  EParticleEmitterEntity* Emitter(int slots, uint32_t flags = 0, const EVec3& at = EVec3(0, 0, 100)) {
    EParticleEmitterEntity* e = EParticleEmitterEntity::Create(m_pLevel, "emitter");
    m_made.push_back(e);
    e->InitPosition(at);
    e->SetFlag(flags);
    e->SetMaxParticles(slots);
    e->SetActive(true);  // a sleeping emitter holds no slots
    EXPECT_EQ(slots, e->GetMaxParticles());
    return e;
  }
  // An emitter with n live particles still at its position.
  EParticleEmitterEntity* Live(int n, uint32_t flags = 0, const EVec3& at = EVec3(0, 0, 100)) {
    EParticleEmitterEntity* e = Emitter(n + 2, flags, at);
    e->SetParticleSpeed(0, 0);
    e->SetActive(true);
    e->SetInitialParticles(n);
    e->Update(0.01f);
    EXPECT_EQ(n, e->GetNumActiveParticles());
    return e;
  }
  PARTICLE* Slot(EParticleEmitterEntity* e, int i) { return e->GetParticle(i); }
  std::vector<Vert> Draw(EParticleEmitterEntity* e, int first, int count) {
    m_Log.pushes.clear();
    m_Manager.DrawQuadSprites(e, first, count);
    EXPECT_EQ(1u, m_Log.pushes.size());
    return m_Log.pushes.empty() ? std::vector<Vert>() : Verts(m_Log.pushes.back());
  }
  EParticleEmitterEntity* Sorted(int i) {
    return m_Manager.GetEmitterArray()->ElementGet(m_Manager.GetSortedEmitters()[i])->m_pEmitter;
  }
  float SortDistance(int i) {
    return m_Manager.GetEmitterArray()->ElementGet(m_Manager.GetSortedEmitters()[i])->m_fSortDistance;
  }

  DrawLog m_Log;
  EParticleRenderHooks m_SavedHooks;
  EDomain* m_pRoot = nullptr;
  EDomain* m_pLevel = nullptr;
  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  ECamera m_Camera;
  EParticleManager m_Manager;
  std::vector<EEntity*> m_made;
};

// ---- Quad writers ----

TEST_F(ParticleDraw, CameraFacingQuadTruncatesItsOffsets) {
  EParticleEmitterEntity* e = Emitter(4);
  PARTICLE* p = Slot(e, 1);
  p->pos = EVec3(1, 2, 3);
  p->color = 0x80FF4020u;
  p->size = 7.0f;
  const std::vector<Vert> v = Draw(e, 1, 1);
  ASSERT_EQ(4u, v.size());
  const uint32_t offsets[4] = {0xFFFDFFFDu, 0xFFFD0003u, 0x00030003u, 0x0003FFFDu};
  const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(offsets[k], v[k].offset) << "corner " << k;
    EXPECT_EQ(uv[k][0], v[k].u) << "corner " << k;
    EXPECT_EQ(uv[k][1], v[k].v) << "corner " << k;
    EXPECT_EQ(0x80FF4020u, v[k].colour);
    EXPECT_EQ(1.0f, v[k].x);
    EXPECT_EQ(2.0f, v[k].y);
    EXPECT_EQ(3.0f, v[k].z);
  }
  EXPECT_EQ(7u * 4 + 1 + 4, m_Log.asked.back()) << "7V + B + 4 words";
}

TEST_F(ParticleDraw, RotatedQuadRoundsItsTurnedOffsetsAwayFromZero) {
  struct Case {
    float size, angle;
    int x[4], y[4];
  } cases[] = {
      {7.0f, 0.0f, {-4, 4, 4, -4}, {-4, -4, 4, 4}},     // 3.5 rounds to 4
      {8.0f, 90.0f, {-4, -4, 4, 4}, {4, -4, -4, 4}},    // corner 0 becomes (-h, h)
      {8.0f, 89.6f, {-4, -4, 4, 4}, {4, -4, -4, 4}},    // the angle rounds to 90
      {-7.0f, 0.0f, {4, -4, -4, 4}, {4, 4, -4, -4}},    // negative halves round down
  };
  EParticleEmitterEntity* e = Emitter(2, kPARTICLEEMITTER_ROTATED);
  for (const Case& c : cases) {
    PARTICLEFULL& p = e->GetFullParticles()[0];
    p.size = c.size;
    p.rot = EVec3(0, c.angle, 0);
    const std::vector<Vert> v = Draw(e, 0, 1);
    ASSERT_EQ(4u, v.size());
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(Offset(c.x[k], c.y[k]), v[k].offset) << "size " << c.size << " angle " << c.angle << " corner " << k;
  }
}

TEST_F(ParticleDraw, AnimatedQuadsFlipTheCellsV) {
  for (uint32_t flags : {(uint32_t)kPARTICLEEMITTER_ANIMATED, (uint32_t)(kPARTICLEEMITTER_ANIMATED | kPARTICLEEMITTER_ROTATED)}) {
    EParticleEmitterEntity* e = Emitter(2, flags);
    PARTICLEANIM& p = e->GetAnimParticles()[0];
    p.size = 4.0f;
    // Cell (1, 2) of a 4 x 4 grid.
    p.uv[0] = EVec2(0.25f, 0.5f);
    p.uv[1] = EVec2(0.5f, 0.5f);
    p.uv[2] = EVec2(0.5f, 0.75f);
    p.uv[3] = EVec2(0.25f, 0.75f);
    const std::vector<Vert> v = Draw(e, 0, 1);
    ASSERT_EQ(4u, v.size());
    for (int k = 0; k < 4; ++k) {
      EXPECT_FLOAT_EQ(p.uv[k].x, v[k].u) << "flags " << flags << " corner " << k;
      EXPECT_FLOAT_EQ(1.0f - p.uv[k].y, v[k].v) << "flags " << flags << " corner " << k;
    }
  }
}

TEST_F(ParticleDraw, RunsAreSplitIntoBlocksOf72Quads) {
  struct Case {
    int n;
    std::vector<unsigned> blockVerts;
  } cases[] = {{1, {4}}, {72, {288}}, {73, {288, 4}}, {144, {288, 288, 0}}, {150, {288, 288, 24}}};
  EParticleEmitterEntity* e = Emitter(200);
  for (int i = 0; i < 200; ++i) Slot(e, i)->pos = EVec3((float)i, 0, 0);
  for (const Case& c : cases) {
    m_Log.blocks.clear();
    const std::vector<Vert> v = Draw(e, 0, c.n);
    std::vector<unsigned> words;
    for (unsigned b : c.blockVerts) words.push_back(7 * b);
    EXPECT_EQ(words, m_Log.blocks) << c.n << " particles";
    EXPECT_EQ((size_t)(4 * c.n), v.size()) << c.n << " particles";
    EXPECT_EQ((unsigned)(28 * c.n + c.blockVerts.size() + 4), m_Log.asked.back()) << c.n << " particles";
    ASSERT_FALSE(v.empty());
    EXPECT_EQ((float)(c.n - 1), v.back().x) << "the last quad is the run's last particle";
  }
}

TEST_F(ParticleDraw, ARunWrapsAtTheEndOfTheRing) {
  EParticleEmitterEntity* e = Emitter(10);
  for (int i = 0; i < 10; ++i) Slot(e, i)->pos = EVec3((float)i, 0, 0);
  const std::vector<Vert> v = Draw(e, 8, 4);
  ASSERT_EQ(16u, v.size());
  const float expected[4] = {8, 9, 0, 1};
  for (int q = 0; q < 4; ++q) EXPECT_EQ(expected[q], v[q * 4].x) << "quad " << q;
}

TEST_F(ParticleDraw, RotatedOrientedQuadsTurnOntoTheMotion) {
  struct Case {
    const char* name;
    EVec3 vel;
    EVec3 corner0;  // relative to the particle, size 10
  } cases[] = {
      {"up", EVec3(0, 1, 0), EVec3(-5, 0, -5)},
      {"straight down: a half turn about x", EVec3(0, -3, 0), EVec3(-5, 0, 5)},
      {"still: no turn", EVec3(0, 0, 0), EVec3(-5, 0, -5)},
  };
  for (uint32_t anim : {0u, (uint32_t)kPARTICLEEMITTER_ANIMATED}) {
    EParticleEmitterEntity* e = Emitter(2, kPARTICLEEMITTER_ROTATED | kPARTICLEEMITTER_ORIENTED | anim);
    for (const Case& c : cases) {
      PARTICLE* p = Slot(e, 0);
      p->pos = EVec3(10, 20, 30);
      p->size = 10.0f;
      e->GetParticleMeta(0)->vel = c.vel;
      const std::vector<Vert> v = Draw(e, 0, 1);
      ASSERT_EQ(4u, v.size());
      const EVec3 at(v[0].x - 10, v[0].y - 20, v[0].z - 30);
      EXPECT_NEAR(c.corner0.x, at.x, 1e-4f) << c.name;
      EXPECT_NEAR(c.corner0.y, at.y, 1e-4f) << c.name;
      EXPECT_NEAR(c.corner0.z, at.z, 1e-4f) << c.name;
      EXPECT_NEAR(10.0f, std::fabs(v[2].x - v[0].x), 1e-4f) << c.name << ": x spans the length";
      EXPECT_EQ(0u, v[0].offset);
    }
  }
}

TEST_F(ParticleDraw, OrientedQuadsLieAlongTheOrientation) {
  EParticleEmitterEntity* e = Emitter(2, kPARTICLEEMITTER_ORIENTED);
  PARTICLE* p = Slot(e, 0);
  p->pos = EVec3(0, 0, 50);
  p->size = 4.0f;
  *e->GetOrientation(0) = EVec3(0, 3, 0);  // moving up, seen along +z
  std::vector<Vert> v = Draw(e, 0, 1);
  ASSERT_EQ(4u, v.size());
  EXPECT_NEAR(-2.0f, v[0].y, 1e-5f) << "corner 0 is half the size back along the motion";
  EXPECT_NEAR(2.0f, v[2].y, 1e-5f);
  EXPECT_NEAR(4.0f, std::fabs(v[1].x - v[0].x), 1e-5f) << "the width turns to face the camera";
  *e->GetOrientation(0) = EVec3(0, 0, 0);
  v = Draw(e, 0, 1);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(50.0f, v[k].z) << "no orientation: every corner on the particle";
}

// ---- The frame's order ----

TEST_F(ParticleDraw, EmittersAreOrderedFarthestFirstWithPostOnlyLast) {
  m_Manager.PreprocessAll();
  EXPECT_EQ(0, m_Manager.GetNumActiveEmitters());
  EXPECT_EQ(-1, m_Manager.FindFirstPostEmitter());

  EParticleEmitterEntity* nearE = Live(1, 0, EVec3(0, 0, 100));
  EParticleEmitterEntity* postFar = Live(1, kPARTICLEEMITTER_POSTONLY, EVec3(0, 0, 1000));
  EParticleEmitterEntity* farE = Live(1, 0, EVec3(0, 0, 500));
  EParticleEmitterEntity* postNear = Live(1, kPARTICLEEMITTER_POSTONLY, EVec3(0, 0, 300));
  for (EParticleEmitterEntity* e : {nearE, postFar, farE, postNear}) EParticleManager::AddEmitter(e);
  m_Manager.PreprocessAll();
  ASSERT_EQ(4, m_Manager.GetNumActiveEmitters());
  EXPECT_EQ(farE, Sorted(0));
  EXPECT_EQ(nearE, Sorted(1));
  EXPECT_EQ(postFar, Sorted(2));
  EXPECT_EQ(postNear, Sorted(3));
  EXPECT_EQ(2, m_Manager.FindFirstPostEmitter());
  EXPECT_EQ(4, m_Manager.GetFrameParticleCount());

  m_Manager.ResetFrame();
  m_Manager.PreprocessAll();
  EXPECT_EQ(0, m_Manager.GetNumActiveEmitters());
}

TEST_F(ParticleDraw, SortBuddyAndSortingSphereShiftTheDistance) {
  EMeshEntity* buddy = EMeshEntity::Create(m_pLevel, "buddy");
  m_made.push_back(buddy);
  EParticleEmitterEntity* e = Live(1, 0, EVec3(0, 0, 100));
  const float measured = (e->GetAbsAdjustedBoundingBox().NearestPosition(EVec3(0, 0, 0))).Length();
  struct Case {
    const char* name;
    bool buddy;
    float buddyAt;
    bool sphere;
    ESphere s;
    float expected;
  } cases[] = {
      {"nothing", false, 0, false, ESphere(), measured},
      {"buddy nearer", true, 60, false, ESphere(), 59.0f},
      {"buddy farther", true, 400, false, ESphere(), measured},
      {"both inside the sphere", false, 0, true, ESphere(EVec3(0, 0, 50), 200), measured - 100000.0f},
      {"both outside the sphere", false, 0, true, ESphere(EVec3(0, 0, 1000), 10), measured - 100000.0f},
      {"camera inside only", false, 0, true, ESphere(EVec3(0, 0, 0), 20), measured},
  };
  for (const Case& c : cases) {
    m_Manager.ResetFrame();
    e->SetSortBuddy(c.buddy ? buddy : nullptr, false);
    m_Log.buddy = c.buddy;
    m_Log.buddyBox = EBox3(EVec3(-5, -5, c.buddyAt), EVec3(5, 5, c.buddyAt + 10));
    m_Log.sphere = c.sphere;
    m_Log.sortSphere = c.s;
    EParticleManager::AddEmitter(e);
    m_Manager.PreprocessAll();
    ASSERT_EQ(1, m_Manager.GetNumActiveEmitters()) << c.name;
    EXPECT_NEAR(c.expected, SortDistance(0), 0.01f) << c.name;
  }
}

TEST_F(ParticleDraw, A257thEmitterIsDroppedForTheFrameWithOneWarning) {
  EParticleEmitterEntity* e = Live(1);
  for (int i = 0; i < 300; ++i) EParticleManager::AddEmitter(e);
  EXPECT_EQ(256, m_Manager.GetEmitterArray()->GetNumUsed());
  int warnings = 0;
  for (const std::string& s : m_Log.lines) warnings += s.find("Too many particle emitters") != std::string::npos;
  EXPECT_EQ(1, warnings);
  m_Manager.ResetFrame();
  EParticleManager::AddEmitter(e);
  EXPECT_EQ(1, m_Manager.GetEmitterArray()->GetNumUsed()) << "the next frame takes emitters again";
}

// ---- Render state ----

TEST_F(ParticleDraw, FogFollowsTheBlendModeAndTheSkyBox) {
  struct Case {
    int blend, domain;
    bool fog;
  } cases[] = {{5, 0, false}, {4, 0, true}, {3, 0, true}, {4, 1, false}};
  EParticleEmitterEntity* e = Live(1);
  m_Log.fog = true;
  for (const Case& c : cases) {
    m_Log.domain = c.domain;
    e->SetParticleBlendMode(c.blend);
    m_Manager.StartRender();
    m_Manager.SetRenderState(e);
    EXPECT_EQ(c.fog, m_Manager.GetRenderState().m_bFogEnable) << "blend " << c.blend << " domain " << c.domain;
    EXPECT_EQ(c.blend, (int)m_Manager.GetRenderState().m_eBlendMode);
    if (c.fog) EXPECT_EQ(ColorVectorToRGBA(EVec4(0.25f, 0.5f, 0.75f, 1.0f)), m_Manager.GetRenderState().m_dwFogColor);
  }
  m_Log.fog = false;
  e->SetParticleBlendMode(4);
  m_Manager.SetRenderState(e);
  EXPECT_FALSE(m_Manager.GetRenderState().m_bFogEnable) << "no fog in the scene";
}

TEST_F(ParticleDraw, ShaderColourTakesVisibilityAndLight) {
  EParticleEmitterEntity* e = Live(1);
  e->SetMaterialColor(EVec4(0.8f, 0.6f, 0.4f, 0.3f));
  const float visibility = e->CalcVisibility(e->GetAbsAdjustedBoundingBox());
  struct Case {
    uint32_t flags;
    EVec3 irradiance;
    EVec4 expected;
  } cases[] = {
      {0, EVec3(0, 0, 0), EVec4(0.8f, 0.6f, 0.4f, visibility)},
      {kPARTICLEEMITTER_ALWAYSDRAW, EVec3(0, 0, 0), EVec4(0.8f, 0.6f, 0.4f, 0.3f)},
      {kPARTICLEEMITTER_ALWAYSDRAW | kPARTICLEEMITTER_LIT, EVec3(4, 0.4f, -1), EVec4(0.8f, 0.18f, 0.0f, 0.3f)},
  };
  for (const Case& c : cases) {
    e->UnsetFlag(kPARTICLEEMITTER_ALWAYSDRAW | kPARTICLEEMITTER_LIT);
    e->SetFlag(c.flags);
    m_Log.irradiance = c.irradiance;
    m_Log.colours.clear();
    m_Manager.SetRenderState(e);
    ASSERT_EQ(1u, m_Log.colours.size());
    const EVec4& k = m_Log.colours[0];
    EXPECT_NEAR(c.expected.x, k.x, 1e-5f) << "flags " << c.flags;
    EXPECT_NEAR(c.expected.y, k.y, 1e-5f) << "flags " << c.flags;
    EXPECT_NEAR(c.expected.z, k.z, 1e-5f) << "flags " << c.flags;
    EXPECT_NEAR(c.expected.w, k.w, 1e-5f) << "flags " << c.flags;
  }
}

TEST_F(ParticleDraw, DistortionEmittersDistortTheScreenAndRestoreTheTarget) {
  EParticleEmitterEntity* e = Live(1, kPARTICLEEMITTER_DISTORTION);
  const HTEXTURE before = m_pRenderer->GetRenderTargetImage();
  m_Manager.DrawEmitter(e, true);
  EXPECT_EQ(1, m_Log.distortions);
  EXPECT_EQ(12u, m_Log.distortFlags);
  EXPECT_EQ(10.0f, m_Log.distortStrength);
  EXPECT_EQ(1.0f, m_Log.distortTint.x);
  EXPECT_EQ(1.0f, m_Log.distortTint.y);
  EXPECT_EQ(1.0f, m_Log.distortTint.z);
  EXPECT_EQ(before, m_pRenderer->GetRenderTargetImage());
  e->UnsetFlag(kPARTICLEEMITTER_DISTORTION);
  m_Manager.DrawEmitter(e, true);
  EXPECT_EQ(1, m_Log.distortions) << "no distortion without the flag";
}

// ---- Parents and children ----

TEST_F(ParticleDraw, ChildrenAreMergedWithTheParentBackToFront) {
  EParticleEmitterEntity* parent = Live(3);
  EParticleEmitterEntity* child = Live(2);
  parent->AttachChildEmitter(child);
  const float pz[3] = {9, 5, 1}, cz[2] = {7, 3};
  for (int i = 0; i < 3; ++i) Slot(parent, (parent->GetFirstActiveParticle() + i) % parent->GetMaxParticles())->pos = EVec3(0, 0, pz[i]);
  for (int i = 0; i < 2; ++i) Slot(child, (child->GetFirstActiveParticle() + i) % child->GetMaxParticles())->pos = EVec3(0, 0, cz[i]);
  m_Log.pushes.clear();
  m_Log.colours.clear();
  m_Manager.DrawEmitter(parent, true);
  ASSERT_EQ(5u, m_Log.pushes.size());
  EXPECT_EQ(5u, m_Log.colours.size()) << "one render state per run";
  const float expected[5] = {9, 7, 5, 3, 1};
  for (int i = 0; i < 5; ++i) {
    const std::vector<Vert> v = Verts(m_Log.pushes[i]);
    ASSERT_EQ(4u, v.size()) << "run " << i;
    EXPECT_EQ(expected[i], v[0].z) << "run " << i;
  }

  // A child without particles leaves the parent's own run.
  child->killAllParticles();
  m_Log.pushes.clear();
  m_Manager.DrawEmitter(parent, true);
  ASSERT_EQ(1u, m_Log.pushes.size());
  EXPECT_EQ(12u, Verts(m_Log.pushes[0]).size());
  child->DetachFromParentEmitter();
}

TEST_F(ParticleDraw, MergedRunsWrapAroundTheRing) {
  // The parent's live particles straddle the end of its ring.
  EParticleEmitterEntity* parent = Emitter(4);
  parent->*RingAccess::First() = 2;
  parent->*RingAccess::Live() = 3;  // slots 2, 3, 0
  const int first = parent->GetFirstActiveParticle();
  const int live = parent->GetNumActiveParticles();
  ASSERT_EQ(3, live);
  ASSERT_GT(first + live, 4) << "the run must wrap";
  EParticleEmitterEntity* child = Live(1);
  parent->AttachChildEmitter(child);
  for (int i = 0; i < live; ++i) Slot(parent, (first + i) % 4)->pos = EVec3(0, 0, 50.0f - i);
  Slot(child, child->GetFirstActiveParticle())->pos = EVec3(0, 0, 100);
  m_Log.pushes.clear();
  m_Manager.DrawEmitter(parent, true);
  size_t quads = 0;
  for (const auto& p : m_Log.pushes) quads += Verts(p).size() / 4;
  EXPECT_EQ((size_t)live + 1, quads);
  child->DetachFromParentEmitter();
}

// ---- Statistics ----

TEST_F(ParticleDraw, DumpWritesTheStatisticsLines) {
  Emitter(10);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EParticleManager::DebugDumpParticles(false, false);
  const std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  m_Log.lines.clear();
  for (size_t b = 0, e; b < out.size(); b = e + 1) {
    e = out.find('\n', b);
    if (e == std::string::npos) e = out.size();
    m_Log.lines.push_back(out.substr(b, e - b));
  }
  const char* expected[] = {"Num emitters = ", "Allocations", "===========", "\tNormal particles = ",
                            "\tRotated particles = ", "\tAnimated particles = ", "Total mem usage = "};
  size_t at = 0;
  for (const char* want : expected) {
    while (at < m_Log.lines.size() && m_Log.lines[at].find(want) == std::string::npos) ++at;
    EXPECT_LT(at, m_Log.lines.size()) << want;
  }
  EXPECT_EQ((unsigned)(EParticleManager::m_iNumNormalParticles * sizeof(PARTICLE) +
                       EParticleManager::m_iNumFullParticles * sizeof(PARTICLEFULL) +
                       EParticleManager::m_iNumAnimatedParticles * sizeof(PARTICLEANIM)),
            EParticleManager::GetMemUsage());
}

}  // namespace
