// The model-fragment pool and its lightmap palettisation.
#include <gtest/gtest.h>
#include <SDL/SDL.h>

#include <cstdlib>
#include <vector>

#include "Game/PCGameApp.h"
#include "ModelFragWriter.h"
#include "TWGraphics/Vertex.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TextureManager.h"

TEST(ModelFragPool, HoldsExactlyItsSizeThenStops) {
  EXPECT_STREQ("Model Frags", EModelFragManager::GetModelFragArray().GetName());
  const int iBefore = EModelFragManager::GetActiveCount();
  std::vector<EModelFrag*> frags;
  for (int i = iBefore; i < EModelFragManager::kMAX_MODEL_FRAGS; ++i) frags.push_back(EModelFragManager::ModelFragNew());
  EXPECT_EQ(2252, EModelFragManager::GetActiveCount());
  EModelFrag* last = frags.back();
  EXPECT_EQ(-1, last->m_iMonitorChannel);
  EXPECT_EQ(1.0f, last->m_fTexcoordScale);
  EXPECT_EQ(1.0f, last->m_vDetailScale.x);
  EXPECT_EQ(nullptr, last->m_pBlinnInfo);
  last->SetSwitchLightName(nullptr);
  EXPECT_EQ(nullptr, last->GetSwitchLightName());
  last->SetSwitchLightName("lamp01");
  EXPECT_STREQ("lamp01", last->GetSwitchLightName());
  last->m_pAnimInfo = new EModelAnimInfo();
  last->m_pAnimInfo->m_pJointPalette = new uint16_t[3];
  last->m_pBlinnInfo = new EModelBlinnInfo();
  EXPECT_EQ(8.0f, last->m_pBlinnInfo->m_fSpecularPower);
  EXPECT_DEATH(
      {
        EErrorManager::SetErrorStrings("Error", "%s(%d): %s", "%s");
        EModelFragManager::ModelFragNew();
      },
      "Exceeded maximum number of model fragments");
  for (EModelFrag* f : frags) EModelFragManager::ModelFragDelete(f);
  EXPECT_EQ(iBefore, EModelFragManager::GetActiveCount());
  EBoneMaxWeight w;
  EXPECT_EQ(-1, w.m_iPaletteIndex);
}

class ModelFragLightmaps : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    ASSERT_NE(nullptr, m_pRenderer);
    m_pManager = new EGameTextureManager();
    m_pApp->m_pGameTextureManager = m_pManager;
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    for (EModelFrag* f : m_Frags) EModelFragManager::ModelFragDelete(f);
    delete m_pManager;
    if (m_pApp) m_pApp->m_pGameTextureManager = nullptr;
    if (m_pApp) m_pApp->m_pMeshFragManager = nullptr;
    if (m_pRenderer) {
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gGameApp = nullptr;
    delete m_pApp;
  }
  EModelFrag* NewFrag(HTEXTURE hLightmap) {
    EModelFrag* f = EModelFragManager::ModelFragNew();
    f->m_ahLightmap[0] = hLightmap;
    m_Frags.push_back(f);
    return f;
  }
  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  EGameTextureManager* m_pManager = nullptr;
  std::vector<EModelFrag*> m_Frags;
};

