// The decal natives as scripts call them.
#include "Game/PCGameApp.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Decal.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Scene.h"

class ScriptDecalFuncsTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    m_HostApp.m_pDecalManager = &m_Decals;
    m_HostApp.SetSimElapsedTime(3.0);
  }
  void TearDown() override {
    m_HostApp.m_pDecalManager = nullptr;
    m_HostApp.m_pSceneManager = nullptr;
    ScriptVMTest::TearDown();
  }
  // A decal on a mesh, named gId in the scripts.
  uint32_t Place(EMesh* pMesh, uint32_t idTexture = 7) {
    ECollide q;
    q.eCollisionType = CCT_TriInterior;
    q.pMesh = pMesh;
    q.vNormal = EVec3(0, 0, 1);
    const uint32_t id = m_Decals.AttachDecal(idTexture, q, EVec3(0, 1, 0), 100, 0);
    lua_pushid(L, id);
    lua_setglobal(L, "gId");
    return id;
  }
  EDecalManager m_Decals;
};

TEST_F(ScriptDecalFuncsTest, RemoveDecalExpiresOrDeletes) {
  EMesh mesh;
  struct Case {
    const char* call;
    bool deleted;
  } cases[] = {{"RemoveDecal(gId)", false}, {"RemoveDecal(gId, 0)", false}, {"RemoveDecal(gId, 1)", true}};
  for (const Case& c : cases) {
    const uint32_t id = Place(&mesh);
    ASSERT_TRUE(Run(c.call)) << c.call;
    const EDecal* d = m_Decals.GetDecal(id);
    if (c.deleted) {
      EXPECT_EQ(nullptr, d) << c.call;
    } else {
      ASSERT_NE(nullptr, d) << c.call;
      EXPECT_FLOAT_EQ(4.0f, d->m_fExpireTime) << c.call << ": one second from now";
    }
  }
}

TEST_F(ScriptDecalFuncsTest, RemoveAllDecalsAndAttachIntoEmptySpace) {
  EMesh a, b;
  Place(&a);
  Place(&b, 9);
  ASSERT_TRUE(Run("RemoveAllDecals()"));
  EXPECT_EQ(0, m_Decals.GetDecalArray()->GetNumUsed());

  // A scene whose active domain holds no geometry: nothing is hit.
  ESceneManager scenes;
  EDomain root(nullptr, &ECollisionManager::sm_CM);
  scenes.SetActiveDomain(&root);
  m_HostApp.m_pSceneManager = &scenes;
  ASSERT_TRUE(Run("gR = AttachDecal(1, 5, 0, 0, 0, 0, 0, -1, 1, 1)"));
  lua_getglobal(L, "gR");
  EXPECT_TRUE(lua_isnil(L, -1));
  lua_pop(L, 1);
  EXPECT_EQ(0, m_Decals.GetDecalArray()->GetNumUsed());
  m_HostApp.m_pSceneManager = nullptr;
}
