// Debug lines and triangles: queueing, culling, groups, shapes and batches.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "VERirezo/DebugLine.h"

namespace {

// An application whose current and render camera stands at the origin
// looking down -Z on an 800 x 600 viewport.
class DebugLineFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_Camera.SetPosition(EVec3(0, 0, 0));
    m_Camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    m_Camera.SetViewportWidth(800);
    m_Camera.SetViewportHeight(600);
    m_Camera.UpdateMatrices();
    m_pApp->m_aCameraChannels[0].m_pCamera = &m_Camera;
    m_pApp->SetRenderCamera(&m_Camera);
  }
  void TearDown() override {
    m_pApp->m_aCameraChannels[0].m_pCamera = nullptr;
    m_pApp->SetRenderCamera(nullptr);
    gGameApp = nullptr;
    delete m_pApp;
  }
  int Queued(EDebugLineManager& m) { return m.GetLineCount(0) + m.GetLineCount(1); }

  PCGameApp* m_pApp = nullptr;
  ECamera m_Camera;
};

TEST_F(DebugLineFixture, LinesOutsideTheViewAreQueuedOnlyWithoutCulling) {
  EDebugLineManager lines;
  const EVec3 behindA(0, 0, 50), behindB(10, 0, 60);
  lines.AddLine(behindA, behindB, nullptr, 0);
  EXPECT_EQ(0, Queued(lines));
  lines.AddLine(behindA, behindB, nullptr, kDEBUGLINE_NO_CULL);
  EXPECT_EQ(1, lines.GetLineCount(0));
  lines.AddLine(EVec3(0, 0, -100), EVec3(5, 0, -100), nullptr, kDEBUGLINE_NO_DEPTH);
  EXPECT_EQ(1, lines.GetLineCount(1)) << "flag 0x2 is group 1";
  const EVec4 red(1, 0, 0, 1);
  lines.AddLine(EVec3(0, 0, -100), EVec3(5, 0, -100), &red, 0);
  EXPECT_EQ(2, lines.GetLineCount(0));
  // The stored colours: white without a colour, the packed colour with one.
  EDataArray<EDebugLine>& pool = *lines.GetPool();
  EXPECT_EQ(0xFFFFFFFFu, pool[0].m_aVerts[0].m_dwColor);
  EXPECT_EQ(0xFFFF0000u, pool[2].m_aVerts[1].m_dwColor);
  EXPECT_EQ((uint32_t)kDEBUGLINE_NO_DEPTH, pool[1].m_dwFlags);
}

TEST_F(DebugLineFixture, AFrameHoldsAtMost16384LinesAndTheNextStartsAtZero) {
  EDebugLineManager lines;
  const EVec3 a(0, 0, -100), b(1, 0, -100);
  for (int i = 0; i < kMAX_DEBUG_LINES; ++i) lines.AddLine(a, b, nullptr, i & 1 ? kDEBUGLINE_NO_DEPTH : 0);
  EXPECT_EQ(kMAX_DEBUG_LINES, Queued(lines));
  lines.AddLine(a, b, nullptr, 0);
  lines.AddLine(a, b, nullptr, kDEBUGLINE_NO_DEPTH);
  EXPECT_EQ(kMAX_DEBUG_LINES, Queued(lines));
  EXPECT_EQ(kMAX_DEBUG_LINES, lines.GetPool()->GetNumUsed());
  lines.ResetFrame();
  EXPECT_EQ(0, Queued(lines));
  EXPECT_EQ(0, lines.GetPool()->GetNumUsed());
  lines.AddLine(a, b, nullptr, 0);
  EXPECT_EQ(1, Queued(lines));
  EXPECT_GT(lines.GetPool()->GetAllocCount(), 1024) << "the pool keeps its grown size";
  lines.RestoreSize();
  EXPECT_EQ(1024, lines.GetPool()->GetAllocCount());
}

