// Mesh entities in the frame: render options and their fades, the render
// request's lists, detail culling and interior test, the facial weight
// pieces, the collision answers with spheres, and head tracking.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"

namespace {

std::vector<std::string>* s_pDrawLines = nullptr;
void DrawCaptureLine(const char* text) {
  if (s_pDrawLines) s_pDrawLines->push_back(text ? text : "");
}

class GroundTreeReader : public EMemReader {
public:
  GroundTreeReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "ground.col"; }
};

template <class T>
bool Listed(const EList<T*>& list, const T* p) {
  for (POSITION pos = list.GetHeadPosition(); pos;) {
    if (list.GetNext(pos) == p) return true;
  }
  return false;
}

template <class T>
int CountOf(const EList<T*>& list, const T* p) {
  int n = 0;
  for (POSITION pos = list.GetHeadPosition(); pos;) n += list.GetNext(pos) == p;
  return n;
}

}  // namespace

class MeshEntityDrawTest : public ::testing::Test {
protected:
  MeshEntityDrawTest() : m_Stack(1u << 20) {}
  void SetUp() override {
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_Stack);
    gGameApp = &m_App;
    m_App.m_pMeshFragManager = &m_Pool;
    m_App.m_pSceneManager = new ESceneManager();
    m_pSettings = &m_App.m_pSceneManager->GetCurrentScene()->GetSettings();
    m_pSettings->m_bShaderLOD = false;
    m_pDomain = new EDomain(nullptr, &m_CM);
    m_pCamera = new ECamera();
    m_pCamera->SetVisibilityCheck(false);
    m_pCamera->SetViewportWidth(640);
    m_pCamera->SetViewportHeight(480);
    m_pCamera->SetPosition(EVec3(0, 0, 0));
    m_pCamera->SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    m_pCamera->UpdateMatrices();
    m_App.SetRenderCamera(m_pCamera);
    m_App.m_aCameraChannels[0].m_pCamera = m_pCamera;
    m_App.m_iFrameCount = 5;
    m_bWarnings = g_ErrorManager.IsEnabled(TT_Warning);
    g_ErrorManager.SetEnabled(TT_Warning, true);
    s_pDrawLines = &m_Lines;
    g_ErrorManager.SetConsoleCallback(DrawCaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pDrawLines = nullptr;
    g_ErrorManager.SetEnabled(TT_Warning, m_bWarnings);
    m_App.ResetFrameEntityLists();
    m_App.m_pPlayer = nullptr;
    for (EEntity* e : m_Made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    for (EMesh* m : m_OwnMeshes) delete m;
    delete m_pDomain;
    m_App.m_aCameraChannels[0].m_pCamera = nullptr;
    m_App.SetRenderCamera(nullptr);
    delete m_pCamera;
    delete m_App.m_pSceneManager;
    m_App.m_pSceneManager = nullptr;
    m_App.m_pMeshFragManager = nullptr;
    gGameApp = nullptr;
    BindThreadLocalStack(m_pOldStack);
  }

  // A visible mesh entity at p whose mesh box is the unit cube about it;
  // collision display 1 lets meshes without fragments be requested.
  EMeshEntity* Make(const char* szName, const EVec3& p = EVec3(0, 0, -100)) {
    EMeshEntity* e = EMeshEntity::Create(m_pDomain, szName);
    m_Made.push_back(e);
    e->SetEntityFlag(ENTITY_VISIBLE, true);
    e->InitPosition(p);
    e->GetMesh()->SetScale(EVec3(1, 1, 1));
    e->GetMesh()->SetPosition(p);
    e->GetMesh()->SetBox(EBox3(EVec3(-1, -1, -1), EVec3(1, 1, 1)));
    return e;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_Lines) n += s.find(szText) != std::string::npos;
    return n;
  }

  EMemStack m_Stack;
  EMemStack* m_pOldStack = nullptr;
  PCGameApp m_App;
  EMeshFragManager m_Pool;
  ECollisionManager m_CM{false};
  EDomain* m_pDomain = nullptr;
  ECamera* m_pCamera = nullptr;
  ESceneSettings* m_pSettings = nullptr;
  std::vector<EEntity*> m_Made;
  std::vector<EMesh*> m_OwnMeshes;
  std::vector<std::string> m_Lines;
  bool m_bWarnings = false;
};

// ---------------------------------------------------------------- options

