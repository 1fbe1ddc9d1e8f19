#include "VERirezo/DebugLine.h"

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Frustum.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Matrix.h"

EDebugLineManager* gDebugLine = nullptr;
EDebugTriManager* gDebugTri = nullptr;

namespace DebugDraw {

const uint32_t kWhite = 0xFFFFFFFFu;
const float kCircleStep = 12.857142f;  // 28 segments
const int kCircleSegments = 28;

// Whether the box can be seen by the application's current camera; with no
// camera nothing is culled.
bool BoxSeen(const EBox3& box) {
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  return !pCamera || pCamera->BoxVisible(box, nullptr, false);
}

// The dwords of a push buffer holding `vertices` position-and-colour
// vertices in batches, and the number of batches.
void PushSizes(int vertices, unsigned& words, unsigned& batches) {
  words = 4u * (unsigned)vertices;
  batches = words / (4u * kDEBUG_BATCH_VERTICES) + 1u;
}

void PushVertex(uint32_t*& p, const VERTEX_NOTEX_DIFF& v) {
  RendererPushData(p, v.m_vPosition);
  RendererPushData(p, v.m_dwColor);
}

// Pushes every element of the group from the pool in batches of 510
// vertices; returns the elements pushed.
template <class T, int N>
int PushGroup(EDataArray<T>* pPool, int iGroup, int nCount, int (*groupOf)(const T&), uint32_t*& p,
              unsigned batches) {
  int slot = 0;
  int pushed = 0;
  int remaining = nCount * N;
  for (unsigned b = 0; b < batches; ++b) {
    const int batchVerts = b + 1 < batches ? kDEBUG_BATCH_VERTICES : remaining;
    RendererPushHeader(p, (unsigned)batchVerts * 4u);
    int verts = 0;
    for (; verts < batchVerts && slot <= pPool->GetHighestUsed(); ++slot) {
      const T& e = (*pPool)[slot];
      if (!e.m_id || groupOf(e) != iGroup) continue;
      for (int k = 0; k < N; ++k) PushVertex(p, e.m_aVerts[k]);
      verts += N;
      ++pushed;
    }
    remaining -= verts;
  }
  return pushed;
}

int LineGroup(const EDebugLine& l) { return (l.m_dwFlags & kDEBUGLINE_NO_DEPTH) ? 1 : 0; }

int TriGroup(const EDebugTri& t) {
  if (t.m_dwFlags & kDEBUGTRI_WIREFRAME) return 2;
  return t.m_aVerts[0].m_dwColor < 0xFF000000u ? 1 : 0;
}

}  // namespace DebugDraw

// ---------------------------------------------------------------------------

EDebugLineManager::EDebugLineManager()
    : m_pLines(new EDataArray<EDebugLine>("Debug Lines", 1024, kDATAARRAY_GROWABLE, kMEMTYPE_Debug)),
      m_aDeferredSpheres(kMEMTYPE_Debug),
      m_nLinesDrawn(0) {
  m_anLines[0] = m_anLines[1] = 0;
}

EDebugLineManager::~EDebugLineManager() {
  delete m_pLines;
  m_aDeferredSpheres.Empty();
}

void EDebugLineManager::AddLine(const EVec3& a, const EVec3& b, const EVec4* pColor, uint32_t dwFlags) {
  if (!(dwFlags & kDEBUGLINE_NO_CULL) && !DebugDraw::BoxSeen(EBox3(a.Min(b), a.Max(b)))) return;
  if (m_anLines[0] + m_anLines[1] >= kMAX_DEBUG_LINES) return;
  EDebugLine* pLine = m_pLines->ElementGet(m_pLines->ElementNew());
  if (!pLine) return;
  const uint32_t color = pColor ? ColorVectorToRGBA(*pColor) : DebugDraw::kWhite;
  pLine->m_aVerts[0].m_vPosition = a;
  pLine->m_aVerts[0].m_dwColor = color;
  pLine->m_aVerts[1].m_vPosition = b;
  pLine->m_aVerts[1].m_dwColor = color;
  pLine->m_dwFlags = dwFlags;
  ++m_anLines[DebugDraw::LineGroup(*pLine)];
}

