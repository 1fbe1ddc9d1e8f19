// The drawing passes on a real renderer with the project's shader files:
// selected shaders against the library's entries, the constant caches and
// the stage records, and pictures read back from a 64x64 window.
#include <algorithm>
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Game/GameRenderResources.h"
#include "Game/Camera.h"
#include "VERirezo/LightManager.h"
#include "Game/GameShaderPasses.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Texture.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/tests/FileTestSupport.h"
#include "Game/tests/ShaderWorld.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Light.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/ParticleRenderHooks.h"
#include "VERirezo/RenderSpline.h"

namespace {

// One renderer, library and set of procedural textures for the whole suite:
// the linked table takes a while to build.
ShaderWorld* s_pWorld = nullptr;

class ShaderPasses : public ::testing::Test {
protected:
  static void SetUpTestSuite() { s_pWorld = ShaderWorld::Start(); }

  static void TearDownTestSuite() { ShaderWorld::Stop(s_pWorld); }

  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    ASSERT_TRUE(s_pWorld && s_pWorld->renderer && s_pWorld->shaders);
    r = s_pWorld->renderer;
    res = &s_pWorld->resources;
    m_State = EShaderDrawState();
    m_Scene = ESceneShading();
    // A camera 0.1..1000 perspective looking down +z from the origin.
    m_State.m_mCameraProjection = EMat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.0002f, 1, 0, 0, -0.20002f, 0);
    p.reset(new EShaderPasses(r, s_pWorld->shaders, &m_State, &m_Scene, res));
  }
  void TearDown() override {
    p.reset();
    if (r) r->SetTextureStages(nullptr, 0);
  }

  unsigned Linked(int g, int d, int f, int t) const { return s_pWorld->shaders->GetLinkedShader(g, d, f, t); }
  unsigned Pixel(EGamePixelShader which) const { return s_pWorld->shaders->GetPixelShader(which); }
  unsigned Named(EGameVertexShader which) const { return s_pWorld->shaders->GetVertexShader(which); }
  const EVec4& C(int reg) const { return r->m_avVertexConstants[reg]; }
  const EVec4& PC(int reg) const { return r->m_avPixelConstants[reg]; }
  void Put(int reg, float v) {
    const EVec4 x(v, v, v, v);
    r->SetVertexShaderConstant(reg, &x, 1);
  }
  static void Expect4(const EVec4& got, float x, float y, float z, float w, const char* what, float tol = 1e-5f) {
    EXPECT_NEAR(x, got.x, tol) << what;
    EXPECT_NEAR(y, got.y, tol) << what;
    EXPECT_NEAR(z, got.z, tol) << what;
    EXPECT_NEAR(w, got.w, tol) << what;
  }
  // Binds four sentinel textures so that a pass's stage count shows in the
  // stages it clears.
  void FillStages() {
    ETextureStageState s[4];
    for (ETextureStageState& st : s) st.m_hTexture = res->m_hDebugTexture;
    r->SetTextureStages(s, 4);
  }
  // The textures of stages 0 to 3 after the pass.
  void ExpectStages(std::vector<unsigned> textures) {
    textures.resize(4, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(textures[i], (unsigned)r->m_aTextureStageState[i].m_hTexture) << "stage " << i;
  }
  const ETextureStageState& Stage(int i) const { return r->m_aTextureStageState[i]; }

  ERenderer* r = nullptr;
  ERenderResources* res = nullptr;
  EShaderDrawState m_State;
  ESceneShading m_Scene;
  std::unique_ptr<EShaderPasses> p;
};

// ---------------------------------------------------------------------------
// Material and colour passes.

TEST_F(ShaderPasses, ColourPassesPickModulesConstantsAndStages) {
  const unsigned T0 = res->m_hWhiteTexture, T1 = res->m_hBlackTexture, T2 = res->m_hGreyTexture;
  m_State.m_iGeomShader = 1;
  {
    SCOPED_TRACE("Color1Tex with detail and translation");
    m_State.m_hDetailTexture = res->m_hErrorTexture;
    m_State.m_vDetailFactor = EVec2(4, 8);
    m_State.m_vTexCoordTrans = EVec2(0.25f, 0.5f);
    FillStages();
    p->SetShaderColor1Tex(EVec4(1, 0, 0, 1), T0, 0, false, false, false);
    EXPECT_EQ(Linked(1, 0, 0, 13), r->m_hVertexShader);
    EXPECT_EQ(Pixel(kGPS_Color1TexDetail), r->m_hPixelShader);
    Expect4(C(5), 4, 8, 1, 1, "c5");
    Expect4(C(12), 1, 1, 1, 1, "c12");
    Expect4(C(13), 0.25f, 0.5f, 0, 0, "c13");
    Expect4(C(2), 1, 0, 0, 1, "c2");
    ExpectStages({T0, res->m_hErrorTexture});
    // The distortion shader wins over the detail one; the stages stay.
    p->SetShaderColor1Tex(EVec4(1, 0, 0, 1), T0, 0, true, true, true);
    EXPECT_EQ(Linked(1, 1, 0, 13), r->m_hVertexShader);
    EXPECT_EQ(Pixel(kGPS_DistortionAlpha), r->m_hPixelShader);
    ExpectStages({T0, res->m_hErrorTexture});
  }
  {
    SCOPED_TRACE("Color1TexLM with detail ignores the translation for the module");
    Put(14, 9);
    p->SetShaderColor1TexLM(EVec4(1, 1, 1, 1), T0, T1, 0, true);
    EXPECT_EQ(Linked(1, 0, 0, 6), r->m_hVertexShader);
    EXPECT_EQ(Pixel(kGPS_Color1TexLMDetailBright), r->m_hPixelShader);
    Expect4(C(14), 0, 0, 0, 0, "c14");
    ExpectStages({T0, T1, res->m_hErrorTexture});
    EXPECT_EQ(kTEXTUREADDRESS_CLAMP, Stage(1).m_eAddressMode);
  }
  {
    SCOPED_TRACE("Color2Tex with clamp and detail");
    p->SetShaderColor2Tex(EVec4(1, 1, 1, 1), T0, T1, false, false, true);
    EXPECT_EQ(Linked(1, 0, 0, 6), r->m_hVertexShader);
    ExpectStages({T0, T1, res->m_hErrorTexture});
    EXPECT_EQ(kTEXTUREADDRESS_CLAMP, Stage(0).m_eAddressMode);
    EXPECT_EQ(kTEXTUREADDRESS_CLAMP, Stage(1).m_eAddressMode);
    EXPECT_EQ(kTEXTUREADDRESS_WRAP, Stage(2).m_eAddressMode);
  }
  m_State.m_hDetailTexture = 0;
  m_State.m_vTexCoordTrans = EVec2(0, 0);
  {
    SCOPED_TRACE("Color3Tex binds T0, T2, T1 and always four stages");
    FillStages();
    p->SetShaderShaderColor3Tex(EVec4(1, 1, 1, 1), T0, T1, T2, true, false);
    EXPECT_EQ(Linked(1, 1, 0, 3), r->m_hVertexShader);
    EXPECT_EQ(Pixel(kGPS_Color3Tex), r->m_hPixelShader);
    ExpectStages({T0, T2, T1, 0});
  }
  {
    SCOPED_TRACE("Color2TexVL without detail binds two stages");
    ELight point;
    ELightBlock block;
    block.m_apLights[0] = &point;
    block.m_iLightCount = 1;
    FillStages();
    p->SetShaderColor2TexVL(EVec4(1, 1, 1, 1), T0, T1, false, &block, 0);
    EXPECT_EQ(Linked(1, 2, 0, 2), r->m_hVertexShader);
    ExpectStages({T0, T1});
  }
  {
    SCOPED_TRACE("ConstantColor without fog writes no fog registers");
    m_Scene.m_aFogLayers[0].m_bOn = true;
    m_Scene.m_aFogLayers[0].m_fStart = 10;
    m_Scene.m_aFogLayers[0].m_fEnd = 20;
    Put(4, 7);
    p->SetShaderConstantColor(EVec4(0, 1, 0, 1), 0, false);
    EXPECT_EQ(Linked(1, 0, 0, 0), r->m_hVertexShader);
    EXPECT_EQ(Pixel(kGPS_DiffuseColor), r->m_hPixelShader);
    Expect4(C(4), 7, 7, 7, 7, "c4");
    p->SetShaderConstantColor(EVec4(0, 1, 0, 1), T0, true);
    EXPECT_EQ(Linked(1, 0, 1, 1), r->m_hVertexShader);
    EXPECT_EQ(Pixel(kGPS_DiffuseColorAlpha), r->m_hPixelShader);
    Expect4(C(4), -0.1f, 2, 0, 1, "c4 with fog");
  }
}

