#include "VERirezo/Decal.h"

#include <cmath>
#include <cstdlib>

#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Intersect.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EffectScene.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/SceneSettings.h"

namespace decalstore {

// a belongs after b: sort keys rise, then texture ids.
bool ComesAfter(EDecal* a, EDecal* b) {
  if (a->m_dwSortKey != b->m_dwSortKey) return a->m_dwSortKey > b->m_dwSortKey;
  return a->m_idTexture > b->m_idTexture;
}

// The largest scale of a transform's axes.
float AxisScale(const EMat4& m) {
  float best = 0.0f;
  for (int row = 0; row < 3; ++row) {
    const float len = EVec3(m.m[4 * row], m.m[4 * row + 1], m.m[4 * row + 2]).Length();
    if (len > best) best = len;
  }
  return best;
}

const EMat4& MeshTransform(EMesh* pMesh) {
  static const EMat4 s_Identity;
  return pMesh ? pMesh->GetInclusiveTrans() : s_Identity;
}

}  // namespace decalstore

EDecal::EDecal()
    : m_idTexture(0), m_dwSortKey(0), m_dwColor(0), m_vPos(0, 0, 0), m_vNormal(0, 0, 0), m_vUp(0, 0, 0),
      m_vRight(0, 0, 0), m_pEntity(nullptr), m_pMesh(nullptr), m_aPolyRefs(kMEMTYPE_AppGraph), m_iPolyRefCount(0),
      m_dwFlags(0), m_fExpireTime(0), m_fCreateTime(0), m_fFadeInTime(0), m_fFadeOutTime(0) {}

EDecal::~EDecal() {
  for (int i = 0; i < m_iPolyRefCount && i < m_aPolyRefs.Num(); ++i) {
    if (m_aPolyRefs[i].idIndexBuffer && g_pCurrentRenderer) g_pCurrentRenderer->DeleteIndexBuffer(m_aPolyRefs[i].idIndexBuffer);
    m_aPolyRefs[i].idIndexBuffer = 0;
  }
  m_aPolyRefs.Empty();
}

EDecalManager::EDecalManager()
    : m_pDecalArray(new EDataArray<EDecal>("Decals", kINITIAL_DECALS, kDATAARRAY_GROWABLE, kMEMTYPE_AppGraph)),
      m_pidDrawList(nullptr), m_iDrawListSize(0), m_iDrawCount(0), m_iPolysDrawn(0),
      m_ReachSphere(EVec3(0, 0, 0), 0) {}

EDecalManager::~EDecalManager() {
  free(m_pidDrawList);
  delete m_pDecalArray;
}

void EDecalManager::Clear() {
  m_pDecalArray->DeleteAll();
  m_iDrawCount = 0;
}

void EDecalManager::RestoreSize() { m_pDecalArray->RestoreSize(false); }

EDecal* EDecalManager::GetDecal(uint32_t id) const {
  if (!id || EDataArray<EDecal>::GetIndexFromDataId(id) >= m_pDecalArray->GetAllocCount()) return nullptr;
  return m_pDecalArray->ElementTryToGet(id);
}

