// The physics object: construction, shapes, flags, navigation records and
// standing links; the tuning table and its script functions; and sweeps on
// small hand-built trees (bounce, stop, slide into corners, stairs, ground
// snapping, ledges, walkability, turning toward gravity and free positions).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "Game/PCGameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/tests/ScriptVMTestUtil.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "VERirezo/BucketAlloc.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Model.h"
#include "VERirezo/PhysicsCollide.h"
#include "VERirezo/PhysicsConstants.h"

std::vector<std::string>* ScriptVMTest::s_pLines = nullptr;

// A mesh entity that records the standing callbacks it receives.
class StandRecorder : public EMeshEntity {
public:
  StandRecorder(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
  void onSupporting(EEntity* pOther) override { m_Log += std::string("+") + pOther->GetName() + ";"; }
  void onSupportingExit(EEntity* pOther) override { m_Log += std::string("-") + pOther->GetName() + ";"; }
  void onGroundChange(EEntity* pOld, EEntity* pNew, bool) override {
    m_Log += std::string("ground ") + (pOld ? pOld->GetName() : "0") + ">" + (pNew ? pNew->GetName() : "0") + ";";
  }
  std::string m_Log;
};

// The player's kind of physics object: the player-only standing rules apply.
class PlayerLikePhysics : public EPhysics {
public:
  explicit PlayerLikePhysics(EEntity* pOwner) : EPhysics(pOwner) { m_bIsPlayer = true; }
};

namespace {

using collisionwriter::Poly;

class PhysTreeReader : public EMemReader {
public:
  PhysTreeReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "phys.col"; }
};

// Hand-built geometry: quads given by centre, facing normal and two half extents.
struct PhysGeo {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  void Quad(const EVec3& c, const EVec3& n, EVec3 u, EVec3 w, uint32_t flags = kSurfacePhysical) {
    if (w.Cross(u).Dot(n) < 0.0f) std::swap(u, w);
    const uint32_t b = (uint32_t)v.size();
    v.push_back(c - u - w);
    v.push_back(c + u - w);
    v.push_back(c + u + w);
    v.push_back(c - u + w);
    Poly t0, t1;
    t0.v[0] = b;
    t0.v[1] = b + 1;
    t0.v[2] = b + 3;
    t0.flags = flags;
    t1.v[0] = b + 1;
    t1.v[1] = b + 2;
    t1.v[2] = b + 3;
    t1.flags = flags;
    p.push_back(t0);
    p.push_back(t1);
  }
  void Floor(float y, uint32_t flags = kSurfacePhysical) {
    Quad(EVec3(0, y, 0), EVec3(0, 1, 0), EVec3(2000, 0, 0), EVec3(0, 0, 2000), flags);
  }
};

EVec3 Row(const EMat4& m, int r) { return EVec3(m.m[4 * r], m.m[4 * r + 1], m.m[4 * r + 2]); }

uint32_t Bits(float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}

float AngleDeg(const EVec3& a, const EVec3& b) {
  float d = a.Dot(b) / (a.Length() * b.Length());
  d = d > 1.0f ? 1.0f : (d < -1.0f ? -1.0f : d);
  return std::acos(d) * 57.2957795f;
}

}  // namespace

class PhysicsWorld : public ScriptVMTest {
protected:
  PhysicsWorld() : m_stack(1u << 20) {}
  void SetUp() override {
    ScriptVMTest::SetUp();
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_stack);
    m_pDomain = new EDomain(nullptr, &m_cm);
    m_app.m_fSimDeltaTime = 1.0f / 30.0f;
    gGameApp = &m_app;
  }
  void TearDown() override {
    m_cm.SetRootDomainCollision(nullptr);
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    delete m_pDomain;
    m_app.m_pGlobalEntity = nullptr;
    gGameApp = nullptr;
    BindThreadLocalStack(m_pOldStack);
    ScriptVMTest::TearDown();
  }
  void Build(const PhysGeo& g) {
    std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(g.v, g.p, 317);
    PhysTreeReader s(bytes, 317);
    ASSERT_TRUE(m_tree.Read(s));
    // The mesh owns its model; a rebuilt world replaces the one made before.
    EModel* model = new EModel();
    model->m_pCollisionTree = &m_tree;
    m_mesh.SetModel(model);
    delete m_pBuiltModel;
    m_pBuiltModel = model;
    m_cm.SetRootDomainCollision(&m_mesh);
  }
  StandRecorder* Make(const char* szName) {
    StandRecorder* e = new StandRecorder(m_pDomain, szName);
    e->InitEntity(m_pDomain);
    m_made.push_back(e);
    return e;
  }
  // A collidee that can carry others: one sphere at its centre.
  StandRecorder* Solid(const char* szName) {
    StandRecorder* e = Make(szName);
    const ESphere s(EVec3(0, 0, 0), 10.0f);
    e->GetPhysics()->SetCollision(&s, 1);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    return e;
  }
  // A mover with one sphere of radius 10 at p.
  EPhysics* Mover(const char* szName, const EVec3& p) {
    EPhysics* phys = Make(szName)->GetPhysics();
    const ESphere s(EVec3(0, 0, 0), 10.0f);
    phys->SetCollision(&s, 1);
    phys->SetAbsPosition(p, true);
    return phys;
  }

  EMemStack m_stack;
  EMemStack* m_pOldStack = nullptr;
  ECollisionManager m_cm{false};
  EDomain* m_pDomain = nullptr;
  ECollisionTree m_tree;
  EMesh m_mesh;
  EModel* m_pBuiltModel = nullptr;  // owned by m_mesh
  PCGameApp m_app;
  std::vector<EEntity*> m_made;
};

// ---------------------------------------------------------------- the object

TEST_F(PhysicsWorld, ANewObjectHasItsDefaults) {
  EPhysics* p = Make("fresh")->GetPhysics();
  unsigned nMesh = 0, nPoly = 1;
  p->GetNavInfo(nMesh, nPoly);
  EXPECT_EQ(p->GetMass(), 1.0f);
  EXPECT_EQ(p->GetStepHeight(), 45.0f);
  EXPECT_EQ(p->GetGravityDir(), EVec3(0, 1, 0));
  EXPECT_EQ(p->GetRight(), EVec3(-1, 0, 0));
  EXPECT_EQ(p->GetUp(), EVec3(0, 1, 0));
  EXPECT_EQ(p->GetForward(), EVec3(0, 0, 1));
  EXPECT_EQ(Bits(p->GetGroundDist()), 0x7F7FFFFFu);
  EXPECT_EQ(p->GetGroundPlaneNormal(), EVec3(0, 1, 0));
  EXPECT_EQ(nMesh, 255u);
  EXPECT_EQ(nPoly, 0u);
  EXPECT_EQ(p->GetNavInfoRecord().nGroupMask, 0u);
  EXPECT_EQ(p->GetCollisionType(), CPT_None);
  EXPECT_EQ(p->GetFlags(), 0u);
  EXPECT_EQ(p->GetStateFlags().GetWord(0) | p->GetStateFlags().GetWord(1), 0u);
  EXPECT_EQ(p->GetAbsTrans(), EMat4());
  EXPECT_EQ(p->GetCollisionManager(), &m_cm) << "the owner's domain manager";
}

TEST_F(PhysicsWorld, SetCollisionChoosesTheShapeAndKeepsAtMostThreeSpheres) {
  const ESphere five[5] = {ESphere(EVec3(0, 0, 0), 1), ESphere(EVec3(0, 5, 0), 2), ESphere(EVec3(0, 10, 0), 3),
                           ESphere(EVec3(0, 15, 0), 4), ESphere(EVec3(0, 20, 0), 5)};
  const ESphere offCentre(EVec3(0, 3, 0), 4);
  struct Case {
    const ESphere* spheres;
    int n;
    ECollisionPrimitiveType type;
    int kept;
  } cases[] = {
      {five, 1, CPT_OneSphere, 1},
      {&offCentre, 1, CPT_Spheres_ModelSpace, 1},
      {five, 2, CPT_Spheres_ModelSpace, 2},
      {five, 5, CPT_Spheres_ModelSpace, 3},
  };
  EPhysics* p = Make("shape")->GetPhysics();
  for (const Case& c : cases) {
    p->SetCollision(c.spheres, c.n);
    EXPECT_EQ(p->GetCollisionType(), c.type) << c.n;
    EXPECT_EQ(p->GetNumCollideSpheres(), c.kept) << c.n;
  }
  EXPECT_EQ(p->GetCollideSphere(2)->radius, 3.0f);
  EXPECT_EQ(p->GetMinY(), -1.0f);
  // Model-space centres turn with the object; the box follows them.
  EMat4 turned = MatrixRotateZ(90.0f);
  turned.SetTranslation(EVec3(100, 0, 0));
  p->SetFlag(PHYSICS_COLLIDEE, true);
  p->SetCollision(&offCentre, 1);
  const EBox3 box = p->GetCollisionBoundingBox(&turned);
  const EVec3 c = turned.TransformPoint(EVec3(0, 3, 0));
  EXPECT_NEAR(box.vMin.x, c.x - 4, 1e-4f);
  EXPECT_NEAR(box.vMax.y, c.y + 4, 1e-4f);
  p->SetFlag(PHYSICS_COLLIDEE, false);
  EXPECT_EQ(p->GetCollisionBoundingBox(&turned).vMax, EVec3(0, 0, 0)) << "no collidee: the empty box";
}

