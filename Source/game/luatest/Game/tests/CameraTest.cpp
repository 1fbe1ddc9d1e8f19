#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/LadderControlHandler.h"
#include "Game/CameraSpring.h"
#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

namespace {

// ---- Springs ----

struct SpringCase {
  float x, v, dt, k, zeta, expected;
};

TEST(CameraSpring, OneStepMatchesTheRungeKuttaOfTheIntermediateVelocities) {
  const SpringCase cases[] = {
      {-10.0f, 0.0f, 1.08f, 0.04f, 1.0f, 0.345493f},  // positions from v would give 0.348040
      {5.0f, -2.0f, 1.08f, 0.3f, 0.01f, -1.093590f},
      {10.0f, 0.0f, 1.08f, 0.04f, 0.0f, -0.425340f},
      {0.0f, 0.0f, 1.08f, 0.3f, 1.0f, 0.0f},
      {7.0f, 3.0f, 0.0f, 0.3f, 1.0f, 0.0f},
  };
  for (const SpringCase& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_NEAR(c.expected, GetDampedSpringAccel<float>(c.x, c.v, c.dt, c.k, c.zeta), 2e-6f);
    // The vector spring is the float spring per component, bit for bit.
    const EVec3 r = GetDampedSpringAccel<EVec3>(EVec3(c.x, c.v, -c.x), EVec3(c.v, 0.0f, c.v), c.dt, c.k, c.zeta);
    EXPECT_EQ(GetDampedSpringAccel<float>(c.x, c.v, c.dt, c.k, c.zeta), r.x);
    EXPECT_EQ(GetDampedSpringAccel<float>(c.v, 0.0f, c.dt, c.k, c.zeta), r.y);
    EXPECT_EQ(GetDampedSpringAccel<float>(-c.x, c.v, c.dt, c.k, c.zeta), r.z);
  }
}

// ---- A scene for the camera: planes that count the queries made ----

struct FakePlane {
  EVec3 n;  // unit normal
  float d;  // n . p + d = 0
};

struct FakeWorld {
  std::vector<FakePlane> planes;
  bool alwaysHitHalfway = false;  // every segment stops at its middle against a floor
  int queries = 0;
  std::vector<uint32_t> flags;
  std::vector<float> radii;
};
FakeWorld* s_pWorld = nullptr;

bool FakeCollision(ECollide& q) {
  FakeWorld& w = *s_pWorld;
  ++w.queries;
  w.flags.push_back(q.dwFlags);
  w.radii.push_back(q.fRadius);
  if (w.alwaysHitHalfway) {
    q.vEnd = q.vStart + q.vDir * (q.fLength * 0.5f);
    q.vNormal = EVec3(0.0f, 1.0f, 0.0f);
    return true;
  }
  bool bHit = false;
  float best = q.fLength;
  for (const FakePlane& p : w.planes) {
    const float s0 = p.n.Dot(q.vStart) + p.d;
    if (q.fLength == 0.0f) {
      if (fabsf(s0) < q.fRadius) {
        q.vNormal = p.n;
        bHit = true;
      }
      continue;
    }
    const float along = p.n.Dot(q.vDir);
    if (s0 < 0.0f || along >= 0.0f) continue;  // from behind or away: no hit
    const float t = -s0 / along;
    if (t <= best) {
      best = t;
      q.vNormal = p.n;
      bHit = true;
    }
  }
  if (bHit && q.fLength > 0.0f) {
    const float t = best - q.fPushDist > 0.0f ? best - q.fPushDist : 0.0f;
    q.vEnd = q.vStart + q.vDir * t;
  }
  return bHit;
}

class CameraApp : public GameApp {
public:
  CameraApp() { BuildDomainTree(); }
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

std::vector<std::string>* s_pTraces = nullptr;
void CaptureTrace(const char* text) {
  if (s_pTraces) s_pTraces->push_back(text);
}

struct SliceRecord {
  float step;
  bool first;
};
std::vector<SliceRecord>* s_pSlices = nullptr;
void RecordSlice(ECamera* pCamera, const Input*, float fStepMs) {
  s_pSlices->push_back({fStepMs, pCamera->TestFirstSubStep()});
}

// An application with a player, a camera and a fake level; every global the
// camera reads is put back afterwards.
class CameraFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_SavedRand = g_SimRand;
    m_iSavedCameraPolys = ECollisionTree::sm_iGlobalCameraPolyCount;
    m_iSavedTerrainPolys = ECollisionTree::sm_iGlobalTerrainPolyCount;
    ECollisionTree::sm_iGlobalCameraPolyCount = 100;
    ECollisionTree::sm_iGlobalTerrainPolyCount = 100;
    s_pWorld = &m_World;
    ECamera::sm_pfnSceneCollision = FakeCollision;
    s_pSlices = &m_Slices;
    s_pTraces = &m_Traces;
    g_ErrorManager.SetConsoleCallback(CaptureTrace);
    gGameApp = &m_App;
    m_App.m_fSimDeltaTime = 0.018f;
    m_App.m_fRealDeltaTime = 0.018f;
    m_App.m_dRealElapsedTime = 0.0;
    m_pPlayer = EMeshEntity::Create(m_App.m_pMainDomain, "Ruzi");
    m_App.m_pPlayer = m_pPlayer;
    m_pPlayer->GetPhysics()->SetGravityDir(EVec3(0.0f, 1.0f, 0.0f));  // as a level load sets it
    ECamera::ResetStaticGlobals();
  }
  void TearDown() override {
    ECamera::ResetStaticGlobals();
    ECamera::sm_pfnModeUpdateHook = nullptr;
    ECamera::sm_pfnSceneCollision = &ECamera::DefaultSceneCollision;
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pTraces = nullptr;
    s_pSlices = nullptr;
    s_pWorld = nullptr;
    m_App.m_pPlayer = nullptr;
    gGameApp = nullptr;
    ECollisionTree::sm_iGlobalCameraPolyCount = m_iSavedCameraPolys;
    ECollisionTree::sm_iGlobalTerrainPolyCount = m_iSavedTerrainPolys;
    g_SimRand = m_SavedRand;
  }
  void SetRealTime(float fDeltaMs, double dElapsedSeconds) {
    m_App.m_fRealDeltaTime = fDeltaMs / 1000.0f;
    m_App.m_dRealElapsedTime = dElapsedSeconds;
  }

