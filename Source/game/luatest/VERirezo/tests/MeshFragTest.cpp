// Mesh fragments: the pool, the visible lists and their sort, binding,
// material tests and the texture play mode.
#include <gtest/gtest.h>

#include <vector>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TexAnim.h"

namespace {

// An application with a render camera at the origin looking down -Z, and
// model fragments taken from their pool for the test.
class MeshFragFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_Camera.SetPosition(EVec3(0, 0, 0));
    m_Camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
    m_Camera.UpdateMatrices();
    m_pApp->SetRenderCamera(&m_Camera);
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    for (EModelFrag* f : m_ModelFrags) EModelFragManager::ModelFragDelete(f);
    m_pApp->SetRenderCamera(nullptr);
    gGameApp = nullptr;
    delete m_pApp;
  }
  EModelFrag* ModelFrag(uint32_t material, unsigned t0 = 0, unsigned t1 = 0) {
    EModelFrag* f = EModelFragManager::ModelFragNew();
    f->m_dwMaterialFlags = material;
    f->m_aTextures[0] = t0;
    f->m_aTextures[1] = t1;
    f->m_vColor = EVec4(1, 1, 1, 1);
    m_ModelFrags.push_back(f);
    return f;
  }

  PCGameApp* m_pApp = nullptr;
  ECamera m_Camera;
  std::vector<EModelFrag*> m_ModelFrags;
};

TEST_F(MeshFragFixture, ThePoolHolds3276Fragments) {
  EMeshFragManager manager;
  std::vector<EMeshFrag*> frags;
  for (int i = 0; i < EMeshFragManager::kMAX_MESH_FRAGS; ++i) {
    EMeshFrag* f = manager.MeshFragNew();
    ASSERT_NE(nullptr, f) << i;
    frags.push_back(f);
  }
  EXPECT_EQ(3276, manager.GetActiveCount());
  EXPECT_EQ(-1, frags.back()->m_iVisibleFrame) << "constructed";
  EXPECT_EQ(nullptr, manager.MeshFragNew());
  EXPECT_EQ(1, gfxtest::CountTraces("Exceeded maximum number of mesh fragments"));
  manager.MeshFragDelete(frags[7]);
  EXPECT_NE(nullptr, manager.MeshFragNew());
}

TEST_F(MeshFragFixture, PreprocessSortsOpaqueByTextureThenTransparentFarthestFirst) {
  EMeshFragManager manager;
  std::vector<EMeshFrag*> frags;
  for (int i = 0; i < 40; ++i) {
    EMeshFrag* f = manager.MeshFragNew();
    const bool transparent = (i * 7) % 3 == 0;
    EModelFrag* m = ModelFrag(transparent ? (uint32_t)kMATERIALFLAG_ALPHA : 0u, (unsigned)((i * 37) % 50), 4096u + i);
    const float z = -100.0f - (float)((i * 13) % 17) * 50.0f;
    m->m_Box = EBox3(EVec3(-1, -1, z - 1), EVec3(1, 1, z + 1));
    *f = *m;
    manager.MeshFragMarkVisible(f);
    frags.push_back(f);
  }
  ASSERT_EQ(40, manager.GetVisibleCount(kRENDERDOMAIN_SCENE));
  manager.PreprocessAll(0.016f);
  bool seenTransparent = false;
  float previous = 0;
  for (int i = 0; i < 40; ++i) {
    EMeshFrag* f = manager.GetVisibleMeshFrag(kRENDERDOMAIN_SCENE, i);
    const bool transparent = (f->m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) != 0;
    EXPECT_FALSE(seenTransparent && !transparent) << "an opaque fragment after a transparent one at " << i;
    if (transparent && !seenTransparent) {
      seenTransparent = true;
    } else if (i > 0) {
      if (transparent) EXPECT_LE(f->m_fSortKey, previous) << i;
      else EXPECT_GE(f->m_fSortKey, previous) << i;
    }
    if (!transparent) {
      const unsigned key = (f->m_pModelFrag->m_aTextures[0] + f->m_pModelFrag->m_aTextures[1]) & 0xFFF;
      EXPECT_EQ((float)key, f->m_fSortKey);
    }
    previous = f->m_fSortKey;
  }
  EXPECT_TRUE(seenTransparent);
  for (EMeshFrag* f : frags) EXPECT_EQ(m_pApp->m_iFrameCount, f->m_iVisibleFrame);
}