TEST_F(ModelFragLightmaps, SharedLightmapConvertsOnce) {
  HTEXTURE hShared = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 32, 32, 1, 0);
  m_pManager->AddProceduralTexture(hShared, true, "lm");
  HTEXTURE hOther = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 32, 32, 1, 0);
  HTEXTURE hPaletted = 0;
  HPALETTE hPalette0 = 0;
  ASSERT_TRUE(m_pRenderer->PalettizeTexture(hOther, hPaletted, hPalette0));
  EModelFrag* a = NewFrag(hShared);
  EModelFrag* plain = NewFrag(0);
  EModelFrag* b = NewFrag(hShared);
  EModelFrag* done = NewFrag(hPaletted);
  EModelFragManager::PalettizeLightmaps();
  EXPECT_NE(hShared, a->m_ahLightmap[0]);
  EXPECT_NE(0u, a->m_ahLightmap[0]);
  EXPECT_NE(0u, a->m_ahLightmapPalette[0]);
  EXPECT_EQ(a->m_ahLightmap[0], b->m_ahLightmap[0]);
  EXPECT_EQ(a->m_ahLightmapPalette[0], b->m_ahLightmapPalette[0]);
  EXPECT_EQ(0u, plain->m_ahLightmap[0]);
  EXPECT_EQ(hPaletted, done->m_ahLightmap[0]) << "other formats stay";
  EXPECT_EQ(nullptr, m_pManager->FindTextureByHandle(hShared));
  EGameTexture* made = m_pManager->FindTextureByHandle(a->m_ahLightmap[0]);
  ASSERT_NE(nullptr, made);
  ASSERT_NE(nullptr, made->m_phPalettes);
  EXPECT_EQ(a->m_ahLightmapPalette[0], made->m_phPalettes[0]);
  m_pRenderer->DeleteTexture(hOther, true);
}

namespace {

// A fragment of n vertices along X with unit normals up, one texcoord set.
ModelFragDesc MfTriangles(int n, bool strip) {
  ModelFragDesc d;
  for (int i = 0; i < n; ++i) {
    d.positions.insert(d.positions.end(), {(float)i, 0.0f, 0.0f});
    d.normals.insert(d.normals.end(), {0.0f, 1.0f, 0.0f});
  }
  d.materialFlags = strip ? 0x1000000u : 0u;
  d.polys = strip ? (uint32_t)n - 2 : (uint32_t)n / 3;
  const uint32_t count = strip ? d.polys + 2 : d.polys * 3;
  for (uint32_t i = 0; i < count; ++i) d.indices.push_back((uint16_t)(i % n));
  return d;
}

}  // namespace

class ModelFragRecord : public ModelFragLightmaps {
protected:
  void SetUp() override {
    ModelFragLightmaps::SetUp();
    for (unsigned i = 0; i < 8; ++i) m_Ids.AddData(100 + i);
  }
  void TearDown() override {
    for (EMeshFrag* f : m_MeshFrags) delete f;
    ModelFragLightmaps::TearDown();
  }
  // Reads one record from the reader into a new fragment; null on failure.
  EModelFrag* ReadOne(EMemReader& r, int version, int dataType = 2) {
    EMeshFrag* mf = new EMeshFrag();
    m_MeshFrags.push_back(mf);
    if (!mf->Read(r, version, m_Ids, dataType)) return nullptr;
    return mf->m_pModelFrag;  // given back with the fragment
  }
  EModelFrag* ReadBytes(const std::vector<uint8_t>& bytes, int version, int dataType = 2) {
    EMemReader r(bytes.data(), (unsigned)bytes.size());
    return ReadOne(r, version, dataType);
  }
  EVertexBuffer* Buffer(uint32_t h) { return m_pRenderer->m_pVertexBuffers->ElementGet(h); }
  EArray<unsigned> m_Ids;
  std::vector<EMeshFrag*> m_MeshFrags;
};

