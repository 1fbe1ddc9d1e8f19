// Trigger volumes: records read from the scene stream, handles, listeners
// and their queued messages, contents kept through sleep and refresh, and
// the box, plane, sphere and mesh shapes met by moving entities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "PlbWriter.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/tests/ScriptVMTestUtil.h"
#include "TriggerWriter.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Model.h"
#include "VERirezo/Physics.h"
#include "VERirezo/TriggerShapes.h"

namespace {

typedef ECollisionManager CM;

class TrigBytes : public EMemReader {
public:
  explicit TrigBytes(const std::vector<uint8_t>& b) : EMemReader(b.data(), (unsigned)b.size()) {}
  const char* GetName() override { return "trigger"; }
};

EScriptMessage::Arg MsgArg(const EScriptMessage* m, int i) {
  return m->m_szArgs[0] == '+' ? m->m_aArgs[0].block[i + 1] : m->m_aArgs[i];
}

// The letters as sent: the queue stores a copied text ('S') as 's'.
std::string Letters(const EScriptMessage* m) {
  std::string s = m->GetLetters();
  for (char& c : s) {
    if (c == 's') c = 'S';
  }
  return s;
}

bool Near(const EVec3& a, const EVec3& b, float tol = 0.01f) {
  return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol && std::fabs(a.z - b.z) < tol;
}

// A closed cube of half size h at c whose faces look outward.
void TrigCube(const EVec3& c, float h, std::vector<EVec3>& v, std::vector<collisionwriter::Poly>& p) {
  const EVec3 axes[3] = {EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, 1)};
  for (int a = 0; a < 3; ++a) {
    for (int s = -1; s <= 1; s += 2) {
      const EVec3 n = axes[a] * (float)s;
      EVec3 u = axes[(a + 1) % 3] * h, w = axes[(a + 2) % 3] * h;
      if (w.Cross(u).Dot(n) < 0.0f) std::swap(u, w);
      const EVec3 fc = c + n * h;
      const uint32_t b = (uint32_t)v.size();
      v.push_back(fc - u - w);
      v.push_back(fc + u - w);
      v.push_back(fc + u + w);
      v.push_back(fc - u + w);
      collisionwriter::Poly t0, t1;
      t0.v[0] = b, t0.v[1] = b + 1, t0.v[2] = b + 3, t0.flags = kSurfacePhysical;
      t1.v[0] = b + 1, t1.v[1] = b + 2, t1.v[2] = b + 3, t1.flags = kSurfacePhysical;
      p.push_back(t0);
      p.push_back(t1);
    }
  }
}

}  // namespace