TEST_F(ShaderPasses, VertexLitAndFogPasses) {
  ELight spot, point;
  spot.m_eType = kLIGHTTYPE_SPOT;
  ELightBlock block;
  block.m_apLights[0] = &spot;
  block.m_apLights[1] = &point;
  block.m_iLightCount = 2;
  block.m_afVisibility[0] = block.m_afVisibility[1] = 1;
  for (int reg = 88; reg < 92; ++reg) Put(reg, 9);
  p->SetShaderVertexLight(&block, 0);
  EXPECT_EQ(Linked(0, 3, 0, 0), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_DiffuseColor), r->m_hPixelShader);
  for (int reg = 88; reg < 92; ++reg) EXPECT_NE(9.0f, C(reg).x) << "c" << reg;
  p->SetShaderVertexLight(&block, 1);
  EXPECT_EQ(Linked(0, 2, 0, 0), r->m_hVertexShader);

  // A sphere of radius 100 whose centre is 50 in front of the camera.
  p->SetShaderVolumeFog(ESphere(EVec3(0, 0, 50), 100));
  EXPECT_EQ(Linked(0, 10, 0, 0), r->m_hVertexShader);
  Expect4(C(4), -0.005f, 1, 0, 1, "c4");
  Expect4(C(2), 1, 1, 1, 1, "c2");

  p->m_SceneValues.m_vFogColor = EVec3(0.2f, 0.4f, 0.6f);
  p->SetShaderLayeredFog(EVec4(1, 1, 1, 0.5f), 0);
  Expect4(C(2), 0.2f, 0.4f, 0.6f, 0.5f, "c2");
}

// ---------------------------------------------------------------------------
// Light passes.

TEST_F(ShaderPasses, AttenuatedLightsReachTheirPixelShader) {
  ELight light;
  light.m_vColor = EVec3(1, 0.5f, 0);
  struct Case {
    float range;
    float term;
  } ranges[] = {{0, 1e9f}, {400, 0.0025f}};
  for (const Case& c : ranges) {
    light.m_fRange = c.range;
    p->SetShaderAttenLight(EVec4(1, 1, 1, 0.25f), &light, 0, 0, false, true);
    Expect4(C(11), c.term, c.term, c.term, 1, "range term", c.term * 1e-6f);
  }
  EXPECT_EQ(Linked(0, 0, 0, 30), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_AttenLight), r->m_hPixelShader);
  Expect4(PC(0), 0.5f, 0.25f, 0, 0.25f, "pixel c0");
  Expect4(C(2), 0, 0, 0, 1, "c2");
  ExpectStages({res->m_hExponentTexture, res->m_hExponentTexture, res->m_hNormalizationCubemap});

  // Base and bump: the base wins, stage 3 holds it.
  p->SetShaderAttenLight(EVec4(1, 1, 1, 0.25f), &light, res->m_hGreyTexture, res->m_hNullBumpmapTexture, true, true);
  EXPECT_EQ(Linked(0, 1, 0, 31), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_AttenLightBase), r->m_hPixelShader);
  Expect4(C(2), 1, 1, 1, 0.25f, "c2 with vertex colour");
  EXPECT_EQ((unsigned)res->m_hGreyTexture, (unsigned)Stage(3).m_hTexture);

  p->SetShaderAttenLightLM(EVec4(1, 1, 1, 0.25f), &light, res->m_hGreyTexture, 0, 2, true);
  EXPECT_EQ(Linked(0, 0, 0, 34), r->m_hVertexShader);
  Expect4(PC(0), 0.5f, 0.25f, 0, 1, "LM pixel c0");
  EXPECT_EQ(kTEXTUREADDRESS_CLAMP, Stage(3).m_eAddressMode);
}

