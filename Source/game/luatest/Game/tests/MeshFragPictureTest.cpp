// Mesh fragments drawn through their passes on a real renderer with the
// project's shaders: pictures of quads read back from a 64x64 window.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/GameRenderResources.h"
#include "Game/GameShaderPasses.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/tests/FileTestSupport.h"
#include "Game/tests/ShaderWorld.h"
#include "VERirezo/Light.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshFragFacts.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TextureManager.h"

namespace {

// One renderer and shader library for the suite.
ShaderWorld* s_pFragWorld = nullptr;

class FragPictures : public ::testing::Test {
protected:
  typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
  typedef void (*FinishFn)();

  static void SetUpTestSuite() { s_pFragWorld = ShaderWorld::Start(); }

  static void TearDownTestSuite() { ShaderWorld::Stop(s_pFragWorld); }

  // An application drawing through the suite's renderer and passes, with a
  // camera at the origin looking down -Z over the 64x64 window.
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    ASSERT_TRUE(s_pFragWorld && s_pFragWorld->renderer && s_pFragWorld->shaders);
    r = s_pFragWorld->renderer;
    m_pfnReadPixels = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
    m_pfnFinish = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    ASSERT_TRUE(m_pfnReadPixels && m_pfnFinish);
    const ERenderResources& res = s_pFragWorld->resources;
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pApp->m_pRenderer = r;
    m_pApp->m_pShaderDrawState = &m_State;
    m_pPasses.reset(new EShaderPasses(r, s_pFragWorld->shaders, &m_State, &m_Shading, &res));
    m_pApp->m_pShaderPasses = m_pPasses.get();
    m_pApp->m_hWhiteTexture = res.m_hWhiteTexture;
    m_pApp->m_hBlackTexture = res.m_hBlackTexture;
    m_pApp->m_hGreyTexture = res.m_hGreyTexture;
    m_pApp->m_hNullBumpmapTexture = res.m_hNullBumpmapTexture;
    m_pApp->m_pGameTextureManager = &m_Textures;
    m_pApp->m_DebugHooks.m_bLights = false;
    m_Camera.SetPosition(EVec3(0, 0, 0));
    m_Camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    m_Camera.SetViewportWidth(64);
    m_Camera.SetViewportHeight(64);
    m_Camera.UpdateMatrices();
    m_pApp->SetRenderCamera(&m_Camera);
    m_pApp->GetCameraChannel(0).m_pCamera = &m_Camera;
    SetMeshFragSceneSettings(&m_Scene);
    m_Scene.m_bDistanceFog = m_Scene.m_bHeightFog = false;
  }
  void TearDown() override {
    if (!m_pApp) return;
    r->SetTextureStages(nullptr, 0);
    for (EModelFrag* f : m_ModelFrags) EModelFragManager::ModelFragDelete(f);
    m_ModelFrags.clear();
    SetMeshFragSceneSettings(nullptr);
    m_pApp->releaseLightManagers();
    m_pApp->GetCameraChannel(0).m_pCamera = nullptr;
    m_pApp->SetRenderCamera(nullptr);
    m_pApp->m_pGameTextureManager = nullptr;
    m_pApp->m_pShaderPasses = nullptr;
    m_pApp->m_pShaderDrawState = nullptr;
    m_pApp->m_pRenderer = nullptr;
    m_pPasses.reset();
    gGameApp = nullptr;
    delete m_pApp;
    m_pApp = nullptr;
  }

