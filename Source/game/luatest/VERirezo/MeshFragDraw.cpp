// Drawing of mesh fragments: a domain's visible list pass by pass, the
// visible fragments of one entity, the full multi-pass draw of a fragment
// and its single-pass variants.
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "Game/ShaderConstants.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Primitives.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/LightTrail.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshFragFacts.h"
#include "VERirezo/MeshFragPasses.h"
#include "VERirezo/MeshFragRules.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/RenderPass.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TextureManager.h"

namespace meshfragdraw {

const EDebugHooks& Switches() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}

int RenderMode() { return gGameApp ? gGameApp->m_iRenderMode : 0; }
bool Glare() { return gGameApp && gGameApp->m_eGlareMode != -1; }
uint32_t Material(const EMeshFrag& f) { return f.m_pModelFrag ? f.m_pModelFrag->m_dwMaterialFlags : 0; }
EShaderPasses* Passes() { return gGameApp ? gGameApp->m_pShaderPasses : nullptr; }

// The renderer handle of a game texture id.
unsigned Handle(unsigned id, const ETexAnimInfo* pInfo = nullptr) {
  EGameTextureManager* p = GetGameTextureManager();
  return (p && id) ? p->GetTextureHandle(id, pInfo) : 0;
}

// Model-to-world and world-to-model of the fragment's mesh, turned to the
// camera for billboard materials, handed to the application.
void SetTransforms(EMeshFrag& f, bool bLightFromWorld) {
  ERenderContext& r = sg_Render;
  if (f.m_pMesh) {
    r.m_mModelToWorld = f.m_pMesh->GetInclusiveTrans();
    r.m_mWorldToModel = f.m_pMesh->GetInvInclusiveTrans();
  } else {
    r.m_mModelToWorld = cg_mIdentity;
    r.m_mWorldToModel = cg_mIdentity;
  }
  if (Material(f) & (kMATERIALFLAG_BILLBOARD | kMATERIALFLAG_FLATBILLBOARD))
    f.generateBillboardMatrices(r.m_mModelToWorld, r.m_mWorldToModel, f.GetTransformedBoundingBox().GetCenter());
  if (!gGameApp) return;
  if (gGameApp->m_pShaderDrawState) gGameApp->m_pShaderDrawState->m_iRenderDomain = gGameApp->m_eRenderDomain;
  gGameApp->SetModelToWorld(r.m_mModelToWorld);
  gGameApp->SetWorldToModel(r.m_mWorldToModel);
  gGameApp->SetLightToModel((bLightFromWorld || !f.m_pMesh) ? r.m_mWorldToModel : f.m_pMesh->GetLightToModelTrans());
}

// Joint table, geometry shader and texture-coordinate compression of a draw.
void CommonSetup(EMeshFrag& f) {
  meshfragexec::SetJointTable(f);
  meshfragexec::SetGeomShader(f.GetGeomShader(false));
  if (gGameApp) gGameApp->SetTexcoordCompressScale(f.m_pModelFrag ? f.m_pModelFrag->m_fTexcoordScale : 1.0f);
}

void SkinningConstants(EMeshFrag& f, bool bWhen) {
  EShaderPasses* p = Passes();
  if (p && bWhen && f.m_pModelFrag && f.m_pModelFrag->m_pAnimInfo)
    p->m_Constants.SetHWSkinningConstants(f.m_pModelFrag->m_pAnimInfo->m_nPaletteSize);
}

// The streams of a single-pass draw into phVB; returns their count.
int BasicStreams(EMeshFrag& f, bool bTexcoords, uint32_t* phVB) {
  EModelFrag* m = f.m_pModelFrag;
  int n = 0;
  phVB[n++] = f.m_hDynamicGeomStream ? f.m_hDynamicGeomStream : m->m_phVertBuffer[kMODELFRAGSTREAM_GEOM];
  // A fragment made without texture coordinates binds none.
  if (bTexcoords && m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD]) phVB[n++] = m->m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD];
  if (f.HasActiveAnims() && g_pCurrentRenderer && !g_pCurrentRenderer->m_bSoftwareSkinning)
    phVB[n++] = m->m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN];
  if (m->m_dwFragFlags & 0x1) f.setDynamicStreams(phVB, n);
  return n;
}

// The alpha test of a binary-alpha fragment in the first single-pass
// variants, and the texture its constant colour samples.
unsigned BinaryAlpha(EMeshFrag& f, ERenderState& rs) {
  if (!f.IsBinaryAlpha()) return 0;
  rs.m_bAlphaTestEnable = true;
  rs.m_eAlphaFunc = kCMP_GREATEREQUAL;
  rs.m_byAlphaRef = MeshFragSceneSettings().m_byBinaryAlphaThreshold;
  sg_Render.m_byBlendFlags |= kRENDERBLEND_BINARY_ALPHA;
  return Handle(f.GetBaseTexture(), f.GetTexAnimInfo());
}

void Apply(ERenderState& rs) {
  if (g_pCurrentRenderer) g_pCurrentRenderer->SetRenderState(&rs);
}

void Sync() {
  if (gGameApp) gGameApp->SyncShaderDrawState();
}

