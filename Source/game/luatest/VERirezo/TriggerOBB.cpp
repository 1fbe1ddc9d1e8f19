// Box and plane triggers of a level's meshes: the scene-file record, the
// placement in the mesh, containment, swept entries and exits, and plane
// crossings.
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWMath/Intersect.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/TriggerShapes.h"

namespace triggerobb {
const unsigned kNAME_BUFFER = 4096;

// Bounds inclusive.
bool BoxHoldsPoint(const EBox3& box, const EVec3& p) {
  return box.vMin.x <= p.x && p.x <= box.vMax.x && box.vMin.y <= p.y && p.y <= box.vMax.y && box.vMin.z <= p.z &&
         p.z <= box.vMax.z;
}
}  // namespace triggerobb

// --- EModelTriggerOBB ----------------------------------------------------------------------

EModelTriggerOBB::EModelTriggerOBB()
    : m_szName(nullptr),
      m_Box(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)),
      m_Plane(EVec3(0.0f, 0.0f, 1.0f), 0.0f),
      m_byFlags(0) {}

EModelTriggerOBB::~EModelTriggerOBB() { SetName(nullptr); }

void EModelTriggerOBB::SetName(const char* szName) {
  StringFreePooled(m_szName, kMEMTYPE_Trigger);
  m_szName = szName ? StringDuplicatePooled(szName, kMEMTYPE_Trigger) : nullptr;
}

EModelTriggerOBB& EModelTriggerOBB::operator=(const EModelTriggerOBB& other) {
  if (this == &other) return *this;
  EASSERT(m_szName == 0);
  SetName(other.m_szName);
  m_Plane = other.m_Plane;
  m_byFlags = (uint8_t)((m_byFlags & ~kFLAG_Plane) | (other.m_byFlags & kFLAG_Plane));
  m_Box = other.m_Box;
  return *this;
}

// --- ETriggerOBB ---------------------------------------------------------------------------

ETriggerOBB::ETriggerOBB() : m_pMesh(nullptr), m_pModelTrigger(nullptr), m_byFlags(0) {
  m_mInvBoxTrans.LoadIdentity();
  m_eType = kTRIGGER_OBB;
}

ETriggerOBB::~ETriggerOBB() {
  if (m_byFlags & kFLAG_OwnsModelTrigger) delete m_pModelTrigger;
  m_pModelTrigger = nullptr;
}

bool ETriggerOBB::Init(EMesh* pMesh, EStream& s) {
  EASSERT(!GetCollisionManager());
  EASSERT(m_pModelTrigger);
  m_pMesh = pMesh;
  EModelTriggerOBB& model = *m_pModelTrigger;
  char szName[triggerobb::kNAME_BUFFER];
  s.StreamString_4b(szName, sizeof(szName));
  model.SetName(szName);
  if (strcmp(szName, "PLANE") == 0) {
    model.m_byFlags |= EModelTriggerOBB::kFLAG_Plane;
    s << model.m_Plane.n;
    s.StreamString_4b(szName, sizeof(szName));
    model.SetName(szName);
    model.m_Plane.d = 0.0f;
  }
  EVec3 vPosition, vRotation;
  EBox3 ignored;
  s << vPosition << vRotation << model.m_Box.vMin << model.m_Box.vMax << ignored.vMin << ignored.vMax;
  if (model.IsPlane()) {
    // At least a unit deep on each side of the plane.
    model.m_Box.Add(model.m_Plane.n);
    model.m_Box.Add(-model.m_Plane.n);
  }
  EMat4 mPlace = MatrixRotateEuler(EEuler(vRotation.x * 57.29578f, vRotation.y * 57.29578f, vRotation.z * 57.29578f));
  mPlace.SetTranslation(vPosition);
  m_mInvBoxTrans = mPlace.Inverse();
  return !s.Err();
}