TEST_F(ShaderPasses, SpecularPowerAndLightmapIndexChecks) {
  struct Case {
    float power;
    bool bright;
    EGamePixelShader ps;
  } cases[] = {{2, false, kGPS_SpecularLightPower2},      {4.9f, false, kGPS_SpecularLightPower4},
               {8.7f, false, kGPS_SpecularLightPower8},   {16, true, kGPS_SpecularLightPower16Bright},
               {32.5f, true, kGPS_SpecularLightPower32Bright}};
  for (const Case& c : cases) EXPECT_EQ(c.ps, SpecularPowerPixelShader(c.power, c.bright, "x")) << c.power;
  ELight light;
  p->SetShaderSpecularLightPixel(&light, 1, EVec4(1, 1, 1, 1), 8.7f, 0, res->m_hGreyTexture);
  EXPECT_EQ(Pixel(kGPS_SpecularLightPower8), r->m_hPixelShader);
  EXPECT_EQ((unsigned)res->m_hNormalizationCubemap, (unsigned)Stage(0).m_hTexture);
  EXPECT_EQ(kTEXTUREADDRESS_CLAMP, Stage(0).m_eAddressMode);
  p->SetShaderSpecularLightmap(EVec4(1, 1, 1, 1), 4, 0, res->m_hGreyTexture, 0, 3);
  EXPECT_EQ(Linked(0, 6, 0, 25), r->m_hVertexShader);
  EXPECT_EQ(kTEXTUREADDRESS_WRAP, Stage(1).m_eAddressMode);
  p->SetShaderLightmap(EVec4(1, 1, 1, 1), res->m_hGreyTexture, 0, 2);
  EXPECT_EQ(Linked(0, 0, 0, 18), r->m_hVertexShader);
}

TEST(ShaderPassChecks, BadPowersAndLightmapIndicesAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(SpecularPowerPixelShader(3, false, "Unsupported specular power in SetShaderSpecularLightPixel"),
               "Unsupported specular power in SetShaderSpecularLightPixel");
  EXPECT_DEATH(SpecularPowerPixelShader(31.9f, true, "Unsupported specular power in SetShaderSpecularLightmap"),
               "Unsupported specular power in SetShaderSpecularLightmap");
  EXPECT_DEATH(SpecularPowerPixelShader(-2, true, "m"), "m");
  for (int index : {0, 4}) EXPECT_DEATH(CheckLightmapTexCoordIndex(index), "iTexCoordIndex >= 1 && iTexCoordIndex <= 3");
}

// ---------------------------------------------------------------------------
// Projected textures and shadows.

TEST_F(ShaderPasses, ShadowNearFarAlphaAndCulling) {
  EShadowCaster caster;
  caster.m_vCameraPosition = EVec3(0, 500, 0);
  caster.m_vCameraView = EVec3(0, -1, 0);
  caster.m_vCameraTarget = EVec3(0, 0, 0);
  caster.m_dwViewportWidth = caster.m_dwViewportHeight = 128;
  caster.m_hShadowTexture = res->m_hGreyTexture;
  struct Case {
    bool player, solid;
    float nearD, farD;
  } cases[] = {{true, false, 625, 1500}, {false, false, 512.5f, 600}, {true, true, 3625, 4500}};
  for (const Case& c : cases) {
    caster.m_bPlayer = c.player;
    caster.m_bSolidShadow = c.solid;
    p->SetShaderProjectedShadow(&caster, 0);
    const float s = 1.0f / (c.farD - c.nearD);
    Expect4(C(16), -s, c.farD * s, 0, 0, "c16 fade", 1e-4f);
    Expect4(C(12), 1, 0, 0, 0, "two-way");
  }
  EXPECT_EQ(Linked(0, 9, 0, 36), r->m_hVertexShader);
  EXPECT_TRUE(Stage(0).m_bProjected);
  EXPECT_EQ(kTEXTUREADDRESS_BORDER, Stage(0).m_eAddressMode);

  // Alpha: 0.4 from the scene, distance fade, invisibility.
  caster.m_bPlayer = false;
  caster.m_bSolidShadow = false;
  struct Alpha {
    float distance, invisibility, alpha;
  } alphas[] = {{100, 0, 0.4f}, {2000, 0, 0.2f}, {2400, 0, 0}, {100, 0.8f, 0.2f}, {100, 0.2f, 0.32f}};
  for (const Alpha& a : alphas) {
    caster.m_vEntityPosition = EVec3(a.distance, 0, 0);
    caster.m_fInvisibility = a.invisibility;
    p->SetShaderProjectedShadow(&caster, 0);
    EXPECT_NEAR(a.alpha, C(2).w, 1e-5f) << a.distance << " " << a.invisibility;
  }
  caster.m_fInvisibility = 0;
  caster.m_vEntityPosition = EVec3(2000, 0, 0);
  caster.m_bSolidShadow = true;
  p->SetShaderProjectedShadow(&caster, 0);
  EXPECT_NEAR(0.4f, C(2).w, 1e-5f) << "a solid shadow never fades";
  EXPECT_NEAR(0, C(10).w, 1e-6f);
  p->m_SceneValues.m_bShadowFixedDirection = false;
  p->SetShaderProjectedShadow(&caster, res->m_hWhiteTexture);
  EXPECT_NEAR(-1000, C(10).w, 1e-3f);
  EXPECT_EQ(Linked(0, 9, 0, 37), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_ProjectBase), r->m_hPixelShader);

  // No shadow camera: no pass at all.
  r->ClearVertexShader();
  p->SetShaderProjectedShadow(nullptr, 0);
  EXPECT_EQ(0u, r->m_hVertexShader);
}

TEST_F(ShaderPasses, ProjectedTextureFade) {
  struct Case {
    float nearFade, farFade;
    float x, y;
  } cases[] = {{10, 0, 0, 1}, {20, 10, 0, 1}, {10, 10, -1e9f, 1e10f}, {0, 200, -0.005f, 1}};
  for (const Case& c : cases) {
    p->SetShaderProjectedTexture(res->m_hGreyTexture, 0, EVec4(1, 1, 1, 1), EMat4(), EVec3(0, 0, 0), EVec3(0, 0, 1),
                                 c.nearFade, c.farFade, false, 0);
    EXPECT_NEAR(c.x, C(16).x, std::fabs(c.x) * 1e-5f + 1e-7f) << c.nearFade << "," << c.farFade;
    EXPECT_NEAR(c.y, C(16).y, std::fabs(c.y) * 1e-5f + 1e-7f) << c.nearFade << "," << c.farFade;
  }
  Expect4(C(12), 0, 1, 0, 0, "one-way");
  EXPECT_EQ(Pixel(kGPS_Color1Tex), r->m_hPixelShader);
}

