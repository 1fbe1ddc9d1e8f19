// Render states drawn on a real window and read back, and the cache that
// keeps unchanged settings away from OpenGL.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"

using rtest::hooks;

namespace {

const int kSize = 64;

class RenderState : public rtest::RendererFixture {
protected:
  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Start(kSize, kSize));
  }

  // A state that draws every fragment unless a test says otherwise.
  static ERenderState Plain(BLENDMODE blend = kBLENDMODE_DECAL) {
    ERenderState s;
    s.m_eBlendMode = blend;
    s.m_eCullMode = kCULL_NONE;
    s.m_bAlphaTestEnable = false;
    s.m_bZEnable = false;
    return s;
  }

  void Apply(ERenderState s) { m_pRenderer->SetRenderState(&s); }

  void ClearAll(float r, float g, float b, float a, int stencil = 0) {
    ERenderState open = Plain();
    Apply(open);  // colour, depth and stencil writes all on
    m_Draw.ClearColor(r, g, b, a);
    m_Draw.ClearDepth(1.0);
    m_Draw.ClearStencil(stencil);
    m_Draw.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }

  void FullQuad(float r, float g, float b, float a, float z = 0.0f) { m_Draw.Quad(-1, -1, 1, 1, z, r, g, b, a); }

  void Centre(unsigned char rgba[4]) { m_Draw.Pixel(kSize / 2, kSize / 2, rgba); }

  int LitPixels() {
    static unsigned char buf[kSize * kSize * 4];
    m_Draw.Finish();
    m_Draw.ReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, buf);
    int n = 0;
    for (int i = 0; i < kSize * kSize; ++i) n += buf[4 * i] > 128;
    return n;
  }
};

struct Rgba {
  float r, g, b, a;
};

TEST_F(RenderState, EachBlendModeMixesSourceAndDestinationAsItsTableSays) {
  const Rgba D = {0.5f, 0.25f, 0.75f, 0.5f};
  const Rgba S = {0.25f, 0.5f, 0.5f, 0.5f};
  auto clamp = [](float v) { return v < 0 ? 0.0f : (v > 1 ? 1.0f : v); };
  struct Case {
    BLENDMODE mode;
    std::function<float(float s, float d, float sa, float da)> rgb;
    std::function<float(float s, float d, float sa, float da)> alpha;
  };
  const Case cases[] = {
      {kBLENDMODE_NO_COLOR_WRITE, [](float, float d, float, float) { return d; },
       [](float, float d, float, float) { return d; }},
      {kBLENDMODE_DECAL, [](float s, float, float, float) { return s; }, [](float s, float, float, float) { return s; }},
      {kBLENDMODE_ALPHA_BLEND, [](float s, float d, float sa, float) { return s * sa + d * (1 - sa); },
       [](float s, float d, float sa, float) { return s * sa + d * (1 - sa); }},
      {kBLENDMODE_ADD, [](float s, float d, float, float) { return s + d; },
       [](float s, float d, float, float) { return s + d; }},
      {kBLENDMODE_ADD_ALPHA, [](float s, float d, float sa, float) { return s * sa + d; },
       [](float s, float d, float sa, float) { return s * sa + d; }},
      {kBLENDMODE_ADD_DEST_ALPHA, [](float s, float d, float, float da) { return s * da + d; },
       [](float s, float d, float, float da) { return s * da + d; }},
      {kBLENDMODE_SUBTRACT, [](float s, float d, float sa, float) { return d - s * sa; },
       [](float s, float d, float sa, float) { return d - s * sa; }},
      {kBLENDMODE_MODULATE, [](float s, float d, float, float) { return d * s; },
       [](float s, float d, float, float) { return d * s; }},
      {kBLENDMODE_MODULATE_ADD_DEST, [](float s, float d, float, float) { return s * d + d; },
       [](float s, float d, float, float) { return s * d + d; }},
      {kBLENDMODE_MODULATE_2X, [](float s, float d, float, float) { return 2 * s * d; },
       [](float s, float d, float, float) { return 2 * s * d; }},
      {kBLENDMODE_ALPHA_ONLY, [](float, float d, float, float) { return d; },
       [](float s, float, float, float) { return s; }},
  };
  for (const Case& c : cases) {
    ClearAll(D.r, D.g, D.b, D.a);
    Apply(Plain(c.mode));
    FullQuad(S.r, S.g, S.b, S.a);
    unsigned char px[4];
    Centre(px);
    const float s[4] = {S.r, S.g, S.b, S.a}, d[4] = {D.r, D.g, D.b, D.a};
    for (int ch = 0; ch < 4; ++ch) {
      float want = clamp(ch < 3 ? c.rgb(s[ch], d[ch], S.a, D.a) : c.alpha(s[ch], d[ch], S.a, D.a));
      EXPECT_NEAR(want * 255.0f, (float)px[ch], 2.5f) << "blend mode " << c.mode << " channel " << ch;
    }
  }
}

