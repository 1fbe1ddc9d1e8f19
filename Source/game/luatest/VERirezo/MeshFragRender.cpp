// Execution of a fragment's pass list: per pass the render state, the
// constant colour, the shader setter with its textures and lights, the
// streams and the draw; the low-level draw shared by every variant, the wire
// frame and the debug colours.
#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "Game/ShaderConstants.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Rect.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshFragFacts.h"
#include "VERirezo/MeshFragPasses.h"
#include "VERirezo/MeshFragRules.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/RenderPass.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TextureManager.h"

EMeshFragTriangleStats EMeshFrag::sm_TriangleStats;

namespace meshfragexec {

const EDebugHooks& Switches() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}

int RenderMode() { return gGameApp ? gGameApp->m_iRenderMode : 0; }

uint32_t Material(const EMeshFrag& f) { return f.m_pModelFrag ? f.m_pModelFrag->m_dwMaterialFlags : 0; }

EShaderPasses* Passes() { return gGameApp ? gGameApp->m_pShaderPasses : nullptr; }

void SetGeomShader(VSGEOM eGeom) {
  if (!gGameApp) return;
  gGameApp->SetGeomShader(eGeom);
  if (gGameApp->m_pShaderDrawState) gGameApp->m_pShaderDrawState->m_iGeomShader = eGeom;
}

// The skinning matrices of the joint table being drawn.
const EMat4* s_apJointSkinning[kMAX_SKINNING_JOINTS];

void SetJointTable(EMeshFrag& frag) {
  if (!gGameApp) return;
  EMeshAnimInfo* p = frag.m_pAnimInfo;
  gGameApp->SetJointTable(p ? p->m_ppJointTable : nullptr);
  EShaderDrawState* s = gGameApp->m_pShaderDrawState;
  if (!s) return;
  const int n = (p && p->m_ppJointTable) ? (p->m_nJoints < (int)kMAX_SKINNING_JOINTS ? (int)p->m_nJoints : (int)kMAX_SKINNING_JOINTS) : 0;
  for (int i = 0; i < n; ++i) s_apJointSkinning[i] = p->m_ppJointTable[i] ? &p->m_ppJointTable[i]->m_mSkinning : nullptr;
  s->m_ppJointSkinning = n ? s_apJointSkinning : nullptr;
  s->m_iJointTableSize = n;
}

EVec4 ProjectedLightColor(const ELight& light, const EVec4& c) {
  const EVec3 lc = light.m_vColor * light.m_fIntensity;
  const int mode = light.GetProjectedLight() ? light.GetProjectedLight()->m_eProjectionMode : 0;
  if (mode == 4) return EVec4(lc.x, lc.y, lc.z, 1.0f);
  return EVec4(lc.x * c.x, lc.y * c.y, lc.z * c.z, c.w);
}

EVec4 Scale3(const EVec4& c, float f) { return EVec4(c.x * f, c.y * f, c.z * f, c.w); }

