// Decals: fades and expiry, glowing decals, the reach of a placement over
// fragments and meshes, strip fragments, the draw state and the projection.
#include <gtest/gtest.h>

#include <cmath>

#include "EffectStoreTestSupport.h"
#include "TWGraphics/Color.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Decal.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/ModelFrag.h"

namespace {

class DecalFixture : public effecttest::EffectFixture {
protected:
  void SetUp() override {
    EffectFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pDecals = new EDecalManager();
    m_idTexture = GameTexture(0xFFFFFFFFu);
  }
  void DeleteStores() override {
    delete m_pDecals;
    m_pDecals = nullptr;
  }
  // A hit on the mesh at the point, facing +z.
  static ECollide Hit(EMesh* pMesh, const EVec3& vPoint, EEntity* pEntity = nullptr) {
    ECollide q;
    q.eCollisionType = CCT_TriInterior;
    q.pMesh = pMesh;
    q.vEnd = vPoint;
    q.vNormal = EVec3(0, 0, 1);
    q.pEntity = pEntity;
    return q;
  }
  uint32_t Attach(EMesh* pMesh, float life, float fadeIn, float fadeOut, const EVec4* pColour = nullptr,
                  const EVec2* pSize = nullptr) {
    return m_pDecals->AttachDecal(m_idTexture, Hit(pMesh, EVec3(0.2f, 0.2f, 0)), EVec3(0, 1, 0), life, 0, pColour,
                                  pSize, 0, fadeIn, fadeOut);
  }
  void At(double t) { m_pApp->SetSimElapsedTime(t); }

  EDecalManager* m_pDecals = nullptr;
  unsigned m_idTexture = 0;
};

TEST_F(DecalFixture, LifeAndFadesSetExpiryAndFadeTimes) {
  EMesh* wall = Mesh({Tri(0, 0)});
  struct Case {
    float life, fadeIn, fadeOut;
    float wantExpire, wantIn, wantOut;
  } cases[] = {
      {-1, 1, 1, -1, 1, 0},      // never expires: no fade-out
      {0.5f, 1, 1, 10.5f, 0.25f, 0.25f},
      {0, 1, 1, 10, 0, 0},
      {5, -2, 1, 15, 0, 1},      // negative fades are 0
      {5, 1, 2, 15, 1, 2},
  };
  At(10);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.life);
    const EDecal* d = m_pDecals->GetDecal(Attach(wall, c.life, c.fadeIn, c.fadeOut));
    ASSERT_NE(nullptr, d);
    EXPECT_FLOAT_EQ(c.wantExpire, d->m_fExpireTime);
    EXPECT_FLOAT_EQ(c.wantIn, d->m_fFadeInTime);
    EXPECT_FLOAT_EQ(c.wantOut, d->m_fFadeOutTime);
    EXPECT_EQ(1, d->m_iPolyRefCount);
  }
}

TEST_F(DecalFixture, FadeFactorOverTheLife) {
  EDecal forever, timed;
  forever.m_fCreateTime = timed.m_fCreateTime = 10;
  forever.m_fExpireTime = -1;
  forever.m_fFadeInTime = 1;
  timed.m_fExpireTime = 14;
  timed.m_fFadeInTime = 1;
  timed.m_fFadeOutTime = 2;
  struct Case {
    const EDecal* d;
    float now, want;
  } cases[] = {{&forever, 10.5f, 0.5f}, {&forever, 11.5f, 1}, {&forever, 100, 1}, {&timed, 10.25f, 0.25f},
               {&timed, 12, 1},         {&timed, 13, 0.5f},     {&timed, 13.5f, 0.25f}};
  for (const Case& c : cases) EXPECT_NEAR(c.want, EDecalManager::GetFadeFactor(*c.d, c.now), 1e-5f) << c.now;
  EDecal plain;
  plain.m_fCreateTime = 0;
  plain.m_fExpireTime = 1;
  EXPECT_EQ(1.0f, EDecalManager::GetFadeFactor(plain, 0.99f)) << "no fade times: no fade";
}

