// Collision queries: the query record, the culling rules, the nearest-hit and
// every-hit queries against level geometry and entities, and their known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "Entity/PropEntities.h"
#include "Game/DebugScreen.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

// A wall entity: the plane x = m_fWallX, hit by spheres moving along +x.
// It has no class record, so the class list stays the game's own.
class QueryWall : public EMeshEntity {
public:
  QueryWall(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
  bool CheckForCollision(ECollide& hit) override {
    m_nTests++;
    if (!(hit.vDir.x > 0.0f)) return false;
    const float d = (m_fWallX - hit.fRadius - hit.vStart.x) / hit.vDir.x;
    if (d < 0.0f || d >= hit.fLength) return false;
    hit.fLength = d;
    hit.vEnd = hit.vStart + hit.vDir * d;
    hit.eCollisionType = CCT_TriInterior;
    hit.pEntity = this;
    hit.vNormal = EVec3(-1, 0, 0);
    return true;
  }
  EHitResult* CheckForCollision_new(ECollide& hit, EHitResult*) override {
    ECollide copy(hit);
    if (!CheckForCollision(copy)) return nullptr;
    EHitResult* r = reinterpret_cast<EHitResult*>(GetThreadLocalStack()->Push(sizeof(EHitResult), 8));
    r->pLines = nullptr;
    r->pNext = nullptr;
    r->CopyResults(copy, hit.fLength);
    if (m_fFixedTime >= 0.0f) r->fTime = m_fFixedTime;
    return r;
  }
  float m_fWallX = 0.0f;
  float m_fFixedTime = -1.0f;  // every-hit answers at this time when set
  int m_nTests = 0;
};

namespace {

using collisionwriter::Poly;

std::vector<std::string>* s_pQueryLines = nullptr;
void QueryCaptureLine(const char* text) {
  if (s_pQueryLines) s_pQueryLines->push_back(text ? text : "");
}

class QueryReader : public EMemReader {
public:
  QueryReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "query.col"; }
};

Poly QueryPoly(uint32_t a, uint32_t b, uint32_t c, uint32_t flags) {
  Poly p;
  p.v[0] = a;
  p.v[1] = b;
  p.v[2] = c;
  p.flags = flags;
  return p;
}

class CollisionQuery : public ::testing::Test {
protected:
  CollisionQuery() : m_stack(1u << 20) {}
  void SetUp() override {
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_stack);
    m_pDomain = new EDomain(nullptr, &m_cm);
    s_pQueryLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(QueryCaptureLine);
    memset(&g_CollideStats, 0, sizeof(g_CollideStats));
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pQueryLines = nullptr;
    m_cm.SetRootDomainCollision(nullptr);
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    delete m_pDomain;
    BindThreadLocalStack(m_pOldStack);
    EXPECT_EQ(0, sg_iInhibitModification);
  }
  // A two-triangle floor over -100..100 at height 0 facing +y as the level geometry.
  void MakeFloor(uint32_t dwFlags = kSurfacePhysical) {
    std::vector<EVec3> v = {EVec3(-100, 0, -100), EVec3(100, 0, -100), EVec3(-100, 0, 100), EVec3(100, 0, 100)};
    std::vector<Poly> p = {QueryPoly(0, 1, 2, dwFlags), QueryPoly(1, 3, 2, dwFlags)};
    std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(v, p, 317);
    QueryReader s(bytes, 317);
    ASSERT_TRUE(m_tree.Read(s));
    // The level mesh owns its model; the model points at the tree.
    EModel* model = new EModel();
    model->m_pCollisionTree = &m_tree;
    m_mesh.SetModel(model);
    m_mesh.SetScale(EVec3(1, 1, 1));  // placed where its model is
    m_cm.SetRootDomainCollision(&m_mesh);
  }
  template <class T>
  T* Make(const char* szName, const EVec3& p, int eType = CPT_OneSphere) {
    T* e = T::Create(m_pDomain, szName);
    return Place(e, p, eType);
  }
  template <class T>
  T* Place(T* e, const EVec3& p, int eType) {
    m_made.push_back(e);
    e->SetVisible(true);
    e->GetPhysics()->SetCollisionType((ECollisionPrimitiveType)eType);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    e->GetPhysics()->SetPosition(p);
    m_cm.Update(e);
    return e;
  }
  QueryWall* Wall(const char* szName, float x) {
    QueryWall* w = new QueryWall(m_pDomain, szName);
    w->InitEntity(m_pDomain);
    Place(w, EVec3(x, 0, 0), CPT_OneSphere);
    w->m_fWallX = x;
    return w;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(szText) != std::string::npos;
    return n;
  }

