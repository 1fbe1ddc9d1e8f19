#include "TWMath/Frustum.h"

#include "TWMath/Intersect.h"
#include "TWMath/Matrix.h"

// Clip-space corners: x, y in [-1, 1], depth 0 near and 1 far.
static const float s_aafClipCorners[EFrustum::kNUM_CORNERS][3] = {
    {-1.0f, 1.0f, 1.0f},  {1.0f, 1.0f, 1.0f},  {-1.0f, -1.0f, 1.0f}, {1.0f, -1.0f, 1.0f},
    {-1.0f, 1.0f, 0.0f},  {1.0f, 1.0f, 0.0f},  {-1.0f, -1.0f, 0.0f}, {1.0f, -1.0f, 0.0f},
};

// The three corners of each plane, wound so that its normal points out.
static const int s_aaiPlaneCorners[EFrustum::kNUM_PLANES][3] = {
    {4, 7, 6},  // near
    {0, 2, 3},  // far
    {4, 0, 1},  // top
    {6, 3, 2},  // bottom
    {4, 2, 0},  // left
    {5, 1, 3},  // right
};

EFrustum::EFrustum() : m_bValid(false) {
  for (int i = 0; i < kNUM_PLANES; i++) m_aPlanes[i].n = EVec3(0.0f, 0.0f, 0.0f);
}

void EFrustum::FromViewport(float fov, float width, float height, float nearDist, float farDist, const EVec3& eye,
                            const EVec3& direction, const EVec3& up) {
  EMat4 view = MatrixLookAt(eye, eye + direction, up);
  EMat4 inverseView = view.Inverse();
  EMat4 projection;
  if (fov != 0.0f)
    projection = MatrixPerspectiveProjection(fov, SafeDivide(width, height), nearDist, farDist);
  else
    projection = MatrixOrthoProjection(width, height, nearDist, farDist);
  EMat4 inverseProjection = projection.Inverse();
  // Clip space back to view space first, then to world space.
  FromMatrix(inverseView * inverseProjection);
}

void EFrustum::FromMatrix(const EMat4& m) {
  for (int i = 0; i < kNUM_CORNERS; i++) {
    const float* c = s_aafClipCorners[i];
    m_aCorners[i] = m.TransformPointPerspective(EVec3(c[0], c[1], c[2]));
  }
  for (int i = 0; i < kNUM_PLANES; i++) {
    const int* k = s_aaiPlaneCorners[i];
    m_aPlanes[i] = EPlane(m_aCorners[k[0]], m_aCorners[k[1]], m_aCorners[k[2]]);
  }
  m_Bounds.Set(m_aCorners, kNUM_CORNERS);
  m_bValid = true;
}

namespace TWMath {

bool TestIntersection(const EBox3& box, const EFrustum& frustum) {
  if (!frustum.m_bValid) return false;
  if (!TestIntersection(box, frustum.m_Bounds)) return false;
  for (int i = 0; i < EFrustum::kNUM_PLANES; i++) {
    const EPlane& plane = frustum.m_aPlanes[i];
    // The corner least advanced along the normal: if even it lies outside,
    // the whole box does.
    EVec3 corner(plane.n.x >= 0.0f ? box.vMin.x : box.vMax.x, plane.n.y >= 0.0f ? box.vMin.y : box.vMax.y,
                 plane.n.z >= 0.0f ? box.vMin.z : box.vMax.z);
    if (plane.n.Dot(corner) + plane.d > 0.0f) return false;
  }
  return true;
}

}  // namespace TWMath
