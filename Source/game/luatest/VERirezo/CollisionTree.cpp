#include "VERirezo/CollisionTree.h"

#include <cmath>
#include <cstring>

#include "TWMath/Intersect.h"
#include "TWMath/Matrix.h"
#include "TWMath/Octree.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"

namespace collisiontree {

const char* const s_apFlagNames[32] = {
    "kSurfaceHang", "kSurfaceClimb", "kSurfaceClimbUDRL", "kSurfaceCantilever", "kSurfacePole",
    "kSurfaceTightrope", "kSurfaceSlippery", "kSurfaceGrippy", "kSurfacePipe", "kSurfaceUNUSED2",
    "kSurfacePhysical", "kSurfaceVisibility", "kSurfaceCamera", "kSurfaceRailSlide", "kSurfaceWater",
    "kSurfaceDoubleSided", "kSurfaceGravity", "kSurfaceNav", "kSurfaceNonManifold", "kSurfaceTerrain",
    nullptr, nullptr, nullptr, nullptr, "kSurfaceMaterial", nullptr, nullptr, nullptr, "kSurfaceTrigger",
    nullptr, nullptr, nullptr};

const uint32_t s_aFlagCycle[16] = {0x1,  0xF0000000, 0x0F000000, 0x80,   0x40,    0x2,     0x4,    0x8,
                                   0x10, 0x100,      0x20,       0x2000, 0x20000, 0x40000, 0x8000, 0x80000};

const float kORDERED_RAY_LENGTH = 1000.0f;
const unsigned kPOLY_RECORD_SIZE = 20;
const unsigned kVERT_RECORD_SIZE = 12;

// Query surface mask from collide flags.
uint32_t SurfaceMaskFor(uint32_t dwCollideFlags) {
  uint32_t dwMask = 0;
  if (dwCollideFlags & kCOLLIDEFLAG_Physical) dwMask |= kSurfacePhysical;
  if (dwCollideFlags & kCOLLIDEFLAG_Camera) dwMask |= kSurfaceCamera;
  if (dwCollideFlags & kCOLLIDEFLAG_Terrain) dwMask |= kSurfaceTerrain;
  return dwMask;
}

// A count read from the stream for records of size bytes each: false when
// the records cannot all be in what the stream has left.
bool ReadCount(EStream& s, unsigned size, uint32_t& n) {
  uint8_t b[4] = {0, 0, 0, 0};
  s.Read(b, 1, 4);
  if (s.Err()) return false;
  n = GetLE32(b);
  if ((uint64_t)n * size > 0x7FFFFFFFull) return false;
  unsigned nBytes = n * size;
  return s.BoundLength(nBytes) == nBytes && !s.Err();
}

// A tree hit into a query record: the hit fields, and the motion cut at the hit.
void CopyTreeHit(ECollide& c, const ECollisionTreeHit& th) {
  c.pEntity = nullptr;
  c.HitPlane = th.HitPlane;
  c.dwSurfaceFlags = th.dwSurfaceFlags;
  c.iDstPrimitive = th.iPoly;
  c.iSubPrimitive = (int)th.iSubPrimitive;
  c.fLength *= th.fTime;
  c.vEnd = c.vStart + c.vDir * c.fLength;
  c.eCollisionType = th.dwKind == kPOLYHIT_Vertex ? CCT_Vertex : th.dwKind == kPOLYHIT_Edge ? CCT_EdgeInterior
                                                                                           : CCT_TriInterior;
  c.vNormal = th.vNormal;
  c.fDepth = th.fDepth;
  c.vPlaneNormal = th.HitPlane.n;
}

}  // namespace collisiontree

const char* GetSurfaceFlagName(uint32_t dwFlags) {
  for (int i = 0; i < 32; i++)
    if (dwFlags & (1u << i)) return collisiontree::s_apFlagNames[i];
  return "Unknown flag";
}

uint32_t GetNextSurfaceFlag(uint32_t dwFlags) {
  for (int i = 0; i < 16; i++)
    if (collisiontree::s_aFlagCycle[i] & dwFlags) return collisiontree::s_aFlagCycle[(i + 1) % 16];
  return collisiontree::s_aFlagCycle[0];
}

// --- Check info -----------------------------------------------------------