  EMemStack m_stack;
  EMemStack* m_pOldStack = nullptr;
  ECollisionManager m_cm{false};
  EDomain* m_pDomain = nullptr;
  ECollisionTree m_tree;
  EMesh m_mesh;
  std::vector<EEntity*> m_made;
  std::vector<std::string> m_lines;
};

TEST(CollisionQueryRecord, ConstructorSegmentPointAndPushDistance) {
  ECollide c(nullptr);
  EXPECT_EQ(c.fPushDist, 1.0f);
  EXPECT_EQ(c.dwFlags, (uint32_t)kCOLLIDEFLAG_Physical);
  EXPECT_EQ(c.eSrcType, CPT_OneSphere);
  EXPECT_EQ(c.eCollisionType, CCT_None);
  c.InitPoint(EVec3(1, 2, 3));
  EXPECT_TRUE(c.IsPositionCheck());
  EXPECT_EQ(c.fDepth, 0.0f);
  c.InitSegment(EVec3(0, 0, 0), EVec3(0, 0, 10));
  EXPECT_FALSE(c.IsPositionCheck());
  EXPECT_EQ(c.fLength, 10.0f);
  EXPECT_EQ(c.vDir, EVec3(0, 0, 1));
  // Push distance: 1.0 back along the motion; a shorter motion goes back to its start.
  c.ApplyPushDist();
  EXPECT_EQ(c.fLength, 9.0f);
  EXPECT_EQ(c.vEnd, EVec3(0, 0, 9));
  c.InitSegment(EVec3(0, 0, 0), EVec3(0, 0, 0.5f));
  c.ApplyPushDist();
  EXPECT_EQ(c.fLength, 0.0f);
  EXPECT_EQ(c.vEnd, EVec3(0, 0, 0));
  // A position check is never pulled back.
  c.InitPoint(EVec3(5, 5, 5));
  c.fLength = 3.0f;
  c.ApplyPushDist();
  EXPECT_EQ(c.fLength, 3.0f);
  c.InitSegment(EVec3(1, 1, 1), EVec3(1, 1, 1));
  EXPECT_EQ(c.fLength, 0.0f);
  EXPECT_EQ(c.vDir, EVec3(0, 0, 0));
  // A sweep continued from where the last one stopped names the record's own points.
  c.InitSegment(EVec3(0, 0, 0), EVec3(0, 0, 4));
  c.InitSegment(c.vEnd, c.vEnd + EVec3(3, 0, 0));
  EXPECT_EQ(c.vStart, EVec3(0, 0, 4));
  EXPECT_EQ(c.vEnd, EVec3(3, 0, 4));
  EXPECT_EQ(c.fLength, 3.0f);
  c.InitSegment(c.vEnd, c.vStart);
  EXPECT_EQ(c.vStart, EVec3(3, 0, 4));
  EXPECT_EQ(c.vEnd, EVec3(0, 0, 4));
  EXPECT_EQ(c.vDir, EVec3(-1, 0, 0));
}