void ETriggerOBB::Init(EMesh* pMesh, const ETriggerOBB& source) {
  m_pMesh = pMesh;
  m_mInvBoxTrans = source.m_mInvBoxTrans;
  if (source.m_byFlags & kFLAG_OwnsModelTrigger) {
    if (m_byFlags & kFLAG_OwnsModelTrigger) delete m_pModelTrigger;
    m_pModelTrigger = new EModelTriggerOBB();
    *m_pModelTrigger = *source.m_pModelTrigger;
    m_byFlags |= kFLAG_OwnsModelTrigger;
  } else {
    m_pModelTrigger = source.m_pModelTrigger;
  }
  m_byFlags = (uint8_t)((m_byFlags & ~kFLAG_PointCheck) | (source.m_byFlags & kFLAG_PointCheck));
  ETriggerBase::Init(source);
}

const char* ETriggerOBB::GetName() const { return m_pModelTrigger ? m_pModelTrigger->GetName() : nullptr; }

void ETriggerOBB::SetName(const char* szName) {
  if (m_pModelTrigger) m_pModelTrigger->SetName(szName);
}

const char* ETriggerOBB::GetOwnerName() const {
  if (!m_pMesh) return "None";
  if (EMeshEntity* pOwner = m_pMesh->GetOwner()) return pOwner->GetName();
  EDomain* pDomain = m_pMesh->PeekOwnerDomain();
  return pDomain && pDomain->GetName() ? pDomain->GetName() : "None";
}

void ETriggerOBB::SetPointCheck(bool bOn) {
  if (bOn) m_byFlags |= kFLAG_PointCheck;
  else m_byFlags &= ~kFLAG_PointCheck;
}

void ETriggerOBB::SetBox(const EBox3& box) {
  if (!(m_byFlags & kFLAG_OwnsModelTrigger)) {
    // The other instances keep the shared record.
    EModelTriggerOBB* pCopy = new EModelTriggerOBB();
    if (m_pModelTrigger) *pCopy = *m_pModelTrigger;
    m_pModelTrigger = pCopy;
    m_byFlags |= kFLAG_OwnsModelTrigger;
  }
  m_pModelTrigger->m_Box = box;
  Refile();
}

EMat4 ETriggerOBB::GetInvTrans() const {
  if (!m_pMesh) return m_mInvBoxTrans;
  return m_mInvBoxTrans.Mul(m_pMesh->GetInvInclusiveTrans());
}

EMat4 ETriggerOBB::GetTrans() const {
  const EMat4 mBox = m_mInvBoxTrans.OrthoInverse();
  if (!m_pMesh) return mBox;
  return m_pMesh->GetInclusiveTrans().Mul(mBox);
}

bool ETriggerOBB::Contains(EEntity* pEntity) const {
  if (IsPlane() || !m_pModelTrigger) return false;
  const ESphere s = GetTriggeringSphere(pEntity);
  const float r = GetPointCheck() ? 0.0f : s.radius;
  const EVec3 c = GetInvTrans().TransformPoint(s.centre);
  return TWMath::SqrDistance(c, GetBox()) <= r * r;
}

EBox3 ETriggerOBB::GetCollisionBoundingBox() const {
  if (!m_pModelTrigger) return EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
  return GetBox().TransformAffine(GetTrans());
}

