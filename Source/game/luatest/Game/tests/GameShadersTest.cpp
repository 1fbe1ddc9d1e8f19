// The shader library on a real renderer: source lookup, the named tables,
// refresh, and the build of the linked table from module files.
#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <mojoshader.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Game/GameShaders.h"
#include "Game/PCGameApp.h"
#include "Game/ShaderConstants.h"
#include "VERirezo/Light.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/tests/FileTestSupport.h"

namespace {

std::vector<std::string> s_shaderTraces;
void CollectShaderTrace(const char* text) { s_shaderTraces.push_back(text); }
int CountShaderTraces(const std::string& needle) {
  int n = 0;
  for (const std::string& t : s_shaderTraces) n += t.find(needle) != std::string::npos;
  return n;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  filetest::MakeDirs(path.substr(0, path.rfind('/')));
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string SlashPath(const char* name) {
  std::string s(name);
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

// Byte code of a pixel shader that passes the vertex colour on.
std::string ColourPixelByteCode() {
  const char* text = "ps_2_0\ndcl v0\nmov oC0, v0\n";
  const MOJOSHADER_parseData* pd =
      MOJOSHADER_assemble("colour", text, (unsigned)strlen(text), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr,
                          nullptr, nullptr);
  std::string out;
  if (pd && pd->error_count == 0) out.assign(pd->output, pd->output_len);
  if (pd) MOJOSHADER_freeParseData(pd);
  return out;
}

unsigned s_fakeTicks = 0;
unsigned s_tickStep = 0;
unsigned FakeTicks() { return s_fakeTicks += s_tickStep; }
int s_progressText = 0, s_progressClear = 0;
void CountProgress(EGameShaders*, bool text) { ++(text ? s_progressText : s_progressClear); }

class GameShaders : public ::testing::Test {
protected:
  GameShaders() : m_env("XDG_DATA_HOME", (m_dir / "xdg").c_str()), m_cwd(m_dir.path()) {}

  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    filetest::MakeDirs(m_dir / "Workresource/VertexShaders/cache");
    m_pManager = new EFileManager;
    m_pManager->AddReadPath("Workresource", false);
    m_pManager->SetWritePath("Workresource");
    gFile = m_pManager;
    s_shaderTraces.clear();
    g_ErrorManager.SetConsoleCallback(CollectShaderTrace);
    GForceMojoShaderProfile = "glsl120";
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    GForceMojoShaderProfile = nullptr;
    const bool started = m_pRenderer != nullptr;
    if (!started)
      for (const std::string& t : s_shaderTraces) fprintf(stderr, "trace: %s\n", t.c_str());
    ASSERT_TRUE(started) << SDL_GetError();
    m_pShaders = new EGameShaders(m_pRenderer);
    m_pShaders->m_pfnTicks = FakeTicks;
    m_pShaders->m_pfnProgressFrame = CountProgress;
    s_tickStep = 0;
    s_progressText = s_progressClear = 0;
    m_bSavedProgress = EGameShaders::s_bProgressShown;
    EGameShaders::s_bProgressShown = false;
  }

  void TearDown() override {
    if (m_pShaders) {
      m_pShaders->ShutdownVertexShaders();
      m_pShaders->ShutdownPixelShaders();
      for (EGamePixelShader wipe : {kGPS_ScreenWipeSub, kGPS_ScreenWipeAdd})
        if (m_pShaders->GetPixelShader(wipe)) m_pRenderer->DeletePixelShader(m_pShaders->GetPixelShader(wipe));
      delete m_pShaders;
      EGameShaders::s_bProgressShown = m_bSavedProgress;
    }
    if (m_pRenderer) {
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    g_ErrorManager.SetConsoleCallback(nullptr);
    gFile = &gFile_twutil;
    delete m_pManager;
  }

  std::string VS(const char* name) { return m_dir / ("Workresource/VertexShaders/" + SlashPath(name)); }

  // Named vertex shaders and modules that assemble; fog and texture
  // modules add nothing.
  void WriteVertexShaders(const char* skipModule = nullptr) {
    for (int i = 0; i < kNUM_GAME_VERTEX_SHADERS; ++i)
      WriteFile(VS(EGameShaders::VertexShaderFile((EGameVertexShader)i)), "mov oPos, v0\nmov oD0, c1\n");
    for (int g = 0; g < kNUM_VSGEOM; ++g) WriteFile(VS(GeomModuleFile(g)), "m4x4 oPos, v0, c6\n");
    for (int d = 0; d < kNUM_VSDIFFUSE; ++d) WriteFile(VS(DiffuseModuleFile(d)), "mov oD0, c2\n");
    for (int f = 0; f < kNUM_VSFOG; ++f) WriteFile(VS(FogModuleFile(f)), "");
    for (int t = 0; t < kNUM_VSTEXTURE; ++t) WriteFile(VS(TextureModuleFile(t)), "");
    if (skipModule) remove(VS(skipModule).c_str());
  }

  void WritePixelShaders(const char* skip = nullptr) {
    const std::string code = ColourPixelByteCode();
    ASSERT_FALSE(code.empty());
    for (int i = 0; i < kNUM_GAME_PIXEL_SHADER_FILES; ++i) {
      const char* name = EGameShaders::PixelShaderFile((EGamePixelShader)i);
      if (!skip || strcmp(skip, name)) WriteFile(m_dir / ("Workresource/PixelShaders/fpo/" + std::string(name)), code);
    }
  }

  int LinkedCount(int g = -1) {
    int n = 0;
    for (int i = 0; i < kNUM_LINKED_SHADERS; ++i)
      if (m_pShaders->GetLinkedTable()[i] && (g < 0 || i / 1326 == g)) ++n;
    return n;
  }

  filetest::TempDir m_dir;
  filetest::ScopedEnv m_env;
  filetest::ScopedChdir m_cwd;
  EFileManager* m_pManager = nullptr;
  ERenderer* m_pRenderer = nullptr;
  EGameShaders* m_pShaders = nullptr;
  bool m_bSavedProgress = false;
};

TEST(GameShaderText, VersionLineOnlyForPreprocessedNames) {
  std::vector<char> out;
  EXPECT_EQ(3u + 7u, EGameShaders::PreparePixelShaderText("Foo.psh", "abc", 3, out));
  EXPECT_EQ(0, memcmp(out.data(), "ps.1.1\nabc", 10));
  EXPECT_EQ(3u, EGameShaders::PreparePixelShaderText("Foo.fpo", "abc", 3, out));
  EXPECT_EQ(0, memcmp(out.data(), "abc\0", 4));
  EXPECT_EQ(3u, EGameShaders::PreparePixelShaderText("x.hlps", "abc", 3, out));
  // Longer than the old fixed working buffer: the buffer follows the text.
  std::string big(20000, 'x');
  EXPECT_EQ(20007u, EGameShaders::PreparePixelShaderText("Big.psh", big.data(), (unsigned)big.size(), out));
  EXPECT_GE(out.size(), 20007u);
}

TEST_F(GameShaders, SourceFolderFollowsTheName) {
  WriteFile(m_dir / "Workresource/PixelShaders/fpo/A.hlps.fpo", "fpo");
  WriteFile(m_dir / "Workresource/PixelShaders/hlps/B.hlps", "hlps!");
  WriteFile(m_dir / "Workresource/PixelShaders/Preprocessed_win32/Foo.psh", "pre");
  WriteFile(VS("V.vsh"), "vertex");
  struct Case {
    const char* name;
    bool pixel;
    const char* text;
  } cases[] = {{"A.hlps.fpo", true, "fpo"}, {"B.hlps", true, "hlps!"}, {"Foo.psh", true, "pre"}, {"V.vsh", false, "vertex"}};
  for (const Case& c : cases) {
    unsigned length = 99;
    long long time = 0;
    char* text = m_pShaders->LoadShaderSource(c.name, length, time, c.pixel);
    ASSERT_NE(nullptr, text) << c.name;
    EXPECT_EQ(std::string(c.text), std::string(text, length));
    EXPECT_NE(0, time);
    free(text);
  }
}

TEST_F(GameShaders, MissingPixelShaderIsTracedAndOnlyItsHandleIsZero) {
  WritePixelShaders("Water.fpo");
  ASSERT_TRUE(m_pShaders->InitPixelShaders());
  EXPECT_EQ(1, CountShaderTraces("Couldn't load shader source: Workresource\\PixelShaders\\fpo\\Water.fpo"));
  for (int i = 0; i < kNUM_GAME_PIXEL_SHADER_FILES; ++i)
    EXPECT_EQ(i != kGPS_Water, m_pShaders->GetPixelShader((EGamePixelShader)i) != 0) << i;
  EXPECT_EQ(0u, m_pShaders->GetPixelShader(kGPS_FilterMatrix));
}

TEST_F(GameShaders, WithoutPixelShaderSupportEveryHandleStaysZero) {
  WritePixelShaders();
  m_pRenderer->m_DeviceSupport.m_bPixelShaderSupport = false;
  EXPECT_TRUE(m_pShaders->InitPixelShaders());
  m_pRenderer->m_DeviceSupport.m_bPixelShaderSupport = true;
  EXPECT_EQ(1, CountShaderTraces("Pixel shaders not supported by this device!"));
  for (int i = 0; i < kNUM_GAME_PIXEL_SHADERS; ++i) EXPECT_EQ(0u, m_pShaders->GetPixelShader((EGamePixelShader)i));
}

TEST_F(GameShaders, PixelShutdownAndRefreshKeepTheScreenWipes) {
  WritePixelShaders();
  m_pShaders->InitPixelShaders();
  const unsigned sub = m_pShaders->GetPixelShader(kGPS_ScreenWipeSub);
  const unsigned add = m_pShaders->GetPixelShader(kGPS_ScreenWipeAdd);
  ASSERT_NE(0u, sub);
  ASSERT_NE(0u, add);
  m_pShaders->ShutdownPixelShaders();
  EXPECT_EQ(sub, m_pShaders->GetPixelShader(kGPS_ScreenWipeSub));
  EXPECT_EQ(add, m_pShaders->GetPixelShader(kGPS_ScreenWipeAdd));
  EXPECT_EQ(0u, m_pShaders->GetPixelShader(kGPS_Color1Tex));
  // A refresh does not load the wipes a second time.
  s_shaderTraces.clear();
  m_pShaders->RequestPixelShaderRefresh();
  m_pShaders->ServiceRefresh();
  EXPECT_NE(0u, m_pShaders->GetPixelShader(kGPS_Color1Tex));
  EXPECT_EQ(sub, m_pShaders->GetPixelShader(kGPS_ScreenWipeSub));
  EXPECT_EQ(add, m_pShaders->GetPixelShader(kGPS_ScreenWipeAdd));
}

TEST_F(GameShaders, LinkedTableFromModules) {
  WriteVertexShaders();
  WriteFile(VS(DiffuseModuleFile(11)), "this is not a shader\n");
  ASSERT_TRUE(m_pShaders->InitVertexShaders());
  const int expected[kNUM_VSGEOM] = {140, 57, 115, 17, 107, 9};
  for (int g = 0; g < kNUM_VSGEOM; ++g) EXPECT_EQ(expected[g], LinkedCount(g)) << g;
  EXPECT_NE(0u, m_pShaders->GetLinkedShader(5, 0, 0, 8));
  EXPECT_NE(0u, m_pShaders->GetLinkedShader(1, 0, 0, 32));
  EXPECT_EQ(0u, m_pShaders->GetLinkedShader(5, 2, 0, 1));
  EXPECT_EQ(0u, m_pShaders->GetLinkedShader(0, 0, 0, 32));
  EXPECT_EQ(0u, m_pShaders->GetLinkedShader(2, 0, 0, 30));
  for (int i = 0; i < kNUM_GAME_VERTEX_SHADERS; ++i) EXPECT_NE(0u, m_pShaders->GetVertexShader((EGameVertexShader)i));
  // The broken module names its combinations in the renderer's report.
  EXPECT_EQ(1, CountShaderTraces("'Linked shader 2.11.1.11'"));
  EXPECT_EQ(0, CountShaderTraces("Couldn't load shader source"));
}

TEST_F(GameShaders, MissingFogModuleEmptiesOnlyItsEntries) {
  WriteVertexShaders();
  m_pShaders->InitVertexShaders();
  std::vector<bool> full(kNUM_LINKED_SHADERS);
  for (int i = 0; i < kNUM_LINKED_SHADERS; ++i) full[i] = m_pShaders->GetLinkedTable()[i] != 0;
  m_pShaders->ShutdownVertexShaders();
  WriteVertexShaders("Modules\\Fog\\FogLayered.vsh");
  m_pShaders->InitVertexShaders();
  EXPECT_EQ(1, CountShaderTraces("Couldn't load shader source: Workresource\\VertexShaders\\Modules\\Fog\\FogLayered.vsh"));
  for (int i = 0; i < kNUM_LINKED_SHADERS; ++i) {
    const bool fogLayered = (i % 78) >= 39;
    EXPECT_EQ(fogLayered ? false : (bool)full[i], m_pShaders->GetLinkedTable()[i] != 0) << i;
  }
}

TEST_F(GameShaders, ProgressFrameOnlyForLongBuildsAndOncePerRun) {
  WriteVertexShaders();
  s_tickStep = 6;  // 445 assemblies take about 2.7 s
  m_pShaders->InitVertexShaders();
  EXPECT_EQ(0, s_progressText + s_progressClear);
  m_pShaders->ShutdownVertexShaders();
  s_tickStep = 40;  // about 18 s
  m_pShaders->InitVertexShaders();
  EXPECT_EQ(1, s_progressText);
  EXPECT_EQ(1, s_progressClear);
  // A refresh later in the run does not show the text again.
  m_pShaders->RequestVertexShaderRefresh();
  m_pShaders->ServiceRefresh();
  EXPECT_EQ(1, s_progressText);
}

TEST_F(GameShaders, VertexRefreshRenewsVertexShadersOnly) {
  WriteVertexShaders();
  WritePixelShaders();
  m_pShaders->InitVertexShaders();
  m_pShaders->InitPixelShaders();
  const unsigned pixel = m_pShaders->GetPixelShader(kGPS_Color1Tex);
  const unsigned oldLinked = m_pShaders->GetLinkedShader(0, 0, 0, 1);
  // A changed module reaches the linked shaders after the refresh.
  WriteFile(VS(TextureModuleFile(1)), "mov oT0, v1\n");
  s_shaderTraces.clear();
  m_pShaders->RequestVertexShaderRefresh();
  EXPECT_EQ(oldLinked, m_pShaders->GetLinkedShader(0, 0, 0, 1));  // nothing until the frame
  m_pShaders->ServiceRefresh();
  EXPECT_NE(0u, m_pShaders->GetLinkedShader(0, 0, 0, 1));
  EXPECT_GT(CountShaderTraces("Building VS cache"), 0);
  EXPECT_EQ(pixel, m_pShaders->GetPixelShader(kGPS_Color1Tex));
  EXPECT_EQ(0, CountShaderTraces("Building PS cache"));
}

// Sources and joined modules longer than 16 KB reach the assembler whole:
// the instructions after the padding still count.
TEST_F(GameShaders, LongSourcesAndJoinedModulesAssembleWhole) {
  WriteVertexShaders();
  std::string padding;
  while (padding.size() < 20000) padding += "// padding line of a long shader source, all comment\n";
  WriteFile(VS(EGameShaders::VertexShaderFile(kGVS_XRay)), padding + "mov oPos, v0\nmov oD0, c1\n");
  WriteFile(VS(GeomModuleFile(0)), padding.substr(0, 9000) + "m4x4 oPos, v0, c6\n");
  WriteFile(VS(TextureModuleFile(1)), padding.substr(0, 9000) + "mov oT0, v1\n");
  ASSERT_TRUE(m_pShaders->InitVertexShaders());
  EXPECT_NE(0u, m_pShaders->GetVertexShader(kGVS_XRay));
  EXPECT_NE(0u, m_pShaders->GetLinkedShader(0, 0, 0, 1));  // 18 KB joined
  EXPECT_EQ(140, LinkedCount(0));
  EXPECT_EQ(0, CountShaderTraces("error shader"));
  WriteFile(m_dir / "Workresource/PixelShaders/Preprocessed_win32/Long.psh", padding + "mov r0, v0\n");
  const unsigned pixel = m_pShaders->LoadPixelShader("Long.psh");
  EXPECT_NE(0u, pixel);
  m_pRenderer->DeletePixelShader(pixel);
  EXPECT_EQ(0, CountShaderTraces("error shader"));
}

// The shared setters, read back from the renderer's constant cache.
class ShaderConstantsTest : public GameShaders {
protected:
  void SetUp() override {
    GameShaders::SetUp();
    if (IsSkipped() || !m_pRenderer) return;
    m_pConstants = new EShaderConstants(m_pRenderer, &m_State, &m_Scene);
  }
  void TearDown() override {
    delete m_pConstants;
    GameShaders::TearDown();
  }
  const EVec4& C(int r) const { return m_pRenderer->m_avVertexConstants[r]; }
  void Put(int r, float x, float y, float z, float w) {
    const EVec4 v(x, y, z, w);
    m_pRenderer->SetVertexShaderConstant(r, &v, 1);
  }
  void ExpectC(int r, float x, float y, float z, float w, float tol = 1e-5f) {
    EXPECT_NEAR(x, C(r).x, tol) << "c" << r;
    EXPECT_NEAR(y, C(r).y, tol) << "c" << r;
    EXPECT_NEAR(z, C(r).z, tol) << "c" << r;
    EXPECT_NEAR(w, C(r).w, tol) << "c" << r;
  }

  EShaderDrawState m_State;
  ESceneShading m_Scene;
  EShaderConstants* m_pConstants = nullptr;
};

TEST_F(ShaderConstantsTest, FogCoefficients) {
  m_pRenderer->m_DeviceSupport.m_bFog = true;
  Put(kVSC_FOG, 7, 7, 7, 7);
  Put(kVSC_EYE, 7, 7, 7, 7);
  Put(kVSC_WORLD_HEIGHT, 7, 7, 7, 7);
  m_pConstants->SetFogVertexConstants();  // both layers off
  ExpectC(kVSC_FOG, 7, 7, 7, 7);
  ExpectC(kVSC_EYE, 7, 7, 7, 7);
  ExpectC(kVSC_WORLD_HEIGHT, 7, 7, 7, 7);
  EXPECT_EQ(0, m_Scene.GetFogShaderFragment());

  m_Scene.m_aFogLayers[0] = {true, 2000, 20000};
  m_State.m_mModelToWorld = MatrixTranslate(0, 5, 0);
  m_State.m_mWorldToModel = MatrixTranslate(0, -5, 0);
  m_State.m_vCameraPosition = EVec3(1, 2, 3);
  m_pConstants->SetFogVertexConstants();
  EXPECT_EQ(1, m_Scene.GetFogShaderFragment());
  ExpectC(kVSC_FOG, -1.0f / 18000, 20000.0f / 18000, 0, 1, 1e-7f);
  ExpectC(kVSC_EYE, 1, -3, 3, 1);
  ExpectC(kVSC_WORLD_HEIGHT, 0, 1, 0, 5);  // world height of (p, 1) is p.y + 5
  // Layer 2 alone, with equal distances: the divide is guarded.
  m_Scene.m_aFogLayers[0].m_bOn = false;
  m_Scene.m_aFogLayers[1] = {true, 10, 10};
  m_pConstants->SetFogVertexConstants();
  EXPECT_EQ(0, C(kVSC_FOG).x);
  EXPECT_EQ(1, C(kVSC_FOG).y);
  EXPECT_FLOAT_EQ(-1e9f, C(kVSC_FOG).z);
}

TEST_F(ShaderConstantsTest, ProjectionDepthPerRenderDomain) {
  m_State.m_mCameraView = MatrixTranslate(0, 0, 3);
  m_State.m_mCameraProjection = MatrixPerspectiveProjection(60, 1, 1, 100);
  m_State.m_fTexcoordCompressScale = 0.5f;
  const EVec3 p(0.25f, -0.5f, -7);
  auto clipDepth = [&](int domain) {
    m_State.m_iRenderDomain = domain;
    m_pConstants->SetProjectionVertexConstants();
    auto dot = [&](const EVec4& c) { return p.x * c.x + p.y * c.y + p.z * c.z + c.w; };
    return dot(C(8)) / dot(C(9));
  };
  const EVec4 viewClip = m_State.m_mCameraProjection.MulVec4(EVec4(p.x, p.y, p.z + 3, 1));
  const EVec4 skyClip = m_State.m_mCameraProjection.MulVec4(EVec4(p.x, p.y, p.z, 1));  // no translation
  EXPECT_NEAR(0.99f * viewClip.z / viewClip.w, clipDepth(0), 1e-3f);
  EXPECT_NEAR(0.99f + 0.01f * skyClip.z / skyClip.w, clipDepth(1), 1e-3f);
  ExpectC(kVSC_TEXCOORD_SCALE, 0.5f, 0.5f, 0.5f, 1);
}

TEST_F(ShaderConstantsTest, VertexLightsAndFiller) {
  ELight lights[12];
  ELightBlock block;
  for (int i = 0; i < 12; ++i) {
    lights[i].m_vPosition = EVec3((float)i, 0, 0);
    lights[i].m_vColor = EVec3(1, 0.5f, 0.25f);
    lights[i].m_fLinearAtten = 0.1f * i;
    block.m_apLights[i] = &lights[i];
    block.m_afVisibility[i] = 0.5f;
  }
  m_Scene.m_vAmbientColor = EVec3(0.2f, 0.4f, 0.6f);
  m_Scene.m_fAmbientIntensity = 0.5f;
  m_State.m_mLightToModel = MatrixTranslate(0, 10, 0);
  block.m_iLightCount = 3;
  m_pConstants->SetVertexLightingConstants(&block, 0, EVec4(1, 2, 3, 4), false, false);
  ExpectC(kVSC_MATERIAL, 1, 2, 3, 4);
  ExpectC(kVSC_AMBIENT, 0.1f, 0.2f, 0.3f, 1);
  for (int i = 0; i < 3; ++i) {
    ExpectC(64 + 3 * i, (float)i, 10, 0, 1);
    ExpectC(65 + 3 * i, 0.5f, 0.25f, 0.125f, 1);
    ExpectC(66 + 3 * i, 1, 0.1f * i, 0, 1);
  }
  for (int slot = 3; slot < 8; ++slot) {
    ExpectC(64 + 3 * slot, 0, 0, 0, 1);
    ExpectC(65 + 3 * slot, 0, 0, 0, 1);
    ExpectC(66 + 3 * slot, 1, 0, 0, 0);
  }
  // An offset shifts the slots; lights below the count are never filler.
  block.m_iLightCount = 12;
  m_pConstants->SetVertexLightingConstants(&block, 5, EVec4(1, 1, 1, 1), false, false);
  for (int slot = 0; slot < 7; ++slot) ExpectC(64 + 3 * slot, (float)(5 + slot), 10, 0, 1);
  ExpectC(64 + 21, 0, 0, 0, 1);
  // Debug switches light everything white.
  m_State.m_bDebugMeshFrags = true;
  m_pConstants->SetVertexLightingConstants(&block, 0, EVec4(1, 1, 1, 1), false, true);
  ExpectC(65, 1, 1, 1, 1);
}

TEST_F(ShaderConstantsTest, SpotParameters) {
  ELight point, spot;
  spot.m_eType = kLIGHTTYPE_SPOT;
  spot.m_vDirection = EVec3(0, 0, 1);
  spot.m_fConeAngle = 60;
  spot.m_fPenumbraAngle = 60;  // inner cone 0: cos 1
  ELightBlock block;
  block.m_apLights[0] = &point;
  block.m_apLights[1] = &spot;
  block.m_iLightCount = 2;
  m_pConstants->SetVertexLightingConstants(&block, 0, EVec4(1, 1, 1, 1), true, false);
  ExpectC(88, 0, 1, 0, 0);
  ExpectC(89, 0, 1, 0, 0);
  ExpectC(90, 0, 0, 1, 1);
  ExpectC(91, 2, -1, 0, 0, 1e-4f);  // s = 1 / (0.5 - 1) = -2
}

TEST_F(ShaderConstantsTest, HardwareSkinning) {
  Put(kVSC_SKINNING_INDEX, 7, 7, 7, 7);
  Put(kVSC_SKINNING, 7, 7, 7, 7);
  m_pRenderer->m_DeviceSupport.m_bSoftwareSkinning = true;
  m_pConstants->SetHWSkinningConstants(2);
  ExpectC(kVSC_SKINNING_INDEX, 7, 7, 7, 7);
  ExpectC(kVSC_SKINNING, 7, 7, 7, 7);
  m_pRenderer->m_DeviceSupport.m_bSoftwareSkinning = false;

  const EMat4 moved = MatrixTranslate(4, 5, 6);
  const EMat4* table[40] = {};
  table[0] = &moved;
  for (int i = 2; i < 40; ++i) table[i] = &moved;
  m_State.m_ppJointSkinning = table;
  m_State.m_iJointTableSize = 40;
  m_pConstants->SetHWSkinningConstants(2);
  ExpectC(kVSC_SKINNING_INDEX, 766.5f, 96, 0, 0);
  ExpectC(96, 1, 0, 0, 4);
  ExpectC(97, 0, 1, 0, 5);
  ExpectC(98, 0, 0, 1, 6);
  ExpectC(99, 1, 0, 0, 0);  // joint 1 missing: identity
  ExpectC(100, 0, 1, 0, 0);
  ExpectC(101, 0, 0, 1, 0);
  // Above 32 joints the count is clamped with a warning.
  s_shaderTraces.clear();
  Put(192, 7, 7, 7, 7);
  m_pConstants->SetHWSkinningConstants(40);
  ExpectC(189, 1, 0, 0, 4);
  ExpectC(192, 7, 7, 7, 7);
  EXPECT_EQ(1, CountShaderTraces("40 joints"));
}

TEST_F(ShaderConstantsTest, BlendShapes) {
  m_pConstants->SetBlendShapeConstants(1, 2, 3, 4, 5, 6, 7, 8, 0.5f);
  ExpectC(24, 1, 2, 3, 4);
  ExpectC(25, 5, 6, 7, 8);
  ExpectC(26, 0.5f, 0.5f, 0.5f, 0.5f);
}

TEST_F(ShaderConstantsTest, AnisotropicFiltering) {
  m_pRenderer->m_DeviceSupport.m_bAnisotropicMin = true;
  ETextureStageState stages[2];
  stages[0].m_eFilterMode = stages[1].m_eFilterMode = kFILTERMODE_LINEAR;
  stages[0].m_dwMaxAnisotropy = stages[1].m_dwMaxAnisotropy = 1;
  m_State.m_fAnisotropyLevel = 0.1f;
  EXPECT_FALSE(m_pConstants->SetAnisotropicFiltering(stages, 2));
  EXPECT_EQ(kFILTERMODE_LINEAR, stages[0].m_eFilterMode);
  EXPECT_EQ(1u, stages[1].m_dwMaxAnisotropy);
  m_State.m_fAnisotropyLevel = 2.0f;
  m_State.m_bDebugLights = true;
  EXPECT_FALSE(m_pConstants->SetAnisotropicFiltering(stages, 2));
  m_State.m_bDebugLights = false;
  EXPECT_TRUE(m_pConstants->SetAnisotropicFiltering(stages, 1));
  EXPECT_EQ(kFILTERMODE_ANISOTROPIC, stages[0].m_eFilterMode);
  EXPECT_EQ(8u, stages[0].m_dwMaxAnisotropy);
  EXPECT_EQ(1u, stages[1].m_dwMaxAnisotropy);
  m_State.m_fAnisotropyLevel = 0.125f;  // 0.5 rounds away from zero
  EXPECT_TRUE(m_pConstants->SetAnisotropicFiltering(stages, 1));
  EXPECT_EQ(1u, stages[0].m_dwMaxAnisotropy);
  m_pRenderer->m_DeviceSupport.m_bAnisotropicMin = false;
  m_pRenderer->m_DeviceSupport.m_bAnisotropicMag = false;
  EXPECT_FALSE(m_pConstants->SetAnisotropicFiltering(stages, 1));
}

#if defined(QUILLOMAR_SHADER_DATA) && defined(QUILLOMAR_FPO_DIR)
// The project's vertex shader sources and assembled pixel shaders, copied
// under the test's own Workresource folder.
int CopyProjectShaderData(const filetest::TempDir& dir) {
  const std::string data = QUILLOMAR_SHADER_DATA;
  const std::string copy = "cp -r '" + data + "/VertexShaders/.' '" + (dir / "Workresource/VertexShaders") +
                           "' && mkdir -p '" + (dir / "Workresource/PixelShaders/fpo") + "' && cp '" +
                           QUILLOMAR_FPO_DIR + "/'*.fpo '" + (dir / "Workresource/PixelShaders/fpo") + "'";
  return system(copy.c_str());
}

// Every named shader and every allowed linked combination of the project's
// own files loads, assembles and translates: no missing file, no error
// shader, no translation failure; the combinations the rules exclude stay
// 0. A vs_1_1 device takes them as well, except the skinned geometry: the
// assembler cannot encode relative addressing for vs_1_1.
TEST_F(GameShaders, ProjectShaderFilesAllLoad) {
  ASSERT_EQ(0, CopyProjectShaderData(m_dir));
  const unsigned savedVersion = m_pRenderer->m_DeviceSupport.m_dwVertexShaderVersion;
  for (unsigned version : {savedVersion, 0x101u}) {
    SCOPED_TRACE(::testing::Message() << "vertex shader version " << std::hex << version);
    const bool skinning = version >= 0x200;
    m_pRenderer->m_DeviceSupport.m_dwVertexShaderVersion = version;
    s_shaderTraces.clear();
    m_pShaders->InitVertexShaders();
    m_pShaders->InitPixelShaders();
    for (int i = 0; i < kNUM_GAME_VERTEX_SHADERS; ++i)
      EXPECT_NE(0u, m_pShaders->GetVertexShader((EGameVertexShader)i))
          << EGameShaders::VertexShaderFile((EGameVertexShader)i);
    for (int i = 0; i < kNUM_GAME_PIXEL_SHADER_FILES; ++i)
      EXPECT_NE(0u, m_pShaders->GetPixelShader((EGamePixelShader)i))
          << EGameShaders::PixelShaderFile((EGamePixelShader)i);
    int linked = 0;
    for (int g = 0; g < kNUM_VSGEOM; ++g)
      for (int d = 0; d < kNUM_VSDIFFUSE; ++d)
        for (int f = 0; f < kNUM_VSFOG; ++f)
          for (int t = 0; t < kNUM_VSTEXTURE; ++t) {
            const bool built = m_pShaders->GetLinkedShader(g, d, f, t) != 0;
            EXPECT_EQ(LinkedShaderAllowed(g, d, f, t), built) << g << "." << d << "." << f << "." << t;
            linked += built;
          }
    EXPECT_EQ(445, linked);
    int failed = 0;
    for (const std::string& t : s_shaderTraces) {
      EXPECT_EQ(std::string::npos, t.find("Couldn't")) << t;  // missing files and includes
      if (t.find("is replaced by the error shader") == std::string::npos) continue;
      ++failed;
      const bool skinned = t.find("'Linked shader 2.") != std::string::npos ||
                           t.find("'Linked shader 3.") != std::string::npos ||
                           t.find("'Linked shader 4.") != std::string::npos;
      if (skinning || !skinned) ADD_FAILURE() << t;
    }
    EXPECT_EQ(skinning ? 0 : 115 + 17 + 107, failed);
    EXPECT_EQ(0, CountShaderTraces("Failed to compile"));  // the GL translation
    m_pShaders->ShutdownVertexShaders();
    m_pShaders->ShutdownPixelShaders();
  }
  m_pRenderer->m_DeviceSupport.m_dwVertexShaderVersion = savedVersion;
}

// A 2x2 texture drawn over the window through the projecting linked shader
// with the material colour (0.5, 1, 1, 1): every texel shows with its red
// halved.
TEST_F(GameShaders, ProjectedQuadHalvesRedOfEachTexel) {
  ASSERT_EQ(0, CopyProjectShaderData(m_dir));
  m_pShaders->InitVertexShaders();
  m_pShaders->InitPixelShaders();
  const uint32_t vs = m_pShaders->GetLinkedShader(0, 0, 0, 1);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_Color1Tex);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
  typedef void (*FinishFn)();
  ReadPixelsFn readPixels = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
  FinishFn finish = (FinishFn)SDL_GL_GetProcAddress("glFinish");
  ASSERT_TRUE(readPixels && finish);

  // Texels as A8R8G8B8, row 0 at v = 0.
  const uint32_t texels[4] = {0xFFC83C14u, 0xFF28A0F0u, 0xFF6464C8u, 0xFFF0F028u};
  HTEXTURE tex = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 2, 2, 1, 0);
  ASSERT_NE(0u, (unsigned)tex);
  uint32_t* t = static_cast<uint32_t*>(m_pRenderer->LockTexture(tex, 0, nullptr, false, (CUBEMAPFACE)-1, true));
  ASSERT_NE(nullptr, t);
  memcpy(t, texels, sizeof(texels));
  m_pRenderer->UnlockTexture(tex, 0, false, (CUBEMAPFACE)-1);

  m_pRenderer->BeginRender();
  ERenderState state;
  state.m_eBlendMode = kBLENDMODE_DECAL;
  state.m_eCullMode = kCULL_NONE;
  state.m_bAlphaTestEnable = false;
  state.m_bZEnable = false;
  m_pRenderer->SetRenderState(&state);
  ETextureStageState stage;
  stage.m_hTexture = tex;
  stage.m_eFilterMode = kFILTERMODE_POINT;
  stage.m_eMipFilterMode = kFILTERMODE_NONE;
  m_pRenderer->SetTextureStages(&stage, 1);
  const EVec4 rows[4] = {EVec4(1, 0, 0, 0), EVec4(0, 1, 0, 0), EVec4(0, 0, 1, 0), EVec4(0, 0, 0, 1)};
  m_pRenderer->SetVertexShaderConstant(6, rows, 4);
  const EVec4 colour(0.5f, 1, 1, 1);
  m_pRenderer->SetVertexShaderConstant(2, &colour, 1);
  const EVec4 unscaled(1, 1, 1, 1);  // texture coordinates stored as they are
  m_pRenderer->SetVertexShaderConstant(94, &unscaled, 1);
  // The projecting geometry reads positions and normals from stream 0 and
  // the texture module coordinate set 0 from stream 1.
  struct PN {
    float x, y, z, nx, ny, nz;
  };
  struct UV {
    float u, v;
  };
  uint32_t vbs[2] = {m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, 4, 0, "Quad"),
                     m_pRenderer->CreateVertexBuffer(kVBFORMAT_TEXCOORD0, 4, 0, "Quad coordinates")};
  PN* p = static_cast<PN*>(m_pRenderer->LockVertexBuffer(vbs[0], 0, 0, 0));
  ASSERT_NE(nullptr, p);
  // Window bottom (y = -1) takes v = 0.
  p[0] = {-1, -1, 0, 0, 0, 1};
  p[1] = {1, -1, 0, 0, 0, 1};
  p[2] = {-1, 1, 0, 0, 0, 1};
  p[3] = {1, 1, 0, 0, 0, 1};
  m_pRenderer->UnlockVertexBuffer(vbs[0]);
  UV* uv = static_cast<UV*>(m_pRenderer->LockVertexBuffer(vbs[1], 0, 0, 0));
  ASSERT_NE(nullptr, uv);
  uv[0] = {0, 0};
  uv[1] = {1, 0};
  uv[2] = {0, 1};
  uv[3] = {1, 1};
  m_pRenderer->UnlockVertexBuffer(vbs[1]);
  m_pRenderer->SetVertexShader(vs);
  m_pRenderer->SetPixelShader(ps);
  m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 2, vbs, 4, 0);
  finish();
  // Read-back origin is the window bottom: texel (i, j) covers x in
  // [32i, 32i + 32) and y in [32j, 32j + 32).
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      unsigned char px[4];
      readPixels(16 + 32 * i, 16 + 32 * j, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, px);
      const uint32_t texel = texels[2 * j + i];
      SCOPED_TRACE(::testing::Message() << "texel " << i << "," << j);
      EXPECT_NEAR(((texel >> 16) & 0xFF) / 2.0, px[0], 2);
      EXPECT_NEAR((texel >> 8) & 0xFF, px[1], 2);
      EXPECT_NEAR(texel & 0xFF, px[2], 2);
    }
  m_pRenderer->SetTextureStages(nullptr, 0);
  m_pRenderer->DeleteVertexBuffer(vbs[0]);
  m_pRenderer->DeleteVertexBuffer(vbs[1]);
  m_pRenderer->EndRender();
  m_pRenderer->DeleteTexture(tex, true);
}
// Pictures drawn with the project's shaders and the shared setters, read
// back from the 64x64 window (origin at its bottom left).
class ShaderPictures : public ShaderConstantsTest {
protected:
  typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
  typedef void (*FinishFn)();