  CameraApp m_App;
  FakeWorld m_World;
  std::vector<SliceRecord> m_Slices;
  std::vector<std::string> m_Traces;
  EMeshEntity* m_pPlayer = nullptr;
  ERand m_SavedRand;
  int m_iSavedCameraPolys = 0;
  int m_iSavedTerrainPolys = 0;
};

// ---- The sub-stepped update ----

TEST_F(CameraFixture, UpdateRunsTheModeInSlicesOfAtMost18Ms) {
  ECamera::sm_pfnModeUpdateHook = RecordSlice;
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);

  camera.Update(nullptr, 40.0f);
  ASSERT_EQ(3u, m_Slices.size());
  const float expected[] = {18.0f, 18.0f, 4.0f};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(expected[i], m_Slices[i].step);
    EXPECT_EQ(i == 0, m_Slices[i].first) << i;
  }
  EXPECT_FALSE(camera.TestFirstSubStep());

  m_Slices.clear();
  camera.Update(nullptr, 1.0f);
  ASSERT_EQ(1u, m_Slices.size());
  EXPECT_EQ(1.0f, m_Slices[0].step);

  // At most one second is simulated.
  m_Slices.clear();
  camera.Update(nullptr, 5000.0f);
  ASSERT_EQ(56u, m_Slices.size());
  for (int i = 0; i < 55; ++i) EXPECT_EQ(18.0f, m_Slices[i].step);
  EXPECT_EQ(10.0f, m_Slices[55].step);

  // No time: no slice, yet what the view is built from follows the camera.
  m_Slices.clear();
  camera.SetPosition(EVec3(5.0f, 6.0f, 7.0f));
  camera.Update(nullptr, 0.0f);
  EXPECT_TRUE(m_Slices.empty());
  EXPECT_EQ(EVec3(5.0f, 6.0f, 7.0f), camera.GetRenderPosition());

  // The high-resolution switch slices by the millisecond.
  m_Slices.clear();
  m_App.m_DebugHooks.CameraHighResSim = true;
  camera.Update(nullptr, 3.5f);
  m_App.m_DebugHooks.CameraHighResSim = false;
  ASSERT_EQ(4u, m_Slices.size());
  EXPECT_EQ(0.5f, m_Slices[3].step);
}

TEST_F(CameraFixture, FlyCameraStepsWithTheRealFrameTime) {
  ECamera::sm_pfnModeUpdateHook = RecordSlice;
  ECamera camera;
  camera.Init(kCAMERA_FLY);
  SetRealTime(30.0f, 1.0);
  camera.Update(nullptr, 0.0f);
  ASSERT_EQ(2u, m_Slices.size());
  EXPECT_EQ(12.0f, m_Slices[1].step);
}

// ---- Modes and class state ----

TEST_F(CameraFixture, InitAndStaticState) {
  EXPECT_STREQ("Fly", ECamera::GetTypeName(kCAMERA_FLY));
  EXPECT_STREQ("Sphere", ECamera::GetTypeName(kCAMERA_SPHERE));
  EXPECT_STREQ("Map", ECamera::GetTypeName(kCAMERA_MAP));

  for (int s = 0; s < ECamera::kNUM_PHYSICS_STATES; ++s) {
    const bool ball = s == 7 || s == 8;
    EXPECT_EQ(ball ? 855.0f : 0.0f, ECamera::GetPhysicsStateRadius(s)) << s;
    EXPECT_EQ(ball ? 22.0f : 0.0f, ECamera::GetPhysicsStateAltitude(s)) << s;
  }

  // Leaving a rail for the chase starts a 50-frame blend and aims at the
  // player's focus joint.
  ECamera camera;
  camera.Init(kCAMERA_RAIL);
  camera.Init(kCAMERA_CHASE);
  EXPECT_EQ(kCAMERA_CHASE, camera.GetType());
  EXPECT_EQ(m_pPlayer, camera.GetPrimaryTarget());
  EXPECT_TRUE(camera.GetTargetFlags() & ECamera::kTARGET_UseJoint);

  // A locked camera that dies leaves no dangling lock.
  {
    ECamera locked;
    ECamera::SetLockedVisCamera(&locked);
  }
  EXPECT_EQ(nullptr, ECamera::GetLockedVisCamera());
}