  // A game texture of one colour (A8R8G8B8), or of two: left and right halves.
  unsigned Texture(uint32_t left, uint32_t right) {
    const int size = 64;
    HTEXTURE tex = r->CreateBitmapTexture(kTEXTUREFORMAT_8888, size, size, 1, 0);
    EXPECT_NE(0u, (unsigned)tex);
    uint32_t* t = static_cast<uint32_t*>(r->LockTexture(tex, 0, nullptr, false, (CUBEMAPFACE)-1, true));
    if (t)
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) t[y * size + x] = x < size / 2 ? left : right;
    r->UnlockTexture(tex, 0, false, (CUBEMAPFACE)-1);
    return m_Textures.AddProceduralTexture(tex, true, nullptr);
  }

  // A quad across the whole view at depth z, texture coordinates 0..1 left
  // to right, as a model fragment of two listed triangles.
  EModelFrag* Quad(float z, uint32_t material, unsigned texture, const EVec4& colour) {
    EModelFrag* m = EModelFragManager::ModelFragNew();
    m_ModelFrags.push_back(m);
    m->m_dwMaterialFlags = material;
    m->m_aTextures[0] = texture;
    m->m_byNumTextures = texture ? 1 : 0;
    m->m_vColor = colour;
    m->m_nVerts = 4;
    m->m_nPolys = 2;
    const float s = -z * 2.0f;
    m->m_Box = EBox3(EVec3(-s, -s, z), EVec3(s, s, z));
    const VERTEX_NOTEX_NORM v[4] = {{EVec3(-s, -s, z), EVec3(0, 0, 1)},
                                    {EVec3(s, -s, z), EVec3(0, 0, 1)},
                                    {EVec3(-s, s, z), EVec3(0, 0, 1)},
                                    {EVec3(s, s, z), EVec3(0, 0, 1)}};
    const float uv[8] = {0, 1, 1, 1, 0, 0, 1, 0};
    const uint16_t idx[6] = {0, 2, 1, 2, 3, 1};  // clockwise seen from the camera: front faces
    m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM] = r->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, 4, 0, "Quad");
    m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD] = r->CreateVertexBuffer(kVBFORMAT_TEXCOORD0, 4, 0, "Quad UV");
    m->m_hIndexBuffer = r->CreateIndexBuffer(6, 0);
    memcpy(r->LockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM], 4, 0, 0), v, sizeof(v));
    r->UnlockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM]);
    memcpy(r->LockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD], 4, 0, 0), uv, sizeof(uv));
    r->UnlockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD]);
    memcpy(r->LockIndexBuffer(m->m_hIndexBuffer, 6, 0, 0), idx, sizeof(idx));
    r->UnlockIndexBuffer(m->m_hIndexBuffer);
    return m;
  }
  EMeshFrag* Frag(EMeshFragManager& manager, EModelFrag* m, EMesh* pMesh) {
    pMesh->SetScale(EVec3(1, 1, 1));
    EMeshFrag* f = manager.MeshFragNew();
    *f = *m;
    f->m_pMesh = pMesh;
    manager.MeshFragMarkVisible(f);
    return f;
  }

  void Begin() {
    r->BeginRender();
    r->ClearRenderTarget(EVec4(0, 0, 0, 0), true, true, true, 1.0f);
  }
  void End() {
    m_pfnFinish();
    r->EndRender();
  }
  EVec3 Rgb(int x, int y) { return ReadRgb(m_pfnReadPixels, x, y); }
  void ExpectRgb(int x, int y, float red, float green, float blue, float tol) {
    ExpectRgbAt(m_pfnReadPixels, x, y, red, green, blue, tol);
  }

  ERenderer* r = nullptr;
  PCGameApp* m_pApp = nullptr;
  EShaderDrawState m_State;
  ESceneShading m_Shading;
  std::unique_ptr<EShaderPasses> m_pPasses;
  EGameTextureManager m_Textures;
  ESceneSettings m_Scene;
  ECamera m_Camera;
  std::vector<EModelFrag*> m_ModelFrags;
  ReadPixelsFn m_pfnReadPixels = nullptr;
  FinishFn m_pfnFinish = nullptr;
};