TEST_F(RenderState, StencilModesWriteAndTestTheReferenceBits) {
  struct Case {
    int before;
    STENCILMODE mode;
    int ref;
    int after;
    bool drawn;
  } cases[] = {
      {0x0F, kSTENCILMODE_NONE, 0x33, 0x0F, true},
      {0x0F, kSTENCILMODE_WRITE, 0x07, 0x07, true},
      {0x0F, kSTENCILMODE_SET_BITS, 0x30, 0x3F, true},
      {0x0F, kSTENCILMODE_CLEAR_BITS, 0x04, 0x0B, true},
      {0x0B, kSTENCILMODE_EQUAL, 0x0B, 0x0B, true},
      {0x0B, kSTENCILMODE_EQUAL, 0x0C, 0x0B, false},
      {0x0B, kSTENCILMODE_NOTEQUAL, 0x0C, 0x0B, true},
      {0x0B, kSTENCILMODE_NOTEQUAL, 0x0B, 0x0B, false},
      {0x0B, kSTENCILMODE_BITS_SET, 0x03, 0x0B, true},
      {0x0B, kSTENCILMODE_BITS_SET, 0x06, 0x0B, false},
      {0x0B, kSTENCILMODE_BITS_NOT_SET, 0x06, 0x0B, true},
      {0x0B, kSTENCILMODE_BITS_NOT_SET, 0x03, 0x0B, false},
  };
  for (const auto& c : cases) {
    ClearAll(0, 0, 0, 1, c.before);
    ERenderState s = Plain();
    s.m_eStencilMode = c.mode;
    s.m_byStencilRef = (uint8_t)c.ref;
    Apply(s);
    FullQuad(1, 1, 1, 1);
    unsigned char px[4];
    Centre(px);
    EXPECT_EQ(c.drawn ? 255 : 0, px[0]) << "stencil mode " << c.mode << " ref " << c.ref;
    EXPECT_EQ(c.after, m_Draw.Stencil(kSize / 2, kSize / 2)) << "stencil mode " << c.mode << " ref " << c.ref;
  }
}

TEST_F(RenderState, DepthBiasPullsACoplanarQuadInFront) {
  for (int bias : {0, 16}) {
    ClearAll(0, 0, 0, 1);
    ERenderState s = Plain();
    s.m_bZEnable = true;
    Apply(s);
    FullQuad(1, 0, 0, 1, 0.25f);  // red
    s.m_eZFunc = kCMP_LESS;
    s.m_byZBias = (uint8_t)bias;
    Apply(s);
    FullQuad(0, 1, 0, 1, 0.25f);  // green, at the same depth
    unsigned char px[4];
    Centre(px);
    if (bias)
      EXPECT_EQ(255, px[1]) << "with a bias the second quad wins";
    else
      EXPECT_EQ(255, px[0]) << "without a bias the first quad stays";
  }
  // The bias is a share of the depth range: 16 x -5e-6 of a 24-bit buffer.
  EXPECT_FLOAT_EQ(0.0f, hooks().lastPolygonOffsetFactor);
  EXPECT_FLOAT_EQ(16777215.0f * (16.0f * -5e-6f), hooks().lastPolygonOffsetUnits);
}

TEST_F(RenderState, CullModesDropTheFacesTheySay) {
  // The test quads wind counter-clockwise, OpenGL's front face.
  struct Case {
    CULLMODE mode;
    bool drawn;
  } cases[] = {{kCULL_NONE, true}, {kCULL_BACK, true}, {kCULL_FRONT, false}};
  for (const auto& c : cases) {
    ClearAll(0, 0, 0, 1);
    ERenderState s = Plain();
    s.m_eCullMode = c.mode;
    Apply(s);
    FullQuad(1, 1, 1, 1);
    unsigned char px[4];
    Centre(px);
    EXPECT_EQ(c.drawn ? 255 : 0, px[0]) << "cull mode " << c.mode;
  }
}

TEST_F(RenderState, AlphaTestKeepsOnlyFragmentsThatPass) {
  struct Case {
    bool on;
    COMPAREFUNC func;
    int ref;
    float alpha;
    bool drawn;
  } cases[] = {
      {true, kCMP_GREATER, 128, 0.4f, false}, {true, kCMP_GREATER, 128, 0.6f, true},
      {true, kCMP_NOTEQUAL, 0, 0.0f, false},  {true, kCMP_NOTEQUAL, 0, 0.1f, true},
      {false, kCMP_NEVER, 0, 0.5f, true},
  };
  for (const auto& c : cases) {
    ClearAll(0, 0, 0, 1);
    ERenderState s = Plain();
    s.m_bAlphaTestEnable = c.on;
    s.m_eAlphaFunc = c.func;
    s.m_byAlphaRef = (uint8_t)c.ref;
    Apply(s);
    FullQuad(1, 1, 1, c.alpha);
    unsigned char px[4];
    Centre(px);
    EXPECT_EQ(c.drawn ? 255 : 0, px[0]) << "func " << c.func << " ref " << c.ref << " alpha " << c.alpha;
  }
}