// Fragments of the entity's own mesh that are visible this frame, owned by
// the entity for the draw.
template <class F>
void ForVisible(EMeshEntity* pEntity, F draw) {
  EMesh* pMesh = pEntity ? pEntity->GetMesh() : nullptr;
  if (!pMesh) return;
  const int frame = gGameApp ? gGameApp->m_iFrameCount : 0;
  for (int i = 0; i < pMesh->GetNumMeshFrags(); ++i) {
    EMeshFrag* f = pMesh->GetMeshFrag(i);
    if (!f || f->m_iVisibleFrame != frame) continue;
    f->m_pOwnerEntity = pEntity;
    draw(*f);
  }
}

}  // namespace meshfragdraw

// ---------------------------------------------------------------------------
// Fragment operations.

float EMeshFrag::GetGlareIntensity() const {
  float g = m_pModelFrag ? m_pModelFrag->m_fGlareIntensity : 0.0f;
  if (m_pOwnerEntity) {
    const float e = MeshFragEntityFacts().pfnGlare(m_pOwnerEntity);
    if (e > g) g = e;
  }
  return g;
}

unsigned EMeshFrag::GetReflectionTexture() const {
  const EModelBlinnInfo* p = m_pModelFrag ? m_pModelFrag->m_pBlinnInfo : nullptr;
  if (p && p->m_hReflectionMap) return p->m_hReflectionMap;
  return MeshFragSceneSettings().m_hEnvironmentMap;
}

bool EMeshFrag::PassesLODTest() const {
  const int lod = m_pModelFrag ? m_pModelFrag->m_byLOD : 0;
  if (lod == 0 || !m_pMesh) return true;
  return lod == m_pMesh->GetLODForCamera(gGameApp ? gGameApp->GetRenderCamera() : nullptr);
}

void EMeshFrag::generateBillboardMatrices(EMat4&, EMat4&, const EVec3&) {}

bool EMeshFrag::runVisibilityTest(int) { return false; }

void EMeshFrag::RenderInlineDistortion(bool) {}

void EMeshFrag::renderApplyDebugModes() {
  ERenderContext& r = sg_Render;
  const EDebugHooks& hooks = meshfragdraw::Switches();
  if (!gGameApp) return;
  const unsigned hWhite = gGameApp->m_hWhiteTexture, hBlack = gGameApp->m_hBlackTexture;
  if ((m_dwFlags & kMESHFRAGFLAG_DEBUG_OPAQUE) || hooks.m_bDebugLights)
    for (unsigned& h : r.m_ahBaseTextures)
      if (h) h = hWhite;
  if (m_dwFlags & kMESHFRAGFLAG_DEBUG_TEXTURE) {
    r.m_aeRenderPasses[0] = kRENDERPASS_COLOR1TEX;
    r.m_aeRenderLights[0] = kRENDERLIGHT_NONE;
    if (hooks.m_bDebugLayerTextures && r.m_ahBaseTextures[1]) r.m_ahBaseTextures[0] = hBlack;
    if (hooks.m_bDebugBlendTextures && r.m_ahBaseTextures[2]) {
      r.m_ahBaseTextures[0] = hBlack;
      r.m_ahBaseTextures[1] = hWhite;
    }
    if (hooks.m_bDebugGlossmaps && r.m_hGlossMap) r.m_ahBaseTextures[0] = r.m_hGlossMap;
    if (hooks.m_bDebugDetailMaps && r.m_hDetailTexture) r.m_ahBaseTextures[0] = r.m_ahBaseTextures[1] = gGameApp->m_hGreyTexture;
    if (hooks.m_bDebugTextureDensity) r.m_ahBaseTextures[0] = gGameApp->m_hDebugTexture;
    if (!hooks.m_bDebugDetailMaps) r.m_hDetailTexture = 0;
  }
  if (m_dwFlags & kMESHFRAGFLAG_DEBUG_OPAQUE) {
    if (hooks.m_bDebugNormals) r.m_aeRenderPasses[0] = kRENDERPASS_DEBUGNORMALS;
    if (hooks.m_bDebugBases && m_pModelFrag && m_pModelFrag->m_phVertBuffer[kMODELFRAGSTREAM_BASIS])
      r.m_aeRenderPasses[0] = kRENDERPASS_DEBUGBASES;
  }
}

