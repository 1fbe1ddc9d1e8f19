#include "TWMath/BoundingBox.h"

#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

EBox3::EBox3(const ESSECube& cube) {
  EVec3 c(cube.x, cube.y, cube.z), e(cube.h, cube.h, cube.h);
  vMin = c - e;
  vMax = c + e;
}

EBox3::EBox3(const ESphere& s) {
  EVec3 r(s.radius, s.radius, s.radius);
  vMin = s.centre - r;
  vMax = s.centre + r;
}

void EBox3::Set(const EVec3* pPoints, int iCount) {
  if (iCount <= 0) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iCount", true);
    return;
  }
  vMin = vMax = pPoints[0];
  for (int i = 1; i < iCount; ++i) {
    vMin = vMin.Min(pPoints[i]);
    vMax = vMax.Max(pPoints[i]);
  }
}

void EBox3::Add(const EVec3& p) {
  for (int i = 0; i < 3; ++i) {
    if (vMin[i] > p[i])
      vMin[i] = p[i];
    else if (p[i] > vMax[i])
      vMax[i] = p[i];
  }
}

void EBox3::Add(const EBox3& b) {
  vMin = vMin.Min(b.vMin);
  vMax = vMax.Max(b.vMax);
}

void EBox3::Add(const ESphere& s) {
  for (int i = 0; i < 3; ++i) {
    float lo = s.centre[i] - s.radius, hi = s.centre[i] + s.radius;
    if (lo < vMin[i]) vMin[i] = lo;
    if (hi > vMax[i]) vMax[i] = hi;
  }
}

float EBox3::GetAxialExtent(int axis) const {
  EVec3 e = GetExtent();
  if (axis == AXIS_X) return e.x;
  if (axis == AXIS_Y) return e.y;
  return e.z;
}

float EBox3::GetMaxExtent() const {
  EVec3 e = GetExtent();
  return MAX(MAX(e.x, e.y), e.z);
}

EVec3 EBox3::NearestPosition(const EVec3& p) const {
  return EVec3(PIN(p.x, vMin.x, vMax.x), PIN(p.y, vMin.y, vMax.y), PIN(p.z, vMin.z, vMax.z));
}

EVec3 EBox3::FurthestPosition(const EVec3& p) const {
  EVec3 r;
  for (int i = 0; i < 3; ++i) r[i] = ABS(p[i] - vMin[i]) > ABS(p[i] - vMax[i]) ? vMin[i] : vMax[i];
  return r;
}

EBox3 EBox3::TransformAffine(const EMat4& m) const {
  const EVec3 rows[3] = {EVec3(m.m[0], m.m[1], m.m[2]) * (vMax.x - vMin.x),
                         EVec3(m.m[4], m.m[5], m.m[6]) * (vMax.y - vMin.y),
                         EVec3(m.m[8], m.m[9], m.m[10]) * (vMax.z - vMin.z)};
  EVec3 P = m.TransformPoint(vMin);
  EVec3 Q = P;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      float v = rows[r][c];
      if (v < 0.0f)
        P[c] += v;
      else
        Q[c] += v;
    }
  }
  return EBox3(P, Q);
}

EBox3 EBox3::TransformPerspective(const EMat4& m) const {
  EVec3 corners[8];
  for (int i = 0; i < 8; ++i) {
    EVec3 c((i & 4) ? vMax.x : vMin.x, (i & 2) ? vMax.y : vMin.y, (i & 1) ? vMax.z : vMin.z);
    corners[i] = m.TransformPointPerspective(c);
  }
  return EBox3(corners, 8);
}

void EBox3::TransformBy(const EMat4& m) {
  EVec3 c = m.TransformPoint(GetCenter());
  EVec3 e = GetExtent();
  EVec3 a = EVec3(m.m[0], m.m[1], m.m[2]) * e.x;
  EVec3 b = EVec3(m.m[4], m.m[5], m.m[6]) * e.y;
  EVec3 d = EVec3(m.m[8], m.m[9], m.m[10]) * e.z;
  EVec3 diag[4] = {a + b + d, a + b - d, a - b + d, b - a + d};
  EVec3 ext;
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < 3; ++i) MAKEABS(diag[k][i]);
    ext = k == 0 ? diag[0] : ext.Max(diag[k]);
  }
  vMin = c - ext;
  vMax = c + ext;
}

EStream& operator<<(EStream& s, EBox3& b) { return s << b.vMin << b.vMax; }

EStream& operator<<(EStream& s, ESSECube& c) {
  // Field by field: the same 16 bytes as the block on this little-endian
  // host, without relying on the object's layout.
  return s << c.x << c.y << c.z << c.h;
}
