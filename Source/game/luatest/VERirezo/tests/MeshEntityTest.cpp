// Mesh entities: construction and their mesh, the frame, playing and
// restacking animations, action tables with their changes and running
// lists, the ledge placements and the movement animations carry.
#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "AnimTestUtil.h"
#include "Game/ControlHandler.h"
#include "Game/PCGameApp.h"
#include "Lua/lua.h"
#include "ScriptVM/ScriptVM.h"
#include "SkeletonWriter.h"
#include "TWUtil/EStream.h"
#include "VERirezo/ActionTable.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshEntityActions.h"
#include "VERirezo/Physics.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"

namespace {

// 30 frames, the root still.
const char* const kMeshEntityJan = "version 201\nlength 30\njoint J0 0\npos 0: 0 0 0, 30: 0 0 0\njoint J1 1\n";

// A mesh entity that counts its completed changes of action.
class CountingEntity : public EMeshEntity {
public:
  CountingEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
  void onActionChanged() override { ++m_nChanged; }
  int m_nChanged = 0;
};

}  // namespace

class MeshEntityTest : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    for (int i = 0; i < 3; ++i) {
      m_abTraces[i] = g_ErrorManager.IsEnabled(kTYPES[i]);
      g_ErrorManager.SetEnabled(kTYPES[i], true);
    }
    gGameApp = &m_App;
    ASSERT_TRUE(EAnimManager::Create(0));
    m_VM.Initialise();
    m_pRoot = new EDomain(nullptr, nullptr);
    m_pDomain = m_pRoot->CreateChildDomain("MainGame");
    m_bSavedPlayer = meshentityactions::g_bPlayerActionsResolved;
    m_bSavedBubble = meshentityactions::g_bBubbleActionsResolved;
  }
  void TearDown() override {
    for (EEntity* e : m_Made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    for (EMesh* m : m_OwnMeshes) delete m;
    delete m_pRoot;
    if (m_VM.IsInitialised()) m_VM.Shutdown();
    EAnimManager::Destroy();
    gGameApp = nullptr;
    meshentityactions::g_bPlayerActionsResolved = m_bSavedPlayer;
    meshentityactions::g_bBubbleActionsResolved = m_bSavedBubble;
    for (int i = 0; i < 3; ++i) g_ErrorManager.SetEnabled(kTYPES[i], m_abTraces[i]);
    AnimTest::TearDown();
  }

  CountingEntity* Make(const char* szName = "hero") {
    CountingEntity* e = new CountingEntity(m_pDomain, szName);
    e->InitEntity(m_pDomain);
    m_Made.push_back(e);
    return e;
  }
  // A mesh with the two-joint skeleton "Body" (J0, J1) that plays animations.
  static EMesh* SkeletonMesh() {
    EMesh* m = new EMesh;
    m->SetScale(EVec3(1, 1, 1));
    std::vector<uint8_t> bytes;
    std::string error;
    SkeletonDesc d = MakeChainSkeleton("Body", 2);
    d.joints[1].position[0] = 10.0f;
    EXPECT_TRUE(WriteSkeleton(bytes, d, 318, error)) << error;
    ESkeleton* s = new ESkeleton;
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    EXPECT_TRUE(s->Read(reader, 318));
    m->AddSkeleton(s);
    m->AddAffector(new EJointAnimAffector);
    return m;
  }
  CountingEntity* MakeAnimated(const char* szName = "hero") {
    CountingEntity* e = Make(szName);
    e->SetMesh(SkeletonMesh(), false);
    return e;
  }
  void WriteJan(const std::string& rel) { WriteBytes(rel, Jan(kMeshEntityJan)); }
  void WriteText(const std::string& rel, const std::string& text) {
    WriteBytes(rel, std::vector<uint8_t>(text.begin(), text.end()));
  }
  // An action file of the given states (name, lock flag) and lists.
  static std::string Asd(std::initializer_list<std::pair<const char*, const char*>> states, const std::string& body) {
    std::string s = "ActionFile\n";
    for (const auto& st : states) s += std::string(st.first) + "\n" + st.second + "\n";
    return s + "[EndHeaders]\n" + body + "[End]\n";
  }
  bool Table(EMeshEntity* e, const std::string& text) {
    WriteText("t.asd", text);
    return e->SetActionTable("t.asd", false);
  }
  double Global(const char* szName) {
    lua_State* L = m_VM.GetGlobalState();
    lua_getglobal(L, szName);
    const double d = lua_isnumber(L, -1) ? lua_tonumber(L, -1) : -1.0;
    lua_settop(L, 0);
    return d;
  }

  static constexpr TRACETYPE kTYPES[3] = {TT_None, TT_Warning, TT_Game};
  bool m_abTraces[3] = {false, false, false};
  PCGameApp m_App;
  EScriptVM m_VM;
  EDomain* m_pRoot = nullptr;
  EDomain* m_pDomain = nullptr;
  std::vector<EEntity*> m_Made;
  std::vector<EMesh*> m_OwnMeshes;
  bool m_bSavedPlayer = false;
  bool m_bSavedBubble = false;
};

