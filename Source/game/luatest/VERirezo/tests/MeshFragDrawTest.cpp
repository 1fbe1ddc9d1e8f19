// Mesh fragments prepared and drawn: detail factor, sort keys, camera alpha,
// shader blend streams, the per-pass render state of the pass list, the
// triangle counts, the order of opaque and transparent drawing and the
// per-entity draws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "VERirezo/Light.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshFragFacts.h"
#include "VERirezo/MeshFragPasses.h"
#include "VERirezo/MeshFragRules.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/RenderPass.h"
#include "VERirezo/SceneSettings.h"

namespace {

// An application with a 640 x 480 render camera at the origin looking down
// -Z (also the main channel's camera), scene settings of a reset scene and
// model fragments taken from their pool.
class FragDraw : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_Camera.SetPosition(EVec3(0, 0, 0));
    m_Camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    m_Camera.SetViewportWidth(640);
    m_Camera.SetViewportHeight(480);
    m_Camera.UpdateMatrices();
    m_pApp->SetRenderCamera(&m_Camera);
    m_pApp->GetCameraChannel(0).m_pCamera = &m_Camera;
    SetMeshFragSceneSettings(&m_Scene);
    EMeshFrag::sm_TriangleStats = EMeshFragTriangleStats();
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    SetMeshFragSceneSettings(nullptr);
    MeshFragEntityFacts() = MeshFragDefaultEntityFacts();
    for (EModelFrag* f : m_ModelFrags) EModelFragManager::ModelFragDelete(f);
    m_pApp->GetCameraChannel(0).m_pCamera = nullptr;
    m_pApp->SetRenderCamera(nullptr);
    gGameApp = nullptr;
    delete m_pApp;
  }
  EModelFrag* ModelFrag(uint32_t material, unsigned t0 = 0, unsigned t1 = 0) {
    EModelFrag* f = EModelFragManager::ModelFragNew();
    f->m_dwMaterialFlags = material;
    f->m_aTextures[0] = t0;
    f->m_aTextures[1] = t1;
    f->m_vColor = EVec4(1, 1, 1, 1);
    f->m_Box = EBox3(EVec3(-1, -1, -101), EVec3(1, 1, -99));
    f->m_nPolys = 2;
    m_ModelFrags.push_back(f);
    return f;
  }
  // A fragment of the manager bound to a model fragment, visible this frame.
  EMeshFrag* Frag(EMeshFragManager& manager, EModelFrag* m, bool bVisible = true) {
    EMeshFrag* f = manager.MeshFragNew();
    *f = *m;
    if (bVisible) manager.MeshFragMarkVisible(f);
    return f;
  }
  // A context holding the passes (place, pass, light entry) for a fragment.
  void Passes(std::initializer_list<std::pair<RENDERPASS, int>> passes, uint8_t fragmentFlags, uint8_t blendFlags) {
    ERenderContext& r = sg_Render;
    r.m_iRenderPassCount = 0;
    for (const auto& p : passes) {
      r.m_aeRenderPasses[r.m_iRenderPassCount] = p.first;
      r.m_aeRenderLights[r.m_iRenderPassCount] = (RENDERLIGHT)p.second;
      r.m_apCasters[r.m_iRenderPassCount] = nullptr;
      ++r.m_iRenderPassCount;
    }
    r.m_byFragmentFlags = fragmentFlags;
    r.m_byBlendFlags = blendFlags;
    r.m_byPassFlags = 0;
    r.m_ahBaseTextures[0] = 7;
    r.m_ahBaseTextures[1] = r.m_ahBaseTextures[2] = 0;
    r.m_PerPixelLights.m_iLightCount = 0;
    r.m_RenderState.Reset();
  }

  PCGameApp* m_pApp = nullptr;
  ECamera m_Camera;
  ESceneSettings m_Scene;
  std::vector<EModelFrag*> m_ModelFrags;
};

// ---------------------------------------------------------------------------
// Preprocess.

TEST_F(FragDraw, DetailFactorFromDistanceAndPixels) {
  struct Case {
    float d, p, expected;
  } cases[] = {{1000, 0, 1}, {500, 0, 1}, {8000, 10, 0}, {9000, 0, 0}, {4500, 205, 0.5f}, {20000, 400, 1}};
  for (const Case& c : cases)
    EXPECT_NEAR(c.expected, meshfragrules::DetailFactor(c.d, c.p), 1e-5f) << c.d << " units, " << c.p << " px";
}

