#include "VERirezo/MeshFrag.h"

#include <cstring>
#include <vector>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/Light.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureManager.h"

namespace {

// How many fragments share each model fragment that a fragment read; 0 for a
// model fragment that no read took (it stays with whoever bound it).
uint16_t s_aMeshFragModelUsers[EModelFragManager::kMAX_MODEL_FRAGS];

uint16_t& MeshFragModelUsers(const EModelFrag* p) {
  return s_aMeshFragModelUsers[EDataArray<EModelFrag>::GetIndexFromDataId(p->m_id)];
}

}  // namespace

EMeshFrag::EMeshFrag()
    : m_pModelFrag(nullptr),
      m_pMesh(nullptr),
      m_pOwnerEntity(nullptr),
      m_iVisibleFrame(-1),
      m_hDynamicGeomStream(0),
      m_hDynamicBasisStream(0),
      m_vColor(1.0f, 1.0f, 1.0f, 1.0f),
      m_fSortKey(0.0f),
      m_fLODFactor(1.0f),
      m_pVisibilityCache(nullptr),
      m_pStaticLightBlock(nullptr),
      m_pDynamicLightBlock(nullptr),
      m_TransformedBox(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)),
      m_pAnimInfo(nullptr),
      m_pTexAnimInfo(nullptr),
      m_hBaseTexture(0),
      m_dwFlags(0) {
  m_id = 0;
}

EMeshFrag::~EMeshFrag() {
  releaseBinding();
  delete m_pVisibilityCache;
  m_pVisibilityCache = nullptr;
  // The light blocks the draws made for the fragment are its own.
  delete m_pStaticLightBlock;
  delete m_pDynamicLightBlock;
  m_pStaticLightBlock = m_pDynamicLightBlock = nullptr;
  delete m_pTexAnimInfo;
  m_pTexAnimInfo = nullptr;
}

void EMeshFrag::releaseBinding() {
  // The last fragment using a model fragment that was read gives it back,
  // whether it is the one that read it or a copy.
  if (m_pModelFrag) {
    uint16_t& nUsers = MeshFragModelUsers(m_pModelFrag);
    if (nUsers && --nUsers == 0) EModelFragManager::ModelFragDelete(m_pModelFrag);
    m_pModelFrag = nullptr;
  }
  if (m_pAnimInfo) {
    delete[] m_pAnimInfo->m_ppJointTable;
    delete m_pAnimInfo;
    m_pAnimInfo = nullptr;
  }
  if (g_pCurrentRenderer) {
    if (m_hDynamicGeomStream) g_pCurrentRenderer->DeleteVertexBuffer(m_hDynamicGeomStream);
    if (m_hDynamicBasisStream) g_pCurrentRenderer->DeleteVertexBuffer(m_hDynamicBasisStream);
  }
  m_hDynamicGeomStream = m_hDynamicBasisStream = 0;
}

void EMeshFrag::DestroyInstance() {
  if (IsOriginal()) m_hBaseTexture = 0;
}

EMeshFrag& EMeshFrag::operator=(const EMeshFrag& other) {
  if (this == &other) return *this;
  if (other.m_pModelFrag) bind(*other.m_pModelFrag);
  m_pSource = const_cast<EMeshFrag*>(&other);
  return *this;
}

EMeshFrag& EMeshFrag::operator=(EModelFrag& modelFrag) {
  bind(modelFrag);
  return *this;
}