TEST(CollisionQueryRecord, SortedInsertKeepsInsertionOrderAtEqualTimes) {
  EHitResult h[4];
  const float times[4] = {0.5f, 0.2f, 0.5f, 0.9f};
  EHitResult* pHead = nullptr;
  for (int i = 0; i < 4; i++) {
    h[i].fTime = times[i];
    h[i].pNext = nullptr;
    EHitResult** pp = EHitResult::SortedInsert(&pHead, &h[i]);
    EXPECT_EQ(*pp, &h[i]);
  }
  std::vector<EHitResult*> order;
  for (EHitResult* p = pHead; p; p = p->pNext) order.push_back(p);
  EXPECT_EQ(order, (std::vector<EHitResult*>{&h[1], &h[0], &h[2], &h[3]}));
}

TEST(CollisionQueryRecord, CopyResultsAndBoundingBox) {
  ECollide c(nullptr);
  c.InitSegment(EVec3(0, 0, 0), EVec3(10, 0, 0));
  c.fLength = 2.5f;
  c.iSrcPrimitive = 2;
  c.iDstPrimitive = 0x12345;
  c.eCollisionType = CCT_Vertex;
  EHitResult r;
  r.CopyResults(c, 10.0f);
  EXPECT_EQ(r.fTime, 0.25f);
  EXPECT_EQ(r.iDstPrimitive, 0x2345);
  EXPECT_EQ(r.eType, CCT_Vertex);
  r.CopyResults(c, 0.0f);
  EXPECT_EQ(r.fTime, 0.0f);

  c.fRadius = 2.0f;
  EBox3 b = c.GetBoundingBox();
  EXPECT_EQ(b.vMin, EVec3(-2, -2, -2));
  EXPECT_EQ(b.vMax, EVec3(12, 2, 2));
  c.eSrcType = CPT_Spheres;
  c.nSpheres = 2;
  c.aSpheres[0] = ESphere(EVec3(0, 1, 0), 1.0f);
  c.aSpheres[1] = ESphere(EVec3(0, 5, 0), 2.0f);
  b = c.GetBoundingBox();
  EXPECT_EQ(b.vMin, EVec3(-2, 0, -2));
  EXPECT_EQ(b.vMax, EVec3(12, 7, 2));
}

TEST(CollisionQueryRecord, DebugHooksCollisionSwitches) {
  EDebugHooks h;
  EXPECT_EQ(h.CollisionDisplay, 0);
  EXPECT_TRUE(h.UseTriCache);
  EXPECT_EQ(h.HighlightedSurface, 1u);
  EXPECT_FALSE(h.ShowTriggerVolumes);
  const bool normal[4] = {true, false, false, true};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(h.IsNormalCollisionDisplay(), normal[i]) << i;
    h.CycleCollisionDisplay();
  }
  EXPECT_EQ(h.CollisionDisplay, 0);
}