TEST_F(FragDraw, ViewDistanceAndPixelDiagonalOverTheSeeingCameras) {
  const EBox3 ahead(EVec3(-1, -1, -1001), EVec3(1, 1, -999));
  const EBox3 behind(EVec3(-1, -1, 999), EVec3(1, 1, 1001));
  EXPECT_NEAR(999.0f, m_pApp->NearestViewDistance(ahead), 0.01f);
  EXPECT_GT(m_pApp->LargestPixelDiagonal(ahead), 0.0f);
  EXPECT_EQ(1e9f, m_pApp->NearestViewDistance(behind));
  EXPECT_EQ(0.0f, m_pApp->LargestPixelDiagonal(behind));
  m_pApp->GetCameraChannel(0).m_pCamera = nullptr;
  EXPECT_EQ(1e9f, m_pApp->NearestViewDistance(ahead)) << "no camera sees it";
  EXPECT_EQ(0.0f, m_pApp->LargestPixelDiagonal(ahead));
  // A second channel counts only while it is enabled.
  ECamera near;
  near.SetPosition(EVec3(0, 0, -900));
  near.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  near.UpdateMatrices();
  m_pApp->GetCameraChannel(3).m_pCamera = &near;
  EXPECT_EQ(1e9f, m_pApp->NearestViewDistance(ahead));
  m_pApp->GetCameraChannel(3).m_dwFlags = 1;
  EXPECT_NEAR(99.0f, m_pApp->NearestViewDistance(ahead), 0.01f);
  m_pApp->GetCameraChannel(3).Clear();
}

TEST_F(FragDraw, PreprocessDetailFactorOfAFragmentWithoutOwner) {
  EMeshFragManager manager;
  EModelFrag* m = ModelFrag(0);
  EMeshFrag* f = Frag(manager, m);
  m->m_Box = EBox3(EVec3(-1, -1, -1001), EVec3(1, 1, -999));
  f->Preprocess(0);
  EXPECT_FLOAT_EQ(1.0f, f->m_fLODFactor);
  m_Scene.m_bShaderLOD = false;
  m->m_Box = EBox3(EVec3(-1, -1, -20001), EVec3(1, 1, -19999));
  f->InvalidateCachedPositions();
  f->Preprocess(0);
  EXPECT_FLOAT_EQ(1.0f, f->m_fLODFactor) << "shader LOD off";
  m_Scene.m_bShaderLOD = true;
  f->Preprocess(0);
  EXPECT_FLOAT_EQ(0.0f, f->m_fLODFactor) << "far and small";
}

TEST_F(FragDraw, OpaqueSortKeysAndDecals) {
  EMeshFragManager manager;
  struct Case {
    uint32_t material;
    unsigned texture;
    bool transparent;
    float key;
  } cases[] = {
      {0, 0x1234, false, 564.0f},
      {0, 0x0234, false, 564.0f},
      {kMATERIALFLAG_DECAL | kMATERIALFLAG_ALPHA, 0x10, false, 100016.0f},
      {kMATERIALFLAG_DECAL | kMATERIALFLAG_ADDITIVE_BLENDING, 0x10, false, 100016.0f},
      {kMATERIALFLAG_DECAL, 0x10, false, 16.0f},
  };
  for (const Case& c : cases) {
    EMeshFrag* f = Frag(manager, ModelFrag(c.material, c.texture));
    f->Preprocess(0);
    EXPECT_EQ(c.transparent, (f->m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) != 0) << std::hex << c.material;
    EXPECT_FLOAT_EQ(c.key, f->m_fSortKey) << std::hex << c.material << " " << c.texture;
  }
  // The sort bits of the fragment's own word move the keys.
  EMeshFrag* last = Frag(manager, ModelFrag(0, 0x20));
  last->m_dwFlags |= kMESH_SORT_END;
  last->Preprocess(0);
  EXPECT_FLOAT_EQ(100032.0f, last->m_fSortKey);
  EMeshFrag* first = Frag(manager, ModelFrag(kMATERIALFLAG_ALPHA));
  first->m_dwFlags |= kMESH_SORT_BEGIN | kMESH_SORT_BIAS;
  first->Preprocess(0);
  EXPECT_NEAR(101 + 100000.0f - 100.0f, first->m_fSortKey, 0.01f);
}