  void SetUp() override {
    ShaderConstantsTest::SetUp();
    if (IsSkipped() || !m_pRenderer) return;
    ASSERT_EQ(0, CopyProjectShaderData(m_dir));
    m_pShaders->InitVertexShaders();
    m_pShaders->InitPixelShaders();
    m_pfnReadPixels = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
    m_pfnFinish = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    ASSERT_TRUE(m_pfnReadPixels && m_pfnFinish);
  }

  template <class T, size_t N>
  uint32_t Buffer(VBFORMAT format, const T (&vertices)[N]) {
    EXPECT_EQ(sizeof(T), GetVertexSize(format));
    const uint32_t vb = m_pRenderer->CreateVertexBuffer(format, (unsigned)N, 0, "Picture");
    T* p = static_cast<T*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
    EXPECT_NE(nullptr, p);
    if (p) memcpy(p, vertices, sizeof(vertices));
    m_pRenderer->UnlockVertexBuffer(vb);
    m_aBuffers.push_back(vb);
    return vb;
  }

  void Begin(bool depth) {
    m_pRenderer->BeginRender();
    m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 0), true, true, false, 1.0f);
    ERenderState state;
    state.m_eBlendMode = kBLENDMODE_DECAL;
    state.m_eCullMode = kCULL_NONE;
    state.m_bAlphaTestEnable = false;
    state.m_bZEnable = depth;
    state.m_bZWriteEnable = depth;
    state.m_eZFunc = kCMP_ALWAYS;
    m_pRenderer->SetRenderState(&state);
  }

  void End() {
    m_pfnFinish();
    for (uint32_t vb : m_aBuffers) m_pRenderer->DeleteVertexBuffer(vb);
    m_aBuffers.clear();
    m_pRenderer->EndRender();
  }

  float Depth(int x, int y) {
    float d = -1;
    m_pfnReadPixels(x, y, 1, 1, 0x1902 /* DEPTH_COMPONENT */, 0x1406 /* FLOAT */, &d);
    return d;
  }
  bool Lit(int x, int y) {
    unsigned char px[4] = {};
    m_pfnReadPixels(x, y, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, px);
    return px[1] > 128;
  }

  // The colour under a pixel, 0 to 255 each.
  EVec3 Rgb(int x, int y) {
    unsigned char px[4] = {};
    m_pfnReadPixels(x, y, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, px);
    return EVec3(px[0], px[1], px[2]);
  }
  void ExpectRgb(int x, int y, float r, float g, float b) {
    const EVec3 c = Rgb(x, y);
    EXPECT_NEAR(r, c.x, 2) << "red at " << x << "," << y;
    EXPECT_NEAR(g, c.y, 2) << "green at " << x << "," << y;
    EXPECT_NEAR(b, c.z, 2) << "blue at " << x << "," << y;
  }
  // A 1x1 texture of one A8R8G8B8 colour, deleted by TearDown.
  HTEXTURE SolidTexture(uint32_t argb) {
    HTEXTURE tex = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 1, 1, 1, 0);
    EXPECT_NE(0u, (unsigned)tex);
    uint32_t* t = static_cast<uint32_t*>(m_pRenderer->LockTexture(tex, 0, nullptr, false, (CUBEMAPFACE)-1, true));
    EXPECT_NE(nullptr, t);
    if (t) *t = argb;
    m_pRenderer->UnlockTexture(tex, 0, false, (CUBEMAPFACE)-1);
    m_aTextures.push_back(tex);
    return tex;
  }
  void TearDown() override {
    if (m_pRenderer) {
      m_pRenderer->SetTextureStages(nullptr, 0);
      for (HTEXTURE t : m_aTextures) m_pRenderer->DeleteTexture(t, true);
    }
    ShaderConstantsTest::TearDown();
  }

  ReadPixelsFn m_pfnReadPixels = nullptr;
  FinishFn m_pfnFinish = nullptr;
  std::vector<uint32_t> m_aBuffers;
  std::vector<HTEXTURE> m_aTextures;
};