// ---------------------------------------------------------------------------
// Screen blits.

TEST_F(ShaderPasses, BlitRectanglesAndFilterTaps) {
  struct Rect {
    EVec2 size, pos;
    EVec4 c10, c11;
  } rects[] = {{EVec2(640, 480), EVec2(0, 0), EVec4(2, -2, 1, 1), EVec4(-1, 1, 0, 0)},
               {EVec2(160, 120), EVec2(320, 240), EVec4(0.5f, -0.5f, 1, 1), EVec4(0, 0, 0, 0)}};
  for (const Rect& c : rects) {
    p->SetShaderColorBlit(c.size, c.pos, EVec2(640, 480), EVec4(1, 0, 0, 1));
    Expect4(C(10), c.c10.x, c.c10.y, c.c10.z, c.c10.w, "c10");
    Expect4(C(11), c.c11.x, c.c11.y, c.c11.z, c.c11.w, "c11");
  }
  EXPECT_EQ(Linked(5, 0, 0, 0), r->m_hVertexShader);

  // Filter type 2 on 256 x 128; a texture with the linear flag counts texels.
  const unsigned pow2 = r->CreateBitmapTexture(kTEXTUREFORMAT_8888, 256, 128, 1, 0);
  const unsigned linear = r->CreateBitmapTexture(kTEXTUREFORMAT_8888, 256, 128, 1, 0);
  ASSERT_NE(0u, linear);
  r->m_pTextures->ElementGet(linear)->m_dwFlags |= kTEXTUREFLAG_LINEAR;
  ASSERT_NE(0u, r->GetTextureFlags(linear) & kTEXTUREFLAG_LINEAR);
  p->SetShaderFilterBlit(pow2, EVec2(256, 128), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64), kFILTERTYPE_BOX_16,
                         EVec4(1, 1, 1, 1));
  Expect4(C(16), -0.999f / 256, -0.999f / 128, 0, 0, "c16");
  Expect4(C(18), 0.999f / 256, 0.999f / 128, 0, 0, "c18");
  EXPECT_EQ(Linked(5, 0, 0, 10), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_FilterBlit), r->m_hPixelShader);
  ExpectStages({pow2, pow2, pow2, pow2});
  p->SetShaderFilterBlit(linear, EVec2(256, 128), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64), kFILTERTYPE_BOX_16,
                         EVec4(1, 1, 1, 1));
  Expect4(C(16), -0.999f, -0.999f, 0, 0, "c16 linear");
  p->SetShaderFilterBlit(pow2, EVec2(256, 128), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64), kFILTERTYPE_LUMINANCE,
                         EVec4(1, 1, 1, 1));
  EXPECT_EQ(Pixel(kGPS_LuminanceTexture), r->m_hPixelShader);
  ExpectStages({pow2});
  p->SetShaderFilterBlit(pow2, EVec2(256, 128), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64), kFILTERTYPE_CHANNEL_SWAP,
                         EVec4(1, 1, 1, 1));
  EXPECT_NE(0u, p->GetFilterMatrixPixelShader());
  EXPECT_EQ(p->GetFilterMatrixPixelShader(), r->m_hPixelShader);
  Expect4(PC(2), 1, 0, 0, 0, "pixel c2");
  r->SetTextureStages(nullptr, 0);
  r->DeleteTexture(pow2, true);
  r->DeleteTexture(linear, true);

  p->SetShaderDistortionBlit(res->m_hGreyTexture, res->m_hWhiteTexture, EVec2(0, 0), EVec2(64, 64), EVec2(0, 0),
                             EVec2(0, 0), EVec2(64, 64), EVec2(0.1f, 0.2f), 24);
  Expect4(C(16), 0.05f, 0.05f, 0.05f, 0.05f, "c16 distortion");
  ExpectStages({res->m_hWhiteTexture, 0, res->m_hGreyTexture});

  const EVec2 scale(2, 0.5f);
  p->SetShaderAlphaCombineBlit(res->m_hGreyTexture, res->m_hWhiteTexture, EVec2(0, 0), EVec2(64, 64), EVec2(0, 0),
                               EVec2(64, 64), EVec4(1, 1, 1, 1), false, &scale);
  Expect4(C(12), 2, 0.5f, 1, 1, "c12 scaled");
  EXPECT_EQ(kTEXTUREADDRESS_BORDER, Stage(0).m_eAddressMode);

  p->SetShaderTextureBlit(res->m_hGreyTexture, EVec2(0, 0), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64),
                          EVec4(1, 1, 1, 1), 0.5f, false, false);
  EXPECT_EQ(Pixel(kGPS_ConstantAlphaBlit), r->m_hPixelShader);
  Expect4(PC(0), 1, 1, 1, 0.5f, "constant alpha");
  p->SetShaderTextureBlit(res->m_hWhiteTexture, EVec2(0, 0), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64),
                          EVec4(1, 1, 1, 1), 0, true, false);
  EXPECT_EQ(Pixel(kGPS_Color1Tex), r->m_hPixelShader);
  EXPECT_EQ(kTEXTUREADDRESS_BORDER, Stage(0).m_eAddressMode);
  EXPECT_EQ(kFILTERMODE_POINT, Stage(0).m_eFilterMode);
}

// ---------------------------------------------------------------------------
// Particles and water.