class TriggerWorld : public ScriptVMTest {
protected:
  TriggerWorld() : m_stack(1u << 20) {}
  void SetUp() override {
    ScriptVMTest::SetUp();
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_stack);
    m_pDomain = new EDomain(nullptr, &CM::sm_CM);
    WriteClass("test.Listener", "");
  }
  void TearDown() override {
    for (ETriggerBase* t : m_trigs) delete t;
    m_shapes.clear();
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    delete m_pDomain;
    BindThreadLocalStack(m_pOldStack);
    ScriptVMTest::TearDown();
  }

  EScriptObject* Listener(const char* szName) {
    return vm.CreateScriptObject("test.Listener", szName, nullptr, nullptr, false, true, false, false);
  }
  // A one-sphere entity of radius r at p that checks triggers.
  EMeshEntity* Walker(const char* szName, const EVec3& p, float r = 10.0f) {
    EMeshEntity* e = EMeshEntity::Create(m_pDomain, szName);
    m_made.push_back(e);
    const ESphere s(EVec3(0, 0, 0), r);
    e->GetPhysics()->SetCollision(&s, 1);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    e->GetPhysics()->SetPosition(p);
    CM::sm_CM.Update(e);
    e->GetPhysics()->SetFlag(PHYSICS_CHECKTRIGGERS, true);
    return e;
  }
  // Moves the entity and presents the move, swept or teleported.
  // The physics presents the move to the triggers.
  void Move(EEntity* e, const EVec3& to, bool bTeleport = false) { e->GetPhysics()->SetAbsPosition(to, bTeleport); }
  // Places the entity without presenting it to anything.
  void Place(EEntity* e, const EVec3& to) {
    e->GetPhysics()->SetPosition(to);
    CM::sm_CM.Update(e);
  }
  ETriggerOBB* Read(const TriggerRecordDesc& d, bool bAwake = true) {
    std::vector<uint8_t> bytes;
    WriteTriggerRecord(bytes, d);
    m_shapes.emplace_back(new EModelTriggerOBB());
    ETriggerOBB* t = new ETriggerOBB();
    m_trigs.push_back(t);
    t->SetModelTrigger(m_shapes.back().get());
    TrigBytes s(bytes);
    EXPECT_TRUE(t->Init(nullptr, s));
    if (bAwake) {
      t->SetCollisionManager(&CM::sm_CM);
      t->SetSleeping(false);
    }
    return t;
  }
  ETriggerOBB* Box(const char* szName, const EVec3& mn, const EVec3& mx) {
    TriggerRecordDesc d;
    d.name = szName;
    for (int i = 0; i < 3; ++i) d.boxMin[i] = mn[i], d.boxMax[i] = mx[i];
    return Read(d);
  }
  // "Message sender-or-dash" for each queued message, oldest first; the queue is emptied.
  std::vector<std::string> Take(EScriptObject* o) {
    std::vector<std::string> out;
    for (POSITION pos = o->GetMessageQueue().GetHeadPosition(); pos;) {
      const EScriptMessage* m = o->GetMessageQueue().GetNext(pos);
      out.push_back(std::string(m->GetName()) + " " + Letters(m));
    }
    o->FreeMessages();
    return out;
  }

  EMemStack m_stack;
  EMemStack* m_pOldStack = nullptr;
  EDomain* m_pDomain = nullptr;
  std::vector<ETriggerBase*> m_trigs;
  std::vector<std::unique_ptr<EModelTriggerOBB>> m_shapes;
  std::vector<EEntity*> m_made;
};

typedef std::vector<std::string> Msgs;
const std::string kEnterSH = "EnteredTriggerVolume SH";
const std::string kExitSH = "ExitedTriggerVolume SH";

// ------------------------------------------------------------------ records

TEST_F(TriggerWorld, RecordsConsumeTheirBytesAndPlaceTheBox) {
  TriggerRecordDesc box;
  box.name = "Room";
  box.position[0] = 100;
  box.rotation[1] = 1.5707964f;  // a quarter turn about Y
  box.boxMin[0] = -10, box.boxMin[1] = -1, box.boxMin[2] = -50;
  box.boxMax[0] = 10, box.boxMax[1] = 1, box.boxMax[2] = 50;
  box.secondMin[0] = 7, box.secondMax[2] = 9;
  TriggerRecordDesc plane;
  plane.plane = true;
  plane.name = "Gate";
  plane.normal[0] = 0, plane.normal[1] = 0, plane.normal[2] = 1;
  plane.boxMin[0] = -50, plane.boxMin[1] = -100, plane.boxMin[2] = -0.25f;
  plane.boxMax[0] = 50, plane.boxMax[1] = 100, plane.boxMax[2] = 0.25f;
  const struct {
    TriggerRecordDesc d;
    bool bPlane;
    EBox3 modelBox;
    EBox3 worldBox;
  } cases[] = {
      {box, false, EBox3(EVec3(-10, -1, -50), EVec3(10, 1, 50)), EBox3(EVec3(50, -1, -10), EVec3(150, 1, 10))},
      // A plane's box holds +normal and -normal.
      {plane, true, EBox3(EVec3(-50, -100, -1), EVec3(50, 100, 1)), EBox3(EVec3(-50, -100, -1), EVec3(50, 100, 1))},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes;
    WriteTriggerRecord(bytes, c.d);
    ASSERT_EQ(bytes.size(), TriggerRecordSize(c.d));
    const uint32_t kSentinel = 0xC0FFEE11u;
    for (int i = 0; i < 4; ++i) bytes.push_back((uint8_t)(kSentinel >> (8 * i)));
    EModelTriggerOBB shape;
    ETriggerOBB t;
    t.SetModelTrigger(&shape);
    TrigBytes s(bytes);
    ASSERT_TRUE(t.Init(nullptr, s)) << c.d.name;
    uint32_t after = 0;
    s << after;
    EXPECT_EQ(after, kSentinel) << c.d.name << ": the record is read to its last byte";
    EXPECT_STREQ(t.GetName(), c.d.name.c_str());
    EXPECT_EQ(t.IsPlane(), c.bPlane);
    EXPECT_TRUE(Near(t.GetBox().vMin, c.modelBox.vMin) && Near(t.GetBox().vMax, c.modelBox.vMax)) << c.d.name;
    const EBox3 w = t.GetCollisionBoundingBox();
    EXPECT_TRUE(Near(w.vMin, c.worldBox.vMin) && Near(w.vMax, c.worldBox.vMax))
        << c.d.name << " " << w.vMin.x << "," << w.vMin.z << " " << w.vMax.x << "," << w.vMax.z;
    EXPECT_EQ(t.GetType(), kTRIGGER_OBB);
  }
  // A record cut short fails.
  std::vector<uint8_t> cut;
  WriteTriggerRecord(cut, box);
  cut.resize(cut.size() - 30);
  EModelTriggerOBB shape;
  ETriggerOBB t;
  t.SetModelTrigger(&shape);
  TrigBytes s(cut);
  EXPECT_FALSE(t.Init(nullptr, s));
}

