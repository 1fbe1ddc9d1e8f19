// Vertex layouts drawn through translated shaders, vertex and index buffers
// with their locks and counters, push buffers and occlusion queries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Game/PCGameApp.h"
#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Shader.h"
#include "TWGraphics/Vertex.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/ErrorManager.h"

using rtest::hooks;

namespace {

using gfxtest::CountTraces;

const int kSize = 64;

const char kColourPS[] = "ps_2_0\ndcl v0\nmov oC0, v0\n";

class Vertex : public rtest::RendererFixture {
protected:
  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    // The translator's first choice on Mesa, "glspirv", reads the inputs of
    // a shader as zeros unless they fill the registers from v0 up without a
    // gap; the GLSL profile translates these shaders faithfully.
    GForceMojoShaderProfile = "glsl120";
    ASSERT_TRUE(Start(kSize, kSize));
    GForceMojoShaderProfile = nullptr;
    gfxtest::StartTraces();
    std::string err;
    m_hPS = rtest::MakePixelShader(m_pRenderer, kColourPS, &err);
    ASSERT_NE(0u, m_hPS) << err;
    m_hColourVS = rtest::MakeVertexShader(m_pRenderer, {kVBFORMAT_POSITION_COLOR}, "mov oPos, v0\nmov oD0, v2\n", &err);
    ASSERT_NE(0u, m_hColourVS) << err;
    BeginFrame();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    rtest::RendererFixture::TearDown();
  }

  void BeginFrame() {
    m_pRenderer->BeginRender();
    SetFlatState();
    m_Draw.ClearColor(0, 0, 0, 0);
    m_Draw.Clear(GL_COLOR_BUFFER_BIT);
  }

  void UseShaders(uint32_t vs) {
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(m_hPS);
  }

  void Pixel(int x, int y, unsigned char rgba[4]) { m_Draw.Pixel(x, y, rgba); }

  // A quad as a triangle strip, coloured.
  struct PC {
    float x, y, z;
    uint32_t bgra;
  };
  static void Quad(PC* v, float x0, float y0, float x1, float y1, uint32_t colour) {
    v[0] = {x0, y0, 0, colour};
    v[1] = {x1, y0, 0, colour};
    v[2] = {x0, y1, 0, colour};
    v[3] = {x1, y1, 0, colour};
  }

  uint32_t m_hPS = 0;
  uint32_t m_hColourVS = 0;
};

// ---------------------------------------------------------------------------
// Layouts

TEST(VertexLayout, SizesStridesAndDeclarationsAgree) {
  const unsigned sizes[kNUM_VBFORMATS] = {12, 16, 20, 24, 32, 24, 36, 28, 4, 8, 16, 24, 32, 8, 36, 24, 24, 24, 24, 24, 8};
  for (int f = 0; f < kNUM_VBFORMATS; ++f) {
    SCOPED_TRACE("format " + std::to_string(f));
    EXPECT_EQ(sizes[f], GetVertexSize((VBFORMAT)f));
    const EVertexElement* e = GetVertexElements((VBFORMAT)f);
    const char* const* dcl = GetVertexDeclaration((VBFORMAT)f);
    if (f >= 19) {
      EXPECT_EQ(0u, GetVertexStride((VBFORMAT)f));
      EXPECT_EQ(nullptr, e);
      EXPECT_EQ(nullptr, dcl);
      continue;
    }
    EXPECT_EQ(sizes[f], GetVertexStride((VBFORMAT)f));
    // One declaration line per element, and every element inside the vertex.
    int n = 0;
    for (; e[n].Type != -1; ++n) {
      ASSERT_NE(nullptr, dcl[n]);
      int bytes = e[n].Type == 6 ? 4 : e[n].Type == 2 ? 2 : 1;
      int count = e[n].Size == GL_BGRA ? 4 : e[n].Size;
      EXPECT_LE((unsigned)(e[n].Offset + bytes * count), sizes[f]) << "element " << n;
    }
    EXPECT_EQ(nullptr, dcl[n]);
  }
  EXPECT_STREQ("dcl_color\t\tv2", GetVertexDeclaration(kVBFORMAT_POSITION_COLOR)[1]);
  EXPECT_STREQ("dcl_texcoord5\tv13", GetVertexDeclaration(kVBFORMAT_POSITION_COLOR_TEXCOORD0_TEXCOORD5)[3]);
  EXPECT_STREQ("dcl_normal4\tv13", GetVertexDeclaration(kVBFORMAT_BLEND4)[1]);
}

