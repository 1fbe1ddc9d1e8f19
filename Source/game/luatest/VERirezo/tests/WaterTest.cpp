// Water: the grid for a field of view, its placement under the camera, and
// which reflectors draw.
#include <gtest/gtest.h>

#include <cmath>

#include "EffectStoreTestSupport.h"
#include "Game/Camera.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Water.h"

namespace {

struct GridVertex {
  float x, y, z;
  uint32_t colour;
};

class Water : public effecttest::EffectFixture {
protected:
  void SetUp() override {
    EffectFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pWater = new EWaterManager();
    m_pWater->Init();
  }
  void DeleteStores() override {
    m_pApp->m_lReflectors.RemoveAll();
    if (m_pWater) m_pWater->Shutdown();
    delete m_pWater;
    m_pWater = nullptr;
  }
  std::vector<GridVertex> Grid() {
    const int n = m_pWater->GetNumVertices();
    std::vector<GridVertex> out((size_t)n);
    const GridVertex* p = static_cast<const GridVertex*>(
        m_pRenderer->LockVertexBuffer(m_pWater->GetVertexBuffer(), (unsigned)n, 0, kLOCKFLAG_READONLY));
    std::copy(p, p + n, out.begin());
    m_pRenderer->UnlockVertexBuffer(m_pWater->GetVertexBuffer());
    return out;
  }
  EWaterManager* m_pWater = nullptr;
};

TEST_F(Water, GridForSixtyDegreesAtFourThirds) {
  EXPECT_EQ(2291, m_pWater->GetNumVertices());
  EXPECT_EQ(13104, m_pWater->GetNumIndices());
  EXPECT_EQ(13104u, m_pRenderer->GetIndexBufferCount(m_pWater->GetIndexBuffer()));
  const std::vector<GridVertex> g = Grid();
  for (int row = 0; row < 79; ++row) {
    const uint32_t want = row < 78 ? 0xFFF00FFFu : 0xFFFFFFFFu;
    EXPECT_EQ(want, g[29 * row].colour) << row;
    EXPECT_NEAR(-g[29 * row].x, g[29 * row + 28].x, 1e-3f * std::fabs(g[29 * row].x)) << "rows are centred";
  }
  EXPECT_EQ(12500.0f, g[29 * 78].z);
  EXPECT_LT(g[0].z, 0.0f) << "the first rows lie behind";
}

TEST_F(Water, NarrowViewsStopAtTheBufferLimit) {
  for (float fov : {38.0f, 20.0f, 5.0f}) {
    m_pWater->CreateWaterMesh(fov, 4.0f / 3.0f);
    EXPECT_LE(m_pWater->GetNumVertices(), (int)EWaterManager::c_dwMaxVertices) << fov;
    EXPECT_EQ(0, m_pWater->GetNumVertices() % 29);
    EXPECT_EQ((m_pWater->GetNumVertices() / 29 - 1) * 28 * 6, m_pWater->GetNumIndices());
    const std::vector<GridVertex> g = Grid();
    EXPECT_EQ(12500.0f, g.back().z) << "the far row is kept";
  }
}

TEST_F(Water, PlacementUnderTheCamera) {
  const EVec3 up(0, 1, 0), water(0, 10, 0);
  struct Case {
    float height, scale;
  } cases[] = {{100, 2000}, {5000, 5000}};
  for (const Case& c : cases) {
    EMat4 m;
    float s = 0;
    ASSERT_TRUE(EWaterManager::PlaceGrid(water, up, EVec3(30, 10 + c.height, 40), EVec3(1, 0, 0), m, &s));
    EXPECT_EQ(c.scale, s);
    const EVec3 origin = m.MulVec3(EVec3(0, 0, 0));
    EXPECT_NEAR(0, (origin - EVec3(30, 10, 40)).Length(), 1e-3f) << "the foot point under the camera";
    const EVec3 ahead = m.MulVec3(EVec3(0, 0, 1)) - origin;
    EXPECT_NEAR(0, (ahead - EVec3(c.scale, 0, 0)).Length(), 1e-2f) << "grid z runs along the view";
  }
  EMat4 m;
  EXPECT_FALSE(EWaterManager::PlaceGrid(water, EVec3(0, 1, 1).GetNormal(), EVec3(0, 100, 0), EVec3(1, 0, 0), m));
  // Looking straight down there is no heading: no turn, nothing undefined.
  ASSERT_TRUE(EWaterManager::PlaceGrid(water, up, EVec3(0, 110, 0), EVec3(0, -1, 0), m));
  for (float v : m.m) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(0, (m.MulVec3(EVec3(0, 0, 1)) - EVec3(0, 10, 2000)).Length(), 1e-2f);
  EXPECT_TRUE(EWaterManager::CameraBelow(water, up, EVec3(0, 5, 0)));
  EXPECT_FALSE(EWaterManager::CameraBelow(water, up, EVec3(0, 15, 0)));
}

TEST_F(Water, ReflectorsDrawOnlyFromAboveAndLevel) {
  ECamera camera;
  camera.SetPosition(EVec3(0, 100, 0));
  camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  camera.SetViewportWidth(64);
  camera.SetViewportHeight(48);
  camera.UpdateMatrices();
  m_pApp->GetCameraChannel(0).m_pCamera = &camera;
  m_pApp->SetRenderCamera(&camera);
  // Without physics the reflector lies at the origin with up +y.
  EMeshEntity* pool = new EMeshEntity(m_pLevel, "Pool");
  m_pApp->m_lReflectors.AddTail(pool);

  m_pWater->DrawAll();
  EXPECT_EQ(0, m_pWater->GetLastDrawCount()) << "water switched off";
  m_pApp->m_DebugHooks.m_bWaterEnabled = true;
  m_pWater->DrawAll();
  EXPECT_EQ(1, m_pWater->GetLastDrawCount());
  EXPECT_EQ(0u, m_pWater->GetLastReflectionHandle());
  EXPECT_FALSE(m_pWater->GetLastReflectionFlag());
  const ERenderState& s = m_pRenderer->GetCachedRenderState();
  EXPECT_EQ(kSTENCILMODE_NOTEQUAL, s.m_eStencilMode);
  EXPECT_EQ(0, s.m_byStencilRef);
  EXPECT_FALSE(s.m_bZEnable);
  EXPECT_EQ(camera.GetAspectRatio(), m_pWater->GetAspectRatio()) << "the grid follows the camera";

  camera.SetPosition(EVec3(0, -5, 0));
  m_pWater->DrawAll();
  EXPECT_EQ(0, m_pWater->GetLastDrawCount()) << "camera below the surface";
  m_pApp->m_lReflectors.RemoveAll();
  pool->InternalDelayedDelete();
  delete pool;
  m_pApp->SetRenderCamera(nullptr);
  m_pApp->GetCameraChannel(0).m_pCamera = nullptr;
}

// The bump matrices scale by the scene's values and turn with the camera's
// heading; the reflection's also halves x last.
TEST_F(Water, BumpMatricesTurnWithTheHeading) {
  ECamera camera;
  m_pApp->GetCameraChannel(0).m_pCamera = &camera;
  struct Case {
    EVec3 right, view;
    EVec3 refraction;  // (1, 0, 0) through the refraction bump matrix
  } cases[] = {{EVec3(1, 0, 0), EVec3(0, 0, -1), EVec3(-0.05f, 0, 0)},
               {EVec3(0, 0, -1), EVec3(-1, 0, 0), EVec3(0, 0.05f, 0)}};
  for (const Case& c : cases) {
    camera.SetRotation(c.right, EVec3(0, 1, 0), c.view);
    m_pWater->MoveWater();
    EXPECT_NEAR(0, (m_pWater->GetMatRefractionBump().MulVec3(EVec3(1, 0, 0)) - c.refraction).Length(), 1e-5f);
    const EVec3 fresnel = m_pWater->GetMatFresnelBump().MulVec3(EVec3(1, 0, 0));
    EXPECT_NEAR(0.5f, fresnel.Length(), 1e-5f);
    const EVec3 reflection = m_pWater->GetMatReflectionBump().MulVec3(EVec3(1, 0, 0));
    EXPECT_NEAR(c.refraction.x * 0.5f, reflection.x, 1e-5f) << "halved along x";
    EXPECT_NEAR(c.refraction.y, reflection.y, 1e-5f);
  }
  m_pApp->GetCameraChannel(0).m_pCamera = nullptr;
}

TEST_F(Water, TexturesFallBackToTheErrorTextureAndAreForgottenAtLevelEnd) {
  const unsigned error = GameTexture(0xFFFF00FFu), bump = GameTexture(0xFF808080u);
  m_pApp->m_idErrorTexture = error;
  const HTEXTURE hError = m_pApp->m_pGameTextureManager->GetTextureHandle(error);
  EXPECT_EQ(hError, m_pWater->GetWaterBumpTexture());
  m_pWater->SetWaterBumpTexture(bump);
  EXPECT_EQ(m_pApp->m_pGameTextureManager->GetTextureHandle(bump), m_pWater->GetWaterBumpTexture());
  m_pWater->EndLevel();
  EXPECT_EQ(hError, m_pWater->GetWaterBumpTexture());
  EXPECT_NE(nullptr, m_pApp->m_pGameTextureManager->GetTexture(bump)) << "forgotten, not deleted";
  m_pApp->m_idErrorTexture = 0;
}

}  // namespace
