// The game natives: the gameplay log record, the domain listing, nudging
// an entity's velocity, pausing, build queries.
#include <cmath>

#include "Entity/KnapsackConstants.h"
#include "Entity/PlayerEntity.h"
#include "Game/GameplayLogger.h"
#include "Game/PlayerControlHandler.h"
#include "Game/PCGameApp.h"
#include "ScriptVMTestUtil.h"
#include "TWGraphics/Color.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshEntityActions.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

namespace {
class RecordingLogger : public EGameplayLoggerBase {
public:
  void LogStart(uint32_t uType) override { m_sLog += "start " + std::to_string(uType) + ";"; }
  void LogWrite(const char* szText, bool) override { m_sLog += std::string("text ") + szText + ";"; }
  void LogWrite(float fValue) override { m_sLog += "num " + std::to_string((int)fValue) + ";"; }
  void LogWrite(EEntity* pEntity) override {
    m_sLog += std::string("entity ") + (pEntity ? pEntity->GetName() : "none") + ";";
  }
  void LogEnd() override { m_sLog += "end"; }
  std::string m_sLog;
};
}  // namespace

class ScriptGameFuncsTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    ASSERT_EQ(0, gEntities.GetNumSlots());
    gGameApp = &app;
    app.BuildDomainTree();
    WriteClass("test.Thing", "");
  }
  void TearDown() override {
    EArray<EEntity*> remaining(kMEMTYPE_Entity);
    for (EEntityIter it(app.GetSceneManager()->GetDefaultSceneRootDomain(), true); it; ++it) remaining.AddData(*it);
    for (int i = 0; i < remaining.Num(); ++i) app.DelayedDelete(remaining[i]);
    vm.DestroyDeletedScriptObjects();
    for (int i = 0; i < app.m_aDelayedDeleteEntities.Num(); ++i) delete app.m_aDelayedDeleteEntities[i];
    app.m_aDelayedDeleteEntities.Empty();
    if (vm.IsInitialised()) vm.Shutdown();
    gGameApp = nullptr;
    ScriptVMTest::TearDown();
  }
  EMeshEntity* Make(const char* szName) {
    EMeshEntity* e = EMeshEntity::Create(app.m_pLevelDomain, szName);
    EXPECT_TRUE(e->AttachScript("test.Thing", szName, nullptr, false, true, false));
    return e;
  }
  PCGameApp app;
};

TEST_F(ScriptGameFuncsTest, GameLogWritesOneTypedRecord) {
  RecordingLogger logger;
  g_pGameplayLogger = &logger;
  Make("crate");
  const struct {
    const char* call;
    std::string log;
  } cases[] = {
      {"GameLog('AB', 1)", "start " + std::to_string(0x41422020u) + ";num 1;end"},
      {"GameLog('ABCDEF', 'x', gLSO.crate, 2.5)",
       "start " + std::to_string(0x41424344u) + ";text x;entity crate;num 2;end"},
  };
  for (const auto& c : cases) {
    logger.m_sLog.clear();
    ASSERT_TRUE(Run(c.call)) << c.call;
    EXPECT_EQ(logger.m_sLog, c.log) << c.call;
  }
  logger.m_sLog.clear();
  ASSERT_TRUE(Run("GameLog('A', 1, 2, 3, 4, 5)"));  // too many values
  EXPECT_EQ(logger.m_sLog, "");
  g_pGameplayLogger = nullptr;
}

TEST_F(ScriptGameFuncsTest, ListDomainsPrintsTheTreeFourSpacesPerLevel) {
  ASSERT_TRUE(Run("ListDomains()"));
  const char* want[] = {"Listing domains starting at 'Root'", "Root", "    MainGame", "        Level",
                        "    SkyBox", "    Inventory", "        InvItems"};
  std::vector<std::string> got;
  bool bOn = false;
  for (const std::string& s : m_Lines) {
    if (s == want[0]) bOn = true;
    if (bOn) got.push_back(s);
  }
  ASSERT_EQ(got.size(), 7u) << AllLines();
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]);

  m_Lines.clear();
  ASSERT_TRUE(Run("ListDomains('Nowhere')"));
  EXPECT_EQ(CountLines("ListDomains Error: Could not find domain 'Nowhere'"), 1) << AllLines();

  // a chain deeper than the indentation buffer holds is capped, not overrun
  EDomain* d = app.m_pSkyBoxDomain;
  for (int i = 0; i < 30; ++i) d = d->CreateChildDomain(("deep" + std::to_string(i)).c_str());
  m_Lines.clear();
  ASSERT_TRUE(Run("ListDomains('SkyBox')"));
  EXPECT_EQ(CountLines(std::string(96, ' ') + "deep23"), 1) << AllLines();
  EXPECT_EQ(CountLines(std::string(96, ' ') + "deep29"), 1) << AllLines();
  EXPECT_EQ(CountLines(std::string(97, ' ')), 0);
}