uint32_t EDecalManager::AttachDecal(uint32_t idTexture, const ECollide& hit, const EVec3& vUp, float fLife,
                                    uint32_t dwSortKey, const EVec4* pColor, const EVec2* pSize, float,
                                    float fFadeIn, float fFadeOut) {
  EMesh* pRootMesh = hit.IsTriangleHit() ? hit.GetRootMesh() : nullptr;
  if (!idTexture || !pRootMesh) return 0;
  const uint32_t id = m_pDecalArray->ElementNew();
  if (!id) return 0;
  EDecal* d = m_pDecalArray->ElementGet(id);
  d->m_idTexture = idTexture;
  d->m_dwSortKey = dwSortKey;
  d->m_dwFlags = 0;
  if (!pColor) {
    d->m_dwColor = 0xFFFFFFFFu;
  } else if (pColor->w < 0.0f) {
    d->m_dwColor = ColorVectorToRGBA(EVec4(pColor->x, pColor->y, pColor->z, -pColor->w));
    d->m_dwFlags |= kDECALFLAG_GLOW;
  } else {
    d->m_dwColor = ColorVectorToRGBA(*pColor);
  }
  const float fWidth = pSize ? pSize->x : 1.0f, fHeight = pSize ? pSize->y : 1.0f;
  d->m_pMesh = pRootMesh;
  d->m_vPos = hit.vEnd;
  d->m_vNormal = hit.vNormal;
  d->m_vUp = vUp * fHeight;
  d->m_vRight = vUp.Cross(d->m_vNormal);
  d->m_vRight.Normalize();
  d->m_vRight *= fWidth;

  const float fNow = effectscene::Now();
  d->m_fCreateTime = fNow;
  d->m_fExpireTime = fLife < 0.0f ? -1.0f : fNow + fLife;
  if (fFadeIn < 0.0f) fFadeIn = 0.0f;
  if (fFadeOut < 0.0f) fFadeOut = 0.0f;
  if (fLife < fFadeIn + fFadeOut) {
    if (fLife < 0.0f) {
      fFadeOut = 0.0f;
    } else if (fLife > 0.00001f) {
      const float fScale = fLife / (fFadeIn + fFadeOut);
      fFadeIn *= fScale;
      fFadeOut *= fScale;
    } else {
      fFadeIn = fFadeOut = 0.0f;
    }
  }
  d->m_fFadeInTime = fFadeIn;
  d->m_fFadeOutTime = fFadeOut;
  EEntity* pGlobal = gGameApp ? gGameApp->GetGlobalEntity() : nullptr;
  d->m_pEntity = hit.pEntity == pGlobal ? nullptr : hit.pEntity;
  d->m_iPolyRefCount = 0;

  m_ReachSphere = ESphere(d->m_vPos, sqrtf(fWidth * fWidth + fHeight * fHeight) * 0.5f);
  if (d->m_pEntity) attachDecalToMesh(d, pRootMesh);
  attachDecalToDomain(d, effectscene::ActiveDomain());
  // Reaching nothing: already expired, so the next preprocess drops it.
  if (d->m_iPolyRefCount == 0) d->m_fExpireTime = 0.1f;
  return id;
}

void EDecalManager::attachDecalToDomain(EDecal* pDecal, EDomain* pDomain) {
  if (!pDomain) return;
  const EList<EMesh*>& meshes = pDomain->GetMeshes();
  for (POSITION pos = meshes.GetHeadPosition(); pos;) {
    EMesh* pMesh = meshes.GetNext(pos);
    if (pMesh->GetActive()) attachDecalToMesh(pDecal, pMesh);
  }
  const EList<EDomain*>& children = pDomain->GetChildDomains();
  for (POSITION pos = children.GetHeadPosition(); pos;) {
    EDomain* pChild = children.GetNext(pos);
    if (!pChild->IsSleeping()) attachDecalToDomain(pDecal, pChild);
  }
}

void EDecalManager::attachDecalToMesh(EDecal* pDecal, EMesh* pMesh) {
  for (int i = 0; i < pMesh->GetNumMeshFrags() && pDecal->m_iPolyRefCount < kMAX_POLY_REFS; ++i) {
    EMeshFrag* pFrag = pMesh->GetMeshFrag(i);
    if (TWMath::TestIntersection(m_ReachSphere, pFrag->GetTransformedBoundingBox()))
      setupMeshFrag(pDecal, pFrag, 0, nullptr);
  }
  for (int i = 0; i < pMesh->GetNumChildren(); ++i) {
    EMesh* pChild = pMesh->GetChild(i);
    if (pChild->GetActive()) attachDecalToMesh(pDecal, pChild);
  }
}