TEST_F(CameraFixture, EmptyVisibilityLeafCountsAsNoLeaf) {
  ECamera camera;
  const ESSECube cube(EVec3(0.0f, 0.0f, 0.0f), 64.0f);
  camera.SetVisibilityLeaf(0x400012u, cube);
  EXPECT_EQ(0x400012, camera.GetVisibilityLeaf());
  camera.SetVisibilityLeaf(0x7FFFFFu, cube);
  EXPECT_EQ(-1, camera.GetVisibilityLeaf());
}

// ---- Targets ----

TEST_F(CameraFixture, TargetsKeepTheAimPointWhenAsked) {
  EMeshEntity* pOther = EMeshEntity::Create(m_App.m_pMainDomain, "Other");
  pOther->SetPosition(EVec3(400.0f, 0.0f, 0.0f));
  ECamera camera;
  camera.Init(kCAMERA_CHASE);
  m_pPlayer->SetPosition(EVec3(0.0f, 0.0f, 0.0f));
  camera.SetPosition(EVec3(0.0f, 200.0f, 700.0f));

  // A secondary target with no use is refused with a warning.
  camera.SetSecondaryTarget(pOther, 0, true);
  EXPECT_EQ(nullptr, camera.GetSecondaryTarget());
  ASSERT_EQ(1u, m_Traces.size());
  EXPECT_NE(std::string::npos, m_Traces[0].find("Attempting to set a secondary target with zero flags"));

  // With keep-camera the aim point stays put; the drift takes the jump.
  const EVec3 before = camera.GetTargetPosition(true);
  camera.SetSecondaryTarget(pOther, 2, true);
  EXPECT_EQ(pOther, camera.GetSecondaryTarget());
  const EVec3 after = camera.GetTargetPosition(true);
  EXPECT_NEAR(before.x, after.x, 1e-3f);
  EXPECT_NEAR(-200.0f, camera.GetTargetOffsetDrift().x, 1e-3f);

  // Height changes go into the drift too.
  camera.SetTargetHeight(100.0f);
  EXPECT_NEAR(after.y, camera.GetTargetPosition(true).y, 1e-3f);
  camera.SetThoughtBubbleMode(true);
  EXPECT_EQ(190.0f, camera.GetTargetHeight());
  camera.SetThoughtBubbleMode(false);

  // Setting the same primary target again changes nothing.
  camera.SetPosition(EVec3(1.0f, 2.0f, 3.0f));
  const EVec3 drift = camera.GetTargetOffsetDrift();
  camera.SetPrimaryTarget(m_pPlayer, false);
  EXPECT_EQ(EVec3(1.0f, 2.0f, 3.0f), camera.GetPosition());
  EXPECT_EQ(drift, camera.GetTargetOffsetDrift());

  // A fixed target drops the entities and aims at the point.
  camera.SetFixedTarget(EVec3(10.0f, 20.0f, 30.0f), false);
  EXPECT_TRUE(camera.TestFixedTargetMode());
  EXPECT_EQ(nullptr, camera.GetPrimaryTarget());
  EXPECT_EQ(nullptr, camera.GetSecondaryTarget());
  camera.SetTargetHeight(0.0f);
  EXPECT_EQ(EVec3(10.0f, 20.0f, 30.0f) + camera.GetTargetOffsetDrift(), camera.GetTargetPosition(true));
}

TEST_F(CameraFixture, ChaseHidesItsTargetWhenCloseAndShowsItFurtherOut) {
  ECollisionTree::sm_iGlobalCameraPolyCount = 0;
  m_pPlayer->SetPosition(EVec3(0.0f, 0.0f, 0.0f));
  m_pPlayer->SetPhysicsStateFlag(0);
  ECamera camera;
  camera.Init(kCAMERA_CHASE);
  const EVec3 aim = camera.GetTargetPosition(true);
  struct Step {
    float radius, alpha;
  };
  const Step steps[] = {{100.0f, 1.0f}, {69.0f, 0.0f}, {100.0f, 0.0f}, {109.0f, 0.0f}, {111.0f, 1.0f}, {80.0f, 1.0f}};
  for (const Step& s : steps) {
    camera.SetPosition(aim + EVec3(0.0f, 0.0f, s.radius));
    camera.Update(nullptr, 0.0f);
    EXPECT_EQ(s.alpha, camera.GetPrimaryTargetAlpha()) << s.radius;
  }
}