TEST(VertexLayout, PrimitiveCounts) {
  struct Case {
    VBDRAWMODE mode;
    unsigned n, expected;
  } cases[] = {
      {kVBDRAWMODE_POINTLIST, 10, 10},    {kVBDRAWMODE_LINELIST, 11, 5},   {kVBDRAWMODE_LINESTRIP, 10, 9},
      {kVBDRAWMODE_TRIANGLELIST, 10, 3},  {kVBDRAWMODE_TRIANGLESTRIP, 10, 8}, {kVBDRAWMODE_TRIANGLEFAN, 10, 8},
      {kVBDRAWMODE_QUADLIST, 10, 2},      {kVBDRAWMODE_QUADSTRIP, 10, 4},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, GetPrimitiveCount(c.mode, c.n)) << (int)c.mode;
}

// Fills every element of a vertex with a value that a shader can pass on as
// its colour, and gives the colour expected.
void FillElement(uint8_t* vertex, const EVertexElement& e, unsigned char expected[4]) {
  if (e.Size == GL_BGRA) {
    const uint8_t bgra[4] = {0x40, 0x80, 0xC0, 0xFF};
    memcpy(vertex + e.Offset, bgra, 4);
    expected[0] = 0xC0, expected[1] = 0x80, expected[2] = 0x40, expected[3] = 0xFF;
  } else if (e.Type == 2) {
    const int16_t s[2] = {1, 0};
    memcpy(vertex + e.Offset, s, 4);
    expected[0] = 255, expected[1] = 0, expected[2] = 0, expected[3] = 255;
  } else {
    const float v[3] = {0.25f, 0.5f, 0.75f};
    memcpy(vertex + e.Offset, v, 4 * e.Size);
    for (int i = 0; i < 3; ++i) expected[i] = i < e.Size ? (unsigned char)(v[i] * 255 + 0.5f) : 0;
    expected[3] = 255;
  }
}

TEST_F(Vertex, EveryLayoutFeedsEachOfItsInputsToTheShader) {
  const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};
  for (int f = 0; f <= 18; ++f) {
    const VBFORMAT format = (VBFORMAT)f;
    const EVertexElement* elements = GetVertexElements(format);
    const char* const* dcl = GetVertexDeclaration(format);
    // Layouts without a position ride beside a position stream.
    const bool ownPosition = elements[0].Usage == 0 && elements[0].UsageIndex == 0;
    for (int e = 0; elements[e].Type != -1; ++e) {
      if (ownPosition && e == 0) continue;
      SCOPED_TRACE("format " + std::to_string(f) + " element " + std::to_string(e));
      std::string reg = strrchr(dcl[e], 'v');
      std::string err;
      uint32_t vs = ownPosition ? rtest::MakeVertexShader(m_pRenderer, {format}, "mov oPos, v0\nmov oD0, " + reg + "\n", &err)
                                : rtest::MakeVertexShader(m_pRenderer, {kVBFORMAT_POSITION, format},
                                                          "mov oPos, v0\nmov oD0, " + reg + "\n", &err);
      ASSERT_NE(0u, vs) << err;
      const unsigned size = GetVertexSize(format);
      uint32_t vb = m_pRenderer->CreateVertexBuffer(format, 4, 0, "Layout");
      uint32_t pos = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION, 4, 0, "Position");
      uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
      float* q = static_cast<float*>(m_pRenderer->LockVertexBuffer(pos, 0, 0, 0));
      unsigned char expected[4] = {0, 0, 0, 0};
      memset(p, 0, 4 * size);
      for (int v = 0; v < 4; ++v) {
        FillElement(p + v * size, elements[e], expected);
        if (ownPosition) memcpy(p + v * size, corners[v], 12);
        memcpy(q + 3 * v, corners[v], 12);
      }
      m_pRenderer->UnlockVertexBuffer(vb);
      m_pRenderer->UnlockVertexBuffer(pos);

      BeginFrame();
      UseShaders(vs);
      uint32_t streams[2] = {pos, vb};
      if (ownPosition)
        m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLESTRIP, 4, 0);
      else
        m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLESTRIP, 2, streams, 4, 0);
      unsigned char px[4];
      Pixel(kSize / 2, kSize / 2, px);
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(expected[i], px[i], 2) << "channel " << i;
      m_pRenderer->DeleteVertexBuffer(vb);
      m_pRenderer->DeleteVertexBuffer(pos);
      m_pRenderer->m_pVertexShaders->ElementDeleteByID(vs);
    }
  }
}