bool SetupPass(EMeshFrag& frag, int k, const PassWalk& walk, PassSetup& out) {
  ERenderContext& r = sg_Render;
  const EDebugHooks& hooks = Switches();
  const ESceneSettings& scene = MeshFragSceneSettings();
  ERenderState& rs = r.m_RenderState;
  const RENDERPASS p = r.m_aeRenderPasses[k];
  const int e = r.m_aeRenderLights[k];
  const uint8_t ff = r.m_byFragmentFlags, bf = r.m_byBlendFlags, pf = r.m_byPassFlags;
  const bool bWhiteOver = p == kRENDERPASS_WHITE && (ff & kRENDERFRAG_MATERIAL_HIGH_BIT);
  const bool bBlended = (ff & kRENDERFRAG_BLENDED) != 0;
  // 1. Alpha test.
  rs.m_bAlphaTestEnable = !(ff & kRENDERFRAG_NO_ALPHA_TEST) && !bWhiteOver && !hooks.m_bDebugAlphaBlend;
  if ((bf & kRENDERBLEND_BINARY_ALPHA) && !RenderPassShadows(p)) {
    rs.m_eAlphaFunc = kCMP_GREATEREQUAL;
    rs.m_byAlphaRef = scene.m_byBinaryAlphaThreshold;
  } else {
    rs.m_eAlphaFunc = kCMP_NOTEQUAL;
    rs.m_byAlphaRef = 0;
  }
  // 2. Depth is written by the first pass of an opaque fragment only.
  rs.m_bZWriteEnable = k == 0 && ((bf & kRENDERBLEND_OPAQUE) || (ff & kRENDERFRAG_CAMERA_ALPHA_TESTED));
  // 3. Blend.
  if (k == 0) {
    if ((bf & kRENDERBLEND_ADDITIVE) && !(bf & kRENDERBLEND_ADDITIVE_INLINE))
      rs.m_eBlendMode = bBlended ? kBLENDMODE_ADD_ALPHA : kBLENDMODE_ADD;
    else
      rs.m_eBlendMode = bBlended ? kBLENDMODE_ALPHA_BLEND : kBLENDMODE_DECAL;
  } else if (RenderPassBaseTexture(p)) {
    if (!r.m_ahBaseTextures[0]) return false;
    if (bWhiteOver)
      rs.m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
    else if ((pf & kRENDERPASSFLAG_BASE_LIGHTING_SET) && (pf & kRENDERPASSFLAG_LIGHTING_SEPARATE))
      rs.m_eBlendMode = kBLENDMODE_MODULATE_2X;
    else
      rs.m_eBlendMode = kBLENDMODE_MODULATE;
  } else if (RenderPassAdditiveLight(p)) {
    rs.m_eBlendMode = RenderPassDestAlpha(r.m_aeRenderPasses[k - 1]) ? kBLENDMODE_ADD_DEST_ALPHA : kBLENDMODE_ADD_ALPHA;
    if (p == kRENDERPASS_PROJECTEDTEXTURE) {
      ELight* pLight = walk.iPerPixel < r.m_PerPixelLights.m_iLightCount ? r.m_PerPixelLights.m_apLights[walk.iPerPixel]
                                                                         : nullptr;
      const int mode = (pLight && pLight->GetProjectedLight()) ? pLight->GetProjectedLight()->m_eProjectionMode : 0;
      if (mode == 2 || mode == 3) rs.m_eBlendMode = kBLENDMODE_SUBTRACT;
      if (mode == 4) rs.m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
    }
  } else if (RenderPassShadows(p)) {
    EMeshEntity* pCaster = r.m_apCasters[k];
    rs.m_eBlendMode = (pCaster && pCaster->GetEntityFlag(ENTITY_LIT_SHADOW)) ? kBLENDMODE_ADD_ALPHA
                                                                              : (BLENDMODE)scene.m_iShadowBlendMode;
  } else if (RenderPassDestAlpha(p)) {
    rs.m_eBlendMode = kBLENDMODE_ALPHA_ONLY;
    rs.m_bAlphaTestEnable = false;
  } else {
    rs.m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
  }
  // 4. Constant colour.
  const bool bBaseSeen = walk.bBaseSeen || RenderPassBaseTexture(p);
  EVec4 c(1, 1, 1, 1);
  if (bBaseSeen && (RenderPassBaseTexture(p) || RenderPassDynamicLight(p)) && !hooks.m_bDebugLights) c = frag.m_vColor;
  const EModelBlinnInfo* pBlinn = frag.m_pModelFrag ? frag.m_pModelFrag->m_pBlinnInfo : nullptr;
  if (RenderPassSpecular(p) && pBlinn) {
    const EVec3 s = pBlinn->m_vSpecularColor * frag.GetShaderLODFactor(0.9f, 0.8f);
    c = EVec4(s.x, s.y, s.z, c.w);
  }
  if (RenderPassReflection(p)) {
    const EVec3 rc = pBlinn ? pBlinn->m_vColor : EVec3(1, 1, 1);
    const float f = rc.x < 0.4f ? frag.GetShaderLODFactor(0.6f, 0.5f) : 1.0f;
    const EVec3 irr = (hooks.m_bReflectionIrradiance && frag.m_pOwnerEntity)
                          ? MeshFragEntityFacts().pfnCombinedIrradiance(frag.m_pOwnerEntity)
                          : EVec3(1, 1, 1);
    c = EVec4(rc.x * irr.x * f, rc.y * irr.y * f, rc.z * irr.z * f, c.w);
  }
  if (RenderPassDynamicLight(p) && e == 0) {
    const float f = frag.GetShaderLODFactor(0.6f, 0.5f);
    if (f < 1.0f) c = Scale3(c, f);
  }
  if (scene.m_fStaticLightIntensity < 1.0f &&
      ((RenderPassAdditiveLight(p) && !RenderPassDynamicLight(p)) || e == 2 || e == 3))
    c = Scale3(c, scene.m_fStaticLightIntensity);
  out.bBright = false;
  if (ff & kRENDERFRAG_GLARE) {
    float g = frag.GetGlareIntensity();
    if (g > 1.0f) {
      g *= 0.5f;
      out.bBright = true;
    }
    const EVec4& gc = scene.m_vGlareColor;
    c = EVec4(c.x * gc.x * g, c.y * gc.y * g, c.z * gc.z * g, c.w * gc.w);
  }
  if (RenderMode() == kRENDERMODE_INLINE_TRANSLUCENCE) c.w = 1.0f;
  if (frag.m_dwFlags & kMESHFRAGFLAG_DEBUG_HIGHLIGHT) c = frag.getDebugModeColor();
  if (!hooks.m_bDiffuseLight && !RenderPassFog(p) && !RenderPassSpecular(p) && !RenderPassReflection(p))
    c = EVec4(0, 0, 0, 0);
  out.vColor = c;
  // 5. Bright variant.
  if (!(pf & kRENDERPASSFLAG_LIGHTING_SEPARATE) && (e == 2 || e == 3)) out.bBright = true;
  if (p == kRENDERPASS_ATTENLIGHT && (bf & kRENDERBLEND_OPAQUE)) out.bBright = true;
  // 6. Default streams and the specular switch.
  out.abStreams[kSTREAM_GEOM] = true;
  out.abStreams[kSTREAM_COLOR] = false;
  out.abStreams[kSTREAM_TEXCOORD] = true;
  out.abStreams[kSTREAM_SKIN] = frag.HasActiveAnims() && !(g_pCurrentRenderer && g_pCurrentRenderer->m_bSoftwareSkinning);
  out.abStreams[kSTREAM_BASIS] = false;
  rs.m_bSpecularEnable = p == kRENDERPASS_SPECULARLIGHTPIXEL || p == kRENDERPASS_SPECULARVERTEXCOLOR ||
                         p == kRENDERPASS_SPECULARLIGHTMAP || (p == kRENDERPASS_ATTENLIGHT && !r.m_hNormalMap);
  return true;
}

