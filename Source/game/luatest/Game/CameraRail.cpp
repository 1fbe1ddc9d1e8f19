// The rail camera: rides one camera path while it looks at a point on a
// second, at the place along them where the player is.
#include <cmath>

#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/MeshEntity.h"

namespace CameraRail {
const float kUNSET = 1e9f;
}  // namespace CameraRail

float GetSimpleSpringVelocity(float d, float k, float lo, float hi) {
  const float a = fabsf(d);
  return -SIGN(d) * MIN(PIN(k * a, lo, hi), a);
}

void ECamera::InitRailCamera() {
  m_eType = kCAMERA_RAIL;
  if (m_iPreviousType == kCAMERA_CHASE && m_ViewFrustum.m_bValid) {
    m_fInterpFrames = 50.0f;
    m_fInterpFrame = 0.0f;
    m_BlendCurve.Init(0.25f, 0.25f);
    m_vBlendStartPosition = GetPosition();
    m_qBlendStartRotation = GetRotationQuat();
  }
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  SetPrimaryTarget(pPlayer && pPlayer->IsMeshEntity() ? static_cast<EMeshEntity*>(pPlayer) : nullptr, false);
  MoveToIdeal();
}

void ECamera::SetRailCameraPaths(unsigned dwPositionPathId, unsigned dwLookPathId) {
  // A path that cannot hold a segment would be read past its end.
  const unsigned ids[] = {dwPositionPathId, dwLookPathId};
  for (unsigned id : ids) {
    const ECameraPath* pPath = ECameraPath::Find(id);
    if (pPath && pPath->GetWaypointCount() < 2) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Rail camera path %u has %d waypoints; at least 2 are needed\n", id,
                                   pPath->GetWaypointCount());
      return;
    }
  }
  m_dwRailPositionPath = dwPositionPathId;
  m_dwRailLookPath = dwLookPathId;
  m_fRailT = GetIdealT();
}

float ECamera::GetIdealT() {
  using CameraRail::kUNSET;
  const ECameraPath* pLook = ECameraPath::Find(m_dwRailLookPath);
  if (!pLook || pLook->GetWaypointCount() == 0) return 0.0f;
  const int n = pLook->GetWaypointCount();
  const ECameraWaypoint* w = pLook->GetWaypoints();
  const EVec3 P = GetTargetPosition(true);

  int c = 0;
  float best = TWMath::SqrDistance(P, w[0].m_vPosition);
  for (int i = 1; i < n; ++i) {
    const float d2 = TWMath::SqrDistance(P, w[i].m_vPosition);
    if (d2 < best) {
      best = d2;
      c = i;
    }
  }
  float fDistPrev = kUNSET, fDistNext = kUNSET, uPrev = 0.0f, uNext = 0.0f;
  if (c > 0)
    fDistPrev = TWMath::Distance(P, EFastSeg3(w[c - 1].m_vPosition, w[c].m_vPosition, TagPOINTS()), &uPrev);
  if (c < n - 1)
    fDistNext = TWMath::Distance(P, EFastSeg3(w[c].m_vPosition, w[c + 1].m_vPosition, TagPOINTS()), &uNext);
  if (fDistPrev == kUNSET && fDistNext == kUNSET) {
    g_ErrorManager.ErrorMessage("Game/RailCamera", 184, "fDistPrev != INFINITY || fDistNext != INFINITY", false);
    return 0.0f;
  }
  const float t = fDistPrev < fDistNext ? Lerp(w[c - 1].m_fT, w[c].m_fT, uPrev) : Lerp(w[c].m_fT, w[c + 1].m_fT, uNext);
  return PIN(t, 0.0f, 1.0f);
}

void ECamera::UpdateRailCamera(const Input*, float fStepMs) {
  using CameraRail::kUNSET;
  const float fFrames = fStepMs * 0.06f;
  if (m_dwRailPositionPath == 0 || m_dwRailLookPath == 0 || fFrames <= 0.0f) return;
  // A path deleted under the camera leaves it where it is.
  const ECameraPath* pPosPath = ECameraPath::Find(m_dwRailPositionPath);
  const ECameraPath* pLookPath = ECameraPath::Find(m_dwRailLookPath);
  if (!pPosPath || !pLookPath) return;

  const float t = GetIdealT();
  if (m_fInterpFrames != 0.0f)
    m_fRailT = t;
  else
    m_fRailT = PIN(m_fRailT + GetSimpleSpringVelocity(m_fRailT - t, 0.2f, 0.0f, 1e9f), 0.0f, 1.0f);

  int p0 = 0, p1 = 0, l0 = 0, l1 = 0;
  float pu = 0.0f, lu = 0.0f;
  if (!pPosPath->GetSegmentPosition(m_fRailT, 0, p0, p1, pu)) {
    g_ErrorManager.ErrorMessage("Game/RailCamera", 74, "Couldn't find segment position within rail camera path", false);
    return;
  }
  if (!pLookPath->GetSegmentPosition(m_fRailT, 0, l0, l1, lu)) {
    g_ErrorManager.ErrorMessage("Game/RailCamera", 82, "Couldn't find segment position within rail camera path", false);
    return;
  }
  EVec3 position = pPosPath->GetWaypoint(p0).m_vPosition.Lerp(pPosPath->GetWaypoint(p1).m_vPosition, pu);
  const EVec3 look = pLookPath->GetWaypoint(l0).m_vPosition.Lerp(pLookPath->GetWaypoint(l1).m_vPosition, lu);

  if (m_vRailSpherical.x != kUNSET || m_vRailSpherical.z != kUNSET) {
    const EVec3 L = look + RelativeCylindricToCartesian(EVec3(0.0f, 0.0f, m_fRailLookHeight));
    EVec3 s = CartesianToRelativeSpherical(position - L);
    if (m_vRailSpherical.x != kUNSET) s.x = m_vRailSpherical.x;
    if (m_vRailSpherical.z != kUNSET) s.z = m_vRailSpherical.z;
    position = L + RelativeSphericalToCartesian(s);
  }
  SetPosition(position);

  EVec3 dir = look - position;
  dir.Normalize();
  EQuat q;
  q.FromCartesian(dir);
  SetRotationQuat(q.InterpretAsForward(GetTargetUpVector()));
}
