// Normals packed into colours for the render set-up's textures.
#include <gtest/gtest.h>
#include <unistd.h>

#include "Game/GameRender.h"

namespace {

TEST(NormalVectorToRGBA, PacksEachComponentRoundedHalfAwayFromZero) {
  struct Case {
    EVec3 v;
    uint32_t expected;
  } cases[] = {
      {EVec3(0, 0, 1), 0xFF8080FFu},     // 127.5 rounds up to 128
      {EVec3(-1, -1, -1), 0xFF000000u},  // alpha is always 255
      {EVec3(1, 1, 1), 0xFFFFFFFFu},
      {EVec3(1, 0, -1), 0xFFFF8000u},    // x red, y green, z blue
      {EVec3(-0.5f, 0.5f, 0.25f), 0xFF40BF9Fu},  // 63.75, 191.25, 159.375
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, NormalVectorToRGBA(c.v)) << c.v.x << " " << c.v.y << " " << c.v.z;
}

TEST(NormalVectorToRGBADeathTest, ComponentsOutsideTheUnitRangeAreFatal) {
  EXPECT_DEATH(NormalVectorToRGBA(EVec3(0, 1.01f, 0)), "v.y >= -1.0f && v.y <= 1.0f");
}

}  // namespace

// ---------------------------------------------------------------------------
// The render set-up of the application, on the test display.

#include <SDL/SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/GameShaderPasses.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Rect.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Matrix.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/tests/FileTestSupport.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Light.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshLights.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/ParticleRenderHooks.h"
#include "VERirezo/TextureManager.h"