// A mesh record carries its triggers; common data drops them; copies get their own.
TEST_F(TriggerWorld, MeshesKeepTheirTriggersAndCopiesGetTheirOwn) {
  TriggerRecordDesc a;
  a.name = "Hall";
  TriggerRecordDesc b;
  b.name = "Door";
  b.plane = true;
  PlbMeshDesc desc;
  desc.name = "Room";
  for (const auto* d : {&a, &b}) {
    desc.triggers.emplace_back();
    WriteTriggerRecord(desc.triggers.back(), *d);
  }
  std::vector<uint8_t> bytes;
  WritePlbMesh(bytes, desc, 318);
  for (int eType : {kDATATYPE_LEVEL_WORLD, kDATATYPE_COMMON}) {
    m_Lines.clear();
    EMesh* mesh = new EMesh();
    TrigBytes s(bytes);
    s.SetVersion(318);
    EArray<unsigned> textures;
    _EEntityMeshInfo info;
    ASSERT_TRUE(mesh->Read(s, 318, textures, &info, eType)) << eType;
    if (eType == kDATATYPE_COMMON) {
      EXPECT_EQ(mesh->GetNumTriggers(), 0);
      EXPECT_EQ(mesh->GetModel()->GetNumTriggers(), 0);
      EXPECT_EQ(CountLines("Removing trigger 'Hall' from common mesh 'Room'"), 1) << AllLines();
      EXPECT_EQ(CountLines("Removing trigger 'Door' from common mesh 'Room'"), 1);
      delete mesh;
      continue;
    }
    ASSERT_EQ(mesh->GetNumTriggers(), 2);
    EXPECT_EQ(mesh->GetModel()->GetNumTriggers(), 2);
    ETriggerOBB* hall = mesh->FindTrigger("Hall");
    ASSERT_NE(hall, nullptr);
    EXPECT_EQ(hall->GetMesh(), mesh);
    EXPECT_TRUE(mesh->FindTrigger("Door")->IsPlane());
    EXPECT_EQ(mesh->FindTrigger("Nowhere"), nullptr);
    // The domain gives the manager and wakes them.
    mesh->onDomainChange(nullptr, m_pDomain);
    EXPECT_EQ(hall->GetCollisionManager(), &CM::sm_CM);
    EXPECT_FALSE(hall->IsSleeping());
    mesh->onDomainSleep(true);
    EXPECT_TRUE(hall->IsSleeping());
    mesh->onDomainSleep(false);

    EMesh* original = static_cast<EMesh*>(mesh->Instantiate());
    EMesh* copy = static_cast<EMesh*>(mesh->Instantiate());
    ASSERT_NE(copy, original);
    ETriggerOBB* copyHall = copy->FindTrigger("Hall");
    ASSERT_NE(copyHall, nullptr);
    EXPECT_NE(copyHall, hall);
    EXPECT_EQ(copyHall->GetMesh(), copy);
    EXPECT_EQ(copyHall->GetModelTrigger(), hall->GetModelTrigger()) << "the shape is shared";
    EXPECT_EQ(copyHall->GetCollisionManager(), &CM::sm_CM);
    EXPECT_TRUE(copyHall->IsSleeping()) << "a copy takes the manager, not the sleep state";
    // SetBox on one instance leaves the others' boxes.
    const EBox3 before = hall->GetBox();
    copyHall->SetBox(EBox3(EVec3(-5, -5, -5), EVec3(5, 5, 5)));
    EXPECT_TRUE(copyHall->OwnsModelTrigger());
    EXPECT_EQ(hall->GetBox().vMax, before.vMax);
    EXPECT_EQ(copyHall->GetBox().vMax, EVec3(5, 5, 5));
    EXPECT_STREQ(copyHall->GetName(), "Hall");
    // A copy of the changed instance copies its private box.
    EMesh* third = new EMesh(*copy);
    ETriggerOBB* thirdHall = third->FindTrigger("Hall");
    ASSERT_NE(thirdHall, nullptr);
    EXPECT_EQ(thirdHall->GetBox().vMax, EVec3(5, 5, 5));
    EXPECT_NE(thirdHall->GetModelTrigger(), copyHall->GetModelTrigger());
    // Deleting a mesh deletes its triggers: their handles go stale.
    const unsigned hThird = thirdHall->GetHandle();
    delete third;
    EXPECT_EQ(ETriggerBase::Get(hThird), nullptr);
    const unsigned hCopy = copyHall->GetHandle();
    delete copy;
    EXPECT_EQ(ETriggerBase::Get(hCopy), nullptr);
    delete mesh;
  }
}