// The model fragment's handle of a stream kind, with the dynamic streams in
// place of the geometry and basis.
uint32_t StreamHandle(const EMeshFrag& f, int kind) {
  const uint32_t h = f.m_pModelFrag ? f.m_pModelFrag->m_phVertBuffer[kind] : 0;
  if (kind == kSTREAM_GEOM && f.m_hDynamicGeomStream) return f.m_hDynamicGeomStream;
  if (kind == kSTREAM_BASIS && f.m_hDynamicBasisStream) return f.m_hDynamicBasisStream;
  return h;
}

// The screen rectangle of a world box as the render camera sees it.
void ScissorTo(const EBox3& box) {
  ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
  if (!pCamera || !g_pCurrentRenderer) return;
  const ERect rect = pCamera->CalculateScreenRect(box);
  g_pCurrentRenderer->SetScissorsRegion(rect, true);
}

}  // namespace meshfragexec

void EMeshFrag::renderExecutePasses() {
  using namespace meshfragexec;
  ERenderContext& r = sg_Render;
  ERenderer* pRenderer = g_pCurrentRenderer;
  EShaderPasses* pPasses = Passes();
  const EDebugHooks& hooks = Switches();
  if (!gGameApp) return;
  static uint32_t s_phVB[10];
  PassWalk walk;
  const unsigned hWhite = gGameApp->m_hWhiteTexture;
  const unsigned hFlatBump = gGameApp->m_hNullBumpmapTexture;
  const unsigned n = r.m_hNormalMap ? r.m_hNormalMap : hFlatBump;
  const unsigned g = r.m_hGlossMap ? r.m_hGlossMap : hWhite;
  const float power = (m_pModelFrag && m_pModelFrag->m_pBlinnInfo) ? m_pModelFrag->m_pBlinnInfo->m_fSpecularPower : 8.0f;
  const bool bOpaque = (r.m_byBlendFlags & kRENDERBLEND_OPAQUE) != 0;
  const bool bBinary = (r.m_byBlendFlags & kRENDERBLEND_BINARY_ALPHA) != 0;
  for (int k = 0; k < r.m_iRenderPassCount; ++k) {
    const RENDERPASS p = r.m_aeRenderPasses[k];
    const int e = r.m_aeRenderLights[k];
    if (RenderPassBaseTexture(p)) walk.bBaseSeen = true;
    PassSetup s;
    if (!SetupPass(*this, k, walk, s)) continue;
    if (p == kRENDERPASS_VOLUME_FOG || p > kRENDERPASS_DESTALPHAWHITE || p < 0) {
      // A pass this draw does not know: reported and left out.
      g_ErrorManager.TraceMessagef(TT_Warning, "Unknown render pass\n");
      continue;
    }
    if (pRenderer) pRenderer->SetRenderState(&r.m_RenderState);
    SetGeomShader(GetGeomShader(false));
    gGameApp->SyncShaderDrawState();
    const EVec4& c = s.vColor;
    const bool bright = s.bBright;
    ELightBlock* pStatic = r.m_pStaticLightBlock;
    bool bScissor = false;
    auto basis = [&]() {
      SetGeomShader(GetGeomShader(true));
      s.abStreams[kSTREAM_BASIS] = true;
    };
    if (pPasses) {
      switch (p) {
        case kRENDERPASS_COLOR1TEX:
          if (e == 0) {
            pPasses->SetShaderColor1Tex(c, r.m_ahBaseTextures[0], 0, false, bright, false);
            if ((m_dwFlags & kMESHFRAGFLAG_DEBUG_TEXTURE) && hooks.m_bDebugBumpmaps && r.m_hNormalMap)
              pPasses->SetShaderColor1Tex(c, r.m_hNormalMap, pPasses->m_hBumpmapPalette, false, false, false);
          } else if (e == 1) {
            pPasses->SetShaderColor1TexVL(c, r.m_ahBaseTextures[0], bright, pStatic, r.m_iPerPixelCount);
          } else if (e == 2) {
            pPasses->SetShaderColor1Tex(c, r.m_ahBaseTextures[0], 0, true, bright, false);
            s.abStreams[kSTREAM_COLOR] = true;
          } else {
            pPasses->SetShaderColor1TexLM(c, r.m_ahBaseTextures[0], r.m_hLightmap, r.m_hSecondLightmap, bright);
          }
          break;
        case kRENDERPASS_COLOR2TEX:
          if (e == 1)
            pPasses->SetShaderColor2TexVL(c, r.m_ahBaseTextures[0], r.m_ahBaseTextures[1], bright, pStatic,
                                          r.m_iPerPixelCount);
          else if (e == 3)
            pPasses->SetShaderColor2TexLM(c, r.m_ahBaseTextures[0], r.m_ahBaseTextures[1], r.m_hLightmap,
                                          r.m_hSecondLightmap, bright);
          else
            pPasses->SetShaderColor2Tex(c, r.m_ahBaseTextures[0], r.m_ahBaseTextures[1], e == 2, bright, false);
          if (e == 2) s.abStreams[kSTREAM_COLOR] = true;
          break;
        case kRENDERPASS_COLOR3TEX:
          if (e == 1)
            pPasses->SetShaderShaderColor3TexVL(c, r.m_ahBaseTextures[0], r.m_ahBaseTextures[1], r.m_ahBaseTextures[2],
                                                bright, pStatic, r.m_iPerPixelCount);
          else if (e == 3)
            pPasses->SetShaderShaderColor3TexLM(c, r.m_ahBaseTextures[0], r.m_ahBaseTextures[1], r.m_ahBaseTextures[2],
                                                r.m_hLightmap, r.m_hSecondLightmap, bright);
          else
            pPasses->SetShaderShaderColor3Tex(c, r.m_ahBaseTextures[0], r.m_ahBaseTextures[1], r.m_ahBaseTextures[2],
                                              e == 2, bright);
          if (e == 2) s.abStreams[kSTREAM_COLOR] = true;
          break;
        case kRENDERPASS_EDGEALPHA:
          pPasses->SetShaderEdgeAlpha(c, r.m_ahBaseTextures[0], (r.m_byBlendFlags & kRENDERBLEND_ADDITIVE) != 0);
          break;
        case kRENDERPASS_INVEDGEALPHA:
          pPasses->SetShaderInvEdgeAlpha(c, r.m_ahBaseTextures[0], (r.m_byBlendFlags & kRENDERBLEND_ADDITIVE) != 0);
          break;
        case kRENDERPASS_WHITE:
          pPasses->SetShaderColor1Tex(EVec4(1, 1, 1, 1), r.m_ahBaseTextures[0], 0, false, false, false);
          break;
        case kRENDERPASS_BLACK:
          pPasses->SetShaderConstantColor(EVec4(0, 0, 0, 0), 0, true);
          s.abStreams[kSTREAM_TEXCOORD] = false;
          break;
        case kRENDERPASS_DEBUGNORMALS:
          pPasses->SetShaderDebugNormals();
          s.abStreams[kSTREAM_TEXCOORD] = false;
          break;
        case kRENDERPASS_DEBUGBASES:
          basis();
          gGameApp->SyncShaderDrawState();
          pPasses->SetShaderDebugBases();
          s.abStreams[kSTREAM_TEXCOORD] = false;
          break;
        case kRENDERPASS_DIFFUSELIGHTPIXEL: {
          const int i = walk.iPerPixel++;
          ELight* pLight = r.m_PerPixelLights.m_apLights[i];
          const float vis = r.m_PerPixelLights.m_afVisibility[i];
          basis();
          if (e != 0)
            pPasses->SetShaderDiffuseLightPixelVL(pLight, vis, n, pStatic, r.m_iPerPixelCount);
          else
            pPasses->SetShaderDiffuseLightPixel(pLight, vis, n);
          break;
        }
        case kRENDERPASS_VERTEXLIGHT:
          pPasses->SetShaderVertexLight(pStatic, r.m_iPerPixelCount);
          s.abStreams[kSTREAM_TEXCOORD] = false;
          break;
        case kRENDERPASS_VERTEXCOLOR:
          pPasses->SetShaderVertexColor();
          s.abStreams[kSTREAM_COLOR] = true;
          break;
        case kRENDERPASS_LIGHTMAP:
          pPasses->SetShaderLightmap(c, r.m_hLightmap, r.m_hSecondLightmap, r.m_iTextureCount);
          break;
        case kRENDERPASS_LIGHTMAPBUMP:
          basis();
          pPasses->SetShaderLightmapBump(c, n, r.m_hLightmap, r.m_hSecondLightmap, r.m_iTextureCount);
          break;
        case kRENDERPASS_LIGHTMAPINTERP: {
          EVec4 ci = c;
          const ELight* pSwitch = m_pModelFrag ? m_pModelFrag->m_pSwitchLight : nullptr;
          ci.w = GetShaderLODFactor(0.6f, 0.5f) * (pSwitch ? pSwitch->m_fIntensity : 0.0f);
          const EModelFrag* m = m_pModelFrag;
          pPasses->SetShaderLightmapInterp(ci, m ? m->m_ahLightmap[0] : 0, m ? m->m_ahLightmapPalette[0] : 0,
                                           m ? m->m_ahLightmap[1] : 0, m ? m->m_ahLightmapPalette[1] : 0,
                                           r.m_iTextureCount);
          break;
        }
        case kRENDERPASS_SPECULARLIGHTVL:
          pPasses->SetShaderSpecularLightVL(c, power, g, &r.m_SpecularLights, r.m_iSpecularPixelCount);
          break;
        case kRENDERPASS_SPECULARLIGHTPIXEL: {
          const int i = walk.iSpecular++;
          basis();
          pPasses->SetShaderSpecularLightPixel(r.m_SpecularLights.m_apLights[i], r.m_SpecularLights.m_afVisibility[i], c,
                                               power, n, g);
          break;
        }
        case kRENDERPASS_SPECULARVERTEXCOLOR:
          basis();
          pPasses->SetShaderSpecularVertexColor(c, power, n);
          s.abStreams[kSTREAM_COLOR] = true;
          break;
        case kRENDERPASS_SPECULARLIGHTMAP:
          basis();
          pPasses->SetShaderSpecularLightmap(c, power, n, r.m_hLightmap, r.m_hSecondLightmap, r.m_iTextureCount);
          break;
        case kRENDERPASS_REFLECTCUBE: {
          const bool bFresnel = ((Material(*this) & kMATERIALFLAG_FRESNEL_REFLECTION) && hooks.m_bFresnelReflections) ||
                                hooks.m_bDebugFresnelReflections;
          basis();
          pPasses->SetShaderReflectCube(c, n, GetReflectionTexture(), false, bFresnel, bright);
          break;
        }
        case kRENDERPASS_ATTENLIGHT: {
          ELight* pLight = r.m_PerPixelLights.m_apLights[walk.iPerPixel++];
          const unsigned t = (bBinary || !bOpaque) ? r.m_ahBaseTextures[0] : 0;
          const unsigned b = t ? 0 : r.m_hNormalMap;
          if (b) basis();
          if (e == 3)
            pPasses->SetShaderAttenLightLM(c, pLight, r.m_hLightmap, r.m_hSecondLightmap, r.m_iTextureCount, bright);
          else if (e == 2)
            pPasses->SetShaderAttenLight(c, pLight, t, b, true, bright), s.abStreams[kSTREAM_COLOR] = true;
          else if (e == 1)
            pPasses->SetShaderAttenLightVL(c, pLight, t, b, bright, pStatic, r.m_iPerPixelCount);
          else
            pPasses->SetShaderAttenLight(c, pLight, t, b, false, bright);
          if (RenderMode() == kRENDERMODE_MAIN && e == 0 && hooks.m_bLightScissor && pLight) {
            ScissorTo(pLight->GetTransformedBoundingBox());
            bScissor = true;
          }
          break;
        }
        case kRENDERPASS_PROJECTEDTEXTURE: {
          ELight* pLight = r.m_PerPixelLights.m_apLights[walk.iPerPixel++];
          EProjectedLight* pProj = pLight ? pLight->GetProjectedLight() : nullptr;
          if (!pLight || !pProj) break;
          unsigned hTexture = GetGameTextureManager() ? GetGameTextureManager()->GetTextureHandle(pProj->m_idTexture) : 0;
          if (pProj->m_iMonitorChannel >= 0)
            if (const unsigned h = gGameApp->GetMonitorChannelTexture(pProj->m_iMonitorChannel)) hTexture = h;
          if (pProj->m_bRendered && pProj->m_pShadowEntity != (EEntity*)m_pOwnerEntity && pProj->m_hRenderedTexture)
            hTexture = pProj->m_hRenderedTexture;
          const unsigned t = (bBinary || !bOpaque) ? r.m_ahBaseTextures[0] : 0;
          if (!t) s.abStreams[kSTREAM_TEXCOORD] = false;
          const EMat4 matrix = pLight->CalculateTexGenMatrix() * r.m_mModelToWorld;
          pPasses->SetShaderProjectedTexture(hTexture, t, ProjectedLightColor(*pLight, c), matrix,
                                             pLight->GetInclusivePosition(nullptr, nullptr),
                                             pLight->GetInclusiveDirection(), pProj->m_fAttenStart, pProj->m_fAttenEnd,
                                             false, 0.0f);
          if (hooks.m_bLightScissor) {
            ScissorTo(pLight->GetTransformedBoundingBox());
            bScissor = true;
          }
          break;
        }
        case kRENDERPASS_PROJECTEDSHADOW: {
          EMeshEntity* pCaster = r.m_apCasters[k];
          EMeshFragEntityFacts& facts = MeshFragEntityFacts();
          ECamera* pShadowCamera = pCaster ? facts.pfnShadowCamera(pCaster) : nullptr;
          if (pShadowCamera) {
            EShadowCaster caster;
            caster.m_vCameraPosition = pShadowCamera->GetPosition();
            caster.m_vCameraView = pShadowCamera->GetViewVector();
            caster.m_vCameraTarget = pShadowCamera->GetLastBoundedTargetPosition();
            caster.m_dwViewportWidth = pShadowCamera->GetViewportWidth();
            caster.m_dwViewportHeight = pShadowCamera->GetViewportHeight();
            caster.m_vEntityPosition = pCaster->GetPosition();
            caster.m_bPlayer = pCaster == facts.pfnPlayer();
            caster.m_bSolidShadow = pCaster->GetEntityFlag(ENTITY_SOLID_SHADOW);
            caster.m_fShadowAlpha = facts.pfnCompoundAlpha(pCaster);
            caster.m_hShadowTexture = facts.pfnShadowTexture(pCaster);
            pPasses->SetShaderProjectedShadow(&caster, 0);
            if (hooks.m_bLightScissor) {
              const EFrustum frustum = pShadowCamera->GetViewFrustum();
              ScissorTo(EBox3(frustum.m_aCorners, EFrustum::kNUM_CORNERS));
              bScissor = true;
            }
          } else {
            pPasses->SetShaderProjectedShadow(nullptr, 0);
          }
          s.abStreams[kSTREAM_TEXCOORD] = false;
          break;
        }
        case kRENDERPASS_LAYERED_FOG: {
          const unsigned t =
              ((r.m_byFragmentFlags & kRENDERFRAG_BLENDED) || bBinary || HasActiveAnims()) ? r.m_ahBaseTextures[0] : 0;
          pPasses->SetShaderLayeredFog(c, t);
          break;
        }
        case kRENDERPASS_DESTALPHAGLOSS:
          pPasses->SetShaderDestAlpha(EVec4(1, 1, 1, 1), r.m_hGlossMap);
          break;
        case kRENDERPASS_DESTALPHAWHITE:
          pPasses->SetShaderDestAlpha(EVec4(1, 1, 1, 1), hWhite);
          break;
        default:
          break;
      }
      if (k == 0 && HasActiveAnims() && m_pModelFrag && m_pModelFrag->m_pAnimInfo)
        pPasses->m_Constants.SetHWSkinningConstants(m_pModelFrag->m_pAnimInfo->m_nPaletteSize);
    }
    int count = 0;
    for (int kind = 0; kind < 5; ++kind) {
      if (!s.abStreams[kind]) continue;
      const int iStreamCount = count;
      s_phVB[iStreamCount] = StreamHandle(*this, kind);
      if (pRenderer) EASSERT(s_phVB[iStreamCount]);
      ++count;
    }
    if (m_pModelFrag && (m_pModelFrag->m_dwFragFlags & 0x1)) setDynamicStreams(s_phVB, count);
    renderLowLevel(s_phVB, count, p, 0, 0);
    if (bScissor && pRenderer) pRenderer->ClearScissorsRegion();
  }
}

