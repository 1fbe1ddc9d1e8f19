// The decal natives as scripts call them.
#include "Game/PCGameApp.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Decal.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "TWUtil/EMemStack.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

namespace {
// A stand-in target: the plane y = 0, hit by any downward segment. It keeps
// the query it was asked.
class DecalTarget : public EMeshEntity {
public:
  DecalTarget(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {
    InitEntity(pDomain);
    SetVisible(true);
    GetPhysics()->SetCollisionType(CPT_Capsules);
    GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    GetPhysics()->SetPosition(EVec3(0, 0, 0));
  }
  bool CheckForCollision(ECollide& hit) override {
    m_Asked = hit;
    ++m_nAsked;
    if (!(hit.vDir.y < 0.0f)) return false;
    const float t = -hit.vStart.y / hit.vDir.y;
    if (t < 0.0f || t >= hit.fLength) return false;
    hit.fLength = t;
    hit.vEnd = hit.vStart + hit.vDir * t;
    hit.eCollisionType = CCT_TriInterior;
    hit.pEntity = this;
    hit.pMesh = &m_Surface;
    hit.vNormal = EVec3(0, 2, 0);
    return true;
  }
  ECollide m_Asked;
  int m_nAsked = 0;
  EMesh m_Surface;
};
}  // namespace

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

TEST_F(ScriptDecalFuncsTest, AttachDecalCastsTheRayAndAnswersWithTheDecalAndTheHitPoint) {
  EMemStack stack(1u << 20);
  EMemStack* pOldStack = GetThreadLocalStack();
  BindThreadLocalStack(&stack);
  ECollisionManager cm;
  EDomain* pRoot = new EDomain(nullptr, &cm);
  ESceneManager scenes;
  scenes.SetActiveDomain(pRoot);
  m_HostApp.m_pSceneManager = &scenes;
  DecalTarget* pTarget = new DecalTarget(pRoot, "target");
  DecalTarget* pPlayer = new DecalTarget(pRoot, "player");  // in the ray's way, but left out
  cm.Update(pTarget);
  cm.Update(pPlayer);
  m_HostApp.m_pPlayer = pPlayer;
  const unsigned idOldError = m_HostApp.m_idErrorTexture;
  m_HostApp.m_idErrorTexture = 9;  // no texture manager: the error texture stands in

  ASSERT_TRUE(Run("gId, gX, gY, gZ = AttachDecal(7, 5, 0, 10, 0, 0, -2, 0, 8, 16)"));
  EXPECT_EQ(pPlayer->m_nAsked, 0);
  ASSERT_EQ(pTarget->m_nAsked, 1);
  const ECollide& q = pTarget->m_Asked;
  EXPECT_EQ(q.dwFlags & 0x19u, 0x19u);
  EXPECT_EQ(q.fRadius, 1.0f);
  EXPECT_EQ(q.pCollider, nullptr);
  EXPECT_EQ(q.vStart.y, 10.0f);
  EXPECT_EQ(q.vEnd.y, -990.0f);  // 1000 units along the normalised direction
  EXPECT_EQ(q.vEnd.x, 0.0f);
  EXPECT_EQ(Num("gX"), 0.0f);
  EXPECT_EQ(Num("gY"), 0.0f);
  EXPECT_EQ(Num("gZ"), 0.0f);
  ASSERT_EQ(1, m_Decals.GetDecalArray()->GetNumUsed());
  lua_getglobal(L, "gId");
  const EDecal* pDecal = m_Decals.GetDecalArray()->ElementGet((EDataId)lua_toid(L, -1));
  lua_pop(L, 1);
  ASSERT_NE(pDecal, nullptr);
  EXPECT_EQ(pDecal->m_idTexture, 9u);
  EXPECT_EQ(pDecal->m_pMesh, &pTarget->m_Surface);

  // pointing up, the ray misses: no results and no decal
  ASSERT_TRUE(Run("function CountResults(...) return arg.n end\n"
                  "gN = CountResults(AttachDecal(7, 5, 0, 10, 0, 0, 1, 0, 8, 16))"));
  EXPECT_EQ(Num("gN"), 0.0f);
  EXPECT_EQ(1, m_Decals.GetDecalArray()->GetNumUsed());

  m_Decals.RemoveReferences(nullptr, 0);
  m_HostApp.m_pPlayer = nullptr;
  m_HostApp.m_idErrorTexture = idOldError;
  m_HostApp.m_pSceneManager = nullptr;
  for (DecalTarget* e : {pTarget, pPlayer}) {
    if (!e->IsDead()) e->InternalDelayedDelete();
    delete e;
  }
  delete pRoot;
  BindThreadLocalStack(pOldStack);
}