TEST_F(ShaderPasses, ParticleScalesAndWaterConstants) {
  struct Case {
    float sx, sy;
    bool nonUniform;
  } cases[] = {{1, 1, false}, {2, 1, true}, {0, 1, false}, {1.000005f, 1, false}, {1.0001f, 1, true}, {-3, 1, false}};
  for (const Case& c : cases) {
    Put(15, 9);
    p->SetShaderParticleBillboard(c.sx, c.sy, EVec4(1, 1, 1, 1));
    EXPECT_EQ(Named(c.nonUniform ? kGVS_ParticleBBNonUniform : kGVS_ParticleBB), r->m_hVertexShader) << c.sx;
    if (c.nonUniform) Expect4(C(15), c.sx, c.sy, 1, 1, "c15");
    else Expect4(C(15), 9, 9, 9, 9, "c15 untouched");
  }
  Expect4(C(17), 64, 0, 0.03125f, 96, "c17");
  EXPECT_EQ(0u, r->m_hPixelShader);

  struct WaterCase {
    double seconds;
    float sine;
  } times[] = {{905, 1}, {3605, 0}};
  p->m_SceneValues.m_fRefractionScale = 2 * 0.002f;
  for (const WaterCase& w : times) {
    p->m_dSimElapsedTime = w.seconds;
    p->SetShaderWater(EMat4(), res->m_hGreyTexture, false, false);
    Expect4(C(14), 0.002f, 0.5f, w.sine, 0, "c14");
  }
  Expect4(C(16), 0.002f, 0.5f, 0.004f, 0.5f, "c16");
  Expect4(C(19), 0.65f, 0.885f, 0.22f, 0.497f, "c19");
  EXPECT_EQ(Named(kGVS_Water), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_Water), r->m_hPixelShader);
  ExpectStages({res->m_hBlackTexture, res->m_hGreyTexture, 0, res->m_hZeroAlphaTexture});
  EXPECT_TRUE(Stage(0).m_bSigned);
  EXPECT_EQ(-3.0f, Stage(0).m_fMipLODBias);
  p->m_bCheapWater = true;
  p->SetShaderWater(EMat4(), 0, true, true);
  EXPECT_EQ(Named(kGVS_CheapWater), r->m_hVertexShader);
  EXPECT_EQ(Pixel(kGPS_CheapWater), r->m_hPixelShader);
}

// ---------------------------------------------------------------------------
// Procedural textures and unit geometry.

TEST_F(ShaderPasses, ProceduralTexturesHoldTheirTexels) {
  struct Case {
    unsigned texture;
    unsigned row, column;
    uint8_t value;
  } cases[] = {{res->m_hWhiteTexture, 0, 0, 255},    {res->m_hBlackTexture, 0, 0, 0},
               {res->m_hGreyTexture, 0, 0, 127},     {res->m_hDebugTexture, 0, 0, 0},
               {res->m_hDebugTexture, 0, 32, 255},   {res->m_hDebugTexture, 33, 0, 255},
               {res->m_hDebugTexture, 40, 40, 0},    {res->m_hExponentTexture, 127, 127, 254},
               {res->m_hExponentTexture, 128, 128, 254}, {res->m_hZeroAlphaTexture, 0, 0, 0}};
  for (const Case& c : cases) {
    ASSERT_NE(0u, c.texture);
    unsigned pitch = 0;
    const uint8_t* t =
        static_cast<const uint8_t*>(r->LockTexture(c.texture, 0, &pitch, true, (CUBEMAPFACE)-1, false));
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(c.value, t[c.row * pitch + c.column]) << c.row << "," << c.column;
    r->UnlockTexture(c.texture, 0, true, (CUBEMAPFACE)-1);
  }
  unsigned pitch = 0;
  const uint8_t* face =
      static_cast<const uint8_t*>(r->LockTexture(res->m_hNormalizationCubemap, 0, &pitch, true, kCUBEMAP_POSITIVE_X, false));
  ASSERT_NE(nullptr, face);
  EXPECT_EQ(1024u, pitch);
  uint32_t texel;
  memcpy(&texel, face, 4);
  EXPECT_EQ(0xC9C9C9u, texel & 0xFFFFFFu);
  r->UnlockTexture(res->m_hNormalizationCubemap, 0, true, kCUBEMAP_POSITIVE_X);
  uint32_t error;
  const void* e = r->LockTexture(res->m_hErrorTexture, 0, nullptr, true, (CUBEMAPFACE)-1, false);
  ASSERT_NE(nullptr, e);
  memcpy(&error, e, 4);
  r->UnlockTexture(res->m_hErrorTexture, 0, true, (CUBEMAPFACE)-1);
  EXPECT_EQ(0xFFFF00FFu, error);
}

TEST_F(ShaderPasses, UnitBoxFacesRunOutwardInAxisOrder) {
  struct V {
    float x, y, z, nx, ny, nz;
  };
  const V* v = static_cast<const V*>(r->LockVertexBuffer(res->m_hUnitWorldBoxVB, 0, 0, 0));
  ASSERT_NE(nullptr, v);
  for (int f = 0; f < 6; ++f) {
    const int axis = f / 2;
    const float side = f % 2 ? 1.0f : -1.0f;
    for (int k = 0; k < 6; ++k) {
      const V& q = v[6 * f + k];
      const float p3[3] = {q.x, q.y, q.z}, n3[3] = {q.nx, q.ny, q.nz};
      EXPECT_EQ(side, p3[axis]) << "face " << f;
      for (int i = 0; i < 3; ++i) EXPECT_EQ(i == axis ? side : 0.0f, n3[i]) << "face " << f;
    }
    // Every face winds the same way: clockwise seen from outside, the
    // front-face order of the renderer.
    const V &a = v[6 * f], &b = v[6 * f + 1], &c = v[6 * f + 2];
    const EVec3 n = (EVec3(b.x, b.y, b.z) - EVec3(a.x, a.y, a.z)).Cross(EVec3(c.x, c.y, c.z) - EVec3(a.x, a.y, a.z));
    EXPECT_LT(n.Dot(EVec3(a.nx, a.ny, a.nz)), 0) << "face " << f;
  }
  r->UnlockVertexBuffer(res->m_hUnitWorldBoxVB);
}

// ---------------------------------------------------------------------------
// Pictures drawn through the passes on the unit screen triangle, read back
// from the 64x64 window (origin at its bottom left).

class ShaderPassPictures : public ShaderPasses {
protected:
  typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
  typedef void (*FinishFn)();