// ---------------------------------------------------------------- mesh

TEST_F(MeshEntityTest, InitEntityGivesAnEmptyMeshAndDefaults) {
  CountingEntity* e = Make();
  ASSERT_NE(nullptr, e->GetMesh());
  EXPECT_EQ(0, e->GetMesh()->GetNumMeshFrags());
  EXPECT_EQ(e, e->GetMesh()->GetOwner());
  EXPECT_EQ(-1, e->GetCurAction());
  EXPECT_EQ(-1, e->GetPrevAction());
  EXPECT_EQ(15, e->GetHeadConstraint(0));
  EXPECT_EQ(30, e->GetHeadConstraint(1));
  EXPECT_EQ(10, e->GetHeadConstraint(2));
  EXPECT_FLOAT_EQ(75.0f, e->GetViewCone());
  EXPECT_EQ(&EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon,
            e->GetRenderOptionsSemiCommon());
  EXPECT_EQ(&EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare, e->GetRenderOptionsRare());
  EXPECT_FLOAT_EQ(0.0f, e->GetAuraColor().w) << "no aura until it fades in";

  // No name: still the empty mesh, false, and nothing said.
  m_Lines.clear();
  EXPECT_FALSE(e->LoadMesh(nullptr, kDATATYPE_LEVEL_MISC));
  ASSERT_NE(nullptr, e->GetMesh());
  EXPECT_EQ(0, e->GetMesh()->GetNumMeshFrags());
  EXPECT_TRUE(m_Lines.empty()) << AllLines();

  EXPECT_FALSE(e->LoadMesh("meshes/missing.msh", kDATATYPE_LEVEL_MISC));
  EXPECT_EQ(1, CountLines("hero failed to load mesh 'meshes/missing.msh'")) << AllLines();
  ASSERT_NE(nullptr, e->GetMesh());
  EXPECT_EQ(e, e->GetMesh()->GetOwner());
}

TEST_F(MeshEntityTest, AnEntityMeshIsNeverReplaced) {
  CountingEntity* e = Make();
  EMesh* own = new EMesh;
  e->SetMesh(own, true);
  ASSERT_TRUE(own->IsEntityMesh());
  EXPECT_EQ(e, own->GetOwner());
  m_OwnMeshes.push_back(own);  // an entity mesh stays with its maker until the purge

  m_Lines.clear();
  EXPECT_FALSE(e->LoadMesh("meshes/other.msh", kDATATYPE_LEVEL_MISC));
  EXPECT_EQ(own, e->GetMesh());
  EXPECT_EQ(1, CountLines("Can't call SetMesh to replace an entity mesh")) << AllLines();
  EXPECT_EQ(0, CountLines("failed to load mesh")) << "nothing was loaded";

  EMesh* loose = new EMesh;
  m_OwnMeshes.push_back(loose);
  e->SetMesh(loose, false);
  EXPECT_EQ(own, e->GetMesh());
  EXPECT_EQ(2, CountLines("Can't call SetMesh to replace an entity mesh"));
}

TEST_F(MeshEntityTest, HeadJointAndLookFrame) {
  CountingEntity* e = MakeAnimated();
  EXPECT_FALSE(e->SetHeadJoint("headJA_1"));
  EXPECT_EQ(nullptr, e->GetHeadJoint());
  ASSERT_TRUE(e->SetHeadJoint("J1"));
  ASSERT_NE(nullptr, e->GetHeadJoint());
  const EQuat q = EQuat(e->GetHeadJoint()->GetBasePoseToLocal()).Conjugate();
  EXPECT_FLOAT_EQ(q.x, e->GetLookAtParams().x);
  EXPECT_FLOAT_EQ(q.w, e->GetLookAtParams().w);

  m_App.m_pPlayer = e;
  ASSERT_TRUE(e->SetHeadJoint("J1"));
  EXPECT_FLOAT_EQ(0.4638287f, e->GetLookAtParams().x);
  EXPECT_FLOAT_EQ(0.5137674f, e->GetLookAtParams().w);
  m_App.m_pPlayer = nullptr;
}

