// The shader refresh natives: each sets only its own request, served at the
// next frame's drawing.
#include "Game/GameShaders.h"
#include "Game/PCGameApp.h"
#include "ScriptVMTestUtil.h"

class ScriptShaderFuncsTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    m_pSavedShaders = m_HostApp.m_pGameShaders;
  }
  void TearDown() override {
    m_HostApp.m_pGameShaders = m_pSavedShaders;
    ScriptVMTest::TearDown();
  }
  EGameShaders* m_pSavedShaders = nullptr;
};

TEST_F(ScriptShaderFuncsTest, EachRefreshSetsOnlyItsOwnRequest) {
  const struct {
    const char* call;
    bool vertex, pixel;
  } cases[] = {
      {"RefreshVertexShaders()", true, false},
      {"RefreshPixelShaders()", false, true},
      {"RefreshVertexShaders() RefreshPixelShaders()", true, true},
  };
  for (const auto& c : cases) {
    EGameShaders fresh(nullptr);
    m_HostApp.m_pGameShaders = &fresh;
    ASSERT_TRUE(Run(c.call)) << c.call;
    EXPECT_EQ(c.vertex, fresh.IsVertexShaderRefreshRequested()) << c.call;
    EXPECT_EQ(c.pixel, fresh.IsPixelShaderRefreshRequested()) << c.call;
  }
}

TEST_F(ScriptShaderFuncsTest, WithoutAShaderLibraryNothingHappens) {
  m_HostApp.m_pGameShaders = nullptr;
  EXPECT_TRUE(Run("RefreshVertexShaders() RefreshPixelShaders()"));
}