void EMeshFrag::Render() {
  using namespace meshfragdraw;
  ERenderContext& r = sg_Render;
  const EDebugHooks& hooks = Switches();
  ESceneSettings& scene = MeshFragSceneSettings();
  EModelFrag* m = m_pModelFrag;
  if (!m || !gGameApp) return;
  const int mode = RenderMode();
  const bool bGlare = Glare();
  const uint32_t mat = m->m_dwMaterialFlags;
  // 1 to 3.
  if (!PassesLODTest()) return;
  r.m_byFragmentFlags = bGlare ? kRENDERFRAG_GLARE : 0;
  if ((m_dwFlags & kMESHFRAGFLAG_REFLECTOR) && (mode == kRENDERMODE_MAIN || mode == kRENDERMODE_MONITORS)) return;
  if ((mat & kMATERIALFLAG_GLARE_ONLY) && !bGlare) return;
  if (mat & kMATERIALFLAG_VOLUME_FOG) return;
  // 4 and 5.
  ECamera* pCamera = gGameApp->GetRenderCamera();
  const int eDomain = gGameApp->m_eRenderDomain;
  r.m_WorldBox = GetTransformedBoundingBox();
  if (eDomain == kRENDERDOMAIN_SKYBOX && pCamera) {
    r.m_WorldBox.vMin += pCamera->GetPosition();
    r.m_WorldBox.vMax += pCamera->GetPosition();
  }
  if (gGameApp->m_bMonitorView && pCamera) {
    const bool bSeen = (eDomain == kRENDERDOMAIN_SKYBOX || (m->m_dwFragFlags & 0x10))
                           ? pCamera->BoxIntersectsFrustum(r.m_WorldBox, false)
                           : pCamera->BoxVisible(r.m_WorldBox, m_pVisibilityCache, false);
    if (!bSeen) return;
  }
  // 6.
  if (IsDistortion()) {
    RenderInlineDistortion(GetBaseTexture() != 0);
    return;
  }
  // 7.
  r.m_byFragmentFlags &= ~(uint8_t)kRENDERFRAG_CAMERA_ALPHA_TESTED;
  if (EMeshEntity* pOwner = m_pOwnerEntity) {
    if (renderInlineEntityEffect()) return;
    if (pOwner->GetTransientFlag(ENTITYTRANSIENT_HIDES_PLAYER) && !(m_dwFlags & kMESHFRAGFLAG_CAMERA_ALPHA_TEST) &&
        !bGlare && (mode == kRENDERMODE_MAIN || mode == kRENDERMODE_INLINE_TRANSLUCENCE) && runVisibilityTest(0))
      r.m_byFragmentFlags |= kRENDERFRAG_CAMERA_ALPHA_TESTED;
  }
  // 8.
  SetTransforms(*this, false);
  // 9. The flag sets and the base pass.
  const bool bInfrared = false;
  const bool bAdditive = IsAdditiveBlended() || bInfrared;
  uint8_t ff = r.m_byFragmentFlags;
  if (bInfrared) ff |= kRENDERFRAG_INFRARED;
  if (mode == kRENDERMODE_INLINE_TRANSLUCENCE) ff |= kRENDERFRAG_INLINE_TRANSLUCENCE;
  if (mat & 0x20000000u) ff |= kRENDERFRAG_NO_ALPHA_TEST;
  if (mat & 0x80000000u) ff |= kRENDERFRAG_MATERIAL_HIGH_BIT;
  if ((IsAlphaBlended() || (bGlare && (mat & 0x20))) && mode != kRENDERMODE_INLINE_TRANSLUCENCE)
    ff |= kRENDERFRAG_BLENDED;
  uint8_t bf = 0;
  if (bAdditive) bf |= kRENDERBLEND_ADDITIVE;
  if (bAdditive && mode == kRENDERMODE_INLINE_TRANSLUCENCE &&
      !(m_pOwnerEntity && m_pOwnerEntity->GetTransientFlag(ENTITYTRANSIENT_DREW_NONADDITIVE)))
    bf |= kRENDERBLEND_ADDITIVE_INLINE;
  if (IsBinaryAlpha()) bf |= kRENDERBLEND_BINARY_ALPHA;
  if ((ff & kRENDERFRAG_BLENDED) || IsBinaryAlpha()) bf |= kRENDERBLEND_TRANSPARENT;
  if (!(ff & kRENDERFRAG_BLENDED) && !bGlare && (!bAdditive || (bf & kRENDERBLEND_ADDITIVE_INLINE)))
    bf |= kRENDERBLEND_OPAQUE;
  if (hooks.m_bLights && !bInfrared && !(bGlare && (ff & kRENDERFRAG_MATERIAL_HIGH_BIT)) &&
      eDomain != kRENDERDOMAIN_MAP &&
      !(m_dwFlags & (kMESHFRAGFLAG_DEBUG_TEXTURE | kMESHFRAGFLAG_DEBUG_HIGHLIGHT | kMESHFRAGFLAG_DEBUG_OPAQUE)))
    bf |= kRENDERBLEND_LIT;
  if ((bf & kRENDERBLEND_LIT) && eDomain != kRENDERDOMAIN_SKYBOX && !(mat & (0x8000 | kMATERIALFLAG_INCANDESCENT)))
    bf |= kRENDERBLEND_LIGHTING_PASSES;
  if ((bf & kRENDERBLEND_LIGHTING_PASSES) && !bGlare && hooks.m_bPerPixelLighting && mode != kRENDERMODE_REFLECTION)
    bf |= kRENDERBLEND_PER_PIXEL;
  r.m_byFragmentFlags = ff;
  r.m_byBlendFlags = bf;
  r.m_byPassFlags = 0;
  r.Reset(kRENDERPASS_COLOR1TEX, (bf & kRENDERBLEND_LIGHTING_PASSES) ? kRENDERLIGHT_VERTEXLIGHT : kRENDERLIGHT_NONE);
  // 10. Vertex-colour lighting.
  if ((mat & (0x8000 | 0x40)) && !(mat & 0x100000) && !(m_dwFlags & 0xE0) && hooks.m_bLights &&
      hooks.m_bPrecomputedLighting) {
    r.m_aeRenderLights[0] = kRENDERLIGHT_VERTEXCOLOR;
    r.m_byFragmentFlags |= kRENDERFRAG_VERTEX_COLOR_LIGHT;
    r.m_byPassFlags |= kRENDERPASSFLAG_BASE_LIGHTING_SET;
  }
  // 11. Edge alpha.
  if (IsEdgeAlpha() || (r.m_byFragmentFlags & kRENDERFRAG_INFRARED))
    r.m_aeRenderPasses[0] = (mat & kMATERIALFLAG_EDGE_ALPHA) ? kRENDERPASS_EDGEALPHA : kRENDERPASS_INVEDGEALPHA;
  // 12. Textures.
  const bool bTextures = m->m_byNumTextures != 0 || m->m_aTextures[0] != 0;
  if (bTextures) {
    r.m_ahBaseTextures[0] = Handle(GetBaseTexture(), m_pTexAnimInfo);
    r.m_ahBaseTextures[1] = Handle(m->m_aTextures[1]);
    r.m_ahBaseTextures[2] = Handle(m->m_aTextures[2]);
    if (m->m_iMonitorChannel != -1)
      if (const unsigned h = gGameApp->GetMonitorChannelTexture(m->m_iMonitorChannel)) r.m_ahBaseTextures[0] = h;
  } else {
    r.m_ahBaseTextures[0] = gGameApp->m_hWhiteTexture;
    r.m_ahBaseTextures[1] = r.m_ahBaseTextures[2] = 0;
  }
  const EModelBlinnInfo* pBlinn = m->m_pBlinnInfo;
  r.m_hLightmap = hooks.m_bLightmaps ? m->m_ahLightmap[0] : 0;
  r.m_hNormalMap = (hooks.m_bBumpmaps && !bGlare && m_fLODFactor >= 0.6f && pBlinn) ? pBlinn->m_hTexture3 : 0;
  r.m_hGlossMap = (hooks.m_bGlossmaps && pBlinn) ? pBlinn->m_hTexture2 : 0;
  r.m_hDetailTexture = (!IsBinaryAlpha() && hooks.m_bDetailMaps) ? m->m_hDetailTexture : 0;
  r.m_hSecondLightmap = r.m_hLightmap ? m->m_ahLightmap[1] : 0;
  // 13 and 14.
  if ((m_dwFlags & (kMESHFRAGFLAG_DEBUG_TEXTURE | kMESHFRAGFLAG_DEBUG_OPAQUE)) || hooks.m_bDebugLights)
    renderApplyDebugModes();
  if (mode == kRENDERMODE_MONITORS || mode == kRENDERMODE_REFLECTION) {
    if (!testValidMonitorFragment()) return;
    r.m_hNormalMap = 0;
  }
  // 15.
  if (r.m_ahBaseTextures[1]) r.m_aeRenderPasses[0] = r.m_ahBaseTextures[2] ? kRENDERPASS_COLOR3TEX : kRENDERPASS_COLOR2TEX;
  r.m_iTextureCount = (r.m_ahBaseTextures[0] ? 1 : 0) + (r.m_ahBaseTextures[1] ? 1 : 0) + (r.m_ahBaseTextures[2] ? 1 : 0);
  if (r.m_iTextureCount) {
    const bool bFlat = (mat & (kMATERIALFLAG_GLARE_ONLY | kMATERIALFLAG_DISTORTION | kMATERIALFLAG_DECAL)) ||
                       IsDistantGeometry() || eDomain == kRENDERDOMAIN_SKYBOX;
    gGameApp->SetAnisotropyLevel(bFlat ? 0.0f : GetShaderLODFactor(0.9f, 0.8f));
  }
  // 16. Lighting and shadow passes.
  r.m_PerPixelLights.m_iLightCount = 0;
  r.m_SpecularLights.m_iLightCount = 0;
  r.m_iPerPixelCount = r.m_iSpecularPixelCount = 0;
  r.m_pStaticLightBlock = nullptr;
  r.m_byPassFlags &= ~(uint8_t)kRENDERPASSFLAG_LIGHTING_SEPARATE;
  const ERenderFragmentInfo info = ERenderFragmentInfo::FromMeshFrag(*this);
  if (r.m_byBlendFlags & kRENDERBLEND_LIT) fragpasses::renderAddLightingPasses(info);
  if (((m_dwFlags & kMESHFRAGFLAG_SHADOW_RECEIVER) || (r.m_byBlendFlags & kRENDERBLEND_LIT) || bGlare) &&
      mode != kRENDERMODE_REFLECTION) {
    // The frame's shadow casters with their shadow cameras and textures.
    static EShadowCasterInfo s_aCasters[32];
    int nCasters = 0;
    EMeshFragEntityFacts& facts = MeshFragEntityFacts();
    for (EListIter<EMeshEntity*> it(gGameApp->m_lShadowCasters); it && nCasters < 32; ++it) {
      EMeshEntity* pCaster = *it;
      if (!pCaster) continue;
      s_aCasters[nCasters++] = EShadowCasterInfo{pCaster, facts.pfnShadowCamera(pCaster), facts.pfnShadowTexture(pCaster)};
    }
    fragpasses::renderAddShadowPasses(info, s_aCasters, nCasters);
  }
  // 17. Render state.
  ERenderState& rs = r.m_RenderState;
  rs.Reset();
  if (mat & kMATERIALFLAG_DOUBLE_SIDED)
    rs.m_eCullMode = kCULL_NONE;
  else if (mode == kRENDERMODE_REFLECTION)
    rs.m_eCullMode = kCULL_BACK;
  if (mode == kRENDERMODE_STENCIL_RECEIVER) {
    rs.m_eStencilMode = kSTENCILMODE_EQUAL;
    rs.m_byStencilRef = 0;
  }
  if (const unsigned depth = gGameApp->GetStencilStackLevel()) {
    rs.m_eStencilMode = kSTENCILMODE_BITS_SET;
    rs.m_byStencilRef = (uint8_t)(1u << (depth - 1));
  }
  // 18. Fog.
  if ((scene.m_bDistanceFog || scene.m_bHeightFog) && eDomain == kRENDERDOMAIN_SCENE && !(m_dwFlags & 0xE0) &&
      !(r.m_byBlendFlags & kRENDERBLEND_ADDITIVE) && !bGlare && !gGameApp->m_bLoadingScreen) {
    bool bFar = true;
    if (!scene.m_bHeightFog && pCamera) {
      const EVec3 eye = pCamera->GetPosition();
      const EVec3 d = r.m_WorldBox.FurthestPosition(eye) - eye;
      bFar = d.Dot(d) >= scene.m_fDistanceFogStart * scene.m_fDistanceFogStart;
    }
    if (bFar) {
      if (r.m_iAdditiveCount == 0 || IsBinaryAlpha()) {
        rs.m_bFogEnable = true;
        const EVec3& fc = scene.m_vFogColor;
        auto byte = [](float v) { return (uint32_t)(v <= 0 ? 0 : v >= 1 ? 255 : (int)(v * 255.0f + 0.5f)); };
        rs.m_dwFogColor = (byte(fc.x) << 24) | (byte(fc.y) << 16) | (byte(fc.z) << 8) | 0xFFu;
      } else {
        fragpasses::addPostModulationPass(kRENDERPASS_LAYERED_FOG);
      }
    }
  }
  // 19.
  if (mode == kRENDERMODE_INLINE_TRANSLUCENCE &&
      ((mat & 0x20000000u) || (IsDecal() && (mat & kMATERIALFLAG_ALPHA))))
    fragpasses::addPostModulationPass(kRENDERPASS_DESTALPHAWHITE);
  // 20.
  if (r.m_hDetailTexture) {
    gGameApp->SetDetailTexture(r.m_hDetailTexture);
    gGameApp->SetDetailFactor(m->m_vDetailScale);
  } else {
    gGameApp->SetDetailTexture(0);
  }
  gGameApp->SetTexCoordTrans((m_dwFlags & kMESHFRAGFLAG_SCROLLING) ? GetTexCoordTrans() : EVec2(0, 0));
  if (gGameApp->m_pShaderDrawState) gGameApp->m_pShaderDrawState->m_vTexCoordTrans = gGameApp->GetTexCoordTrans();
  meshfragexec::SetJointTable(*this);
  gGameApp->SetTexcoordCompressScale(m->m_fTexcoordScale);
  // 21. Depth bias.
  if (hooks.m_bDebugDuplicates)
    rs.m_byZBias = (uint8_t)(m_id & 0xF);
  else if (IsDecal())
    rs.m_byZBias = 2;
  else if (bGlare && !(mat & kMATERIALFLAG_GLARE_ONLY))
    rs.m_byZBias = 1;
  // 22.
  renderExecutePasses();
  gGameApp->SetAnisotropyLevel(0.0f);
  if (hooks.m_bShowWireframe && mode == kRENDERMODE_MAIN && !bGlare) renderWireframe();
  // 23.
  if ((r.m_byFragmentFlags & kRENDERFRAG_CAMERA_ALPHA_TESTED) && runVisibilityTest(EMeshFragManager::kMAX_MESH_FRAGS))
    m_dwFlags |= kMESHFRAGFLAG_CAMERA_ALPHA_TEST;
}

