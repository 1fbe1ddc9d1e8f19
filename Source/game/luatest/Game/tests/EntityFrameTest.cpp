// Entities in the running application: the domain tree, the simulated frame
// with culling and the ground-and-parent order, and the two steps of
// deletion at the end of the frame.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/EFileManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

namespace {

std::string* s_pEvents = nullptr;
void Event(const std::string& text) {
  if (s_pEvents) *s_pEvents += (s_pEvents->empty() ? "" : " ") + text;
}

// Logs its frame step (after the base step, so what it processed first is
// logged first), its clean-ups and its destruction.
class LoggingEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(LoggingEntity)
public:
  LoggingEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
  ~LoggingEntity() override { Event(std::string("~") + GetName()); }
  void ProcessFrame(float fFrameMS) override {
    EMeshEntity::ProcessFrame(fFrameMS);
    Event(std::string(GetName()) + ":" + std::to_string((int)fFrameMS));
  }
  void CleanupReferences() override {
    Event(std::string(GetName()) + ":clean");
    EMeshEntity::CleanupReferences();
  }
  void RunAffectors() override { ++m_iAffectorRuns; }
  int m_iAffectorRuns = 0;
};
IMPLEMENT_ENTITY_CLASS(LoggingEntity, "ETestLoggingEntity", EntityType_NameOnly, EMeshEntity)

class WorldApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

class EntityFrame : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(0, gEntities.GetNumSlots());
    gGameApp = &m_app;
    m_app.BuildDomainTree();
    m_app.m_fSimDeltaTime = 0.02f;
    m_app.m_fRealDeltaTime = 0.05f;
    m_app.m_iFrameCount = 1;
    s_pEvents = &m_events;
  }
  void TearDown() override { s_pEvents = nullptr; }
  LoggingEntity* Make(const char* szName, EDomain* pDomain = nullptr) {
    return LoggingEntity::Create(pDomain ? pDomain : m_app.m_pMainDomain, szName);
  }
  // The frame's simulation, then its end.
  void Frame() {
    ++m_app.m_iFrameCount;
    m_app.SimulateFrame(m_app.GetSceneManager()->GetActiveDomain());
  }
  std::string TakeEvents() {
    std::string s = m_events;
    m_events.clear();
    return s;
  }

  std::string m_events;
  WorldApp m_app;  // its destructor takes the remaining entities down
};

TEST_F(EntityFrame, TheDomainTreeUnderTheSceneRoot) {
  EDomain* root = m_app.GetSceneManager()->GetDefaultSceneRootDomain();
  EXPECT_EQ(nullptr, root->GetName());
  EXPECT_EQ(m_app.m_pMainDomain, m_app.GetSceneManager()->GetActiveDomain());
  EXPECT_STREQ("MainGame", m_app.m_pMainDomain->GetName());
  EXPECT_EQ(root, m_app.m_pMainDomain->GetParent());
  EXPECT_EQ(m_app.m_pMainDomain, m_app.m_pLevelDomain->GetParent());
  EXPECT_STREQ("Level", m_app.m_pLevelDomain->GetName());
  EXPECT_EQ(root, m_app.m_pSkyBoxDomain->GetParent());
  EXPECT_EQ(root, m_app.m_pInventoryDomain->GetParent());
  EXPECT_EQ(m_app.m_pInventoryDomain, m_app.m_pInvItemsDomain->GetParent());
  EXPECT_EQ(&ECollisionManager::sm_CM, m_app.m_pLevelDomain->GetCollisionManager());
  EXPECT_EQ(&ECollisionManager::sm_CM_dummy, m_app.m_pInvItemsDomain->GetCollisionManager());
  EXPECT_EQ(m_app.m_pInvItemsDomain, root->FindDomain("InvItems"));
  EXPECT_EQ(nullptr, root->FindDomain("invitems")) << "names match exactly";
}