struct PictureNormalVertex {
  float x, y, z, nx, ny, nz;
};

// A plane 4 units in front of the camera fills the window; the depth it
// leaves is the projection's depth d squeezed into the sky box's slice or
// scaled below it.
TEST_F(ShaderPictures, ProjectionDepthPerRenderDomain) {
  const uint32_t vs = m_pShaders->GetLinkedShader(0, 0, 0, 0);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_DiffuseColor);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  m_State.m_mCameraProjection = MatrixPerspectiveProjection(60, 1, 1, 100);
  const EVec4 clip = m_State.m_mCameraProjection.MulVec4(EVec4(0, 0, -4, 1));
  const float d = clip.z / clip.w;
  EXPECT_NEAR(300.0f / 396.0f, d, 1e-5f);  // (100 * 4 - 100) / (99 * 4)
  const PictureNormalVertex plane[4] = {
      {-100, -100, -4, 0, 0, 1}, {100, -100, -4, 0, 0, 1}, {-100, 100, -4, 0, 0, 1}, {100, 100, -4, 0, 0, 1}};
  const struct Case {
    int domain;
    float stored;
  } cases[] = {{0, 0.99f * d}, {1, 0.99f + 0.01f * d}, {2, 0.99f * d}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "render domain " << c.domain);
    // The sky box ignores where the camera stands.
    m_State.m_mCameraView = c.domain == 1 ? MatrixTranslate(0, 0, 50) : EMat4();
    m_State.m_iRenderDomain = c.domain;
    Begin(true);
    uint32_t vb = Buffer(kVBFORMAT_POSITION_NORMAL, plane);
    m_pConstants->SetMaterialVertexConstants(EVec4(0, 1, 0, 1));
    m_pConstants->SetProjectionVertexConstants();
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 1, &vb, 4, 0);
    End();
    EXPECT_NEAR(c.stored, Depth(32, 32), 0.001f);
    EXPECT_NEAR(c.stored, Depth(3, 60), 0.001f);
    EXPECT_TRUE(Lit(32, 32));
  }
}