TEST_F(DebugLineFixture, ShapesQueueTheirLines) {
  struct Case {
    const char* name;
    int lines;
    void (*add)(EDebugLineManager&);
  } cases[] = {
      {"arrow", 3, [](EDebugLineManager& m) { m.AddArrow(EVec3(0, 0, -100), EVec3(30, 0, -100), nullptr, 0); }},
      {"box", 12,
       [](EDebugLineManager& m) { m.AddBox(EBox3(EVec3(-1, -1, -101), EVec3(1, 1, -99)), nullptr, nullptr, 0); }},
      {"circle", 28, [](EDebugLineManager& m) { m.AddCircle(MatrixTranslate(0, 0, -100), 5, nullptr, 0); }},
      {"cylinder", 62,
       [](EDebugLineManager& m) { m.AddCylinder(MatrixTranslate(0, 0, -100), 10, 5, 3, nullptr, 0); }},
      {"transformed sphere", 84,
       [](EDebugLineManager& m) { m.AddTransformedSphere(MatrixTranslate(0, 0, -100), 5, nullptr); }},
  };
  for (const Case& c : cases) {
    EDebugLineManager lines;
    c.add(lines);
    EXPECT_EQ(c.lines, Queued(lines)) << c.name;
  }
}

TEST_F(DebugLineFixture, BoxEdgesInTheirOrder) {
  EDebugLineManager lines;
  lines.AddBox(EBox3(EVec3(0, 0, -101), EVec3(1, 1, -100)), nullptr, nullptr, 0);
  EDataArray<EDebugLine>& pool = *lines.GetPool();
  // c0-c1 first (min x, min y, min z to max z), c6-c2 last.
  EXPECT_EQ(EVec3(0, 0, -101), pool[0].m_aVerts[0].m_vPosition);
  EXPECT_EQ(EVec3(0, 0, -100), pool[0].m_aVerts[1].m_vPosition);
  EXPECT_EQ(EVec3(1, 1, -101), pool[11].m_aVerts[0].m_vPosition);
  EXPECT_EQ(EVec3(0, 1, -101), pool[11].m_aVerts[1].m_vPosition);
}

TEST_F(DebugLineFixture, SphereSegmentsFollowItsSizeOnScreen) {
  struct Case {
    float distance, radius;
    int perCircle;
  } cases[] = {{40000, 1, 8}, {30, 25, 96}};
  for (const Case& c : cases) {
    EDebugLineManager lines;
    lines.AddSphere(EVec3(0, 0, -c.distance), c.radius, nullptr);
    EXPECT_EQ(3 * c.perCircle, lines.GetLineCount(0)) << c.distance;
  }
  EDebugLineManager lines;
  lines.AddSphere(EVec3(0, 0, 500), 10, nullptr);
  EXPECT_EQ(0, Queued(lines)) << "a sphere behind the camera is culled whole";
}

TEST_F(DebugLineFixture, ADeferredSphereIsQueuedOnce) {
  EDebugLineManager lines;
  lines.AddDeferredSphere(ESphere(EVec3(0, 0, -100), 5));
  lines.AddDeferredSphere(ESphere(EVec3(0, 0, -100), 5));
  lines.AddDeferredSphere(ESphere(EVec3(0, 0, -100), 6));
  EXPECT_EQ(2, lines.GetDeferredSphereCount());
  EXPECT_EQ(0, Queued(lines));
}

TEST_F(DebugLineFixture, BackFacingTrianglesAreDroppedOrTurnedRound) {
  EDebugTriManager tris;
  // Facing the camera (normal towards +Z in this winding) and facing away.
  const ETri3 facing(EVec3(0, 0, -100), EVec3(0, 10, -100), EVec3(10, 0, -100));
  const ETri3 away(EVec3(0, 0, -100), EVec3(10, 0, -100), EVec3(0, 10, -100));
  ASSERT_GT((EVec3(0, 0, 0) - facing.p0).Dot(facing.GetFaceNormal()), 0.0f);
  const EVec4 colours[3] = {EVec4(1, 0, 0, 1), EVec4(0, 1, 0, 1), EVec4(0, 0, 1, 1)};
  tris.AddTri(away, colours, 0);
  EXPECT_EQ(0, tris.GetTriCount(0));
  tris.AddTri(facing, colours, 0);
  tris.AddTri(away, colours, kDEBUGTRI_TWO_SIDED);
  ASSERT_EQ(2, tris.GetTriCount(0));
  const EDebugTri& kept = (*tris.GetPool())[0];
  EXPECT_EQ(facing.p1, kept.m_aVerts[1].m_vPosition);
  EXPECT_EQ(0xFF00FF00u, kept.m_aVerts[1].m_dwColor);
  const EDebugTri& turned = (*tris.GetPool())[1];
  EXPECT_EQ(away.p1, turned.m_aVerts[0].m_vPosition);
  EXPECT_EQ(away.p0, turned.m_aVerts[1].m_vPosition);
  EXPECT_EQ(away.p2, turned.m_aVerts[2].m_vPosition);
  EXPECT_EQ(0xFF00FF00u, turned.m_aVerts[0].m_dwColor) << "each corner keeps its own colour";
  EXPECT_EQ(0xFFFF0000u, turned.m_aVerts[1].m_dwColor);
  EXPECT_EQ(0xFF0000FFu, turned.m_aVerts[2].m_dwColor);
}

