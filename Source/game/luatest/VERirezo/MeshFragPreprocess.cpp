// A visible fragment's preparation for the frame: owner, colour, detail,
// transparency, lights and shadows, debug views, sort key, camera alpha and
// the deformation of its vertices on the processor; and the shader
// blend-shape streams and single-vertex skinning that other code uses.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/EffectScene.h"
#include "VERirezo/Font.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshFragFacts.h"
#include "VERirezo/MeshFragRules.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/RenderPass.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureManager.h"

// ---------------------------------------------------------------------------
// The surroundings' facts.

namespace meshfragfacts {

// The owner entity's own values.
EVec4 DefaultColor(const EMeshEntity* p) {
  const EVec3& c = p->GetColor();
  return EVec4(c.x, c.y, c.z, p->GetAlpha());
}
float DefaultCompoundAlpha(const EMeshEntity* p) { return p ? p->GetCompoundAlpha() : 1.0f; }
float DefaultDetail(const EMeshEntity* p) { return p->GetDetailValue(); }
float DefaultBlendShape(const EMeshEntity* p) { return p->GetFacialWeight(); }
float DefaultGlare(const EMeshEntity* p) { return p->GetGlare(); }
float DefaultCameraAlphaRadius(const EMeshEntity* p) { return p->GetCameraAlphaRadius(); }
EVec2 DefaultVelocity(const EMeshEntity* p) { return p->GetTexCoordTransVel(); }
EVec3 DefaultIrradiance(const EMeshEntity* p) { return p->GetCombinedIrradiance(); }
EBox3 DefaultBox(EMeshEntity* p) {
  if (p && p->GetMesh()) return p->GetMesh()->GetTransformedBoundingBox();
  return EBox3(EVec3(0, 0, 0), EVec3(0, 0, 0));
}
EMeshEntity* DefaultPlayer() {
  EEntity* p = gGameApp ? gGameApp->GetPlayer() : nullptr;
  return p && p->IsMeshEntity() ? static_cast<EMeshEntity*>(p) : nullptr;
}
ECamera* DefaultShadowCamera(const EMeshEntity* p) { return p->GetShadowCamera(); }
unsigned DefaultShadowTexture(const EMeshEntity* p) { return p->GetShadowTexture(); }

EMeshFragEntityFacts s_Facts = MeshFragDefaultEntityFacts();
ESceneSettings* s_pScene = nullptr;

}  // namespace meshfragfacts

EMeshFragEntityFacts MeshFragDefaultEntityFacts() {
  using namespace meshfragfacts;
  EMeshFragEntityFacts f;
  f.pfnColor = DefaultColor;
  f.pfnCompoundAlpha = DefaultCompoundAlpha;
  f.pfnDetailFactor = DefaultDetail;
  f.pfnBlendShapeFactor = DefaultBlendShape;
  f.pfnGlare = DefaultGlare;
  f.pfnCameraAlphaRadius = DefaultCameraAlphaRadius;
  f.pfnTexCoordTransVel = DefaultVelocity;
  f.pfnCombinedIrradiance = DefaultIrradiance;
  f.pfnTransformedBox = DefaultBox;
  f.pfnPlayer = DefaultPlayer;
  f.pfnShadowCamera = DefaultShadowCamera;
  f.pfnShadowTexture = DefaultShadowTexture;
  return f;
}

EMeshFragEntityFacts& MeshFragEntityFacts() { return meshfragfacts::s_Facts; }

ESceneSettings& MeshFragSceneSettings() {
  if (meshfragfacts::s_pScene) return *meshfragfacts::s_pScene;
  return effectscene::Settings();
}

void SetMeshFragSceneSettings(ESceneSettings* pSettings) { meshfragfacts::s_pScene = pSettings; }

// ---------------------------------------------------------------------------
// Rules.