// ---------------------------------------------------------------- frame

TEST_F(MeshEntityTest, FrameStepsThePhysicsWithTheClampedTime) {
  CountingEntity* e = Make();
  EPhysics* p = e->GetPhysics();
  ASSERT_NE(nullptr, p);
  struct {
    float ms;
    unsigned steps;
    float seconds;
  } cases[] = {{0.0f, 0, 0.0f}, {16.0f, 1, 0.016f}, {250.0f, 2, 0.1f}, {0.0f, 2, 0.1f}};
  for (const auto& c : cases) {
    e->ProcessFrame(c.ms);
    EXPECT_EQ(c.steps, p->GetNumSteps()) << c.ms;
    EXPECT_FLOAT_EQ(c.seconds, p->GetLastStepSeconds()) << c.ms;
  }
}

// ---------------------------------------------------------------- animation

TEST_F(MeshEntityTest, LoadAnimRestacksARunningInstance) {
  CountingEntity* e = MakeAnimated();
  WriteJan("anims/Walk.jan");
  WriteJan("anims/run.jan");
  bool bRestacked = true;
  ELoadAnimArgs args;
  args.m_pbRestacked = &bRestacked;
  args.m_iStackPos = 0;
  ESkelAnim* walk = e->LoadAnim("anims/Walk.jan", 0.0f, true, args);
  ASSERT_NE(nullptr, walk);
  EXPECT_FALSE(bRestacked);
  ESkelAnim* run = e->LoadAnim("anims/run.jan", 0.0f, true, args);
  ASSERT_NE(nullptr, run);

  // The newest match of a prefix, in any case.
  EXPECT_EQ(walk, e->IsPlayingAnim("WALK"));
  EXPECT_EQ(run, e->IsPlayingAnim("r"));
  EXPECT_EQ(nullptr, e->IsPlayingAnim("jump"));
  EXPECT_TRUE(e->IsPlayingAnim(run));

  walk->SetManualFrame(true);
  args.m_bBlendOutAtEnd = true;
  EXPECT_EQ(walk, e->LoadAnim("anims/Walk.jan", 0.0f, true, args));
  EXPECT_TRUE(bRestacked);
  EXPECT_FALSE(walk->IsManualFrame());
  EXPECT_TRUE(walk->m_bBlendOutAtEnd);

  struct {
    const char* what;
    bool loop;
    int priority;
    int stack;
  } fresh[] = {{"no stack position", true, 0, -1}, {"other loop flag", false, 0, 0}, {"other priority", true, 2, 0}};
  for (const auto& c : fresh) {
    ELoadAnimArgs a;
    a.m_pbRestacked = &bRestacked;
    a.m_iStackPos = c.stack;
    a.m_iPriority = c.priority;
    ESkelAnim* again = e->LoadAnim("anims/Walk.jan", 0.0f, c.loop, a);
    ASSERT_NE(nullptr, again) << c.what;
    EXPECT_NE(walk, again) << c.what;
    EXPECT_FALSE(bRestacked) << c.what;
  }
}

// ---------------------------------------------------------------- tables

TEST_F(MeshEntityTest, TableFilesThatCannotBeUsed) {
  CountingEntity* e = Make();
  EXPECT_FALSE(e->SetActionTable("none.asd", false));
  EXPECT_EQ(1, CountLines("EMeshEntity:: Could not find file for SetActionTable"));
  EXPECT_FALSE(e->HasActionTable());

  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"B", "0"}}, "[0,1]\n4\n")));
  ASSERT_TRUE(e->SetNewAction("B", false));
  EXPECT_EQ(1, e->GetCurAction());

  // Damaged text: traced, false, and the current action starts over.
  WriteText("bad.asd", "NotAnActionFile\n");
  EXPECT_FALSE(e->SetActionTable("bad.asd", false));
  EXPECT_EQ(1, CountLines("EMeshEntity: Error loading Action Table for file 'bad.asd'")) << AllLines();
  EXPECT_EQ(-1, e->GetCurAction());

  // A file that cannot be read whole (a folder opens but reads nothing).
  ASSERT_EQ(0, mkdir(Path("folder.asd").c_str(), 0755));
  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}}, "")));
  m_Lines.clear();
  EXPECT_FALSE(e->SetActionTable("folder.asd", false));
  EXPECT_EQ(1, CountLines("EMeshEntity:: Did not read in entire file")) << AllLines();
  EXPECT_FALSE(e->HasActionTable());
}