TEST_F(CameraFixture, LookAtTurnsTheViewToThePoint) {
  ECamera camera;
  // In the world frame the relative conversions are the plain ones.
  const EVec3 v(3.0f, -4.0f, 12.0f);
  EXPECT_FALSE(camera.GetTargetFrameRotationFlag());
  EXPECT_EQ(v, camera.CartesianToRelativeCartesian(v));
  EXPECT_EQ(v, camera.RelativeCartesianToCartesian(v));
  EXPECT_EQ(v.CartesianToSpherical(), camera.CartesianToRelativeSpherical(v));
  EXPECT_EQ(v.CartesianToCylindric(), camera.CartesianToRelativeCylindric(v));
  EXPECT_EQ(EVec3(0.0f, 0.0f, 0.0f), camera.CartesianToRelativeCartesian(EVec3(0.0f, 0.0f, 0.0f)));

  camera.SetPosition(EVec3(10.0f, 0.0f, 0.0f));
  const EVec3 points[] = {EVec3(10.0f, 0.0f, -100.0f), EVec3(110.0f, 0.0f, 0.0f), EVec3(10.0f, 50.0f, 50.0f)};
  for (const EVec3& p : points) {
    camera.CameraLookAt(p);
    EVec3 dir = p - camera.GetPosition();
    dir.Normalize();
    EXPECT_NEAR(0.0f, (camera.GetViewVector() - dir).Length(), 1e-4f);
    EXPECT_NEAR(0.0f, camera.GetUpVector().Dot(dir), 1e-4f);
    EXPECT_GT(camera.GetUpVector().y, 0.0f);
  }
}

TEST_F(CameraFixture, AttachedCameraRidesAndDeadEntitiesAreDropped) {
  EMeshEntity* pOther = EMeshEntity::Create(m_App.m_pMainDomain, "Other");
  ECamera camera;
  camera.SetPrimaryTarget(m_pPlayer, false);
  camera.SetSecondaryTarget(pOther, 2, false);
  camera.SetTertiaryTarget(pOther);
  camera.AttachToEntity(pOther, EVec3(0.0f, 10.0f, 0.0f), EQuat(), true);
  // An attached camera rides the entity.
  pOther->SetPosition(EVec3(30.0f, 40.0f, 50.0f));
  camera.Update(nullptr, 18.0f);
  EXPECT_EQ(EVec3(30.0f, 50.0f, 50.0f), camera.GetPosition());
  m_App.DelayedDelete(pOther);
  camera.CleanupReferences();
  EXPECT_EQ(m_pPlayer, camera.GetPrimaryTarget());
  EXPECT_EQ(nullptr, camera.GetSecondaryTarget());
  EXPECT_EQ(nullptr, camera.GetTertiaryTarget());
  EXPECT_EQ(nullptr, camera.GetAttachEntity());
}

TEST_F(CameraFixture, FieldOfViewBlendsOverItsDuration) {
  ECamera camera;
  EXPECT_EQ(104.0f, camera.GetFieldOfView());
  camera.SetFieldOfView(60.0f, 1.0f, 0.0f, 0.0f);
  camera.Update(nullptr, 0.0f);
  EXPECT_EQ(104.0f, camera.GetFieldOfView()) << "no time, no blend";
  camera.Update(nullptr, 500.0f);
  EXPECT_NEAR(LerpFieldOfView(104.0f, 60.0f, 0.5f), camera.GetFieldOfView(), 1e-3f);
  camera.Update(nullptr, 800.0f);
  EXPECT_EQ(LerpFieldOfView(104.0f, 60.0f, 1.0f), camera.GetFieldOfView());
  // A setting without time is taken at once and ends any blend.
  camera.SetFieldOfView(90.0f, 2.0f, 0.5f, 0.5f);
  camera.Update(nullptr, 100.0f);
  camera.SetFieldOfView(45.0f);
  camera.Update(nullptr, 100.0f);
  EXPECT_EQ(45.0f, camera.GetFieldOfView());
}

// ---- Ground and up tracking ----

TEST_F(CameraFixture, GroundReferenceIgnoresAJumpAndFollowsALanding) {
  ECollisionTree::sm_iGlobalCameraPolyCount = 0;  // no queries at all
  ASSERT_NE(nullptr, m_pPlayer->GetPhysics());
  m_pPlayer->SetPosition(EVec3(0.0f, 0.0f, 0.0f));
  m_pPlayer->SetPhysicsStateFlag(0);  // on the ground
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  camera.SetPrimaryTarget(m_pPlayer, false);
  camera.Update(nullptr, 18.0f);

  // The jump: up and down again, the aim point stays at take-off + 150.
  m_pPlayer->UnsetPhysicsStateFlag(0);
  EXPECT_TRUE(camera.GetTargetAerial());
  for (int i = 1; i <= 40; ++i) {
    const float t = (float)i / 40.0f;
    m_pPlayer->SetPosition(EVec3(0.0f, 800.0f * t * (1.0f - t), 0.0f));
    camera.Update(nullptr, 18.0f);
    ASSERT_NEAR(150.0f, camera.GetTargetPosition(true).y, 1.0f) << i;
  }

  // Landing 300 higher: the reference rises softly.
  m_pPlayer->SetPosition(EVec3(0.0f, 300.0f, 0.0f));
  m_pPlayer->SetPhysicsStateFlag(0);
  const float start = camera.GetGroundPosition().y;
  camera.Update(nullptr, 18.0f);
  EXPECT_NEAR(8.66f, camera.GetGroundPosition().y - start, 0.05f);

  // Without the spring the reference jumps to the target.
  m_App.m_DebugHooks.CameraGroundSpring = false;
  camera.Update(nullptr, 18.0f);
  m_App.m_DebugHooks.CameraGroundSpring = true;
  EXPECT_EQ(300.0f, camera.GetGroundPosition().y);
}

