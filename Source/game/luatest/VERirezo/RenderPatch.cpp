#include "VERirezo/RenderPatch.h"

#include <cmath>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "Game/ShaderConstants.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/EffectScene.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/SceneSettings.h"

namespace renderpatch {

struct GeomVertex {
  EVec3 pos, normal;
};

// The edge point near corner i toward corner j.
EVec3 EdgePoint(const EVec3& Pi, const EVec3& Ni, const EVec3& Pj) {
  const EVec3 e = Pj - Pi;
  return Pi + (e - Ni * e.Dot(Ni)) * 0.3333f;
}

EVec3 MidEdgeNormal(const EVec3& Pa, const EVec3& Na, const EVec3& Pb, const EVec3& Nb) {
  EVec3 s = Na + Nb;
  EVec3 e = Pb - Pa;
  const float len = e.Length();
  if (len <= 0.0f) return s.GetNormal();
  e = e * (1.0f / len);
  return (s - e * (2.0f * s.Dot(e))).GetNormal();
}

// One step of the reduction: rows 0..depth-1 of the triangle of points
// become rows 0..depth-2.
void Reduce(EVec3* p, int depth, float u, float v, float w) {
  for (int r = 0; r + 1 < depth; ++r) {
    const int row = r * (r + 1) / 2, next = (r + 1) * (r + 2) / 2;
    for (int j = 0; j <= r; ++j) p[row + j] = p[row + j] * v + p[next + j] * u + p[next + j + 1] * w;
  }
}

EBox3 Bounds(const VERTEX_1TEX_NORM* p, int n) {
  EBox3 box(p[0].vPos, p[0].vPos);
  for (int i = 1; i < n; ++i) {
    box.vMin = box.vMin.Min(p[i].vPos);
    box.vMax = box.vMax.Max(p[i].vPos);
  }
  return box;
}

}  // namespace renderpatch

ERenderPatch::ERenderPatch() : m_pVerts(nullptr), m_iVertCount(0), m_idTexture(0), m_pShadowEntity(nullptr) {}

ERenderPatch::~ERenderPatch() { delete[] m_pVerts; }

ERenderPatchManager::ERenderPatchManager()
    : m_pPatchArray(
          new EDataArray<ERenderPatch>("Render Patches", kINITIAL_PATCHES, kDATAARRAY_GROWABLE, kMEMTYPE_AppGraph)),
      m_pidVertexBuffers(new uint32_t[2]()), m_iLastDraws(0), m_iLastVerts(0) {
  if (ERenderer* r = g_pCurrentRenderer) {
    m_pidVertexBuffers[0] =
        r->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, kBUFFER_VERTS, kVBFLAG_DYNAMIC, "renderPatch Geom");
    m_pidVertexBuffers[1] = r->CreateVertexBuffer(kVBFORMAT_TEXCOORD0, kBUFFER_VERTS, kVBFLAG_DYNAMIC, "renderPatch UVs");
  }
}

ERenderPatchManager::~ERenderPatchManager() {
  delete m_pPatchArray;
  for (int i = 0; i < 2; ++i)
    if (m_pidVertexBuffers[i] && g_pCurrentRenderer) g_pCurrentRenderer->DeleteVertexBuffer(m_pidVertexBuffers[i]);
  delete[] m_pidVertexBuffers;
}

void ERenderPatchManager::AddPatch(const VERTEX_1TEX_NORM* pVerts, int iCount, uint32_t idTexture) {
  if (gGameApp && !gGameApp->m_DebugHooks.m_bRenderPatches) return;
  if (!pVerts || iCount <= 0 || iCount % 3 != 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "AddPatch: %d vertices do not make whole triangles", iCount);
    return;
  }
  const EDataId id = m_pPatchArray->ElementNew();
  if (!id) return;
  ERenderPatch* p = m_pPatchArray->ElementGet(id);
  p->m_pVerts = new VERTEX_1TEX_NORM[iCount];
  memcpy(static_cast<void*>(p->m_pVerts), pVerts, sizeof(VERTEX_1TEX_NORM) * (size_t)iCount);
  p->m_iVertCount = iCount;
  p->m_idTexture = idTexture;
}

void ERenderPatchManager::ResetFrame() { m_pPatchArray->DeleteAll(); }

void ERenderPatchManager::RestoreSize() { m_pPatchArray->RestoreSize(false); }

int ERenderPatchManager::LevelForDiagonal(float fDiagonal) {
  float t = (fDiagonal - 150.0f) / 350.0f;
  if (!(t > 0.0f)) t = 0.0f;
  if (t > 1.0f) t = 1.0f;
  return (int)floorf(t * (float)kMAX_LEVEL + 0.5f);
}