TEST_F(ModelFragRecord, TexturesIndicesAndTheVersionGate) {
  ModelFragDesc three = MfTriangles(12, true);  // 10 polygons in a strip
  three.textures = {1, 2, 3};
  three.texcoordSets = 1;
  for (int i = 0; i < 12; ++i) three.texcoords.insert(three.texcoords.end(), {1.0f, -1.0f});
  ModelFragDesc two = MfTriangles(30, false);  // 10 polygons in a list
  two.textures = {4, 5};
  std::vector<uint8_t> bytes;
  WriteModelFrag(bytes, three);
  WriteModelFrag(bytes, two);
  EMemReader r(bytes.data(), (unsigned)bytes.size());
  EModelFrag* a = ReadOne(r, 318);
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(101u, a->m_aTextures[0]);
  EXPECT_EQ(102u, a->m_aTextures[2]);
  EXPECT_EQ(103u, a->m_aTextures[1]);
  EXPECT_EQ(12u, m_pRenderer->GetIndexBufferCount(a->m_hIndexBuffer));
  EModelFrag* b = ReadOne(r, 318);
  ASSERT_NE(nullptr, b) << "the next record reads from where the first ended";
  EXPECT_EQ(104u, b->m_aTextures[0]);
  EXPECT_EQ(105u, b->m_aTextures[1]);
  EXPECT_EQ(30u, m_pRenderer->GetIndexBufferCount(b->m_hIndexBuffer));
  EXPECT_EQ(r.GetSize(), r.GetPos());

  // Texcoords come back from their buffer as written.
  const uint32_t hTex = a->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD];
  ASSERT_NE(0u, hTex);
  EXPECT_EQ(9, (int)Buffer(hTex)->m_eFormat);
  const float* uv = static_cast<const float*>(m_pRenderer->LockVertexBuffer(hTex, 0, 0, 0));
  ASSERT_NE(nullptr, uv);
  EXPECT_EQ(1.0f, uv[0]);
  EXPECT_EQ(-1.0f, uv[1]);
  m_pRenderer->UnlockVertexBuffer(hTex);
  EXPECT_EQ(2u, m_pRenderer->GetVertexBufferFlags(a->m_phVertBuffer[kMODELFRAGSTREAM_GEOM]) >> 16);
  EXPECT_EQ(3, (int)Buffer(a->m_phVertBuffer[kMODELFRAGSTREAM_GEOM])->m_eFormat);

  // Version 317 has no fragment-flag word; 318 has it after the box.
  ModelFragDesc flagged = MfTriangles(3, false);
  flagged.fragFlags = 0x10;
  flagged.version = 317;
  std::vector<uint8_t> old;
  WriteModelFrag(old, flagged);
  EModelFrag* c = ReadBytes(old, 317);
  ASSERT_NE(nullptr, c);
  EXPECT_EQ(0u, c->m_dwFragFlags);
  flagged.version = 318;
  std::vector<uint8_t> fresh;
  WriteModelFrag(fresh, flagged);
  EXPECT_EQ(old.size() + 4, fresh.size());
  EModelFrag* e = ReadBytes(fresh, 318);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(0x10u, e->m_dwFragFlags);
}