void ETriggerOBB::ProcessIntersection(const ESweepHitQuery& query, bool bAtRest) {
  if (!m_pModelTrigger) return;
  if (IsPlane()) {
    ProcessPlane(query, bAtRest);
    return;
  }
  if (GetNumListeners() == 0) return;
  EASSERT(query.pCollider);
  const float r = GetPointCheck() ? 0.0f : query.fRadius;
  const EMat4 M = GetInvTrans();
  const EBox3& box = GetBox();
  if (bAtRest) {
    const EVec3 E = M.TransformPoint(query.vStart + query.vMove * query.fMaxT);
    const bool bInside = r != 0.0f ? TWMath::SqrDistance(E, box) <= r * r : triggerobb::BoxHoldsPoint(box, E);
    if (bInside) AddEntity(query.pCollider, nullptr);
    else RemoveEntity(query.pCollider, nullptr);
    return;
  }
  const EVec3 A = M.TransformPoint(query.vStart);
  const EVec3 B = M.TransformPoint(query.vStart + query.vMove);
  // From the end back to the start: a contact at 0 is a move that ends inside.
  const EFastSeg3 back(B, A, TagPOINTS());
  float t = 1.0f;
  const bool bContact =
      r > 0.0f ? TWMath::FindIntersection(back, r, box, t) : TWMath::FindIntersection(back, box, t);
  if (bContact) AddEntity(query.pCollider, nullptr);
  if (!bContact || t != 0.0f) RemoveEntity(query.pCollider, nullptr);
}

void ETriggerOBB::ProcessPlane(const ESweepHitQuery& query, bool bAtRest) {
  if (GetNumListeners() == 0 || bAtRest) return;
  // The path of the sphere's bottom, in world Y.
  const EVec3 S0 = query.vStart + EVec3(0.0f, -query.fRadius, 0.0f);
  const EVec3 E0 = S0 + query.vMove;
  const EMat4 M = GetInvTrans();
  const EFastSeg3 seg(M.TransformPoint(S0), M.TransformPoint(E0), TagPOINTS());
  float t = 0.0f;
  bool bFromBehind = false;
  TWMath::FindIntersection(seg, m_pModelTrigger->m_Plane, t, bFromBehind);
  if (!(t >= 0.0f && t < query.fMaxT)) return;
  if (!triggerobb::BoxHoldsPoint(GetBox(), seg.ParametricToPoint(t))) return;
  BroadcastCrossed(query.pCollider, bFromBehind, query.vStart + query.vMove * t);
}

void ETriggerOBB::BroadcastCrossed(EEntity* pEntity, bool bFromBehind, const EVec3& vPoint) const {
  EScriptObject* pSender = pEntity ? pEntity->GetScriptObject() : nullptr;
  const char* szName = GetName();
  const EArray<EScriptObject*>& aListeners = GetListeners();
  for (int i = 0; i < aListeners.Num(); ++i)
    aListeners[i]->SendMessagef("CrossedTriggerPlane", pSender, kMESSAGE_Queued, "SiHfff", szName ? szName : "",
                                bFromBehind ? 1 : 0, GetHandle(), (double)vPoint.x, (double)vPoint.y,
                                (double)vPoint.z);
}

void ETriggerOBB::Describe(char* szBuf, int nSize) const {
  if (!szBuf || nSize <= 0) return;
  const char* szName = GetName();
  snprintf(szBuf, (size_t)nSize, "%s/%s", szName ? szName : "", GetOwnerName());
}

void ETriggerOBB::RequestRender() const {
  EDebugLineManager* pLines = gGameApp ? gGameApp->m_pDebugLineManager : nullptr;
  if (!pLines || !m_pModelTrigger) return;
  const EMat4 W = GetTrans();
  const EBox3& box = GetBox();
  EBox3 drawn = box;
  EVec4 colour;
  if (IsPlane()) {
    colour = EVec4(1.0f, 1.0f, 0.0f, 1.0f);
    const EVec3& n = m_pModelTrigger->m_Plane.n;
    const EVec3 c = box.GetCenter();
    EVec3 e = box.GetExtent();
    e = e - n * e.Dot(n);
    drawn = EBox3(c - e, c + e);
    pLines->AddArrow(W.TransformPoint(c), W.TransformPoint(c + n * 100.0f), &colour, 0);
  } else {
    colour = GetPointCheck() ? EVec4(0.3f, 1.0f, 0.0f, 1.0f) : EVec4(0.3f, 1.0f, 0.7f, 1.0f);
  }
  pLines->AddBox(drawn, &W, &colour, 0);
  RequestRenderListenerNames(GetName(), W.TransformPoint(box.vMin));
}
