// Lines, segments, planes, spheres, cylinders and triangles: the plain
// shapes passed to the distance and intersection queries.
#pragma once

#include "TWMath/Vector.h"

class EBox3;
class EMat4;

// Selects the two-point constructors.
struct TagPOINTS {};
// Selects the point-and-direction constructor.
struct TagPARAMETRIC {};

// The infinite line through p0 and p1.
class ELine3 {
public:
  EVec3 p0, p1;

  ELine3(const EVec3& a, const EVec3& b, TagPOINTS) : p0(a), p1(b) {}
  ELine3(const EVec3& p, const EVec3& d, TagPARAMETRIC) : p0(p), p1(p + d) {}
  EVec3 Dir() const { return p1 - p0; }
};

// The segment from p0 (t = 0) to p1 (t = 1).
class EFastSeg3 {
public:
  EVec3 p0, p1;

  EFastSeg3() {}
  EFastSeg3(const EVec3& a, const EVec3& b, TagPOINTS) : p0(a), p1(b) {}
  EVec3 Dir() const { return p1 - p0; }
  EVec3 ParametricToPoint(float t) const { return p0 * (1.0f - t) + p1 * t; }
};

// A segment with its unit direction and length worked out once.
class ESeg3 {
public:
  EVec3 start, end, dir;
  float length;

  ESeg3() {}
  ESeg3(const EVec3& s, const EVec3& e) : start(s), end(e), dir(e - s) { length = dir.Normalize(); }
  const EVec3& End() const { return end; }
  float Mag2() const { return length * length; }
  EVec3 ParametricToPoint(float t) const { return start * (1.0f - t) + end * t; }
};

class ELine2 {
public:
  EVec2 p0, p1;

  ELine2(const EVec2& a, const EVec2& b, TagPOINTS) : p0(a), p1(b) {}
};

class ESeg2 {
public:
  EVec2 start, dir;
  float length;

  ESeg2(const EVec2& s, const EVec2& e) : start(s), dir(e - s) { length = dir.Normalize(); }
  EVec2 End() const { return start + dir * length; }
};

// The points x with n·x + d = 0; the signed distance n·x + d is positive on
// the side n points to.
class EPlane {
public:
  EVec3 n;
  float d;

  EPlane() {}
  EPlane(const EVec3& normal, float dist) : n(normal), d(dist) {}
  EPlane(const EVec3& normal, const EVec3& point) : n(normal), d(-normal.Dot(point)) {}
  EPlane(const EVec3& p0, const EVec3& p1, const EVec3& p2) : n((p2 - p0).Cross(p1 - p0)) {
    n.Normalize();
    d = -p0.Dot(n);
  }
  // The foot of x on the plane.
  EVec3 Project(const EVec3& x) const { return x - n * (n.Dot(x) + d); }
};

class ESphere {
public:
  EVec3 centre;
  float radius;

  ESphere() {}
  ESphere(const EVec3& c, float r) : centre(c), radius(r) {}
  // Centred in the box, with the mean of its half extents as radius.
  explicit ESphere(const EBox3& box);
  ESphere Transform(const EMat4& m) const;
};

// Upright along +Y from the centre of its bottom disc.
class ECylinder {
public:
  EVec3 base;
  float radius;
  float height;

  ECylinder(const EVec3& b, float r, float h) : base(b), radius(r), height(h) {}
};

// Seen from the front the vertices run clockwise; the face normal is
// (p2 - p0) x (p1 - p0), normalised.
class ETri3 {
public:
  EVec3 p0, p1, p2;

  ETri3() {}
  ETri3(const EVec3& a, const EVec3& b, const EVec3& c) : p0(a), p1(b), p2(c) {}
  void Set(const EVec3& a, const EVec3& b, const EVec3& c) { p0 = a; p1 = b; p2 = c; }

  EVec3 GetFaceNormal() const { return (p2 - p0).Cross(p1 - p0).GetNormal(); }
  EPlane GetFacePlane() const { return EPlane(GetFaceNormal(), p0); }
  float GetArea() const { return 0.5f * (p2 - p0).Cross(p1 - p0).Length(); }
  // Scale-free test of thinness.
  bool IsZeroArea() const;
  EVec3 ConvertBarycentricToPoint(const EVec2& uv) const { return p0 + (p1 - p0) * uv.x + (p2 - p0) * uv.y; }
  // x is taken to lie in the triangle's plane.
  EVec2 ConvertPointToBarycentric(const EVec3& x) const;
  // The circumcentre minus p0 (zero for a degenerate triangle).
  EVec3 GetRelativeCircumcenter() const;
  // Tests x against the triangle projected onto a coordinate plane; axis 0,
  // 1 or 2 is the dropped coordinate, any other value picks the dominant
  // axis of normal. Points on an edge are inside.
  bool ContainsPoint(const EVec3& x, const EVec3& normal, int axis) const;
};

class ETri2D {
public:
  EVec2 a, b, c;

  ETri2D(const EVec2& pa, const EVec2& pb, const EVec2& pc) : a(pa), b(pb), c(pc) {}
  // Points on an edge are outside; either winding.
  bool ContainsPoint(const EVec2& x) const;
  EVec2 ConvertBarycentricToPoint(const EVec2& uv) const { return a + (b - a) * uv.x + (c - a) * uv.y; }
};