TEST_F(CameraFixture, TargetUpVectorFollowsGravityWithASpring) {
  ECollisionTree::sm_iGlobalCameraPolyCount = 0;
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  camera.SetPrimaryTarget(m_pPlayer, false);
  EXPECT_FALSE(camera.GetTargetFrameRotationFlag());
  m_pPlayer->GetPhysics()->SetGravityDir(EVec3(0.0f, 1.0f, 0.0f));
  camera.Update(nullptr, 18.0f);
  EXPECT_EQ(EVec3(0.0f, 1.0f, 0.0f), camera.GetTargetUpVector());
  EXPECT_FALSE(camera.GetTargetUpMoving());

  m_pPlayer->GetPhysics()->SetGravityDir(EVec3(1.0f, 0.0f, 0.0f));
  camera.Update(nullptr, 18.0f);
  const float angle = acosf(camera.GetTargetUpVector().Dot(EVec3(0.0f, 1.0f, 0.0f))) * 57.29578f;
  EXPECT_NEAR(3.358f, angle, 0.002f);
  EXPECT_TRUE(camera.GetTargetFrameRotationFlag());
  EXPECT_TRUE(camera.GetTargetUpMoving());
  // The frame's axes stay orthonormal and relative conversions round-trip.
  const EVec3 v(3.0f, -4.0f, 12.0f);
  const EVec3 back = camera.RelativeCartesianToCartesian(camera.CartesianToRelativeCartesian(v));
  EXPECT_NEAR(0.0f, (back - v).Length(), 1e-4f);
  const EVec3 sph = camera.RelativeSphericalToCartesian(camera.CartesianToRelativeSpherical(v));
  EXPECT_NEAR(0.0f, (sph - v).Length(), 1e-3f);
  const EVec3 cyl = camera.RelativeCylindricToCartesian(camera.CartesianToRelativeCylindric(v));
  EXPECT_NEAR(0.0f, (cyl - v).Length(), 1e-3f);
  // An orientation read as relative Euler angles comes back the same.
  const EQuat q = camera.CartesianToQuaternion(EVec3(1.0f, 2.0f, -3.0f));
  const EQuat q2 = camera.RelativeEulerToQuaternion(camera.QuaternionToRelativeEuler(q));
  EXPECT_NEAR(1.0f, fabsf(q.Dot(q2)), 1e-4f);

  // It settles close to the new up (steps below 0.0005 per component are
  // not taken) and stops moving.
  for (int i = 0; i < 400; ++i) camera.Update(nullptr, 18.0f);
  const float left = acosf(camera.GetTargetUpVector().Dot(EVec3(1.0f, 0.0f, 0.0f))) * 57.29578f;
  EXPECT_LT(left, 0.25f);
  EXPECT_FALSE(camera.GetTargetUpMoving());
  // Within 0.1 degree it snaps.
  ECamera upright;
  upright.Init(kCAMERA_SCRIPT);
  upright.SetPrimaryTarget(m_pPlayer, false);
  EVec3 nearUp(0.001f, 1.0f, 0.0f);
  nearUp.Normalize();
  m_pPlayer->GetPhysics()->SetGravityDir(nearUp);
  upright.Update(nullptr, 18.0f);
  EXPECT_EQ(nearUp, upright.GetTargetUpVector());

  // A zero gravity direction is taken as upright, with a warning.
  m_pPlayer->GetPhysics()->SetGravityDir(EVec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(EVec3(0.0f, 1.0f, 0.0f), camera.getDesiredUpVector());
  ASSERT_FALSE(m_Traces.empty());
  EXPECT_NE(std::string::npos, m_Traces.back().find("Camera's target has a zero up vector"));
}

// While the player climbs a ladder the camera keeps the up direction the
// ladder mode saved; other targets and other modes follow gravity.
TEST_F(CameraFixture, OnALadderThePlayersCameraKeepsTheSavedUp) {
  m_App.InitControlHandlers();
  auto* ladder = static_cast<ELadderControlHandler*>(m_App.GetControlHandler(kCONTROL_LADDER));
  ASSERT_NE(nullptr, ladder);
  EXPECT_EQ(kCONTROL_LADDER, ladder->Type());
  ladder->m_vOldDesiredUp = EVec3(0.0f, 0.0f, 1.0f);
  m_pPlayer->GetPhysics()->SetGravityDir(EVec3(1.0f, 0.0f, 0.0f));
  EMeshEntity* other = EMeshEntity::Create(m_App.m_pMainDomain, "Other");
  other->GetPhysics()->SetGravityDir(EVec3(0.0f, -1.0f, 0.0f));
  ECamera onPlayer, onOther;
  onPlayer.Init(kCAMERA_SCRIPT);
  onPlayer.SetPrimaryTarget(m_pPlayer, false);
  onOther.Init(kCAMERA_SCRIPT);
  onOther.SetPrimaryTarget(other, false);

  struct Case {
    CONTROL_HANDLER_TYPE handler;
    EVec3 playerUp, otherUp;
  } cases[] = {{kCONTROL_LADDER, EVec3(0.0f, 0.0f, 1.0f), EVec3(0.0f, -1.0f, 0.0f)},
               {kCONTROL_PLAYER, EVec3(1.0f, 0.0f, 0.0f), EVec3(0.0f, -1.0f, 0.0f)}};
  for (const Case& c : cases) {
    m_App.m_pControlHandler = m_App.GetControlHandler(c.handler);
    EXPECT_EQ(c.playerUp, onPlayer.getDesiredUpVector()) << c.handler;
    EXPECT_EQ(c.otherUp, onOther.getDesiredUpVector()) << c.handler;
  }
  m_App.m_pControlHandler = nullptr;
  m_App.DelayedDelete(other);
  onOther.CleanupReferences();
}

// The clairvoyance target moves camera 8 only when asked: onto the entity as
// a script camera, or back to chasing the player when there is none.
TEST_F(CameraFixture, ClairvoyanceTargetMovesCameraEightWhenAsked) {
  ASSERT_EQ(nullptr, m_App.m_aCameras[8]);
  m_App.m_aCameras[8] = new ECamera();  // deleted with the application
  ECamera* camera = m_App.m_aCameras[8];
  camera->Init(kCAMERA_FLY);
  EMeshEntity* seer = EMeshEntity::Create(m_App.m_pMainDomain, "Seer");

  m_App.SetClairvoyanceTarget(seer);
  EXPECT_EQ(seer, m_App.GetClairvoyanceTarget());
  EXPECT_EQ(kCAMERA_FLY, camera->GetType()) << "the camera stays without the flag";

  m_App.SetClairvoyanceTarget(seer, true);
  EXPECT_EQ(kCAMERA_SCRIPT, camera->GetType());
  EXPECT_EQ(seer, camera->GetAttachEntity());

  m_App.SetClairvoyanceTarget(nullptr, true);
  EXPECT_EQ(nullptr, m_App.GetClairvoyanceTarget());
  EXPECT_EQ(kCAMERA_CHASE, camera->GetType());
  EXPECT_EQ(m_pPlayer, camera->GetPrimaryTarget());
  camera->AttachToEntity(nullptr, EVec3(0.0f, 0.0f, 0.0f), EQuat(), false);
  m_App.DelayedDelete(seer);
}

// ---- Scene queries ----

TEST_F(CameraFixture, SceneQueriesBuildTheirFlagsFromTheOptions) {
  ECamera camera;
  struct Case {
    uint32_t options;
    uint32_t flags;
  };
  const Case cases[] = {
      {0x00, 0x5A}, {0x01, 0x15A}, {0x04, 0x5B}, {0x08, 0x1A}, {0x10, 0x5C}, {0x14, 0x5C},
  };
  for (const Case& c : cases) {
    m_World.flags.clear();
    camera.TestSceneCollision(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, -10.0f, 0.0f), 5.0f, c.options);
    ASSERT_EQ(1u, m_World.flags.size());
    EXPECT_EQ(c.flags, m_World.flags[0]) << c.options;
    m_World.flags.clear();
    camera.TestSceneCollision(EVec3(1.0f, 2.0f, 3.0f), EVec3(1.0f, 2.0f, 3.0f), 5.0f, c.options);
    ASSERT_EQ(1u, m_World.flags.size());
    EXPECT_EQ(c.flags | 0x200u, m_World.flags[0]) << c.options;
  }
  EXPECT_EQ(5.0f, m_World.radii[0]);

  // A level without camera polygons is not asked, unless 0x04 insists.
  ECollisionTree::sm_iGlobalCameraPolyCount = 0;
  m_World.queries = 0;
  EXPECT_FALSE(camera.TestSceneCollision(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, -10.0f, 0.0f), 0.0f, 0x02));
  EXPECT_EQ(0, m_World.queries);
  camera.TestSceneCollision(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, -10.0f, 0.0f), 0.0f, 0x04);
  EXPECT_EQ(1, m_World.queries);
}

