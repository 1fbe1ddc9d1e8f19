#include "Game/Camera.h"

#include <cmath>
#include "TWGraphics/Renderer.h"

ECamera::ECamera()
    : m_eType(kCAMERA_SCRIPT),
      m_vPosition(0.0f, 0.0f, 0.0f),
      m_vRight(1.0f, 0.0f, 0.0f),
      m_vUp(0.0f, 1.0f, 0.0f),
      m_vView(0.0f, 0.0f, 1.0f),
      m_bVisibilityCheck(true),
      m_fFieldOfView(104.0f),
      m_dwViewportWidth(g_pCurrentRenderer ? g_pCurrentRenderer->GetDisplayWidth() : 640),
      m_dwViewportHeight(g_pCurrentRenderer ? g_pCurrentRenderer->GetDisplayHeight() : 480),
      m_fNearZ(10.0f),
      m_fFarZ(50000.0f),
      m_bFixedViewMatrix(false),
      m_bFixedProjectionMatrix(false),
      m_bFrustumComponents(false) {
  initTrackingState();
  UpdateMatrices();  // a camera projects from the start, before its first update
}

ECamera::~ECamera() {
  if (sm_pLockedVisCamera == this) sm_pLockedVisCamera = nullptr;
}

void ECamera::SetRotation(const EVec3& vRight, const EVec3& vUp, const EVec3& vView) {
  m_vRight = vRight;
  m_vUp = vUp;
  m_vView = vView;
}

// The view, projection and frustum follow the shaken render position.
void ECamera::BuildMatrices() { UpdateMatricesFrom(m_vRenderPosition); }
