#include "VERirezo/RenderSpline.h"

#include <cstdlib>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "Game/ShaderConstants.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Curve.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/EffectScene.h"
#include "VERirezo/LightManager.h"

namespace renderspline {

struct GeomVertex {
  EVec3 pos, normal;
};
struct UVVertex {
  float u, v;
};
static_assert(sizeof(GeomVertex) == 24 && sizeof(UVVertex) == 8, "vertex formats 3 and 9");

const float kUV_SCALE = 1.0f / 4096.0f;

EBox3 Bounds(const EVec3* p, int n) {
  EBox3 box(p[0], p[0]);
  for (int i = 1; i < n; ++i) {
    box.vMin = box.vMin.Min(p[i]);
    box.vMax = box.vMax.Max(p[i]);
  }
  return box;
}

}  // namespace renderspline

ERenderSpline::ERenderSpline()
    : m_pPoints(nullptr), m_iPointCount(0), m_fThickness(0), m_hTexture(0), m_fTexDensity(1), m_vColor(1, 1, 1, 1),
      m_iPointsPerSpan(2), m_eBlendMode(kBLENDMODE_DECAL), m_dwFlags(0) {}

ERenderSpline::~ERenderSpline() { delete[] m_pPoints; }

ERenderSplineManager::ERenderSplineManager()
    : m_pSplineArray(
          new EDataArray<ERenderSpline>("Render Splines", kINITIAL_SPLINES, kDATAARRAY_GROWABLE, kMEMTYPE_AppGraph)),
      m_pidVertexBuffers(new uint32_t[4]()), m_iBufferPair(0), m_iLastVertexCount(0), m_iLastDraws(0) {
  if (ERenderer* r = g_pCurrentRenderer) {
    for (int pair = 0; pair < 2; ++pair) {
      m_pidVertexBuffers[2 * pair] =
          r->CreateVertexBuffer(kVBFORMAT_POSITION_NORMAL, kBUFFER_VERTS, kVBFLAG_DYNAMIC, "renderSpline Geom");
      m_pidVertexBuffers[2 * pair + 1] =
          r->CreateVertexBuffer(kVBFORMAT_TEXCOORD0, kBUFFER_VERTS, kVBFLAG_DYNAMIC, "renderSpline UVs");
    }
  }
}

ERenderSplineManager::~ERenderSplineManager() {
  delete m_pSplineArray;
  for (int i = 0; i < 4; ++i)
    if (m_pidVertexBuffers[i] && g_pCurrentRenderer) g_pCurrentRenderer->DeleteVertexBuffer(m_pidVertexBuffers[i]);
  delete[] m_pidVertexBuffers;
}

void ERenderSplineManager::AddSpline(const EVec3* pPoints, int iCount, float fThickness, uint32_t idTexture,
                                     float fTexDensity, int iPointsPerSpan, uint32_t dwFlags, BLENDMODE eBlendMode,
                                     const EVec4* pColor) {
  if (!gGameApp || !gGameApp->m_DebugHooks.m_bRenderSplines || !pPoints || iCount < 1) return;
  if (ECamera* pCamera = gGameApp->GetCurrentCamera()) {
    if (!pCamera->BoxVisible(renderspline::Bounds(pPoints, iCount), nullptr, false)) return;
  }
  const EDataId id = m_pSplineArray->ElementNew();
  if (!id) return;
  ERenderSpline* s = m_pSplineArray->ElementGet(id);
  s->m_pPoints = new EVec3[iCount];
  memcpy(static_cast<void*>(s->m_pPoints), pPoints, sizeof(EVec3) * (size_t)iCount);
  s->m_iPointCount = iCount;
  s->m_fThickness = fThickness;
  if (!idTexture) idTexture = gGameApp->GetRopeTexture();
  s->m_hTexture = gGameApp->m_DebugHooks.m_bDebugLights ? gGameApp->m_hWhiteTexture
                                                         : effectscene::TextureHandle(idTexture);
  s->m_fTexDensity = fTexDensity;
  s->m_vColor = pColor ? *pColor : EVec4(1, 1, 1, 1);
  s->m_iPointsPerSpan = iPointsPerSpan < 2 ? 2 : iPointsPerSpan;
  s->m_eBlendMode = eBlendMode;
  s->m_dwFlags = dwFlags;
}

