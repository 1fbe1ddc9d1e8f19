// The strongest-lights query, block ordering and depth-map visibility.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "VERirezo/LightManager.h"

namespace lightblock {
extern float s_afScores[kMAX_LIGHT_BLOCK_LIGHTS];
}

namespace {

class LightBlockFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pApp->createLightManagers();
  }
  void TearDown() override {
    m_pApp->releaseLightManagers();
    gGameApp = nullptr;
    delete m_pApp;
  }
  ELightManager& Lights() { return *m_pApp->m_pLightManager; }
  // A registered point light at x along the axis from the unit box.
  ELight* Point(float x, const EVec3& colour, float intensity, float k, float l, float q) {
    ELight* p = Lights().AddLight();
    p->m_eType = kLIGHTTYPE_POINT;
    p->m_vPosition = EVec3(x, 0, 0);
    p->m_vColor = colour;
    p->m_fIntensity = intensity;
    p->m_fConstantAtten = k, p->m_fLinearAtten = l, p->m_fQuadraticAtten = q;
    Lights().RegisterLight(p);
    return p;
  }
  // The unit box at the origin; inflated by 1 its face is at x = 1.5.
  static EBox3 Box() { return EBox3(EVec3(-0.5f, -0.5f, -0.5f), EVec3(0.5f, 0.5f, 0.5f)); }

  PCGameApp* m_pApp = nullptr;
};

}  // namespace

TEST_F(LightBlockFixture, ScoresFollowBrightnessIntensityAndAttenuation) {
  struct Case {
    float l;
    uint32_t flags;
    float intensity;
    float score;
  } cases[] = {
      {0.1f, 0, 2, 1},                      // 1 x 2 / (1 + 0.1 x 10)
      {0, 0, 2, 2},                         // no attenuation
      {0, kLIGHTFLAG_SWITCHABLE, 0.1f, 1},  // switchable: intensity counts as 1
  };
  for (const Case& c : cases) {
    ELight* p = Point(11.5f, EVec3(0.5f, 1, 0.25f), c.intensity, 1, c.l, 0);
    p->m_dwFlags |= c.flags;
    p->m_fRange = kLIGHT_NO_RANGE;
    ELightBlock block;
    Lights().GetStrongestLights(Box(), 8, 3, &block, nullptr, nullptr);
    ASSERT_EQ(1, block.GetLightCount()) << c.l;
    EXPECT_EQ(p, block.GetLight(0));
    EXPECT_FLOAT_EQ(1, block.GetLightVisibility(0));
    EXPECT_FLOAT_EQ(c.score, lightblock::s_afScores[0]) << c.l << " " << c.intensity;
    EXPECT_EQ(EVec3(1, 0, 0), block.GetAverageDir());
    Lights().UnregisterLight(p);
    Lights().DeleteLight(p);
  }
}

TEST_F(LightBlockFixture, InsertionKeepsTheLargestKeysInFallingOrder) {
  // Nine lights of rising brightness into eight places.
  ELight* lights[9];
  for (int i = 0; i < 9; ++i) lights[i] = Point(5, EVec3(0.1f * (i + 1), 0, 0), 1, 1, 0, 0);
  ELightBlock block;
  Lights().GetStrongestLights(Box(), 8, 3, &block, nullptr, nullptr);
  ASSERT_EQ(8, block.GetLightCount());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(lights[8 - i], block.GetLight(i)) << i;
  // The colour sum counts the light that did not fit.
  EXPECT_NEAR(4.5f, block.GetCombinedIrradiance().x, 1e-5f);
  for (ELight* p : lights) {
    Lights().UnregisterLight(p);
    Lights().DeleteLight(p);
  }
  // Equal keys keep list order; a larger key goes in front of both.
  ELight* a = Point(5, EVec3(0.5f, 0, 0), 1, 1, 0, 0);
  ELight* b = Point(-5, EVec3(0.5f, 0, 0), 1, 1, 0, 0);
  ELight* c = Point(5, EVec3(0.9f, 0, 0), 1, 1, 0, 0);
  Lights().GetStrongestLights(Box(), 8, 3, &block, nullptr, nullptr);
  ASSERT_EQ(3, block.GetLightCount());
  EXPECT_EQ(c, block.GetLight(0));
  EXPECT_EQ(a, block.GetLight(1));
  EXPECT_EQ(b, block.GetLight(2));
  // Spot lights move to the front in their order; the others keep their
  // places except those swapped out.
  b->m_eType = kLIGHTTYPE_SPOT;
  ELightManager::SortLightsByType(&block);
  EXPECT_EQ(b, block.GetLight(0));
  EXPECT_EQ(a, block.GetLight(1));
  EXPECT_EQ(c, block.GetLight(2));
}

