// The triangle cache: decaying statistics, tuning, the cache passes giving
// the level pass's answers, and the notifications that empty it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"
#include "VERirezo/TriCache.h"

namespace {

class TriCacheReader : public EMemReader {
public:
  TriCacheReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "level.col"; }
};

float TriCacheHeight(float x, float z) { return 12.0f * std::sin(x / 23.0f) * std::cos(z / 31.0f); }

class TriCacheLevel : public ::testing::Test {
protected:
  TriCacheLevel() : m_stack(1u << 22) {}
  void SetUp() override {
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_stack);
    memset(&g_CollideStats, 0, sizeof(g_CollideStats));
    // A bumpy floor of 30 x 30 cells of 20 units and a wall along x = 150.
    std::vector<EVec3> v;
    std::vector<collisionwriter::Poly> p;
    const int n = 30;
    for (int i = 0; i <= n; ++i)
      for (int j = 0; j <= n; ++j) {
        const float x = -300.0f + 20.0f * i, z = -300.0f + 20.0f * j;
        v.push_back(EVec3(x, TriCacheHeight(x, z), z));
      }
    auto Add = [&p](uint32_t a, uint32_t b, uint32_t c) {
      collisionwriter::Poly q;
      q.v[0] = a;
      q.v[1] = b;
      q.v[2] = c;
      q.flags = kSurfacePhysical;
      p.push_back(q);
    };
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const uint32_t a = i * (n + 1) + j, b = a + 1, c = a + (n + 1), d = c + 1;
        // Facing +y: clockwise seen from above.
        Add(a, c, b);
        Add(b, c, d);
      }
    const uint32_t w = (uint32_t)v.size();
    for (EVec3 q : {EVec3(150, -50, -300), EVec3(150, -50, 300), EVec3(150, 100, -300), EVec3(150, 100, 300)})
      v.push_back(q);
    Add(w, w + 1, w + 2);
    Add(w + 1, w + 3, w + 2);
    Add(w, w + 2, w + 1);
    Add(w + 1, w + 2, w + 3);
    std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(v, p, 317);
    TriCacheReader s(bytes, 317);
    ASSERT_TRUE(m_tree.Read(s));
    EModel* model = new EModel();
    model->m_pCollisionTree = &m_tree;
    m_mesh.SetModel(model);
    m_mesh.SetScale(EVec3(1, 1, 1));
    m_cm.SetRootDomainCollision(&m_mesh);
  }
  void TearDown() override {
    m_cm.SetRootDomainCollision(nullptr);
    BindThreadLocalStack(m_pOldStack);
  }
  // The query answered with the cache (when given) and the level.
  ECollide Query(const EVec3& a, const EVec3& b, float r, bool bPosition, ETriCache* pCache) {
    ECollide q(nullptr);
    q.fRadius = r;
    q.eSrcType = CPT_OneSphere;
    if (bPosition) {
      q.InitPoint(a);
    } else {
      q.InitSegment(a, b);
    }
    q.pTriCache = pCache;
    m_bHit = m_cm.CheckCollision(q);
    return q;
  }

  EMemStack m_stack;
  EMemStack* m_pOldStack = nullptr;
  ECollisionManager m_cm{false};
  ECollisionTree m_tree;
  EMesh m_mesh;
  bool m_bHit = false;
};

}  // namespace