void EPolyCapsuleCheckInfo::InitFor(const EVec3& vStart, const EVec3& vEnd, float fRadius, uint32_t dwCollideFlags,
                                    float fDepth) {
  m_fRadius = fRadius;
  m_bTwoSided = (dwCollideFlags & kCOLLIDEFLAG_NoBackfaceCull) != 0;
  m_bPositionOnly = (dwCollideFlags & kCOLLIDEFLAG_CheckPosition) != 0;
  m_bReportDepth = (dwCollideFlags & kCOLLIDEFLAG_ReportDepth) != 0;
  m_fDepth = m_bPositionOnly ? fDepth : 0.0f;
  m_fTime = m_bPositionOnly ? 0.0f : 1.0f;
  m_dwResult = 0;
  m_fEdgeFraction = 0.0f;
  m_Seg = EFastSeg3(vStart, vEnd, TagPOINTS());
  m_vDir = vEnd - vStart;
}

// --- Tree -------------------------------------------------------------------

int ECollisionTree::sm_iGlobalVertCount = 0;
int ECollisionTree::sm_iGlobalPolyCount = 0;
int ECollisionTree::sm_iGlobalNodeCount = 0;
int ECollisionTree::sm_iGlobalLeafCount = 0;
int ECollisionTree::sm_iGlobalPrimitiveCount = 0;
int ECollisionTree::sm_iGlobalCameraPolyCount = 0;
int ECollisionTree::sm_iGlobalTerrainPolyCount = 0;

ECollisionTree::ECollisionTree()
    : m_nQueryCount(0), m_aPolys(kMEMTYPE_Collision), m_aVerts(kMEMTYPE_Collision), m_pOctree(nullptr),
      m_Bounds(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)), m_iNonManifoldPoly(-1), m_bCounted(false) {}

ECollisionTree::~ECollisionTree() { Clear(); }

void ECollisionTree::Clear() {
  if (m_bCounted) AddStats(-1);
  m_bCounted = false;
  delete m_pOctree;
  m_pOctree = nullptr;
  m_aPolys.Empty();
  m_aVerts.Empty();
  m_Bounds = EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
  m_iNonManifoldPoly = -1;
}

void ECollisionTree::AddStats(int iSign) {
  sm_iGlobalVertCount += iSign * m_aVerts.Num();
  sm_iGlobalPolyCount += iSign * m_aPolys.Num();
  if (m_pOctree) {
    sm_iGlobalNodeCount += iSign * (int)m_pOctree->GetNodeCount();
    sm_iGlobalLeafCount += iSign * (int)m_pOctree->GetLeafCount();
    sm_iGlobalPrimitiveCount += iSign * (int)m_pOctree->GetIndexCount();
  }
  for (int i = 0; i < m_aPolys.Num(); i++) {
    uint32_t dwFlags = m_aPolys[i].m_dwFlags;
    if (iSign > 0 && (dwFlags & kSurfaceNonManifold)) m_iNonManifoldPoly = i;
    if (dwFlags & kSurfaceCamera) sm_iGlobalCameraPolyCount += iSign;
    if (dwFlags & kSurfaceTerrain) sm_iGlobalTerrainPolyCount += iSign;
  }
}