bool EDecalManager::setupMeshFrag(EDecal* pDecal, EMeshFrag* pFrag, int iCount, int* piPolys) {
  if (pDecal->m_iPolyRefCount >= kMAX_POLY_REFS) return false;
  if (pDecal->m_aPolyRefs.Num() <= pDecal->m_iPolyRefCount) pDecal->m_aPolyRefs.GrowTo(pDecal->m_iPolyRefCount + 1);
  DecalPolyRef& ref = pDecal->m_aPolyRefs[pDecal->m_iPolyRefCount++];
  ref.pMeshFrag = pFrag;
  ref.iPolyCount = 0;
  ref.idIndexBuffer = 0;

  ERenderer* r = g_pCurrentRenderer;
  EModelFrag* pModelFrag = pFrag->m_pModelFrag;
  auto clearRef = [&ref]() {
    ref.idIndexBuffer = 0;
    ref.pMeshFrag = nullptr;
    return false;
  };
  if (!r || !pModelFrag || !pModelFrag->m_hIndexBuffer) return clearRef();

  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  if (!piPolys) {
    iCount = pModelFrag->m_nPolys;
    piPolys = reinterpret_cast<int*>(stack.Push(sizeof(int) * (unsigned)(iCount > 0 ? iCount : 1)));
    for (int t = 0; t < iCount; ++t) piPolys[t] = t;
  }
  ref.iPolyCount = iCount;

  const uint32_t hIB = pModelFrag->m_hIndexBuffer;
  const unsigned nIndices = r->GetIndexBufferCount(hIB);
  const uint16_t* pIndices = r->LockIndexBuffer(hIB, 0, 0, kLOCKFLAG_READONLY);
  if (!pIndices) return clearRef();

  // The sphere in the space of the fragment's own mesh, its radius scaled
  // with it.
  const EMat4& mInv = pFrag->m_pMesh ? pFrag->m_pMesh->GetInvInclusiveTrans() : EMat4();
  ESphere sphere = m_ReachSphere.Transform(mInv);
  sphere.radius = m_ReachSphere.radius * decalstore::AxisScale(mInv);

  const unsigned nVerts = pModelFrag->m_nVerts;
  uint32_t hVB = pModelFrag->m_phVertBuffer[kMODELFRAGSTREAM_GEOM];
  if (!hVB) hVB = pFrag->m_hDynamicGeomStream;
  const VERTEX_NOTEX_NORM* pLocked =
      hVB && nVerts ? static_cast<const VERTEX_NOTEX_NORM*>(r->LockVertexBuffer(hVB, nVerts, 0, kLOCKFLAG_READONLY))
                    : nullptr;
  if (!pLocked) {
    r->UnlockIndexBuffer(hIB);
    return clearRef();
  }
  VERTEX_NOTEX_NORM* pVerts = reinterpret_cast<VERTEX_NOTEX_NORM*>(stack.Push(sizeof(VERTEX_NOTEX_NORM) * nVerts));
  memcpy(pVerts, pLocked, sizeof(VERTEX_NOTEX_NORM) * nVerts);
  r->UnlockVertexBuffer(hVB);

  const bool bStrip = (pModelFrag->m_dwMaterialFlags & kMATERIALFLAG_TRISTRIP) != 0;
  auto corners = [&](int t, unsigned* k) {
    const unsigned first = bStrip ? (unsigned)t : 3u * (unsigned)t;
    if (first + 2 >= nIndices) return false;
    for (int c = 0; c < 3; ++c) k[c] = pIndices[first + c];
    return true;
  };
  for (int i = 0; i < iCount; ++i) {
    unsigned k[3];
    bool bKeep = piPolys[i] >= 0 && corners(piPolys[i], k) && k[0] < nVerts && k[1] < nVerts && k[2] < nVerts;
    if (bKeep && bStrip && (k[0] == k[1] || k[1] == k[2] || k[0] == k[2])) bKeep = false;
    if (bKeep)
      bKeep = TWMath::TestIntersection(ETri3(pVerts[k[0]].vPos, pVerts[k[1]].vPos, pVerts[k[2]].vPos), sphere);
    if (!bKeep) {
      piPolys[i] = -1;
      --ref.iPolyCount;
    }
  }

  if (ref.iPolyCount > 0) {
    ref.idIndexBuffer = r->CreateIndexBuffer(3u * (unsigned)ref.iPolyCount, 0);
    uint16_t* pOut = ref.idIndexBuffer ? r->LockIndexBuffer(ref.idIndexBuffer, 0, 0, 0) : nullptr;
    if (pOut) {
      int k = 0;
      for (int i = 0; i < iCount; ++i) {
        unsigned c[3];
        if (piPolys[i] < 0 || !corners(piPolys[i], c)) continue;
        pOut[3 * k] = (uint16_t)c[0];
        pOut[3 * k + 1] = (uint16_t)c[1];
        pOut[3 * k + 2] = (uint16_t)c[2];
        ++k;
      }
      if (k != ref.iPolyCount) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "k == ref.iPolyCount", false);
      r->UnlockIndexBuffer(ref.idIndexBuffer);
      r->UnlockIndexBuffer(hIB);
      return true;
    }
    if (ref.idIndexBuffer) r->DeleteIndexBuffer(ref.idIndexBuffer);
  }
  r->UnlockIndexBuffer(hIB);
  return clearRef();
}