TEST_F(FragPictures, AnUnlitSkyBoxQuadShowsTexelTimesColour) {
  EMeshFragManager manager;
  EMesh sky;
  sky.SetRenderDomain(kRENDERDOMAIN_SKYBOX);
  Frag(manager, Quad(-100, 0, Texture(0xFF804020u, 0xFF804020u), EVec4(0.5f, 1, 1, 1)), &sky);
  m_pApp->m_DebugHooks.m_bLights = true;  // the sky box is never lit
  manager.PreprocessAll(0);
  Begin();
  manager.DrawAllDefault(kRENDERDOMAIN_SKYBOX);
  End();
  for (int at : {8, 32, 56}) ExpectRgb(at, at, 64, 64, 32, 2);
  EXPECT_EQ(kRENDERDOMAIN_SKYBOX, m_pApp->m_eRenderDomain);
}

TEST_F(FragPictures, AHalfTransparentFragmentBlendsOverAnOpaqueOne) {
  EMeshFragManager manager;
  EMesh mesh;
  Frag(manager, Quad(-200, 0, Texture(0xFFFF0000u, 0xFFFF0000u), EVec4(1, 1, 1, 1)), &mesh);
  Frag(manager, Quad(-100, 0, Texture(0xFF0000FFu, 0xFF0000FFu), EVec4(1, 1, 1, 0.5f)), &mesh);
  manager.PreprocessAll(0);
  Begin();
  const int first = manager.DrawAllOpaque(kRENDERDOMAIN_SCENE);
  EXPECT_EQ(1, first);
  int index = first, emitter = 0, a = -1, b = -1;
  EMeshFrag* pFrag = manager.GetVisibleMeshFrag(kRENDERDOMAIN_SCENE, first);
  EParticleAssembly* pEmitter = nullptr;
  manager.DrawAllTransparent(kRENDERDOMAIN_SCENE, index, pFrag, emitter, pEmitter, a, b);
  End();
  EXPECT_EQ(2, index);
  EXPECT_EQ(nullptr, pFrag);
  for (int at : {8, 32, 56}) ExpectRgb(at, at, 128, 0, 128, 2);
}

TEST_F(FragPictures, BinaryAlphaLeavesTheBackgroundUnderTheThreshold) {
  EMeshFragManager manager;
  EMesh mesh;
  m_Scene.m_byBinaryAlphaThreshold = 150;
  // Left half alpha 0x40 (under), right half alpha 0xC0 (over).
  Frag(manager, Quad(-100, kMATERIALFLAG_BINARY_ALPHA, Texture(0x4000FF00u, 0xC000FF00u), EVec4(1, 1, 1, 1)), &mesh);
  manager.PreprocessAll(0);
  Begin();
  EXPECT_EQ(1, manager.DrawAllOpaque(kRENDERDOMAIN_SCENE)) << "binary alpha stays opaque";
  End();
  for (int y : {8, 32, 56}) {
    ExpectRgb(8, y, 0, 0, 0, 1);
    ExpectRgb(24, y, 0, 0, 0, 1);
    ExpectRgb(40, y, 0, 255, 0, 1);
    ExpectRgb(56, y, 0, 255, 0, 1);
  }
}

TEST_F(FragPictures, ADirectionalLightFacingTheQuadLightsTexelTimesItsColour) {
  m_pApp->m_DebugHooks.m_bLights = true;
  m_pApp->createLightManagers();
  ELight* light = m_pApp->GetLightManager()->AddLight();
  light->m_eType = kLIGHTTYPE_DIRECTIONAL;
  light->m_dwFlags |= kLIGHTFLAG_ENABLED;
  light->m_vColor = EVec3(0.5f, 1, 1);
  light->m_fIntensity = 1;
  light->m_vDirection = EVec3(0, 0, -1);
  m_pApp->GetLightManager()->RegisterLight(light);
  EMeshFragManager manager;
  EMesh mesh;
  EMeshFrag* f = Frag(manager, Quad(-100, 0, Texture(0xFF80C0FFu, 0xFF80C0FFu), EVec4(1, 1, 1, 1)), &mesh);
  manager.PreprocessAll(0);
  Begin();
  manager.DrawAllDefault(kRENDERDOMAIN_SCENE);
  End();
  ASSERT_NE(nullptr, f->m_pStaticLightBlock);
  EXPECT_EQ(1, f->m_pStaticLightBlock->GetLightCount());
  for (int at : {8, 32, 56}) ExpectRgb(at, at, 64, 192, 255, 3);
  m_pApp->GetLightManager()->DeleteLight(light);
}

