// A camera's matrices, its frustum and the screen tests built on them.
#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "VERirezo/Scene.h"
#include "VERirezo/Visibility.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"

namespace {

// Rounds half away from zero.
int CameraRoundPixel(float f) { return (int)(f < 0.0f ? ceilf(f - 0.5f) : floorf(f + 0.5f)); }

}  // namespace

void ECamera::SetFixedViewMatrix(bool bOn, const EMat4& mView, bool bUpdate) {
  m_bFixedViewMatrix = bOn;
  if (bOn) m_mView = mView;
  if (bUpdate) UpdateMatrices();
}

void ECamera::SetFixedProjectionMatrix(bool bOn, const EMat4& mProjection, bool bUpdate) {
  m_bFixedProjectionMatrix = bOn;
  if (bOn) m_mProjection = mProjection;
  if (bUpdate) UpdateMatrices();
}

void ECamera::UpdateMatricesFrom(const EVec3& vEye) {
  // The orientation's rows are right, up and back; forward is minus back.
  const EMat4 ownToWorld(m_vRight, m_vUp, -m_vView, vEye);
  EMat4 frustumSource = ownToWorld;
  if (m_bFixedViewMatrix) {
    m_mViewToWorld = m_mView.Inverse();
  } else {
    m_mViewToWorld = ownToWorld;
    m_mView = m_mViewToWorld.Inverse();
  }

  // A 640-wide viewport keeps the 4:3 aspect of the screen it was laid out for.
  const float aspect =
      m_dwViewportWidth == 640 ? 4.0f / 3.0f : (float)m_dwViewportWidth / (float)m_dwViewportHeight;
  const EMat4 componentProjection =
      m_fFieldOfView != 0.0f
          ? MatrixPerspectiveProjection(m_fFieldOfView, aspect, m_fNearZ, m_fFarZ)
          : MatrixOrthoProjection((float)m_dwViewportWidth, (float)m_dwViewportHeight, m_fNearZ, m_fFarZ);
  EMat4 frustumProjInverse;
  if (m_bFixedProjectionMatrix) {
    m_mInverseProjection = m_mProjection.Inverse();
    frustumProjInverse = m_bFrustumComponents ? componentProjection.Inverse() : m_mInverseProjection;
  } else {
    m_mProjection = componentProjection;
    m_mInverseProjection = m_mProjection.Inverse();
    frustumProjInverse = m_mInverseProjection;
  }

  // Apply the view, then the projection.
  m_mViewProj = m_mProjection * m_mView;

  if (m_bFrustumComponents && m_bFixedViewMatrix)
    m_ViewFrustum.FromMatrix(frustumSource * frustumProjInverse);
  else
    m_ViewFrustum.FromMatrix(m_mViewToWorld * m_mInverseProjection);

  // Billboards stay upright along the world's up.
  const EVec3 back(m_mView.m[2], m_mView.m[6], m_mView.m[10]);
  const EVec3 up(0.0f, 1.0f, 0.0f);
  const EVec3 right = back.CalculateRightVector(up);
  m_mBillboard.LoadIdentity();
  m_mBillboard.SetFromBasisVectors(right, right.Cross(back), back);
  m_mInverseBillboard = m_mBillboard.Inverse();
}

bool ECamera::BoxIntersectsFrustum(const EBox3& box, bool bRelative) const {
  if (!m_bVisibilityCheck) return true;
  if (sm_pLockedVisCamera && sm_pLockedVisCamera != this && gGameApp && gGameApp->GetCurrentCamera() == this)
    return sm_pLockedVisCamera->BoxIntersectsFrustum(box, bRelative);
  EBox3 world = box;
  if (bRelative) {
    world.vMin += m_vPosition;
    world.vMax += m_vPosition;
  }
  return TWMath::TestIntersection(world, m_ViewFrustum);
}

bool ECamera::BoxVisible(const EBox3& box, EVisibilityCache* pCache, bool bRelative) const {
  if (!m_bVisibilityCheck) return true;
  if (sm_pLockedVisCamera && sm_pLockedVisCamera != this && gGameApp && gGameApp->GetCurrentCamera() == this)
    return sm_pLockedVisCamera->BoxVisible(box, pCache, bRelative);
  EBox3 world = box;
  if (bRelative) {
    world.vMin += m_vPosition;
    world.vMax += m_vPosition;
  }
  if (m_hVisibilityLeaf != -1 && m_bInScene && gGameApp && gGameApp->m_DebugHooks.VisibilityTree) {
    ESceneManager* pScenes = gGameApp->GetSceneManager();
    EScene* pScene = pScenes ? pScenes->GetCurrentScene() : nullptr;
    if (EVisibilityTree* pTree = pScene ? pScene->GetVisibilityTree() : nullptr) {
      const uint32_t key = (uint32_t)m_hVisibilityLeaf;
      bool bVisible = false;
      if (!pCache || !pCache->FindResult(key, &bVisible)) {
        bVisible = pTree->BoxVisible(world, key, m_VisibilityLeafCube);
        if (pCache) pCache->StoreResult(key, bVisible);
      }
      if (!bVisible) return false;
    }
  }
  return BoxIntersectsFrustum(world, false);
}

