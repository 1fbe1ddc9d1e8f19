// Mesh render requests (levels of detail, frame stamps, debug filters and
// camera channels), the dynamic box, and the collision queries against a
// mesh's collision tree, moved or not.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"

namespace {

std::vector<std::string>* s_pRenderLines = nullptr;
void RenderCaptureLine(const char* text) {
  if (s_pRenderLines) s_pRenderLines->push_back(text ? text : "");
}

}  // namespace

class MeshRenderTest : public ::testing::Test {
protected:
  void SetUp() override {
    gGameApp = &m_App;
    m_App.m_pMeshFragManager = &m_Pool;
    m_pCamera = new ECamera();
    m_pCamera->SetVisibilityCheck(false);
    m_App.m_aCameras[3] = m_pCamera;
    m_App.SetRenderCamera(m_pCamera);
    m_App.m_iFrameCount = 7;
  }
  void TearDown() override {
    for (EMesh* m : m_Meshes) delete m;
    for (EModelFrag* f : m_ModelFrags) EModelFragManager::ModelFragDelete(f);
    m_App.SetRenderCamera(nullptr);
    m_App.m_aCameras[3] = nullptr;
    delete m_pCamera;
    m_App.m_pMeshFragManager = nullptr;
    gGameApp = nullptr;
  }
  // A top mesh with its own model of the given LOD switch distances.
  EMesh* Mesh(std::initializer_list<float> distances = {}) {
    EMesh* m = new EMesh();
    m->SetScale(EVec3(1, 1, 1));
    EModel* model = new EModel();
    std::vector<float> d(distances);
    if (!d.empty()) model->SetLODs(d.data(), (int)d.size());
    m->SetModel(model);
    m_Meshes.push_back(m);
    return m;
  }
  EMeshFrag* Frag(EMesh* m, int iLOD, uint32_t dwMaterial = 0, const EBox3& box = EBox3(EVec3(-1, -1, -1), EVec3(1, 1, 1))) {
    EModelFrag* shared = EModelFragManager::ModelFragNew();
    m_ModelFrags.push_back(shared);
    shared->m_byLOD = (uint8_t)iLOD;
    shared->m_dwMaterialFlags = dwMaterial;
    shared->m_Box = box;
    EMeshFrag* f = m_Pool.MeshFragNew();
    f->m_pMesh = m;
    *f = *shared;
    m->AddMeshFrag(f);
    return f;
  }
  bool Queued(const EMeshFrag* f) const { return f->m_iVisibleFrame == m_App.m_iFrameCount; }
  void NextFrame() {
    ++m_App.m_iFrameCount;
    m_Pool.ResetFrame();
  }

  PCGameApp m_App;
  EMeshFragManager m_Pool;
  ECamera* m_pCamera = nullptr;
  std::vector<EMesh*> m_Meshes;
  std::vector<EModelFrag*> m_ModelFrags;
};

TEST_F(MeshRenderTest, InactiveMeshesQueueNothingNotEvenChildren) {
  EMesh* top = Mesh();
  EMeshFrag* own = Frag(top, 0);
  EMesh* child = new EMesh();
  child->SetScale(EVec3(1, 1, 1));
  top->AddChild(child);
  EMeshFrag* childFrag = Frag(child, 0);
  top->SetActive(false);
  top->RequestRender();
  EXPECT_FALSE(Queued(own));
  EXPECT_FALSE(Queued(childFrag));
  EXPECT_EQ(0, m_Pool.GetVisibleCount(kRENDERDOMAIN_SCENE));

  top->SetActive(true);
  top->RequestRender();
  EXPECT_TRUE(Queued(own));
  EXPECT_TRUE(Queued(childFrag));
  EXPECT_EQ(2, m_Pool.GetVisibleCount(kRENDERDOMAIN_SCENE));
}

TEST_F(MeshRenderTest, LevelsOfDetailAndFrameStamps) {
  EMesh* m = Mesh({10.0f, 20.0f});  // three levels
  ASSERT_EQ(3, m->GetModel()->GetNumLODs());
  EMeshFrag* frags[4];
  for (int i = 0; i < 4; ++i) frags[i] = Frag(m, i);
  struct {
    int level;
    bool queued[4];
  } cases[] = {{1, {true, true, false, true}}, {2, {true, false, true, true}}, {3, {true, false, false, true}}};
  for (const auto& c : cases) {
    NextFrame();
    m->ForceLODValue(c.level);
    m->RequestRender();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.queued[i], Queued(frags[i])) << "level " << c.level << " fragment " << i;
  }

  // A fragment another tree queued this frame is not queued again.
  NextFrame();
  m->ForceLODValue(1);
  frags[0]->m_iVisibleFrame = m_App.m_iFrameCount;
  m->RequestRender();
  EXPECT_EQ(2, m_Pool.GetVisibleCount(kRENDERDOMAIN_SCENE)) << "fragments 1 and 3";
  m->RequestRender();
  EXPECT_EQ(2, m_Pool.GetVisibleCount(kRENDERDOMAIN_SCENE)) << "a second request in the same frame adds nothing";
}