namespace meshfragrules {

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

float DetailFactor(float d, float p) {
  const float byDistance = Clamp((d - 8000.0f) / -7000.0f, 0.0f, 1.0f);
  const float byPixels = Clamp((p - 10.0f) / 390.0f, 0.0f, 1.0f);
  return byDistance > byPixels ? byDistance : byPixels;
}

bool CameraAlpha(unsigned first, unsigned second, bool bWasSet, bool bHasRadius) {
  if (first == 0xFFFFFFFFu || second == 0xFFFFFFFFu || first == 0) return bWasSet;
  const float r = Clamp((float)second / (float)first, 0.0f, 1.0f);
  const float threshold = bHasRadius ? (bWasSet ? 0.99f : 0.98f) : (bWasSet ? 0.95f : 0.9f);
  return r < threshold;
}

void ChooseBlendStreams(const float* pfWeights, const float* pfScales, const uint32_t* phBuffers, int n,
                        uint32_t hDummy, BlendStreams& out) {
  // The (weight, target) pairs, heaviest first when more than four.
  enum { kMAX = 64 };
  if (n > kMAX) n = kMAX;
  float w[kMAX];
  int t[kMAX];
  for (int i = 0; i < n; ++i) w[i] = pfWeights[i], t[i] = i;
  if (n > 4) {
    bool bSwapped = true;
    while (bSwapped) {
      bSwapped = false;
      for (int i = 0; i + 1 < n; ++i) {
        if (w[i] < w[i + 1]) {
          const float fw = w[i];
          w[i] = w[i + 1];
          w[i + 1] = fw;
          const int it = t[i];
          t[i] = t[i + 1];
          t[i + 1] = it;
          bSwapped = true;
        }
      }
    }
  }
  for (int k = 0; k < 4; ++k) {
    const bool bPair = k < n;
    out.afPlain[k] = bPair ? w[k] : 0.0f;
    out.afScaled[k] = bPair ? w[k] * pfScales[t[k]] : 0.0f;
    if (k == 0)
      out.ahStreams[k] = n > 0 ? phBuffers[t[0]] : hDummy;
    else
      out.ahStreams[k] = (bPair && w[k] > 0.00001f) ? phBuffers[t[k]] : hDummy;
  }
}

unsigned TriangleCount(bool bStrip, unsigned iIndexCount, unsigned nDegenerate) {
  if (!bStrip) return iIndexCount / 3;
  if (iIndexCount < 2 + nDegenerate) return 0;
  return iIndexCount - 2 - nDegenerate;
}

Next ChooseTransparent(bool bFrag, float fFrag, bool bEmitter, float fEmitter, bool bTrail, float fTrail) {
  // The trail is compared with the farthest of the others, so that all
  // three streams come out back to front.
  if (bFrag && bEmitter && fEmitter > fFrag) return (bTrail && fTrail > fEmitter) ? kNEXT_TRAIL : kNEXT_EMITTER;
  if (bFrag) return (bTrail && fTrail > fFrag) ? kNEXT_TRAIL : kNEXT_FRAGMENT;
  if (bEmitter) return (bTrail && fTrail > fEmitter) ? kNEXT_TRAIL : kNEXT_EMITTER;
  return bTrail ? kNEXT_TRAIL : kNEXT_NONE;
}

}  // namespace meshfragrules

// ---------------------------------------------------------------------------

namespace meshfragprep {

const EDebugHooks& Switches() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}

bool SoftwareSkinning() { return g_pCurrentRenderer && g_pCurrentRenderer->m_bSoftwareSkinning; }

uint32_t Material(const EMeshFrag& f) { return f.m_pModelFrag ? f.m_pModelFrag->m_dwMaterialFlags : 0; }
uint32_t FragFlags(const EMeshFrag& f) { return f.m_pModelFrag ? f.m_pModelFrag->m_dwFragFlags : 0; }

bool OwnerTransient(const EMeshFrag& f, uint32_t bit) {
  return f.m_pOwnerEntity && f.m_pOwnerEntity->GetTransientFlag(bit);
}

// The skinning matrix of entry i of the fragment's joint table (identity
// for a missing joint).
const EMat4& JointMatrix(const EMeshFrag& f, unsigned i) {
  const EMeshAnimInfo* p = f.m_pAnimInfo;
  if (p && p->m_ppJointTable && i < p->m_nJoints && p->m_ppJointTable[i]) return p->m_ppJointTable[i]->m_mSkinning;
  return cg_mIdentity;
}

EMat4 BlendedJointMatrix(const EMeshFrag& f, const uint8_t* pInfluence) {
  uint32_t w;
  float x;
  memcpy(&w, pInfluence, 4);
  memcpy(&x, pInfluence + 4, 4);
  return EMat4::Lerp(JointMatrix(f, (w >> 16) & 0xFF), JointMatrix(f, (w >> 8) & 0xFF), x);
}

EVec3 Normalised(const EVec3& v) {
  const float len = v.Length();
  return len > 0.0f ? v * (1.0f / len) : v;
}

// Copies count records of size bytes into the model fragment's stream of
// the kind, else into the dynamic stream; the message names the failure.
bool WriteStream(uint32_t hModel, uint32_t hDynamic, const void* pData, unsigned count, unsigned size,
                 const char* szNone, const char* szStatic, const char* szDynamic) {
  ERenderer* r = g_pCurrentRenderer;
  const uint32_t h = hModel ? hModel : hDynamic;
  if (!h || !r) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s", szNone);
    return false;
  }
  void* p = r->LockVertexBuffer(h, count, 0, 0);
  if (!p) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s", hModel ? szStatic : szDynamic);
    return false;
  }
  memcpy(p, pData, (size_t)count * size);
  r->UnlockVertexBuffer(h);
  return true;
}

}  // namespace meshfragprep

bool EMeshFrag::HasActiveAnims() const {
  return (meshfragprep::FragFlags(*this) & 0x8) && meshfragprep::OwnerTransient(*this, ENTITYTRANSIENT_ANIMATING);
}

bool EMeshFrag::HasActiveBlendAnims() const {
  return (meshfragprep::FragFlags(*this) & 0x1) && meshfragprep::OwnerTransient(*this, ENTITYTRANSIENT_ANIMATING);
}

VSGEOM EMeshFrag::GetGeomShader(bool bBasis) const {
  int g = m_pModelFrag ? m_pModelFrag->m_eGeomShader : 0;
  if (g != 0 && !HasActiveAnims() && !(g == kVSGEOM_HWBLEND && HasActiveBlendAnims())) g = kVSGEOM_PROJECT;
  if (meshfragprep::Switches().m_bNoBlendShapes && g == kVSGEOM_HWBLEND) g = kVSGEOM_HWSKIN;
  if (!bBasis) return (VSGEOM)g;
  const int eGeom = g;
  EASSERT(eGeom != kVSGEOM_HWBLEND && eGeom != kVSGEOM_TRANSFORM);
  return (VSGEOM)(g + 1);
}