TEST_F(DecalFixture, ExpiringHalvesAlphaAtOnceAndDropsTheDecalASecondLater) {
  EMesh* wall = Mesh({Tri(0, 0)});
  const uint32_t id = Attach(wall, 100, 0, 2);
  At(5);
  m_pDecals->ExpireDecal(id);
  EXPECT_FLOAT_EQ(0.5f, EDecalManager::GetFadeFactor(*m_pDecals->GetDecal(id), 5));
  At(5.99);
  m_pDecals->PreprocessAll();
  EXPECT_EQ(1, m_pDecals->GetDrawCount());
  At(6.01);
  m_pDecals->PreprocessAll();
  EXPECT_EQ(0, m_pDecals->GetDrawCount());
  EXPECT_EQ(nullptr, m_pDecals->GetDecal(id));
  // Unknown ids and 0 do nothing.
  m_pDecals->ExpireDecal(id);
  m_pDecals->RemoveDecal(0);
  m_pDecals->RemoveDecal(0x8000FFFFu);
}

TEST_F(DecalFixture, NegativeAlphaGlowsAndTellsTheGlarePass) {
  EMesh* wall = Mesh({Tri(0, 0)});
  const EVec4 glow(1, 0, 0, -0.5f), plain(0, 1, 0, 0.5f);
  const uint32_t a = Attach(wall, -1, 0, 0, &glow), b = Attach(wall, -1, 0, 0, &plain);
  EXPECT_EQ((uint32_t)kDECALFLAG_GLOW, m_pDecals->GetDecal(a)->m_dwFlags);
  EXPECT_EQ(0u, m_pDecals->GetDecal(b)->m_dwFlags);
  EXPECT_NEAR(0.5f, ColorVectorFromRGBA(m_pDecals->GetDecal(a)->m_dwColor).w, 0.003f);
  EXPECT_EQ(0xFFFFFFFFu, m_pDecals->GetDecal(Attach(wall, -1, 0, 0))->m_dwColor) << "no colour: opaque white";
  m_pDecals->PreprocessAll();
  EXPECT_TRUE(m_pApp->m_bGlowingDecals);
  m_pDecals->RemoveDecal(a);
  m_pDecals->PreprocessAll();
  EXPECT_FALSE(m_pApp->m_bGlowingDecals);
}

TEST_F(DecalFixture, ADecalThatReachesNothingIsDroppedByTheNextPreprocess) {
  EMesh* far = Mesh({Tri(50, 50)});
  const uint32_t id = Attach(far, -1, 0, 0);
  ASSERT_NE(0u, id) << "returned all the same";
  EXPECT_FLOAT_EQ(0.1f, m_pDecals->GetDecal(id)->m_fExpireTime);
  At(0.2);
  m_pDecals->PreprocessAll();
  EXPECT_EQ(nullptr, m_pDecals->GetDecal(id));
  // No texture, or no triangle hit: no decal.
  EXPECT_EQ(0u, m_pDecals->AttachDecal(0, Hit(far, EVec3(0, 0, 0)), EVec3(0, 1, 0), -1, 0));
  ECollide none = Hit(far, EVec3(0, 0, 0));
  none.eCollisionType = CCT_None;
  EXPECT_EQ(0u, m_pDecals->AttachDecal(m_idTexture, none, EVec3(0, 1, 0), -1, 0));
}

// Only the triangles inside the reach sphere are kept, in their order; the
// rest of the fragment is not drawn.
TEST_F(DecalFixture, KeepsTheReachedTrianglesOfAListFragment) {
  // Three triangles at x = 0, 10 and 0.3 of one fragment.
  EMesh* wall = Mesh({Frag({0, 0, 0, 1, 0, 0, 0, 1, 0, 10, 0, 0, 11, 0, 0, 10, 1, 0, 0.3f, 0, 0, 1.3f, 0, 0, 0.3f, 1, 0},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8}, false)});
  const EDecal* d = m_pDecals->GetDecal(Attach(wall, -1, 0, 0));
  ASSERT_EQ(1, d->m_iPolyRefCount);
  const DecalPolyRef& ref = d->m_aPolyRefs[0];
  EXPECT_EQ(2, ref.iPolyCount);
  ASSERT_NE(0u, ref.idIndexBuffer);
  ASSERT_EQ(6u, m_pRenderer->GetIndexBufferCount(ref.idIndexBuffer));
  const uint16_t* ix = m_pRenderer->LockIndexBuffer(ref.idIndexBuffer, 0, 0, kLOCKFLAG_READONLY);
  const std::vector<uint16_t> got(ix, ix + 6), want = {0, 1, 2, 6, 7, 8};
  m_pRenderer->UnlockIndexBuffer(ref.idIndexBuffer);
  EXPECT_EQ(want, got);
}