TEST_F(MeshEntityTest, ChangesOfActionThatAreRefused) {
  struct {
    const char* what;
    std::string text;
    const char* target;
    bool result;
    int action;
    const char* trace;
  } cases[] = {
      {"no Init starts from state 0", Asd({{"A", "0"}, {"B", "0"}}, "[0,1]\n4\n"), "B", true, 1, "No Init state"},
      {"locked", Asd({{"Init", "1"}, {"B", "0"}}, "[0,1]\n4\n"), "B", false, 0, "Action 'Init' is Locked"},
      {"no transition", Asd({{"Init", "0"}, {"B", "0"}}, "[1,0]\n4\n"), "B", false, 0,
       "SetNewAction: transition <Init> to <B> is undefined"},
      {"unknown state", Asd({{"Init", "0"}}, "[0,0]\n4\n"), "Nowhere", false, -1,
       "SetNewAction: hero could not get index for 'Nowhere'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CountingEntity* e = Make();
    ASSERT_TRUE(Table(e, c.text)) << AllLines();
    m_Lines.clear();
    EXPECT_EQ(c.result, e->SetNewAction(c.target, true));
    EXPECT_EQ(c.action, e->GetCurAction());
    EXPECT_EQ(1, CountLines(c.trace)) << AllLines();
    EXPECT_EQ(c.result ? 1 : 0, e->m_nChanged);
  }
}

TEST_F(MeshEntityTest, GotoInAnEndListMakesItsTargetTheAction) {
  // States: Init 0, A 1, C 2, _Begin 3, _End 4. Init's end list goes to C.
  CountingEntity* e = Make();
  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"A", "0"}, {"C", "0"}, {"_Begin", "0"}, {"_End", "0"}},
                           "[0,1]\n4\n"
                           "[0,2]\n4\n"
                           "[4,0]\n2 C\n"
                           "[3,1]\n3\nbeganA = 1\n[LUAEND]\n"
                           "[3,2]\n3\nbeganC = (beganC or 0) + 1\n[LUAEND]\n")))
      << AllLines();
  EXPECT_TRUE(e->SetNewAction("A", false));
  EXPECT_STREQ("C", e->GetActionName());
  EXPECT_STREQ("Init", e->GetActionName(e->GetPrevAction()));
  EXPECT_EQ(-1.0, Global("beganA")) << "the first change stopped after the end list";
  EXPECT_EQ(1.0, Global("beganC"));
  EXPECT_EQ(1, e->m_nChanged) << "only the go-to's change completed";
}

TEST_F(MeshEntityTest, ListsRunItemsUntilOneWaits) {
  CountingEntity* e = MakeAnimated();
  WriteJan("anims/loop.jan");
  WriteJan("anims/once.jan");
  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"A", "0"}, {"B", "0"}, {"W", "0"}},
                           "[0,1]\n1 \"anims/loop.jan\" 0.0 0\n2 B\n"
                           "[1,2]\n4\n"
                           "[2,3]\n1 \"anims/once.jan\" 0.0 1\n2 A\n"
                           "[3,1]\n4\n")))
      << AllLines();
  // A non-waiting animation and the go-to after it run in one call.
  ASSERT_TRUE(e->SetNewAction("A", true));
  EXPECT_STREQ("B", e->GetActionName());
  EXPECT_NE(nullptr, e->IsPlayingAnim("loop.jan"));

  // A waiting item holds the list until its animation has played out.
  ASSERT_TRUE(e->SetNewAction("W", true));
  ESkelAnim* once = e->IsPlayingAnim("once.jan");
  ASSERT_NE(nullptr, once);
  EXPECT_EQ(once, e->GetActionPos().m_pData);
  EXPECT_FALSE(e->RunActions(e->GetActionPos(), false));
  EXPECT_STREQ("W", e->GetActionName());
  EXPECT_FALSE(e->InterruptAction(0.5f)) << "frame 0 of 30 is not half way";
  once->SetFrame(20.0f);
  EXPECT_TRUE(e->InterruptAction(0.5f));
  e->RunActions(e->GetActionPos(), false);
  EXPECT_STREQ("A", e->GetActionName());
}