void EMeshFrag::renderLowLevel(uint32_t* phVB, int iStreamCount, int ePass, unsigned hIndexBuffer,
                               unsigned iIndexCount) {
  EModelFrag* m = m_pModelFrag;
  ERenderer* r = g_pCurrentRenderer;
  if (!m) return;
  const unsigned n = m->m_nPolys;
  bool bStrip = false;
  unsigned hIB = hIndexBuffer;
  unsigned count = iIndexCount;
  if (!hIndexBuffer) {
    hIB = m->m_hIndexBuffer;
    bStrip = (m->m_dwMaterialFlags & kMATERIALFLAG_TRISTRIP) != 0;
    count = bStrip ? n + 2 : 3 * n;
  } else if (count == 0) {
    count = 3 * n;
  }
  if (r && hIB && iStreamCount > 0)
    r->DrawIndexedVertexBuffers(bStrip ? kVBDRAWMODE_TRIANGLESTRIP : kVBDRAWMODE_TRIANGLELIST, iStreamCount, phVB, hIB,
                                count, 0);
  const unsigned tris = meshfragrules::TriangleCount(bStrip, count, bStrip ? m->m_nDegenPolys : 0);
  EMeshFragTriangleStats& st = sm_TriangleStats;
  const RENDERPASS p = (RENDERPASS)ePass;
  if (RenderPassBaseTexture(p))
    st.m_dwBaseTexture += tris;
  else if (RenderPassAdditiveLight(p))
    st.m_dwAdditiveLight += tris;
  else if (RenderPassShadows(p))
    st.m_dwShadows += tris;
  else if (RenderPassFog(p))
    st.m_dwFog += tris;
  if (m->m_dwFragFlags & 0x8)
    st.m_dwSkinned += tris;
  else
    st.m_dwOther += tris;
}