EVec3 ECamera::WorldCoordsToScreen(const EVec3& vPoint, bool bVirtualScreen) const {
  const EVec4 c = m_mViewProj.MulVec4(EVec4(vPoint, 1.0f));
  const float x = SafeDivide(c.x, c.w);
  const float y = SafeDivide(c.y, c.w);
  const float hw = (float)(m_dwViewportWidth / 2);
  const float hh = (float)(m_dwViewportHeight / 2);
  EVec3 screen(hw + hw * x, hh - hh * y, c.z);
  if (bVirtualScreen) {
    screen.x *= 640.0f / (float)m_dwViewportWidth;
    screen.y *= 480.0f / (float)m_dwViewportHeight;
  }
  return screen;
}

EVec3 ECamera::ScreenCoordsToWorld(const EVec3& vScreen) const {
  const float sx = vScreen.x * (float)m_dwViewportWidth / 640.0f;
  const float sy = vScreen.y * (float)m_dwViewportHeight / 480.0f;
  const float hw = (float)(m_dwViewportWidth / 2);
  const float hh = (float)(m_dwViewportHeight / 2);
  const EVec3 clip((sx - hw) / hw, (hh - sy) / hh, vScreen.z);
  return m_mViewProj.Inverse().TransformPointPerspective(clip);
}

float ECamera::CalculateScreenExtent(const EVec3& vPoint, float fSize) const {
  const float* p = m_mViewProj.m;
  const float w = vPoint.x * p[3] + vPoint.y * p[7] + vPoint.z * p[11] + p[15];
  return SafeDivide(fSize, w);
}

float ECamera::CalculateScreenDiagonal(const EBox3& box) const {
  const EBox3 screen = box.TransformPerspective(m_mViewProj);
  const float dx = (screen.vMax.x - screen.vMin.x) * ((float)m_dwViewportWidth * 0.5f);
  const float dy = (screen.vMax.y - screen.vMin.y) * ((float)m_dwViewportHeight * 0.5f);
  return sqrtf(dx * dx + dy * dy);
}

ERect ECamera::CalculateScreenRect(const EBox3& box) const {
  const EBox3 screen = box.TransformPerspective(m_mViewProj);
  if (screen.vMin.z >= 0.0f && screen.vMin.z <= 1.0f && screen.vMax.z >= 0.0f && screen.vMax.z <= 1.0f) {
    const float w = (float)m_dwViewportWidth * 0.5f;
    const float h = (float)m_dwViewportHeight * 0.5f;
    ERect r;
    r.left = CameraRoundPixel(w * (1.0f + PIN(screen.vMin.x, -1.0f, 1.0f)));
    r.top = CameraRoundPixel(h * (1.0f + PIN(screen.vMin.y, -1.0f, 1.0f)));
    r.right = CameraRoundPixel(w * (1.0f + PIN(screen.vMax.x, -1.0f, 1.0f)));
    r.bottom = CameraRoundPixel(h * (1.0f + PIN(screen.vMax.y, -1.0f, 1.0f)));
    return r;
  }
  ERect r = {0, 0, (int)m_dwViewportWidth, (int)m_dwViewportHeight};
  return r;
}

EMat4 ECamera::CalculateTexGenMatrix() const {
  const EVec3 view = -EVec3(m_mView.m[2], m_mView.m[6], m_mView.m[10]);
  const EVec3 up(m_mView.m[1], m_mView.m[5], m_mView.m[9]);
  const EVec3 look = m_vPosition - view * 10.0f;
  if (m_fFieldOfView != 0.0f)
    return ERenderer::CreatePerspectiveTexGenMatrix(m_vPosition, look, up, m_fFieldOfView,
                                                    SafeDivide((float)m_dwViewportWidth, (float)m_dwViewportHeight),
                                                    0.0f, m_fFarZ);
  return ERenderer::CreateOrthoTexGenMatrix(m_vPosition, look, up, (float)m_dwViewportWidth,
                                            (float)m_dwViewportHeight, 0.0f, m_fFarZ);
}

EMat4 ECamera::GetWorldAlignedBillboardMatrix(const EVec3& vPoint, const EVec3& vAxis) const {
  EVec3 d = m_vPosition - vPoint;
  d -= vAxis * d.Dot(vAxis);
  d.Normalize();
  const EVec3 r = d.CalculateRightVector(vAxis);
  EMat4 m;
  m.SetFromBasisVectors(r, vAxis, d);
  return m;
}