  void SetUp() override {
    ShaderPasses::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pfnReadPixels = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
    m_pfnFinish = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    ASSERT_TRUE(m_pfnReadPixels && m_pfnFinish);
  }
  void TearDown() override {
    if (r) r->SetTextureStages(nullptr, 0);
    for (HTEXTURE t : m_aTextures) r->DeleteTexture(t, true);
    ShaderPasses::TearDown();
  }
  void Begin(BLENDMODE blend) {
    r->BeginRender();
    r->ClearRenderTarget(EVec4(0, 0, 0, 0), true, true, false, 1.0f);
    ERenderState state;
    state.m_eBlendMode = blend;
    state.m_eCullMode = kCULL_NONE;
    state.m_bAlphaTestEnable = false;
    state.m_bZEnable = false;
    state.m_bZWriteEnable = false;
    r->SetRenderState(&state);
  }
  void End() {
    m_pfnFinish();
    r->EndRender();
  }
  EVec3 Rgb(int x, int y) { return ReadRgb(m_pfnReadPixels, x, y); }
  void ExpectRgb(int x, int y, float red, float green, float blue, float tol) {
    ExpectRgbAt(m_pfnReadPixels, x, y, red, green, blue, tol);
  }
  HTEXTURE SolidTexture(uint32_t argb, int size = 1) {
    HTEXTURE tex = r->CreateBitmapTexture(kTEXTUREFORMAT_8888, size, size, 1, 0);
    EXPECT_NE(0u, (unsigned)tex);
    uint32_t* t = static_cast<uint32_t*>(r->LockTexture(tex, 0, nullptr, false, (CUBEMAPFACE)-1, true));
    if (t) std::fill(t, t + size * size, argb);
    r->UnlockTexture(tex, 0, false, (CUBEMAPFACE)-1);
    m_aTextures.push_back(tex);
    return tex;
  }

  // The unit square as a strip: the unit screen triangle reaches past it
  // and serves whole-target blits only.
  void DrawUnitSquare() {
    struct V {
      float x, y, z;
      uint32_t colour;
      float u, v;
    } square[4] = {{0, 0, 0, 0xFFFFFFFFu, 0, 0}, {1, 0, 0, 0xFFFFFFFFu, 1, 0}, {0, 1, 0, 0xFFFFFFFFu, 0, 1},
                   {1, 1, 0, 0xFFFFFFFFu, 1, 1}};
    uint32_t vb = r->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR_TEXCOORD0, 4, 0, "Square");
    ASSERT_NE(0u, vb);
    void* q = r->LockVertexBuffer(vb, 0, 0, 0);
    ASSERT_NE(nullptr, q);
    memcpy(q, square, sizeof(square));
    r->UnlockVertexBuffer(vb);
    r->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 1, &vb, 4, 0);
    r->DeleteVertexBuffer(vb);
  }

  ReadPixelsFn m_pfnReadPixels = nullptr;
  FinishFn m_pfnFinish = nullptr;
  std::vector<HTEXTURE> m_aTextures;
};

TEST_F(ShaderPassPictures, ColourBlitFillsOnlyItsRectangle) {
  Begin(kBLENDMODE_DECAL);
  p->SetShaderColorBlit(EVec2(32, 16), EVec2(16, 8), EVec2(64, 64), EVec4(0.25f, 0.5f, 0.75f, 1));
  DrawUnitSquare();
  End();
  // Pixels 16-48 across, 8-24 down from the top: 40-56 up from the bottom.
  for (const auto& at : {std::make_pair(17, 41), std::make_pair(32, 48), std::make_pair(47, 55)})
    ExpectRgb(at.first, at.second, 64, 128, 191, 1);
  for (const auto& at : {std::make_pair(15, 48), std::make_pair(49, 48), std::make_pair(32, 38), std::make_pair(32, 58)})
    ExpectRgb(at.first, at.second, 0, 0, 0, 0);
}

TEST_F(ShaderPassPictures, ConstantAlphaBlitHalvesWhiteOverBlack) {
  Begin(kBLENDMODE_ALPHA_BLEND);
  p->SetShaderTextureBlit(res->m_hWhiteTexture, EVec2(0, 0), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64),
                          EVec4(1, 1, 1, 1), 0.5f, false, false);
  RenderUnitScreenTri(r, *res);
  End();
  const EVec3 c = Rgb(32, 32);
  for (float v : {c.x, c.y, c.z}) {
    EXPECT_GE(v, 127);
    EXPECT_LE(v, 128);
  }
}

TEST_F(ShaderPassPictures, ChannelSwapFilterRotatesTheColours) {
  const HTEXTURE tex = SolidTexture(0xFF3366CCu);  // (0.2, 0.4, 0.8)
  Begin(kBLENDMODE_DECAL);
  p->SetShaderFilterBlit(tex, EVec2(1, 1), EVec2(64, 64), EVec2(0, 0), EVec2(64, 64), kFILTERTYPE_CHANNEL_SWAP,
                         EVec4(1, 1, 1, 1));
  RenderUnitScreenTri(r, *res);
  End();
  ExpectRgb(32, 32, 102, 204, 51, 2);
}

// The unit world quad facing a point light 2 above its centre: every corner
// gets colour x N.L / (k + l d + q d^2), the same at all four, so the whole
// quad shows it.
TEST_F(ShaderPassPictures, VertexPointLightLightsTheQuad) {
  m_State.m_mCameraProjection = EMat4();
  ELight light;
  light.m_vPosition = EVec3(0, 0, 2);
  light.m_vColor = EVec3(0.5f, 0.25f, 0.5f);
  light.m_fConstantAtten = 0.5f;
  light.m_fLinearAtten = 0.1f;
  light.m_fQuadraticAtten = 0.01f;
  ELightBlock block;
  block.m_apLights[0] = &light;
  block.m_afVisibility[0] = 1;
  block.m_iLightCount = 1;
  Begin(kBLENDMODE_DECAL);
  p->SetShaderVertexLight(&block, 0);
  ASSERT_NE(0u, r->m_hVertexShader);
  RenderUnitWorldQuad(r, *res);
  End();
  const float d = std::sqrt(6.0f), nl = 2 / d;
  const float k = nl / (0.5f + 0.1f * d + 0.01f * d * d) * 255;
  for (const auto& at : {std::make_pair(32, 32), std::make_pair(4, 60), std::make_pair(60, 4)})
    ExpectRgb(at.first, at.second, 0.5f * k, 0.25f * k, 0.5f * k, 3);
}