TEST_F(ModelFragRecord, SpecularPowerAndSkinning) {
  struct {
    uint32_t flags;
    float stored, read;
  } cases[] = {{0x40, 5.9f, 4.0f}, {0x40, 24.0f, 32.0f}, {0x800000, 2.5f, 2.0f}, {0, 5.9f, 5.9f}};
  for (const auto& c : cases) {
    ModelFragDesc d = MfTriangles(3, false);
    d.materialFlags |= 0x20000 | c.flags;
    d.specularPower = c.stored;
    std::vector<uint8_t> bytes;
    WriteModelFrag(bytes, d);
    EModelFrag* f = ReadBytes(bytes, 318);
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(c.read, f->m_pBlinnInfo->m_fSpecularPower) << c.flags << " " << c.stored;
  }

  ModelFragDesc skinned = MfTriangles(3, false);
  skinned.materialFlags |= 0x04;
  skinned.influences = 3;
  skinned.palette = {0x1002, 0x0001};
  for (int i = 0; i < 3; ++i) skinned.skinWeights.push_back({0x0100u + (uint32_t)i, 0.25f, 0.75f});
  std::vector<uint8_t> bytes;
  WriteModelFrag(bytes, skinned);
  const int before = gfxtest::CountTraces("influences per vertex");
  EModelFrag* f = ReadBytes(bytes, 318, 1);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(before + 1, gfxtest::CountTraces("influences per vertex"));
  EXPECT_EQ(0x0Au, f->m_dwFragFlags & 0x0A);
  EXPECT_EQ(2, f->m_eGeomShader);
  ASSERT_NE(nullptr, f->m_pAnimInfo);
  EXPECT_EQ(0x1002, f->m_pAnimInfo->m_pJointPalette[0]);
  EXPECT_EQ(1, f->m_pAnimInfo->m_pBoneMaxWeights[1].m_iPaletteIndex);
  const uint32_t hSkin = f->m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN];
  ASSERT_NE(0u, hSkin);
  EXPECT_EQ(13, (int)Buffer(hSkin)->m_eFormat);
  EXPECT_EQ(1u, m_pRenderer->GetVertexBufferFlags(hSkin) >> 16);
  const uint8_t* w = static_cast<const uint8_t*>(m_pRenderer->LockVertexBuffer(hSkin, 0, 0, 0));
  ASSERT_NE(nullptr, w);
  float first;
  memcpy(&first, w + 8 + 4, 4);
  EXPECT_EQ(0.25f, first);
  EXPECT_EQ(0x0101u, GetLE32(w + 8));
  m_pRenderer->UnlockVertexBuffer(hSkin);
  EXPECT_EQ(nullptr, f->m_pAnimInfo->m_pSkinningVerts);
  // Common geometry may only go when the game quits.
  m_pApp->m_bQuit = true;
  delete m_MeshFrags.back();
  m_MeshFrags.pop_back();
  m_pApp->m_bQuit = false;

  m_pRenderer->m_bSoftwareSkinning = true;
  f = ReadBytes(bytes, 318);
  m_pRenderer->m_bSoftwareSkinning = false;
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(0, f->m_eGeomShader);
  EXPECT_EQ(0u, f->m_phVertBuffer[kMODELFRAGSTREAM_GEOM]) << "skinned on the processor";
  ASSERT_NE(nullptr, f->m_pAnimInfo->m_pSkinningVerts);
  EXPECT_EQ(2.0f, f->m_pAnimInfo->m_pSkinningVerts[2].vPos.x);
}

TEST_F(ModelFragRecord, BlendShapes) {
  EMeshFragManager pool;
  m_pApp->m_pMeshFragManager = &pool;
  EMesh mesh;
  EModel* model = new EModel();
  mesh.SetModel(model);
  ModelFragDesc dense = MfTriangles(3, false);
  dense.blendFlags = 0x01;
  for (const char* name : {"smile", "blink"}) {
    ModelFragBlendStream st;
    st.name = name;
    st.posDeltas = {0, 2, 0, 0, 1, 0, 0, 0, 0};
    st.normalDeltas = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    dense.blendStreams.push_back(st);
  }
  std::vector<uint8_t> bytes;
  WriteModelFrag(bytes, dense);
  EMemReader reader(bytes.data(), (unsigned)bytes.size());
  ASSERT_TRUE(mesh.ReadMeshFrag(reader, 318, m_Ids, 2));
  EModelFrag* f = mesh.GetMeshFrag(0)->m_pModelFrag;
  EXPECT_EQ(1, model->m_byHasBlendShape);
  EXPECT_EQ(0x05u, f->m_dwFragFlags & 0x05);
  EXPECT_EQ(4, f->m_eGeomShader);
  ASSERT_EQ(2, f->m_pBlendInfo->m_aStreamBuffers.Num());
  EXPECT_EQ(15, (int)Buffer(f->m_pBlendInfo->m_aStreamBuffers[0])->m_eFormat);
  EXPECT_FLOAT_EQ(2.0f, f->m_pBlendInfo->m_aScales[1]);
  EXPECT_EQ(1u, f->m_pBlendInfo->m_aMappingIndices[1]);
  EXPECT_STREQ("blink", model->GetBlendShapeController()->GetMappingName(1));

  // Sparse deltas keep their indices.
  ModelFragDesc sparse = dense;
  sparse.version = 319;
  sparse.blendFlags = 0x03;
  sparse.blendStreams.resize(1);
  sparse.blendStreams[0].posDeltas = {0, 0, 4, 1, 0, 0};
  sparse.blendStreams[0].normalDeltas = {0, 0, 0, 0, 0, 0};
  sparse.blendStreams[0].indices = {2, 0};
  bytes.clear();
  WriteModelFrag(bytes, sparse);
  f = ReadBytes(bytes, 319);
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(1, f->m_pBlendInfo->m_aDeltaCounts.Num());
  EXPECT_EQ(2u, f->m_pBlendInfo->m_aDeltaCounts[0]);
  EXPECT_EQ(2, f->m_pBlendInfo->m_aSparseDeltas[0][0].wIndex);
  EXPECT_NEAR(1.0f, f->m_pBlendInfo->m_aSparseDeltas[0][0].vPosDelta.z, 0.002f);
  EXPECT_FLOAT_EQ(4.0f, f->m_pBlendInfo->m_aScales[0]);
  EXPECT_EQ(0u, f->m_phVertBuffer[kMODELFRAGSTREAM_GEOM]);
  ASSERT_NE(nullptr, f->m_pBlendInfo->m_pBlendBasis);
}

