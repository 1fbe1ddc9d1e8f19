#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TWUtil/ErrorManager.h"
#include "VERirezo/SceneSettings.h"

namespace {

std::vector<std::string>* s_pSceneLines = nullptr;
void SceneCapture(const char* text) {
  if (s_pSceneLines) s_pSceneLines->push_back(text ? text : "");
}

class SceneSettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    s_pSceneLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(SceneCapture);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pSceneLines = nullptr;
  }
  std::vector<std::string> m_lines;
};

TEST_F(SceneSettingsTest, ResetRestoresTheLevelStartValuesAndKeepsTheShadowLight) {
  ESceneSettings s;
  EXPECT_EQ(s.m_idShadowFixedLightSource, 0u);
  s.SetDefaultTextures(7, 9);
  s.m_fNearClip = 1;
  s.m_fFarClip = 2;
  s.m_bDistanceFog = true;
  s.m_fHeightFogEnd = 0;
  s.m_iNumGlowBlurs = 1;
  s.m_byBinaryAlphaThreshold = 3;
  s.m_vShadowColor = EVec4(1, 1, 1, 1);
  s.m_idShadowFixedLightSource = 0x1234;
  s.m_dwSwitchableCollision = 7;
  s.m_fPsychedelicAlpha = 0.5f;
  s.SetMotionBlurState(kMOTIONBLURSTATE_DREAMY, 0);
  s.Reset();

  EXPECT_EQ(s.m_fNearClip, 10.0f);
  EXPECT_EQ(s.m_fFarClip, 50000.0f);
  EXPECT_FALSE(s.GetFogShaderFragment());
  EXPECT_EQ(s.m_fDistanceFogStart, 2000.0f);
  EXPECT_EQ(s.m_fDistanceFogEnd, 20000.0f);
  EXPECT_EQ(s.m_fHeightFogStart, 300.0f);
  EXPECT_EQ(s.m_fHeightFogEnd, -3000.0f);
  EXPECT_EQ(s.m_fDetailCullingRange[0], 0.5f);
  EXPECT_EQ(s.m_fDetailCullingRange[1], 0.3f);
  EXPECT_EQ(s.m_iNumGlowBlurs, 5);
  EXPECT_EQ(s.m_byBinaryAlphaThreshold, 150);
  EXPECT_EQ(s.m_vShadowColor.x, 0.0f);
  EXPECT_EQ(s.m_vShadowColor.y, 0.0f);
  EXPECT_EQ(s.m_vShadowColor.z, 0.0f);
  EXPECT_EQ(s.m_vShadowColor.w, 0.4f);
  EXPECT_EQ(s.m_dwSwitchableCollision, 1u);
  EXPECT_EQ(s.m_fPsychedelicAlpha, 0.0f);
  EXPECT_FALSE(s.m_bMotionBlur);
  EXPECT_EQ(s.m_fMotionBlurCurrentOutput, 0.0f);
  EXPECT_EQ(s.m_fMotionBlurScale, 1.0f);
  EXPECT_EQ(s.m_hDistortionTexture, 7u);
  EXPECT_EQ(s.m_hRenderSplineTexture, 9u);
  EXPECT_EQ(s.m_idShadowFixedLightSource, 0x1234u);  // not a reset value
  s.m_bHeightFog = true;
  EXPECT_TRUE(s.GetFogShaderFragment());
}

