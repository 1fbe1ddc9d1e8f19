// The freeze manager on the real script host: records thawed into scripted
// mesh entities near the reference point, faded in, frozen back through
// their scripts, and the natives that reach the manager.
#include <cstring>

#include "Game/PCGameApp.h"
#include "ScriptVMTestUtil.h"
#include "TWUtil/String.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

class FreezeManagerTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    ASSERT_EQ(0, gEntities.GetNumSlots());
    gGameApp = &app;
    app.BuildDomainTree();
    fm = app.GetFreezeManager();
    ASSERT_NE(fm, nullptr);
    ASSERT_TRUE(Run("gLog = ''\n"
                    "function Log(s) gLog = gLog .. s .. ';' end\n"
                    "gFreezeResult = 0\n"));
    const char* body =
        "  o.onThaw = function(self, h, i, v) Log(self.Name .. ' thaw ' .. i .. ' ' .. tostring(v)) end\n"
        "  o.onFreeze = function(self, h, i) Log(self.Name .. ' freeze'); return gFreezeResult end\n";
    WriteClass("global.props.GIO", body);
    WriteClass("Plain", body);
    WriteClass("test.AVeryLongClassNameOfThirtyChars", body);
    WriteClass("test.NoThaw", "");
  }
  void TearDown() override {
    fm->LevelReset();
    EArray<EEntity*> remaining(kMEMTYPE_Entity);
    for (EEntityIter it(app.GetSceneManager()->GetDefaultSceneRootDomain(), true); it; ++it) remaining.AddData(*it);
    for (int i = 0; i < remaining.Num(); ++i) app.DelayedDelete(remaining[i]);
    vm.ProcessRemovals();
    vm.DestroyDeletedScriptObjects();
    for (int i = 0; i < app.m_aDelayedDeleteEntities.Num(); ++i) delete app.m_aDelayedDeleteEntities[i];
    app.m_aDelayedDeleteEntities.Empty();
    EXPECT_EQ(0, gEntities.GetNumSlots());
    if (vm.IsInitialised()) vm.Shutdown();
    gGameApp = nullptr;
    ScriptVMTest::TearDown();
  }
  uint16_t Add(const char* szClass, const EVec3& v, const char* szText = nullptr) {
    char* p = StringDuplicatePooled(szText, kMEMTYPE_String);
    uint16_t h = fm->AddEntity(szClass, p, app.m_pLevelDomain, v, EQuat());
    EXPECT_EQ(p, nullptr);
    return h;
  }
  EMeshEntity* Live(uint16_t h) {
    const FFrozenEntity* r = fm->GetRecord(h);
    return r && r->GetState() == kFS_Thawed ? static_cast<EMeshEntity*>(r->m_pEntity) : nullptr;
  }
  // Ends the frame as the application does: removals, then dead entities.
  void EndFrame() {
    vm.ProcessRemovals();
    fm->CleanupReferences();
    vm.DestroyDeletedScriptObjects();
  }
  std::pair<int, int> Stats() {
    int t, n;
    fm->GetStats(t, n);
    return {t, n};
  }

  PCGameApp app;
  EFreezeManager* fm = nullptr;
  const EVec3 kOrigin = EVec3(0, 0, 0);
};

TEST_F(FreezeManagerTest, ThawedObjectsAreNamedAfterTheirClassAndIndex) {
  const struct {
    const char* cls;
    const char* name;
  } cases[] = {
      {"global.props.GIO", "gio_GIO_0"},
      {"global.props.GIO", "gio_GIO_1"},
      {"Plain", "gio_Plain_0"},
      {"test.AVeryLongClassNameOfThirtyChars", "gio_AVeryLongClassNameOfThirt_0"},
  };
  std::vector<uint16_t> handles;
  for (const auto& c : cases) handles.push_back(Add(c.cls, EVec3(100, 0, 0), "self.Extra = 1"));
  fm->ProcessFrameAt(0.1f, kOrigin);
  for (size_t i = 0; i < handles.size(); ++i) {
    EMeshEntity* e = Live(handles[i]);
    ASSERT_NE(e, nullptr) << cases[i].name;
    EXPECT_STREQ(e->GetName(), cases[i].name);
    ASSERT_NE(e->GetScriptObject(), nullptr);
    EXPECT_STREQ(e->GetScriptObject()->GetName(), cases[i].name);
    EXPECT_EQ(e->GetOwnerDomain(), app.m_pLevelDomain);
    float f = 0;
    EXPECT_TRUE(e->GetScriptObject()->GetTableValue("Extra", f));  // the placement text ran
    EXPECT_EQ(f, 1.0f);
    const EVec3 p = e->GetPhysics()->GetAbsPosition();
    EXPECT_EQ(p.x, 100.0f);
  }
  // a first thaw hands nil as the kept value
  EXPECT_EQ(Log(),
            "gio_GIO_0 thaw 0 nil;gio_GIO_1 thaw 1 nil;gio_Plain_0 thaw 0 nil;gio_AVeryLongClassNameOfThirt_0 thaw 0 nil;");
  EXPECT_EQ(Stats(), std::make_pair(4, 4));
}

