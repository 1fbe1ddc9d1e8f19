// The collision manager's trigger collidees and queries: filing, re-filing
// and the manager-wide passes, moving entities presented to the triggers
// (swept and teleported), entities at rest, and the root domain's geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityInitData.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Model.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Trigger.h"

namespace {

typedef ECollisionManager CM;

std::vector<std::string>* s_pTrigLines = nullptr;
void TrigCaptureLine(const char* text) {
  if (s_pTrigLines) s_pTrigLines->push_back(text ? text : "");
}

// A box trigger that records what the manager asks of it.
class RecordingTrigger : public ETriggerBase {
public:
  struct Call {
    EEntity* pEntity;
    bool bAtRest;
    ESweepHitQuery q;
  };
  explicit RecordingTrigger(const EBox3& box) : m_Box(box) {}
  bool Contains(EEntity*) const override { return false; }
  void ParentMoved(EPhysics*) override {}
  EBox3 GetCollisionBoundingBox() const override { return m_Box; }
  void ProcessIntersection(const ESweepHitQuery& q, bool bAtRest) override {
    m_aCalls.push_back(Call{q.pCollider, bAtRest, q});
    // A trigger that looks at its neighbours walks the grid in the middle of the query's walk.
    if (m_bWalksTheGrid) {
      const EBox3 all(EVec3(-1e5f, -1e5f, -1e5f), EVec3(1e5f, 1e5f, 1e5f));
      for (CM::CollideeInfo::Iter it(m_pCM, all, CM::kCollideeTrigger, *GetThreadLocalStack()); it; ++it) {
      }
    }
  }
  void ProcessRemoval(EEntity* e) override { m_aRemoved.push_back(e); }
  void Reset() override { s_pResetOrder->push_back(this); }
  void NotifyMoved(const EBox3& box) override {
    m_nMoved++;
    m_LastMoved = box;
  }
  void RequestRender() const override {}

  EBox3 m_Box;
  std::vector<Call> m_aCalls;
  std::vector<EEntity*> m_aRemoved;
  int m_nMoved = 0;
  EBox3 m_LastMoved;
  bool m_bWalksTheGrid = false;
  static std::vector<RecordingTrigger*>* s_pResetOrder;
};
std::vector<RecordingTrigger*>* RecordingTrigger::s_pResetOrder = nullptr;

EBox3 BoxAround(const EVec3& c, float h) { return EBox3(c - EVec3(h, h, h), c + EVec3(h, h, h)); }

class CollisionTriggers : public ::testing::Test {
protected:
  CollisionTriggers() : m_stack(1u << 20) {}
  void SetUp() override {
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_stack);
    m_pDomain = new EDomain(nullptr, &m_cm);
    s_pTrigLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(TrigCaptureLine);
    RecordingTrigger::s_pResetOrder = &m_resets;
  }
  void TearDown() override {
    RecordingTrigger::s_pResetOrder = nullptr;
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pTrigLines = nullptr;
    for (RecordingTrigger* t : m_trigs) delete t;
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    delete m_pDomain;
    BindThreadLocalStack(m_pOldStack);
    EXPECT_EQ(0, sg_iInhibitModification);
  }
  RecordingTrigger* Trigger(const EBox3& box, bool bRegister = true) {
    RecordingTrigger* t = new RecordingTrigger(box);
    m_trigs.push_back(t);
    t->SetCollisionManager(&m_cm);
    if (bRegister) t->SetSleeping(false);
    return t;
  }
  // A one-sphere entity of radius 10 at p.
  EMeshEntity* Mover(const char* szName, const EVec3& p) {
    EMeshEntity* e = EMeshEntity::Create(m_pDomain, szName);
    m_made.push_back(e);
    e->SetVisible(true);
    const ESphere s(EVec3(0, 0, 0), 10.0f);
    e->GetPhysics()->SetCollision(&s, 1);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    e->GetPhysics()->SetPosition(p);
    m_cm.Update(e);
    return e;
  }
  std::vector<void*> WalkTriggers(const EBox3& box) {
    std::vector<void*> found;
    for (CM::CollideeInfo::Iter it(&m_cm, box, CM::kCollideeTrigger, m_stack); it; ++it) found.push_back(it->pObject);
    return found;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(szText) != std::string::npos;
    return n;
  }