TEST_F(RenderState, TheDefaultStateCullsFrontFacesAndBlendsByAlpha) {
  ClearAll(0, 0, 0, 1);
  ERenderState defaults;
  Apply(defaults);
  FullQuad(1, 1, 1, 1);  // counter-clockwise: culled
  unsigned char px[4];
  Centre(px);
  EXPECT_EQ(0, px[0]);
  // Clockwise, half transparent: blended over black.
  m_Draw.Color4f(1, 1, 1, 0.5f);
  m_Draw.Begin(GL_QUADS);
  m_Draw.Vertex3f(-1, -1, 0);
  m_Draw.Vertex3f(-1, 1, 0);
  m_Draw.Vertex3f(1, 1, 0);
  m_Draw.Vertex3f(1, -1, 0);
  m_Draw.End();
  Centre(px);
  EXPECT_NEAR(128, px[0], 2);
}

TEST_F(RenderState, AnUnchangedStateMakesNoOpenGLCallsUntilTheNextSwap) {
  ERenderState s = Plain(kBLENDMODE_ADD);
  s.m_eStencilMode = kSTENCILMODE_EQUAL;
  s.m_byStencilRef = 3;
  s.m_bFogEnable = true;
  s.m_eCullMode = kCULL_FRONT;
  hooks().stateCalls = 0;
  Apply(s);
  const int full = hooks().stateCalls;
  EXPECT_GT(full, 15);

  hooks().stateCalls = 0;
  Apply(s);
  EXPECT_EQ(0, hooks().stateCalls) << "an unchanged state reached OpenGL";

  // One changed setting makes only its own calls.
  s.m_eCullMode = kCULL_BACK;
  hooks().stateCalls = 0;
  Apply(s);
  EXPECT_EQ(2, hooks().stateCalls);  // culling on, the face

  // A new stencil reference changes the test, not the enable or the ops.
  s.m_byStencilRef = 4;
  hooks().stateCalls = 0;
  Apply(s);
  EXPECT_EQ(1, hooks().stateCalls);

  // After the swap everything is applied again.
  m_pRenderer->Present(true);
  EXPECT_FALSE(m_pRenderer->GetCachedRenderState().m_bValid);
  hooks().stateCalls = 0;
  Apply(s);
  EXPECT_EQ(full, hooks().stateCalls);
}

TEST_F(RenderState, APointSizeChangeReachesOpenGLWhileSpritesStayOn) {
  // With the attenuation's constant term equal to the squared viewport
  // height, points are drawn at their nominal size.
  m_pRenderer->m_dwViewportHeight = kSize;
  ERenderState s = Plain();
  s.m_bPointSprites = true;
  s.m_fPointSize = 8.0f;
  s.m_fPointScaleA = (float)(kSize * kSize);
  s.m_fPointScaleB = 0.0f;
  s.m_fPointScaleC = 0.0f;

  ClearAll(0, 0, 0, 1);
  Apply(s);
  m_Draw.Color4f(1, 1, 1, 1);
  m_Draw.Begin(GL_POINTS);
  m_Draw.Vertex3f(0, 0, 0);
  m_Draw.End();
  EXPECT_NEAR(64, LitPixels(), 8);

  s.m_fPointSize = 16.0f;
  ClearAll(0, 0, 0, 1);
  Apply(s);
  EXPECT_FLOAT_EQ(16.0f, hooks().lastPointSize);
  m_Draw.Begin(GL_POINTS);
  m_Draw.Vertex3f(0, 0, 0);
  m_Draw.End();
  EXPECT_NEAR(256, LitPixels(), 16);
}

TEST(RenderStateRecord, ExpandsModesIntoSubStates) {
  ERenderState s;
  s.m_eBlendMode = kBLENDMODE_SUBTRACT;
  s.convertBlendModeToSubStates();
  EXPECT_EQ(kBLENDOP_REVSUBTRACT, s.m_eBlendOp);
  EXPECT_EQ(kBLEND_SRCALPHA, s.m_eSrcBlend);
  EXPECT_EQ(kBLEND_ONE, s.m_eDestBlend);
  EXPECT_TRUE(s.m_bAlphaBlendEnable);

  s.m_eStencilMode = kSTENCILMODE_CLEAR_BITS;
  s.m_byStencilRef = 0x04;
  s.convertStencilModeToSubStates();
  EXPECT_TRUE(s.m_bStencilEnable);
  EXPECT_EQ(kCMP_ALWAYS, s.m_eStencilFunc);
  EXPECT_EQ(kSTENCILOP_REPLACE, s.m_eStencilPass);
  EXPECT_EQ(0, s.m_byStencilFuncRef);
  EXPECT_EQ(0x04, s.m_byStencilWriteMask);
  EXPECT_EQ(0xFF, s.m_byStencilReadMask);
}

TEST(RenderStateRecordDeathTest, UnknownModesAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ERenderState s;
  s.m_eBlendMode = (BLENDMODE)12;
  EXPECT_EXIT(s.convertBlendModeToSubStates(), ::testing::ExitedWithCode(255), "Unknown blend mode");
  s.m_eStencilMode = (STENCILMODE)0;
  EXPECT_EXIT(s.convertStencilModeToSubStates(), ::testing::ExitedWithCode(255), "Unknown stencil mode");
}

}  // namespace