// A quad on joint-skinned vertices lands where its joints move it: the
// 16x16-pixel square at (16, 16) moves by the weighted joint offsets, at
// 32 pixels per clip unit.
TEST_F(ShaderPictures, SkinnedQuadMovesWithItsJoints) {
  const uint32_t vs = m_pShaders->GetLinkedShader(2, 0, 0, 1);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_DiffuseColor);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  const EMat4 joints[3] = {EMat4(), MatrixTranslate(0.5f, 0.25f, 0), MatrixTranslate(-0.5f, 0, 0)};
  const EMat4* table[3] = {&joints[0], &joints[1], &joints[2]};
  m_State.m_ppJointSkinning = table;
  m_State.m_iJointTableSize = 3;
  const PictureNormalVertex quad[4] = {
      {-0.5f, -0.5f, 0.5f, 0, 0, 1}, {0, -0.5f, 0.5f, 0, 0, 1}, {-0.5f, 0, 0.5f, 0, 0, 1}, {0, 0, 0.5f, 0, 0, 1}};
  struct UV {
    float u, v;
  };
  const UV uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  // Joint indices as a colour: red names the first joint, green the second.
  struct JointRef {
    uint32_t indices;
    float weight;
  };
  const struct Case {
    int first, second;
    float weight;
    int dx, dy;
  } cases[] = {
      {0, 0, 1.0f, 0, 0},    // identity
      {1, 0, 1.0f, 16, 8},   // (0.5, 0.25) whole
      {1, 2, 0.5f, 0, 4},    // half of (0.5, 0.25) and half of (-0.5, 0)
      {0, 1, 0.25f, 12, 6},  // a quarter of identity, three quarters of joint 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "joints " << c.first << ", " << c.second << " weight " << c.weight);
    const uint32_t indices = (uint32_t)c.first << 16 | (uint32_t)c.second << 8;
    const JointRef refs[4] = {{indices, c.weight}, {indices, c.weight}, {indices, c.weight}, {indices, c.weight}};
    Begin(false);
    uint32_t vbs[3] = {Buffer(kVBFORMAT_POSITION_NORMAL, quad), Buffer(kVBFORMAT_TEXCOORD0, uv),
                       Buffer(kVBFORMAT_TEXCOORD67, refs)};
    m_pConstants->SetMaterialVertexConstants(EVec4(0, 1, 0, 1));
    m_pConstants->SetProjectionVertexConstants();
    m_pConstants->SetHWSkinningConstants(3);
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 3, vbs, 4, 0);
    End();
    const int x0 = 16 + c.dx, y0 = 16 + c.dy;
    EXPECT_TRUE(Lit(x0 + 1, y0 + 1));
    EXPECT_TRUE(Lit(x0 + 14, y0 + 14));
    EXPECT_FALSE(Lit(x0 - 2, y0 + 8));
    EXPECT_FALSE(Lit(x0 + 17, y0 + 8));
    EXPECT_FALSE(Lit(x0 + 8, y0 - 2));
    EXPECT_FALSE(Lit(x0 + 8, y0 + 17));
  }
}
// A window-filling quad facing +z, lit per vertex by one point light through
// the point-light module: every corner sees the light at distance sqrt(3)
// under N.L = 1/sqrt(3), so the colour is the material colour times
// (ambient + light colour x (1/sqrt(3)) / (1 + 0.5 sqrt(3))).
TEST_F(ShaderPictures, VertexPointLightColoursTheQuad) {
  const uint32_t vs = m_pShaders->GetLinkedShader(0, 2, 0, 0);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_DiffuseColor);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  const PictureNormalVertex quad[4] = {{-1, -1, 0, 0, 0, 1}, {1, -1, 0, 0, 0, 1}, {-1, 1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}};
  ELight light;
  light.m_vColor = EVec3(1, 0.5f, 0.25f);
  light.m_fConstantAtten = 1;
  light.m_fLinearAtten = 0.5f;
  ELightBlock block;
  block.m_apLights[0] = &light;
  block.m_afVisibility[0] = 1;
  block.m_iLightCount = 1;
  m_Scene.m_vAmbientColor = EVec3(0.1f, 0.1f, 0.1f);
  const float lit = (1 / sqrtf(3)) / (1 + 0.5f * sqrtf(3));
  const struct Case {
    float lightZ;
    EVec4 material;
    float r, g, b;  // expected, 0 to 1
  } cases[] = {
      {1, EVec4(1, 1, 1, 1), 0.1f + lit, 0.1f + 0.5f * lit, 0.1f + 0.25f * lit},
      {1, EVec4(1, 0.5f, 1, 1), 0.1f + lit, 0.5f * (0.1f + 0.5f * lit), 0.1f + 0.25f * lit},
      {-1, EVec4(1, 1, 1, 1), 0.1f, 0.1f, 0.1f},  // behind the surface: ambient only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "light z " << c.lightZ << ", material green " << c.material.y);
    light.m_vPosition = EVec3(0, 0, c.lightZ);
    Begin(false);
    uint32_t vb = Buffer(kVBFORMAT_POSITION_NORMAL, quad);
    m_pConstants->SetVertexLightingConstants(&block, 0, c.material, false, false);
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 1, &vb, 4, 0);
    End();
    ExpectRgb(32, 32, 255 * c.r, 255 * c.g, 255 * c.b);
    ExpectRgb(3, 60, 255 * c.r, 255 * c.g, 255 * c.b);
  }
}

