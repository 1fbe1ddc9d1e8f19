// Camera paths: building them from keys, finding the segment of a path
// parameter, and their debug drawing.
#include "Game/CameraPath.h"

#include <cstdlib>
#include <cstring>

#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/DebugLine.h"

namespace CameraPathDetail {
const float kEPSILON = 0.00001f;

// A failed check of the initialisers; fatal unless the report returns.
bool CheckFailed(int line, const char* szCheck) {
  g_ErrorManager.ErrorMessage(__FILE__, line, szCheck, false);
  return false;
}
}  // namespace CameraPathDetail

ECameraPath::ECameraPath() : m_fDurationMs(0.0f), m_pWaypoint(nullptr), m_iWaypointCount(0), m_byKeep(0) {}

ECameraPath::~ECameraPath() { free(m_pWaypoint); }

void ECameraPath::initTiming(float fSeconds, float fAccelSeconds, float fDecelSeconds) {
  m_fDurationMs = fSeconds * 1000.0f;
  if (fSeconds != 0.0f)
    m_PathCurve.Init(fAccelSeconds / fSeconds, fDecelSeconds / fSeconds);
  else
    m_PathCurve.Init(0.0f, 0.0f);
}

bool ECameraPath::Init(ECameraWaypoint* pWaypoint, int iWaypointCount, float fSeconds, float fAccelSeconds,
                       float fDecelSeconds) {
  using CameraPathDetail::CheckFailed;
  if (m_pWaypoint != nullptr) return CheckFailed(__LINE__, "m_pWaypoint == NULL");
  if (!(pWaypoint && iWaypointCount >= 2)) return CheckFailed(__LINE__, "pWaypoint && iWaypointCount >= 2");
  initTiming(fSeconds, fAccelSeconds, fDecelSeconds);
  m_pWaypoint = pWaypoint;
  m_iWaypointCount = iWaypointCount;
  for (int i = 0; i < iWaypointCount; ++i) m_pWaypoint[i].m_fT = (float)i / (float)(iWaypointCount - 1);
  m_pWaypoint[iWaypointCount - 1].m_fT = 1.0f;
  return true;
}

bool ECameraPath::InitAndSubdivide(ECameraWaypoint* pKey, int iKeyCount, float fSeconds, float fAccelSeconds,
                                   float fDecelSeconds) {
  using CameraPathDetail::CheckFailed;
  using CameraPathDetail::kEPSILON;
  if (m_pWaypoint != nullptr) return CheckFailed(__LINE__, "m_pWaypoint == NULL");
  if (!(pKey && iKeyCount >= 2)) return CheckFailed(__LINE__, "pKey && iKeyCount >= 2");

  if (iKeyCount == 2) {
    ECameraWaypoint* pCopy = static_cast<ECameraWaypoint*>(malloc(2 * sizeof(ECameraWaypoint)));
    EASSERT(pCopy);
    memcpy(static_cast<void*>(pCopy), pKey, 2 * sizeof(ECameraWaypoint));
    if (Init(pCopy, 2, fSeconds, fAccelSeconds, fDecelSeconds)) return true;
    free(pCopy);
    return false;
  }

  const int kN = kSAMPLES_PER_SPAN;
  const int iCount = (iKeyCount - 1) * kN + 1;
  ECameraWaypoint* w = static_cast<ECameraWaypoint*>(malloc((size_t)iCount * sizeof(ECameraWaypoint)));
  EASSERT(w);
  memset(static_cast<void*>(w), 0, (size_t)iCount * sizeof(ECameraWaypoint));

  pKey[0].m_fT = 0.0f;
  w[0] = pKey[0];
  w[0].m_dwFlags = ECameraWaypoint::kKEY;

  // Positions along Catmull-Rom spans; the ends repeat the end keys.
  for (int s = 0; s < iKeyCount - 1; ++s) {
    const EVec3 k[4] = {pKey[s > 0 ? s - 1 : s].m_vPosition, pKey[s].m_vPosition, pKey[s + 1].m_vPosition,
                        pKey[s + 2 < iKeyCount ? s + 2 : s + 1].m_vPosition};
    EPositionCurveSegment seg;
    seg.InitCatmullRom(k);
    for (int j = 1; j <= kN; ++j) {
      ECameraWaypoint& p = w[s * kN + j];
      p.m_vPosition = seg.Evaluate((float)j / (float)kN);
      p.m_dwFlags = j == kN ? (uint32_t)ECameraWaypoint::kKEY : 0u;
    }
  }

  // The parameter by arc length; each key gets the length at its own place.
  float L = 0.0f;
  for (int k = 1; k < iCount; ++k) {
    L += TWMath::Distance(w[k - 1].m_vPosition, w[k].m_vPosition);
    w[k].m_fT = L;
    const int iKeyIndex = (k - 1) / kN + 1;
    if (!(iKeyIndex < iKeyCount)) {
      free(w);
      return CheckFailed(__LINE__, "iKeyIndex < iKeyCount");
    }
    pKey[iKeyIndex].m_fT = L;
  }
  // Keys at one place sample to distances of rounding noise: spread those
  // evenly too.
  bool bOnePlace = true;
  for (int i = 1; i < iKeyCount && bOnePlace; ++i) bOnePlace = pKey[i].m_vPosition == pKey[0].m_vPosition;
  if (L != 0.0f && !bOnePlace) {
    const float inv = 1.0f / L;
    for (int k = 1; k < iCount; ++k) w[k].m_fT *= inv;
    for (int i = 1; i < iKeyCount; ++i) pKey[i].m_fT *= inv;
  } else {
    // All keys at one point: spread evenly.
    for (int k = 1; k < iCount; ++k) w[k].m_fT = (float)k / (float)(iCount - 1);
    for (int i = 1; i < iKeyCount; ++i) pKey[i].m_fT = (float)i / (float)(iKeyCount - 1);
  }
  if (!Equal(w[iCount - 1].m_fT, 1.0f, kEPSILON)) {
    free(w);
    return CheckFailed(__LINE__, "Equal(m_pWaypoint[m_iWaypointCount - 1].m_fT, 1.0f, EPSILON)");
  }
  if (!Equal(pKey[iKeyCount - 1].m_fT, 1.0f, kEPSILON)) {
    free(w);
    return CheckFailed(__LINE__, "Equal(pKey[iKeyCount - 1].m_fT, 1.0f, EPSILON)");
  }
  w[iCount - 1].m_fT = 1.0f;
  pKey[iKeyCount - 1].m_fT = 1.0f;

  // Orientation and field of view follow the distance travelled.
  for (int s = 0; s < iKeyCount - 1; ++s) {
    const EVec3 e[4] = {pKey[s > 0 ? s - 1 : s].m_vRotation, pKey[s].m_vRotation, pKey[s + 1].m_vRotation,
                        pKey[s + 2 < iKeyCount ? s + 2 : s + 1].m_vRotation};
    ERotationCurveSegment seg;
    seg.InitRotationSpline(e);
    const float t0 = pKey[s].m_fT;
    const float span = pKey[s + 1].m_fT - t0;
    for (int j = 1; j <= kN; ++j) {
      ECameraWaypoint& p = w[s * kN + j];
      // Two keys at one place leave their span no length: it turns by the
      // sample count, as no distance is travelled through it.
      const float fT = span != 0.0f ? (p.m_fT - t0) / span : (float)j / (float)kN;
      if (!(fT >= 0.0f && fT <= 1.0f)) {
        free(w);
        return CheckFailed(__LINE__, "fT >= 0.0f && fT <= 1.0f");
      }
      p.m_vRotation = seg.Evaluate(fT);
      p.m_fFieldOfView = pKey[s].m_fFieldOfView + (pKey[s + 1].m_fFieldOfView - pKey[s].m_fFieldOfView) * fT;
    }
  }

  initTiming(fSeconds, fAccelSeconds, fDecelSeconds);
  m_pWaypoint = w;
  m_iWaypointCount = iCount;
  return true;
}