TEST_F(LightBlockFixture, SkipsAndTheRangeCull) {
  ELight* p = Point(100, EVec3(1, 1, 1), 1, 1, 0, 0);
  p->m_fRange = 50;
  ELightBlock block;
  Lights().GetStrongestLights(Box(), 8, 3, &block, nullptr, nullptr);
  EXPECT_EQ(0, block.GetLightCount()) << "out of range";
  m_pApp->m_DebugHooks.m_bLightDistanceCulling = false;
  Lights().GetStrongestLights(Box(), 8, 3, &block, nullptr, nullptr);
  EXPECT_EQ(1, block.GetLightCount()) << "out of range, culling off";
  m_pApp->m_DebugHooks.m_bLightDistanceCulling = true;
  p->m_fRange = 200;
  struct Case {
    const char* what;
    unsigned searchFlags;
    uint32_t lightFlags;
    int want;
  } cases[] = {
      {"static light, static search", 1, 0, 1},
      {"static light, dynamic search", 2, 0, 0},
      {"dynamic light, static search", 1, kLIGHTFLAG_DYNAMIC, 0},
      {"dynamic light, both", 3, kLIGHTFLAG_DYNAMIC, 1},
      {"rig light without a lit entity", 3, kLIGHTFLAG_LIGHT_RIG, 0},
      {"owner-only light of another owner", 3, kLIGHTFLAG_OWNER_ONLY, 0},
  };
  for (const Case& c : cases) {
    Lights().UnregisterLight(p);
    p->m_dwFlags = kLIGHTFLAG_ENABLED | c.lightFlags;
    Lights().RegisterLight(p);
    Lights().GetStrongestLights(Box(), 8, c.searchFlags, &block, nullptr, reinterpret_cast<EMeshEntity*>(0x10));
    EXPECT_EQ(c.want, block.GetLightCount()) << c.what;
  }
  // Projected lights never enter blocks.
  p->m_dwFlags = kLIGHTFLAG_ENABLED;
  p->m_eType = kLIGHTTYPE_PROJECTED;
  Lights().GetStrongestLights(Box(), 8, 3, &block, nullptr, nullptr);
  EXPECT_EQ(0, block.GetLightCount());
}

TEST_F(LightBlockFixture, SpotConeFactor) {
  // A spot 10 above the box's centre pointing down at it.
  ELight* s = Lights().AddLight();
  s->m_eType = kLIGHTTYPE_SPOT;
  s->m_vPosition = EVec3(0, 10, 0);
  s->m_vDirection = EVec3(0, -1, 0);
  s->SetSpotCone(45, 15);
  Lights().RegisterLight(s);
  const EBox3 point(EVec3(0, 0, 0), EVec3(0, 0, 0));
  ELightBlock block;
  Lights().GetStrongestLights(point, 8, 3, &block, nullptr, nullptr);
  ASSERT_EQ(1, block.GetLightCount());
  EXPECT_NEAR(0.338f, block.GetCombinedIrradiance().x, 1e-3f) << "on the axis";
  struct Case {
    float cone, penumbra;
    EVec3 at;
    float f;  // 0: skipped
  } cases[] = {
      {45, 15, EVec3(0, 0, 0), (1 - cosf(0.785398f)) / cosf(0.523599f)},
      {45, 15, EVec3(10.2f, 0, 0), 0},  // beyond 45 degrees
      {0, 0, EVec3(0, 0, 0), 0},        // no cone
      // The cone less the penumbra is 90 degrees: fully lit inside the cone.
      {135, 45, EVec3(20, 0, 0), 1},
      {135, 45, EVec3(0, 30, 5), 0},
  };
  for (const Case& c : cases) {
    s->SetSpotCone(c.cone, c.penumbra);
    Lights().GetStrongestLights(EBox3(c.at, c.at), 8, 3, &block, nullptr, nullptr);
    if (c.f == 0) {
      EXPECT_EQ(0, block.GetLightCount()) << c.cone << " " << c.at.x;
      continue;
    }
    ASSERT_EQ(1, block.GetLightCount()) << c.cone << " " << c.at.x;
    EXPECT_NEAR(c.f, block.GetCombinedIrradiance().x, 1e-3f) << c.cone << " " << c.at.x;
  }
}