TEST_F(MeshFragFixture, ResetFrameSavesTheCountsOfEachDomain) {
  EMeshFragManager manager;
  EMesh meshes[kNUM_RENDERDOMAINS];
  const int perDomain[kNUM_RENDERDOMAINS] = {3, 2, 0, 1};
  for (int d = 0; d < kNUM_RENDERDOMAINS; ++d) {
    meshes[d].SetRenderDomain(d);
    for (int i = 0; i < perDomain[d]; ++i) {
      EMeshFrag* f = manager.MeshFragNew();
      f->m_pMesh = &meshes[d];
      manager.MeshFragMarkVisible(f);
    }
  }
  for (int d = 0; d < kNUM_RENDERDOMAINS; ++d) EXPECT_EQ(perDomain[d], manager.GetVisibleCount((RENDERDOMAIN)d));
  manager.ResetFrame();
  EXPECT_EQ(6, manager.GetLastVisibleCount(kRENDERDOMAIN_ALL));
  EXPECT_EQ(2, manager.GetLastVisibleCount(kRENDERDOMAIN_SKYBOX));
  EXPECT_EQ(0, manager.GetVisibleCount(kRENDERDOMAIN_SCENE));
  manager.ResetFrame();
  EXPECT_EQ(0, manager.GetLastVisibleCount(kRENDERDOMAIN_ALL));
}

TEST_F(MeshFragFixture, AlphaTestsReadTheMaterialAndTheColour) {
  struct Case {
    uint32_t material;
    float alpha;
    uint32_t flags;
    bool blended;
  } cases[] = {
      {0, 1.0f, 0, false},
      {0, 0.999f, 0, true},
      {kMATERIALFLAG_ALPHA, 1.0f, 0, true},
      {kMATERIALFLAG_GLARE_ONLY, 1.0f, 0, true},
      {kMATERIALFLAG_ALPHA | 0x20000000u, 1.0f, 0, false},
      {kMATERIALFLAG_ALPHA | 0x80000000u, 1.0f, 0, false},
      {kMATERIALFLAG_ALPHA | kMATERIALFLAG_BINARY_ALPHA, 1.0f, 0, false},
      {kMATERIALFLAG_EDGE_ALPHA, 1.0f, 0, true},
      {kMATERIALFLAG_EDGE_ALPHA | kMATERIALFLAG_ADDITIVE_BLENDING, 1.0f, 0, false},
      {kMATERIALFLAG_ALPHA, 1.0f, kMESHFRAGFLAG_DEBUG_OPAQUE, false},
      {0, 0.999f, kMESHFRAGFLAG_DEBUG_OPAQUE, false},
  };
  for (const Case& c : cases) {
    EMeshFrag f;
    f = *ModelFrag(c.material);
    f.m_vColor.w = c.alpha;
    f.m_dwFlags = c.flags;
    EXPECT_EQ(c.blended, f.IsAlphaBlended()) << std::hex << c.material << " " << c.alpha << " " << c.flags;
  }
}

TEST_F(MeshFragFixture, BindingStartsTheFlagWordEmpty) {
  // A skinned model fragment with blend shapes: its own word says so, the
  // fragment's word orders the sort and starts at 0.
  EModelFrag* m = ModelFrag(0, 3, 4);
  m->m_dwFragFlags = 0x1 | 0x2 | 0x4 | 0x8;
  m->m_Box = EBox3(EVec3(-1, -1, -1), EVec3(1, 1, 1));
  EMeshFrag f;
  f = *m;
  EXPECT_EQ(0u, f.m_dwFlags);
  EXPECT_TRUE(f.IsSkinned());
  EXPECT_TRUE(f.IsBlendShaped());
  ASSERT_NE(nullptr, f.m_pAnimInfo);
  EXPECT_EQ(m->m_Box.vMax, f.GetUntransformedBoundingBox().vMax);
  f.Preprocess(0.0f);
  EXPECT_EQ(7.0f, f.m_fSortKey) << "not drawn after the other opaque fragments";
  EXPECT_EQ(0u, f.m_dwFlags & (kMESH_SORT_BIAS | kMESH_SORT_BEGIN | kMESH_SORT_END));
}

TEST_F(MeshFragFixture, AnInstanceRecordsItsSource) {
  EModelFrag* m = ModelFrag(0, 5);
  m->m_vColor = EVec4(0.5f, 0.25f, 1, 1);
  EMeshFrag source;
  source = *m;
  EXPECT_TRUE(source.IsOriginal());
  EMeshFrag copy;
  copy = source;
  EXPECT_EQ(m, copy.m_pModelFrag);
  EXPECT_FALSE(copy.IsOriginal());
  EXPECT_EQ(&source, copy.GetOriginal());
  EXPECT_EQ(0.25f, copy.m_vColor.y) << "the colour of the model fragment";
  // The override texture is forgotten only by a fragment that is no instance.
  source.m_hBaseTexture = copy.m_hBaseTexture = 9;
  EXPECT_EQ(9u, copy.GetBaseTexture());
  copy.DestroyInstance();
  source.DestroyInstance();
  EXPECT_EQ(9u, copy.GetBaseTexture());
  EXPECT_EQ(5u, source.GetBaseTexture());
}