// Known answers against a two-triangle floor.
TEST_F(CollisionQuery, FloorKnownAnswers) {
  MakeFloor();
  // A ray stops 1.0 short of the floor.
  ECollide ray(nullptr);
  ASSERT_TRUE(m_cm.LineCheck(EVec3(10, 50, 10), EVec3(10, -50, 10), ray, nullptr, 0.0f));
  EXPECT_NEAR(ray.vEnd.y, 1.0f, 1e-4f);
  EXPECT_NEAR(ray.fLength, 49.0f, 1e-4f);
  EXPECT_EQ(ray.pMesh, &m_mesh);
  EXPECT_TRUE(ray.IsTriangleHit());
  EXPECT_NEAR(ray.vNormal.y, 1.0f, 1e-4f);
  EXPECT_EQ(g_CollideStats.nWorldTests, 1u);
  // A sphere of radius 5 stops 5 units earlier.
  ECollide sphere(nullptr);
  ASSERT_TRUE(m_cm.LineCheck(EVec3(10, 50, 10), EVec3(10, -50, 10), sphere, nullptr, 5.0f));
  EXPECT_NEAR(sphere.vEnd.y, 6.0f, 1e-4f);
  // A motion shorter than the push distance stays at its start.
  ECollide shortMove(nullptr);
  ASSERT_TRUE(m_cm.LineCheck(EVec3(10, 0.5f, 10), EVec3(10, -0.5f, 10), shortMove, nullptr, 0.0f));
  EXPECT_EQ(shortMove.vEnd, EVec3(10, 0.5f, 10));
  EXPECT_EQ(shortMove.fLength, 0.0f);
  // From behind the one-sided floor: nothing; two-sided: hit, keeping the plane normal.
  ECollide below(nullptr);
  EXPECT_FALSE(m_cm.LineCheck(EVec3(10, -50, 10), EVec3(10, 50, 10), below, nullptr, 0.0f));
  below.dwFlags |= kCOLLIDEFLAG_NoBackfaceCull;
  ASSERT_TRUE(m_cm.LineCheck(EVec3(10, -50, 10), EVec3(10, 50, 10), below, nullptr, 0.0f));
  EXPECT_NEAR(below.vPlaneNormal.y, 1.0f, 1e-4f);
  // The same start and end: nothing tested.
  ECollide still(nullptr);
  const uint32_t nBefore = g_CollideStats.nWorldTests;
  EXPECT_FALSE(m_cm.LineCheck(EVec3(10, 5, 10), EVec3(10, 5, 10), still, nullptr, 0.0f));
  EXPECT_EQ(g_CollideStats.nWorldTests, nBefore);
  // A position check at one point is tested.
  ECollide rest(nullptr);
  rest.InitPoint(EVec3(10, 2, 10));
  rest.fRadius = 5.0f;
  EXPECT_TRUE(m_cm.CheckCollision(rest));
  // Camera-only queries do not see a physical floor; static geometry can be switched off.
  ECollide cam(nullptr);
  cam.dwFlags = kCOLLIDEFLAG_Camera;
  EXPECT_FALSE(m_cm.LineCheck(EVec3(10, 50, 10), EVec3(10, -50, 10), cam, nullptr, 0.0f));
  ECollide noStatic(nullptr);
  noStatic.dwFlags |= kCOLLIDEFLAG_IgnoreStaticGeometry;
  EXPECT_FALSE(m_cm.LineCheck(EVec3(10, 50, 10), EVec3(10, -50, 10), noStatic, nullptr, 0.0f));
}

TEST_F(CollisionQuery, GroupTwoFloorNeedsTheSceneMask) {
  MakeFloor(kSurfacePhysical | (2u << kSurfaceGroupShift));
  ECollide a(nullptr);
  EXPECT_FALSE(m_cm.LineCheck(EVec3(10, 50, 10), EVec3(10, -50, 10), a, nullptr, 0.0f));
  m_cm.SetCollisionGroupMask(1u | 4u);
  ECollide b(nullptr);
  EXPECT_TRUE(m_cm.LineCheck(EVec3(10, 50, 10), EVec3(10, -50, 10), b, nullptr, 0.0f));
}

TEST_F(CollisionQuery, DisabledManagerFindsNothing) {
  ECollisionManager& dummy = ECollisionManager::sm_CM_dummy;
  ECollide c(nullptr);
  EXPECT_FALSE(dummy.LineCheck(EVec3(0, 50, 0), EVec3(0, -50, 0), c, nullptr, 0.0f));
  EXPECT_EQ(dummy.MultiCheckCollision(c), nullptr);
}