TEST_F(MeshEntityDrawTest, FreshEntityUsesTheSharedDefaults) {
  EMeshEntity* e = Make("plain");
  EXPECT_EQ(&EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon,
            e->GetRenderOptionsSemiCommon());
  EXPECT_EQ(&EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare, e->GetRenderOptionsRare());
  EXPECT_EQ(1.0f, e->GetAlpha());
  EXPECT_EQ(1.0f, e->GetCompoundAlpha());
  // The shared records are never written by a frame of fades.
  e->UpdateVisuals(250.0f);
  EXPECT_EQ(&EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare, e->GetRenderOptionsRare());
}

TEST_F(MeshEntityDrawTest, CompoundAndShadowAlphas) {
  EMeshEntity* e = Make("ghost");
  e->SetAlpha(0.5f);
  e->SetIdealInvisibility(1.0f);
  for (int i = 0; i < 3; ++i) e->UpdateVisuals(300.0f);
  ASSERT_EQ(1.0f, e->GetCurInvisibility());
  EXPECT_NEAR(0.1f, e->GetCompoundAlpha(), 1e-6f);
  e->SetDetailCullingAlpha(0.5f);
  EXPECT_NEAR(0.05f, e->GetCompoundAlpha(), 1e-6f);
  EXPECT_NEAR(0.1f, e->GetShadowAlpha(), 1e-6f);
  // Post effects draw invisibility themselves.
  e->SetEntityFlag(ENTITY_POST_EFFECTS, true);
  EXPECT_EQ(0.0f, e->GetCurInvisibilityForRendering());
  EXPECT_NEAR(0.5f, e->GetShadowAlpha(), 1e-6f);
}

TEST_F(MeshEntityDrawTest, AlphaFadeStepsToExactlyTheTarget) {
  EMeshEntity* e = Make("fader");
  e->SetAlpha(0.0f, 1000.0f);
  const float expected[] = {0.75f, 0.5f, 0.25f};
  for (float f : expected) {
    e->UpdateVisuals(250.0f);
    EXPECT_NEAR(f, e->GetAlpha(), 1e-6f);
  }
  e->UpdateVisuals(250.0f);
  EXPECT_EQ(0.0f, e->GetAlpha());
  EXPECT_EQ(0.0f, e->GetRenderOptionsSemiCommon()->m_fAlphaFadeTime);
}

TEST_F(MeshEntityDrawTest, ColourSetAtOnceLeavesARunningFadeGoing) {
  EMeshEntity* e = Make("tint");
  e->SetColor(EVec3(0, 0, 0), 1000.0f);
  e->SetColor(EVec3(0.5f, 0.5f, 0.5f), 0.0f);
  EXPECT_EQ(EVec3(0.5f, 0.5f, 0.5f), e->GetColor());
  e->UpdateVisuals(1000.0f);
  EXPECT_EQ(EVec3(0, 0, 0), e->GetColor());
}

TEST_F(MeshEntityDrawTest, InvisibilityAndCameraAlphaMoveAtAFixedRate) {
  EMeshEntity* e = Make("shy");
  e->SetIdealInvisibility(1.0f);
  e->SetIdealCameraAlpha(0.0f);
  // The camera fade would put the ideal back: switch it off for this test.
  m_App.m_DebugHooks.m_bCameraFading = false;
  struct {
    float ms, invisibility;
  } steps[] = {{300.0f, 0.5f}, {300.0f, 1.0f}, {300.0f, 1.0f}};
  for (const auto& s : steps) {
    e->InstanceRenderOptionsRare();
    const_cast<EMeshEntityRenderOptionsRare*>(e->GetRenderOptionsRare())->UpdateVisuals(s.ms);
    EXPECT_NEAR(s.invisibility, e->GetCurInvisibility(), 1e-6f);
    EXPECT_NEAR(1.0f - s.invisibility, e->GetCurCameraAlpha(), 1e-6f);
  }
  EXPECT_EQ(1.0f, e->GetCurInvisibility());  // never past the ideal
  EXPECT_EQ(0.0f, e->GetCurCameraAlpha());
  m_App.m_DebugHooks.m_bCameraFading = true;
}