// The screen-rectangle geometry and the four-tap texture module carry the
// unit square onto a rectangle given in pixels from the top left, and the
// filter pixel shader averages its four stages.
TEST_F(ShaderPictures, BlitRectangleAveragesFourTextures) {
  const uint32_t vs = m_pShaders->GetLinkedShader(5, 0, 0, 10);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_FilterBlit);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  struct ScreenVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
  };
  const ScreenVertex square[4] = {{0, 0, 0, 0xFFFFFFFFu, 0, 0},
                                  {1, 0, 0, 0xFFFFFFFFu, 1, 0},
                                  {0, 1, 0, 0xFFFFFFFFu, 0, 1},
                                  {1, 1, 0, 0xFFFFFFFFu, 1, 1}};
  ETextureStageState stages[4];
  const uint32_t colours[4] = {0xFFF00000u, 0xFF007800u, 0xFF000050u, 0xFF282828u};
  for (int i = 0; i < 4; ++i) {
    stages[i].m_hTexture = SolidTexture(colours[i]);
    stages[i].m_eFilterMode = kFILTERMODE_POINT;
    stages[i].m_eMipFilterMode = kFILTERMODE_NONE;
  }
  // A rectangle 16 wide and 40 high at (8, 4) from the top left of the 64x64
  // window: read back from the bottom, it covers x 8-24 and y 20-60.
  const float sizeX = 16, sizeY = 40, posX = 8, posY = 4, screen = 64;
  const EVec4 rect[2] = {EVec4(2 * sizeX / screen, -2 * sizeY / screen, 1, 1),
                         EVec4(2 * posX / screen - 1, -2 * posY / screen + 1, 0, 0)};
  EVec4 taps[8];
  for (int i = 0; i < 4; ++i) taps[i] = EVec4(1, 1, 1, 1), taps[4 + i] = EVec4(0, 0, 0, 0);
  Begin(false);
  uint32_t vb = Buffer(kVBFORMAT_POSITION_COLOR_TEXCOORD0, square);
  m_pConstants->SetMaterialVertexConstants(EVec4(1, 1, 1, 1));
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS, rect, 2);
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, taps, 8);
  m_pRenderer->SetVertexShader(vs);
  m_pRenderer->SetPixelShader(ps);
  m_pRenderer->SetTextureStages(stages, 4);
  m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 1, &vb, 4, 0);
  End();
  ExpectRgb(16, 40, (240 + 40) / 4.0f, (120 + 40) / 4.0f, (80 + 40) / 4.0f);
  ExpectRgb(9, 21, 70, 40, 30);
  ExpectRgb(23, 59, 70, 40, 30);
  const int outside[4][2] = {{16, 10}, {16, 62}, {4, 40}, {28, 40}};
  for (const auto& p : outside) ExpectRgb(p[0], p[1], 0, 0, 0);
}