TEST_F(MeshEntityTest, CustomStepsWaitAndPauseControls) {
  CountingEntity* e = Make();
  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"A", "0"}, {"B", "0"}},
                           "[0,1]\n6 2 1 0 0 0\n6 4 0 0 0.5 0\n2 B\n"
                           "[1,2]\n6 2 0 0 0 0\n6 9 0 0 0 0\n")))
      << AllLines();
  const bool bPaused = EControlHandler::ControlsPaused();
  m_App.SetSimElapsedTime(10.0);
  ASSERT_TRUE(e->SetNewAction("A", true));
  EXPECT_TRUE(EControlHandler::ControlsPaused());
  EXPECT_STREQ("A", e->GetActionName()) << "the wait started";
  for (double t : {10.2, 10.5}) {
    m_App.SetSimElapsedTime(t);
    e->RunActions(e->GetActionPos(), false);
    EXPECT_STREQ("A", e->GetActionName()) << t;
  }
  m_App.SetSimElapsedTime(10.51);
  m_Lines.clear();
  e->RunActions(e->GetActionPos(), false);
  EXPECT_STREQ("B", e->GetActionName());
  EXPECT_FALSE(EControlHandler::ControlsPaused());
  EXPECT_EQ(1, CountLines("MeshEntity: Unknown custom action 9")) << AllLines();
  EControlHandler::PauseControls(bPaused, false);
}

TEST_F(MeshEntityTest, ScriptItemsRunOnTheEntityAndSurviveErrors) {
  CountingEntity* e = Make();
  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"A", "0"}},
                           "[0,1]\n3\nif self == nil then seenNil = 1 end\n[LUAEND]\n"
                           "3\nerror('boom')\n[LUAEND]\n3\nafter = 1\n[LUAEND]\n")))
      << AllLines();
  ASSERT_TRUE(e->SetNewAction("A", true));
  EXPECT_EQ(1.0, Global("seenNil"));
  EXPECT_EQ(1, CountLines("RunLuaAction Error in Entity 'hero'")) << AllLines();
  EXPECT_EQ(1.0, Global("after")) << "the list moves on after an error";
}

TEST_F(MeshEntityTest, ActionNumbersAndNames) {
  CountingEntity* e = Make();
  std::string text = "ActionFile\n";
  for (int i = 0; i < 8; ++i) text += "S" + std::to_string(i) + "\n0\n";
  text += "[EndHeaders]\n[0,7]\n4\n[End]\n";
  ASSERT_TRUE(Table(e, text));
  EXPECT_EQ(-1, e->GetActionNumber(nullptr)) << "no name: the current action";
  EXPECT_EQ(65535, e->GetActionNumber("S9"));
  ASSERT_TRUE(e->SetNewAction("S7", false));
  EXPECT_TRUE(e->InActions(3, 7, 0));
  EXPECT_FALSE(e->InActions(3, 4, 0));
  m_Lines.clear();
  EXPECT_FALSE(e->InActions(151, 7, 0));
  EXPECT_EQ(1, CountLines("hero: Bogus action number 151")) << AllLines();
  EXPECT_TRUE(e->InActionType("7"));
  EXPECT_FALSE(e->InActionType("x"));
  EXPECT_EQ(nullptr, e->GetActionName(8));
  EXPECT_TRUE(e->SetNewAction("S7", true)) << "the current action again";
  EXPECT_EQ(1, e->m_nChanged);
}

TEST_F(MeshEntityTest, PlayerTableNumbersAreResolvedOnce) {
  meshentityactions::g_bPlayerActionsResolved = false;
  const int iSaved[3] = {kAS_Anim_Preload, kAS_Walk, kAS_Wince};
  CountingEntity* e = Make("Ruzi");
  WriteText("ruzi.asd", Asd({{"Init", "0"}, {"_Preload", "0"}, {"Walk", "0"}}, ""));
  ASSERT_TRUE(e->SetActionTable("ruzi.asd", false));
  EXPECT_EQ(1, kAS_Anim_Preload);
  EXPECT_EQ(2, kAS_Walk);
  EXPECT_EQ(65535, kAS_Wince);
  EXPECT_EQ(1, CountLines("has no state 'Wince'")) << "a content error is reported";
  WriteText("ruzi.asd", Asd({{"Walk", "0"}}, ""));
  ASSERT_TRUE(e->SetActionTable("ruzi.asd", false));
  EXPECT_EQ(2, kAS_Walk) << "resolved once per run";
  kAS_Anim_Preload = iSaved[0];
  kAS_Walk = iSaved[1];
  kAS_Wince = iSaved[2];
}

// ---------------------------------------------------------------- placement