TEST_F(MeshEntityDrawTest, RecordsGoBackToTheSharedDefaultOnlyAfterAChange) {
  EMeshEntity* e = Make("blink");
  e->SetAlpha(0.5f);
  const EMeshEntityRenderOptionsSemiCommon* pOwn = e->GetRenderOptionsSemiCommon();
  EXPECT_NE(&EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon, pOwn);
  e->ProcessFrame(0.0f);
  EXPECT_EQ(pOwn, e->GetRenderOptionsSemiCommon());  // not at defaults: kept
  e->SetAlpha(1.0f);
  e->ProcessFrame(0.0f);
  EXPECT_EQ(&EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon,
            e->GetRenderOptionsSemiCommon());

  // An untouched own record holds defaults but never changed: kept.
  e->InstanceRenderOptionsRare();
  const EMeshEntityRenderOptionsRare* pRare = e->GetRenderOptionsRare();
  e->ProcessFrame(0.0f);
  EXPECT_EQ(pRare, e->GetRenderOptionsRare());
}

TEST_F(MeshEntityDrawTest, IdealCameraAlphaInPlaceAllocatesNothing) {
  EMeshEntity* e = Make("still");
  e->SetIdealCameraAlpha(1.0f);
  EXPECT_EQ(&EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare, e->GetRenderOptionsRare());
  e->SetIdealCameraAlpha(0.2f);
  EXPECT_NE(&EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare, e->GetRenderOptionsRare());
}

TEST_F(MeshEntityDrawTest, AHiderAimsAtTheCameraFadeAlpha) {
  EMeshEntity* e = Make("pillar");
  EMesh* pMesh = new EMesh();
  pMesh->SetScale(EVec3(1, 1, 1));
  m_OwnMeshes.push_back(pMesh);
  EMeshFrag* pFrag = m_Pool.MeshFragNew();
  pFrag->m_pMesh = pMesh;
  pMesh->AddMeshFrag(pFrag);
  pMesh->MarkAsEntityMesh();  // the test deletes it
  e->SetMesh(pMesh, false);

  struct {
    uint32_t dwFragFlags;
    bool bHides;
    float fIdeal;
  } cases[] = {{kMESHFRAGFLAG_CAMERA_ALPHA, true, 0.2f}, {0, true, 1.0f}, {kMESHFRAGFLAG_CAMERA_ALPHA, false, 1.0f}};
  for (const auto& c : cases) {
    pFrag->m_dwFlags = c.dwFragFlags;
    e->SetTransientFlag(16, c.bHides);
    e->UpdateVisuals(0.0f);
    EXPECT_EQ(c.fIdeal, e->GetIdealCameraAlpha()) << c.dwFragFlags << " " << c.bHides;
  }
  // The camera's primary target under a chase camera takes the camera's alpha.
  e->SetTransientFlag(16, true);
  m_pCamera->Init(kCAMERA_CHASE);
  m_pCamera->SetPrimaryTarget(e, true);
  e->UpdateVisuals(0.0f);
  EXPECT_EQ(m_pCamera->GetPrimaryTargetAlpha(), e->GetIdealCameraAlpha());
  m_pCamera->SetPrimaryTarget(nullptr, true);
  e->SetMesh(nullptr, false);
}

// ---------------------------------------------------------------- requests

TEST_F(MeshEntityDrawTest, AlphaZeroStopsButAReflectorIsStillListed) {
  m_App.m_DebugHooks.CollisionDisplay = 1;
  m_App.m_DebugHooks.m_bWaterEnabled = true;
  EMeshEntity* e = Make("pool");
  e->SetEntityFlag(ENTITY_STENCIL_CASTER, true);
  e->SetAlpha(0.0f);
  e->RequestRender();
  EXPECT_FALSE(Listed(m_App.m_lStencilCasters, e));
  e->SetEntityFlag(ENTITY_REFLECTOR, true);
  e->RequestRender();
  EXPECT_TRUE(Listed(m_App.m_lReflectors, e));
  EXPECT_TRUE(Listed(m_App.m_lStencilCasters, e));
  // Several passes of one frame list it once; the next frame starts empty.
  e->RequestRender();
  EXPECT_EQ(1, CountOf(m_App.m_lReflectors, e));
  EXPECT_EQ(1, CountOf(m_App.m_lStencilCasters, e));
  m_App.ResetFrameEntityLists();
  EXPECT_EQ(0, m_App.m_lReflectors.GetCount());
  m_App.m_DebugHooks.m_bWaterEnabled = false;
  m_App.m_DebugHooks.CollisionDisplay = 0;
}