void EMeshFrag::RenderBasic(bool bTexcoords, unsigned hIndexBuffer) {
  if (!m_pModelFrag || !PassesLODTest()) return;
  meshfragdraw::CommonSetup(*this);
  meshfragdraw::SkinningConstants(*this, HasActiveAnims());
  static uint32_t s_phBasicVB[8];
  const int n = meshfragdraw::BasicStreams(*this, bTexcoords, s_phBasicVB);
  const unsigned count = (hIndexBuffer && g_pCurrentRenderer) ? g_pCurrentRenderer->GetIndexBufferCount(hIndexBuffer) : 0;
  renderLowLevel(s_phBasicVB, n, kRENDERPASS_BLACK, hIndexBuffer, count);
}

namespace meshfragdraw {

// The common set-up of the single-pass variants after their render state:
// joint table, geometry shader, transforms; the shader follows.
void SinglePassSetup(EMeshFrag& f, ERenderState& rs) {
  CommonSetup(f);
  Apply(rs);
  SetTransforms(f, true);
  Sync();
}

void SinglePassDraw(EMeshFrag& f, bool bTexture, int ePass, bool bSkinning) {
  SkinningConstants(f, bSkinning);
  static uint32_t s_phSingleVB[8];
  const int n = BasicStreams(f, bTexture, s_phSingleVB);
  f.renderLowLevel(s_phSingleVB, n, ePass, 0, 0);
}

}  // namespace meshfragdraw