TEST(TriCacheHistory, DecayFactorsAndLevels) {
  EHistoryManager m;
  const double* a = m.GetDecayConstants(1.0);
  EXPECT_EQ(0.0, a[0]);
  EXPECT_NEAR(0.1, a[1], 1e-12);
  EXPECT_NEAR(std::pow(10.0, -0.4), a[2], 1e-12);
  EXPECT_EQ(1.0, m.m_dLastDt);
  const double* z = m.GetDecayConstants(0.0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0.0, z[i]);
  EXPECT_EQ(1.0, m.m_dLastDt) << "a zero step leaves the stored factors";

  EHistoryVec3 h;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(EVec3(0, 0, 0), h.GetMean(i));
  h.Set(EVec3(10, 0, 0), 1.0f);
  EXPECT_EQ(EVec3(10, 0, 0), h.GetMean(0));
  EXPECT_NEAR(9.0f, h.GetMean(1).x, 1e-4f);
  EXPECT_NEAR(0.0f, h.GetVariance(0).m[0], 1e-3f) << "one sample has no spread";
  EXPECT_NEAR(90.0f - 81.0f, h.GetVariance(1).m[0], 1e-3f);
  EHistoryVec1 f;
  f.Set(4.0f, 1.0f);
  EXPECT_NEAR(3.6f, f.GetMean(1), 1e-5f);
  EXPECT_NEAR(14.4f - 3.6f * 3.6f, f.GetVariance(1), 1e-4f);
  EHistoryVec2 g;
  g.Set(EVec2(0, 2), 1.0f);
  EXPECT_NEAR(3.6f - 1.8f * 1.8f, g.GetVariance(1).m[3], 1e-4f);
}

TEST_F(TriCacheLevel, TuningFillsAroundTheStatistics) {
  ETriCache cache(300.0f, kSurfacePhysical, "player", &m_cm);
  EXPECT_EQ(&cache, ETriCache::sm_pHead);
  EXPECT_EQ(0.0f, cache.GetSphere().radius);
  cache.AutoTune();
  EXPECT_EQ(EVec3(0, 0, 0), cache.GetSphere().centre);
  EXPECT_EQ(160.0f, cache.GetSphere().radius);
  EXPECT_GT(cache.GetNumTris(), 0);
  for (int i = 0; i < cache.GetNumTris(); ++i) EXPECT_EQ(&m_mesh, cache.GetTriData(i).pMesh);
  // Stable statistics inside the cache: no refill.
  const int nTris = cache.GetNumTris();
  cache.AutoTune();
  EXPECT_EQ(nTris, cache.GetNumTris());

  // One sample a weighted by one half at level 1: spread r = 0.75 a.
  struct Case {
    float r, fill;
  } cases[] = {{40.0f, 160.0f}, {200.0f, 210.0f}, {400.0f, 310.0f}};
  for (const Case& c : cases) {
    ETriCache t(300.0f, kSurfacePhysical, "player", &m_cm);
    const float a = c.r / 0.75f;
    t.GetHistory().Set(EVec3(a, 0, 0), (float)std::log10(2.0));
    t.AutoTune();
    EXPECT_NEAR(c.fill, t.GetSphere().radius, 0.05f) << c.r;
    EXPECT_NEAR(a * 0.5f, t.GetSphere().centre.x, 0.01f) << c.r;
  }
  EXPECT_EQ(&cache, ETriCache::sm_pHead) << "the destroyed caches left the list";
}