TEST_F(FragDraw, CameraAlphaFlagFollowsTheVisibleShare) {
  struct Case {
    unsigned first, second;
    bool wasSet, radius, expected;
  } cases[] = {
      {100, 93, false, false, false},  {100, 93, true, false, true},   {100, 89, false, false, true},
      {100, 95, true, false, false},   {100, 94, true, false, true},   {100, 97, false, true, true},
      {100, 98, false, true, false},   {100, 98, true, true, true},    {100, 99, true, true, false},
      {0, 50, true, false, true},      {0, 50, false, false, false},   {0xFFFFFFFFu, 10, true, false, true},
      {100, 0xFFFFFFFFu, false, false, false}, {100, 300, true, false, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, meshfragrules::CameraAlpha(c.first, c.second, c.wasSet, c.radius))
        << c.first << "/" << c.second << " set " << c.wasSet << " radius " << c.radius;
}

TEST_F(FragDraw, ShaderBlendStreamsTakeTheHeaviestFour) {
  const float scales[5] = {1, 2, 3, 4, 5};
  const uint32_t buffers[5] = {10, 11, 12, 13, 14};
  meshfragrules::BlendStreams s;
  const float five[5] = {0.1f, 0.5f, 0.3f, 0.0f, 0.2f};
  meshfragrules::ChooseBlendStreams(five, scales, buffers, 5, 99, s);
  const uint32_t expected[4] = {11, 12, 14, 10};
  const float plain[4] = {0.5f, 0.3f, 0.2f, 0.1f};
  const float scaled[4] = {1.0f, 0.9f, 1.0f, 0.1f};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(expected[k], s.ahStreams[k]) << k;
    EXPECT_FLOAT_EQ(plain[k], s.afPlain[k]) << k;
    EXPECT_FLOAT_EQ(scaled[k], s.afScaled[k]) << k;
  }
  // Up to four keep their order; a weight of 0.000005 and missing pairs
  // bind the dummy buffer, the first slot never does.
  const float three[3] = {0.0f, 0.000005f, 0.4f};
  meshfragrules::ChooseBlendStreams(three, scales, buffers, 3, 99, s);
  const uint32_t expected3[4] = {10, 99, 12, 99};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(expected3[k], s.ahStreams[k]) << k;
  EXPECT_FLOAT_EQ(0.0f, s.afPlain[3]);
}

TEST_F(FragDraw, SoftwareBindSingleVertRefusesAnIndexPastTheVertices) {
  EMeshFragManager manager;
  EModelFrag* m = ModelFrag(0);
  m->m_nVerts = 4;
  EMeshFrag* f = Frag(manager, m);
  VERTEX_NOTEX_NORM v;
  EXPECT_FALSE(f->SoftwareBindSingleVert(4, &v, nullptr));
  EXPECT_EQ(1, gfxtest::CountTraces("Invalid vertex index in SoftwareBindSingleVert"));
  EXPECT_FALSE(f->SoftwareBindSingleVert(3, &v, nullptr)) << "no renderer, no geometry";
  EXPECT_EQ(1, gfxtest::CountTraces("No geometry data found in SoftwareBindSingleVert"));
}

TEST_F(FragDraw, GeomShaderFollowsTheAnimation) {
  EMeshFragManager manager;
  EMeshEntity owner(nullptr, "owner");
  struct Case {
    int model;
    bool animating, basis, noBlend;
    int expected;
  } cases[] = {{0, true, false, false, 0}, {0, true, true, false, 1}, {2, false, false, false, 0},
               {2, true, false, false, 2}, {2, true, true, false, 3}, {4, true, false, false, 4},
               {4, true, false, true, 2}};
  for (const Case& c : cases) {
    EModelFrag* m = ModelFrag(0);
    m->m_dwFragFlags = c.model == 4 ? 0x1 | 0x8 : 0x8;
    m->m_eGeomShader = c.model;
    EMeshFrag* f = Frag(manager, m);
    f->m_pOwnerEntity = &owner;
    owner.SetTransientFlag(ENTITYTRANSIENT_ANIMATING, c.animating);
    m_pApp->m_DebugHooks.m_bNoBlendShapes = c.noBlend;
    EXPECT_EQ(c.expected, (int)f->GetGeomShader(c.basis)) << c.model << " " << c.animating << " " << c.basis;
  }
  m_pApp->m_DebugHooks.m_bNoBlendShapes = false;
}

ECamera* s_pShadowCamera = nullptr;
ECamera* TestShadowCamera(const EMeshEntity*) { return s_pShadowCamera; }