TEST_F(MeshRenderTest, DebugFiltersSkipFragmentsAfterTheOwnerFlags) {
  EDomain domain(nullptr, nullptr);
  EMeshEntity* owner = EMeshEntity::Create(&domain, "owner");
  EMesh* m = Mesh();
  m->SetOwner(owner);
  EMeshFrag* plain = Frag(m, 0);
  EMeshFrag* decal = Frag(m, 0, kMATERIALFLAG_DECAL | kMATERIALFLAG_ADDITIVE_BLENDING);
  EDebugHooks& hooks = m_App.m_DebugHooks;
  struct {
    const char* what;
    bool* toggle;
    bool on;
    bool plainQueued;
    bool decalQueued;
  } cases[] = {
      {"all on", &hooks.m_bDecals, true, true, true},
      {"no decals", &hooks.m_bDecals, false, true, false},
      {"no lights (additive)", &hooks.m_bLights, false, true, false},
      {"debug lights (additive)", &hooks.m_bDebugLights, true, true, false},
      {"no transparent geometry", &hooks.m_bTransparentGeometry, false, true, false},
  };
  for (const auto& c : cases) {
    NextFrame();
    owner->ClearTransientFlags();
    const bool saved = *c.toggle;
    *c.toggle = c.on;
    m->RequestRender();
    *c.toggle = saved;
    EXPECT_EQ(c.plainQueued, Queued(plain)) << c.what;
    EXPECT_EQ(c.decalQueued, Queued(decal)) << c.what;
    EXPECT_TRUE(owner->GetTransientFlag(ENTITYTRANSIENT_DREW_OPAQUE)) << c.what;
    EXPECT_TRUE(owner->GetTransientFlag(ENTITYTRANSIENT_DREW_NONADDITIVE)) << c.what;
  }
  // Only the additive decal: it is opaque (no alpha bits) but additive.
  m->SetOwner(nullptr);
  EMesh* lone = Mesh();
  lone->SetOwner(owner);
  Frag(lone, 0, kMATERIALFLAG_ADDITIVE_BLENDING);
  owner->ClearTransientFlags();
  NextFrame();
  lone->RequestRender();
  EXPECT_TRUE(owner->GetTransientFlag(ENTITYTRANSIENT_DREW_OPAQUE));
  EXPECT_FALSE(owner->GetTransientFlag(ENTITYTRANSIENT_DREW_NONADDITIVE));
  lone->SetOwner(nullptr);
  owner->InternalDelayedDelete();
  delete owner;
}

TEST_F(MeshRenderTest, MonitorsAskForTheirChannelOnlyInTheMainSpace) {
  EMesh* m = Mesh();
  m->SetPosition(EVec3(100, 0, 0));
  EMeshFrag* monitor = Frag(m, 0);
  m_ModelFrags.back()->m_iMonitorChannel = 2;
  m_pCamera->SetPosition(EVec3(0, 0, 0));
  ECameraChannel& channel = m_App.GetCameraChannel(2);
  channel.Clear();
  channel.m_fDistance = 1e9f;
  m_App.m_bChannelsWanted = false;

  m_App.m_iRenderSpace = 1;
  m->RequestRender();
  EXPECT_TRUE(Queued(monitor));
  EXPECT_EQ(0u, channel.m_dwFlags & 1);
  EXPECT_FALSE(m_App.m_bChannelsWanted);

  NextFrame();
  m_App.m_iRenderSpace = 0;
  m->RequestRender();
  EXPECT_EQ(1u, channel.m_dwFlags & 1);
  EXPECT_NEAR(99.0f, channel.m_fDistance, 1e-3f) << "to the near face of the fragment's box";
  EXPECT_TRUE(m_App.m_bChannelsWanted);

  // A nearer distance already there stays.
  NextFrame();
  channel.m_fDistance = 5.0f;
  m->RequestRender();
  EXPECT_FLOAT_EQ(5.0f, channel.m_fDistance);
  channel.Clear();
  m_App.m_bChannelsWanted = false;
}

TEST_F(MeshRenderTest, DynamicBoxAlwaysHoldsTheOrigin) {
  EMesh* m = Mesh();
  Frag(m, 0, 0, EBox3(EVec3(-5, 10, -5), EVec3(5, 20, 5)));
  Frag(m, 0, 0, EBox3(EVec3(0, 12, 0), EVec3(30, 15, 2)));
  m->GetTransformedBoundingBox();
  m->UpdateDynamicBoundingBox();
  EXPECT_FLOAT_EQ(0.0f, m->GetBox().vMin.y);
  EXPECT_FLOAT_EQ(-5.0f, m->GetBox().vMin.x);
  EXPECT_FLOAT_EQ(20.0f, m->GetBox().vMax.y);
  EXPECT_FLOAT_EQ(30.0f, m->GetBox().vMax.x);
  EXPECT_FLOAT_EQ(20.0f, m->GetTransformedBoundingBox().vMax.y) << "a large change renews the world box";
}