void EMeshFrag::renderWireframe() {
  using namespace meshfragexec;
  ERenderer* pRenderer = g_pCurrentRenderer;
  if (!pRenderer || !m_pModelFrag) return;
  ERenderState& rs = sg_Render.m_RenderState;
  rs.Reset();
  rs.m_eCullMode = kCULL_NONE;
  rs.m_eFillMode = kFILL_WIREFRAME;
  rs.m_bAlphaTestEnable = false;
  rs.m_fWireframeOffset = -6.0f;
  pRenderer->SetRenderState(&rs);
  SetGeomShader(GetGeomShader(false));
  if (gGameApp) gGameApp->SyncShaderDrawState();
  if (EShaderPasses* pPasses = Passes()) pPasses->SetShaderConstantColor(EVec4(1, 1, 1, 1), 0, false);
  static uint32_t s_phWireVB[6];
  int count = 0;
  s_phWireVB[count++] = StreamHandle(*this, kSTREAM_GEOM);
  if (HasActiveAnims() && !pRenderer->m_bSoftwareSkinning) s_phWireVB[count++] = StreamHandle(*this, kSTREAM_SKIN);
  if (m_pModelFrag->m_dwFragFlags & 0x1) setDynamicStreams(s_phWireVB, count);
  renderLowLevel(s_phWireVB, count, kRENDERPASS_BLACK, 0, 0);
}