TEST_F(FreezeManagerTest, ThawsAreLimitedPerFrameUnlessInstaThaw) {
  std::vector<uint16_t> first, second;
  for (int i = 0; i < 10; ++i) first.push_back(Add("Plain", EVec3(100.0f + i, 0, 0)));
  fm->ProcessFrameAt(0.1f, kOrigin);
  EXPECT_EQ(Stats(), std::make_pair(9, 10));
  EXPECT_EQ(Live(first[9]), nullptr);
  fm->ProcessFrameAt(0.1f, kOrigin);
  EXPECT_EQ(Stats(), std::make_pair(10, 10));

  // ten more far away, then all at once with insta-thaw and their target alpha
  for (int i = 0; i < 10; ++i) second.push_back(Add("Plain", EVec3(0, 0, 3000.0f + i)));
  fm->SetInstaThaw();
  fm->ProcessFrameAt(0.1f, EVec3(0, 0, 3000));
  EXPECT_EQ(Stats(), std::make_pair(20, 20));
  for (uint16_t h : second) EXPECT_EQ(Live(h)->GetDetailCullingAlpha(), 1.0f);
  // the flag lasts one frame
  for (int i = 0; i < 10; ++i) Add("Plain", EVec3(0, 50, 3000.0f + i));
  fm->ProcessFrameAt(0.1f, EVec3(0, 0, 3000));
  EXPECT_EQ(Stats(), std::make_pair(29, 30));
}

TEST_F(FreezeManagerTest, AlphaRisesAtMostFourPerSecondTowardItsTarget) {
  const struct {
    float dist;
    float target;
  } cases[] = {{4000, 1.0f}, {4420, 1.0f}, {4810, 0.5f}, {5100, 1.0f - 680.0f / 780.0f}};
  for (const auto& c : cases) {
    uint16_t h = Add("Plain", EVec3(c.dist, 0, 0));
    fm->ProcessFrameAt(1.0f / 16.0f, kOrigin);
    EMeshEntity* e = Live(h);
    ASSERT_NE(e, nullptr);
    // thawed with 0, then at most 0.25 in this frame's step
    EXPECT_NEAR(e->GetDetailCullingAlpha(), std::min(0.25f, c.target), 1e-5f) << c.dist;
    for (int i = 0; i < 4; ++i) fm->ProcessFrameAt(1.0f / 16.0f, kOrigin);
    EXPECT_NEAR(e->GetDetailCullingAlpha(), c.target, 1e-4f) << c.dist;
    // nearer the reference the alpha falls at once
    fm->ProcessFrameAt(1.0f / 16.0f, EVec3(-500, 0, 0));
    fm->LevelReset();
  }
}