// ------------------------------------------------------------------ handles

TEST_F(TriggerWorld, HandlesRiseBySerialAndGoStale) {
  ETriggerSphere* a = new ETriggerSphere(ESphere(EVec3(0, 0, 0), 10), nullptr);
  ETriggerSphere* b = new ETriggerSphere(ESphere(EVec3(0, 0, 0), 10), nullptr);
  EXPECT_EQ((b->GetHandle() >> 16), (a->GetHandle() >> 16) + 1);
  EXPECT_GE((a->GetHandle() >> 16), 0x4000u);
  EXPECT_EQ(ETriggerBase::Get(a->GetHandle()), a);
  const unsigned ha = a->GetHandle();
  ETriggerSphere::Destroy(a);
  EXPECT_EQ(ETriggerBase::Get(ha), nullptr);
  // The freed entry is reused with a new serial: the old handle stays stale.
  ETriggerSphere* c = new ETriggerSphere(ESphere(EVec3(0, 0, 0), 10), nullptr);
  EXPECT_EQ(c->GetHandle() & 0x7FFF, ha & 0x7FFF);
  EXPECT_EQ(ETriggerBase::Get(ha), nullptr);
  EXPECT_EQ(ETriggerBase::Get(c->GetHandle()), c);
  ETriggerSphere::Destroy(nullptr);
  // The unload's second pass deletes every trigger and forgets every handle.
  const unsigned hb = b->GetHandle(), hc = c->GetHandle();
  ETriggerBase::onUnloadLevel1();
  EXPECT_EQ(ETriggerBase::Get(hb), b) << "only mesh triggers go in the first pass";
  ETriggerBase::onUnloadLevel2();
  EXPECT_EQ(ETriggerBase::Get(hb), nullptr);
  EXPECT_EQ(ETriggerBase::Get(hc), nullptr);
}

// ---------------------------------------------------------------- listeners

