#include "VERirezo/RenderPass.h"

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/ShaderConstants.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"

ERenderContext sg_Render;

RENDERPASS RenderLightToRenderPass(RENDERLIGHT eLight) {
  switch (eLight) {
    case kRENDERLIGHT_VERTEXLIGHT: return kRENDERPASS_VERTEXLIGHT;
    case kRENDERLIGHT_VERTEXCOLOR: return kRENDERPASS_VERTEXCOLOR;
    default: return kRENDERPASS_LIGHTMAP;
  }
}

ERenderContext::ERenderContext()
    : m_WorldBox(EVec3(0, 0, 0), EVec3(0, 0, 0)),
      m_ahBaseTextures{0, 0, 0},
      m_hLightmap(0),
      m_hNormalMap(0),
      m_hGlossMap(0),
      m_hDetailTexture(0),
      m_hSecondLightmap(0),
      m_iTextureCount(0),
      m_pStaticLightBlock(nullptr),
      m_pDynamicLightBlock(nullptr),
      m_iPerPixelCount(0),
      m_iSpecularPixelCount(0),
      m_iRenderPassCount(0),
      m_iAdditiveCount(0),
      m_byFragmentFlags(0),
      m_byBlendFlags(0),
      m_byPassFlags(0),
      m_abStreamEnables{false, false, false, false, false} {
  for (int i = 0; i < kMAX_RENDER_PASSES; ++i) {
    m_aeRenderPasses[i] = kRENDERPASS_COLOR1TEX;
    m_aeRenderLights[i] = kRENDERLIGHT_NONE;
    m_apCasters[i] = nullptr;
  }
}

void ERenderContext::Reset(RENDERPASS eBase, RENDERLIGHT eLight) {
  m_pStaticLightBlock = nullptr;
  m_pDynamicLightBlock = nullptr;
  m_PerPixelLights.m_iLightCount = 0;
  m_SpecularLights.m_iLightCount = 0;
  m_iPerPixelCount = 0;
  m_iSpecularPixelCount = 0;
  m_byPassFlags &= ~(uint8_t)kRENDERPASSFLAG_LIGHTING_SEPARATE;
  m_aeRenderPasses[0] = eBase;
  m_aeRenderLights[0] = eLight;
  m_apCasters[0] = nullptr;
  m_iRenderPassCount = 1;
  m_iAdditiveCount = RenderPassAdditiveLight(eBase) ? 1 : 0;
}

ERenderFragmentInfo ERenderFragmentInfo::FromMeshFrag(EMeshFrag& frag) {
  ERenderFragmentInfo info;
  info.m_dwFlags = frag.m_dwFlags;
  info.m_fLODFactor = frag.m_fLODFactor;
  info.m_fSwitchLODFactor = frag.GetShaderLODFactor(0.6f, 0.5f);
  info.m_pOwnerEntity = frag.m_pOwnerEntity;
  if (EModelFrag* pModelFrag = frag.m_pModelFrag) {
    info.m_dwMaterialFlags = pModelFrag->m_dwMaterialFlags;
    info.m_dwModelFragFlags = pModelFrag->m_dwFragFlags;
    info.m_pSwitchLight = pModelFrag->m_pSwitchLight;
    if (pModelFrag->m_pBlinnInfo) info.m_vReflectionColor = pModelFrag->m_pBlinnInfo->m_vColor;
  }
  if (frag.m_pOwnerEntity && frag.m_pOwnerEntity->GetMesh())
    info.m_OwnerBox = frag.m_pOwnerEntity->GetMesh()->GetTransformedBoundingBox();
  info.m_ppStaticLightBlock = &frag.m_pStaticLightBlock;
  info.m_ppDynamicLightBlock = &frag.m_pDynamicLightBlock;
  info.m_pVisibilityCache = frag.m_pVisibilityCache;
  return info;
}

namespace fragpasses {

// The switches of the application, or their defaults without one.
const EDebugHooks& Switches() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}