TEST_F(MeshFragFixture, TexturePlayModeOfTheFragment) {
  EMeshFrag f;
  f = *ModelFrag(0, 5);
  EXPECT_EQ(kANIMTEXMODE_DEFAULT, f.GetTexturePlayMode());
  f.SetTexturePlayMode(kANIMTEXMODE_DEFAULT, 0, 0);
  EXPECT_EQ(nullptr, f.GetTexAnimInfo()) << "mode 8 without an own state does nothing";
  f.SetTexturePlayMode(kANIMTEXMODE_LOOP, 100.0f, 0);
  ASSERT_NE(nullptr, f.GetTexAnimInfo());
  f.GetTexAnimInfo()->m_iNumFrames = 5;
  f.GetTexAnimInfo()->m_fLoopFrame = 2;
  struct Case {
    int startFrame;
    float loopFrame;
  } cases[] = {{-1, 4}, {3, 3}, {5, 3}, {0, 0}};
  for (const Case& c : cases) {
    f.SetTexturePlayMode(kANIMTEXMODE_LOOPTAIL, 200.0f, c.startFrame);
    EXPECT_EQ(c.loopFrame, f.GetTexAnimInfo()->m_fLoopFrame) << c.startFrame;
    EXPECT_EQ(0.0f, f.GetTexAnimInfo()->m_fCurFrame);
  }
  EXPECT_EQ(kANIMTEXMODE_LOOPTAIL, f.GetTexturePlayMode());
  f.SetTexturePlayMode(kANIMTEXMODE_OSCILLATEBACKONCE, 0, 0);
  EXPECT_EQ(4.0f, f.GetTexAnimInfo()->m_fCurFrame) << "starts at the last frame";
  f.SetTexturePlayMode(kANIMTEXMODE_DEFAULT, 0, 0);
  EXPECT_EQ(nullptr, f.GetTexAnimInfo());
}

TEST_F(MeshFragFixture, ShaderDetailFactor) {
  struct Case {
    float lod, full, none, expected;
  } cases[] = {{0.5f, 0.8f, 0.2f, 0.5f}, {0.1f, 0.8f, 0.2f, 0.0f}, {0.9f, 0.8f, 0.2f, 1.0f},
               {0.8f, 0.8f, 0.2f, 1.0f}, {0.2f, 0.2f, 0.2f, 1.0f}};
  for (const Case& c : cases) {
    EMeshFrag f;
    f.m_fLODFactor = c.lod;
    EXPECT_NEAR(c.expected, f.GetShaderLODFactor(c.full, c.none), 1e-6) << c.lod;
  }
}

TEST_F(MeshFragFixture, AFailedReadGivesTheModelFragmentBack) {
  const int before = EModelFragManager::GetActiveCount();
  const uint8_t junk[6] = {1, 2, 3, 4, 5, 6};
  EMemReader reader(junk, sizeof(junk));
  EArray<unsigned> ids;
  EMeshFrag f;
  EXPECT_FALSE(f.Read(reader, 318, ids, 2));
  EXPECT_EQ(nullptr, f.m_pModelFrag);
  EXPECT_EQ(before, EModelFragManager::GetActiveCount());
}

TEST_F(MeshFragFixture, CompactArraysMovesTheModelFragmentsAndFollowsThem) {
  EMeshFragManager manager;
  std::vector<EMeshFrag*> frags;
  for (unsigned i = 0; i < 3; ++i) {
    EMeshFrag* f = manager.MeshFragNew();
    *f = *ModelFrag(0, 40 + i);
    frags.push_back(f);
  }
  EDataArray<EModelFrag>& pool = EModelFragManager::GetModelFragArray();
  const bool production = m_pApp->GetPrefs().m_bProductionLoading;
  m_pApp->GetPrefs().m_bProductionLoading = false;
  manager.CompactArrays(true);
  EXPECT_EQ((int)EModelFragManager::kMAX_MODEL_FRAGS, pool.GetAllocCount()) << "only with production loading";

  m_pApp->GetPrefs().m_bProductionLoading = true;
  manager.CompactArrays(true);
  EXPECT_EQ(pool.GetHighestUsed() + 1, pool.GetAllocCount());
  for (size_t i = 0; i < frags.size(); ++i) {
    m_ModelFrags[i] = frags[i]->m_pModelFrag;
    EXPECT_EQ(&pool[EDataArray<EModelFrag>::GetIndexFromDataId(m_ModelFrags[i]->m_id)], m_ModelFrags[i]);
    EXPECT_EQ(40u + i, frags[i]->GetBaseTexture());
  }
  manager.CompactArrays(false);
  EXPECT_EQ((int)EModelFragManager::kMAX_MODEL_FRAGS, pool.GetAllocCount());
  for (size_t i = 0; i < frags.size(); ++i) {
    m_ModelFrags[i] = frags[i]->m_pModelFrag;
    EXPECT_EQ(40u + i, frags[i]->GetBaseTexture());
  }
  m_pApp->GetPrefs().m_bProductionLoading = production;
}

}  // namespace