TEST_F(DecalFixture, AStripFragmentNeverYieldsADegenerateTriangle) {
  // A strip 0 1 2 2 3 3 4 5 with its joining triangles degenerate, every
  // corner near the hit.
  EMesh* wall = Mesh({Frag({0, 0, 0, 0.5f, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0, 0.2f, 0.1f, 0, 0.3f, 0.4f, 0},
                           {0, 1, 2, 2, 3, 3, 4, 5}, true)});
  const EDecal* d = m_pDecals->GetDecal(Attach(wall, -1, 0, 0));
  ASSERT_EQ(1, d->m_iPolyRefCount);
  const DecalPolyRef& ref = d->m_aPolyRefs[0];
  ASSERT_NE(0u, ref.idIndexBuffer);
  const unsigned n = m_pRenderer->GetIndexBufferCount(ref.idIndexBuffer);
  EXPECT_EQ(3u * (unsigned)ref.iPolyCount, n);
  EXPECT_EQ(2, ref.iPolyCount) << "(0 1 2) and (3 4 5)... of the six strip triangles only the proper ones";
  const uint16_t* ix = m_pRenderer->LockIndexBuffer(ref.idIndexBuffer, 0, 0, kLOCKFLAG_READONLY);
  for (unsigned t = 0; t + 2 < n; t += 3)
    EXPECT_TRUE(ix[t] != ix[t + 1] && ix[t + 1] != ix[t + 2] && ix[t] != ix[t + 2]) << "triangle " << t / 3;
  m_pRenderer->UnlockIndexBuffer(ref.idIndexBuffer);
}

TEST_F(DecalFixture, AtMostFortyEntriesTheHitEntitysMeshFirst) {
  std::vector<ModelFragDesc> near;
  for (int i = 0; i < 30; ++i) near.push_back(Tri(0, 0));
  EMesh* level = Mesh(near);
  EMesh* prop = Mesh(near, false);
  // An out-of-reach fragment still costs nothing; one in reach whose
  // triangles miss counts as an entry.
  EEntity* entity = new EMeshEntity(m_pLevel, "Prop");
  const uint32_t id =
      m_pDecals->AttachDecal(m_idTexture, Hit(prop, EVec3(0.2f, 0.2f, 0), entity), EVec3(0, 1, 0), -1, 0);
  const EDecal* d = m_pDecals->GetDecal(id);
  ASSERT_EQ(40, d->m_iPolyRefCount);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(prop, d->m_aPolyRefs[i].pMeshFrag->m_pMesh) << i;
  for (int i = 30; i < 40; ++i) EXPECT_EQ(level, d->m_aPolyRefs[i].pMeshFrag->m_pMesh) << i;
  EXPECT_EQ(entity, d->m_pEntity);
  EXPECT_TRUE(m_pDecals->RemoveReferences(prop, 0));
  EXPECT_EQ(nullptr, m_pDecals->GetDecal(id));
  delete prop;
  entity->InternalDelayedDelete();
  delete entity;
}

// The reach sphere is taken into each fragment mesh's own space with its
// scale: a mesh drawn at a tenth of its size reaches as far as it looks.
TEST_F(DecalFixture, TheReachFollowsTheScaleOfTheFragmentsMesh) {
  EMesh* small = Mesh({Tri(5, 0)});  // at x 0.5 in the world
  small->SetScale(EVec3(0.1f, 0.1f, 0.1f));
  const EDecal* d = m_pDecals->GetDecal(m_pDecals->AttachDecal(m_idTexture, Hit(small, EVec3(0.2f, 0, 0)),
                                                              EVec3(0, 1, 0), -1, 0));
  ASSERT_EQ(1, d->m_iPolyRefCount);
  EXPECT_EQ(1, d->m_aPolyRefs[0].iPolyCount);
}

TEST_F(DecalFixture, RemoveReferencesMatchesMeshAndTexture) {
  EMesh* a = Mesh({Tri(0, 0)});
  EMesh* b = Mesh({Tri(0, 0)});
  const unsigned other = GameTexture(0xFF00FF00u);
  auto attach = [&](EMesh* m, unsigned tex) {
    return m_pDecals->AttachDecal(tex, Hit(m, EVec3(0.2f, 0.2f, 0)), EVec3(0, 1, 0), -1, 0);
  };
  const uint32_t aT = attach(a, m_idTexture), aO = attach(a, other), bT = attach(b, m_idTexture);
  EXPECT_TRUE(m_pDecals->RemoveReferences(nullptr, other));
  EXPECT_EQ(nullptr, m_pDecals->GetDecal(aO));
  EXPECT_FALSE(m_pDecals->RemoveReferences(nullptr, other));
  EXPECT_TRUE(m_pDecals->RemoveReferences(a, 0));
  EXPECT_EQ(nullptr, m_pDecals->GetDecal(aT));
  EXPECT_NE(nullptr, m_pDecals->GetDecal(bT));
  EXPECT_TRUE(m_pDecals->RemoveReferences(nullptr, 0));
  EXPECT_EQ(0, m_pDecals->GetDecalArray()->GetNumUsed());
}