void EDecalManager::RemoveDecal(uint32_t id) {
  if (EDecal* d = GetDecal(id)) m_pDecalArray->ElementDelete(d);
}

void EDecalManager::ExpireDecal(uint32_t id) {
  if (EDecal* d = GetDecal(id)) d->m_fExpireTime = effectscene::Now() + 1.0f;
}

bool EDecalManager::RemoveReferences(EMesh* pMesh, uint32_t idTexture) {
  bool bRemoved = false;
  for (int i = 0; i <= m_pDecalArray->GetHighestUsed(); ++i) {
    EDecal& d = (*m_pDecalArray)[i];
    if (!d.m_id) continue;
    if ((!pMesh || d.m_pMesh == pMesh) && (!idTexture || d.m_idTexture == idTexture)) {
      m_pDecalArray->ElementDelete(&d);
      bRemoved = true;
    }
  }
  return bRemoved;
}

void EDecalManager::CleanupReferences() {
  for (int i = 0; i <= m_pDecalArray->GetHighestUsed(); ++i) {
    EDecal& d = (*m_pDecalArray)[i];
    if (d.m_id && d.m_pEntity && d.m_pEntity->IsDead()) m_pDecalArray->ElementDelete(&d);
  }
}

void EDecalManager::PreprocessAll() {
  EProfileZone zone("DecalPreprocess", 2, false);
  m_iDrawCount = 0;
  m_iPolysDrawn = 0;
  if (m_pDecalArray->GetNumUsed() == 0) {
    if (gGameApp) gGameApp->m_bGlowingDecals = false;
    return;
  }
  if (!m_pidDrawList || m_iDrawListSize < m_pDecalArray->GetAllocCount()) {
    free(m_pidDrawList);
    m_iDrawListSize = m_pDecalArray->GetAllocCount();
    m_pidDrawList = static_cast<uint32_t*>(malloc(sizeof(uint32_t) * (size_t)m_iDrawListSize));
  }
  const float fNow = effectscene::Now();
  uint32_t dwFlags = 0;
  for (int i = 0; i <= m_pDecalArray->GetHighestUsed(); ++i) {
    EDecal& d = (*m_pDecalArray)[i];
    if (!d.m_id) continue;
    if (d.m_fExpireTime >= 0.0f && d.m_fExpireTime < fNow) {
      m_pDecalArray->ElementDelete(&d);
      continue;
    }
    m_pidDrawList[m_iDrawCount++] = d.m_id;
    dwFlags |= d.m_dwFlags;
  }
  if (gGameApp) gGameApp->m_bGlowingDecals = (dwFlags & kDECALFLAG_GLOW) != 0;
  if (!m_iDrawCount) return;
  m_pDecalArray->SortIndexArray(m_pidDrawList, m_iDrawCount, decalstore::ComesAfter);
  if (gGameApp && gGameApp->m_DebugHooks.m_bDebugDecals && gDebugLine) {
    for (int i = 0; i < m_iDrawCount; ++i) {
      const EDecal* d = m_pDecalArray->ElementGet(m_pidDrawList[i]);
      gDebugLine->AddSphere(d->m_vPos, (d->m_vUp + d->m_vRight).Length() * 0.5f, nullptr);
    }
  }
}

float EDecalManager::GetFadeFactor(const EDecal& d, float fNow) {
  if (!(d.m_fFadeInTime > 0.0f) && !(d.m_fFadeOutTime > 0.0f)) return 1.0f;
  const float fAge = fNow - d.m_fCreateTime;
  if (d.m_fExpireTime > 0.0f) {
    const float fRemaining = d.m_fExpireTime - fNow;
    if (d.m_fFadeOutTime > fRemaining) return fRemaining / d.m_fFadeOutTime;
  }
  if (fAge < d.m_fFadeInTime) return fAge / d.m_fFadeInTime;
  return 1.0f;
}

void EDecalManager::SetupRenderState(ERenderState& state) {
  state = ERenderState();
  state.m_eCullMode = kCULL_NONE;
  state.m_bZEnable = true;
  state.m_bZWriteEnable = false;
  state.m_byZBias = 14;
  state.m_bAlphaTestEnable = true;
  state.m_eAlphaFunc = kCMP_GREATER;
  state.m_byAlphaRef = 10;
  state.m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
}