TEST_F(FreezeManagerTest, FarObjectsFreezeThroughTheirScriptOnlyWhenAtRest) {
  uint16_t h = Add("global.props.GIO", EVec3(100, 0, 0));
  fm->ProcessFrameAt(0.1f, kOrigin);
  EMeshEntity* e = Live(h);
  ASSERT_NE(e, nullptr);
  Log();
  // far, but it moved since the record saw it: stays live, alpha drops to 0
  e->GetPhysics()->SetPosition(EVec3(120, 0, 0));
  fm->ProcessFrameAt(0.1f, EVec3(10000, 0, 0));
  EXPECT_EQ(Live(h), e);
  EXPECT_EQ(e->GetDetailCullingAlpha(), 0.0f);
  EXPECT_EQ(fm->GetRecord(h)->m_vPosition.x, 120.0f);
  EXPECT_EQ(Log(), "");

  const struct {
    float result;
    bool live, record;
    const char* trace;
    const char* nextThaw;
  } cases[] = {
      {-1, true, true, nullptr, nullptr},
      {7, false, true, nullptr, "thaw 0 7"},
      {-5, false, true, "Invalid freeze value -5.000000", "thaw 0 0"},
      {5e9f, false, true, "Invalid freeze value 5000000000.000000", "thaw 0 0"},
      {-2, false, false, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    m_Lines.clear();
    Run(("gFreezeResult = " + std::to_string(c.result)).c_str());
    fm->ProcessFrameAt(0.1f, EVec3(10000, 0, 0));
    EXPECT_EQ(Log(), "gio_GIO_0 freeze;");
    EndFrame();
    EXPECT_EQ(Live(h) != nullptr, c.live);
    EXPECT_EQ(fm->GetRecord(h) != nullptr, c.record);
    EXPECT_EQ(CountLines("Invalid freeze value"), c.trace ? 1 : 0) << AllLines();
    if (c.trace) {
      EXPECT_EQ(CountLines(c.trace), 1) << AllLines();
    }
    if (!c.live) {
      EXPECT_EQ(gEntities.GetNumSlots(), 0);  // the entity went with its script
    }
    if (c.nextThaw) {
      fm->ProcessFrameAt(0.1f, kOrigin);
      ASSERT_NE(Live(h), nullptr);
      EXPECT_EQ(Log(), std::string("gio_GIO_0 ") + c.nextThaw + ";");
    }
  }
  EXPECT_EQ(Stats(), std::make_pair(0, 0));
}

TEST_F(FreezeManagerTest, FailingScriptCallsEndTheManagementButKeepTheEntity) {
  // onThaw missing: the entity lives on, unmanaged
  uint16_t h = Add("test.NoThaw", EVec3(10, 0, 0));
  fm->ProcessFrameAt(0.1f, kOrigin);
  EXPECT_EQ(fm->GetRecord(h), nullptr);
  EXPECT_EQ(CountLines("Error calling gio_NoThaw_0:onThaw (won't be called again)"), 1) << AllLines();
  EXPECT_EQ(gEntities.GetNumSlots(), 1);
  EXPECT_EQ(Stats(), std::make_pair(0, 0));

  // a class that cannot be loaded: no entity, the record stays frozen
  h = Add("test.Missing", EVec3(10, 0, 0));
  fm->ProcessFrameAt(0.1f, kOrigin);
  ASSERT_NE(fm->GetRecord(h), nullptr);
  EXPECT_EQ(fm->GetRecord(h)->GetState(), kFS_InitialFrozen);
  EXPECT_EQ(Stats(), std::make_pair(0, 1));
}

TEST_F(FreezeManagerTest, DomainsDeadEntitiesAndLevelReset) {
  uint16_t a = Add("Plain", EVec3(10, 0, 0));
  uint16_t b = Add("Plain", EVec3(20000, 0, 0));
  fm->ProcessFrameAt(0.1f, kOrigin);
  ASSERT_NE(Live(a), nullptr);
  // moving the level's records to another domain takes the live entity along
  fm->MoveEntitiesToDomain(app.m_pSkyBoxDomain, app.m_pLevelDomain);
  EXPECT_EQ(Live(a)->GetOwnerDomain(), app.m_pSkyBoxDomain);
  EXPECT_EQ(fm->GetRecord(b)->m_pDomain, app.m_pSkyBoxDomain);
  // clearing the domain deletes the records and hands the entity to deletion
  EEntity* e = Live(a);
  fm->MoveEntitiesToDomain(nullptr, app.m_pSkyBoxDomain);
  EXPECT_TRUE(e->IsDead());
  EXPECT_EQ(Stats(), std::make_pair(0, 0));

  // a thawed record whose entity died goes at the clean-up
  a = Add("Plain", EVec3(10, 0, 0));
  fm->ProcessFrameAt(0.1f, kOrigin);
  app.DelayedDelete(Live(a));
  fm->CleanupReferences();
  EXPECT_EQ(Stats(), std::make_pair(0, 0));

  Add("Plain", EVec3(10, 0, 0));
  Add("Plain", EVec3(20000, 0, 0), "x = 1");
  fm->ProcessFrameAt(0.1f, kOrigin);
  EXPECT_EQ(Stats(), std::make_pair(1, 2));
  fm->LevelReset();
  EXPECT_EQ(Stats(), std::make_pair(0, 0));
  uint16_t c = Add("Plain", EVec3(10, 0, 0));
  fm->ProcessFrameAt(0.1f, kOrigin);
  EXPECT_STREQ(Live(c)->GetName(), "gio_Plain_0");  // numbering starts again
}

TEST_F(FreezeManagerTest, TheNativesReachTheApplicationsManager) {
  EXPECT_EQ(Num("GetFreezeThawDists()"), 5200.0f);
  ASSERT_TRUE(Run("SetFreezeThawDists(0.5)\n"
                  "gA, gB = GetFreezeThawDists()"));
  EXPECT_EQ(Num("gA"), 1.0f);
  EXPECT_EQ(Num("gB"), 1.0f);
  ASSERT_TRUE(Run("SetFreezeThawDists(300, 9)"));
  EXPECT_EQ(fm->GetThawDistSq(), 90000.0f);
  EXPECT_EQ(fm->GetFreezeDistSq(), 90000.0f);
  m_Lines.clear();
  ASSERT_TRUE(Run("SetFreezeThawDists()"));
  EXPECT_EQ(CountLines("invalid # of arguments (need 1-2)"), 1) << AllLines();
  EXPECT_EQ(fm->GetThawDistSq(), 90000.0f);

  // AddFrozen places the record in front of the player, in the level domain
  EMeshEntity* player = EMeshEntity::Create(app.m_pMainDomain, "player");
  player->GetPhysics()->SetPosition(EVec3(1, 2, 3));
  app.m_pPlayer = player;
  ASSERT_TRUE(Run("AddFrozen(nil)\nAddFrozen('Plain', 'self.Extra = 4')"));
  EXPECT_EQ(Stats(), std::make_pair(0, 1));
  const FFrozenEntity* r = fm->GetRecord(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->m_pDomain, app.m_pLevelDomain);
  EXPECT_EQ(r->m_vPosition.x, 1.0f);
  EXPECT_EQ(r->m_vPosition.y, 22.0f);
  EXPECT_EQ(r->m_vPosition.z, 203.0f);
  EXPECT_STREQ(r->m_szText, "self.Extra = 4");
  app.m_pPlayer = nullptr;
}
