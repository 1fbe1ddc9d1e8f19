// The path-AI manager's slots, path and lure, and the flock's steering.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "PathAI/EFlock.h"
#include "PathAI/PathAIManager.h"
#include "TWMath/Matrix.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"

namespace {

// Every test gets a fresh manager and leaves the lure statics as it found them.
class PathAIFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_fParam = EPathAIManager::GetLureParam();
    m_fDir = EPathAIManager::GetLureDir();
    EPathAIManager::SetLure(0.0f, 1.0f);
    ASSERT_EQ(nullptr, EPathAIManager::Get());
    m_pMgr = EPathAIManager::createPathAIManager();
  }
  void TearDown() override {
    EXPECT_TRUE(EPathAIManager::destroyPathAIManager());
    EPathAIManager::SetLure(m_fParam, m_fDir);
  }
  EPathAIManager* m_pMgr = nullptr;
  float m_fParam = 0.0f, m_fDir = 1.0f;
};

TEST_F(PathAIFixture, PathParametersFollowLength) {
  PathAIPath path;
  EXPECT_EQ(0.0f, path.getPos(0.5f).Length());
  const EVec3 pts[3] = {EVec3(0, 0, 0), EVec3(100, 0, 0), EVec3(100, 0, 200)};
  path.setUp(3, pts, 100.0f, 200.0f);
  EXPECT_FLOAT_EQ(0.0f, path.m_afParam[0]);
  EXPECT_FLOAT_EQ(1.0f / 3.0f, path.m_afParam[1]);
  EXPECT_FLOAT_EQ(1.0f, path.m_afParam[2]);
  const EVec3 mid = path.getPos(1.0f / 3.0f);
  EXPECT_NEAR(100.0f, mid.x, 1e-3f);
  EXPECT_NEAR(0.0f, mid.z, 1e-3f);
  const EVec3 q = path.getPos(2.0f / 3.0f);
  EXPECT_NEAR(100.0f, q.z, 1e-2f);
  EXPECT_FLOAT_EQ(200.0f, path.getPos(1.0f).z);  // past the last parameter: the last node
  PathAIPath one;
  one.setUp(1, pts + 1, 1.0f, 2.0f);
  EXPECT_FLOAT_EQ(1.0f, one.m_afParam[0]);
  EXPECT_FLOAT_EQ(100.0f, one.getPos(0.0f).x);
}

TEST_F(PathAIFixture, LureCrossesThePathInTwentySecondsAndTurns) {
  m_pMgr->doIt(1.0f);
  EXPECT_EQ(0.0f, m_pMgr->GetFlock().GetLure().Length());  // no path yet
  EPathAIManager::SetLure(0.0f, 1.0f);
  const EVec3 pts[2] = {EVec3(0, 0, 0), EVec3(0, 0, 1000)};
  EXPECT_EQ(0xC000, m_pMgr->CreateAIPath(2, pts));
  for (int i = 0; i < 10; ++i) m_pMgr->doIt(1.0f);
  EXPECT_NEAR(500.0f, m_pMgr->GetFlock().GetLure().z, 0.5f);
  for (int i = 0; i < 9; ++i) m_pMgr->doIt(1.0f);
  EXPECT_NEAR(950.0f, m_pMgr->GetFlock().GetLure().z, 0.5f);
  EXPECT_FLOAT_EQ(1.0f, EPathAIManager::GetLureDir());
  m_pMgr->doIt(1.5f);  // past the end: held at 1 and turned
  EXPECT_FLOAT_EQ(1.0f, EPathAIManager::GetLureParam());
  EXPECT_FLOAT_EQ(-1.0f, EPathAIManager::GetLureDir());
  m_pMgr->doIt(4.0f);
  EXPECT_NEAR(800.0f, m_pMgr->GetFlock().GetLure().z, 0.5f);
  m_pMgr->doIt(100.0f);
  EXPECT_FLOAT_EQ(0.0f, EPathAIManager::GetLureParam());
  EXPECT_FLOAT_EQ(1.0f, EPathAIManager::GetLureDir());
}

TEST_F(PathAIFixture, SlotsHoldThirtyTwoAndResetClears) {
  std::vector<EEntity*> fake(33);
  for (int i = 0; i < 33; ++i) fake[i] = reinterpret_cast<EEntity*>(0x1000 + 16 * i);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(0x8000 + i, m_pMgr->AddAIBoid(0, fake[i]));
  EXPECT_EQ(0, m_pMgr->AddAIBoid(0, fake[32]));
  EXPECT_EQ(32, m_pMgr->GetNumBoids());
  EXPECT_EQ(32u, m_pMgr->GetFlock().GetNumBoids());
  EXPECT_EQ(0xA000, m_pMgr->AddAIObstacle(0, fake[0]));
  EXPECT_EQ(0xA001, m_pMgr->AddAIObstacle(0, fake[1]));
  m_pMgr->Reset();
  EXPECT_EQ(0, m_pMgr->GetNumBoids());
  EXPECT_EQ(0, m_pMgr->GetNumObstacles());
  EXPECT_EQ(0x8000, m_pMgr->AddAIBoid(0, fake[5]));
  m_pMgr->Reset();
}