bool ECollisionTree::Read(EStream& s, uint32_t) {
  Clear();
  const unsigned version = s.GetVersion();
  bool bOk = true;
  uint32_t n = 0;
  if (!collisiontree::ReadCount(s, collisiontree::kPOLY_RECORD_SIZE, n)) bOk = false;

  if (bOk && n > 0) {
    // Polygon records first; the vertex count follows them.
    uint8_t* pRaw = (uint8_t*)malloc((size_t)n * collisiontree::kPOLY_RECORD_SIZE);
    bOk = pRaw != nullptr;
    if (bOk) s.Read(pRaw, collisiontree::kPOLY_RECORD_SIZE, n);
    uint32_t m = 0;
    if (bOk) bOk = !s.Err() && collisiontree::ReadCount(s, collisiontree::kVERT_RECORD_SIZE, m);
    if (bOk) {
      m_aVerts.Add((int)m, true);
      for (uint32_t i = 0; i < m && bOk; i++) {
        uint8_t b[12];
        s.Read(b, 1, 12);
        m_aVerts[(int)i] = EVec3(GetLEFloat(b), GetLEFloat(b + 4), GetLEFloat(b + 8));
      }
      bOk = !s.Err();
    }
    if (bOk) {
      m_aPolys.Add((int)n, true);
      const bool bOld = version < kFIRST_NEW_POLY_VERSION;
      for (uint32_t i = 0; i < n && bOk; i++) {
        const uint8_t* p = pRaw + (size_t)i * collisiontree::kPOLY_RECORD_SIZE;
        ECollisionPoly2& poly = m_aPolys[(int)i];
        if (bOld) {
          for (int iVert = 0; iVert < 3; iVert++) {
            uint32_t idx = GetLE32(p + 4 * iVert);
            if (idx >= 0x10000 || idx >= m) bOk = false;
            poly.m_aVertIndex[iVert] = (uint16_t)idx;
          }
          poly.m_dwFlags = GetLE32(p + 12);
          poly.SetNavWord(GetLE32(p + 16));
          poly.m_nStamp = 0;
          if (!bOk) break;
          const uint16_t* v = poly.m_aVertIndex;
          if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) {
            const char* pName = s.GetName();
            g_ErrorManager.TraceMessagef(TT_Warning, "Degenerate collision poly %d (%s)", (int)i,
                                         pName ? pName : "");
            poly.m_dwFlags &= ~(kSurfacePhysical | kSurfaceCamera);
            poly.m_fInvNormalLength = 1.0f;
          } else {
            const EVec3& p0 = m_aVerts[v[0]];
            EVec3 vCross = (m_aVerts[v[2]] - p0).Cross(m_aVerts[v[1]] - p0);
            poly.m_fInvNormalLength = 1.0f / std::sqrt(vCross.Dot(vCross));
          }
        } else {
          poly.m_dwFlags = GetLE32(p);
          for (int iVert = 0; iVert < 3; iVert++) {
            poly.m_aVertIndex[iVert] = GetLE16(p + 4 + 2 * iVert);
            if (poly.m_aVertIndex[iVert] >= m) bOk = false;
          }
          poly.m_nStamp = GetLE16(p + 10);
          poly.m_fInvNormalLength = GetLEFloat(p + 12);
          poly.SetNavWord(GetLE32(p + 16));
        }
      }
    }
    free(pRaw);

    if (bOk) {
      m_pOctree = new EOctree(kMEMTYPE_Collision);
      bOk = m_pOctree->Read(s, 0, version) && m_pOctree->GetNodeCount() > 0;
      // Every listed primitive must name a polygon.
      if (bOk) {
        const int32_t* pIdx = m_pOctree->GetIndices();
        for (unsigned i = 0; i < m_pOctree->GetIndexCount() && bOk; i++)
          if (pIdx[i] < 0 || (uint32_t)pIdx[i] >= n) bOk = false;
      }
    }
  }

  if (bOk) {
    uint8_t b[24];
    s.Read(b, 1, 24);
    bOk = !s.Err();
    if (bOk)
      m_Bounds = EBox3(EVec3(GetLEFloat(b), GetLEFloat(b + 4), GetLEFloat(b + 8)),
                       EVec3(GetLEFloat(b + 12), GetLEFloat(b + 16), GetLEFloat(b + 20)));
  }

  if (!bOk) {
    Clear();
    const char* pName = s.GetName();
    g_ErrorManager.TraceMessagef(TT_Warning, "Collision tree damaged (%s)", pName ? pName : "");
    return false;
  }
  AddStats(1);
  m_bCounted = true;
  return true;
}

uint16_t ECollisionTree::NextStamp() {
  uint16_t nStamp = (uint16_t)++m_nQueryCount;
  if (nStamp == 0) {
    for (int i = 0; i < m_aPolys.Num(); i++) m_aPolys[i].m_nStamp = 0;
    nStamp = (uint16_t)++m_nQueryCount;
  }
  return nStamp;
}

ETri3 ECollisionTree::GetTri(int i) const {
  const ECollisionPoly2& poly = m_aPolys[i];
  return ETri3(m_aVerts[poly.m_aVertIndex[0]], m_aVerts[poly.m_aVertIndex[1]], m_aVerts[poly.m_aVertIndex[2]]);
}

EVec3 ECollisionTree::GetTriNormal(int i) const {
  ETri3 tri = GetTri(i);
  return (tri.p2 - tri.p0).Cross(tri.p1 - tri.p0) * m_aPolys[i].m_fInvNormalLength;
}

void ECollisionTree::GetTri(int i, ETri3& tri, EPlane& plane) const {
  tri = GetTri(i);
  EVec3 n = (tri.p2 - tri.p0).Cross(tri.p1 - tri.p0) * m_aPolys[i].m_fInvNormalLength;
  plane = EPlane(n, tri.p0);
}

// --- Capsule query ------------------------------------------------------------