TEST_F(PhysicsWorld, CollideeNeedsAShapeAndCapsulesKeepTheirType) {
  EPhysics* p = Make("bare")->GetPhysics();
  p->SetFlag(PHYSICS_COLLIDEE, true);
  EXPECT_FALSE(p->GetFlag(PHYSICS_COLLIDEE)) << "CPT_None is never a collidee";
  p->SetCollisionType(CPT_Capsules);
  p->SetCollisionType(CPT_Triangles);
  EXPECT_EQ(p->GetCollisionType(), CPT_Capsules);
  // Stopping physics drops a pending move.
  p->MoveToPosition(EVec3(1, 2, 3), true);
  EXPECT_TRUE(p->GetFlag(PHYSICS_MOVETOPOSITION | PHYSICS_MOVETOFORCED));
  p->SetFlag(PHYSICS_NOPHYSICS, true);
  EXPECT_FALSE(p->GetFlag(PHYSICS_MOVETOPOSITION));
  EXPECT_FALSE(p->GetFlag(PHYSICS_MOVETOFORCED));
  // Without physics only a forced move places the object, at once.
  p->MoveToPosition(EVec3(5, 0, 0), false);
  EXPECT_EQ(p->GetAbsPosition(), EVec3(0, 0, 0));
  p->MoveToPosition(EVec3(5, 0, 0), true);
  EXPECT_EQ(p->GetAbsPosition(), EVec3(5, 0, 0));
  EXPECT_FALSE(p->GetFlag(PHYSICS_MOVETOPOSITION));
}

TEST_F(PhysicsWorld, NavigationRecords) {
  EPhysics* p = Make("nav")->GetPhysics();
  struct Case {
    unsigned group;
    unsigned mask;
  } cases[] = {{0, 0x01}, {3, 0x09}, {7, 0x81}};
  for (const Case& c : cases) {
    p->SetNavGroup(c.group);
    EXPECT_EQ(p->GetNavInfoRecord().nGroupMask, c.mask) << c.group;
    EXPECT_EQ(p->GetLastNavInfoRecord().nGroupMask, c.mask) << c.group;
    EXPECT_EQ(p->GetNavGroup(), c.group);
  }
  p->SetNavGroup(3);
  p->SetNavInfo(4, 300);
  unsigned m = 0, poly = 0;
  p->GetLastNavInfo(m, poly);
  EXPECT_EQ(m, 4u);
  EXPECT_EQ(poly, 300u);
  EXPECT_EQ(p->GetNavInfoRecord().Pack(), 0x09012C04u);
  p->ResetNavInfo(false);
  EXPECT_EQ(p->GetNavInfoRecord().Pack(), 0x090000FFu) << "the group survives a partial reset";
  p->ResetNavInfo(true);
  EXPECT_EQ(p->GetLastNavInfoRecord().Pack(), 0x000000FFu);
}

TEST_F(PhysicsWorld, MassIsBoundedFromBelow) {
  EPhysics* p = Make("mass")->GetPhysics();
  const float cases[][2] = {{5.0f, 5.0f}, {1.0f, 1.0f}, {0.0001f, 0.001f}, {250.0f, 250.0f}};
  for (const auto& c : cases) {
    p->SetMass(c[0]);
    EXPECT_EQ(p->GetMass(), c[1]) << c[0];
  }
}

TEST_F(PhysicsWorld, GravityListFollowsTheFlagTheReplacementAndTheCleanUp) {
  StandRecorder* a = Make("fallA");
  StandRecorder* b = Make("fallB");
  const int n0 = EPhysics::sm_aWithGravity.Num();
  a->GetPhysics()->SetFlag(PHYSICS_APPLYGRAVITY, true);
  a->GetPhysics()->SetFlag(PHYSICS_APPLYGRAVITY, true);
  b->GetPhysics()->SetFlag(PHYSICS_APPLYGRAVITY, true);
  EXPECT_EQ(EPhysics::sm_aWithGravity.Num(), n0 + 2) << "once per object";
  // A replacement physics takes the old one out of the list before it exists.
  a->SetPhysics(new EPhysics(a));
  EXPECT_EQ(EPhysics::sm_aWithGravity.Num(), n0 + 1);
  EXPECT_EQ(EPhysics::sm_aWithGravity[n0], b);
  // A dead owner is dropped by the clean-up and loses the bit.
  b->InternalDelayedDelete();
  EPhysics::StaticCleanupReferences();
  EXPECT_EQ(EPhysics::sm_aWithGravity.Num(), n0);
  EXPECT_FALSE(b->GetPhysics()->GetFlag(PHYSICS_APPLYGRAVITY));
}

// ---------------------------------------------------------------- standing

TEST_F(PhysicsWorld, StandingLinksPassengersAndCallbacks) {
  StandRecorder* floor = Solid("floor");
  StandRecorder* crate = Solid("crate");
  StandRecorder* rider = Make("rider");
  rider->GetPhysics()->SetBase(crate->GetPhysics(), true);
  crate->GetPhysics()->SetBase(floor->GetPhysics(), false);
  EXPECT_EQ(rider->GetPhysics()->GetStandingOn(), crate);
  EXPECT_EQ(crate->m_Log, "+rider;ground 0>floor;");
  EXPECT_EQ(rider->m_Log, "ground 0>crate;");
  rider->GetPhysics()->SetBase(floor->GetPhysics(), false);
  EXPECT_EQ(crate->m_Log, "+rider;ground 0>floor;-rider;");
  EXPECT_EQ(floor->GetPhysics()->GetFirstPassenger(), rider->GetPhysics()) << "newest passenger first";
  EXPECT_EQ(rider->GetPhysics()->GetNextPassenger(), crate->GetPhysics());

  // Clearing the collidee bit drops every passenger and the object's own base.
  floor->GetPhysics()->SetBase(Solid("bedrock")->GetPhysics(), false);
  floor->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, false);
  EXPECT_EQ(floor->GetPhysics()->GetFirstPassenger(), nullptr);
  EXPECT_EQ(floor->GetPhysics()->GetBase(), nullptr);
  EXPECT_EQ(rider->GetPhysics()->GetBase(), nullptr);
  EXPECT_EQ(crate->GetPhysics()->GetBase(), nullptr);
}

TEST_F(PhysicsWorld, ACircularStandIsRefused) {
  StandRecorder* a = Solid("A");
  StandRecorder* b = Solid("B");
  StandRecorder* c = Solid("C");
  a->GetPhysics()->SetBase(b->GetPhysics(), false);
  b->GetPhysics()->SetBase(c->GetPhysics(), false);
  c->m_Log.clear();
  c->GetPhysics()->SetBase(a->GetPhysics(), false);
  EXPECT_EQ(CountLines("Ignoring circular stand: C trying to stand on A"), 1);
  EXPECT_EQ(c->GetPhysics()->GetBase(), nullptr);
  EXPECT_EQ(a->GetPhysics()->GetFirstPassenger(), nullptr);
  EXPECT_EQ(c->m_Log, "");
  c->GetPhysics()->SetBase(c->GetPhysics(), false);
  EXPECT_EQ(CountLines("Ignoring circular stand: C trying to stand on C"), 1);
}