void EMeshFrag::bind(EModelFrag& modelFrag) {
  // Counted before the old binding goes, which may be the same fragment.
  uint16_t& nUsers = MeshFragModelUsers(&modelFrag);
  if (nUsers) ++nUsers;
  releaseBinding();
  m_pModelFrag = &modelFrag;
  m_vColor = modelFrag.m_vColor;
  ERenderer* pRenderer = g_pCurrentRenderer;
  const unsigned nVerts = modelFrag.m_nVerts;
  EModelBlendInfo* pBlend = modelFrag.m_pBlendInfo;
  if ((modelFrag.m_dwFragFlags & 0x1) && pBlend && (pBlend->m_byBlendFlags & 0x2) && pRenderer && nVerts) {
    m_hDynamicGeomStream = pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, nVerts, kVBFLAG_DYNAMIC,
                                                         "Dynamic Geometry Stream");
    if (m_hDynamicGeomStream && pBlend->m_pBlendBasis) {
      if (void* p = pRenderer->LockVertexBuffer(m_hDynamicGeomStream, nVerts, 0, 0)) {
        memcpy(p, pBlend->m_pBlendBasis, (size_t)nVerts * sizeof(VERTEX_NOTEX_NORM));
        pRenderer->UnlockVertexBuffer(m_hDynamicGeomStream);
      }
    }
  }
  if (modelFrag.m_dwFragFlags & 0x8) {
    m_pAnimInfo = new EMeshAnimInfo();
    m_pAnimInfo->m_AnimatedBox = modelFrag.m_Box;
    createBonePalette();
    if (pRenderer && pRenderer->m_bSoftwareSkinning && nVerts) {
      if (!m_hDynamicGeomStream)
        m_hDynamicGeomStream = pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, nVerts, kVBFLAG_DYNAMIC,
                                                             "Dynamic Geometry Stream");
      m_hDynamicBasisStream = pRenderer->CreateVertexBuffer(kVBFORMAT_TANGENT_BINORMAL_TEXCOORD4, nVerts,
                                                            kVBFLAG_DYNAMIC, "Dynamic Geometry Stream");
    }
  }
  // The fragment's own word starts empty: its low bits order the sort, while
  // the model fragment's word says whether it is skinned or blend-shaped.
  m_dwFlags = 0;
}

void EMeshFrag::createBonePalette() {
  EASSERT(m_pAnimInfo);
  const EModelAnimInfo* pData = m_pModelFrag ? m_pModelFrag->m_pAnimInfo : nullptr;
  const unsigned count = pData ? pData->m_nPaletteSize : 0;
  m_pAnimInfo->m_nJoints = (uint16_t)count;
  m_pAnimInfo->m_ppJointTable = count ? new EJoint*[count]() : nullptr;
}

bool EMeshFrag::Read(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType) {
  if (EModelFragManager::GetActiveCount() >= EModelFragManager::kMAX_MODEL_FRAGS) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Exceeded maximum number of model fragments in EMeshFrag::Read");
    return false;
  }
  EModelFrag* pModelFrag = EModelFragManager::ModelFragNew();
  pModelFrag->m_pOwnerModel = m_pMesh ? m_pMesh->GetModel() : nullptr;
  if (!pModelFrag->Read(s, iVersion, aTextureIds, eDataType)) {
    EModelFragManager::ModelFragDelete(pModelFrag);
    return false;
  }
  MeshFragModelUsers(pModelFrag) = 0;
  *this = *pModelFrag;
  MeshFragModelUsers(pModelFrag) = 1;
  return true;
}

unsigned EMeshFrag::GetBaseTexture() const {
  if (m_hBaseTexture) return m_hBaseTexture;
  return m_pModelFrag ? m_pModelFrag->m_aTextures[0] : 0;
}

void EMeshFrag::SetBaseTexture(unsigned hTexture, unsigned hOnlyIfShowing, bool bKeepAlphaFlags) {
  if (hOnlyIfShowing && hOnlyIfShowing != GetBaseTexture()) return;
  const unsigned hShown = hTexture ? hTexture : (m_pModelFrag ? m_pModelFrag->m_aTextures[0] : 0);
  EGameTextureManager* pTextures = GetGameTextureManager();
  EGameTexture* pTexture = pTextures ? pTextures->GetTexture(hShown) : nullptr;
  if (!pTexture) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Invalid texture 0x%x passed to SetBaseTexture()\n", hTexture);
    return;
  }
  if (!bKeepAlphaFlags && m_pModelFrag) {
    uint32_t& dwMaterial = m_pModelFrag->m_dwMaterialFlags;
    dwMaterial &= ~(uint32_t)(kMATERIALFLAG_ALPHA | kMATERIALFLAG_BINARY_ALPHA);
    if (pTexture->HasAlpha()) dwMaterial |= kMATERIALFLAG_ALPHA;
    if (pTexture->HasBinaryAlpha()) dwMaterial |= kMATERIALFLAG_BINARY_ALPHA;
  }
  m_hBaseTexture = hTexture;
}