TEST_F(EntityFrame, GroundAndParentMoveBeforeTheirRiderOncePerFrame) {
  LoggingEntity* rider = Make("rider");
  LoggingEntity* parent = Make("parent");
  LoggingEntity* ground = Make("ground");
  rider->GetPhysics()->SetBase(ground->GetPhysics(), false);
  ASSERT_TRUE(rider->AttachToParent(parent, nullptr, nullptr));

  Frame();
  EXPECT_EQ("ground:20 parent:20 rider:20", TakeEvents());
  EXPECT_EQ((uint32_t)m_app.m_iFrameCount, ground->GetFrameCount());
  EXPECT_EQ(1, ground->m_iAffectorRuns);
  EXPECT_EQ(nullptr, m_app.m_pCurrentEntity);

  // The ground keeps its own choice of frame time.
  ground->SetEntityFlag(ENTITY_FULL_SIM_SPEED, true);
  Frame();
  EXPECT_EQ("ground:50 parent:20 rider:20", TakeEvents());

  // A rider processed alone (outside the pass) still takes its ground
  // first, but not a second time in the same frame.
  ++m_app.m_iFrameCount;
  rider->ProcessFrame(20.0f);
  rider->ProcessFrame(20.0f);
  EXPECT_EQ("ground:50 parent:20 rider:20 rider:20", TakeEvents());
  EXPECT_EQ(rider, m_app.m_pCurrentEntity);
}

TEST_F(EntityFrame, CulledEntitiesAreNotProcessed) {
  LoggingEntity* near = Make("near");
  LoggingEntity* far = Make("far", m_app.m_pLevelDomain);
  LoggingEntity* off = Make("off");
  LoggingEntity* inv = Make("inv", m_app.m_pInvItemsDomain);
  LoggingEntity* exempt = Make("exempt");
  far->SetPosition(EVec3(100.0f, 0.0f, 0.0f));
  far->SetSimulationCullDistance(50.0f);
  off->SetEntityFlag(ENTITY_NOSIMULATE, true);
  exempt->SetSimulationCullDistance(-1.0f);

  Frame();
  EXPECT_EQ("near:20 exempt:20", TakeEvents()) << "outside the tree, too far or never simulated";
  EXPECT_FALSE(near->IsSimulationCulled());
  EXPECT_TRUE(far->IsSimulationCulled());
  EXPECT_TRUE(off->IsSimulationCulled());
  EXPECT_TRUE(inv->IsSimulationCulled()) << "its domain is outside the simulated tree";
  EXPECT_EQ(0, inv->m_iAffectorRuns);
  EXPECT_EQ(0, EEntityIter::GetNumActive());

  // Measured from the locked point, the far entity is near.
  m_app.m_bLockSimulationPosition = true;
  m_app.m_vLockedSimulationPosition = EVec3(60.0f, 0.0f, 0.0f);
  Frame();
  EXPECT_EQ("near:20 far:20 exempt:20", TakeEvents());
  m_app.m_bLockSimulationPosition = false;

  // "Player only" culls every entity that a negative distance does not
  // exempt.
  m_app.m_DebugHooks.PlayerOnly = true;
  Frame();
  EXPECT_EQ("exempt:20", TakeEvents());
  EXPECT_TRUE(near->IsSimulationCulled());
  m_app.m_DebugHooks.PlayerOnly = false;
}