// Blend shapes move the quad by the weighted sum of its targets' offsets,
// times the blend factor, before the (identity) joint places it.
TEST_F(ShaderPictures, BlendShapesMoveTheQuad) {
  const uint32_t vs = m_pShaders->GetLinkedShader(4, 0, 0, 1);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_DiffuseColor);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  const PictureNormalVertex quad[4] = {
      {-0.5f, -0.5f, 0.5f, 0, 0, 1}, {0, -0.5f, 0.5f, 0, 0, 1}, {-0.5f, 0, 0.5f, 0, 0, 1}, {0, 0, 0.5f, 0, 0, 1}};
  struct UV {
    float u, v;
  };
  const UV uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  struct JointRef {
    uint32_t indices;
    float weight;
  };
  const JointRef refs[4] = {{0, 1}, {0, 1}, {0, 1}, {0, 1}};  // joint 0 whole
  // Target offsets of every vertex: (0.5, 0), (0, 0.25), (0.25, 0.25), (-0.25, 0).
  const float offsets[4][2] = {{0.5f, 0}, {0, 0.25f}, {0.25f, 0.25f}, {-0.25f, 0}};
  PictureNormalVertex targets[4][4];
  for (int t = 0; t < 4; ++t)
    for (int v = 0; v < 4; ++v) targets[t][v] = {offsets[t][0], offsets[t][1], 0, 0, 0, 0};
  const struct Case {
    float w[4], factor;
    int dx, dy;  // pixels, 32 per clip unit
  } cases[] = {
      {{0, 0, 0, 0}, 1, 0, 0},
      {{1, 0, 0, 0}, 1, 16, 0},
      {{0, 1, 0, 0}, 0.5f, 0, 4},
      {{0, 0, 1, 1}, 1, 0, 8},
      {{0.5f, 0, 0, 1}, 2, 0, 0},
      {{0, 0, 0, 1}, 1, -8, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "weights " << c.w[0] << " " << c.w[1] << " " << c.w[2] << " " << c.w[3]
                                      << " factor " << c.factor);
    Begin(false);
    uint32_t vbs[7] = {Buffer(kVBFORMAT_POSITION_NORMAL, quad), Buffer(kVBFORMAT_TEXCOORD0, uv),
                       Buffer(kVBFORMAT_TEXCOORD67, refs),      Buffer(kVBFORMAT_BLEND1, targets[0]),
                       Buffer(kVBFORMAT_BLEND2, targets[1]),    Buffer(kVBFORMAT_BLEND3, targets[2]),
                       Buffer(kVBFORMAT_BLEND4, targets[3])};
    m_pConstants->SetMaterialVertexConstants(EVec4(0, 1, 0, 1));
    m_pConstants->SetProjectionVertexConstants();
    m_pConstants->SetHWSkinningConstants(1);
    m_pConstants->SetBlendShapeConstants(c.w[0], c.w[1], c.w[2], c.w[3], 9, 9, 9, 9, c.factor);
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 7, vbs, 4, 0);
    End();
    const int x0 = 16 + c.dx, y0 = 16 + c.dy;
    EXPECT_TRUE(Lit(x0 + 1, y0 + 1));
    EXPECT_TRUE(Lit(x0 + 14, y0 + 14));
    EXPECT_FALSE(Lit(x0 - 2, y0 + 8));
    EXPECT_FALSE(Lit(x0 + 17, y0 + 8));
    EXPECT_FALSE(Lit(x0 + 8, y0 - 2));
    EXPECT_FALSE(Lit(x0 + 8, y0 + 17));
  }
}
// The layered-fog pass draws the fog as alpha over the surface: 1 - F, F the
// distance layer times the height layer, from the registers the fog setter
// writes. Blended over black, a pixel shows the fog colour times 1 - F. The
// eye stands at distance 3 from every corner of the window-filling quad,
// and the height layer is linear over it, so the vertex values interpolate
// exactly.
TEST_F(ShaderPictures, LayeredFogAlphaFromDistanceAndHeight) {
  const uint32_t vs = m_pShaders->GetLinkedShader(0, 10, 0, 0);
  const uint32_t ps = m_pShaders->GetPixelShader(kGPS_DiffuseColor);
  ASSERT_NE(0u, vs);
  ASSERT_NE(0u, ps);
  m_pRenderer->m_DeviceSupport.m_bFog = true;
  const PictureNormalVertex quad[4] = {{-1, -1, 0, 0, 0, 1}, {1, -1, 0, 0, 0, 1}, {-1, 1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}};
  m_State.m_vCameraPosition = EVec3(0, 0, sqrtf(7));
  auto heightAt = [](int row) { return (row + 0.5f) / 32 - 1; };
  const struct Case {
    bool heightLayer;
    int row;
    float fog;  // 1 - F
  } cases[] = {
      {false, 32, 0.3f},
      {false, 60, 0.3f},
      {true, 32, 1 - 0.7f * (heightAt(32) + 2) / 4},
      {true, 60, 1 - 0.7f * (heightAt(60) + 2) / 4},
      {true, 3, 1 - 0.7f * (heightAt(3) + 2) / 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "height layer " << c.heightLayer << ", row " << c.row);
    m_Scene.m_aFogLayers[0] = {true, 0, 10};
    m_Scene.m_aFogLayers[1] = {c.heightLayer, 2, -2};
    Begin(false);
    ERenderState state;
    state.m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
    state.m_eCullMode = kCULL_NONE;
    state.m_bAlphaTestEnable = false;
    state.m_bZEnable = false;
    m_pRenderer->SetRenderState(&state);
    uint32_t vb = Buffer(kVBFORMAT_POSITION_NORMAL, quad);
    m_pConstants->SetMaterialVertexConstants(EVec4(1, 0.5f, 0.25f, 1));
    m_pConstants->SetProjectionVertexConstants();
    m_pConstants->SetFogVertexConstants();
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 1, &vb, 4, 0);
    End();
    ExpectRgb(40, c.row, 255 * c.fog, 127.5f * c.fog, 63.75f * c.fog);
  }
}
#endif

}  // namespace