  EMemStack m_stack;
  EMemStack* m_pOldStack = nullptr;
  CM m_cm{false};
  EDomain* m_pDomain = nullptr;
  std::vector<RecordingTrigger*> m_trigs;
  std::vector<RecordingTrigger*> m_resets;
  std::vector<EEntity*> m_made;
  std::vector<std::string> m_lines;
  // Level geometry outlives the domain's meshes that use it.
  std::unique_ptr<ECollisionTree> m_pTree;
};

TEST_F(CollisionTriggers, FilingRefilingAndTheManagerWidePasses) {
  const EBox3 box = BoxAround(EVec3(0, 0, 0), 100.0f);
  RecordingTrigger* a = Trigger(box);
  RecordingTrigger* b = Trigger(BoxAround(EVec3(5000, 0, 0), 100.0f));
  ASSERT_NE(a->GetCollisionIndex(), CM::NULL_INDEX);
  EXPECT_EQ(m_cm.GetInfo(a->GetCollisionIndex()).eType, (uint16_t)CM::kCollideeTrigger);
  // Filing tells the trigger where it went.
  EXPECT_EQ(a->m_nMoved, 1);
  EXPECT_EQ(a->m_LastMoved.vMax, box.vMax);
  EXPECT_EQ(WalkTriggers(BoxAround(EVec3(0, 0, 0), 1.0f)), std::vector<void*>{a});
  // Entity walks never return triggers.
  int nEntities = 0;
  for (CM::CollideeInfo::Iter it(&m_cm, box, CM::kCollideeEntity, m_stack); it; ++it) nEntities++;
  EXPECT_EQ(nEntities, 0);

  // A second registration keeps the record and reports once.
  const uint16_t ia = a->GetCollisionIndex();
  m_cm.Register(a);
  EXPECT_EQ(Count("pTrig->m_iCollisionIndex == NULL_INDEX"), 1);
  EXPECT_EQ(a->GetCollisionIndex(), ia);

  // Re-filing after a move.
  a->m_Box = BoxAround(EVec3(0, 3000, 0), 100.0f);
  m_cm.Update(a);
  EXPECT_EQ(a->m_nMoved, 2);
  EXPECT_TRUE(WalkTriggers(BoxAround(EVec3(0, 0, 0), 1.0f)).empty());
  EXPECT_EQ(WalkTriggers(BoxAround(EVec3(0, 3000, 0), 1.0f)), std::vector<void*>{a});

  // The passes over every trigger go in record order; the update pass does not re-file.
  m_cm.ResetAllTriggers();
  EXPECT_EQ(m_resets, (std::vector<RecordingTrigger*>{a, b}));
  a->m_Box = BoxAround(EVec3(0, -3000, 0), 100.0f);
  m_cm.HACK_UpdateAllTriggers();
  EXPECT_EQ(a->m_nMoved, 3);
  EXPECT_EQ(b->m_nMoved, 2);
  EXPECT_EQ(a->m_LastMoved.vMin, a->m_Box.vMin);
  EXPECT_EQ(WalkTriggers(BoxAround(EVec3(0, 3000, 0), 1.0f)), std::vector<void*>{a});

  // A copy of a trigger takes over its record.
  CM::CollideeInfo* pInfo = m_cm.Hack_UpdateInfo(b);
  EXPECT_EQ(pInfo->pObject, b);

  // Unregistering frees the record; a deleted trigger leaves the grid.
  const int nBefore = m_cm.GetNumRegistered();
  m_cm.Unregister(a, 0);
  EXPECT_EQ(a->GetCollisionIndex(), CM::NULL_INDEX);
  m_cm.Unregister(a, 0);
  EXPECT_EQ(m_cm.GetNumRegistered(), nBefore - 1);
  RecordingTrigger* c = Trigger(BoxAround(EVec3(0, 0, 0), 10.0f));
  EXPECT_EQ(c->GetCollisionIndex(), ia);  // the freed index first
  m_trigs.pop_back();
  delete c;
  EXPECT_EQ(m_cm.GetNumRegistered(), nBefore - 1);
  EXPECT_TRUE(WalkTriggers(BoxAround(EVec3(0, 0, 0), 1.0f)).empty());

  // The disabled manager files nothing.
  RecordingTrigger* d = Trigger(box, false);
  d->SetCollisionManager(&CM::sm_CM_dummy);
  d->SetSleeping(false);
  EXPECT_EQ(d->GetCollisionIndex(), CM::NULL_INDEX);
  EXPECT_EQ(d->m_nMoved, 0);
}

