// Drawing into textures and cube faces, the copy of the back buffer, and
// clearing the current target.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"

namespace {

const int kWindow = 32;

class RenderTarget : public rtest::RendererFixture {
protected:
  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Start(kWindow, kWindow));
    m_pRenderer->BeginRender();
    SetFlatState();
  }

  // Top half red, bottom half blue, in whatever is the current target.
  void DrawTopRedBottomBlue() {
    m_Draw.Quad(-1, 0, 1, 1, 0, 1, 0, 0, 1);
    m_Draw.Quad(-1, -1, 1, 0, 0, 0, 0, 1, 1);
  }

  // Row `row` of level 0 (one face) of an 8888 texture, as B, G, R, A bytes
  // per texel in memory order.
  std::vector<uint8_t> Row(HTEXTURE t, unsigned row, CUBEMAPFACE face = kCUBEMAP_POSITIVE_X) {
    unsigned pitch = 0, w = 0, h = 0;
    m_pRenderer->GetTextureDimensions(t, w, h);
    uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(t, 0, &pitch, true, face, false));
    std::vector<uint8_t> out(p + row * pitch, p + row * pitch + w * 4);
    m_pRenderer->UnlockTexture(t, 0, true, face);
    return out;
  }

  // The texel's red, green and blue.
  static std::string RGB(const std::vector<uint8_t>& row, unsigned x) {
    char s[32];
    snprintf(s, sizeof(s), "%d,%d,%d", row[4 * x + 2], row[4 * x + 1], row[4 * x + 0]);
    return s;
  }

  void Viewport(int v[4]) {
    auto get = reinterpret_cast<void (*)(GLenum, GLint*)>(SDL_GL_GetProcAddress("glGetIntegerv"));
    get(GL_VIEWPORT, v);
  }
};

TEST_F(RenderTarget, ATextureReadsBackRightSideUp) {
  HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 16, 8, 1, 0);
  m_pRenderer->SetRenderTarget(t, 0, kCUBEMAP_POSITIVE_X);
  EXPECT_EQ(t, m_pRenderer->GetRenderTargetImage());
  EXPECT_EQ(0u, m_pRenderer->GetRenderTargetDepth());
  unsigned w = 0, h = 0;
  m_pRenderer->GetViewportDimensions(w, h);
  EXPECT_EQ(16u, w);
  EXPECT_EQ(8u, h);
  int v[4];
  Viewport(v);
  EXPECT_EQ(16, v[2]);
  EXPECT_EQ(8, v[3]);
  m_pRenderer->ClearRenderTarget(EVec4(0, 1, 0, 1), true, false, false, 1.0f);
  DrawTopRedBottomBlue();
  m_pRenderer->RestoreRenderTarget();

  // The first row in memory is the top of the drawing.
  EXPECT_EQ("255,0,0", RGB(Row(t, 0), 3));
  EXPECT_EQ("0,0,255", RGB(Row(t, 7), 3));
  // Back to the window.
  EXPECT_EQ(0xFFFFFFFFu, m_pRenderer->GetRenderTargetImage());
  EXPECT_EQ(0xFFFFFFFDu, m_pRenderer->GetRenderTargetDepth());
  m_pRenderer->GetViewportDimensions(w, h);
  EXPECT_EQ((unsigned)kWindow, w);
  EXPECT_EQ((unsigned)kWindow, h);
  Viewport(v);
  EXPECT_EQ(kWindow, v[2]);
  m_pRenderer->GetRenderTargetDimensions(w, h);
  EXPECT_EQ((unsigned)kWindow, w);
  // Restoring again does nothing.
  m_pRenderer->RestoreRenderTarget();
  EXPECT_EQ("255,0,0", RGB(Row(t, 0), 3));
}