TEST_F(FragDraw, ShadowReceiversNeedACasterWhoseCameraSeesThem) {
  MeshFragEntityFacts().pfnShadowCamera = TestShadowCamera;
  EMeshFragManager manager;
  EMeshEntity caster(nullptr, "caster"), lit(nullptr, "lit");
  lit.SetEntityFlag(ENTITY_LIT_SHADOW, true);
  struct Case {
    uint32_t material, fragFlags;
    EMeshEntity* pCaster;
    bool bCamera, bShadows, receiver;
  } cases[] = {
      {0, 0, &caster, true, true, true},
      {0, 0, &caster, false, true, false},   // no shadow camera yet
      {0, 0, &caster, true, false, false},   // "Shadows" off
      {0, 0x8, &caster, true, true, false},  // skinned
      {kMATERIALFLAG_ADDITIVE_BLENDING, 0, &caster, true, true, false},
      {0x80000, 0, &caster, true, true, false},
      {0x80000, 0, &lit, true, true, true},
  };
  // The shadow camera looks at the caster, from where the render camera is.
  ECamera shadow;
  shadow.SetPosition(EVec3(0, 0, 0));
  shadow.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  shadow.UpdateMatrices();
  for (const Case& c : cases) {
    m_pApp->m_lShadowCasters.RemoveAll();
    m_pApp->m_lShadowCasters.AddTail(c.pCaster);
    shadow.SetPrimaryTarget(c.pCaster, false);
    s_pShadowCamera = c.bCamera ? &shadow : nullptr;
    m_pApp->m_DebugHooks.m_bShadows = c.bShadows;
    EModelFrag* m = ModelFrag(c.material, 1);
    m->m_dwFragFlags = c.fragFlags;
    EMeshFrag* f = Frag(manager, m);
    f->Preprocess(0);
    EXPECT_EQ(c.receiver, (f->m_dwFlags & kMESHFRAGFLAG_SHADOW_RECEIVER) != 0)
        << std::hex << c.material << " " << c.fragFlags << " camera " << c.bCamera;
  }
  // A fragment of the caster itself receives no shadow from it.
  EMesh mesh;
  caster.SetMesh(THE_EMPTY_MESH, false);
  caster.SetMesh(&mesh, true);
  shadow.SetPrimaryTarget(&caster, false);
  s_pShadowCamera = &shadow;
  m_pApp->m_lShadowCasters.RemoveAll();
  m_pApp->m_lShadowCasters.AddTail(&caster);
  EMeshFrag* own = Frag(manager, ModelFrag(0, 1));
  own->m_pMesh = &mesh;
  mesh.SetScale(EVec3(1, 1, 1));
  own->Preprocess(0);
  EXPECT_EQ(&caster, own->m_pOwnerEntity);
  EXPECT_EQ(0u, own->m_dwFlags & kMESHFRAGFLAG_SHADOW_RECEIVER);
  shadow.SetPrimaryTarget(nullptr, false);
  m_pApp->m_lShadowCasters.RemoveAll();
  m_pApp->m_DebugHooks.m_bShadows = true;
  s_pShadowCamera = nullptr;
  caster.SetMesh(nullptr, false);  // the mesh goes first
}

// ---------------------------------------------------------------------------
// Execution of the pass list.

TEST_F(FragDraw, DepthWriteAndFirstPlaceBlend) {
  EMeshFragManager manager;
  EMeshFrag* f = Frag(manager, ModelFrag(0, 1));
  struct Case {
    uint8_t fragment, blend;
    int blend0;
    bool zwrite0;
  } cases[] = {
      {0, kRENDERBLEND_OPAQUE, kBLENDMODE_DECAL, true},
      {kRENDERFRAG_BLENDED, kRENDERBLEND_TRANSPARENT, kBLENDMODE_ALPHA_BLEND, false},
      {0, kRENDERBLEND_ADDITIVE, kBLENDMODE_ADD, false},
      {kRENDERFRAG_BLENDED, kRENDERBLEND_ADDITIVE, kBLENDMODE_ADD_ALPHA, false},
      {0, kRENDERBLEND_ADDITIVE | kRENDERBLEND_ADDITIVE_INLINE | kRENDERBLEND_OPAQUE, kBLENDMODE_DECAL, true},
      {kRENDERFRAG_CAMERA_ALPHA_TESTED | kRENDERFRAG_BLENDED, 0, kBLENDMODE_ALPHA_BLEND, true},
  };
  for (const Case& c : cases) {
    Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_ATTENLIGHT, 0}}, c.fragment, c.blend);
    meshfragexec::PassWalk walk;
    meshfragexec::PassSetup s;
    ASSERT_TRUE(meshfragexec::SetupPass(*f, 0, walk, s));
    EXPECT_EQ(c.blend0, (int)sg_Render.m_RenderState.m_eBlendMode) << (int)c.fragment << " " << (int)c.blend;
    EXPECT_EQ(c.zwrite0, sg_Render.m_RenderState.m_bZWriteEnable) << (int)c.fragment << " " << (int)c.blend;
    ASSERT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
    EXPECT_FALSE(sg_Render.m_RenderState.m_bZWriteEnable) << "only place 0 writes depth";
    EXPECT_EQ(kBLENDMODE_ADD_ALPHA, sg_Render.m_RenderState.m_eBlendMode);
  }
}