TEST_F(MeshEntityDrawTest, ShadowCastersThePlayerFirstAndFarOnesOnlyWhenSolid) {
  m_App.m_DebugHooks.CollisionDisplay = 1;
  EMeshEntity* near = Make("near", EVec3(0, 0, -2000));
  EMeshEntity* far = Make("far", EVec3(0, 0, -3000));
  EMeshEntity* solid = Make("solid", EVec3(0, 0, -3000));
  EMeshEntity* player = Make("Ruzi", EVec3(0, 0, -9000));
  m_App.m_pPlayer = player;
  for (EMeshEntity* e : {near, far, solid, player}) e->SetEntityFlag(ENTITY_DRAWSHADOW, true);
  solid->SetEntityFlag(ENTITY_SOLID_SHADOW, true);

  struct {
    bool bLOD;
    bool bFarListed;
  } cases[] = {{true, false}, {false, true}};
  for (const auto& c : cases) {
    m_App.ResetFrameEntityLists();
    m_pSettings->m_bShaderLOD = c.bLOD;
    for (EMeshEntity* e : {near, far, solid, player}) e->RequestRender();
    ASSERT_GT(m_App.m_lShadowCasters.GetCount(), 0);
    EXPECT_EQ(player, m_App.m_lShadowCasters.GetHead());
    EXPECT_TRUE(Listed(m_App.m_lShadowCasters, near));
    EXPECT_TRUE(Listed(m_App.m_lShadowCasters, solid));
    EXPECT_EQ(c.bFarListed, Listed(m_App.m_lShadowCasters, far)) << c.bLOD;
  }
  m_App.m_DebugHooks.CollisionDisplay = 0;
}

TEST_F(MeshEntityDrawTest, DetailCullingFade) {
  m_App.m_DebugHooks.CollisionDisplay = 1;
  // 5200 units away and a few pixels wide: a detail value of 0.4.
  EMeshEntity* e = Make("bush", EVec3(0, 0, -5201));
  e->SetEntityFlag(ENTITY_DETAIL_CULLING, true);
  m_pSettings->m_bShaderLOD = true;
  e->RequestRender();
  EXPECT_NEAR(0.4f, e->GetDetailValue(), 1e-4f);
  EXPECT_NEAR(0.5f, e->GetDetailCullingAlpha(), 1e-3f);
  m_pSettings->m_bShaderLOD = false;
  e->RequestRender();
  EXPECT_EQ(1.0f, e->GetDetailValue());
  EXPECT_EQ(1.0f, e->GetDetailCullingAlpha());
  m_App.m_DebugHooks.CollisionDisplay = 0;
}

TEST_F(MeshEntityDrawTest, PlayerInteriorIsACylinder) {
  EMeshEntity* player = Make("Ruzi", EVec3(10, 0, 10));
  m_App.m_pPlayer = player;
  struct {
    EVec3 offset;
    bool bInside;
  } cases[] = {{EVec3(0, 100, 50), true}, {EVec3(50, 100, 0), true}, {EVec3(0, 160, 0), false},
               {EVec3(0, -1, 0), false},  {EVec3(61, 10, 0), false}};
  ECamera camera;
  for (const auto& c : cases) {
    camera.SetPosition(EVec3(10, 0, 10) + c.offset);
    EXPECT_EQ(c.bInside, player->TestCameraInterior(&camera)) << c.offset.x << "," << c.offset.y;
  }
  // Any other entity asks its box.
  EMeshEntity* hut = Make("hut", EVec3(0, 0, 0));
  camera.SetPosition(EVec3(0.5f, 0.5f, 0));
  EXPECT_TRUE(hut->TestCameraInterior(&camera));
  camera.SetPosition(EVec3(0, 5, 0));
  EXPECT_FALSE(hut->TestCameraInterior(&camera));
}

