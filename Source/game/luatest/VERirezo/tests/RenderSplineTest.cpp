// Render splines: smoothing, the tube's faces and texture runs, the buffer
// pairs, the overflow warning and the per-spline draw state.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "EffectStoreTestSupport.h"
#include "VERirezo/RenderSpline.h"

namespace {

struct GeomVertex {
  EVec3 pos, normal;
};
struct UV {
  float u, v;
};

class RenderSplines : public effecttest::EffectFixture {
protected:
  void SetUp() override {
    EffectFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pSplines = new ERenderSplineManager();
    m_idTexture = GameTexture(0xFFFFFFFFu);
  }
  void DeleteStores() override {
    delete m_pSplines;
    m_pSplines = nullptr;
  }
  void Add(const std::vector<EVec3>& points, uint32_t flags, float thickness = 3, BLENDMODE blend = kBLENDMODE_DECAL,
           float density = 1) {
    m_pSplines->AddSpline(points.data(), (int)points.size(), thickness, m_idTexture, density, 4, flags, blend);
  }
  // What the latest draw wrote.
  template <class T>
  std::vector<T> Read(int which) {
    const int n = m_pSplines->GetLastVertexCount();
    std::vector<T> out((size_t)n);
    const uint32_t vb = m_pSplines->GetVertexBuffer(2 * m_pSplines->GetBufferPair() + which);
    if (!n) return out;
    const T* p = static_cast<const T*>(m_pRenderer->LockVertexBuffer(vb, (unsigned)n, 0, kLOCKFLAG_READONLY));
    std::copy(p, p + n, out.begin());
    m_pRenderer->UnlockVertexBuffer(vb);
    return out;
  }