TEST_F(RenderTarget, TheNextTargetDeliversThePreviousOne) {
  HTEXTURE a = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 8, 8, 1, 0);
  HTEXTURE b = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 8, 8, 1, 0);
  m_pRenderer->SetRenderTarget(a, 0, kCUBEMAP_POSITIVE_X);
  m_pRenderer->ClearRenderTarget(EVec4(1, 1, 0, 1), true, false, false, 1.0f);
  m_pRenderer->SetRenderTarget(b, 0, kCUBEMAP_POSITIVE_X);
  // a has its image already, while b is being drawn.
  m_pRenderer->ClearRenderTarget(EVec4(0, 1, 1, 1), true, false, false, 1.0f);
  EXPECT_EQ(b, m_pRenderer->GetRenderTargetImage());
  EXPECT_EQ("255,255,0", RGB(Row(a, 4), 4));
  // (-1, -3) gives the target up.
  m_pRenderer->SetRenderTarget(0xFFFFFFFFu, 0xFFFFFFFDu, kCUBEMAP_POSITIVE_X);
  EXPECT_EQ("0,255,255", RGB(Row(b, 4), 4));
  EXPECT_EQ(0xFFFFFFFFu, m_pRenderer->GetRenderTargetImage());
}

TEST_F(RenderTarget, ACubeFaceTargetFillsThatFaceOnly) {
  HTEXTURE cube = m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, 8, 1, 0);
  const EVec4 colours[6] = {EVec4(1, 0, 0, 1), EVec4(0, 1, 0, 1), EVec4(0, 0, 1, 1),
                            EVec4(1, 1, 0, 1), EVec4(1, 0, 1, 1), EVec4(0, 1, 1, 1)};
  const char* expected[6] = {"255,0,0", "0,255,0", "0,0,255", "255,255,0", "255,0,255", "0,255,255"};
  // Face 3 (-Y) first: the others stay empty.
  m_pRenderer->SetRenderTarget(cube, 0, kCUBEMAP_NEGATIVE_Y);
  m_pRenderer->ClearRenderTarget(colours[3], true, false, false, 1.0f);
  m_pRenderer->RestoreRenderTarget();
  for (int f = 0; f < 6; ++f)
    EXPECT_EQ(f == 3 ? expected[3] : "0,0,0", RGB(Row(cube, 2, (CUBEMAPFACE)f), 2)) << "face " << f;
  // One render buffer serves every face; a drawing comes out right side up.
  for (int f = 0; f < 6; ++f) {
    m_pRenderer->SetRenderTarget(cube, 0, (CUBEMAPFACE)f);
    m_pRenderer->ClearRenderTarget(colours[f], true, false, false, 1.0f);
    if (f == 0) m_Draw.Quad(-1, 0, 1, 1, 0, 1, 1, 1, 1);
  }
  m_pRenderer->RestoreRenderTarget();
  EXPECT_EQ("255,255,255", RGB(Row(cube, 0, kCUBEMAP_POSITIVE_X), 2));
  EXPECT_EQ("255,0,0", RGB(Row(cube, 7, kCUBEMAP_POSITIVE_X), 2));
  for (int f = 1; f < 6; ++f) EXPECT_EQ(expected[f], RGB(Row(cube, 4, (CUBEMAPFACE)f), 4)) << "face " << f;
}

TEST_F(RenderTarget, ADepthTextureGivesTheTargetADepthBuffer) {
  HTEXTURE colour = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 8, 8, 1, 0);
  HTEXTURE depth = m_pRenderer->CreateDepthTexture(8, 8, 16);
  m_pRenderer->SetRenderTarget(colour, depth, kCUBEMAP_POSITIVE_X);
  EXPECT_EQ(depth, m_pRenderer->GetRenderTargetDepth());
  ERenderState s;
  s.m_eBlendMode = kBLENDMODE_DECAL;
  s.m_eCullMode = kCULL_NONE;
  s.m_bAlphaTestEnable = false;
  s.m_bZEnable = true;
  s.m_eZFunc = kCMP_LESS;
  m_pRenderer->SetRenderState(&s);
  m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 1), true, true, false, 1.0f);
  m_Draw.Quad(-1, -1, 1, 1, 0.25f, 1, 0, 0, 1);  // near: red (clip depth runs from 0)
  m_Draw.Quad(-1, -1, 1, 1, 0.75f, 0, 0, 1, 1);  // far: hidden
  m_pRenderer->RestoreRenderTarget();
  EXPECT_EQ("255,0,0", RGB(Row(colour, 4), 4));
}