TEST_F(MeshEntityDrawTest, FacialWeightPieces) {
  struct {
    float d, facing;
  } facing[] = {{-1.0f, 1.0f}, {0.35f, 1.0f}, {0.4f, 0.5f}, {0.45f, 0.0f}, {0.46f, 0.0f}};
  for (const auto& c : facing) EXPECT_NEAR(c.facing, EMeshEntity::FacialFacing(c.d), 1e-5f) << c.d;
  struct {
    float s, size;
  } sizes[] = {{100.0f, 0.0f}, {230.0f, 0.0f}, {265.0f, 0.5f}, {300.0f, 1.0f}, {900.0f, 1.0f}};
  for (const auto& c : sizes) EXPECT_NEAR(c.size, EMeshEntity::FacialSize(c.s), 1e-5f) << c.s;

  // A quarter second of voice brings the fade to 1; silence takes it back.
  float fFade = 0.0f;
  for (int i = 0; i < 4; ++i) fFade = EMeshEntity::StepVoiceFade(fFade, true, 0.0625f);
  EXPECT_EQ(1.0f, fFade);
  EXPECT_EQ(1.0f, EMeshEntity::StepVoiceFade(fFade, true, 0.0625f));
  EXPECT_EQ(0.0f, EMeshEntity::StepVoiceFade(0.1f, false, 0.0625f));
}

// ---------------------------------------------------------------- collision

class MeshEntityCollideTest : public MeshEntityDrawTest {
protected:
  // A collidee with spheres (centre offsets, radius) at the origin.
  EMeshEntity* Ball(std::initializer_list<ESphere> spheres, ECollisionPrimitiveType eType = CPT_Spheres) {
    EMeshEntity* e = Make("ball", EVec3(0, 0, 0));
    std::vector<ESphere> v(spheres);
    e->GetPhysics()->SetCollision(v.data(), (int)v.size());
    e->GetPhysics()->SetCollisionType(eType);
    e->GetPhysics()->SetNumCollideSpheres((int)v.size());
    return e;
  }
  static ECollide Sweep(const EVec3& a, const EVec3& b, float r) {
    ECollide q(nullptr);
    q.eSrcType = CPT_OneSphere;
    q.fRadius = r;
    q.InitSegment(a, b);
    return q;
  }
};

TEST_F(MeshEntityCollideTest, SweptSphereHitsAtTheFirstContact) {
  EMeshEntity* e = Ball({ESphere(EVec3(0, 0, 0), 20.0f)});
  ECollide q = Sweep(EVec3(0, 0, -100), EVec3(0, 0, 100), 10.0f);
  ASSERT_TRUE(e->CheckForCollision(q));
  EXPECT_EQ(e, q.pEntity);
  EXPECT_EQ(1, q.eCollisionType);
  EXPECT_EQ(0, q.iDstPrimitive);
  EXPECT_NEAR(70.0f, q.fLength, 1e-3f);
  EXPECT_NEAR(-30.0f, q.vEnd.z, 1e-3f);
  EXPECT_NEAR(-1.0f, q.vNormal.z, 1e-5f);
  EXPECT_EQ(q.vNormal, q.vPlaneNormal);
  EXPECT_NEAR(0.0f, q.HitPlane.n.Dot(EVec3(0, 0, -20)) + q.HitPlane.d, 1e-3f);

  // Starting inside and moving away is no hit.
  ECollide away = Sweep(EVec3(0, 0, 10), EVec3(0, 0, 100), 10.0f);
  EXPECT_FALSE(e->CheckForCollision(away));
}

TEST_F(MeshEntityCollideTest, SphereLineCollisionCases) {
  const ESphere s(EVec3(0, 0, 0), 10.0f);
  struct {
    EVec3 a, b;
    bool bHit;
    float t;
  } cases[] = {
      {EVec3(-20, 0, 0), EVec3(20, 0, 0), true, 0.25f},  // enters at x -10
      {EVec3(-20, 11, 0), EVec3(20, 11, 0), false, 0},   // passes beside
      {EVec3(-5, 0, 0), EVec3(20, 0, 0), true, 0.0f},    // inside, toward the centre
      {EVec3(5, 0, 0), EVec3(20, 0, 0), false, 0},       // inside, moving away
      {EVec3(-40, 0, 0), EVec3(-20, 0, 0), false, 0},    // stops short
      {EVec3(3, 3, 3), EVec3(3, 3, 3), false, 0},        // no length
  };
  for (const auto& c : cases) {
    float t = -1.0f;
    EXPECT_EQ(c.bHit, EMeshEntity::SphereLineCollision(s, c.a, c.b, t)) << c.a.x << " " << c.a.y;
    if (c.bHit) {
      EXPECT_NEAR(c.t, t, 1e-5f);
    }
  }
}

