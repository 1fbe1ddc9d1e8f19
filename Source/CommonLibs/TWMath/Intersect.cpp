// Overlap tests and casts between primitives.
#include "TWMath/Intersect.h"

namespace TWMath {

// --- Containment and overlap -------------------------------------------------

bool TestIntersection(const EVec3& p, const ESphere& sphere) {
  return SqrDistance(p, sphere.centre) < sphere.radius * sphere.radius;
}

bool TestIntersection(const EVec3& p, const EBox3& box) {
  return box.vMin.x <= p.x && p.x <= box.vMax.x && box.vMin.y <= p.y && p.y <= box.vMax.y && box.vMin.z <= p.z &&
         p.z <= box.vMax.z;
}

bool TestIntersection(const EBox3& a, const EBox3& b) {
  return a.vMax.x >= b.vMin.x && b.vMax.x >= a.vMin.x && a.vMax.y >= b.vMin.y && b.vMax.y >= a.vMin.y &&
         a.vMax.z >= b.vMin.z && b.vMax.z >= a.vMin.z;
}

bool FindIntersection(const EBox3& a, const EBox3& b, EBox3& overlap) {
  if (!TestIntersection(a, b)) return false;
  overlap.vMin = EVec3(MAX(a.vMin.x, b.vMin.x), MAX(a.vMin.y, b.vMin.y), MAX(a.vMin.z, b.vMin.z));
  overlap.vMax = EVec3(MIN(a.vMax.x, b.vMax.x), MIN(a.vMax.y, b.vMax.y), MIN(a.vMax.z, b.vMax.z));
  return true;
}

bool TestIntersection(const EBox3& box, const ESSECube& cube) {
  float h = cube.h;
  return box.vMax.x >= cube.x - h && cube.x + h >= box.vMin.x && box.vMax.y >= cube.y - h && cube.y + h >= box.vMin.y &&
         box.vMax.z >= cube.z - h && cube.z + h >= box.vMin.z;
}

bool TestIntersection(const ESphere& sphere, const EBox3& box) {
  float r2 = sphere.radius * sphere.radius;
  float acc = 0.0f;
  for (int i = 0; i < 3; i++) {
    float c = sphere.centre[i];
    if (c < box.vMin[i])
      acc += (c - box.vMin[i]) * (c - box.vMin[i]);
    else if (c > box.vMax[i])
      acc += (c - box.vMax[i]) * (c - box.vMax[i]);
    if (acc > r2) return false;
  }
  return true;
}

bool TestIntersection(const EBox3& box, const ECylinder& cyl) {
  if (cyl.base.y > box.vMax.y || box.vMin.y > cyl.base.y + cyl.height) return false;
  EVec3 vCentre = box.GetCenter();
  EVec3 vExtent = box.GetExtent();
  float dx = ABS(cyl.base.x - vCentre.x);
  float dz = ABS(cyl.base.z - vCentre.z);
  if (dx > cyl.radius + vExtent.x || dz > cyl.radius + vExtent.z) return false;
  dx -= vExtent.x;
  dz -= vExtent.z;
  // The circle's centre lies within the box's extent on one axis.
  if (dx < 0.0f || dz < 0.0f) return true;
  return dx * dx + dz * dz <= cyl.radius * cyl.radius;
}

bool TestIntersection(const ETri3& tri, const ESphere& sphere) {
  const EVec3& c = sphere.centre;
  float r = sphere.radius;
  if (TestIntersection(tri.p0, sphere) || TestIntersection(tri.p1, sphere) || TestIntersection(tri.p2, sphere))
    return true;

  EPlane plane(tri.p0, tri.p1, tri.p2);
  if (plane.n.Dot(plane.n) < 0.00001f) return false;  // degenerate triangle
  if (ABS(Distance(c, plane)) > r) return false;

  if (Distance(c, EFastSeg3(tri.p0, tri.p1, TagPOINTS())) <= r) return true;
  if (Distance(c, EFastSeg3(tri.p1, tri.p2, TagPOINTS())) <= r) return true;
  if (Distance(c, EFastSeg3(tri.p2, tri.p0, TagPOINTS())) <= r) return true;

  // The edge planes face away from the interior.
  if (Distance(c, EPlane(tri.p0, tri.p1, tri.p0 + plane.n)) > 0.0f) return false;
  if (Distance(c, EPlane(tri.p1, tri.p2, tri.p1 + plane.n)) > 0.0f) return false;
  if (Distance(c, EPlane(tri.p2, tri.p0, tri.p2 + plane.n)) > 0.0f) return false;
  return true;
}

bool TestIntersection(const ETri3& tri, const EBox3& box) {
  if (TestIntersection(tri.p0, box) || TestIntersection(tri.p1, box) || TestIntersection(tri.p2, box)) return true;

  for (int i = 0; i < 3; i++) {
    if (tri.p0[i] < box.vMin[i] && tri.p1[i] < box.vMin[i] && tri.p2[i] < box.vMin[i]) return false;
    if (tri.p0[i] > box.vMax[i] && tri.p1[i] > box.vMax[i] && tri.p2[i] > box.vMax[i]) return false;
  }

  if (TestIntersection(EFastSeg3(tri.p0, tri.p1, TagPOINTS()), box)) return true;
  if (TestIntersection(EFastSeg3(tri.p1, tri.p2, TagPOINTS()), box)) return true;
  if (TestIntersection(EFastSeg3(tri.p2, tri.p0, TagPOINTS()), box)) return true;

  // The box may pierce the triangle's interior: try its four diagonals.
  const EVec3& lo = box.vMin;
  const EVec3& hi = box.vMax;
  if (TestIntersection(ESeg3(lo, hi), tri)) return true;
  if (TestIntersection(ESeg3(EVec3(hi.x, lo.y, lo.z), EVec3(lo.x, hi.y, hi.z)), tri)) return true;
  if (TestIntersection(ESeg3(EVec3(lo.x, hi.y, lo.z), EVec3(hi.x, lo.y, hi.z)), tri)) return true;
  if (TestIntersection(ESeg3(EVec3(hi.x, hi.y, lo.z), EVec3(lo.x, lo.y, hi.z)), tri)) return true;
  return false;
}

// --- Segments against boxes ----------------------------------------------------

bool TestIntersection_HalfSeg_HalfAABB(const EVec3& e, const EVec3& h, const EVec3& c) {
  EVec3 a(ABS(h.x), ABS(h.y), ABS(h.z));
  if (ABS(c.x) > e.x + a.x || ABS(c.y) > e.y + a.y || ABS(c.z) > e.z + a.z) return false;
  if (ABS(c.y * h.z - c.z * h.y) > e.y * a.z + e.z * a.y) return false;
  if (ABS(c.x * h.z - c.z * h.x) > e.x * a.z + e.z * a.x) return false;
  if (ABS(c.x * h.y - c.y * h.x) > e.x * a.y + e.y * a.x) return false;
  return true;
}

static bool TestSegmentBox(const EVec3& start, const EVec3& end, const EBox3& box) {
  EVec3 h = (end - start) * 0.5f;
  EVec3 c = ((start + end) - (box.vMax + box.vMin)) * 0.5f;
  return TestIntersection_HalfSeg_HalfAABB(box.GetExtent(), h, c);
}

bool TestIntersection(const EFastSeg3& seg, const EBox3& box) { return TestSegmentBox(seg.p0, seg.p1, box); }

bool TestIntersection(const ESeg3& seg, const EBox3& box) { return TestSegmentBox(seg.start, seg.end, box); }

bool TestIntersection(const EFastSeg3& seg, float r, const EBox3& box) {
  return TestSegmentBox(seg.p0, seg.p1, box.GetInflatedBox(r));
}

bool TestIntersection(const EVec3& start, const EVec3& dir, float length, float thickness, const ESSECube& cube) {
  float H = cube.h + thickness * 0.5f;
  EVec3 h = dir * (length * 0.5f);
  EVec3 c = start + h - EVec3(cube.x, cube.y, cube.z);
  return TestIntersection_HalfSeg_HalfAABB(EVec3(H, H, H), h, c);
}

bool FindIntersection(const EVec3& origin, const EVec3& dir, float maxT, const EBox3& box, float& tEnter,
                      float& tExit) {
  // The smallest normal float keeps a zero difference times an infinite
  // reciprocal from giving a NaN.
  const float kTiny = 1.1754944e-38f;
  float tmin = -3.4028235e38f;
  float tmax = 3.4028235e38f;
  for (int i = 0; i < 3; i++) {
    float inv = 1.0f / dir[i];
    float t1 = (box.vMax[i] - origin[i] + kTiny) * inv;
    float t0 = (box.vMin[i] - origin[i] + kTiny) * inv;
    if (t1 > t0) SWAP(t1, t0);
    if (t1 > tmin) tmin = t1;
    if (tmax > t0) tmax = t0;
    if (tmin > tmax || tmin > maxT || tmax < 0.0f) return false;
  }
  tEnter = MAX(0.0f, tmin);
  tExit = MIN(maxT, tmax);
  return true;
}

bool FindIntersection(const EFastSeg3& seg, const EBox3& box, float& t) {
  float tExit;
  return FindIntersection(seg.p0, seg.p1 - seg.p0, 1.0f, box, t, tExit);
}

bool FindIntersection(const ESeg3& seg, const EBox3& box, float& t) {
  float tExit;
  return FindIntersection(seg.start, seg.dir, seg.length, box, t, tExit);
}

bool FindIntersection(const EFastSeg3& seg, float r, const EBox3& box, float& t) {
  return FindIntersection(seg, box.GetInflatedBox(r), t);
}

// --- Planes ----------------------------------------------------------------------

bool TestIntersectionCullBackfacing(const ESeg3& seg, const EPlane& plane) {
  // Running along the normal, the segment could only meet the plane from behind.
  if (seg.dir.Dot(plane.n) > 0.00001f) return false;
  float d0 = Distance(seg.start, plane);
  float d1 = Distance(seg.end, plane);
  if (d0 > 0.00001f && d1 > 0.00001f) return false;
  if (d0 < -0.00001f && d1 < -0.00001f) return false;
  return true;
}

void FindIntersection(const EFastSeg3& seg, const EPlane& plane, float& t, bool& startBehind) {
  float d0 = Distance(seg.p0, plane);
  float fDenom = (d0 == 0.0f) ? 1.0f : plane.n.Dot(seg.p1 - seg.p0);
  t = -d0 / fDenom;
  startBehind = d0 < 0.0f;
}

// --- Triangles -------------------------------------------------------------------

int FindIntersection(const EVec3& origin, const EVec3& dir, float maxT, const ETri3& tri, float& t, EVec2* uv) {
  EVec3 e1 = tri.p1 - tri.p0;
  EVec3 e2 = tri.p2 - tri.p0;
  EVec3 p = dir.Cross(e1);
  float det = e2.Dot(p);
  if (ABS(det) < 0.00001f) return 0;  // parallel, or a degenerate triangle

  EVec3 s = origin - tri.p0;
  float inv = 1.0f / det;
  float a = s.Dot(p) * inv;
  if (a < 0.0f || a > 1.0f) return 0;
  EVec3 q = s.Cross(e2);
  float b = dir.Dot(q) * inv;
  if (b < 0.0f || a + b > 1.0f) return 0;
  float u = e1.Dot(q) * inv;
  if (!(u >= 0.0f) || !(maxT >= u)) return 0;

  if (uv) *uv = EVec2(b, a);
  t = u;
  return det < 0.0f ? kINTERSECT_FACE + 1 : kINTERSECT_FACE;
}

int FindIntersectionCullBackfacing(const EVec3& origin, const EVec3& dir, float maxT, const ETri3& tri, float& t,
                                   EVec2* uv) {
  EVec3 e1 = tri.p1 - tri.p0;
  EVec3 e2 = tri.p2 - tri.p0;
  EVec3 p = dir.Cross(e1);
  float det = e2.Dot(p);
  if (det < 0.00001f) return 0;  // parallel, degenerate, or from behind

  EVec3 s = origin - tri.p0;
  float a = s.Dot(p);
  if (a < 0.0f || a > det) return 0;
  EVec3 q = s.Cross(e2);
  float b = dir.Dot(q);
  if (b < 0.0f || a + b > det) return 0;
  float u = e1.Dot(q);
  if (!(u >= 0.0f)) return 0;
  u /= det;
  if (!(maxT >= u)) return 0;

  if (uv) *uv = EVec2(b / det, a / det);
  t = u;
  return kINTERSECT_FACE;
}

bool FindIntersection(const ESeg3& seg, const ETri3& tri, float& t, EVec2* uv) {
  return FindIntersection(seg.start, seg.dir, seg.length, tri, t, uv) != 0;
}

bool TestIntersection(const ESeg3& seg, const ETri3& tri) {
  float t;
  return FindIntersection(seg, tri, t, nullptr);
}

bool FindIntersectionCullBackfacing(const ESeg3& seg, const ETri3& tri, float& t, EVec2* uv) {
  return FindIntersectionCullBackfacing(seg.start, seg.dir, seg.length, tri, t, uv) != 0;
}

bool TestIntersectionCullBackfacing(const ESeg3& seg, const ETri3& tri) {
  float t;
  return FindIntersectionCullBackfacing(seg, tri, t, nullptr);
}

// --- Spheres -----------------------------------------------------------------------

bool FindIntersection(const ESeg3& seg, const ESphere& sphere, float& t) {
  float r2 = sphere.radius * sphere.radius;
  EVec3 w = sphere.centre - seg.start;
  float c2 = w.Dot(w);
  if (r2 >= c2) {
    t = 0.0f;  // starts inside or on the sphere
    return true;
  }
  float b = w.Dot(seg.dir);
  if (b < 0.0f) return false;
  float m2 = c2 - b * b;
  if (m2 > r2) return false;
  t = b - FastSqrt(r2 - m2);
  return seg.length > t;
}

bool FindIntersectionCullBackfacing(const ESeg3& seg, const ESphere& sphere, float& t) {
  float r2 = sphere.radius * sphere.radius;
  EVec3 w = sphere.centre - seg.start;
  float b = w.Dot(seg.dir);
  if (b < 0.0f) return false;  // heading away from the centre
  float c2 = w.Dot(w);
  if (r2 >= c2) {
    t = 0.0f;
    return true;
  }
  float m2 = c2 - b * b;
  if (m2 > r2) return false;
  t = b - FastSqrt(r2 - m2);
  return seg.length > t;
}

bool TestIntersection(const ESeg3& seg, const ESphere& sphere) {
  float t;
  return FindIntersection(seg, sphere, t);
}

}  // namespace TWMath