TEST_F(FragDraw, BlendOfLaterPasses) {
  EMeshFragManager manager;
  EMeshFrag* f = Frag(manager, ModelFrag(0, 1));
  meshfragexec::PassWalk walk;
  meshfragexec::PassSetup s;
  // A base pass at place 1 or later without a first texture is not drawn.
  Passes({{kRENDERPASS_LIGHTMAP, 0}, {kRENDERPASS_COLOR1TEX, 0}}, 0, kRENDERBLEND_OPAQUE);
  EXPECT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
  EXPECT_EQ(kBLENDMODE_MODULATE, sg_Render.m_RenderState.m_eBlendMode);
  sg_Render.m_byPassFlags = kRENDERPASSFLAG_BASE_LIGHTING_SET | kRENDERPASSFLAG_LIGHTING_SEPARATE;
  EXPECT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
  EXPECT_EQ(kBLENDMODE_MODULATE_2X, sg_Render.m_RenderState.m_eBlendMode);
  sg_Render.m_ahBaseTextures[0] = 0;
  EXPECT_FALSE(meshfragexec::SetupPass(*f, 1, walk, s));
  // An additive pass after a destination-alpha pass adds by destination alpha.
  Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_DESTALPHAGLOSS, 0}, {kRENDERPASS_ATTENLIGHT, 0}}, 0,
         kRENDERBLEND_OPAQUE);
  EXPECT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
  EXPECT_EQ(kBLENDMODE_ALPHA_ONLY, sg_Render.m_RenderState.m_eBlendMode);
  EXPECT_FALSE(sg_Render.m_RenderState.m_bAlphaTestEnable);
  EXPECT_TRUE(meshfragexec::SetupPass(*f, 2, walk, s));
  EXPECT_EQ(kBLENDMODE_ADD_DEST_ALPHA, sg_Render.m_RenderState.m_eBlendMode);
  // Fog blends; the shadow pass takes the scene's mode.
  m_Scene.m_iShadowBlendMode = kBLENDMODE_MODULATE;
  Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_LAYERED_FOG, 0}, {kRENDERPASS_PROJECTEDSHADOW, 0}}, 0,
         kRENDERBLEND_OPAQUE);
  EXPECT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
  EXPECT_EQ(kBLENDMODE_ALPHA_BLEND, sg_Render.m_RenderState.m_eBlendMode);
  EXPECT_TRUE(meshfragexec::SetupPass(*f, 2, walk, s));
  EXPECT_EQ(kBLENDMODE_MODULATE, sg_Render.m_RenderState.m_eBlendMode);
}

TEST_F(FragDraw, ProjectedLightModesSubtractOrBlendInTheirOwnColour) {
  EMeshFragManager manager;
  EMeshFrag* f = Frag(manager, ModelFrag(0, 1));
  f->m_vColor = EVec4(0.5f, 0.5f, 0.5f, 1);
  ELight light;
  light.m_pProjectedLight = new EProjectedLight();
  light.m_vColor = EVec3(1, 0.5f, 0.25f);
  light.m_fIntensity = 2;
  struct Case {
    int mode, blend;
    EVec4 colour;
  } cases[] = {{1, kBLENDMODE_ADD_ALPHA, EVec4(1, 0.5f, 0.25f, 1)},
               {2, kBLENDMODE_SUBTRACT, EVec4(1, 0.5f, 0.25f, 1)},
               {3, kBLENDMODE_SUBTRACT, EVec4(1, 0.5f, 0.25f, 1)},
               {4, kBLENDMODE_ALPHA_BLEND, EVec4(2, 1, 0.5f, 1)}};
  for (const Case& c : cases) {
    light.m_pProjectedLight->m_eProjectionMode = c.mode;
    Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_PROJECTEDTEXTURE, 0}}, 0, kRENDERBLEND_OPAQUE);
    sg_Render.m_PerPixelLights.m_iLightCount = 0;
    sg_Render.m_PerPixelLights.AddLight(&light, 1);
    meshfragexec::PassWalk walk;
    walk.bBaseSeen = true;
    meshfragexec::PassSetup s;
    ASSERT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
    EXPECT_EQ(c.blend, (int)sg_Render.m_RenderState.m_eBlendMode) << "mode " << c.mode;
    const EVec4 got = meshfragexec::ProjectedLightColor(light, s.vColor);
    EXPECT_FLOAT_EQ(c.colour.x, got.x) << "mode " << c.mode;
    EXPECT_FLOAT_EQ(c.colour.y, got.y) << "mode " << c.mode;
    EXPECT_FLOAT_EQ(c.colour.z, got.z) << "mode " << c.mode;
  }
  sg_Render.m_PerPixelLights.m_iLightCount = 0;
}

