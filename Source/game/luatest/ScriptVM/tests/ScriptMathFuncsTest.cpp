// The maths, bit and id natives as scripts call them.
#include <cmath>
#include <cstring>

#include "Game/PCGameApp.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"

class ScriptMathFuncsTest : public ScriptVMTest {
protected:
  // The raw bits of the first result of the expression.
  uint32_t Id(const std::string& expr) {
    Run(("gId = " + expr).c_str());
    lua_getglobal(L, "gId");
    uint32_t u = lua_toid(L, -1);
    lua_pop(L, 1);
    return u;
  }
  std::vector<float> Nums(const std::string& call, int n) {
    std::string names;
    for (int i = 0; i < n; ++i) names += (i ? ", r" : "r") + std::to_string(i);
    EXPECT_TRUE(Run((names + " = " + call).c_str())) << call;
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(Num("r" + std::to_string(i)));
    return v;
  }
};

TEST_F(ScriptMathFuncsTest, BitNativesWorkOn32BitPatternsAndAnswerInSinglePrecision) {
  const struct {
    const char* expr;
    float want;
  } cases[] = {
      {"BitAnd(12, 10)", 8},
      {"BitOr(12, 10)", 14},
      {"BitXor(12, 10)", 6},
      {"BitNot(0)", 8388607},
      {"BitNot(-1)", 0},
      {"BitLsh(1, 33)", 2},
      {"BitRsh(-1, 28)", 15},
      {"BitRsh(256.9, 4)", 16},
      {"BitOr(16777215, 16777216)", 33554432},
      {"BitAnd(-1, 4294967296 + 5)", 0},  // 2^32 + 5 rounds to 2^32 in single precision: 0 modulo 2^32
  };
  for (const auto& c : cases) EXPECT_EQ(Num(c.expr), c.want) << c.expr;
}

TEST_F(ScriptMathFuncsTest, BitStoreAndFetchGiveIdValuesAndTraceBadRequests) {
  const struct {
    const char* expr;
    uint32_t want;
    const char* trace;
  } cases[] = {
      {"BitStore(0, 5, 4, 4)", 0x50, nullptr},
      {"BitStore(80, 1, 4, 4)", 0x10, "0x50 already has data at 0xf0"},
      {"BitStore(0, 17, 0, 4)", 1, "Field 0x11 too big to fit in 0xf (4 bits)"},
      {"BitStore(0, 1, 30, 4)", 0, "Not enough bits to store 4 at << 30"},
      {"BitStore(3, 7, 0, 32)", 7, "0x3 already has data at 0xffffffff"},
      {"BitStore(-1, 0, 32, 0)", 0xFFFFFFFFu, nullptr},
      {"BitFetch(240, 4, 4)", 15, nullptr},
      {"BitFetch(-1, 0, 32)", 0xFFFFFFFFu, nullptr},
      {"BitFetch(255, 30, 4)", 0, "Not enough bits to fetch 4 at << 30"},
  };
  for (const auto& c : cases) {
    m_Lines.clear();
    EXPECT_EQ(Id(c.expr), c.want) << c.expr;
    if (c.trace) {
      EXPECT_EQ(CountLines(c.trace), 1) << c.expr << "\n" << AllLines();
    } else {
      EXPECT_EQ(CountLines("bits to") + CountLines("already has") + CountLines("too big"), 0) << c.expr << "\n"
                                                                                            << AllLines();
    }
  }
}

TEST_F(ScriptMathFuncsTest, IdComparisonAndArgumentCounts) {
  EXPECT_EQ(Num("IDsAreEqual(1, 1)"), 1.0f);
  EXPECT_EQ(Num("IDsAreEqual(1, 1.0000001)"), 0.0f);
  EXPECT_EQ(Num("IDsAreEqual(BitStore(0, 5, 4, 4), BitStore(0, 5, 4, 4))"), 1.0f);
  const char* wrong[] = {"BitAnd(1)", "BitNot(1, 2)", "BitStore(1, 2, 3)", "NativeQuatSlerp(0, 0, 0, 1)",
                         "IDsAreEqual(1)"};
  ASSERT_TRUE(Run("function CountResults(...) return arg.n end"));
  for (const char* w : wrong) {
    m_Lines.clear();
    ASSERT_TRUE(Run((std::string("gN = CountResults(") + w + ")").c_str())) << w;
    EXPECT_EQ(Num("gN"), 0.0f) << w;
    EXPECT_EQ(CountLines("invalid # of arguments (need "), 1) << w << "\n" << AllLines();
  }
  // the natives that take anything
  ASSERT_TRUE(Run("gN = CountResults(DoNothing(1, 2, 3)) + CountResults(LinkCheckOnly(5)) + CountResults(PurgeBlendAnims())"));
  EXPECT_EQ(Num("gN"), 0.0f);
}