// Which triggers a move presents, and how often, swept and teleported.
TEST_F(CollisionTriggers, MovesArePresentedOncePerTrigger) {
  struct Case {
    const char* szName;
    bool bTeleport;
    bool bNestedWalks;          // the triggers walk the grid when presented
    std::vector<int> expected;  // calls per trigger: start, middle, end, both ends, far
  };
  const Case cases[] = {
      {"swept", false, false, {1, 1, 1, 1, 0}},
      {"teleport", true, false, {1, 0, 1, 1, 0}},
      {"teleport with nested walks", true, true, {1, 0, 1, 1, 0}},
  };
  const EVec3 vFrom(0, 0, 0), vTo(4000, 0, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    for (RecordingTrigger* t : m_trigs) delete t;
    m_trigs.clear();
    RecordingTrigger* aTrig[5] = {
        Trigger(BoxAround(vFrom, 50.0f)), Trigger(BoxAround(EVec3(2000, 0, 0), 50.0f)),
        Trigger(BoxAround(vTo, 50.0f)), Trigger(EBox3(EVec3(-100, -100, -100), EVec3(4100, 100, 100))),
        Trigger(BoxAround(EVec3(0, 20000, 0), 50.0f))};
    for (RecordingTrigger* t : aTrig) t->m_bWalksTheGrid = c.bNestedWalks;
    EMeshEntity* e = Mover(c.szName, vFrom);
    m_cm.CheckTriggers(vFrom, vTo, e, c.bTeleport, EBox3(vFrom, vFrom));
    for (int i = 0; i < 5; i++) {
      EXPECT_EQ((int)aTrig[i]->m_aCalls.size(), c.expected[i]) << i;
      for (const RecordingTrigger::Call& call : aTrig[i]->m_aCalls) {
        EXPECT_EQ(call.pEntity, e);
        EXPECT_EQ(call.bAtRest, c.bTeleport);
        EXPECT_EQ(call.q.vStart, vFrom);
        EXPECT_EQ(call.q.vMove, vTo - vFrom);
        EXPECT_EQ(call.q.fMaxT, 1.0f);
        EXPECT_EQ(call.q.fRadius, 10.0f);
      }
    }
    EXPECT_EQ(sg_iInhibitModification, 0);
  }
  // The extra box widens a swept query.
  RecordingTrigger* pFar = Trigger(BoxAround(EVec3(0, 20000, 0), 50.0f));
  EEntity* e = m_made.back();
  m_cm.CheckTriggers(vFrom, vTo, e, false, BoxAround(EVec3(0, 20000, 0), 1.0f));
  EXPECT_EQ(pFar->m_aCalls.size(), 1u);
  // Nothing for an entity whose domain sleeps, nor in the disabled manager.
  pFar->m_aCalls.clear();
  CM::sm_CM_dummy.CheckTriggers(vFrom, vTo, e, false, BoxAround(EVec3(0, 20000, 0), 1.0f));
  e->SetDomainIsSleeping(true);
  m_cm.CheckTriggers(vFrom, vTo, e, false, BoxAround(EVec3(0, 20000, 0), 1.0f));
  EXPECT_TRUE(pFar->m_aCalls.empty());
  e->SetDomainIsSleeping(false);
}