void EDebugLineManager::AddArrow(const EVec3& from, const EVec3& to, const EVec4* pColor, uint32_t dwFlags) {
  EVec3 d = to - from;
  const float length = d.Normalize();
  const float h = length / 15.0f;
  const EVec3 r = d.CalculateRightVector(EVec3(0.0f, 1.0f, 0.0f));
  AddLine(from, to, pColor, dwFlags);
  AddLine(to, to + r * h - d * h, pColor, dwFlags);
  AddLine(to, to - r * h - d * h, pColor, dwFlags);
}

namespace DebugDraw {

// The twelve edges of eight corners ordered as a box's are.
void AddTwelveEdges(EDebugLineManager* pManager, const EVec3* c, const EVec4* pColor, uint32_t dwFlags) {
  static const int kEdges[12][2] = {{0, 1}, {0, 2}, {0, 4}, {3, 2}, {3, 1}, {3, 7},
                                    {5, 4}, {5, 7}, {5, 1}, {6, 7}, {6, 4}, {6, 2}};
  for (const auto& e : kEdges) pManager->AddLine(c[e[0]], c[e[1]], pColor, dwFlags);
}

}  // namespace DebugDraw

void EDebugLineManager::AddBox(const EBox3& box, const EMat4* pMatrix, const EVec4* pColor, uint32_t dwFlags) {
  EVec3 c[8];
  for (int i = 0; i < 8; ++i) {
    c[i] = EVec3((i & 4) ? box.vMax.x : box.vMin.x, (i & 2) ? box.vMax.y : box.vMin.y,
                 (i & 1) ? box.vMax.z : box.vMin.z);
    if (pMatrix) c[i] = pMatrix->TransformPointPerspective(c[i]);
  }
  DebugDraw::AddTwelveEdges(this, c, pColor, dwFlags);
}

void EDebugLineManager::AddFrustum(const EFrustum& frustum, const EVec4* pColor, uint32_t dwFlags) {
  DebugDraw::AddTwelveEdges(this, frustum.m_aCorners, pColor, dwFlags);
}

void EDebugLineManager::AddSphere(const EVec3& vCentre, float fRadius, const EVec4* pColor) {
  AddSphere(ESphere(vCentre, fRadius), pColor);
}

void EDebugLineManager::AddSphere(const ESphere& sphere, const EVec4* pColor) {
  const EBox3 box(sphere);
  if (!DebugDraw::BoxSeen(box)) return;
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  const float diagonal = pCamera ? pCamera->CalculateScreenDiagonal(box) : 0.0f;
  const int n = 4 * PIN((int)(diagonal / 5.0f), 2, 24);
  const float r = sphere.radius;
  const EVec3& o = sphere.centre;
  for (int i = 1; i <= n; ++i) {
    const float a0 = (float)(i - 1) * 360.0f / (float)n;
    const float a1 = (float)i * 360.0f / (float)n;
    const EVec3 p0(0.0f, r * Sine(a0), r * Cosine(a0));
    const EVec3 p1(0.0f, r * Sine(a1), r * Cosine(a1));
    AddLine(o + p0, o + p1, pColor, kDEBUGLINE_NO_CULL);
    const EVec3 q0(p0.y, p0.x, p0.z), q1(p1.y, p1.x, p1.z);
    AddLine(o + q0, o + q1, pColor, kDEBUGLINE_NO_CULL);
    const EVec3 s0(q0.x, q0.z, q0.y), s1(q1.x, q1.z, q1.y);
    AddLine(o + s0, o + s1, pColor, kDEBUGLINE_NO_CULL);
  }
}