TEST_F(MeshEntityCollideTest, EqualTimesKeepTheLowerIndexAndOverlapsTakeTheFirst) {
  // Two spheres side by side reached at the same time.
  EMeshEntity* e = Ball({ESphere(EVec3(-5, 0, 0), 10.0f), ESphere(EVec3(5, 0, 0), 10.0f)});
  ECollide q = Sweep(EVec3(0, 0, -100), EVec3(0, 0, 100), 0.0f);
  ASSERT_TRUE(e->CheckForCollision(q));
  EXPECT_EQ(0, q.iDstPrimitive);

  // An overlap query reports the first sphere overlapping, not the nearest.
  EMeshEntity* f = Ball({ESphere(EVec3(0, 0, 15), 10.0f), ESphere(EVec3(0, 0, 0), 10.0f)});
  ECollide o = Sweep(EVec3(0, 0, 0), EVec3(0, 0, 0), 10.0f);
  o.dwFlags |= 0x200;
  ASSERT_TRUE(f->CheckForCollision(o));
  EXPECT_EQ(0, o.iDstPrimitive);
  EXPECT_EQ(f, o.pEntity);
  EXPECT_EQ(1, o.eCollisionType);
}

TEST_F(MeshEntityCollideTest, UnhandledPairsAreTracedAndMiss) {
  EMeshEntity* capsule = Ball({ESphere(EVec3(0, 0, 0), 20.0f)}, CPT_Capsules);
  ECollide q = Sweep(EVec3(0, 0, -100), EVec3(0, 0, 100), 10.0f);
  EXPECT_FALSE(capsule->CheckForCollision(q));
  EXPECT_EQ(1, Count("SHOULD NEVER HAPPEN: ball has Capsules collision and can't handle incoming OneSphere"));

  // A querying mesh without collision geometry is not turned into a sphere.
  EMeshEntity* ball = Ball({ESphere(EVec3(0, 0, 0), 20.0f)});
  EMeshEntity* querier = Make("rock", EVec3(0, 0, -100));
  const int nBefore = querier->GetPhysics()->GetNumCollideSpheres();
  ECollide t = Sweep(EVec3(0, 0, -100), EVec3(0, 0, 100), 10.0f);
  t.eSrcType = CPT_Triangles;
  t.pCollider = querier;
  EXPECT_FALSE(ball->CheckForCollision(t));
  EXPECT_EQ(1, Count("SHOULD NEVER HAPPEN: ball has Spheres collision and can't handle incoming Triangles"));
  EXPECT_EQ(nBefore, querier->GetPhysics()->GetNumCollideSpheres());
  EXPECT_EQ(CPT_Triangles, t.eSrcType);

  ECollide none = Sweep(EVec3(0, 0, -100), EVec3(0, 0, 100), 10.0f);
  none.eSrcType = CPT_None;
  EXPECT_FALSE(ball->CheckForCollision(none));
  EXPECT_EQ(1, Count("has no feel geometry or spheres, and should not be COLLIDEE"));
}

// ---------------------------------------------------------------- look

TEST_F(MeshEntityDrawTest, HeadAnglesApproachWithAFloorAndLimits) {
  const EVec3 vLimits(30, 60, 20);
  // 0.01 s: k 0.06 gives 0.03 degrees, below the floor of 0.1.
  EVec3 v = EMeshEntity::StepHeadAngles(EVec3(0, 0, 0), EVec3(0.5f, 0, 0), vLimits, 0.01f);
  EXPECT_NEAR(0.1f, v.x, 1e-6f);
  v = EMeshEntity::StepHeadAngles(EVec3(0, 0, 0), EVec3(0.05f, 0, 0), vLimits, 0.01f);
  EXPECT_EQ(0.05f, v.x);
  // Far off, the exponential step applies.
  v = EMeshEntity::StepHeadAngles(EVec3(0, 0, 0), EVec3(0, 20, 0), vLimits, 0.01f);
  EXPECT_NEAR(1.2f, v.y, 1e-5f);
  // A wanted yaw of 90 stops at the limit of 60.
  v = EVec3(0, 0, 0);
  for (int i = 0; i < 1000; ++i) v = EMeshEntity::StepHeadAngles(v, EVec3(0, 90, 0), vLimits, 0.02f);
  EXPECT_EQ(60.0f, v.y);
}

