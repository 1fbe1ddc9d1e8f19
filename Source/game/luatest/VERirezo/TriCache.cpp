// The triangle cache of a moving object and the decaying statistics that
// steer it.
#include "VERirezo/TriCache.h"

#include <cmath>

#include "Game/Camera.h"
#include "Game/DebugScreen.h"
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

// ---- Decaying statistics ---------------------------------------------------------------------

EHistoryManager g_HistoryManager;

EHistoryManager::EHistoryManager() : m_dLastDt(-1.0), m_adTimeConstant{0.0, 1.0, 2.5}, m_adDecay{0.0, 0.0, 0.0} {}

const double* EHistoryManager::GetDecayConstants(double dt) {
  static const double s_adZero[3] = {0.0, 0.0, 0.0};
  if (dt == 0.0) return s_adZero;
  if (dt != m_dLastDt) {
    m_dLastDt = dt;
    for (int i = 0; i < 3; ++i)
      m_adDecay[i] = m_adTimeConstant[i] == 0.0 ? 0.0 : exp(dt * -log(10.0) / m_adTimeConstant[i]);
  }
  return m_adDecay;
}

namespace trihistory {

EMat2 Outer(const EVec2& v) { return EMat2(v.x * v.x, v.x * v.y, v.y * v.x, v.y * v.y); }
EMat3 Outer(const EVec3& v) {
  return EMat3(v.x * v.x, v.x * v.y, v.x * v.z, v.y * v.x, v.y * v.y, v.y * v.z, v.z * v.x, v.z * v.y, v.z * v.z);
}
float Outer(float x) { return x * x; }

// Level 0 takes the sample; levels 1 and 2 blend it in by their factors.
template <class V, class M>
void SetLevels(V* aMean, M* aMoment, const V& v, float dt) {
  const double* ad = g_HistoryManager.GetDecayConstants(dt);
  aMean[0] = v;
  aMoment[0] = Outer(v);
  for (int i = 1; i < 3; ++i) {
    const float c = (float)ad[i];
    aMean[i] = aMean[i] * c + v * (1.0f - c);
    aMoment[i] = aMoment[i] * c + aMoment[0] * (1.0f - c);
  }
}

}  // namespace trihistory

EHistoryVec1::EHistoryVec1() {
  for (int i = 0; i < 3; ++i) m_afMean[i] = m_afMoment[i] = 0.0f;
  Set(0.0f, 0.0f);
}
void EHistoryVec1::Set(float x, float dt) { trihistory::SetLevels(m_afMean, m_afMoment, x, dt); }

EHistoryVec2::EHistoryVec2() {
  for (int i = 0; i < 3; ++i) {
    m_avMean[i] = EVec2(0.0f, 0.0f);
    m_amMoment[i] = EMat2(0.0f, 0.0f, 0.0f, 0.0f);
  }
  Set(EVec2(0.0f, 0.0f), 0.0f);
}
void EHistoryVec2::Set(const EVec2& v, float dt) { trihistory::SetLevels(m_avMean, m_amMoment, v, dt); }
EMat2 EHistoryVec2::GetVariance(int i) const {
  EMat2 m = m_amMoment[i];
  m.CovarianceTranslateToLocal(m_avMean[i]);
  return m;
}

EHistoryVec3::EHistoryVec3() {
  for (int i = 0; i < 3; ++i) {
    m_avMean[i] = EVec3(0.0f, 0.0f, 0.0f);
    m_amMoment[i] = EMat3(0, 0, 0, 0, 0, 0, 0, 0, 0);
  }
  Set(EVec3(0.0f, 0.0f, 0.0f), 0.0f);
}
void EHistoryVec3::Set(const EVec3& v, float dt) { trihistory::SetLevels(m_avMean, m_amMoment, v, dt); }
EMat3 EHistoryVec3::GetVariance(int i) const {
  EMat3 m = m_amMoment[i];
  m.CovarianceTranslateToLocal(m_avMean[i]);
  return m;
}

// ---- The cache -------------------------------------------------------------------------------

ETriCache* ETriCache::sm_pHead = nullptr;

bool ETriCache::IsEnabled() { return !gGameApp || gGameApp->m_DebugHooks.UseTriCache; }