EVec2 EMeshFrag::GetTexCoordTransVel() const {
  EVec2 v = m_pModelFrag ? m_pModelFrag->m_vTexCoordTransVel : EVec2(0, 0);
  if (m_pOwnerEntity) {
    const EVec2 e = MeshFragEntityFacts().pfnTexCoordTransVel(m_pOwnerEntity);
    v = EVec2(v.x + e.x, v.y + e.y);
  }
  return v;
}

EVec2 EMeshFrag::GetTexCoordTrans() const {
  const EVec2 v = GetTexCoordTransVel();
  double t = 0.0;
  if (gGameApp)
    t = (m_pOwnerEntity && m_pOwnerEntity->GetEntityFlag(ENTITY_FULL_SIM_SPEED)) ? gGameApp->GetRealElapsedTime()
                                                                                  : gGameApp->GetSimElapsedTime();
  return EVec2((float)fmod(t * v.x, 1.0), (float)fmod(t * v.y, 1.0));
}

void EMeshFrag::bindVertsToJoints(VERTEX_NOTEX_NORM* pSource, VERTEX_STREAM_BASIS* pBasisSource) {
  using namespace meshfragprep;
  EMemMark mark(g_PrimaryStack);
  EModelFrag* m = m_pModelFrag;
  if (!m) return;
  const EModelAnimInfo* pAnim = m->m_pAnimInfo;
  if (!pSource && pAnim) pSource = pAnim->m_pSkinningVerts;
  if (!pBasisSource && pAnim) pBasisSource = pAnim->m_pSkinningBasis;
  if (!pSource) return;
  const unsigned n = m->m_nVerts;
  VERTEX_NOTEX_NORM* pOut = pSource;
  VERTEX_STREAM_BASIS* pBasisOut = pBasisSource;
  if (HasActiveAnims() && pAnim && pAnim->m_pSkinningOrigSkinWeights) {
    pOut = reinterpret_cast<VERTEX_NOTEX_NORM*>(g_PrimaryStack.Push(n * sizeof(VERTEX_NOTEX_NORM)));
    for (unsigned i = 0; i < n; ++i) pOut[i] = VERTEX_NOTEX_NORM{EVec3(0, 0, 0), EVec3(0, 0, 0)};
    const EDebugHooks& hooks = Switches();
    const bool bBases = pBasisSource && (hooks.m_bBumpmaps || hooks.m_bSpecularLight);
    if (pBasisSource) {
      pBasisOut = reinterpret_cast<VERTEX_STREAM_BASIS*>(g_PrimaryStack.Push(n * sizeof(VERTEX_STREAM_BASIS)));
      for (unsigned i = 0; i < n; ++i)
        pBasisOut[i] = bBases ? VERTEX_STREAM_BASIS{EVec3(0, 0, 0), EVec3(0, 0, 0), EVec3(0, 0, 0)} : pBasisSource[i];
    }
    for (unsigned i = 0; i < n; ++i) {
      const EMat4 M = BlendedJointMatrix(*this, pAnim->m_pSkinningOrigSkinWeights + 8 * i);
      pOut[i].vPos = M.MulVec3(pSource[i].vPos);
      pOut[i].vNormal = Normalised(M.Mul3Vec3(pSource[i].vNormal));
      if (bBases) {
        pBasisOut[i].vTangent = Normalised(M.Mul3Vec3(pBasisSource[i].vTangent));
        pBasisOut[i].vBinormal = Normalised(M.Mul3Vec3(pBasisSource[i].vBinormal));
      }
    }
  }
  if (!WriteStream(m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM], m_hDynamicGeomStream, pOut, n,
                   sizeof(VERTEX_NOTEX_NORM), "No geometry data found in bindVertsToJoints!",
                   "Failed to lock static geometry in bindVertsToJoints",
                   "Failed to lock dynamic geometry in bindVertsToJoints"))
    return;
  if (pBasisOut)
    WriteStream(m->m_phVertBuffer[kMODELFRAGSTREAM_BASIS], m_hDynamicBasisStream, pBasisOut, n,
                sizeof(VERTEX_STREAM_BASIS), "No basis data found in bindVertsToJoints!",
                "Failed to lock static basis in bindVertsToJoints", "Failed to lock dynamic basis in bindVertsToJoints");
}