TEST_F(TriggerWorld, ListenersAndTheContentsTheyHearOf) {
  ETriggerOBB* room = Box("Room", EVec3(-100, -100, -100), EVec3(100, 100, 100));
  EScriptObject* first = Listener("first");
  EScriptObject* second = Listener("second");
  EXPECT_FALSE(room->RegisterListener(nullptr));
  EXPECT_EQ(CountLines("Trying to register null script"), 1);
  ASSERT_TRUE(room->RegisterListener(first));
  EXPECT_FALSE(room->RegisterListener(first));
  EXPECT_EQ(CountLines("Duplicate trigger register: first"), 1);
  EXPECT_EQ(room->GetNumListeners(), 1);

  EMeshEntity* a = Walker("a", EVec3(0, 0, 0));
  EMeshEntity* b = Walker("b", EVec3(50, 0, 0));
  EXPECT_EQ(room->GetNumContents(), 2);
  EXPECT_EQ(Take(first), (Msgs{kEnterSH, kEnterSH}));

  // A second listener learns of both entities; the first hears nothing more.
  ASSERT_TRUE(room->RegisterListener(second));
  auto& q = second->GetMessageQueue();
  ASSERT_EQ(q.GetCount(), 2);
  const EScriptMessage* m = q.GetHead();
  EXPECT_STREQ(MsgArg(m, 0).s, "Room");
  EXPECT_EQ(MsgArg(m, 1).u, room->GetHandle());
  EXPECT_EQ(m->GetSender(), nullptr);
  EXPECT_EQ(Take(second), (Msgs{kEnterSH, kEnterSH}));
  EXPECT_TRUE(Take(first).empty());

  // A refresh in which one leaves and another arrives: the exit first.
  EMeshEntity* c = Walker("c", EVec3(900, 0, 0));
  Place(a, EVec3(900, 300, 0));
  Place(c, EVec3(10, 10, 10));
  CM::sm_CM.Update(room);
  EXPECT_EQ(Take(first), (Msgs{kExitSH, kEnterSH}));
  EXPECT_TRUE(room->HasInContents(c) && room->HasInContents(b) && !room->HasInContents(a));
  EXPECT_TRUE(room->UnregisterListener(second));
  EXPECT_FALSE(room->UnregisterListener(second));
  EXPECT_FALSE(room->UnregisterListener(nullptr));
  EXPECT_EQ(CountLines("Trying to unregister null script"), 1);

  // Asleep while b leaves and c stays: one exit at the wake-up.
  room->SetSleeping(true);
  Place(b, EVec3(-900, 0, 0));
  EXPECT_TRUE(Take(first).empty());
  room->SetSleeping(false);
  EXPECT_EQ(Take(first), (Msgs{kExitSH}));

  // Reset on three entities: three exits and no contents.
  Place(a, EVec3(0, 0, 0));
  Place(b, EVec3(20, 0, 0));
  CM::sm_CM.Update(room);
  EXPECT_EQ(room->GetNumContents(), 3);
  Take(first);
  room->Reset();
  EXPECT_EQ(Take(first), (Msgs{kExitSH, kExitSH, kExitSH}));
  EXPECT_EQ(room->GetNumContents(), 0);

  // An entity that stops checking triggers leaves.
  CM::sm_CM.Update(room);
  Take(first);
  c->GetPhysics()->SetFlag(PHYSICS_CHECKTRIGGERS, false);
  EXPECT_EQ(Take(first), (Msgs{kExitSH}));
  // Dead listeners are dropped by the clean-up pass.
  vm.RemoveScript(second, true);
  room->RegisterListener(second);
  ETriggerBase::StaticCleanupReferences();
  EXPECT_EQ(room->GetNumListeners(), 1);
}

// --------------------------------------------------------------------- boxes

