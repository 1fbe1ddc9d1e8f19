// Cameras: the viewpoints the scene is drawn from.
#pragma once

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class Input;

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
  // Rows right, up and the negated view: a posed z axis faces the camera.
  EMat4 GetBillboardMatrix() const { return EMat4(m_vRight, m_vUp, -m_vView, EVec3(0.0f, 0.0f, 0.0f)); }
  // One update with the given input (the all-zero record when the camera
  // must not react) and step in milliseconds.
  void Update(const Input* pInput, float fMS);
  bool GetFullSimSpeed() const { return false; }
  // Screen x and y of a world point in the 640 x 480 sprite space, and its
  // depth along the view (0 or less behind the camera). Until the camera
  // keeps a projection, the view spans 90 degrees across the 640 pixels.
  EVec3 WorldCoordsToScreen(const EVec3& vPoint, bool bFlag) const;
  // True when some of the box lies in the view (the stand-in projection:
  // 90 degrees across, the 640 x 480 aspect).
  bool BoxVisible(const EBox3& box, void* pCache, bool bFlag) const;
  // Length in sprite-space pixels of the diagonal of the box's screen
  // rectangle; the whole screen's when part of the box is behind the camera.
  float CalculateScreenDiagonal(const EBox3& box) const;
  void SetVisibilityCheck(bool bOn) { m_bVisibilityCheck = bOn; }
  bool GetVisibilityCheck() const { return m_bVisibilityCheck; }
  void CleanupReferences() {}

private:
  CAMERATYPE m_eType;
  EVec3 m_vPosition;
  EVec3 m_vRight;
  EVec3 m_vUp;
  EVec3 m_vView;
  bool m_bVisibilityCheck;
};