int RenderMode() { return gGameApp ? gGameApp->m_iRenderMode : 0; }

// Room for one more pass; a full list is a broken limit and takes nothing.
bool HasRoom() {
  EASSERT(sg_Render.m_iRenderPassCount < kMAX_RENDER_PASSES);
  return sg_Render.m_iRenderPassCount < kMAX_RENDER_PASSES;
}

void CountPass(RENDERPASS p) {
  ++sg_Render.m_iRenderPassCount;
  if (RenderPassAdditiveLight(p)) ++sg_Render.m_iAdditiveCount;
}

void addPreModulationPass(RENDERPASS p) {
  if (!HasRoom()) return;
  ERenderContext& r = sg_Render;
  const int last = r.m_iRenderPassCount - 1;
  r.m_aeRenderPasses[last + 1] = r.m_aeRenderPasses[last];
  r.m_aeRenderLights[last + 1] = kRENDERLIGHT_NONE;
  r.m_apCasters[last + 1] = r.m_apCasters[last];
  r.m_aeRenderPasses[last] = p;
  r.m_apCasters[last] = nullptr;
  CountPass(p);
}

void addPostModulationPass(RENDERPASS p) {
  if (!HasRoom()) return;
  ERenderContext& r = sg_Render;
  r.m_aeRenderPasses[r.m_iRenderPassCount] = p;
  r.m_aeRenderLights[r.m_iRenderPassCount] = kRENDERLIGHT_NONE;
  r.m_apCasters[r.m_iRenderPassCount] = nullptr;
  CountPass(p);
}

void separateGlobalLighting() {
  if (!HasRoom()) return;
  ERenderContext& r = sg_Render;
  const RENDERPASS lighting = RenderLightToRenderPass(r.m_aeRenderLights[0]);
  r.m_aeRenderPasses[1] = r.m_aeRenderPasses[0];
  r.m_aeRenderLights[1] = kRENDERLIGHT_NONE;
  r.m_apCasters[1] = nullptr;
  r.m_aeRenderPasses[0] = lighting;
  r.m_aeRenderLights[0] = kRENDERLIGHT_NONE;
  CountPass(lighting);
}

ELightBlock* MakeBlock(ELightBlock** ppHolder) {
  if (!ppHolder) return nullptr;
  if (!*ppHolder) {
    *ppHolder = new ELightBlock();
    (*ppHolder)->m_iLightCount = -1;
  }
  return *ppHolder;
}

ELightBlock* getStaticLightBlock(const ERenderFragmentInfo& info) { return MakeBlock(info.m_ppStaticLightBlock); }
ELightBlock* getDynamicLightBlock(const ERenderFragmentInfo& info) { return MakeBlock(info.m_ppDynamicLightBlock); }

EMeshEntity* getLightRigTarget(const ERenderFragmentInfo& info) {
  EMeshEntity* pOwner = info.m_pOwnerEntity;
  if (!pOwner) return nullptr;
  if (pOwner->GetEntityFlag(ENTITY_LIGHT_RIG)) return pOwner;
  if (gGameApp && gGameApp->m_pInvItemsDomain && pOwner->GetOwnerDomain() == gGameApp->m_pInvItemsDomain) return pOwner;
  return nullptr;
}

// Takes up to two visible projected lights of the mode group (mode 0 before
// the base, the others after it) whose frustum meets the fragment's box.
template <class OnTaken>
void WalkProjectedLights(bool bModeZero, OnTaken onTaken) {
  ELightManager* pManager = GetAppLightManager();
  if (!pManager) return;
  const EArray<ELight*>& lights = pManager->GetProjectedLights();
  int taken = 0;
  for (int i = 0; i < lights.Num() && taken < 2; ++i) {
    ELight* pLight = lights[i];
    if (!pLight->IsVisible() || !pLight->m_pProjectedLight) continue;
    if ((pLight->m_pProjectedLight->m_eProjectionMode == 0) != bModeZero) continue;
    if (!TWMath::TestIntersection(sg_Render.m_WorldBox, pLight->GetProjectedLightFrustum())) continue;
    sg_Render.m_PerPixelLights.AddLight(pLight, 1);
    onTaken();
    ++taken;
  }
}