// An entity whose triggering sphere sits above its position: the query starts at the sphere.
TEST_F(CollisionTriggers, TheTriggeringSphereAndEntitiesAtRest) {
  EMeshEntity* e = EMeshEntity::Create(m_pDomain, "tall");
  m_made.push_back(e);
  e->SetVisible(true);
  const ESphere aSpheres[2] = {ESphere(EVec3(0, 50, 0), 20.0f), ESphere(EVec3(0, 0, 0), 5.0f)};
  e->GetPhysics()->SetCollision(aSpheres, 2);
  e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
  e->GetPhysics()->SetPosition(EVec3(100, 0, 0));
  m_cm.Update(e);
  const ESphere s = ETriggerBase::GetTriggeringSphere(e);
  EXPECT_EQ(s.centre, EVec3(100, 50, 0));
  EXPECT_EQ(s.radius, 20.0f);

  RecordingTrigger* t = Trigger(BoxAround(EVec3(100, 0, 0), 200.0f));
  m_cm.CheckTriggers(EVec3(100, 0, 0), EVec3(150, 0, 0), e, false, EBox3(EVec3(100, 0, 0), EVec3(100, 0, 0)));
  ASSERT_EQ(t->m_aCalls.size(), 1u);
  EXPECT_EQ(t->m_aCalls[0].q.vStart, EVec3(100, 50, 0));
  EXPECT_EQ(t->m_aCalls[0].q.vMove, EVec3(50, 0, 0));

  // At rest: presented with no move, then removed.
  t->m_aCalls.clear();
  m_cm.RefreshTriggersFor(e->GetPhysics(), true);
  ASSERT_EQ(t->m_aCalls.size(), 1u);
  EXPECT_TRUE(t->m_aCalls[0].bAtRest);
  EXPECT_EQ(t->m_aCalls[0].q.vStart, EVec3(100, 50, 0));
  EXPECT_EQ(t->m_aCalls[0].q.vMove, EVec3(0, 0, 0));
  EXPECT_EQ(t->m_aCalls[0].q.fRadius, 20.0f);
  m_cm.RefreshTriggersFor(e->GetPhysics(), false);
  EXPECT_EQ(t->m_aRemoved, std::vector<EEntity*>{e});
  EXPECT_EQ(t->m_aCalls.size(), 1u);

  // Without a sphere shape the sphere is a point at the position.
  e->GetPhysics()->SetCollisionType(CPT_Triangles);
  const ESphere p = ETriggerBase::GetTriggeringSphere(e);
  EXPECT_EQ(p.centre, EVec3(100, 0, 0));
  EXPECT_EQ(p.radius, 0.0f);

  char sz[32];
  t->Describe(sz, (int)sizeof(sz));
  EXPECT_STREQ(sz, "generic trigger");
}

class TrigTreeReader : public EMemReader {
public:
  TrigTreeReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "level.col"; }
};

// The root domain's geometry is its first active mesh with a collision tree.
TEST_F(CollisionTriggers, TheRootDomainsCollisionMesh) {
  collisionwriter::Poly poly;
  poly.v[0] = 0;
  poly.v[1] = 1;
  poly.v[2] = 2;
  poly.flags = kSurfacePhysical;
  const std::vector<EVec3> v = {EVec3(-100, 0, -100), EVec3(100, 0, -100), EVec3(-100, 0, 100)};
  const std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(v, {poly}, 317);
  m_pTree.reset(new ECollisionTree());
  ECollisionTree* pTree = m_pTree.get();
  TrigTreeReader s(bytes, 317);
  ASSERT_TRUE(pTree->Read(s));
  // Each mesh owns its model; the models share the tree.
  auto MeshWithTree = [pTree](bool bActive) {
    EMesh* m = new EMesh();
    EModel* pModel = new EModel();
    pModel->m_pCollisionTree = pTree;
    m->SetModel(pModel);
    m->SetActive(bActive);
    return m;
  };
  EMesh* pBare = new EMesh();
  pBare->SetActive(true);
  EMesh* pInactive = MeshWithTree(false);
  EMesh* pLevel = MeshWithTree(true);
  m_pDomain->AddMesh(pBare);
  m_pDomain->AddMesh(pInactive);
  m_pDomain->AddMesh(pLevel);

  m_cm.Register(m_pDomain);
  EXPECT_EQ(m_cm.GetRootDomain(), m_pDomain);
  EXPECT_EQ(m_cm.GetRootDomainCollision(), pLevel);
  EXPECT_EQ(m_cm.GetStaticCollisionTree(), pTree);
  // The level switches its geometry.
  pLevel->SetActive(false);
  pInactive->SetActive(true);
  m_cm.Update(m_pDomain);
  EXPECT_EQ(m_cm.GetRootDomainCollision(), pInactive);
  m_cm.Unregister(m_pDomain);
  EXPECT_EQ(m_cm.GetRootDomain(), nullptr);
  EXPECT_EQ(m_cm.GetRootDomainCollision(), nullptr);
  EXPECT_EQ(m_cm.GetStaticCollisionTree(), nullptr);
}