TEST_F(DecalFixture, DrawStateAndProjection) {
  ERenderState s;
  EDecalManager::SetupRenderState(s);
  EXPECT_EQ(14, s.m_byZBias);
  EXPECT_EQ(kCMP_GREATER, s.m_eAlphaFunc);
  EXPECT_EQ(10, s.m_byAlphaRef);
  EXPECT_TRUE(s.m_bAlphaTestEnable);
  EXPECT_EQ(kCULL_NONE, s.m_eCullMode);
  EXPECT_TRUE(s.m_bZEnable);
  EXPECT_FALSE(s.m_bZWriteEnable);
  EXPECT_EQ(kBLENDMODE_ALPHA_BLEND, s.m_eBlendMode);

  // A 4 x 2 decal at (10, 20, 30) on a wall facing +z, up +y: its centre
  // maps to the middle of the texture and its edges to 0 and 1, wherever
  // the mesh is placed.
  EDecal d;
  d.m_vPos = EVec3(10, 20, 30);
  d.m_vNormal = EVec3(0, 0, 1);
  d.m_vUp = EVec3(0, 2, 0);
  d.m_vRight = EVec3(-4, 0, 0);
  const EMat4 meshToWorld = MatrixTranslate(EVec3(10, 0, 0));
  const EMat4 m = EDecalManager::GetProjectionMatrix(d, meshToWorld);
  struct Case {
    EVec3 meshPoint;
    float s, t;
  } cases[] = {{EVec3(0, 20, 30), 0.5f, 0.5f},
               {EVec3(0, 21, 30), 0.5f, 1.0f},
               {EVec3(0, 19, 30), 0.5f, 0.0f},
               {EVec3(0, 20, 0), 0.5f, 0.5f}};
  for (const Case& c : cases) {
    const EVec3 tex = m.MulVec3(c.meshPoint);
    EXPECT_NEAR(c.s, tex.x, 1e-4f) << c.meshPoint.y << " " << c.meshPoint.z;
    EXPECT_NEAR(c.t, tex.y, 1e-4f) << c.meshPoint.y << " " << c.meshPoint.z;
  }
  const float a = m.MulVec3(EVec3(2, 20, 30)).x, b = m.MulVec3(EVec3(-2, 20, 30)).x;
  EXPECT_NEAR(1.0f, std::fabs(a - b), 1e-4f) << "the width spans the texture";
}

// The glare pass draws the glowing decals only; both passes skip fragments
// not seen in this frame.
TEST_F(DecalFixture, GlarePassDrawsGlowingDecalsOnVisibleFragments) {
  EMesh* wall = Mesh({Frag({0, 0, 0, 1, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0}, {0, 1, 2, 1, 3, 2}, false)});
  const EVec4 glow(1, 1, 1, -0.5f);
  Attach(wall, -1, 0, 0, &glow);
  Attach(wall, -1, 0, 0);
  m_pDecals->PreprocessAll();
  ASSERT_EQ(2, m_pDecals->GetDrawCount());
  m_pDecals->DrawAll(false);
  EXPECT_EQ(0, m_pDecals->GetPolysDrawn()) << "the fragment was not seen this frame";
  wall->GetMeshFrag(0)->m_iVisibleFrame = m_pApp->m_iFrameCount;
  m_pDecals->DrawAll(true);
  EXPECT_EQ(2, m_pDecals->GetPolysDrawn()) << "the glowing decal's two triangles";
  m_pDecals->DrawAll(false);
  EXPECT_EQ(6, m_pDecals->GetPolysDrawn()) << "then both decals";
  const ERenderState& s = m_pRenderer->GetCachedRenderState();
  EXPECT_EQ(14, s.m_byZBias);
  EXPECT_FALSE(s.m_bZWriteEnable);
}

}  // namespace