TEST_F(SceneSettingsTest, MotionBlurStatesSetTheirPresetsAndStandardActsAsNone) {
  const struct {
    int32_t state;
    bool on;
    float in, ox, oy, out, scale;
    int32_t filter;
  } cases[] = {
      {kMOTIONBLURSTATE_STANDARD, false, 0, 0, 0, 0, 1, 0},
      {kMOTIONBLURSTATE_DREAMY, true, 0.3f, 0, 0, 0.4f, 1.01f, 0},
      {kMOTIONBLURSTATE_SKY_CAPTAIN, true, 0.3f, 0, 0, 0.4f, 1.01f, 3},
      {kMOTIONBLURSTATE_FADE_TO_WHITE, true, 0, 0.1f, 0.01f, 1, 1.01f, 2},
      {kMOTIONBLURSTATE_FADE_TO_BLACK, true, 0, 0, -0.01f, 1, 0.99f, 2},
      {kMOTIONBLURSTATE_NONE, false, 0, 0, 0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    ESceneSettings s;
    s.SetMotionBlurState(kMOTIONBLURSTATE_DREAMY, 0);
    s.m_idMotionBlurMaskTexture = 5;
    s.m_fMotionBlurWobbleAmplitude = 2;
    s.m_fMotionBlurWobblePeriodMs = 3;
    s.SetMotionBlurState(c.state, 0);
    SCOPED_TRACE(c.state);
    EXPECT_EQ(s.m_bMotionBlur, c.on);
    EXPECT_EQ(s.m_fMotionBlurInputAmount, c.in);
    EXPECT_EQ(s.m_fMotionBlurInputOffsetX, c.ox);
    EXPECT_EQ(s.m_fMotionBlurInputOffsetY, c.oy);
    EXPECT_EQ(s.m_fMotionBlurOutputAmount, c.out);
    EXPECT_EQ(s.m_fMotionBlurCurrentOutput, c.out);  // no blend time: at once
    EXPECT_EQ(s.m_fMotionBlurScale, c.scale);
    EXPECT_EQ(s.m_iMotionBlurFilter, c.filter);
    EXPECT_EQ(s.m_idMotionBlurMaskTexture, 0u);
    EXPECT_EQ(s.m_fMotionBlurWobbleAmplitude, 0.0f);
    EXPECT_EQ(s.m_fMotionBlurWobblePeriodMs, 0.0f);
  }
}

TEST_F(SceneSettingsTest, TheStubNoticeIsWrittenOncePerRun) {
  ESceneSettings::sm_bMotionBlurStubShown = false;
  testing::internal::CaptureStderr();
  ESceneSettings s;  // its reset sets the state NONE
  s.SetMotionBlurState(kMOTIONBLURSTATE_STANDARD, 0);
  s.SetMotionBlurState(kMOTIONBLURSTATE_DREAMY, 0);
  std::string err = testing::internal::GetCapturedStderr();
  ESceneSettings::sm_bMotionBlurStubShown = true;
  const std::string notice = "STUBBED: hack to workaround permanent bacon blur at SetMotionBlurState (";
  ASSERT_NE(err.find(notice), std::string::npos) << err;
  EXPECT_EQ(err.find(notice, err.find(notice) + 1), std::string::npos) << err;
  EXPECT_NE(err.find("SceneSettings.cpp:"), std::string::npos) << err;
}

TEST_F(SceneSettingsTest, AnUnknownStateIsTracedAndChangesNothing) {
  ESceneSettings s;
  s.SetMotionBlurState(kMOTIONBLURSTATE_DREAMY, 500);
  s.m_idMotionBlurMaskTexture = 5;
  s.SetMotionBlurState(9, 0);
  ASSERT_EQ(m_lines.size(), 1u);
  EXPECT_EQ(m_lines[0], "Unknown value in SetMotionBlurState: 9");
  EXPECT_TRUE(s.m_bMotionBlur);
  EXPECT_EQ(s.m_fMotionBlurOutputAmount, 0.4f);
  EXPECT_EQ(s.m_fMotionBlurBlendMs, 500.0f);
  EXPECT_EQ(s.m_idMotionBlurMaskTexture, 5u);
}

TEST_F(SceneSettingsTest, FadeToBlackBlendsInRealTimeWhateverTheSimulatedStep) {
  for (float fSimMs : {250.0f, 25.0f, 0.0f}) {
    ESceneSettings s;
    s.SetMotionBlurState(kMOTIONBLURSTATE_FADE_TO_BLACK, 1000);
    EXPECT_EQ(s.m_fMotionBlurCurrentOutput, 0.0f);
    s.m_bMotionBlurHistoryValid = true;
    for (float want : {0.25f, 0.5f, 0.75f, 1.0f}) {
      s.Update(250, fSimMs);
      EXPECT_NEAR(s.m_fMotionBlurCurrentOutput, want, 1e-5f) << fSimMs;
    }
    EXPECT_EQ(s.m_fMotionBlurBlendMs, 0.0f);
    EXPECT_TRUE(s.m_bMotionBlurHistoryValid);
    // NONE with a blend time fades the output out, then the history is void
    s.SetMotionBlurState(kMOTIONBLURSTATE_NONE, 500);
    EXPECT_TRUE(s.m_bMotionBlur);
    s.Update(250, fSimMs);
    EXPECT_NEAR(s.m_fMotionBlurCurrentOutput, 0.5f, 1e-5f);
    s.Update(250, fSimMs);
    EXPECT_EQ(s.m_fMotionBlurCurrentOutput, 0.0f);
    EXPECT_FALSE(s.m_bMotionBlurHistoryValid);
  }
}

TEST_F(SceneSettingsTest, PsychedelicAlphaBlendsInSimulatedTime) {
  ESceneSettings s;
  s.m_fPsychedelicAlphaTarget = 0.5f;
  s.m_fPsychedelicBlendMs = 2000;
  s.Update(5000, 1000);
  EXPECT_NEAR(s.m_fPsychedelicAlpha, 0.25f, 1e-6f);
  s.Update(0, 400);
  EXPECT_NEAR(s.m_fPsychedelicAlpha, 0.35f, 1e-6f);
  s.Update(0, 600);
  EXPECT_EQ(s.m_fPsychedelicAlpha, 0.5f);
  EXPECT_EQ(s.m_fPsychedelicBlendMs, 0.0f);
  s.m_fPsychedelicAlpha = 0.1f;  // set at once without a time: no blending
  s.Update(1000, 1000);
  EXPECT_EQ(s.m_fPsychedelicAlpha, 0.1f);
}

}  // namespace