TEST_F(Vertex, IndexedDrawsCountFromTheBuffersFirstVertex) {
  // Two quads: the left half red, the right half green.
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 8, 0, "Quads");
  PC* v = static_cast<PC*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
  Quad(v, -1, -1, 0, 1, 0xFFFF0000u);
  Quad(v + 4, 0, -1, 1, 1, 0xFF00FF00u);
  m_pRenderer->UnlockVertexBuffer(vb);
  uint32_t ib = m_pRenderer->CreateIndexBuffer(12, 0);
  uint16_t* idx = m_pRenderer->LockIndexBuffer(ib, 0, 0, 0);
  const uint16_t quads[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
  memcpy(idx, quads, sizeof(quads));
  m_pRenderer->UnlockIndexBuffer(ib);
  EXPECT_EQ(12u, m_pRenderer->GetIndexBufferCount(ib));

  UseShaders(m_hColourVS);
  m_pRenderer->DrawIndexedVertexBuffer(vb, ib, kVBDRAWMODE_TRIANGLELIST, 6, 6);  // the second quad only
  unsigned char left[4], right[4];
  Pixel(kSize / 4, kSize / 2, left);
  Pixel(3 * kSize / 4, kSize / 2, right);
  EXPECT_EQ(0, left[0]);
  EXPECT_EQ(0, left[1]);
  EXPECT_EQ(255, right[1]);
  // An unindexed draw from vertex 4 on draws the same quad.
  BeginFrame();
  UseShaders(m_hColourVS);
  m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLESTRIP, 4, 4);
  Pixel(3 * kSize / 4, kSize / 2, right);
  EXPECT_EQ(255, right[1]);
  m_pRenderer->DrawIndexedVertexBuffer(vb, ib, kVBDRAWMODE_TRIANGLELIST, 12, 0);
  Pixel(kSize / 4, kSize / 2, left);
  EXPECT_EQ(255, left[0]);
  // Draws are counted as batches of the frame.
  m_pRenderer->EndRender();
  m_pRenderer->Present(false);
  EXPECT_EQ(3u, m_pRenderer->StatsGetRenderBatches());
}

TEST_F(Vertex, APartialDynamicLockKeepsTheVerticesOutsideItsRange) {
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION, 8, kVBFLAG_DYNAMIC, "Dynamic");
  float* p = static_cast<float*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
  for (int i = 0; i < 24; ++i) p[i] = (float)i;
  m_pRenderer->UnlockVertexBuffer(vb);
  p = static_cast<float*>(m_pRenderer->LockVertexBuffer(vb, 2, 5, 0));
  for (int i = 0; i < 6; ++i) p[i] = -1.0f;
  m_pRenderer->UnlockVertexBuffer(vb);
  const float* r = static_cast<const float*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, kLOCKFLAG_READONLY));
  for (int i = 0; i < 24; ++i) EXPECT_EQ(i >= 15 && i < 21 ? -1.0f : (float)i, r[i]) << i;
  m_pRenderer->UnlockVertexBuffer(vb);
}