// A projector 2 above the unit world quad, looking down at it, whose
// texture matrix maps the middle half of the quad (x and y in -0.5..0.5)
// onto the texture: border addressing leaves everything outside it black.
TEST_F(ShaderPassPictures, ProjectedTextureColoursOnlyTheProjectedArea) {
  m_State.m_mCameraProjection = EMat4();
  const HTEXTURE tex = SolidTexture(0xFFFFFFFFu, 64);
  EMat4 m;
  for (float& v : m.m) v = 0;
  m.m[0] = 1, m.m[12] = 0.5f;  // s = x + 0.5
  m.m[5] = 1, m.m[13] = 0.5f;  // t = y + 0.5
  m.m[14] = 1;                 // q = 1
  Begin(kBLENDMODE_DECAL);
  p->SetShaderProjectedTexture(tex, 0, EVec4(0.5f, 1, 0.25f, 1), m, EVec3(0, 0, 2), EVec3(0, 0, -1), 0, 0, false, 0);
  RenderUnitWorldQuad(r, *res);
  End();
  for (const auto& at : {std::make_pair(32, 32), std::make_pair(20, 20), std::make_pair(44, 44), std::make_pair(20, 44)})
    ExpectRgb(at.first, at.second, 128, 255, 64, 2);
  for (const auto& at : {std::make_pair(8, 8), std::make_pair(56, 32), std::make_pair(32, 56), std::make_pair(10, 50),
                         std::make_pair(13, 32), std::make_pair(32, 50)})
    ExpectRgb(at.first, at.second, 0, 0, 0, 0);
}

// Two point lights 2 above opposite corners of the unit world quad; the
// quad's block, filled with the single strongest light, lights the corner
// below it with colour / (k + l d + q d^2) and the other light adds nothing.
TEST_F(ShaderPassPictures, TheStrongestLightAloneLightsTheQuad) {
  m_State.m_mCameraProjection = EMat4();
  PCGameApp app;
  gGameApp = &app;
  app.createLightManagers();
  ELightManager& lights = *app.m_pLightManager;
  struct Spec {
    EVec3 position, colour;
  } specs[] = {{EVec3(1, 1, 2), EVec3(0.5f, 0.25f, 0.5f)}, {EVec3(-1, -1, 2), EVec3(0.2f, 0.2f, 0.2f)}};
  ELight* made[2];
  for (int i = 0; i < 2; ++i) {
    ELight* l = made[i] = lights.AddLight();
    l->m_eType = kLIGHTTYPE_POINT;
    l->m_vPosition = specs[i].position;
    l->m_vColor = specs[i].colour;
    l->m_fConstantAtten = 0.5f, l->m_fLinearAtten = 0.1f, l->m_fQuadraticAtten = 0.01f;
    lights.RegisterLight(l);
  }
  ELightBlock block;
  lights.GetStrongestLights(EBox3(EVec3(-1, -1, 0), EVec3(1, 1, 0)), 1, 3, &block, nullptr, nullptr);
  ASSERT_EQ(1, block.GetLightCount());
  EXPECT_EQ(made[0], block.GetLight(0));
  Begin(kBLENDMODE_DECAL);
  p->SetShaderVertexLight(&block, 0);
  ASSERT_NE(0u, r->m_hVertexShader);
  RenderUnitWorldQuad(r, *res);
  End();
  // Straight below the light: N.L = 1 and d = 2.
  const float below = 255 / (0.5f + 0.1f * 2 + 0.01f * 4);
  ExpectRgb(63, 63, 0.5f * below, 0.25f * below, 0.5f * below, 3);
  // The opposite corner, under the other light, has only the chosen light:
  // d = sqrt(12) and N.L = 2 / d.
  const float d = std::sqrt(12.0f);
  const float far = 255 * (2 / d) / (0.5f + 0.1f * d + 0.01f * d * d);
  ExpectRgb(0, 0, 0.5f * far, 0.25f * far, 0.5f * far, 3);
  app.releaseLightManagers();
  gGameApp = nullptr;
}

// What a distortion emitter's screen image held when the screen was
// distorted: the pixel at the centre (under the particle) and at a corner.
struct DistortionSeen {
  int calls = 0;
  HTEXTURE target = 0;
  unsigned char centre[4] = {}, corner[4] = {};
};
DistortionSeen* s_pDistortionSeen = nullptr;
HTEXTURE s_hDistortionImage = 0;
HTEXTURE DistortionScreenImage() { return s_hDistortionImage; }
HTEXTURE DistortionScreenDepth() { return 0; }
void RecordDistortion(unsigned, float, const EVec3&, const ERect&) {
  typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
  const auto read = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
  ++s_pDistortionSeen->calls;
  s_pDistortionSeen->target = g_pCurrentRenderer->GetRenderTargetImage();
  read(32, 32, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, s_pDistortionSeen->centre);
  read(1, 1, 1, 1, 0x1908, 0x1401, s_pDistortionSeen->corner);
}