EMat4 EDecalManager::GetProjectionMatrix(const EDecal& d, const EMat4& mModelToWorld) {
  const EMat4 texgen = ERenderer::CreateOrthoTexGenMatrix(d.m_vPos + d.m_vNormal * 100.0f, d.m_vPos - d.m_vNormal * 200.0f,
                                                          d.m_vUp.GetNormal(), d.m_vRight.Length(), d.m_vUp.Length(),
                                                          1.0f, 700.0f);
  return texgen.MulUnaligned(mModelToWorld);
}

void EDecalManager::DrawAll(bool bGlowOnly) {
  EProfileZone zone("Draw Decals", 0, false);
  ERenderer* r = g_pCurrentRenderer;
  if (!m_iDrawCount || !r || !gGameApp) return;
  effectscene::IdentityTransforms();

  ERenderState state;
  SetupRenderState(state);
  const ESceneSettings& scene = effectscene::Settings();
  if (scene.m_bDistanceFog && gGameApp->m_eGlareMode == kGLAREMODE_NONE) {
    state.m_bFogEnable = true;
    state.m_dwFogColor = ColorVectorToRGBA(EVec4(scene.m_vFogColor.x, scene.m_vFogColor.y, scene.m_vFogColor.z, 1.0f));
  }
  r->SetRenderState(&state);
  const bool bDebug = gGameApp->m_DebugHooks.m_bDebugDecals;
  const float fNow = effectscene::Now();

  for (int i = 0; i < m_iDrawCount; ++i) {
    EDecal* d = m_pDecalArray->ElementGet(m_pidDrawList[i]);
    if (!d || !EDataArray<EDecal>::ElementIsUsed(d))
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "m_pDecalArray->ElementIsUsed(pDecal)", false);
    if (bGlowOnly && !(d->m_dwFlags & kDECALFLAG_GLOW)) continue;
    EVec4 colour = ColorVectorFromRGBA(d->m_dwColor);
    colour.w *= GetFadeFactor(*d, fNow);
    const uint32_t hTexture = effectscene::TextureHandle(d->m_idTexture);
    const EVec3 vProjector = d->m_vPos + d->m_vNormal * 100.0f;

    for (int k = 0; k < d->m_iPolyRefCount; ++k) {
      const DecalPolyRef& ref = d->m_aPolyRefs[k];
      EMeshFrag* pFrag = ref.pMeshFrag;
      if (!pFrag || pFrag->m_iVisibleFrame != gGameApp->m_iFrameCount) continue;
      m_iPolysDrawn += ref.iPolyCount;
      // Each entry is placed by its own fragment's mesh.
      EMesh* pMesh = pFrag->m_pMesh ? pFrag->m_pMesh : d->m_pMesh;
      const EMat4& mModelToWorld = decalstore::MeshTransform(pMesh);
      gGameApp->SetModelToWorld(mModelToWorld);
      gGameApp->SetWorldToModel(pMesh ? pMesh->GetInvInclusiveTrans() : EMat4());
      const EMat4 mProjection = GetProjectionMatrix(*d, mModelToWorld);
      gGameApp->SetJointTable(pFrag->IsSkinned() && pFrag->m_pAnimInfo ? pFrag->m_pAnimInfo->m_ppJointTable : nullptr);
      gGameApp->SetGeomShader(pFrag->m_pModelFrag ? (VSGEOM)pFrag->m_pModelFrag->m_eGeomShader : kVSGEOM_PROJECT);
      if (bDebug) {
        ERenderState wire = state;
        wire.m_eBlendMode = kBLENDMODE_DECAL;
        wire.m_eFillMode = kFILL_WIREFRAME;
        wire.m_bAlphaTestEnable = false;
        r->SetRenderState(&wire);
        gGameApp->SetShaderConstantColor(cg_vRed);
        pFrag->RenderBasic(true, ref.idIndexBuffer);
        r->SetRenderState(&state);
      }
      if (EShaderPasses* passes = effectscene::Passes())
        passes->SetShaderProjectedTexture(hTexture, 0, colour, mProjection, vProjector, -d->m_vNormal, 0.0f, 0.0f,
                                          true, 0.0f);
      pFrag->RenderBasic(true, ref.idIndexBuffer);
    }
  }
}