void EMeshFrag::RenderConstantColor(const EVec4& vColor, CONSTANTCOLORMODE eMode) {
  using namespace meshfragdraw;
  if (!m_pModelFrag || !PassesLODTest()) return;
  ERenderState& rs = sg_Render.m_RenderState;
  rs.Reset();
  rs.m_eBlendMode = kBLENDMODE_DECAL;
  rs.m_bZEnable = eMode != kCONSTANTCOLORMODE_NO_DEPTH;
  rs.m_bZWriteEnable = false;
  if (eMode == kCONSTANTCOLORMODE_DEPTH_BIAS) rs.m_byZBias = 1;
  rs.m_eCullMode = kCULL_NONE;
  const unsigned hTexture = BinaryAlpha(*this, rs);
  SinglePassSetup(*this, rs);
  if (EShaderPasses* p = Passes()) p->SetShaderConstantColor(vColor, hTexture, false);
  SinglePassDraw(*this, hTexture != 0, hTexture ? kRENDERPASS_COLOR1TEX : kRENDERPASS_BLACK, HasActiveAnims());
}

void EMeshFrag::RenderZBufferOnly() {
  using namespace meshfragdraw;
  if (!m_pModelFrag || !PassesLODTest()) return;
  ERenderState& rs = sg_Render.m_RenderState;
  rs.Reset();
  rs.m_eBlendMode = kBLENDMODE_NO_COLOR_WRITE;
  if (Material(*this) & kMATERIALFLAG_DOUBLE_SIDED) rs.m_eCullMode = kCULL_NONE;
  const unsigned hTexture = BinaryAlpha(*this, rs);
  SinglePassSetup(*this, rs);
  if (EShaderPasses* p = Passes()) p->SetShaderConstantColor(EVec4(1, 1, 1, 1), hTexture, false);
  SinglePassDraw(*this, hTexture != 0, hTexture ? kRENDERPASS_COLOR1TEX : kRENDERPASS_BLACK, HasActiveAnims());
}