TEST_F(CameraFixture, SlidingStopsAfterSevenQueriesOrWhenTurnedBack) {
  ECamera camera;
  m_World.alwaysHitHalfway = true;
  EVec3 point, normal;
  EXPECT_TRUE(camera.TestSceneCollision(EVec3(0.0f, 0.0f, 0.0f), EVec3(100.0f, -10.0f, 0.0f), 1.0f, 0x02, &point,
                                        &normal));
  EXPECT_EQ(7, m_World.queries);
  EXPECT_EQ(7, camera.StatsGetCollisionTests());
  EXPECT_EQ(EVec3(0.0f, 1.0f, 0.0f), normal);
  EXPECT_GT(point.x, 99.0f);

  // Without sliding one query; a slide straight into the floor stops at once.
  m_World.queries = 0;
  camera.TestSceneCollision(EVec3(0.0f, 0.0f, 0.0f), EVec3(100.0f, -10.0f, 0.0f), 1.0f, 0);
  EXPECT_EQ(1, m_World.queries);
  m_World.queries = 0;
  camera.TestSceneCollision(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, -100.0f, 0.0f), 1.0f, 0x02);
  EXPECT_EQ(1, m_World.queries);

  // A slide along a real floor ends at the end of the free part.
  m_World.alwaysHitHalfway = false;
  m_World.planes.push_back({EVec3(0.0f, 1.0f, 0.0f), 0.0f});
  EXPECT_TRUE(camera.TestSceneCollision(EVec3(0.0f, 10.0f, 0.0f), EVec3(100.0f, -10.0f, 0.0f), 0.0f, 0x02, &point));
  EXPECT_NEAR(100.0f, point.x, 0.2f);
  EXPECT_NEAR(0.0f, point.y, 0.2f);
}