TEST_F(ScriptGameFuncsTest, NudgeTurnsTheVelocityByAtMostRateTimesStepKeepingItsSpeed) {
  EMeshEntity* e = Make("ball");
  app.m_fSimDeltaTime = 1.0f / 30.0f;
  e->SetVelocity(EVec3(10, 0, 0));
  ASSERT_TRUE(Run("NudgeTowardPosition(gLSO.ball, 0, 0, -100, 90)"));
  EVec3 v = e->GetVelocity();
  EXPECT_NEAR(v.Length(), 10.0f, 1e-3f);
  const float fTurned = std::acos(v.x / v.Length()) * 57.29578f;
  EXPECT_GT(fTurned, 1.0f);
  EXPECT_LE(fTurned, 3.0f + 1e-3f);
  EXPECT_LT(v.z, 0.0f);
  EXPECT_EQ(CountLines("Capping 90.0"), 1) << AllLines();
  // within the step's reach it heads straight for the target
  e->SetVelocity(EVec3(10, 0, 0));
  ASSERT_TRUE(Run("NudgeTowardPosition(gLSO.ball, 100, 0, -1, 90)"));
  v = e->GetVelocity();
  EXPECT_NEAR(v.x, 10.0f * 100.0f / std::sqrt(10001.0f), 1e-3f);
  EXPECT_NEAR(v.z, -10.0f / std::sqrt(10001.0f), 1e-3f);

  // Orienting turns the entity to the new heading where it stands.
  e->GetPhysics()->SetPosition(EVec3(5, 0, 0));
  e->SetVelocity(EVec3(10, 0, 0));
  ASSERT_TRUE(Run("NudgeTowardPosition(gLSO.ball, 5, 0, -100, 10000, 1)"));
  const EMat4& m = e->GetPhysics()->GetAbsTrans();
  const EMat4 heading = MatrixRotateEuler(EEuler(EVec3(0, 0, -1).CartesianToEuler()));
  for (const EVec3& axis : {EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, 1)}) {
    const EVec3 got = m.MulVec3(axis) - m.GetTranslation(), want = heading.MulVec3(axis);
    EXPECT_NEAR(got.x, want.x, 1e-4f);
    EXPECT_NEAR(got.y, want.y, 1e-4f);
    EXPECT_NEAR(got.z, want.z, 1e-4f);
  }
  EXPECT_NEAR(m.GetTranslation().x, 5.0f, 1e-4f);
  EXPECT_NEAR(m.GetTranslation().z, 0.0f, 1e-4f);
}

TEST_F(ScriptGameFuncsTest, PauseScriptBuildQueriesAndTheYawValue) {
  EMeshEntity* e = Make("pausy");
  ASSERT_TRUE(Run("PauseScript(gLSO.pausy, 1)"));
  EXPECT_TRUE(e->GetScriptObject()->IsPaused());
  ASSERT_TRUE(Run("PauseScript(gLSO.pausy, 0.5)"));
  EXPECT_FALSE(e->GetScriptObject()->IsPaused());
  app.GetPrefs().m_bMainMenu = true;
  app.GetPrefs().m_bOxmBuild = true;
  EXPECT_EQ(Num("IsRunningAtTW()"), 0.0f);
  EXPECT_EQ(Num("IsOXMBuild()"), 1.0f);
  app.GetPrefs().m_bMainMenu = false;
  app.GetPrefs().m_bOxmBuild = false;
  EXPECT_EQ(Num("IsRunningAtTW()"), 1.0f);
  EXPECT_EQ(Num("IsOXMBuild()"), 0.0f);
}

TEST_F(ScriptGameFuncsTest, MeshQueriesOnAnEntityWithoutAMeshGiveNothing) {
  Make("hollow")->SetMesh(nullptr, false);  // mesh entities hold an empty mesh until they let it go
  ASSERT_TRUE(Run("function CountResults(...) return arg.n end"));
  const char* calls[] = {"GetEntityFeelCenter(gLSO.hollow)", "GetEntityFeelExtent(gLSO.hollow)",
                         "GetEntityLookCenter(gLSO.hollow)", "GetRootJointName(gLSO.hollow)",
                         "CopyStaticPose(gLSO.hollow, gLSO.hollow)"};
  for (const char* c : calls) {
    m_Lines.clear();
    ASSERT_TRUE(Run((std::string("gN = CountResults(") + c + ")").c_str())) << c;
    EXPECT_EQ(Num("gN"), 0.0f) << c;
    EXPECT_EQ(CountLines("Entity 'hollow' does not have a mesh"), 1) << c << "\n" << AllLines();
  }
}