void EDebugLineManager::AddTransformedSphere(const EMat4& m, float fRadius, const EVec4* pColor) {
  for (int i = 0; i < DebugDraw::kCircleSegments; ++i) {
    const float a0 = (float)i * DebugDraw::kCircleStep;
    const float a1 = (float)(i + 1) * DebugDraw::kCircleStep;
    const EVec3 p0(0.0f, fRadius * Sine(a0), fRadius * Cosine(a0));
    const EVec3 p1(0.0f, fRadius * Sine(a1), fRadius * Cosine(a1));
    const EVec3 q0(p0.y, p0.x, p0.z), q1(p1.y, p1.x, p1.z);
    const EVec3 s0(q0.x, q0.z, q0.y), s1(q1.x, q1.z, q1.y);
    AddLine(m.TransformPoint(p0), m.TransformPoint(p1), pColor, 0);
    AddLine(m.TransformPoint(q0), m.TransformPoint(q1), pColor, 0);
    AddLine(m.TransformPoint(s0), m.TransformPoint(s1), pColor, 0);
  }
}

void EDebugLineManager::AddDeferredSphere(const ESphere& sphere) {
  for (int i = 0; i < m_aDeferredSpheres.Num(); ++i) {
    const ESphere& s = m_aDeferredSpheres[i];
    if (s.centre == sphere.centre && s.radius == sphere.radius) return;
  }
  m_aDeferredSpheres.AddData(sphere);
}

void EDebugLineManager::AddCircle(const EMat4& m, float fRadius, const EVec4* pColor, uint32_t dwFlags) {
  const EVec3 start(fRadius, 0.0f, 0.0f);
  EVec3 prev = m.TransformPoint(start);
  for (int i = 1; i <= DebugDraw::kCircleSegments; ++i) {
    const EVec3 next = m.TransformPoint(start.RotateByEulerAngles(EEuler(0.0f, (float)i * DebugDraw::kCircleStep, 0.0f)));
    AddLine(prev, next, pColor, dwFlags);
    prev = next;
  }
}

void EDebugLineManager::AddCylinder(const EMat4& m, float fHeight, float fBottomRadius, float fTopRadius,
                                    const EVec4* pColor, uint32_t dwFlags) {
  AddCircle(m, fBottomRadius, pColor, dwFlags);
  EMat4 top = m;
  top.Translate(0.0f, fHeight, 0.0f);
  AddCircle(top, fTopRadius, pColor, dwFlags);
  for (int i = 0; i < 6; ++i) {
    const EEuler yaw(0.0f, (float)i * 60.0f, 0.0f);
    const EVec3 a = EVec3(fTopRadius, 0.0f, 0.0f).RotateByEulerAngles(yaw) + EVec3(0.0f, fHeight, 0.0f);
    const EVec3 b = EVec3(fBottomRadius, 0.0f, 0.0f).RotateByEulerAngles(yaw);
    AddLine(m.TransformPoint(a), m.TransformPoint(b), pColor, dwFlags);
  }
}

void EDebugLineManager::DrawAll() {
  for (int i = 0; i < m_aDeferredSpheres.Num(); ++i) AddSphere(m_aDeferredSpheres[i], nullptr);
  m_aDeferredSpheres.Empty();
  if (!m_pLines->GetNumUsed() || !g_pCurrentRenderer) return;
  gGameApp->SetModelToWorld(cg_mIdentity);
  int drawn = 0;
  for (int group = 0; group < 2; ++group) {
    if (!m_anLines[group]) continue;
    unsigned words = 0, batches = 0;
    DebugDraw::PushSizes(2 * m_anLines[group], words, batches);
    ERenderState state;
    state.m_eCullMode = kCULL_NONE;
    if (group == 1) state.m_eZFunc = kCMP_ALWAYS;
    g_pCurrentRenderer->SetRenderState(&state);
    gGameApp->SetShaderDiffuseColor(EVec4(1.0f, 1.0f, 1.0f, 1.0f));
    uint32_t* p = g_pCurrentRenderer->BeginPush(kVBDRAWMODE_LINELIST, batches + words + 4);
    drawn += DebugDraw::PushGroup<EDebugLine, 2>(m_pLines, group, m_anLines[group], DebugDraw::LineGroup, p,
                                                  batches);
    m_nLastPushBatches = (int)batches;
    m_dwLastPushBytes = g_pCurrentRenderer->m_dwPushBytes;
    g_pCurrentRenderer->EndPush(p);
  }
  m_nLinesDrawn = drawn;
}