TEST_F(FragDraw, PassColours) {
  EMeshFragManager manager;
  EModelFrag* m = ModelFrag(0, 1);
  m->m_fGlareIntensity = 3;
  m->m_pBlinnInfo = new EModelBlinnInfo();
  m->m_pBlinnInfo->m_vSpecularColor = EVec3(0.2f, 0.4f, 0.6f);
  EMeshFrag* f = Frag(manager, m);
  f->m_vColor = EVec4(0.5f, 0.25f, 1, 0.5f);
  meshfragexec::PassSetup s;
  meshfragexec::PassWalk walk;
  // Glare 3 draws as 1.5 with the bright variant, tinted by the scene.
  m_Scene.m_vGlareColor = EVec4(1, 1, 0.5f, 0.5f);
  Passes({{kRENDERPASS_COLOR1TEX, 0}}, kRENDERFRAG_GLARE, 0);
  ASSERT_TRUE(meshfragexec::SetupPass(*f, 0, walk, s));
  EXPECT_TRUE(s.bBright);
  EXPECT_FLOAT_EQ(0.75f, s.vColor.x);
  EXPECT_FLOAT_EQ(0.375f, s.vColor.y);
  EXPECT_FLOAT_EQ(0.75f, s.vColor.z);
  EXPECT_FLOAT_EQ(0.25f, s.vColor.w);
  m->m_fGlareIntensity = 0.5f;
  ASSERT_TRUE(meshfragexec::SetupPass(*f, 0, walk, s));
  EXPECT_FALSE(s.bBright);
  EXPECT_FLOAT_EQ(0.25f, s.vColor.x);
  // With "Enable Diffuse Light" off only fog, specular and reflection keep
  // their colour.
  m_pApp->m_DebugHooks.m_bDiffuseLight = false;
  const RENDERPASS kinds[] = {kRENDERPASS_COLOR1TEX,    kRENDERPASS_LIGHTMAP,          kRENDERPASS_ATTENLIGHT,
                              kRENDERPASS_LAYERED_FOG,  kRENDERPASS_SPECULARLIGHTVL,   kRENDERPASS_REFLECTCUBE,
                              kRENDERPASS_DIFFUSELIGHTPIXEL, kRENDERPASS_SPECULARLIGHTMAP};
  for (RENDERPASS p : kinds) {
    Passes({{kRENDERPASS_COLOR1TEX, 0}, {p, 0}}, 0, kRENDERBLEND_OPAQUE);
    ASSERT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
    const bool black = s.vColor.x == 0 && s.vColor.y == 0 && s.vColor.z == 0 && s.vColor.w == 0;
    const bool keeps = RenderPassFog(p) || RenderPassSpecular(p) || RenderPassReflection(p);
    EXPECT_EQ(!keeps, black) << "pass " << p;
  }
  m_pApp->m_DebugHooks.m_bDiffuseLight = true;
  // The specular colour follows the detail ramp.
  f->m_fLODFactor = 0.85f;
  Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_SPECULARLIGHTVL, 0}}, 0, kRENDERBLEND_OPAQUE);
  ASSERT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
  EXPECT_NEAR(0.1f, s.vColor.x, 1e-5f);
  EXPECT_NEAR(0.3f, s.vColor.z, 1e-5f);
  EXPECT_TRUE(!sg_Render.m_RenderState.m_bSpecularEnable) << "pass 15 sets no specular state";
}

TEST_F(FragDraw, AlphaTestOfBinaryAlpha) {
  EMeshFragManager manager;
  EMeshFrag* f = Frag(manager, ModelFrag(0, 1));
  meshfragexec::PassSetup s;
  meshfragexec::PassWalk walk;
  m_Scene.m_byBinaryAlphaThreshold = 150;
  Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_PROJECTEDSHADOW, 0}}, 0, kRENDERBLEND_BINARY_ALPHA);
  ASSERT_TRUE(meshfragexec::SetupPass(*f, 0, walk, s));
  EXPECT_TRUE(sg_Render.m_RenderState.m_bAlphaTestEnable);
  EXPECT_EQ(kCMP_GREATEREQUAL, sg_Render.m_RenderState.m_eAlphaFunc);
  EXPECT_EQ(150, sg_Render.m_RenderState.m_byAlphaRef);
  ASSERT_TRUE(meshfragexec::SetupPass(*f, 1, walk, s));
  EXPECT_EQ(kCMP_NOTEQUAL, sg_Render.m_RenderState.m_eAlphaFunc) << "shadow passes ignore binary alpha";
  EXPECT_EQ(0, sg_Render.m_RenderState.m_byAlphaRef);
  Passes({{kRENDERPASS_COLOR1TEX, 0}}, kRENDERFRAG_NO_ALPHA_TEST, 0);
  ASSERT_TRUE(meshfragexec::SetupPass(*f, 0, walk, s));
  EXPECT_FALSE(sg_Render.m_RenderState.m_bAlphaTestEnable);
}

TEST_F(FragDraw, TriangleCountsOfStripsAndLists) {
  EXPECT_EQ(8u, meshfragrules::TriangleCount(true, 10, 0));
  EXPECT_EQ(6u, meshfragrules::TriangleCount(true, 10, 2));
  EXPECT_EQ(10u, meshfragrules::TriangleCount(false, 30, 5));
  EXPECT_EQ(0u, meshfragrules::TriangleCount(true, 1, 0));
  // The fragment's own indices: a strip of 8 primitives with 2 degenerate
  // ones, skinned, in a base pass; a list of 10 in an additive pass.
  EMeshFragManager manager;
  EModelFrag* strip = ModelFrag(kMATERIALFLAG_TRISTRIP);
  strip->m_nPolys = 8;
  strip->m_nDegenPolys = 2;
  strip->m_dwFragFlags = 0x8;
  EModelFrag* list = ModelFrag(0);
  list->m_nPolys = 10;
  uint32_t vb[1] = {0};
  Frag(manager, strip)->renderLowLevel(vb, 1, kRENDERPASS_COLOR1TEX, 0, 0);
  Frag(manager, list)->renderLowLevel(vb, 1, kRENDERPASS_ATTENLIGHT, 0, 0);
  Frag(manager, list)->renderLowLevel(vb, 1, kRENDERPASS_LAYERED_FOG, 5, 0);
  const EMeshFragTriangleStats& st = EMeshFrag::sm_TriangleStats;
  EXPECT_EQ(6u, st.m_dwBaseTexture);
  EXPECT_EQ(10u, st.m_dwAdditiveLight);
  EXPECT_EQ(10u, st.m_dwFog) << "an index buffer with count 0 draws 3 n";
  EXPECT_EQ(6u, st.m_dwSkinned);
  EXPECT_EQ(20u, st.m_dwOther);
}

