#include <gtest/gtest.h>

#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"

namespace {

void MeshExpectPoint(const EVec3& v, float x, float y, float z) {
  EXPECT_NEAR(x, v.x, 1e-4f);
  EXPECT_NEAR(y, v.y, 1e-4f);
  EXPECT_NEAR(z, v.z, 1e-4f);
}

}  // namespace

TEST(Mesh, EmptyMeshUsesTheSharedModel) {
  const int iBefore = EMesh::sm_iTotalMeshCount;
  {
    EMesh mesh;
    EXPECT_EQ(iBefore + 1, EMesh::sm_iTotalMeshCount);
    EXPECT_EQ(GetEmptyModel(), mesh.GetModel());
    EXPECT_EQ(0, mesh.GetNumMeshFrags());
    MeshExpectPoint(mesh.GetScale(), 0, 0, 0);
    EXPECT_TRUE(mesh.GetActive());
  }
  EXPECT_EQ(iBefore, EMesh::sm_iTotalMeshCount);
  EXPECT_STREQ("", GetEmptyModel()->GetName());
}

TEST(Mesh, WorldMatrixScalesTurnsMovesThenParent) {
  EMesh* parent = new EMesh();
  parent->SetScale(EVec3(1, 1, 1));
  EMesh* child = new EMesh();
  child->SetScale(EVec3(2, 3, 4));
  child->SetPosition(EVec3(10, 20, 30));
  MeshExpectPoint(child->GetInclusiveTrans() % EVec3(1, 1, 1), 12, 23, 34);
  parent->AddChild(child);
  parent->SetPosition(EVec3(100, 0, 0));
  MeshExpectPoint(child->GetInclusiveTrans() % EVec3(1, 1, 1), 112, 23, 34);
  MeshExpectPoint(child->GetInvInclusiveTrans() % EVec3(112, 23, 34), 1, 1, 1);

  // A quarter turn about Y: scaled first, then turned, then moved.
  EMesh turned;
  turned.SetScale(EVec3(2, 2, 2));
  turned.SetRotation(EEuler(0, 90, 0));
  const EVec3 p = turned.GetInclusiveTrans() % EVec3(1, 0, 0);
  EXPECT_NEAR(2.0f, p.Length(), 1e-4f);
  EXPECT_NEAR(0.0f, p.y, 1e-4f);
  // The light matrix ignores scale and undoes the mesh's own placement.
  turned.SetPosition(EVec3(5, 0, 0));
  const EVec3 local = turned.GetLightToModelTrans() % (turned.GetInclusiveTrans() % EVec3(1, 0, 0));
  MeshExpectPoint(local, 2, 0, 0);

  EMesh identity;
  identity.SetScale(EVec3(1, 1, 1));
  EXPECT_TRUE(identity.InclusiveTransIsIdentity());
  EXPECT_FALSE(child->InclusiveTransIsIdentity());
  delete parent;
}

TEST(Mesh, SmallMovesKeepTheCache) {
  EMesh parent;
  parent.SetScale(EVec3(1, 1, 1));
  EMesh* child = new EMesh();
  child->SetScale(EVec3(1, 1, 1));
  parent.AddChild(child);
  parent.SetPosition(EVec3(1, 2, 3));
  child->GetInclusiveTrans();
  ASSERT_NE(0u, child->GetFlags() & EMesh::kFLAG_TransValid);

  parent.SetPosition(EVec3(1.000005f, 2.000005f, 3.000005f));
  EXPECT_NE(0u, child->GetFlags() & EMesh::kFLAG_TransValid) << "jitter keeps the caches";
  parent.SetScale(EVec3(1.000005f, 1, 1));
  EXPECT_NE(0u, child->GetFlags() & EMesh::kFLAG_TransValid);

  parent.SetPosition(EVec3(1.0001f, 2, 3));
  EXPECT_EQ(0u, child->GetFlags() & EMesh::kFLAG_TransValid) << "a real move renews the subtree";
  MeshExpectPoint(child->GetInclusiveTrans() % EVec3(0, 0, 0), 1.0001f, 2, 3);
}

class MeshLOD : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pCamera = new ECamera();
    m_pApp->m_aCameras[3] = m_pCamera;
  }
  void TearDown() override {
    m_pApp->m_aCameras[3] = nullptr;
    delete m_pCamera;
    gGameApp = nullptr;
    delete m_pApp;
  }
  PCGameApp* m_pApp = nullptr;
  ECamera* m_pCamera = nullptr;
};

TEST_F(MeshLOD, DistancesPickTheLevel) {
  EMesh mesh;
  EModel* model = new EModel();
  const float distances[] = {10.0f, 20.0f};
  model->SetLODs(distances, 2);
  mesh.SetModel(model);
  mesh.SetScale(EVec3(1, 1, 1));
  struct {
    float d;
    int level;
  } cases[] = {{5, 1}, {10, 2}, {15, 2}, {20, 3}, {500, 3}};
  for (const auto& c : cases) {
    m_pCamera->SetPosition(EVec3(c.d, 0, 0));
    EXPECT_EQ(c.level, mesh.GetLODForCamera(m_pCamera)) << c.d;
  }
  ECamera other;
  EXPECT_EQ(3, mesh.GetLODForCamera(&other));

  mesh.ForceLODValue(7);
  m_pCamera->SetPosition(EVec3(5, 0, 0));
  EXPECT_EQ(3, mesh.GetLODForCamera(m_pCamera)) << "forced levels stop at the coarsest";
  mesh.ForceLODValue(0);
  EXPECT_EQ(1, mesh.GetLODForCamera(m_pCamera));

  EMesh plain;
  EXPECT_EQ(1, plain.GetLODForCamera(m_pCamera));
  EXPECT_EQ(0, plain.GetLODForCamera(&other));
}