// Each rule of QuickCullEntity, alone.
TEST_F(CollisionQuery, QuickCullEntityRules) {
  QueryWall* collider = Wall("collider", -1000);
  collider->GetPhysics()->SetFlag(PHYSICS_COLLIDER, true);
  QueryWall* other = Wall("other", -2000);
  struct Rule {
    const char* name;
    bool expect;
    void (*setup)(QueryWall* e, QueryWall* collider, QueryWall* other, ECollide& c);
  };
  const Rule rules[] = {
      {"plain", false, [](QueryWall*, QueryWall*, QueryWall*, ECollide&) {}},
      {"1 no collidee", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide&) {
         e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, false); }},
      {"1 not really", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide&) {
         e->GetPhysics()->SetFlag(PHYSICS_NOT_REALLY_COLLIDEE, true); }},
      {"2 invisible", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide&) { e->SetVisible(false); }},
      {"3 triangles without geometry flags", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) {
         e->GetPhysics()->SetCollisionType(CPT_Triangles); c.dwFlags = 0; }},
      {"3 triangles with geometry flags", false, [](QueryWall* e, QueryWall*, QueryWall*, ECollide&) {
         e->GetPhysics()->SetCollisionType(CPT_Triangles); }},
      {"4 static triangles", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) {
         e->GetPhysics()->SetCollisionType(CPT_Triangles); c.dwFlags |= kCOLLIDEFLAG_IgnoreStaticGeometry; }},
      {"4 moving geometry", false, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) {
         e->GetPhysics()->SetCollisionType(CPT_Triangles);
         e->GetPhysics()->SetFlag(PHYSICS_MOVINGGEOMETRY, true);
         c.dwFlags |= kCOLLIDEFLAG_IgnoreStaticGeometry; }},
      {"5 ignore spheres", true, [](QueryWall*, QueryWall*, QueryWall*, ECollide& c) {
         c.dwFlags |= kCOLLIDEFLAG_IgnoreSpheres; }},
      {"6 see-through", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) {
         e->SetEntityFlag(ENTITY_SEETHROUGH, true); c.dwFlags |= kCOLLIDEFLAG_IgnoreSeeThrough; }},
      {"6 see-through not asked", false, [](QueryWall* e, QueryWall*, QueryWall*, ECollide&) {
         e->SetEntityFlag(ENTITY_SEETHROUGH, true); }},
      {"8 ignore entity", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) { c.pIgnore = e; }},
      {"9 stands on the collider", true, [](QueryWall* e, QueryWall* col, QueryWall*, ECollide&) {
         e->GetPhysics()->SetBase(col->GetPhysics(), false); }},
      {"10 ignored layer", true, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) {
         e->GetPhysics()->SetFlag(PHYSICS_LAYER2, true); c.dwFlags |= kCOLLIDEFLAG_IgnoreCollideLayer2; }},
      {"10 other layer", false, [](QueryWall* e, QueryWall*, QueryWall*, ECollide& c) {
         e->GetPhysics()->SetFlag(PHYSICS_LAYER1, true); c.dwFlags |= kCOLLIDEFLAG_IgnoreCollideLayer2; }},
      {"11 attached to the collider", true, [](QueryWall* e, QueryWall* col, QueryWall*, ECollide&) {
         e->GetPhysics()->AttachToParent(col->GetPhysics(), nullptr, nullptr); }},
      {"11 sibling", true, [](QueryWall* e, QueryWall* col, QueryWall* o, ECollide&) {
         e->GetPhysics()->AttachToParent(o->GetPhysics(), nullptr, nullptr);
         col->GetPhysics()->AttachToParent(o->GetPhysics(), nullptr, nullptr); }},
      {"12 ignores the collider", true, [](QueryWall* e, QueryWall* col, QueryWall*, ECollide&) {
         e->GetPhysics()->SetCollideIgnoreEntity(col); }},
  };
  int n = 0;
  for (const Rule& r : rules) {
    QueryWall* e = Wall(("e" + std::to_string(n++)).c_str(), 0);
    ECollide c(nullptr);
    c.pCollider = collider;
    r.setup(e, collider, other, c);
    EXPECT_EQ(c.QuickCullEntity(e), r.expect) << r.name;
    e->GetPhysics()->DetachFromParent();
    collider->GetPhysics()->DetachFromParent();
  }
  ECollide c(nullptr);
  c.pCollider = collider;
  EXPECT_TRUE(c.QuickCullEntity(collider)) << "8 the collider itself";
  // The trapeze rule.
  ETrapezeEntity* trap = Make<ETrapezeEntity>("trapeze", EVec3(0, 0, 0));
  EXPECT_FALSE(c.QuickCullEntity(trap)) << "7 trapeze not asked";
  c.dwFlags |= kCOLLIDEFLAG_IgnoreTrapeze;
  EXPECT_TRUE(c.QuickCullEntity(trap)) << "7 trapeze";
  EXPECT_FALSE(c.QuickCullEntity(other)) << "7 other classes";
}