void EMeshFrag::RenderStencilOnly(STENCILONLYMODE eMode) {
  using namespace meshfragdraw;
  if (!m_pModelFrag || !PassesLODTest()) return;
  ERenderState& rs = sg_Render.m_RenderState;
  rs.Reset();
  rs.m_eBlendMode = kBLENDMODE_NO_COLOR_WRITE;
  rs.m_bZEnable = eMode != kSTENCILONLYMODE_SILHOUETTE;
  rs.m_bZWriteEnable = eMode == kSTENCILONLYMODE_CLEAR;
  if (eMode == kSTENCILONLYMODE_CLEAR) rs.m_eZFunc = kCMP_ALWAYS;
  if ((Material(*this) & kMATERIALFLAG_DOUBLE_SIDED) || eMode == kSTENCILONLYMODE_SILHOUETTE || IsDistortion())
    rs.m_eCullMode = kCULL_NONE;
  rs.m_eStencilMode = eMode == kSTENCILONLYMODE_CLEAR ? kSTENCILMODE_CLEAR_BITS : kSTENCILMODE_WRITE;
  rs.m_byStencilRef = 1;
  const unsigned hTexture = BinaryAlpha(*this, rs);
  SinglePassSetup(*this, rs);
  if (gGameApp) {
    gGameApp->SetTexCoordTrans((m_dwFlags & kMESHFRAGFLAG_SCROLLING) ? GetTexCoordTrans() : EVec2(0, 0));
    if (gGameApp->m_pShaderDrawState) gGameApp->m_pShaderDrawState->m_vTexCoordTrans = gGameApp->GetTexCoordTrans();
  }
  if (EShaderPasses* p = Passes()) p->SetShaderConstantColor(EVec4(1, 1, 1, 1), hTexture, false);
  SinglePassDraw(*this, hTexture != 0, hTexture ? kRENDERPASS_COLOR1TEX : kRENDERPASS_BLACK, HasActiveAnims());
}

void EMeshFrag::RenderVolumeFog(VOLUMEFOGMODE eMode) {
  using namespace meshfragdraw;
  if (!m_pModelFrag || !PassesLODTest() || !gGameApp) return;
  ERenderState& rs = sg_Render.m_RenderState;
  rs.Reset();
  rs.m_eBlendMode = kBLENDMODE_DECAL;
  rs.m_byZBias = 1;
  if (eMode == kVOLUMEFOGMODE_MARK) {
    rs.m_bZEnable = rs.m_bZWriteEnable = false;
    rs.m_eStencilMode = kSTENCILMODE_WRITE;
    rs.m_byStencilRef = 1;
  } else if (eMode == kVOLUMEFOGMODE_BACK) {
    rs.m_eCullMode = kCULL_BACK;
  } else if (eMode == kVOLUMEFOGMODE_RECEIVERS) {
    rs.m_eStencilMode = kSTENCILMODE_NOTEQUAL;
    rs.m_byStencilRef = 0;
  }
  if (Material(*this) & kMATERIALFLAG_DOUBLE_SIDED) rs.m_eCullMode = kCULL_NONE;
  SinglePassSetup(*this, rs);
  const EBox3& box = gGameApp->m_VolumeFogBox;
  const EVec3 centre = box.GetCenter();
  if (EShaderPasses* p = Passes()) p->SetShaderVolumeFog(ESphere(centre, (box.vMax - centre).Length() + 50.0f));
  SinglePassDraw(*this, false, kRENDERPASS_VOLUME_FOG, m_pAnimInfo && m_pAnimInfo->m_ppJointTable);
}