void EMeshFrag::blendVerts() {
  EModelFrag* m = m_pModelFrag;
  EModelBlendInfo* pBlend = m ? m->m_pBlendInfo : nullptr;
  if (!pBlend || !pBlend->m_pBlendBasis) return;
  const float* pfWeights = m_pMesh ? m_pMesh->getBlendWeights() : nullptr;
  EMemMark mark(g_PrimaryStack);
  const unsigned n = m->m_nVerts;
  VERTEX_NOTEX_NORM* v = reinterpret_cast<VERTEX_NOTEX_NORM*>(g_PrimaryStack.Push(n * sizeof(VERTEX_NOTEX_NORM)));
  memcpy(v, pBlend->m_pBlendBasis, n * sizeof(VERTEX_NOTEX_NORM));
  const float factor = m_pOwnerEntity ? MeshFragEntityFacts().pfnBlendShapeFactor(m_pOwnerEntity) : 0.0f;
  if (pfWeights && m_pOwnerEntity && factor > 0.0f) {
    const int nTargets = pBlend->m_aDeltaCounts.Num();
    for (int t = 0; t < nTargets; ++t) {
      const unsigned channel = t < pBlend->m_aMappingIndices.Num() ? pBlend->m_aMappingIndices[t] : 0;
      const float w = (channel < 64 ? pfWeights[channel] : 0.0f) * factor;
      if (w <= 0.0f) continue;
      const float s = (t < pBlend->m_aScales.Num() ? pBlend->m_aScales[t] : 1.0f) * w;
      const VERTEX_STREAM_SW_BLEND* d = t < pBlend->m_aSparseDeltas.Num() ? pBlend->m_aSparseDeltas[t] : nullptr;
      if (!d) continue;
      for (unsigned k = 0; k < pBlend->m_aDeltaCounts[t]; ++k) {
        const unsigned i = d[k].wIndex;
        if (i >= n) continue;  // a record past the vertices changes nothing
        v[i].vPos += d[k].vPosDelta * s;
        v[i].vNormal += d[k].vNormalDelta * w;
      }
    }
  }
  if (HasActiveAnims() && meshfragprep::SoftwareSkinning()) {
    bindVertsToJoints(v, nullptr);
    return;
  }
  ERenderer* r = g_pCurrentRenderer;
  if (!r || !m_hDynamicGeomStream) return;
  if (void* p = r->LockVertexBuffer(m_hDynamicGeomStream, n, 0, 0)) {
    memcpy(p, v, n * sizeof(VERTEX_NOTEX_NORM));
    r->UnlockVertexBuffer(m_hDynamicGeomStream);
  }
}

void EMeshFrag::setDynamicStreams(uint32_t* phVB, int& iCount) {
  EModelBlendInfo* pBlend = m_pModelFrag ? m_pModelFrag->m_pBlendInfo : nullptr;
  const int n = pBlend ? pBlend->m_aStreamBuffers.Num() : 0;
  if (n == 0) return;
  EMeshFragManager* pManager = gGameApp ? gGameApp->m_pMeshFragManager : nullptr;
  if (!HasActiveAnims()) {
    if (pManager) phVB[iCount++] = pManager->GetDummyHWSkin();
    if (gGameApp) gGameApp->SetJointTable(nullptr);
    if (gGameApp && gGameApp->m_pShaderPasses) gGameApp->m_pShaderPasses->m_Constants.SetHWSkinningConstants(1);
  }
  const float* pfMesh = m_pMesh ? m_pMesh->getBlendWeights() : nullptr;
  enum { kMAX = 64 };
  float afWeights[kMAX], afScales[kMAX];
  uint32_t ahBuffers[kMAX];
  const int m = n < kMAX ? n : kMAX;
  for (int k = 0; k < m; ++k) {
    const unsigned channel = k < pBlend->m_aMappingIndices.Num() ? pBlend->m_aMappingIndices[k] : 0;
    afWeights[k] = (pfMesh && channel < 64) ? pfMesh[channel] : 0.0f;
    afScales[k] = k < pBlend->m_aScales.Num() ? pBlend->m_aScales[k] : 1.0f;
    ahBuffers[k] = pBlend->m_aStreamBuffers[k];
  }
  meshfragrules::BlendStreams s;
  meshfragrules::ChooseBlendStreams(afWeights, afScales, ahBuffers, m, pManager ? pManager->GetDummyBlend() : 0, s);
  if (gGameApp && gGameApp->m_pShaderPasses) {
    const float factor = m_pOwnerEntity ? MeshFragEntityFacts().pfnBlendShapeFactor(m_pOwnerEntity) : 0.0f;
    gGameApp->m_pShaderPasses->m_Constants.SetBlendShapeConstants(s.afScaled[0], s.afScaled[1], s.afScaled[2],
                                                                 s.afScaled[3], s.afPlain[0], s.afPlain[1],
                                                                 s.afPlain[2], s.afPlain[3], factor);
  }
  for (int k = 0; k < 4; ++k) phVB[iCount++] = s.ahStreams[k];
}

