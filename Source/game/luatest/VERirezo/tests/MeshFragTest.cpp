// Mesh fragments: the pool, the visible lists and their sort, binding,
// material tests and the texture play mode.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "ModelFragWriter.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureManager.h"

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

TEST_F(MeshFragFixture, ClearInlineEntityFlagsReachesTheOwnersOfVisibleFragments) {
  EMeshFragManager manager;
  EMesh sky;
  sky.SetRenderDomain(kRENDERDOMAIN_SKYBOX);
  EMeshEntity seen(nullptr, "seen"), skySeen(nullptr, "sky"), hidden(nullptr, "hidden");
  struct Case {
    EMeshEntity* owner;
    EMesh* mesh;
    bool visible;
  } cases[] = {{&seen, nullptr, true}, {&skySeen, &sky, true}, {&hidden, nullptr, false}, {nullptr, nullptr, true}};
  for (const Case& c : cases) {
    EMeshFrag* f = manager.MeshFragNew();
    f->m_pOwnerEntity = c.owner;
    f->m_pMesh = c.mesh;
    if (c.owner) c.owner->SetTransientFlag(ENTITYTRANSIENT_INLINE_EFFECTS | ENTITYTRANSIENT_SIMULATED, true);
    if (c.visible) manager.MeshFragMarkVisible(f);
  }
  manager.ClearInlineEntityFlags();
  for (const Case& c : cases) {
    if (!c.owner) continue;
    EXPECT_EQ(c.visible ? 0u : (uint32_t)ENTITYTRANSIENT_INLINE_EFFECTS,
              c.owner->GetTransientFlag(ENTITYTRANSIENT_INLINE_EFFECTS))
        << c.owner->GetName();
    EXPECT_NE(0u, c.owner->GetTransientFlag(ENTITYTRANSIENT_SIMULATED)) << "other flags stay";
  }
}

// A renderer, game textures and the application's fragment pool, for meshes
// that read their fragments.
class MeshFragPoolFixture : public MeshFragFixture {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    MeshFragFixture::SetUp();
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    ASSERT_NE(nullptr, m_pRenderer);
    m_pTextures = new EGameTextureManager();
    m_pApp->m_pGameTextureManager = m_pTextures;
    m_pPool = new EMeshFragManager();
    m_pApp->m_pMeshFragManager = m_pPool;
    for (unsigned i = 0; i < 4; ++i) m_Ids.AddData(0);
  }
  void TearDown() override {
    if (!m_pApp) return;
    m_pApp->m_pMeshFragManager = nullptr;
    delete m_pPool;
    // The model fragments give their buffers back while the renderer lives.
    for (EModelFrag* f : m_ModelFrags) EModelFragManager::ModelFragDelete(f);
    m_ModelFrags.clear();
    m_pApp->m_pGameTextureManager = nullptr;
    delete m_pTextures;
    if (m_pRenderer) {
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    MeshFragFixture::TearDown();
  }
  unsigned Texture(TEXTUREFORMAT eFormat, const char* szName) {
    return m_pTextures->AddProceduralTexture(m_pRenderer->CreateBitmapTexture(eFormat, 8, 8, 1, 0), true, szName);
  }
  // Fragment records of one triangle each.
  static std::vector<uint8_t> Records(int n) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < n; ++i) {
      ModelFragDesc d;
      d.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
      d.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
      d.polys = 1;
      d.indices = {0, 1, 2};
      WriteModelFrag(bytes, d);
    }
    return bytes;
  }
  // Reads every record of the bytes into the mesh; false at the first refusal.
  bool ReadAll(EMesh& mesh, const std::vector<uint8_t>& bytes) {
    EMemReader r(bytes.data(), (unsigned)bytes.size());
    while (r.GetPos() < r.GetSize()) {
      if (!mesh.ReadMeshFrag(r, 318, m_Ids, 2)) return false;
    }
    return true;
  }

  ERenderer* m_pRenderer = nullptr;
  EGameTextureManager* m_pTextures = nullptr;
  EMeshFragManager* m_pPool = nullptr;
  EArray<unsigned> m_Ids;
};

