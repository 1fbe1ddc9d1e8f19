// The sprite manager: culling, corners and texture boxes, the sort by layer
// and texture, batching, the psychedelic colour rule and the pass limit;
// and what it draws, read back from the test display.
#include <SDL/SDL.h>
#include <SDL/SDL_opengl.h>

#include <cmath>

#include "SpriteTestSupport.h"
#include "TWGraphics/Color.h"

namespace {

using spritetest::Vertex;

const EBox2 kFull(EVec2(0, 0), EVec2(1, 1));

class SpriteTest : public spritetest::SpriteFixture {};

TEST_F(SpriteTest, CullsAgainstTheScreenWithTheWholeTexture) {
  const HTEXTURE t = Texture(16, 8);
  struct Case {
    float x, y;
    bool kept;
  };
  const Case cases[] = {{640, 0, false}, {0, 480, false},   {-16, 0, false},  {0, -8, false},
                        {-15.5f, 0, true}, {0, -7.5f, true}, {639.5f, 479.5f, true}};
  for (const Case& c : cases) {
    m_pSprites->ResetFrame();
    m_pSprites->AddSprite(t, c.x, c.y, 0, kFull);
    EXPECT_EQ(c.kept ? 1 : 0, m_pSprites->GetSpriteArray()->GetNumUsed()) << c.x << ", " << c.y;
  }
  m_pSprites->ResetFrame();
  const EVec4 clear(1, 1, 1, 0);
  m_pSprites->AddSprite(t, 0, 0, 0, kFull, &clear);
  m_pSprites->AddSprite(0, 0, 0, 0, kFull);
  EXPECT_EQ(0, m_pSprites->GetSpriteArray()->GetNumUsed());
}

TEST_F(SpriteTest, WritesCornersWithVMinOnTheBottomEdge) {
  const HTEXTURE t = Texture(16, 8);
  const EBox2 box(EVec2(0.25f, 0.0f), EVec2(0.75f, 0.5f));  // 8 x 4 pixels
  EBox2 out;
  m_pSprites->AddSprite(t, 10, 20, 0, box, nullptr, nullptr, nullptr, 0.0f, nullptr, 0, 0, &out);
  m_pSprites->PreprocessAll();
  std::vector<Vertex> v = Vertices();
  ASSERT_EQ(6u, v.size());
  // bottom-left, bottom-right, top-right, bottom-left, top-right, top-left
  const float expect[6][4] = {{10, 24, 0.25f, 0.0f}, {18, 24, 0.75f, 0.0f}, {18, 20, 0.75f, 0.5f},
                              {10, 24, 0.25f, 0.0f}, {18, 20, 0.75f, 0.5f}, {10, 20, 0.25f, 0.5f}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(expect[i][0], v[i].x) << i;
    EXPECT_EQ(expect[i][1], v[i].y) << i;
    EXPECT_EQ(expect[i][2], v[i].u) << i;
    EXPECT_EQ(expect[i][3], v[i].v) << i;
    EXPECT_EQ(0xFFFFFFFFu, v[i].colour);
  }
  EXPECT_EQ(10, out.vMin.x);
  EXPECT_EQ(20, out.vMin.y);
  EXPECT_EQ(18, out.vMax.x);
  EXPECT_EQ(24, out.vMax.y);
}

TEST_F(SpriteTest, CropPivotRotationAndScale) {
  const HTEXTURE t = Texture(16, 8);
  const EVec2 crop(0.5f, 1.0f);
  EBox2 out;
  m_pSprites->AddSprite(t, 0, 0, 0, kFull, nullptr, nullptr, nullptr, 0.0f, &crop, 0, 0, &out);
  EXPECT_EQ(8, out.vMax.x);
  EXPECT_EQ(8, out.vMax.y);
  const ESprite* s = &(*m_pSprites->GetSpriteArray())[0];
  EXPECT_EQ(0.5f, s->m_TexBox.vMax.x);
  EXPECT_EQ(1.0f, s->m_TexBox.vMax.y);

  // A rotation without a pivot does nothing; with one it turns the corners.
  const EVec2 scale(2, 3);
  m_pSprites->AddSprite(t, 100, 100, 0, kFull, nullptr, nullptr, &scale, 90.0f, nullptr, 0, 0, &out);
  EXPECT_EQ(100, out.vMin.x);
  EXPECT_EQ(116, out.vMax.x);
  const EVec2 pivot(0, 0);
  m_pSprites->AddSprite(t, 100, 100, 0, kFull, nullptr, &pivot, nullptr, 90.0f, nullptr, 0, 0, &out);
  EXPECT_NEAR(92, out.vMin.x, 1e-4);
  EXPECT_NEAR(100, out.vMax.x, 1e-4);
  EXPECT_NEAR(116, out.vMax.y, 1e-4);
  // Scale about an absolute pivot.
  const EVec2 absolute(100, 100);
  m_pSprites->AddSprite(t, 100, 100, 0, kFull, nullptr, &absolute, &scale, 0.0f, nullptr, kSPRITEFLAG_ABSOLUTE_PIVOT,
                        0, &out);
  EXPECT_EQ(132, out.vMax.x);
  EXPECT_EQ(124, out.vMax.y);
}

TEST_F(SpriteTest, SortsByLayerThenTextureAndBatches) {
  const HTEXTURE a = Texture(4, 4), b = Texture(4, 4);
  ASSERT_LT(a, b);
  m_pSprites->AddSprite(b, 0, 0, 5, kFull);
  m_pSprites->AddSprite(a, 0, 0, 5, kFull);
  m_pSprites->AddSprite(b, 0, 0, 4, kFull);
  m_pSprites->AddSprite(a, 0, 0, 5, kFull);
  m_pSprites->PreprocessAll();
  ASSERT_EQ(4, m_pSprites->GetSortedCount());
  EXPECT_EQ(4u, Sorted(0)->m_dwLayer);
  EXPECT_EQ(a, Sorted(1)->m_hTexture);
  EXPECT_EQ(a, Sorted(2)->m_hTexture);
  EXPECT_EQ(b, Sorted(3)->m_hTexture);
  // (4, b), (5, a) twice, (5, b): three draws.
  EXPECT_EQ(3u, Draws());

  // A texture box beyond 1 wraps and ends its batch.
  m_pSprites->ResetFrame();
  EXPECT_EQ(0u, Draws());
  const EBox2 tiled(EVec2(0, 0), EVec2(2, 1));
  m_pSprites->AddSprite(a, 0, 0, 1, tiled);
  m_pSprites->AddSprite(a, 0, 0, 1, kFull);
  m_pSprites->PreprocessAll();
  EXPECT_EQ(2u, Draws());
  m_pSprites->ResetFrame();
  m_pSprites->AddSprite(a, 0, 0, 1, kFull);
  m_pSprites->AddSprite(a, 0, 0, 1, kFull);
  m_pSprites->PreprocessAll();
  EXPECT_EQ(1u, Draws());
  EXPECT_EQ(kTEXTUREADDRESS_CLAMP, m_pRenderer->GetCachedTextureStage(0).m_eAddressMode);
}

TEST_F(SpriteTest, EmptyPassKeepsThePreviousBuffer) {
  const HTEXTURE t = Texture(4, 4);
  m_pSprites->AddSprite(t, 0, 0, 0, kFull);
  m_pSprites->PreprocessAll();
  const int buffer = m_pSprites->GetCurrentBuffer();
  m_pSprites->ResetFrame();
  EXPECT_EQ(1, m_pSprites->GetLastCount());
  m_pSprites->PreprocessAll();
  EXPECT_EQ(buffer, m_pSprites->GetCurrentBuffer());
  EXPECT_EQ(0, m_pSprites->GetSortedCount());
  // Three passes in one frame use three buffers.
  m_pSprites->AddSprite(t, 0, 0, 0, kFull);
  m_pSprites->PreprocessAll();
  EXPECT_EQ((buffer + 1) % 3, m_pSprites->GetCurrentBuffer());
}

TEST_F(SpriteTest, PsychedelicColourRuleAndClampedColours) {
  const HTEXTURE t = Texture(4, 4);
  const EVec4 red(1, 0, 0, 1), bright(2, -1, 0.5f, 1.5f);
  for (int mode : {0, 4}) {
    SCOPED_TRACE(mode);
    m_pApp->m_iRenderMode = mode;
    m_pSprites->ResetFrame();
    m_pSprites->AddSprite(t, 0, 0, 0, kFull, &red, nullptr, nullptr, 0, nullptr, kSPRITEFLAG_PSYCHEDELIC);
    m_pSprites->AddSprite(t, 0, 0, 1, kFull, &red);
    m_pSprites->PreprocessAll();
    std::vector<Vertex> v = Vertices();
    ASSERT_EQ(12u, v.size());
    EXPECT_EQ(mode == 0 ? 0u : 0xFFFF0000u, v[0].colour);
    EXPECT_EQ(mode == 0 ? 0xFFFF0000u : 0u, v[6].colour);
  }
  m_pApp->m_iRenderMode = 0;
  m_pSprites->ResetFrame();
  m_pSprites->AddSprite(t, 0, 0, 0, kFull, &bright);
  m_pSprites->PreprocessAll();
  EXPECT_EQ(ColorVectorToRGBA(EVec4(1, 0, 0.5f, 1)), Vertices()[0].colour);
}

TEST_F(SpriteTest, APassBeyondTheBufferDrawsItsFirstSprites) {
  const HTEXTURE t = Texture(4, 4);
  for (int i = 0; i < 2800; ++i) m_pSprites->AddSprite(t, 0, 0, i < 100 ? 1u : 0u, kFull);
  m_pSprites->PreprocessAll();
  EXPECT_EQ(2730, m_pSprites->GetSortedCount());
  EXPECT_EQ(0u, Sorted(2699)->m_dwLayer);
  EXPECT_EQ(1u, Sorted(2729)->m_dwLayer);
  EXPECT_EQ(1u, Draws());
  m_pSprites->PreprocessAll();
  EXPECT_EQ(1, gfxtest::CountTraces("Too many sprites in one pass"));
  m_pSprites->ResetFrame();
  m_pSprites->RestoreSize();
  EXPECT_EQ(128, m_pSprites->GetSpriteArray()->GetAllocCount());
}

// Pixels read back from the window (640 x 480, so sprite space is pixels).
class SpritePixels : public spritetest::SpriteFixture {
protected:
  void Clear(float r, float g, float b) {
    auto clearColor = reinterpret_cast<void (*)(GLclampf, GLclampf, GLclampf, GLclampf)>(
        SDL_GL_GetProcAddress("glClearColor"));
    auto clear = reinterpret_cast<void (*)(GLbitfield)>(SDL_GL_GetProcAddress("glClear"));
    clearColor(r, g, b, 1);
    clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  // RGBA at sprite-space (x, y).
  uint32_t Pixel(int x, int y) {
    auto readPixels = reinterpret_cast<void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*)>(
        SDL_GL_GetProcAddress("glReadPixels"));
    unsigned char p[4];
    readPixels(x, 479 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
  }
};

TEST_F(SpritePixels, WhiteSpriteOverTheClearColour) {
  const HTEXTURE t = Texture(32, 16);
  Clear(0, 0, 1);
  const EVec4 colour(1, 1, 0, 1);
  m_pSprites->AddSprite(t, 100, 50, 0, kFull, &colour);
  m_pSprites->PreprocessAll();
  m_pSprites->DrawAll();
  EXPECT_EQ(0xFFFF00FFu, Pixel(110, 55));
  EXPECT_EQ(0xFFFF00FFu, Pixel(131, 65));
  EXPECT_EQ(0x0000FFFFu, Pixel(99, 55));
  EXPECT_EQ(0x0000FFFFu, Pixel(132, 55));
  EXPECT_EQ(0x0000FFFFu, Pixel(110, 67));
}

TEST_F(SpritePixels, HigherLayerDrawsOver) {
  const HTEXTURE red = Texture(16, 16, 0xFFFF0000u), green = Texture(16, 16, 0xFF00FF00u);
  Clear(0, 0, 0);
  m_pSprites->AddSprite(red, 10, 10, 5, kFull);
  m_pSprites->AddSprite(green, 10, 10, 4, kFull);
  m_pSprites->PreprocessAll();
  m_pSprites->DrawAll();
  EXPECT_EQ(0xFF0000FFu, Pixel(15, 15));
}

}  // namespace
