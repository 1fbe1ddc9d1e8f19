// Cameras: the viewpoints the scene is drawn from.
#pragma once

#include "TWGraphics/Rect.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Frustum.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class Input;
class EVisibilityCache;

enum CAMERATYPE {
  kCAMERA_FLY = 0,
  kCAMERA_SCRIPT = 1,
  kCAMERA_CHASE = 2,
  kCAMERA_RAIL = 3,
  kCAMERA_MAP = 4,
  kCAMERA_SPHERE = 5,
};

class ECamera {
public:
  ECamera();
  ~ECamera();

  void Init(CAMERATYPE eType);
  CAMERATYPE GetType() const { return m_eType; }
  void SetPosition(const EVec3& vPosition) { m_vPosition = vPosition; }
  const EVec3& GetPosition() const { return m_vPosition; }
  // Rows of a rotation matrix (row-vector convention).
  void SetRotation(const EVec3& vRight, const EVec3& vUp, const EVec3& vView);
  const EVec3& GetUpVector() const { return m_vUp; }
  const EVec3& GetViewVector() const { return m_vView; }
  // One update with the given input (the all-zero record when the camera
  // must not react) and step in milliseconds.
  void Update(const Input* pInput, float fMS);
  bool GetFullSimSpeed() const { return false; }
  void SetVisibilityCheck(bool bOn) { m_bVisibilityCheck = bOn; }
  bool GetVisibilityCheck() const { return m_bVisibilityCheck; }
  void CleanupReferences() {}

  // --- Matrices, frustum and screen tests (CameraMatrices.cpp) ---
  // Rebuilds the view, projection, view-projection and billboard matrices
  // and the frustum from the position, the orientation, the field of view
  // and the viewport. Every Update ends with it.
  void UpdateMatrices();
  // Vertical field of view in degrees; 0 projects orthographically over the
  // viewport's size. Takes effect at the next update.
  void SetFieldOfView(float fFieldOfView) { m_fFieldOfView = fFieldOfView; }
  float GetFieldOfView() const { return m_fFieldOfView; }
  void SetViewportWidth(unsigned dwWidth) { m_dwViewportWidth = dwWidth; }
  void SetViewportHeight(unsigned dwHeight) { m_dwViewportHeight = dwHeight; }
  void SetViewportNearZ(float fNearZ) { m_fNearZ = fNearZ; }
  void SetViewportFarZ(float fFarZ) { m_fFarZ = fFarZ; }
  unsigned GetViewportWidth() const { return m_dwViewportWidth; }
  unsigned GetViewportHeight() const { return m_dwViewportHeight; }
  float GetViewportNearZ() const { return m_fNearZ; }
  float GetViewportFarZ() const { return m_fFarZ; }
  float GetAspectRatio() const { return (float)m_dwViewportWidth / (float)m_dwViewportHeight; }
  // A replaced view or projection matrix stays until switched off; with
  // bUpdate the matrices are rebuilt at once.
  void SetFixedViewMatrix(bool bOn, const EMat4& mView, bool bUpdate);
  void SetFixedProjectionMatrix(bool bOn, const EMat4& mProjection, bool bUpdate);
  bool TestFixedViewMatrix() const { return m_bFixedViewMatrix; }
  bool TestFixedProjectionMatrix() const { return m_bFixedProjectionMatrix; }
  // The frustum follows the camera's own position, orientation and
  // projection even while fixed matrices replace them.
  void SetFrustumComponents(bool bOn) { m_bFrustumComponents = bOn; }
  const EMat4& GetViewMatrix() const { return m_mView; }
  const EMat4& GetWorldToView() const { return m_mView; }
  const EMat4& GetViewToWorld() const { return m_mViewToWorld; }
  const EMat4& GetProjectionMatrix() const { return m_mProjection; }
  const EMat4& GetInverseProjection() const { return m_mInverseProjection; }
  const EMat4& GetViewProjMatrix() const { return m_mViewProj; }
  const EMat4& GetBillboardMatrix() const { return m_mBillboard; }
  const EMat4& GetInverseBillboard() const { return m_mInverseBillboard; }
  EFrustum GetViewFrustum() const { return m_ViewFrustum; }
  // The right vector of the view matrix.
  EVec3 GetRightVector() const { return EVec3(m_mView.m[0], m_mView.m[4], m_mView.m[8]); }

  // Whether a world box (or one relative to the camera) reaches into the
  // view frustum; always true with the visibility check off.
  bool BoxIntersectsFrustum(const EBox3& box, bool bRelative) const;
  bool BoxVisible(const EBox3& box, EVisibilityCache* pCache, bool bRelative) const;
  // Pixel x and y of a world point (on the 640 x 480 virtual screen with
  // bVirtualScreen) and its clip depth, undivided.
  EVec3 WorldCoordsToScreen(const EVec3& vPoint, bool bVirtualScreen) const;
  // A point of the 640 x 480 virtual screen with a clip depth, back in the world.
  EVec3 ScreenCoordsToWorld(const EVec3& vScreen) const;
  // An extent of the given size at the point, in normalised screen units.
  float CalculateScreenExtent(const EVec3& vPoint, float fSize) const;
  // Length in pixels of the diagonal of the box's projection.
  float CalculateScreenDiagonal(const EBox3& box) const;
  // The box's rectangle on the viewport, counted from its bottom; the whole
  // viewport when the box reaches past the near or the far plane.
  ERect CalculateScreenRect(const EBox3& box) const;
  // Projective texture coordinates of the camera's view.
  EMat4 CalculateTexGenMatrix() const;
  // A billboard at the point that turns only about the axis.
  EMat4 GetWorldAlignedBillboardMatrix(const EVec3& vPoint, const EVec3& vAxis) const;

private:
  CAMERATYPE m_eType;
  EVec3 m_vPosition;
  EVec3 m_vRight;
  EVec3 m_vUp;
  EVec3 m_vView;
  bool m_bVisibilityCheck;

  // The matrix and viewport state.
  float m_fFieldOfView;
  unsigned m_dwViewportWidth;
  unsigned m_dwViewportHeight;
  float m_fNearZ;
  float m_fFarZ;
  EMat4 m_mView;
  EMat4 m_mViewToWorld;
  EMat4 m_mProjection;
  EMat4 m_mInverseProjection;
  EMat4 m_mViewProj;
  EMat4 m_mBillboard;
  EMat4 m_mInverseBillboard;
  EFrustum m_ViewFrustum;
  bool m_bFixedViewMatrix;
  bool m_bFixedProjectionMatrix;
  bool m_bFrustumComponents;
};
