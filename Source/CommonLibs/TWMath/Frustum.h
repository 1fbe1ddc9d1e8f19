// A view volume held as six outward-facing planes, eight corners and the
// box around the corners.
#pragma once

#include "TWMath/BoundingBox.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"

class EMat4;

class EFrustum {
public:
  enum { kPLANE_Near, kPLANE_Far, kPLANE_Top, kPLANE_Bottom, kPLANE_Left, kPLANE_Right, kNUM_PLANES };
  enum { kNUM_CORNERS = 8 };

  EFrustum();
  ~EFrustum() {}

  // A camera at eye looking along direction; fov in degrees, 0 for an
  // orthographic volume width x height wide.
  void FromViewport(float fov, float width, float height, float nearDist, float farDist, const EVec3& eye,
                    const EVec3& direction, const EVec3& up);
  // The volume the matrix maps the clip-space cube into.
  void FromMatrix(const EMat4& inverseViewProjection);

  bool m_bValid;
  EPlane m_aPlanes[kNUM_PLANES];
  // Far top-left, far top-right, far bottom-left, far bottom-right, then
  // the same four at the near end.
  EVec3 m_aCorners[kNUM_CORNERS];
  EBox3 m_Bounds;
};