TEST_F(CameraFixture, PointsOutsideTheLevelAreRememberedAndFloorsFound) {
  ECamera camera;
  m_World.planes.push_back({EVec3(0.0f, 1.0f, 0.0f), 0.0f});
  // Over the floor: inside.
  EXPECT_TRUE(camera.TestSphereInScene(EVec3(0.0f, 50.0f, 0.0f), 0.0f));
  // Under it (the probe finds nothing): outside, and asked again no query.
  m_World.queries = 0;
  EXPECT_FALSE(camera.TestSphereInScene(EVec3(0.0f, -50.0f, 0.0f), 0.0f));
  EXPECT_EQ(1, m_World.queries);
  EXPECT_FALSE(camera.TestSphereInScene(EVec3(0.0f, -50.0f, 0.000001f), 0.0f));
  EXPECT_EQ(1, m_World.queries);
  ECamera::ClearCollisionHistory();
  EXPECT_FALSE(camera.TestSphereInScene(EVec3(0.0f, -50.0f, 0.0f), 0.0f));
  EXPECT_EQ(2, m_World.queries);

  // A free sphere is remembered: a smaller one inside it costs nothing.
  m_World.queries = 0;
  EXPECT_TRUE(camera.TestSphereInScene(EVec3(0.0f, 50.0f, 0.0f), 20.0f));
  EXPECT_EQ(2, m_World.queries);
  EXPECT_TRUE(camera.TestSphereInScene(EVec3(5.0f, 50.0f, 0.0f), 10.0f));
  EXPECT_EQ(2, m_World.queries);
  // A sphere through the floor is not free.
  EXPECT_FALSE(camera.TestSphereInScene(EVec3(0.0f, 5.0f, 300.0f), 20.0f));

  // The ground below a point, with its normal.
  EVec3 n;
  const EVec3 g = camera.findGroundPosition(EVec3(7.0f, 300.0f, 9.0f), 0, &n);
  EXPECT_NEAR(0.1f, g.y, 1e-3f);
  EXPECT_EQ(7.0f, g.x);
  EXPECT_EQ(EVec3(0.0f, 1.0f, 0.0f), n);
  // Under the floor the first free point above is taken: the floor again.
  EXPECT_NEAR(0.1f, camera.findGroundPosition(EVec3(7.0f, -300.0f, 9.0f), 0, nullptr).y, 1e-3f);
  // In a void nothing is found.
  m_World.planes.clear();
  EXPECT_EQ(1e9f, camera.findGroundPosition(EVec3(7.0f, 300.0f, 9.0f), 0, nullptr).x);
}

TEST_F(CameraFixture, SurfaceGradientWeighsTheSlopeAroundTheTarget) {
  ECamera camera;
  EVec3 n(-0.1f, 1.0f, 0.0f);
  n.Normalize();
  m_World.planes.push_back({n, 0.0f});  // y = 0.1 x
  camera.SetFixedTarget(EVec3(0.0f, 850.0f, 0.0f), false);
  const EVec2 g = camera.calculateSurfaceGradient();
  EXPECT_NEAR(0.0731f, g.x, 0.0005f);
  EXPECT_NEAR(0.0f, g.y, 0.0005f);
  m_World.queries = 0;
  EXPECT_EQ(g, camera.calculateSurfaceGradient());
  EXPECT_EQ(0, m_World.queries);

  // Nothing on levels without terrain unless forced.
  ECollisionTree::sm_iGlobalTerrainPolyCount = 0;
  EXPECT_EQ(EVec2(0.0f, 0.0f), camera.calculateSurfaceGradient());
}