TEST_F(PathAIFixture, DeadEntitiesLeaveTheirSlots) {
  EDomain* root = new EDomain(nullptr, nullptr);
  EDomain* main = root->CreateChildDomain("MainGame", &ECollisionManager::sm_CM);
  EMeshEntity* a = EMeshEntity::Create(main, "boidA");
  EMeshEntity* b = EMeshEntity::Create(main, "boidB");
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(0x8000, m_pMgr->AddAIBoid(0, a));
  EXPECT_EQ(0x8001, m_pMgr->AddAIBoid(0, b));
  EXPECT_EQ(0xA000, m_pMgr->AddAIObstacle(0, a));
  a->InternalDelayedDelete();
  m_pMgr->CleanupReferences();
  EXPECT_EQ(1, m_pMgr->GetNumBoids());
  EXPECT_EQ(0, m_pMgr->GetNumObstacles());
  delete a;
  m_pMgr->doIt(0.1f);  // reads only the live boid
  EXPECT_EQ(0x8000, m_pMgr->AddAIBoid(0, b));
  m_pMgr->Reset();
  b->InternalDelayedDelete();
  delete b;
  delete root;
}

TEST(Flock, LoneBoidHeadsForTheLureAtFixedSpeed) {
  EFlock flock;
  EMat4 orient;
  orient.LoadIdentity();  // heading +Z
  flock.SetBoidState(0, EVec3(0, 0, 0), EVec3(0, 7, 0), orient);
  flock.setNumBoids(1);
  flock.doIt(EVec3(1000, 50, 0));
  EVec3 pos, vel;
  EMat4 out;
  flock.GetBoidState(0, pos, vel, out);
  EVec3 to(1000, 50, 0);
  to.Normalize();
  EVec3 want = EVec3(0, 0, 1) + to;
  want.y = 0;
  want.Normalize();
  EXPECT_NEAR(600.0f * want.x, vel.x, 0.05f);
  EXPECT_NEAR(600.0f * want.z, vel.z, 0.05f);
  EXPECT_EQ(7.0f, vel.y);
  EXPECT_NEAR(want.x, flock.GetBoid(0).m_vForward.x, 1e-4f);

  // Beyond 6,400 units the lure does not pull: the heading stays.
  flock.SetBoidState(0, EVec3(0, 0, 0), EVec3(0, 0, 0), orient);
  flock.doIt(EVec3(7000, 0, 0));
  EXPECT_NEAR(0.0f, flock.GetBoid(0).m_vVel.x, 1e-3f);
  EXPECT_NEAR(600.0f, flock.GetBoid(0).m_vVel.z, 1e-3f);
}

TEST(Flock, ObstaclesAndNeighboursSteer) {
  EMat4 orient;
  orient.LoadIdentity();
  // An obstacle straight ahead turns the boid aside; one behind only pushes.
  EFlock flock;
  flock.SetBoidState(0, EVec3(0, 0, 0), EVec3(0, 0, 0), orient);
  flock.setNumBoids(1);
  flock.SetObstacleState(0, EVec3(10, 0, 100));
  flock.setNumObstacles(1);
  flock.doIt(EVec3(0, 0, 100000));
  EXPECT_LT(flock.GetBoid(0).m_vVel.x, -100.0f);
  // Two boids side by side converge on each other (no avoidance beyond 200).
  EFlock pair;
  pair.SetBoidState(0, EVec3(0, 0, 0), EVec3(0, 0, 0), orient);
  pair.SetBoidState(1, EVec3(1000, 0, 0), EVec3(0, 0, 0), orient);
  pair.setNumBoids(2);
  pair.doIt(EVec3(0, 0, 100000));
  EXPECT_GT(pair.GetBoid(0).m_vVel.x, 0.0f);
  EXPECT_LT(pair.GetBoid(1).m_vVel.x, 0.0f);
  // No steering at all: the velocity stays zero horizontally.
  EFlock still;
  EMat4 flat;
  flat.LoadIdentity();
  flat.SetFromBasisVectors(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, 0));
  still.SetBoidState(0, EVec3(0, 0, 0), EVec3(0, 3, 0), flat);
  still.setNumBoids(1);
  still.doIt(EVec3(0, 0, 100000));
  EXPECT_EQ(0.0f, still.GetBoid(0).m_vVel.x);
  EXPECT_EQ(0.0f, still.GetBoid(0).m_vVel.z);
  EXPECT_EQ(3.0f, still.GetBoid(0).m_vVel.y);
}

TEST(Flock, ZeroLengthFencesAreIgnored) {
  EFlock flock;
  flock.SetupFence(0, 0, 0, 300, 400);
  EXPECT_FLOAT_EQ(500.0f, flock.GetFence(0).m_fLength);
  EXPECT_FLOAT_EQ(0.6f, flock.GetFence(0).m_vDir.x);
  EXPECT_FLOAT_EQ(0.8f, flock.GetFence(0).m_vNormal.x);
  flock.SetupFence(0, 5, 5, 5, 5);
  EXPECT_FLOAT_EQ(500.0f, flock.GetFence(0).m_fLength);
}

}  // namespace
