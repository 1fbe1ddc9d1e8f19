// Distances between primitives, overlap tests and casts.
//
// Parameters along an EFastSeg3 or a line are fractions of the vector
// between its two points; along an ESeg3 they are world distances from its
// start. Casts accept only contacts at or before the limit passed in.
// Optional outputs are pointers that may be null.
#pragma once

#include "TWMath/BoundingBox.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"

class EFrustum;

// Feature codes of the triangle casts: the kind is code & 0xF000, the
// vertex, edge or side code & 0x0FFF; 0 means no hit.
enum {
  kINTERSECT_VERTEX = 0x1000,  // + vertex index
  kINTERSECT_EDGE = 0x2000,    // + edge index, edge i running from vertex i to i + 1
  kINTERSECT_FACE = 0x3000,    // front side; + 1 for the back side
};

namespace TWMath {

// --- Distances -------------------------------------------------------------

float SqrDistance(const EVec3& a, const EVec3& b);
float Distance(const EVec3& a, const EVec3& b);
// Signed: positive on the side the normal points to.
float Distance(const EVec3& p, const EPlane& plane);
float Distance(const EVec2& p, const ELine2& line, float* t = nullptr);
float Distance(const EVec2& p, const ESeg2& seg, float* t = nullptr);
float SqrDistance(const EVec3& p, const ELine3& line, float* t = nullptr);
float Distance(const EVec3& p, const ELine3& line, float* t = nullptr);
float SqrDistance(const EVec3& p, const ESeg3& seg, float* t = nullptr);
float Distance(const EVec3& p, const ESeg3& seg, float* t = nullptr);
float SqrDistance(const EVec3& p, const EFastSeg3& seg, float* t = nullptr);
float Distance(const EVec3& p, const EFastSeg3& seg, float* t = nullptr);
float SqrDistance(const ELine3& a, const ELine3& b, float* s = nullptr, float* t = nullptr);
float Distance(const ELine3& a, const ELine3& b, float* s = nullptr, float* t = nullptr);
float SqrDistance(const ELine3& line, const EFastSeg3& seg, float* s = nullptr, float* t = nullptr);
// From the sphere's surface; 0 inside.
float Distance(const EVec3& p, const ESphere& sphere);
float SqrDistance(const EVec3& p, const EBox3& box);
float Distance(const EVec3& p, const EBox3& box);
float SqrDistance(const EBox3& a, const EBox3& b);
float Distance(const EBox3& a, const EBox3& b);

// --- Containment and overlap (touching counts) -----------------------------

bool TestIntersection(const EVec3& p, const ESphere& sphere);
bool TestIntersection(const EVec3& p, const EBox3& box);
bool TestIntersection(const EBox3& a, const EBox3& b);
bool FindIntersection(const EBox3& a, const EBox3& b, EBox3& overlap);
bool TestIntersection(const EBox3& box, const ESSECube& cube);
bool TestIntersection(const ESphere& sphere, const EBox3& box);
bool TestIntersection(const EBox3& box, const ECylinder& cylinder);
bool TestIntersection(const EBox3& box, const EFrustum& frustum);
bool TestIntersection(const ETri3& tri, const ESphere& sphere);
bool TestIntersection(const ETri3& tri, const EBox3& box);

// --- Segments against boxes --------------------------------------------------

// The segment c ± h against the box ± e, both relative to the box's centre.
bool TestIntersection_HalfSeg_HalfAABB(const EVec3& e, const EVec3& h, const EVec3& c);
bool TestIntersection(const EFastSeg3& seg, const EBox3& box);
bool TestIntersection(const ESeg3& seg, const EBox3& box);
// The segment against the box grown by r on every side.
bool TestIntersection(const EFastSeg3& seg, float r, const EBox3& box);
// The segment start .. start + dir * length against the cube grown by thickness / 2.
bool TestIntersection(const EVec3& start, const EVec3& dir, float length, float thickness, const ESSECube& cube);
// origin + t * dir for t in [0, maxT]; entry and exit parameters.
bool FindIntersection(const EVec3& origin, const EVec3& dir, float maxT, const EBox3& box, float& tEnter,
                      float& tExit);
bool FindIntersection(const EFastSeg3& seg, const EBox3& box, float& t);
bool FindIntersection(const ESeg3& seg, const EBox3& box, float& t);
bool FindIntersection(const EFastSeg3& seg, float r, const EBox3& box, float& t);

// --- Planes ------------------------------------------------------------------

bool TestIntersectionCullBackfacing(const ESeg3& seg, const EPlane& plane);
// t: where the segment's line crosses the plane (not clamped).
void FindIntersection(const EFastSeg3& seg, const EPlane& plane, float& t, bool& startBehind);

// --- Triangles ---------------------------------------------------------------

// Feature code 0, kINTERSECT_FACE or kINTERSECT_FACE + 1; uv are the
// barycentric coordinates of the hit.
int FindIntersection(const EVec3& origin, const EVec3& dir, float maxT, const ETri3& tri, float& t,
                     EVec2* uv = nullptr);
int FindIntersectionCullBackfacing(const EVec3& origin, const EVec3& dir, float maxT, const ETri3& tri, float& t,
                                   EVec2* uv = nullptr);
bool FindIntersection(const ESeg3& seg, const ETri3& tri, float& t, EVec2* uv = nullptr);
bool TestIntersection(const ESeg3& seg, const ETri3& tri);
bool FindIntersectionCullBackfacing(const ESeg3& seg, const ETri3& tri, float& t, EVec2* uv = nullptr);
bool TestIntersectionCullBackfacing(const ESeg3& seg, const ETri3& tri);

// --- Spheres -----------------------------------------------------------------

bool FindIntersection(const ESeg3& seg, const ESphere& sphere, float& t);
bool FindIntersectionCullBackfacing(const ESeg3& seg, const ESphere& sphere, float& t);
bool TestIntersection(const ESeg3& seg, const ESphere& sphere);

// --- Swept sphere --------------------------------------------------------------

// The sphere of radius r moving along path against the triangle whose
// front-facing plane is given. t: in, the latest acceptable time; out, the
// contact time. s: for edge contacts, the position along the edge.
// Returns a feature code.
int FindIntersection(const EFastSeg3& path, float r, const ETri3& tri, const EPlane& plane, bool bTwoSided,
                     float& t, float& s);
// The swept sphere (squared radius r2) against one edge and its first
// vertex: 0, kINTERSECT_EDGE or kINTERSECT_VERTEX without an index.
int FindIntersection_Capsule_Edgevert(const EFastSeg3& path, const EFastSeg3& edge, float r2, float& t, float& s);

}  // namespace TWMath