TEST_F(Vertex, BuffersCountTheirMemory) {
  const unsigned cat = 2 << 16;
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, 100, 0x3 | cat, "Counted");
  EXPECT_EQ(0x2u | cat, m_pRenderer->GetVertexBufferFlags(vb));
  EXPECT_EQ(100u, m_pRenderer->GetVertexBufferCount(vb));
  EXPECT_EQ(2400u, m_pRenderer->StatsGetAllocatedVertexMemory(cat));
  EXPECT_EQ(2400u, m_pRenderer->StatsGetAllocatedVertexMemory());
  EXPECT_EQ(100u, m_pRenderer->StatsGetAllocatedVertices());
  EXPECT_EQ(100u, m_pRenderer->StatsGetUsedVertices());
  EXPECT_EQ(1, m_pRenderer->StatsGetUsedVBs());
  EXPECT_EQ(1, m_pRenderer->StatsGetUsedVPools());
  uint32_t ib = m_pRenderer->CreateIndexBuffer(30, kIBFLAG_DYNAMIC);
  EXPECT_EQ(60u, m_pRenderer->StatsGetAllocatedIndexMemory());
  m_pRenderer->DeleteVertexBuffer(vb);
  m_pRenderer->DeleteIndexBuffer(ib);
  EXPECT_EQ(0u, m_pRenderer->StatsGetAllocatedVertexMemory());
  EXPECT_EQ(0u, m_pRenderer->StatsGetAllocatedVertices());
  EXPECT_EQ(0u, m_pRenderer->StatsGetUsedVertices());
  EXPECT_EQ(0u, m_pRenderer->StatsGetAllocatedIndexMemory());
  EXPECT_EQ(0, m_pRenderer->StatsGetUsedVPools());
  // Pools with nothing handed out go, unless dynamic or unsynchronised.
  m_pRenderer->CreateVertexPool(kVBFORMAT_POSITION, 10, 0);
  m_pRenderer->CreateVertexPool(kVBFORMAT_POSITION, 10, kVBFLAG_DYNAMIC);
  m_pRenderer->CreateVertexPool(kVBFORMAT_POSITION, 10, kVBFLAG_UNSYNCHRONIZED);
  m_pRenderer->ReleaseUnusedVertexPools();
  EXPECT_EQ(2, m_pRenderer->StatsGetUsedVPools());
  EXPECT_EQ(240u, m_pRenderer->StatsGetAllocatedVertexMemory());
}

TEST_F(Vertex, StaticVerticesSurviveAReset) {
  uint32_t stat = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 4, 0, "Static");
  PC* v = static_cast<PC*>(m_pRenderer->LockVertexBuffer(stat, 0, 0, 0));
  Quad(v, -1, -1, 1, 1, 0xFF0000FFu);
  m_pRenderer->UnlockVertexBuffer(stat);
  uint32_t dyn = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION, 16, kVBFLAG_DYNAMIC, "Dynamic");
  m_pRenderer->EndRender();
  ASSERT_TRUE(m_pRenderer->Reset(0));
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  // The new context has the old vertices.
  const PC* back = static_cast<const PC*>(m_pRenderer->LockVertexBuffer(stat, 0, 0, kLOCKFLAG_READONLY));
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(1.0f, back[3].x);
  EXPECT_EQ(0xFF0000FFu, back[3].bgra);
  m_pRenderer->UnlockVertexBuffer(stat);
  // The dynamic buffer is there again, empty, and takes new vertices.
  float* d = static_cast<float*>(m_pRenderer->LockVertexBuffer(dyn, 0, 0, 0));
  ASSERT_NE(nullptr, d);
  d[47] = 3.0f;
  m_pRenderer->UnlockVertexBuffer(dyn);
}

TEST_F(Vertex, DrawingWithoutAShaderIsSkipped) {
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION, 3, 0, "Skipped");
  m_pRenderer->ClearVertexShader();
  m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLELIST, 3, 0);
  EXPECT_EQ(1, CountTraces("Skipping vertex pool draw with no associated shader"));
  EXPECT_EQ(0u, m_pRenderer->m_FrameStats.m_dwRenderBatches);
}

// ---------------------------------------------------------------------------
// Push buffers