TEST_F(RenderTarget, TheBackBufferCopyIsUpsideDownLikeTargets) {
  m_Draw.ClearColor(0, 0, 0, 1);
  m_Draw.Clear(GL_COLOR_BUFFER_BIT);
  DrawTopRedBottomBlue();
  unsigned tex = m_pRenderer->getBackBufferCopy();
  ASSERT_NE(0u, tex);
  auto bind = reinterpret_cast<void (*)(GLenum, GLuint)>(SDL_GL_GetProcAddress("glBindTexture"));
  auto get = reinterpret_cast<void (*)(GLenum, GLint, GLenum, GLenum, void*)>(SDL_GL_GetProcAddress("glGetTexImage"));
  std::vector<uint8_t> pixels(kWindow * kWindow * 4);
  bind(GL_TEXTURE_2D, tex);
  get(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  bind(GL_TEXTURE_2D, 0);
  // Its first row is the top of the window.
  EXPECT_EQ(255, pixels[0]);
  EXPECT_EQ(0, pixels[2]);
  const size_t last = (size_t)(kWindow - 1) * kWindow * 4;
  EXPECT_EQ(0, pixels[last]);
  EXPECT_EQ(255, pixels[last + 2]);
  // The window stays the target.
  unsigned char px[4];
  m_Draw.Quad(-1, -1, 1, 1, 0, 0, 1, 0, 1);
  m_Draw.Pixel(kWindow / 2, kWindow / 2, px);
  EXPECT_EQ(255, px[1]);
}

TEST_F(RenderTarget, ClearingSetsTheWriteMasksItNeeds) {
  HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 8, 8, 1, 0);
  ERenderState s;
  s.m_eBlendMode = kBLENDMODE_NO_COLOR_WRITE;
  s.m_bZWriteEnable = false;
  m_pRenderer->SetRenderState(&s);
  m_pRenderer->SetRenderTarget(t, 0, kCUBEMAP_POSITIVE_X);
  m_pRenderer->ClearRenderTarget(EVec4(0, 0, 1, 1), true, true, false, 1.0f);
  EXPECT_EQ(kCOLORWRITE_ALL, m_pRenderer->GetCachedRenderState().m_eColorWriteMode);
  EXPECT_TRUE(m_pRenderer->GetCachedRenderState().m_bZWriteEnable);
  m_pRenderer->RestoreRenderTarget();
  EXPECT_EQ("0,0,255", RGB(Row(t, 1), 1));
}

}  // namespace

namespace {

// c50 holds the half-texel offset of the current target, (-1 / w, 1 / h).
TEST_F(RenderTarget, TheDefaultConstantsFollowTheTargetSize) {
  std::string err;
  uint32_t vs = rtest::MakeVertexShader(m_pRenderer, {kVBFORMAT_POSITION_COLOR}, "mov oPos, v0\nmul oD0, c50, c30\n",
                                        &err);
  ASSERT_NE(0u, vs) << err;
  uint32_t ps = rtest::MakePixelShader(m_pRenderer, "ps_2_0\ndcl v0\nmov oC0, v0\n", &err);
  ASSERT_NE(0u, ps) << err;
  struct PC {
    float x, y, z;
    uint32_t bgra;
  };
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 4, 0, "Quad");
  PC* v = static_cast<PC*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
  v[0] = {-1, -1, 0, 0};
  v[1] = {1, -1, 0, 0};
  v[2] = {-1, 1, 0, 0};
  v[3] = {1, 1, 0, 0};
  m_pRenderer->UnlockVertexBuffer(vb);
  auto draw = [&]() {
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    EVec4 scale(-32.0f, 16.0f, 0.0f, 0.0f);
    m_pRenderer->SetVertexShaderConstant(30, &scale, 1);
    m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLESTRIP, 4, 0);
  };
  // 64 x 32: (0.5, 0.5); the 32 x 32 window: (1, 0.5).
  HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 64, 32, 1, 0);
  m_pRenderer->SetRenderTarget(t, 0, kCUBEMAP_POSITIVE_X);
  draw();
  m_pRenderer->RestoreRenderTarget();
  std::vector<uint8_t> row = Row(t, 16);
  EXPECT_NEAR(128, row[4 * 8 + 2], 2);
  EXPECT_NEAR(128, row[4 * 8 + 1], 2);
  draw();
  unsigned char px[4];
  m_Draw.Pixel(kWindow / 2, kWindow / 2, px);
  EXPECT_EQ(255, px[0]);
  EXPECT_NEAR(128, px[1], 2);
  m_pRenderer->DeleteVertexBuffer(vb);
}

}  // namespace