void EMeshFrag::RenderDistortion(unsigned dwFlags, int eStencilMode, uint8_t byRef) {
  using namespace meshfragdraw;
  if (!m_pModelFrag || !PassesLODTest()) return;
  ERenderState& rs = sg_Render.m_RenderState;
  rs.Reset();
  const bool bTexture = (dwFlags & 4) != 0;
  rs.m_eBlendMode = bTexture ? kBLENDMODE_DECAL : kBLENDMODE_NO_COLOR_WRITE;
  rs.m_bZWriteEnable = false;
  rs.m_eZFunc = (dwFlags & 2) ? kCMP_GREATER : kCMP_LESSEQUAL;
  rs.m_eCullMode = (dwFlags & 1) ? kCULL_BACK : kCULL_FRONT;
  if (Material(*this) & kMATERIALFLAG_DOUBLE_SIDED) rs.m_eCullMode = kCULL_NONE;
  rs.m_eStencilMode = (STENCILMODE)eStencilMode;
  rs.m_byStencilRef = byRef;
  if (!bTexture) rs.m_bFastColorFill = true;
  SinglePassSetup(*this, rs);
  if (gGameApp) {
    gGameApp->SetTexCoordTrans((m_dwFlags & kMESHFRAGFLAG_SCROLLING) ? GetTexCoordTrans() : EVec2(0, 0));
    if (gGameApp->m_pShaderDrawState) gGameApp->m_pShaderDrawState->m_vTexCoordTrans = gGameApp->GetTexCoordTrans();
  }
  if (EShaderPasses* p = Passes()) {
    if (bTexture)
      p->SetShaderColor1Tex(EVec4(1, 1, 1, 1), Handle(GetBaseTexture(), m_pTexAnimInfo), 0, false, false, IsBinaryAlpha());
    else
      p->SetShaderConstantColor(EVec4(1, 1, 1, 1), 0, false);
  }
  SinglePassDraw(*this, bTexture, bTexture ? kRENDERPASS_COLOR1TEX : kRENDERPASS_BLACK, HasActiveAnims());
}

// ---------------------------------------------------------------------------
// The manager's passes.

void EMeshFragManager::DrawAllDefault(RENDERDOMAIN eDomain) {
  if (gGameApp) gGameApp->m_eRenderDomain = eDomain;
  for (int i = 0; i < m_piVisibleMeshFragCount[eDomain]; ++i) GetVisibleMeshFrag(eDomain, i)->Render();
}

int EMeshFragManager::DrawAllOpaque(RENDERDOMAIN eDomain) {
  if (gGameApp) gGameApp->m_eRenderDomain = eDomain;
  const int n = m_piVisibleMeshFragCount[eDomain];
  for (int i = 0; i < n; ++i) {
    EMeshFrag* pMeshFrag = GetVisibleMeshFrag(eDomain, i);
    EASSERT(pMeshFrag);
    if (pMeshFrag->m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) return i;
    pMeshFrag->Render();
  }
  return n;
}

namespace meshfragdraw {

// The three streams of the scene's transparent pass.
struct SceneTransparency {
  EMeshFragManager* pManager;
  RENDERDOMAIN eDomain;
  int& iIndex;
  EMeshFrag*& pFrag;
  int& iEmitter;
  EParticleAssembly*& pEmitter;
  int& iA;
  int& iB;
  EParticleManager* pParticles;
  ELightTrailManager* pTrails;
  int iTrail;

  uint32_t EmitterFlags() const { return (pEmitter && pEmitter->m_pEmitter) ? pEmitter->m_pEmitter->GetFlags() : 0; }
  // The emitter at the current position, noting A and B.
  void FetchEmitter() {
    pEmitter = nullptr;
    if (!pParticles || iEmitter >= pParticles->GetNumActiveEmitters()) return;
    pEmitter = pParticles->GetEmitterArray()->ElementGet(pParticles->GetSortedEmitters()[iEmitter]);
    meshfragrules::NoteEmitter(iEmitter, EmitterFlags(), iA, iB);
  }
  bool HasFrag() const { return pFrag != nullptr; }
  float FragKey() const { return pFrag->m_fSortKey; }
  void DrawFrag() {
    pFrag->Render();
    ++iIndex;
    pFrag = iIndex < pManager->GetVisibleCount(eDomain) ? pManager->GetVisibleMeshFrag(eDomain, iIndex) : nullptr;
  }
  bool HasEmitter() const { return pEmitter != nullptr; }
  float EmitterKey() const { return pEmitter->m_fSortDistance; }
  void DrawEmitter() {
    if (meshfragrules::EmitterDrawnInline(EmitterFlags())) pParticles->DrawEmitter(iEmitter);
    ++iEmitter;
    FetchEmitter();
  }
  bool HasTrail() const { return pTrails && pTrails->GetTrail(iTrail); }
  float TrailKey() const { return pTrails->GetTrail(iTrail)->m_fSortDistance; }
  void DrawTrail() {
    pTrails->DrawTrail(pTrails->GetTrail(iTrail));
    ++iTrail;
  }
};

}  // namespace meshfragdraw

void EMeshFragManager::DrawAllTransparent(RENDERDOMAIN eDomain, int& iIndex, EMeshFrag*& pFrag, int& iEmitter,
                                          EParticleAssembly*& pEmitter, int& iEmitterA, int& iEmitterB) {
  if (gGameApp) gGameApp->m_eRenderDomain = eDomain;
  meshfragdraw::SceneTransparency s{this,     eDomain,   iIndex,    pFrag,
                                    iEmitter, pEmitter,  iEmitterA, iEmitterB,
                                    gGameApp ? gGameApp->GetParticleManager() : nullptr,
                                    gGameApp ? gGameApp->m_pLightTrailManager : nullptr,
                                    0};
  s.FetchEmitter();
  meshfragrules::Interleave(s);
}