TEST_F(MeshFragPoolFixture, MeshesAndTheirCopiesTakeFragmentsFromThePoolAndGiveThemBack) {
  const int modelFragsBefore = EModelFragManager::GetActiveCount();
  EMesh* mesh = new EMesh();
  ASSERT_TRUE(ReadAll(*mesh, Records(3)));
  ASSERT_EQ(3, mesh->GetNumMeshFrags());
  EXPECT_EQ(3, m_pPool->GetActiveCount());
  EXPECT_EQ(modelFragsBefore + 3, EModelFragManager::GetActiveCount());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(mesh, mesh->GetMeshFrag(i)->m_pMesh);
    EXPECT_EQ(mesh->GetMeshFrag(i), m_pPool->GetMeshFragArray()->ElementGet(mesh->GetMeshFrag(i)->m_id));
  }

  EXPECT_EQ(mesh, mesh->Instantiate());
  EMesh* copy = static_cast<EMesh*>(mesh->Instantiate());
  ASSERT_EQ(3, copy->GetNumMeshFrags());
  EXPECT_EQ(6, m_pPool->GetActiveCount());
  EXPECT_EQ(modelFragsBefore + 3, EModelFragManager::GetActiveCount()) << "a copy shares the model fragments";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(copy, copy->GetMeshFrag(i)->m_pMesh);
    EXPECT_EQ(mesh->GetMeshFrag(i)->m_pModelFrag, copy->GetMeshFrag(i)->m_pModelFrag);
    EXPECT_EQ(copy->GetMeshFrag(i), m_pPool->GetMeshFragArray()->ElementGet(copy->GetMeshFrag(i)->m_id));
  }
  copy->DestroyInstance();
  delete copy;
  EXPECT_EQ(3, m_pPool->GetActiveCount());
  EXPECT_EQ(modelFragsBefore + 3, EModelFragManager::GetActiveCount());
  mesh->DestroyInstance();
  delete mesh;
  EXPECT_EQ(0, m_pPool->GetActiveCount());
  EXPECT_EQ(modelFragsBefore, EModelFragManager::GetActiveCount()) << "the last user gives them back";

  // A copy that outlives its source keeps the shared model fragments.
  mesh = new EMesh();
  ASSERT_TRUE(ReadAll(*mesh, Records(2)));
  mesh->Instantiate();
  copy = static_cast<EMesh*>(mesh->Instantiate());
  EModelFrag* shared = copy->GetMeshFrag(1)->m_pModelFrag;
  const uint32_t idShared = shared->m_id;
  copy->DestroyInstance();
  mesh->DestroyInstance();
  delete mesh;
  EXPECT_EQ(modelFragsBefore + 2, EModelFragManager::GetActiveCount());
  EXPECT_EQ(idShared, shared->m_id) << "still in the pool";
  EXPECT_EQ(shared, EModelFragManager::GetModelFragArray().ElementGet(idShared));
  delete copy;
  EXPECT_EQ(modelFragsBefore, EModelFragManager::GetActiveCount());
}

TEST_F(MeshFragPoolFixture, AReadThePoolOrTheRecordRefusesKeepsNothing) {
  const int modelFragsBefore = EModelFragManager::GetActiveCount();
  // A damaged record: the fragment goes back with its model fragment.
  {
    EMesh mesh;
    ASSERT_TRUE(ReadAll(mesh, Records(1)));
    std::vector<uint8_t> bytes = Records(1);
    bytes.resize(bytes.size() / 2);
    EXPECT_FALSE(ReadAll(mesh, bytes));
    EXPECT_EQ(1, mesh.GetNumMeshFrags());
    EXPECT_EQ(1, m_pPool->GetActiveCount());
    EXPECT_EQ(modelFragsBefore + 1, EModelFragManager::GetActiveCount());
  }
  EXPECT_EQ(0, m_pPool->GetActiveCount());
  EXPECT_EQ(modelFragsBefore, EModelFragManager::GetActiveCount());

  // A full pool: the read fails before it takes a model fragment, and a copy
  // of a mesh goes without fragments.
  EMesh* mesh = new EMesh();
  ASSERT_TRUE(ReadAll(*mesh, Records(2)));
  mesh->Instantiate();
  const int modelFragsRead = EModelFragManager::GetActiveCount();
  std::vector<EMeshFrag*> filler;
  while (m_pPool->GetActiveCount() < EMeshFragManager::kMAX_MESH_FRAGS) filler.push_back(m_pPool->MeshFragNew());
  const int traces = gfxtest::CountTraces("Exceeded maximum number of mesh fragments");
  {
    EMesh other;
    EXPECT_FALSE(ReadAll(other, Records(1)));
    EXPECT_EQ(0, other.GetNumMeshFrags());
    EXPECT_EQ(modelFragsRead, EModelFragManager::GetActiveCount());
    EMesh* copy = static_cast<EMesh*>(mesh->Instantiate());
    EXPECT_EQ(0, copy->GetNumMeshFrags());
    copy->DestroyInstance();
    delete copy;
  }
  EXPECT_EQ(traces + 2, gfxtest::CountTraces("Exceeded maximum number of mesh fragments"));
  EXPECT_EQ((int)EMeshFragManager::kMAX_MESH_FRAGS, m_pPool->GetActiveCount());
  for (EMeshFrag* f : filler) m_pPool->MeshFragDelete(f);
  mesh->DestroyInstance();
  delete mesh;
  EXPECT_EQ(0, m_pPool->GetActiveCount());
  EXPECT_EQ(modelFragsBefore, EModelFragManager::GetActiveCount());
}