int EMeshFrag::GetTexturePlayMode() const {
  return m_pTexAnimInfo ? m_pTexAnimInfo->m_eMode : kANIMTEXMODE_DEFAULT;
}

void EMeshFrag::SetTexturePlayMode(int eMode, float fStartTime, int iStartFrame) {
  if (eMode == kANIMTEXMODE_DEFAULT) {
    delete m_pTexAnimInfo;
    m_pTexAnimInfo = nullptr;
    return;
  }
  if (!m_pTexAnimInfo) {
    EASSERT(m_pTexAnimInfo == 0);
    m_pTexAnimInfo = new ETexAnimInfo();
    EGameTextureManager* pTextures = GetGameTextureManager();
    EGameTexture* pBase = pTextures ? pTextures->GetTexture(GetBaseTexture()) : nullptr;
    if (pBase && pBase->m_pTexAnimInfo) *m_pTexAnimInfo = *pBase->m_pTexAnimInfo;
  }
  m_pTexAnimInfo->SetPlayMode(eMode, fStartTime, iStartFrame);
}

EBox3 EMeshFrag::GetTransformedBoundingBox() {
  if (!(m_dwFlags & kMESHFRAGFLAG_BOX_VALID)) {
    const EBox3 box = GetUntransformedBoundingBox();
    m_TransformedBox = m_pMesh ? box.TransformAffine(m_pMesh->GetInclusiveTrans()) : box;
    m_dwFlags |= kMESHFRAGFLAG_BOX_VALID;
  }
  return m_TransformedBox;
}

EBox3 EMeshFrag::GetUntransformedBoundingBox() const {
  if (m_pAnimInfo && IsSkinned()) return m_pAnimInfo->m_AnimatedBox;
  return m_pModelFrag ? m_pModelFrag->m_Box : EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
}

void EMeshFrag::InvalidateCachedPositions() { m_dwFlags &= ~(uint32_t)kMESHFRAGFLAG_BOX_VALID; }

bool EMeshFrag::HasAlphaFlags() const {
  uint32_t flags = m_pModelFrag ? m_pModelFrag->m_dwMaterialFlags : 0;
  if (flags & kMATERIALFLAG_BINARY_ALPHA) flags &= ~(uint32_t)kMATERIALFLAG_ALPHA;
  if (flags & kMATERIALFLAG_ADDITIVE_BLENDING)
    flags &= ~(uint32_t)(kMATERIALFLAG_EDGE_ALPHA | kMATERIALFLAG_INV_EDGE_ALPHA);
  return (flags & kMATERIALFLAG_ALPHA_BITS) && !(flags & kMATERIALFLAG_ALPHA_CANCEL);
}

bool EMeshFrag::IsAlphaBlended() const {
  if (m_dwFlags & kMESHFRAGFLAG_DEBUG_OPAQUE) return false;
  return HasAlphaFlags() || m_vColor.w != 1.0f;
}

namespace {

uint32_t MeshFragMaterial(const EModelFrag* p) { return p ? p->m_dwMaterialFlags : 0; }

}  // namespace

bool EMeshFrag::IsAdditiveBlended() const {
  return (MeshFragMaterial(m_pModelFrag) & kMATERIALFLAG_ADDITIVE_BLENDING) != 0;
}
bool EMeshFrag::IsBinaryAlpha() const { return (MeshFragMaterial(m_pModelFrag) & kMATERIALFLAG_BINARY_ALPHA) != 0; }
bool EMeshFrag::IsEdgeAlpha() const {
  return (MeshFragMaterial(m_pModelFrag) & (kMATERIALFLAG_EDGE_ALPHA | kMATERIALFLAG_INV_EDGE_ALPHA)) != 0;
}
bool EMeshFrag::IsDecal() const { return (MeshFragMaterial(m_pModelFrag) & kMATERIALFLAG_DECAL) != 0; }
bool EMeshFrag::IsDistortion() const { return (MeshFragMaterial(m_pModelFrag) & kMATERIALFLAG_DISTORTION) != 0; }
bool EMeshFrag::IsDistantGeometry() const {
  return m_pModelFrag && (m_pModelFrag->m_dwFragFlags & kMODELFRAGFLAG_DISTANT_GEOMETRY);
}
bool EMeshFrag::IsBlendShaped() const {
  return m_pModelFrag && (m_pModelFrag->m_dwFragFlags & kMODELFRAGFLAG_BLENDSHAPES);
}
bool EMeshFrag::IsSkinned() const { return m_pModelFrag && (m_pModelFrag->m_dwFragFlags & kMODELFRAGFLAG_SKINNED); }