void ERenderSplineManager::ResetFrame() { m_pSplineArray->DeleteAll(); }

void ERenderSplineManager::RestoreSize() { m_pSplineArray->RestoreSize(false); }

void ERenderSplineManager::PreprocessAll() {
  ELightManager* pLights = gGameApp ? gGameApp->GetLightManager() : nullptr;
  for (int slot = 0; slot <= m_pSplineArray->GetHighestUsed(); ++slot) {
    ERenderSpline& s = (*m_pSplineArray)[slot];
    if (!s.m_id || s.m_iPointCount < 1) continue;
    s.m_LightBlock = ELightBlock();
    if (pLights) {
      pLights->GetStrongestLights(renderspline::Bounds(s.m_pPoints, s.m_iPointCount), 12, 3, &s.m_LightBlock, nullptr,
                                  nullptr);
      ELightManager::SortLightsByType(&s.m_LightBlock);
    }
    if (s.m_dwFlags & kRENDERSPLINEFLAG_NO_SMOOTHING) continue;
    const int n = s.m_iPointCount, k = s.m_iPointsPerSpan;
    const int iNewPointCount = (k - 1) * (n - 1) + 1;
    EVec3* pNew = new EVec3[iNewPointCount];
    int iNextPoint = 0;
    pNew[iNextPoint++] = s.m_pPoints[0];
    for (int i = 0; i + 1 < n; ++i) {
      const EVec3 keys[4] = {s.m_pPoints[i > 0 ? i - 1 : i], s.m_pPoints[i], s.m_pPoints[i + 1],
                             s.m_pPoints[i + 2 < n ? i + 2 : i + 1]};
      EPositionCurveSegment seg;
      seg.InitCatmullRom(keys);
      for (int j = 1; j <= k - 1; ++j) pNew[iNextPoint++] = seg.Evaluate((float)j / (float)(k - 1));
    }
    if (iNextPoint != iNewPointCount)
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iNextPoint == iNewPointCount", false);
    delete[] s.m_pPoints;
    s.m_pPoints = pNew;
    s.m_iPointCount = iNewPointCount;
  }
}