TEST_F(TriggerWorld, BoxesSweptTeleportedAndPointChecked) {
  ETriggerOBB* thin = Box("Thin", EVec3(-50, -50, -5), EVec3(50, 50, 5));
  EScriptObject* o = Listener("o");
  thin->RegisterListener(o);
  // Faster than the box is deep: in and out in the same step.
  EMeshEntity* e = Walker("runner", EVec3(0, 0, -100));
  Take(o);
  Move(e, EVec3(0, 0, 100));
  EXPECT_EQ(Take(o), (Msgs{kEnterSH, kExitSH}));
  // A move ending inside enters; a move that misses leaves.
  Move(e, EVec3(0, 0, 3));
  EXPECT_EQ(Take(o), (Msgs{kEnterSH}));
  Move(e, EVec3(0, 500, 3));
  EXPECT_EQ(Take(o), (Msgs{kExitSH}));

  // A sphere of radius 10 whose centre is 8 units above the box grazes it.
  const struct {
    bool bPointCheck;
    bool bInside;
  } cases[] = {{false, true}, {true, false}};
  for (const auto& c : cases) {
    thin->SetPointCheck(c.bPointCheck);
    Move(e, EVec3(0, 58, 0), true);
    EXPECT_EQ(thin->HasInContents(e), c.bInside) << c.bPointCheck;
    EXPECT_EQ(thin->Contains(e), c.bInside) << c.bPointCheck;
    Move(e, EVec3(0, 900, 0), true);
    Take(o);
  }
  // Without listeners the box keeps its contents as they are.
  thin->SetPointCheck(false);
  thin->UnregisterListener(o);
  Move(e, EVec3(0, 0, 0), true);
  EXPECT_FALSE(thin->HasInContents(e));
  char sz[64];
  thin->Describe(sz, sizeof(sz));
  EXPECT_STREQ(sz, "Thin/None");
}

TEST_F(TriggerWorld, PlanesReportCrossingsInsideTheirBox) {
  TriggerRecordDesc d;
  d.plane = true;
  d.name = "Gate";
  d.normal[0] = 0, d.normal[1] = 0, d.normal[2] = 1;
  d.boxMin[0] = -50, d.boxMin[1] = -100, d.boxMin[2] = -1;
  d.boxMax[0] = 50, d.boxMax[1] = 100, d.boxMax[2] = 1;
  ETriggerOBB* gate = Read(d);
  EScriptObject* o = Listener("o");
  EMeshEntity* e = Walker("walker", EVec3(0, 0, -40));
  EXPECT_FALSE(gate->Contains(e));
  // No listener: nothing.
  Move(e, EVec3(0, 0, 40));
  EXPECT_TRUE(Take(o).empty());
  Move(e, EVec3(0, 0, -40));
  gate->RegisterListener(o);
  const struct {
    EVec3 from, to;
    int fromBehind;  // -1: no message
  } cases[] = {
      {EVec3(0, 0, -40), EVec3(0, 0, 40), 1},
      {EVec3(0, 0, 40), EVec3(0, 0, -40), 0},
      {EVec3(200, 0, -40), EVec3(200, 0, 40), -1},  // outside the box
      {EVec3(0, 0, 10), EVec3(0, 0, 40), -1},       // does not reach the plane
  };
  for (const auto& c : cases) {
    Place(e, c.from);
    Take(o);
    Move(e, c.to);
    auto& q = o->GetMessageQueue();
    if (c.fromBehind < 0) {
      EXPECT_EQ(q.GetCount(), 0) << c.from.x << " " << c.from.z;
      continue;
    }
    ASSERT_EQ(q.GetCount(), 1);
    const EScriptMessage* m = q.GetHead();
    EXPECT_STREQ(m->GetName(), "CrossedTriggerPlane");
    EXPECT_EQ(Letters(m), "SiHfff");
    EXPECT_STREQ(MsgArg(m, 0).s, "Gate");
    EXPECT_EQ(MsgArg(m, 1).i, c.fromBehind);
    EXPECT_EQ(MsgArg(m, 2).u, gate->GetHandle());
    // The bottom of the sphere meets the plane where the centre's path gives the point.
    EXPECT_NEAR(MsgArg(m, 3).f, 0.0f, 0.01f);
    EXPECT_NEAR(MsgArg(m, 4).f, 0.0f, 0.01f);
    EXPECT_NEAR(MsgArg(m, 5).f, 0.0f, 0.01f);
  }
  // A teleport through the plane crosses nothing.
  Place(e, EVec3(0, 0, -40));
  Take(o);
  Move(e, EVec3(0, 0, 40), true);
  EXPECT_TRUE(Take(o).empty());
  EXPECT_EQ(gate->GetNumContents(), 0);
}

// ------------------------------------------------------------------- spheres