float EMeshFrag::GetShaderLODFactor(float fFull, float fNone) const {
  if (fNone > m_fLODFactor) return 0.0f;
  if (m_fLODFactor > fFull) return 1.0f;
  const float range = fFull - fNone;
  return 1.0f - (range != 0.0f ? (fFull - m_fLODFactor) / range : 0.0f);
}

// ---------------------------------------------------------------------------

EMeshFragManager::EMeshFragManager()
    : m_pMeshFragArray(new EDataArray<EMeshFrag>("Mesh Fragments", kMAX_MESH_FRAGS, 0, kMEMTYPE_Mesh)),
      m_hDummyBlendVB(0),
      m_hDummyHWSkinVB(0) {
  EASSERT(m_pMeshFragArray);
  for (int i = 0; i < kNUM_RENDERDOMAINS; ++i) m_piVisibleMeshFragCount[i] = m_piLastVisibleMeshFragCount[i] = 0;
  if (g_pCurrentRenderer) g_pCurrentRenderer->AllocateDynamicVertices(kVBFORMAT_POSITION_NORMAL, 16384);
  CreateDummyBlendVBs();
}

EMeshFragManager::~EMeshFragManager() {
  delete m_pMeshFragArray;
  if (g_pCurrentRenderer) {
    if (m_hDummyBlendVB) g_pCurrentRenderer->DeleteVertexBuffer(m_hDummyBlendVB);
    if (m_hDummyHWSkinVB) g_pCurrentRenderer->DeleteVertexBuffer(m_hDummyHWSkinVB);
  }
}

void EMeshFragManager::CreateDummyBlendVBs() {
  ERenderer* r = g_pCurrentRenderer;
  if (!r) return;
  if (m_hDummyBlendVB) r->DeleteVertexBuffer(m_hDummyBlendVB);
  if (m_hDummyHWSkinVB) r->DeleteVertexBuffer(m_hDummyHWSkinVB);
  m_hDummyBlendVB = r->CreateVertexBuffer(kVBFORMAT_BLEND1, kDUMMY_VERTICES, 0, "Dummy Blend");
  if (m_hDummyBlendVB) {
    if (void* p = r->LockVertexBuffer(m_hDummyBlendVB, kDUMMY_VERTICES, 0, 0)) {
      memset(p, 0, (size_t)kDUMMY_VERTICES * 24);
      r->UnlockVertexBuffer(m_hDummyBlendVB);
    }
  }
  m_hDummyHWSkinVB = r->CreateVertexBuffer(kVBFORMAT_TEXCOORD67, kDUMMY_VERTICES, 0, "Dummy HWSkin");
  if (m_hDummyHWSkinVB) {
    if (uint8_t* p = static_cast<uint8_t*>(r->LockVertexBuffer(m_hDummyHWSkinVB, kDUMMY_VERTICES, 0, 0))) {
      const uint32_t influence = 0;
      const float weight = 1.0f;
      for (int i = 0; i < kDUMMY_VERTICES; ++i) {
        memcpy(p + 8 * i, &influence, 4);
        memcpy(p + 8 * i + 4, &weight, 4);
      }
      r->UnlockVertexBuffer(m_hDummyHWSkinVB);
    }
  }
}

EMeshFrag* EMeshFragManager::MeshFragNew() {
  if (m_pMeshFragArray->GetNumUsed() >= kMAX_MESH_FRAGS) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Exceeded maximum number of mesh fragments\n");
    return nullptr;
  }
  return m_pMeshFragArray->ElementGet(m_pMeshFragArray->ElementNew());
}

void EMeshFragManager::MeshFragDelete(EMeshFrag* pFrag) {
  if (pFrag) m_pMeshFragArray->ElementDelete(pFrag);
}

