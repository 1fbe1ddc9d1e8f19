// The line-collision natives as scripts call them.
#include <cmath>

#include "ScriptVMTestUtil.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Domain.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

class ScriptLineFuncsTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    m_bWarnings = g_ErrorManager.IsEnabled(TT_Warning);
    g_ErrorManager.SetEnabled(TT_Warning, true);
    WriteClass("test.Rope", "  o.IsA = function(self, name) return self.rope == 1 and name == 'global.props.Tightrope' end\n");
    m_pRoot = new EDomain(nullptr, &m_cm);
    m_Scenes.SetActiveDomain(m_pRoot);
    m_HostApp.m_pSceneManager = &m_Scenes;
  }
  void TearDown() override {
    m_HostApp.m_pSceneManager = nullptr;
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
    }
    vm.DestroyDeletedScriptObjects();
    for (EEntity* e : m_made) delete e;
    delete m_pRoot;
    g_ErrorManager.SetEnabled(TT_Warning, m_bWarnings);
    ScriptVMTest::TearDown();
  }
  // A scripted entity at p, known to the scripts as the global szName; a
  // tightrope when bRope.
  EMeshEntity* Make(const char* szName, const EVec3& p, bool bRope = false) {
    EMeshEntity* e = EMeshEntity::Create(m_pRoot, szName);
    m_made.push_back(e);
    EXPECT_TRUE(e->AttachScript("test.Rope", szName, nullptr, false, true, false));
    e->GetPhysics()->SetPosition(p);
    Lua_PushLSO(L, e->GetScriptObject());
    lua_setglobal(L, szName);
    if (bRope) Run((std::string(szName) + ".rope = 1").c_str());
    return e;
  }
  // Files the entity's line collision with the collision manager.
  void File(EEntity* e) {
    e->SetVisible(true);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    m_cm.Unregister(e);
    m_cm.Register(e);
    e->GetPhysics()->SetCollisionType(CPT_Capsules);
    m_cm.Update(e);
  }
  // The numbers the last script left in gA, gB, gC.
  EVec3 Result() { return EVec3(Num("gA"), Num("gB"), Num("gC")); }

  ECollisionManager m_cm{false};
  ESceneManager m_Scenes;
  EDomain* m_pRoot = nullptr;
  std::vector<EEntity*> m_made;
  bool m_bWarnings = false;
};

TEST_F(ScriptLineFuncsTest, EndLineCollisionBuildsADistanceTimedLine) {
  EMeshEntity* e = Make("gRail", EVec3(0, 0, 0));
  ASSERT_TRUE(Run("StartLineCollision()\n"
                  "AddLineCollision(0, 0, 0, 0, 1, 0)\n"
                  "AddLineCollision(3, 4, 0, 0, 1, 0)\n"
                  "AddLineCollision(3, 4, 12, 1, 0, 0)\n"
                  "EndLineCollision(gRail, 25)"));
  ELineCollision* pFirst = e->GetLineCollision();
  ASSERT_NE(nullptr, pFirst);
  EXPECT_EQ(25.0f, pFirst->GetRadius());
  EXPECT_EQ(ELineCollision::kTIME_ArcLength, pFirst->GetTimeStyle());
  EXPECT_EQ(std::vector<float>({0.0f, 5.0f, 17.0f}), pFirst->GetTimes());
  EXPECT_EQ(EVec3(1, 0, 0), pFirst->GetNormals()[2]);
  EXPECT_FALSE(pFirst->IsLooping());

  // The pending points went with the line: ending again, or with one point,
  // traces and keeps the line.
  for (const char* code : {"EndLineCollision(gRail, 5)",
                           "StartLineCollision() AddLineCollision(1, 1, 1, 0, 1, 0) EndLineCollision(gRail, 5)"}) {
    m_Lines.clear();
    ASSERT_TRUE(Run(code));
    EXPECT_EQ(pFirst, e->GetLineCollision()) << code;
    EXPECT_EQ(1, CountLines("a line collision needs two points")) << AllLines();
  }

  // A new line replaces (and deletes) the old one; a new start forgets the
  // point gathered before.
  ASSERT_TRUE(Run("StartLineCollision()\n"
                  "AddLineCollision(0, 0, 0, 0, 1, 0)\n"
                  "AddLineCollision(0, 0, 8, 0, 1, 0)\n"
                  "EndLineCollision(gRail, 2)"));
  ASSERT_NE(nullptr, e->GetLineCollision());
  EXPECT_EQ(2, e->GetLineCollision()->NumPoints());
  EXPECT_EQ(std::vector<float>({0.0f, 8.0f}), e->GetLineCollision()->GetTimes());

  // Wrong argument counts trace and do nothing.
  m_Lines.clear();
  ASSERT_TRUE(Run("AddLineCollision(1, 2, 3)"));
  EXPECT_EQ(1, CountLines("invalid # of arguments (need 6)")) << AllLines();
}