TEST_F(MeshEntityTest, LedgeAnimationsGetTheirRootPlacement) {
  struct {
    const char* file;
    bool moved;
    EVec3 root;
    bool turned;
  } cases[] = {
      {"anims/ledgedrop.jan", true, EVec3(0, -32.6f, -2), false},
      {"anims/Ledge_Drop_To_Hang.jan", true, EVec3(0, 150, 38), true},
      {"anims/LedgeShimmyLeft.jan", true, EVec3(0, 150, 38), false},
      {"anims/ledgehangpose.jan", true, EVec3(0, 150, 38), false},
      {"anims/walk.jan", false, EVec3(0, 0, 0), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    CountingEntity* e = MakeAnimated();
    WriteJan(c.file);
    ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"A", "0"}}, "[0,1]\n1 \"" + std::string(c.file) + "\" 0.0 16\n")));
    ASSERT_TRUE(e->SetNewAction("A", true));
    ESkelAnim* a = e->IsPlayingAnim(ESkelAnim::FilenameToAnimName(c.file));
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(c.moved, (bool)a->m_bRootOverride);
    if (!c.moved) continue;
    EXPECT_NEAR(c.root.x, a->GetRootPosition().x, 1e-4f);
    EXPECT_NEAR(c.root.y, a->GetRootPosition().y, 1e-4f);
    EXPECT_NEAR(c.root.z, a->GetRootPosition().z, 1e-4f);
    if (c.turned) {
      EXPECT_NEAR(1.0f, fabsf(a->GetRootRotation().y), 1e-4f) << "half a turn about y";
      EXPECT_NEAR(0.0f, a->GetRootRotation().w, 1e-4f);
    }
  }
}

TEST_F(MeshEntityTest, AnimationDeltasMoveThePhysicsOrAreRefused) {
  CountingEntity* e = Make();
  EPhysics* p = e->GetPhysics();
  e->SetAnimationMovementScale(2.0f);
  e->ApplyAnimTranslation(EVec3(1, 0, 3), nullptr);
  EXPECT_FLOAT_EQ(2.0f, p->GetRelAnimMove().x);
  EXPECT_FLOAT_EQ(6.0f, p->GetRelAnimMove().z);
  EXPECT_FLOAT_EQ(3.0f, e->getSplineAnimationDelta().z) << "the unscaled delta";

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const EVec3 bad[] = {EVec3(nan, 0, 0), EVec3(0, 2e7f, 0), EVec3(0, 0, -std::numeric_limits<float>::infinity())};
  for (const EVec3& v : bad) {
    m_Lines.clear();
    e->ApplyAnimTranslation(v, nullptr);
    EXPECT_FLOAT_EQ(2.0f, p->GetRelAnimMove().x);
    EXPECT_FLOAT_EQ(0.0f, p->GetRelAnimMove().y);
    EXPECT_FLOAT_EQ(6.0f, p->GetRelAnimMove().z);
    EXPECT_FLOAT_EQ(3.0f, e->getSplineAnimationDelta().z);
    EXPECT_EQ(1, CountLines("hero: ignoring animation delta")) << AllLines();
  }
}

TEST_F(MeshEntityTest, AffectorPassesAndOneShotAlternateAnimations) {
  CountingEntity* e = MakeAnimated();
  for (const char* f : {"anims/wait.jan", "anims/walk.jan", "anims/alt.jan"}) WriteJan(f);
  ASSERT_TRUE(Table(e, Asd({{"Init", "0"}, {"A", "0"}, {"B", "0"}},
                           "[0,1]\n1 \"anims/wait.jan\" 0.0 3\n2 B\n"
                           "[1,2]\n1 \"anims/walk.jan\" 0.0 0\n"
                           "[2,1]\n1 \"anims/walk.jan\" 0.0 0\n")))
      << AllLines();
  // The waiting item asks for the pass after the affectors; its animation
  // ends during them, so the go-to runs in the same frame.
  ASSERT_TRUE(e->SetNewAction("A", false));
  m_App.m_fSimDeltaTime = 2.0f;
  e->RunAffectors();
  EXPECT_STREQ("B", e->GetActionName()) << AllLines();

  // A replacement name serves the first animation item after the change, once.
  ASSERT_TRUE(e->SetNewActionEx("A", nullptr, true, "anims/alt.jan"));
  EXPECT_NE(nullptr, e->IsPlayingAnim("alt.jan"));
  EXPECT_EQ(nullptr, e->IsPlayingAnim("walk.jan"));
  ASSERT_TRUE(e->SetNewAction("B", true));
  EXPECT_NE(nullptr, e->IsPlayingAnim("walk.jan"));
}