void ERenderPatchManager::BuildControlPoints(const VERTEX_1TEX_NORM* v, EVec3* pPos, EVec3* pNormals) {
  const EVec3 &P0 = v[0].vPos, &P1 = v[1].vPos, &P2 = v[2].vPos;
  const EVec3 &N0 = v[0].vNormal, &N1 = v[1].vNormal, &N2 = v[2].vNormal;
  const EVec3 e10 = renderpatch::EdgePoint(P1, N1, P0), e12 = renderpatch::EdgePoint(P1, N1, P2);
  const EVec3 e01 = renderpatch::EdgePoint(P0, N0, P1), e21 = renderpatch::EdgePoint(P2, N2, P1);
  const EVec3 e02 = renderpatch::EdgePoint(P0, N0, P2), e20 = renderpatch::EdgePoint(P2, N2, P0);
  const EVec3 centre = (e10 + e12 + e01 + e21 + e02 + e20) * 0.25f - (P0 + P1 + P2) * (1.0f / 6.0f);
  const EVec3 pos[10] = {P1, e10, e12, e01, centre, e21, P0, e02, e20, P2};
  for (int i = 0; i < 10; ++i) pPos[i] = pos[i];
  pNormals[0] = N1;
  pNormals[1] = renderpatch::MidEdgeNormal(P1, N1, P0, N0);
  pNormals[2] = renderpatch::MidEdgeNormal(P1, N1, P2, N2);
  pNormals[3] = N0;
  pNormals[4] = renderpatch::MidEdgeNormal(P2, N2, P0, N0);
  pNormals[5] = N2;
}

void ERenderPatchManager::EvaluateBezierPoint(const EVec3* pPos, const EVec3* pNormals, float u, float v, float w,
                                              EVec3& vPos, EVec3& vNormal) {
  EVec3 p[10], n[6];
  for (int i = 0; i < 10; ++i) p[i] = pPos[i];
  for (int i = 0; i < 6; ++i) n[i] = pNormals[i];
  renderpatch::Reduce(p, 4, u, v, w);
  renderpatch::Reduce(p, 3, u, v, w);
  renderpatch::Reduce(p, 2, u, v, w);
  vPos = p[0];
  renderpatch::Reduce(n, 3, u, v, w);
  renderpatch::Reduce(n, 2, u, v, w);
  vNormal = n[0].GetNormal();
}

void ERenderPatchManager::Tessellate(ERenderPatch& patch, int L) {
  if (L <= 0 || patch.m_iVertCount < 3) return;
  const int nTris = patch.m_iVertCount / 3;
  const int nOut = patch.m_iVertCount * (L + 1) * (L + 1);
  VERTEX_1TEX_NORM* pOut = new VERTEX_1TEX_NORM[nOut];
  VERTEX_1TEX_NORM* pGrid = new VERTEX_1TEX_NORM[(L + 2) * (L + 3) / 2];
  const float step = 1.0f / (float)(L + 1);
  int o = 0;
  for (int k = 0; k < nTris; ++k) {
    const VERTEX_1TEX_NORM* tri = patch.m_pVerts + 3 * k;
    EVec3 cp[10], cn[6];
    BuildControlPoints(tri, cp, cn);
    int g = 0;
    for (int i = 0; i <= L + 1; ++i) {
      const float v = 1.0f - (float)i * step;
      for (int j = 0; j <= i; ++j, ++g) {
        const float u = (float)(i - j) * step, w = (float)j * step;
        EvaluateBezierPoint(cp, cn, u, v, w, pGrid[g].vPos, pGrid[g].vNormal);
        pGrid[g].vTex = tri[0].vTex * u + tri[1].vTex * v + tri[2].vTex * w;
      }
    }
    for (int i = 1; i <= L + 1; ++i) {
      for (int j = 0; j < i; ++j) {
        const int n = i * (i + 1) / 2 + j;
        if (i <= L) {
          pOut[o++] = pGrid[n];
          pOut[o++] = pGrid[n + 1];
          pOut[o++] = pGrid[n + i + 2];
        }
        pOut[o++] = pGrid[n];
        pOut[o++] = pGrid[n + 1];
        pOut[o++] = pGrid[n - i];
      }
    }
  }
  delete[] pGrid;
  delete[] patch.m_pVerts;
  patch.m_pVerts = pOut;
  patch.m_iVertCount = o;
}