TEST_F(Vertex, QuadListsArePushedAsTriangles) {
  UseShaders(m_hColourVS);
  // Two quads, left red and right green, then two stray vertices.
  uint32_t* cursor = m_pRenderer->BeginPush(kVBDRAWMODE_QUADLIST, 10 * 4);
  struct {
    float x, y;
    uint32_t c;
  } corners[10] = {{-1, -1, 0xFFFF0000u}, {0, -1, 0xFFFF0000u}, {0, 1, 0xFFFF0000u}, {-1, 1, 0xFFFF0000u},
                   {0, -1, 0xFF00FF00u},  {1, -1, 0xFF00FF00u}, {1, 1, 0xFF00FF00u}, {0, 1, 0xFF00FF00u},
                   {-1, -1, 0xFFFFFFFFu}, {1, 1, 0xFFFFFFFFu}};
  for (auto& c : corners) {
    RendererPushData(cursor, EVec3(c.x, c.y, 0.0f));
    RendererPushData(cursor, c.c);
  }
  m_pRenderer->EndPush(cursor);
  EXPECT_EQ(nullptr, m_pRenderer->m_pdwPushBuffer);
  EXPECT_EQ(-1, m_pRenderer->m_iPushDrawMode);
  unsigned char left[4], right[4];
  Pixel(kSize / 4, kSize / 2, left);
  Pixel(3 * kSize / 4, kSize / 2, right);
  EXPECT_EQ(255, left[0]);
  EXPECT_EQ(0, left[1]);
  EXPECT_EQ(255, right[1]);
  EXPECT_EQ(0, right[0]);

  // A triangle strip goes as it is.
  BeginFrame();
  UseShaders(m_hColourVS);
  cursor = m_pRenderer->BeginPush(kVBDRAWMODE_TRIANGLESTRIP, 16);
  const float strip[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  for (auto& s : strip) {
    RendererPushData(cursor, s[0]);
    RendererPushData(cursor, s[1]);
    RendererPushData(cursor, 0.0f);
    RendererPushData(cursor, 0xFF0000FFu);
  }
  m_pRenderer->EndPush(cursor);
  Pixel(kSize / 2, kSize / 2, left);
  EXPECT_EQ(255, left[2]);
}

TEST_F(Vertex, EmptyOrShaderlessPushesAreSkippedAndClosed) {
  m_pRenderer->ClearVertexShader();
  uint32_t* cursor = m_pRenderer->BeginPush(kVBDRAWMODE_TRIANGLELIST, 12);
  RendererPushData(cursor, 1.0f);
  m_pRenderer->EndPush(cursor);
  EXPECT_EQ(1, CountTraces("Skipping direct push buffer draw with no associated shader"));
  UseShaders(m_hColourVS);
  cursor = m_pRenderer->BeginPush(kVBDRAWMODE_TRIANGLELIST, 12);
  m_pRenderer->EndPush(cursor);
  EXPECT_EQ(1, CountTraces("Skipping direct push buffer draw of zero length"));
  EXPECT_EQ(nullptr, m_pRenderer->m_pdwPushBuffer);
  // A long goes in as one word.
  cursor = m_pRenderer->BeginPush(kVBDRAWMODE_POINTLIST, 1);
  uint32_t* start = cursor;
  RendererPushData(cursor, -2L);
  EXPECT_EQ(start + 1, cursor);
  EXPECT_EQ(0xFFFFFFFEu, *start);
  EXPECT_EQ(4u, m_pRenderer->m_dwPushBytes);
  m_pRenderer->ClearVertexShader();
  m_pRenderer->EndPush(cursor);
}

// ---------------------------------------------------------------------------
// Occlusion queries

TEST_F(Vertex, AQueryCountsTheSamplesOfADrawnQuad) {
  if (!m_pRenderer->GetGLRenderer()->supports_GL_ARB_occlusion_query()) GTEST_SKIP() << "no occlusion queries";
  m_pRenderer->BeginVisibilityTest();
  m_Draw.Quad(-1, -1, 0, 1, 0, 1, 1, 1, 1);  // half the window
  EXPECT_TRUE(m_pRenderer->EndVisibilityTest(5));
  m_pRenderer->BeginVisibilityTest();
  m_Draw.Quad(-1, -1, 0, 0, 0, 1, 1, 1, 1);  // a quarter
  EXPECT_TRUE(m_pRenderer->EndVisibilityTest(5));
  // The newer query answers first, then the older one.
  EXPECT_EQ((unsigned)(kSize * kSize / 4), m_pRenderer->GetVisibilityTestResult(5));
  EXPECT_EQ((unsigned)(kSize * kSize / 2), m_pRenderer->GetVisibilityTestResult(5));
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(5));
  EXPECT_FALSE(m_pRenderer->EndVisibilityTest(6));  // none running
  // Both queries are free again and are reused.
  m_pRenderer->BeginVisibilityTest();
  m_pRenderer->EndVisibilityTest(-1);
  int queries = 0;
  for (EQuery* q = m_pRenderer->m_pQueryList; q; q = q->m_pNext) ++queries;
  EXPECT_EQ(2, queries);
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(-1));
}