TEST_F(EntityFrame, ADeletedEntityLeavesAtOnceAndGoesAfterEveryoneCleanedUp) {
  LoggingEntity* a = Make("a");
  LoggingEntity* doomed = Make("doomed");
  LoggingEntity* b = Make("b", m_app.m_pLevelDomain);
  m_app.m_pCurrentEntity = doomed;

  m_app.DelayedDelete(doomed);
  m_app.DelayedDelete(doomed);  // nothing: it is dead already
  EXPECT_EQ(1, m_app.m_aDelayedDeleteEntities.Num());
  EXPECT_TRUE(doomed->IsDead());
  EXPECT_EQ(nullptr, doomed->GetOwnerDomain());
  std::string seen;
  for (EEntityIter it(m_app.m_pMainDomain, true); it; ++it) seen += it->GetName();
  EXPECT_EQ("ab", seen);

  Frame();
  EXPECT_EQ("a:20 b:20", TakeEvents());
  m_app.EndFrame();
  EXPECT_EQ("a:clean b:clean ~doomed", TakeEvents());
  EXPECT_EQ(nullptr, m_app.m_pCurrentEntity);
  EXPECT_EQ(0, m_app.m_aDelayedDeleteEntities.Num());
  m_app.EndFrame();
  EXPECT_EQ("", TakeEvents()) << "nothing pending, nothing to clean";

  // Clearing "MainGame" requests the deletion of its own entities and of
  // those of "Level", which goes with it.
  m_app.m_pMainDomain->Clear();
  m_app.m_pLevelDomain = nullptr;
  EXPECT_TRUE(a->IsDead());
  EXPECT_TRUE(b->IsDead());
  EXPECT_EQ(2, m_app.m_aDelayedDeleteEntities.Num());
  m_app.EndFrame();
  EXPECT_EQ("~a ~b", TakeEvents());
  EXPECT_EQ(0, gEntities.GetNumSlots());
}

TEST_F(EntityFrame, MessagesToAllEntitiesLeaveNoIterationInProgress) {
  Make("a");
  Make("b", m_app.m_pLevelDomain);
  m_app.m_pMainDomain->SendMessageToAllEntities(nullptr, "Ping", nullptr, 1, true);
  EXPECT_EQ(0, EEntityIter::GetNumActive());
  EXPECT_FALSE(m_app.m_pMainDomain->IsMarked());
  EXPECT_FALSE(m_app.m_pLevelDomain->IsMarked());
}

// The same with a script host whose objects log their culling changes.
class EntityFrameScripts : public EntityFrame {
protected:
  void SetUp() override {
    EntityFrame::SetUp();
    char tmpl[] = "/tmp/quillomar-entities-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    gFile->AddReadPath(m_dir.c_str(), false);
    mkdir((m_dir + "/scripts").c_str(), 0755);
    std::ofstream(m_dir + "/scripts/Watcher.lua")
        << "gLog = ''\n"
           "function Watcher()\n"
           "  local o = CreateObject(nil)\n"
           "  o.setState = function(self, s) APISetState(self, s) end\n"
           "  o.onSimulationCulled = function(self, b)\n"
           "    if b == 1 then gLog = gLog .. self.Name .. ':culled;' else gLog = gLog .. self.Name .. ':back;' end\n"
           "  end\n"
           "  return o\n"
           "end\n";
    m_app.GetScriptVM()->Initialise();
  }
  void TearDown() override {
    m_app.GetSceneManager()->GetDefaultSceneRootDomain()->Clear();
    m_app.EndFrame();
    m_app.GetScriptVM()->Shutdown();
    delete gFile;
    gFile = m_pOldFiles;
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
    EntityFrame::TearDown();
  }
  std::string ScriptLog() {
    lua_State* L = m_app.GetScriptVM()->GetGlobalState();
    lua_getglobal(L, "gLog");
    std::string s = lua_isstring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    m_app.GetScriptVM()->RunLuaCommands("gLog = ''", nullptr, nullptr, 0);
    return s;
  }

  std::string m_dir;
  EFileManager* m_pOldFiles = nullptr;
};

TEST_F(EntityFrameScripts, TheScriptHearsOfEachChangeOfTheCulledState) {
  LoggingEntity* e = Make("e");
  ASSERT_TRUE(e->AttachScript("Watcher", "e", nullptr, false, true, false));
  Frame();
  EXPECT_EQ("", ScriptLog()) << "simulated as before";
  e->SetEntityFlag(ENTITY_NOSIMULATE, true);
  Frame();
  Frame();
  EXPECT_EQ("e:culled;", ScriptLog());
  e->SetEntityFlag(ENTITY_NOSIMULATE, false);
  Frame();
  EXPECT_EQ("e:back;", ScriptLog());
  TakeEvents();
}

}  // namespace