TEST_F(ModelFragRecord, DamagedRecordsFailAndGiveTheFragmentBack) {
  struct Case {
    const char* trace;
    void (*damage)(ModelFragDesc&);
  } cases[] = {
      {"Invalid end tag in compressed blend shape",
       [](ModelFragDesc& d) {
         d.blendFlags = 1;
         d.blendStreams.resize(1);
         d.blendStreams[0].posDeltas.assign(9, 0.0f);
         d.blendStreams[0].normalDeltas.assign(9, 0.0f);
         d.blendEndTag = 0x12345678;
       }},
      {"Invalid start tag in compressed blend shape",
       [](ModelFragDesc& d) {
         d.blendFlags = 1;
         d.blendStartTag = 1;
       }},
      {"byNumStreams > 0", [](ModelFragDesc& d) { d.blendFlags = 1; }},
      {"More than three textures found in a mesh fragment!", [](ModelFragDesc& d) { d.textures = {1, 2, 3, 4}; }},
      {"iVertCount > 0 && iVertCount < kMAX_WORD", [](ModelFragDesc& d) { d.vertexCountOverride = 0; }},
      {"iVertCount > 0 && iVertCount < kMAX_WORD", [](ModelFragDesc& d) { d.vertexCountOverride = 65535; }},
      {"iPolyCount < kMAX_WORD", [](ModelFragDesc& d) { d.polys = 65535; }},
      {"iDegenPolyCount < kMAX_WORD", [](ModelFragDesc& d) { d.degenPolys = 70000; }},
      {"More than four texture-coordinate sets", [](ModelFragDesc& d) { d.texcoordSets = 5; }},
      {"Blend-shape fragment without blend flags", [](ModelFragDesc& d) { d.fragFlags = 1; }},
      {"Skinned fragment without skinning data", [](ModelFragDesc& d) { d.fragFlags = 0x08; }},
      {"Model fragment without polygons",
       [](ModelFragDesc& d) {
         d.polys = 0;
         d.indices.clear();
       }},
  };
  const int active = EModelFragManager::GetActiveCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    ModelFragDesc d = MfTriangles(3, false);
    d.texcoordSets = 0;
    c.damage(d);
    std::vector<uint8_t> bytes;
    WriteModelFrag(bytes, d);
    const int before = gfxtest::CountTraces(c.trace);
    EXPECT_EQ(nullptr, ReadBytes(bytes, 318, 1));
    EXPECT_EQ(before + 1, gfxtest::CountTraces(c.trace));
    EXPECT_EQ(active, EModelFragManager::GetActiveCount());
  }
}
