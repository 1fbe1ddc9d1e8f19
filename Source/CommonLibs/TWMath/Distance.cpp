// Distances between points, lines, segments, planes, spheres and boxes.
#include "TWMath/Intersect.h"

namespace TWMath {

float SqrDistance(const EVec3& a, const EVec3& b) {
  EVec3 d = a - b;
  return d.Dot(d);
}

float Distance(const EVec3& a, const EVec3& b) { return FastSqrt(SqrDistance(a, b)); }

float Distance(const EVec3& p, const EPlane& plane) { return plane.n.Dot(p) + plane.d; }

float Distance(const EVec2& p, const ELine2& line, float* t) {
  EVec2 d = line.p1 - line.p0;
  float fLen = d.Normalize();
  EVec2 w = p - line.p0;
  if (fLen == 0.0f) {
    // Both points coincide: the "line" is that point.
    if (t) *t = 0.0f;
    return w.Magnitude();
  }
  if (t) *t = SafeDivide(d.Dot(w), fLen);
  return ABS(w.Cross(d));
}

float Distance(const EVec2& p, const ESeg2& seg, float* t) {
  EVec2 w = p - seg.start;
  float fT = SafeDivide(seg.dir.Dot(w), seg.length);
  if (fT < 0.00001f) {
    if (t) *t = 0.0f;
    return w.Magnitude();
  }
  if (fT > 0.99999f) {
    if (t) *t = 1.0f;
    return (p - seg.End()).Magnitude();
  }
  if (t) *t = fT;
  return ABS(w.Cross(seg.dir));
}

float SqrDistance(const EVec3& p, const ELine3& line, float* t) {
  EVec3 d = line.p1 - line.p0;
  EVec3 w = p - line.p0;
  float fT = SafeDivide(w.Dot(d), d.Dot(d));
  w -= d * fT;
  if (t) *t = fT;
  return w.Dot(w);
}

float Distance(const EVec3& p, const ELine3& line, float* t) { return FastSqrt(SqrDistance(p, line, t)); }

// Shared by both segment forms: start, the vector to the end and its
// squared length.
static float SqrDistancePointSeg(const EVec3& p, const EVec3& start, const EVec3& d, float fL2, float* t) {
  EVec3 w = p - start;
  float s = w.Dot(d);
  float fT;
  if (s <= 0.0f) {
    fT = 0.0f;
  } else if (s >= fL2) {
    fT = 1.0f;
    w -= d;
  } else {
    fT = s / fL2;
    w -= d * fT;
  }
  if (t) *t = fT;
  return w.Dot(w);
}

float SqrDistance(const EVec3& p, const ESeg3& seg, float* t) {
  return SqrDistancePointSeg(p, seg.start, seg.end - seg.start, seg.length * seg.length, t);
}

float Distance(const EVec3& p, const ESeg3& seg, float* t) { return FastSqrt(SqrDistance(p, seg, t)); }

float SqrDistance(const EVec3& p, const EFastSeg3& seg, float* t) {
  EVec3 d = seg.p1 - seg.p0;
  return SqrDistancePointSeg(p, seg.p0, d, d.Dot(d), t);
}

float Distance(const EVec3& p, const EFastSeg3& seg, float* t) { return FastSqrt(SqrDistance(p, seg, t)); }

float SqrDistance(const ELine3& a, const ELine3& b, float* s, float* t) {
  EVec3 diff = a.p0 - b.p0;
  EVec3 d0 = a.p1 - a.p0;
  EVec3 d1 = b.p1 - b.p0;
  float a00 = d0.Dot(d0);
  float a01 = -d0.Dot(d1);
  float a11 = d1.Dot(d1);
  float b0 = diff.Dot(d0);
  float c = diff.Dot(diff);
  float det = ABS(a00 * a11 - a01 * a01);
  float fS, fT, q;
  if (det >= 0.00001f) {
    float b1 = -diff.Dot(d1);
    float inv = 1.0f / det;
    fS = (a01 * b1 - a11 * b0) * inv;
    fT = (a01 * b0 - a00 * b1) * inv;
    q = fS * (a00 * fS + a01 * fT + 2.0f * b0) + fT * (a01 * fS + a11 * fT + 2.0f * b1) + c;
  } else {
    fS = SafeDivide(-b0, a00);
    fT = 0.0f;
    q = b0 * fS + c;
  }
  if (s) *s = fS;
  if (t) *t = fT;
  return ABS(q);
}

float Distance(const ELine3& a, const ELine3& b, float* s, float* t) { return FastSqrt(SqrDistance(a, b, s, t)); }

float SqrDistance(const ELine3& line, const EFastSeg3& seg, float* s, float* t) {
  EVec3 diff = line.p0 - seg.p0;
  EVec3 d0 = line.p1 - line.p0;
  EVec3 d1 = seg.p1 - seg.p0;
  float a00 = d0.Dot(d0);
  float a01 = -d0.Dot(d1);
  float a11 = d1.Dot(d1);
  float b0 = diff.Dot(d0);
  float c = diff.Dot(diff);
  float det = ABS(a00 * a11 - a01 * a01);
  float fS, fT, q;
  if (det >= 0.00001f) {
    float b1 = -diff.Dot(d1);
    fT = (a01 * b0 - a00 * b1) / det;
    if (fT < 0.0f) {
      // The segment's start against the line.
      fT = 0.0f;
      fS = -SafeDivide(b0, a00);
      EVec3 v = diff + d0 * fS;
      q = v.Dot(v);
    } else if (fT > 1.0f) {
      // The segment's end against the line.
      fT = 1.0f;
      fS = -SafeDivide(b0 + a01, a00);
      EVec3 v = diff - d1 + d0 * fS;
      q = v.Dot(v);
    } else {
      fS = (a01 * b1 - a11 * b0) / det;
      q = fS * (a00 * fS + a01 * fT + 2.0f * b0) + fT * (a01 * fS + a11 * fT + 2.0f * b1) + c;
    }
  } else {
    fS = SafeDivide(-b0, a00);
    fT = 0.0f;
    q = b0 * fS + c;
  }
  if (s) *s = fS;
  if (t) *t = fT;
  return ABS(q);
}

float Distance(const EVec3& p, const ESphere& sphere) {
  float e = SqrDistance(p, sphere.centre);
  if (sphere.radius * sphere.radius > e) return 0.0f;
  return FastSqrt(e) - sphere.radius;
}

float SqrDistance(const EVec3& p, const EBox3& box) {
  EVec3 q = box.NearestPosition(p);
  EVec3 d = q - p;
  return d.Dot(d);
}

float Distance(const EVec3& p, const EBox3& box) { return FastSqrt(SqrDistance(p, box)); }

float SqrDistance(const EBox3& a, const EBox3& b) {
  float fSum = 0.0f;
  for (int i = 0; i < 3; i++) {
    float fGap = 0.0f;
    if (a.vMin[i] > b.vMax[i])
      fGap = a.vMin[i] - b.vMax[i];
    else if (b.vMin[i] > a.vMax[i])
      fGap = b.vMin[i] - a.vMax[i];
    fSum += fGap * fGap;
  }
  return fSum;
}

float Distance(const EBox3& a, const EBox3& b) { return FastSqrt(SqrDistance(a, b)); }

}  // namespace TWMath