TEST_F(LightBlockFixture, DepthMapTexelsAndSampleVisibility) {
  // A point light at the origin whose +X face holds one plane per texel:
  // x = 100 facing the light, so points nearer than 100 are lit.
  ELight* p = Lights().AddLight();
  p->m_eType = kLIGHTTYPE_POINT;
  p->m_dwFlags |= kLIGHTFLAG_DEPTH_MAP;
  EPlanePacked3* planes = static_cast<EPlanePacked3*>(malloc(kDEPTH_MAP_CUBE_SIZE * sizeof(EPlanePacked3)));
  for (int t = 0; t < kDEPTH_MAP_CUBE_SIZE; ++t) {
    planes[t].m_Normal = ENormPacked3(EVec3(-1, 0, 0));
    planes[t].m_iDistance = (int16_t)(t == kDEPTH_MAP_CUBE_SIZE - 1 ? 26 : 25);
  }
  const int face = (int)kCUBEMAP_POSITIVE_X;
  p->m_apPlaneTable[face] = planes;
  p->m_anPlaneCount[face] = kDEPTH_MAP_CUBE_SIZE;
  // Texel coordinate 32 reads texel 31.
  EXPECT_NEAR(104, p->GetDepthMapCubePlane((CUBEMAPFACE)face, EVec2(32, 32)).d, 0.1f);
  EXPECT_NEAR(100, p->GetDepthMapCubePlane((CUBEMAPFACE)face, EVec2(31.99f, 30)).d, 0.1f);
  EXPECT_EQ(1.0f, p->GetSampleVisibility(EVec3(50, 0, 0))) << "in front of the plane";
  EXPECT_EQ(0.0f, p->GetSampleVisibility(EVec3(150, 0, 0))) << "behind the plane";
  EXPECT_EQ(1.0f, p->GetSampleVisibility(EVec3(-150, 0, 0))) << "a face without a map";
  // A block query dims the light by its visibility at the box.
  ELightBlock block;
  Lights().RegisterLight(p);
  Lights().GetStrongestLights(EBox3(EVec3(200, -1, -1), EVec3(202, 1, 1)), 8, 3, &block, nullptr, nullptr);
  EXPECT_EQ(0, block.GetLightCount());
  Lights().GetStrongestLights(EBox3(EVec3(40, -1, -1), EVec3(42, 1, 1)), 8, 3, &block, nullptr, nullptr);
  EXPECT_EQ(1, block.GetLightCount());

  // A directional light answers 1 outside its map's bounds.
  ELight* d = Lights().AddLight();
  d->m_eType = kLIGHTTYPE_DIRECTIONAL;
  d->m_dwFlags |= kLIGHTFLAG_DEPTH_MAP;
  d->m_DepthMapBounds = EBox3(EVec3(0, 0, 0), EVec3(128, 10, 128));
  EPlane* dirPlanes = static_cast<EPlane*>(malloc(kDEPTH_MAP_DIRECTIONAL_SIZE * sizeof(EPlane)));
  for (int t = 0; t < kDEPTH_MAP_DIRECTIONAL_SIZE; ++t) dirPlanes[t] = EPlane(EVec3(0, 1, 0), 0.0f);
  d->m_apPlaneTable[0] = dirPlanes;
  d->m_anPlaneCount[0] = kDEPTH_MAP_DIRECTIONAL_SIZE;
  EXPECT_EQ(1.0f, d->GetSampleVisibility(EVec3(200, -5, 64)));
  EXPECT_EQ(0.0f, d->GetSampleVisibility(EVec3(64, -5, 64)));
  EXPECT_EQ(1.0f, d->GetSampleVisibility(EVec3(64, 5, 64)));
  Lights().DeleteLight(d);
}