TEST_F(DebugLineFixture, TriangleGroupsAndColours) {
  const ETri3 facing(EVec3(0, 0, -100), EVec3(0, 10, -100), EVec3(10, 0, -100));
  const EVec4 translucent[3] = {EVec4(1, 1, 1, 0.5f), EVec4(1, 1, 1, 1), EVec4(1, 1, 1, 1)};
  const EVec4 red(1, 0, 0, 1);
  struct Case {
    const EVec4* colours;
    uint32_t flags;
    int group;
  } cases[] = {
      {nullptr, 0, 0},
      {translucent, 0, 1},
      {translucent, kDEBUGTRI_WIREFRAME, 2},
      {nullptr, kDEBUGTRI_WIREFRAME, 2},
      {&red, kDEBUGTRI_ONE_COLOR, 0},
  };
  for (const Case& c : cases) {
    EDebugTriManager tris;
    tris.AddTri(facing, c.colours, c.flags);
    EXPECT_EQ(1, tris.GetTriCount(c.group)) << c.flags;
  }
  EDebugTriManager tris;
  tris.AddTri(facing, &red, kDEBUGTRI_ONE_COLOR);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(0xFFFF0000u, (*tris.GetPool())[0].m_aVerts[k].m_dwColor);
  tris.ResetFrame();
  EXPECT_EQ(0, tris.GetTriCount(0));
  tris.AddTri(ETri3(EVec3(0, 0, 100), EVec3(0, 10, 100), EVec3(10, 0, 100)), nullptr, kDEBUGTRI_TWO_SIDED);
  EXPECT_EQ(0, tris.GetTriCount(0)) << "a triangle behind the camera is culled";
}

// Drawing needs a renderer.
class DebugLineDraw : public DebugLineFixture {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    DebugLineFixture::SetUp();
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 48);
    ASSERT_NE(nullptr, m_pRenderer);
    m_pRenderer->BeginRender();
  }
  void TearDown() override {
    GameApp::ReleaseShaderPasses();
    if (m_pRenderer) {
      m_pRenderer->EndRender();
      m_pRenderer->Shutdown();
      delete m_pRenderer;
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    if (m_pApp) DebugLineFixture::TearDown();
  }
  ERenderer* m_pRenderer = nullptr;
};

TEST_F(DebugLineDraw, LinesGoOutInBatchesOf510Vertices) {
  struct Case {
    int lines;
    int batches;
  } cases[] = {{1, 1}, {254, 1}, {255, 2}, {256, 2}, {510, 3}};
  for (const Case& c : cases) {
    EDebugLineManager lines;
    for (int i = 0; i < c.lines; ++i) lines.AddLine(EVec3(0, 0, -100), EVec3(1, 0, -100), nullptr, 0);
    lines.DrawAll();
    EXPECT_EQ(c.batches, lines.GetLastPushBatches()) << c.lines;
    EXPECT_EQ(32u * c.lines, lines.GetLastPushBytes()) << c.lines;
    EXPECT_EQ(c.lines, lines.GetLinesDrawn());
  }
  // Both groups drawn; the deferred spheres join in and are then gone.
  EDebugLineManager lines;
  lines.AddLine(EVec3(0, 0, -100), EVec3(1, 0, -100), nullptr, 0);
  lines.AddLine(EVec3(0, 0, -100), EVec3(1, 0, -100), nullptr, kDEBUGLINE_NO_DEPTH);
  lines.AddDeferredSphere(ESphere(EVec3(0, 0, -40000), 1));
  lines.DrawAll();
  EXPECT_EQ(2 + 24, lines.GetLinesDrawn());
  EXPECT_EQ(0, lines.GetDeferredSphereCount());
}

}  // namespace