void ERenderPatchManager::PreprocessAll() {
  ELightManager* pLights = gGameApp ? gGameApp->GetLightManager() : nullptr;
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  for (int slot = 0; slot <= m_pPatchArray->GetHighestUsed(); ++slot) {
    ERenderPatch& p = (*m_pPatchArray)[slot];
    if (!p.m_id || p.m_iVertCount < 3) continue;
    const EBox3 box = renderpatch::Bounds(p.m_pVerts, p.m_iVertCount);
    p.m_LightBlock = ELightBlock();
    if (pLights) {
      pLights->GetStrongestLights(box, 12, 3, &p.m_LightBlock, nullptr, nullptr);
      ELightManager::SortLightsByType(&p.m_LightBlock);
    }
    p.m_pShadowEntity = nullptr;
    if (pCamera) Tessellate(p, LevelForDiagonal(pCamera->CalculateScreenDiagonal(box)));
  }
}

void ERenderPatchManager::DrawAll() {
  EProfileZone zone("Draw Patches", 0, false);
  ERenderer* r = g_pCurrentRenderer;
  m_iLastDraws = m_iLastVerts = 0;
  if (!r || !gGameApp) return;
  effectscene::IdentityTransforms();
  gGameApp->SetGeomShader(kVSGEOM_PROJECT);
  gGameApp->SetTexCoordTrans(EVec2(0, 0));
  gGameApp->SetTexcoordCompressScale(1.0f);
  gGameApp->SetAnisotropyLevel(1.0f);
  if (gGameApp->m_pSceneShading) gGameApp->m_pSceneShading->m_vAmbientColor = EVec3(0, 0, 0);
  const uint8_t byBinaryAlpha = effectscene::Settings().m_byBinaryAlphaThreshold;
  uint32_t ahVBs[2] = {m_pidVertexBuffers[0], m_pidVertexBuffers[1]};
  const int nPasses = gGameApp->m_DebugHooks.m_bShowWireframe ? 2 : 1;
  const EVec4 white(1, 1, 1, 1);
  for (int pass = 0; pass < nPasses; ++pass) {
    for (int slot = 0; slot <= m_pPatchArray->GetHighestUsed(); ++slot) {
      ERenderPatch& p = (*m_pPatchArray)[slot];
      if (!p.m_id) continue;
      if (p.m_iVertCount % 3 != 0)
        g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pPatch->m_iVertCount % 3 == 0", false);
      const uint32_t hTexture = pass == 1 || gGameApp->m_DebugHooks.m_bDebugLights
                                    ? gGameApp->m_hWhiteTexture
                                    : effectscene::TextureHandle(p.m_idTexture);
      ERenderState state;
      state.m_eCullMode = kCULL_NONE;
      if (pass == 1) {
        state.m_eFillMode = kFILL_WIREFRAME;
        state.m_fWireframeOffset = -6.0f;
      }
      if (hTexture && r->ContainsBinaryAlpha(hTexture)) {
        state.m_eAlphaFunc = kCMP_GREATEREQUAL;
        state.m_byAlphaRef = byBinaryAlpha;
      } else {
        state.m_eAlphaFunc = kCMP_NOTEQUAL;
        state.m_byAlphaRef = 0;
      }
      if (pass == 1) state.m_bAlphaTestEnable = false;
      r->SetRenderState(&state);
      if (EShaderPasses* passes = effectscene::Passes()) {
        if (pass == 0)
          passes->SetShaderColor1TexVL(white, hTexture, false, &p.m_LightBlock, 0);
        else
          passes->SetShaderColor1Tex(white, gGameApp->m_hWhiteTexture, 0, false, false, false);
      }
      // Whole triangles in batches that fit the buffers.
      const int kBatch = kBUFFER_VERTS - kBUFFER_VERTS % 3;
      for (int first = 0; first < p.m_iVertCount; first += kBatch) {
        const int n = p.m_iVertCount - first < kBatch ? p.m_iVertCount - first : kBatch;
        auto* pGeomBuffer = static_cast<renderpatch::GeomVertex*>(r->LockVertexBuffer(ahVBs[0], kBUFFER_VERTS, 0, 0));
        if (!pGeomBuffer) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pGeomBuffer", false);
        auto* pTexBuffer = static_cast<EVec2*>(r->LockVertexBuffer(ahVBs[1], kBUFFER_VERTS, 0, 0));
        if (!pTexBuffer) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pTexBuffer", false);
        for (int i = 0; i < n; ++i) {
          pGeomBuffer[i].pos = p.m_pVerts[first + i].vPos;
          pGeomBuffer[i].normal = p.m_pVerts[first + i].vNormal;
          pTexBuffer[i] = p.m_pVerts[first + i].vTex;
        }
        r->UnlockVertexBuffer(ahVBs[0]);
        r->UnlockVertexBuffer(ahVBs[1]);
        r->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLELIST, 2, ahVBs, (unsigned)n, 0);
        ++m_iLastDraws;
        m_iLastVerts += n;
      }
    }
  }
}
