// An application with a renderer on the test display, game textures, the
// fragment pool and a scene whose active domain holds meshes read from
// model-fragment records, for the decal, patch, spline and water tests.
// Skips without a display.
#pragma once

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cstdlib>
#include <vector>

#include "Game/PCGameApp.h"
#include "ModelFragWriter.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EStream.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/Scene.h"
#include "VERirezo/TextureManager.h"

namespace effecttest {

class EffectFixture : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    ASSERT_NE(nullptr, m_pRenderer);
    m_pRenderer->BeginRender();
    m_pApp->m_pGameTextureManager = new EGameTextureManager();
    m_pApp->m_pMeshFragManager = new EMeshFragManager();
    m_pApp->m_pSceneManager = new ESceneManager();
    m_pRoot = new EDomain(nullptr, &ECollisionManager::sm_CM);
    m_pLevel = m_pRoot->CreateChildDomain("Level");
    m_pApp->m_pSceneManager->SetActiveDomain(m_pRoot);
    m_pApp->SetSimElapsedTime(0.0);
    for (unsigned i = 0; i < 4; ++i) m_Ids.AddData(0);
    gfxtest::StartTraces();
  }

  void TearDown() override {
    gfxtest::StopTraces();
    if (!m_pApp) return;
    DeleteStores();
    delete m_pRoot;
    delete m_pApp->m_pSceneManager;
    m_pApp->m_pSceneManager = nullptr;
    delete m_pApp->m_pMeshFragManager;
    m_pApp->m_pMeshFragManager = nullptr;
    delete m_pApp->m_pGameTextureManager;
    m_pApp->m_pGameTextureManager = nullptr;
    GameApp::ReleaseShaderPasses();
    if (m_pRenderer) {
      m_pRenderer->EndRender();
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gGameApp = nullptr;
    delete m_pApp;
  }

  // Stores made by a test go before the renderer.
  virtual void DeleteStores() {}

  // One fragment record: triangles given as corner positions in the plane
  // z = 0 facing +z, as a list or (with bStrip) a strip of the indices.
  static ModelFragDesc Frag(const std::vector<float>& positions, const std::vector<uint16_t>& indices, bool bStrip) {
    ModelFragDesc d;
    d.positions = positions;
    for (size_t i = 0; i < positions.size() / 3; ++i) d.normals.insert(d.normals.end(), {0, 0, 1});
    d.indices = indices;
    d.materialFlags = bStrip ? 0x1000000u : 0u;
    d.polys = (uint32_t)(bStrip ? indices.size() - 2 : indices.size() / 3);
    return d;
  }
  // A unit triangle with its corner at (x, y).
  static ModelFragDesc Tri(float x, float y) { return Frag({x, y, 0, x + 1, y, 0, x, y + 1, 0}, {0, 1, 2}, false); }

  // A mesh of the fragments, active, placed in the level domain unless
  // bPlaced is false (then the caller owns it).
  EMesh* Mesh(const std::vector<ModelFragDesc>& frags, bool bPlaced = true) {
    std::vector<uint8_t> bytes;
    for (const ModelFragDesc& d : frags) WriteModelFrag(bytes, d);
    EMesh* pMesh = new EMesh();
    pMesh->SetActive(true);
    pMesh->SetPosition(EVec3(0, 0, 0));
    pMesh->SetRotation(EMat4());
    pMesh->SetScale(EVec3(1, 1, 1));
    EMemReader r(bytes.data(), (unsigned)bytes.size());
    while (r.GetPos() < r.GetSize()) EXPECT_TRUE(pMesh->ReadMeshFrag(r, 318, m_Ids, 2));
    // The boxes of the fragments from their positions.
    for (int i = 0; i < pMesh->GetNumMeshFrags() && i < (int)frags.size(); ++i) {
      const ModelFragDesc& d = frags[(size_t)i];
      EBox3 box(EVec3(d.positions[0], d.positions[1], d.positions[2]), EVec3(d.positions[0], d.positions[1], d.positions[2]));
      for (size_t k = 0; k + 2 < d.positions.size(); k += 3) {
        const EVec3 p(d.positions[k], d.positions[k + 1], d.positions[k + 2]);
        box.vMin = box.vMin.Min(p);
        box.vMax = box.vMax.Max(p);
      }
      pMesh->GetMeshFrag(i)->m_pModelFrag->m_Box = box;
      pMesh->GetMeshFrag(i)->InvalidateCachedPositions();
    }
    if (bPlaced) m_pLevel->AddMesh(pMesh);
    return pMesh;
  }

  HTEXTURE SolidTexture(uint32_t argb, unsigned size = 4) {
    HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, size, size, 1, 0);
    uint32_t* p = static_cast<uint32_t*>(m_pRenderer->LockTexture(t, 0, nullptr, false, (CUBEMAPFACE)-1, true));
    for (unsigned i = 0; i < size * size; ++i) p[i] = argb;
    m_pRenderer->UnlockTexture(t, 0, false, (CUBEMAPFACE)-1);
    return t;
  }
  unsigned GameTexture(uint32_t argb) {
    return m_pApp->m_pGameTextureManager->AddProceduralTexture(SolidTexture(argb), true, nullptr);
  }

  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  EDomain* m_pRoot = nullptr;
  EDomain* m_pLevel = nullptr;
  EArray<unsigned> m_Ids;
};

}  // namespace effecttest