TEST_F(Vertex, UnfetchedQueriesAreTakenBackAfterAFewFrames) {
  if (!m_pRenderer->GetGLRenderer()->supports_GL_ARB_occlusion_query()) GTEST_SKIP() << "no occlusion queries";
  for (int frame = 0; frame < 40; ++frame) {
    BeginFrame();
    m_pRenderer->BeginVisibilityTest();
    m_Draw.Quad(-1, -1, 1, 1, 0, 1, 1, 1, 1);
    m_pRenderer->EndVisibilityTest(frame);  // never fetched
    m_pRenderer->Present(true);
  }
  int queries = 0;
  for (EQuery* q = m_pRenderer->m_pQueryList; q; q = q->m_pNext) ++queries;
  EXPECT_LE(queries, 10);
  // A recent one can still be fetched.
  EXPECT_EQ((unsigned)(kSize * kSize), m_pRenderer->GetVisibilityTestResult(39));
}

// Without range mapping the whole buffer is mapped and the pointer moved.
class VertexWithoutRangeMapping : public rtest::RendererFixture {};

TEST_F(VertexWithoutRangeMapping, LocksStillReachTheirRange) {
  hooks().extensionsToHide = "GL_ARB_map_buffer_range";
  ASSERT_TRUE(Start(kSize, kSize));
  ASSERT_FALSE(m_pRenderer->GetGLRenderer()->supports_GL_ARB_map_buffer_range());
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_COLOR, 8, 0, "Whole");
  uint32_t* p = static_cast<uint32_t*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
  for (uint32_t i = 0; i < 8; ++i) p[i] = i;
  m_pRenderer->UnlockVertexBuffer(vb);
  p = static_cast<uint32_t*>(m_pRenderer->LockVertexBuffer(vb, 2, 5, 0));
  p[0] = 50;
  p[1] = 60;
  m_pRenderer->UnlockVertexBuffer(vb);
  const uint32_t* r = static_cast<const uint32_t*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, kLOCKFLAG_READONLY));
  const uint32_t expected[8] = {0, 1, 2, 3, 4, 50, 60, 7};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(expected[i], r[i]) << i;
  m_pRenderer->UnlockVertexBuffer(vb);
  uint32_t ib = m_pRenderer->CreateIndexBuffer(4, 0);
  uint16_t* idx = m_pRenderer->LockIndexBuffer(ib, 0, 0, 0);
  for (uint16_t i = 0; i < 4; ++i) idx[i] = i;
  m_pRenderer->UnlockIndexBuffer(ib);
  EXPECT_EQ(3, m_pRenderer->LockIndexBuffer(ib, 1, 3, kLOCKFLAG_READONLY)[0]);
  m_pRenderer->UnlockIndexBuffer(ib);
}

class VertexWithoutQueries : public rtest::RendererFixture {};

TEST_F(VertexWithoutQueries, QueriesDoNothing) {
  hooks().extensionsToHide = "GL_ARB_occlusion_query";
  ASSERT_TRUE(Start(kSize, kSize));
  EXPECT_FALSE(m_pRenderer->GetDeviceSupport().m_bOcclusionQueries);
  m_pRenderer->BeginVisibilityTest();
  EXPECT_FALSE(m_pRenderer->EndVisibilityTest(1));
  EXPECT_EQ(0u, m_pRenderer->GetVisibilityTestResult(1));
  EXPECT_EQ(nullptr, m_pRenderer->m_pQueryList);
}

// ---------------------------------------------------------------------------

class VertexDeathTest : public Vertex {
protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Vertex::SetUp();
    gfxtest::StopTraces();
  }
};