bool EMeshFrag::SoftwareBindSingleVert(unsigned iVertex, VERTEX_NOTEX_NORM* pVertex, VERTEX_STREAM_BASIS* pBasis) {
  EModelFrag* m = m_pModelFrag;
  ERenderer* r = g_pCurrentRenderer;
  if (!m || iVertex >= m->m_nVerts) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Invalid vertex index in SoftwareBindSingleVert");
    return false;
  }
  VERTEX_NOTEX_NORM v{EVec3(0, 0, 0), EVec3(0, 0, 0)};
  VERTEX_STREAM_BASIS b{EVec3(0, 0, 0), EVec3(0, 0, 0), EVec3(0, 0, 0)};
  uint32_t hGeom = 0;
  if (pVertex) {
    const uint32_t hModel = m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM];
    hGeom = hModel ? hModel : m_hDynamicGeomStream;
    if (!hGeom || !r) {
      g_ErrorManager.TraceMessagef(TT_Warning, "No geometry data found in SoftwareBindSingleVert");
      return false;
    }
    const VERTEX_NOTEX_NORM* p = static_cast<const VERTEX_NOTEX_NORM*>(r->LockVertexBuffer(hGeom, 0, 0, 0));
    if (!p) {
      g_ErrorManager.TraceMessagef(TT_Warning, hModel ? "Failed to lock static geometry in SoftwareBindSingleVert"
                                                      : "Failed to lock dynamic geometry in SoftwareBindSingleVert");
      return false;
    }
    v = p[iVertex];
  }
  if (pBasis) {
    const uint32_t hModel = m->m_phVertBuffer[kMODELFRAGSTREAM_BASIS];
    const uint32_t hBasis = hModel ? hModel : m_hDynamicBasisStream;
    if (!hBasis || !r) {
      if (hGeom) r->UnlockVertexBuffer(hGeom);
      g_ErrorManager.TraceMessagef(TT_Warning, "No basis data found in SoftwareBindSingleVert!");
      return false;
    }
    const VERTEX_STREAM_BASIS* p = static_cast<const VERTEX_STREAM_BASIS*>(r->LockVertexBuffer(hBasis, 0, 0, 0));
    if (!p) {
      if (hGeom) r->UnlockVertexBuffer(hGeom);
      g_ErrorManager.TraceMessagef(TT_Warning, hModel ? "Failed to lock static basis in SoftwareBindSingleVert"
                                                      : "Failed to lock dynamic basis in SoftwareBindSingleVert");
      return false;
    }
    b = p[iVertex];
    r->UnlockVertexBuffer(hBasis);
  }
  if (hGeom) r->UnlockVertexBuffer(hGeom);
  if (m->m_dwMaterialFlags & kMATERIALFLAG_SKINNED) {
    const uint32_t hSkin = m->m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN];
    const uint8_t* p = (hSkin && r) ? static_cast<const uint8_t*>(r->LockVertexBuffer(hSkin, 0, 0, 0)) : nullptr;
    if (!p) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Failed to lock hardware skinning buffer in SoftwareBindSingleVert");
      return false;
    }
    uint32_t w;
    float x;
    memcpy(&w, p + 8 * iVertex, 4);
    memcpy(&x, p + 8 * iVertex + 4, 4);
    r->UnlockVertexBuffer(hSkin);
    EMat4 M(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    M.MAdd(meshfragprep::JointMatrix(*this, (w >> 16) & 0xFF), x);
    M.MAdd(meshfragprep::JointMatrix(*this, (w >> 8) & 0xFF), 1.0f - x);
    const EMat4& R = meshfragprep::JointMatrix(*this, (w >> 16) & 0xFF);
    v.vPos = M.MulVec3(v.vPos);
    v.vNormal = R.Mul3Vec3(v.vNormal);
    b.vTangent = R.Mul3Vec3(b.vTangent);
    b.vBinormal = R.Mul3Vec3(b.vBinormal);
    b.vNormal = R.Mul3Vec3(b.vNormal);
  }
  if (pVertex) *pVertex = v;
  if (pBasis) *pBasis = b;
  return true;
}

void EMeshFrag::debugDrawSoftwareVerts() {
  if (!m_pModelFrag || !gDebugLine || !m_pMesh) return;
  const EVec4 white(1, 1, 1, 1);
  for (unsigned i = 0; i < m_pModelFrag->m_nVerts; i += 50) {
    VERTEX_NOTEX_NORM v;
    if (!SoftwareBindSingleVert(i, &v, nullptr)) continue;
    gDebugLine->AddSphere(m_pMesh->GetInclusiveTrans().MulVec3(v.vPos), 2.0f, &white);
  }
}