// ---- Shakes ----

TEST_F(CameraFixture, RandomShakeEasesInAndOutAndNeverMovesTheCamera) {
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  camera.SetPosition(EVec3(100.0f, 200.0f, 300.0f));
  camera.StartShakeRandom(EVec3(1.0f, 2.0f, 3.0f), 1.0f, 0.25f, 0.25f);
  const float steps[] = {125.0f, 375.0f, 375.0f};
  const float envelope[] = {0.5f, 1.0f, 0.5f};
  for (int i = 0; i < 3; ++i) {
    ERand expect = g_SimRand;
    const float z = expect.frand(-3.0f, 3.0f), y = expect.frand(-2.0f, 2.0f), x = expect.frand(-1.0f, 1.0f);
    camera.Update(nullptr, steps[i]);
    const EVec3 offset = camera.GetRenderPosition() - camera.GetPosition();
    EXPECT_NEAR(x * envelope[i], offset.x, 1e-3f) << i;
    EXPECT_NEAR(y * envelope[i], offset.y, 1e-3f) << i;
    EXPECT_NEAR(z * envelope[i], offset.z, 1e-3f) << i;
    EXPECT_EQ(EVec3(100.0f, 200.0f, 300.0f), camera.GetPosition());
  }
  // Past its end the shake stops.
  camera.Update(nullptr, 200.0f);
  EXPECT_EQ(0.0f, camera.GetShakeRandom().fDuration);
  EXPECT_EQ(camera.GetPosition(), camera.GetRenderPosition());

  // Switched off, or on a fly camera, no random number is drawn.
  camera.StartShakeRandom(EVec3(1.0f, 2.0f, 3.0f), 1.0f, 0.0f, 0.0f);
  const int count = g_SimRand.GetCount();
  ECamera::SetShakeEnable(false);
  camera.Update(nullptr, 18.0f);
  camera.StartShakeDriven(10.0f);
  ECamera::SetShakeEnable(true);
  EXPECT_EQ(count, g_SimRand.GetCount());
  camera.Init(kCAMERA_FLY);
  camera.Update(nullptr, 18.0f);
  EXPECT_EQ(count, g_SimRand.GetCount());
  EXPECT_EQ(camera.GetPosition(), camera.GetRenderPosition());
}

TEST_F(CameraFixture, PeriodicAndDrivenShakes) {
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  camera.StartShakePeriodic(EVec3(10.0f, 10.0f, 10.0f), 1.0f, 1.0f, 0.0f, 0.0f);
  SetRealTime(18.0f, 2.0);
  camera.Update(nullptr, 500.0f);
  const EVec3 offset = camera.GetRenderPosition() - camera.GetPosition();
  EXPECT_NEAR(9.093f, offset.x, 1e-3f);
  EXPECT_NEAR(-8.150f, offset.y, 1e-3f);
  EXPECT_NEAR(-0.943f, offset.z, 1e-3f);
  camera.StopShake();

  // A driven shake first dips the view, then rings out to rest.
  camera.StartShakeDriven(10.0f);
  camera.Update(nullptr, 18.0f);
  EXPECT_LT(camera.GetShakeSpringOffsetA().y, 0.0f);
  EXPECT_LT(camera.GetShakeSpringOffsetB().y, 0.0f);
  for (int i = 0; i < 200; ++i) camera.Update(nullptr, 1000.0f);
  EXPECT_EQ(EVec3(0.0f, 0.0f, 0.0f), camera.GetShakeSpringOffsetB());
}

TEST_F(CameraFixture, BadShakeTimesWarnAndStartNothing) {
  ECamera camera;
  struct Case {
    float total, accel, decel;
    bool starts;
  };
  const Case cases[] = {
      {1.0f, 0.5f, 0.5f, true},
      {1.0f, 0.5f, 0.500005f, true},  // within the tolerance
      {1.0f, 0.6f, 0.5f, false},
      {1.0f, -0.1f, 0.0f, false},
      {1.0f, 0.0f, -0.1f, false},
  };
  for (const Case& c : cases) {
    camera.StopShake();
    m_Traces.clear();
    camera.StartShakeRandom(EVec3(1.0f, 1.0f, 1.0f), c.total, c.accel, c.decel);
    camera.StartShakePeriodic(EVec3(1.0f, 1.0f, 1.0f), 1.0f, c.total, c.accel, c.decel);
    EXPECT_EQ(c.starts ? 1000.0f : 0.0f, camera.GetShakeRandom().fDuration) << c.accel << " " << c.decel;
    EXPECT_EQ(c.starts ? 1000.0f : 0.0f, camera.GetShakePeriodic().fDuration);
    EXPECT_EQ(c.starts, m_Traces.empty());
  }
}

}  // namespace