TEST_F(PhysicsWorld, StandingRefusalsAndTheGlobalEntity) {
  StandRecorder* plain = Make("plain");
  StandRecorder* hero = Make("hero");
  hero->SetPhysics(new PlayerLikePhysics(hero));
  struct Case {
    uint32_t baseFlag;
    bool plainStands;
    bool heroStands;
  } cases[] = {
      {0, true, true},
      {ENTITY_CANNOTBESTOODON, false, false},
      {ENTITY_CANNOTBESTOODONBYPLAYER, true, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    StandRecorder* base = Solid(("base" + std::to_string(n++)).c_str());
    base->SetEntityFlag(c.baseFlag, true);
    plain->GetPhysics()->SetBase(base->GetPhysics(), false);
    hero->GetPhysics()->SetBase(base->GetPhysics(), false);
    EXPECT_EQ(plain->GetPhysics()->GetBase() == base->GetPhysics(), c.plainStands) << c.baseFlag;
    EXPECT_EQ(hero->GetPhysics()->GetBase() == base->GetPhysics(), c.heroStands) << c.baseFlag;
    plain->GetPhysics()->SetBase(nullptr, false);
    hero->GetPhysics()->SetBase(nullptr, false);
  }
  // The global entity carries everyone without a passenger list or callbacks.
  StandRecorder* global = Solid("global");
  m_app.m_pGlobalEntity = global;
  plain->m_Log.clear();
  plain->GetPhysics()->SetBase(global->GetPhysics(), false);
  EXPECT_EQ(plain->GetPhysics()->GetBase(), global->GetPhysics());
  EXPECT_EQ(global->GetPhysics()->GetFirstPassenger(), nullptr);
  EXPECT_EQ(global->m_Log, "");
  EXPECT_EQ(plain->m_Log, "ground 0>global;");
  plain->GetPhysics()->SetBase(nullptr, false);
  EXPECT_EQ(global->m_Log, "") << "leaving it calls nothing either";
  EXPECT_EQ(plain->GetPhysics()->GetBase(), nullptr);
}

TEST_F(PhysicsWorld, ANewObjectTakesOverBaseAndPassengers) {
  StandRecorder* lift = Solid("lift");
  StandRecorder* floor = Solid("floor");
  StandRecorder* rider = Make("rider");
  lift->GetPhysics()->SetBase(floor->GetPhysics(), false);
  rider->GetPhysics()->SetBase(lift->GetPhysics(), false);
  lift->GetPhysics()->SetPushParams(3, 120);
  lift->GetPhysics()->SetNavGroup(2);
  EMat4 placed = MatrixRotateY(30.0f);
  placed.SetTranslation(EVec3(10, 20, 30));
  lift->GetPhysics()->SetAbsTrans(placed, SRT_Position | SRT_Rotation | SRT_Teleport);
  EPhysics* old = lift->GetPhysics();
  EPhysics* fresh = new EPhysics(lift);
  lift->SetPhysics(fresh);
  EXPECT_EQ(fresh->GetBase(), floor->GetPhysics());
  EXPECT_EQ(floor->GetPhysics()->GetFirstPassenger(), fresh);
  EXPECT_EQ(floor->GetPhysics()->GetFirstPassenger()->GetNextPassenger(), nullptr) << "the old object left";
  EXPECT_EQ(rider->GetPhysics()->GetBase(), fresh);
  EXPECT_NE(rider->GetPhysics()->GetBase(), old);
  EXPECT_EQ(fresh->GetAbsTrans(), placed);
  EXPECT_EQ(fresh->GetUp(), Row(placed, 1));
  EXPECT_EQ(fresh->GetPushLevel(), 3u);
  EXPECT_EQ(fresh->GetPushSpeed(), 120u);
  EXPECT_EQ(fresh->GetNavGroup(), 2u);
}

TEST_F(PhysicsWorld, ANewObjectTakesOverTheAttachmentAndChildren) {
  StandRecorder* parent = Make("parent");
  StandRecorder* middle = Make("middle");
  StandRecorder* child = Make("child");
  ASSERT_TRUE(middle->AttachToParent(parent, nullptr, nullptr));
  ASSERT_TRUE(child->AttachToParent(middle, nullptr, nullptr));
  EPhysics* fresh = new EPhysics(middle);
  middle->SetPhysics(fresh);
  EXPECT_EQ(fresh->GetAttachParent(), parent->GetPhysics());
  EXPECT_TRUE(fresh->HasParentTrans());
  EXPECT_EQ(child->GetPhysics()->GetAttachParent(), fresh);
  EXPECT_EQ(middle->GetParentEntity(), parent);
  // Deleting the middle object detaches both links.
  middle->InternalDelayedDelete();
  EXPECT_EQ(child->GetPhysics()->GetAttachParent(), nullptr);
  EXPECT_EQ(child->GetParentEntity(), nullptr);
}

TEST_F(PhysicsWorld, MessagesBothWaysAndAnimationMoves) {
  WriteClass("test.Bump", "");
  StandRecorder* a = Make("a");
  StandRecorder* b = Make("b");
  a->SetScriptObject(vm.CreateScriptObject("test.Bump", "a", a, nullptr, false, true, false, false));
  b->SetScriptObject(vm.CreateScriptObject("test.Bump", "b", b, nullptr, false, true, false, false));
  ASSERT_TRUE(a->GetScriptObject() && b->GetScriptObject());
  const EVec3 v(1, 2, 3);
  a->GetPhysics()->SendMessage_BiDir(b, "Hit", "WasHit", &v);
  ASSERT_EQ(a->GetScriptObject()->GetMessageQueue().GetCount(), 1);
  ASSERT_EQ(b->GetScriptObject()->GetMessageQueue().GetCount(), 1);
  const EScriptMessage* ma = a->GetScriptObject()->GetMessageQueue().GetTail();
  const EScriptMessage* mb = b->GetScriptObject()->GetMessageQueue().GetTail();
  EXPECT_STREQ(ma->GetName(), "Hit");
  EXPECT_STREQ(mb->GetName(), "WasHit");
  EXPECT_EQ(ma->GetSender(), b->GetScriptObject());
  EXPECT_EQ(ma->m_aArgs[2].f, 3.0f);
  EXPECT_EQ(mb->m_aArgs[0].f, -1.0f);
  EXPECT_EQ(mb->m_aArgs[2].f, -3.0f);
  a->GetPhysics()->SendMessage_BiDir(b, "Touch", nullptr);
  EXPECT_STREQ(b->GetScriptObject()->GetMessageQueue().GetTail()->GetName(), "Touch");
  EXPECT_EQ(b->GetScriptObject()->GetMessageQueue().GetCount(), 2);
  a->DetachScript();
  b->DetachScript();

  // Animation root movement accumulates; an attached object's is turned into its parent's frame.
  EPhysics* p = a->GetPhysics();
  p->ApplyAnimTranslation(EVec3(1, 0, 0), nullptr);
  p->ApplyAnimTranslation(EVec3(0, 0, 2), nullptr);
  EXPECT_EQ(p->GetRelAnimMove(), EVec3(1, 0, 2));
  p->ZeroRelAnimMove();
  EMat4 turned = MatrixRotateY(90.0f);
  b->GetPhysics()->SetAbsTrans(turned, SRT_Rotation | SRT_Teleport);
  ASSERT_TRUE(a->AttachToParent(b, nullptr, nullptr));
  p->ApplyAnimTranslation(EVec3(1, 0, 0), nullptr);
  const EVec3 expect = turned.Transpose().Mul3Vec3(EVec3(1, 0, 0));
  EXPECT_NEAR(p->GetRelAnimMove().x, expect.x, 1e-5f);
  EXPECT_NEAR(p->GetRelAnimMove().z, expect.z, 1e-5f);
  a->DetachFromParent();
  // The animation's upward velocity is cut to 300 when it is added.
  p->SetVelocity(EVec3(0, 0, 0));
  p->AddEffectiveAnimationVelocity();
  EXPECT_EQ(p->GetVelocity(), EVec3(0, 0, 0));
}

// ---------------------------------------------------------------- constants

TEST(PhysicsConstants, DefaultsAndBoundReferences) {
  static const float kDefaults[84] = {
      0,    0.2f, 0.15f, 200,  1,     1,     290,   100,  0.8f,  0.55f, 0.15f, 500,  1500, -1500, 600,  1000, 1000,
      1000, 3000, 800,   400,  200,   -1500, -1500, 10000, 2000, 550,   90000, 1800, 500,  0,     500,  0.7f, 100,
      6000, 6000, 860,   600,  1000,  0.1f,  0.14f, 0.2f, 1,     2.5f,  300,   6,    1500, 2000,  1000, 2,    1.5f,
      -300, 600,  900,   1500, 1100,  -1200, -2900, 0.1f, 8,     500,   4000,  100,  50,   5000,  1,    5000, 0.3f,
      0.1f, 0.01f, 3,    0.4f, 1,     1000,  1000,  1000, 500,   1000,  1200,  0.9f, 0.75f, 0.4f,  6,    60};
  for (int i = 0; i < 84; i++) EXPECT_EQ(GetPhysicsConstant((PHYSICS_CONSTANT)i), kDefaults[i]) << i;
  struct Ref {
    PHYSICS_CONSTANT c;
    const float* ref;
  } refs[] = {{PHYSICS_BounceElasticity, &kPC_BounceElasticity}, {PHYSICS_GRAVITY, &kPC_GRAVITY},
              {PHYSICS_WALKABLESLOPE, &kPC_WALKABLESLOPE},       {PHYSICS_GravityMinRate, &kPC_GravityMinRate},
              {PHYSICS_180SteerSpeed, &kPC_180SteerSpeed},       {PHYSICS_Lua_please_trash_me, &kPC_Lua_please_trash_me}};
  for (const Ref& r : refs) {
    const float old = GetPhysicsConstant(r.c);
    SetPhysicsConstant(r.c, 1234.5f);
    EXPECT_EQ(*r.ref, 1234.5f) << r.c << ": a change is seen through the reference at once";
    SetPhysicsConstant(r.c, old);
    EXPECT_EQ(*r.ref, kDefaults[r.c]);
  }
}

TEST_F(PhysicsWorld, ScriptFunctionsReadAndWriteTheTable) {
  const float old = GetPhysicsConstant(PHYSICS_GRAVITY);
  ASSERT_TRUE(Run("SetPhysicsConstant(PHYSICS_GRAVITY, -750)"));
  EXPECT_EQ(Bits(kPC_GRAVITY), Bits(-750.0f));
  EXPECT_EQ(Num("GetPhysicsConstant(PHYSICS_GRAVITY)"), -750.0f);
  SetPhysicsConstant(PHYSICS_GRAVITY, old);
  EXPECT_EQ(Num("GetPhysicsConstant(1)"), 0.2f);
  const float last = GetPhysicsConstant((PHYSICS_CONSTANT)83);
  ASSERT_TRUE(Run("SetPhysicsConstant({}, 83, 12.5)"));
  EXPECT_EQ(GetPhysicsConstant((PHYSICS_CONSTANT)83), 12.5f);
  SetPhysicsConstant((PHYSICS_CONSTANT)83, last);

  struct Case {
    const char* code;
    const char* trace;
  } cases[] = {
      {"SetPhysicsConstant(84, 1)", "SetPhysicsConstant (null): invalid value"},
      {"SetPhysicsConstant(-1, 1)", "SetPhysicsConstant (null): invalid value"},
      {"SetPhysicsConstant(nil, 2)", "invalid constant (value = 2.000000)"},
      // the three-argument form whose first argument is the caller
      {"SetPhysicsConstant({}, 84, 1)", "SetPhysicsConstant (null): invalid value"},
      {"SetPhysicsConstant({}, nil, 3)", "invalid constant (value = 3.000000)"},
      {"SetPhysicsConstant(1, 2, 3, 4)", "invalid # of arguments (need 2-3)"},
      {"gGot = GetPhysicsConstant(84)", "GetPhysicsConstant (null): invalid value"},
      {"gGot = GetPhysicsConstant(-1)", "GetPhysicsConstant (null): invalid value"},
      {"gGot = GetPhysicsConstant(nil)", "GetPhysicsConstant (null): invalid argument 1"},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    ASSERT_TRUE(Run("gGot = 'untouched'"));
    ASSERT_TRUE(Run(c.code)) << c.code;
    EXPECT_EQ(CountLines(c.trace), 1) << c.code << "\n" << AllLines();
    EXPECT_EQ(Num("gGot == nil and 1 or 0") + Num("gGot == 'untouched' and 1 or 0"), 1.0f) << c.code;
  }
  for (int i = 0; i < 84; i++) EXPECT_NE(GetPhysicsConstant((PHYSICS_CONSTANT)i), 1.0f + 1e6f);
  EXPECT_EQ(GetPhysicsConstant(PHYSICS_Lua_please_trash_me), 0.0f) << "refused writes change nothing";
}

TEST(PhysicsBuckets, AllocateFreeAndTrim) {
  void* p = AllocFromBuckets(24);
  ASSERT_NE(p, nullptr);
  memset(p, 0xAB, 24);
  FreeFromBuckets(p);
  FreeFromBuckets(nullptr);
  FreeUnusedBlocksInBuckets();
}

// ---------------------------------------------------------------- sweeps

TEST_F(PhysicsWorld, StopAndBounce) {
  PhysGeo g;
  g.Floor(0);
  g.Quad(EVec3(100, 0, 0), EVec3(-1, 0, 0), EVec3(0, 400, 0), EVec3(0, 0, 2000));
  Build(g);
  struct Case {
    const char* name;
    EVec3 from, to, velocity;
    ECollideBehavior behaviour;
    EVec3 expectVelocity;
    bool bounced, walkable;
    EVec3 expectEnd;
  } cases[] = {
      {"wall bounce", EVec3(0, 50, 0), EVec3(200, 50, 0), EVec3(500, 0, 0), kCOLLIDE_Bounce, EVec3(-100, 0, 0), true,
       false, EVec3(89, 50, 0)},
      {"wall stop", EVec3(0, 50, 0), EVec3(200, 50, 0), EVec3(500, 0, 0), kCOLLIDE_Stop, EVec3(0, 0, 0), false, false,
       EVec3(89, 50, 0)},
      {"slow landing", EVec3(0, 50, 0), EVec3(0, -100, 0), EVec3(0, -200, 0), kCOLLIDE_Bounce, EVec3(0, 0, 0), false,
       true, EVec3(0, 11, 0)},
      {"hard landing", EVec3(0, 50, 0), EVec3(0, -100, 0), EVec3(0, -400, 0), kCOLLIDE_Bounce, EVec3(0, 80, 0), true,
       false, EVec3(0, 11, 0)},
  };
  EPhysics* p = Mover("ball", EVec3(0, 50, 0));
  for (const Case& c : cases) {
    EPhysics::ECollideEx x(p->GetOwner());
    x.InitSegment(c.from, c.to);
    x.m_vVelocity = c.velocity;
    EXPECT_TRUE(p->CollideWithSlide(c.behaviour, x, false)) << c.name;
    EXPECT_NEAR(x.m_vVelocity.x, c.expectVelocity.x, 1e-3f) << c.name;
    EXPECT_NEAR(x.m_vVelocity.y, c.expectVelocity.y, 1e-3f) << c.name;
    EXPECT_EQ(x.m_bBounced, c.bounced) << c.name;
    EXPECT_EQ(x.m_bWalkable, c.walkable) << c.name;
    EXPECT_NEAR((x.vEnd - c.expectEnd).Length(), 0.0f, 1e-3f) << c.name;
  }
  // The swept position of the object itself, which does not move.
  const EVec3 swept = p->FindSweptPosition(EVec3(300, 50, 0), 0);
  EXPECT_NEAR(swept.x, 89.0f, 1e-3f);
  EXPECT_EQ(p->GetAbsPosition(), EVec3(0, 50, 0));
}

// Two walls meeting along the y axis through (100, *, 100): wall A faces -x,
// wall B is turned by `angle` degrees about that line from facing -z.
void CornerWalls(PhysGeo& g, float fAngle) {
  g.Quad(EVec3(100, 0, -1000), EVec3(-1, 0, 0), EVec3(0, 2000, 0), EVec3(0, 0, 1100));
  const float r = fAngle * 0.0174532925f;
  const EVec3 n(-std::sin(r), 0, -std::cos(r));
  const EVec3 along(-std::cos(r), 0, std::sin(r));
  g.Quad(EVec3(100, 0, 100) + along * 1000.0f, n, EVec3(0, 2000, 0), along * 1001.0f);
}

TEST_F(PhysicsWorld, SlidingIntoACornerFollowsTheCrease) {
  struct Case {
    const char* name;
    float angle;  // wall B's turn; the normals meet at 90 - angle degrees
  } cases[] = {{"square corner", 0.0f}, {"narrow corner", 30.0f}};
  for (const Case& c : cases) {
    PhysGeo g;
    CornerWalls(g, c.angle);
    Build(g);
    EPhysics* p = Mover(c.name, EVec3(70, 600, 30));
    EPhysics::ECollideEx x(p->GetOwner());
    x.InitSegment(EVec3(70, 600, 30), EVec3(170, 200, 230));
    EXPECT_TRUE(p->CollideWithSlide(kCOLLIDE_Slide, x, false)) << c.name;
    // Pinned in the corner, with the downward motion left after the second wall kept whole.
    EXPECT_LT(x.vEnd.x, 90.0f) << c.name;
    EXPECT_LT(x.vEnd.y, 215.0f) << c.name;
    EXPECT_GT(x.vEnd.y, 199.0f) << c.name;
  }
}

TEST_F(PhysicsWorld, AThirdPlaneStopsTheSlide) {
  PhysGeo g;
  CornerWalls(g, 0.0f);
  // A slope under the corner that would carry the sphere away from it.
  g.Quad(EVec3(0, 450, 0), EVec3(-1, 2, -1).SafeGetNormal(), EVec3(1, 0.5f, 0) * 1000.0f, EVec3(0, 0.5f, 1) * 1000.0f);
  Build(g);
  EPhysics* p = Mover("wedge", EVec3(70, 700, 60));
  EPhysics::ECollideEx x(p->GetOwner());
  x.InitSegment(EVec3(70, 700, 60), EVec3(170, 300, 160));
  EXPECT_TRUE(p->CollideWithSlide(kCOLLIDE_Slide, x, false));
  EXPECT_GT(x.vEnd.x, 85.0f) << "still in the corner";
  EXPECT_GT(x.vEnd.z, 85.0f) << "still in the corner";
  EXPECT_GT(x.vEnd.y, 540.0f) << "stopped on the slope";
  EXPECT_LT(x.vEnd.y, 580.0f) << "after following the crease down";
}

TEST_F(PhysicsWorld, StairStepsUpToTheStepHeight) {
  struct Case {
    float height;
    bool climbed;
  } cases[] = {{40.0f, true}, {50.0f, false}};
  for (const Case& c : cases) {
    PhysGeo g;
    g.Floor(0);
    g.Quad(EVec3(100, c.height * 0.5f, 0), EVec3(-1, 0, 0), EVec3(0, c.height * 0.5f, 0), EVec3(0, 0, 500));
    g.Quad(EVec3(300, c.height, 0), EVec3(0, 1, 0), EVec3(200, 0, 0), EVec3(0, 0, 500));
    Build(g);
    EPhysics* p = Mover("stepper", EVec3(50, 11, 0));
    EPhysics::ECollideEx x(p->GetOwner());
    x.InitSegment(EVec3(50, 11, 0), EVec3(150, 11, 0));
    ASSERT_TRUE(p->CollideWithSlide(kCOLLIDE_Stop, x, false)) << "the step face blocks the walk";
    EPhysics::ECollideEx step(x);
    EXPECT_EQ(p->Collide_TryStairStep(step, EVec3(50, 11, 0), EVec3(150, 11, 0)), c.climbed) << c.height;
    if (c.climbed) {
      EXPECT_NEAR(step.vEnd.y, c.height + 11.0f, 1e-3f);
    }
  }
}

TEST_F(PhysicsWorld, GroundProbeSnapsDropsAndRecords) {
  PhysGeo g;
  g.Floor(0, kSurfacePhysical | kSurfaceWater);
  Build(g);
  struct Case {
    const char* name;
    float y;
    bool wasOnGround;
    bool snapped;
    float endY, velY, dist;
  } cases[] = {
      {"snap within 45", 55.0f, true, true, 11.0f, 0.0f, 44.0f},
      {"ledge beyond 45", 57.0f, true, false, 39.0f, -540.0f, 46.0f},
      {"not on ground before", 55.0f, false, false, 55.0f, -10.0f, 44.0f},
  };
  for (const Case& c : cases) {
    EPhysics* p = Mover(c.name, EVec3(0, c.y, 0));
    p->SetFlag(PHYSICS_APPLYGRAVITY, true);
    p->SetVelocity(EVec3(100, -10, 0));
    EPhysics::ECollideEx x(p->GetOwner());
    EVec3 pos(0, c.y, 0);
    EXPECT_EQ(p->Collide_FindGround(c.wasOnGround, pos, x), c.snapped) << c.name;
    EXPECT_NEAR(pos.y, c.endY, 1e-3f) << c.name;
    EXPECT_NEAR(p->GetVelocity().y, c.velY, 1e-3f) << c.name;
    EXPECT_EQ(p->GetVelocity().x, 100.0f) << c.name;
    EXPECT_NEAR(p->GetGroundDist(), c.dist, 1e-3f) << c.name;
    EXPECT_EQ(p->GetGroundPlaneNormal(), EVec3(0, 1, 0)) << c.name;
    EXPECT_EQ(p->GetGroundFlags(), (uint32_t)(kSurfacePhysical | kSurfaceWater)) << c.name;
    EXPECT_EQ(p->GetStateFlag(PHYSICSSTATE_ONGROUND), c.snapped) << c.name;
    EXPECT_EQ(p->GetStateFlag(PHYSICSSTATE_HITWATER), c.snapped) << c.name;
    p->SetFlag(PHYSICS_APPLYGRAVITY, false);
  }
  // Climbing forbids the snap: the probe only records.
  EPhysics* climber = Mover("climber", EVec3(0, 30, 0));
  climber->SetFlag(PHYSICS_APPLYGRAVITY, true);
  climber->SetStateFlag(PHYSICSSTATE_CLIMBING);
  EPhysics::ECollideEx x(climber->GetOwner());
  EVec3 pos(0, 30, 0);
  EXPECT_FALSE(climber->Collide_FindGround(true, pos, x));
  EXPECT_EQ(pos, EVec3(0, 30, 0));
  climber->SetFlag(PHYSICS_APPLYGRAVITY, false);
}

TEST_F(PhysicsWorld, GroundProbeWithoutGround) {
  PhysGeo g;
  g.Floor(-5000);
  Build(g);
  EPhysics* p = Mover("falling", EVec3(0, 0, 0));
  EMat4 tilted = MatrixRotateX(20.0f);
  p->SetAbsTrans(tilted, SRT_Rotation | SRT_Teleport);
  EPhysics::ECollideEx x(p->GetOwner());
  EVec3 pos(0, 0, 0);
  EXPECT_FALSE(p->Collide_FindGround(false, pos, x));
  EXPECT_EQ(Bits(p->GetGroundDist()), 0x7F7FFFFFu);
  EXPECT_EQ(p->GetGroundPlaneNormal(), Row(tilted, 1));
  EXPECT_EQ(p->GetGroundFaceNormal(), Row(tilted, 1));
  EXPECT_EQ(p->GetGroundFlags(), 0u);
  EXPECT_EQ(pos, EVec3(0, 0, 0));
}

TEST_F(PhysicsWorld, TriggerSurfaceArrivesWhenTheTriggerNumberChanges) {
  PhysGeo g;
  g.Floor(0, kSurfacePhysical | (3u << kSurfaceTriggerShift));
  g.Floor(-200, kSurfacePhysical);
  Build(g);
  WriteClass("test.Walker", "");
  EPhysics* p = Mover("walker", EVec3(0, 30, 0));
  EEntity* e = p->GetOwner();
  e->SetScriptObject(vm.CreateScriptObject("test.Walker", "walker", e, nullptr, false, true, false, false));
  ASSERT_NE(e->GetScriptObject(), nullptr);
  auto& queue = e->GetScriptObject()->GetMessageQueue();
  struct Step {
    float y;
    int count;
    int newTrigger, oldTrigger;
  } steps[] = {{30, 1, 3, 0}, {30, 1, 3, 0}, {-100, 2, 0, 3}};
  for (const Step& s : steps) {
    EPhysics::ECollideEx x(e);
    EVec3 pos(0, s.y, 0);
    p->Collide_FindGround(false, pos, x);
    ASSERT_EQ(queue.GetCount(), s.count) << s.y;
    const EScriptMessage* m = queue.GetTail();
    EXPECT_STREQ(m->GetName(), "TriggerSurface");
    EXPECT_STREQ(m->GetLetters(), "ii");
    EXPECT_EQ(m->m_aArgs[0].i, s.newTrigger);
    EXPECT_EQ(m->m_aArgs[1].i, s.oldTrigger);
  }
  e->DetachScript();
}

TEST_F(PhysicsWorld, WalkabilityBySlopeAndSurface) {
  struct Case {
    const char* name;
    float slope;  // degrees from level
    uint32_t flags;
    float walkableSlope;
    bool walkable;
    bool onGround;
  } cases[] = {
      {"level", 0, 0, 0.7f, true, true},
      {"gentle", 40, 0, 0.7f, true, true},
      {"steep", 60, 0, 0.7f, false, true},
      {"steep grippy", 80, kSurfaceGrippy, 0.7f, true, true},
      {"level slippery", 0, kSurfaceSlippery, 0.7f, false, true},
      {"level cantilever", 0, kSurfaceCantilever, 0.7f, false, false},
      {"gentle under a stricter slope", 40, 0, 0.8f, false, true},
      {"wall-like", 85, 0, 0.7f, false, false},
  };
  const float old = GetPhysicsConstant(PHYSICS_WALKABLESLOPE);
  for (const Case& c : cases) {
    SetPhysicsConstant(PHYSICS_WALKABLESLOPE, c.walkableSlope);
    const float r = c.slope * 0.0174532925f;
    const EVec3 n(std::sin(r), std::cos(r), 0);
    PhysGeo g;
    g.Quad(EVec3(0, 0, 0), n, EVec3(std::cos(r), -std::sin(r), 0) * 3000.0f, EVec3(0, 0, 3000),
           kSurfacePhysical | c.flags);
    Build(g);
    EPhysics* p = Mover(c.name, EVec3(0, 100, 0));
    EPhysics::ECollideEx x(p->GetOwner());
    x.InitSegment(EVec3(0, 100, 0), EVec3(0, -100, 0));
    ASSERT_TRUE(p->CollideWithSlide(kCOLLIDE_Stop, x, false)) << c.name;
    EXPECT_EQ(x.m_bWalkable, c.walkable) << c.name;
    EXPECT_EQ(x.m_bOnGround, c.onGround) << c.name;
  }
  SetPhysicsConstant(PHYSICS_WALKABLESLOPE, old);
}

TEST_F(PhysicsWorld, TurningTowardGravity) {
  EPhysics* p = Mover("turner", EVec3(10, 20, 30));
  const ESphere s(EVec3(0, 20, 0), 10.0f);
  p->SetCollision(&s, 1);
  p->SetFlag(PHYSICS_ORIENTTOGRAVITY | PHYSICS_APPLYGRAVITY, true);
  // Nearly aligned: snapped exactly.
  const EVec3 close = MatrixRotateZ(0.5f).Mul3Vec3(EVec3(0, 1, 0));
  p->SetGravityDir(close);
  EMat4 m = p->GetAbsTrans();
  ASSERT_TRUE(p->InterpolateOrientation(1.0f / 30.0f, m));
  EXPECT_EQ(Row(m, 1), close);
  EXPECT_EQ(m.GetTranslation(), EVec3(10, 20, 30));
  // Thirty degrees away: six degrees in a thirtieth of a second, about the spheres' bottom.
  const EVec3 far = MatrixRotateZ(30.0f).Mul3Vec3(EVec3(0, 1, 0));
  p->SetGravityDir(far);
  p->SetVelocity(EVec3(0, 100, 0));
  m = p->GetAbsTrans();
  ASSERT_TRUE(p->InterpolateOrientation(1.0f / 30.0f, m));
  const EVec3 up = Row(m, 1);
  EXPECT_NEAR(AngleDeg(up, EVec3(0, 1, 0)), 6.0f, 0.05f);
  EXPECT_NEAR(AngleDeg(up, far), 24.0f, 0.05f);
  const EVec3 pivot = EVec3(10, 20, 30) + EVec3(0, 10, 0);
  EXPECT_NEAR((m.GetTranslation() + up * 10.0f - pivot).Length(), 0.0f, 1e-3f);
  EXPECT_NEAR(AngleDeg(p->GetVelocity(), up), 0.0f, 0.05f) << "the velocity turns with the object";
  // Without both flags nothing turns.
  p->SetFlag(PHYSICS_ORIENTTOGRAVITY, false);
  EXPECT_FALSE(p->InterpolateOrientation(1.0f / 30.0f, m));
}

TEST_F(PhysicsWorld, SafePositionsAndSphereCounts) {
  PhysGeo g;
  g.Floor(0);
  Build(g);
  EPhysics* p = Mover("settler", EVec3(0, 20, 0));
  const ESphere two[2] = {ESphere(EVec3(0, 0, 0), 10.0f), ESphere(EVec3(0, -15, 0), 10.0f)};
  p->SetCollision(two, 2);
  p->SetNumCollideSpheres(1);
  // The second sphere reaches 5 units into the floor: the object is lifted free.
  EXPECT_TRUE(p->SafeSetNumCollideSpheres(2));
  EXPECT_EQ(p->GetNumCollideSpheres(), 2);
  EXPECT_GE(p->GetAbsPosition().y, 25.0f);
  EXPECT_FALSE(p->PointCheck(p->GetAbsTrans(), nullptr, nullptr));
  // A sphere sunk 35 units deep is refused and the count kept.
  const ESphere deep[2] = {ESphere(EVec3(0, 0, 0), 10.0f), ESphere(EVec3(0, -25, 0), 30.0f)};
  p->SetAbsPosition(EVec3(0, 20, 0), true);
  p->SetCollision(deep, 2);
  p->SetNumCollideSpheres(1);
  EXPECT_FALSE(p->SafeSetNumCollideSpheres(2));
  EXPECT_EQ(p->GetNumCollideSpheres(), 1);
  EXPECT_EQ(p->GetAbsPosition(), EVec3(0, 20, 0));
  // A smaller count is always taken.
  EXPECT_TRUE(p->SafeSetNumCollideSpheres(0));
}

TEST_F(PhysicsWorld, DebugCheckReportsAnObjectPutIntoTheFloor) {
  PhysGeo g;
  g.Floor(0);
  Build(g);
  EPhysics* p = Mover("Sinker", EVec3(0, 5, 0));
  p->DebugCheckCollision("SetPosition %d", 1);
  EXPECT_EQ(CountLines("fell"), 0) << "only with the debug and collider flags";
  p->SetFlag(PHYSICS_DEBUGCOLLISION | PHYSICS_COLLIDER, true);
  p->DebugCheckCollision("SetPosition %d", 7);
  EXPECT_EQ(CountLines("***** Sinker fell "), 1) << AllLines();
  EXPECT_EQ(CountLines(" units out of the world.  Cause is:"), 1);
  EXPECT_EQ(CountLines("SetPosition 7"), 1);
  EXPECT_GE(p->GetAbsPosition().y, 11.0f);
  m_Lines.clear();
  p->DebugCheckCollision("SetPosition %d", 8);
  EXPECT_EQ(CountLines("fell"), 0) << "a free object stays put";
}

// ---------------------------------------------------------------- the frame step


TEST_F(PhysicsWorld, FallingFromRestFollowsGravityMovingBeforeItAccelerates) {
  struct {
    float fGravity;
    float fDrop;
  } cases[] = {{-1500.0f, 75.0f}, {-750.0f, 37.5f}};
  const float fOld = GetPhysicsConstant(PHYSICS_GRAVITY);
  for (const auto& c : cases) {
    SetPhysicsConstant(PHYSICS_GRAVITY, c.fGravity);
    EPhysics* p = Mover("dropped", EVec3(0, 500, 0));
    p->SetFlag(PHYSICS_APPLYGRAVITY, true);
    for (int i = 0; i < 10; i++) p->ProcessFrame(1.0f / 30.0f);
    EXPECT_NEAR(p->GetAbsPosition().y, 500.0f - c.fDrop, 1e-3f) << c.fGravity;
    EXPECT_NEAR(p->GetVelocity().y, c.fGravity / 3.0f, 1e-3f) << c.fGravity;
    p->SetFlag(PHYSICS_APPLYGRAVITY, false);
  }
  SetPhysicsConstant(PHYSICS_GRAVITY, fOld);
}

TEST_F(PhysicsWorld, AFallingColliderLandsOnWalkableGround) {
  PhysGeo g;
  g.Floor(0);
  Build(g);
  EPhysics* p = Mover("lander", EVec3(0, 100, 0));
  p->SetFlag(PHYSICS_COLLIDER | PHYSICS_APPLYGRAVITY, true);
  for (int i = 0; i < 40; i++) p->ProcessFrame(1.0f / 30.0f);
  EXPECT_TRUE(p->GetStateFlag(PHYSICSSTATE_ONGROUND));
  EXPECT_TRUE(p->GetStateFlag(PHYSICSSTATE_ONWALKABLEGROUND));
  EXPECT_NEAR(p->GetAbsPosition().y, 10.5f, 1.0f) << "resting on the floor";
  // A walking velocity moves it once and is then dropped by the ground move.
  p->SetVelocity(EVec3(300, 0, 0));
  const float x = p->GetAbsPosition().x;
  p->ProcessFrame(1.0f / 30.0f);
  p->ProcessFrame(1.0f / 30.0f);
  EXPECT_NEAR(p->GetAbsPosition().x, x + 10.0f, 1e-3f);
  EXPECT_EQ(p->GetVelocity().x, 0.0f);
  p->SetFlag(PHYSICS_APPLYGRAVITY, false);
}

TEST_F(PhysicsWorld, GroundMovesBrakeOrSlideByTheSurface) {
  EPhysics* p = Mover("standing", EVec3(0, 0, 0));
  p->SetFlag(PHYSICS_APPLYGRAVITY, true);
  // Steep ground: four gravities' worth after one frame.
  p->SetStateFlag(PHYSICSSTATE_ONGROUND);
  p->ProcessFrame(1.0f / 30.0f);
  EXPECT_NEAR(p->GetVelocity().y, -200.0f, 1e-3f);
  EXPECT_EQ(p->GetVelocity().x, 0.0f);
  // Walkable ground: a handed-over animation velocity is braked without reversing.
  p->SetVelocity(EVec3(0, 0, 0));
  p->SetStateFlag(PHYSICSSTATE_ONWALKABLEGROUND);
  p->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(p->GetVelocity(), EVec3(0, 0, 0));
  p->SetFlag(PHYSICS_APPLYGRAVITY, false);
}

TEST_F(PhysicsWorld, StepsThatDoNothing) {
  StandRecorder* ignored = Make("ignored");
  // No physics and no children: not even Begin runs (the ignore timer stays).
  EPhysics* still = Mover("still", EVec3(1, 2, 3));
  still->SetFlag(PHYSICS_NOPHYSICS | PHYSICS_APPLYGRAVITY, true);
  still->SetCollideIgnoreEntity(ignored, 0.01f);
  still->SetVelocity(EVec3(0, -100, 0));
  still->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(still->GetCollideIgnoreEntity(), ignored);
  EXPECT_EQ(still->GetAbsPosition(), EVec3(1, 2, 3));
  // The same without NOPHYSICS runs Begin, which lets the ignored entity go.
  still->SetFlag(PHYSICS_NOPHYSICS, false);
  still->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(still->GetCollideIgnoreEntity(), nullptr);
  still->SetFlag(PHYSICS_APPLYGRAVITY, false);

  // An attached collider never steps itself.
  EPhysics* parent = Mover("parent", EVec3(0, 0, 0));
  EPhysics* child = Mover("child", EVec3(50, 0, 0));
  child->SetFlag(PHYSICS_COLLIDER | PHYSICS_APPLYGRAVITY, true);
  ASSERT_TRUE(child->AttachToParent(parent, nullptr, nullptr));
  child->SetVelocity(EVec3(0, 100, 0));
  child->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(child->GetAbsPosition(), EVec3(50, 0, 0));
  EXPECT_EQ(child->GetVelocity(), EVec3(0, 100, 0));
  // Its NOPHYSICS parent still carries it along.
  parent->SetFlag(PHYSICS_NOPHYSICS, true);
  EMat4 m = parent->GetAbsTrans();
  m.SetTranslation(EVec3(0, 0, 30));
  parent->SetAbsTrans(m, SRT_Position | SRT_Teleport);
  parent->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(child->GetAbsPosition(), EVec3(50, 0, 30));
  child->DetachFromParent();
  child->SetFlag(PHYSICS_APPLYGRAVITY, false);
}

TEST_F(PhysicsWorld, ASphereMoverIsTracedOnceAndThenMovesAsAnyObject) {
  EPhysics* p = Mover("wrongmover", EVec3(0, 0, 0));
  p->SetFlag(PHYSICS_MOVINGGEOMETRY, true);
  m_Lines.clear();
  p->SetVelocity(EVec3(30, 0, 0));
  p->ProcessFrame(1.0f / 30.0f);
  p->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(CountLines("wrongmover: Non-triangle entity treated as mover!"), 1);
  EXPECT_FALSE(p->GetFlag(PHYSICS_MOVINGGEOMETRY));
  EXPECT_NEAR(p->GetAbsPosition().x, 2.0f, 1e-5f);
}

// ---------------------------------------------------------------- platforms

TEST_F(PhysicsWorld, APlatformCarriesItsPassengerUpright) {
  struct {
    const char* what;
    EMat4 turn;
    EVec3 move;
  } cases[] = {{"slide", EMat4(), EVec3(40, 0, 0)},
               {"yaw", MatrixRotateY(90.0f), EVec3(0, 0, 0)},
               {"tilt", MatrixRotateX(30.0f), EVec3(0, 10, 0)}};
  for (const auto& c : cases) {
    StandRecorder* platform = Solid("platform");
    StandRecorder* rider = Make("rider");
    EPhysics* P = platform->GetPhysics();
    EPhysics* R = rider->GetPhysics();
    R->SetAbsPosition(EVec3(100, 20, 0), true);
    R->SetBase(P, false);
    EMat4 m = c.turn;
    m.SetTranslation(c.move);
    ASSERT_TRUE(P->SetAbsTrans(m, SRT_Position | SRT_Rotation | SRT_Sweep)) << c.what;
    const EVec3 expect = m.TransformPoint(EVec3(100, 20, 0));
    EXPECT_NEAR((R->GetAbsPosition() - expect).Length(), 0.0f, 1e-3f) << c.what;
    EXPECT_NEAR(R->GetUp().y, 1.0f, 1e-5f) << c.what << ": the passenger stays upright";
    // Its forward turns by the platform's yaw alone.
    EVec3 f = m.Mul3Vec3(EVec3(0, 0, 1));
    f.y = 0.0f;
    f = f.SafeGetNormal();
    EXPECT_NEAR(R->GetForward().Dot(-f), 1.0f, 1e-4f) << c.what;
    R->SetBase(nullptr, false);
  }
}

TEST_F(PhysicsWorld, ATeleportLeavesPassengersAndKeepsTheGroupMask) {
  StandRecorder* platform = Solid("platform");
  StandRecorder* rider = Make("rider");
  EPhysics* P = platform->GetPhysics();
  EPhysics* R = rider->GetPhysics();
  R->SetAbsPosition(EVec3(0, 20, 0), true);
  R->SetBase(P, false);
  P->SetNavGroup(3);
  P->SetNavInfo(2, 7);
  EXPECT_TRUE(P->SetAbsPosition(EVec3(500, 0, 0), true));
  EXPECT_EQ(R->GetAbsPosition(), EVec3(0, 20, 0));
  unsigned nMesh = 0, nPoly = 0;
  P->GetNavInfo(nMesh, nPoly);
  EXPECT_EQ(nMesh, 255u);
  EXPECT_EQ(P->GetNavInfoRecord().nGroupMask, (1u << 3) | 1u);
  R->SetBase(nullptr, false);
}

// ---------------------------------------------------------------- attachment

TEST_F(PhysicsWorld, AttachingKeepsOrSetsThePlacementAndRefusesASecondParent) {
  EPhysics* parent = Mover("parent", EVec3(100, 0, 0));
  EPhysics* other = Mover("other", EVec3(0, 0, 0));
  parent->SetAbsRotation(MatrixRotateY(90.0f), true);
  EPhysics* kept = Mover("kept", EVec3(10, 20, 30));
  const EMat4 before = kept->GetAbsTrans();
  ASSERT_TRUE(kept->AttachToParent(parent, nullptr, nullptr));
  for (int i = 0; i < 16; i++) EXPECT_NEAR(kept->GetAbsTrans().m[i], before.m[i], 1e-4f) << i;
  EMat4 rel = MatrixTranslate(EVec3(0, 0, 50));
  EPhysics* placed = Mover("placed", EVec3(0, 0, 0));
  ASSERT_TRUE(placed->AttachToParent(parent, &rel, nullptr));
  const EVec3 want = parent->GetAbsTrans().TransformPoint(EVec3(0, 0, 50));
  EXPECT_NEAR((placed->GetAbsPosition() - want).Length(), 0.0f, 1e-3f);
  EXPECT_EQ(parent->GetFirstChild(), placed) << "the newest child comes first";
  EXPECT_EQ(placed->GetNextSibling(), kept);

  m_Lines.clear();
  EXPECT_TRUE(kept->AttachToParent(parent, nullptr, nullptr)) << "the same parent again";
  EXPECT_TRUE(m_Lines.empty());
  EXPECT_FALSE(kept->AttachToParent(other, nullptr, nullptr));
  EXPECT_EQ(CountLines("<kept> already has a parent <parent>; ignoring <other>"), 1);
  EPhysics* jointless = Mover("jointless", EVec3(0, 0, 0));
  EXPECT_TRUE(jointless->AttachToParent(parent, nullptr, "Hand"));
  EXPECT_EQ(CountLines("Couldn't find joint <Hand> on <parent."), 1);
  EXPECT_FALSE(jointless->IsAttachedToJoint());

  // The parent carries its children; a detached child flies on with the parent's motion.
  parent->SetVelocity(EVec3(5, 0, 0));
  parent->SetAbsPosition(EVec3(100, 0, 40), false);
  EXPECT_NEAR((placed->GetAbsPosition() - parent->GetAbsTrans().TransformPoint(EVec3(0, 0, 50))).Length(), 0.0f,
              1e-3f);
  placed->DetachFromParent();
  EXPECT_EQ(placed->GetVelocity(), EVec3(5, 0, 0));
  EXPECT_FALSE(placed->HasParentTrans());
  parent->DetachAllChildren();
  EXPECT_EQ(parent->GetFirstChild(), nullptr);
  EXPECT_EQ(kept->GetOwner()->GetParentEntity(), nullptr);
}

// ---------------------------------------------------------------- touches and pushing

TEST_F(PhysicsWorld, TouchesSendNewAndExitMessagesAndKeepTwo) {
  WriteClass("test.Toucher", "");
  StandRecorder* a = Make("a");
  StandRecorder* others[3] = {Make("b"), Make("c"), Make("d")};
  a->SetScriptObject(vm.CreateScriptObject("test.Toucher", "a", a, nullptr, false, true, false, false));
  for (StandRecorder* e : {a, others[0], others[1], others[2]}) e->SetTransientFlag(ENTITYTRANSIENT_SIMULATED, true);
  EMemMark frame(*GetThreadLocalStack());
  g_pAffectorMark = &frame;
  EPhysics* p = a->GetPhysics();
  auto Names = [&]() {
    std::string s;
    EList<EScriptMessage*>& q = a->GetScriptObject()->GetMessageQueue();
    for (POSITION pos = q.GetHeadPosition(); pos;) s += std::string(q.GetNext(pos)->GetName()) + ";";
    return s;
  };
  // Frame 1: three touch at once; the third is dropped.
  for (StandRecorder* e : others) p->InsertTouch(e, EVec3(0, 1, 0));
  EPhysics::StaticPostProcess();
  EXPECT_EQ(p->GetNumTouching(), 2);
  EXPECT_TRUE(p->GetFlag(PHYSICS_HASTOUCHES));
  EXPECT_EQ(Names(), "NewMoveCollide;NewMoveCollide;");
  EXPECT_EQ(a->GetScriptObject()->GetMessageQueue().GetHead()->m_aArgs[1].f, 1.0f);
  // Frame 2: the same two continue: nothing new.
  p->ProcessFrame(0.0f);
  p->InsertTouch(p->GetTouching(0), EVec3(0, 1, 0));
  p->InsertTouch(p->GetTouching(1), EVec3(0, 1, 0));
  EPhysics::StaticPostProcess();
  EXPECT_EQ(a->GetScriptObject()->GetMessageQueue().GetCount(), 2);
  // Frame 3: no touches: both exit.
  p->ProcessFrame(0.0f);
  EPhysics::StaticPostProcess();
  EXPECT_EQ(Names(), "NewMoveCollide;NewMoveCollide;NewMoveCollideExit;NewMoveCollideExit;");
  EXPECT_EQ(p->GetNumTouching(), 0);
  EXPECT_FALSE(p->GetFlag(PHYSICS_HASTOUCHES));
  g_pAffectorMark = nullptr;
  a->DetachScript();
}

TEST_F(PhysicsWorld, PushLevelsDecideWhoPushesWhom) {
  struct {
    unsigned pusher, pushed;
    bool bCan;
  } cases[] = {{3, 1, true}, {3, 2, true}, {3, 3, true}, {2, 1, true}, {2, 2, false},
               {2, 3, false}, {0, 1, false}, {1, 0, false}, {1, 1, true}};
  EPhysics* a = Mover("pusher", EVec3(0, 0, 0));
  EPhysics* b = Mover("pushed", EVec3(100, 0, 0));
  b->SetFlag(PHYSICS_COLLIDER, true);
  for (const auto& c : cases) {
    a->SetPushParams(c.pusher, 100);
    b->SetPushParams(c.pushed, 100);
    EXPECT_EQ(a->CanPush(b), c.bCan) << c.pusher << " vs " << c.pushed;
  }
  a->SetPushParams(3, 100);
  b->SetPushParams(1, 100);
  EPhysics* parent = Mover("parent", EVec3(0, 0, 0));
  ASSERT_TRUE(b->AttachToParent(parent, nullptr, nullptr));
  EXPECT_FALSE(a->CanPush(b)) << "attached objects are never pushed";
  b->DetachFromParent();
  b->SetVelocity(EVec3(0, 0, 0));

  WriteClass("test.Pushed", "");
  b->GetOwner()->SetScriptObject(vm.CreateScriptObject("test.Pushed", "pushed", b->GetOwner(), nullptr, false, true,
                                                       false, false));
  b->onPushed(a, EVec3(1, 0, 0), 1000.0f);
  EXPECT_NEAR(b->GetAbsPosition().x, 100.0f + 100.0f / 30.0f, 1e-3f) << "at most push speed times dt";
  // "Pushed" is delivered at once rather than queued.
  EXPECT_EQ(b->GetOwner()->GetScriptObject()->GetMessageQueue().GetCount(), 0);
  b->GetOwner()->DetachScript();
}

TEST_F(PhysicsWorld, CubeGravityPullsTowardTheBox) {
  const EBox3 box(EVec3(-100, -100, -100), EVec3(100, 100, 100));
  const float k = 0.70710677f;
  struct {
    const char* what;
    EVec3 p, g0;
    float radius;
    EVec3 g;
  } cases[] = {
      {"face", EVec3(0, 300, 0), EVec3(0, 1, 0), 50, EVec3(0, 1, 0)},
      {"side face", EVec3(300, 0, 0), EVec3(0, 1, 0), 50, EVec3(1, 0, 0)},
      {"edge, aligned, outside radius", EVec3(200, 200, 0), EVec3(0, 1, 0), 50, EVec3(0, 1, 0)},
      {"edge, aligned, inside radius", EVec3(110, 110, 0), EVec3(0, 1, 0), 50, EVec3(k, k, 0)},
      {"edge, not aligned", EVec3(200, 200, 0), EVec3(0.6f, 0.8f, 0), 0, EVec3(k, k, 0)},
      {"corner", EVec3(200, 200, 200), EVec3(0, 1, 0), 0, EVec3(0.57735026f, 0.57735026f, 0.57735026f)},
      {"inside", EVec3(0, 0, 0), EVec3(0, 0, 1), 50, EVec3(0, 0, 1)},
  };
  EPhysics* p = Mover("orbiter", EVec3(0, 0, 0));
  p->SetFlag(PHYSICS_APPLYGRAVITY | PHYSICS_ORIENTTOGRAVITY, true);
  EPhysics* q = Mover("plain", EVec3(0, 300, 0));
  q->SetFlag(PHYSICS_APPLYGRAVITY, true);
  for (const auto& c : cases) {
    p->SetAbsPosition(c.p, true);
    p->SetGravityDir(c.g0);
    q->SetGravityDir(EVec3(0, 0, 1));
    EPhysics::DoCubeGravity(box, c.radius);
    EXPECT_NEAR((p->GetGravityDir() - c.g).Length(), 0.0f, 1e-5f) << c.what;
    EXPECT_EQ(q->GetGravityDir(), EVec3(0, 0, 1)) << "only orient-to-gravity objects";
  }
  p->SetFlag(PHYSICS_APPLYGRAVITY | PHYSICS_ORIENTTOGRAVITY, false);
  q->SetFlag(PHYSICS_APPLYGRAVITY, false);
}

// ---------------------------------------------------------------- determinism


class PhysicsScene : public PhysicsWorld {
public:
  // Mixed spheres with gravity and push levels, some sliding, some thrown at each other.
  std::vector<EPhysics*> MakeMixed(int n) {
    std::vector<EPhysics*> v;
    for (int i = 0; i < n; i++) {
      std::string name = "obj" + std::to_string(i);
      EPhysics* p = Make(name.c_str())->GetPhysics();
      const float r = 8.0f + (float)(i % 4) * 3.0f;
      ESphere s[2] = {ESphere(EVec3(0, 0, 0), r), ESphere(EVec3(0, r, 0), r * 0.5f)};
      p->SetCollision(s, i % 3 == 0 ? 2 : 1);
      p->SetFlag(PHYSICS_COLLIDEE | PHYSICS_COLLIDER | PHYSICS_APPLYGRAVITY, true);
      if (i % 2) p->SetFlag(PHYSICS_SLIDEONCOLLIDE, true);
      p->SetPushParams((unsigned)(i % 4), 200);
      p->SetAbsPosition(EVec3((float)((i * 37) % 400) - 200.0f, 30.0f + (float)(i % 7) * 25.0f,
                              (float)((i * 53) % 400) - 200.0f),
                        true);
      p->SetVelocity(EVec3((float)((i * 17) % 9) * 40.0f - 160.0f, 0.0f, (float)((i * 29) % 7) * 50.0f - 150.0f));
      v.push_back(p);
    }
    // A few ride on others.
    for (int i = 1; i < n; i += 10) v[i]->SetBase(v[i - 1], false);
    return v;
  }

  // Positions and velocities of every object, bit for bit, after every frame.
  std::vector<uint32_t> RunScene(int nFrames) {
    std::vector<EPhysics*> objs = MakeMixed(50);
    std::vector<uint32_t> out;
    for (int f = 0; f < nFrames; f++) {
      for (EPhysics* p : objs) p->ProcessFrame(1.0f / 30.0f);
      EPhysics::StaticPostProcess();
      for (EPhysics* p : objs) {
        const EVec3& x = p->GetAbsPosition();
        const EVec3& v = p->GetVelocity();
        for (float c : {x.x, x.y, x.z, v.x, v.y, v.z}) out.push_back(Bits(c));
      }
    }
    for (EPhysics* p : objs) {
      p->SetBase(nullptr, false);
      p->SetFlag(PHYSICS_APPLYGRAVITY | PHYSICS_COLLIDER | PHYSICS_COLLIDEE, false);
      p->SetAbsPosition(EVec3(0, -100000, 0), true);
    }
    return out;
  }
};

TEST_F(PhysicsScene, TheSameSceneGivesBitIdenticalFrames) {
  PhysGeo g;
  g.Floor(0);
  g.Quad(EVec3(300, 100, 0), EVec3(-1, 0, 0), EVec3(0, 100, 0), EVec3(0, 0, 400));
  g.Quad(EVec3(-300, 100, 0), EVec3(1, 0, 0), EVec3(0, 100, 0), EVec3(0, 0, 400));
  Build(g);
  const std::vector<uint32_t> a = RunScene(600);
  const std::vector<uint32_t> b = RunScene(600);
  ASSERT_EQ(a.size(), b.size());
  size_t nDiff = 0;
  for (size_t i = 0; i < a.size(); i++) nDiff += a[i] != b[i];
  EXPECT_EQ(nDiff, 0u);
}

TEST_F(PhysicsWorld, AStuckPassengerRollsThePlatformBackUnlessForced) {
  // A passenger squeezed between a floor and a ceiling has no free place to go.
  PhysGeo g;
  g.Floor(0);
  g.Quad(EVec3(0, 15, 0), EVec3(0, -1, 0), EVec3(2000, 0, 0), EVec3(0, 0, 2000));
  Build(g);
  for (bool bForce : {false, true}) {
    StandRecorder* platform = Solid("platform");
    EPhysics* P = platform->GetPhysics();
    P->SetAbsPosition(EVec3(0, -500, 0), true);
    EPhysics* R = Mover("squeezed", EVec3(0, 7.5f, 0));
    R->SetFlag(PHYSICS_COLLIDER | PHYSICS_COLLIDEE, true);
    R->SetBase(P, false);
    const EMat4 rBefore = R->GetAbsTrans();
    EMat4 m = P->GetAbsTrans();
    m.SetTranslation(EVec3(20, -500, 0));
    EXPECT_EQ(P->SetRelTrans(m, SRT_Position | SRT_Sweep, bForce), bForce);
    if (bForce) {
      EXPECT_EQ(P->GetAbsPosition(), EVec3(20, -500, 0));
    } else {
      EXPECT_EQ(P->GetAbsPosition(), EVec3(0, -500, 0)) << "the platform stays";
      EXPECT_EQ(R->GetAbsTrans(), rBefore) << "the passenger is put back";
    }
    R->SetBase(nullptr, false);
    R->SetFlag(PHYSICS_COLLIDER | PHYSICS_COLLIDEE, false);
  }
}

TEST_F(PhysicsWorld, ForcedMovesPassThroughWallsAndUnforcedOnesStop) {
  PhysGeo g;
  g.Quad(EVec3(100, 0, 0), EVec3(-1, 0, 0), EVec3(0, 500, 0), EVec3(0, 0, 500));
  Build(g);
  EPhysics* a = Mover("runner", EVec3(0, 0, 0));
  a->SetFlag(PHYSICS_COLLIDER, true);
  a->MoveToPosition(EVec3(300, 0, 0), false);
  a->ProcessFrame(1.0f / 30.0f);
  EXPECT_LT(a->GetAbsPosition().x, 100.0f);
  EXPECT_TRUE(a->CollidedWithDomain());
  EXPECT_TRUE(a->GetStateFlag(PHYSICSSTATE_COLLIDED));
  a->MoveToPosition(EVec3(300, 0, 0), true);
  a->ProcessFrame(1.0f / 30.0f);
  EXPECT_EQ(a->GetAbsPosition(), EVec3(300, 0, 0));
  EXPECT_FALSE(a->CollidedWithDomain()) << "a forced move never counts as a collision";
  EXPECT_FALSE(a->GetFlag(PHYSICS_MOVETOPOSITION | PHYSICS_MOVETOFORCED));
}