TEST_F(FragDraw, AnUnknownPassIsReportedAndLeftOut) {
  EMeshFragManager manager;
  EModelFrag* m = ModelFrag(0, 1);
  m->m_nPolys = 4;
  EMeshFrag* f = Frag(manager, m);
  Passes({{kRENDERPASS_COLOR1TEX, 0}, {kRENDERPASS_VOLUME_FOG, 0}, {(RENDERPASS)27, 0}, {kRENDERPASS_LAYERED_FOG, 0}}, 0,
         kRENDERBLEND_OPAQUE);
  f->renderExecutePasses();
  EXPECT_EQ(2, gfxtest::CountTraces("Unknown render pass"));
  EXPECT_EQ(4u, EMeshFrag::sm_TriangleStats.m_dwBaseTexture);
  EXPECT_EQ(4u, EMeshFrag::sm_TriangleStats.m_dwFog) << "only the known fog pass drew";
}

// ---------------------------------------------------------------------------
// Drawing order.

// Three streams of keys, recording what is drawn.
struct RecordedStreams {
  std::vector<float> frags, emitters, trails;
  size_t f = 0, e = 0, t = 0;
  std::string order;
  bool HasFrag() const { return f < frags.size(); }
  float FragKey() const { return frags[f]; }
  void DrawFrag() { order += "F" + std::to_string((int)frags[f++]) + " "; }
  bool HasEmitter() const { return e < emitters.size(); }
  float EmitterKey() const { return emitters[e]; }
  void DrawEmitter() { order += "E" + std::to_string((int)emitters[e++]) + " "; }
  bool HasTrail() const { return t < trails.size(); }
  float TrailKey() const { return trails[t]; }
  void DrawTrail() { order += "T" + std::to_string((int)trails[t++]) + " "; }
};

TEST_F(FragDraw, TransparentInterleaveIsBackToFront) {
  struct Case {
    std::vector<float> frags, emitters, trails;
    const char* order;
  } cases[] = {
      {{100}, {20}, {50}, "F100 T50 E20 "},
      // The trail is compared with the farther of fragment and emitter.
      {{100}, {200}, {150}, "E200 T150 F100 "},
      {{100}, {200}, {250}, "T250 E200 F100 "},
      {{300, 100}, {200}, {}, "F300 E200 F100 "},
      {{}, {}, {30, 10}, "T30 T10 "},
      {{}, {40}, {60, 10}, "T60 E40 T10 "},
      {{}, {}, {}, ""},
  };
  for (const Case& c : cases) {
    RecordedStreams s;
    s.frags = c.frags;
    s.emitters = c.emitters;
    s.trails = c.trails;
    meshfragrules::Interleave(s);
    EXPECT_EQ(c.order, s.order);
  }
}

TEST_F(FragDraw, EmittersPassedOverInTheInterleave) {
  struct Case {
    uint32_t flags;
    bool drawn;
    int a, b;
  } cases[] = {{0, true, -1, -1},
               {0x40000, false, -1, 5},
               {0x400000, false, 5, -1},
               {0x100000, false, -1, -1},
               {0x400000 | 0x40000, false, 5, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.drawn, meshfragrules::EmitterDrawnInline(c.flags)) << std::hex << c.flags;
    int a = -1, b = -1;
    meshfragrules::NoteEmitter(5, c.flags, a, b);
    EXPECT_EQ(c.a, a) << std::hex << c.flags;
    EXPECT_EQ(c.b, b) << std::hex << c.flags;
  }
  int a = 2, b = 3;
  meshfragrules::NoteEmitter(5, 0x400000 | 0x40000, a, b);
  EXPECT_EQ(2, a);
  EXPECT_EQ(3, b) << "the first positions are kept";
}