  ERenderSplineManager* m_pSplines = nullptr;
  unsigned m_idTexture = 0;
};

TEST_F(RenderSplines, SmoothingMakesPointsPerSpanUnlessTold) {
  const std::vector<EVec3> three = {EVec3(0, 0, 0), EVec3(10, 0, 0), EVec3(20, 5, 0)};
  Add(three, 0);
  Add(three, kRENDERSPLINEFLAG_NO_SMOOTHING);
  Add({EVec3(1, 2, 3)}, 0);
  m_pSplines->PreprocessAll();
  EDataArray<ERenderSpline>& a = *m_pSplines->GetSplineArray();
  ASSERT_EQ(3, a.GetNumUsed());
  EXPECT_EQ(7, a[0].m_iPointCount);
  EXPECT_EQ(3, a[1].m_iPointCount);
  EXPECT_EQ(1, a[2].m_iPointCount);
  // Every span ends on its end point.
  EXPECT_EQ(three[0], a[0].m_pPoints[0]);
  EXPECT_NEAR(0, (a[0].m_pPoints[3] - three[1]).Length(), 1e-4f);
  EXPECT_NEAR(0, (a[0].m_pPoints[6] - three[2]).Length(), 1e-4f);
  m_pSplines->DrawAll();
  EXPECT_EQ((6 + 2) * 24, m_pSplines->GetLastVertexCount()) << "the one-point spline draws nothing";
  m_pSplines->ResetFrame();
  EXPECT_EQ(0, a.GetNumUsed());
}

TEST_F(RenderSplines, TheTubesFacesAndTexture) {
  Add({EVec3(0, 0, 0), EVec3(10, 0, 0)}, kRENDERSPLINEFLAG_NO_SMOOTHING, 3, kBLENDMODE_DECAL, 0.5f);
  m_pSplines->PreprocessAll();
  m_pSplines->DrawAll();
  ASSERT_EQ(24, m_pSplines->GetLastVertexCount());
  const std::vector<GeomVertex> g = Read<GeomVertex>(0);
  const std::vector<UV> t = Read<UV>(1);
  // The first face: corners c0 c1 c3, c0 c3 c2.
  const EVec3 want[6] = {EVec3(0, 3, -3), EVec3(0, -3, -3), EVec3(10, -3, -3),
                         EVec3(0, 3, -3), EVec3(10, -3, -3), EVec3(10, 3, -3)};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(0, (g[i].pos - want[i]).Length(), 1e-4f) << i;
  EXPECT_NEAR(0, (g[0].normal - EVec3(0, 1, -1).GetNormal()).Length(), 1e-5f);
  EXPECT_NEAR(0, (g[1].normal - EVec3(0, -1, -1).GetNormal()).Length(), 1e-5f);
  const float k = 1 / 4096.0f;
  const UV uv[6] = {{k, 0}, {0, 0}, {0, 5 * k}, {k, 0}, {0, 5 * k}, {k, 5 * k}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(uv[i].u, t[i].u, 1e-9f) << i;
    EXPECT_NEAR(uv[i].v, t[i].v, 1e-9f) << i;
  }
  // v runs on across the four faces of a segment.
  EXPECT_NEAR(20 * k, t[23].v, 1e-8f);
}

TEST_F(RenderSplines, TextureRunsRestartAtSegmentFifteen) {
  std::vector<EVec3> points;
  for (int i = 0; i <= 20; ++i) points.push_back(EVec3((float)i, 0, 0));
  Add(points, kRENDERSPLINEFLAG_NO_SMOOTHING);
  m_pSplines->DrawAll();
  const std::vector<UV> t = Read<UV>(1);
  ASSERT_EQ(20 * 24, (int)t.size());
  EXPECT_GT(t[14 * 24].v, 0.0f) << "segment 14 continues the run";
  EXPECT_EQ(0.0f, t[15 * 24].v) << "segment 15 starts a run";
  EXPECT_NEAR(t[1 * 24].v, t[16 * 24].v, 1e-9f);
}

TEST_F(RenderSplines, PairsAlternateAndAnOverflowWarnsOncePerDraw) {
  const int before = m_pSplines->GetBufferPair();
  m_pSplines->DrawAll();
  EXPECT_NE(before, m_pSplines->GetBufferPair());
  m_pSplines->DrawAll();
  EXPECT_EQ(before, m_pSplines->GetBufferPair());

  std::vector<EVec3> points;
  for (int i = 0; i <= 400; ++i) points.push_back(EVec3((float)i, 0, 0));
  Add(points, kRENDERSPLINEFLAG_NO_SMOOTHING);
  m_pSplines->DrawAll();
  EXPECT_EQ(8088, m_pSplines->GetLastVertexCount()) << "whole faces up to the 8092 of the buffers";
  EXPECT_EQ(1, gfxtest::CountTraces("Spline VBs too small (8092 verts)"));
  m_pSplines->DrawAll();
  EXPECT_EQ(2, gfxtest::CountTraces("Spline VBs too small"));
}

TEST_F(RenderSplines, ASegmentAlongUpStillHasFourFaces) {
  Add({EVec3(0, 0, 0), EVec3(0, 10, 0)}, kRENDERSPLINEFLAG_NO_SMOOTHING, 2);
  m_pSplines->DrawAll();
  const std::vector<GeomVertex> g = Read<GeomVertex>(0);
  ASSERT_EQ(24u, g.size());
  for (int f = 0; f < 4; ++f) {
    const EVec3 a = g[6 * f].pos, b = g[6 * f + 1].pos, c = g[6 * f + 2].pos;
    EXPECT_TRUE(std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z)) << f;
    EXPECT_GT((b - a).Cross(c - a).Length(), 1.0f) << "face " << f << " has area";
  }
}

// Each spline is drawn under its own blend and depth writing.
TEST_F(RenderSplines, EachSplineDrawsUnderItsOwnState) {
  Add({EVec3(0, 0, 0), EVec3(10, 0, 0)}, kRENDERSPLINEFLAG_NO_SMOOTHING, 3, kBLENDMODE_ADD);
  Add({EVec3(0, 5, 0), EVec3(10, 5, 0)}, kRENDERSPLINEFLAG_NO_SMOOTHING, 3, kBLENDMODE_DECAL);
  m_pSplines->DrawAll();
  EXPECT_EQ(2, m_pSplines->GetLastDrawCount());
  const ERenderState& s = m_pRenderer->GetCachedRenderState();
  EXPECT_EQ(kBLENDMODE_DECAL, s.m_eBlendMode);
  EXPECT_TRUE(s.m_bZWriteEnable) << "the second spline writes depth again";
}

TEST_F(RenderSplines, NothingIsAddedWhileSwitchedOff) {
  m_pApp->m_DebugHooks.m_bRenderSplines = false;
  Add({EVec3(0, 0, 0), EVec3(1, 0, 0)}, 0);
  EXPECT_EQ(0, m_pSplines->GetSplineArray()->GetNumUsed());
}

}  // namespace