TEST_F(TriCacheLevel, SameAnswersWithAndWithoutTheCache) {
  ETriCache cache(300.0f, kSurfacePhysical, "player", &m_cm);
  int nAnswered = 0;
  // The player walks along a curve; at each place sweeps, rays and position checks.
  for (int step = 0; step < 40; ++step) {
    const float s = step * 0.15f;
    const EVec3 p(100.0f * std::sin(s) + 20.0f, 0.0f, 140.0f * std::cos(s * 0.7f) - 30.0f);
    const EVec3 at(p.x, TriCacheHeight(p.x, p.z) + 6.0f, p.z);
    cache.AutoTune();
    struct Probe {
      EVec3 a, b;
      float r;
      bool position;
    } probes[] = {
        {at, at + EVec3(30, -20, 5), 5.0f, false},
        {at, at + EVec3(-5, -40, 12), 0.0f, false},
        {at + EVec3(0, 30, 0), at + EVec3(60, -30, 0), 8.0f, false},
        {at, at + EVec3(200, 0, 0), 2.0f, false},  // toward the wall
        {at + EVec3(0, -4, 0), at, 5.0f, true},
        {at, at + EVec3(3, 0.5f, -2), 5.0f, false},
    };
    for (const Probe& q : probes) {
      const ECollide plain = Query(q.a, q.b, q.r, q.position, nullptr);
      const bool bPlain = m_bHit;
      const uint32_t nWorld = g_CollideStats.nWorldTests;
      const ECollide cached = Query(q.a, q.b, q.r, q.position, &cache);
      if (g_CollideStats.nWorldTests == nWorld) ++nAnswered;
      ASSERT_EQ(bPlain, m_bHit) << step << " " << q.r;
      if (!bPlain) continue;
      EXPECT_NEAR(plain.fLength, cached.fLength, 1e-3f) << step;
      EXPECT_NEAR(plain.vEnd.x, cached.vEnd.x, 1e-3f) << step;
      EXPECT_NEAR(plain.vEnd.y, cached.vEnd.y, 1e-3f) << step;
      EXPECT_NEAR(plain.vEnd.z, cached.vEnd.z, 1e-3f) << step;
      // A resting sphere, or a sweep touching at its start, is answered by
      // any touching triangle: those are ties, whose triangles may differ.
      if (!q.position && plain.fLength > 0.0f) {
        EXPECT_NEAR(plain.vNormal.Dot(cached.vNormal), 1.0f, 1e-3f) << step << " tri " << plain.iDstPrimitive;
        EXPECT_EQ(plain.eCollisionType, cached.eCollisionType) << step;
      }
      EXPECT_EQ(plain.pMesh, cached.pMesh);
      if (q.position) {
        EXPECT_NEAR(plain.fDepth, cached.fDepth, 1e-3f) << step;
      }
    }
  }
  EXPECT_GT(nAnswered, 40) << "motions inside the cache skip the level pass";
  EXPECT_GT(g_CollideStats.nCacheInside, 0u);
  EXPECT_GT(g_CollideStats.nCacheTrisOffered, g_CollideStats.nCacheTrisTested);
}

TEST_F(TriCacheLevel, WhenTheCacheStandsAside) {
  ETriCache cache(300.0f, kSurfacePhysical, "player", &m_cm);
  cache.Fill(ESphere(EVec3(0, 0, 0), 100.0f));
  bool bAnswered = true;

  // A motion inside the cache that hits nothing answers for the level.
  ECollide q(nullptr);
  q.fRadius = 2.0f;
  q.InitSegment(EVec3(0, 30, 0), EVec3(10, 30, 0));
  EXPECT_EQ(1, m_cm.Collide_OneSphere_Cache(q, &cache, bAnswered));
  EXPECT_TRUE(bAnswered);

  // A start poking out of the cache: reported outside and left to the level.
  const uint32_t nLeaving = g_CollideStats.nCacheLeaving;
  ECollide out(nullptr);
  out.fRadius = 5.0f;
  out.InitSegment(EVec3(97, 20, 0), EVec3(90, -20, 0));
  EXPECT_EQ(1, m_cm.Collide_OneSphere_Cache(out, &cache, bAnswered));
  EXPECT_FALSE(bAnswered);
  EXPECT_EQ(nLeaving + 1, g_CollideStats.nCacheLeaving);
  const uint32_t nWorld = g_CollideStats.nWorldTests;
  Query(EVec3(97, 20, 0), EVec3(90, -20, 0), 5.0f, false, &cache);
  EXPECT_TRUE(m_bHit);
  EXPECT_EQ(nWorld + 1, g_CollideStats.nWorldTests);

  // A camera query of the player is not the cache's business: its flags
  // select other surfaces, so the physical triangles stay out of it.
  ECollide cam(nullptr);
  cam.dwFlags = kCOLLIDEFLAG_Camera;
  cam.InitSegment(EVec3(0, 40, 0), EVec3(0, -40, 0));
  EXPECT_EQ(0, m_cm.Collide_OneSphere_Cache(cam, &cache, bAnswered));
  EXPECT_FALSE(bAnswered);
  ECollide camFull(nullptr);
  camFull.dwFlags = kCOLLIDEFLAG_Camera;
  camFull.pTriCache = &cache;
  camFull.InitSegment(EVec3(0, 40, 0), EVec3(0, -40, 0));
  EXPECT_FALSE(m_cm.CheckCollision(camFull));

  // With the switch off the cache neither fills nor answers.
  GameApp* pPrev = gGameApp;
  {
    std::unique_ptr<PCGameApp> app(new PCGameApp());
    gGameApp = app.get();
    app->m_DebugHooks.UseTriCache = false;
    cache.Fill(ESphere(EVec3(50, 0, 0), 30.0f));
    EXPECT_EQ(100.0f, cache.GetSphere().radius);
    cache.Empty();
    EXPECT_GT(cache.GetNumTris(), 0);
    EXPECT_EQ(0, m_cm.Collide_OneSphere_Cache(q, &cache, bAnswered));
    EXPECT_FALSE(bAnswered);
    gGameApp = pPrev;
  }
  gGameApp = pPrev;
}