bool ECameraPath::GetSegmentPosition(float t, int iStartIndex, int& iIndex0, int& iIndex1, float& u) const {
  if (iStartIndex < 0 || iStartIndex >= m_iWaypointCount) return false;
  if (m_pWaypoint[iStartIndex].m_fT > t) return false;
  for (int i = iStartIndex; i < m_iWaypointCount - 1; ++i) {
    const ECameraWaypoint& a = m_pWaypoint[i];
    const ECameraWaypoint& b = m_pWaypoint[i + 1];
    if (t <= b.m_fT) {
      iIndex0 = i;
      iIndex1 = i + 1;
      u = (a.m_dwFlags & ECameraWaypoint::kCUT) ? 0.0f : PIN(SafeDivide(t - a.m_fT, b.m_fT - a.m_fT), 0.0f, 1.0f);
      return true;
    }
  }
  return false;
}

void ECameraPath::RequestRender(const EVec4& colour) const {
  if (!gDebugLine) return;
  for (int i = 0; i < m_iWaypointCount; ++i) {
    const ECameraWaypoint& p = m_pWaypoint[i];
    if (i + 1 < m_iWaypointCount) gDebugLine->AddLine(p.m_vPosition, m_pWaypoint[i + 1].m_vPosition, &colour, 0);
    if (i == 0 || i == m_iWaypointCount - 1 || (p.m_dwFlags & ECameraWaypoint::kKEY)) {
      gDebugLine->AddSphere(p.m_vPosition, 50.0f, &colour);
      gDebugLine->AddArrow(p.m_vPosition, p.m_vPosition + p.m_vRotation.EulerToCartesian() * 200.0f, &colour, 0);
    }
  }
}

ECameraPath* ECameraPath::Find(uint32_t dwId) {
  if (dwId == 0 || !gGameApp || !gGameApp->m_pCameraPaths) return nullptr;
  return gGameApp->m_pCameraPaths->ElementGet(dwId);
}

ECameraPathPool* CreateCameraPathPool() { return new ECameraPathPool("Camera Paths", 16, 0, kMEMTYPE_Misc); }

void DeleteUnkeptCameraPaths(ECameraPathPool& pool) {
  for (int i = 0; i <= pool.GetHighestUsed(); ++i) {
    ECameraPath& path = pool[i];
    if (path.m_id && !path.GetKeep()) pool.ElementDelete(&path);
  }
}