TEST_F(VertexDeathTest, LimitsAreFatal) {
  EXPECT_EXIT(m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION, 65537, 0, "Too large"),
              ::testing::ExitedWithCode(255), "dwVertexCount <= kMAX_VERTICES_PER_BUFFER");
  EXPECT_NE(0u, m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION, 65536, 0, "Largest"));
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 32768, 0, "Draw");
  UseShaders(m_hColourVS);
  EXPECT_EXIT(m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_POINTLIST, 32768, 0),
              ::testing::ExitedWithCode(255), "dwVertexCount <= kMAX_VERTICES_PER_RENDER");
  m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_POINTLIST, 32767, 0);
  EXPECT_EQ(1u, m_pRenderer->m_FrameStats.m_dwRenderBatches);
}

TEST_F(VertexDeathTest, LockMisuseIsFatal) {
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 16, 0, "Locked");
  EXPECT_EXIT(m_pRenderer->UnlockVertexBuffer(vb), ::testing::ExitedWithCode(255), "m_dwLockCount");
  EXPECT_EXIT(m_pRenderer->LockVertexBuffer(vb, 2, 15, 0), ::testing::ExitedWithCode(255),
              "dwVertexOffset \\+ dwVertexCount <= m_dwVertexCount");
  m_pRenderer->LockVertexBuffer(vb, 0, 0, 0);
  EXPECT_EXIT(m_pRenderer->LockVertexBuffer(vb, 4, 0, 0), ::testing::ExitedWithCode(255), "m_dwLockCount == 0");
  EXPECT_EXIT(m_pRenderer->DeleteVertexBuffer(vb), ::testing::ExitedWithCode(255), "!pPool->m_dwLockCount");
  m_pRenderer->UnlockVertexBuffer(vb);
}

TEST_F(VertexDeathTest, BadDrawsAreFatal) {
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 16, 0, "Draw");
  uint32_t ib = m_pRenderer->CreateIndexBuffer(6, 0);
  UseShaders(m_hColourVS);
  EXPECT_EXIT(m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_QUADLIST, 4, 0), ::testing::ExitedWithCode(255),
              "Unknown draw mode");
  EXPECT_EXIT(m_pRenderer->DrawIndexedVertexBuffer(vb, ib, kVBDRAWMODE_TRIANGLELIST, 0, 0),
              ::testing::ExitedWithCode(255), "dwIndexCount");
  EXPECT_EXIT(m_pRenderer->DrawIndexedVertexBuffer(vb, ib, kVBDRAWMODE_TRIANGLELIST, 6, 3),
              ::testing::ExitedWithCode(255), "dwIndexCount \\+ dwIndexOffset <= pIB->m_dwIndexCount");
  EXPECT_EXIT(m_pRenderer->DrawUnindexedVertexBuffers(kVBDRAWMODE_POINTLIST, 9, &vb, 1, 0),
              ::testing::ExitedWithCode(255), "iStreamCount >= 1 && iStreamCount <= kMAX_VERTEX_STREAMS");
  m_pRenderer->EndRender();
  EXPECT_EXIT(m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_POINTLIST, 3, 0), ::testing::ExitedWithCode(255),
              "RenderingAllowed");
}

TEST_F(VertexDeathTest, PushBufferMisuseIsFatal) {
  uint32_t* cursor = m_pRenderer->BeginPush(kVBDRAWMODE_POINTLIST, 2);
  EXPECT_EXIT(m_pRenderer->BeginPush(kVBDRAWMODE_POINTLIST, 2), ::testing::ExitedWithCode(255), "!m_pdwPushBuffer");
  RendererPushData(cursor, 1.0f);
  RendererPushData(cursor, 2.0f);
  // A third word would run past the two asked for.
  EXPECT_EXIT(RendererPushData(cursor, 3.0f), ::testing::ExitedWithCode(255),
              "m_dwPushBytes \\+ dwBytes <= m_dwPushCapacity");
  EXPECT_EXIT(m_pRenderer->EndPush(cursor - 3), ::testing::ExitedWithCode(255),
              "m_pdwPushBuffer && pdwPush >= m_pdwPushBuffer");
  m_pRenderer->ClearVertexShader();
  m_pRenderer->EndPush(cursor);
}

}  // namespace