TEST(Mesh, InstantiateHandsOutTheOriginalThenCopies) {
  PCGameApp app;
  gGameApp = &app;
  EMeshFragManager pool;
  app.m_pMeshFragManager = &pool;
  EMesh* original = new EMesh();
  EModel* model = new EModel();
  model->SetName("crate");
  model->m_vPosition = EVec3(4, 5, 6);
  model->m_vScale = EVec3(2, 2, 2);
  original->SetModel(model);
  *original = *model;
  EModelFrag* shared = EModelFragManager::ModelFragNew();
  EMeshFrag* frag = pool.MeshFragNew();
  *frag = *shared;
  original->AddMeshFrag(frag);
  EMesh* child = new EMesh();
  child->SetPosition(EVec3(1, 0, 0));
  original->AddChild(child);
  EAnimAffector* affector = new EAnimAffector();
  original->AddAffector(affector);
  ENavMesh* nav = new ENavMesh();
  original->SetNavMesh(nav);

  EXPECT_EQ(original, original->Instantiate());
  MeshExpectPoint(original->GetPosition(), 0, 0, 0);
  MeshExpectPoint(original->GetScale(), 1, 1, 1);
  EXPECT_EQ(1, child->GetRefCount()) << "the first user takes the whole tree";
  MeshExpectPoint(child->GetPosition(), 1, 0, 0);

  EMesh* copy = static_cast<EMesh*>(original->Instantiate());
  ASSERT_NE(original, copy);
  EXPECT_EQ(original, copy->GetOriginal());
  EXPECT_EQ(model, copy->GetModel());
  EXPECT_STREQ("crate", copy->GetName());
  ASSERT_EQ(1, copy->GetNumMeshFrags());
  EXPECT_NE(frag, copy->GetMeshFrag(0));
  EXPECT_EQ(shared, copy->GetMeshFrag(0)->m_pModelFrag);
  EXPECT_EQ(copy, copy->GetMeshFrag(0)->m_pMesh);
  ASSERT_EQ(1, copy->GetNumAffectors());
  EXPECT_NE(affector, copy->GetAffector(0));
  ASSERT_EQ(1, copy->GetNumChildren());
  EXPECT_NE(child, copy->GetChild(0));
  EXPECT_EQ(copy, copy->GetChild(0)->GetParent());
  EXPECT_EQ(copy->GetChild(0), copy->FindMesh(""));
  MeshExpectPoint(copy->GetScale(), 1, 1, 1);
  ASSERT_NE(nullptr, copy->GetNavMesh());
  EXPECT_NE(nav, copy->GetNavMesh()) << "a copy gets a navigation mesh of its own (deleted with it)";
  EXPECT_EQ(nav, original->GetNavMesh());
  EXPECT_EQ(copy, copy->GetNavMesh()->GetMesh());

  copy->DestroyInstance();
  EXPECT_EQ(1, original->GetRefCount());
  delete copy;  // shares the model: the original still names it
  EXPECT_STREQ("crate", original->GetName());
  original->DestroyInstance();
  EXPECT_EQ(0, original->GetRefCount());
  delete original;
  EXPECT_EQ(0, pool.GetActiveCount());
  EModelFragManager::ModelFragDelete(shared);
  app.m_pMeshFragManager = nullptr;
  gGameApp = nullptr;
}

TEST(Mesh, AffectorPassAndFrameAnimation) {
  EMesh parent;
  EMesh* child = new EMesh();
  parent.AddChild(child);
  EXPECT_TRUE(parent.IsMeshAnimDone());
  EXPECT_FALSE(parent.RunAffectors(16.0f));

  struct EndAffector : EAffector {
    int runs = 0;
    bool Run(EMesh* pMesh, float) override {
      ++runs;
      if (runs == 2) pMesh->SetFlags(pMesh->GetFlags() | EMesh::kFLAG_FrameAnimEnd);
      return true;
    }
  };
  EndAffector* aff = new EndAffector();
  child->AddAffector(aff);
  parent.StartAnimation(0, false);
  EXPECT_FALSE(parent.IsMeshAnimDone());
  EXPECT_TRUE(parent.RunAffectors(16.0f));
  EXPECT_FALSE(parent.RunAffectors(16.0f)) << "the end flag stops the animation after the pass";
  EXPECT_EQ(0u, child->GetFlags() & (EMesh::kFLAG_FrameAnimRunning | EMesh::kFLAG_FrameAnimEnd));
  EXPECT_TRUE(parent.IsMeshAnimDone());
  EXPECT_EQ(2, aff->runs);

  parent.StartAnimation(0, true);
  parent.StopAnimation(false);
  EXPECT_TRUE(parent.IsMeshAnimDone());
}