ETriCache::ETriCache(float fMaxRadius, unsigned dwSurfaceFlags, const char* szName, ECollisionManager* pCM)
    : m_szName(szName), m_dwSurfaceFlags(dwSurfaceFlags), m_bMovers(false), m_fMaxRadius(fMaxRadius),
      m_Sphere(EVec3(0.0f, 0.0f, 0.0f), 0.0f), m_pCM(pCM ? pCM : &ECollisionManager::sm_CM), m_pNext(sm_pHead) {
  EASSERT(m_fMaxRadius != 0);
  EASSERT(m_dwSurfaceFlags != 0);
  sm_pHead = this;
}

ETriCache::~ETriCache() {
  ETriCache** ppCur = &sm_pHead;
  while (*ppCur && *ppCur != this) ppCur = &(*ppCur)->m_pNext;
  EASSERT(*ppCur);
  if (*ppCur) *ppCur = m_pNext;
}

void ETriCache::AutoTune() {
  const float fHalf = 0.5f * m_fMaxRadius;
  const EMat3 V = m_History.GetVariance(1);
  float r = FastSqrt(fabsf(V.m[0]) + fabsf(V.m[4]) + fabsf(V.m[8])) * 1.5f;
  const EVec3 M = m_History.GetMean(1);
  const float R = m_Sphere.radius;
  if (R > r && R - r > (m_Sphere.centre - M).Length()) return;
  if (fHalf > r) {
    r = fHalf;
  } else if (r > m_fMaxRadius) {
    r = m_fMaxRadius;
  }
  Fill(ESphere(M, r + 10.0f));
}

void ETriCache::Fill(const ESphere& sphere) {
  if (!IsEnabled()) return;
  m_Sphere = sphere;
  m_TriSpheres.clear();
  m_TriData.clear();
  if (sphere.radius == 0.0f) return;
  // The root domain's collision mesh is set with the domain.
  AddMesh(m_pCM->GetRootDomainCollision());
  EMemStack& stack = *GetThreadLocalStack();
  const EVec3 r(sphere.radius, sphere.radius, sphere.radius);
  for (ECollisionManager::CollideeInfo::Iter it(m_pCM, EBox3(sphere.centre - r, sphere.centre + r),
                                                ECollisionManager::kCollideeEntity, stack);
       it; ++it) {
    EEntity* e = static_cast<EEntity*>(it->pObject);
    const EPhysics* pPhys = e->GetPhysics();
    if (!pPhys || pPhys->GetCollisionType() != CPT_Triangles) continue;
    if (pPhys->GetFlag(PHYSICS_MOVINGGEOMETRY) && !m_bMovers) continue;
    EMeshEntity* me = pPhys->GetOwnerME();
    if (me) AddMesh(me->GetMesh());
  }
}

void ETriCache::AddMesh(EMesh* pMesh) {
  ECollisionTree* pTree = pMesh ? pMesh->GetCollisionTree() : nullptr;
  if (!pTree) return;
  const bool bIdentity = pMesh->InclusiveTransIsIdentity();
  ESphere local = m_Sphere;
  if (!bIdentity) {
    local.centre = pMesh->GetInvInclusiveTrans().TransformPoint(m_Sphere.centre);
    local.radius = m_Sphere.radius / pMesh->GetScale().x;
  }
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  uint32_t* pIndices = nullptr;
  int nCount = 0;
  pTree->GetIntersectingTriangles(local, stack, m_dwSurfaceFlags, m_pCM->GetCollisionGroupMask(), &pIndices, &nCount);
  for (int k = 0; k < nCount; ++k) {
    ETri3 tri = pTree->GetTri((int)pIndices[k]);
    if (!bIdentity) {
      const EMat4& m = pMesh->GetInclusiveTrans();
      tri.Set(m.TransformPoint(tri.p0), m.TransformPoint(tri.p1), m.TransformPoint(tri.p2));
    }
    const EVec3 vRel = tri.GetRelativeCircumcenter();
    m_TriData.push_back(TriData{pMesh, pIndices[k]});
    m_TriSpheres.push_back(ESphere(tri.p0 + vRel, vRel.Length()));
  }
  EASSERT(m_TriSpheres.size() == m_TriData.size());
}

