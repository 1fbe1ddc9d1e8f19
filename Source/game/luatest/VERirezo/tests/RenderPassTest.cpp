// A fragment's pass list: the list operations, the lighting passes built
// over the application's light manager, and the shadow passes.
#include <gtest/gtest.h>

#include <vector>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/RenderPass.h"

namespace {

const uint8_t kLitOpaque = kRENDERBLEND_LIT | kRENDERBLEND_LIGHTING_PASSES | kRENDERBLEND_OPAQUE;
const uint8_t kLitPerPixel = kLitOpaque | kRENDERBLEND_PER_PIXEL;

class RenderPassFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pApp->createLightManagers();
  }
  void TearDown() override {
    delete m_pStatic;
    delete m_pDynamic;
    m_pApp->releaseLightManagers();
    gGameApp = nullptr;
    delete m_pApp;
  }
  ELightManager& Lights() { return *m_pApp->m_pLightManager; }
  ELight* Point(float brightness, bool dynamic) {
    ELight* p = Lights().AddLight();
    p->m_eType = kLIGHTTYPE_POINT;
    p->m_vPosition = EVec3(0, 0, 5);
    p->m_vColor = EVec3(brightness, brightness, brightness);
    if (dynamic) p->m_dwFlags |= kLIGHTFLAG_DYNAMIC;
    p->m_fLinearAtten = 0.01f;
    Lights().RegisterLight(p);
    return p;
  }
  // A projected light 100 above the origin shining down.
  ELight* Projected(int mode) {
    ELight* p = Lights().AddLight();
    p->m_eType = kLIGHTTYPE_PROJECTED;
    p->m_pProjectedLight = new EProjectedLight();
    p->m_pProjectedLight->m_eProjectionMode = mode;
    p->m_vPosition = EVec3(0, 0, 100);
    p->m_vDirection = EVec3(0, 0, -1);
    p->m_vUp = EVec3(0, 1, 0);
    p->m_dwFlags |= kLIGHTFLAG_DYNAMIC;
    Lights().RegisterLight(p);
    return p;
  }
  // The context as the fragment drawing leaves it before the lighting passes.
  void Begin(uint8_t blendFlags, RENDERLIGHT eLight = kRENDERLIGHT_VERTEXLIGHT, bool bKeepBlocks = false) {
    sg_Render.m_WorldBox = EBox3(EVec3(-1, -1, -1), EVec3(1, 1, 1));
    sg_Render.m_hLightmap = sg_Render.m_hSecondLightmap = 0;
    sg_Render.m_hGlossMap = sg_Render.m_hDetailTexture = 0;
    sg_Render.m_iTextureCount = 1;
    sg_Render.m_byBlendFlags = blendFlags;
    sg_Render.m_byFragmentFlags = 0;
    sg_Render.m_byPassFlags = 0;
    sg_Render.Reset(kRENDERPASS_COLOR1TEX, eLight);
    if (bKeepBlocks) return;
    delete m_pStatic;
    m_pStatic = nullptr;
  }
  ERenderFragmentInfo Info(uint32_t fragFlags, uint32_t materialFlags, float L = 1) {
    ERenderFragmentInfo info;
    info.m_dwFlags = fragFlags;
    info.m_dwMaterialFlags = materialFlags;
    info.m_fLODFactor = L;
    info.m_ppStaticLightBlock = &m_pStatic;
    info.m_ppDynamicLightBlock = &m_pDynamic;
    return info;
  }
  std::vector<int> Passes() const {
    return std::vector<int>(sg_Render.m_aeRenderPasses, sg_Render.m_aeRenderPasses + sg_Render.m_iRenderPassCount);
  }
  std::vector<int> Entries() const {
    return std::vector<int>(sg_Render.m_aeRenderLights, sg_Render.m_aeRenderLights + sg_Render.m_iRenderPassCount);
  }

  PCGameApp* m_pApp = nullptr;
  ELightBlock* m_pStatic = nullptr;
  ELightBlock* m_pDynamic = nullptr;
};

}  // namespace