TEST_F(CollisionQuery, NearestEntityAndStatistics) {
  Wall("far", 60);
  QueryWall* nearW = Wall("near", 30);
  QueryWall* hidden = Wall("hidden", 10);
  hidden->SetVisible(false);
  ECollide c(nullptr);
  c.fPushDist = 0.0f;
  ASSERT_TRUE(m_cm.LineCheck(EVec3(0, 0, 0), EVec3(100, 0, 0), c, nullptr, 2.0f));
  EXPECT_EQ(c.pEntity, nearW);
  EXPECT_NEAR(c.vEnd.x, 28.0f, 1e-4f);
  EXPECT_EQ(g_CollideStats.nEntitiesRejected, 1u);
  EXPECT_EQ(g_CollideStats.nEntitiesPassed, 2u);
  // Entities switched off; and with no geometry flag, ignoring spheres skips them too.
  ECollide off(nullptr);
  off.dwFlags |= kCOLLIDEFLAG_IgnoreEntities;
  EXPECT_FALSE(m_cm.LineCheck(EVec3(0, 0, 0), EVec3(100, 0, 0), off, nullptr, 2.0f));
  ECollide none(nullptr);
  none.dwFlags = kCOLLIDEFLAG_IgnoreSpheres;
  EXPECT_FALSE(m_cm.LineCheck(EVec3(0, 0, 0), EVec3(100, 0, 0), none, nullptr, 2.0f));
  EXPECT_EQ(nearW->m_nTests, 1);
}

TEST_F(CollisionQuery, SphereSetReportsTheLastSphereThatHitNearer) {
  Wall("wall", 50);
  ECollide c(nullptr);
  c.fPushDist = 0.0f;
  c.eSrcType = CPT_Spheres;
  c.nSpheres = 3;
  c.aSpheres[0] = ESphere(EVec3(0, 0, 0), 1.0f);
  c.aSpheres[1] = ESphere(EVec3(-20, 0, 0), 1.0f);  // behind the others: never nearer
  c.aSpheres[2] = ESphere(EVec3(5, 0, 0), 1.0f);    // ahead: hits nearer
  c.InitSegment(EVec3(0, 0, 0), EVec3(100, 0, 0));
  ASSERT_TRUE(m_cm.CheckCollision(c));
  EXPECT_EQ(c.iSrcPrimitive, 2);
  EXPECT_EQ(c.eSrcType, CPT_Spheres);
  EXPECT_NEAR(c.vEnd.x, 44.0f, 1e-4f);
  // Sphere 2 further back than sphere 0: sphere 0 and its contact stay.
  c.aSpheres[2] = ESphere(EVec3(-5, 0, 0), 1.0f);
  c.InitSegment(EVec3(0, 0, 0), EVec3(100, 0, 0));
  ASSERT_TRUE(m_cm.CheckCollision(c));
  EXPECT_EQ(c.iSrcPrimitive, 0);
  EXPECT_NEAR(c.vEnd.x, 49.0f, 1e-4f);
}