struct ECollisionTree::CapsuleWalk {
  EPolyCapsuleCheckInfo m_Info;
  int m_iBest;
  uint16_t m_nStamp;
  uint32_t m_dwSurfaceMask;
  uint32_t m_nGroupMask;
  bool m_bHit;
  ECollisionTree* m_pTree;
  const int32_t* m_pIndices;
  int m_nTested;
  int m_nLeaves;

  // Tests the listed triangles; false ends the walk.
  bool VisitRun(unsigned nFirst, unsigned nCount) {
    m_nLeaves++;
    for (unsigned k = 0; k < nCount; k++) {
      int iPoly = m_pIndices[nFirst + k];
      ECollisionPoly2& poly = m_pTree->m_aPolys[iPoly];
      if (poly.m_nStamp == m_nStamp || !(poly.m_dwFlags & m_dwSurfaceMask) ||
          !(SurfaceFlagsToGroupFlags(poly.m_dwFlags) & m_nGroupMask))
        continue;
      poly.m_nStamp = m_nStamp;
      m_nTested++;
      if (m_pTree->CheckForCollision(m_Info, iPoly)) {
        m_iBest = iPoly;
        m_bHit = true;
        // A resting sphere takes the first touching triangle unless depths
        // are compared; a motion hit at its start cannot be bettered.
        const bool bResting = m_Info.m_fRadius != 0.0f && m_Info.m_bPositionOnly;
        if (bResting ? !m_Info.m_bReportDepth : m_Info.m_fTime == 0.0f) return false;
      }
    }
    return true;
  }

  static bool LeafCB(const ESSECube*, void* pUser, unsigned nFirst, unsigned nCount, unsigned) {
    return static_cast<CapsuleWalk*>(pUser)->VisitRun(nFirst, nCount);
  }
  static bool SortedCB(const ESSECube*, void* pUser, unsigned nFirst, unsigned nCount, unsigned, float t) {
    CapsuleWalk* w = static_cast<CapsuleWalk*>(pUser);
    if (!w->VisitRun(nFirst, nCount)) return false;
    return t < w->m_Info.m_fTime;
  }
};

bool ECollisionTree::CheckForCollision(EPolyCapsuleCheckInfo& info, int iPoly) const {
  ETri3 tri;
  EPlane plane;
  GetTri(iPoly, tri, plane);
  const bool bTwoSided = info.m_bTwoSided || (m_aPolys[iPoly].m_dwFlags & kSurfaceDoubleSided);
  uint32_t dwCode = 0;
  if (info.m_fRadius != 0.0f && info.m_bPositionOnly) {
    if (!TWMath::TestIntersection(tri, ESphere(info.GetStart(), info.m_fRadius))) return false;
    if (info.m_bReportDepth) {
      float d = TWMath::Distance(info.GetStart(), plane);
      if (bTwoSided) d = std::fabs(d);
      float fDepth = info.m_fRadius - d;
      if (info.m_fDepth != 0.0f && fDepth > info.m_fDepth) return false;
      info.m_fDepth = fDepth;
    }
    dwCode = kPOLYHIT_Face;
  } else if (info.m_fRadius != 0.0f) {
    float s = 0.0f;
    dwCode = (uint32_t)TWMath::FindIntersection(info.GetFullSeg(), info.m_fRadius, tri, plane, bTwoSided,
                                                info.m_fTime, s);
    if (dwCode) info.m_fEdgeFraction = s;
  } else {
    float t = info.m_fTime;
    dwCode = (uint32_t)(bTwoSided ? TWMath::FindIntersection(info.GetStart(), info.GetDir(), info.m_fTime, tri, t)
                                  : TWMath::FindIntersectionCullBackfacing(info.GetStart(), info.GetDir(),
                                                                           info.m_fTime, tri, t));
    if (dwCode) info.m_fTime = t;
  }
  if (!dwCode) return false;
  info.m_dwResult = dwCode;
  return true;
}