// Particles queued, ordered and drawn by the particle manager through the
// application's billboard pass, one emitter of one particle each, in front
// of a camera looking down +z. Corner offsets are in the particle size's
// units: a quad of 62 units at 100 covers about two thirds of the 64-pixel
// screen.
TEST_F(ShaderPassPictures, ParticlesDrawnByTheManager) {
  struct Emitter {
    float z, size;
    EVec4 material;
    bool distortion = false;
  };
  struct Case {
    const char* what;
    std::vector<Emitter> emitters;
    EVec3 centre;
  } cases[] = {
      {"one white particle", {{100, 62, EVec4(1, 1, 1, 1)}}, EVec3(255, 255, 255)},
      {"a red material colour", {{100, 62, EVec4(1, 0, 0, 1)}}, EVec3(255, 0, 0)},
      // Queued nearer first: ordering back to front draws the far one first.
      {"the nearer of two overlapping emitters",
       {{100, 62, EVec4(0, 1, 0, 1)}, {200, 248, EVec4(0, 0, 1, 1)}},
       EVec3(0, 255, 0)},
      // Drawn into the screen image cleared to (0.5, 0.5, 1, 0); the screen
      // itself is left alone.
      {"a distortion emitter", {{100, 62, EVec4(1, 1, 1, 1), true}}, EVec3(0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EDomain root(nullptr, nullptr);
    EDomain* level = root.CreateChildDomain("Level", &ECollisionManager::sm_CM);
    PCGameApp app;
    gGameApp = &app;
    ECamera camera;
    camera.SetPosition(EVec3(0, 0, 0));  // looking down +z
    camera.SetViewportWidth(64);
    camera.SetViewportHeight(64);
    camera.UpdateMatrices();
    app.SetRenderCamera(&camera);
    app.m_pShaderPasses = p.get();
    app.m_pShaderDrawState = &m_State;
    const EParticleRenderHooks saved = g_ParticleRenderHooks;
    GameApp::ConnectParticleRenderHooks();
    DistortionSeen seen;
    s_pDistortionSeen = &seen;
    s_hDistortionImage = r->CreateBitmapTexture(kTEXTUREFORMAT_8888, 64, 64, 1, kTEXTUREFLAG_RENDERTARGET);
    m_aTextures.push_back(s_hDistortionImage);
    g_ParticleRenderHooks.pfnGetScreenImageTexture = DistortionScreenImage;
    g_ParticleRenderHooks.pfnGetScreenDepthTexture = DistortionScreenDepth;
    g_ParticleRenderHooks.pfnApplyDistortionToScreen = RecordDistortion;

    EParticleManager manager;
    manager.Init();
    manager.ResetFrame();
    std::vector<EParticleEmitterEntity*> emitters;
    for (const Emitter& d : c.emitters) {
      EParticleEmitterEntity* e = EParticleEmitterEntity::Create(level, "emitter");
      e->InitPosition(EVec3(0, 0, d.z));
      e->SetMaxParticles(3);
      e->SetActive(true);
      e->SetParticleSpeed(0, 0);
      e->SetParticleStartEndSize(d.size, d.size);
      e->SetStartColor(1, 1, 1, 1);
      e->SetMaterialColor(d.material);
      if (d.distortion) e->SetFlag(kPARTICLEEMITTER_DISTORTION);
      e->SetInitialParticles(1);
      e->Update(0.01f);
      EXPECT_EQ(1, e->GetNumActiveParticles());
      EParticleManager::AddEmitter(e);
      emitters.push_back(e);
    }
    manager.PreprocessAll();
    ASSERT_EQ((int)emitters.size(), manager.GetNumActiveEmitters());
    Begin(kBLENDMODE_DECAL);
    manager.StartRender();
    for (int i = 0; i < manager.GetNumActiveEmitters(); ++i) manager.DrawEmitter(i);
    EXPECT_EQ(Named(kGVS_ParticleBB), r->m_hVertexShader);
    EXPECT_EQ(HTEXTURE_BACKBUFFER, r->GetRenderTargetImage()) << "the target is put back";
    End();
    ExpectRgb(32, 32, c.centre.x, c.centre.y, c.centre.z, 2);
    if (c.emitters[0].distortion) {
      ASSERT_EQ(1, seen.calls);
      EXPECT_EQ(s_hDistortionImage, seen.target);
      EXPECT_EQ(255, seen.centre[0]);
      EXPECT_EQ(255, seen.centre[1]);
      EXPECT_EQ(255, seen.centre[2]);
      EXPECT_NEAR(128, seen.corner[0], 1);
      EXPECT_NEAR(128, seen.corner[1], 1);
      EXPECT_EQ(255, seen.corner[2]);
      EXPECT_EQ(0, seen.corner[3]);
    } else {
      EXPECT_EQ(0, seen.calls);
    }
    if (emitters.size() == 1) {
      ExpectRgb(32, 60, 0, 0, 0, 2);
      ExpectRgb(2, 32, 0, 0, 0, 2);
    } else {
      ExpectRgb(32, 60, 0, 0, 255, 2);  // only the far, larger one reaches here
    }

    manager.Shutdown();
    g_ParticleRenderHooks = saved;
    s_pDistortionSeen = nullptr;
    app.m_pShaderPasses = nullptr;
    app.m_pShaderDrawState = nullptr;
    app.SetRenderCamera(nullptr);
    for (EParticleEmitterEntity* e : emitters) {
      e->InternalDelayedDelete();
      delete e;
    }
    gGameApp = nullptr;
  }
}

// A rope spline across the middle of the view, drawn by the spline store
// through the application's lit pass over a mid-grey screen: the pixels
// along its line change, those away from it keep the grey.
TEST_F(ShaderPassPictures, ASplineChangesOnlyThePixelsAlongItsLine) {
  PCGameApp app;
  gGameApp = &app;
  ECamera camera;
  camera.SetPosition(EVec3(0, 0, 0));  // looking down +z
  camera.SetViewportWidth(64);
  camera.SetViewportHeight(64);
  camera.UpdateMatrices();
  app.SetRenderCamera(&camera);
  app.m_pShaderPasses = p.get();
  app.m_pShaderDrawState = &m_State;
  app.m_pSceneShading = &m_Scene;
  app.m_hWhiteTexture = res->m_hWhiteTexture;
  app.m_DebugHooks.m_bDebugLights = true;  // the plain white texture
  {
    ERenderSplineManager splines;
    const EVec3 points[2] = {EVec3(-300, 0, 100), EVec3(300, 0, 100)};
    splines.AddSpline(points, 2, 3, 1, 0.02f, 4, kRENDERSPLINEFLAG_NO_SMOOTHING, kBLENDMODE_DECAL);
    splines.PreprocessAll();
    r->BeginRender();
    r->ClearRenderTarget(EVec4(0.5f, 0.5f, 0.5f, 1), true, true, true, 1.0f);
    splines.DrawAll();
    End();
    ASSERT_EQ(1, splines.GetLastDrawCount());
  }
  const float grey = Rgb(32, 5).x;
  EXPECT_NEAR(128, grey, 2);
  for (int x : {4, 20, 32, 44, 60}) EXPECT_GT(std::fabs(Rgb(x, 32).x - grey), 20) << "on the line at " << x;
  for (int y : {5, 20, 44, 58}) ExpectRgb(32, y, grey, grey, grey, 1);
  app.m_pShaderPasses = nullptr;
  app.m_pShaderDrawState = nullptr;
  app.m_pSceneShading = nullptr;
  app.SetRenderCamera(nullptr);
  gGameApp = nullptr;
}

}  // namespace