// A strip of two quads at depth 100: the left one (x -60..0) bound to joint
// 0, the right one (x 0..60) to joint 1; y -10..10. Skinned on the
// processor or in the vertex shader.
EModelFrag* SkinnedStrip(ERenderer* r, std::vector<EModelFrag*>& frags, bool bShader) {
  EModelFrag* m = EModelFragManager::ModelFragNew();
  frags.push_back(m);
  m->m_dwMaterialFlags = kMATERIALFLAG_SKINNED;
  m->m_dwFragFlags = 0x2 | 0x8;
  m->m_vColor = EVec4(1, 1, 1, 1);
  m->m_nVerts = 8;
  m->m_nPolys = 4;
  m->m_eGeomShader = bShader ? kVSGEOM_HWSKIN : kVSGEOM_PROJECT;
  m->m_Box = EBox3(EVec3(-60, -60, -101), EVec3(60, 60, -99));
  const float xs[8] = {-60, 0, -60, 0, 0, 60, 0, 60}, ys[8] = {-10, -10, 10, 10, -10, -10, 10, 10};
  m->m_pAnimInfo = new EModelAnimInfo();
  m->m_pAnimInfo->m_nPaletteSize = 2;
  m->m_pAnimInfo->m_pSkinningVerts = new VERTEX_NOTEX_NORM[8];
  m->m_pAnimInfo->m_pSkinningOrigSkinWeights = new uint8_t[64];
  for (int i = 0; i < 8; ++i) {
    m->m_pAnimInfo->m_pSkinningVerts[i] = VERTEX_NOTEX_NORM{EVec3(xs[i], ys[i], -100), EVec3(0, 0, 1)};
    const uint32_t word = (uint32_t)(i < 4 ? 0 : 1) << 16;
    const float weight = 1.0f;
    memcpy(m->m_pAnimInfo->m_pSkinningOrigSkinWeights + 8 * i, &word, 4);
    memcpy(m->m_pAnimInfo->m_pSkinningOrigSkinWeights + 8 * i + 4, &weight, 4);
  }
  const float uv[16] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  const uint16_t idx[12] = {0, 2, 1, 2, 3, 1, 4, 6, 5, 6, 7, 5};
  m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD] = r->CreateVertexBuffer(kVBFORMAT_TEXCOORD0, 8, 0, "Strip UV");
  memcpy(r->LockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD], 8, 0, 0), uv, sizeof(uv));
  r->UnlockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD]);
  if (bShader) {
    // The shader skins the bind pose from the model's own streams.
    m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM] = r->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, 8, 0, "Strip");
    memcpy(r->LockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM], 8, 0, 0), m->m_pAnimInfo->m_pSkinningVerts,
           8 * sizeof(VERTEX_NOTEX_NORM));
    r->UnlockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM]);
    m->m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN] = r->CreateVertexBuffer(kVBFORMAT_TEXCOORD67, 8, 0, "Strip skin");
    memcpy(r->LockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN], 8, 0, 0),
           m->m_pAnimInfo->m_pSkinningOrigSkinWeights, 64);
    r->UnlockVertexBuffer(m->m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN]);
  }
  m->m_hIndexBuffer = r->CreateIndexBuffer(12, 0);
  memcpy(r->LockIndexBuffer(m->m_hIndexBuffer, 12, 0, 0), idx, sizeof(idx));
  r->UnlockIndexBuffer(m->m_hIndexBuffer);
  return m;
}