// An entity with a line shape is a line collidee: entity walks pass it by and
// the spline query looks at nothing else.
TEST_F(CollisionTriggers, LineCollideesAreFiledApart) {
  EMeshEntity* rail = Mover("rail", EVec3(0, 0, 0));
  EMeshEntity* ball = Mover("ball", EVec3(20, 0, 0));
  EEntityInitData data;
  data.m_dwTag = 0x53504C4E;  // 'SPLN'
  auto Put = [&data](uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    for (uint8_t x : b) data.m_aData.AddData(x);
  };
  Put(0x504F534E);  // 'POSN'
  Put(2);
  for (float f : {-100.0f, 0.0f, 0.0f, 100.0f, 0.0f, 0.0f}) {
    uint32_t w;
    memcpy(&w, &f, 4);
    Put(w);
  }
  Put(0x4E4F524D);  // 'NORM'
  Put(0);
  rail->ReadInitData(data);
  ASSERT_NE(rail->GetLineCollision(), nullptr);
  m_cm.Unregister(rail);
  m_cm.Register(rail);
  rail->GetPhysics()->SetCollisionType(CPT_Capsules);
  m_cm.Update(rail);
  EXPECT_EQ(m_cm.GetInfo(rail->GetCollisionIndex()).eType, (uint16_t)CM::kCollideeLines);
  EXPECT_EQ(m_cm.GetInfo(ball->GetCollisionIndex()).eType, (uint16_t)CM::kCollideeEntity);
  const EBox3 box = BoxAround(EVec3(0, 0, 0), 50.0f);
  for (CM::ECollideeType eType : {CM::kCollideeEntity, CM::kCollideeLines}) {
    std::vector<void*> found;
    for (CM::CollideeInfo::Iter it(&m_cm, box, eType, m_stack); it; ++it) found.push_back(it->pObject);
    EXPECT_EQ(found, std::vector<void*>{eType == CM::kCollideeLines ? (void*)rail : (void*)ball});
  }
  // The query leaves the stack as it found it when no shape answers: the
  // rail's capsules (radius 70) end 80 from its axis for this sphere.
  const unsigned nUsed = m_stack.GetUsedBytes();
  EXPECT_EQ(m_cm.CheckSplines(ESphere(EVec3(0, 85, 0), 10.0f), ball), nullptr);
  EXPECT_EQ(m_stack.GetUsedBytes(), nUsed);
  // A sphere that reaches the rail gets its hit on the stack.
  EHitResult* pHit = m_cm.CheckSplines(ESphere(EVec3(50, 5, 0), 10.0f), ball);
  ASSERT_NE(pHit, nullptr);
  EXPECT_EQ(pHit->pLines, rail->GetLineCollision());
  EXPECT_EQ(pHit->eType, CCT_CapsuleEdge);
  EXPECT_NEAR(pHit->fDstT, 0.75f, 1e-5f);
  EXPECT_EQ(pHit->pNext, nullptr);
  EXPECT_GT(m_stack.GetUsedBytes(), nUsed);
  EXPECT_EQ(CM::sm_CM_dummy.CheckSplines(ESphere(EVec3(0, 5, 0), 10.0f), ball), nullptr);
}

}  // namespace
