#include "Game/Camera.h"

ECamera::ECamera()
    : m_eType(kCAMERA_SCRIPT),
      m_vPosition(0.0f, 0.0f, 0.0f),
      m_vRight(1.0f, 0.0f, 0.0f),
      m_vUp(0.0f, 1.0f, 0.0f),
      m_vView(0.0f, 0.0f, 1.0f),
      m_bVisibilityCheck(true) {
  initTrackingState();
}

ECamera::~ECamera() {
  if (sm_pLockedVisCamera == this) sm_pLockedVisCamera = nullptr;
}

void ECamera::SetRotation(const EVec3& vRight, const EVec3& vUp, const EVec3& vView) {
  m_vRight = vRight;
  m_vUp = vUp;
  m_vView = vView;
}

// The view, projection and frustum follow GetRenderPosition() here.
void ECamera::BuildMatrices() {}

EVec3 ECamera::WorldCoordsToScreen(const EVec3& vPoint, bool) const {
  const EVec3 d = vPoint - m_vPosition;
  const float z = d.x * m_vView.x + d.y * m_vView.y + d.z * m_vView.z;
  if (z <= 0.0f) return EVec3(0.0f, 0.0f, z);
  const float right = d.x * m_vRight.x + d.y * m_vRight.y + d.z * m_vRight.z;
  const float up = d.x * m_vUp.x + d.y * m_vUp.y + d.z * m_vUp.z;
  return EVec3(320.0f + right / z * 320.0f, 240.0f - up / z * 320.0f, z);
}
