// Mesh entities and their scripts: the sleep of a domain is told at once,
// a change of domain at the script's next turn.
#include <vector>

#include "ScriptVM/ScriptMessage.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/Domain.h"
#include "VERirezo/MeshEntity.h"

class MeshEntityScriptTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    ASSERT_TRUE(Run("gLog = ''\nfunction Log(s) gLog = gLog .. s .. ';' end\n"));
    WriteClass("test.Sleeper", "  o.onDomainSleep = function(self, i) Log(self.Name .. ' ' .. i) end\n");
    m_pRoot = new EDomain(nullptr, nullptr);
    m_pMain = m_pRoot->CreateChildDomain("MainGame");
    m_pLevel = m_pMain->CreateChildDomain("Level");
  }
  void TearDown() override {
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
    }
    vm.DestroyDeletedScriptObjects();
    for (EEntity* e : m_made) delete e;
    delete m_pRoot;
    ScriptVMTest::TearDown();
  }
  EMeshEntity* Make(const char* szName, EDomain* pDomain) {
    EMeshEntity* e = EMeshEntity::Create(pDomain, szName);
    m_made.push_back(e);
    EXPECT_TRUE(e->AttachScript("test.Sleeper", szName, nullptr, false, true, false));
    return e;
  }

  EDomain* m_pRoot = nullptr;
  EDomain* m_pMain = nullptr;
  EDomain* m_pLevel = nullptr;
  std::vector<EEntity*> m_made;
};

TEST_F(MeshEntityScriptTest, SleepIsToldAtOnceAndDomainChangesAtTheNextTurn) {
  EMeshEntity* e = Make("crate", m_pLevel);
  Frames(1);
  Log();

  m_pLevel->SetSleepFlag(true);
  EXPECT_EQ("crate 1;", Log()) << "delivered before any turn";
  m_pLevel->SetSleepFlag(false);
  EXPECT_EQ("crate 0;", Log());

  e->SetOwnerDomain(m_pMain);
  EXPECT_EQ("", Log()) << "queued";
  ASSERT_EQ(1, e->GetScriptObject()->GetMessageQueue().GetCount());
  Frames(1);
  EXPECT_EQ("crate 0;", Log());
}