void EMeshFrag::Preprocess(float) {
  using namespace meshfragprep;
  const EDebugHooks& hooks = Switches();
  EMeshFragEntityFacts& facts = MeshFragEntityFacts();
  ESceneSettings& scene = MeshFragSceneSettings();
  EModelFrag* m = m_pModelFrag;
  // 1. The owner.
  m_pOwnerEntity = m_pMesh ? m_pMesh->GetParentEntity() : nullptr;
  if (m_pOwnerEntity && !m_pOwnerEntity->GetMesh())
    g_ErrorManager.TraceMessagef(TT_Warning, "Check failed: !m_pOwnerEntity || m_pOwnerEntity->GetMesh()");
  EMeshEntity* pOwner = m_pOwnerEntity;
  // 2.
  m_dwFlags &= kMESHFRAGFLAG_KEPT;
  // 3. The work box.
  const int eDomain = m_pMesh ? m_pMesh->GetRenderDomain() : kRENDERDOMAIN_SCENE;
  ECamera* pRenderCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
  EBox3 work = GetTransformedBoundingBox();
  if (scene.m_pSortingSphereEntity && scene.m_pSortingSphereEntity == pOwner) work = facts.pfnTransformedBox(pOwner);
  if (eDomain == kRENDERDOMAIN_SKYBOX && pRenderCamera) {
    work.vMin += pRenderCamera->GetPosition();
    work.vMax += pRenderCamera->GetPosition();
  }
  // 4. Colour.
  EVec4 c = m_pMesh ? m_pMesh->GetMaterialColor() : EVec4(1, 1, 1, 1);
  if (pOwner) {
    const EVec4 e = facts.pfnColor(pOwner);
    c = EVec4(c.x * e.x, c.y * e.y, c.z * e.z, c.w * facts.pfnCompoundAlpha(pOwner));
  }
  const EVec4 mc = m ? m->m_vColor : EVec4(1, 1, 1, 1);
  m_vColor = EVec4(mc.x * c.x, mc.y * c.y, mc.z * c.z, mc.w * c.w);
  // 5. Detail factor.
  if (pOwner)
    m_fLODFactor = facts.pfnDetailFactor(pOwner);
  else if (scene.m_bShaderLOD && gGameApp)
    m_fLODFactor = meshfragrules::DetailFactor(gGameApp->NearestViewDistance(work), gGameApp->LargestPixelDiagonal(work));
  else
    m_fLODFactor = 1.0f;
  // 6 to 8. Transparency, reflectors and scrolling.
  if (OwnerTransient(*this, ENTITYTRANSIENT_DREW_OPAQUE) &&
      (facts.pfnCompoundAlpha(pOwner) < 1.0f || (IsEdgeAlpha() && IsAdditiveBlended()))) {
    m_dwFlags |= kMESHFRAGFLAG_TRANSLUCENT_ENTITY;
    if (gGameApp) gGameApp->m_bTranslucentEntities = true;
  }
  const bool bCoyote = pOwner && pOwner->GetEntityFlag(ENTITY_COYOTE_PROJECTION);
  if ((!IsDecal() && (IsAlphaBlended() || IsAdditiveBlended() || IsDistortion() || bCoyote)) ||
      (m_dwFlags & kMESHFRAGFLAG_TRANSLUCENT_ENTITY))
    m_dwFlags |= kMESHFRAGFLAG_TRANSPARENT;
  if (pOwner && pOwner->GetEntityFlag(ENTITY_REFLECTOR)) m_dwFlags |= kMESHFRAGFLAG_REFLECTOR;
  const EVec2 vel = GetTexCoordTransVel();
  if (fabsf(vel.x) + fabsf(vel.y) != 0.0f) m_dwFlags |= kMESHFRAGFLAG_SCROLLING;
  const uint32_t mat = Material(*this);
  // 9. Lights and shadows.
  if (hooks.m_bLights && eDomain == kRENDERDOMAIN_SCENE && !IsDistantGeometry()) {
    if (m && m->m_pSwitchLight && !IsAlphaBlended()) m_dwFlags |= kMESHFRAGFLAG_SWITCH_LIGHT;
    const bool bDynamic = !hooks.m_bNoDynamicLights;
    ELightManager* pLights = gGameApp ? gGameApp->GetLightManager() : nullptr;
    if (bDynamic && pLights && !(mat & (kMATERIALFLAG_INCANDESCENT | kMATERIALFLAG_ADDITIVE_BLENDING)) &&
        m_fLODFactor > 0.5f && !IsEdgeAlpha()) {
      const ERenderFragmentInfo info = ERenderFragmentInfo::FromMeshFrag(*this);
      ELightBlock* pBlock = fragpasses::getDynamicLightBlock(info);
      if (pBlock && pBlock->m_iLightCount == -1) {
        pBlock->m_iLightCount = 0;
        pLights->GetStrongestLights(pOwner ? facts.pfnTransformedBox(pOwner) : GetTransformedBoundingBox(), 8, 2,
                                    pBlock, gGameApp->GetLightRigTarget(), pOwner);
      }
      if (pBlock && pBlock->m_iLightCount > 0) {
        if (m_pMesh && (m_pMesh->HasSkeleton() || m_pMesh->hasBlendShape())) {
          if (ELightBlock* pStatic = fragpasses::getStaticLightBlock(info)) pStatic->m_iLightCount = -1;
        } else {
          m_dwFlags |= kMESHFRAGFLAG_DYNAMIC_LIGHTS;
        }
      }
    }
    if (bDynamic && pLights && !(mat & 0x202) && m_fLODFactor > 0.5f && !IsAlphaBlended()) {
      const bool bPlayer = pOwner && pOwner == facts.pfnPlayer();
      const EArray<ELight*>& lights = pLights->GetProjectedLights();
      for (int i = 0; i < lights.Num(); ++i) {
        ELight* pLight = lights[i];
        if (!pLight || !(bPlayer || (mat & 0x8000000) || (pLight->GetFlags() & 0x80))) continue;
        if (pLight->IsVisible() && TWMath::TestIntersection(work, pLight->GetProjectedLightFrustum())) {
          m_dwFlags |= kMESHFRAGFLAG_PROJECTED_LIGHT;
          break;
        }
      }
    }
    if (!(FragFlags(*this) & 0x8) && !IsAdditiveBlended() && (!pOwner || facts.pfnCompoundAlpha(pOwner) >= 1.0f) &&
        hooks.m_bShadows && gGameApp) {
      for (EListIter<EMeshEntity*> it(gGameApp->m_lShadowCasters); it; ++it) {
        EMeshEntity* pCaster = *it;
        if (!pCaster || ((mat & 0x80000) && !pCaster->GetEntityFlag(ENTITY_LIT_SHADOW))) continue;
        ECamera* pShadowCamera = facts.pfnShadowCamera(pCaster);
        if (pShadowCamera && pShadowCamera->GetPrimaryTarget() != pOwner &&
            pShadowCamera->BoxVisible(work, m_pVisibilityCache, false)) {
          m_dwFlags |= kMESHFRAGFLAG_SHADOW_RECEIVER;
          break;
        }
      }
    }
  }
  // 10. Debug views.
  const unsigned hBase = GetBaseTexture();
  const EModelBlinnInfo* pBlinn = m ? m->m_pBlinnInfo : nullptr;
  if ((hooks.m_bDebugBaseTextures && hBase) || (hooks.m_bDebugLayerTextures && m && m->m_aTextures[1]) ||
      (hooks.m_bDebugBlendTextures && m && m->m_aTextures[2]) ||
      (hooks.m_bDebugBumpmaps && pBlinn && pBlinn->m_hTexture3) ||
      (hooks.m_bDebugGlossmaps && pBlinn && pBlinn->m_hTexture2) ||
      (hooks.m_bDebugDetailMaps && m && m->m_hDetailTexture) || (hooks.m_bDebugTextureDensity && hBase))
    m_dwFlags |= kMESHFRAGFLAG_DEBUG_TEXTURE;
  const bool bAnyMeshDebug = hooks.m_bDebugMeshFragments || hooks.m_bDebugMeshTextures || hooks.m_bDebugInfluences;
  if ((m_dwFlags & kMESHFRAGFLAG_DEBUG_TEXTURE) || (hooks.m_bDebugTristrips && (mat & kMATERIALFLAG_TRISTRIP)) ||
      (hooks.m_bDebugDecals && IsDecal()) || (hooks.m_bDebugDistantGeometry && IsDistantGeometry()) ||
      (hooks.m_bDebugBlendShapes && (FragFlags(*this) & 0x4)) ||
      (hooks.m_bDebugCameraAlpha && pOwner && pOwner->GetEntityFlag(ENTITY_CAMERA_ALPHA)) ||
      (hooks.m_bDebugDetailCulling && pOwner && pOwner->GetEntityFlag(ENTITY_DETAIL_CULLING)) ||
      (hooks.m_bDebugSwitchLight && (m_dwFlags & kMESHFRAGFLAG_SWITCH_LIGHT)) ||
      (hooks.m_bDebugDynamicLights && (m_dwFlags & (kMESHFRAGFLAG_DYNAMIC_LIGHTS | kMESHFRAGFLAG_PROJECTED_LIGHT))) ||
      (hooks.m_bDebugShadowReceivers && (m_dwFlags & kMESHFRAGFLAG_SHADOW_RECEIVER)) || bAnyMeshDebug)
    m_dwFlags |= kMESHFRAGFLAG_DEBUG_HIGHLIGHT;
  if (bAnyMeshDebug || hooks.m_bDebugNormals ||
      (hooks.m_bDebugBases && m && m->m_phVertBuffer[kMODELFRAGSTREAM_BASIS]))
    m_dwFlags |= kMESHFRAGFLAG_DEBUG_OPAQUE;
  // 11. The sky box is never lit.
  if (eDomain == kRENDERDOMAIN_SKYBOX && m) {
    m->m_dwMaterialFlags &= ~0x80000000u;
    m->m_dwMaterialFlags |= kMATERIALFLAG_INCANDESCENT;
  }
  // 12 to 14. The sort key.
  ECamera* pView = (eDomain == kRENDERDOMAIN_MAP && gGameApp && gGameApp->m_pMapCamera) ? gGameApp->m_pMapCamera
                                                                                        : pRenderCamera;
  const EVec3 eye = pView ? pView->GetPosition() : EVec3(0, 0, 0);
  if (m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) {
    m_fSortKey = (work.FurthestPosition(eye) - eye).Length();
    if (IsDistortion()) m_fSortKey -= 1.0f;
    if (m_dwFlags & kMESH_SORT_BIAS) m_fSortKey -= 100.0f;
    if (m_dwFlags & kMESH_SORT_BEGIN) m_fSortKey += 100000.0f;
    if (scene.m_pSortingSphereEntity && scene.m_pSortingSphereEntity != pOwner) {
      const ESphere& s = scene.m_SortingSphere;
      const bool bBoxIn = (work.GetCenter() - s.centre).Length() <= s.radius;
      const bool bEyeIn = (eye - s.centre).Length() <= s.radius;
      if (bBoxIn == bEyeIn) m_fSortKey -= 100000.0f;
    }
  } else {
    const unsigned second = m ? m->m_aTextures[1] : 0;
    m_fSortKey = (float)((hBase + second) & 0xFFF);
    if (IsDecal() && (IsAlphaBlended() || IsAdditiveBlended())) m_fSortKey += 100000.0f;
    if (m_dwFlags & kMESH_SORT_END) m_fSortKey += 100000.0f;
  }
  // 15.
  if (hooks.m_bHideMissingLightmaps && m && gGameApp && gGameApp->m_hErrorTexture) {
    for (uint32_t& h : m->m_ahLightmap)
      if (h == gGameApp->m_hErrorTexture) h = 0;
  }
  // 16. Camera alpha: the two visibility tests drawn with the fragment.
  if (m_dwFlags & kMESHFRAGFLAG_CAMERA_ALPHA_TEST) {
    ERenderer* r = g_pCurrentRenderer;
    const int index = EDataArray<EMeshFrag>::GetIndexFromDataId(m_id);
    const unsigned first = r ? r->GetVisibilityTestResult(32 + index) : 0xFFFFFFFFu;
    const unsigned second = r ? r->GetVisibilityTestResult(3308 + index) : 0xFFFFFFFFu;
    if (first != 0xFFFFFFFFu && second != 0xFFFFFFFFu) {
      const bool bSet = meshfragrules::CameraAlpha(first, second, (m_dwFlags & kMESHFRAGFLAG_CAMERA_ALPHA) != 0,
                                                   pOwner && facts.pfnCameraAlphaRadius(pOwner) != 0.0f);
      m_dwFlags = bSet ? (m_dwFlags | kMESHFRAGFLAG_CAMERA_ALPHA) : (m_dwFlags & ~(uint32_t)kMESHFRAGFLAG_CAMERA_ALPHA);
      m_dwFlags &= ~(uint32_t)kMESHFRAGFLAG_CAMERA_ALPHA_TEST;
    }
  } else if (!OwnerTransient(*this, ENTITYTRANSIENT_HIDES_PLAYER)) {
    m_dwFlags &= ~(uint32_t)kMESHFRAGFLAG_CAMERA_ALPHA;
  }
  // 17.
  if (m_pTexAnimInfo)
    if (EGameTextureManager* pTextures = GetGameTextureManager()) pTextures->AnimateTexture(m_pTexAnimInfo, false);
  // 18. Deformation on the processor.
  if (m && (m->m_dwFragFlags & 0x4) && m->m_pBlendInfo) {
    EModelBlendInfo* b = m->m_pBlendInfo;
    if ((b->m_byBlendFlags & 0x2) && m_pMesh && m_pMesh->hasBlendShape() && !hooks.m_bNoBlendShapes &&
        b->m_aDeltaCounts.Num() > 0)
      blendVerts();
  } else if (m && m->m_pAnimInfo && SoftwareSkinning()) {
    bindVertsToJoints(nullptr, nullptr);
  }
  m_dwFlags |= kMESHFRAGFLAG_VERTICES_READY;
  // 19. Debug drawing.
  if (hooks.m_bDebugMeshFragments && gDebugLine && m_pMesh) {
    const EVec4 colour = getDebugColor();
    gDebugLine->AddBox(GetUntransformedBoundingBox(), &m_pMesh->GetInclusiveTrans(), &colour, 0);
  }
  if (hooks.m_bShowNormals || hooks.m_bShowBases || hooks.m_bShowLightVectors) requestRenderMeshVectors();
  if (hooks.m_bDebugInfluences && HasActiveAnims() && gGameApp && m && m->m_pAnimInfo) {
    if (EFont* pFont = gGameApp->GetFont(3)) {
      char szCount[16];
      snprintf(szCount, sizeof(szCount), "%i", (int)m->m_pAnimInfo->m_nPaletteSize);
      pFont->Display3dText(work.GetCenter(), szCount, 0.3f, 5000.0f, EVec4(1, 1, 1, 1), EVec2(50, 4), 0);
    }
  }
  if (hooks.m_bDebugSoftwareVerts && HasActiveAnims() && pOwner && pOwner == facts.pfnPlayer())
    debugDrawSoftwareVerts();
  // 20. The frame's summary.
  if (gGameApp) {
    if (mat & kMATERIALFLAG_VOLUME_FOG) {
      gGameApp->m_VolumeFogBox = gGameApp->m_bVolumeFogValid ? gGameApp->m_VolumeFogBox.GetUnion(work) : work;
      gGameApp->m_bVolumeFogValid = true;
    }
    if (IsDistortion()) gGameApp->m_bDistortionFrame = true;
    if (GetGlareIntensity() != 0.0f) {
      gGameApp->m_bGlareMeshFrags = true;
      if (!gGameApp->m_pGlareSunFrag && (mat & 0x4000000) && eDomain == kRENDERDOMAIN_SKYBOX && !hooks.m_bNoAuroras)
        gGameApp->m_pGlareSunFrag = this;
    }
  }
  // 21.
  if (hooks.m_bDebugReflections && m && m->m_pBlinnInfo && m->m_phVertBuffer[kMODELFRAGSTREAM_BASIS]) {
    m->m_dwMaterialFlags |= kMATERIALFLAG_ENVMAP;
    m->m_dwMaterialFlags &= ~(uint32_t)kMATERIALFLAG_SPECULAR;
    m->m_pBlinnInfo->m_hReflectionMap = 0;
  }
  // 22. The switchable light is looked up once by name.
  if (m && m->GetSwitchLightName()) {
    if (ELightManager* pLights = gGameApp ? gGameApp->GetLightManager() : nullptr) {
      if (const unsigned id = pLights->FindLightByName(m->GetSwitchLightName(), nullptr))
        m->m_pSwitchLight = pLights->GetLight(id);
    }
    m->SetSwitchLightName(nullptr);
  }
}