void ETriCache::ReportResult(const ECollide& hit, bool bInside) {
  if (bInside) {
    g_CollideStats.nCacheInside++;
  } else {
    g_CollideStats.nCacheLeaving++;
  }
  const float R = m_Sphere.radius;
  const EVec3& c = m_Sphere.centre;
  const EVec3& P = hit.vStart;
  const EVec3& Q = hit.vEnd;
  const float r = hit.fRadius;
  const EVec3 B = P + hit.vDir * MIN(hit.fLength + 20.0f, 2.0f * R);
  if (r != 0.0f) {
    m_History.Set(P + (P - c).SafeGetNormal() * r, 0.005f);
    if (!bInside) {
      m_History.Set(B + (B - c).SafeGetNormal() * r, 0.01f);
    } else {
      m_History.Set(Q + (Q - c).SafeGetNormal() * r, 0.01f);
    }
  } else {
    m_History.Set(P, 0.01f);
    m_History.Set(bInside ? Q : B, 0.005f);
  }
}

void ETriCache::onDomainChange(EDomain* pOld, EDomain* pNew) {
  ECollisionManager* pFrom = pOld ? pOld->GetCollisionManager() : &ECollisionManager::sm_CM_dummy;
  ECollisionManager* pTo = pNew ? pNew->GetCollisionManager() : &ECollisionManager::sm_CM_dummy;
  if (pFrom == pTo) return;
  Empty();
  m_pCM = pTo;
}

bool ETriCache::ReferencesMesh(const EMesh* pMesh) const {
  const EMesh* pPrev = nullptr;
  for (const TriData& d : m_TriData) {
    if (d.pMesh == pPrev) continue;
    pPrev = d.pMesh;
    for (const EMesh* p = d.pMesh; p; p = p->GetParent())
      if (p == pMesh) return true;
  }
  return false;
}

void ETriCache::NotifyCollidee(EMeshEntity* pEntity, const EBox3& box) {
  if (!pEntity) return;
  const EPhysics* pPhys = pEntity->GetPhysics();
  const bool bMover = pPhys && pPhys->GetFlag(PHYSICS_MOVINGGEOMETRY);
  for (ETriCache* p = sm_pHead; p; p = p->m_pNext) {
    if (p->m_Sphere.radius == 0.0f || !TWMath::TestIntersection(p->m_Sphere, box)) continue;
    if (bMover && !p->m_bMovers) continue;
    p->AddMesh(pEntity->GetMesh());
  }
}

void ETriCache::NotifyNotCollidee(EMeshEntity* pEntity) {
  if (pEntity && pEntity->GetMesh()) NotifyMeshUnloaded(pEntity->GetMesh());
}

void ETriCache::NotifyMeshUnloaded(const EMesh* pMesh) {
  // A mesh without collision of its own may still have children with it.
  if (!pMesh) return;
  for (ETriCache* p = sm_pHead; p; p = p->m_pNext)
    if (p->ReferencesMesh(pMesh)) p->Empty();
}

void ETriCache::EmptyAll() {
  for (ETriCache* p = sm_pHead; p; p = p->m_pNext) p->Empty();
}

void ETriCache::RequestRender() const {
  EDebugLineManager* pLines = gGameApp ? gGameApp->m_pDebugLineManager : nullptr;
  if (!pLines) return;
  ECamera* pCamera = gGameApp->GetCurrentCamera();
  if (m_szName && m_szName[0] == 'c' && pCamera && (int)pCamera->GetType() == 2) return;
  static const EVec4 kSPHERE(0.5f, 0.8f, 0.5f, 0.4f);
  static const EVec4 kTRI(0.5f, 0.5f, 0.2f, 0.4f);
  static const EVec4 kSPREAD(0.7f, 0.5f, 0.5f, 0.6f);
  pLines->AddSphere(m_Sphere, &kSPHERE);
  for (const TriData& d : m_TriData) {
    ECollisionTree* pTree = d.pMesh->GetCollisionTree();
    if (!pTree) continue;
    const EMat4* pMat = d.pMesh->InclusiveTransIsIdentity() ? nullptr : &d.pMesh->GetInclusiveTrans();
    pTree->RequestRenderPoly((int)d.dwIndex, pMat, 4, kTRI, d.pMesh);
  }
  float afValues[3];
  EVec3 avVectors[3];
  if (!m_History.GetVariance(1).GetEigenStuff(afValues, avVectors)) return;
  EMat4 m(avVectors[0], avVectors[1], avVectors[2], m_History.GetMean(1));
  m.Orthonormalize();
  for (int i = 0; i < 3; ++i) {
    const float s = FastSqrt(afValues[i]);
    m.m[i * 4] *= s;
    m.m[i * 4 + 1] *= s;
    m.m[i * 4 + 2] *= s;
  }
  pLines->AddTransformedSphere(m, 1.0f, &kSPREAD);
}
