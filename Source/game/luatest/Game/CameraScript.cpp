// The script camera: stays where scripts put it, turns to its target when
// it has one, and flies camera paths.
#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"

bool ECamera::hasScriptTargets() const {
  return m_pPrimaryTarget || m_pSecondaryTarget || (m_byTargetFlags & kTARGET_Fixed);
}

void ECamera::InitScriptCamera() {
  m_eType = kCAMERA_SCRIPT;
  SetPrimaryTarget(nullptr, false);
  SetSecondaryTarget(nullptr, 1, false);
  m_bScriptPathTransformed = false;
}

void ECamera::MoveScriptCameraToIdeal() {
  if (hasScriptTargets()) CameraLookAt(GetTargetPosition(true));
}

void ECamera::SetScriptCameraPath(uint32_t dwPathId, const EMat4* pTransform) {
  m_dwScriptPathId = 0;
  m_fScriptPathElapsed = 0.0f;
  m_bScriptPathFirstStep = true;
  m_iScriptPathSegment = 0;
  const ECameraPath* pPath = ECameraPath::Find(dwPathId);
  if (!pPath || pPath->GetWaypointCount() == 0) return;

  m_dwScriptPathId = dwPathId;
  if (pPath->GetWaypoint(0).m_vRotation.z != 0.0f) SetTargetFrameRotationFlag(true);
  m_bScriptPathTransformed = pTransform != nullptr;
  if (pTransform) m_mScriptPathTransform = *pTransform;
}

void ECamera::UpdateScriptCamera(const Input*, float fStepMs) {
  const bool bTargeting = hasScriptTargets();
  if (m_dwScriptPathId != 0) {
    const ECameraPath* pPath = ECameraPath::Find(m_dwScriptPathId);
    if (!pPath) {
      // Said once: the path is forgotten, and the camera stays where it is.
      g_ErrorManager.TraceMessagef(TT_Warning, "Script camera still has a reference to a deleted path\n");
      m_dwScriptPathId = 0;
    } else {
      if (m_bScriptPathFirstStep) {
        m_fScriptPathElapsed = fStepMs;
        m_bScriptPathFirstStep = false;
      } else {
        m_fScriptPathElapsed += fStepMs;
      }
      const float fDuration = pPath->GetDurationMs();
      const float d = fDuration > 0.0f ? m_fScriptPathElapsed / fDuration : 1.0f;
      const EQuat qFrame = m_bScriptPathTransformed ? EQuat(m_mScriptPathTransform.GetRotation()) : EQuat();

      if (d >= 1.0f) {
        const ECameraWaypoint& w = pPath->GetWaypoint(pPath->GetWaypointCount() - 1);
        SetPosition(m_bScriptPathTransformed ? m_mScriptPathTransform.MulVec3(w.m_vPosition) : w.m_vPosition);
        if (!bTargeting) {
          const EQuat q(w.m_vRotation);
          SetRotationQuat(m_bScriptPathTransformed ? qFrame * q : q);
        }
        m_dwScriptPathId = 0;
      } else if (d >= 0.0f) {
        const float p = pPath->GetPathCurve().GetPosition(d);
        int i0 = 0, i1 = 0;
        float u = 0.0f;
        if (!pPath->GetSegmentPosition(p, m_iScriptPathSegment, i0, i1, u)) {
          // Reported; the camera keeps its place, orientation and view.
          g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Couldn't find segment position within script camera path",
                                      true);
        } else {
          const ECameraWaypoint& w0 = pPath->GetWaypoint(i0);
          const ECameraWaypoint& w1 = pPath->GetWaypoint(i1);
          const EVec3 pos = w0.m_vPosition + (w1.m_vPosition - w0.m_vPosition) * u;
          SetPosition(m_bScriptPathTransformed ? m_mScriptPathTransform.MulVec3(pos) : pos);
          if (!bTargeting) {
            const EQuat q = EQuat(w0.m_vRotation).Slerp(EQuat(w1.m_vRotation), u, true);
            SetRotationQuat(m_bScriptPathTransformed ? qFrame * q : q);
          }
          m_fFieldOfView = LerpFieldOfView(w0.m_fFieldOfView, w1.m_fFieldOfView, u);
          m_iScriptPathSegment = i0;
        }
      }
    }
  }
  if (bTargeting) CameraLookAt(GetTargetPosition(true));
}
