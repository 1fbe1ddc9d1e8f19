// Debug drawing and statistics output of collision trees.
#include <cstdio>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/Octree.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Font.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/NavMesh.h"

namespace collisiontreedraw {

const EVec4 kRed[3] = {EVec4(1, 0, 0, 1), EVec4(1, 0.33f, 0.33f, 1), EVec4(1, 0.66f, 0.66f, 1)};
const EVec4 kGreen[3] = {EVec4(0, 0.8f, 0, 1), EVec4(0.33f, 0.8f, 0.33f, 1), EVec4(0.66f, 0.8f, 0.66f, 1)};
const EVec4 kBlue[3] = {EVec4(0, 0, 1, 1), EVec4(0.33f, 0.33f, 1, 1), EVec4(0.66f, 0.66f, 1, 1)};
const EVec4 kMagenta[3] = {EVec4(1, 0, 1, 1), EVec4(1, 0.33f, 1, 1), EVec4(1, 0.66f, 1, 1)};
const EVec4 kYellow[3] = {EVec4(1, 1, 0, 1), EVec4(1, 1, 0.33f, 1), EVec4(1, 1, 0.66f, 1)};
const EVec4 kPink[3] = {EVec4(1, 0.25f, 0.25f, 1), EVec4(1, 0.25f, 0.25f, 1), EVec4(1, 0.25f, 0.25f, 1)};
const EVec4 kLightGreen[3] = {EVec4(0.25f, 1, 0.25f, 1), EVec4(0.25f, 1, 0.25f, 1), EVec4(0.25f, 1, 0.25f, 1)};
const EVec4 kLightBlue[3] = {EVec4(0.25f, 0.25f, 1, 1), EVec4(0.25f, 0.25f, 1, 1), EVec4(0.25f, 0.25f, 1, 1)};

// The average of two colours in red, green and blue, with the first one's alpha.
EVec4 Mix(const EVec4& a, const EVec4& b) { return EVec4((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2, a.w); }

void AddTri(const ETri3& tri, const EVec4* pColors, uint32_t dwMode) {
  if (gDebugTri) gDebugTri->AddTri(tri, pColors, dwMode);
}

}  // namespace collisiontreedraw

void ECollisionPoly2::RequestRender(const RequestRenderData& d) const {
  using collisiontreedraw::AddTri;
  using collisiontreedraw::Mix;
  using namespace collisiontreedraw;
  ETri3 tri(d.pTree->GetVertArray()[m_aVertIndex[0]], d.pTree->GetVertArray()[m_aVertIndex[1]],
            d.pTree->GetVertArray()[m_aVertIndex[2]]);
  if (!d.bIdentity) tri = ETri3(d.mMatrix.TransformPoint(tri.p0), d.mMatrix.TransformPoint(tri.p1),
                                d.mMatrix.TransformPoint(tri.p2));
  const ETri3 back(tri.p0, tri.p2, tri.p1);
  const EVec4& c = d.vColour;
  switch (d.eStyle) {
    case COLLISIONPOLYSTYLE_Highlight: {
      EVec4 a[3];
      const uint32_t dwHit = m_dwFlags & d.dwHighlightFlag;
      const bool bHighlighted = d.dwHighlightValue ? dwHit == d.dwHighlightValue : dwHit != 0;
      const bool bNav = (m_dwFlags & kSurfaceNav) != 0;
      if (bHighlighted && !bNav) {
        const EVec4 base(0.1f, 0.8f, 0.0f, c.w);
        a[0] = Mix(base, EVec4(1, 0.3f, 0.3f, 1));
        a[1] = base;
        a[2] = Mix(base, EVec4(0.3f, 0.3f, 1, 1));
      } else if (bHighlighted) {
        const EVec4 base(0.8f, 0.1f, 0.0f, 1.0f);
        a[0] = Mix(base, EVec4(0.3f, 0.1f, 0.3f, 1));
        a[1] = base;
        a[2] = Mix(base, EVec4(0.3f, 0.3f, 1, 1));
      } else if (!bNav) {
        a[0] = Mix(c, EVec4(1, 0.7f, 0.7f, 1));
        a[1] = Mix(c, EVec4(0.2f, 1, 0.2f, 1));
        a[2] = c;
      } else if (m_nNavMesh == 255 || (g_bOnlyShowSelectedNavMesh && m_nNavMesh == g_iSelectedNavMesh)) {
        a[0] = EVec4(1, 0, 0, 1);
        a[1] = EVec4(0.9f, 0.1f, 0, 1);
        a[2] = EVec4(0.7f, 0, 0.2f, 1);
      } else if (g_bOnlyShowSelectedNavMesh) {
        a[0] = a[1] = a[2] = EVec4(0, 0, 0, 0);
      } else {
        const EVec4 c2(c.y, c.x, 0.2f, c.w);
        a[0] = Mix(c2, EVec4(0.7f, 1, 0.2f, 1));
        a[1] = Mix(c2, EVec4(1, 0.2f, 0.2f, 1));
        a[2] = c2;
      }
      AddTri(tri, a, 0);
      if (m_dwFlags & kSurfaceDoubleSided) AddTri(back, kGreen, 2);
      break;
    }
    case COLLISIONPOLYSTYLE_ByTree: {
      if (d.pTree == ECollisionManager::sm_CM.GetStaticCollisionTree()) {
        const bool bDouble = (m_dwFlags & kSurfaceDoubleSided) != 0;
        const bool bNonManifold = (m_dwFlags & kSurfaceNonManifold) != 0;
        AddTri(tri, bDouble ? kGreen : bNonManifold ? kMagenta : kBlue, 0);
        AddTri(back, bDouble ? kGreen : bNonManifold ? kMagenta : kRed, 0);
      } else {
        AddTri(tri, kYellow, 0);
        AddTri(back, kYellow, 0);
      }
      const unsigned nGroup = (m_dwFlags & kSurfaceGroupMask) >> kSurfaceGroupShift;
      EFont* pFont = gGameApp ? gGameApp->GetFont(3) : nullptr;
      if (nGroup > 0 && pFont) {
        char szText[16];
        snprintf(szText, sizeof(szText), "%i", (int)nGroup);
        const EVec3 aP[3] = {tri.p0, tri.p1, tri.p2};
        pFont->Display3dText(EBox3(aP, 3).GetCenter(), szText, 0.3f, 5000.0f, EVec4(1, 1, 1, 1),
                             EVec2(50.0f, 4.0f), 1);
      }
      break;
    }
    case COLLISIONPOLYSTYLE_CameraPhysical: {
      const bool bCamera = (m_dwFlags & kSurfaceCamera) != 0;
      const bool bPhysical = (m_dwFlags & kSurfacePhysical) != 0;
      if (bCamera || bPhysical) AddTri(tri, bCamera && bPhysical ? kLightBlue : bCamera ? kPink : kLightGreen, 2);
      break;
    }
    case COLLISIONPOLYSTYLE_Flat: AddTri(tri, &c, 6); break;
    case COLLISIONPOLYSTYLE_Solid: {
      const EVec4 a[3] = {c, c, c};
      AddTri(tri, a, 1);
      AddTri(tri, nullptr, 3);
      break;
    }
  }
}

struct ECollisionTree::DrawWalk {
static bool NodeVisible(const ESSECube* pCube, void* pUser) {
  const RequestRenderData* d = static_cast<const RequestRenderData*>(pUser);
  const ECamera* pCam = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  if (!pCam) return true;
  EBox3 box(*pCube);
  if (!d->bIdentity) box = box.TransformAffine(d->mMatrix);
  return pCam->BoxVisible(box, nullptr, false);
}

static bool DrawLeaf(const ESSECube* pCube, void* pUser, unsigned nFirst, unsigned nCount, unsigned) {
  RequestRenderData* d = static_cast<RequestRenderData*>(pUser);
  if (d->bDrawCells && gDebugLine) gDebugLine->AddBox(EBox3(*pCube), d->bIdentity ? nullptr : &d->mMatrix, nullptr, 0);
  const int32_t* pIdx = d->pTree->GetOctree()->GetIndices();
  for (unsigned k = 0; k < nCount; k++) {
    const int iPoly = pIdx[nFirst + k];
    ECollisionPoly2& poly = d->pTree->m_aPolys[iPoly];
    if (poly.m_nStamp == d->nStamp || !(poly.m_dwFlags & d->dwSurfaceMask) ||
        !(SurfaceFlagsToGroupFlags(poly.m_dwFlags) & d->nGroupMask))
      continue;
    poly.m_nStamp = d->nStamp;
    poly.RequestRender(*d);
  }
  return true;
}
};

void ECollisionTree::RequestRender(const EMat4& mat, int eStyle, const EVec4& vColour, EMesh* pMesh) {
  if (!m_pOctree) return;
  const bool bIdentity = mat == cg_mIdentity;
  if (m_iNonManifoldPoly != -1 && gDebugLine) {
    const ETri3 tri = GetTri(m_iNonManifoldPoly);
    EVec3 p = (tri.p1 + tri.p2) * 0.5f;
    if (!bIdentity) p = mat.TransformPoint(p);
    gDebugLine->AddArrow(p + EVec3(0.0f, 100000.0f, 0.0f), p, nullptr, 0);
  }
  RequestRenderData d;
  d.pTree = this;
  d.vColour = vColour;
  d.eStyle = eStyle;
  d.mMatrix = mat;
  d.bIdentity = bIdentity;
  d.pMesh = pMesh;
  d.nStamp = NextStamp();
  const ECamera* pCam = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  d.vCamera = pCam ? (bIdentity ? pCam->GetPosition() : mat.Inverse().TransformPoint(pCam->GetPosition()))
                   : EVec3(0.0f, 0.0f, 0.0f);
  d.dwHighlightFlag = gGameApp ? gGameApp->m_DebugHooks.HighlightedSurface : 0;
  d.dwHighlightValue = 0;
  if (gGameApp) {
    if (d.dwHighlightFlag > 0x0FFFFFFFu) d.dwHighlightValue = (uint32_t)gGameApp->m_DebugHooks.HighlightedTrigger << 28;
    else if (d.dwHighlightFlag & kSurfaceMaterialMask)
      d.dwHighlightValue = (uint32_t)gGameApp->m_DebugHooks.HighlightedMaterial << 24;
  }
  d.dwSurfaceMask = eStyle == COLLISIONPOLYSTYLE_Highlight ? (uint32_t)kSurfacePhysical
                    : eStyle == COLLISIONPOLYSTYLE_ByTree  ? (uint32_t)kSurfaceCamera
                                                           : (uint32_t)(kSurfacePhysical | kSurfaceCamera);
  d.nGroupMask = ECollisionManager::sm_CM.GetCollisionGroupMask();
  d.bDrawCells = gGameApp && gGameApp->m_DebugHooks.ShowCollisionTree;
  m_pOctree->Walk(&DrawWalk::NodeVisible, &DrawWalk::DrawLeaf, &d, nullptr);
}

void ECollisionTree::RequestRenderPoly(int iPoly, const EMat4* pMat, int eStyle, const EVec4& vColour, EMesh* pMesh) {
  RequestRenderData d;
  d.pTree = this;
  d.vColour = vColour;
  d.eStyle = eStyle;
  d.bIdentity = !pMat || *pMat == cg_mIdentity;
  d.mMatrix = pMat ? *pMat : cg_mIdentity;
  d.pMesh = pMesh;
  m_aPolys[iPoly].RequestRender(d);
}

void ECollisionTree::DrawDebugText(void (*pfnPrintf)(void* pUser, const char* szLine), void* pUser) {
  char sz[128];
  snprintf(sz, sizeof(sz), "Collision Verts/Polys = %d/%d", sm_iGlobalVertCount, sm_iGlobalPolyCount);
  pfnPrintf(pUser, sz);
  snprintf(sz, sizeof(sz), "Collision Node/Leaf = %d/%d", sm_iGlobalNodeCount, sm_iGlobalLeafCount);
  pfnPrintf(pUser, sz);
  snprintf(sz, sizeof(sz), "Collision Primitives = %d", sm_iGlobalPrimitiveCount);
  pfnPrintf(pUser, sz);
  pfnPrintf(pUser, "");
}

void ECollisionTree::DebugDumpMem(const char* szName) const {
  const float fPoly = (float)m_aPolys.Num() * 20.0f / 1024.0f;
  const float fVert = (float)m_aVerts.Num() * 12.0f / 1024.0f;
  const float fOctree = m_pOctree ? 4.0f *
                                        (6.0f * (float)m_pOctree->GetNodeCount() + (float)m_pOctree->GetLeafCount() +
                                         (float)m_pOctree->GetIndexCount()) /
                                        1024.0f
                                  : 0.0f;
  g_ErrorManager.TraceMessagef(TT_General, "%-35s: %5.1fK (total) %5.1fK (poly) %5.1fK (vert) %5.1fK (octree)",
                               szName ? szName : "", fPoly + fVert + fOctree, fPoly, fVert, fOctree);
}