void EMeshFragManager::MeshFragMarkVisible(EMeshFrag* pFrag) {
  const int eRenderDomain = pFrag->m_pMesh ? pFrag->m_pMesh->GetRenderDomain() : kRENDERDOMAIN_SCENE;
  EASSERT(eRenderDomain < kNUM_RENDERDOMAINS);
  EASSERT(m_piVisibleMeshFragCount[eRenderDomain] < kMAX_MESH_FRAGS);
  pFrag->m_iVisibleFrame = gGameApp ? gGameApp->m_iFrameCount : 0;
  m_aVisibleMeshFrags[eRenderDomain][m_piVisibleMeshFragCount[eRenderDomain]++] = pFrag->m_id;
}

void EMeshFragManager::ResetFrame() {
  for (int i = 0; i < kNUM_RENDERDOMAINS; ++i) {
    m_piLastVisibleMeshFragCount[i] = m_piVisibleMeshFragCount[i];
    m_piVisibleMeshFragCount[i] = 0;
  }
}

bool EMeshFragManager::SortCompare(EMeshFrag* a, EMeshFrag* b) {
  const bool aTransparent = (a->m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) != 0;
  const bool bTransparent = (b->m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) != 0;
  if (aTransparent != bTransparent) return aTransparent;
  if (!aTransparent) return a->m_fSortKey > b->m_fSortKey;
  return b->m_fSortKey > a->m_fSortKey;
}

void EMeshFragManager::PreprocessAll(float dt) {
  for (int d = 0; d < kNUM_RENDERDOMAINS; ++d) {
    const int n = m_piVisibleMeshFragCount[d];
    if (!n) continue;
    for (int i = 0; i < n; ++i) m_pMeshFragArray->ElementGet(m_aVisibleMeshFrags[d][i])->Preprocess(dt);
    m_pMeshFragArray->SortIndexArray(m_aVisibleMeshFrags[d], n, SortCompare);
  }
}

EMeshFrag* EMeshFragManager::GetVisibleMeshFrag(RENDERDOMAIN eRenderDomain, int iIndex) const {
  EASSERT(eRenderDomain < kNUM_RENDERDOMAINS);
  EASSERT(iIndex < m_piVisibleMeshFragCount[eRenderDomain]);
  return m_pMeshFragArray->ElementGet(m_aVisibleMeshFrags[eRenderDomain][iIndex]);
}

void EMeshFragManager::ClearInlineEntityFlags() {
  for (int d = 0; d < kNUM_RENDERDOMAINS; ++d) {
    for (int i = 0; i < m_piVisibleMeshFragCount[d]; ++i) {
      EMeshFrag* pFrag = m_pMeshFragArray->ElementGet(m_aVisibleMeshFrags[d][i]);
      if (pFrag->m_pOwnerEntity) pFrag->m_pOwnerEntity->SetTransientFlag(ENTITYTRANSIENT_INLINE_EFFECTS, false);
    }
  }
}

int EMeshFragManager::GetLastVisibleCount(int eRenderDomain) const {
  if (eRenderDomain >= 0) return m_piLastVisibleMeshFragCount[eRenderDomain];
  int sum = 0;
  for (int i = 0; i < kNUM_RENDERDOMAINS; ++i) sum += m_piLastVisibleMeshFragCount[i];
  return sum;
}

void EMeshFragManager::CompactArrays(bool bShrink) {
  if (!gGameApp || !gGameApp->GetPrefs().m_bProductionLoading) return;
  EDataArray<EModelFrag>& pool = EModelFragManager::GetModelFragArray();
  // The pool's storage may move: remember each fragment's slot first.
  const int n = m_pMeshFragArray->GetHighestUsed() + 1;
  std::vector<int> slots((size_t)(n > 0 ? n : 0), -1);
  for (int i = 0; i < n; ++i) {
    const EMeshFrag& f = (*m_pMeshFragArray)[i];
    if (f.m_id && f.m_pModelFrag) slots[(size_t)i] = EDataArray<EModelFrag>::GetIndexFromDataId(f.m_pModelFrag->m_id);
  }
  pool.Resize(bShrink ? 0 : (int)EModelFragManager::kMAX_MODEL_FRAGS, true);
  for (int i = 0; i < n; ++i)
    if (slots[(size_t)i] >= 0) (*m_pMeshFragArray)[i].m_pModelFrag = &pool[slots[(size_t)i]];
}
