// Camera paths and the cameras that move by themselves: the script camera
// flying a path, the rail camera, the fly camera and the sphere camera.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DirectX/SDLInput.h"
#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "Game/ControlHandler.h"
#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/MeshEntity.h"

namespace {

struct Key {
  float x, y, z;
  float fov;
};

ECameraWaypoint* MakeWaypoints(const std::vector<Key>& keys) {
  ECameraWaypoint* w = static_cast<ECameraWaypoint*>(malloc(keys.size() * sizeof(ECameraWaypoint)));
  memset(static_cast<void*>(w), 0, keys.size() * sizeof(ECameraWaypoint));
  for (size_t i = 0; i < keys.size(); ++i) {
    w[i].m_vPosition = EVec3(keys[i].x, keys[i].y, keys[i].z);
    w[i].m_vRotation = EVec3(0.0f, 0.0f, 0.0f);
    w[i].m_fFieldOfView = keys[i].fov;
  }
  return w;
}

// ---- Building paths ----

TEST(CameraPath, SubdividedKeysLieOnTheirWaypointsTimedByDistance) {
  ECameraWaypoint* keys = MakeWaypoints({{0, 0, 0, 60}, {100, 0, 0, 90}, {200, 0, 0, 120}});
  ECameraPath path;
  ASSERT_TRUE(path.InitAndSubdivide(keys, 3, 2.0f, 0.0f, 0.0f));
  ASSERT_EQ(255, path.GetWaypointCount());
  EXPECT_EQ(2000.0f, path.GetDurationMs());

  struct {
    int waypoint, key;
    float t;
  } const onKeys[] = {{0, 0, 0.0f}, {127, 1, 0.5f}, {254, 2, 1.0f}};
  for (const auto& c : onKeys) {
    SCOPED_TRACE(c.waypoint);
    const ECameraWaypoint& w = path.GetWaypoint(c.waypoint);
    EXPECT_EQ((uint32_t)ECameraWaypoint::kKEY, w.m_dwFlags);
    EXPECT_NEAR(0.0f, (w.m_vPosition - keys[c.key].m_vPosition).Length(), 1e-3f);
    EXPECT_NEAR(c.t, w.m_fT, 1e-5f);
    EXPECT_NEAR(c.t, keys[c.key].m_fT, 1e-5f);  // written back into the caller's keys
    EXPECT_NEAR(keys[c.key].m_fFieldOfView, w.m_fFieldOfView, 1e-3f);
  }
  EXPECT_EQ(1.0f, path.GetWaypoint(254).m_fT);
  for (int i = 1; i < 255; ++i) {
    if (i != 127 && i != 254) {
      EXPECT_EQ(0u, path.GetWaypoint(i).m_dwFlags) << i;
    }
    EXPECT_GE(path.GetWaypoint(i).m_fT, path.GetWaypoint(i - 1).m_fT) << i;
  }
  // Positions follow the curve parameter; time and the field of view the distance.
  EXPECT_NEAR(0.39988f, path.GetWaypoint(1).m_vPosition.x, 1e-4f);
  EXPECT_NEAR(43.3075f, path.GetWaypoint(63).m_vPosition.x, 1e-3f);
  EXPECT_NEAR(0.216537f, path.GetWaypoint(63).m_fT, 1e-5f);
  EXPECT_NEAR(72.992f, path.GetWaypoint(63).m_fFieldOfView, 1e-3f);
  free(keys);
}

TEST(CameraPath, KeyParametersFollowTheDistanceBetweenKeys) {
  // Keys bunched at the start move the middle key's parameter early.
  ECameraWaypoint* keys = MakeWaypoints({{0, 0, 0, 60}, {100, 0, 0, 60}, {400, 0, 0, 60}});
  ECameraPath uneven;
  ASSERT_TRUE(uneven.InitAndSubdivide(keys, 3, 1.0f, 0.0f, 0.0f));
  EXPECT_NEAR(0.25f, keys[1].m_fT, 1e-4f);
  EXPECT_NEAR(0.25f, uneven.GetWaypoint(127).m_fT, 1e-4f);
  free(keys);

  // All keys at one place: spread evenly, no division by zero.
  keys = MakeWaypoints({{5, 5, 5, 60}, {5, 5, 5, 70}, {5, 5, 5, 80}});
  ECameraPath still;
  ASSERT_TRUE(still.InitAndSubdivide(keys, 3, 1.0f, 0.0f, 0.0f));
  for (int k = 0; k < 255; ++k) EXPECT_NEAR((float)k / 254.0f, still.GetWaypoint(k).m_fT, 1e-6f) << k;
  EXPECT_NEAR(0.5f, keys[1].m_fT, 1e-6f);
  EXPECT_EQ(1.0f, keys[2].m_fT);
  free(keys);

  // Two keys stay two waypoints, as given, with parameters 0 and 1.
  keys = MakeWaypoints({{0, 0, 0, 60}, {50, 10, 0, 90}});
  keys[0].m_dwFlags = ECameraWaypoint::kCUT;
  ECameraPath two;
  ASSERT_TRUE(two.InitAndSubdivide(keys, 2, 1.0f, 0.0f, 0.0f));
  ASSERT_EQ(2, two.GetWaypointCount());
  EXPECT_EQ(0.0f, two.GetWaypoint(0).m_fT);
  EXPECT_EQ(1.0f, two.GetWaypoint(1).m_fT);
  EXPECT_EQ((uint32_t)ECameraWaypoint::kCUT, two.GetWaypoint(0).m_dwFlags);
  EXPECT_EQ(EVec3(50.0f, 10.0f, 0.0f), two.GetWaypoint(1).m_vPosition);
  free(keys);
}

TEST(CameraPath, TwoKeysAtOnePlaceInsideAPathStillBuildIt) {
  // The first span has no length: its parameter range is empty.
  ECameraWaypoint* keys = MakeWaypoints({{0, 0, 0, 60}, {0, 0, 0, 90}, {0, 0, 0, 100}, {100, 0, 0, 120}});
  keys[1].m_vRotation = EVec3(0.0f, 90.0f, 0.0f);
  ECameraPath path;
  ASSERT_TRUE(path.InitAndSubdivide(keys, 4, 1.0f, 0.0f, 0.0f));
  EXPECT_EQ(0.0f, keys[1].m_fT);
  for (int i = 0; i < path.GetWaypointCount(); ++i) {
    const ECameraWaypoint& w = path.GetWaypoint(i);
    EXPECT_TRUE(std::isfinite(w.m_fFieldOfView) && std::isfinite(w.m_vRotation.y)) << i;
  }
  EXPECT_NEAR(90.0f, path.GetWaypoint(127).m_fFieldOfView, 1e-4f);
  EXPECT_NEAR(90.0f, path.GetWaypoint(127).m_vRotation.y, 1e-2f);
  free(keys);
}

TEST(CameraPathDeathTest, ChecksRefuseBadKeysAndASecondInit) {
  ECameraWaypoint* keys = MakeWaypoints({{0, 0, 0, 60}, {1, 0, 0, 60}, {2, 0, 0, 60}});
  ECameraPath path;
  EXPECT_DEATH(path.InitAndSubdivide(keys, 1, 1.0f, 0.0f, 0.0f), "pKey && iKeyCount >= 2");
  EXPECT_DEATH(path.InitAndSubdivide(nullptr, 3, 1.0f, 0.0f, 0.0f), "pKey && iKeyCount >= 2");
  EXPECT_DEATH(path.Init(keys, 1, 1.0f, 0.0f, 0.0f), "pWaypoint && iWaypointCount >= 2");
  ASSERT_TRUE(path.InitAndSubdivide(keys, 3, 1.0f, 0.0f, 0.0f));
  EXPECT_DEATH(path.InitAndSubdivide(keys, 3, 1.0f, 0.0f, 0.0f), "m_pWaypoint == NULL");
  free(keys);
}

TEST(CameraPath, SegmentSearchMovesForwardOnly) {
  ECameraPath path;
  ASSERT_TRUE(path.Init(MakeWaypoints({{0, 0, 0, 60}, {100, 0, 0, 60}, {300, 0, 0, 60}}), 3, 2.0f, 0.0f, 0.0f));
  struct {
    float t;
    int start;
    bool found;
    int i0, i1;
    float u;
  } const cases[] = {
      {0.0f, 0, true, 0, 1, 0.0f},  {0.25f, 0, true, 0, 1, 0.5f}, {0.5f, 0, true, 0, 1, 1.0f},
      {0.75f, 0, true, 1, 2, 0.5f}, {1.0f, 0, true, 1, 2, 1.0f},  {0.25f, 1, false, 0, 0, 0.0f},
      {0.75f, 1, true, 1, 2, 0.5f}, {1.5f, 0, false, 0, 0, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "t " << c.t << " from " << c.start);
    int i0 = -1, i1 = -1;
    float u = -1.0f;
    ASSERT_EQ(c.found, path.GetSegmentPosition(c.t, c.start, i0, i1, u));
    if (!c.found) continue;
    EXPECT_EQ(c.i0, i0);
    EXPECT_EQ(c.i1, i1);
    EXPECT_FLOAT_EQ(c.u, u);
  }
  // A cut holds its waypoint through the whole segment.
  ECameraWaypoint* w = MakeWaypoints({{0, 0, 0, 60}, {100, 0, 0, 60}, {300, 0, 0, 60}});
  w[1].m_dwFlags = ECameraWaypoint::kCUT;
  ECameraPath cut;
  ASSERT_TRUE(cut.Init(w, 3, 2.0f, 0.0f, 0.0f));
  int i0 = -1, i1 = -1;
  float u = -1.0f;
  ASSERT_TRUE(cut.GetSegmentPosition(0.75f, 0, i0, i1, u));
  EXPECT_EQ(1, i0);
  EXPECT_EQ(0.0f, u);
}

TEST(CameraPath, DebugDrawingMarksTheEndsAndTheKeys) {
  ECameraWaypoint* w = MakeWaypoints({{0, 0, 0, 60}, {100, 0, 0, 60}, {200, 0, 0, 60}, {300, 0, 0, 60}});
  w[1].m_dwFlags = ECameraWaypoint::kKEY;
  ECameraPath path;
  ASSERT_TRUE(path.Init(w, 4, 1.0f, 0.0f, 0.0f));
  EDebugLineManager sphere, lines;
  sphere.AddSphere(EVec3(0.0f, 0.0f, 0.0f), 50.0f, nullptr);
  const int perSphere = sphere.GetLineCount(0) + sphere.GetLineCount(1);
  EDebugLineManager* pSaved = gDebugLine;
  gDebugLine = &lines;
  path.RequestRender(EVec4(1.0f, 0.0f, 0.0f, 1.0f));
  gDebugLine = pSaved;
  // Three segments; a sphere and a three-line arrow at waypoints 0, 1 and 3.
  EXPECT_EQ(3 + 3 * (perSphere + 3), lines.GetLineCount(0) + lines.GetLineCount(1));
}

// ---- An application with the camera-path pool ----

class PathApp : public GameApp {
public:
  PathApp() { BuildDomainTree(); }
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

std::vector<std::string>* s_pPathTraces = nullptr;
void CapturePathTrace(const char* text) {
  if (s_pPathTraces) s_pPathTraces->push_back(text);
}
bool NoSceneCollision(ECollide&) { return false; }

class CameraPathFixture : public ::testing::Test {
protected:
  void SetUp() override {
    gGameApp = &m_App;
    m_App.m_pCameraPaths = CreateCameraPathPool();
    m_App.m_fRealDeltaTime = 0.018f;
    ECamera::sm_pfnSceneCollision = NoSceneCollision;
    s_pPathTraces = &m_Traces;
    g_ErrorManager.SetConsoleCallback(CapturePathTrace);
    ECamera::ResetStaticGlobals();
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pPathTraces = nullptr;
    ECamera::sm_pfnModeUpdateHook = nullptr;
    ECamera::sm_pfnSceneCollision = &ECamera::DefaultSceneCollision;
    ECamera::ResetStaticGlobals();
    EControlHandler::PauseControls(false, false);
    gGameApp = nullptr;
  }
  ECameraPathPool& Pool() { return *m_App.m_pCameraPaths; }
  // A path spread evenly by Init.
  uint32_t AddPath(const std::vector<Key>& keys, float seconds, float accel = 0.0f, float decel = 0.0f) {
    const uint32_t id = Pool().ElementNew();
    EXPECT_TRUE(Pool().ElementGet(id)->Init(MakeWaypoints(keys), (int)keys.size(), seconds, accel, decel));
    return id;
  }
  int CountTraces(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_Traces) n += s.find(szText) != std::string::npos;
    return n;
  }