void ERenderSplineManager::DrawAll() {
  EProfileZone zone("Draw Splines", 0, false);
  ERenderer* r = g_pCurrentRenderer;
  m_iBufferPair = (m_iBufferPair + 1) % 2;
  m_iLastVertexCount = m_iLastDraws = 0;
  if (!r || !gGameApp) return;
  uint32_t ahVBs[2] = {m_pidVertexBuffers[2 * m_iBufferPair], m_pidVertexBuffers[2 * m_iBufferPair + 1]};
  auto* pGeomBuffer = static_cast<renderspline::GeomVertex*>(r->LockVertexBuffer(ahVBs[0], kBUFFER_VERTS, 0, 0));
  if (!pGeomBuffer) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pGeomBuffer", false);
  auto* pTexBuffer = static_cast<renderspline::UVVertex*>(r->LockVertexBuffer(ahVBs[1], kBUFFER_VERTS, 0, 0));
  if (!pTexBuffer) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pTexBuffer", false);

  // Every spline's tube first, then one draw per spline under its own state.
  struct Range {
    int slot, first, count;
  };
  const int nSlots = m_pSplineArray->GetHighestUsed() + 1;
  Range* pRanges = static_cast<Range*>(malloc(sizeof(Range) * (size_t)(nSlots > 0 ? nSlots : 1)));
  int nRanges = 0, nVerts = 0;
  bool bWarned = false;
  const EVec3 up(0, 1, 0);
  for (int slot = 0; slot < nSlots; ++slot) {
    const ERenderSpline& s = (*m_pSplineArray)[slot];
    if (!s.m_id) continue;
    const int first = nVerts;
    float v = 0.0f;
    for (int i = 0; i + 1 < s.m_iPointCount; ++i) {
      if (i % kRUN_SEGMENTS == 0) v = 0.0f;
      const EVec3& P0 = s.m_pPoints[i];
      const EVec3& P1 = s.m_pPoints[i + 1];
      const EVec3 d = P1 - P0;
      // A segment along up takes the fallback side axis, and its faces turn
      // about the segment instead of about up.
      const EVec3 side = d.CalculateRightVector(up);
      const bool bAlongUp = d.GetNormal().Parallel(up);
      const EVec3 faceUp = bAlongUp ? side.Cross(d).GetNormal() : up;
      const float dv = d.Length() * s.m_fTexDensity;
      for (int face = 0; face < 4; ++face) {
        const float sign = (face & 1) ? 1.0f : -1.0f;
        const EVec3 A = face < 2 ? side * sign : faceUp * sign;
        const EVec3 B = face < 2 ? faceUp * -sign : side * sign;
        const EQuad3 q(P0 + (A + B) * s.m_fThickness, P0 + (A - B) * s.m_fThickness, P1 + (A + B) * s.m_fThickness,
                       P1 + (A - B) * s.m_fThickness);
        const EVec3 nPlus = (A + B).GetNormal(), nMinus = (A - B).GetNormal();
        const float v0 = v, v1 = v + dv;
        v = v1;
        if (nVerts + 6 > kBUFFER_VERTS) {
          if (!bWarned)
            g_ErrorManager.TraceMessagef(TT_Warning, "Spline VBs too small (%d verts)", (int)kBUFFER_VERTS);
          bWarned = true;
          continue;
        }
        static const int kCorner[6] = {0, 1, 3, 0, 3, 2};
        for (int c : kCorner) {
          const bool bPlus = c == 0 || c == 2;
          pGeomBuffer[nVerts].pos = q.p[c];
          pGeomBuffer[nVerts].normal = bPlus ? nPlus : nMinus;
          pTexBuffer[nVerts].u = (bPlus ? 1.0f : 0.0f) * renderspline::kUV_SCALE;
          pTexBuffer[nVerts].v = (c < 2 ? v0 : v1) * renderspline::kUV_SCALE;
          ++nVerts;
        }
      }
    }
    if (nVerts > first) pRanges[nRanges++] = Range{slot, first, nVerts - first};
  }
  r->UnlockVertexBuffer(ahVBs[0]);
  r->UnlockVertexBuffer(ahVBs[1]);
  m_iLastVertexCount = nVerts;

  effectscene::IdentityTransforms();
  gGameApp->SetGeomShader(kVSGEOM_PROJECT);
  gGameApp->SetTexcoordCompressScale(4096.0f);
  gGameApp->SetAnisotropyLevel(1.0f);
  if (gGameApp->m_pSceneShading) gGameApp->m_pSceneShading->m_vAmbientColor = EVec3(0, 0, 0);
  for (int i = 0; i < nRanges; ++i) {
    ERenderSpline& s = (*m_pSplineArray)[pRanges[i].slot];
    ERenderState state;
    state.m_eBlendMode = s.m_eBlendMode;
    if (s.m_eBlendMode != kBLENDMODE_DECAL) state.m_bZWriteEnable = false;
    r->SetRenderState(&state);
    if (EShaderPasses* passes = effectscene::Passes())
      passes->SetShaderColor1TexVL(s.m_vColor, s.m_hTexture, false, &s.m_LightBlock, 0);
    r->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLELIST, 2, ahVBs, (unsigned)pRanges[i].count,
                                  (unsigned)pRanges[i].first);
    ++m_iLastDraws;
  }
  free(pRanges);
}