TEST_F(RenderPassFixture, ListOperationsMoveTheLightEntryAndCount) {
  Begin(kLitOpaque);
  fragpasses::addPreModulationPass(kRENDERPASS_DIFFUSELIGHTPIXEL);
  EXPECT_EQ((std::vector<int>{9, 0}), Passes());
  EXPECT_EQ((std::vector<int>{1, 0}), Entries());
  fragpasses::addPostModulationPass(kRENDERPASS_DESTALPHAWHITE);
  fragpasses::addPostModulationPass(kRENDERPASS_REFLECTCUBE);
  EXPECT_EQ((std::vector<int>{9, 0, 26, 19}), Passes());
  EXPECT_EQ(2, sg_Render.m_iAdditiveCount);
  Begin(kLitOpaque, kRENDERLIGHT_VERTEXCOLOR);
  fragpasses::separateGlobalLighting();
  EXPECT_EQ((std::vector<int>{11, 0}), Passes());
  EXPECT_EQ((std::vector<int>{0, 0}), Entries());
  EXPECT_EQ(1, sg_Render.m_iAdditiveCount);
  EXPECT_EQ(10, RenderLightToRenderPass(kRENDERLIGHT_VERTEXLIGHT));
  EXPECT_EQ(12, RenderLightToRenderPass(kRENDERLIGHT_NONE));
}