TEST_F(FragPictures, ProcessorAndShaderSkinningDrawTheSameTurnedStrip) {
  EJoint still, turned;
  still.m_mSkinning = cg_mIdentity;
  turned.m_mSkinning = MatrixRotateZ(90.0f);  // degrees
  std::vector<std::vector<unsigned char>> pictures;
  for (bool bShader : {false, true}) {
    EMeshFragManager manager;
    EMesh mesh;
    mesh.SetScale(EVec3(1, 1, 1));
    EMeshEntity owner(nullptr, "strip");
    owner.SetMesh(THE_EMPTY_MESH, false);
    owner.SetMesh(&mesh, true);
    owner.SetTransientFlag(ENTITYTRANSIENT_ANIMATING, true);
    EModelFrag* m = SkinnedStrip(r, m_ModelFrags, bShader);
    r->m_bSoftwareSkinning = !bShader;
    EMeshFrag* f = Frag(manager, m, &mesh);
    ASSERT_NE(nullptr, f->m_pAnimInfo);
    ASSERT_EQ(2, f->m_pAnimInfo->m_nJoints);
    f->m_pAnimInfo->m_ppJointTable[0] = &still;
    f->m_pAnimInfo->m_ppJointTable[1] = &turned;
    manager.PreprocessAll(0);
    EXPECT_EQ(bShader ? kVSGEOM_HWSKIN : kVSGEOM_PROJECT, f->GetGeomShader(false));
    if (bShader) {
      // One vertex skinned on the processor from the shader's streams.
      VERTEX_NOTEX_NORM v;
      VERTEX_STREAM_BASIS b;
      ASSERT_TRUE(f->SoftwareBindSingleVert(5, &v, nullptr));
      EXPECT_NEAR(10.0f, v.vPos.x, 1e-3f);
      EXPECT_NEAR(60.0f, v.vPos.y, 1e-3f);
      EXPECT_NEAR(1.0f, v.vNormal.z, 1e-5f);
      EXPECT_TRUE(f->SoftwareBindSingleVert(7, &v, nullptr)) << "the last vertex";
      EXPECT_FALSE(f->SoftwareBindSingleVert(8, &v, nullptr));
      EXPECT_FALSE(f->SoftwareBindSingleVert(0, &v, &b)) << "no basis stream";
    }
    Begin();
    manager.DrawAllDefault(kRENDERDOMAIN_SCENE);
    std::vector<unsigned char> px(64 * 64 * 4);
    m_pfnReadPixels(0, 0, 64, 64, 0x1908, 0x1401, px.data());
    pictures.push_back(px);
    // By hand: the left bar stays, the right one stands up from the middle.
    ExpectRgb(12, 32, 255, 255, 255, 1);
    ExpectRgb(32, 52, 255, 255, 255, 1);
    ExpectRgb(52, 32, 0, 0, 0, 1);
    ExpectRgb(32, 12, 0, 0, 0, 1);
    ExpectRgb(12, 52, 0, 0, 0, 1);
    End();
    r->m_bSoftwareSkinning = false;
    // The fragments' own streams go before the renderer's pools are reused.
    manager.MeshFragDelete(f);
    mesh.SetOwner(nullptr);
  }
  ASSERT_EQ(2u, pictures.size());
  // Away from the edges the two agree pixel for pixel.
  int differing = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool bEdge = (x >= 24 && x <= 26) || (x >= 38 && x <= 40) || (y >= 24 && y <= 27) || (y >= 37 && y <= 40);
      if (bEdge) continue;
      const size_t i = (size_t)(y * 64 + x) * 4;
      if (pictures[0][i] != pictures[1][i] || pictures[0][i + 1] != pictures[1][i + 1]) ++differing;
    }
  EXPECT_EQ(0, differing);
}

}  // namespace