EVec4 EMeshFrag::getDebugColor() const {
  const unsigned id = (unsigned)m_id;
  const float hue = (float)(id % 31) / 31.0f + (float)(id % 7) / 217.0f;
  return ColorVectorFromHSV(hue, 0.8f, 0.5f);
}

EVec4 EMeshFrag::getDebugTextureColor() const {
  const unsigned id = GetBaseTexture();
  const float hue = (float)(id % 31) / 31.0f + (float)(id % 7) / 217.0f;
  return ColorVectorFromHSV(hue, 0.8f, 0.5f);
}

EVec4 EMeshFrag::getDebugModeColor() {
  const EDebugHooks& hooks = meshfragexec::Switches();
  const EVec4 red(1, 0, 0, 1), green(0, 1, 0, 1), yellow(1, 1, 0, 1), black(0, 0, 0, 1), white(1, 1, 1, 1);
  const uint32_t mat = meshfragexec::Material(*this);
  EModelFrag* m = m_pModelFrag;
  if (hooks.m_bDebugInfluences) {
    const int g = GetGeomShader(false);
    return (m_pMesh && m_pMesh->HasSkeleton() && g >= kVSGEOM_HWSKIN && g <= kVSGEOM_HWBLEND) ? green : black;
  }
  if (hooks.m_bDebugMeshFragments) return getDebugColor();
  if (hooks.m_bDebugMeshTextures) return getDebugTextureColor();
  if ((hooks.m_bDebugDetailCulling && m_pOwnerEntity && m_pOwnerEntity->GetEntityFlag(ENTITY_DETAIL_CULLING)) ||
      (hooks.m_bDebugCameraAlpha && m_pOwnerEntity && m_pOwnerEntity->GetEntityFlag(ENTITY_CAMERA_ALPHA)) ||
      (hooks.m_bDebugSwitchLight && m && m->m_pSwitchLight))
    return red;
  if (hooks.m_bDebugBlendShapes && m && (m->m_dwFragFlags & 0x4))
    return (m->m_pBlendInfo && (m->m_pBlendInfo->m_byBlendFlags & 0x2)) ? yellow : green;
  if ((hooks.m_bDebugDecals && IsDecal()) || (hooks.m_bDebugDistantGeometry && IsDistantGeometry()) ||
      (hooks.m_bDebugTristrips && (mat & kMATERIALFLAG_TRISTRIP)) ||
      (hooks.m_bDebugDynamicLights && (m_dwFlags & (kMESHFRAGFLAG_DYNAMIC_LIGHTS | kMESHFRAGFLAG_PROJECTED_LIGHT))) ||
      (hooks.m_bDebugShadowReceivers && (m_dwFlags & kMESHFRAGFLAG_SHADOW_RECEIVER)))
    return red;
  return white;
}