TEST_F(MeshFragPoolFixture, SetBaseTextureShowsATextureAndSetsTheSharedAlphaBits) {
  const unsigned plain = Texture(kTEXTUREFORMAT_565, "plain");
  const unsigned alpha = Texture(kTEXTUREFORMAT_8888, "alpha");
  const unsigned binary = Texture(kTEXTUREFORMAT_1555, "binary");
  EModelFrag* m = ModelFrag(kMATERIALFLAG_BINARY_ALPHA, plain);
  EMeshFrag f, instance;
  f = *m;
  instance = f;
  const uint32_t kBoth = kMATERIALFLAG_ALPHA | kMATERIALFLAG_BINARY_ALPHA;
  struct Case {
    unsigned texture, onlyIfShowing;
    bool keepAlpha;
    unsigned shown;
    uint32_t alphaBits;
    bool traced;
  } cases[] = {
      {alpha, 0, false, alpha, kMATERIALFLAG_ALPHA, false},
      {binary, plain, false, alpha, kMATERIALFLAG_ALPHA, false},  // not showing plain: nothing
      {binary, alpha, false, binary, kBoth, false},
      {plain, 0, true, plain, kBoth, false},  // alpha bits kept
      {0x7777u, 0, false, plain, kBoth, true},
      {0, 0, false, plain, 0, false},  // the model fragment's own texture again
  };
  for (const Case& c : cases) {
    const int traces = gfxtest::CountTraces("Invalid texture 0x7777 passed to SetBaseTexture()");
    f.SetBaseTexture(c.texture, c.onlyIfShowing, c.keepAlpha);
    EXPECT_EQ(c.shown, f.GetBaseTexture()) << c.texture;
    EXPECT_EQ(c.alphaBits, m->m_dwMaterialFlags & kBoth) << c.texture;
    EXPECT_EQ(c.alphaBits == kMATERIALFLAG_ALPHA, instance.IsAlphaBlended()) << "the bits belong to every instance";
    EXPECT_EQ(c.traced ? traces + 1 : traces, gfxtest::CountTraces("Invalid texture 0x7777 passed to SetBaseTexture()"));
  }
  EXPECT_EQ(0u, f.m_hBaseTexture);

  // On a mesh: only the fragments showing the texture to replace.
  EMesh mesh;
  EMeshFrag* a = m_pPool->MeshFragNew();
  EMeshFrag* b = m_pPool->MeshFragNew();
  *a = *m;
  *b = *ModelFrag(0, alpha);
  mesh.AddMeshFrag(a);
  mesh.AddMeshFrag(b);
  mesh.SetBaseTexture(binary, alpha, true);
  EXPECT_EQ(plain, a->GetBaseTexture());
  EXPECT_EQ(binary, b->GetBaseTexture());
  mesh.SetBaseTexture(0, 0, true);
  EXPECT_EQ(plain, a->GetBaseTexture());
  EXPECT_EQ(alpha, b->GetBaseTexture());
}

}  // namespace