TEST_F(ScriptGameFuncsTest, KnapsackConstantsBetweenZeroAndFive) {
  const float old = GetKnapsackConstant(KNAPSACK_RANGE);
  EXPECT_EQ(Num("GetKnapsackConstant(0)"), 15.0f);
  ASSERT_TRUE(Run("SetKnapsackConstant(5, 42)"));
  EXPECT_EQ(Num("GetKnapsackConstant(5)"), 42.0f);
  SetKnapsackConstant(KNAPSACK_RANGE, old);
  ASSERT_TRUE(Run("function CountResults(...) return arg.n end"));
  const struct {
    const char* call;
    const char* trace;
  } cases[] = {
      {"gN = CountResults(GetKnapsackConstant(6))", "ScriptVM: GetKnapsackConstant is setting an invalid constant"},
      {"gN = CountResults(GetKnapsackConstant(-1))", "ScriptVM: GetKnapsackConstant is setting an invalid constant"},
      {"gN = CountResults(SetKnapsackConstant(6, 1))", "ScriptVM: SetKnapsackConstant is setting an invalid constant"},
  };
  for (const auto& c : cases) {
    m_Lines.clear();
    ASSERT_TRUE(Run(c.call)) << c.call;
    EXPECT_EQ(Num("gN"), 0.0f) << c.call;
    EXPECT_EQ(CountLines(c.trace), 1) << c.call << "\n" << AllLines();
  }
  for (int i = 0; i < KNAPSACK_NUM_CONSTANTS; ++i) EXPECT_NE(GetKnapsackConstant((KNAPSACK_CONSTANT)i), 1.0f);
}

TEST_F(ScriptGameFuncsTest, EntitySettersLevitationAndLightMode) {
  EMeshEntity* e = Make("prop");
  e->GetPhysics()->SetAbsPosition(EVec3(1, 2, 3), 0);
  ASSERT_TRUE(Run("SetViewCone(gLSO.prop, 0.25) SetEntityAnimationMovementScale('prop', 3)"));
  EXPECT_EQ(e->GetViewCone(), 0.25f);
  EXPECT_EQ(e->GetAnimationMovementScale(), 3.0f);
  ASSERT_TRUE(Run("Levitate(gLSO.prop, 40, 99)"));
  const EVec3 p = e->GetPhysics()->GetAbsPosition();
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 42.0f);
  EXPECT_EQ(p.z, 3.0f);
  ASSERT_TRUE(Run("Levitate(gLSO.prop, 40)"));  // the count is checked
  EXPECT_EQ(e->GetPhysics()->GetAbsPosition().y, 42.0f);
  EXPECT_EQ(CountLines("invalid # of arguments (need 3)"), 1) << AllLines();

  const struct {
    const char* call;
    bool on;
  } modes[] = {{"SetEditableLightMode(1)", false}, {"SetEditableLightMode(0.5)", true},
               {"SetEditableLightMode(-2)", false}, {"SetEditableLightMode(0)", true}};
  for (const auto& c : modes) {
    ASSERT_TRUE(Run(c.call)) << c.call;
    EXPECT_EQ(app.m_DebugHooks.m_bPrecomputedLighting, c.on) << c.call;
  }
}

TEST_F(ScriptGameFuncsTest, TheClairvoyanceCloudTintsWithTheScriptsColour) {
  const struct {
    const char* call;
    EVec4 colour;
  } cases[] = {
      {"EnterClairvoyanceCloud()", EVec4(252 / 255.0f, 103 / 255.0f, 0, 51 / 255.0f)},
      {"EnterClairvoyanceCloud(255, 0)", EVec4(1, 0, 0, 51 / 255.0f)},
      {"EnterClairvoyanceCloud(0, 255, 255, 255)", EVec4(0, 1, 1, 1)},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Run(c.call)) << c.call;
    EXPECT_TRUE(app.m_bClairvoyanceActive) << c.call;
    EXPECT_EQ(app.m_aClairvoyanceTint[0].diffuse, ColorVectorToRGBA(c.colour)) << c.call;
    ASSERT_TRUE(Run("ExitClairvoyanceCloud()"));
    EXPECT_FALSE(app.m_bClairvoyanceActive) << c.call;
  }
}

TEST_F(ScriptGameFuncsTest, ThePlayerIsConfusedAndForcedIntoAJumpOnFoot) {
  app.InitControlHandlers();
  EPlayerEntity* zol = EPlayerEntity::Create(app.m_pLevelDomain, "zol");
  ASSERT_TRUE(zol->AttachScript("test.Thing", "zol", nullptr, false, true, false));
  app.m_pPlayer = zol;
  ASSERT_TRUE(app.SetControlHandler(kCONTROL_LADDER, nullptr));

  ASSERT_TRUE(Run("SetPlayerIsConfused(1)"));
  EXPECT_TRUE(zol->IsConfused());
  ASSERT_TRUE(Run("SetPlayerIsConfused(0)"));
  EXPECT_FALSE(zol->IsConfused());

  zol->UnsetPhysicsStateFlag(PHYSICSSTATE_ONWALKABLEGROUND);
  ASSERT_TRUE(Run("ForceZolJump('JumpHigh')"));
  EXPECT_EQ(app.GetControlHandlerType(), kCONTROL_PLAYER);
  EXPECT_TRUE(zol->GetPhysicsStateFlag(PHYSICSSTATE_ONWALKABLEGROUND));
  auto* pHandler = static_cast<EPlayerControlHandler*>(app.GetControlHandler(kCONTROL_PLAYER));
  EXPECT_TRUE(pHandler->IsJumpPending());
  EXPECT_TRUE(pHandler->IsJumpForced());
  EXPECT_STREQ(pHandler->GetJumpAnim(), "JumpHigh");
  app.m_pControlHandler = nullptr;
  app.m_pPlayer = nullptr;
}