void EMeshFragManager::DrawAllZBufferOnly(RENDERDOMAIN eDomain) {
  if (gGameApp) gGameApp->m_eRenderDomain = eDomain;
  for (int i = 0; i < m_piVisibleMeshFragCount[eDomain]; ++i) {
    EMeshFrag* f = GetVisibleMeshFrag(eDomain, i);
    if (f->m_dwFlags & kMESHFRAGFLAG_TRANSPARENT) break;
    f->RenderZBufferOnly();
  }
}

void EMeshFragManager::DrawAllGlare(RENDERDOMAIN eDomain, GLAREMODE eMode) {
  if (!gGameApp) return;
  gGameApp->m_eRenderDomain = eDomain;
  gGameApp->m_eGlareMode = eMode;
  for (int i = 0; i < m_piVisibleMeshFragCount[eDomain]; ++i) {
    EMeshFrag* f = GetVisibleMeshFrag(eDomain, i);
    if (f->GetGlareIntensity() != 0.0f && f != gGameApp->m_pGlareSunFrag && !(f->m_dwFlags & kMESHFRAGFLAG_DEBUG_TEXTURE))
      f->Render();
  }
  gGameApp->m_eGlareMode = kGLAREMODE_NONE;
}

void EMeshFragManager::DrawAllVolumeFog(RENDERDOMAIN eDomain, VOLUMEFOGMODE eMode) {
  if (!gGameApp) return;
  gGameApp->m_eRenderDomain = eDomain;
  for (int i = 0; i < m_piVisibleMeshFragCount[eDomain]; ++i) {
    EMeshFrag* f = GetVisibleMeshFrag(eDomain, i);
    const bool bFog = (meshfragdraw::Material(*f) & kMATERIALFLAG_VOLUME_FOG) != 0;
    bool bDraw = true;
    if (eMode == kVOLUMEFOGMODE_MARK || eMode == kVOLUMEFOGMODE_BACK) bDraw = bFog;
    if (eMode == kVOLUMEFOGMODE_RECEIVERS) {
      const EBox3 b = f->GetTransformedBoundingBox();
      const EBox3& v = gGameApp->m_VolumeFogBox;
      const bool bMeets = b.vMin.x <= v.vMax.x && b.vMax.x >= v.vMin.x && b.vMin.y <= v.vMax.y &&
                          b.vMax.y >= v.vMin.y && b.vMin.z <= v.vMax.z && b.vMax.z >= v.vMin.z;
      bDraw = !bFog && !f->IsAlphaBlended() && bMeets;
    }
    if (bDraw) f->RenderVolumeFog(eMode);
  }
}

void EMeshFragManager::DrawAllDistortion(RENDERDOMAIN eDomain) {
  if (gGameApp) gGameApp->m_eRenderDomain = eDomain;
  const int n = m_piVisibleMeshFragCount[eDomain];
  for (int i = 0; i < n; ++i) {
    EMeshFrag* f = GetVisibleMeshFrag(eDomain, i);
    if (!f->IsDistortion()) continue;
    f->RenderDistortion(1, kSTENCILMODE_SET_BITS, 1);
    f->RenderDistortion(2, kSTENCILMODE_SET_BITS, 1);
  }
  for (int i = 0; i < n; ++i) {
    EMeshFrag* f = GetVisibleMeshFrag(eDomain, i);
    if (!f->IsDistortion()) continue;
    f->RenderDistortion(0, kSTENCILMODE_SET_BITS, 2);
    f->RenderDistortion(3, kSTENCILMODE_SET_BITS, 2);
  }
}

void EMeshFragManager::DrawMeshEntity(EMeshEntity* pEntity) {
  meshfragdraw::ForVisible(pEntity, [](EMeshFrag& f) { f.Render(); });
}

void EMeshFragManager::DrawMeshEntityBasic(EMeshEntity* pEntity) {
  meshfragdraw::ForVisible(pEntity, [](EMeshFrag& f) { f.RenderBasic(false, 0); });
}

void EMeshFragManager::DrawMeshEntityConstantColor(EMeshEntity* pEntity, const EVec4& vColor, CONSTANTCOLORMODE eMode,
                                                   bool bSkipAlpha) {
  meshfragdraw::ForVisible(pEntity, [&](EMeshFrag& f) {
    if (!(bSkipAlpha && f.HasAlphaFlags())) f.RenderConstantColor(vColor, eMode);
  });
}

void EMeshFragManager::DrawMeshEntityZBufferOnly(EMeshEntity* pEntity) {
  meshfragdraw::ForVisible(pEntity, [](EMeshFrag& f) { f.RenderZBufferOnly(); });
}

void EMeshFragManager::DrawMeshEntityStencilOnly(EMeshEntity* pEntity, STENCILONLYMODE eMode, bool bSkipAlpha) {
  meshfragdraw::ForVisible(pEntity, [&](EMeshFrag& f) {
    if (!(bSkipAlpha && f.HasAlphaFlags())) f.RenderStencilOnly(eMode);
  });
}

void EMeshFragManager::DrawMeshEntityDistortion(EMeshEntity* pEntity, unsigned dwFlags, int eStencilMode,
                                                uint8_t byRef) {
  meshfragdraw::ForVisible(pEntity, [&](EMeshFrag& f) { f.RenderDistortion(dwFlags, eStencilMode, byRef); });
}

void EMeshFragManager::DrawMeshEntityCoyote(EMeshEntity* pEntity) {
  meshfragdraw::ForVisible(pEntity, [](EMeshFrag& f) {
    if (!f.IsAdditiveBlended()) f.RenderCoyote();
  });
}