TEST_F(MeshEntityDrawTest, LookTargetFlags) {
  EMeshEntity* e = Make("watcher");
  EMeshEntity* t = Make("thing");
  e->SetLookTarget(t, true, false);
  EXPECT_EQ(nullptr, e->GetLookTarget());  // does not look at things
  e->SetLookAtInterestingThings(true);
  struct {
    bool bFixed, bTemporary, bFixedFlag, bPersistent;
  } cases[] = {{true, false, true, true}, {true, true, true, false}, {false, false, false, false}};
  for (const auto& c : cases) {
    e->SetLookTarget(t, c.bFixed, c.bTemporary);
    EXPECT_EQ(t, e->GetLookTarget());
    EXPECT_EQ(c.bFixedFlag, e->GetEntityFlag(ENTITY_FIXEDLOOKTARGET));
    EXPECT_EQ(c.bPersistent, e->GetEntityFlag(ENTITY_PERSISTENTLOOKTARGET));
  }
  e->SetLookTarget(nullptr, true, false);
  EXPECT_EQ(nullptr, e->GetLookTarget());
  EXPECT_FALSE(e->GetEntityFlag(ENTITY_FIXEDLOOKTARGET));
}

class MeshEntityLookTest : public MeshEntityDrawTest {
protected:
  // A collidee of the given interest at p.
  EMeshEntity* Candidate(const char* szName, const EVec3& p, int iInterest) {
    EMeshEntity* e = Make(szName, p);
    e->SetBaseInterestLevel(iInterest);
    e->GetPhysics()->SetCollisionType(CPT_Spheres);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    m_CM.Update(e);
    return e;
  }
};

TEST_F(MeshEntityLookTest, TheMostInterestingCandidateAheadIsChosen) {
  m_App.m_DebugHooks.m_bLookTargetVisibility = false;
  EMeshEntity* looker = Make("looker", EVec3(0, 0, 0));
  const EVec3 vAhead = looker->GetPhysics()->GetForward();
  EMeshEntity* dull = Candidate("dull", vAhead * 300.0f + EVec3(0, 0, 0), 1);
  EMeshEntity* keen = Candidate("keen", vAhead * 300.0f + EVec3(0, 1, 0) * 0.0f, 2);
  EXPECT_EQ(keen, looker->FindNextInterestingTarget(nullptr, nullptr, 0));
  (void)dull;

  // Behind only: never chosen.
  EMeshEntity* lone = Make("lone", EVec3(5000, 0, 0));
  const EVec3 vLoneAhead = lone->GetPhysics()->GetForward();
  Candidate("behind", EVec3(5000, 0, 0) - vLoneAhead * 200.0f, 5);
  EXPECT_EQ(nullptr, lone->FindNextInterestingTarget(nullptr, nullptr, 0));

  // Beyond the candidate's own look distance: not gathered.
  EMeshEntity* third = Make("third", EVec3(-5000, 0, 0));
  EMeshEntity* distant = Candidate("distant", EVec3(-5000, 0, 0) + third->GetPhysics()->GetForward() * 700.0f, 9);
  EXPECT_EQ(nullptr, third->FindNextInterestingTarget(nullptr, nullptr, 0));
  distant->SetMaxLookDistance(800.0f);
  EXPECT_EQ(distant, third->FindNextInterestingTarget(nullptr, nullptr, 0));
  m_App.m_DebugHooks.m_bLookTargetVisibility = true;
}

TEST_F(MeshEntityCollideTest, GroundIsAskedForOnceAFrame) {
  EScene* pScene = m_App.m_pSceneManager->GetCurrentScene();
  pScene->ActiveDomain(m_pDomain);
  EMeshEntity* e = Make("walker", EVec3(0, 50, 0));
  const uint32_t nBefore = g_CollideStats.nWorldTests;
  EPlane plane(EVec3(1, 0, 0), 7.0f);
  // Nothing below: no ground, the plane passed in is left alone.
  EXPECT_FALSE(e->GetGroundPlane(plane));
  EXPECT_FALSE(e->GetGroundPlane(plane));
  EXPECT_EQ(nBefore + 1, g_CollideStats.nWorldTests);
  EXPECT_EQ(7.0f, plane.d);
  EXPECT_EQ(m_App.m_iFrameCount, e->GetGroundPlaneFrame());
  ++m_App.m_iFrameCount;
  EXPECT_FALSE(e->GetGroundPlane(plane));
  EXPECT_EQ(nBefore + 2, g_CollideStats.nWorldTests);
  pScene->ActiveDomain(nullptr);
}