namespace {

class RenderSetup : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    m_pXdg = new filetest::ScopedEnv("XDG_DATA_HOME", (m_dir / "xdg").c_str());
    m_pFiles = new EFileManager();
    m_pOldFiles = gFile;
    gFile = m_pFiles;
    filetest::MakeDirs(m_pFiles->GetUserDataDir());
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
  }
  void TearDown() override {
    if (!m_pApp) return;
    Stop();
    gGameApp = nullptr;
    delete m_pApp;
    gFile = m_pOldFiles;
    delete m_pFiles;
    delete m_pXdg;
  }
  void WriteSettings(const std::string& text) {
    FILE* f = fopen((std::string(m_pFiles->GetUserDataDir()) + "/DisplaySettings.ini").c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs(text.c_str(), f);
    fclose(f);
  }
  bool Start() {
    const bool started = m_pApp->InitRender(nullptr);
    if (started) SDL_WM_GrabInput(SDL_GRAB_OFF);
    return started;
  }
  void Stop() {
    if (m_pApp->m_pRenderer) {
      m_pApp->ShutdownRender();
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
  }
  void Size(unsigned h, unsigned& w, unsigned& ht) { m_pApp->m_pRenderer->GetTextureDimensions(h, w, ht); }

  filetest::TempDir m_dir;
  filetest::ScopedEnv* m_pXdg = nullptr;
  EFileManager* m_pFiles = nullptr;
  EFileManager* m_pOldFiles = nullptr;
  PCGameApp* m_pApp = nullptr;
};

TEST_F(RenderSetup, DisplaySettingsAndSwitches) {
  struct Case {
    const char* file;  // null: no file
    unsigned width, height;
    bool on;  // the switches the file sets
    unsigned flags;
  } cases[] = {
      {nullptr, 800, 600, true, 3},
      {"[DisplaySettings]\nScreenWidth=640\n", 800, 600, true, 3},
      {"[DisplaySettings]\nScreenHeight=480\n", 800, 600, true, 3},
      {"[DisplaySettings]\nScreenWidth=640\nScreenHeight=480\n", 640, 480, true, 3},
      {"[DisplaySettings]\nFSAA=false\nFSFX=false\nAdvancedShading=false\nVSync=false\nShadows=false\n", 800, 600,
       false, 0},
  };
  for (const Case& c : cases) {
    m_pApp->m_DebugHooks = EDebugHooks();
    if (c.file) WriteSettings(c.file);
    else remove((std::string(m_pFiles->GetUserDataDir()) + "/DisplaySettings.ini").c_str());
    ASSERT_TRUE(Start()) << (c.file ? c.file : "no file");
    EXPECT_EQ(c.width, m_pApp->m_pRenderer->GetDisplayWidth()) << (c.file ? c.file : "no file");
    EXPECT_EQ(c.height, m_pApp->m_pRenderer->GetDisplayHeight());
    const EDebugHooks& h = m_pApp->m_DebugHooks;
    EXPECT_EQ(c.on, h.m_bGlare);
    EXPECT_EQ(c.on, h.m_bDistortion);
    EXPECT_EQ(c.on, h.m_bBumpmaps);
    EXPECT_EQ(c.on, h.m_bSpecularLight);
    EXPECT_EQ(!c.on, h.m_bNoAdvancedShading);
    EXPECT_EQ(c.on, h.m_bShadows);
    EXPECT_EQ(c.flags, m_pApp->m_dwRendererFlags);
    EXPECT_TRUE(h.m_bVisibilityTests && h.m_bScene && h.m_bMonitors && !h.m_bWaterEnabled && !h.m_bDebugLights);
    Stop();
    m_pApp->m_GraphicsSettings.SetSettingValue(EGraphicsSettings::s_szScreenWidth, 800);
    m_pApp->m_GraphicsSettings.SetSettingValue(EGraphicsSettings::s_szScreenHeight, 600);
  }
  m_pApp->m_DebugHooks = EDebugHooks();
  m_pApp->m_DebugHooks.m_bDisplayFlag2 = true;
  m_pApp->m_DebugHooks.m_bFSAA = false;
  EXPECT_EQ(5u, m_pApp->GetIdealRendererFlags());
}

// A settings file saved under the unconverted name (the user folder and the
// file name joined by a backslash, one file beside the folder) is moved into
// the folder and read from there.
TEST_F(RenderSetup, SettingsSavedUnderTheBackslashNameAreMovedAndRead) {
  const std::string dir = m_pFiles->GetUserDataDir();
  const std::string raw = dir + "\\DisplaySettings.ini", converted = dir + "/DisplaySettings.ini";
  remove(converted.c_str());
  FILE* f = fopen(raw.c_str(), "w");
  ASSERT_NE(nullptr, f);
  fputs("[DisplaySettings]\nScreenWidth=640\nScreenHeight=480\n", f);
  fclose(f);
  ASSERT_TRUE(Start());
  EXPECT_EQ(640u, m_pApp->m_pRenderer->GetDisplayWidth());
  EXPECT_EQ(480u, m_pApp->m_pRenderer->GetDisplayHeight());
  EXPECT_NE(0, access(raw.c_str(), F_OK));
  EXPECT_EQ(0, access(converted.c_str(), F_OK));
  Stop();
  m_pApp->m_GraphicsSettings.SetSettingValue(EGraphicsSettings::s_szScreenWidth, 800);
  m_pApp->m_GraphicsSettings.SetSettingValue(EGraphicsSettings::s_szScreenHeight, 600);
}

TEST_F(RenderSetup, ScreenTargetsAndTheirRelease) {
  WriteSettings("[DisplaySettings]\nScreenWidth=800\nScreenHeight=600\n");
  ASSERT_TRUE(Start());
  ERenderer* r = m_pApp->m_pRenderer;
  EXPECT_EQ(m_pApp->m_pMeshFragManager, m_pApp->GetMeshFragManager());
  EXPECT_NE(nullptr, gDebugLine);
  EXPECT_NE(nullptr, gDebugTri);
  m_pApp->CreateScreenTargetTextures();
  struct Case {
    unsigned handle, w, h;
  } cases[] = {
      {m_pApp->m_ahScreenImage[0][0], 800, 600},  {m_pApp->m_ahScreenDepth[0], 800, 600},
      {m_pApp->m_ahScreenImage[1][0], 320, 240},  {m_pApp->m_ahScreenImage[1][1], 320, 240},
      {m_pApp->m_ahScreenDepth[1], 320, 240},     {m_pApp->m_ahScreenImage[2][1], 160, 120},
      {m_pApp->m_ahScreenImage[3][0], 80, 60},    {m_pApp->m_ahScreenDepth[3], 80, 60},
      {m_pApp->m_ahSquareImage[0][0], 512, 512},  {m_pApp->m_ahSquareDepth[0], 512, 512},
      {m_pApp->m_ahSquareImage[1][1], 256, 256},  {m_pApp->m_ahSquareImage[2][0], 128, 128},
      {m_pApp->m_ahSquareDepth[3], 64, 64},       {m_pApp->m_hGlareTexture, 320, 240},
      {m_pApp->m_hMotionBlurTexture, 160, 120},   {m_pApp->m_hQueryImage, 32, 32},
      {m_pApp->m_hQueryDepth, 32, 32},
  };
  for (const Case& c : cases) {
    ASSERT_NE(0u, c.handle) << c.w;
    unsigned w = 0, h = 0;
    Size(c.handle, w, h);
    EXPECT_EQ(c.w, w);
    EXPECT_EQ(c.h, h);
  }
  EXPECT_EQ(0u, m_pApp->m_ahScreenImage[0][1]);
  EXPECT_EQ(0u, m_pApp->m_ahSquareImage[0][1]);
  EXPECT_EQ(kTEXTURETYPE_DEPTHBUFFER, r->GetTextureType(m_pApp->m_ahScreenDepth[2]));
  EXPECT_EQ(m_pApp->GetScreenImageTexture(), m_pApp->m_pGameTextureManager->GetTextureHandle(m_pApp->m_idScreenImageTexture));
  EXPECT_STREQ("Screen Image Texture", m_pApp->m_pGameTextureManager->GetTexture(m_pApp->m_idScreenImageTexture)->m_szName);

  // Everything made after the renderer started is given back before it stops.
  m_pApp->releaseRenderResources();
  EXPECT_EQ(0, r->StatsGetUsedTextures());
  EXPECT_EQ(0, r->StatsGetUsedVBs());
  EXPECT_EQ(0, r->StatsGetUsedPalettes());
  EXPECT_EQ(nullptr, gDebugLine);
  EXPECT_EQ(0u, m_pApp->m_hUnitWorldBoxVB);
}

// The drawing passes and the particle manager live exactly as long as the
// render set-up, and particle drawing reaches the application meanwhile.
TEST_F(RenderSetup, ShaderPassesAndParticleManagerFollowTheRenderSetUp) {
  struct Case {
    const char* file;
    bool cheapWater;
  } cases[] = {
      {"[DisplaySettings]\nAdvancedShading=true\n", false},
      {"[DisplaySettings]\nAdvancedShading=false\n", true},
  };
  for (const Case& c : cases) {
    m_pApp->m_DebugHooks = EDebugHooks();
    WriteSettings(c.file);
    m_pApp->SetSimElapsedTime(905.0);
    ASSERT_TRUE(Start()) << c.file;
    EShaderPasses* passes = m_pApp->GetShaderPasses();
    EParticleManager* particles = m_pApp->GetParticleManager();
    ASSERT_NE(nullptr, passes) << c.file;
    ASSERT_NE(nullptr, particles);
    ASSERT_NE(nullptr, m_pApp->GetGameShaders());
    EXPECT_EQ(c.cheapWater, passes->m_bCheapWater) << c.file;
    EXPECT_EQ(905.0, passes->m_dSimElapsedTime);
    // Emitters queued from now on reach this manager.
    EXPECT_EQ(particles, EParticleManager::GetActive());
    EXPECT_NE(nullptr, particles->GetEmitterArray());

    // The hooks read the application's transforms, screen targets and camera.
    m_pApp->CreateScreenTargetTextures();
    EXPECT_NE(0u, g_ParticleRenderHooks.pfnGetScreenImageTexture());
    EXPECT_EQ(m_pApp->GetScreenImageTexture(), g_ParticleRenderHooks.pfnGetScreenImageTexture());
    EXPECT_EQ(m_pApp->GetScreenDepthTexture(), g_ParticleRenderHooks.pfnGetScreenDepthTexture());
    EMat4 m;
    m.SetTranslation(EVec3(1, 2, 3));
    g_ParticleRenderHooks.pfnSetModelToWorld(m);
    EXPECT_EQ(2.0f, m_pApp->GetModelToWorld().GetTranslation().y);
    g_ParticleRenderHooks.pfnSetWorldToModel(m);
    EXPECT_EQ(3.0f, m_pApp->GetWorldToModel().GetTranslation().z);
    ECamera camera;
    camera.SetPosition(EVec3(0, 0, 0));
    camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    camera.SetViewportWidth(800);
    camera.SetViewportHeight(600);
    camera.UpdateMatrices();
    const EBox3 box(EVec3(-1, -1, -101), EVec3(1, 1, -99));
    ERect rect;
    g_ParticleRenderHooks.pfnCalculateScreenRect(&camera, box, rect);
    const ERect expected = camera.CalculateScreenRect(box);
    EXPECT_EQ(expected.left, rect.left);
    EXPECT_EQ(expected.right, rect.right);
    EXPECT_EQ(expected.top, rect.top);
    EXPECT_EQ(expected.bottom, rect.bottom);
    EXPECT_LT(rect.right - rect.left, 800);  // not the whole screen of the plain hook

    Stop();
    EXPECT_EQ(nullptr, m_pApp->GetShaderPasses());
    EXPECT_EQ(nullptr, m_pApp->GetParticleManager());
    EXPECT_EQ(nullptr, m_pApp->GetGameShaders());
    EXPECT_EQ(nullptr, EParticleManager::GetActive());
    EXPECT_EQ(0u, g_ParticleRenderHooks.pfnGetScreenImageTexture());
  }
}

// The frame empties the application's particle manager, then orders what
// the frame queued; the render frame starts the particle render state.
TEST_F(RenderSetup, TheFrameResetsAndOrdersTheQueuedEmitters) {
  ASSERT_TRUE(Start());
  EParticleManager* particles = m_pApp->GetParticleManager();
  ASSERT_NE(nullptr, particles);
  EDomain root(nullptr, nullptr);
  EDomain* level = root.CreateChildDomain("Level", &ECollisionManager::sm_CM);
  EParticleEmitterEntity* e = EParticleEmitterEntity::Create(level, "emitter");
  e->InitPosition(EVec3(0, 0, 100));
  e->SetMaxParticles(4);
  e->SetActive(true);
  e->SetParticleSpeed(0, 0);
  e->SetInitialParticles(2);
  e->Update(0.01f);
  ASSERT_EQ(2, e->GetNumActiveParticles());

  EParticleManager::AddEmitter(e);
  m_pApp->PreprocessRenderManagers();
  EXPECT_EQ(1, particles->GetNumActiveEmitters());
  EXPECT_EQ(2, particles->GetFrameParticleCount());
  // A frame without the scene leaves the queue unordered.
  m_pApp->ResetFrame();
  EXPECT_EQ(0, particles->GetFrameParticleCount());
  EParticleManager::AddEmitter(e);
  m_pApp->m_DebugHooks.m_bScene = false;
  m_pApp->PreprocessRenderManagers();
  EXPECT_EQ(0, particles->GetNumActiveEmitters());
  m_pApp->m_DebugHooks.m_bScene = true;
  m_pApp->ResetFrame();
  m_pApp->PreprocessRenderManagers();
  EXPECT_EQ(0, particles->GetNumActiveEmitters());

  e->InternalDelayedDelete();
  delete e;
}

TEST(RenderSetupDeathTest, ASecondInitRenderIsFatal) {
  EXPECT_DEATH(
      {
        PCGameApp app;
        app.m_pRenderer = reinterpret_cast<ERenderer*>(16);
        app.InitRender(nullptr);
      },
      "m_pRenderer == NULL");
}

// Pictures of a 64 x 48 display read back from the frame buffer.
class RenderPictures : public RenderSetup {
protected:
  void SetUp() override {
    RenderSetup::SetUp();
    if (!m_pApp) return;
    WriteSettings("[DisplaySettings]\nScreenWidth=64\nScreenHeight=48\n");
    ASSERT_TRUE(Start());
    m_pRenderer = m_pApp->m_pRenderer;
    m_pApp->CreateScreenTargetTextures();
    m_pRenderer->BeginRender();
    m_Camera.SetPosition(EVec3(0, 0, 0));
    m_Camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    m_Camera.SetViewportWidth(64);
    m_Camera.SetViewportHeight(48);
    m_Camera.UpdateMatrices();
    m_pApp->SetRenderCamera(&m_Camera);
    m_pApp->m_aCameraChannels[0].m_pCamera = &m_Camera;
  }
  void TearDown() override {
    if (m_pApp) {
      m_pApp->SetRenderCamera(nullptr);
      m_pApp->m_aCameraChannels[0].m_pCamera = nullptr;
      if (m_pRenderer) m_pRenderer->EndRender();
    }
    RenderSetup::TearDown();
  }
  std::vector<uint32_t> ReadBack() {
    typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
    typedef void (*FinishFn)();
    ReadPixelsFn readPixels = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
    FinishFn finish = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    std::vector<uint32_t> pixels(64 * 48);
    finish();
    readPixels(0, 0, 64, 48, 0x1908 /* RGBA */, 0x1401 /* unsigned byte */, pixels.data());
    return pixels;
  }
  // Red as RGBA bytes in memory order.
  static bool IsRed(uint32_t p) { return (p & 0xFFFFFF) == 0x0000FF; }
  int CountRed(const std::vector<uint32_t>& pixels) {
    int n = 0;
    for (uint32_t p : pixels) n += IsRed(p);
    return n;
  }
  // An opaque blue quad 40 units wide, 50 units ahead, written to depth.
  void OpaqueQuad() {
    ERenderState state;
    state.m_eBlendMode = kBLENDMODE_DECAL;
    state.m_eCullMode = kCULL_NONE;
    state.m_bAlphaTestEnable = false;
    m_pRenderer->SetRenderState(&state);
    m_pApp->SetModelToWorld(MatrixTranslate(0, 0, -50) * MatrixScale(20, 20, 20));
    m_pApp->SetShaderConstantColor(EVec4(0, 0, 1, 1));
    m_pApp->RenderUnitWorldQuad();
  }
  ERenderer* m_pRenderer = nullptr;
  ECamera m_Camera;
};

TEST_F(RenderPictures, ColorClearFillsEveryPixelAndKeepsDepth) {
  m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 1), true, true, true, 1.0f);
  OpaqueQuad();
  m_pApp->RenderColorClear(EVec4(1, 0, 0, 1));
  EXPECT_EQ(64 * 48, CountRed(ReadBack()));
  // The quad's depth is still there: a test quad behind it is hidden.
  m_pApp->RenderVisibilityTestQuad(EVec3(0, 0, -100), 5, 7, true);
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(7));
}