TEST_F(TriggerWorld, SpheresHoldStrictlyAndRideTheirOwner) {
  ETriggerSphere* s = new ETriggerSphere(ESphere(EVec3(0, 0, 0), 100), nullptr);
  m_trigs.push_back(s);
  EXPECT_EQ(s->GetType(), kTRIGGER_SPHERE);
  EXPECT_FALSE(s->IsSleeping());
  char sz[40];
  s->Describe(sz, sizeof(sz));
  EXPECT_STREQ(sz, "TS:(null)");
  EScriptObject* o = Listener("watcher");
  s->RegisterListener(o);
  s->Describe(sz, sizeof(sz));
  EXPECT_STREQ(sz, "TS:watcher");
  EMeshEntity* e = Walker("e", EVec3(500, 0, 0), 42.0f);
  const struct {
    float x;
    bool bInside;
  } cases[] = {{141.9f, true}, {142.0f, false}, {0.0f, true}, {300.0f, false}};
  for (const auto& c : cases) {
    Move(e, EVec3(c.x, 0, 0));
    EXPECT_EQ(s->HasInContents(e), c.bInside) << c.x;
  }
  const Msgs got = Take(o);
  EXPECT_EQ(got, (Msgs{"EnteredTriggerVolume HH", "ExitedTriggerVolume HH", "EnteredTriggerVolume HH",
                       "ExitedTriggerVolume HH"}));

  // A sphere riding an entity follows it and files itself anew.
  EMeshEntity* carrier = Walker("carrier", EVec3(1000, 0, 0));
  ETriggerSphere* riding = new ETriggerSphere(ESphere(EVec3(0, 20, 0), 30), carrier);
  m_trigs.push_back(riding);
  EXPECT_EQ(riding->GetOwner(), carrier);
  EXPECT_TRUE(Near(riding->AsSphere().centre, EVec3(1000, 20, 0)));
  riding->RegisterListener(o);
  Take(o);
  EMeshEntity* stander = Walker("stander", EVec3(1040, 0, 0));
  EXPECT_TRUE(Take(o).empty());
  Place(carrier, EVec3(1010, 0, 0));
  ETriggerBase::ParentMovedAll(riding, carrier->GetPhysics());
  EXPECT_EQ(Take(o), (Msgs{"EnteredTriggerVolume HH"})) << "the re-filing found the newcomer";
  EXPECT_TRUE(Near(riding->AsSphere().centre, EVec3(1010, 20, 0)));
  EXPECT_TRUE(riding->HasInContents(stander));
  EXPECT_TRUE(riding->HasInContents(carrier));
  riding->SetSphere(ESphere(EVec3(0, 500, 0), 5));
  EXPECT_TRUE(Near(riding->AsSphere().centre, EVec3(1010, 500, 0)));
  EXPECT_EQ(riding->GetNumContents(), 0);
}

// A trigger without a manager neither files itself nor crashes.
TEST_F(TriggerWorld, TriggersWithoutAManagerSkipTheRefiling) {
  ETriggerOBB* loose = Box("Loose", EVec3(-1, -1, -1), EVec3(1, 1, 1));
  loose->SetCollisionManager(nullptr);
  EScriptObject* o = Listener("o");
  EXPECT_TRUE(loose->RegisterListener(o));
  loose->SetBox(EBox3(EVec3(-2, -2, -2), EVec3(2, 2, 2)));
  EXPECT_EQ(loose->GetCollisionIndex(), (uint16_t)ETriggerBase::NULL_INDEX);
  ETriggerSphere* s = new ETriggerSphere(ESphere(EVec3(0, 0, 0), 10), nullptr);
  m_trigs.push_back(s);
  s->SetCollisionManager(nullptr);
  s->SetSphere(ESphere(EVec3(5, 0, 0), 10));
  EMeshEntity* e = Walker("e", EVec3(0, 0, 0));
  s->ParentMoved(e->GetPhysics());
  EXPECT_TRUE(s->RegisterListener(o));
  EXPECT_FALSE(s->IsSleeping());
  EXPECT_EQ(s->GetCollisionIndex(), (uint16_t)ETriggerBase::NULL_INDEX);
}

// ---------------------------------------------------------------- mesh triggers