bool ECollisionTree::CheckForCollision(const EVec3& vStart, const EVec3& vEnd, float fRadius, uint32_t dwCollideFlags,
                                       uint32_t nGroupMask, ECollisionTreeHit* pHit, float fDepth) {
  if (!m_pOctree) return false;
  EFastSeg3 seg(vStart, vEnd, TagPOINTS());
  if (!TWMath::TestIntersection(seg, fRadius, m_Bounds)) return false;

  CapsuleWalk w;
  w.m_Info.InitFor(vStart, vEnd, fRadius, dwCollideFlags, fDepth);
  w.m_iBest = -1;
  w.m_nStamp = NextStamp();
  w.m_dwSurfaceMask = collisiontree::SurfaceMaskFor(dwCollideFlags);
  w.m_nGroupMask = nGroupMask;
  w.m_bHit = false;
  w.m_pTree = this;
  w.m_pIndices = m_pOctree->GetIndices();
  w.m_nTested = 0;
  w.m_nLeaves = 0;

  EBox3 bounds(vStart.Min(vEnd), vStart.Max(vEnd));
  bounds = bounds.GetInflatedBox(fRadius);
  if (fRadius == 0.0f && w.m_Info.GetDir().Length() > collisiontree::kORDERED_RAY_LENGTH)
    m_pOctree->SortedWalk(&CapsuleWalk::SortedCB, &w, vStart, vEnd);
  else
    m_pOctree->Walk(nullptr, &CapsuleWalk::LeafCB, &w, &bounds);

  if (w.m_bHit && pHit) CopyResults(*pHit, w.m_Info, w.m_iBest);
  return w.m_bHit;
}

void ECollisionTree::CopyResults(ECollisionTreeHit& hit, const EPolyCapsuleCheckInfo& info, int iPoly,
                                 const EMat4* pMatrix) const {
  ETri3 tri;
  EPlane plane;
  GetTri(iPoly, tri, plane);
  hit.HitPlane = plane;
  hit.dwSurfaceFlags = m_aPolys[iPoly].m_dwFlags;
  hit.iPoly = iPoly;
  hit.iSubPrimitive = info.m_dwResult & kPOLYHIT_FeatureMask;
  hit.dwKind = info.m_dwResult & kPOLYHIT_KindMask;
  hit.fTime = info.m_fTime;
  hit.vEnd = info.GetEnd();
  const EVec3* aCorner[3] = {&tri.p0, &tri.p1, &tri.p2};
  switch (hit.dwKind) {
    case kPOLYHIT_Vertex:
      hit.vNormal = (info.GetEnd() - *aCorner[hit.iSubPrimitive % 3]).SafeGetNormal();
      break;
    case kPOLYHIT_Edge: {
      unsigned e = hit.iSubPrimitive % 3;
      EVec3 vPoint = *aCorner[e] * (1.0f - info.m_fEdgeFraction) + *aCorner[(e + 1) % 3] * info.m_fEdgeFraction;
      hit.vNormal = (info.GetEnd() - vPoint).SafeGetNormal();
      break;
    }
    case kPOLYHIT_Face:
      hit.vNormal = plane.n;
      if (hit.iSubPrimitive == 1 && !(info.m_fRadius == 0.0f && info.m_bTwoSided)) hit.vNormal = -plane.n;
      break;
    default:
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "false", true);
      break;
  }
  hit.fDepth = info.m_bReportDepth ? info.m_fDepth : -1.0f;
  if (pMatrix) {
    hit.HitPlane = pMatrix->Transform(hit.HitPlane);
    hit.vNormal = pMatrix->Mul3Vec3(hit.vNormal);
    hit.vEnd = pMatrix->MulVec3(hit.vEnd);
  }
}

void ECollisionTree::CopyResults(ECollide& hit, const EPolyCapsuleCheckInfo& info, int iPoly,
                                 const EMat4* pMatrix) const {
  ECollisionTreeHit th;
  CopyResults(th, info, iPoly, pMatrix);
  collisiontree::CopyTreeHit(hit, th);
}

bool ECollisionTree::CheckForCollision(ECollide* pHit, uint32_t nGroupMask) {
  ECollisionTreeHit th;
  if (!CheckForCollision(pHit->vStart, pHit->vEnd, pHit->fRadius, pHit->dwFlags, nGroupMask, &th, pHit->fDepth))
    return false;
  collisiontree::CopyTreeHit(*pHit, th);
  pHit->ApplyPushDist();
  return true;
}

// --- Containment, gather, adjacency --------------------------------------------