TEST_F(MeshEntityCollideTest, SteepGroundIsNoGround) {
  EScene* pScene = m_App.m_pSceneManager->GetCurrentScene();
  struct {
    float fSlope;  // rise over run along x
    bool bGround;
  } cases[] = {{0.0f, true}, {0.5f, true}, {3.7115f, false}};  // the last: normal . up about 0.26
  for (const auto& c : cases) {
    using collisionwriter::Poly;
    std::vector<EVec3> v = {EVec3(-10, -10 * c.fSlope, -10), EVec3(10, 10 * c.fSlope, -10),
                            EVec3(-10, -10 * c.fSlope, 10), EVec3(10, 10 * c.fSlope, 10)};
    Poly a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2, a.flags = kSurfacePhysical;
    b.v[0] = 1, b.v[1] = 3, b.v[2] = 2, b.flags = kSurfacePhysical;
    const std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(v, {a, b}, 317);
    GroundTreeReader reader(bytes, 317);
    ECollisionTree tree;
    ASSERT_TRUE(tree.Read(reader));
    ECollisionManager cm(false);
    EDomain* pGround = new EDomain(nullptr, &cm);
    EMesh* pMesh = new EMesh();
    EModel* pModel = new EModel();
    pModel->m_pCollisionTree = &tree;
    pMesh->SetModel(pModel);
    pMesh->SetScale(EVec3(1, 1, 1));
    pGround->AddMesh(pMesh);
    cm.Register(pGround);
    pScene->ActiveDomain(pGround);

    EMeshEntity* e = Make("walker", EVec3(0, 50, 0));
    ++m_App.m_iFrameCount;
    EPlane plane(EVec3(1, 0, 0), 7.0f);
    EXPECT_EQ(c.bGround, e->GetGroundPlane(plane)) << c.fSlope;
    if (c.bGround) {
      EXPECT_NEAR(0.0f, plane.n.Dot(EVec3(0, 0, 0)) + plane.d, 1e-3f);
      EXPECT_GT(plane.n.y, 0.3f);
    } else {
      EXPECT_EQ(7.0f, plane.d);  // untouched
    }
    pScene->ActiveDomain(nullptr);
    cm.Unregister(pGround);
    pModel->m_pCollisionTree = nullptr;
    delete pGround;
  }
}

TEST_F(MeshEntityLookTest, AHiddenBestGivesTheNextBestInTheSameCall) {
  // A wall half way to the candidates on the left side only.
  using collisionwriter::Poly;
  std::vector<EVec3> v = {EVec3(-100, -200, 150), EVec3(-100, 400, 150), EVec3(-10, -200, 150),
                          EVec3(-10, 400, 150)};
  std::vector<Poly> polys(4);
  const uint32_t aIndices[4][3] = {{0, 1, 2}, {1, 3, 2}, {0, 2, 1}, {1, 2, 3}};  // both faces
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 3; ++k) polys[i].v[k] = aIndices[i][k];
    polys[i].flags = kSurfacePhysical;
  }
  const std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(v, polys, 317);
  GroundTreeReader reader(bytes, 317);
  ECollisionTree tree;
  ASSERT_TRUE(tree.Read(reader));
  EMesh* pWall = new EMesh();
  EModel* pModel = new EModel();
  pModel->m_pCollisionTree = &tree;
  pWall->SetModel(pModel);
  pWall->SetScale(EVec3(1, 1, 1));
  m_pDomain->AddMesh(pWall);
  m_CM.Register(m_pDomain);

  EMeshEntity* looker = Make("looker", EVec3(0, 0, 0));
  ASSERT_NEAR(1.0f, looker->GetPhysics()->GetForward().z, 1e-5f);
  EMeshEntity* hidden = Candidate("hidden", EVec3(-50, 0, 300), 2);
  EMeshEntity* seen = Candidate("seen", EVec3(50, 0, 300), 1);
  struct {
    bool bSightTest;
    EMeshEntity* pExpected;
  } cases[] = {{false, hidden}, {true, seen}};
  for (const auto& c : cases) {
    m_App.m_DebugHooks.m_bLookTargetVisibility = c.bSightTest;
    EXPECT_EQ(c.pExpected, looker->FindNextInterestingTarget(nullptr, nullptr, 0)) << c.bSightTest;
  }
  m_App.m_DebugHooks.m_bLookTargetVisibility = true;
  m_CM.Unregister(m_pDomain);
  pModel->m_pCollisionTree = nullptr;
}