TEST_F(CollisionQuery, UnsupportedCollidersLoseTheirFlagsOnce) {
  QueryWall* e = Wall("mover", -500);
  e->GetPhysics()->SetCollisionType(CPT_Triangles);
  e->GetPhysics()->SetFlag(PHYSICS_COLLIDER | PHYSICS_APPLYGRAVITY, true);
  for (int i = 0; i < 2; i++) {
    ECollide c(e);
    EXPECT_EQ(c.eSrcType, CPT_Triangles);
    c.InitSegment(EVec3(0, 0, 0), EVec3(100, 0, 0));
    EXPECT_FALSE(m_cm.CheckCollision(c));
  }
  EXPECT_EQ(Count("mover: not allowed to have PHYSICS_COLLIDER -- disabling"), 1);
  EXPECT_EQ(Count("mover: not allowed to have PHYSICS_APPLYGRAVITY -- disabling"), 1);
  EXPECT_FALSE(e->GetPhysics()->GetFlag(PHYSICS_COLLIDER));
  EXPECT_FALSE(e->GetPhysics()->GetFlag(PHYSICS_APPLYGRAVITY));
  ECollide c(nullptr);
  c.eSrcType = CPT_Capsules;
  c.InitSegment(EVec3(0, 0, 0), EVec3(1, 0, 0));
  EXPECT_FALSE(m_cm.CheckCollision(c));
  EXPECT_EQ(Count("Trace of type Capsules is unsupported"), 1);
}

TEST_F(CollisionQuery, InitForTakesShapeLayersAndIgnoreEntity) {
  QueryWall* e = Wall("shape", 0);
  QueryWall* ign = Wall("ign", 500);
  EPhysics* phys = e->GetPhysics();
  phys->SetFlag(PHYSICS_IGNORELAYER1 | PHYSICS_IGNORELAYER4, true);
  phys->SetCollideIgnoreEntity(ign);
  phys->SetCollisionType(CPT_OneSphere);
  const ESphere centred(EVec3(0, 0, 0), 7.0f);
  phys->SetCollision(&centred, 1);
  ECollide one(e);
  EXPECT_EQ(one.fRadius, 7.0f);
  EXPECT_EQ(one.pIgnore, ign);
  EXPECT_EQ(one.dwFlags, kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_IgnoreCollideLayer1 | kCOLLIDEFLAG_IgnoreCollideLayer4);
  // Model-space spheres are turned by the transform: 90 degrees about y takes +x to -z.
  const ESphere offset(EVec3(10, 0, 0), 2.0f);
  phys->SetCollision(&offset, 1);
  EXPECT_EQ(phys->GetCollisionType(), CPT_Spheres_ModelSpace);
  EMat4 turn = MatrixRotateY(90.0f);
  ECollide set(nullptr);
  set.InitFor(e, &turn);
  EXPECT_EQ(set.eSrcType, CPT_Spheres);
  EXPECT_EQ(set.nSpheres, 1);
  const EVec3 expect = turn.Mul3Vec3(EVec3(10, 0, 0));
  EXPECT_NEAR(set.aSpheres[0].centre.x, expect.x, 1e-4f);
  EXPECT_NEAR(set.aSpheres[0].centre.z, expect.z, 1e-4f);
  EXPECT_NEAR(std::fabs(set.aSpheres[0].centre.z), 10.0f, 1e-3f);
  // No sphere: a ray.
  phys->SetCollision(nullptr, 0);
  phys->SetCollisionType(CPT_Spheres);
  ECollide ray(e);
  EXPECT_EQ(ray.eSrcType, CPT_OneSphere);
  EXPECT_EQ(ray.fRadius, 0.0f);
}