// ---------------------------------------------------------------- collision

namespace {

using collisionwriter::Poly;

class MeshCollideReader : public EMemReader {
public:
  MeshCollideReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "mesh.col"; }
};

}  // namespace

class MeshCollideTest : public ::testing::Test {
protected:
  MeshCollideTest() : m_Stack(1u << 20) {}
  void SetUp() override {
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_Stack);
    s_pRenderLines = &m_Lines;
    g_ErrorManager.SetConsoleCallback(RenderCaptureLine);
    m_bWarnings = g_ErrorManager.IsEnabled(TT_Warning);
    g_ErrorManager.SetEnabled(TT_Warning, true);
    // A floor over -100..100 at height 0 facing +y.
    std::vector<EVec3> v = {EVec3(-100, 0, -100), EVec3(100, 0, -100), EVec3(-100, 0, 100), EVec3(100, 0, 100)};
    Poly a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2, a.flags = kSurfacePhysical;
    b.v[0] = 1, b.v[1] = 3, b.v[2] = 2, b.flags = kSurfacePhysical;
    const std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(v, {a, b}, 317);
    MeshCollideReader s(bytes, 317);
    ASSERT_TRUE(m_Tree.Read(s));
    for (EMesh* m : {&m_Still, &m_Moved}) {
      EModel* model = new EModel();
      model->m_pCollisionTree = &m_Tree;
      m->SetModel(model);
      m->SetScale(EVec3(1, 1, 1));
    }
    // Turned a quarter about z and lifted: the floor becomes the wall x = 0
    // around y = 100, facing -x.
    m_Moved.SetRotation(EEuler(0, 0, 90));
    m_Moved.SetPosition(EVec3(0, 100, 0));
  }
  void TearDown() override {
    for (EMesh* m : {&m_Still, &m_Moved}) m->GetModel()->m_pCollisionTree = nullptr;
    g_ErrorManager.SetEnabled(TT_Warning, m_bWarnings);
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pRenderLines = nullptr;
    BindThreadLocalStack(m_pOldStack);
  }
  // A query from start to end with up to three spheres (kind 2) or one.
  static ECollide Query(const EVec3& start, const EVec3& end, std::initializer_list<ESphere> spheres = {}) {
    ECollide c(nullptr);
    c.InitSegment(start, end);
    c.dwFlags = kCOLLIDEFLAG_Physical;
    c.fPushDist = 0.0f;
    if (spheres.size() == 0) {
      c.eSrcType = CPT_OneSphere;
      c.fRadius = 1.0f;
      return c;
    }
    c.eSrcType = CPT_Spheres;
    c.nSpheres = 0;
    for (const ESphere& s : spheres) c.aSpheres[c.nSpheres++] = s;
    return c;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_Lines) n += s.find(szText) != std::string::npos;
    return n;
  }

  EMemStack m_Stack;
  EMemStack* m_pOldStack = nullptr;
  ECollisionTree m_Tree;
  EMesh m_Still;
  EMesh m_Moved;
  std::vector<std::string> m_Lines;
  bool m_bWarnings = true;
};

TEST_F(MeshCollideTest, StartEqualToEndIsTestedOnlyAsAPositionCheck) {
  for (bool bNew : {false, true}) {
    SCOPED_TRACE(bNew ? "newer" : "older");
    for (uint32_t dwExtra : {0u, (uint32_t)kCOLLIDEFLAG_CheckPosition}) {
      ECollide c = Query(EVec3(0, 0.5f, 0), EVec3(0, 0.5f, 0));
      c.dwFlags |= dwExtra;
      const bool bHit = bNew ? m_Still.CheckForCollision_new(c, nullptr) != nullptr : m_Still.CheckForCollision(c);
      EXPECT_EQ(dwExtra != 0, bHit) << dwExtra;
    }
  }
  // A plain sweep through the floor hits at its middle.
  ECollide c = Query(EVec3(10, 10, 10), EVec3(10, -10, 10));
  c.fRadius = 0.0f;
  EHitResult* r = m_Still.CheckForCollision_new(c, nullptr);
  ASSERT_NE(nullptr, r);
  EXPECT_NEAR(0.5f, r->fTime, 1e-3f);
  EXPECT_NEAR(1.0f, r->vNormal.y, 1e-4f);
  EXPECT_NEAR(-10.0f, c.vEnd.y, 1e-4f) << "the caller's end is given back";
}

