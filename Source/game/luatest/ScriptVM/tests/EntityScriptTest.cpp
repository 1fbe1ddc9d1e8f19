// Entities and their script objects: the entity class a script names, the
// domain-change call, messages to the entities of a domain tree, table
// values, and the script object leaving with its entity.
#include <vector>

#include "Entity/PlayerEntity.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/LineParticleEntity.h"
#include "VERirezo/MeshEntity.h"

namespace {
const char* const kEntityLogSource =
    "gLog = ''\n"
    "function Log(s) gLog = gLog .. s .. ';' end\n";
}  // namespace

class EntityScriptTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    ASSERT_EQ(0, gEntities.GetNumSlots());
    ASSERT_TRUE(Run(kEntityLogSource));
    WriteClass("test.Thing",
               "  o.onDomainChange = function(self, a, b) Log(self.Name .. ' ' .. a .. '>' .. b) end\n"
               "  o.onPing = function(self, s) Log(self.Name .. ':' .. tostring(s)) end\n"
               "  o.fSpeed = 2.5\n"
               "  o.iCount = 7\n"
               "  o.sLabel = 'crate'\n");
    m_pRoot = new EDomain(nullptr, nullptr);
    m_pMain = m_pRoot->CreateChildDomain("MainGame");
    m_pLevel = m_pMain->CreateChildDomain("Level");
  }
  void TearDown() override {
    // Entities that removed scripts queued on the application go with its
    // clean-up; the test deletes the rest.
    std::vector<EEntity*> own;
    for (EEntity* e : m_made) {
      bool queued = false;
      for (int i = 0; i < m_HostApp.m_aDelayedDeleteEntities.Num(); ++i)
        queued = queued || m_HostApp.m_aDelayedDeleteEntities[i] == e;
      if (queued) continue;
      if (!e->IsDead()) e->InternalDelayedDelete();
      own.push_back(e);
    }
    vm.DestroyDeletedScriptObjects();
    for (EEntity* e : own) delete e;
    delete m_pRoot;
    EXPECT_EQ(0, gEntities.GetNumSlots());
    ScriptVMTest::TearDown();
  }
  EEntity* MakeWithScript(const char* szName, EDomain* pDomain) {
    EEntity* e = EMeshEntity::Create(pDomain, szName);
    m_made.push_back(e);
    EXPECT_TRUE(e->AttachScript("test.Thing", szName, nullptr, false, true, false));
    return e;
  }
  const EEntity::EClassInfo* ClassOf(const char* szEntityType) {
    std::string init = std::string("self.EntityType = ") + (szEntityType ? szEntityType : "nil");
    EScriptObject* o = vm.CreateScriptObject("test.Thing", "classy", nullptr, szEntityType ? init.c_str() : nullptr,
                                             false, true, false, false);
    EXPECT_NE(nullptr, o);
    const EEntity::EClassInfo* p = o ? o->GetEntityClass() : nullptr;
    if (o) vm.RemoveScript(o, false);
    vm.DestroyDeletedScriptObjects();
    return p;
  }

  EDomain* m_pRoot = nullptr;
  EDomain* m_pMain = nullptr;
  EDomain* m_pLevel = nullptr;
  std::vector<EEntity*> m_made;
};

TEST_F(EntityScriptTest, TheEntityClassAScriptNames) {
  struct Case {
    const char* value;
    const EEntity::EClassInfo* expected;
    const char* trace;
  } cases[] = {
      {"EntityType_Mesh", EMeshEntity::StaticClass(), nullptr},
      {"7", ELineParticleEntity::StaticClass(), nullptr},
      {"'EPlayerEntity'", EPlayerEntity::StaticClass(), nullptr},
      {"-1", nullptr, nullptr},
      {nullptr, EMeshEntity::StaticClass(), nullptr},
      {"14", EMeshEntity::StaticClass(), "classy: Unknown entity type 14"},
      {"'eplayerentity'", EMeshEntity::StaticClass(), "classy: Unknown entity type eplayerentity"},
      {"{}", EMeshEntity::StaticClass(), nullptr},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    EXPECT_EQ(c.expected, ClassOf(c.value)) << (c.value ? c.value : "(none)");
    if (c.trace) {
      EXPECT_EQ(1, CountLines(c.trace)) << AllLines();
    }
  }
}

TEST_F(EntityScriptTest, DomainChangeReachesTheScriptOnlyBetweenTwoDomains) {
  EEntity* e = MakeWithScript("crate", m_pMain);
  EXPECT_EQ("", Log()) << "entering the first domain is not told";
  e->SetOwnerDomain(m_pLevel);
  EXPECT_EQ("crate MainGame>Level;", Log());
  e->SetOwnerDomain(m_pLevel);
  EXPECT_EQ("", Log()) << "no change";
  e->SetOwnerDomain(nullptr);
  e->SetOwnerDomain(m_pMain);
  EXPECT_EQ("", Log());
  e->InternalDelayedDelete();
  EXPECT_EQ("", Log()) << "leaving for no domain is not told";
}

TEST_F(EntityScriptTest, MessagesReachEntitiesInTableOrderAndChildrenWithRecurse) {
  MakeWithScript("m1", m_pMain);
  MakeWithScript("l1", m_pLevel);
  MakeWithScript("m2", m_pMain);
  EEntity* bare = EMeshEntity::Create(m_pMain, "bare");  // no script object: skipped
  m_made.push_back(bare);
  m_pMain->SendMessageToAllEntities(nullptr, "Ping", "x", kMESSAGE_Immediate, false);
  EXPECT_EQ("m1:x;m2:x;", Log());
  m_pMain->SendMessageToAllEntities(nullptr, "Ping", "y", kMESSAGE_Immediate, true);
  EXPECT_EQ("m1:y;m2:y;l1:y;", Log());
  EXPECT_EQ(0, EEntityIter::GetNumActive());
}

TEST_F(EntityScriptTest, TableValuesAndTheScriptLeavingWithItsEntity) {
  EEntity* e = MakeWithScript("crate", m_pMain);
  float f = 0.0f;
  int i = 0;
  const char* s = nullptr;
  EXPECT_TRUE(e->GetValue("fSpeed", f));
  EXPECT_EQ(2.5f, f);
  EXPECT_TRUE(e->GetValue("iCount", i));
  EXPECT_EQ(7, i);
  EXPECT_TRUE(e->GetValue("sLabel", s));
  EXPECT_STREQ("crate", s);
  f = -1.0f;
  EXPECT_FALSE(e->GetValue("fMissing", f));
  EXPECT_EQ(-1.0f, f) << "left unchanged";

  EScriptObject* o = e->GetScriptObject();
  ASSERT_NE(nullptr, o);
  EXPECT_EQ(e, o->GetEntity());
  EXPECT_EQ(o, vm.FindScriptByName("crate"));
  e->InternalDelayedDelete();
  EXPECT_EQ(nullptr, e->GetScriptObject());
  EXPECT_TRUE(o->IsDead());
  EXPECT_EQ(nullptr, vm.FindScriptByName("crate"));
  EXPECT_FALSE(e->GetValue("fSpeed", f)) << "no script object any more";

  EEntity* loose = EMeshEntity::Create(m_pMain, "loose");
  m_made.push_back(loose);
  EXPECT_FALSE(loose->GetValue("fSpeed", f));
}