TEST_F(FragDraw, DrawAllOpaqueStopsAtTheFirstTransparentFragment) {
  m_pApp->m_DebugHooks.m_bLights = false;
  EMeshFragManager manager;
  Frag(manager, ModelFrag(0, 1));
  Frag(manager, ModelFrag(kMATERIALFLAG_ALPHA, 1));
  manager.PreprocessAll(0);
  EXPECT_EQ(1, manager.DrawAllOpaque(kRENDERDOMAIN_SCENE));
  EXPECT_EQ(2u, EMeshFrag::sm_TriangleStats.m_dwBaseTexture) << "the opaque fragment's two triangles";
  // A list whose first fragment is transparent draws nothing.
  EMeshFragManager transparentFirst;
  EMeshFrag* a = Frag(transparentFirst, ModelFrag(kMATERIALFLAG_ADDITIVE_BLENDING, 1));
  EMeshFrag* b = Frag(transparentFirst, ModelFrag(0, 1));
  a->Preprocess(0);
  b->Preprocess(0);
  EMeshFrag::sm_TriangleStats = EMeshFragTriangleStats();
  EXPECT_EQ(0, transparentFirst.DrawAllOpaque(kRENDERDOMAIN_SCENE));
  EXPECT_EQ(0u, EMeshFrag::sm_TriangleStats.m_dwBaseTexture);
  EMeshFragManager none;
  for (int i = 0; i < 3; ++i) Frag(none, ModelFrag(0, 1));
  none.PreprocessAll(0);
  EXPECT_EQ(3, none.DrawAllOpaque(kRENDERDOMAIN_SCENE));
  m_pApp->m_DebugHooks.m_bLights = true;
}

TEST_F(FragDraw, ReflectorsDrawOnlyInTheReflectionPass) {
  m_pApp->m_DebugHooks.m_bLights = false;
  EMeshFragManager manager;
  EMeshFrag* f = Frag(manager, ModelFrag(0, 1));
  f->m_dwFlags |= kMESHFRAGFLAG_REFLECTOR;
  struct Case {
    int mode;
    unsigned triangles;
  } cases[] = {{kRENDERMODE_MAIN, 0}, {kRENDERMODE_MONITORS, 0}, {kRENDERMODE_REFLECTION, 2}};
  for (const Case& c : cases) {
    EMeshFrag::sm_TriangleStats = EMeshFragTriangleStats();
    m_pApp->m_iRenderMode = c.mode;
    f->Render();
    EXPECT_EQ(c.triangles, EMeshFrag::sm_TriangleStats.m_dwBaseTexture) << "mode " << c.mode;
  }
  m_pApp->m_iRenderMode = 0;
  m_pApp->m_DebugHooks.m_bLights = true;
}

TEST_F(FragDraw, PerEntityDrawsTakeOnlyThisFramesFragments) {
  EMeshFragManager manager;
  EMesh mesh;
  EMesh* pMesh = &mesh;
  EMeshEntity entity(nullptr, "entity");
  entity.SetMesh(THE_EMPTY_MESH, false);
  entity.SetMesh(pMesh, true);
  EMeshFrag* seen = Frag(manager, ModelFrag(0, 1));
  EMeshFrag* unseen = Frag(manager, ModelFrag(0, 1), false);
  EMeshFrag* stale = Frag(manager, ModelFrag(0, 1), false);
  stale->m_iVisibleFrame = m_pApp->m_iFrameCount - 1;
  for (EMeshFrag* f : {seen, unseen, stale}) {
    f->m_pMesh = pMesh;
    pMesh->AddMeshFrag(f);
  }
  manager.DrawMeshEntityCoyote(&entity);
  EXPECT_EQ(&entity, seen->m_pOwnerEntity);
  EXPECT_EQ(nullptr, unseen->m_pOwnerEntity);
  EXPECT_EQ(nullptr, stale->m_pOwnerEntity);
  EXPECT_EQ(0u, EMeshFrag::sm_TriangleStats.m_dwOther) << "coyote draws nothing";
  manager.DrawMeshEntityBasic(&entity);
  EXPECT_EQ(2u, EMeshFrag::sm_TriangleStats.m_dwOther) << "one visible fragment of two triangles";
  // Skip-alpha passes over edge alpha but not an alpha bit cancelled by the
  // material's high bit.
  EModelFrag* edge = ModelFrag(kMATERIALFLAG_EDGE_ALPHA);
  EModelFrag* cancelled = ModelFrag(kMATERIALFLAG_ALPHA | 0x80000000u);
  EMeshFrag* fe = Frag(manager, edge);
  EMeshFrag* fc = Frag(manager, cancelled);
  for (EMeshFrag* f : {fe, fc}) {
    f->m_pMesh = pMesh;
    pMesh->AddMeshFrag(f);
  }
  EMeshFrag::sm_TriangleStats = EMeshFragTriangleStats();
  manager.DrawMeshEntityConstantColor(&entity, EVec4(1, 0, 0, 1), kCONSTANTCOLORMODE_DEPTH_TEST, true);
  EXPECT_EQ(4u, EMeshFrag::sm_TriangleStats.m_dwOther) << "the plain and the cancelled fragment";
}

}  // namespace
