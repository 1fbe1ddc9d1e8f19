// A sphere moving along a segment against a triangle, its edges and vertices.
#include <cstdint>
#include <cstring>

#include "TWMath/Intersect.h"
#include "TWUtil/ErrorManager.h"

namespace TWMath {

// Dot products and squared lengths are formed in double precision and
// rounded once.
static float Dotd(const EVec3& a, const EVec3& b) {
  return (float)((double)a.x * b.x + (double)a.y * b.y + (double)a.z * b.z);
}
static float Mag2d(const EVec3& a) { return Dotd(a, a); }

// True for +0 up to 1; -0, negative values and NaNs fail.
static bool InUnitRange(float f) {
  uint32_t uBits, uOne;
  const float fOne = 1.0f;
  memcpy(&uBits, &f, 4);
  memcpy(&uOne, &fOne, 4);
  return uBits <= uOne;
}

int FindIntersection_Capsule_Edgevert(const EFastSeg3& path, const EFastSeg3& edge, float r2, float& t, float& s) {
  EVec3 P0 = path.p0;
  EVec3 D = path.p1 - P0;
  EVec3 E0 = edge.p0;
  EVec3 E = edge.p1 - E0;
  EVec3 W = E0 - P0;

  float fKee = Mag2d(E);
  float fKww = Mag2d(W);
  float fKss = Mag2d(D);
  float fKew = Dotd(E, W);
  float fKsw = Dotd(D, W);
  float fKes = Dotd(E, D);
  EASSERT(fKss > 0);

  float qa = fKee * fKss - fKes * fKes;
  if (ABS(qa) < 0.00001f * fKee * fKss) {
    // The path runs parallel to the edge.
    float s0 = -fKew / fKee;
    float d2 = Mag2d(E * -s0 - W);
    if (d2 > r2) return 0;
    if (InUnitRange(s0)) {
      t = 0.0f;
      s = s0;
      return kINTERSECT_EDGE;
    }
    if (fKsw < 0.0f) return 0;  // heading away from the edge's start
    if (r2 >= fKww) {
      t = 0.0f;
      return kINTERSECT_VERTEX;
    }
    float tV = fKsw / fKss - FastSqrt((r2 - d2) / fKss);
    if (t >= tV) {
      t = tV;
      return kINTERSECT_VERTEX;
    }
    return 0;
  }

  // The infinite cylinder of radius r about the edge's line.
  float qb = 2.0f * (fKew * fKes - fKee * fKsw);
  float qc = (fKww - r2) * fKee - fKew * fKew;
  float r0, r1;
  if (SolveQuadratic(qa, qb, qc, r0, r1) == 0) return 0;
  float tIn = MIN(r0, r1);
  float tOut = MAX(r0, r1);
  if (tIn < 0.0f) {
    // Overlapping at the start, but moving away when most of the overlap
    // lies in the past.
    if (-tIn > tOut) return 0;
    tIn = 0.0f;
  } else if (tIn > t) {
    return 0;
  }

  float u = Dotd(D * tIn - W, E) / fKee;
  if (u > 1.0f) return 0;  // beyond the edge's end: that vertex is the next edge's
  if (u >= 0.0f) {
    t = tIn;
    s = u;
    return kINTERSECT_EDGE;
  }

  // Before the edge's start: the sphere about its first vertex.
  if (SolveQuadratic(fKss, -2.0f * fKsw, fKww - r2, r0, r1) == 0) return 0;
  tIn = MIN(r0, r1);
  tOut = MAX(r0, r1);
  if (tIn < 0.0f) {
    if (tOut < 0.0f || -tIn > tOut) return 0;
    tIn = 0.0f;
  } else if (tIn > t) {
    return 0;
  }
  t = tIn;
  return kINTERSECT_VERTEX;
}

int FindIntersection(const EFastSeg3& path, float r, const ETri3& tri, const EPlane& plane, bool bTwoSided, float& t,
                     float& s) {
  float fSign = 1.0f;
  float d0 = Distance(path.p0, plane);
  float d1 = Distance(path.p1, plane);
  if (bTwoSided && d0 < 0.0f) {
    // Starting behind: use the plane from its back.
    d0 = -d0;
    d1 = -d1;
    fSign = -1.0f;
  }

  float fApproach = d0 - d1;
  if (fApproach <= 0.00001f) return 0;
  if (d0 < -r) return 0;  // starts wholly behind the plane

  float tFace;
  if (d0 < r) {
    tFace = 0.0f;  // already overlapping the plane
  } else {
    tFace = d0 - r;
    if (tFace > fApproach) return 0;
    tFace /= fApproach;
  }
  // Nothing of the triangle can be touched before its plane.
  if (tFace > t) return 0;

  EVec3 Q;
  if (tFace > 0.0f)
    Q = path.ParametricToPoint(tFace) - plane.n * (fSign * r);
  else
    Q = path.p0 - plane.n * (fSign * d0);
  if (tri.ContainsPoint(Q, plane.n, -1)) {
    t = tFace;
    return fSign > 0.0f ? kINTERSECT_FACE : kINTERSECT_FACE + 1;
  }

  float r2 = r * r;
  const EVec3* apVerts[3] = {&tri.p0, &tri.p1, &tri.p2};
  int iResult = 0;
  for (int i = 0; i < 3; i++) {
    EFastSeg3 edge(*apVerts[i], *apVerts[(i + 1) % 3], TagPOINTS());
    int iCode = FindIntersection_Capsule_Edgevert(path, edge, r2, t, s);
    if (iCode) iResult = iCode + i;
  }
  return iResult;
}

}  // namespace TWMath
