#include "Game/Camera.h"

#include <cmath>

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

bool ECamera::BoxVisible(const EBox3& box, void*, bool) const {
  // Camera-space corners against the near plane and the four side planes.
  int aOutside[5] = {0, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) {
    const EVec3 c((i & 1) ? box.vMax.x : box.vMin.x, (i & 2) ? box.vMax.y : box.vMin.y, (i & 4) ? box.vMax.z : box.vMin.z);
    const EVec3 d = c - m_vPosition;
    const float z = d.Dot(m_vView), x = d.Dot(m_vRight), y = d.Dot(m_vUp);
    aOutside[0] += z <= 0.0f;
    aOutside[1] += x > z;
    aOutside[2] += -x > z;
    aOutside[3] += y > z * 0.75f;
    aOutside[4] += -y > z * 0.75f;
  }
  for (int n : aOutside)
    if (n == 8) return false;
  return true;
}

float ECamera::CalculateScreenDiagonal(const EBox3& box) const {
  float fMinX = 0.0f, fMinY = 0.0f, fMaxX = 0.0f, fMaxY = 0.0f;
  for (int i = 0; i < 8; ++i) {
    const EVec3 c((i & 1) ? box.vMax.x : box.vMin.x, (i & 2) ? box.vMax.y : box.vMin.y, (i & 4) ? box.vMax.z : box.vMin.z);
    const EVec3 s = WorldCoordsToScreen(c, false);
    if (s.z <= 0.0f) return 800.0f;
    if (i == 0 || s.x < fMinX) fMinX = s.x;
    if (i == 0 || s.x > fMaxX) fMaxX = s.x;
    if (i == 0 || s.y < fMinY) fMinY = s.y;
    if (i == 0 || s.y > fMaxY) fMaxY = s.y;
  }
  const float w = fMaxX - fMinX, h = fMaxY - fMinY;
  return sqrtf(w * w + h * h);
}