TEST_F(RenderPictures, OcclusionQuadsCountWhatTheDepthLetsThrough) {
  m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 1), true, true, true, 1.0f);
  m_pApp->RenderVisibilityTestQuad(EVec3(0, 0, -100), 10, 1, true);
  const unsigned open = m_pRenderer->GetVisibilityTestResult(1);
  EXPECT_GT(open, 0u);
  EXPECT_LT(open, 64u * 48u);
  EXPECT_EQ(0, CountRed(ReadBack()));
  OpaqueQuad();
  m_pApp->RenderVisibilityTestQuad(EVec3(0, 0, -100), 10, 2, true);
  m_pApp->RenderVisibilityTestQuad(EVec3(0, 0, -100), 10, 3, false);
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(2));
  EXPECT_EQ(open, m_pRenderer->GetVisibilityTestResult(3));
  // The box as well.
  m_pApp->RenderVisibilityTestBox(MatrixTranslate(0, 0, -100) * MatrixScale(5, 5, 5), 4, true);
  m_pApp->RenderVisibilityTestBox(MatrixTranslate(0, 0, -100) * MatrixScale(5, 5, 5), 5, false);
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(4));
  EXPECT_GT(m_pRenderer->GetVisibilityTestResult(5), 0u);
  // Switched off: nothing drawn, nothing counted.
  m_pApp->m_DebugHooks.m_bVisibilityTests = false;
  m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 1), true, true, true, 1.0f);
  EXPECT_EQ(0, m_pApp->RenderVisibilityTestQuad(EVec3(0, 0, -100), 10, 6, false));
  EXPECT_EQ(0, m_pApp->RenderVisibilityTestBox(MatrixTranslate(0, 0, -100), 6, false));
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(6));
}