TEST_F(ScriptLineFuncsTest, TightropesOnly) {
  EMeshEntity* plain = Make("gPlain", EVec3(0, 0, 0));
  EMeshEntity* rope = Make("gRope", EVec3(0, 0, 0), true);
  m_Lines.clear();
  ASSERT_TRUE(Run("CreateTightropeCollision(gPlain, 0, 0, 0, 10, 0, 0, 3)"));
  EXPECT_EQ(nullptr, plain->GetLineCollision());
  EXPECT_EQ(1, CountLines("gPlain is not a global.props.Tightrope")) << AllLines();

  struct Case {
    const char* code;
    float radius;
  } cases[] = {{"CreateTightropeCollision(gRope, 0, 0, 0, 10, 0, 0, 3)", 3.0f},
               {"CreateTightropeCollision(gRope, 0, 0, 0, 10, 0, 0, nil)", 0.0f}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Run(c.code));
    ELineCollision* line = rope->GetLineCollision();
    ASSERT_NE(nullptr, line) << c.code;
    EXPECT_EQ(c.radius, line->GetRadius()) << c.code;
    EXPECT_EQ(ELineCollision::kTIME_PointIndex, line->GetTimeStyle());
    ASSERT_EQ(2u, line->GetNormals().size());
    const EVec3 right = EVec3(10, 0, 0).CalculateRightVector(EVec3(0, 1, 0));
    EXPECT_EQ(right, line->GetNormals()[0]);
    EXPECT_EQ(right, line->GetNormals()[1]);
    EXPECT_EQ(EVec3(10, 0, 0), line->GetPoints()[1]);
  }
}

TEST_F(ScriptLineFuncsTest, SkipsAndQueries) {
  EMeshEntity* e = Make("gRail", EVec3(100, 0, 0));
  Make("gBare", EVec3(0, 0, 0));
  ASSERT_TRUE(Run("StartLineCollision()\n"
                  "for i = 0, 4 do AddLineCollision(i * 10, 0, 0, 0, 1, 0) end\n"
                  "EndLineCollision(gRail, 1)"));
  ELineCollision* line = e->GetLineCollision();
  ASSERT_NE(nullptr, line);
  // Times 0, 10, 20, 30, 40.
  struct Case {
    const char* code;
    std::vector<bool> skipped;
  } cases[] = {
      {"Spline_AddSkip(gRail, 15)", {false, true, false, false}},
      {"Spline_AddSkip(gRail, 5, 25)", {true, true, true, false}},
      {"Spline_AddSkip(gRail, 25, 5)", {true, true, true, false}},
      {"Spline_AddSkip(gRail, 40)", {false, false, false, true}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Run("Spline_ClearSkips(gRail)"));
    ASSERT_TRUE(Run(c.code));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.skipped[i], line->IsSkipped(i)) << c.code << " segment " << i;
  }

  ASSERT_TRUE(Run("gA, gB, gC = Spline_ParametricToPoint(gRail, 15)"));
  EXPECT_EQ(EVec3(115, 0, 0), Result());
  ASSERT_TRUE(Run("gA, gB, gC = Spline_GetRight(gRail, 15)"));
  const EVec3 right = Result();
  EXPECT_NEAR(0.0f, right.x, 1e-5f);
  EXPECT_NEAR(0.0f, right.y, 1e-5f);
  EXPECT_NEAR(1.0f, right.z, 1e-5f);
  // Closest point: skips do not matter.
  ASSERT_TRUE(Run("gA = Spline_FindClosestTo(gRail, 133, 7, 2)"));
  EXPECT_FLOAT_EQ(33.0f, Num("gA"));
  // An entity without a line gives nothing.
  ASSERT_TRUE(Run("gA = 5 gA = Spline_FindClosestTo(gBare, 1, 2, 3)"));
  EXPECT_EQ(1, Num("gA == nil and 1 or 0"));
}

TEST_F(ScriptLineFuncsTest, FindClosestAmongFiledLines) {
  EMeshEntity* a = Make("gLow", EVec3(0, 0, 0));
  EMeshEntity* b = Make("gHigh", EVec3(0, 4, 0));
  for (const char* name : {"gLow", "gHigh"}) {
    ASSERT_TRUE(Run((std::string("StartLineCollision() AddLineCollision(-50, 0, 0, 0, 1, 0) "
                                 "AddLineCollision(50, 0, 0, 0, 1, 0) EndLineCollision(") + name + ", 0.5)")
                        .c_str()));
  }
  File(a);
  File(b);
  struct Case {
    EVec3 p;
    const char* owner;  // nullptr: nothing within 5
    float t;
  } cases[] = {
      {EVec3(10, 1, 0), "gLow", 60.0f},
      {EVec3(-20, 3, 0), "gHigh", 30.0f},
      {EVec3(0, 30, 0), nullptr, 0.0f},
  };
  for (const Case& c : cases) {
    char code[200];
    snprintf(code, sizeof(code), "gO, gT = Spline_FindClosest(%g, %g, %g)", c.p.x, c.p.y, c.p.z);
    ASSERT_TRUE(Run("gO, gT = nil, nil"));
    ASSERT_TRUE(Run(code));
    if (!c.owner) {
      EXPECT_EQ(1, Num("gO == nil and 1 or 0")) << code;
      continue;
    }
    EXPECT_EQ(1, Num(std::string("gO == ") + c.owner + " and 1 or 0")) << code;
    EXPECT_NEAR(c.t, Num("gT"), 1e-3f) << code;
  }
}