  PathApp m_App;
  std::vector<std::string> m_Traces;
};

TEST_F(CameraPathFixture, LevelUnloadKeepsOnlyKeptPaths) {
  const uint32_t a = AddPath({{0, 0, 0, 60}, {1, 0, 0, 60}}, 1.0f);
  const uint32_t b = AddPath({{0, 0, 0, 60}, {1, 0, 0, 60}}, 1.0f);
  ECameraPath::Find(b)->SetKeep(true);
  EXPECT_EQ(16, Pool().GetAllocCount());
  DeleteUnkeptCameraPaths(Pool());
  EXPECT_EQ(nullptr, ECameraPath::Find(a));
  EXPECT_NE(nullptr, ECameraPath::Find(b));
  EXPECT_EQ(nullptr, ECameraPath::Find(0));
}

// ---- Script camera ----

const std::vector<Key> kScriptKeys = {{0, 0, 0, 60}, {100, 0, 0, 90}, {300, 0, 0, 120}};

struct SliceState {
  bool active;
  float x;
};
std::vector<SliceState>* s_pScriptSlices = nullptr;
void ScriptSlice(ECamera* pCamera, const Input* pInput, float fStepMs) {
  pCamera->UpdateScriptCamera(pInput, fStepMs);
  s_pScriptSlices->push_back({pCamera->IsScriptCameraPathActive(), pCamera->GetPosition().x});
}

TEST_F(CameraPathFixture, ScriptCameraFliesThePathAndEndsOnItsLastWaypoint) {
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  camera.SetScriptCameraPath(AddPath(kScriptKeys, 2.0f), nullptr);
  ASSERT_TRUE(camera.IsScriptCameraPathActive());

  struct {
    int updates;
    float x, fov;
  } const marks[] = {{25, 50.0f, LerpFieldOfView(60.0f, 90.0f, 0.5f)}, {50, 100.0f, 90.0f}, {75, 200.0f, 105.0f}};
  int done = 0;
  for (const auto& m : marks) {
    for (; done < m.updates; ++done) camera.Update(nullptr, 20.0f);
    SCOPED_TRACE(done);
    EXPECT_NEAR(m.x, camera.GetPosition().x, 1e-3f);
    if (m.updates != 75) {
      EXPECT_NEAR(m.fov, camera.GetFieldOfView(), 1e-3f);
    }
  }
  EXPECT_NEAR(72.41f, LerpFieldOfView(60.0f, 90.0f, 0.5f), 0.01f);
  // Euler 0 everywhere: the path holds the orientation level, looking down -Z.
  EXPECT_NEAR(0.0f, (camera.GetViewVector() - EVec3(0.0f, 0.0f, -1.0f)).Length(), 1e-4f);

  // In 40 ms updates the path ends in the third slice of the 50th update.
  std::vector<SliceState> slices;
  s_pScriptSlices = &slices;
  ECamera::sm_pfnModeUpdateHook = ScriptSlice;
  camera.SetScriptCameraPath(AddPath(kScriptKeys, 2.0f), nullptr);
  for (int i = 0; i < 49; ++i) camera.Update(nullptr, 40.0f);
  EXPECT_TRUE(camera.IsScriptCameraPathActive());
  slices.clear();
  camera.Update(nullptr, 40.0f);
  ECamera::sm_pfnModeUpdateHook = nullptr;
  s_pScriptSlices = nullptr;
  ASSERT_EQ(3u, slices.size());
  EXPECT_TRUE(slices[0].active);
  EXPECT_TRUE(slices[1].active);
  EXPECT_FALSE(slices[2].active);
  EXPECT_EQ(300.0f, camera.GetPosition().x);
  EXPECT_FALSE(camera.IsScriptCameraPathActive());
  // The field of view stays as the last interpolated slice (1996 ms) left it.
  EXPECT_NEAR(LerpFieldOfView(90.0f, 120.0f, 0.996f), camera.GetFieldOfView(), 1e-3f);
}

TEST_F(CameraPathFixture, ScriptCameraEasesInAndStopsWhenAsked) {
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  camera.SetScriptCameraPath(AddPath(kScriptKeys, 2.0f, 0.5f, 0.5f), nullptr);
  for (int i = 0; i < 25; ++i) camera.Update(nullptr, 10.0f);
  EXPECT_NEAR(8.333f, camera.GetPosition().x, 2e-3f);

  // Stopping leaves the camera where it is.
  const EVec3 at = camera.GetPosition();
  camera.SetScriptCameraPath(0, nullptr);
  EXPECT_FALSE(camera.IsScriptCameraPathActive());
  camera.Update(nullptr, 100.0f);
  EXPECT_EQ(at, camera.GetPosition());

  // An id that names no live path starts nothing; clearing stops a running one.
  camera.SetScriptCameraPath(0x8123u << 16 | 5u, nullptr);
  EXPECT_FALSE(camera.IsScriptCameraPathActive());
  camera.SetScriptCameraPath(AddPath(kScriptKeys, 2.0f), nullptr);
  camera.ClearScriptCameraPath();
  EXPECT_FALSE(camera.IsScriptCameraPathActive());

  // A path with no duration ends at its first slice, on its last waypoint.
  camera.SetScriptCameraPath(AddPath(kScriptKeys, 0.0f), nullptr);
  camera.Update(nullptr, 1.0f);
  EXPECT_FALSE(camera.IsScriptCameraPathActive());
  EXPECT_EQ(300.0f, camera.GetPosition().x);
}

TEST_F(CameraPathFixture, ScriptPathMovedByATransformOrAimedAtATarget) {
  const uint32_t id = AddPath(kScriptKeys, 2.0f);
  EMat4 shift;
  shift.SetTranslation(EVec3(10.0f, 20.0f, 30.0f));
  ECamera plain, moved;
  plain.Init(kCAMERA_SCRIPT);
  moved.Init(kCAMERA_SCRIPT);
  plain.SetScriptCameraPath(id, nullptr);
  moved.SetScriptCameraPath(id, &shift);
  for (int i = 0; i < 30; ++i) {
    plain.Update(nullptr, 20.0f);
    moved.Update(nullptr, 20.0f);
    ASSERT_NEAR(0.0f, (moved.GetPosition() - plain.GetPosition() - EVec3(10.0f, 20.0f, 30.0f)).Length(), 1e-3f) << i;
    ASSERT_NEAR(0.0f, (moved.GetViewVector() - plain.GetViewVector()).Length(), 1e-5f) << i;
  }

  // With a target the path moves the camera but the target turns it.
  EMeshEntity* pTarget = EMeshEntity::Create(m_App.m_pMainDomain, "Target");
  pTarget->SetPosition(EVec3(100.0f, -150.0f, -500.0f));
  ECamera aimed;
  aimed.Init(kCAMERA_SCRIPT);
  aimed.SetPrimaryTarget(pTarget, false);
  aimed.SetScriptCameraPath(id, nullptr);
  for (int i = 0; i < 30; ++i) aimed.Update(nullptr, 20.0f);
  EXPECT_NEAR(0.0f, (aimed.GetPosition() - plain.GetPosition()).Length(), 1e-3f);
  EVec3 dir = aimed.GetTargetPosition(true) - aimed.GetPosition();
  dir.Normalize();
  EXPECT_NEAR(0.0f, (aimed.GetViewVector() - dir).Length(), 1e-4f);
  aimed.SetPrimaryTarget(nullptr, false);
}

TEST_F(CameraPathFixture, DeletedScriptPathIsWarnedAboutOnceAndForgotten) {
  ECamera camera;
  camera.Init(kCAMERA_SCRIPT);
  const uint32_t id = AddPath(kScriptKeys, 2.0f);
  camera.SetScriptCameraPath(id, nullptr);
  camera.Update(nullptr, 500.0f);
  const EVec3 at = camera.GetPosition();
  Pool().ElementDeleteByID(id);
  for (int i = 0; i < 5; ++i) camera.Update(nullptr, 100.0f);
  EXPECT_EQ(1, CountTraces("Script camera still has a reference to a deleted path"));
  EXPECT_FALSE(camera.IsScriptCameraPathActive());
  EXPECT_EQ(at, camera.GetPosition());
}

// ---- Rail camera ----

TEST(RailCamera, SpringStepClosesPartOfTheGapAndNeverOvershoots) {
  struct {
    float d, k, lo, hi, expected;
  } const cases[] = {
      {0.5f, 0.2f, 0.0f, 1e9f, -0.1f}, {-0.5f, 0.2f, 0.0f, 1e9f, 0.1f}, {0.0f, 0.2f, 0.0f, 1e9f, 0.0f},
      {0.5f, 0.2f, 0.0f, 0.05f, -0.05f}, {0.01f, 0.2f, 0.5f, 1e9f, -0.01f},
  };
  for (const auto& c : cases) EXPECT_FLOAT_EQ(c.expected, GetSimpleSpringVelocity(c.d, c.k, c.lo, c.hi)) << c.d;
}

TEST_F(CameraPathFixture, RailParameterSpringsTowardTheTargetAndJumpsDuringABlend) {
  const uint32_t pos = AddPath({{0, 500, 500, 60}, {1000, 500, 500, 60}}, 1.0f);
  const uint32_t look = AddPath({{0, 0, 0, 60}, {1000, 0, 0, 60}}, 1.0f);
  ECamera camera;
  camera.Init(kCAMERA_RAIL);
  camera.SetFixedTarget(EVec3(0.0f, 0.0f, 0.0f), false);
  camera.SetRailCameraPaths(pos, look);
  EXPECT_EQ(0.0f, camera.GetRailT());
  camera.SetFixedTarget(EVec3(500.0f, 0.0f, 0.0f), false);
  const float gaps[] = {0.4f, 0.32f, 0.256f};
  for (float gap : gaps) {
    camera.Update(nullptr, 18.0f);
    EXPECT_NEAR(gap, 0.5f - camera.GetRailT(), 1e-5f);
  }
  // The step is per slice: one 40 ms update runs three of them.
  camera.SetFixedTarget(EVec3(0.0f, 0.0f, 0.0f), false);
  camera.SetRailCameraPaths(pos, look);
  camera.SetFixedTarget(EVec3(500.0f, 0.0f, 0.0f), false);
  camera.Update(nullptr, 40.0f);
  EXPECT_NEAR(0.256f, 0.5f - camera.GetRailT(), 1e-5f);
  // The camera rides the position path and looks at the look path.
  EXPECT_NEAR(0.0f, (camera.GetPosition() - EVec3(1000.0f * camera.GetRailT(), 500.0f, 500.0f)).Length(), 1e-2f);
  EVec3 dir = EVec3(1000.0f * camera.GetRailT(), 0.0f, 0.0f) - camera.GetPosition();
  dir.Normalize();
  EXPECT_NEAR(0.0f, (camera.GetViewVector() - dir).Length(), 1e-4f);

  // Coming from the chase camera a blend runs, and the parameter jumps.
  ECamera blended;
  blended.Init(kCAMERA_CHASE);
  blended.Init(kCAMERA_RAIL);
  blended.SetFixedTarget(EVec3(0.0f, 0.0f, 0.0f), false);
  blended.SetRailCameraPaths(pos, look);
  blended.SetFixedTarget(EVec3(700.0f, 0.0f, 0.0f), false);
  blended.Update(nullptr, 18.0f);
  EXPECT_NEAR(0.7f, blended.GetRailT(), 1e-5f);
}

TEST_F(CameraPathFixture, IdealParameterIsMeasuredAlongTheLookPath) {
  const uint32_t look = AddPath({{0, 0, 0, 60}, {1000, 0, 0, 60}, {2000, 0, 0, 60}}, 1.0f);
  const uint32_t bent = AddPath({{0, 0, 0, 60}, {1000, 0, 0, 60}, {1000, 0, 1000, 60}}, 1.0f);
  struct {
    uint32_t path;
    float x, z, t;
  } const cases[] = {
      {look, 250, 300, 0.125f},   // nearest the first waypoint: only the first segment
      {look, -500, 0, 0.0f},      // before the start
      {look, 1400, -50, 0.7f},    // after waypoint 1
      {look, 2600, 0, 1.0f},      // past the end
      {bent, 900, 0, 0.45f},      // before the corner
      {bent, 1100, 300, 0.65f},   // after it
  };
  ECamera camera;
  camera.Init(kCAMERA_RAIL);
  for (const auto& c : cases) {
    camera.SetFixedTarget(EVec3(c.x, 0.0f, c.z), false);
    camera.SetRailCameraPaths(c.path, c.path);
    EXPECT_NEAR(c.t, camera.GetIdealT(), 1e-5f) << c.x << ", " << c.z;
  }
  // A look path the pool does not know gives 0.
  camera.SetRailCameraPaths(look, 0x8765u << 16 | 3u);
  EXPECT_EQ(0.0f, camera.GetIdealT());
}

TEST_F(CameraPathFixture, RailRefusesShortPathsAndStopsOnDeletedOnes) {
  const uint32_t pos = AddPath({{0, 500, 500, 60}, {1000, 500, 500, 60}}, 1.0f);
  const uint32_t look = AddPath({{0, 0, 0, 60}, {1000, 0, 0, 60}}, 1.0f);
  const uint32_t empty = Pool().ElementNew();  // a path never built
  ECamera camera;
  camera.Init(kCAMERA_RAIL);
  camera.SetFixedTarget(EVec3(300.0f, 0.0f, 0.0f), false);
  camera.SetRailCameraPaths(pos, look);
  camera.SetRailCameraPaths(pos, empty);
  camera.SetRailCameraPaths(empty, look);
  EXPECT_EQ(2, CountTraces("at least 2 are needed"));
  EXPECT_EQ(look, camera.GetRailLookPath());
  EXPECT_EQ(pos, camera.GetRailPositionPath());
  camera.Update(nullptr, 18.0f);
  EXPECT_NEAR(300.0f, camera.GetPosition().x, 1e-2f);

  // Either path deleted: the camera stays where it is.
  const EVec3 at = camera.GetPosition();
  camera.SetFixedTarget(EVec3(900.0f, 0.0f, 0.0f), false);
  Pool().ElementDeleteByID(look);
  camera.Update(nullptr, 18.0f);
  EXPECT_EQ(at, camera.GetPosition());

  const uint32_t look2 = AddPath({{0, 0, 0, 60}, {1000, 0, 0, 60}}, 1.0f);
  ECamera other;
  other.Init(kCAMERA_RAIL);
  other.SetFixedTarget(EVec3(300.0f, 0.0f, 0.0f), false);
  other.SetRailCameraPaths(pos, look2);
  other.Update(nullptr, 18.0f);
  const EVec3 otherAt = other.GetPosition();
  other.SetFixedTarget(EVec3(900.0f, 0.0f, 0.0f), false);
  Pool().ElementDeleteByID(pos);
  other.Update(nullptr, 18.0f);
  EXPECT_EQ(otherAt, other.GetPosition());
}

TEST_F(CameraPathFixture, RailAltitudeOverrideKeepsTheDistanceFromTheRaisedLookPoint) {
  const uint32_t pos = AddPath({{0, 0, 600, 60}, {1000, 0, 600, 60}}, 1.0f);
  const uint32_t look = AddPath({{0, 0, 0, 60}, {1000, 0, 0, 60}}, 1.0f);
  ECamera camera;
  camera.Init(kCAMERA_RAIL);
  camera.SetFixedTarget(EVec3(500.0f, 0.0f, 0.0f), false);
  camera.SetRailCameraPaths(pos, look);
  camera.SetRailCameraAltitude(30.0f);
  camera.Update(nullptr, 18.0f);
  const EVec3 raised(500.0f, 150.0f, 0.0f);
  const EVec3 s = (camera.GetPosition() - raised).CartesianToSpherical();
  EXPECT_NEAR((EVec3(500.0f, 0.0f, 600.0f) - raised).Length(), s.x, 1e-2f);
  EXPECT_NEAR(30.0f, s.z, 1e-3f);
  camera.SetRailCameraRadius(100.0f);
  camera.Update(nullptr, 18.0f);
  EXPECT_NEAR(100.0f, (camera.GetPosition() - raised).Length(), 1e-2f);
}

// ---- Fly camera ----

TEST(FlyCamera, ResponseCurves) {
  struct {
    float x, k, expected;
  } const ranges[] = {
      {0.5f, 2.5f, 0.22270f}, {-0.5f, 2.5f, -0.22270f}, {1.0f, 2.5f, 1.0f}, {3.0f, 2.5f, 1.0f},
      {0.0f, 2.5f, 0.0f},     {0.5f, 0.0f, 0.5f},       {-2.0f, -1.0f, -1.0f},
  };
  for (const auto& c : ranges) EXPECT_NEAR(c.expected, _AddDynamicRange(c.x, c.k), 1e-5f) << c.x << " " << c.k;
  struct {
    float x, zone, expected;
  } const zones[] = {{0.3f, 0.3f, 0.0f}, {-0.2f, 0.3f, 0.0f}, {1.0f, 0.3f, 1.0f}, {-1.0f, 0.3f, -1.0f}, {0.65f, 0.3f, 0.5f}};
  for (const auto& c : zones) EXPECT_NEAR(c.expected, _KillDeadzone(c.x, c.zone), 1e-6f) << c.x;
}

class FlyFixture : public CameraPathFixture {
protected:
  void SetUp() override {
    CameraPathFixture::SetUp();
    m_Camera.Init(kCAMERA_FLY);
    m_Camera.SetRotationQuat(EQuat(EVec3(0.0f, 30.0f, 0.0f)));
  }
  // One second of real time with this input.
  void FlySecond(const Input& input) {
    m_App.m_fRealDeltaTime = 1.0f;
    m_Camera.Update(&input, 0.0f);
  }
  ECamera m_Camera;
};

TEST_F(FlyFixture, SticksAndButtonsSetTheSpeed) {
  enum { kJUMP = 0, kATTACK = 3, kUSE = 4, kLOCKON = 6, kPSI1 = 7, kSTATS = 8 };
  struct {
    const char* name;
    std::vector<int> buttons;
    float factor;
  } const cases[] = {
      {"none", {}, 1.0f},
      {"Stats alone", {kSTATS}, 1.0f},
      {"LockOn", {kLOCKON}, 3.0f},
      {"LockOn and Stats", {kLOCKON, kSTATS}, 21.0f},
      {"LockOn, Stats and Use", {kLOCKON, kSTATS, kUSE}, 201.0f},
      {"PsiPower1", {kPSI1}, 1.0f / 8.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Input input;
    input.m_nMoveY = -100;
    for (int b : c.buttons) input.m_aAnalogButton[b] = 255;
    m_Camera.SetPosition(EVec3(0.0f, 0.0f, 0.0f));  // far out, float steps grow
    const EVec3 start = m_Camera.GetPosition();
    const EVec3 view = m_Camera.GetViewVector();
    FlySecond(input);
    const EVec3 moved = m_Camera.GetPosition() - start;
    EXPECT_NEAR(0.0f, (moved - view * (1700.0f * c.factor)).Length(), 0.02f * c.factor);
  }
  // Attack moves up in camera space, Jump down.
  struct {
    int button;
    float sign;
  } const vertical[] = {{kATTACK, 1.0f}, {kJUMP, -1.0f}};
  for (const auto& c : vertical) {
    Input input;
    input.m_aAnalogButton[c.button] = 255;
    const EVec3 start = m_Camera.GetPosition();
    FlySecond(input);
    EXPECT_NEAR(0.0f, ((m_Camera.GetPosition() - start) - m_Camera.GetUpVector() * (1000.0f * c.sign)).Length(), 0.02f);
  }
}

TEST_F(FlyFixture, TurningStopsAtEightyDegreesAndSlowsWithANarrowView) {
  struct {
    int lookY;
    float pitch;
  } const cases[] = {{-100, 80.0f}, {100, -80.0f}};
  for (const auto& c : cases) {
    Input input;
    input.m_nLookY = c.lookY;
    for (int i = 0; i < 3; ++i) FlySecond(input);
    EXPECT_NEAR(c.pitch, asinf(m_Camera.GetViewVector().y) * 57.29578f, 0.01f) << c.lookY;
  }

  // Yaw of one 18 ms slice at full deflection, wide and narrow.
  auto yawOfOneSlice = [&](float fov) {
    m_Camera.SetRotationQuat(EQuat());
    m_Camera.SetFieldOfView(fov);
    Input input;
    input.m_nLookX = -100;
    m_App.m_fRealDeltaTime = 0.018f;
    m_Camera.Update(&input, 0.0f);
    const EVec3 v = m_Camera.GetViewVector();
    return atan2f(-v.x, -v.z) * 57.29578f;
  };
  const float wide = yawOfOneSlice(104.0f);
  EXPECT_NEAR(170.0f * 0.018f, wide, 1e-3f);
  EXPECT_NEAR(0.5f, yawOfOneSlice(30.0f) / wide, 1e-4f);
}

TEST_F(FlyFixture, FieldOfViewModeStaysInItsRangeAndStopsTheFlight) {
  Input input;
  input.m_aAnalogButton[5] = 255;  // PsiPower3
  input.m_nMoveY = -100;
  const EVec3 start = m_Camera.GetPosition();
  FlySecond(input);
  EXPECT_NEAR(104.0f - 60.0f, m_Camera.GetFieldOfView(), 1e-3f);
  EXPECT_EQ(start, m_Camera.GetPosition());
  FlySecond(input);
  EXPECT_EQ(0.1f, m_Camera.GetFieldOfView());
  input.m_nMoveY = 100;
  for (int i = 0; i < 7; ++i) FlySecond(input);
  EXPECT_EQ(360.0f, m_Camera.GetFieldOfView());
}

TEST_F(FlyFixture, StatusLineAndTheThreeDimensionalToggle) {
  enum { kPSI2 = 2, kUSE = 4, kPSI3 = 5, kLOCKON = 6, kPSI1 = 7, kSTATS = 8 };
  struct {
    bool paused;
    std::vector<int> buttons;
    const char* text;
  } const cases[] = {
      {false, {kLOCKON, kSTATS}, "Fixed fast x10"},
      {true, {}, "Fly"},
      {false, {kPSI1, kUSE, kSTATS}, "Fixed slow x10 x10"},
      {false, {kPSI3, kLOCKON}, "Fixed fov=104"},
  };
  for (const auto& c : cases) {
    EControlHandler::PauseControls(c.paused, false);
    Input input;
    for (int b : c.buttons) input.m_aAnalogButton[b] = 255;
    char sz[100];
    m_Camera.FormatFlyStatusLine(input, sz, sizeof(sz));
    EXPECT_STREQ(c.text, sz);
  }
  EControlHandler::PauseControls(false, false);

  // PsiPower2 toggles the 3D mode; in it Use rolls instead of speeding up.
  Input toggle;
  toggle.m_aButtonPressed[kPSI2] = 1;
  m_App.m_fRealDeltaTime = 0.018f;
  m_Camera.Update(&toggle, 0.0f);
  ASSERT_TRUE(m_Camera.GetFreeRotation());
  Input roll;
  roll.m_aAnalogButton[kUSE] = 255;
  char sz[100];
  m_Camera.FormatFlyStatusLine(roll, sz, sizeof(sz));
  EXPECT_STREQ("Fixed 3D", sz);
  const EVec3 view = m_Camera.GetViewVector();
  m_App.m_fRealDeltaTime = 0.25f;
  m_Camera.Update(&roll, 0.0f);
  EXPECT_NEAR(0.0f, (m_Camera.GetViewVector() - view).Length(), 1e-4f);
  EXPECT_NEAR(Cosine(30.0f), m_Camera.GetUpVector().y, 1e-4f);  // 120 degrees a second for 0.25 s

  // Leaving 3D while rolled makes the roll the new level.
  m_App.m_fRealDeltaTime = 0.018f;
  m_Camera.Update(&toggle, 0.0f);
  ASSERT_FALSE(m_Camera.GetFreeRotation());
  EXPECT_TRUE(m_Camera.GetTargetFrameRotationFlag());
  EXPECT_NEAR(0.0f, (m_Camera.GetTargetUpVector() - m_Camera.GetUpVector()).Length(), 1e-4f);
}

// ---- Sphere camera ----

TEST_F(CameraPathFixture, SphereCameraOrbitsZoomsAndKeepsItsLimits) {
  ECamera camera;
  camera.SetPosition(EVec3(0.0f, 150.0f, 1000.0f));
  camera.Init(kCAMERA_SPHERE);
  EXPECT_NEAR(0.0f, (camera.GetPosition() - EVec3(0.0f, 150.0f, 735.0f)).Length(), 1e-3f);
  EXPECT_NEAR(735.0f, camera.GetLastSpherical().x, 1e-4f);

  struct {
    int lookX, lookY;
    float seconds;
    float azimuth, altitude;  // added, or where it ends up when pinned or wrapped
  } const cases[] = {
      {0, 100, 1.0f, 180.0f, 75.0f},   // seen from +Z the azimuth is 180
      {0, 100, 1.0f, 180.0f, 89.0f},   // pinned
      {0, -100, 3.0f, 180.0f, -89.0f},  // pinned below
      {100, 0, 1.0f, -80.0f, -89.0f},   // 280 wraps
      {100, 0, 1.0f, 20.0f, -89.0f},
  };
  for (const auto& c : cases) {
    Input input;
    input.m_nLookX = c.lookX;
    input.m_nLookY = c.lookY;
    for (float s = 0.0f; s < c.seconds; s += 1.0f) camera.Update(&input, 1000.0f);
    EXPECT_NEAR(c.azimuth, camera.GetLastSpherical().y, 1e-3f) << c.lookX << " " << c.lookY;
    EXPECT_NEAR(c.altitude, camera.GetLastSpherical().z, 1e-3f) << c.lookX << " " << c.lookY;
  }
  // Always on the sphere, looking at the target point.
  const EVec3 target(0.0f, 150.0f, 0.0f);
  EXPECT_NEAR(735.0f, (camera.GetPosition() - target).Length(), 1e-2f);
  EVec3 dir = target - camera.GetPosition();
  dir.Normalize();
  EXPECT_NEAR(0.0f, (camera.GetViewVector() - dir).Length(), 1e-4f);

  // Zoom: at 2000 both buttons give one step in; the radius keeps to 1..2000.
  Input out;
  out.m_aAnalogButton[6] = 255;
  for (int i = 0; i < 3; ++i) camera.Update(&out, 1000.0f);
  EXPECT_EQ(2000.0f, camera.GetLastSpherical().x);
  Input both = out;
  both.m_aAnalogButton[7] = 255;
  camera.Update(&both, 18.0f);
  EXPECT_NEAR(1978.4f, camera.GetLastSpherical().x, 1e-3f);
  Input in;
  in.m_aAnalogButton[7] = 255;
  for (int i = 0; i < 3; ++i) camera.Update(&in, 1000.0f);
  EXPECT_EQ(1.0f, camera.GetLastSpherical().x);
  // Without input nothing moves.
  const EVec3 at = camera.GetPosition();
  camera.Update(nullptr, 1000.0f);
  EXPECT_EQ(at, camera.GetPosition());
}

}  // namespace