void renderAddLightingPasses(const ERenderFragmentInfo& info) {
  ERenderContext& r = sg_Render;
  const EDebugHooks& hooks = Switches();
  const int mode = RenderMode();
  const float L = info.m_fLODFactor;
  const uint32_t mat = info.m_dwMaterialFlags;
  const bool transparent = (r.m_byBlendFlags & kRENDERBLEND_TRANSPARENT) != 0;
  const bool glossy = (mat & kMATERIALFLAG_SPECULAR) && L > 0.8f && hooks.m_bSpecularLight && mode != 5;
  const bool reflective = (mat & kMATERIALFLAG_ENVMAP) && hooks.m_bReflections && (L > 0.5f || info.m_vReflectionColor.x > 0.4f);
  ELightManager* pManager = GetAppLightManager();

  // Lightmaps.
  if ((r.m_byBlendFlags & kRENDERBLEND_LIGHTING_PASSES) && r.m_hLightmap &&
      r.m_aeRenderLights[0] == kRENDERLIGHT_VERTEXLIGHT && hooks.m_bPrecomputedLighting) {
    if (!transparent) {
      bool interpolate = false;
      if (info.m_dwFlags & kMESHFRAGFLAG_SWITCH_LIGHT) {
        const float s = (info.m_pSwitchLight ? info.m_pSwitchLight->m_fIntensity : 0.0f) * info.m_fSwitchLODFactor;
        if (s == 0) {
          r.m_hLightmap = info.m_hOffLightmap;
          r.m_hSecondLightmap = info.m_hOffSecondLightmap;
        } else if (s > 0 && s < 1) {
          interpolate = true;
        }
      }
      RENDERPASS pass = kRENDERPASS_COLOR1TEX;
      bool bAdd = true;
      if (mat & kMATERIALFLAG_LIGHTMAP_BUMP) pass = kRENDERPASS_LIGHTMAPBUMP;
      else if (interpolate) pass = kRENDERPASS_LIGHTMAPINTERP;
      else if (r.m_iTextureCount == 3 && r.m_hDetailTexture) pass = kRENDERPASS_LIGHTMAP;
      else bAdd = false;
      if (bAdd) {
        addPreModulationPass(pass);
        r.m_aeRenderLights[0] = kRENDERLIGHT_NONE;
        r.m_byPassFlags |= kRENDERPASSFLAG_LIGHTING_SEPARATE;
      }
    }
    if (!(r.m_byPassFlags & kRENDERPASSFLAG_LIGHTING_SEPARATE)) r.m_aeRenderLights[0] = kRENDERLIGHT_LIGHTMAP;
    r.m_byPassFlags |= kRENDERPASSFLAG_BASE_LIGHTING_SET;
  }

  EMeshEntity* pRigTarget = getLightRigTarget(info);
  if (gGameApp) {
    gGameApp->SetDirectionalLightTarget(r.m_WorldBox.GetCenter());
    gGameApp->SetLightRigTarget(pRigTarget);
  }

  // Vertex lighting.
  if (r.m_aeRenderLights[0] == kRENDERLIGHT_VERTEXLIGHT) {
    r.m_pStaticLightBlock = getStaticLightBlock(info);
    ELightBlock* pBlock = r.m_pStaticLightBlock;
    if (pBlock && pManager && (pBlock->m_iLightCount == -1 || !hooks.m_bLightCaching || hooks.m_bDebugLightBlocks)) {
      const EBox3& box = info.m_pOwnerEntity ? info.m_OwnerBox : r.m_WorldBox;
      pManager->GetStrongestLights(box, 8, (info.m_dwFlags & kMESHFRAGFLAG_DYNAMIC_LIGHTS) ? 1 : 3, pBlock,
                                   pRigTarget, info.m_pOwnerEntity);
      ELightManager::SortLightsByType(pBlock);
      if (info.m_pOwnerEntity && info.m_pOwnerIrradiance) {
        const EVec3 e = pBlock->GetCombinedIrradiance() * 0.75f;
        *info.m_pOwnerIrradiance = EVec3(PIN(e.x, 0.5f, 1.0f), PIN(e.y, 0.5f, 1.0f), PIN(e.z, 0.5f, 1.0f));
      }
    }
    EVec3 ambient(0, 0, 0);
    if (hooks.m_bAmbientLight) {
      if (info.m_pOwnerEntity) ambient = info.m_vOwnerAmbient;
      if (ambient == EVec3(0, 0, 0) && (info.m_dwModelFragFlags & kMODELFRAGFLAG_SKINNED_DATA) && !pRigTarget)
        ambient = EVec3(0.12f, 0.12f, 0.12f);
    }
    if (gGameApp && gGameApp->m_pSceneShading) gGameApp->m_pSceneShading->m_vAmbientColor = ambient;
  }

  // Per-pixel lights.
  if ((r.m_byBlendFlags & kRENDERBLEND_PER_PIXEL) && L > 0.5f) {
    if ((mat & kMATERIALFLAG_PER_PIXEL_LIGHTING) && r.m_pStaticLightBlock &&
        !(r.m_byPassFlags & kRENDERPASSFLAG_BASE_LIGHTING_SET) && !transparent) {
      ELightBlock* pBlock = r.m_pStaticLightBlock;
      for (int i = 0; i < pBlock->m_iLightCount && r.m_iPerPixelCount <= 2; ++i) {
        r.m_PerPixelLights.AddLightFromBlock(pBlock, i);
        ++r.m_iPerPixelCount;
        addPreModulationPass(kRENDERPASS_DIFFUSELIGHTPIXEL);
      }
    }
    if ((info.m_dwFlags & kMESHFRAGFLAG_PROJECTED_LIGHT) && !transparent) {
      WalkProjectedLights(true, [&]() {
        if (r.m_iRenderPassCount == 1 && r.m_aeRenderLights[0] != kRENDERLIGHT_NONE) {
          separateGlobalLighting();
          r.m_byPassFlags |= kRENDERPASSFLAG_LIGHTING_SEPARATE;
        }
        addPreModulationPass(kRENDERPASS_PROJECTEDTEXTURE);
      });
    }
    if (info.m_dwFlags & kMESHFRAGFLAG_DYNAMIC_LIGHTS) {
      r.m_pDynamicLightBlock = getDynamicLightBlock(info);
      ELightBlock* pBlock = r.m_pDynamicLightBlock;
      int taken = 0;
      for (int i = 0; pBlock && i < pBlock->m_iLightCount && taken < 2; ++i) {
        if (r.m_byBlendFlags & kRENDERBLEND_BINARY_ALPHA) continue;
        r.m_PerPixelLights.AddLight(pBlock->GetLight(i), 1);
        if (!transparent && !(info.m_dwModelFragFlags & kMODELFRAGFLAG_SNOW_DETAIL)) {
          addPreModulationPass(kRENDERPASS_ATTENLIGHT);
          r.m_byPassFlags |= kRENDERPASSFLAG_LIGHTING_SEPARATE;
        } else {
          addPostModulationPass(kRENDERPASS_ATTENLIGHT);
        }
        ++taken;
      }
    }
  }

  if ((mat & kMATERIALFLAG_BLACK_BASE) && r.m_iRenderPassCount == 1 && hooks.m_bLights &&
      !(info.m_dwFlags & kMESHFRAGFLAG_DEBUG_TEXTURE)) {
    r.m_aeRenderPasses[0] = kRENDERPASS_BLACK;
    r.m_aeRenderLights[0] = kRENDERLIGHT_NONE;
  }
  if ((r.m_byFragmentFlags & kRENDERFRAG_MATERIAL_HIGH_BIT) && hooks.m_bDiffuseLight && !hooks.m_bDebugLights)
    addPostModulationPass(kRENDERPASS_WHITE);
  if (reflective) {
    if (r.m_hGlossMap) addPostModulationPass(kRENDERPASS_DESTALPHAGLOSS);
    addPostModulationPass(kRENDERPASS_REFLECTCUBE);
  }

  // Specular lights.
  if (glossy && r.m_aeRenderLights[0] == kRENDERLIGHT_VERTEXLIGHT) {
    r.m_pDynamicLightBlock = getDynamicLightBlock(info);
    ELightBlock& spec = r.m_SpecularLights;
    if (const ELightBlock* pStatic = r.m_pStaticLightBlock) {
      for (int i = 0; i < pStatic->m_iLightCount; ++i) {
        const ELight* pLight = pStatic->m_apLights[i];
        if (pLight->IsLightRig() || pLight->m_eType == kLIGHTTYPE_SPOT || spec.m_iLightCount > 4) continue;
        spec.AddLightFromBlock(pStatic, i);
      }
    }
    if (const ELightBlock* pDynamic = r.m_pDynamicLightBlock) {
      for (int i = 0; i < pDynamic->m_iLightCount && spec.m_iLightCount <= 4; ++i) spec.AddLightFromBlock(pDynamic, i);
    }
  }
  if (glossy) {
    if (r.m_hLightmap) {
      addPostModulationPass(kRENDERPASS_SPECULARLIGHTMAP);
    } else if (mat & kMATERIALFLAG_SPECULAR_VERTEX_COLOR) {
      addPostModulationPass(kRENDERPASS_SPECULARVERTEXCOLOR);
    } else if (r.m_SpecularLights.m_iLightCount > 0) {
      if ((mat & kMATERIALFLAG_PER_PIXEL_LIGHTING) && (r.m_byBlendFlags & kRENDERBLEND_PER_PIXEL)) {
        while (r.m_iSpecularPixelCount < MIN(r.m_SpecularLights.m_iLightCount, 2)) {
          addPostModulationPass(kRENDERPASS_SPECULARLIGHTPIXEL);
          ++r.m_iSpecularPixelCount;
        }
      }
      if (r.m_iSpecularPixelCount < r.m_SpecularLights.m_iLightCount) addPostModulationPass(kRENDERPASS_SPECULARLIGHTVL);
    }
  }

  // Projected lights after the modulation.
  if ((info.m_dwFlags & kMESHFRAGFLAG_PROJECTED_LIGHT) && (r.m_byBlendFlags & kRENDERBLEND_PER_PIXEL) && L > 0.5f)
    WalkProjectedLights(false, []() { addPostModulationPass(kRENDERPASS_PROJECTEDTEXTURE); });
}

void renderAddShadowPasses(const ERenderFragmentInfo& info, const EShadowCasterInfo* pCasters, int nCasters) {
  ERenderContext& r = sg_Render;
  int added = 0;
  for (int i = 0; i < nCasters && added < kMAX_SHADOW_PASSES; ++i) {
    // A full list takes no more shadows.
    if (r.m_iRenderPassCount >= kMAX_RENDER_PASSES) break;
    const EShadowCasterInfo& c = pCasters[i];
    if (!c.m_pShadowCamera || !c.m_hShadowTexture) continue;
    if (c.m_pShadowCamera->GetPrimaryTarget() == info.m_pOwnerEntity) continue;
    if (!c.m_pShadowCamera->BoxVisible(r.m_WorldBox, info.m_pVisibilityCache, false)) continue;
    r.m_apCasters[r.m_iRenderPassCount] = c.m_pEntity;
    addPostModulationPass(kRENDERPASS_PROJECTEDSHADOW);
    r.m_apCasters[r.m_iRenderPassCount - 1] = c.m_pEntity;
    ++added;
  }
}

}  // namespace fragpasses
