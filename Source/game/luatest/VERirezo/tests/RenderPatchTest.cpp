// Render patches: the level from the screen size, the curved triangle and
// its control points, tessellation counts, and the draw in batches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "EffectStoreTestSupport.h"
#include "VERirezo/RenderPatch.h"

namespace {

VERTEX_1TEX_NORM V(const EVec3& p, const EVec3& n, float s = 0, float t = 0) { return {p, n.GetNormal(), EVec2(s, t)}; }

TEST(RenderPatchMath, LevelFollowsTheScreenDiagonal) {
  struct Case {
    float d;
    int level;
  } cases[] = {{0, 0}, {150, 0}, {161, 0}, {163, 1}, {325, 8}, {500, 15}, {5000, 15}};
  for (const Case& c : cases) EXPECT_EQ(c.level, ERenderPatchManager::LevelForDiagonal(c.d)) << c.d;
}

TEST(RenderPatchMath, CornersAtUnitWeightsAndFlatTrianglesStayFlat) {
  const EVec3 up(0, 0, 1);
  // Normals equal to the face normal, and normals bent outward.
  const VERTEX_1TEX_NORM flat[3] = {V(EVec3(0, 0, 5), up), V(EVec3(4, 0, 5), up), V(EVec3(0, 3, 5), up)};
  const VERTEX_1TEX_NORM bent[3] = {V(EVec3(0, 0, 0), EVec3(-1, -1, 2)), V(EVec3(4, 0, 0), EVec3(1, 0, 2)),
                                    V(EVec3(0, 3, 0), EVec3(0, 1, 2))};
  for (const VERTEX_1TEX_NORM* tri : {flat, bent}) {
    EVec3 cp[10], cn[6], p, n;
    ERenderPatchManager::BuildControlPoints(tri, cp, cn);
    const float w[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int k = 0; k < 3; ++k) {
      ERenderPatchManager::EvaluateBezierPoint(cp, cn, w[k][0], w[k][1], w[k][2], p, n);
      EXPECT_NEAR(0, (p - tri[k].vPos).Length(), 1e-5f) << "corner " << k;
      EXPECT_NEAR(0, (n - tri[k].vNormal).Length(), 1e-5f) << "corner " << k;
    }
  }
  EVec3 cp[10], cn[6], p, n;
  ERenderPatchManager::BuildControlPoints(flat, cp, cn);
  for (float u = 0; u <= 1.0f; u += 0.125f) {
    for (float v = 0; u + v <= 1.0f; v += 0.125f) {
      ERenderPatchManager::EvaluateBezierPoint(cp, cn, u, v, 1 - u - v, p, n);
      EXPECT_NEAR(5, p.z, 1e-4f) << u << " " << v;
      EXPECT_NEAR(0, (n - up).Length(), 1e-5f);
    }
  }
  // The bent triangle bulges out of its plane inside.
  ERenderPatchManager::BuildControlPoints(bent, cp, cn);
  ERenderPatchManager::EvaluateBezierPoint(cp, cn, 1 / 3.0f, 1 / 3.0f, 1 / 3.0f, p, n);
  EXPECT_GT(p.z, 0.1f);
}

TEST(RenderPatchMath, ADegenerateEdgeTakesTheSumOfItsNormals) {
  const VERTEX_1TEX_NORM tri[3] = {V(EVec3(1, 1, 1), EVec3(1, 0, 0)), V(EVec3(1, 1, 1), EVec3(0, 1, 0)),
                                   V(EVec3(0, 3, 0), EVec3(0, 0, 1))};
  EVec3 cp[10], cn[6];
  ERenderPatchManager::BuildControlPoints(tri, cp, cn);
  EXPECT_NEAR(0, (cn[1] - EVec3(1, 1, 0).GetNormal()).Length(), 1e-5f) << "the edge of corners 1 and 0";
}

TEST(RenderPatchMath, LevelFifteenMakes256TrianglesOfEachInput) {
  ERenderPatch patch;
  const EVec3 up(0, 0, 1);
  patch.m_iVertCount = 6;
  patch.m_pVerts = new VERTEX_1TEX_NORM[6]{V(EVec3(0, 0, 0), up, 0, 0), V(EVec3(1, 0, 0), up, 1, 0),
                                           V(EVec3(0, 1, 0), up, 0, 1), V(EVec3(1, 0, 0), up, 1, 0),
                                           V(EVec3(1, 1, 0), up, 1, 1), V(EVec3(0, 1, 0), up, 0, 1)};
  ERenderPatchManager::Tessellate(patch, 15);
  ASSERT_EQ(2 * 768, patch.m_iVertCount);
  // The small triangles tile each input triangle: their areas add up.
  for (int k = 0; k < 2; ++k) {
    float area = 0;
    for (int t = 0; t < 256; ++t) {
      const VERTEX_1TEX_NORM* q = patch.m_pVerts + 768 * k + 3 * t;
      area += 0.5f * std::fabs((q[1].vPos - q[0].vPos).Cross(q[2].vPos - q[0].vPos).z);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(q[c].vPos.x, q[c].vTex.x, 1e-3f) << "texture follows the position";
    }
    EXPECT_NEAR(0.5f, area, 1e-4f) << k;
  }
  ERenderPatch level0;
  level0.m_iVertCount = 3;
  level0.m_pVerts = new VERTEX_1TEX_NORM[3]{V(EVec3(0, 0, 0), up), V(EVec3(1, 0, 0), up), V(EVec3(0, 1, 0), up)};
  ERenderPatchManager::Tessellate(level0, 0);
  EXPECT_EQ(3, level0.m_iVertCount);
}

class RenderPatchDraw : public effecttest::EffectFixture {
protected:
  void SetUp() override {
    EffectFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pPatches = new ERenderPatchManager();
  }
  void DeleteStores() override {
    delete m_pPatches;
    m_pPatches = nullptr;
  }
  ERenderPatchManager* m_pPatches = nullptr;
};

TEST_F(RenderPatchDraw, WholeTrianglesOnlyAndEveryVertexDrawnInBatches) {
  const EVec3 up(0, 0, 1);
  const VERTEX_1TEX_NORM tri[3] = {V(EVec3(0, 0, 0), up), V(EVec3(1, 0, 0), up), V(EVec3(0, 1, 0), up)};
  m_pPatches->AddPatch(tri, 2, 0);
  EXPECT_EQ(0, m_pPatches->GetPatchArray()->GetNumUsed()) << "refused";
  EXPECT_EQ(1, gfxtest::CountTraces("AddPatch"));
  m_pApp->m_DebugHooks.m_bRenderPatches = false;
  m_pPatches->AddPatch(tri, 3, 0);
  EXPECT_EQ(0, m_pPatches->GetPatchArray()->GetNumUsed()) << "switched off";
  m_pApp->m_DebugHooks.m_bRenderPatches = true;

  // Six input triangles at level 15: 4608 vertices in two draws.
  std::vector<VERTEX_1TEX_NORM> six;
  for (int i = 0; i < 6; ++i) six.insert(six.end(), tri, tri + 3);
  m_pPatches->AddPatch(six.data(), (int)six.size(), 0);
  ERenderPatch& p = (*m_pPatches->GetPatchArray())[0];
  ERenderPatchManager::Tessellate(p, 15);
  ASSERT_EQ(4608, p.m_iVertCount);
  m_pPatches->DrawAll();
  EXPECT_EQ(2, m_pPatches->GetLastDrawCount());
  EXPECT_EQ(4608, m_pPatches->GetLastVertexCount());
  EXPECT_EQ(0, gfxtest::CountTraces("too small"));
  m_pPatches->ResetFrame();
  EXPECT_EQ(0, m_pPatches->GetPatchArray()->GetNumUsed());
}

TEST_F(RenderPatchDraw, BinaryAlphaTexturesCompareAgainstTheSceneThreshold) {
  const EVec3 up(0, 0, 1);
  const VERTEX_1TEX_NORM tri[3] = {V(EVec3(0, 0, 0), up), V(EVec3(1, 0, 0), up), V(EVec3(0, 1, 0), up)};
  // One-bit alpha (1555) against the threshold; any other alpha against 0.
  struct Case {
    TEXTUREFORMAT format;
    COMPAREFUNC func;
    int ref;
  } cases[] = {{kTEXTUREFORMAT_1555, kCMP_GREATEREQUAL, 150}, {kTEXTUREFORMAT_8888, kCMP_NOTEQUAL, 0}};
  for (const Case& c : cases) {
    const HTEXTURE h = m_pRenderer->CreateBitmapTexture(c.format, 4, 4, 1, 0);
    m_pPatches->AddPatch(tri, 3, m_pApp->m_pGameTextureManager->AddProceduralTexture(h, true, nullptr));
    m_pPatches->DrawAll();
    const ERenderState& s = m_pRenderer->GetCachedRenderState();
    EXPECT_EQ(c.func, s.m_eAlphaFunc) << c.format;
    EXPECT_EQ(c.ref, s.m_byAlphaRef);
    EXPECT_EQ(kCULL_NONE, s.m_eCullMode);
    m_pPatches->ResetFrame();
  }
}

}  // namespace
