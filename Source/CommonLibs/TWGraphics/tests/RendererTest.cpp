// The renderer's window, pools, frames, gamma, lock, palettes and projection
// matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Palette.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Matrix.h"
#include "TWUtil/DataArray.h"

using rtest::hooks;

namespace {

class Renderer : public rtest::RendererFixture {
protected:
  // The size of the level-0 image of an OpenGL texture.
  void TextureSize(unsigned tex, int& w, int& h) {
    auto bind = reinterpret_cast<void (*)(GLenum, GLuint)>(SDL_GL_GetProcAddress("glBindTexture"));
    auto level =
        reinterpret_cast<void (*)(GLenum, GLint, GLenum, GLint*)>(SDL_GL_GetProcAddress("glGetTexLevelParameteriv"));
    bind(GL_TEXTURE_2D, tex);
    level(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    level(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    bind(GL_TEXTURE_2D, 0);
  }

  void Viewport(int v[4]) {
    auto get = reinterpret_cast<void (*)(GLenum, GLint*)>(SDL_GL_GetProcAddress("glGetIntegerv"));
    get(GL_VIEWPORT, v);
  }

  // Draws a white quad over a black screen and reads the middle back.
  unsigned char DrawAndRead() {
    ERenderState s;
    s.m_eBlendMode = kBLENDMODE_DECAL;
    s.m_eCullMode = kCULL_NONE;
    m_pRenderer->SetRenderState(&s);
    m_Draw.ClearColor(0, 0, 0, 1);
    m_Draw.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_Draw.Quad(-1, -1, 1, 1, 0, 1, 1, 1, 1);
    unsigned char px[4];
    m_Draw.Pixel((int)m_pRenderer->GetDisplayWidth() / 2, (int)m_pRenderer->GetDisplayHeight() / 2, px);
    return px[0];
  }
};

TEST_F(Renderer, OpensTheWindowAtTheRequestedSize) {
  ASSERT_TRUE(Start(320, 200));
  EXPECT_EQ(m_pRenderer, g_pCurrentRenderer);
  SDL_Surface* surface = SDL_GetVideoSurface();
  ASSERT_NE(nullptr, surface);
  EXPECT_EQ(320, surface->w);
  EXPECT_EQ(200, surface->h);
  // The size reported is the real one, not a fixed 640 x 480.
  EXPECT_EQ(320u, m_pRenderer->GetDisplayWidth());
  EXPECT_EQ(200u, m_pRenderer->GetDisplayHeight());
  int v[4];
  Viewport(v);
  EXPECT_EQ(0, v[0]);
  EXPECT_EQ(0, v[1]);
  EXPECT_EQ(320, v[2]);
  EXPECT_EQ(200, v[3]);
  // The back-buffer copy is sized by the window, smaller than 640 x 480 here.
  ASSERT_NE(0u, g_uBackBufferCopyTexture);
  int w = 0, h = 0;
  TextureSize(g_uBackBufferCopyTexture, w, h);
  EXPECT_EQ(320, w);
  EXPECT_EQ(200, h);
  EXPECT_EQ(255, DrawAndRead());
}

TEST_F(Renderer, AntialiasingIsKeptOnlyWhenTheWindowReallyMultisamples) {
  ::testing::internal::CaptureStderr();
  bool ok = Start(96, 64, kRENDERER_ANTIALIAS | kRENDERER_VSYNC);
  std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(ok) << err;
  auto get = reinterpret_cast<void (*)(GLenum, GLint*)>(SDL_GL_GetProcAddress("glGetIntegerv"));
  GLint buffers = 0, samples = 0;
  get(GL_SAMPLE_BUFFERS, &buffers);
  get(GL_SAMPLES, &samples);
  const bool multisampled = buffers && samples;
  EXPECT_NE(std::string::npos, err.find("OpenGL: Wanted 4x FSAA, got " + std::to_string(multisampled ? samples : 0) +
                                        "x"))
      << err;
  EXPECT_EQ(multisampled, g_bMultisampling);
  EXPECT_EQ(multisampled, (m_pRenderer->GetFlags() & kRENDERER_ANTIALIAS) != 0);
  EXPECT_TRUE(m_pRenderer->GetFlags() & kRENDERER_VSYNC);
  int w = 0, h = 0;
  TextureSize(g_uBackBufferCopyTexture, w, h);
  EXPECT_EQ(96, w);
  EXPECT_EQ(64, h);
}

TEST_F(Renderer, StartsWithItsPoolsCachesAndTargets) {
  ASSERT_TRUE(Start(64, 64));
  struct Pool {
    const char* name;
    int capacity;
    const char* actual;
    int actualCapacity;
  } pools[] = {
      {"Textures", 1024, m_pRenderer->m_pTextures->m_szName, m_pRenderer->m_pTextures->m_iCurAllocCount},
      {"Palettes", 256, m_pRenderer->m_pPalettes->m_szName, m_pRenderer->m_pPalettes->m_iCurAllocCount},
      // Names are cut to eleven characters.
      {"Vertex Buff", 4096, m_pRenderer->m_pVertexBuffers->m_szName, m_pRenderer->m_pVertexBuffers->m_iCurAllocCount},
      {"Index Buffe", 1024, m_pRenderer->m_pIndexBuffers->m_szName, m_pRenderer->m_pIndexBuffers->m_iCurAllocCount},
      {"Vertex Pool", 128, m_pRenderer->m_pVertexPools->m_szName, m_pRenderer->m_pVertexPools->m_iCurAllocCount},
      {"Vertex Shad", 1024, m_pRenderer->m_pVertexShaders->m_szName, m_pRenderer->m_pVertexShaders->m_iCurAllocCount},
      {"Pixel Shade", 1024, m_pRenderer->m_pPixelShaders->m_szName, m_pRenderer->m_pPixelShaders->m_iCurAllocCount},
  };
  for (const Pool& p : pools) {
    EXPECT_STREQ(p.name, p.actual);
    EXPECT_EQ(p.capacity, p.actualCapacity) << p.name;
  }
  EXPECT_FALSE(m_pRenderer->GetCachedRenderState().m_bValid);
  EXPECT_EQ(0xFFFFFFFFu, m_pRenderer->m_hVertexShader);
  EXPECT_EQ(0xFFFFFFFFu, m_pRenderer->m_hRenderTargetImageTexture);
  EXPECT_EQ(0xFFFFFFFDu, m_pRenderer->m_hRenderTargetDepthTexture);
  EXPECT_EQ(-1, m_pRenderer->m_iPushDrawMode);
  const EDeviceSupport& caps = m_pRenderer->GetDeviceSupport();
  EXPECT_TRUE(caps.m_bPixelShaderSupport);
  EXPECT_GE(caps.m_dwVertexShaderVersion, 0x200u);
  EXPECT_GT(caps.m_nTextureImageUnits, 4);
  EXPECT_EQ(4, caps.m_nMaxSimultaneousTextures);
  EXPECT_NE(nullptr, caps.m_szAdapter);
  EXPECT_FLOAT_EQ(16777215.0f, m_pRenderer->GetGLRenderer()->m_fMaxDepthValue);
}

TEST_F(Renderer, ResetChangesTheWindowSize) {
  ASSERT_TRUE(Start(200, 150));
  m_pRenderer->m_DisplayOptions.m_dwWidth = 128;
  m_pRenderer->m_DisplayOptions.m_dwHeight = 96;
  EXPECT_TRUE(m_pRenderer->Reset(0));
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  EXPECT_EQ(128u, m_pRenderer->GetDisplayWidth());
  EXPECT_EQ(96u, m_pRenderer->GetDisplayHeight());
  int w = 0, h = 0;
  TextureSize(g_uBackBufferCopyTexture, w, h);
  EXPECT_EQ(128, w);
  EXPECT_EQ(96, h);
  EXPECT_EQ(255, DrawAndRead());
}

TEST_F(Renderer, AResetThatCannotLoadOpenGLKeepsTheOldMode) {
  ASSERT_TRUE(Start(200, 150));
  m_pRenderer->m_DisplayOptions.m_dwWidth = 128;
  m_pRenderer->m_DisplayOptions.m_dwHeight = 96;
  hooks().hidden = {"glViewport"};
  hooks().hideRemaining = 1;  // the new mode's table misses it, the old one's not
  ::testing::internal::CaptureStderr();
  bool ok = m_pRenderer->Reset(0);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_NE(std::string::npos, err.find("Could not change the video mode; keeping 200x150")) << err;
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  EXPECT_EQ(200u, m_pRenderer->GetDisplayWidth());
  EXPECT_EQ(150u, m_pRenderer->GetDisplayHeight());
  EXPECT_EQ(200u, m_pRenderer->m_DisplayOptions.m_dwWidth);
  // OpenGL is usable: the table was loaded again.
  EXPECT_EQ(255, DrawAndRead());
}

TEST_F(Renderer, PresentRollsTheFrameStatistics) {
  ASSERT_TRUE(Start(64, 64));
  const unsigned frame = m_pRenderer->GetFrameNumber();
  m_pRenderer->m_FrameStats.m_dwRenderBatches = 7;
  m_pRenderer->m_FrameStats.m_adwDynamicVertsUsed[3] = 11;
  m_pRenderer->Present(false);
  EXPECT_EQ(7u, m_pRenderer->StatsGetRenderBatches());
  EXPECT_EQ(11u, m_pRenderer->StatsGetDynamicVertsUsed(3));
  EXPECT_EQ(frame, m_pRenderer->GetFrameNumber());
  m_pRenderer->Present(true);
  EXPECT_EQ(0u, m_pRenderer->StatsGetRenderBatches());
  EXPECT_EQ(frame + 1, m_pRenderer->GetFrameNumber());
  // The swap leaves the caches out of date and no shader chosen.
  EXPECT_FALSE(m_pRenderer->GetCachedRenderState().m_bValid);
  EXPECT_EQ(0xFFFFFFFFu, m_pRenderer->m_hPixelShader);
}

TEST_F(Renderer, ShutdownClearsTheCurrentRendererAndAllowsANewStart) {
  ASSERT_TRUE(Start(64, 64));
  Stop();
  EXPECT_EQ(nullptr, g_pCurrentRenderer);
  EXPECT_EQ(nullptr, g_ThreadProtectD3DCriticalSection);
  ASSERT_TRUE(Start(64, 64));
  EXPECT_EQ(255, DrawAndRead());
}

TEST_F(Renderer, TheLockCanBeTakenAgainByItsHolder) {
  ASSERT_TRUE(Start(64, 64));
  ASSERT_NE(nullptr, g_ThreadProtectD3DCriticalSection);
  EThreadProtectD3D outer;
  {
    EThreadProtectD3D inner;
    // Palette operations take the lock again themselves.
    HPALETTE h = m_pRenderer->CreatePalette();
    m_pRenderer->LockPalette(h);
    m_pRenderer->UnlockPalette(h);
    m_pRenderer->DeletePalette(h);
  }
}

TEST_F(Renderer, PalettesCountTheirLocks) {
  ASSERT_TRUE(Start(64, 64));
  HPALETTE h = m_pRenderer->CreatePalette();
  ASSERT_NE(0u, h);
  EXPECT_EQ(1, m_pRenderer->StatsGetUsedPalettes());
  uint32_t* a = m_pRenderer->LockPalette(h);
  uint32_t* b = m_pRenderer->LockPalette(h);
  ASSERT_EQ(a, b);
  for (int i = 0; i < 256; ++i) a[i] = 0xFF000000u | (uint32_t)i;
  m_pRenderer->UnlockPalette(h);
  EXPECT_EQ(0xFF0000FFu, m_pRenderer->LockPalette(h)[255]);
  m_pRenderer->UnlockPalette(h);
  m_pRenderer->UnlockPalette(h);
  m_pRenderer->DeletePalette(h);
  EXPECT_EQ(0, m_pRenderer->StatsGetUsedPalettes());
}

TEST_F(Renderer, RestoreSizeShrinksGrownPools) {
  ASSERT_TRUE(Start(64, 64));
  HPALETTE ids[300];
  for (HPALETTE& id : ids) id = m_pRenderer->CreatePalette();
  EXPECT_EQ(512, m_pRenderer->StatsGetAllocatedPalettes());
  for (HPALETTE id : ids) m_pRenderer->DeletePalette(id);
  m_pRenderer->RestoreSize();
  EXPECT_EQ(256, m_pRenderer->StatsGetAllocatedPalettes());
}

class RendererDeathTest : public Renderer {
protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Renderer::SetUp();
  }
};

TEST_F(RendererDeathTest, MisusedPalettesAreFatal) {
  ASSERT_TRUE(Start(64, 64));
  HPALETTE h = m_pRenderer->CreatePalette();
  m_pRenderer->LockPalette(h);
  EXPECT_EXIT(m_pRenderer->DeletePalette(h), ::testing::ExitedWithCode(255), "!pPalette->m_dwLockCount");
  m_pRenderer->UnlockPalette(h);
  EXPECT_EXIT(m_pRenderer->UnlockPalette(h), ::testing::ExitedWithCode(255), "pPalette->m_dwLockCount");
  m_pRenderer->DeletePalette(h);
  // A deleted palette's handle names nothing any more.
  EXPECT_EXIT(m_pRenderer->LockPalette(h), ::testing::ExitedWithCode(255), "pPalette");
}

TEST_F(RendererDeathTest, ASecondRendererCannotStart) {
  ASSERT_TRUE(Start(64, 64));
  ERenderer second;
  EXPECT_EXIT(second.Init(nullptr, 0), ::testing::ExitedWithCode(255), "!g_pCurrentRenderer");
}

TEST_F(RendererDeathTest, AZBiasAbove16IsFatal) {
  ASSERT_TRUE(Start(64, 64));
  EXPECT_EXIT(m_pRenderer->setZBias(17), ::testing::ExitedWithCode(255), "byZBias >= 0 && byZBias <= 16");
}

// ---------------------------------------------------------------------------

TEST(GammaRamp, FollowsThePowerCurveOverIOver256) {
  uint16_t ramp[256];
  ERenderer::BuildGammaRamp(1.0f, ramp);
  EXPECT_EQ(0, ramp[0]);
  EXPECT_EQ(255, ramp[1]);      // 1/256 of 65535, truncated
  EXPECT_EQ(32767, ramp[128]);  // 0.5 x 65535 = 32767.5
  EXPECT_EQ(65279, ramp[255]);  // never the full 65535
  ERenderer::BuildGammaRamp(2.0f, ramp);
  EXPECT_EQ(32767, ramp[64]);  // sqrt(0.25)
  EXPECT_EQ(46340, ramp[128]);  // sqrt(0.5) x 65535 = 46340.4
  ERenderer::BuildGammaRamp(0.5f, ramp);
  EXPECT_EQ(16383, ramp[128]);  // 0.25 x 65535 = 16383.75
}

TEST(Gamma, IsClampedPerChannel) {
  ERenderer r;
  r.SetGammaCorrection(EVec3(0.0f, 3.0f, 1.5f), true);
  EXPECT_FLOAT_EQ(0.25f, r.GetGammaCorrection().x);
  EXPECT_FLOAT_EQ(2.5f, r.GetGammaCorrection().y);
  EXPECT_FLOAT_EQ(1.5f, r.GetGammaCorrection().z);
}

TEST(DisplayOptions, PresetsSetTheSize) {
  EDisplayOptions o;
  EXPECT_EQ(800u, o.m_dwWidth);
  EXPECT_EQ(600u, o.m_dwHeight);
  EXPECT_EQ(75u, o.m_dwRefreshRate);
  o.LoadPreset(kDISPLAYPRESET_640x480);
  EXPECT_EQ(640u, o.m_dwWidth);
  EXPECT_EQ(480u, o.m_dwHeight);
  o.LoadPreset((DISPLAYPRESET)7);
  EXPECT_EQ(640u, o.m_dwWidth);
}

// ---------------------------------------------------------------------------

EVec4 Project(const EMat4& m, const EVec3& p) {
  const float* a = m.m;
  return EVec4(p.x * a[0] + p.y * a[4] + p.z * a[8] + a[12], p.x * a[1] + p.y * a[5] + p.z * a[9] + a[13],
               p.x * a[2] + p.y * a[6] + p.z * a[10] + a[14], p.x * a[3] + p.y * a[7] + p.z * a[11] + a[15]);
}

TEST(TexGenMatrix, PerspectiveMapsTheViewAxisToTheTextureCentre) {
  const EVec3 eye(3, 4, 5), target(-2, 1, 0), up(0, 1, 0);
  EMat4 m = ERenderer::CreatePerspectiveTexGenMatrix(eye, target, up, 90.0f, 1.5f, 1.0f, 100.0f);
  EVec3 dir = target - eye;
  for (float t : {0.1f, 1.0f, 7.5f}) {
    EVec4 p = Project(m, eye + dir * t);
    EXPECT_NEAR(0.5f, p.x / p.w, 1e-5f) << t;
    EXPECT_NEAR(0.5f, p.y / p.w, 1e-5f) << t;
  }
  // Above the axis is higher on the texture: no flip of y.
  EVec4 above = Project(m, eye + dir + EVec3(0, 0.5f, 0));
  EXPECT_GT(above.y / above.w, 0.5f);
}

TEST(TexGenMatrix, OrthographicGivesAThirdCoordinateOfOne) {
  const EVec3 eye(0, 10, 0), target(0, 0, 0), up(0, 0, -1);
  EMat4 m = ERenderer::CreateOrthoTexGenMatrix(eye, target, up, 8.0f, 4.0f, 1.0f, 50.0f);
  for (const EVec3& p : {EVec3(0, 0, 0), EVec3(3, -7, 2), EVec3(-100, 5, 40)}) EXPECT_EQ(1.0f, Project(m, p).z);
  // The view axis lands in the texture's centre, the box's corner on its edge.
  EVec4 c = Project(m, EVec3(0, 0, 0));
  EXPECT_NEAR(0.5f, c.x / c.w, 1e-6f);
  EXPECT_NEAR(0.5f, c.y / c.w, 1e-6f);
  EVec4 edge = Project(m, EVec3(4, 0, 0));
  EXPECT_NEAR(1.0f, std::fabs(edge.x / edge.w - 0.5f) * 2.0f, 1e-5f);
}

TEST(CubemapViewMatrix, LooksDownEachFacesDirection) {
  struct Case {
    int face;
    EVec3 target, up;
  } cases[] = {
      {0, {0, 0, -1}, {0, 1, 0}}, {1, {0, 0, 1}, {0, 1, 0}}, {2, {0, 1, 0}, {1, 0, 0}},
      {3, {0, -1, 0}, {-1, 0, 0}}, {4, {-1, 0, 0}, {0, 1, 0}}, {5, {1, 0, 0}, {0, 1, 0}},
      {6, {1, 0, 0}, {0, 1, 0}},  // any other face looks along +X
  };
  for (const Case& c : cases) {
    EMat4 m = ERenderer::CreateCubemapViewMatrix((CUBEMAPFACE)c.face);
    EXPECT_TRUE(m == MatrixLookAt(EVec3(0, 0, 0), c.target, c.up)) << "face " << c.face;
    // The face's direction ends up straight ahead (minus Z in view space).
    EVec4 ahead = Project(m, c.target);
    EXPECT_NEAR(0.0f, ahead.x, 1e-6f);
    EXPECT_NEAR(0.0f, ahead.y, 1e-6f);
    EXPECT_NEAR(-1.0f, ahead.z, 1e-6f);
  }
}

}  // namespace