TEST_F(TriCacheLevel, NotificationsEmptyTheCache) {
  ETriCache a(300.0f, kSurfacePhysical, "player", &m_cm);
  ETriCache b(300.0f, kSurfacePhysical, "other", &m_cm);
  a.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
  b.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
  ASSERT_GT(a.GetNumTris(), 0);
  EXPECT_TRUE(a.ReferencesMesh(&m_mesh));

  ETriCache::NotifyMeshUnloaded(&m_mesh);
  EXPECT_EQ(0, a.GetNumTris());
  EXPECT_EQ(0, b.GetNumTris());
  a.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
  ETriCache::EmptyAll();
  EXPECT_EQ(0, a.GetNumTris());
  EXPECT_EQ(0.0f, a.GetSphere().radius);
  // A switch of the collision groups empties the caches; the same mask does not.
  a.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
  m_cm.SetCollisionGroupMask(m_cm.GetCollisionGroupMask());
  EXPECT_GT(a.GetNumTris(), 0);
  const uint32_t nMask = m_cm.GetCollisionGroupMask();
  m_cm.SetCollisionGroupMask(nMask ^ 2u);
  EXPECT_EQ(0, a.GetNumTris());
  m_cm.SetCollisionGroupMask(nMask);

  // A child mesh with collision under a parent without: unloading the
  // parent drops the child's triangles; deleting a cached mesh empties too.
  EMesh* pChild = new EMesh();
  EModel* model = new EModel();
  model->m_pCollisionTree = &m_tree;
  pChild->SetModel(model);
  pChild->SetScale(EVec3(1, 1, 1));
  {
    EMesh parent;
    parent.AddChild(pChild);
    a.Empty();
    a.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
    b.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
    const int nLevel = a.GetNumTris();
    a.AddMesh(pChild);
    EXPECT_EQ(2 * nLevel, a.GetNumTris());
    EXPECT_TRUE(a.ReferencesMesh(&parent));
    EXPECT_FALSE(b.ReferencesMesh(&parent));
    ETriCache::NotifyMeshUnloaded(&parent);
    EXPECT_EQ(0, a.GetNumTris());
    EXPECT_EQ(nLevel, b.GetNumTris()) << "the other cache holds only the level";
    b.AddMesh(pChild);
  }
  EXPECT_EQ(0, b.GetNumTris()) << "the child went with its parent";

  // A domain change to another manager empties and moves the cache.
  a.Fill(ESphere(EVec3(0, 0, 0), 80.0f));
  ECollisionManager other(false);
  EDomain from(nullptr, &m_cm), to(nullptr, &other), same(nullptr, &m_cm);
  a.onDomainChange(&from, &same);
  EXPECT_GT(a.GetNumTris(), 0);
  a.onDomainChange(&from, &to);
  EXPECT_EQ(0, a.GetNumTris());
  EXPECT_EQ(&other, a.GetCollisionManager());
}