TEST_F(MeshCollideTest, SphereSetsSkipEmptySpheresAndRecordTheOneThatHit) {
  // Sphere 0 would hit as a ray but has no radius; sphere 1 passes beside
  // the floor; sphere 2 hits.
  ECollide c = Query(EVec3(0, 10, 0), EVec3(0, -10, 0),
                     {ESphere(EVec3(0, 0, 0), 0.0f), ESphere(EVec3(500, 0, 0), 1.0f), ESphere(EVec3(20, 0, 0), 1.0f)});
  EHitResult* r = m_Still.CheckForCollision_new(c, nullptr);
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(2, r->iSrcPrimitive);
  EXPECT_EQ(2, c.iSrcPrimitive);
  EXPECT_EQ(CPT_Spheres, c.eSrcType);
  EXPECT_NEAR(0.45f, r->fTime, 1e-3f) << "a sphere of radius 1 touches one unit early";

  ECollide miss = Query(EVec3(0, 10, 0), EVec3(0, -10, 0), {ESphere(EVec3(0, 0, 0), 0.0f)});
  EXPECT_EQ(nullptr, m_Still.CheckForCollision_new(miss, nullptr));

  ECollide other = Query(EVec3(0, 10, 0), EVec3(0, -10, 0));
  other.eSrcType = CPT_Capsules;
  EXPECT_EQ(nullptr, m_Still.CheckForCollision_new(other, nullptr));
  EXPECT_EQ(1, Count("Unhandled in Mesh::CheckForCollision_new"));
}

TEST_F(MeshCollideTest, MovedMeshesAnswerInWorldSpace) {
  const EMat4& mInv = m_Moved.GetInvInclusiveTrans();
  struct {
    const char* what;
    ECollide world;
  } cases[] = {
      {"one sphere", Query(EVec3(-10, 110, 5), EVec3(10, 110, 5))},
      {"sphere set", Query(EVec3(-10, 100, 0), EVec3(10, 100, 0),
                           {ESphere(EVec3(0, 0, 0), 0.0f), ESphere(EVec3(0, 500, 0), 1.0f),
                            ESphere(EVec3(0, 20, 0), 2.0f)})},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The same query taken into the floor's own space against the unmoved mesh.
    ECollide local = c.world;
    local.TransformBy(mInv, false);
    for (int i = 0; i < local.nSpheres; ++i) local.aSpheres[i].centre = mInv.Mul3Vec3(local.aSpheres[i].centre);
    EHitResult* expected = m_Still.CheckForCollision_new(local, nullptr);
    ASSERT_NE(nullptr, expected);
    EHitResult* r = m_Moved.CheckForCollision_new(c.world, nullptr);
    ASSERT_NE(nullptr, r);
    EXPECT_NEAR(expected->fTime, r->fTime, 1e-4f);
    EXPECT_EQ(expected->iSrcPrimitive, r->iSrcPrimitive);
    EXPECT_NEAR(-1.0f, r->vNormal.x, 1e-4f) << "the wall faces -x";
    EXPECT_NEAR(0.0f, r->vNormal.y, 1e-4f);
  }

  // The older query gives the hit back in world space with this mesh.
  ECollide c = Query(EVec3(-10, 110, 5), EVec3(10, 110, 5));
  c.fRadius = 0.0f;
  ASSERT_TRUE(m_Moved.CheckForCollision(c));
  EXPECT_NEAR(0.0f, c.vEnd.x, 1e-3f);
  EXPECT_NEAR(110.0f, c.vEnd.y, 1e-3f);
  EXPECT_NEAR(-1.0f, c.vNormal.x, 1e-4f);
  EXPECT_EQ(&m_Moved, c.pMesh);
  EXPECT_EQ(nullptr, c.pEntity) << "a mesh without an owner";
}

TEST_F(MeshCollideTest, CollisionBoxAndPresence) {
  EXPECT_TRUE(m_Still.HasCollision());
  EMesh bare;
  EXPECT_FALSE(bare.HasCollision());
  EXPECT_FALSE(bare.CheckForContainment(EVec3(0, 0, 0), false));
  EXPECT_FLOAT_EQ(0.0f, bare.GetTransformedCollisionBoundingBox().vMax.x);
  const EBox3 still = m_Still.GetTransformedCollisionBoundingBox();
  EXPECT_FLOAT_EQ(100.0f, still.vMax.x);
  const EBox3 moved = m_Moved.GetTransformedCollisionBoundingBox();
  EXPECT_NEAR(0.0f, moved.vMax.x, 1e-3f);
  EXPECT_NEAR(200.0f, moved.vMax.y, 1e-3f);
  EXPECT_NEAR(0.0f, moved.vMin.y, 1e-3f);
}