TEST_F(RenderPassFixture, LightingPassesOfFragmentSetUps) {
  ELight* s1 = Point(0.9f, false);
  ELight* s2 = Point(0.8f, false);
  ELight* s3 = Point(0.7f, false);
  ELight* d1 = Point(1, true);
  ELight* switchLight = Point(0, false);
  switchLight->SetEnabled(false);
  ELight* mode0 = Projected(0);
  ELight* mode2 = Projected(2);
  struct Case {
    const char* what;
    uint8_t blend;
    uint32_t fragFlags, material;
    float L;
    unsigned lightmap;
    float switchIntensity;  // < 0: no switch light
    std::vector<int> passes;
    std::vector<int> entries;
    std::vector<ELight*> perPixel;
  } cases[] = {
      {"per-pixel, opaque, three static and one dynamic light", kLitPerPixel, kMESHFRAGFLAG_DYNAMIC_LIGHTS,
       kMATERIALFLAG_PER_PIXEL_LIGHTING, 1, 0, -1, {9, 9, 9, 20, 0}, {1, 0, 0, 0, 0}, {s1, s2, s3, d1}},
      {"lightmapped", kLitOpaque, 0, 0, 1, 5, -1, {0}, {3}, {}},
      {"transparent", kLitPerPixel | kRENDERBLEND_TRANSPARENT,
       kMESHFRAGFLAG_DYNAMIC_LIGHTS | kMESHFRAGFLAG_PROJECTED_LIGHT, kMATERIALFLAG_PER_PIXEL_LIGHTING, 1, 0, -1,
       {0, 20, 21}, {1, 0, 0}, {d1, mode2}},
      {"switch light off", kLitOpaque, kMESHFRAGFLAG_SWITCH_LIGHT, 0, 1, 5, 0, {0}, {3}, {}},
      {"switch light half on", kLitOpaque, kMESHFRAGFLAG_SWITCH_LIGHT, 0, 1, 5, 0.5f, {14, 0}, {0, 0}, {}},
      {"projected lights", kLitPerPixel, kMESHFRAGFLAG_PROJECTED_LIGHT, 0, 1, 0, -1, {10, 21, 0, 21}, {0, 0, 0, 0},
       {mode0, mode2}},
      {"specular at L 0.8", kLitOpaque, 0, kMATERIALFLAG_SPECULAR, 0.8f, 0, -1, {0}, {1}, {}},
      {"specular at L 0.9", kLitOpaque, 0, kMATERIALFLAG_SPECULAR, 0.9f, 0, -1, {0, 15}, {1, 0}, {}},
      {"black base", kLitOpaque, 0, kMATERIALFLAG_BLACK_BASE, 1, 0, -1, {6}, {0}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Begin(c.blend);
    sg_Render.m_hLightmap = c.lightmap;
    delete m_pDynamic;
    m_pDynamic = new ELightBlock();
    m_pDynamic->AddLight(d1, 0.5f);
    ERenderFragmentInfo info = Info(c.fragFlags, c.material, c.L);
    info.m_hOffLightmap = 8;
    info.m_hOffSecondLightmap = 9;
    if (c.switchIntensity >= 0) {
      switchLight->m_fIntensity = c.switchIntensity;
      info.m_pSwitchLight = switchLight;
    }
    fragpasses::renderAddLightingPasses(info);
    EXPECT_EQ(c.passes, Passes());
    EXPECT_EQ(c.entries, Entries());
    ASSERT_EQ((int)c.perPixel.size(), sg_Render.m_PerPixelLights.GetLightCount());
    for (size_t i = 0; i < c.perPixel.size(); ++i) EXPECT_EQ(c.perPixel[i], sg_Render.m_PerPixelLights.GetLight((int)i));
    if (c.switchIntensity == 0) {
      EXPECT_EQ(8u, sg_Render.m_hLightmap);
      EXPECT_EQ(9u, sg_Render.m_hSecondLightmap);
    }
  }
  // The static block of a vertex-lit fragment holds the static lights,
  // strongest first, and the directional-light target is the box's centre.
  Begin(kLitOpaque);
  sg_Render.m_WorldBox = EBox3(EVec3(1, 1, 1), EVec3(3, 3, 3));
  fragpasses::renderAddLightingPasses(Info(kMESHFRAGFLAG_DYNAMIC_LIGHTS, 0));
  ASSERT_NE(nullptr, m_pStatic);
  ASSERT_EQ(3, m_pStatic->GetLightCount()) << "the switched-off light is left out";
  EXPECT_EQ(s1, m_pStatic->GetLight(0));
  EXPECT_EQ(EVec3(2, 2, 2), m_pApp->GetDirectionalLightTarget());
  // A cached block is kept until it is marked stale, or caching is off.
  Lights().UnregisterLight(s1);
  Begin(kLitOpaque, kRENDERLIGHT_VERTEXLIGHT, true);
  fragpasses::renderAddLightingPasses(Info(kMESHFRAGFLAG_DYNAMIC_LIGHTS, 0));
  EXPECT_EQ(s1, m_pStatic->GetLight(0)) << "cached";
  m_pApp->m_DebugHooks.m_bLightCaching = false;
  Begin(kLitOpaque, kRENDERLIGHT_VERTEXLIGHT, true);
  fragpasses::renderAddLightingPasses(Info(kMESHFRAGFLAG_DYNAMIC_LIGHTS, 0));
  m_pApp->m_DebugHooks.m_bLightCaching = true;
  EXPECT_EQ(s2, m_pStatic->GetLight(0)) << "refilled";
  m_pStatic->m_iLightCount = -1;
  Lights().UnregisterLight(s2);
  Begin(kLitOpaque, kRENDERLIGHT_VERTEXLIGHT, true);
  fragpasses::renderAddLightingPasses(Info(kMESHFRAGFLAG_DYNAMIC_LIGHTS, 0));
  EXPECT_EQ(s3, m_pStatic->GetLight(0)) << "stale";
}

TEST_F(RenderPassFixture, ShadowPassesSkipTheCastersOwnFragmentsAndStopAtAFullList) {
  ECamera camera;
  camera.SetPosition(EVec3(0, 0, 100));
  camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  camera.SetViewportWidth(800);
  camera.SetViewportHeight(600);
  camera.UpdateMatrices();
  EMeshEntity* owner = new EMeshEntity(nullptr, "Caster");
  EMeshEntity* other = new EMeshEntity(nullptr, "Other");
  camera.SetPrimaryTarget(owner, true);
  EShadowCasterInfo casters[13];
  for (EShadowCasterInfo& c : casters) c = EShadowCasterInfo{other, &camera, 3};
  casters[0].m_pEntity = owner;

  Begin(kLitOpaque);
  ERenderFragmentInfo info = Info(0, 0);
  info.m_pOwnerEntity = owner;
  fragpasses::renderAddShadowPasses(info, casters, 2);
  EXPECT_EQ((std::vector<int>{0}), Passes()) << "the caster's own shadow";
  info.m_pOwnerEntity = other;
  fragpasses::renderAddShadowPasses(info, casters, 2);
  EXPECT_EQ((std::vector<int>{0, 22, 22}), Passes());
  EXPECT_EQ(owner, sg_Render.m_apCasters[1]);
  // Twelve shadows onto a list of fifteen: the list stops at twenty places.
  Begin(kLitOpaque);
  for (int i = 0; i < 14; ++i) fragpasses::addPostModulationPass(kRENDERPASS_WHITE);
  fragpasses::renderAddShadowPasses(info, casters, 13);
  EXPECT_EQ(kMAX_RENDER_PASSES, sg_Render.m_iRenderPassCount);
  EXPECT_EQ(kRENDERPASS_PROJECTEDSHADOW, sg_Render.m_aeRenderPasses[19]);
  EXPECT_EQ(other, sg_Render.m_apCasters[19]);

  camera.SetPrimaryTarget(nullptr, true);
  for (EMeshEntity* e : {owner, other}) {
    if (!e->IsDead()) e->InternalDelayedDelete();
    delete e;
  }
}