TEST_F(ScriptMathFuncsTest, QuaternionsCurvesAndVectors) {
  const float kHalf = std::sqrt(0.5f);
  auto near = [](const std::vector<float>& got, std::initializer_list<float> want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    size_t i = 0;
    for (float w : want) EXPECT_NEAR(got[i++], w, 1e-4f) << what << " [" << i - 1 << "]";
  };
  near(Nums("NativeQuatFromAxisAngle(0, 1, 0, 90)", 4), {0, kHalf, 0, kHalf}, "axis angle");
  // 90 then 90 about y: 180 about y
  near(Nums("NativeMulQuatQuat(0, 0.70710678, 0, 0.70710678, 0, 0.70710678, 0, 0.70710678)", 4), {0, 1, 0, 0},
       "product");
  near(Nums("NativeMulQuatVec(0, 0, 0, 1, 1, 2, 3)", 3), {1, 2, 3}, "identity rotation");
  std::vector<float> q = Nums("NativeEulerToQuat(10, 20, 30)", 4);
  std::vector<float> e = Nums("NativeQuatToEuler(" + std::to_string(q[0]) + ", " + std::to_string(q[1]) + ", " +
                                  std::to_string(q[2]) + ", " + std::to_string(q[3]) + ")",
                              3);
  near(e, {10, 20, 30}, "euler round trip");
  // the shortest arc between two axes, whatever their lengths
  std::vector<float> arc = Nums("NativeQuatFromVectorPair(5, 0, 0, 0, 0, 2)", 4);
  std::vector<float> v = Nums("NativeMulQuatVec(" + std::to_string(arc[0]) + ", " + std::to_string(arc[1]) + ", " +
                                  std::to_string(arc[2]) + ", " + std::to_string(arc[3]) + ", 1, 0, 0)",
                              3);
  near(v, {0, 0, 1}, "vector pair");
  // slerp between q and -q stays at q (up to sign)
  std::vector<float> s = Nums("NativeQuatSlerp(0, 0.70710678, 0, 0.70710678, 0, -0.70710678, 0, -0.70710678, 0.5)", 4);
  EXPECT_NEAR(std::fabs(s[1]), kHalf, 1e-4f);
  EXPECT_NEAR(std::fabs(s[3]), kHalf, 1e-4f);
  // Catmull-Rom through evenly spaced points on a line is the line
  near(Nums("EvaluateCurve(0,0,0, 1,0,0, 2,0,0, 3,0,0, 0.5)", 3), {1.5f, 0, 0}, "curve middle");
  near(Nums("EvaluateCurve(0,0,0, 1,2,3, 2,0,0, 3,0,0, 0)", 3), {1, 2, 3}, "curve start");
  near(Nums("CalculateRightVector(0, 0, -1)", 3), {1, 0, 0}, "right of forward");
  std::vector<float> r = Nums("CalculateRightVector(0, 1, 0)", 3);  // parallel to up
  EXPECT_NEAR(r[0] * r[0] + r[1] * r[1] + r[2] * r[2], 1.0f, 1e-4f);
}

TEST_F(ScriptMathFuncsTest, SetScriptValueTestWritesIntoThePlayersStats) {
  PCGameApp app;
  gGameApp = &app;
  app.BuildDomainTree();
  WriteClass("test.Hero", "");
  EMeshEntity* player = EMeshEntity::Create(app.m_pMainDomain, "hero");
  ASSERT_TRUE(player->AttachScript("test.Hero", "hero", nullptr, false, true, false));
  app.m_pPlayer = player;
  ASSERT_TRUE(Run("SetScriptValueTest()"));
  EXPECT_TRUE(Run("gHas = gLSO.hero.stats and 1 or 0"));
  EXPECT_EQ(Num("gHas"), 0.0f);  // no stats table: nothing written
  ASSERT_TRUE(Run("gLSO.hero.stats = {}\nSetScriptValueTest()"));
  EXPECT_EQ(Num("gLSO.hero.stats.Yes3"), 34.0f);
  EXPECT_EQ(Num("gLSO.hero.stats.Yes4"), 98.7f);
  EXPECT_EQ(Num("gLSO.hero.stats.Yes2 == 'Howdy' and 1 or 0"), 1.0f);
  app.m_pPlayer = nullptr;
  app.DelayedDelete(player);
  vm.DestroyDeletedScriptObjects();
  for (int i = 0; i < app.m_aDelayedDeleteEntities.Num(); ++i) delete app.m_aDelayedDeleteEntities[i];
  app.m_aDelayedDeleteEntities.Empty();
  gGameApp = nullptr;
}