void EDebugLineManager::ResetFrame() {
  m_pLines->DeleteAll();
  m_anLines[0] = m_anLines[1] = 0;
}

void EDebugLineManager::RestoreSize() { m_pLines->RestoreSize(true); }

// ---------------------------------------------------------------------------

EDebugTriManager::EDebugTriManager()
    : m_pTris(new EDataArray<EDebugTri>("Debug Tris", 1024, kDATAARRAY_GROWABLE, kMEMTYPE_Debug)) {
  m_anTris[0] = m_anTris[1] = m_anTris[2] = 0;
}

EDebugTriManager::~EDebugTriManager() { delete m_pTris; }

void EDebugTriManager::AddTri(const ETri3& tri, const EVec4* pColors, uint32_t dwFlags) {
  EBox3 box(tri.p0, tri.p0);
  box.Add(tri.p1);
  box.Add(tri.p2);
  if (!DebugDraw::BoxSeen(box)) return;
  if (m_anTris[0] + m_anTris[1] + m_anTris[2] >= kMAX_DEBUG_TRIS) return;
  // Corner order as stored: a triangle facing away is turned round.
  int order[3] = {0, 1, 2};
  ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
  if (pCamera && (pCamera->GetPosition() - tri.p0).Dot(tri.GetFaceNormal()) < 0.0f) {
    if (!(dwFlags & kDEBUGTRI_TWO_SIDED)) return;
    order[0] = 1;
    order[1] = 0;
  }
  EDebugTri* pTri = m_pTris->ElementGet(m_pTris->ElementNew());
  if (!pTri) return;
  const EVec3* corners[3] = {&tri.p0, &tri.p1, &tri.p2};
  for (int k = 0; k < 3; ++k) {
    const int from = order[k];
    pTri->m_aVerts[k].m_vPosition = *corners[from];
    uint32_t color = DebugDraw::kWhite;
    if (pColors) color = ColorVectorToRGBA(pColors[(dwFlags & kDEBUGTRI_ONE_COLOR) ? 0 : from]);
    pTri->m_aVerts[k].m_dwColor = color;
  }
  pTri->m_dwFlags = dwFlags;
  ++m_anTris[DebugDraw::TriGroup(*pTri)];
}

void EDebugTriManager::DrawAll() {
  if (!m_pTris->GetNumUsed() || !g_pCurrentRenderer) return;
  gGameApp->SetModelToWorld(cg_mIdentity);
  for (int group = 0; group < 3; ++group) {
    if (!m_anTris[group]) continue;
    unsigned words = 0, batches = 0;
    DebugDraw::PushSizes(3 * m_anTris[group], words, batches);
    ERenderState state;
    state.m_eCullMode = kCULL_NONE;
    state.m_byZBias = 1;
    if (group == 1) state.m_bZWriteEnable = false;
    if (group == 2) {
      state.m_eShadeMode = kSHADE_FLAT;
      state.m_eFillMode = kFILL_WIREFRAME;
      state.m_bAlphaTestEnable = false;
      state.m_fWireframeOffset = -6.0f;
    }
    g_pCurrentRenderer->SetRenderState(&state);
    gGameApp->SetShaderDiffuseColor(EVec4(1.0f, 1.0f, 1.0f, 1.0f));
    uint32_t* p = g_pCurrentRenderer->BeginPush(kVBDRAWMODE_TRIANGLELIST, batches + words + 4);
    DebugDraw::PushGroup<EDebugTri, 3>(m_pTris, group, m_anTris[group], DebugDraw::TriGroup, p, batches);
    g_pCurrentRenderer->EndPush(p);
  }
}

void EDebugTriManager::ResetFrame() {
  m_pTris->DeleteAll();
  m_anTris[0] = m_anTris[1] = m_anTris[2] = 0;
}

void EDebugTriManager::RestoreSize() { m_pTris->RestoreSize(true); }
