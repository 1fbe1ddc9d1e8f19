// Axis-aligned bounding volumes: 3D and 2D boxes and two cube forms.
#pragma once

#include "TWMath/Vector.h"

class EMat4;
class ESphere;
class EStream;

// Selects an axis.
enum AXIS { AXIS_X = 1, AXIS_Y = 2, AXIS_Z = 3 };

class ESSECube;

// Minimum and maximum corner. Nothing enforces vMin <= vMax; the growing
// operations assume it.
class EBox3 {
public:
  EVec3 vMin, vMax;

  EBox3() {}
  EBox3(const EVec3& mn, const EVec3& mx) : vMin(mn), vMax(mx) {}
  EBox3(const EVec3* pPoints, int iCount) { Set(pPoints, iCount); }
  explicit EBox3(const ESSECube& cube);
  EBox3(const EVec3& corner, float size) : vMin(corner), vMax(corner + EVec3(size, size, size)) {}
  explicit EBox3(const ESphere& sphere);

  // The box of the points; an empty list is reported and changes nothing.
  void Set(const EVec3* pPoints, int iCount);
  void Set(const EVec3& mn, const EVec3& mx) { vMin = mn; vMax = mx; }
  void Add(const EVec3& p);
  void Add(const EBox3& b);
  void Add(const ESphere& s);
  EBox3 GetUnion(const EBox3& b) const { return EBox3(vMin.Min(b.vMin), vMax.Max(b.vMax)); }

  EVec3 GetCenter() const { return (vMin + vMax) * 0.5f; }
  // Half extents.
  EVec3 GetExtent() const { return (vMax - vMin) * 0.5f; }
  // Half extent along X for AXIS_X, Y for AXIS_Y, Z for anything else.
  float GetAxialExtent(int axis) const;
  float GetMaxExtent() const;
  EBox3 GetInflatedBox(float d) const { return EBox3(vMin - EVec3(d, d, d), vMax + EVec3(d, d, d)); }
  EVec3 NearestPosition(const EVec3& p) const;
  EVec3 FurthestPosition(const EVec3& p) const;

  // Exact bound under an affine matrix, for the cost of one point transform.
  EBox3 TransformAffine(const EMat4& m) const;
  // Bound of the eight corners after a projective transform.
  EBox3 TransformPerspective(const EMat4& m) const;
  // Transforms in place through the centre and the half extents.
  void TransformBy(const EMat4& m);
};

class EBox2 {
public:
  EVec2 vMin, vMax;

  EBox2() {}
  EBox2(const EVec2& mn, const EVec2& mx) : vMin(mn), vMax(mx) {}
  float Width() const { return ABS(vMax.x - vMin.x); }
  float Height() const { return ABS(vMax.y - vMin.y); }
  bool ContainsPoint(const EVec2& p) const {
    return vMin.x <= p.x && p.x <= vMax.x && vMin.y <= p.y && p.y <= vMax.y;
  }
  bool IntersectsBox(const EBox2& b) const {
    return vMax.x >= b.vMin.x && b.vMax.x >= vMin.x && vMax.y >= b.vMin.y && b.vMax.y >= vMin.y;
  }
};

// Centre and half size: the cell form of the octree. 16 bytes, streamed and
// copied as one block.
class alignas(16) ESSECube {
public:
  float x, y, z, h;

  ESSECube() {}
  ESSECube(const EVec3& centre, float half) : x(centre.x), y(centre.y), z(centre.z), h(half) {}
  EVec3 GetCentre() const { return EVec3(x, y, z); }
  // Inclusive of the faces.
  bool ContainsPoint(const EVec3& p) const {
    EVec3 d = p - EVec3(x, y, z);
    return -h <= d.x && d.x <= h && -h <= d.y && d.y <= h && -h <= d.z && d.z <= h;
  }
};
static_assert(sizeof(ESSECube) == 16, "ESSECube is one 16-byte block");

// Minimum corner and edge length: the cell form of old stored octrees.
class ECube {
public:
  EVec3 corner;
  float size;

  ECube() {}
  EVec3 GetCenter() const { float s = size / 2.0f; return corner + EVec3(s, s, s); }
};

// Minimum then maximum corner.
EStream& operator<<(EStream& s, EBox3& b);
// One 16-byte block: x, y, z, h as little-endian floats.
EStream& operator<<(EStream& s, ESSECube& c);