// Every hit in time order, entity before geometry at equal times; the flags
// that switch off entities or geometry hold here as in the nearest-hit query.
TEST_F(CollisionQuery, MultiCheckSortsAndHonoursTheSwitches) {
  MakeFloor();
  QueryWall* w1 = Wall("w1", 40);
  QueryWall* w2 = Wall("w2", 20);
  EMemMark mark(m_stack);
  ECollide c(nullptr);
  c.fPushDist = 0.0f;
  // Diagonal motion: walls at x 20 and 40, the floor at y 0 (reached at x 50).
  c.InitSegment(EVec3(0, 50, 0), EVec3(100, -50, 0));
  EHitResult* pHead = m_cm.MultiCheckCollision(c);
  std::vector<EEntity*> order;
  for (EHitResult* p = pHead; p; p = p->pNext) order.push_back(p->pEntity);
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], w2);
  EXPECT_EQ(order[1], w1);
  EXPECT_EQ(order[2], nullptr);  // the level geometry: no global entity without an application
  EXPECT_NEAR(pHead->fTime, 0.2f, 1e-4f);
  EXPECT_NEAR(pHead->pNext->pNext->fTime, 0.5f, 1e-4f);
  // The record's motion is left as it was.
  EXPECT_EQ(c.vEnd, EVec3(100, -50, 0));

  c.dwFlags |= kCOLLIDEFLAG_IgnoreEntities;
  pHead = m_cm.MultiCheckCollision(c);
  ASSERT_NE(pHead, nullptr);
  EXPECT_EQ(pHead->pNext, nullptr);
  EXPECT_EQ(pHead->pEntity, nullptr);
  c.dwFlags = kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_IgnoreStaticGeometry;
  pHead = m_cm.MultiCheckCollision(c);
  int n = 0;
  for (EHitResult* p = pHead; p; p = p->pNext) {
    EXPECT_NE(p->pEntity, nullptr);
    n++;
  }
  EXPECT_EQ(n, 2);
  // An entity hit at the same time as the floor comes first.
  c.dwFlags = kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_IgnoreEntities;
  w1->m_fFixedTime = m_cm.MultiCheckCollision(c)->fTime;
  c.dwFlags = kCOLLIDEFLAG_Physical;
  pHead = m_cm.MultiCheckCollision(c);
  ASSERT_NE(pHead, nullptr);
  ASSERT_NE(pHead->pNext, nullptr);
  ASSERT_NE(pHead->pNext->pNext, nullptr);
  EXPECT_EQ(pHead->pNext->pEntity, w1);
  EXPECT_EQ(pHead->pNext->pNext->pEntity, nullptr);
  EXPECT_EQ(pHead->pNext->fTime, pHead->pNext->pNext->fTime);
}

}  // namespace

// A hit on a child mesh: the root is its top mesh and the triangle comes back in world space.
TEST_F(CollisionQuery, HitAccessorsFollowTheMeshHierarchy) {
  MakeFloor();
  std::unique_ptr<EMesh> pParent(new EMesh());
  EMesh* pChild = new EMesh();
  EModel* pModel = new EModel();
  pModel->m_pCollisionTree = &m_tree;
  pChild->SetModel(pModel);
  pParent->AddChild(pChild);
  pParent->SetPosition(EVec3(10, 0, 0));
  pChild->SetPosition(EVec3(0, 50, 0));
  for (EMesh* m : {pParent.get(), pChild}) m->SetScale(EVec3(1, 1, 1));
  ECollide c(nullptr);
  c.eCollisionType = CCT_TriInterior;
  c.iDstPrimitive = 1;
  const ETri3 local = m_tree.GetTri(1);
  struct Case {
    EMesh* pMesh;
    EMesh* pRoot;
    EVec3 vOffset;
  };
  const Case cases[] = {{pChild, pParent.get(), EVec3(10, 50, 0)}, {&m_mesh, &m_mesh, EVec3(0, 0, 0)}};
  for (const Case& k : cases) {
    c.pMesh = k.pMesh;
    EXPECT_EQ(c.GetMesh(), k.pMesh);
    EXPECT_EQ(c.GetRootMesh(), k.pRoot);
    const ETri3 t = c.GetCollidePoly();
    EXPECT_EQ(t.p0, local.p0 + k.vOffset);
    EXPECT_EQ(t.p1, local.p1 + k.vOffset);
    EXPECT_EQ(t.p2, local.p2 + k.vOffset);
  }
}