TEST_F(TriggerWorld, MeshTriggersNeedCollisionAndReportTheCrossingPoint) {
  EMeshManager::Get();
  PlbMeshDesc empty;
  empty.name = "Hollow";
  {
    std::vector<uint8_t> bytes = MakeSingleMeshScene(empty);
    WriteFile("hollow.plb", std::string(bytes.begin(), bytes.end()));
  }
  PlbMeshDesc cube;
  cube.name = "Cube";
  std::vector<EVec3> v;
  std::vector<collisionwriter::Poly> p;
  TrigCube(EVec3(0, 0, 0), 100, v, p);
  cube.collisionTree = collisionwriter::WriteCollisionTree(v, p, 318);
  {
    std::vector<uint8_t> bytes = MakeSingleMeshScene(cube);
    WriteFile("cube.plb", std::string(bytes.begin(), bytes.end()));
  }

  EMat4 at;
  at.LoadIdentity();
  ETriggerMesh* hollow = new ETriggerMesh("hollow.plb", at);
  m_trigs.push_back(hollow);
  EXPECT_FALSE(hollow->IsValid());
  EXPECT_EQ(hollow->GetType(), kTRIGGER_None);
  EXPECT_TRUE(hollow->IsSleeping());
  EXPECT_EQ(CountLines("TriggerMesh mesh hollow.plb has no collision"), 1) << AllLines();
  ETriggerMesh* missing = new ETriggerMesh("missing.plb", at);
  m_trigs.push_back(missing);
  EXPECT_FALSE(missing->IsValid());
  EXPECT_EQ(CountLines("has no collision"), 1);

  at.SetTranslation(EVec3(1000, 0, 0));
  ETriggerMesh* box = new ETriggerMesh("cube.plb", at);
  m_trigs.push_back(box);
  ASSERT_TRUE(box->IsValid()) << AllLines();
  EXPECT_EQ(box->GetType(), kTRIGGER_MESH);
  const EBox3 w = box->GetCollisionBoundingBox();
  EXPECT_TRUE(Near(w.vMin, EVec3(900, -100, -100)) && Near(w.vMax, EVec3(1100, 100, 100)));
  EScriptObject* o = Listener("o");
  box->RegisterListener(o);
  // Feet (centre - radius along up) decide: the entity enters across the face x = 900.
  EMeshEntity* e = Walker("e", EVec3(700, 20, 0));
  Take(o);
  Move(e, EVec3(950, 20, 0));
  ASSERT_EQ(o->GetMessageQueue().GetCount(), 1);
  const EScriptMessage* m = o->GetMessageQueue().GetHead();
  EXPECT_STREQ(m->GetName(), "EnteredTriggerVolume");
  EXPECT_EQ(Letters(m), "HHfff");
  EXPECT_EQ(m->GetSender(), nullptr);
  EXPECT_EQ(MsgArg(m, 0).u, box->GetHandle());
  // The query stops its push distance (one unit) short of the face, outside.
  EXPECT_NEAR(MsgArg(m, 2).f, 899.0f, 0.5f);
  EXPECT_NEAR(MsgArg(m, 3).f, 10.0f, 0.5f) << "the feet's height";
  Take(o);
  // Leaving upward across y = 100.
  Move(e, EVec3(950, 300, 0));
  ASSERT_EQ(o->GetMessageQueue().GetCount(), 1);
  m = o->GetMessageQueue().GetHead();
  EXPECT_STREQ(m->GetName(), "ExitedTriggerVolume");
  EXPECT_NEAR(MsgArg(m, 3).f, 101.0f, 0.5f);
  Take(o);
  char sz[80];
  box->Describe(sz, sizeof(sz));
  EXPECT_EQ(std::string(sz).find("Mesh Trig "), 0u);

  // The first unload pass deletes the mesh triggers alone.
  const unsigned hBox = box->GetHandle(), hHollow = hollow->GetHandle();
  ETriggerBase::onUnloadLevel1();
  EXPECT_EQ(ETriggerBase::Get(hBox), nullptr);
  EXPECT_EQ(ETriggerBase::Get(hHollow), hollow);
  m_trigs.erase(std::find(m_trigs.begin(), m_trigs.end(), box));
}