TEST_F(RenderPictures, DebugLinesBehindGeometryShowOnlyOverEverything) {
  const EVec4 red(1, 0, 0, 1);
  for (uint32_t flags : {0u, (uint32_t)kDEBUGLINE_NO_DEPTH}) {
    m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 1), true, true, true, 1.0f);
    OpaqueQuad();
    gDebugLine->ResetFrame();
    gDebugLine->AddLine(EVec3(-5, 0, -100), EVec3(5, 0, -100), &red, flags);
    gDebugLine->DrawAll();
    const int reds = CountRed(ReadBack());
    if (flags) EXPECT_GT(reds, 0) << "drawn over the quad";
    else EXPECT_EQ(0, reds) << "hidden by the quad";
  }
}

}  // namespace

// While the application's light managers live, mesh records reach their pool
// through the mesh reader's hooks; afterwards the hooks are empty again.
TEST(LightHooks, MeshRecordsReachTheApplicationsLightPool) {
  PCGameApp app;
  gGameApp = &app;
  app.createLightManagers();
  const EMeshLightHooks& hooks = GetMeshLightHooks();
  ASSERT_NE(nullptr, hooks.pfnAddLight);
  ASSERT_NE(nullptr, hooks.pfnRead);
  ELight* light = hooks.pfnAddLight();
  ASSERT_NE(nullptr, light);
  light->m_eType = kLIGHTTYPE_POINT;
  hooks.pfnRegisterLight(light);
  EXPECT_EQ(light->GetFlags(), hooks.pfnGetFlags(*light));
  hooks.pfnDeleteLight(light);
  app.releaseLightManagers();
  EXPECT_EQ(nullptr, GetMeshLightHooks().pfnAddLight);
  EXPECT_EQ(nullptr, GetMeshLightHooks().pfnRead);
  gGameApp = nullptr;
}