bool ECollisionTree::CheckForContainment(const EVec3& p, bool bInvert, uint32_t nGroupMask) {
  if (!m_pOctree) return false;
  const float aDist[6] = {p.x - m_Bounds.vMin.x, p.y - m_Bounds.vMin.y, p.z - m_Bounds.vMin.z,
                          m_Bounds.vMax.x - p.x, m_Bounds.vMax.y - p.y, m_Bounds.vMax.z - p.z};
  const EVec3 aDir[6] = {EVec3(-1, 0, 0), EVec3(0, -1, 0), EVec3(0, 0, -1),
                         EVec3(1, 0, 0),  EVec3(0, 1, 0),  EVec3(0, 0, 1)};
  int iBest = 0;
  for (int i = 1; i < 6; i++)
    if (aDist[i] < aDist[iBest]) iBest = i;
  if (aDist[iBest] < 0.0f) return false;
  ECollisionTreeHit hit;
  const EVec3 vEnd = p + aDir[iBest] * (aDist[iBest] + 1.0f);
  if (!CheckForCollision(p, vEnd, 0.0f, kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_Camera | kCOLLIDEFLAG_NoBackfaceCull,
                         nGroupMask, &hit))
    return false;
  bool bInside = hit.HitPlane.n.Dot(aDir[iBest]) < 0.0f;
  return bInvert ? !bInside : bInside;
}

struct ECollisionTree::SphereWalk {
  EMemStack* m_pStack;
  uint32_t m_dwSurfaceMask;
  uint32_t m_nGroupMask;
  ECollisionTree* m_pTree;
  const int32_t* m_pIndices;
  ESphere m_Sphere;
  uint16_t m_nStamp;
  int m_nCount;

  static bool LeafCB(const ESSECube*, void* pUser, unsigned nFirst, unsigned nCount, unsigned) {
    SphereWalk* w = static_cast<SphereWalk*>(pUser);
    for (unsigned k = 0; k < nCount; k++) {
      int iPoly = w->m_pIndices[nFirst + k];
      ECollisionPoly2& poly = w->m_pTree->m_aPolys[iPoly];
      if (poly.m_nStamp == w->m_nStamp) continue;
      poly.m_nStamp = w->m_nStamp;
      if ((poly.m_dwFlags & w->m_dwSurfaceMask) && (SurfaceFlagsToGroupFlags(poly.m_dwFlags) & w->m_nGroupMask) &&
          TWMath::TestIntersection(w->m_pTree->GetTri(iPoly), w->m_Sphere)) {
        uint32_t* pSlot = (uint32_t*)w->m_pStack->Push(4, 4);
        *pSlot = (uint32_t)iPoly;
        w->m_nCount++;
      }
    }
    return true;
  }
};

void ECollisionTree::GetIntersectingTriangles(const ESphere& sphere, EMemStack& stack, uint32_t dwSurfaceMask,
                                              uint32_t nGroupMask, uint32_t** ppOut, int* pCount) {
  if (!m_pOctree) {
    *ppOut = nullptr;
    *pCount = 0;
    return;
  }
  SphereWalk w;
  w.m_nStamp = NextStamp();
  w.m_pStack = &stack;
  w.m_dwSurfaceMask = dwSurfaceMask;
  w.m_nGroupMask = nGroupMask;
  w.m_pTree = this;
  w.m_pIndices = m_pOctree->GetIndices();
  w.m_Sphere = sphere;
  w.m_nCount = 0;
  *ppOut = (uint32_t*)stack.Push(0, 4);
  EBox3 box(sphere);
  m_pOctree->Walk(nullptr, &SphereWalk::LeafCB, &w, &box);
  *pCount = w.m_nCount;
}

void ECollisionTree::GetAdjacentPolies(uint16_t nVert, EArray<uint32_t>& aOut) const {
  if (!m_pOctree || nVert >= m_aVerts.Num()) return;
  unsigned hNode = m_pOctree->FindNode(m_aVerts[nVert], nullptr);
  // A vertex outside every leaf (or in an empty cell) has no listed neighbours.
  if (hNode == EOctree::kNOT_FOUND || !EOctree::IsLeaf(hNode) || hNode == EOctree::kEMPTY_CHILD ||
      !m_pOctree->HasLeafTable())
    return;
  uint32_t dwLeaf = *m_pOctree->GetLeaf(hNode);
  unsigned nFirst = dwLeaf & EOctree::kLEAF_INDEX_MASK;
  unsigned nCount = dwLeaf >> EOctree::kLEAF_COUNT_SHIFT;
  const int32_t* pIdx = m_pOctree->GetIndices();
  for (unsigned k = 0; k < nCount; k++) {
    const ECollisionPoly2& poly = m_aPolys[pIdx[nFirst + k]];
    if (poly.m_aVertIndex[0] == nVert || poly.m_aVertIndex[1] == nVert || poly.m_aVertIndex[2] == nVert)
      aOut.AddData((uint32_t)pIdx[nFirst + k]);
  }
}
